// The document's commands through the dialog seam: model edits, load cases, the
// calculation, files, the mount analyses.
#include "document/Document.h"
#include "analysis/OwnFrequencyModes.h"
#include "analysis/Sensitivity.h"
#include "document/AnalysisCommands.h"
#include "document/EditingCommands.h"
#include "document/LoadCaseCommands.h"
#include "document/ResultCommands.h"

#include "../support/ScriptedUi.h"
#include "ModelFileFixtures.h"
#include "support/FrequencyTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <stdexcept>

using namespace quav;
using quav::test::ScriptedUi;

namespace {

using fixtures::v3;

/// Mass, springs FR (bound) and FL, two loads, a point; calculated set to see it cleared.
struct DocFixture : ::testing::Test {
    CQUAVDoc doc;
    ScriptedUi ui;
    int views = 0;

    void SetUp() override {
        fixtures::documentBody(doc.createModel(), false);
        model().calculated = 1;
        doc.addListener([this](DocumentEvent e) { views += e == DocumentEvent::ModelChanged; });
    }
    AnalysisModel& model() { return *doc.model(); }
    void expectChanged() {
        EXPECT_TRUE(doc.isModified());
        EXPECT_EQ(model().calculated, 0);
        EXPECT_GE(views, 1);
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_TRUE(ui.unexpected.empty());
    }
};

/// A 4-mount model with a weight, a roll torque and an unbalance, left as it is.
struct AnalysisFixture : ::testing::Test {
    CQUAVDoc doc;
    ScriptedUi ui;

    void SetUp() override {
        AnalysisModel& m = doc.createModel();
        m = quav::testing::fourMountModel(0.3, 0.2, -0.1, v3(3e5, 1e5, 1e5), 1.2, v3(100, 50, 50),
                                          30.0);
        m.addStaticLoad("weight", 1177.2, m.centreOfGravity, v3(0, 0, -1), Translational);
        m.addStaticLoad("roll", 80, m.centreOfGravity, v3(0, 1, 0), Moment);
        m.addDynamicLoad("shake", 60, v3(0.2, 0, 0.3), v3(0, 0, 1), Translational, 30);
        m.setFrequencyRange(50, 2, 0.5);
        doc.setModified(false);
    }
    void expectUnchanged() {
        EXPECT_EQ(std::tuple(doc.isModified(), doc.model()->calculated, ui.unexpected.empty()),
                  std::tuple(false, 0, true));
    }
};

/// A model with two static loads (ids kept) and one case on the second.
AnalysisModel twoLoadModel() {
    AnalysisModel m = quav::testing::fourMountModel(0.3, 0.2, -0.1, v3(3e5, 1e5, 1e5));
    m.addStaticLoad("F", 100.0, v3(0.1, 0, 0), v3(1, 0, 0), 0);
    m.addStaticLoad("T", 50.0, v3(0, 0, 0), v3(0, 1, 0), 1);
    m.loadCases = {{"idle", {{m.staticLoads[1].id, 2.0}, {999, 1.0}}, {0, 0, -1}}};
    return m;
}

} // namespace

TEST(DocumentCommands, MassElementRefusedUnlessPhysical) {
    // Values no body can have are refused naming the field; zero products are fine.
    const struct {
        std::function<void(MassElementValues&)> spoil;
        const char* field;
    } bad[] = {
        {[](auto& v) { v.mass = 0; }, "質量[kg]: 0 より大きい"},
        {[](auto& v) { v.mass = -185; }, "質量[kg]: 0 より大きい"},
        {[](auto& v) { v.ixx = 0; }, "Ixx: 0 より大きい"},
        {[](auto& v) { v.izz = -4; }, "Izz: 0 より大きい"},
        {[](auto& v) { v.ixy = 1.5; }, "慣性テンソルが正定値"}, // Ixy^2 > Ixx Iyy
        {[](auto& v) { v.size[2] = 0; }, "サイズ[m]: 0 以外"},
    };
    auto valid = [](MassElementValues& v) { v = {5, {0, 0, 0}, {1, 1, 1}, 1, 2, 3, 0, 0, 0}; };
    for (const auto& b : bad) {
        CQUAVDoc doc;
        ScriptedUi ui;
        ui.ok<MassElementValues>([&](auto& v) {
            valid(v);
            b.spoil(v);
        });
        defineMassElement(doc, ui);
        EXPECT_EQ(doc.model(), nullptr);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].rfind("入力エラー\n\n", 0), 0u);
        EXPECT_NE(ui.messages[0].find(b.field), std::string::npos) << ui.messages[0];
        EXPECT_FALSE(doc.isModified());
    }
    CQUAVDoc doc;
    ScriptedUi ui;
    ui.ok<MassElementValues>([](auto& v) {
        v = {5, {0, 0, 0}, {1, 1, 1}, 1, 2, 3, 0.1, 0.2, 0.3};
    });
    defineMassElement(doc, ui);
    ASSERT_NE(doc.model(), nullptr);
    const Matrix& inertia = doc.model()->inertia; // mirrored
    EXPECT_EQ(std::tuple(inertia(1, 0), inertia(2, 1), inertia(0, 2)), std::tuple(0.1, 0.2, 0.3));
    EXPECT_TRUE(doc.isModified());
}

