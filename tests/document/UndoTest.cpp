// Undo and redo of every edit, the history's limits, the saved position, stale results.

#include "document/Document.h"
#include "document/EditingCommands.h"
#include "document/ModelFile.h"
#include "document/ResultCommands.h"

#include "../support/ScriptedUi.h"
#include "ModelFileFixtures.h"

#include <gtest/gtest.h>

using namespace quav;
using quav::test::ScriptedUi;

namespace {

using fixtures::v3;

/// A body on three bound springs, two loads and a point, calculated and saved.
struct UndoFixture : ::testing::Test {
    CQUAVDoc doc;
    ScriptedUi ui;

    void SetUp() override {
        fixtures::documentBody(doc.createModel(), true);
        calculate();
        doc.setModified(false);
    }
    AnalysisModel& model() { return *doc.model(); }
    void calculate() {
        ui.ok<CalculationRequest>([](auto& r) {
            r.start = 10;
            r.end = 20;
            r.step = 5;
        });
        ASSERT_EQ(calculateCommand(doc, ui), CalculationCommandResult::Finished);
        ASSERT_EQ(ui.messages.back(), "計算終了");
    }
    /// Everything a file keeps of the document, the results included.
    std::string bytes() { return writeModelBytes(model(), doc.optimizer()).bytes; }
};

/// A command of the tree, on the element `id` where it takes one.
using Command = std::function<void(CQUAVDoc&, DocumentUi&)>;
Command on(void (*command)(CQUAVDoc&, DocumentUi&, int), int id) {
    return [command, id](CQUAVDoc& d, DocumentUi& u) { command(d, u, id); };
}
/// OK on the next dialog of kind V after `fill`, asked by `command`.
template <class V>
std::function<void(CQUAVDoc&, ScriptedUi&)> okOn(const std::function<void(V&)>& fill,
                                                 const Command& command) {
    return [fill, command](CQUAVDoc& d, ScriptedUi& u) {
        u.ok<V>(fill);
        command(d, u);
    };
}

template <class V>
std::function<void(CQUAVDoc&, ScriptedUi&)> okOn(const V& values, Command command) {
    return okOn<V>([values](V& v) { v = values; }, std::move(command));
}

} // namespace

TEST_F(UndoFixture, EveryEditUndoesAndRedoes) {
    const int spring = model().springs[1].id, point = model().observationPoints[0].id;
    const int dynamicLoad = model().dynamicLoads[0].id;
    const int rubber = model().springCharacteristics[0].id;
    // Each edit, and the selection it acts on, made before the state is taken.
    const struct {
        const char* label;
        std::function<void(CQUAVDoc&, ScriptedUi&)> edit;
        std::function<void(AnalysisModel&)> select = {};
    } edits[] = {
        {"質量要素の設定",
         okOn<MassElementValues>([](auto& v) { v.mass = 120; }, defineMassElement)},
        {"ばね要素の追加", okOn(SpringValues{"RL", {-0.3, 0.2, 0}, 0, 0, 0.05f}, createSpring)},
        {"ばね特性の設定",
         okOn(CharacteristicValues{"hard", {9e5, 9e5, 9e5}, {}, 1}, assignCharacteristic),
         [](AnalysisModel& m) { m.setSpringSelection(m.springs[0].id); }},
        {"静荷重の追加", okOn(LoadValues{"push", {1, 0, 0}, {}, 10, 0, 0}, createStaticLoad)},
        {"動荷重の追加", okOn(LoadValues{"shake", {1, 0, 0}, {}, 10, 0, 12}, createDynamicLoad)},
        {"観測点の追加", okOn<ObservationPointValues>({}, createObservationPoint)},
        {"ばね特性の編集",
         [](CQUAVDoc& d, ScriptedUi& u) {
             u.expect<CharacteristicListEditor>([](auto& e) {
                 e.remove(0);
                 return true;
             });
             editCharacteristics(d, u);
         }},
        {"ばね要素の編集",
         okOn<SpringValues>([](auto& v) { v.zAngle = 45; }, on(editElement, spring)),
         [](AnalysisModel& m) { m.setSpringSelection(m.springs[1].id); }},
        {"荷重の編集",
         okOn<LoadValues>([](auto& v) { v.frequency = 30; }, on(editElement, dynamicLoad)),
         [](AnalysisModel& m) { m.setLoadSelection(m.dynamicLoads[0].id); }},
        {"観測点の編集",
         okOn<ObservationPointValues>([](auto& v) { v.position[1] = 2; }, on(editElement, point))},
        {"ばね要素の削除", deleteSprings, [](AnalysisModel& m) { m.setSpringSelection(-1); }},
        {"荷重の削除", deleteLoads, [](AnalysisModel& m) { m.setLoadSelection(-1); }},
        {"観測点の削除", deleteObservationPoints,
         [](AnalysisModel& m) { m.setObservationPointSelection(-1); }},
        {"ばね特性の編集", okOn<CharacteristicValues>([](auto& v) { v.dynamicFactor = 2; },
                                                      on(editCharacteristic, rubber))},
        {"メモの編集", okOn(std::string("soft mounts"), editMemo)},
        {"最適化条件の設定",
         [](CQUAVDoc& d, ScriptedUi&) {
             DocumentState before = d.captureState();
             d.optimizer().addParameter("k", 2e5, 1e5, 5e4);
             d.optimizer().setBinding(d.model()->springCharacteristics[0].id, 1, 1, 1.0);
             d.optimizer().conditions.minFrequency = 3;
             d.commitEdit("最適化条件の設定", std::move(before));
         }},
    };
    for (const auto& e : edits) {
        SCOPED_TRACE(e.label);
        model().setSpringSelection(-2);
        model().setLoadSelection(-2);
        model().setObservationPointSelection(-2);
        if (e.select)
            e.select(model());
        const std::string before = bytes();
        e.edit(doc, ui);
        ASSERT_TRUE(ui.scriptDone());
        ASSERT_TRUE(ui.unexpected.empty());
        const std::string after = bytes();
        ASSERT_TRUE(after != before);
        EXPECT_EQ(doc.history().undoLabel(), e.label);
        EXPECT_TRUE(doc.isModified());
        const bool invalidates =
            std::string(e.label) != "メモの編集" && std::string(e.label) != "最適化条件の設定";
        EXPECT_EQ(doc.resultState(), invalidates ? ResultState::Stale : ResultState::Current);

        ASSERT_TRUE(doc.undo());
        EXPECT_TRUE(bytes() == before); // model, results, calculated flag, optimiser, selection
        EXPECT_EQ(doc.resultState(), ResultState::Current);
        EXPECT_FALSE(doc.isModified());
        EXPECT_EQ(doc.history().redoLabel(), e.label);
        ASSERT_TRUE(doc.redo());
        EXPECT_TRUE(bytes() == after);
        ASSERT_TRUE(doc.undo());
    }
    EXPECT_FALSE(doc.undo());
}

