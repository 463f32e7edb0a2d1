#include "document/ResultCommands.h"

#include "analysis/CalculationDriver.h"
#include "analysis/ModeMetrics.h"
#include "document/Document.h"
#include "document/DocumentUi.h"
#include "document/InputRules.h"
#include "reports/Reports.h"

#include <cstdio>

namespace quav {

const char* const kStaleResultsMark = "古い結果（計算後にモデルが変更されています）";
const char* const kStaleResultsNote =
    "※古い結果: 計算後にモデルが変更されています。前回の計算の結果とそのときのモデルを"
    "表示しています（計算実行で更新されます）\r\n\r\n";

CalculationCommandResult calculateCommand(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m) {
        ui.message("モデルがありません");
        return CalculationCommandResult::NoModel;
    }
    CalculationRequest request = doc.dialogMemory().analyses.value_or(CalculationRequest{});
    request.start = m->frequencyStart;
    request.end = m->frequencyEnd;
    request.step = m->frequencyStep;
    if (!ui.runCalculationConditions(request)) {
        ui.message("処理が中断されました");
        return CalculationCommandResult::Cancelled;
    }
    if (const std::optional<FieldProblem> problem = inputProblem(request)) {
        ui.message(inputErrorText(*problem));
        return CalculationCommandResult::Cancelled;
    }
    doc.dialogMemory().analyses = request;
    m->setFrequencyRange(request.end, request.start, request.step);
    CalculationConditions conditions;
    conditions.eigen = request.eigen;
    conditions.staticAnalysis = request.staticAnalysis;
    conditions.dynamic = request.dynamic;
    conditions.frequencyStep = request.frequencyStep;

    // The work runs on a copy, so the window may paint the model meanwhile.
    AnalysisModel work = *m;
    CalculationOutcome outcome;
    if (const std::string failure = ui.runBusy([&] { outcome = calculate(work, conditions); });
        !failure.empty()) {
        // The results stay as they were: a half-done calculation is none.
        ui.message("ｴﾗｰ\n\n" + failure);
        return CalculationCommandResult::Finished;
    }
    *m = std::move(work);

    std::string text = outcome.status == 0 ? "計算終了" : "ｴﾗｰ";
    const std::string reasons = outcome.status == 0 ? describeCalculationNotes(outcome)
                                                    : describeCalculationFailure(outcome);
    if (!reasons.empty())
        text += "\n\n" + reasons;
    ui.message(text);
    doc.calculationFinished();
    doc.updateAllViews();
    return CalculationCommandResult::Finished;
}

namespace {

/// The largest report the text window shows. The results report grows with
/// loads x (springs + observation points): 10,000 springs and 300 loads make
/// half a gigabyte, which no window can show and which would exhaust memory.
/// Such a report is written by quav-cli, piece by piece.
constexpr std::size_t kMaxShownReportBytes = std::size_t{64} << 20;

/// Shows the report `write` makes, unless it is longer than the window takes.
template <class Write> void showReport(DocumentUi& ui, Write write) {
    std::string text;
    const bool whole = write([&text](std::string_view piece) {
        if (text.size() + piece.size() > kMaxShownReportBytes)
            return false;
        text += piece;
        return true;
    });
    if (whole)
        ui.showText(text);
    else
        ui.message("レポートが大きすぎて表示できません（" +
                   std::to_string(kMaxShownReportBytes >> 20) +
                   " MB を超えます）。quav-cli でファイルに出力してください");
}

} // namespace

void showResultsReport(CQUAVDoc& doc, DocumentUi& ui) {
    if (!doc.model())
        return;
    const bool stale = doc.resultState() == ResultState::Stale;
    const AnalysisModel* m = stale ? doc.resultsModel() : doc.model();
    showReport(ui, [m, stale](const TextSink& sink) {
        return (!stale || sink(kStaleResultsNote)) && writeResultsReport(*m, sink);
    });
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
    showReport(ui, [&](const TextSink& sink) {
        return writeInputListing(*m, doc.title(), times.created, times.modified, sink);
    });
}

void showElasticCentre(CQUAVDoc& doc, DocumentUi& ui) {
    if (const AnalysisModel* m = doc.model())
        ui.showText(elasticCentreReport(*m));
}

void showCouplingDegree(CQUAVDoc& doc, DocumentUi& ui) {
    const AnalysisModel* m = doc.model();
    if (!m)
        return;
    const bool stale = doc.resultState() == ResultState::Stale;
    char text[64];
    std::snprintf(text, sizeof text, "連成度：%g[％]",
                  meanCouplingDegree(stale ? *doc.resultsModel() : *m));
    ui.message(stale ? std::string(text) + "\n\n" + kStaleResultsMark : text);
}

} // namespace quav
