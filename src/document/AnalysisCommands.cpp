#include "document/AnalysisCommands.h"

#include "analysis/CalculationDriver.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/MountForces.h"
#include "analysis/OwnFrequencyModes.h"
#include "analysis/Robustness.h"
#include "analysis/Sensitivity.h"
#include "analysis/TorqueRollAxis.h"
#include "document/Document.h"
#include "document/DocumentUi.h"
#include "document/InputRules.h"
#include "reports/MountReports.h"

#include <cmath>
#include <new>

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

void showTorqueRollAxis(CQUAVDoc& doc, DocumentUi& ui, TorqueAxisValues& values) {
    const AnalysisModel* m = analysable(doc, ui);
    if (!m)
        return;
    const StaticLoad* load = defaultTorqueLoad(*m);
    const std::string defaultText =
        load ? "ﾓｰﾒﾝﾄ荷重 " + load->name + " の方向" : std::string("x 軸(ﾓｰﾒﾝﾄ荷重なし)");
    TorqueAxisValues entered = values;
    if (!ui.runTorqueAxis(entered, defaultText))
        return;
    Direction axis = defaultTorqueAxis(*m);
    if (entered.choice >= 1 && entered.choice <= 3)
        axis = {double(entered.choice == 1), double(entered.choice == 2),
                double(entered.choice == 3)};
    else if (entered.choice == 4)
        axis = entered.vector;
    if (const std::string problem = torqueDirectionProblem(*m, axis, entered.choice == 0);
        !problem.empty()) {
        ui.message("ｴﾗｰ\n\n" + problem);
        return;
    }
    values = entered;
    ui.showText(
        torqueRollAxisReport(torqueRollAxis(*m, solveModesAtOwnFrequencies(*m).modes, axis)));
}

void showMountForces(CQUAVDoc& doc, DocumentUi& ui) {
    if (const AnalysisModel* m = analysable(doc, ui))
        ui.showText(mountForcesReport(*m, MountForceLoads(*m)));
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
    // The curves are shown, not kept in a model file: only the step limit holds.
    const SweepPlan plan = planSweep(*m, 1);
    if (plan.error != CalculationError::None) {
        ui.message("ｴﾗｰ\n\n" + describeSweepRefusal(plan));
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
    settings.vary =
        values.perCharacteristic ? RateVariation::PerCharacteristic : RateVariation::PerSpring;
    settings.samples = static_cast<std::int64_t>(values.samples);
    settings.seed = static_cast<std::uint64_t>(values.seed);

    // The run works on a copy, so the window may paint the model meanwhile.
    const AnalysisModel model = *doc.model();
    const FrequencyWindow window = doc.optimizer().conditions.frequencyWindow();
    RunControl control;
    RobustnessResult result;
    const std::string failure =
        ui.runWithProgress("ロバスト性を計算しています", control, settings.samples,
                           [&] { result = robustness(model, settings, window, control); });
    if (!failure.empty())
        result.error = failure;
    if (!result.error.empty())
        ui.message("ｴﾗｰ\n\n" + result.error);
    else
        ui.showText(robustnessReport(settings, result));
}

void showSensitivity(CQUAVDoc& doc, DocumentUi& ui) {
    if (!analysable(doc, ui))
        return;
    // The work is done on a copy, so the window may paint the model meanwhile.
    const AnalysisModel model = *doc.model();
    RunControl control;
    Sensitivities result;
    int unconverged = 0;
    const std::string failure =
        ui.runWithProgress("感度を計算しています", control, sensitivityWork(model), [&] {
            // With frequency tables each mode is differentiated at its own frequency.
            const OwnFrequencyModes modes = solveModesAtOwnFrequencies(model);
            unconverged = modes.unconvergedMode;
            if (unconverged == 0)
                result = sensitivities(model, modes.modes, sensitivityParameters(model, {}),
                                       &control.done);
        });
    if (!failure.empty() || unconverged != 0) {
        ui.message("ｴﾗｰ\n\n" + (failure.empty() ? unconvergedModeText(unconverged) : failure));
        return;
    }
    ui.showSensitivity(doc, model, result);
}

void selectSensitivityObject(CQUAVDoc& doc, const SensitivityParameter& parameter) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    m->setSpringSelection(-2);
    for (SpringElement& s : m->springs)
        if (parameter.kind == ParameterKind::Rate ? s.characteristicId == parameter.object
                                                  : s.id == parameter.object)
            s.selected = 1;
    doc.updateAllViews();
}

} // namespace quav