// Cancel, and OK on refused values, change nothing and show nothing.
TEST_F(UndoFixture, CancelAndRefusalsChangeNothing) {
    const int spring = model().springs[1].id, point = model().observationPoints[0].id;
    const int staticLoad = model().staticLoads[0].id, dynamicLoad = model().dynamicLoads[0].id;
    const int rubber = model().springCharacteristics[0].id;
    const Command calculation = [](CQUAVDoc& d, DocumentUi& u) { calculateCommand(d, u); };
    const Command assign = [](CQUAVDoc& d, DocumentUi& u) {
        d.model()->setSpringSelection(-1);
        assignCharacteristic(d, u);
    };
    // The dialog's answer: Cancel, or OK after `spoil`.
    auto cancel = []<class V>(V) { return [](ScriptedUi& u) { u.cancel<V>(); }; };
    auto ok = []<class V>(void (*spoil)(V&)) { return [spoil](ScriptedUi& u) { u.ok<V>(spoil); }; };
    const struct {
        const char* what;
        std::function<void(ScriptedUi&)> answer;
        Command command;
        const char* message = nullptr; // the start of the one message shown
    } cases[] = {
        {"mass element", cancel(MassElementValues{}), defineMassElement},
        {"new spring", cancel(SpringValues{}), createSpring},
        {"characteristic assigned", cancel(CharacteristicValues{}), assign},
        {"static load", cancel(LoadValues{}), createStaticLoad},
        {"dynamic load", cancel(LoadValues{}), createDynamicLoad},
        {"new point", cancel(ObservationPointValues{}), createObservationPoint},
        {"characteristic list",
         [](ScriptedUi& u) {
             u.expect<CharacteristicListEditor>([](auto& e) {
                 e.remove(0);
                 return false;
             });
         },
         editCharacteristics},
        {"spring", cancel(SpringValues{}), on(editElement, spring)},
        {"static load edited", cancel(LoadValues{}), on(editElement, staticLoad)},
        {"dynamic load edited", cancel(LoadValues{}), on(editElement, dynamicLoad)},
        {"point", cancel(ObservationPointValues{}), on(editElement, point)},
        {"characteristic values", cancel(CharacteristicValues{}), on(editCharacteristic, rubber)},
        {"memo", cancel(std::string()), editMemo},
        {"calculation", cancel(CalculationRequest{}), calculation, "処理が中断されました"},
        // OK on what the rules refuse.
        {"spring of size 0", ok(+[](SpringValues& v) { v.size = 0; }), on(editElement, spring),
         "入力エラー"},
        {"load of value 0", ok(+[](LoadValues& v) { v.value = 0; }), on(editElement, dynamicLoad),
         "入力エラー"},
        {"rate below 0", ok(+[](CharacteristicValues& v) { v.stiffness[1] = -1; }),
         on(editCharacteristic, rubber), "入力エラー"},
        {"massless body", ok(+[](MassElementValues& v) { v.mass = 0; }), defineMassElement,
         "入力エラー"},
        {"sweep ending before it starts", ok(+[](CalculationRequest& r) { r.end = 5; }),
         calculation, "入力エラー"},
    };
    auto unselected = [this] {
        AnalysisModel copy = model();
        copy.setSpringSelection(-2);
        copy.setLoadSelection(-2);
        copy.setObservationPointSelection(-2);
        return writeModelBytes(copy, doc.optimizer()).bytes;
    };
    const std::string before = unselected();
    ui.messages.clear();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.answer(ui);
        c.command(doc, ui);
        EXPECT_TRUE(ui.scriptDone() && ui.unexpected.empty());
        EXPECT_EQ(std::tuple(doc.history().canUndo(), doc.isModified(), doc.resultState()),
                  std::tuple(false, false, ResultState::Current));
        EXPECT_TRUE(unselected() == before);
        EXPECT_TRUE(ui.texts.empty());
        EXPECT_TRUE(c.message ? ui.messages.size() == 1 && ui.messages[0].starts_with(c.message)
                              : ui.messages.empty())
            << (ui.messages.empty() ? "" : ui.messages[0]);
        ui.messages.clear();
    }
}

