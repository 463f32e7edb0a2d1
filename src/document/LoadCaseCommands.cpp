#include "document/LoadCaseCommands.h"

#include "analysis/KineticEnergy.h"
#include "analysis/LoadCaseAnalysis.h"
#include "document/Document.h"
#include "document/DocumentUi.h"

namespace quav {

void showLoadCases(CQUAVDoc& doc, DocumentUi& ui) {
    const AnalysisModel* m = doc.model();
    if (!m) {
        ui.message("モデルがありません");
        return;
    }
    if (m->loadCases.empty()) {
        ui.message("荷重ケースがありません");
        return;
    }
    if (const std::string reasons = analysisRefusal(*m); !reasons.empty()) {
        ui.message("ｴﾗｰ\n\n" + reasons);
        return;
    }
    const AnalysisModel model = *m;
    std::vector<LoadCaseResult> results;
    ui.runBusy([&] { results = analyseLoadCases(model, true); });
    ui.showLoadCases(model, results);
}

} // namespace quav
