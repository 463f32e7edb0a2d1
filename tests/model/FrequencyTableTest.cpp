#include "model/FrequencyTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace quav;

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
