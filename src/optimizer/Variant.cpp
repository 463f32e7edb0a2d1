#include "optimizer/Variant.h"

#include "analysis/CalculationDriver.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/LoadCaseAnalysis.h"
#include "analysis/ModeMetrics.h"
#include "analysis/PointMotion.h"
#include "analysis/StaticAnalysis.h"
#include "model/TextFormat.h"
#include "optimizer/OptimizerLog.h"

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
        if (local && c.directionFlags[3 + static_cast<std::size_t>(i)] &&
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

/// `rates`, when given, holds each characteristic's Kxx, Kyy, Kzz in place of
/// the model's.
bool springRatiosHold(const AnalysisModel& m, const OptimizationConditions& c,
                      const double* rates = nullptr) {
    if (!c.springRatioEnabled)
        return true;
    const double upper = (c.springRatioTolerancePct * 0.01 + 1.0) * c.springRatio;
    bool ok = true;
    for (std::size_t j = 0; j < m.springCharacteristics.size(); ++j) {
        const double* k = rates ? rates + 3 * j : m.springCharacteristics[j].stiffness.data();
        for (const double r : {k[0] / k[1], k[0] / k[2]})
            if (std::isnan(r) || r > upper || r < c.springRatio)
                ok = false;
    }
    return ok;
}

} // namespace

std::vector<int> enabledConditions(const OptimizationConditions& c) {
    std::vector<int> numbers;
    for (int i = 0; i < 6; ++i)
        if (c.modeConditionEnabled[static_cast<std::size_t>(i)])
            numbers.push_back(kModeCondition + i);
    if (c.minFrequencyEnabled)
        numbers.push_back(kMinFrequencyCondition);
    if (c.maxFrequencyEnabled)
        numbers.push_back(kMaxFrequencyCondition);
    if (c.springRatioEnabled)
        numbers.push_back(kSpringRatioCondition);
    if (c.meanCouplingEnabled)
        numbers.push_back(kMeanCouplingCondition);
    for (std::size_t k = 0; k < c.displacementConditions.size(); ++k)
        numbers.push_back(kDisplacementCondition + static_cast<int>(k));
    if (c.loadCasesPass)
        numbers.push_back(kLoadCaseCondition);
    return numbers;
}

int firstFailingCase(const AnalysisModel& variant) {
    for (std::size_t i = 0; i < variant.loadCases.size(); ++i)
        if (!analyseLoadCase(variant, variant.loadCases[i]).pass)
            return static_cast<int>(i);
    return -1;
}

std::string conditionName(int number, const OptimizationConditions& c, const AnalysisModel& m) {
    if (number >= kModeCondition && number < kModeCondition + 6) {
        const auto i = static_cast<std::size_t>(number - kModeCondition);
        return format("自由度%sの寄与率%g[％]以上のモードが%g[Hz]以下", kDofNames[i],
                      c.modeContributionPct[i], c.modeMaxFrequency[i]);
    }
    switch (number) {
    case kMinFrequencyCondition:
        return format("最小周波数%g[Hz]以上", c.minFrequency);
    case kMaxFrequencyCondition:
        return format("最大周波数%g[Hz]以下", c.maxFrequency);
    case kSpringRatioCondition:
        return format("ばね特性の縦/横比が%gの+%g[％]以内", c.springRatio,
                      c.springRatioTolerancePct);
    case kMeanCouplingCondition:
        return format("平均連成度%g[％]以下", c.meanCouplingMax);
    default:
        break;
    }
    if (number >= kLoadCaseCondition) {
        const auto i = static_cast<std::size_t>(number - kLoadCaseCondition);
        return i < m.loadCases.size()
                   ? "荷重ケースをすべて満たす(最初の不合格: " + m.loadCases[i].name + ")"
                   : std::string("荷重ケースをすべて満たす");
    }
    const auto k = static_cast<std::size_t>(number - kDisplacementCondition);
    const DisplacementCondition& d = c.displacementConditions.at(k);
    return format("変位 %s %s %g[m]以下", logObjectName(m, d.objectId).c_str(),
                  logObjectName(m, d.loadId).c_str(), d.limit);
}

VariantScreen::VariantScreen(const AnalysisModel& model, const OptimizationConditions& conditions)
    : conditions_(conditions), basis_(model) {}

bool VariantScreen::rejects(const AnalysisModel& variant, std::vector<int>& failed) const {
    const OptimizationConditions& c = conditions_;
    failed.clear();
    // Only the modes' shapes tell the mean coupling degree.
    if (c.meanCouplingEnabled)
        return false;
    // In the order failedConditions lists them: modes and window, ratio, displacements.
    if (!judgeFrequencies(variant, failed))
        return false;
    if (!springRatiosHold(variant, c))
        failed.push_back(kSpringRatioCondition);
    // The static results are the calculation's own, and cheap: displacement
    // conditions are judged on them exactly.
    if (!c.displacementConditions.empty() && !variant.staticLoads.empty()) {
        const Matrix results = staticAnalysis(variant, &basis_);
        for (std::size_t k = 0; k < c.displacementConditions.size(); ++k)
            if (!displacementConditionHolds(variant, results, c.displacementConditions[k]))
                failed.push_back(kDisplacementCondition + static_cast<int>(k));
    }
    // Every other condition is decided here, so the cases decide the rest: a
    // variant that passes all but them is spared its eigen solution.
    if (c.loadCasesPass)
        if (const int i = firstFailingCase(variant); i >= 0)
            failed.push_back(kLoadCaseCondition + i);
    return !failed.empty();
}

