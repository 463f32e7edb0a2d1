#include "document/AnalysisCommands.h"

#include "analysis/CalculationDriver.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/MountForces.h"
#include "analysis/OwnFrequencyModes.h"
#include "analysis/Robustness.h"
#include "analysis/TorqueRollAxis.h"
#include "document/Document.h"
#include "document/DocumentUi.h"
#include "document/InputRules.h"
#include "reports/MountReports.h"

#include <cmath>

namespace quav {

namespace {

/// The model when the analysis can run on it; otherwise says why and gives none.
const AnalysisModel* analysable(CQUAVDoc& doc, DocumentUi& ui) {
    const AnalysisModel* m = doc.model();
    if (!m) {
        ui.message("モデルがありません");
        return nullptr;
    }
    const std::string reasons = analysisRefusal(*m);
    if (!reasons.empty()) {
        ui.message("ｴﾗｰ\n\n" + reasons);
        return nullptr;
    }
    return m;
}

} // namespace

void showEnergyDistribution(CQUAVDoc& doc, DocumentUi& ui) {
    const AnalysisModel* m = analysable(doc, ui);
    if (!m)
        return;
    const ModalSolution modes = solveModesAtOwnFrequencies(*m).modes;
    ui.showText(
        energyDistributionReport(kineticEnergyDistribution(*m, modes, EnergyFrame::Global)) +
        "\r\n" +
        energyDistributionReport(kineticEnergyDistribution(*m, modes, EnergyFrame::Principal)));
}

void showTorqueRollAxis(CQUAVDoc& doc, DocumentUi& ui) {
    if (const AnalysisModel* m = analysable(doc, ui))
        ui.showText(torqueRollAxisReport(
            torqueRollAxis(*m, solveModesAtOwnFrequencies(*m).modes, defaultTorqueAxis(*m))));
}

void showMountForces(CQUAVDoc& doc, DocumentUi& ui) {
    if (const AnalysisModel* m = analysable(doc, ui))
        ui.showText(mountForcesReport(*m, mountForces(*m)));
}

void showTransmissibility(CQUAVDoc& doc, DocumentUi& ui) {
    const AnalysisModel* m = analysable(doc, ui);
    if (!m)
        return;
    bool any = false;
    for (const auto& load : m->dynamicLoads)
        any = any || hasForceTransmissibility(load);
    if (!any) {
        ui.message("力の動荷重がありません\n(ﾓｰﾒﾝﾄには力の伝達率がありません)");
        return;
    }
    const SweepPlan plan = planSweep(*m);
    if (plan.error != CalculationError::None) {
        CalculationOutcome outcome;
        outcome.status = 1;
        outcome.error = plan.error;
        outcome.sweepSteps = plan.steps;
        ui.message("ｴﾗｰ\n\n" + describeCalculationFailure(outcome));
        return;
    }
    ui.showTransmissibility(*m);
}

void runRobustness(CQUAVDoc& doc, DocumentUi& ui, RobustnessValues& values) {
    if (!analysable(doc, ui))
        return;
    RobustnessValues entered = values;
    if (!ui.runRobustness(entered))
        return;
    if (const std::optional<FieldProblem> problem = inputProblem(entered)) {
        ui.message(inputErrorText(*problem));
        return;
    }
    values = entered;
    RobustnessSettings settings;
    settings.tolerancePct = values.tolerancePct;
    settings.distribution =
        values.normal ? ToleranceDistribution::Normal : ToleranceDistribution::Uniform;
    settings.positionTolerance = values.positionTolerance;
    settings.samples = static_cast<std::int64_t>(values.samples);
    settings.seed = static_cast<std::uint64_t>(values.seed);

    // The run works on a copy, so the window may paint the model meanwhile.
    const AnalysisModel model = *doc.model();
    const FrequencyWindow window = doc.optimizer().conditions.frequencyWindow();
    RunControl control;
    RobustnessResult result;
    ui.runWithProgress("ロバスト性を計算しています", control, settings.samples,
                       [&] { result = robustness(model, settings, window, control); });
    ui.showText(robustnessReport(settings, result));
}

} // namespace quav
