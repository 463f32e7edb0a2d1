#include "analysis/SymmetricEigen.h"

#include "analysis/JacobiLanes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace quav {

namespace detail {
// Built for their instruction sets (JacobiLanesAvx*.cpp), on x86-64 only.
void solveLanesAvx2(double* const* systems, double* const* vectors, const double* floors,
                    int count);
void solveLanesAvx512(double* const* systems, double* const* vectors, const double* floors,
                      int count);
void solveBoundedLanesAvx2(const double* systems, int stride, const double* floors,
                           const double* stops, int count, const double* start, double* values,
                           double* vectors, double* remainders, double* departures);
void solveBoundedLanesAvx512(const double* systems, int stride, const double* floors,
                             const double* stops, int count, const double* start, double* values,
                             double* vectors, double* remainders, double* departures);
} // namespace detail

namespace {

// Enough for quadratic convergence on any finite matrix of the engine's sizes;
// only NaN or infinite input ever reaches it.
constexpr int kMaxSweeps = 100;

/// Whether the rotation of (p, q) is skipped: apq is negligible against the
/// diagonal or below the floor. The squares compare without square roots; they
/// decide only with a margin of 4 (a factor 2 in magnitude) that no rounding can
/// bridge, and every other case, NaN and infinity included, takes the exact test.
template <class Real>
[[gnu::always_inline]] inline bool negligible(Real apq, Real app, Real aqq, Real floor) {
    constexpr Real epsilon = std::numeric_limits<Real>::epsilon();
    const Real square = apq * apq;
    const Real scale = epsilon * epsilon * (std::fabs(app) * std::fabs(aqq));
    if (square > Real(4) * scale && std::fabs(apq) > floor)
        return false;
    if (Real(4) * square < scale)
        return true;
    return std::fabs(apq) <= epsilon * std::sqrt(std::fabs(app)) * std::sqrt(std::fabs(aqq)) ||
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
/// whether a sweep went by without a rotation. `Real` is long double: the extended
/// solution.
template <class Real, int Order, class Vectors>
bool jacobi(Real* w, Vectors& v, int order, Real floor) {
    const int n = Order > 0 ? Order : order;
    auto at = [&](Real* m, int r, int c) -> Real& { return m[r * n + c]; };
    for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
        bool rotated = false;
        for (int p = 0; p < n - 1; ++p) {
            for (int q = p + 1; q < n; ++q) {
                const Real apq = at(w, p, q);
                if (apq == Real(0))
                    continue;
                const Real app = at(w, p, p);
                const Real aqq = at(w, q, q);
                // Relative test: dropping apq then moves no eigenvalue or vector beyond
                // the working precision, even when the diagonal is strongly graded.
                if (negligible(apq, app, aqq, floor)) {
                    at(w, p, q) = Real(0);
                    continue;
                }
                // The rotation angle phi with cot 2 phi = theta; t = tan phi is the
                // smaller root, so |phi| <= pi / 4.
                const Real theta = (aqq - app) / (Real(2) * apq);
                const Real t = (theta >= Real(0) ? Real(1) : Real(-1)) /
                               (std::fabs(theta) + std::sqrt(theta * theta + Real(1)));
                const Real c = Real(1) / std::sqrt(t * t + Real(1));
                const Real s = t * c;
                // Rows and columns p and q; element (k, p) is read and written where the
                // upper triangle keeps it.
                for (int k = 0; k < p; ++k) {
                    const Real akp = at(w, k, p);
                    const Real akq = at(w, k, q);
                    at(w, k, p) = c * akp - s * akq;
                    at(w, k, q) = s * akp + c * akq;
                }
                for (int k = p + 1; k < q; ++k) {
                    const Real akp = at(w, p, k);
                    const Real akq = at(w, k, q);
                    at(w, p, k) = c * akp - s * akq;
                    at(w, k, q) = s * akp + c * akq;
                }
                for (int k = q + 1; k < n; ++k) {
                    const Real akp = at(w, p, k);
                    const Real akq = at(w, q, k);
                    at(w, p, k) = c * akp - s * akq;
                    at(w, q, k) = s * akp + c * akq;
                }
                at(w, p, p) = app - t * apq;
                at(w, q, q) = aqq + t * apq;
                at(w, p, q) = Real(0);
                for (int k = 0; k < n; ++k) {
                    const Real vkp = v.get(k * n + p);
                    const Real vkq = v.get(k * n + q);
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

template <class Real, class Vectors> bool run(Real* w, Vectors& v, int n, Real floor) {
    // The inertia tensor and the modal system get loops the compiler can unroll.
    if (n == 3)
        return jacobi<Real, 3>(w, v, n, floor);
    if (n == 6)
        return jacobi<Real, 6>(w, v, n, floor);
    return jacobi<Real, 0>(w, v, n, floor);
}

/// The work array for the matrix: on the stack for the engine's sizes (at most
/// 12 x 12), on the heap beyond.
template <class Real> class WorkArray {
public:
    static constexpr int kStackOrder = 12;
    static constexpr int kStackSize = kStackOrder * kStackOrder;

    explicit WorkArray(int n) {
        if (n > kStackOrder) {
            heap_.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
            data_ = heap_.data();
        }
    }
    Real* data() { return data_; }

private:
    Real stack_[kStackSize];
    std::vector<Real> heap_;
    Real* data_ = stack_;
};

/// Off-diagonal elements below this are zero for every purpose; the floor ends the
/// chase of ever smaller remainders around exactly zero eigenvalues.
/// `Real` is the precision of the rotations; the squared norm comes wide, so that it
/// cannot overflow.
template <class Real> Real negligibleFloor(long double frobenius) {
    constexpr Real epsilon = std::numeric_limits<Real>::epsilon();
    return static_cast<Real>(epsilon * epsilon * std::sqrt(frobenius));
}

} // namespace

SymmetricEigen symmetricEigenExtended(const Matrix& a) {
    const int n = a.rows();
    WorkArray<long double> work(n), wideWork(n);
    long double* w = work.data();
    const long double frobenius = load(a, w);
    const long double floor = negligibleFloor<long double>(frobenius);

    SymmetricEigen result;
    result.values = Matrix::column(n);
    result.vectors = Matrix(n, n);
    if (n <= WorkArray<long double>::kStackOrder && std::isfinite(frobenius)) {
        double hi[WorkArray<long double>::kStackSize], lo[WorkArray<long double>::kStackSize];
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
    long double* wide = wideWork.data();
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

namespace {

/// Two doubles in one register, for the rows the rotations combine.
using Pair = double __attribute__((vector_size(16)));

/// x <- c x - s y, y <- s x + c y over the n elements of two rows, two at a time;
/// `store` (j, x[j], y[j]) is given each new pair of elements too. `Gathered` loads
/// each pair as two single elements: the rows of the matrix have just had single
/// elements stored into them (the mirrored columns), and a load that spans two such
/// stores waits until they reach the cache instead of taking them on the way.
template <int Order, bool Gathered, class Store>
[[gnu::always_inline]] inline void rotateRows(double* x, double* y, int order, double c, double s,
                                              Store store) {
    const int n = Order > 0 ? Order : order;
    const Pair cc = {c, c}, ss = {s, s};
    int j = 0;
#pragma GCC unroll 6
    for (; j + 2 <= n; j += 2) {
        Pair u, v;
        if constexpr (Gathered) {
            u = Pair{x[j], x[j + 1]};
            v = Pair{y[j], y[j + 1]};
        } else {
            std::memcpy(&u, x + j, sizeof u);
            std::memcpy(&v, y + j, sizeof v);
        }
        const Pair nu = cc * u - ss * v, nv = ss * u + cc * v;
        std::memcpy(x + j, &nu, sizeof nu);
        std::memcpy(y + j, &nv, sizeof nv);
        store(j, nu[0], nv[0]);
        store(j + 1, nu[1], nv[1]);
    }
    for (; j < n; ++j) {
        const double u = x[j], v = y[j];
        x[j] = c * u - s * v;
        y[j] = s * u + c * v;
        store(j, x[j], y[j]);
    }
}

/// A plane rotation by phi: t = tan phi, c = cos phi.
struct Rotation {
    double t = 0.0;
    double c = 1.0;
};

/// The rotation that zeroes apq: t = tan phi with tan 2 phi = 2 apq / (aqq - app)
/// and |phi| <= pi / 4. With d = aqq - app, e = 2 apq and r = sqrt(d^2 + e^2),
/// t = sign(d) e / (|d| + r) and c = sqrt((|d| + r) / 2r): one square root ahead of
/// two independent divisions, a shorter chain than through cot 2 phi. Once apq is
/// small against d (every rotation of the last sweeps), with h = apq / d the series
/// t = h - h^3 + 2 h^5 - ... and c = 1 - t^2 / 2 + 3 t^4 / 8 - ... end within the
/// rounding after two terms and need a single division.
[[gnu::always_inline]] inline Rotation rotationFor(double apq, double app, double aqq) {
    const double d = aqq - app;
    if (std::fabs(d) > 0x1p14 * std::fabs(apq)) {
        const double h = apq / d;
        const double t = h - h * h * h;
        return {t, 1.0 - 0.5 * t * t};
    }
    const double e = 2.0 * apq;
    const double r = std::sqrt(d * d + e * e);
    if (r > 0x1p-450 && r < 0x1p450) {
        const double u = std::fabs(d) + r;
        return {(d >= 0.0 ? e : -e) / u, std::sqrt(u / (2.0 * r))};
    }
    // Squares that would leave the range of double: through cot 2 phi instead.
    const double theta = d / e;
    const double root = std::sqrt(theta * theta + 1.0);
    const double u = std::fabs(theta) + root;
    return {(theta >= 0.0 ? 1.0 : -1.0) / u, std::sqrt(u / (2.0 * root))};
}

/// The pairs (p, q), p < q, of a round-robin over n indices (one more, left
/// out, when n is odd), round by round: every pair meets once in a sweep, and the
/// pairs of one round share no index. Index `players` - 1 stays put while the
/// others turn round it.
struct RoundRobin {
    int players;       ///< n rounded up to even
    int rounds;        ///< players - 1
    int pairsPerRound; ///< players / 2

    constexpr explicit RoundRobin(int n)
        : players(n + (n & 1)), rounds(players - 1), pairsPerRound(players / 2) {}

    constexpr void pair(int round, int k, int& p, int& q) const {
        const int turning = players - 1;
        p = k == 0 ? round : (round + k) % turning;
        q = k == 0 ? turning : (round - k + turning) % turning;
        if (p > q)
            std::swap(p, q);
    }
};

/// The rotation of the pair (p, q) of the full symmetric n x n `a` into `r`; false
/// when a(p, q) is 0 or negligible (and then set to 0), so that nothing turns.
[[gnu::always_inline]] inline bool findRotation(double* a, int n, int p, int q, double floor,
                                                Rotation& r) {
    const double apq = a[p * n + q];
    if (apq == 0.0)
        return false;
    const double app = a[p * n + p], aqq = a[q * n + q];
    if (negligible(apq, app, aqq, floor)) {
        a[p * n + q] = a[q * n + p] = 0.0;
        return false;
    }
    r = rotationFor(apq, app, aqq);
    return true;
}

/// The rotation of (p, q) applied: rows p and q of `a`, mirrored into its columns p
/// and q so that it stays exactly symmetric, with a(p, q) = 0 and the new diagonal;
/// rows p and q of `vt` when `Vectors`. `Order` > 0 fixes n at compile time.
template <int Order, bool Vectors = true>
[[gnu::always_inline]] inline void applyRotation(double* a, double* vt, int order, int p, int q,
                                                 const Rotation& r) {
    const int n = Order > 0 ? Order : order;
    const double t = r.t, c = r.c, s = t * c;
    double* rp = a + p * n;
    double* rq = a + q * n;
    const double app = rp[p], aqq = rq[q], apq = rp[q];
    rotateRows<Order, true>(rp, rq, n, c, s, [&](int j, double x, double y) {
        a[j * n + p] = x;
        a[j * n + q] = y;
    });
    rp[p] = app - t * apq;
    rq[q] = aqq + t * apq;
    rp[q] = rq[p] = 0.0;
    if constexpr (Vectors)
        rotateRows<Order, false>(vt + p * n, vt + q * n, n, c, s, [](int, double, double) {});
}

// Cyclic Jacobi in double precision on the full symmetric n x n `a` (any order; the
// 6 x 6 modal system takes JacobiLanes.h), collecting the rotations in the rows of
// `vt` (which starts as the identity; row j ends as the eigenvector of a(j, j)). The
// pairs are taken round by round of a round-robin, and a few rotations of a round
// are found from the matrix before the first of them is applied (its pairs share
// no index, so that is the matrix each would see). Returns whether a sweep went by
// without a rotation.
bool jacobiAnyOrder(double* a, double* vt, int n, double floor) {
    const RoundRobin robin(n);
    // Up to this many rotations are found before they are applied.
    constexpr int kBatch = 3;
    for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
        bool rotated = false;
        for (int round = 0; round < robin.rounds; ++round) {
            for (int first = 0; first < robin.pairsPerRound; first += kBatch) {
                const int last = std::min(robin.pairsPerRound, first + kBatch);
                int ps[kBatch], qs[kBatch];
                Rotation rs[kBatch];
                int count = 0;
                for (int k = first; k < last; ++k) {
                    robin.pair(round, k, ps[count], qs[count]);
                    // The partner of the odd one out is no index.
                    if (qs[count] < n && findRotation(a, n, ps[count], qs[count], floor, rs[count]))
                        ++count;
                }
                for (int k = 0; k < count; ++k)
                    applyRotation<0>(a, vt, n, ps[k], qs[k], rs[k]);
                rotated = rotated || count > 0;
            }
        }
        if (!rotated)
            return true;
    }
    return false;
}

} // namespace

namespace {

double floorOf(const double* a, int n) {
    long double frobenius = 0.0L;
    for (int i = 0; i < n * n; ++i)
        frobenius += static_cast<long double>(a[i]) * a[i];
    return negligibleFloor<double>(frobenius);
}

SimdLevel cpuLevel() {
#if defined(QUAV_AVX_LANES)
    if (__builtin_cpu_supports("avx512f"))
        return SimdLevel::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return SimdLevel::Avx2;
#endif
    return SimdLevel::Scalar;
}

SimdLevel chosenLevel() {
    const SimdLevel cpu = cpuLevel();
    const char* asked = std::getenv("QUAV_SIMD");
    if (!asked)
        return cpu;
    const std::string_view name(asked);
    const SimdLevel wanted = name == "scalar" ? SimdLevel::Scalar
                             : name == "avx2" ? SimdLevel::Avx2
                                              : SimdLevel::Avx512;
    return std::min(wanted, cpu);
}

} // namespace

SimdLevel simdLevel() {
    static const SimdLevel level = chosenLevel();
    return level;
}

SimdLevel availableSimdLevel() {
    static const SimdLevel level = cpuLevel();
    return level;
}

int simdWidth(SimdLevel level) {
    return level == SimdLevel::Avx512 ? 8 : level == SimdLevel::Avx2 ? 4 : 1;
}

const char* simdName(SimdLevel level) {
    return level == SimdLevel::Avx512 ? "avx512" : level == SimdLevel::Avx2 ? "avx2" : "scalar";
}

bool symmetricEigenRows(double* a, double* vt, int n) {
    if (n == 6) {
        // The side-by-side solution one system wide, on the caller's arrays.
        for (int i = 0; i < 36; ++i)
            vt[i] = i % 7 == 0 ? 1.0 : 0.0;
        return Jacobi6<ScalarIsa>{a, vt, floorOf(a, 6)}.run();
    }
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            vt[r * n + c] = r == c ? 1.0 : 0.0;
    return jacobiAnyOrder(a, vt, n, floorOf(a, n));
}

void symmetricEigenRows6(SimdLevel level, double* const* a, double* const* vt, int count,
                         const double* floors) {
    level = std::min(level, availableSimdLevel());
    const int width = simdWidth(level);
    for (int first = 0; first < count; first += width) {
        const int n = std::min(width, count - first);
        double own[8];
        for (int l = 0; l < n; ++l)
            own[l] = floors ? floors[first + l] : floorOf(a[first + l], 6);
        // Four systems or fewer fill AVX2 registers, whose rotations cost about half
        // as much; every level gives the same results.
        const SimdLevel at = level == SimdLevel::Avx512 && n <= 4 ? SimdLevel::Avx2 : level;
        switch (at) {
#if defined(QUAV_AVX_LANES)
        case SimdLevel::Avx512:
            detail::solveLanesAvx512(a + first, vt + first, own, n);
            break;
        case SimdLevel::Avx2:
            detail::solveLanesAvx2(a + first, vt + first, own, n);
            break;
#endif
        default:
            solveLanes<ScalarIsa>(a + first, vt + first, own, n);
            break;
        }
    }
}

void boundedEigenLanes6(SimdLevel level, const double* systems, int stride, int count,
                        const double* floors, const double* stops, EstimateChain* chain,
                        double* values, double* vectors, double* remainders, double* departures) {
    level = std::min(level, availableSimdLevel());
    const int width = simdWidth(level);
    EstimateChain own;
    EstimateChain& next = chain ? *chain : own;
    for (int first = 0; first < count; first += width) {
        const int n = std::min(width, count - first);
        const double* from = systems + first;
        double* to = values + first;
        double* rows = vectors + first;
        double* left = remainders + first;
        // A group starts from the vectors of the system before it, a neighbour in the
        // caller's order, when they are orthonormal to far below the bounds' slack
        // (roundings of a few hundred rotations).
        const bool start = next.set && next.departure <= 0x1p-30;
        for (int l = 0; l < n; ++l)
            departures[first + l] = start ? next.departure : 0.0;
        const double* s = start ? next.vectors : nullptr;
        double made[8];
        const SimdLevel at = level == SimdLevel::Avx512 && n <= 4 ? SimdLevel::Avx2 : level;
        switch (at) {
#if defined(QUAV_AVX_LANES)
        case SimdLevel::Avx512:
            detail::solveBoundedLanesAvx512(from, stride, floors + first, stops + first, n, s, to,
                                            rows, left, made);
            break;
        case SimdLevel::Avx2:
            detail::solveBoundedLanesAvx2(from, stride, floors + first, stops + first, n, s, to,
                                          rows, left, made);
            break;
#endif
        default:
            solveBoundedLanes<ScalarIsa>(from, stride, floors + first, stops + first, n, s, to,
                                         rows, left, made);
            break;
        }
        for (int e = 0; e < 36; ++e)
            next.vectors[e] = rows[e * stride + n - 1];
        next.departure = made[n - 1];
        next.set = true;
    }
}

SymmetricEigen symmetricEigen(const Matrix& a) {
    const int n = a.rows();
    WorkArray<double> work(n), vectorWork(n);
    double* w = work.data();
    double* vt = vectorWork.data();
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            w[r * n + c] = r <= c ? a(r, c) : a(c, r);
    SymmetricEigen result;
    result.converged = symmetricEigenRows(w, vt, n);
    result.values = Matrix::column(n);
    result.vectors = Matrix(n, n);
    for (int r = 0; r < n; ++r) {
        result.values[r] = w[r * n + r];
        for (int c = 0; c < n; ++c)
            result.vectors(r, c) = vt[c * n + r];
    }
    return result;
}

} // namespace quav