TEST_F(UndoFixture, ModifiedFollowsTheSavedPosition) {
    auto memo = [&](const char* text) {
        ui.ok<std::string>([text](auto& m) { m = text; });
        editMemo(doc, ui);
    };
    memo("a");
    memo("b");
    doc.setModified(false); // saved after "b"
    EXPECT_FALSE(doc.isModified());
    doc.undo();
    EXPECT_TRUE(doc.isModified());
    doc.redo();
    EXPECT_FALSE(doc.isModified());
    // A new edit after an undo makes the saved position unreachable.
    doc.undo();
    memo("c");
    doc.undo();
    EXPECT_EQ(model().memo, "a");
    EXPECT_TRUE(doc.isModified());
    // A calculation is no step, but the file no longer has its results.
    doc.redo();
    doc.setModified(false);
    calculate();
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(doc.history().undoLabel(), "メモの編集");
}

TEST_F(UndoFixture, StaleResultsAreTheModelAsCalculated) {
    const Matrix frequencies = model().eigenFrequencies;
    model().setSpringSelection(model().springs[0].id);
    ui.ok<SpringValues>([](auto& v) { v.position = {0.5, -0.2, 0}; });
    editSpring(doc, ui);
    // The model keeps its results and clears `calculated`; the displays read them stale.
    EXPECT_EQ(model().calculated, 0);
    EXPECT_EQ(model().eigenFrequencies, frequencies);
    ASSERT_EQ(doc.resultState(), ResultState::Stale);
    const AnalysisModel& shown = *doc.resultsModel();
    EXPECT_EQ(std::tuple(shown.calculated, shown.springs[0].position[0]), std::tuple(1, 0.3));
    // Stale results stay stale through further edits and go with a calculation.
    ui.ok<SpringValues>([](auto& v) { v = {"RL", {-0.3, 0.2, 0}, 0, 0, 0.05f}; });
    createSpring(doc, ui);
    EXPECT_EQ(doc.resultsModel()->springs.size(), 3u);
    ui.texts.clear();
    showResultsReport(doc, ui);
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_EQ(ui.texts[0].rfind(kStaleResultsNote, 0), 0u);
    calculate();
    EXPECT_EQ(doc.resultState(), ResultState::Current);
    EXPECT_NE(model().eigenFrequencies, frequencies);
    // Undo returns to the stale state of the first calculation, redo to the new results.
    doc.undo();
    ASSERT_EQ(doc.resultState(), ResultState::Stale);
    EXPECT_EQ(doc.resultsModel()->eigenFrequencies, frequencies);
    doc.redo();
    EXPECT_EQ(doc.resultState(), ResultState::Current);
    EXPECT_EQ(model().springs.size(), 4u);
    // The report of current results is the report as it always was.
    ui.texts.clear();
    showResultsReport(doc, ui);
    EXPECT_EQ(ui.texts.at(0).rfind("//////固有値解析結果//////", 0), 0u);
}

