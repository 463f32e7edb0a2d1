#include "optimizer/Variant.h"

#include "analysis/CalculationDriver.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/ModeMetrics.h"
#include "analysis/PointMotion.h"
#include "analysis/StaticAnalysis.h"

#include <cmath>
#include <limits>

namespace quav {

std::int64_t valueCount(const DesignParameter& p) {
    if (p.increment == 0.0)
        return p.maxValue == p.minValue ? 1 : 0;
    const double q = std::trunc((p.maxValue - p.minValue) / p.increment);
    if (std::isnan(q))
        return 0;
    if (q >= static_cast<double>(maxValueCount - 1))
        return maxValueCount;
    if (q <= -static_cast<double>(maxValueCount))
        return -maxValueCount;
    return static_cast<std::int64_t>(q) + 1;
}

std::int64_t combinationCount(const std::vector<DesignParameter>& parameters) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t product = 1;
    for (const auto& p : parameters) {
        std::int64_t result = 0;
        if (__builtin_mul_overflow(product, valueCount(p), &result))
            result = ((product < 0) != (valueCount(p) < 0)) ? -kMax : kMax;
        product = result;
    }
    return product;
}

std::int64_t walkedCombinations(const std::vector<DesignParameter>& parameters) {
    for (const auto& p : parameters)
        if (valueCount(p) <= 0)
            return 0;
    return combinationCount(parameters);
}

void applyBindings(AnalysisModel& variant, const std::vector<ParameterBinding>& bindings,
                   const std::vector<DesignParameter>& parameters) {
    for (const auto& b : bindings) {
        const DesignParameter* parameter = nullptr;
        for (const auto& p : parameters) {
            if (p.id == b.parameterId) {
                parameter = &p;
                break;
            }
        }
        if (!parameter)
            continue;
        const double value = parameter->currentValue * b.multiplier;
        for (auto& s : variant.springs) {
            if (s.id != b.objectId)
                continue;
            if (b.target >= 1 && b.target <= 3)
                s.position[b.target - 1] = value;
            else if (b.target >= 4 && b.target <= 6)
                s.angles[b.target - 4] = value;
        }
        for (auto& c : variant.springCharacteristics)
            if (c.id == b.objectId && b.target >= 1 && b.target <= 3)
                c.stiffness[b.target - 1] = value;
    }
}

namespace {

/// One displacement condition tested on the translation (d_x, d_y, d_z) of a
/// point; `local` is the translation in a spring's axes, or null for points
/// that have none.
bool displacementWithinLimit(const DisplacementCondition& c, const Matrix& d, const Matrix* local) {
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        if (c.directionFlags[static_cast<std::size_t>(i)] && std::fabs(d[i]) > c.limit)
            ok = false;
        if (local && c.directionFlags[static_cast<std::size_t>(3 + i)] &&
            std::fabs((*local)[i]) > c.limit)
            ok = false;
    }
    if (c.directionFlags[6] && absoluteDisplacement(d) > c.limit)
        ok = false;
    return ok;
}

/// One displacement condition on the static results `results` of `m` (a row per
/// static load).
bool displacementConditionHolds(const AnalysisModel& m, const Matrix& results,
                                const DisplacementCondition& c) {
    int row = -1;
    for (std::size_t i = 0; i < m.staticLoads.size(); ++i) {
        if (m.staticLoads[i].id == c.loadId) {
            row = static_cast<int>(i);
            break;
        }
    }
    if (row < 0 || row >= results.rows() || results.cols() < 6)
        return true;
    Matrix e(6, 1);
    for (int j = 0; j < 6; ++j)
        e[j] = results(row, j);

    bool ok = true;
    for (const auto& s : m.springs) {
        if (s.id != c.objectId)
            continue;
        const Matrix d = pointTransfer(e, m.centreOfGravity, s.position);
        const Matrix local = springLocalDisplacement(s, Matrix::vector({d[0], d[1], d[2]}));
        ok = displacementWithinLimit(c, d, &local) && ok;
        break;
    }
    for (const auto& p : m.observationPoints) {
        if (p.id != c.objectId)
            continue;
        ok = displacementWithinLimit(c, pointTransfer(e, m.centreOfGravity, p.position), nullptr) &&
             ok;
        break;
    }
    if (c.objectId == 1)
        ok = displacementWithinLimit(c, e, nullptr) && ok;
    return ok;
}

