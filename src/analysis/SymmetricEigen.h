#pragma once

#include "math/Matrix.h"

namespace quav {

/// Eigenvalues and orthonormal eigenvectors of a real symmetric matrix.
struct SymmetricEigen {
    Matrix values;  ///< n x 1; values[i] belongs to column i of `vectors`
    Matrix vectors; ///< n x n, orthonormal columns (unit length, sign as the rotations leave it)
    bool converged = false; ///< false only for non-finite input, which ends at the sweep cap
};

/// Cyclic Jacobi rotations in double precision on the square matrix `a`, reading its
/// upper triangle only. An element is dropped once it is negligible against its two
/// diagonal elements, so every eigenvalue keeps the relative accuracy the matrix's
/// scaling allows, small ones of a graded matrix too; the vectors are orthonormal to
/// a few roundoffs. Values come unsorted, in the diagonal positions the rotations
/// leave them in: a diagonal matrix is returned as it is, with identity vectors.
/// Deterministic: equal input gives equal output.
SymmetricEigen symmetricEigen(const Matrix& a);

/// symmetricEigen on plain row-major arrays: `a` (n x n, both triangles set, equal)
/// is overwritten and ends with the eigenvalues on its diagonal; row j of `vt` (n x n,
/// written) is the unit eigenvector of a(j, j). Returns whether the rotations came
/// to an end (false only for non-finite input).
bool symmetricEigenRows(double* a, double* vt, int n);

/// The same in long double (other rotation order), several times slower: values and
/// vectors exact to double precision. The reference symmetricEigen is checked against.
SymmetricEigen symmetricEigenExtended(const Matrix& a);

/// Estimates of the eigenvalues of a symmetric matrix.
struct EigenvalueEstimate {
    Matrix values;            ///< n x 1, unsorted
    double offDiagonal = 0.0; ///< Frobenius norm of what the rotations left off the diagonal
    double norm = 0.0;        ///< Frobenius norm of the matrix
};

/// The eigenvalues by the same rotations in double precision and without vectors,
/// several times faster, stopping once the off-diagonal part is at most `tolerance`
/// x ||a|| (Frobenius; 0 runs to convergence). Sorted, the exact eigenvalues of `a`
/// then lie each within `offDiagonal` plus a few hundred roundoffs (2^-52) x ||a|| of
/// the sorted estimates: Jacobi is backward stable, and the diagonal of a symmetric
/// matrix is that close to its eigenvalues (Weyl). A matrix with an infinite or NaN
/// element gives NaN at once.
EigenvalueEstimate approximateEigenvalues(const Matrix& a, double tolerance);

} // namespace quav