// The mass element's dialog opens on the model's values; a new point on the preset name.
TEST_F(DocFixture, DialogsOpenOnTheModelAndItsPresets) {
    MassElementValues seen;
    ui.expect<MassElementValues>([&](auto& v) {
        seen = v;
        return false;
    });
    defineMassElement(doc, ui);
    EXPECT_EQ(std::tuple(seen.mass, seen.centreOfGravity, seen.iyy),
              std::tuple(100, Vec3{0.1, 0.2, 0.3}, 3));
    EXPECT_FALSE(doc.isModified());
    ui.ok<ObservationPointValues>();
    createObservationPoint(doc, ui);
    expectChanged();
    const ObservationPoint& p = model().observationPoints.back();
    EXPECT_EQ(std::tuple(p.name, p.position[0]), std::tuple("観測点名を入力", 0.0));
}

TEST_F(DocFixture, SpringNeedsSizeAndName) {
    for (const auto& bad : {std::function<void(SpringValues&)>([](auto& v) { v.name = "S"; }),
                            std::function<void(SpringValues&)>([](auto& v) { v.size = 0.1f; })}) {
        ui.ok<SpringValues>(bad);
        createSpring(doc, ui);
    }
    EXPECT_EQ(ui.messages,
              (std::vector<std::string>{"入力エラー\n\nサイズ[m]: 0 以外の値を入力して下さい",
                                        "入力エラー\n\n名前を入力して下さい"}));
    EXPECT_EQ(model().springs.size(), 2u);
    ui.messages.clear();
    ui.ok<SpringValues>([](auto& v) { v = {"RR", {1, 2, 3}, 10, 20, 0.2f}; });
    createSpring(doc, ui);
    expectChanged();
    const SpringElement& s = model().springs.back();
    EXPECT_EQ(std::tuple(s.name, s.angles[1], s.angles[2]), std::tuple("RR", 10, 20));
}

TEST_F(DocFixture, AssignCharacteristic) {
    assignCharacteristic(doc, ui);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"ばね要素を選択してください"});
    EXPECT_EQ(std::tuple(doc.isModified(), model().calculated, views), std::tuple(false, 1, 0));
    ui.messages.clear();
    model().setSpringSelection(-1);
    // No name, a negative rate or damping, a dynamic factor of 0 (new ones start at 1).
    const std::pair<CharacteristicValues, const char*> refused[] = {
        {{"", {1, 2, 3}, {0, 0, 0}, 1}, "名前を入力して下さい"},
        {{"c", {-272500, 1, 1}, {0, 0, 0}, 1}, "ばね定数[N/m] xx: 0 以上の値を入力して下さい"},
        {{"c", {1, 1, 1}, {0, -3, 0}, 1}, "減衰係数[N s/m] yy: 0 以上の値を入力して下さい"},
        {{"c", {1, 1, 1}, {0, 0, 0}, 0}, "動的係数: 0 より大きい値を入力して下さい"},
    };
    for (const auto& [values, rule] : refused) {
        ui.ok<CharacteristicValues>([&given = values](auto& v) {
            EXPECT_EQ(v.dynamicFactor, 1.0);
            v = given;
        });
        assignCharacteristic(doc, ui);
        EXPECT_EQ(ui.messages.back(), std::string("入力エラー\n\n") + rule);
    }
    EXPECT_EQ(model().selectedSpringCount(), 2);
    EXPECT_EQ(model().springCharacteristics.size(), 1u);
    ui.messages.clear();
    // An existing name is reused with its stored rates.
    ui.ok<CharacteristicValues>([](auto& v) { v = {"rubber", {9, 9, 9}, {9, 9, 9}, 9}; });
    assignCharacteristic(doc, ui);
    expectChanged();
    EXPECT_EQ(std::tuple(ui.lastDefined.size(), model().springCharacteristics.size()),
              std::tuple(1u, 1u));
    EXPECT_EQ(model().springCharacteristics[0].stiffness[0], 4e5);
    EXPECT_EQ(model().springs[1].characteristicId, model().springCharacteristics[0].id);
    EXPECT_EQ(model().selectedSpringCount(), 0);
    model().setSpringSelection(-1);
    ui.cancel<CharacteristicValues>();
    assignCharacteristic(doc, ui);
    EXPECT_EQ(model().selectedSpringCount(), 0);
}

