#pragma once

#include "analysis/VariantBasis.h"
#include "model/AnalysisModel.h"
#include "optimizer/DesignParameter.h"
#include "optimizer/OptimizationConditions.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace quav {

/// Number of values a parameter takes: trunc((max - min) / increment) + 1,
/// computed in double precision. Zero or less means the parameter contributes
/// no value (and the run evaluates nothing). An increment of 0 gives one value
/// when minimum equals maximum and none otherwise; a quotient that is not a
/// number gives none; counts beyond `maxValueCount` are clamped to it.
std::int64_t valueCount(const DesignParameter& parameter);

/// Largest value count of one parameter (far beyond any run that can finish).
inline constexpr std::int64_t maxValueCount = std::int64_t{1} << 53;

/// Product of the value counts, starting from 1 (so 1 without parameters).
/// Saturates at the int64 range instead of overflowing.
std::int64_t combinationCount(const std::vector<DesignParameter>& parameters);

/// The number of combinations a run walks: combinationCount, or 0 when some
/// parameter has no value (so nothing below its level is evaluated).
std::int64_t walkedCombinations(const std::vector<DesignParameter>& parameters);

/// Writes every bound variable of `variant` in binding order (later bindings of
/// the same variable win): value = the parameter's `currentValue` x multiplier.
/// Targets 1-3 set a spring's x, y, z or a characteristic's Kxx, Kyy, Kzz;
/// 4-6 set a spring's angle about x, y, z [deg]. Bindings to a missing
/// parameter, a missing object or an unknown target change nothing.
void applyBindings(AnalysisModel& variant, const std::vector<ParameterBinding>& bindings,
                   const std::vector<DesignParameter>& parameters);

/// The conditions of a study, numbered as failedConditions reports them: the mode
/// condition of DOF i (x, y, z, Rx, Ry, Rz) is kModeCondition + i, then the
/// frequency window, the spring ratio, the mean coupling degree, displacement
/// condition k is kDisplacementCondition + k, and a variant that fails the load
/// cases fails kLoadCaseCondition + i, i the first case (in the model's order)
/// that does not converge or does not pass. enabledConditions lists the load-case
/// condition as kLoadCaseCondition.
enum ConditionNumber : int {
    kModeCondition = 0,
    kMinFrequencyCondition = 6,
    kMaxFrequencyCondition = 7,
    kSpringRatioCondition = 8,
    kMeanCouplingCondition = 9,
    kDisplacementCondition = 10,
    /// Above every displacement condition a file can hold (maxListEntries).
    kLoadCaseCondition = 1 << 24,
    /// Not conditions: why a variant was not judged at all. A bound rate turned
    /// negative (the variant is no mount), or its calculation failed.
    kNotPhysical = -1,
    kNotCalculated = -2,
};

/// The enabled conditions' numbers, in order.
std::vector<int> enabledConditions(const OptimizationConditions& conditions);

/// A condition's name as the log's summary prints it; kLoadCaseCondition + i
/// names case i as the first one failed.
std::string conditionName(int number, const OptimizationConditions& conditions,
                          const AnalysisModel& model);

/// The index of the first load case of `variant` that does not converge or does
/// not pass, cases solved in order up to it; -1 when every case passes.
int firstFailingCase(const AnalysisModel& variant);

/// The numbers of the enabled conditions the calculated variant fails, in order,
/// into `failed` (cleared first). Every enabled test runs; comparisons are strict;
/// mode n is the n-th lowest frequency. A displacement condition whose object or
/// static load (or its result row) does not exist tests nothing. The load cases
/// are solved here (firstFailingCase), not read from results.
void failedConditions(const AnalysisModel& variant, const OptimizationConditions& conditions,
                      std::vector<int>& failed);

/// failedConditions for a variant calculated but for its modes, judged on an
/// estimate of them (eigenvalueAnalyses, VariantSystems): true with `failed`
/// exactly what failedConditions will find once the modes are the calculation's,
/// when no frequency, share or coupling degree lies within the estimate's error
/// of its limit and the estimate is all numbers; false when only those modes can
/// tell. `rates`, when given, holds each characteristic's Kxx, Kyy, Kzz in place
/// of the variant's (the spring ratio of a variant that has no model).
bool failedConditionsEstimated(const AnalysisModel& variant, const ModesEstimate& modes,
                               const OptimizationConditions& conditions, std::vector<int>& failed,
                               const double* rates = nullptr);

/// True when the calculated variant meets every enabled condition (failedConditions
/// finds none).
bool evaluateVariant(const AnalysisModel& variant, const OptimizationConditions& conditions);

/// A quick look at variants of one model before their calculation.
class VariantScreen {
public:
    /// `model` is the model the variants are copies of: its principal inertia axes
    /// and spring orientations, which bindings seldom change, are found once here.
    /// `conditions` are read at each look and must outlive the screen.
    VariantScreen(const AnalysisModel& model, const OptimizationConditions& conditions);

    /// Every enabled condition judged without the eigen solution where that can be
    /// done exactly: the spring ratio from the characteristics, the frequency window
    /// and mode conditions from the number of frequencies below their limits
    /// (FrequencyCount; a mode condition whose share is below 0 fails on the
    /// frequency alone, any mode condition passes when every frequency is below its
    /// limit), displacement conditions from the static results, the load cases
    /// (which need no modes) once every other condition is decided. True, with
    /// `failed` holding exactly what failedConditions would find after the
    /// calculation, when the variant fails some condition and every condition was
    /// judged; false when only the calculation can tell (the mean coupling degree,
    /// mode shares that matter, a count that cannot be trusted, frequency tables,
    /// whose modes lie at their own frequencies).
    bool rejects(const AnalysisModel& variant, std::vector<int>& failed) const;

    /// What the variants share with the model, found once for all of them.
    const VariantBasis& basis() const { return basis_; }

    /// The frequencies [Hz] the enabled frequency conditions compare with.
    std::vector<double> frequencyLimits() const;
    /// True when every enabled condition is a frequency condition (some is): a
    /// count then decides all of them, as far as it can be trusted.
    bool frequenciesOnly() const;
    /// True when every enabled condition reads the modes or the rates alone
    /// (frequencies, shares, the mean coupling degree, the spring ratio) and some
    /// share or the coupling degree is among them: their shapes then decide.
    bool shapesDecide() const;
    /// True when a share or the coupling degree is among the enabled conditions.
    bool shapesMatter() const;
    /// The frequency window's and the mode conditions' verdicts from `count`, a
    /// count of the variant's frequencies, into `failed` (cleared first); false
    /// when some of them cannot be decided so.
    bool judgeCount(const FrequencyCount& count, std::vector<int>& failed) const;

private:
    static constexpr double kNoLimit = std::numeric_limits<double>::infinity();

    /// The frequency window's and the mode conditions' verdicts from counts into
    /// `failed`; false when some of them cannot be decided so.
    bool judgeFrequencies(const AnalysisModel& variant, std::vector<int>& failed) const;

    const OptimizationConditions& conditions_;
    VariantBasis basis_;
};

} // namespace quav
