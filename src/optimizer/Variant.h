#pragma once

#include "analysis/VariantBasis.h"
#include "model/AnalysisModel.h"
#include "optimizer/DesignParameter.h"
#include "optimizer/OptimizationConditions.h"

#include <cstdint>
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

/// True when the calculated variant meets every enabled condition. Every
/// enabled test runs; comparisons are strict; mode n is the n-th lowest
/// frequency. A displacement condition whose object or static load (or its
/// result row) does not exist tests nothing.
bool evaluateVariant(const AnalysisModel& variant, const OptimizationConditions& conditions);

/// A quick look at variants of one model before their calculation.
class VariantScreen {
public:
    /// `model` is the model the variants are copies of: its principal inertia axes
    /// and spring orientations, which bindings seldom change, are found once here.
    /// `conditions` are read at each look and must outlive the screen.
    VariantScreen(const AnalysisModel& model, const OptimizationConditions& conditions);

    /// False when the variant certainly fails the spring-ratio condition, the
    /// minimum or maximum frequency condition or a displacement condition, judged
    /// from its characteristics, from bounds on its lowest and highest frequencies
    /// (naturalFrequencyBounds; not for a variant with frequency tables, whose modes
    /// lie elsewhere) and from its static results; evaluateVariant would
    /// then reject it too. True says nothing: only evaluateVariant after the
    /// calculation decides.
    bool mayBeAccepted(const AnalysisModel& variant) const;

    /// What the variants share with the model, found once for all of them.
    const VariantBasis& basis() const { return basis_; }

private:
    bool frequenciesMayPass(const AnalysisModel& variant) const;

    const OptimizationConditions& conditions_;
    VariantBasis basis_;
};

} // namespace quav
