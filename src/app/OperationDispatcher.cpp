#include "app/OperationDispatcher.h"

#include "document/Document.h"
#include "document/DocumentUi.h"
#include "document/EditingCommands.h"
#include "document/LoadCaseCommands.h"
#include "document/ResultCommands.h"

#include <algorithm>

namespace quav {

namespace {

/// What a pick mode asks of the user, for the status bar.
const char* pickPrompt(const std::string& t, const std::string& p) {
    if (p == "ﾓﾃﾞﾙ作成" && t == "ばね特性")
        return "ばね特性を割り当てるばね要素を 3D "
               "ビューでクリックして選び、「決定」を選んでください";
    if (t == "ばね要素")
        return "ばね要素を 3D ビューでクリックして選び、「編集」か「削除」を選んでください";
    if (t == "荷重")
        return "荷重を 3D ビューでクリックして選び、「編集」か「削除」を選んでください";
    if (t == "観測点")
        return "観測点を 3D ビューでクリックして選び、「編集」か「削除」を選んでください";
    return "応答を見るばね要素・荷重・観測点を 3D "
           "ビューでクリックして選び、「決定」を選んでください"
           "（選ばなければ重心）";
}

/// Items that run and leave: never remembered.
bool isOneShot(const std::string& t) {
    static const char* const texts[] = {"設定",     "ｸﾞﾗﾌ表示", "周波数ｽﾃｯﾌﾟ",
                                        "ﾃｷｽﾄ表示", "決定",     "連成度"};
    return std::any_of(std::begin(texts), std::end(texts), [&](const char* s) { return t == s; });
}

} // namespace

void OperationDispatcher::selectRemembered() {
    if (remembered_)
        tree_.select(remembered_);
}

void OperationDispatcher::selectionChanged(OperationTreeAccess::Item item) {
    if (!item)
        return;
    const bool oneShot = isOneShot(tree_.text(item));
    bool returnedToParent = false;
    ++depth_;
    const bool handled = dispatch(item, returnedToParent);
    --depth_;
    if (handled && !oneShot && !returnedToParent)
        remembered_ = item;
}

void OperationDispatcher::prompt(const Call& c) {
    // Only the item the user chose says what it expects: a pick mode reached
    // again after a one-shot item keeps that item's word in the status line.
    if (depth_ == 1)
        t_.ui.status(pickPrompt(c.text, c.parentText));
}

void OperationDispatcher::returnToParent(Call& c) {
    c.returned = true;
    if (c.parent)
        tree_.select(c.parent);
}

bool OperationDispatcher::dispatch(OperationTreeAccess::Item item, bool& returned) {
    using D = OperationDispatcher;
    // Every step whose parent and text match (null: any) runs, in this order; a
    // step that returns false ends the handling there.
    struct Step {
        const char* parent;
        const char* text;
        bool (*run)(D& d, Call& c);
    };
    static const Step steps[] = {
        {"ﾓﾃﾞﾙ作成", nullptr,
         [](D& d, Call&) {
             d.t_.display.presentationMode = false;
             return true;
         }},
        {"ﾓﾃﾞﾙ作成", "質量要素",
         [](D& d, Call& c) {
             defineMassElement(d.t_.doc, d.t_.ui);
             d.returnToParent(c);
             return true;
         }},
        {"ﾓﾃﾞﾙ作成", "ばね要素", [](D& d, Call& c) { return d.withModel(c, createSpring); }},
        {"ﾓﾃﾞﾙ作成", "ばね特性",
         [](D& d, Call& c) {
             if (d.t_.doc.model())
                 d.pickMode(c, SelectionMode::Springs);
             return true;
         }},
        {"ﾓﾃﾞﾙ作成", "静荷重", [](D& d, Call& c) { return d.withModel(c, createStaticLoad); }},
        {"ﾓﾃﾞﾙ作成", "動荷重", [](D& d, Call& c) { return d.withModel(c, createDynamicLoad); }},
        {"ﾓﾃﾞﾙ作成", "観測点",
         [](D& d, Call& c) { return d.withModel(c, createObservationPoint); }},
        {"ﾓﾃﾞﾙ作成", "荷重ケース", [](D& d, Call& c) { return d.withModel(c, createLoadCase); }},

        {"ﾓﾃﾞﾙ編集", nullptr,
         [](D& d, Call& c) {
             d.t_.display.presentationMode = false;
             return d.modelOrMessage(c, "質量要素がありません");
         }},
        {"ﾓﾃﾞﾙ編集", "質量要素", [](D& d, Call& c) { return d.withModel(c, defineMassElement); }},
        {"ﾓﾃﾞﾙ編集", "ばね要素",
         [](D& d, Call& c) { return d.pickMode(c, SelectionMode::Springs); }},
        {"ﾓﾃﾞﾙ編集", "ばね特性", [](D& d, Call& c) { return d.withModel(c, editCharacteristics); }},
        {"ﾓﾃﾞﾙ編集", "荷重", [](D& d, Call& c) { return d.pickMode(c, SelectionMode::Loads); }},
        {"ﾓﾃﾞﾙ編集", "観測点",
         [](D& d, Call& c) { return d.pickMode(c, SelectionMode::ObservationPoints); }},
        {"ﾓﾃﾞﾙ編集", "荷重ケース",
         [](D& d, Call&) {
             if (d.depth_ == 1)
                 d.t_.ui.status("「編集」か「削除」を選ぶと、荷重ケースを一覧から選べます");
             return true;
         }},

        {nullptr, "決定",
         [](D& d, Call& c) { return d.modelOrMessage(c, "質量要素がありません"); }},
        {"ばね特性", "決定",
         [](D& d, Call&) {
             assignCharacteristic(d.t_.doc, d.t_.ui);
             return true;
         }},
        {"周波数ｽﾃｯﾌﾟ", "決定",
         [](D& d, Call&) {
             d.t_.ui.showFrequencyStepResults(d.t_.doc);
             d.selectRemembered();
             return true;
         }},
        {nullptr, "決定", &D::thenReturn},

        {"ばね要素", "編集", [](D& d, Call&) { return d.run(editSpring); }},
        {"荷重", "編集", [](D& d, Call&) { return d.run(editLoad); }},
        {"観測点", "編集", [](D& d, Call&) { return d.run(editObservationPoint); }},
        {"荷重ケース", "編集", [](D& d, Call&) { return d.run(editLoadCase); }},
        {nullptr, "編集", &D::thenReturn},

        {"ばね要素", "削除", [](D& d, Call&) { return d.run(deleteSprings); }},
        {"荷重", "削除", [](D& d, Call&) { return d.run(deleteLoads); }},
        {"観測点", "削除", [](D& d, Call&) { return d.run(deleteObservationPoints); }},
        {"荷重ケース", "削除", [](D& d, Call&) { return d.run(deleteLoadCase); }},
        {nullptr, "削除",
         [](D& d, Call& c) {
             d.t_.doc.updateAllViews();
             return thenReturn(d, c);
         }},

        {nullptr, "計算実行",
         [](D& d, Call& c) {
             d.t_.display.presentationMode = false;
             const CalculationCommandResult result = calculateCommand(d.t_.doc, d.t_.ui);
             d.returnToParent(c);
             return result != CalculationCommandResult::NoModel;
         }},

        {nullptr, "結果表示", &D::updateViews},
        {nullptr, "振動ﾓｰﾄﾞ", &D::updateViews},
        {nullptr, "静解析", &D::updateViews},
        {nullptr, "結果表示",
         [](D& d, Call& c) {
             if (!d.t_.doc.model()) {
                 d.t_.ui.message("ﾓﾃﾞﾙがありません");
                 d.returnToParent(c);
             } else if (d.t_.doc.resultState() == ResultState::None) {
                 // Stale results are still shown, marked as such, until the next calculation.
                 d.t_.ui.message("計算が実行されていません");
                 d.returnToParent(c);
             }
             return true;
         }},

        {"振動ﾓｰﾄﾞ", nullptr,
         [](D& d, Call& c) {
             const std::string& t = c.text;
             if (t.size() == 5 && t.starts_with("Mode") && t[4] >= '1' && t[4] <= '6')
                 d.t_.display.showMode(t[4] - '0');
             return true;
         }},
        {"振動ﾓｰﾄﾞ", "設定",
         [](D& d, Call&) {
             DisplayState& display = d.t_.display;
             ModeAnimationValues v{display.modeScale, static_cast<int>(display.frameCount),
                                   display.showUndeformedShape};
             if (d.t_.ui.runModeAnimation(v)) {
                 display.setModeAnimation(v.scale, v.frames);
                 display.showUndeformedShape = v.showUndeformed;
             }
             d.selectRemembered();
             return true;
         }},
        {"振動ﾓｰﾄﾞ", "ｸﾞﾗﾌ表示",
         [](D& d, Call&) {
             CQUAVDoc& doc = d.t_.doc;
             DisplayState& display = d.t_.display;
             if (!doc.model())
                 return true;
             const bool presentation = display.presentationMode;
             const bool animating = display.animating;
             display.presentationMode = false;
             display.animating = false;
             const bool stale = doc.resultState() == ResultState::Stale;
             const AnalysisModel& m = stale ? *doc.resultsModel() : *doc.model();
             d.t_.ui.showContributionGraph(m.eigenFrequencies, m.modeShapes,
                                           stale ? doc.title() + "  " + kStaleResultsMark
                                                 : doc.title());
             display.presentationMode = presentation;
             display.animating = animating;
             d.selectRemembered();
             return true;
         }},
        {"振動ﾓｰﾄﾞ", "連成度",
         [](D& d, Call& c) {
             if (d.t_.doc.model()) {
                 showCouplingDegree(d.t_.doc, d.t_.ui);
                 d.returnToParent(c);
             }
             return true;
         }},
        {"振動ﾓｰﾄﾞ", nullptr, &D::updateViews},

        {nullptr, "静解析",
         [](D& d, Call& c) {
             d.rebuildLoadBranch(c.item, false);
             return true;
         }},
        {"静解析", nullptr,
         [](D& d, Call& c) {
             if (d.t_.doc.model())
                 d.showLoadBranch(c.text, false);
             return true;
         }},
        {nullptr, "動解析",
         [](D& d, Call& c) {
             d.rebuildLoadBranch(c.item, true);
             return true;
         }},
        {"動解析", nullptr,
         [](D& d, Call& c) {
             if (d.t_.doc.model())
                 d.showLoadBranch(c.text, true);
             return true;
         }},

        {nullptr, "周波数ｽﾃｯﾌﾟ", [](D& d, Call& c) { return d.pickMode(c, SelectionMode::All); }},
        {nullptr, "ﾃｷｽﾄ表示",
         [](D& d, Call&) {
             DisplayState& display = d.t_.display;
             const double phase = display.phase;
             display.phase = 0.0;
             showResultsReport(d.t_.doc, d.t_.ui);
             display.phase = phase;
             d.selectRemembered();
             return true;
         }},
        {nullptr, "ﾊﾟﾗﾒｰﾀ設定",
         [](D& d, Call& c) {
             d.t_.ui.editDesignParameters(d.t_.doc);
             return thenReturn(d, c);
         }},
        {nullptr, "最適化条件",
         [](D& d, Call& c) {
             d.t_.ui.editOptimizationConditions(d.t_.doc);
             return thenReturn(d, c);
         }},
        {nullptr, "目的関数",
         [](D& d, Call& c) {
             d.t_.ui.editObjectives(d.t_.doc);
             return thenReturn(d, c);
         }},
        {nullptr, "最適化実行",
         [](D& d, Call& c) {
             d.t_.ui.runOptimizer(d.t_.doc);
             return thenReturn(d, c);
         }},
        {nullptr, "ﾊﾟﾚｰﾄ解",
         [](D& d, Call& c) {
             d.t_.ui.showParetoFront(d.t_.doc);
             return thenReturn(d, c);
         }},
    };

    const OperationTreeAccess::Item parent = tree_.parent(item);
    Call call{item, tree_.text(item), parent, parent ? tree_.text(parent) : std::string(),
              returned};
    t_.selectionMode = SelectionMode::None;
    t_.display.clearResultDisplay();
    for (const Step& step : steps) {
        if (step.parent && call.parentText != step.parent)
            continue;
        if (step.text && call.text != step.text)
            continue;
        if (!step.run(*this, call))
            return false;
    }
    return true;
}

bool OperationDispatcher::thenReturn(OperationDispatcher& d, Call& c) {
    d.returnToParent(c);
    return true;
}

bool OperationDispatcher::updateViews(OperationDispatcher& d, Call&) {
    d.t_.doc.updateAllViews();
    return true;
}

bool OperationDispatcher::run(Command command) {
    command(t_.doc, t_.ui);
    return true;
}

bool OperationDispatcher::withModel(Call& c, Command command) {
    if (t_.doc.model()) {
        command(t_.doc, t_.ui);
        returnToParent(c);
    }
    return true;
}

bool OperationDispatcher::pickMode(Call& c, SelectionMode mode) {
    t_.selectionMode = mode;
    prompt(c);
    return true;
}

bool OperationDispatcher::modelOrMessage(Call& c, const char* message) {
    if (t_.doc.model())
        return true;
    t_.ui.message(message);
    returnToParent(c);
    return false;
}

void OperationDispatcher::rebuildLoadBranch(OperationTreeAccess::Item branch, bool dynamic) {
    // The children are about to go: the remembered item must not outlive them.
    if (remembered_ && tree_.parent(remembered_) == branch)
        remembered_ = nullptr;
    std::vector<std::string> texts;
    // The loads of the results shown: stale results keep the loads they were calculated for.
    const AnalysisModel* shown = t_.doc.resultsModel();
    if (const AnalysisModel* m = shown ? shown : t_.doc.model()) {
        if (dynamic)
            for (const DynamicLoad& l : m->dynamicLoads)
                texts.push_back(l.name);
        else
            for (const StaticLoad& l : m->staticLoads)
                texts.push_back(l.name);
        texts.push_back("設定");
    }
    tree_.setChildren(branch, texts);
}

void OperationDispatcher::showLoadBranch(const std::string& t, bool dynamic) {
    const AnalysisModel* shown = t_.doc.resultsModel();
    const AnalysisModel& m = shown ? *shown : *t_.doc.model();
    DisplayState& display = t_.display;
    // Every load of that name, so with equal names the last is the one shown.
    const int count = dynamic ? int(m.dynamicLoads.size()) : int(m.staticLoads.size());
    for (int i = 0; i < count; ++i) {
        const std::string& name = dynamic ? m.dynamicLoads[i].name : m.staticLoads[i].name;
        if (name != t)
            continue;
        if (dynamic)
            display.showDynamicLoad(i);
        else
            display.showStaticLoad(i);
        t_.doc.updateAllViews();
    }
    if (t == "設定") {
        // The static display has no animation: its frame count is not offered.
        DisplaySettingsValues v{display.resultScale,
                                dynamic ? static_cast<int>(display.frameCount) : 0,
                                display.showDisplacementData, display.showUndeformedShape};
        if (t_.ui.runDisplaySettings(v)) {
            display.resultScale = v.scale;
            display.showDisplacementData = v.showDisplacementData;
            display.showUndeformedShape = v.showUndeformed;
            if (dynamic)
                display.frameCount = static_cast<double>(v.frames);
        }
        selectRemembered();
    }
}

} // namespace quav
