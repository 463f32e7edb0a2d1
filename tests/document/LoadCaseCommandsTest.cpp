#include "document/LoadCaseCommands.h"
#include "document/Document.h"
#include "document/EditingCommands.h"

#include "../support/ScriptedUi.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace quav;
using quav::test::ScriptedUi;
using quav::testing::v3;

TEST(LoadCaseCommands, CasesAreSolvedOnTheModelAsItIsAndShownInTheirTable) {
    CQUAVDoc doc;
    ScriptedUi ui;
    showLoadCases(doc, ui);
    EXPECT_EQ(ui.messages.back(), "モデルがありません");

    AnalysisModel& m = doc.createModel();
    m = quav::testing::fourMountModel(0.3, 0.2, -0.1, v3(3e5, 1e5, 1e5));
    showLoadCases(doc, ui);
    EXPECT_EQ(ui.messages.back(), "荷重ケースがありません");

    m.loadCases = {{"1g", {}, {0, 0, -1}}, {"push", {}, {0.5, 0, -1}}};
    m.springCharacteristics[0].stiffness[0] = -1.0;
    showLoadCases(doc, ui);
    EXPECT_EQ(ui.messages.back().rfind("ｴﾗｰ", 0), 0u) << ui.messages.back();
    EXPECT_TRUE(ui.windows.empty());

    m.springCharacteristics[0].stiffness[0] = 3e5;
    doc.setModified(false);
    showLoadCases(doc, ui);
    ASSERT_EQ(ui.windows, std::vector<std::string>{"load cases"});
    ASSERT_EQ(ui.loadCases.size(), 2u);
    EXPECT_EQ(
        std::tuple(ui.loadCases[1].name, ui.loadCases[1].converged, ui.loadCases[1].modes.size()),
        std::tuple("push", true, 6u));
    // Solving is no edit: the model stays as saved and uncalculated.
    EXPECT_EQ(std::tuple(doc.isModified(), doc.model()->calculated), std::tuple(false, 0));
}

namespace {

/// A model with two static loads (ids kept) and one case on the second.
AnalysisModel twoLoadModel() {
    AnalysisModel m = quav::testing::fourMountModel(0.3, 0.2, -0.1, v3(3e5, 1e5, 1e5));
    m.addStaticLoad("F", 100.0, v3(0.1, 0, 0), v3(1, 0, 0), 0);
    m.addStaticLoad("T", 50.0, v3(0, 0, 0), v3(0, 1, 0), 1);
    m.loadCases = {{"idle", {{m.staticLoads[1].id, 2.0}, {999, 1.0}}, {0, 0, -1}}};
    return m;
}

} // namespace

TEST(LoadCaseCommands, TheCaseDialogAcceptsRefusesAndCancelsEachAsOneUndoStep) {
    struct Row {
        const char* what;
        const char* message; ///< "" none
        void (*command)(CQUAVDoc&, DocumentUi&);
        std::function<void(LoadCaseValues&)> change;
        std::vector<LoadCase> expected = {}; ///< empty: the model's cases unchanged
        bool ok = true;
    };
    const AnalysisModel base = twoLoadModel();
    const int f = base.staticLoads[0].id;
    const LoadCase idle = base.loadCases[0];
    const LoadCaseValues wot{"WOT", {1.5, 0}, {0, 0.8, -1}}, nan{"x", {0, 0}, {0, INFINITY, 0}};
    const std::vector<double> edited{-1, 0};
    const std::vector<LoadCase> added{idle, {"WOT", {{f, 1.5}}, {0, 0.8, -1}}};
    const std::vector<LoadCase> renamed{{"idle 2", {{f, -1.0}, {999, 1.0}}, {0, 0, -1}}};
    const Row rows[] = {
        {"zero factors dropped", "", createLoadCase, [&](auto& v) { v = wot; }, added},
        {"a deleted load's term kept", "", editLoadCase,
         [&](auto& v) { v.factors = edited, v.name = "idle 2"; }, renamed},
        {"duplicate name", "名前が重複しています", createLoadCase,
         [](auto& v) { v.name = "idle"; }},
        {"empty name", "名前は 1～255", createLoadCase, [](auto&) {}},
        {"outside code page 932", "保存できない文字", createLoadCase,
         [](auto& v) { v.name = "\xF0\x9F\x98\x80"; }},
        {"factor", "係数 2 が数値ではありません", editLoadCase,
         [](auto& v) { v.factors[1] = NAN; }},
        {"g-load not a number", "加速度", createLoadCase, [&](auto& v) { v = nan; }},
        {"cancel", "", createLoadCase, [](auto& v) { v.name = "never"; }, {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CQUAVDoc doc;
        doc.createModel() = base;
        doc.setModified(false);
        ScriptedUi ui;
        const bool edit = row.command == editLoadCase;
        if (edit)
            ui.ok<LoadCaseChoice>([](LoadCaseChoice& c) {
                EXPECT_EQ(c.names, std::vector<std::string>{"idle"});
                c.index = 0;
            });
        ui.expect<LoadCaseValues>([&](LoadCaseValues& v) {
            EXPECT_EQ(v.factors, (std::vector<double>{0, edit ? 2.0 : 0.0}));
            row.change(v);
            return row.ok;
        });
        row.command(doc, ui);
        EXPECT_TRUE(ui.scriptDone());
        EXPECT_TRUE(ui.unexpected.empty());
        EXPECT_EQ(ui.lastCaseContext.loads, (std::vector<std::string>{"F", "T"}));
        const bool changes = !row.expected.empty();
        EXPECT_EQ(doc.model()->loadCases, changes ? row.expected : base.loadCases);
        EXPECT_EQ(doc.isModified(), changes);
        if (*row.message) {
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].rfind("入力エラー", 0), 0u);
            EXPECT_NE(ui.messages[0].find(row.message), std::string::npos) << ui.messages[0];
        } else {
            EXPECT_TRUE(ui.messages.empty());
        }
        if (changes) {
            ASSERT_TRUE(doc.undo());
            EXPECT_EQ(doc.model()->loadCases, base.loadCases);
            EXPECT_FALSE(doc.isModified());
        }
    }
}