// Tables come with a characteristic from both dialogs; a bad one names its cell.
TEST_F(DocFixture, CharacteristicsTakeTheirFrequencyTables) {
    const FrequencyTable table = {{5, {1.1, 1.1, 1.1}, {0.1, 0.1, 0.1}},
                                  {50, {1.4, 1.3, 1.3}, {0.2, 0.1, 0.1}}};
    model().setSpringSelection(-1);
    ui.ok<CharacteristicValues>([&](auto& v) {
        v = {"tabled", {1, 1, 1}, {0, 0, 0}, 1, table};
        v.frequencyTable[1].ratio[0] = 0.0;
    });
    assignCharacteristic(doc, ui);
    EXPECT_EQ(ui.messages.back(),
              "入力エラー\n\n周波数特性 行 2、列 ratio_x: 0 より大きい値が必要です");
    ui.ok<CharacteristicValues>([&](auto& v) { v = {"tabled", {1, 1, 1}, {0, 0, 0}, 1, table}; });
    assignCharacteristic(doc, ui);
    ASSERT_EQ(model().springCharacteristics.size(), 2u);
    EXPECT_EQ(model().springCharacteristics[1].frequencyTable, table);
    EXPECT_TRUE(model().usesFrequencyTable(model().springs[0]));
    // The list's values dialog shows the table and keeps what it gives back.
    ui.expect<CharacteristicListEditor>([](auto& e) {
        e.edit(1);
        return true;
    });
    ui.ok<CharacteristicValues>([&](auto& v) {
        EXPECT_EQ(v.frequencyTable, table);
        v.frequencyTable.clear();
    });
    editCharacteristics(doc, ui);
    EXPECT_TRUE(model().springCharacteristics[1].frequencyTable.empty());
}

TEST_F(DocFixture, LoadsValidatedNormalisedAndAtTheirReferencePoint) {
    struct Case {
        bool dynamic;
        std::function<void(LoadValues&)> spoil;
    };
    const Case bad[] = {
        {false, [](auto& v) { v.value = 0; }},          {false, [](auto& v) { v.name.clear(); }},
        {false, [](auto& v) { v.direction = Vec3{}; }}, {false, [](auto& v) { v.type = -1; }},
        {true, [](auto& v) { v.frequency = 0; }},       {true, [](auto& v) { v.frequency = -25; }}};
    auto valid = [](LoadValues& v) { v = {"L", {0, 0, 2}, {1, 1, 1}, 10, 1, 5}; };
    for (const Case& c : bad) {
        ui.ok<LoadValues>([&](auto& v) {
            valid(v);
            c.spoil(v);
        });
        c.dynamic ? createDynamicLoad(doc, ui) : createStaticLoad(doc, ui);
    }
    EXPECT_EQ(ui.messages.size(), 6u);
    EXPECT_EQ(model().staticLoads.size() + model().dynamicLoads.size(), 2u);
    ui.messages.clear();
    ui.ok<LoadValues>(valid);
    createDynamicLoad(doc, ui);
    expectChanged();
    EXPECT_TRUE(ui.lastLoadContext.dynamic);
    EXPECT_EQ(ui.lastLoadContext.mass, 100);
    const DynamicLoad& l = model().dynamicLoads.back();
    EXPECT_EQ(std::tuple(l.direction[2], l.type, l.frequency, l.referencePoint[1]),
              std::tuple(1.0, Moment, 5, 0.2));
}