TEST_F(UndoFixture, HistoryIsBounded) {
    // Steps: the oldest go beyond the step limit.
    for (int i = 0; i < 150; ++i) {
        ui.ok<std::string>([i](auto& m) { m = std::to_string(i); });
        editMemo(doc, ui);
    }
    EXPECT_EQ(doc.history().undoCount(), UndoHistory::kMaxSteps);
    while (doc.undo()) {
    }
    EXPECT_EQ(model().memo, "49");
    // The results (a long sweep) are one copy however many states hold them.
    ui.ok<CalculationRequest>([](auto& r) {
        r.start = 1;
        r.end = 2000;
        r.step = 0.5;
    });
    calculateCommand(doc, ui);
    const std::size_t results = approximateBytes(model());
    ASSERT_GT(results, std::size_t{1} << 20);
    for (int i = 0; i < 100; ++i) {
        ui.ok<std::string>([i](auto& m) { m = std::to_string(i); });
        editMemo(doc, ui);
    }
    EXPECT_LT(doc.history().bytes(), 2 * results);
    // Memory: a large model keeps fewer steps, but always the last one.
    for (int i = 0; i < 40000; ++i)
        model().addSpring("S", v3(0, 0, 0), v3(0, 0, 0), 0.05f);
    for (int i = 0; i < 12; ++i) {
        model().setSpringSelection(model().springs.back().id);
        deleteSprings(doc, ui);
    }
    EXPECT_LE(doc.history().bytes(), UndoHistory::kMaxBytes);
    EXPECT_LT(doc.history().undoCount(), 12u);
    EXPECT_GE(doc.history().undoCount(), 1u);
}

TEST_F(UndoFixture, CreationDialogsOpenWithTheLastValues) {
    const SpringValues first{"front", {0.3, 0.2, 0.1}, -110, 5, 0.06f};
    ui.ok<SpringValues>([&](auto& v) { v = first; });
    createSpring(doc, ui);
    SpringValues seen;
    ui.expect<SpringValues>([&](auto& v) {
        seen = v;
        return false;
    });
    createSpring(doc, ui);
    EXPECT_EQ(std::tuple(seen.name, seen.position, seen.yAngle, seen.size),
              std::tuple(first.name, first.position, first.yAngle, first.size));
    // Per kind: a dynamic load does not open with the static load's values.
    ui.ok<LoadValues>([](auto& v) { v = {"w", {0, 0, -1}, {}, 981, 0, 0}; });
    createStaticLoad(doc, ui);
    LoadValues dynamic{"x", {}, {}, 1, 0, 1};
    ui.expect<LoadValues>([&](auto& v) {
        dynamic = v;
        return false;
    });
    createDynamicLoad(doc, ui);
    EXPECT_EQ(std::tuple(dynamic.name, dynamic.value), std::tuple("", 0.0));
    // The calculation keeps the analyses last ticked; the range is the model's.
    ui.ok<CalculationRequest>([](auto& r) {
        r.frequencyStep = false;
        r.start = r.end = 0;
    });
    calculateCommand(doc, ui);
    ui.expect<CalculationRequest>([](auto& r) {
        EXPECT_EQ(std::tuple(r.eigen, r.frequencyStep, r.end), std::tuple(true, false, 0.0));
        return false;
    });
    calculateCommand(doc, ui);
    // A new document keeps them: they last while the application runs.
    doc.newDocument();
    EXPECT_TRUE(doc.dialogMemory().spring.has_value());
    // The optimiser's output folder: the model's folder until one is chosen.
    EXPECT_EQ(doc.outputFolderStart(), "");
    const quav::testing::TempDir folder;
    ui.ok<MassElementValues>([](auto& v) { v = {5, {0, 0, 0}, {1, 1, 1}, 1, 2, 3, 0, 0, 0}; });
    defineMassElement(doc, ui);
    // The first mass element undoes to no model.
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(std::tuple(doc.model(), doc.isModified()), std::tuple(nullptr, false));
    ASSERT_TRUE(doc.redo());
    ASSERT_EQ(doc.model()->mass, 5.0);
    ASSERT_TRUE(doc.saveAs(folder.str() + "/m.quav").ok());
    EXPECT_EQ(doc.outputFolderStart(), folder.str());
    doc.dialogMemory().outputPath = "/elsewhere";
    EXPECT_EQ(doc.outputFolderStart(), "/elsewhere");
}
