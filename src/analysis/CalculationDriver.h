#pragma once

#include "model/AnalysisModel.h"

#include <string>

namespace quav {

class VariantBasis;

/// What a calculation runs; non-zero means run.
struct CalculationConditions {
    int eigen = 1;          ///< eigenvalue analysis: frequencies and modes
    int staticAnalysis = 1; ///< static displacement under each static load
    int dynamic = 1;        ///< harmonic response, each dynamic load at its own frequency
    int frequencyStep = 1;  ///< harmonic response over the model's frequency sweep
};

/// The most sweep steps a calculation accepts. 0.01 Hz steps across 1 kHz fit; a
/// sweep beyond it (steps of 1e-9 Hz, say) is refused like a bad frequency range
/// rather than exhausting memory and time.
inline constexpr int kMaxSweepSteps = 100000;

/// The checks a model must pass before any analysis runs.
struct ModelValidation {
    bool zeroMass = false;   ///< `mass` is exactly 0
    bool zeroMoment = false; ///< Ixx, Iyy or Izz is exactly 0
    bool noSprings = false;  ///< `springs` is empty
    int count() const { return int(zeroMass) + int(zeroMoment) + int(noSprings); }
};

ModelValidation checkModel(const AnalysisModel& model);
/// The number of failed checks (0 to 3).
int validateModel(const AnalysisModel& model);

/// Why a calculation failed.
enum class CalculationError {
    None,
    InvalidModel,      ///< a check of ModelValidation failed; status = their count
    BadFrequencyRange, ///< sweep asked for with dynamic loads, but not end > 0, end > start,
                       ///< step > 0; status 1
    SweepTooLarge,     ///< the sweep would exceed kMaxSweepSteps; status 1
    /// the sweep's results (steps x dynamic loads) would not fit in a model
    /// file (maxModelFileBytes); status 1
    SweepTooLargeForFile,
};

/// The sweep the model's frequency range asks for.
struct SweepPlan {
    CalculationError error = CalculationError::None; ///< None, BadFrequencyRange or SweepTooLarge*
    double steps = 0.0; ///< trunc((end - start) / step) + 1 once the range is valid
};

SweepPlan planSweep(const AnalysisModel& model);

struct CalculationOutcome {
    int status = 0; ///< 0 success; otherwise as runCalculation
    CalculationError error = CalculationError::None;
    ModelValidation validation;
    int dynamicLoads = 0; ///< the number of dynamic loads when the sweep was refused for its size
    /// trunc((end - start) / step) + 1 when the sweep ran or was refused for its size.
    double sweepSteps = 0.0;
};

/// Runs the analyses the conditions ask for and keeps their results in the model:
/// `calculated` to 0, results cleared, the model validated, then eigen, static,
/// dynamic (loads present) and the sweep (dynamic loads present) in that order;
/// `calculated` to 1 on success. Sweep step s is at `frequencyStart` + s x
/// `frequencyStep` by repeated addition, every load at that frequency (0 Hz too).
/// On a sweep failure every result of the run is cleared again. `basis`, when
/// given, is that of the model `model` is a variant of: what the variant shares with
/// it is then not found again.
CalculationOutcome calculate(AnalysisModel& model, const CalculationConditions& conditions,
                             const VariantBasis* basis = nullptr);

/// calculate() reduced to its status: 0 success; the number of failed checks; or 1
/// for a bad or too large frequency sweep.
int runCalculation(AnalysisModel& model, const CalculationConditions& conditions);

/// The reasons of a failed calculation in the user's language, one line each; empty
/// on success.
std::string describeCalculationFailure(const CalculationOutcome& outcome);

} // namespace quav