TEST_F(DocFixture, EditCharacteristicsOnACopy) {
    model().setSpringSelection(-1);
    model().assignCharacteristic("rubber", v3(0, 0, 0), 1, v3(0, 0, 0)); // both springs bound
    const int id = model().springCharacteristics[0].id;
    model().addCharacteristic({});
    doc.setModified(false);
    model().calculated = 1;
    // Renaming keeps the binding; edit and delete without a selection refuse.
    ui.expect<CharacteristicListEditor>([](auto& e) {
        e.edit(-1);
        e.remove(-1);
        e.edit(0);
        return true;
    });
    ui.ok<CharacteristicValues>([](auto& v) { v.name = "soft"; });
    editCharacteristics(doc, ui);
    EXPECT_EQ(ui.messages, std::vector<std::string>(2, "ばね特性を選択してください"));
    EXPECT_EQ(
        std::tuple(model().springCharacteristics[0].name, model().springs[0].characteristicId),
        std::tuple("soft", id));
    ui.messages.clear();
    // Deleting the used one unbinds both springs on OK.
    ui.expect<CharacteristicListEditor>([](auto& e) {
        e.remove(0);
        return true;
    });
    editCharacteristics(doc, ui);
    expectChanged();
    EXPECT_EQ(std::tuple(model().springs[0].characteristicId, model().springs[1].characteristicId),
              std::tuple(0, 0));
    EXPECT_TRUE(ui.scriptDone());
    model().springCharacteristics.clear();
    editCharacteristics(doc, ui);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"ばね特性がありません"});
}

TEST_F(DocFixture, EditNeedsExactlyOneSelected) {
    editSpring(doc, ui);
    model().setSpringSelection(-1);
    editSpring(doc, ui);
    model().setSpringSelection(-2);
    model().setLoadSelection(-1); // one static and one dynamic
    editLoad(doc, ui);
    editObservationPoint(doc, ui);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{
                               "ばね要素を一つ選択してください", "ばね要素を一つ選択してください",
                               "荷重要素を一つ選択してください", "観測点を一つ選択してください"}));
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(model().selectedLoadCount(), 2);
}

TEST_F(DocFixture, EditSpringActsOnTheSelectedOne) {
    model().setSpringSelection(model().springs[1].id);
    ui.ok<SpringValues>([](auto& v) { v.size = 0; });
    editSpring(doc, ui);
    EXPECT_EQ(model().selectedSpringCount(), 1); // refused: still selected
    ui.messages.clear();
    SpringValues seen;
    ui.ok<SpringValues>([&](auto& v) {
        seen = v;
        v.name = "FL2";
        v.zAngle = 45;
    });
    editSpring(doc, ui);
    expectChanged();
    EXPECT_EQ(std::tuple(seen.name, seen.yAngle), std::tuple(std::string("FL"), 15));
    EXPECT_EQ(
        std::tuple(model().springs[0].name, model().springs[1].name, model().springs[1].angles[2]),
        std::tuple(std::string("FR"), std::string("FL2"), 45));
    EXPECT_EQ(model().selectedSpringCount(), 0);
    model().setSpringSelection(model().springs[0].id);
    ui.cancel<SpringValues>();
    editSpring(doc, ui);
    EXPECT_EQ(model().selectedSpringCount(), 0);
}

TEST_F(DocFixture, EditLoadAndPoint) {
    model().setLoadSelection(model().dynamicLoads[0].id);
    // A stored type the list does not hold must be chosen again.
    model().dynamicLoads[0].type = -1;
    ui.ok<LoadValues>([](auto& v) { v.frequency = 30; });
    editLoad(doc, ui);
    EXPECT_EQ(ui.messages.back().rfind("入力エラー\n\n荷重の種類を選択して下さい", 0), 0u);
    EXPECT_EQ(model().dynamicLoads[0].frequency, 25);
    ui.messages.clear();
    model().setLoadSelection(model().dynamicLoads[0].id);
    ui.ok<LoadValues>([](auto& v) {
        EXPECT_EQ(v.frequency, 25);
        v.direction = {3, 0, 0};
        v.frequency = 30;
        v.type = Moment;
    });
    editLoad(doc, ui);
    expectChanged();
    EXPECT_TRUE(ui.lastLoadContext.dynamic);
    const auto& load = model().dynamicLoads[0];
    EXPECT_EQ(std::tuple(load.direction[0], load.frequency, load.type),
              std::tuple(1.0, 30, int(Moment)));
    model().setObservationPointSelection(model().observationPoints[0].id);
    ui.ok<ObservationPointValues>([](auto& v) { v.name = "tip"; });
    editObservationPoint(doc, ui);
    EXPECT_EQ(model().observationPoints[0].name, "tip");
    EXPECT_EQ(model().selectedObservationPointCount(), 0);
}

