#pragma once

#include <string>

namespace quav {

class CQUAVDoc;
class DocumentUi;

/// How the calculation command ended.
enum class CalculationCommandResult {
    NoModel,   ///< "モデルがありません" was shown
    Cancelled, ///< the conditions dialog was cancelled: "処理が中断されました"
    Finished,  ///< the calculation ran: "計算終了", or "ｴﾗｰ" with the reasons
};

/// The conditions dialog on the model's sweep settings, then the calculation
/// of the ticked analyses (with the window kept painted while it runs). A run
/// that ends, well or not, marks the document modified (the sweep settings
/// and the results changed) and ends stale results. It is no undo step: undo
/// takes back edits, each with the results the model had before it.
CalculationCommandResult calculateCommand(CQUAVDoc& doc, DocumentUi& ui);

/// How result displays mark results the model no longer matches: a short mark
/// for windows and overlays, and the line that heads the results report.
extern const char* const kStaleResultsMark;
extern const char* const kStaleResultsNote;

/// The results report in the text window; nothing without a model. Stale
/// results are reported with the model they were calculated for, headed by
/// `kStaleResultsNote`; current ones exactly as the report is written.
void showResultsReport(CQUAVDoc& doc, DocumentUi& ui);
/// The saved file's input listing; refused with "ﾌｧｲﾙを保存してください"
/// while there are unsaved changes or no saved file to describe.
void showInputListing(CQUAVDoc& doc, DocumentUi& ui);
/// The elastic principal axes report; nothing without a model.
void showElasticCentre(CQUAVDoc& doc, DocumentUi& ui);
/// "連成度：%g[％]" with the mean coupling degree (of stale results, marked
/// so); nothing without a model.
void showCouplingDegree(CQUAVDoc& doc, DocumentUi& ui);

} // namespace quav
