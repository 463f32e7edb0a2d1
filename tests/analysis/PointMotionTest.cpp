#include "analysis/PointMotion.h"
#include "analysis/ElasticAxes.h"
#include "analysis/FrequencyStepCurve.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quav;
using namespace quav::testing;

namespace {

Matrix motion(double x, double y, double z, double rx, double ry, double rz) {
    return Matrix::vector({x, y, z, rx, ry, rz});
}

} // namespace

TEST(PointTransfer, FiniteRotationIsAnExactRigidMotion) {
    // A quarter turn about z at the origin carries (1, 0, 0) to (0, 1, 0).
    const double quarter = std::acos(0.0);
    const Matrix q = pointTransfer(motion(0, 0, 0, 0, 0, quarter), v3(0, 0, 0), v3(1, 0, 0));
    EXPECT_NEAR(q[0], -1.0, kTight);
    EXPECT_NEAR(q[1], 1.0, kTight);
    EXPECT_NEAR(q[5], quarter, kTight);
    // Distances between body points are preserved for any rotation.
    const Matrix u = motion(0.1, 0.2, 0.3, 0.4, -0.5, 0.6);
    const Matrix a = v3(1, 2, 3), b = v3(-1, 0.5, 2);
    const Matrix ua = pointTransfer(u, v3(0, 0, 0), a), ub = pointTransfer(u, v3(0, 0, 0), b);
    const Matrix pa = v3(a[0] + ua[0], a[1] + ua[1], a[2] + ua[2]);
    const Matrix pb = v3(b[0] + ub[0], b[1] + ub[1], b[2] + ub[2]);
    EXPECT_NEAR((pa - pb).norm(), (a - b).norm(), 1e-12);
}

// The example's elastic axes are golden (elastic.txt); a model without springs has none.
TEST(ElasticAxes, NoSpringsGiveZerosNotNaN) {
    EXPECT_EQ(elasticAxes(AnalysisModel{}).norm(), 0.0);
}

TEST(FrequencyStepCurve, ReadsTheTargetPointOverTheStoredSweep) {
    AnalysisModel m;
    m.setCentreOfGravity(v3(0, 0, 0));
    m.addSpring("s", v3(0, 0, 1), v3(0, 0, 0), 1.0f);
    m.addDynamicLoad("a", 1, v3(0, 0, 0), v3(1, 0, 0), Translational, 5);
    m.addDynamicLoad("b", 1, v3(0, 0, 0), v3(1, 0, 0), Translational, 5);
    m.setFrequencyRange(20, 10, 2.5);
    for (int s = 0; s < 5; ++s) {
        Matrix t(2, 12);
        t(1, 0) = -0.001 * (s + 1); // load b: x amplitude
        m.frequencyStepResults.push_back(t);
    }
    const CurveTarget cog{};
    const auto curve = frequencyStepCurve(m, 1, cog, 0);
    ASSERT_EQ(curve.size(), 5u); // the last sweep step (20 Hz) is included
    EXPECT_EQ(std::tuple(curve[0].frequency, curve[4].frequency), std::tuple(10.0, 20.0));
    EXPECT_DOUBLE_EQ(curve[2].value, 0.003);
    EXPECT_EQ(frequencyStepCurve(m, 0, cog, 0)[2].value, 0.0);
    // In the spring's local axes a global x motion is local -y.
    CurveTarget local{m.springs[0].position, &m.springs[0], true};
    EXPECT_NEAR(frequencyStepCurve(m, 1, local, 1)[0].value, 0.001, 1e-9);
    EXPECT_NEAR(frequencyStepCurve(m, 1, local, 0)[0].value, 0.0, 1e-9);
    // Out-of-range loads and missing results read nothing.
    EXPECT_EQ(frequencyStepCurve(m, 7, cog, 0)[0].value, 0.0);
    m.frequencyStepResults.clear();
    const auto empty = frequencyStepCurve(m, 1, cog, 0);
    ASSERT_EQ(empty.size(), 5u);
    EXPECT_EQ(empty[4].value, 0.0);
    m.setFrequencyRange(0, 0, 0); // no step: no curve rather than a runaway loop
    EXPECT_TRUE(frequencyStepCurve(m, 1, cog, 0).empty());
}