TEST_F(DocFixture, DeleteMarksModifiedAndInvalidatesResults) {
    deleteLoads(doc, ui); // nothing selected: nothing changes
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(model().calculated, 1);
    model().setSpringSelection(model().springs[0].id);
    deleteSprings(doc, ui);
    model().setObservationPointSelection(-1);
    deleteObservationPoints(doc, ui);
    expectChanged();
    ASSERT_EQ(model().springs.size(), 1u);
    EXPECT_EQ(model().springs[0].name, "FL");
    EXPECT_TRUE(model().observationPoints.empty());
    EXPECT_EQ(ui.statuses,
              (std::vector<std::string>{"削除する荷重が選択されていません",
                                        "ばね要素 1 個を削除しました: FR（元に戻す: Ctrl+Z）",
                                        "観測点 1 個を削除しました: mirror（元に戻す: Ctrl+Z）"}));
    // Many are named up to three.
    for (int i = 0; i < 5; ++i)
        model().addStaticLoad("L" + std::to_string(i), 1, v3(0, 0, 0), v3(0, 0, 1), 0);
    model().setLoadSelection(-1);
    deleteLoads(doc, ui);
    EXPECT_EQ(ui.statuses.back(),
              "荷重 7 個を削除しました: weight, L0, L1 ほか 4 個（元に戻す: Ctrl+Z）");
}

TEST_F(DocFixture, MemoMarksModifiedEvenUnchanged) {
    ui.ok<std::string>();
    editMemo(doc, ui);
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(model().calculated, 1);
}

TEST_F(DocFixture, CalculationCommand) {
    // Three bound springs hold the body in every direction.
    model().addSpring("RR", v3(-0.3, 0, 0), v3(0, 0, 0), 0.05f);
    model().setSpringSelection(-1);
    model().assignCharacteristic("rubber", {}, 0, {});
    ui.ok<CalculationRequest>([](auto& r) {
        EXPECT_TRUE(r.eigen && r.staticAnalysis && r.dynamic && r.frequencyStep);
        r.start = 10;
        r.end = 20;
        r.step = 5;
    });
    EXPECT_EQ(calculateCommand(doc, ui), CalculationCommandResult::Finished);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"計算終了"});
    EXPECT_EQ(std::tuple(model().calculated, model().frequencyStepResults.size()),
              std::tuple(1, 3u));
    EXPECT_TRUE(doc.isModified());
    // A set but bad sweep is refused before anything is calculated, naming the field.
    ui.messages.clear();
    ui.ok<CalculationRequest>([](auto& r) { r.end = 5; });
    EXPECT_EQ(calculateCommand(doc, ui), CalculationCommandResult::Cancelled);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"入力エラー\n\n周波数設定(終了)[Hz]: "
                                                    "開始より大きい値を入力して下さい"});
    EXPECT_EQ(model().calculated, 1);
    // A sweep that is not set (0 to 0 Hz) leaves out the sweep only, and says so.
    ui.messages.clear();
    ui.ok<CalculationRequest>([](auto& r) { r.start = r.end = 0; });
    calculateCommand(doc, ui);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"計算終了\n\n周波数範囲が設定されていないため、"
                                                    "周波数ｽﾃｯﾌﾟ解析は行いませんでした\n"});
    EXPECT_EQ(std::tuple(model().calculated, model().frequencyStepResults.size(),
                         model().dynamicResults.rows()),
              std::tuple(1, 0u, 1));
    // Each analysis ticked off in the conditions dialog is left out, and only it.
    for (int off = 0; off < 4; ++off) {
        SCOPED_TRACE(off);
        ui.ok<CalculationRequest>(
            [off](auto& r) { r = {off != 0, off != 1, off != 2, off != 3, 10, 20, 5}; });
        ASSERT_EQ(calculateCommand(doc, ui), CalculationCommandResult::Finished);
        const AnalysisModel& m = model();
        // Results left out are zeros (the sweep: no steps).
        EXPECT_EQ(std::tuple(m.eigenFrequencies[5] != 0, m.staticResults(0, 2) != 0,
                             m.dynamicResults(0, 1) != 0, m.frequencyStepResults.size() == 3),
                  std::tuple(off != 0, off != 1, off != 2, off != 3));
    }
    // A model that cannot be physical is refused with its reason.
    ui.messages.clear();
    model().springCharacteristics[0].stiffness[0] = -272500;
    ui.ok<CalculationRequest>();
    calculateCommand(doc, ui);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"ｴﾗｰ\n\nばね特性 rubber(id 4): ばね定数 xx "
                                                    "[N/m] が負です(-272500)\n"});
    EXPECT_EQ(model().calculated, 0);
    CQUAVDoc empty;
    EXPECT_EQ(calculateCommand(empty, ui), CalculationCommandResult::NoModel);
    EXPECT_EQ(ui.messages.back(), "モデルがありません");
}

