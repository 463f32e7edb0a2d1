#include "model/FrequencyTable.h"

#include "support/FrequencyTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace quav;
using quav::testing::rubberTable;

TEST(FrequencyTable, TheFirstProblemNamesItsRowAndColumn) {
    using P = FrequencyTableProblem;
    const struct {
        const char* what;
        void (*change)(FrequencyTable&);
        P::Kind kind;
        int row, column;
    } cases[] = {
        {"one row", [](FrequencyTable& t) { t.resize(1); }, P::TooFewRows, -1, -1},
        {"65 rows", [](FrequencyTable& t) { t = rubberTable(65); }, P::TooManyRows, -1, -1},
        {"f of 0", [](FrequencyTable& t) { t[0].f = 0.0; }, P::FrequencyNotPositive, 0, 0},
        {"f repeated", [](FrequencyTable& t) { t[2].f = t[1].f; }, P::FrequencyNotIncreasing, 2, 0},
        {"ratio below 0", [](FrequencyTable& t) { t[1].ratio[2] = -1; }, P::RatioNotPositive, 1, 3},
        {"ratio of 0", [](FrequencyTable& t) { t[3].ratio[0] = 0; }, P::RatioNotPositive, 3, 1},
        {"loss below 0", [](FrequencyTable& t) { t[0].loss[1] = -1e-9; }, P::LossNegative, 0, 5},
        {"NaN", [](FrequencyTable& t) { t[2].loss[2] = std::nan(""); }, P::NotFinite, 2, 6},
        {"infinity", [](FrequencyTable& t) { t[3].f = INFINITY; }, P::NotFinite, 3, 0},
        // Row by row, left to right: the earlier cell is named.
        {"two faults", [](FrequencyTable& t) { t[1].loss[0] = -1, t[2].f = -1; }, P::LossNegative,
         1, 4},
    };
    EXPECT_FALSE(checkFrequencyTable({}));
    EXPECT_FALSE(checkFrequencyTable(rubberTable(2)));
    EXPECT_FALSE(checkFrequencyTable(rubberTable(64)));
    for (const auto& c : cases) {
        FrequencyTable t = rubberTable(4);
        c.change(t);
        const auto problem = checkFrequencyTable(t);
        ASSERT_TRUE(problem) << c.what;
        EXPECT_EQ(problem->kind, c.kind) << c.what;
        EXPECT_EQ(problem->row, c.row) << c.what;
        EXPECT_EQ(problem->column, c.column) << c.what;
        EXPECT_FALSE(tableRuleText(problem->kind).empty());
    }
    EXPECT_EQ(tableCellText({P::RatioNotPositive, 2, 2}), "行 3、列 ratio_y");
}

TEST(FrequencyTable, ValuesAreLinearInLnFAndHeldBeyondTheRows) {
    const FrequencyTable t = {{10.0, {1.0, 2.0, 3.0}, {0.1, 0.0, 0.2}},
                              {100.0, {2.0, 2.0, 1.0}, {0.3, 0.0, 0.0}},
                              {1000.0, {4.0, 2.0, 1.0}, {0.3, 0.5, 0.0}}};
    const struct {
        double f;
        double ratio0, loss0, ratio2;
    } cases[] = {
        {0.0, 1.0, 0.1, 3.0},    {5.0, 1.0, 0.1, 3.0},
        {10.0, 1.0, 0.1, 3.0},   {std::sqrt(1000.0), 1.5, 0.2, 2.0},
        {100.0, 2.0, 0.3, 1.0},  {std::pow(10.0, 2.25), 2.5, 0.3, 1.0},
        {1000.0, 4.0, 0.3, 1.0}, {1e6, 4.0, 0.3, 1.0},
    };
    for (const auto& c : cases) {
        const TableValues v = tableValuesAt(t, c.f);
        EXPECT_NEAR(v.ratio[0], c.ratio0, 1e-14) << c.f;
        EXPECT_NEAR(v.loss[0], c.loss0, 1e-14) << c.f;
        EXPECT_NEAR(v.ratio[2], c.ratio2, 1e-14) << c.f;
        EXPECT_EQ(v.ratio[1], 2.0) << c.f; // a flat column stays exact
    }
}
