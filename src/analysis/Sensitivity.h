#pragma once

#include "analysis/EigenAnalysis.h"
#include "analysis/Robustness.h"
#include "model/AnalysisModel.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace quav {

// Design sensitivities: how the natural frequencies, the decoupling rates and
// the static displacements of the centre of gravity move with each spring rate,
// spring position and spring angle, found exactly from the solved modes and
// the static solutions (no differences). DOF order is x, y, z, Rx, Ry, Rz
// throughout; modes are numbered 1 (lowest frequency) to 6.

/// What a sensitivity is taken with respect to, in the model's own units.
enum class ParameterKind {
    Rate,     ///< a static rate of a characteristic [N/m], acting on every spring bound to it
    Position, ///< a global coordinate of a spring's mounting point [m]
    Angle,    ///< a spring's Y or Z angle [deg], the unit of the dialogs and the file
};

struct SensitivityParameter {
    ParameterKind kind = ParameterKind::Rate;
    /// The characteristic's id for a rate, the spring's id otherwise.
    int object = 0;
    /// Rate: the spring's local direction 0-2 (Kxx, Kyy, Kzz); position: the
    /// global axis 0-2; angle: 0 the Y angle (thetaY), 1 the Z angle (thetaZ).
    int component = 0;
    double value = 0.0; ///< the model's value: [N/m], [m] or [deg]
};

/// Which parameters to take. Empty id lists and no ids at all mean every object;
/// naming springs or characteristics keeps only the objects named (naming only
/// springs leaves the rates out, and the other way round).
struct ParameterChoice {
    bool rates = true;
    bool positions = true;
    bool angles = true;
    std::vector<int> springs;         ///< spring ids
    std::vector<int> characteristics; ///< characteristic ids
};

/// The parameters of a choice in the model's order: the rates x, y, z of each
/// characteristic, then each spring's x, y, z, thetaY, thetaZ. Ids that name no
/// object are passed over (the caller checks them); an object named twice is
/// taken once.
std::vector<SensitivityParameter> sensitivityParameters(const AnalysisModel& model,
                                                        const ParameterChoice& choice);

/// The columns of the outputs: the frequencies of modes 1-6 [Hz], their
/// decoupling rates [%], then per static load (in model order) the CoG's
/// displacement x, y, z [m], Rx, Ry, Rz [rad], global.
inline constexpr int kFrequencyColumn = 0;
inline constexpr int kDecouplingColumn = 6;
inline constexpr int kStaticColumn = 12;

/// Two modes whose frequencies agree within this, relative to the larger, have no
/// derivatives: any mix of their shapes is a mode.
inline constexpr double kRepeatedFrequency = 1e-8;

/// Why a mode's entries are not numbers.
enum class ModeSensitivity {
    Defined,
    /// Its frequency is 0 to rounding (|lambda| within 1e-12 of the largest): a
    /// direction no spring holds. f = sqrt(lambda) has no slope there; the
    /// decoupling rate keeps its derivatives.
    AtRest,
    /// It shares its frequency with another mode: neither its frequency nor its
    /// decoupling rate has a derivative.
    Repeated,
};

/// The derivatives dy/dp and elasticities (p / y) dy/dp of every output y by
/// every parameter p. Derivatives are in the output's unit per the parameter's
/// unit (per degree for angles). A value that is not a number stands for an
/// entry that has none (`notes` says why), and an elasticity is not a number
/// where y or p is 0.
struct Sensitivities {
    std::vector<SensitivityParameter> parameters;
    int outputs = kStaticColumn; ///< 12 + 6 x the number of static loads
    std::vector<double> values;  ///< the outputs of the model as it is
    /// The DOF whose kinetic energy share (global axes) is each mode's decoupling
    /// rate at the nominal design: that share is the one differentiated.
    std::array<int, 6> dominant{};
    std::array<ModeSensitivity, 6> modes{}; ///< by mode number
    /// Row-major, a row per parameter and a column per output.
    std::vector<double> derivative;
    std::vector<double> elasticity;
    /// One line each, in the user's language: which entries are not numbers and why.
    std::vector<std::string> notes;

    double derivativeOf(std::size_t parameter, int output) const {
        return derivative[parameter * static_cast<std::size_t>(outputs) +
                          static_cast<std::size_t>(output)];
    }
    double elasticityOf(std::size_t parameter, int output) const {
        return elasticity[parameter * static_cast<std::size_t>(outputs) +
                          static_cast<std::size_t>(output)];
    }
};

/// The sensitivities of the model for `parameters`, from its solved `modes`
/// (solveModesAtOwnFrequencies of the same model: solveModes' own without
/// frequency tables). Frequencies are differentiated from the mass-normalised
/// shapes (dlambda_j = psi_j^T dK psi_j with the dynamic rates of dynamicRate),
/// the decoupling rates through the shape derivatives expanded over all six modes,
/// the static displacements from du = -K^-1 dK u with the static rates, carried to
/// the CoG as the static analysis carries them. With frequency tables mode j is the
/// fixed point f_j = F_j(f_j, p) of the system whose tabled rates are taken at f:
/// it is differentiated in that system at f_j (its six modes expand the shape) and
/// through the fixed point, df_j/dp = (dF_j/dp) / (1 - dF_j/df), the decoupling
/// rate taking dE_j/df df_j/dp besides. Time and memory grow with springs +
/// parameters x outputs. `progress`, when given, counts the work done up to
/// sensitivityWork(model). The model must pass checkModel.
Sensitivities sensitivities(const AnalysisModel& model, const ModalSolution& modes,
                            const std::vector<SensitivityParameter>& parameters,
                            std::atomic<std::int64_t>* progress = nullptr);

/// The units of work `sensitivities` counts: springs x (1 + static loads), with
/// frequency tables springs x (6 + static loads).
std::int64_t sensitivityWork(const AnalysisModel& model);

/// The first-order standard deviation [Hz] of each frequency (by mode number)
/// when every rate varies independently and uniformly within +-tolerancePct % of
/// its value and every spring coordinate within +-positionTolerance [m]:
/// sigma^2 = sum (df/dp)^2 h^2 / 3 over every rate and coordinate of the model,
/// h being the half-width. The rates vary as `vary` says, as the robustness
/// samples them: each spring's own (by default) or each characteristic's. Not a
/// number for a mode whose frequency has no derivative.
std::array<double, 6> frequencySpread(const AnalysisModel& model, const ModalSolution& modes,
                                      double tolerancePct, double positionTolerance,
                                      RateVariation vary = RateVariation::PerSpring);

/// The dynamic rate [N/m] one local direction of a characteristic has in a mode
/// of frequency `frequency` [Hz], with its partial derivatives by the static rate
/// and by the frequency. Every frequency derivative takes the dynamic rates from
/// here: k x dynamicFactor at every frequency without a table; with one k r(f),
/// r interpolated linearly in ln f, so dr/df is the interval's slope in ln f over
/// f. At a row the slope is that of the interval above it (the rows the
/// interpolation takes from there); below the first row and from the last on it
/// is 0.
struct DynamicRate {
    double rate = 0.0;
    double perStaticRate = 0.0; ///< d rate / dk
    double perHertz = 0.0;      ///< d rate / df [N/m per Hz]
};
DynamicRate dynamicRate(const SpringCharacteristic& characteristic, int direction,
                        double frequency);

} // namespace quav
