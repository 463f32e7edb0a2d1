#include "analysis/EigenAnalysis.h"

#include "analysis/Constants.h"
#include "analysis/SymmetricEigen.h"
#include "analysis/SystemAssembly.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace quav;
using namespace quav::testing;

namespace {

// Residuals and orthogonality are relative to the size of the matrices involved.
constexpr double kResidualTol = 1e-12;
// Orthonormality of double-precision rotations, to a few roundoffs, up to 14 x 14.
constexpr double kOrthonormalTol = 1e-14;

Matrix column(const Matrix& m, int j) {
    Matrix c = Matrix::column(m.rows());
    for (int i = 0; i < m.rows(); ++i)
        c[i] = m(i, j);
    return c;
}

double dot(const Matrix& a, const Matrix& b) {
    long double s = 0.0L;
    for (int i = 0; i < a.size(); ++i)
        s += static_cast<long double>(a[i]) * b[i];
    return static_cast<double>(s);
}

int dominantDof(const Matrix& shapes, int j) {
    int best = 0;
    for (int i = 1; i < 6; ++i)
        if (std::fabs(shapes(i, j)) > std::fabs(shapes(best, j)))
            best = i;
    return best;
}

/// Every property the modes of a model must have, whatever the model.
void expectSoundModes(const AnalysisModel& model, const std::string& label) {
    SCOPED_TRACE(label);
    const ModalSolution s = solveModes(model);
    ASSERT_TRUE(s.valid);
    const Matrix k = systemStiffness(model, model.centreOfGravity, Matrix::identity(3), true);
    const Matrix m = massMatrix(model);
    const double kNorm = k.norm(), mNorm = m.norm();
    for (int j = 0; j < 6; ++j) {
        const Matrix phi = column(s.modeShapes, j);
        const double lambda = s.eigenvalues[j];
        EXPECT_NEAR(phi.norm(), 1.0, 1e-14) << "mode column " << j;
        EXPECT_NEAR(s.frequencies[j], std::sqrt(std::fabs(lambda)) * kHertzPerRadian, 1e-15);
        // K phi = lambda M phi.
        const Matrix r = k * phi - (m * phi) * lambda;
        EXPECT_LE(r.norm(), kResidualTol * (kNorm + std::fabs(lambda) * mNorm)) << "column " << j;
        // Largest element positive, the first of equal magnitudes.
        EXPECT_GT(phi[dominantDof(s.modeShapes, j)], 0.0) << "column " << j;
        if (j > 0) {
            EXPECT_GE(s.frequencies[j - 1], s.frequencies[j]) << "storage not descending at " << j;
        }
        // Modes are M-orthogonal, a repeated eigenvalue's basis too.
        for (int i = 0; i < j; ++i) {
            const Matrix psi = column(s.modeShapes, i);
            const double scale = std::sqrt(dot(phi, m * phi) * dot(psi, m * psi));
            EXPECT_LE(std::fabs(dot(psi, m * phi)), 1e-10 * scale) << i << " vs " << j;
        }
    }
}

} // namespace

TEST(SymmetricEigen, RandomMatricesGiveExactPairsDiagonalOnesStayAndNaNIsReported) {
    Lcg rng{12345};
    for (int trial = 0; trial < 50; ++trial) {
        const int n = 2 + trial % 13; // past 12 the work arrays move to the heap
        const Matrix a = randomSymmetric(rng, n);
        const SymmetricEigen e = symmetricEigen(a);
        ASSERT_TRUE(e.converged);
        const Matrix vtv = e.vectors.transposed() * e.vectors;
        for (int j = 0; j < n; ++j) {
            const Matrix v = column(e.vectors, j);
            EXPECT_LE((a * v - v * e.values[j]).norm(), 1e-14 * a.norm());
            for (int i = 0; i < n; ++i)
                EXPECT_NEAR(vtv(i, j), i == j ? 1.0 : 0.0, kOrthonormalTol);
        }
    }
    // Diagonal: returned as it is, identity vectors, no reordering.
    const Matrix d(3, 3, {5, 0, 0, 0, -2, 0, 0, 0, 5});
    const SymmetricEigen e = symmetricEigen(d);
    EXPECT_EQ(e.values, Matrix::vector({5, -2, 5}));
    EXPECT_EQ(e.vectors, Matrix::identity(3));
    // The zero matrix and NaN end: the latter at the sweep cap, reported.
    EXPECT_TRUE(symmetricEigen(Matrix(6, 6)).converged);
    Matrix bad = Matrix::identity(4);
    bad(0, 1) = std::nan("");
    EXPECT_FALSE(symmetricEigen(bad).converged);
}