TEST(LoadCaseCommands, DeleteRemovesTheChosenCaseAsOneUndoStep) {
    CQUAVDoc doc;
    AnalysisModel& m = doc.createModel();
    m = twoLoadModel();
    m.loadCases.push_back({"brake", {}, {0.8, 0, -1}});
    const std::vector<LoadCase> before = m.loadCases;
    doc.setModified(false);
    ScriptedUi ui;
    ui.cancel<LoadCaseChoice>();
    deleteLoadCase(doc, ui);
    EXPECT_EQ(doc.model()->loadCases, before);
    ui.ok<LoadCaseChoice>([](LoadCaseChoice& c) { c.index = 0; });
    deleteLoadCase(doc, ui);
    ASSERT_EQ(doc.model()->loadCases.size(), 1u);
    EXPECT_EQ(doc.model()->loadCases[0].name, "brake");
    EXPECT_TRUE(doc.isModified());
    EXPECT_NE(ui.statuses.back().find("idle"), std::string::npos);
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(doc.model()->loadCases, before);

    doc.model()->loadCases.clear();
    deleteLoadCase(doc, ui);
    EXPECT_EQ(ui.messages.back(), "荷重ケースがありません");
    EXPECT_TRUE(ui.scriptDone());
}

TEST(LoadCaseCommands, CurvesAndRatedLoadsReachTheCharacteristicInOneStepOrNotAtAll) {
    const ForceCurve snubber{{-0.01, -3000}, {0, 0}, {0.004, 1200}, {0.006, 4000}};
    CQUAVDoc doc;
    doc.createModel() = twoLoadModel();
    doc.setModified(false);
    const int id = doc.model()->springCharacteristics[0].id;
    ScriptedUi ui;
    // A broken curve is refused naming direction and point; the model stays.
    ui.ok<CharacteristicValues>([&](CharacteristicValues& v) {
        v.curves[1] = {{0, 0}, {0.01, 100}, {0.005, 200}};
    });
    editCharacteristic(doc, ui, id);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("非線形特性 y 方向 点 3"), std::string::npos) << ui.messages[0];
    EXPECT_FALSE(doc.isModified());
    ui.ok<CharacteristicValues>([&](CharacteristicValues& v) { v.ratedLoad = Vec3{1, 0, 1}; });
    editCharacteristic(doc, ui, id);
    EXPECT_NE(ui.messages.back().find("定格荷重[N] y 方向"), std::string::npos);

    ui.ok<CharacteristicValues>([&](CharacteristicValues& v) {
        v.curves[2] = snubber;
        v.ratedLoad = Vec3{500, 500, 3500};
    });
    editCharacteristic(doc, ui, id);
    const SpringCharacteristic& c = *doc.model()->findCharacteristic(id);
    EXPECT_EQ(c.curves[2], snubber);
    EXPECT_EQ(c.ratedLoad, (std::array<double, 3>{500, 500, 3500}));
    EXPECT_TRUE(doc.isModified());
    ASSERT_TRUE(doc.undo());
    EXPECT_FALSE(doc.model()->findCharacteristic(id)->hasCurves());

    // A new characteristic from the assign dialog takes its curves along.
    doc.model()->springs[0].selected = 1;
    ui.ok<CharacteristicValues>([&](CharacteristicValues& v) {
        v.name = "snubbed";
        v.curves[0] = snubber;
    });
    assignCharacteristic(doc, ui);
    const SpringCharacteristic& added = doc.model()->springCharacteristics.back();
    EXPECT_EQ(added.name, "snubbed");
    EXPECT_EQ(added.curves[0], snubber);
    EXPECT_EQ(doc.model()->springs[0].characteristicId, added.id);
    EXPECT_TRUE(ui.scriptDone());
}
