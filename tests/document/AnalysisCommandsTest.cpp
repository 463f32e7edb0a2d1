#include "document/AnalysisCommands.h"
#include "analysis/Sensitivity.h"
#include "document/Document.h"
#include "document/ResultCommands.h"

#include "../support/ScriptedUi.h"
#include "analysis/OwnFrequencyModes.h"
#include "support/FrequencyTables.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using namespace quav;
using quav::test::ScriptedUi;
using quav::testing::v3;

namespace {

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

} // namespace