bool VariantScreen::judgeFrequencies(const AnalysisModel& variant, std::vector<int>& failed) const {
    const OptimizationConditions& c = conditions_;
    bool anyMode = false;
    for (int flag : c.modeConditionEnabled)
        anyMode = anyMode || flag != 0;
    if (!anyMode && !c.minFrequencyEnabled && !c.maxFrequencyEnabled)
        return true;
    // The count is that of the dynamic factors' rates: frequency tables move the
    // modes, so only the full calculation can tell.
    if (variant.usesFrequencyTables())
        return false;
    const PrincipalAxes* shared = basis_.principalFor(variant);
    const FrequencyCount count =
        shared ? FrequencyCount(variant, *shared, &basis_)
               : FrequencyCount(variant, principalInertiaAxes(variant.inertia));
    return judgeCount(count, failed);
}

std::vector<double> VariantScreen::frequencyLimits() const {
    const OptimizationConditions& c = conditions_;
    std::vector<double> limits;
    for (std::size_t i = 0; i < 6; ++i)
        if (c.modeConditionEnabled[i])
            limits.push_back(c.modeMaxFrequency[i]);
    if (c.minFrequencyEnabled)
        limits.push_back(c.minFrequency);
    if (c.maxFrequencyEnabled)
        limits.push_back(c.maxFrequency);
    return limits;
}

bool VariantScreen::frequenciesOnly() const {
    const OptimizationConditions& c = conditions_;
    return !frequencyLimits().empty() && !c.meanCouplingEnabled && !c.springRatioEnabled &&
           c.displacementConditions.empty() && !c.loadCasesPass;
}

bool VariantScreen::shapesMatter() const {
    const OptimizationConditions& c = conditions_;
    bool shares = false;
    for (int flag : c.modeConditionEnabled)
        shares = shares || flag != 0;
    return shares || c.meanCouplingEnabled;
}

bool VariantScreen::shapesDecide() const {
    const OptimizationConditions& c = conditions_;
    return shapesMatter() && c.displacementConditions.empty() && !c.loadCasesPass;
}

bool VariantScreen::judgeCount(const FrequencyCount& count, std::vector<int>& failed) const {
    const OptimizationConditions& c = conditions_;
    failed.clear();
    if (!count.usable())
        return false;
    // "Every frequency at most the limit" fails when fewer than six can be at or
    // below it, and holds when all six are certainly below it.
    auto upper = [&count](double limit, bool& fails) {
        const FrequencyCount::Range r = count.below(limit);
        fails = r.high < 6;
        return fails || r.low == 6;
    };
    for (int i = 0; i < 6; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        if (!c.modeConditionEnabled[ui])
            continue;
        // A mode fails when it lies above the limit with a contribution above the
        // share. Every contribution is 100 x^2 >= 0: a share below 0 is exceeded by
        // every mode, so the condition fails exactly when the highest frequency is
        // above the limit; otherwise it holds when no frequency is above the limit
        // and needs the shapes when some may be.
        bool fails = false;
        const bool decided = upper(c.modeMaxFrequency[ui], fails);
        if (!decided || (fails && !(c.modeContributionPct[ui] < 0.0)))
            return false;
        if (fails)
            failed.push_back(kModeCondition + i);
    }
    if (c.minFrequencyEnabled) {
        // Mode 1 at least the minimum: fails when a frequency is certainly below
        // it, holds when none is at or below it.
        const FrequencyCount::Range r = count.below(c.minFrequency);
        if (r.low > 0)
            failed.push_back(kMinFrequencyCondition);
        else if (r.high > 0)
            return false;
    }
    if (c.maxFrequencyEnabled) {
        bool fails = false;
        if (!upper(c.maxFrequency, fails))
            return false;
        if (fails)
            failed.push_back(kMaxFrequencyCondition);
    }
    return true;
}

