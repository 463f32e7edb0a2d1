#include "analysis/DynamicAnalysis.h"
#include "analysis/StaticAnalysis.h"

#include "analysis/Constants.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quav;
using namespace quav::testing;

// Off-CoG loads, several loads and phases are pinned by BitExactTest; here closed forms.
TEST(StaticAnalysis, SquareLayoutClosedForm) {
    const double k = 2.0e5, f = 1000.0, moment = 300.0;
    // Dynamic rates 2.5 times the static ones, which the static analysis never uses.
    AnalysisModel m = fourMountModel(1.0, 1.0, 0.0, v3(k, k, k), 2.5, Matrix::column(3));
    m.addStaticLoad("load", f, m.centreOfGravity, v3(0, 0, -1), Translational);
    m.addStaticLoad("load", moment, m.centreOfGravity, v3(0, 0, 1), Moment);
    m.addStaticLoad("load", f, m.centreOfGravity, v3(0, 0, -1), 7); // no such type: no load
    const Matrix r = staticAnalysis(m);
    ASSERT_EQ(r.rows(), 3);
    ASSERT_EQ(r.cols(), 6);
    for (int j = 0; j < 6; ++j) {
        EXPECT_NEAR(r(0, j), j == 2 ? -f / (4 * k) : 0.0, kCircleConstantSlack * f / k) << j;
        EXPECT_NEAR(r(1, j), j == 5 ? moment / (8 * k) : 0.0, kCircleConstantSlack * moment / k);
        EXPECT_EQ(r(2, j), 0.0);
    }
}

TEST(StaticAnalysis, LoadsSolvedTogetherAreTheLoadsSolvedAlone) {
    // Loads at one point share their factors and are solved two at a time; each
    // row is, bit for bit, what the load gives alone.
    Lcg rng{0x57a7};
    AnalysisModel m = randomMountModel(rng, 5);
    const Matrix a = v3(0.1, -0.2, 0.3), b = v3(-0.3, 0.1, 0.0);
    for (const Matrix* at : {&a, &a, &a, &b, &a})
        m.addStaticLoad("load", 500.0 * (1.5 + rng.next()), *at,
                        v3(rng.next(), rng.next(), rng.next()),
                        rng.next() > 0 ? Translational : Moment);
    const Matrix together = staticAnalysis(m);
    for (std::size_t i = 0; i < m.staticLoads.size(); ++i) {
        AnalysisModel alone = m;
        alone.staticLoads = {m.staticLoads[i]};
        const Matrix row = staticAnalysis(alone);
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(together(static_cast<int>(i), j), row(0, j)) << i << " " << j;
    }
}

TEST(DynamicAnalysis, VerticalOscillatorClosedForm) {
    // The square's vertical motion: one oscillator of 4 df k, 4 c and the body's mass.
    const double k = 1.5e5, c = 300.0, df = 1.3, f0 = 100.0;
    AnalysisModel m = fourMountModel(1.0, 1.0, 0.0, v3(k, k, k), df, v3(c, c, c));
    m.addDynamicLoad("load", f0, m.centreOfGravity, v3(0, 0, 1), Translational, 7.0);
    for (double f : {0.5, 5.0, 7.0, 12.0, 40.0}) {
        const Matrix r = responseAtCommonFrequency(m, f);
        const double w = f * kTwoPi;
        const double re = 4 * df * k - w * w * m.mass, im = w * 4 * c;
        EXPECT_NEAR(r(0, 2), f0 / std::hypot(re, im), 1e-9 * r(0, 2)) << f;
        EXPECT_NEAR(r(0, 8), std::atan2(-im, re), 1e-9) << f;
    }
}

TEST(DynamicAnalysis, FreeBodyGivesNonFiniteRowsWithoutThrowing) {
    // No spring has a characteristic: at 0 Hz the real 12 x 12 system is singular.
    AnalysisModel m = fourMountModel(0.3, 0.25, -0.1, v3(3e5, 1e5, 2e5));
    for (auto& spring : m.springs)
        spring.characteristicId = 0;
    m.addDynamicLoad("load", 10.0, v3(0.2, 0, 0), v3(0, 0, 1), Translational, 5.0);
    for (double f : {0.0, 5.0}) {
        const Matrix r = responseAtCommonFrequency(m, f);
        ASSERT_EQ(r.rows(), 1);
        for (int j = 0; j < 12; ++j)
            EXPECT_FALSE(std::isfinite(r(0, j))) << f << " " << j;
    }
}
