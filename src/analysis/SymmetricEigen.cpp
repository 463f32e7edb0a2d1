#include "analysis/SymmetricEigen.h"

#include <cmath>
#include <limits>
#include <vector>

namespace quav {

namespace {

// Enough for quadratic convergence on any finite matrix of the engine's sizes;
// only NaN or infinite input ever reaches it.
constexpr int kMaxSweeps = 100;
constexpr long double kEpsilon = std::numeric_limits<long double>::epsilon();

/// Whether the rotation of (p, q) is skipped: apq is negligible against the
/// diagonal or below the floor. The squares compare without square roots; they
/// decide only with a margin of 4 (a factor 2 in magnitude) that no rounding can
/// bridge, and every other case, NaN and infinity included, takes the exact test.
[[gnu::always_inline]] inline bool negligible(long double apq, long double app, long double aqq,
                                              long double floor) {
    const long double square = apq * apq;
    const long double scale = kEpsilon * kEpsilon * (std::fabs(app) * std::fabs(aqq));
    if (square > 4.0L * scale && std::fabs(apq) > floor)
        return false;
    if (4.0L * square < scale)
        return true;
    return std::fabs(apq) <= kEpsilon * std::sqrt(std::fabs(app)) * std::sqrt(std::fabs(aqq)) ||
           std::fabs(apq) <= floor;
}

/// Eigenvectors kept as long doubles.
struct WideVectors {
    long double* m;
    long double get(int i) const { return m[i]; }
    void set(int i, long double x) { m[i] = x; }
    bool exact() const { return true; }
};

/// Eigenvectors kept as pairs of doubles, hi + lo = x exactly: cheaper to load and
/// store than long doubles. The split is exact while x is 0 or at least 2^-800 in
/// magnitude; then no product of a rotation (|c| > 0.7, |s| > 2^-129, see the floor)
/// can leave a nonzero result below 2^-993, so every result is either exact or caught
/// here, and a caught one makes the caller redo the rotations with WideVectors.
struct SplitVectors {
    double* hi;
    double* lo;
    bool lost = false;
    long double get(int i) const { return static_cast<long double>(hi[i]) + lo[i]; }
    void set(int i, long double x) {
        const double h = static_cast<double>(x);
        hi[i] = h;
        lo[i] = static_cast<double>(x - h);
        lost |= !(std::fabs(h) >= 0x1p-800) & (h != 0.0);
    }
    bool exact() const { return !lost; }
};

/// Cyclic Jacobi on the n x n work arrays: `w` holds the matrix in its upper
/// triangle (the lower one is never read or written), `v` starts as the identity
/// and collects the rotations. `Order` > 0 fixes n at compile time. Returns
/// whether a sweep went by without a rotation.
template <int Order, class Vectors>
bool jacobi(long double* w, Vectors& v, int order, long double floor) {
    const int n = Order > 0 ? Order : order;
    auto at = [&](long double* m, int r, int c) -> long double& { return m[r * n + c]; };
    for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
        bool rotated = false;
        for (int p = 0; p < n - 1; ++p) {
            for (int q = p + 1; q < n; ++q) {
                const long double apq = at(w, p, q);
                if (apq == 0.0L)
                    continue;
                const long double app = at(w, p, p);
                const long double aqq = at(w, q, q);
                // Relative test: dropping apq then moves no eigenvalue or vector beyond
                // the working precision, even when the diagonal is strongly graded.
                if (negligible(apq, app, aqq, floor)) {
                    at(w, p, q) = 0.0L;
                    continue;
                }
                // The rotation angle phi with cot 2 phi = theta; t = tan phi is the
                // smaller root, so |phi| <= pi / 4.
                const long double theta = (aqq - app) / (2.0L * apq);
                const long double t = (theta >= 0.0L ? 1.0L : -1.0L) /
                                      (std::fabs(theta) + std::sqrt(theta * theta + 1.0L));
                const long double c = 1.0L / std::sqrt(t * t + 1.0L);
                const long double s = t * c;
                // Rows and columns p and q; element (k, p) is read and written where the
                // upper triangle keeps it.
                for (int k = 0; k < p; ++k) {
                    const long double akp = at(w, k, p);
                    const long double akq = at(w, k, q);
                    at(w, k, p) = c * akp - s * akq;
                    at(w, k, q) = s * akp + c * akq;
                }
                for (int k = p + 1; k < q; ++k) {
                    const long double akp = at(w, p, k);
                    const long double akq = at(w, k, q);
                    at(w, p, k) = c * akp - s * akq;
                    at(w, k, q) = s * akp + c * akq;
                }
                for (int k = q + 1; k < n; ++k) {
                    const long double akp = at(w, p, k);
                    const long double akq = at(w, q, k);
                    at(w, p, k) = c * akp - s * akq;
                    at(w, q, k) = s * akp + c * akq;
                }
                at(w, p, p) = app - t * apq;
                at(w, q, q) = aqq + t * apq;
                at(w, p, q) = 0.0L;
                for (int k = 0; k < n; ++k) {
                    const long double vkp = v.get(k * n + p);
                    const long double vkq = v.get(k * n + q);
                    v.set(k * n + p, c * vkp - s * vkq);
                    v.set(k * n + q, s * vkp + c * vkq);
                }
                rotated = true;
            }
        }
        if (!rotated)
            return true;
    }
    return false;
}

} // namespace

