#include "document/ResultCommands.h"

#include "analysis/CalculationDriver.h"
#include "analysis/ModeMetrics.h"
#include "document/Document.h"
#include "document/DocumentUi.h"
#include "reports/Reports.h"

#include <cstdio>

namespace quav {

CalculationCommandResult calculateCommand(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m) {
        ui.message("モデルがありません");
        return CalculationCommandResult::NoModel;
    }
    CalculationRequest request;
    request.start = m->frequencyStart;
    request.end = m->frequencyEnd;
    request.step = m->frequencyStep;
    if (!ui.runCalculationConditions(request)) {
        ui.message("処理が中断されました");
        return CalculationCommandResult::Cancelled;
    }
    m->setFrequencyRange(request.end, request.start, request.step);
    CalculationConditions conditions;
    conditions.eigen = request.eigen;
    conditions.staticAnalysis = request.staticAnalysis;
    conditions.dynamic = request.dynamic;
    conditions.frequencyStep = request.frequencyStep;

    // The work runs on a copy, so the window may paint the model meanwhile.
    AnalysisModel work = *m;
    CalculationOutcome outcome;
    ui.runBusy([&] { outcome = calculate(work, conditions); });
    *m = std::move(work);

    if (outcome.status == 0) {
        ui.message("計算終了");
    } else {
        std::string text = "ｴﾗｰ";
        const std::string reasons = describeCalculationFailure(outcome);
        if (!reasons.empty())
            text += "\n\n" + reasons;
        ui.message(text);
    }
    doc.setModified();
    doc.updateAllViews();
    return CalculationCommandResult::Finished;
}

void showResultsReport(CQUAVDoc& doc, DocumentUi& ui) {
    if (const AnalysisModel* m = doc.model())
        ui.showText(resultsReport(*m));
}

void showInputListing(CQUAVDoc& doc, DocumentUi& ui) {
    const AnalysisModel* m = doc.model();
    if (!m)
        return;
    const FileTimes times = doc.path().empty() ? FileTimes{} : fileTimes(doc.path());
    if (doc.isModified() || !times.ok) {
        ui.message("ﾌｧｲﾙを保存してください");
        return;
    }
    ui.showText(inputListing(*m, doc.title(), times.created, times.modified));
}

void showElasticCentre(CQUAVDoc& doc, DocumentUi& ui) {
    if (const AnalysisModel* m = doc.model())
        ui.showText(elasticCentreReport(*m));
}

void showCouplingDegree(CQUAVDoc& doc, DocumentUi& ui) {
    const AnalysisModel* m = doc.model();
    if (!m)
        return;
    char text[64];
    std::snprintf(text, sizeof text, "連成度：%g[％]", meanCouplingDegree(*m));
    ui.message(text);
}

} // namespace quav
