#include "analysis/CalculationDriver.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/DynamicAnalysis.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/OwnFrequencyModes.h"
#include "analysis/StaticAnalysis.h"
#include "analysis/VariantBasis.h"

#include "model/Archive.h"
#include "model/TextFormat.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace quav {

namespace {

constexpr double kStepRowBytes = 12 * 8; // one dynamic load at one sweep step, in a model file

} // namespace

SweepPlan planSweep(const AnalysisModel& model, int loads) {
    SweepPlan plan;
    plan.loads = loads < 0 ? static_cast<int>(model.dynamicLoads.size()) : loads;
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
    else if (plan.steps * static_cast<double>(plan.loads) * kStepRowBytes >
             static_cast<double>(maxModelFileBytes))
        plan.error = CalculationError::SweepTooLargeForFile;
    return plan;
}

namespace {

bool finiteRow(const Matrix& m, int row) {
    for (int c = 0; c < m.cols(); ++c)
        if (!std::isfinite(m(row, c)))
            return false;
    return true;
}

void noteNonFinite(CalculationOutcome& outcome, std::string where, bool expected) {
    if (++outcome.nonFiniteCount <= kMaxReportedNonFinite)
        outcome.nonFinite.push_back({std::move(where), expected});
}

std::string dynamicLabel(const AnalysisModel& model, int load) {
    const DynamicLoad& l = model.dynamicLoads[static_cast<std::size_t>(load)];
    return elementLabel("動荷重", l.name, l.id);
}

/// One table of harmonic responses (a row per dynamic load): each load at its own
/// frequency, or all at the sweep step's frequency `step`.
void checkResponses(const AnalysisModel& model, const Matrix& table,
                    const HarmonicResponse& response, const double* step,
                    CalculationOutcome& outcome) {
    for (int l = 0; l < table.rows(); ++l) {
        if (finiteRow(table, l))
            continue;
        const double f = step ? *step : model.dynamicLoads[static_cast<std::size_t>(l)].frequency;
        const bool resonant = response.resonantAt(l, f);
        const std::string where = step ? format("周波数ｽﾃｯﾌﾟ %g Hz: ", f) + dynamicLabel(model, l)
                                       : dynamicLabel(model, l) + format(" %g Hz", f);
        noteNonFinite(outcome,
                      where + (resonant ? ": 減衰のない共振のため応答が無限大です"
                                        : ": 応答が数値ではありません"),
                      resonant);
    }
}

/// Every result the run made, checked to be a finite number.
void checkResults(const AnalysisModel& model, const CalculationConditions& conditions,
                  const HarmonicResponse* response, CalculationOutcome& outcome) {
    if (conditions.eigen) {
        bool finite = true;
        for (int i = 0; i < 6; ++i)
            finite = finite && std::isfinite(model.eigenFrequencies[i]) &&
                     finiteRow(model.modeShapes, i);
        if (!finite)
            noteNonFinite(outcome, "固有値解析の結果が数値ではありません", false);
    }
    for (int i = 0; i < model.staticResults.rows(); ++i)
        if (!finiteRow(model.staticResults, i)) {
            const StaticLoad& l = model.staticLoads[static_cast<std::size_t>(i)];
            noteNonFinite(outcome,
                          elementLabel("静荷重", l.name, l.id) +
                              ": 変位が数値ではありません(ばねで支えられていない方向があると"
                              "静解析は解けません)",
                          false);
        }
    if (!response)
        return;
    if (conditions.dynamic)
        checkResponses(model, model.dynamicResults, *response, nullptr, outcome);
    double f = model.frequencyStart;
    for (const Matrix& step : model.frequencyStepResults) {
        checkResponses(model, step, *response, &f, outcome);
        f += model.frequencyStep;
    }
}

} // namespace

