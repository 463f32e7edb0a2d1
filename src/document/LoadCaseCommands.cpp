#include "document/LoadCaseCommands.h"

#include "analysis/KineticEnergy.h"
#include "analysis/LoadCaseAnalysis.h"
#include "document/Document.h"
#include "document/DocumentUi.h"
#include "document/InputRules.h"

#include <algorithm>

namespace quav {

namespace {

LoadCaseContext caseContext(const AnalysisModel& m, int index) {
    LoadCaseContext context{{}, m.loadCases, index};
    for (const StaticLoad& l : m.staticLoads)
        context.loads.push_back(l.name);
    return context;
}

/// The dialog's rows: a load named by several terms shows their sum.
LoadCaseValues caseValues(const AnalysisModel& m, const LoadCase& c) {
    LoadCaseValues v{c.name, std::vector<double>(m.staticLoads.size(), 0.0), c.gLoad};
    for (const LoadTerm& t : c.terms)
        for (std::size_t i = 0; i < m.staticLoads.size(); ++i)
            if (m.staticLoads[i].id == t.load)
                v.factors[i] += t.factor;
    return v;
}

/// A term per load with a factor other than 0, in the model's order, then the
/// terms of `old` whose load is gone.
LoadCase storedCase(const AnalysisModel& m, const LoadCaseValues& v, const LoadCase* old) {
    LoadCase c{v.name, {}, v.gLoad};
    for (std::size_t i = 0; i < m.staticLoads.size() && i < v.factors.size(); ++i)
        if (v.factors[i] != 0.0)
            c.terms.push_back({m.staticLoads[i].id, v.factors[i]});
    if (old)
        for (const LoadTerm& t : old->terms)
            if (std::none_of(m.staticLoads.begin(), m.staticLoads.end(),
                             [&](const StaticLoad& l) { return l.id == t.load; }))
                c.terms.push_back(t);
    return c;
}

/// Asks which case; -1 for none (no cases, or Cancel).
int chooseCase(const AnalysisModel& m, DocumentUi& ui, const char* title) {
    if (m.loadCases.empty()) {
        ui.message("荷重ケースがありません");
        return -1;
    }
    LoadCaseChoice choice{title, {}, 0};
    for (const LoadCase& c : m.loadCases)
        choice.names.push_back(c.name);
    if (!ui.runLoadCaseChoice(choice) || choice.index < 0 ||
        choice.index >= static_cast<int>(m.loadCases.size()))
        return -1;
    return choice.index;
}

/// Shows the rule the values break, if any (a dialog that let them through).
bool refused(DocumentUi& ui, const LoadCaseValues& v, const LoadCaseContext& context) {
    const std::optional<FieldProblem> problem = inputProblem(v, context);
    if (problem)
        ui.message(inputErrorText(*problem));
    return problem.has_value();
}

} // namespace

void createLoadCase(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    if (m->loadCases.size() >= static_cast<std::size_t>(kMaxLoadCases)) {
        ui.message("荷重ケースは " + std::to_string(kMaxLoadCases) + " 個までです");
        return;
    }
    const LoadCaseContext context = caseContext(*m, -1);
    LoadCaseValues v{{}, std::vector<double>(m->staticLoads.size(), 0.0), {}};
    if (!ui.runLoadCase(v, context) || refused(ui, v, context))
        return;
    doc.beginEdit("荷重ケースの追加", false);
    m->loadCases.push_back(storedCase(*m, v, nullptr));
    doc.updateAllViews();
}

void editLoadCase(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    const int index = chooseCase(*m, ui, "荷重ケースの編集");
    if (index < 0)
        return;
    const LoadCaseContext context = caseContext(*m, index);
    const LoadCase& old = m->loadCases[static_cast<std::size_t>(index)];
    LoadCaseValues v = caseValues(*m, old);
    if (!ui.runLoadCase(v, context) || refused(ui, v, context))
        return;
    LoadCase c = storedCase(*m, v, &old);
    if (c == old)
        return;
    doc.beginEdit("荷重ケースの編集", false);
    m->loadCases[static_cast<std::size_t>(index)] = std::move(c);
    doc.updateAllViews();
}

void deleteLoadCase(CQUAVDoc& doc, DocumentUi& ui) {
    AnalysisModel* m = doc.model();
    if (!m)
        return;
    const int index = chooseCase(*m, ui, "荷重ケースの削除");
    if (index < 0)
        return;
    const std::string name = m->loadCases[static_cast<std::size_t>(index)].name;
    doc.beginEdit("荷重ケースの削除", false);
    m->loadCases.erase(m->loadCases.begin() + index);
    ui.status("荷重ケースを削除しました: " + name + "（元に戻す: Ctrl+Z）");
    doc.updateAllViews();
}

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
    if (const std::string failure = ui.runBusy([&] { results = analyseLoadCases(model, true); });
        !failure.empty()) {
        // Cases half solved are none: the window would show them as results.
        ui.message("ｴﾗｰ\n\n" + failure);
        return;
    }
    ui.showLoadCases(model, results);
}

} // namespace quav