TEST(PrincipalAxes, RightHandedRotationThatReproducesTheTensorUnsetWithoutAMoment) {
    const Matrix diagonal(3, 3, {9, 0, 0, 0, 2, 0, 0, 0, 5});
    const PrincipalAxes p = principalInertiaAxes(diagonal);
    ASSERT_TRUE(p.valid);
    EXPECT_EQ(std::tuple(p.axes, p.moments), std::tuple(Matrix::identity(3), diagonal));

    const PrincipalAxes q = principalInertiaAxes(Matrix(3, 3, {1, 0.1, 0, 0.1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(std::tuple(q.valid, q.moments.norm(), q.axes.norm()), std::tuple(false, 0.0, 0.0));
    std::vector<Matrix> tensors = {
        Matrix(3, 3, {4, 0.7, 0, 0.7, 6, 0, 0, 0, 9}),   // only Ixy
        Matrix(3, 3, {4, 0, 0, 0, 6, -0.5, 0, -0.5, 9}), // only Iyz
        Matrix(3, 3, {2, 1, 0, 1, 2, 0, 0, 0, 5}),       // axes at 45 deg: a dominance tie
        Matrix(3, 3, {2, -1, 0, -1, 2, 0, 0, 0, 5}),
        rotatedInertia(axisRotation(0.0, 0.6, 0.8, 2.5), 10.0, 10.000001, 4.0), // near-equal
        rotatedInertia(axisRotation(0.8, 0.0, -0.6, -1.2), 1.0, 5.0, 3.0),
        rotatedInertia(axisRotation(0.36, 0.48, 0.8, 3.0), 7.0, 7.0, 7.0 + 1e-9),
    };
    Lcg rng{777};
    for (int t = 0; t < 40; ++t)
        tensors.push_back(
            rotatedInertia(randomRotation(rng), 1 + std::fabs(rng.next()), 2 + rng.next(), 3.0));
    for (const Matrix& inertia : tensors) {
        const PrincipalAxes p = principalInertiaAxes(inertia);
        ASSERT_TRUE(p.valid);
        const Matrix& q = p.axes;
        const Matrix qtq = q.transposed() * q;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(qtq(i, j), i == j ? 1.0 : 0.0, 1e-15);
        const double det = q(0, 0) * (q(1, 1) * q(2, 2) - q(1, 2) * q(2, 1)) -
                           q(0, 1) * (q(1, 0) * q(2, 2) - q(1, 2) * q(2, 0)) +
                           q(0, 2) * (q(1, 0) * q(2, 1) - q(1, 1) * q(2, 0));
        EXPECT_NEAR(det, 1.0, 1e-14);
        EXPECT_LE((q * p.moments * q.transposed() - inertia).norm(), 1e-14 * inertia.norm());
        // Axes dominant along distinct global axes are in that order, positive side out.
        bool distinct = true;
        for (int i = 0; i < 3; ++i)
            for (int r = 0; r < 3; ++r)
                if (r != i && std::fabs(q(r, i)) >= std::fabs(q(i, i)))
                    distinct = false;
        if (distinct) {
            for (int i = 0; i < 3; ++i)
                EXPECT_GT(q(i, i), 0.0);
        }
    }
}

TEST(EigenAnalysis, FourMountClosedForm) {
    // Mounts in the CoG's plane, local x along global y: kx = k2, ky = k1, kz = k3, uncoupled.
    const double k1 = 2.0e5, k2 = 1.2e5, k3 = 4.0e5, a = 0.35, b = 0.2, df = 1.4;
    const AnalysisModel m = fourMountModel(a, b, 0.0, v3(k1, k2, k3), df);
    const double expectedLambda[6] = {4 * df * k2 / m.mass,                      // x
                                      4 * df * k1 / m.mass,                      // y
                                      4 * df * k3 / m.mass,                      // z
                                      4 * df * b * b * k3 / 4.0,                 // Rx
                                      4 * df * a * a * k3 / 6.0,                 // Ry
                                      4 * df * (b * b * k2 + a * a * k1) / 9.0}; // Rz
    const ModalSolution s = solveModes(m);
    ASSERT_TRUE(s.valid);
    for (int j = 0; j < 6; ++j) {
        // Each mode is one pure DOF; find which and check its eigenvalue.
        const int dof = dominantDof(s.modeShapes, j);
        EXPECT_NEAR(s.modeShapes(dof, j), 1.0, 1e-12);
        EXPECT_NEAR(s.eigenvalues[j], expectedLambda[dof], 1e-9 * expectedLambda[dof]);
    }
    expectSoundModes(m, "four mounts in the CoG plane");
}

TEST(EigenAnalysis, RepeatedAndFreeModes) {
    // Isotropic mounts: three equal translational frequencies.
    expectSoundModes(fourMountModel(0.3, 0.3, 0.0, v3(1e5, 1e5, 1e5)), "isotropic");
    // Mounts stiff only along global z: x, y and Rz are free and give 0 Hz, not NaN.
    const AnalysisModel free = fourMountModel(0.3, 0.2, 0.0, v3(0, 0, 2e5));
    const ModalSolution s = solveModes(free);
    for (int j = 3; j < 6; ++j)
        EXPECT_LT(s.frequencies[j], 1e-3) << j;
    for (int j = 0; j < 6; ++j)
        EXPECT_TRUE(std::isfinite(s.frequencies[j]));
    expectSoundModes(free, "free directions");
}

TEST(EigenAnalysis, WritesResultsOnlyWithValidAxesAndADefiniteMass) {
    AnalysisModel m = fourMountModel(0.3, 0.2, 0.1, v3(2e5, 1e5, 3e5));
    ASSERT_TRUE(eigenvalueAnalysis(m));
    const ModalSolution s = solveModes(m);
    EXPECT_EQ(m.eigenFrequencies, s.frequencies);
    EXPECT_EQ(m.modeShapes, s.modeShapes);

    m.inertia(2, 2) = 0.0;
    m.eigenFrequencies.zero();
    EXPECT_FALSE(eigenvalueAnalysis(m));
    EXPECT_EQ(m.eigenFrequencies.norm(), 0.0);

    // Mixed signs have no real modes (a negative definite mass: FrequencyCount's family).
    m.inertia(2, 2) = 9.0;
    m.setInertia(m.inertia * -1.0);
    EXPECT_TRUE(std::isnan(solveModes(m).frequencies[0]));
}
