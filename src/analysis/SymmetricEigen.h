#pragma once

#include "analysis/Matrix.h"

namespace quav {

/// Eigenvalues and orthonormal eigenvectors of a real symmetric matrix.
struct SymmetricEigen {
    Matrix values;  ///< n x 1; values[i] belongs to column i of `vectors`
    Matrix vectors; ///< n x n, orthonormal columns (unit length, sign as the rotations leave it)
    bool converged = false; ///< false only for non-finite input, which ends at the sweep cap
};

/// Cyclic Jacobi rotations on the square matrix `a`, reading its upper triangle only.
/// Computed in long double, so values and vectors are exact to double precision for
/// repeated and nearly repeated eigenvalues alike. Values come unsorted, in the
/// diagonal positions the rotations leave them in: a diagonal matrix is returned as
/// it is, with identity vectors. Deterministic: equal input gives equal output.
SymmetricEigen symmetricEigen(const Matrix& a);

} // namespace quav
