#include "analysis/SystemAssembly.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quav;
using namespace quav::testing;

namespace {

AnalysisModel oneSpringModel(const Matrix& position, const Matrix& rates, double dynamicFactor,
                             const Matrix& angles = Matrix::column(3)) {
    AnalysisModel m;
    m.addSpring("s", position, angles, 1.0f);
    m.springs[0].selected = 1;
    m.assignCharacteristic("c", rates, dynamicFactor, Matrix::vector({10, 20, 30}));
    return m;
}

/// B^T k B with B = [I | -S(r)], written from the definition as a reference.
Matrix referenceSpringBlock(const Matrix& k, const Matrix& r) {
    Matrix b(3, 6);
    for (int i = 0; i < 3; ++i)
        b(i, i) = 1.0;
    const double x = r[0], y = r[1], z = r[2];
    const Matrix s(3, 3, {0, -z, y, z, 0, -x, -y, x, 0});
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            b(i, 3 + j) = -s(i, j);
    return b.transposed() * k * b;
}

} // namespace

TEST(SpringAssembly, DynamicFactorScalesStiffnessNotDampingAndUnboundSpringsAddNothing) {
    AnalysisModel m =
        oneSpringModel(Matrix::vector({0.3, -0.2, 0.5}), Matrix::vector({1e5, 2e4, 3e4}), 1.5,
                       Matrix::vector({0, 20, -35}));
    const Matrix q = Matrix::vector({0.1, 0.1, 0.0});
    const Matrix ks = systemStiffness(m, q, Matrix::identity(3), false);
    const Matrix kd = systemStiffness(m, q, Matrix::identity(3), true);
    for (int i = 0; i < 36; ++i)
        EXPECT_NEAR(kd[i], 1.5 * ks[i], 1e-9 * std::fabs(ks[i]) + 1e-12);
    const Matrix c = systemDamping(m, q, Matrix::identity(3));
    EXPECT_GT(c.norm(), 0.0);
    m.springCharacteristics[0].dynamicFactor = 3.0;
    EXPECT_EQ(systemDamping(m, q, Matrix::identity(3)), c);
    // A spring without a characteristic contributes nothing.
    m.springs[0].characteristicId = 999;
    EXPECT_EQ(systemStiffness(m, q, Matrix::identity(3), true).norm(), 0.0);
    EXPECT_EQ(systemDamping(m, q, Matrix::identity(3)).norm(), 0.0);
}

TEST(SpringAssembly, MatchesDefinitionAndIsExactlySymmetricInAnyFrame) {
    AnalysisModel m;
    const double pos[4][3] = {
        {0.4, 0.3, -0.2}, {-0.4, 0.35, -0.15}, {0.1, -0.3, 0.05}, {-0.2, -0.25, 0.3}};
    const double ang[4][2] = {{15, 30}, {-20, 45}, {40, -10}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        m.addSpring("s", Matrix::vector({pos[i][0], pos[i][1], pos[i][2]}),
                    Matrix::vector({0, ang[i][0], ang[i][1]}), 1.0f);
        m.springs[static_cast<std::size_t>(i)].selected = 1;
        m.assignCharacteristic("c" + std::to_string(i), Matrix::vector({1e5 * (i + 1), 3e4, 2e4}),
                               1.2, Matrix::vector({100, 50, 20}));
    }
    const double c = std::cos(0.3), s = std::sin(0.3);
    const Matrix frame(3, 3, {c, -s, 0, s, c, 0, 0, 0, 1});
    const Matrix q = Matrix::vector({0.05, -0.02, 0.1});
    const Matrix k = systemStiffness(m, q, frame, true);
    Matrix ref(6, 6);
    for (const auto& spring : m.springs)
        ref = ref + referenceSpringBlock(springStiffness(m, spring, frame, true),
                                         frame * (spring.position - q));
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(k(i, j), k(j, i));
            EXPECT_NEAR(k(i, j), ref(i, j), 1e-9 * (std::fabs(ref(i, j)) + 1.0));
        }
    const Matrix d = systemDamping(m, q, frame);
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(d(i, j), d(j, i));
}
