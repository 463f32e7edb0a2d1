#include "analysis/CalculationDriver.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/DynamicAnalysis.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/StaticAnalysis.h"
#include "analysis/VariantBasis.h"

#include "model/Archive.h"

#include <cstdio>

namespace quav {

namespace {

constexpr double kStepRowBytes = 12 * 8; // one dynamic load at one sweep step, in a model file

} // namespace

ModelValidation checkModel(const AnalysisModel& model) {
    ModelValidation v;
    v.zeroMass = model.mass == 0.0;
    v.zeroMoment =
        model.inertia(0, 0) == 0.0 || model.inertia(1, 1) == 0.0 || model.inertia(2, 2) == 0.0;
    v.noSprings = model.springs.empty();
    return v;
}

int validateModel(const AnalysisModel& model) {
    return checkModel(model).count();
}

SweepPlan planSweep(const AnalysisModel& model) {
    SweepPlan plan;
    const double end = model.frequencyEnd, start = model.frequencyStart;
    if (!(end > 0.0 && end > start && model.frequencyStep > 0.0)) {
        plan.error = CalculationError::BadFrequencyRange;
        return plan;
    }
    plan.steps = model.sweepStepCountExact();
    if (!(plan.steps <= kMaxSweepSteps))
        plan.error = CalculationError::SweepTooLarge;
    // Each step keeps one row of 12 doubles per dynamic load, all of which the
    // model file must hold: refuse before the memory and the time are spent.
    else if (plan.steps * static_cast<double>(model.dynamicLoads.size()) * kStepRowBytes >
             static_cast<double>(maxModelFileBytes))
        plan.error = CalculationError::SweepTooLargeForFile;
    return plan;
}

CalculationOutcome calculate(AnalysisModel& model, const CalculationConditions& conditions,
                             const VariantBasis* basis) {
    CalculationOutcome outcome;
    model.calculated = 0;
    model.clearResults();
    outcome.validation = checkModel(model);
    if (outcome.validation.count() > 0) {
        outcome.status = outcome.validation.count();
        outcome.error = CalculationError::InvalidModel;
        return outcome;
    }

    // Both analyses read the springs' orientations and characteristics: found once.
    const bool statics = conditions.staticAnalysis && !model.staticLoads.empty();
    if (conditions.eigen || statics) {
        const detail::SpringSet springs(model, basis);
        const PrincipalAxes* principal = basis ? basis->principalFor(model) : nullptr;
        if (conditions.eigen && principal)
            eigenvalueAnalysis(model, springs, *principal);
        else if (conditions.eigen)
            eigenvalueAnalysis(model, springs, principalInertiaAxes(model.inertia));
        if (statics)
            model.staticResults = staticAnalysis(model, springs);
    }
    if (conditions.dynamic && !model.dynamicLoads.empty())
        model.dynamicResults = responseAtFrequency(model, 0.0);
    if (conditions.frequencyStep && !model.dynamicLoads.empty()) {
        const SweepPlan plan = planSweep(model);
        outcome.sweepSteps = plan.steps;
        if (plan.error != CalculationError::None) {
            model.clearResults();
            outcome.status = 1;
            outcome.error = plan.error;
            outcome.dynamicLoads = static_cast<int>(model.dynamicLoads.size());
            return outcome;
        }
        const double start = model.frequencyStart, step = model.frequencyStep;
        const int count = static_cast<int>(outcome.sweepSteps);
        model.frequencyStepResults.assign(static_cast<std::size_t>(count), Matrix());
        const HarmonicResponse response(model);
        double f = start;
        for (int s = 0; s < count; ++s) {
            // Every load at the sweep frequency, 0 Hz included: the in-band "0 = own
            // frequency" of responseAtFrequency must not leak into a sweep from 0 Hz.
            model.frequencyStepResults[static_cast<std::size_t>(s)] = response.atCommonFrequency(f);
            f += step;
        }
    }
    model.calculated = 1;
    return outcome;
}

int runCalculation(AnalysisModel& model, const CalculationConditions& conditions) {
    return calculate(model, conditions).status;
}

std::string describeCalculationFailure(const CalculationOutcome& outcome) {
    std::string text;
    switch (outcome.error) {
    case CalculationError::None:
        break;
    case CalculationError::InvalidModel:
        if (outcome.validation.zeroMass)
            text += "質量が0です\n";
        if (outcome.validation.zeroMoment)
            text += "慣性モーメント(Ixx, Iyy, Izz)に0があります\n";
        if (outcome.validation.noSprings)
            text += "ばね要素がありません\n";
        break;
    case CalculationError::BadFrequencyRange:
        text += "周波数設定が不正です(終了 > 0、終了 > 開始、ステップ > 0 が必要です)\n";
        break;
    case CalculationError::SweepTooLarge: {
        char line[160];
        std::snprintf(line, sizeof line, "周波数ステップ数が多すぎます(%.0f、上限 %d)\n",
                      outcome.sweepSteps, kMaxSweepSteps);
        text += line;
        break;
    }
    case CalculationError::SweepTooLargeForFile: {
        char line[200];
        std::snprintf(
            line, sizeof line,
            "周波数ステップ数が多すぎます(%.0f ステップ × 動荷重 %d、結果がモデルファイルの"
            "上限 %zu MB を超えます)\n",
            outcome.sweepSteps, outcome.dynamicLoads, maxModelFileBytes >> 20);
        text += line;
        break;
    }
    }
    return text;
}

} // namespace quav
