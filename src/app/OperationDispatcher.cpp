#include "app/OperationDispatcher.h"

#include "document/Document.h"
#include "document/DocumentUi.h"
#include "document/EditingCommands.h"
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

bool OperationDispatcher::dispatch(OperationTreeAccess::Item item, bool& returned) {
    const std::string t = tree_.text(item);
    const OperationTreeAccess::Item parent = tree_.parent(item);
    const std::string p = parent ? tree_.text(parent) : std::string();
    CQUAVDoc& doc = t_.doc;
    DocumentUi& ui = t_.ui;
    DisplayState& display = t_.display;
    // Only the item the user chose says what it expects: a pick mode reached
    // again after a one-shot item keeps that item's word in the status line.
    auto prompt = [&] {
        if (depth_ == 1)
            ui.status(pickPrompt(t, p));
    };
    auto returnToParent = [&] {
        returned = true;
        if (parent)
            tree_.select(parent);
    };

    t_.selectionMode = SelectionMode::None;
    display.clearResultDisplay();

    if (p == "ﾓﾃﾞﾙ作成") {
        display.presentationMode = false;
        if (t == "質量要素") {
            defineMassElement(doc, ui);
            returnToParent();
        } else if (doc.model()) {
            if (t == "ばね要素") {
                createSpring(doc, ui);
                returnToParent();
            } else if (t == "ばね特性") {
                t_.selectionMode = SelectionMode::Springs;
                prompt();
            } else if (t == "静荷重") {
                createStaticLoad(doc, ui);
                returnToParent();
            } else if (t == "動荷重") {
                createDynamicLoad(doc, ui);
                returnToParent();
            } else if (t == "観測点") {
                createObservationPoint(doc, ui);
                returnToParent();
            }
        }
    }

    if (p == "ﾓﾃﾞﾙ編集") {
        display.presentationMode = false;
        if (!doc.model()) {
            ui.message("質量要素がありません");
            returnToParent();
            return false;
        }
        if (t == "質量要素") {
            defineMassElement(doc, ui);
            returnToParent();
        } else if (t == "ばね要素") {
            t_.selectionMode = SelectionMode::Springs;
            prompt();
        } else if (t == "ばね特性") {
            editCharacteristics(doc, ui);
            returnToParent();
        } else if (t == "荷重") {
            t_.selectionMode = SelectionMode::Loads;
            prompt();
        } else if (t == "観測点") {
            t_.selectionMode = SelectionMode::ObservationPoints;
            prompt();
        }
    }

    if (t == "決定") {
        if (!doc.model()) {
            ui.message("質量要素がありません");
            returnToParent();
            return false;
        }
        if (p == "ばね特性") {
            assignCharacteristic(doc, ui);
        } else if (p == "周波数ｽﾃｯﾌﾟ") {
            ui.showFrequencyStepResults(doc);
            selectRemembered();
        }
        returnToParent();
    }

    if (t == "編集") {
        if (p == "ばね要素")
            editSpring(doc, ui);
        else if (p == "荷重")
            editLoad(doc, ui);
        else if (p == "観測点")
            editObservationPoint(doc, ui);
        returnToParent();
    }

    if (t == "削除") {
        if (p == "ばね要素")
            deleteSprings(doc, ui);
        else if (p == "荷重")
            deleteLoads(doc, ui);
        else if (p == "観測点")
            deleteObservationPoints(doc, ui);
        doc.updateAllViews();
        returnToParent();
    }

    if (t == "計算実行") {
        display.presentationMode = false;
        const CalculationCommandResult result = calculateCommand(doc, ui);
        returnToParent();
        if (result == CalculationCommandResult::NoModel)
            return false;
    }

    if (t == "結果表示" || t == "振動ﾓｰﾄﾞ" || t == "静解析")
        doc.updateAllViews();

    if (t == "結果表示") {
        if (!doc.model()) {
            ui.message("ﾓﾃﾞﾙがありません");
            returnToParent();
        } else if (doc.resultState() == ResultState::None) {
            // Stale results are still shown, marked as such, until the next calculation.
            ui.message("計算が実行されていません");
            returnToParent();
        }
    }

    if (p == "振動ﾓｰﾄﾞ") {
        if (t.size() == 5 && t.starts_with("Mode") && t[4] >= '1' && t[4] <= '6') {
            display.showMode(t[4] - '0');
        } else if (t == "設定") {
            ModeAnimationValues v{display.modeScale, static_cast<int>(display.frameCount),
                                  display.showUndeformedShape};
            if (ui.runModeAnimation(v)) {
                display.setModeAnimation(v.scale, v.frames);
                display.showUndeformedShape = v.showUndeformed;
            }
            selectRemembered();
        } else if (t == "ｸﾞﾗﾌ表示" && doc.model()) {
            const bool presentation = display.presentationMode;
            const bool animating = display.animating;
            display.presentationMode = false;
            display.animating = false;
            const bool stale = doc.resultState() == ResultState::Stale;
            const AnalysisModel& m = stale ? *doc.resultsModel() : *doc.model();
            ui.showContributionGraph(m.eigenFrequencies, m.modeShapes,
                                     stale ? doc.title() + "  " + kStaleResultsMark : doc.title());
            display.presentationMode = presentation;
            display.animating = animating;
            selectRemembered();
        } else if (t == "連成度" && doc.model()) {
            showCouplingDegree(doc, ui);
            returnToParent();
        }
        doc.updateAllViews();
    }

    if (t == "静解析")
        rebuildLoadBranch(item, false);
    if (p == "静解析" && doc.model())
        showLoadBranch(t, false);
    if (t == "動解析")
        rebuildLoadBranch(item, true);
    if (p == "動解析" && doc.model())
        showLoadBranch(t, true);

    if (t == "周波数ｽﾃｯﾌﾟ") {
        t_.selectionMode = SelectionMode::All;
        prompt();
    }

    if (t == "ﾃｷｽﾄ表示") {
        const double phase = display.phase;
        display.phase = 0.0;
        showResultsReport(doc, ui);
        display.phase = phase;
        selectRemembered();
    }

    if (t == "ﾊﾟﾗﾒｰﾀ設定") {
        ui.editDesignParameters(doc);
        returnToParent();
    }
    if (t == "最適化条件") {
        ui.editOptimizationConditions(doc);
        returnToParent();
    }
    if (t == "最適化実行") {
        ui.runOptimizer(doc);
        returnToParent();
    }
    return true;
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
