#pragma once

namespace quav::detail {

// The LU kernels behind Matrix::inverse and Matrix::solve, on plain row-major
// arrays, for analyses that keep their systems off the heap.

/// Factorises the n x n matrix `a` in place with partial pivoting; `perm[i]`
/// receives the original index of the row now at position i.
void luFactorise(double* a, int n, int* perm);

/// Solves L U x = b' for the factors of luFactorise, where b' is b permuted.
void luSubstitute(const double* lu, int n, const int* perm, const double* b, double* x);
/// luSubstitute for two right-hand sides at once: the same numbers, in less time.
void luSubstitute2(const double* lu, int n, const int* perm, const double* b0, const double* b1,
                   double* x0, double* x1);

/// Column `column` of the inverse, i.e. luSubstitute with the unit vector of that
/// column, into x. `position` is the index i with perm[i] == column. The leading
/// zeros of the permuted unit vector are skipped, which gives the same numbers as
/// luSubstitute only while every factor is finite.
void luInverseColumn(const double* lu, int n, int position, double* x);

/// True when every element of the inverse the factors yield is certainly finite:
/// a bound on the magnitudes of all columns, found with absolute values, stays far
/// below the double range. False also for NaN or infinite factors and zero pivots.
bool luInverseFinite(const double* lu, int n);

} // namespace quav::detail
