#pragma once

#include "model/AnalysisModel.h"
#include "optimizer/Optimizer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quav {

/// Why a parameter's range gives no proper list of values, in the user's
/// language without the parameter's name: bounds or increment not finite, a
/// maximum below the minimum, an increment that is not positive. Empty when the
/// range is sound.
std::string parameterRangeProblem(double minValue, double maxValue, double increment);

/// The number of combinations of sound ranges, or none when it leaves the 64-bit
/// range a run counts in.
std::optional<std::int64_t> exactCombinationCount(const std::vector<DesignParameter>& parameters);

/// What stops a study before it starts, one line each ('\n'-ended), in the
/// user's language.
struct StudyRefusal {
    /// The settings: parameter ranges, bindings' multipliers that are not finite,
    /// a combination count beyond 64 bits, objectives the model cannot give
    /// (objectivesProblem), the load-case condition on a model without cases
    /// or with a case naming no static load. An input error.
    std::string settings;
    /// What makes the model impossible as a physical system that no binding
    /// changes (a variable a binding writes is judged per variant instead).
    std::string model;
    bool ok() const { return settings.empty() && model.empty(); }
    std::string text() const { return settings + model; }
};

StudyRefusal checkStudy(const Optimizer& optimizer, const AnalysisModel& model);

} // namespace quav
