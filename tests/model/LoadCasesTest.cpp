#include "model/LoadCases.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quav;

TEST(ForceCurve, ValuesInsideAndBeyondTheEndsAndTravelLeft) {
    // Soft near zero, stiffening into a snubber on either side.
    const ForceCurve c = {{-0.004, -900}, {-0.002, -300}, {0, 0}, {0.003, 450}, {0.005, 1500}};
    const struct {
        double d, force, rate, travel;
    } rows[] = {
        {0.0, 0.0, 150000, 0.005},       // at a point the right segment's rate
        {0.0015, 225, 150000, 0.0035},   // inside a segment
        {0.003, 450, 525000, 0.002},     // a kink
        {0.006, 2025, 525000, -0.001},   // past the end: last slope continues
        {-0.001, -150, 150000, 0.003},   // moving the other way: the lower end
        {-0.005, -1200, 300000, -0.001}, // below the first point
    };
    for (const auto& r : rows) {
        const CurveValue v = curveValueAt(c, r.d);
        EXPECT_NEAR(v.force, r.force, 1e-9) << r.d;
        EXPECT_NEAR(v.rate, r.rate, 1e-6) << r.d;
        EXPECT_NEAR(travelMargin(c, r.d), r.travel, 1e-15) << r.d;
    }
}

TEST(ForceCurve, RulesAreCheckedPointByPoint) {
    using P = ForceCurveProblem;
    const struct {
        ForceCurve curve;
        P::Kind kind;
        int point;
    } rows[] = {
        {{{0, 0}}, P::TooFewPoints, -1},
        {ForceCurve(65, ForcePoint{}), P::TooManyPoints, -1},
        {{{0, 0}, {1, 2}, {1, 3}}, P::DeflectionNotIncreasing, 2},
        {{{-1, 0}, {0, 0}}, P::ForceNotIncreasing, 1},
        {{{0, 0}, {1, std::numeric_limits<double>::infinity()}}, P::NotFinite, 1},
        {{{0.5, 0}, {1, 1}}, P::NoOrigin, -1},
    };
    for (const auto& r : rows) {
        const auto problem = checkForceCurve(r.curve);
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->kind, r.kind);
        EXPECT_EQ(problem->point, r.point);
    }
    EXPECT_FALSE(checkForceCurve({}));
    EXPECT_FALSE(checkForceCurve({{0, 0}, {0.01, 100}}));
}