TEST_F(DocFixture, OpenSaveAndTheListing) {
    const quav::testing::TempDir folder;
    const std::string dir = folder.str();
    const std::string good = dir + "/model.quav";
    const std::string bad = dir + "/bad.quav";
    std::ofstream(bad) << "not a model";
    doc.setModified();
    showInputListing(doc, ui);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"ﾌｧｲﾙを保存してください"});
    EXPECT_EQ(doc.title(), "無題");
    // A failed save keeps the flag; a failed open keeps the document.
    EXPECT_FALSE(doc.saveAs(dir + "/missing/x.quav").ok());
    EXPECT_TRUE(doc.isModified());
    // Save follows the output-file rules and says why it refuses.
    std::filesystem::create_directories(dir + "/folder.quav");
    EXPECT_NE(doc.saveAs(dir + "/folder.quav").error.find("フォルダです"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/folder.quav"));
    EXPECT_FALSE(doc.open(bad).ok());
    EXPECT_EQ(std::tuple(model().springs.size(), doc.isModified()), std::tuple(2u, true));
    ASSERT_TRUE(doc.saveAs(good).ok());
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(doc.title(), "model.quav");
    showInputListing(doc, ui);
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_NE(ui.texts[0].find("\tファイル\tmodel.quav\r\n"), std::string::npos);
    int resets = 0;
    doc.addListener([&](DocumentEvent e) { resets += e == DocumentEvent::Reset; });
    doc.newDocument();
    EXPECT_TRUE(doc.model() == nullptr && doc.optimizer().parameters.empty());
    ASSERT_TRUE(doc.open(good).ok());
    EXPECT_EQ(resets, 2);
    EXPECT_EQ(model().springs[1].name, "FL");
    CQUAVDoc empty;
    EXPECT_FALSE(empty.saveAs(dir + "/empty.quav").ok());
    EXPECT_FALSE(std::filesystem::exists(dir + "/empty.quav"));
}

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

TEST_F(AnalysisFixture, ReportsGoToTheTextWindowTheTorqueAxisAsChosen) {
    showEnergyDistribution(doc, ui);
    TorqueAxisValues axis;
    ui.ok<TorqueAxisValues>();
    showTorqueRollAxis(doc, ui, axis);
    showMountForces(doc, ui);
    ASSERT_EQ(ui.texts.size(), 3u);
    EXPECT_NE(ui.texts[0].find("座標系\t全体座標(重心)"), std::string::npos);
    EXPECT_NE(ui.texts[0].find("座標系\t慣性主軸"), std::string::npos);
    // The roll torque's direction is the default torque axis.
    EXPECT_NE(ui.texts[1].find("ﾄﾙｸ方向\t0.000000\t1.000000\t0.000000"), std::string::npos);
    EXPECT_NE(ui.texts[2].find("荷重名\troll"), std::string::npos);
    EXPECT_NE(ui.texts[2].find("荷重名\tshake"), std::string::npos);
    EXPECT_TRUE(ui.messages.empty());
    // Or an axis or a vector, kept once confirmed; a zero default is blamed by name.
    ui.ok<TorqueAxisValues>([](auto& v) {
        v.choice = 4;
        v.vector = {0, 0, 2};
    });
    showTorqueRollAxis(doc, ui, axis);
    ASSERT_EQ(ui.texts.size(), 4u);
    EXPECT_NE(ui.texts[3].find("ﾄﾙｸ方向\t0.000000\t0.000000\t1.000000"), std::string::npos);
    EXPECT_EQ(axis.choice, 4);
    doc.model()->staticLoads[1].direction = v3(0, 0, 0); // the roll torque
    ui.ok<TorqueAxisValues>([](auto& v) { v.choice = 0; });
    showTorqueRollAxis(doc, ui, axis);
    EXPECT_EQ(ui.messages.back(),
              "ｴﾗｰ\n\n静荷重 roll(id 8): ﾓｰﾒﾝﾄ荷重の方向ﾍﾞｸﾄﾙが0のため、トルクの方向になりません");
    EXPECT_EQ(axis.choice, 4) << "a refused choice is not kept";
    expectUnchanged();
}

TEST_F(AnalysisFixture, RefusalsSayWhy) {
    CQUAVDoc empty;
    showEnergyDistribution(empty, ui);
    EXPECT_EQ(ui.messages.back(), "モデルがありません");

    // Every analysis refuses what the calculation refuses, naming the field.
    const Matrix inertia = doc.model()->inertia;
    doc.model()->setInertia(Matrix(3, 3, {1, 1, 0, 1, 1, 0, 0, 0, 9}));
    TorqueAxisValues axis;
    showTorqueRollAxis(doc, ui, axis);
    EXPECT_EQ(ui.messages.back().rfind("ｴﾗｰ\n\n慣性テンソルが正定値ではありません", 0), 0u);
    doc.model()->setInertia(inertia);
    doc.model()->springCharacteristics[0].stiffness[2] = -1e5;
    showMountForces(doc, ui);
    EXPECT_NE(ui.messages.back().find("ばね定数 zz [N/m] が負です(-100000)"), std::string::npos);
    EXPECT_TRUE(ui.texts.empty());
    doc.model()->springCharacteristics[0].stiffness[2] = 1e5;

    doc.model()->setFrequencyRange(0, 0, 1);
    showTransmissibility(doc, ui);
    EXPECT_NE(ui.messages.back().find("周波数設定が不正です"), std::string::npos);
    doc.model()->dynamicLoads[0].type = Moment;
    showTransmissibility(doc, ui);
    EXPECT_NE(ui.messages.back().find("力の動荷重がありません"), std::string::npos);
    EXPECT_TRUE(ui.windows.empty());
    expectUnchanged();
}

TEST_F(AnalysisFixture, RobustnessKeepsConfirmedSettingsAndRefusesBadOnes) {
    RobustnessValues last;
    ui.cancel<RobustnessValues>();
    runRobustness(doc, ui, last);
    EXPECT_TRUE(ui.texts.empty());

    const struct {
        std::function<void(RobustnessValues&)> change;
        const char* field;
    } bad[] = {
        {[](auto& v) { v.tolerancePct = -1; }, "ばね定数の許容差"},
        {[](auto& v) { v.tolerancePct = 100; }, "ばね定数の許容差"},
        {[](auto& v) { v.samples = 0; }, "ｻﾝﾌﾟﾙ数"},
        {[](auto& v) { v.samples = 2.5; }, "ｻﾝﾌﾟﾙ数"},
        {[](auto& v) { v.seed = -1; }, "乱数の種"},
        {[](auto& v) { v.positionTolerance = -0.1; }, "位置の許容差"},
    };
    for (const auto& b : bad) {
        ui.ok<RobustnessValues>(b.change);
        runRobustness(doc, ui, last);
        EXPECT_EQ(ui.messages.back().rfind(std::string("入力エラー\n\n") + b.field, 0), 0u)
            << ui.messages.back();
    }
    EXPECT_EQ(last.tolerancePct, RobustnessValues{}.tolerancePct) << "nothing refused is kept";
    EXPECT_TRUE(ui.texts.empty());

    // The two ticks differ, so that neither can stand for the other.
    ui.ok<RobustnessValues>([](auto& v) { v = {4, true, 0.002, false, 200, 7}; });
    runRobustness(doc, ui, last);
    ASSERT_EQ(ui.texts.size(), 1u);
    // Every value and tick of the dialog reaches the run.
    for (const char* line : {"ばね定数\t±4\t[%]\t正規分布", "位置\t±0.002\t[m]", "ばね要素ごと",
                             "ｻﾝﾌﾟﾙ数\t200\t(指定 200)", "乱数の種\t7"})
        EXPECT_NE(ui.texts[0].find(line), std::string::npos) << line;
    EXPECT_EQ(ui.windows, std::vector<std::string>{"progress ロバスト性を計算しています"});
    EXPECT_EQ(std::tuple(last.samples, last.normal), std::tuple(200, true));
    EXPECT_TRUE(ui.scriptDone());
    expectUnchanged();
}

TEST_F(AnalysisFixture, SensitivityWindowSelectsWhatAParameterBelongsTo) {
    doc.model()->springCharacteristics[0].dynamicFactor = 0;
    showSensitivity(doc, ui);
    EXPECT_NE(ui.messages.back().find("動的係数が正ではありません(0)"), std::string::npos);
    EXPECT_TRUE(ui.windows.empty());
    doc.model()->springCharacteristics[0].dynamicFactor = 1.2;
    showSensitivity(doc, ui);
    EXPECT_EQ(ui.windows,
              (std::vector<std::string>{"progress 感度を計算しています", "sensitivity"}));
    // With a frequency table the modes are those at their own frequencies.
    AnalysisModel tabled = *doc.model();
    tabled.springCharacteristics[0].frequencyTable = quav::testing::rubberTable();
    std::swap(*doc.model(), tabled);
    showSensitivity(doc, ui);
    std::swap(*doc.model(), tabled);
    const ModalSolution own = solveModesAtOwnFrequencies(tabled).modes;
    ASSERT_EQ(ui.sensitivityValues.size(), 24u);
    for (int q = 0; q < 6; ++q)
        EXPECT_DOUBLE_EQ(ui.sensitivityValues[q], own.frequencies[5 - q]) << "mode " << q + 1;

    // A second characteristic on the last two springs; one spring already selected.
    AnalysisModel& m = *doc.model();
    SpringCharacteristic hard = m.springCharacteristics[0];
    hard.name = "hard";
    const int id = m.addCharacteristic(hard);
    m.springs[2].characteristicId = m.springs[3].characteristicId = id;
    m.springs[0].selected = 1;
    int redraws = 0;
    doc.addListener([&redraws](DocumentEvent e) { redraws += e == DocumentEvent::ModelChanged; });
    auto selected = [&m] {
        std::vector<int> ids;
        for (const SpringElement& s : m.springs)
            if (s.selected)
                ids.push_back(s.id);
        return ids;
    };
    selectSensitivityObject(doc, {ParameterKind::Angle, m.springs[1].id, 0, 0.0});
    EXPECT_EQ(selected(), std::vector<int>{m.springs[1].id});
    selectSensitivityObject(doc, {ParameterKind::Rate, id, 2, 1e5});
    EXPECT_EQ(selected(), (std::vector<int>{m.springs[2].id, m.springs[3].id}));
    EXPECT_EQ(redraws, 2);
    expectUnchanged();
}

// Work that throws off the window's thread is a message and changes nothing.
TEST_F(AnalysisFixture, WorkThatFailsOffTheWindowIsAnErrorAndChangesNothing) {
    const struct {
        const char* name;
        std::function<void()> command;
    } commands[] = {
        {"calculation",
         [this] {
             ui.ok<CalculationRequest>();
             EXPECT_EQ(calculateCommand(doc, ui), CalculationCommandResult::Finished);
         }},
        {"robustness",
         [this] {
             RobustnessValues last;
             ui.ok<RobustnessValues>([](auto& v) { v.samples = 50; });
             runRobustness(doc, ui, last);
         }},
        {"sensitivity", [this] { showSensitivity(doc, ui); }},
    };
    const struct {
        std::exception_ptr failure;
        const char* message;
    } failures[] = {
        {std::make_exception_ptr(std::bad_alloc()),
         "ｴﾗｰ\n\nメモリが足りないため計算を中断しました"},
        {std::make_exception_ptr(std::runtime_error("no thread")),
         "ｴﾗｰ\n\n計算を中断しました: no thread"},
    };
    for (const auto& c : commands)
        for (const auto& f : failures) {
            SCOPED_TRACE(std::string(c.name) + ": " + f.message);
            ui.messages.clear();
            ui.texts.clear();
            ui.windows.clear();
            ui.failWork = f.failure;
            c.command();
            EXPECT_EQ(ui.messages, std::vector<std::string>{f.message});
            EXPECT_TRUE(ui.texts.empty());
            EXPECT_EQ(ui.windows.size(), std::string(c.name) == "calculation" ? 0u : 1u)
                << "no result window after the progress window";
            EXPECT_EQ(doc.model()->frequencyStepResults.size(), 0u);
            EXPECT_TRUE(ui.scriptDone());
            expectUnchanged();
        }
}
