#include "math/Matrix.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quav;
using namespace quav::testing;

namespace {

Matrix randomSpd(int n, unsigned seed) {
    // Deterministic, well-conditioned symmetric positive-definite matrix.
    Matrix a(n, n);
    unsigned s = seed;
    for (int i = 0; i < n * n; ++i) {
        s = s * 1103515245u + 12345u;
        a[i] = static_cast<double>((s >> 8) % 1000) / 1000.0 - 0.5;
    }
    Matrix spd = a.transposed() * a;
    for (int i = 0; i < n; ++i)
        spd(i, i) += n;
    return spd;
}

} // namespace

TEST(MatrixStorage, CopiesAreDeepMovesTakeTheStorageAndResizeZeroFills) {
    for (int n : {3, 12}) {
        Matrix a(n, n);
        a(1, 2) = 7.0;
        Matrix b(a), c;
        c = a;
        a(1, 2) = -1.0;
        EXPECT_EQ(b(1, 2), 7.0);
        EXPECT_EQ(c(1, 2), 7.0);
        c.resize(n, 2);
        EXPECT_EQ(c.norm(), 0.0) << n;
    }
    // Moves take the heap storage instead of copying it (models move this way).
    Matrix big(100, 6);
    const double* storage = big.data();
    Matrix moved(std::move(big)), assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.data(), storage);
    Matrix s(2, 3, {0, 5, 0, 0, 0, 0});
    EXPECT_EQ(s.setIdentityDiagonal(), 3) << "not square: nothing written";
    EXPECT_EQ(s, Matrix(2, 3, {0, 5, 0, 0, 0, 0}));
}

TEST(MatrixInverseAndSolve, PivotingSingularMatricesFactorsInPlaceAndLargerSystems) {
    expectNear(Matrix(3, 3, {2, 0, 0, 0, 4, 0, 0, 0, -8}).inverse(),
               Matrix(3, 3, {0.5, 0, 0, 0, 0.25, 0, 0, 0, -0.125}), kTight);
    const Matrix swap(2, 2, {0, 1, 1, 0});
    expectNear(swap.inverse(), swap, kTight);
    // The leading 2 x 2 minor is singular although the matrix is invertible.
    const Matrix m(3, 3, {1, 2, 3, 2, 4, 7, 1, 1, 1});
    expectNear(m * m.inverse(), Matrix::identity(3), kTight);
    // A singular matrix yields non-finite elements, without throwing.
    const Matrix inv = Matrix(2, 2, {1, 2, 2, 4}).inverse();
    EXPECT_FALSE(std::isfinite(inv[0]) && std::isfinite(inv[1]) && std::isfinite(inv[2]) &&
                 std::isfinite(inv[3]));
    Matrix a(2, 2, {0, 2, 4, 1});
    const Matrix x = a.solve(Matrix::vector({2, 9}));
    expectNear(x, Matrix::vector({2, 1}), kTight);
    // Rows swapped by the pivot: U = [[4, 1], [0, 2]], L(1, 0) = 0.
    EXPECT_EQ(a, Matrix(2, 2, {4, 1, 0, 2}));
    for (int n : {3, 6, 12}) {
        const Matrix spd = randomSpd(n, 17u + static_cast<unsigned>(n));
        Matrix b(n, 1);
        for (int i = 0; i < n; ++i)
            b[i] = 1.0 + i;
        Matrix work = spd;
        expectNear(spd * work.solve(b), b, 1e-12 * n);
        expectNear(spd * spd.inverse(), Matrix::identity(n), 1e-12);
    }
}
