// Estimates and bounds that let many variants be ruled out without the full
// solution: they must always contain what that solution gives.
#include "analysis/EigenAnalysis.h"
#include "analysis/SymmetricEigen.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace quav;
using namespace quav::testing;

namespace {

std::vector<double> sorted(const Matrix& values) {
    std::vector<double> v(values.data(), values.data() + values.size());
    std::sort(v.begin(), v.end());
    return v;
}

/// The sorted estimates lie within their stated distance of the sorted exact values.
void expectWithinStatedDistance(const Matrix& a, double tolerance, const std::string& label) {
    SCOPED_TRACE(label);
    const EigenvalueEstimate estimate = approximateEigenvalues(a, tolerance);
    const std::vector<double> exact = sorted(symmetricEigen(a).values);
    const std::vector<double> approximate = sorted(estimate.values);
    const double norm = a.norm();
    EXPECT_LE(estimate.offDiagonal, std::max(tolerance, 1e-14) * norm);
    for (std::size_t i = 0; i < exact.size(); ++i)
        EXPECT_LE(std::fabs(exact[i] - approximate[i]), estimate.offDiagonal + 1e-13 * norm)
            << "eigenvalue " << i;
}

/// The bounds of a model hold solveModes' lowest and highest frequency and are
/// narrow: in squared frequency (eigenvalue) terms, a millionth of the highest.
void expectBoundsHold(const AnalysisModel& m, const std::string& label) {
    SCOPED_TRACE(label);
    FrequencyBounds b;
    ASSERT_TRUE(naturalFrequencyBounds(m, principalInertiaAxes(m.inertia), b));
    const ModalSolution s = solveModes(m);
    const double lowest = s.frequencies[5], highest = s.frequencies[0];
    EXPECT_LE(b.lowest.low, lowest);
    EXPECT_GE(b.lowest.high, lowest);
    EXPECT_LE(b.highest.low, highest);
    EXPECT_GE(b.highest.high, highest);
    const double square = highest * highest;
    EXPECT_LE(b.lowest.high * b.lowest.high - b.lowest.low * b.lowest.low, 1.5e-6 * square);
    EXPECT_LE(b.highest.high * b.highest.high - b.highest.low * b.highest.low, 1.5e-6 * square);
}

} // namespace

TEST(ApproximateEigenvalues, WithinTheStatedDistanceOfTheExactValues) {
    Lcg rng{4242};
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 2 + trial % 13; // past 12 the work array moves to the heap
        const Matrix a = randomSymmetric(rng, n);
        const std::string label = "n = " + std::to_string(n) + ", trial " + std::to_string(trial);
        expectWithinStatedDistance(a, 0.0, label + ", converged");
        expectWithinStatedDistance(a, 1e-7, label + ", stopped early");
        expectWithinStatedDistance(a, 1e-2, label + ", stopped very early");
    }
    // Repeated and zero eigenvalues, and a diagonal that needs no rotation.
    expectWithinStatedDistance(Matrix(3, 3, {2, 1, 1, 1, 2, 1, 1, 1, 2}), 1e-7, "1, 1, 4");
    expectWithinStatedDistance(Matrix(3, 3, {1, 1, 0, 1, 1, 0, 0, 0, 0}), 1e-7, "0, 0, 2");
    const EigenvalueEstimate d = approximateEigenvalues(Matrix(2, 2, {3, 0, 0, -1}), 1e-7);
    EXPECT_EQ(std::tuple(d.values, d.offDiagonal, d.norm),
              std::tuple(Matrix::vector({3, -1}), 0.0, std::sqrt(10.0)));
    // Non-finite input ends at once with NaN, not at the sweep cap with numbers.
    Matrix bad = Matrix::identity(4);
    bad(0, 1) = bad(1, 0) = std::numeric_limits<double>::infinity();
    for (double x : sorted(approximateEigenvalues(bad, 1e-7).values))
        EXPECT_TRUE(std::isnan(x));
}

TEST(NaturalFrequencyBounds, HoldTheFrequenciesOfTheFullSolution) {
    expectBoundsHold(fourMountModel(0.3, 0.2, 0.1, v3(3e5, 1e5, 1e5)), "four mounts");
    expectBoundsHold(fourMountModel(0.3, 0.3, 0.0, v3(1e5, 1e5, 1e5)), "repeated frequencies");
    expectBoundsHold(fourMountModel(0.3, 0.2, 0.05, v3(4e5, 1e5, 1e5), 1.0, Matrix::column(3), 35),
                     "V-mounts");
    // Stiff only along z: three free directions at 0 Hz.
    expectBoundsHold(fourMountModel(0.3, 0.2, 0.0, v3(0, 0, 2e5)), "free directions");
    // Rates six decades apart: the lowest frequency is tiny against the highest.
    expectBoundsHold(fourMountModel(0.3, 0.2, 0.1, v3(1e8, 1e2, 1e2)), "graded rates");
    // A negative rate: unstable modes with negative eigenvalues, ordered by magnitude.
    expectBoundsHold(fourMountModel(0.3, 0.2, 0.1, v3(3e5, -2e5, 1e5)), "negative rate");
    Lcg rng{99};
    for (int t = 0; t < 80; ++t)
        expectBoundsHold(randomMountModel(rng, 3 + t % 4), "random model " + std::to_string(t));
}

TEST(NaturalFrequencyBounds, CannotTellWithoutAxesADefiniteMassOrFiniteRates) {
    FrequencyBounds b;
    AnalysisModel m = fourMountModel(0.3, 0.2, 0.1, v3(3e5, 1e5, 1e5));
    AnalysisModel zeroMoment = m;
    zeroMoment.inertia(1, 1) = 0.0;
    EXPECT_FALSE(naturalFrequencyBounds(zeroMoment, principalInertiaAxes(zeroMoment.inertia), b));
    AnalysisModel mixed = m;
    mixed.mass = -mixed.mass; // solveModes gives NaN frequencies here
    EXPECT_FALSE(naturalFrequencyBounds(mixed, principalInertiaAxes(mixed.inertia), b));
    AnalysisModel infinite = m;
    infinite.springCharacteristics[0].stiffness[0] = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(naturalFrequencyBounds(infinite, principalInertiaAxes(infinite.inertia), b));
    // A negative definite mass mirrors the eigenvalues: the same frequencies, bounded.
    AnalysisModel negative = m;
    negative.mass = -m.mass;
    negative.setInertia(Matrix(3, 3, {-4.0, 0, 0, 0, -6.0, 0, 0, 0, -9.0}));
    expectBoundsHold(negative, "negative definite mass");
}
