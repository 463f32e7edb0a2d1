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

/// The instruction sets the side-by-side solution of 6 x 6 systems can use, narrowest
/// first. Every level gives every system the same result, bit for bit.
enum class SimdLevel { Scalar, Avx2, Avx512 };

/// The widest level this processor (and build) has.
SimdLevel availableSimdLevel();
/// The level in use: availableSimdLevel(), or the narrower one the environment
/// variable QUAV_SIMD names ("scalar", "avx2" or "avx512"; a level the processor
/// lacks gives the widest it has), read once.
SimdLevel simdLevel();
/// Systems solved side by side at a level: 1, 4 or 8.
int simdWidth(SimdLevel level);
/// "scalar", "avx2" or "avx512".
const char* simdName(SimdLevel level);

/// symmetricEigenRows on `count` 6 x 6 systems (a[i] and vt[i] as there), solved
/// side by side at `level` (at most availableSimdLevel()); each system's result is
/// exactly what symmetricEigenRows gives it alone. `floors`, when given, holds
/// each system's floor (below which an off-diagonal element is dropped) in place
/// of epsilon^2 times its Frobenius norm found in long double.
void symmetricEigenRows6(SimdLevel level, double* const* a, double* const* vt, int count,
                         const double* floors = nullptr);

/// The vectors the next side-by-side estimate's first systems may start from:
/// those of the last system solved, a neighbour in the caller's order, and a bound
/// on the 2-norm of V V^T - I for them (they are orthonormal only to the
/// rounding), with room for the roundings of taking a system into their basis.
struct EstimateChain {
    bool set = false;
    double vectors[36] = {}; ///< in rows
    double departure = 0.0;
};

/// The eigenvalues and vectors of `count` 6 x 6 systems side by side at `level`, as
/// an estimate whose caller bounds its error: element e of system l at
/// systems[e * stride + l] (its upper triangle is read), eigenvalue j to
/// values[j * stride + l] and element i of its unit vector to
/// vectors[(j * 6 + i) * stride + l]. The rotations end once, in every system, the
/// elements above the diagonal are below stops[l] in Frobenius norm; remainders[l]
/// receives a bound on the 2-norm of the off-diagonal elements left, by which each
/// eigenvalue may differ beyond the rotations' rounding (the floors as
/// symmetricEigenRows6's). Each group of systems is taken into the basis of the
/// vectors found for the system before it and its rotations start from them
/// (neighbouring variants have nearly the same vectors, and the rotations then need
/// a sweep or two fewer); the first group so starts from `chain`'s when set, and
/// `chain`, when given, receives the last system's. departures[l] receives the
/// departure of the vectors lane l started from (0 from the identity): each of its
/// eigenvalues may differ by that times the system's 2-norm more, and each vector
/// is that of a system at most that much further away. A system's result depends
/// on the others solved with it and on the level.
void boundedEigenLanes6(SimdLevel level, const double* systems, int stride, int count,
                        const double* floors, const double* stops, EstimateChain* chain,
                        double* values, double* vectors, double* remainders, double* departures);

/// The same in long double (other rotation order), several times slower: values and
/// vectors exact to double precision. The reference symmetricEigen is checked against.
SymmetricEigen symmetricEigenExtended(const Matrix& a);

} // namespace quav
