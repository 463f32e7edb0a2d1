#include "math/Matrix.h"

#include <gtest/gtest.h>

#include <cmath>

using quav::Matrix;

namespace {

constexpr double kTight = 1e-12;

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

void expectNear(const Matrix& a, const Matrix& b, double tol) {
    ASSERT_EQ(a.rows(), b.rows());
    ASSERT_EQ(a.cols(), b.cols());
    for (int i = 0; i < a.size(); ++i)
        EXPECT_NEAR(a[i], b[i], tol) << "element " << i;
}

} // namespace

TEST(MatrixStorage, EmptyMatrixCopiesAssignsAndClears) {
    Matrix e;
    Matrix c(e);
    Matrix d(2, 2);
    d = e;
    EXPECT_EQ(c.rows(), 0);
    EXPECT_EQ(d.size(), 0);
    d.clear();
    EXPECT_EQ(e.norm(), 0.0);
}

TEST(MatrixStorage, ResizeDiscardsAndZeroFills) {
    Matrix m(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    m.resizeColumn(6);
    EXPECT_EQ(m.rows(), 6);
    EXPECT_EQ(m.cols(), 1);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m[i], 0.0);
    // A heap-sized matrix is zero-filled too.
    Matrix big(12, 12);
    for (int i = 0; i < big.size(); ++i)
        ASSERT_EQ(big[i], 0.0);
}

TEST(MatrixStorage, CopiesAreDeepForInlineAndHeapStorage) {
    for (int n : {3, 12}) {
        Matrix a(n, n);
        a(1, 2) = 7.0;
        Matrix b(a);
        Matrix c;
        c = a;
        a(1, 2) = -1.0;
        EXPECT_EQ(b(1, 2), 7.0);
        EXPECT_EQ(c(1, 2), 7.0);
        Matrix moved(std::move(b));
        EXPECT_EQ(moved(1, 2), 7.0);
        EXPECT_EQ(moved.rows(), n);
    }
}

TEST(MatrixStorage, RowMajorLayoutAndRowStart) {
    Matrix m(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(m(1, 0), 4.0);
    EXPECT_EQ(m[5], 6.0);
    EXPECT_EQ(&m.rowStart(1), &m(1, 0));
}

TEST(MatrixStorage, IdentityDiagonalOnlyForSquareMatrices) {
    Matrix r(2, 3);
    EXPECT_EQ(r.setIdentityDiagonal(), 3);
    EXPECT_EQ(r.norm(), 0.0);
    Matrix s(3, 3);
    s(0, 1) = 5.0;
    EXPECT_EQ(s.setIdentityDiagonal(), 3);
    EXPECT_EQ(s(2, 2), 1.0);
    EXPECT_EQ(s(0, 1), 5.0);
}

TEST(MatrixArithmetic, SumsProductsScalingAndTranspose) {
    Matrix a(2, 2, {1, 2, 3, 4});
    Matrix b(2, 2, {5, 6, 7, 8});
    EXPECT_EQ(a + b, Matrix(2, 2, {6, 8, 10, 12}));
    EXPECT_EQ(b - a, Matrix(2, 2, {4, 4, 4, 4}));
    EXPECT_EQ(a * b, Matrix(2, 2, {19, 22, 43, 50}));
    EXPECT_EQ(2.0 * a, Matrix(2, 2, {2, 4, 6, 8}));
    EXPECT_EQ(a / 2.0, Matrix(2, 2, {0.5, 1, 1.5, 2}));
    Matrix t(3, 6);
    for (int i = 0; i < 18; ++i)
        t[i] = i;
    Matrix tt = t;
    tt.transpose();
    ASSERT_EQ(tt.rows(), 6);
    ASSERT_EQ(tt.cols(), 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 6; ++j)
            EXPECT_EQ(tt(j, i), t(i, j));
}

TEST(MatrixArithmetic, ProductAccumulatesInExtendedPrecision) {
    // 1e16 + 1 - 1e16 loses the 1 in double arithmetic but not in long double.
    Matrix row(1, 3, {1e16, 1.0, -1e16});
    Matrix ones = Matrix::vector({1, 1, 1});
    EXPECT_EQ((row * ones)[0], 1.0);
}

TEST(MatrixArithmetic, NormAndNormalise) {
    Matrix v = Matrix::vector({3, 4});
    EXPECT_DOUBLE_EQ(v.norm(), 5.0);
    v.normalise();
    EXPECT_DOUBLE_EQ(v[0], 0.6);
    EXPECT_DOUBLE_EQ(v[1], 0.8);
}

TEST(MatrixInverse, DiagonalGivesReciprocals) {
    Matrix d(3, 3, {2, 0, 0, 0, 4, 0, 0, 0, -8});
    expectNear(d.inverse(), Matrix(3, 3, {0.5, 0, 0, 0, 0.25, 0, 0, 0, -0.125}), kTight);
}

TEST(MatrixInverse, PivotingHandlesVanishingLeadingElementAndMinor) {
    Matrix swap(2, 2, {0, 1, 1, 0});
    expectNear(swap.inverse(), swap, kTight);

    // Leading 2 x 2 minor is singular (rows 0 and 1 agree in the first two
    // columns) although the matrix is invertible.
    Matrix m(3, 3, {1, 2, 3, 2, 4, 7, 1, 1, 1});
    const Matrix inv = m.inverse();
    for (int i = 0; i < inv.size(); ++i)
        ASSERT_TRUE(std::isfinite(inv[i]));
    expectNear(m * inv, Matrix::identity(3), kTight);
}

TEST(MatrixInverse, SingularMatrixYieldsNonFiniteWithoutThrowing) {
    Matrix s(2, 2, {1, 2, 2, 4});
    const Matrix inv = s.inverse();
    bool anyNonFinite = false;
    for (int i = 0; i < inv.size(); ++i)
        anyNonFinite = anyNonFinite || !std::isfinite(inv[i]);
    EXPECT_TRUE(anyNonFinite);
}

TEST(MatrixSolve, OverwritesCoefficientsWithFactors) {
    Matrix a(2, 2, {0, 2, 4, 1});
    const Matrix b = Matrix::vector({2, 9});
    Matrix x = a.solve(b);
    EXPECT_NEAR(x[0], 2.0, kTight);
    EXPECT_NEAR(x[1], 1.0, kTight);
    // Rows swapped by the pivot: U = [[4, 1], [0, 2]], L(1, 0) = 0.
    EXPECT_EQ(a, Matrix(2, 2, {4, 1, 0, 2}));
}

TEST(MatrixSolve, AgreesWithUnpivotedEliminationOnSpdSystems) {
    for (int n : {3, 6, 12}) {
        const Matrix a = randomSpd(n, 17u + static_cast<unsigned>(n));
        Matrix b(n, 1);
        for (int i = 0; i < n; ++i)
            b[i] = 1.0 + i;
        // Reference: plain Gaussian elimination without pivoting.
        Matrix u = a;
        Matrix y = b;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                const double l = u(j, i) / u(i, i);
                for (int k = i; k < n; ++k)
                    u(j, k) -= l * u(i, k);
                y[j] -= l * y[i];
            }
        Matrix ref(n, 1);
        for (int i = n - 1; i >= 0; --i) {
            double s = y[i];
            for (int k = i + 1; k < n; ++k)
                s -= u(i, k) * ref[k];
            ref[i] = s / u(i, i);
        }
        Matrix work = a;
        expectNear(work.solve(b), ref, 1e-12);
        expectNear(a * a.inverse(), Matrix::identity(n), 1e-12);
    }
}