namespace {

/// The modes the conditions read: the calculation's own (no errors) or an
/// estimate whose frequency and shape column s lie within frequencyError[s] and
/// shapeError[s] of them.
struct ModeReadings {
    const double* frequencies; ///< storage order
    const double* shapes;      ///< row-major, a mode a column, storage order
    const double* frequencyError = nullptr;
    const double* shapeError = nullptr;
    bool calculated = true;
    const double* rates = nullptr; ///< the characteristics' rates, when not the model's
};

/// a > b as the exact values would give it: 1 or 0, -1 when a lies within
/// `error` of b (or is not a number) and only they can tell.
int exceeds(double a, double b, double error) {
    if (error == 0.0)
        return a > b ? 1 : 0;
    if (a > b + error)
        return 1;
    if (a < b - error)
        return 0;
    return -1;
}

/// A share or a degree is 100 times squares of shape elements: each square moves
/// by at most 2e + e^2 with its element, and the sums round a little.
double shareError(double e) {
    return e == 0.0 ? 0.0 : 100.0 * (2.0 * e + e * e) + 1e-11;
}

/// The conditions the readings decide, then the rest; false as soon as one of
/// them lies within the readings' error of its limit.
bool judgeConditions(const AnalysisModel& m, const ModeReadings& r, const OptimizationConditions& c,
                     std::vector<int>& failed) {
    failed.clear();
    auto frequency = [&r](int mode) { return r.frequencies[6 - mode]; };
    auto frequencyError = [&r](int mode) {
        return r.frequencyError ? r.frequencyError[6 - mode] : 0.0;
    };
    auto shapeError = [&r](int index) { return r.shapeError ? r.shapeError[index] : 0.0; };
    auto square = [&r](int dof, int index) {
        const double x = r.shapes[dof * 6 + index];
        return x * x;
    };
    for (int i = 0; i < 6; ++i) {
        const auto ui = static_cast<std::size_t>(i);
        if (!c.modeConditionEnabled[ui])
            continue;
        bool fails = false, unsure = false;
        for (int k = 1; k <= 6 && !fails; ++k) {
            // NaN never fails here: both comparisons are false.
            const int above = exceeds(frequency(k), c.modeMaxFrequency[ui], frequencyError(k));
            if (above == 0)
                continue;
            const int share = exceeds(100.0 * square(i, 6 - k), c.modeContributionPct[ui],
                                      shareError(shapeError(6 - k)));
            fails = above == 1 && share == 1;
            unsure = unsure || share != 0;
        }
        if (!fails && unsure)
            return false;
        if (fails)
            failed.push_back(kModeCondition + i);
    }
    if (c.minFrequencyEnabled) {
        // Mode 1 below the minimum, or not a number.
        const double f = frequency(1), e = frequencyError(1);
        if (e == 0.0 ? !(f >= c.minFrequency) : f < c.minFrequency - e)
            failed.push_back(kMinFrequencyCondition);
        else if (e != 0.0 && !(f >= c.minFrequency + e))
            return false;
    }
    if (c.maxFrequencyEnabled) {
        const int above = exceeds(frequency(6), c.maxFrequency, frequencyError(6));
        if (above < 0)
            return false;
        if (above == 1)
            failed.push_back(kMaxFrequencyCondition);
    }
    if (!springRatiosHold(m, c, r.rates))
        failed.push_back(kSpringRatioCondition);
    if (c.meanCouplingEnabled) {
        const double degree = r.calculated ? meanCouplingDegree(r.shapes) : 0.0;
        // The mean of the modes' errors.
        double error = 0.0;
        for (int j = 0; j < 6; ++j)
            error += shareError(shapeError(j)) / 6.0;
        const int above = exceeds(degree, c.meanCouplingMax, error);
        if (above < 0)
            return false;
        if (above == 1)
            failed.push_back(kMeanCouplingCondition);
    }
    for (std::size_t k = 0; k < c.displacementConditions.size(); ++k)
        if (!displacementConditionHolds(m, m.staticResults, c.displacementConditions[k]))
            failed.push_back(kDisplacementCondition + static_cast<int>(k));
    if (c.loadCasesPass)
        if (const int i = firstFailingCase(m); i >= 0)
            failed.push_back(kLoadCaseCondition + i);
    return true;
}

} // namespace

void failedConditions(const AnalysisModel& m, const OptimizationConditions& c,
                      std::vector<int>& failed) {
    judgeConditions(
        m, {m.eigenFrequencies.data(), m.modeShapes.data(), nullptr, nullptr, m.calculated != 0}, c,
        failed);
}

bool failedConditionsEstimated(const AnalysisModel& m, const ModesEstimate& modes,
                               const OptimizationConditions& c, std::vector<int>& failed,
                               const double* rates) {
    // One sum tells: any infinity or NaN makes it so (and a sum beyond the range
    // of finite terms only sends the variant to its calculation).
    double sums[6];
    for (int j = 0; j < 6; ++j)
        sums[j] = modes.frequencies[j];
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            sums[j] += modes.shapes[i * 6 + j];
    if (!std::isfinite(sums[0] + sums[1] + sums[2] + sums[3] + sums[4] + sums[5]))
        return false;
    // The variant is calculated but for its modes.
    return judgeConditions(
        m, {modes.frequencies, modes.shapes, modes.frequencyError, modes.shapeError, true, rates},
        c, failed);
}

bool evaluateVariant(const AnalysisModel& m, const OptimizationConditions& c) {
    std::vector<int> failed;
    failedConditions(m, c, failed);
    return failed.empty();
}

} // namespace quav
