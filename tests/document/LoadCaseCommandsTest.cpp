#include "document/LoadCaseCommands.h"
#include "document/Document.h"

#include "../support/ScriptedUi.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(ui.loadCases[1].name, "push");
    EXPECT_TRUE(ui.loadCases[1].converged);
    EXPECT_EQ(ui.loadCases[1].modes.size(), 6u);
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(doc.model()->calculated, 0);
}
