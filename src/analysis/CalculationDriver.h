#pragma once

#include "analysis/ModelCheck.h"
#include "model/AnalysisModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quav {

class VariantBasis;

/// What a calculation runs; non-zero means run.
struct CalculationConditions {
    int eigen = 1;          ///< eigenvalue analysis: frequencies and modes
    int staticAnalysis = 1; ///< static displacement under each static load
    int dynamic = 1;        ///< harmonic response, each dynamic load at its own frequency
    int frequencyStep = 1;  ///< harmonic response over the model's frequency sweep
    /// The caller has checked the model (checkModel) and what it changed since:
    /// only the three long-standing checks run again. The optimiser's variants.
    int modelChecked = 0;
};

/// The most sweep steps a calculation accepts. 0.01 Hz steps across 1 kHz fit; a
/// sweep beyond it (steps of 1e-9 Hz, say) is refused like a bad frequency range
/// rather than exhausting memory and time.
inline constexpr int kMaxSweepSteps = 100000;

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
    /// a result is not a number (or infinite) where no definition makes it so;
    /// status 1. `nonFinite` says where.
    NonFiniteResults,
    /// with frequency tables, a mode's frequency did not reach its fixed point
    /// f = F(f) within kMaxModeIterations eigen solutions; status 1.
    /// `unconvergedMode` says which.
    ModesNotConverged,
};

/// Whether the sweep range is set at all: a new model's 0 to 0 Hz means "not
/// set", and a calculation then makes every other analysis without the sweep.
inline bool sweepRangeSet(const AnalysisModel& model) {
    return !(model.frequencyStart == 0.0 && model.frequencyEnd == 0.0);
}

/// The sweep the model's frequency range asks for.
struct SweepPlan {
    CalculationError error = CalculationError::None; ///< None, BadFrequencyRange or SweepTooLarge*
    double steps = 0.0; ///< trunc((end - start) / step) + 1 once the range is valid
    int loads = 0;      ///< the dynamic loads whose results it keeps per step
};

/// The sweep of the model's range keeping the results of `loads` dynamic loads at
/// each step (all of the model's when negative): at most kMaxSweepSteps steps,
/// and results a model file can hold when they are all kept.
SweepPlan planSweep(const AnalysisModel& model, int loads = -1);

/// Why the sweep of `plan` is refused, as describeCalculationFailure says it.
std::string describeSweepRefusal(const SweepPlan& plan);

/// A result that is not a finite number.
struct NonFiniteResult {
    std::string where; ///< which analysis, load and frequency, in the user's language
    /// True where the definition makes it so: the response to a dynamic load at a
    /// frequency where the system is exactly singular (a resonance without damping
    /// acting on it, HarmonicResponse::resonantAt) is infinite. Anything else
    /// (a static load on a direction no spring holds, overflow) is a fault.
    bool expected = false;
};

struct CalculationOutcome {
    int status = 0; ///< 0 success; otherwise as runCalculation
    CalculationError error = CalculationError::None;
    ModelValidation validation;
    int dynamicLoads = 0; ///< the number of dynamic loads when the sweep was refused for its size
    /// trunc((end - start) / step) + 1 when the sweep ran or was refused for its size.
    double sweepSteps = 0.0;
    /// The sweep was asked for, with dynamic loads, but its range is not set.
    bool sweepNotSet = false;
    /// Results that are not finite numbers (the first kMaxReportedNonFinite of
    /// them), and how many there were in all.
    std::vector<NonFiniteResult> nonFinite;
    std::int64_t nonFiniteCount = 0;
    /// Loads of a type the analyses do not know, which acted as no load.
    std::string ignoredLoads;
    /// The mode (1-6) whose own frequency was not found (ModesNotConverged).
    int unconvergedMode = 0;
};

/// The most places of non-finite results an outcome lists.
inline constexpr int kMaxReportedNonFinite = 10;

/// Runs the analyses the conditions ask for and keeps their results in the model:
/// `calculated` to 0, results cleared, the model validated, then eigen (with
/// frequency tables each mode at its own frequency, solveModesAtOwnFrequencies,
/// whose eigen solutions go to `modeIterations`), static, dynamic (loads present)
/// and the sweep (dynamic loads present, range set) in that order; every result checked to be a
/// finite number (NonFiniteResult says which exceptions there are); `calculated` to 1 on success.
/// Sweep step s is at `frequencyStart` + s x `frequencyStep` by repeated addition, every load at
/// that frequency (0 Hz too). On a sweep failure every result of the run is cleared again. `basis`,
/// when given, is that of the model `model` is a variant of: what the variant shares with it is
/// then not found again.
CalculationOutcome calculate(AnalysisModel& model, const CalculationConditions& conditions,
                             const VariantBasis* basis = nullptr);

/// The static results added to a model whose eigen analysis calculate() (or
/// eigenvalueAnalyses) made, without finding its modes again: what calculate()
/// with the static analysis would leave. False, with every result cleared and
/// `calculated` 0, when a displacement is not a finite number.
bool addStaticResults(AnalysisModel& model, const VariantBasis* basis = nullptr);

/// calculate() reduced to its status: 0 success; the number of failed checks; or 1
/// for a bad or too large frequency sweep or results that are not numbers.
int runCalculation(AnalysisModel& model, const CalculationConditions& conditions);

/// The reasons of a failed calculation in the user's language, one line each; empty
/// on success.
std::string describeCalculationFailure(const CalculationOutcome& outcome);

/// What the user should know of a calculation besides its success or failure, one
/// line each: a sweep not made because its range is not set, loads ignored for
/// their type, results that are infinite by definition. Empty when there is none.
std::string describeCalculationNotes(const CalculationOutcome& outcome);

} // namespace quav
