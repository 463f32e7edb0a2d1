#pragma once

#include "model/AnalysisModel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quav {

/// What an objective of a study measures on an accepted variant.
enum class ObjectiveKind : int {
    DecouplingMin = 0,      ///< the smallest decoupling rate over the six modes [%]
    MeanCoupling = 1,       ///< the mean coupling degree [%]
    Frequency = 2,          ///< the frequency of mode `mode` [Hz]
    Transmissibility = 3,   ///< the force transmissibility of dynamic load `load` [-]
    StaticDisplacement = 4, ///< the absolute displacement of `object` under `load` [m]
};

/// One objective and its sense. Which fields count depends on the kind.
struct Objective {
    ObjectiveKind kind = ObjectiveKind::DecouplingMin;
    bool maximise = false;
    int mode = 0; ///< Frequency: 1 (the lowest) to 6
    int load =
        0; ///< Transmissibility: dynamic load number from 1; StaticDisplacement: a static load's id
    int object =
        0; ///< StaticDisplacement: a spring, an observation point or the mass element (id 1)
    bool operator==(const Objective&) const = default;
};

/// Most objectives a study names.
inline constexpr std::size_t kMaxObjectives = 4;

/// The objective's name without its sense, as pareto.csv heads its column and
/// the command line spells it: "decouplingMin", "meanCoupling", "frequency:J",
/// "transmissibility:N", "staticDisplacement:OBJECT:LOAD".
std::string objectiveName(const Objective& objective);

/// The kind's key ("decouplingMin", ...), as JSON stores it.
std::string_view objectiveKindKey(ObjectiveKind kind);
std::optional<ObjectiveKind> objectiveKindFromKey(std::string_view key);

/// "min" or "max".
inline const char* objectiveSenseKey(const Objective& o) {
    return o.maximise ? "max" : "min";
}

/// The objective's unit for an axis label: "[%]", "[Hz]", "[-]" or "[m]".
const char* objectiveUnit(ObjectiveKind kind);

/// The objective in the user's language, for the GUI and the log, such as
/// "最小非連成率 [%] (最大化)".
std::string objectiveLabel(const Objective& objective);

/// The senses of `objectives`, true where maximised; their names (objectiveName).
std::vector<bool> objectiveSenses(const std::vector<Objective>& objectives);
std::vector<std::string> objectiveNames(const std::vector<Objective>& objectives);

/// Reads "SENSE:KIND[:N[:M]]" as the command line gives it ("max:decouplingMin",
/// "min:transmissibility:1", "min:staticDisplacement:2:8"); none when it is not
/// one. The numbers are not checked against a model here.
std::optional<Objective> parseObjective(std::string_view text);

/// Why `objectives` cannot be computed on variants of `model`, one line each
/// ('\n'-ended) in the user's language: more than kMaxObjectives of them, a mode
/// outside 1-6, a dynamic load that does not exist, is a moment or applies no
/// force, a static load or an object that does not exist, an objective given
/// twice. Empty when they can.
std::string objectivesProblem(const std::vector<Objective>& objectives, const AnalysisModel& model);

/// The objectives' values on a calculated variant (modes and static results), in
/// order, into `values` (resized). A transmissibility is taken at the load's own
/// frequency with the dynamic rates and damping; an undamped resonance gives an
/// infinite value. A value the variant cannot give (a static load it lacks) is NaN.
void objectiveValues(const AnalysisModel& variant, const std::vector<Objective>& objectives,
                     std::vector<double>& values);

} // namespace quav