namespace {

/// Loads the upper triangle of `a` into `w` and returns the square of its Frobenius
/// norm, summed over both triangles in row order.
long double load(const Matrix& a, long double* w) {
    const int n = a.rows();
    long double frobenius = 0.0L;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const long double x = r <= c ? a(r, c) : a(c, r);
            w[r * n + c] = x;
            frobenius += x * x;
        }
    }
    return frobenius;
}

template <class Vectors> bool run(long double* w, Vectors& v, int n, long double floor) {
    // The inertia tensor and the modal system get loops the compiler can unroll.
    if (n == 3)
        return jacobi<3>(w, v, n, floor);
    if (n == 6)
        return jacobi<6>(w, v, n, floor);
    return jacobi<0>(w, v, n, floor);
}

} // namespace

SymmetricEigen symmetricEigen(const Matrix& a) {
    const int n = a.rows();
    const std::size_t nn = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    // The engine's matrices are at most 12 x 12: keep the work arrays on the stack.
    constexpr int kStackOrder = 12;
    constexpr int kStackSize = kStackOrder * kStackOrder;
    long double stackW[kStackSize];
    long double stackV[kStackSize];
    std::vector<long double> heapBuffer;
    long double* w = stackW;
    long double* wide = stackV;
    if (n > kStackOrder) {
        heapBuffer.resize(2 * nn);
        w = heapBuffer.data();
        wide = w + nn;
    }

    const long double frobenius = load(a, w);
    // Off-diagonal elements below this are zero for every purpose; the floor ends the
    // chase of ever smaller remainders around exactly zero eigenvalues.
    const long double floor = kEpsilon * kEpsilon * std::sqrt(frobenius);

    SymmetricEigen result;
    result.values = Matrix::column(n);
    result.vectors = Matrix(n, n);
    if (n <= kStackOrder && std::isfinite(frobenius)) {
        double hi[kStackSize], lo[kStackSize];
        SplitVectors v{hi, lo};
        for (int i = 0; i < n * n; ++i) {
            hi[i] = i % (n + 1) == 0 ? 1.0 : 0.0;
            lo[i] = 0.0;
        }
        const bool converged = run(w, v, n, floor);
        if (v.exact()) {
            result.converged = converged;
            for (int r = 0; r < n; ++r) {
                result.values[r] = static_cast<double>(w[r * n + r]);
                for (int c = 0; c < n; ++c)
                    result.vectors(r, c) = static_cast<double>(v.get(r * n + c));
            }
            return result;
        }
        load(a, w);
    }
    WideVectors v{wide};
    for (int i = 0; i < n * n; ++i)
        wide[i] = i % (n + 1) == 0 ? 1.0L : 0.0L;
    result.converged = run(w, v, n, floor);
    for (int r = 0; r < n; ++r) {
        result.values[r] = static_cast<double>(w[r * n + r]);
        for (int c = 0; c < n; ++c)
            result.vectors(r, c) = static_cast<double>(v.get(r * n + c));
    }
    return result;
}

} // namespace quav