bool springRatiosHold(const AnalysisModel& m, const OptimizationConditions& c) {
    if (!c.springRatioEnabled)
        return true;
    const double upper = (c.springRatioTolerancePct * 0.01 + 1.0) * c.springRatio;
    bool ok = true;
    for (const auto& ch : m.springCharacteristics) {
        for (const double r :
             {ch.stiffness[0] / ch.stiffness[1], ch.stiffness[0] / ch.stiffness[2]})
            if (std::isnan(r) || r > upper || r < c.springRatio)
                ok = false;
    }
    return ok;
}

} // namespace

VariantScreen::VariantScreen(const AnalysisModel& model, const OptimizationConditions& conditions)
    : conditions_(conditions), basis_(model) {}

bool VariantScreen::mayBeAccepted(const AnalysisModel& variant) const {
    const OptimizationConditions& c = conditions_;
    if (!springRatiosHold(variant, c))
        return false;
    // A model the calculation refuses keeps zero results, which only the full
    // evaluation judges.
    if (validateModel(variant) > 0)
        return true;
    if (!frequenciesMayPass(variant))
        return false;
    // The static results are the calculation's own, and cheap: displacement
    // conditions are judged on them exactly.
    if (!c.displacementConditions.empty() && !variant.staticLoads.empty()) {
        const Matrix results = staticAnalysis(variant, &basis_);
        for (const auto& dc : c.displacementConditions)
            if (!displacementConditionHolds(variant, results, dc))
                return false;
    }
    return true;
}

bool VariantScreen::frequenciesMayPass(const AnalysisModel& variant) const {
    const OptimizationConditions& c = conditions_;
    if (!c.minFrequencyEnabled && !c.maxFrequencyEnabled)
        return true;
    // The bounds are those of the dynamic factors' rates: frequency tables move
    // the modes, so only the full calculation can tell.
    if (variant.usesFrequencyTables())
        return true;
    const PrincipalAxes* shared = basis_.principalFor(variant);
    FrequencyBounds bounds;
    const bool known =
        shared ? naturalFrequencyBounds(variant, *shared, bounds, &basis_)
               : naturalFrequencyBounds(variant, principalInertiaAxes(variant.inertia), bounds);
    if (!known)
        return true;
    // Mode 1 below its bounds' top fails "at least the minimum"; mode 6 above its
    // bounds' bottom fails "at most the maximum".
    if (c.minFrequencyEnabled && bounds.lowest.high < c.minFrequency)
        return false;
    if (c.maxFrequencyEnabled && bounds.highest.low > c.maxFrequency)
        return false;
    return true;
}

bool evaluateVariant(const AnalysisModel& m, const OptimizationConditions& c) {
    bool accepted = true;
    auto frequency = [&m](int mode) { return m.eigenFrequencies[6 - mode]; };

    for (int i = 0; i < 6; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        if (!c.modeConditionEnabled[ui])
            continue;
        for (int k = 1; k <= 6; ++k) {
            // NaN never fails here: both comparisons are false.
            if (contributionRatio(m.modeShapes, k, i) > c.modeContributionPct[ui] &&
                frequency(k) > c.modeMaxFrequency[ui])
                accepted = false;
        }
    }
    if (c.minFrequencyEnabled && !(frequency(1) >= c.minFrequency))
        accepted = false;
    if (c.maxFrequencyEnabled && frequency(6) > c.maxFrequency)
        accepted = false;
    if (!springRatiosHold(m, c))
        accepted = false;
    if (c.meanCouplingEnabled && meanCouplingDegree(m) > c.meanCouplingMax)
        accepted = false;
    for (const auto& dc : c.displacementConditions)
        if (!displacementConditionHolds(m, m.staticResults, dc))
            accepted = false;
    return accepted;
}

} // namespace quav