CalculationOutcome calculate(AnalysisModel& model, const CalculationConditions& conditions,
                             const VariantBasis* basis) {
    CalculationOutcome outcome;
    model.calculated = 0;
    model.clearResults();
    if (conditions.modelChecked) {
        outcome.validation.zeroMass = model.mass == 0.0;
        outcome.validation.zeroMoment =
            model.inertia(0, 0) == 0.0 || model.inertia(1, 1) == 0.0 || model.inertia(2, 2) == 0.0;
        outcome.validation.noSprings = model.springs.empty();
    } else {
        outcome.validation = checkModel(model);
    }
    if (outcome.validation.count() > 0) {
        outcome.status = outcome.validation.count();
        outcome.error = CalculationError::InvalidModel;
        return outcome;
    }
    if (!conditions.modelChecked)
        outcome.ignoredLoads = ignoredLoadsNote(model);

    // Both analyses read the springs' orientations and characteristics: found once.
    const bool statics = conditions.staticAnalysis && !model.staticLoads.empty();
    if (conditions.eigen || statics) {
        const detail::SpringSet springs(model, basis);
        const PrincipalAxes* principal = basis ? basis->principalFor(model) : nullptr;
        if (conditions.eigen && model.usesFrequencyTables()) {
            OwnFrequencyModes modes = solveModesAtOwnFrequencies(
                model, principal ? *principal : principalInertiaAxes(model.inertia));
            if (!modes.converged()) {
                model.clearResults();
                outcome.status = 1;
                outcome.error = CalculationError::ModesNotConverged;
                outcome.unconvergedMode = modes.unconvergedMode;
                return outcome;
            }
            if (modes.modes.valid) {
                model.eigenFrequencies = std::move(modes.modes.frequencies);
                model.modeShapes = std::move(modes.modes.modeShapes);
                model.modeIterations = modes.iterations;
            }
        } else if (conditions.eigen && principal) {
            eigenvalueAnalysis(model, springs, *principal);
        } else if (conditions.eigen) {
            eigenvalueAnalysis(model, springs, principalInertiaAxes(model.inertia));
        }
        if (statics)
            model.staticResults = staticAnalysis(model, springs);
    }
    const bool dynamics = conditions.dynamic && !model.dynamicLoads.empty();
    bool sweep = conditions.frequencyStep && !model.dynamicLoads.empty();
    if (sweep && !sweepRangeSet(model)) {
        outcome.sweepNotSet = true;
        sweep = false;
    }
    std::unique_ptr<HarmonicResponse> response;
    if (dynamics || sweep)
        response = std::make_unique<HarmonicResponse>(model);
    if (dynamics)
        model.dynamicResults = response->atOwnFrequencies();
    if (sweep) {
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
        double f = start;
        for (int s = 0; s < count; ++s) {
            // Every load at the sweep frequency, 0 Hz included: the in-band "0 = own
            // frequency" of responseAtFrequency must not leak into a sweep from 0 Hz.
            model.frequencyStepResults[static_cast<std::size_t>(s)] =
                response->atCommonFrequency(f);
            f += step;
        }
    }
    checkResults(model, conditions, response.get(), outcome);
    for (const NonFiniteResult& r : outcome.nonFinite) {
        if (r.expected)
            continue;
        // A result that is not a number is no result: nothing of the run stays.
        model.clearResults();
        outcome.status = 1;
        outcome.error = CalculationError::NonFiniteResults;
        return outcome;
    }
    model.calculated = 1;
    return outcome;
}

bool addStaticResults(AnalysisModel& model, const VariantBasis* basis) {
    if (model.staticLoads.empty())
        return true;
    model.staticResults = staticAnalysis(model, basis);
    for (int i = 0; i < model.staticResults.rows(); ++i)
        if (!finiteRow(model.staticResults, i)) {
            model.clearResults();
            model.calculated = 0;
            return false;
        }
    return true;
}

int runCalculation(AnalysisModel& model, const CalculationConditions& conditions) {
    return calculate(model, conditions).status;
}

namespace {

std::string nonFiniteList(const CalculationOutcome& outcome) {
    std::string text = "計算結果に数値でない値があります:\n";
    for (const NonFiniteResult& r : outcome.nonFinite)
        text += "  " + r.where + "\n";
    if (outcome.nonFiniteCount > static_cast<std::int64_t>(outcome.nonFinite.size()))
        text += format("  ほか %lld 件\n",
                       static_cast<long long>(outcome.nonFiniteCount -
                                              static_cast<std::int64_t>(outcome.nonFinite.size())));
    return text;
}

} // namespace

std::string describeCalculationFailure(const CalculationOutcome& outcome) {
    std::string text;
    switch (outcome.error) {
    case CalculationError::None:
        break;
    case CalculationError::InvalidModel:
        text += describeValidation(outcome.validation);
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
    case CalculationError::NonFiniteResults:
        text += nonFiniteList(outcome);
        break;
    case CalculationError::ModesNotConverged:
        text += unconvergedModeText(outcome.unconvergedMode);
        break;
    }
    return text;
}

std::string describeSweepRefusal(const SweepPlan& plan) {
    CalculationOutcome outcome;
    outcome.status = 1;
    outcome.error = plan.error;
    outcome.sweepSteps = plan.steps;
    outcome.dynamicLoads = plan.loads;
    return describeCalculationFailure(outcome);
}

std::string describeCalculationNotes(const CalculationOutcome& outcome) {
    std::string text;
    if (outcome.sweepNotSet)
        text += "周波数範囲が設定されていないため、周波数ｽﾃｯﾌﾟ解析は行いませんでした\n";
    text += outcome.ignoredLoads;
    if (outcome.status == 0 && outcome.nonFiniteCount > 0)
        text += nonFiniteList(outcome);
    return text;
}

} // namespace quav
