#pragma once

// The Jacobi rotations of 6 x 6 modal systems, written once for W systems side by
// side: W = 1 is the engine's solution of one system (plain doubles), W = 4 and 8
// run in AVX2 and AVX-512 registers. Every lane does exactly the operations the
// single system does, each rounded on its own (-ffp-contract=off), so a system's
// result does not depend on the width, the lane or the other systems of its batch.
//
// Included by translation units built for different instruction sets: everything
// here has internal linkage, so that no instantiation built with AVX can stand in
// for the one a plain build calls.

#include <cstring>
#include <limits>

namespace quav {
namespace {

/// The operations a width needs beyond the arithmetic operators.
/// `Isa::V` holds W doubles, `Isa::M` W masks (all bits set or clear);
/// `Isa::sqrt(V)` and `Isa::any(M)` come from the instruction set.
template <class Isa> struct Lanes : Isa {
    using V = typename Isa::V;
    using M = typename Isa::M;

    static V splat(double x) {
        if constexpr (Isa::kWidth == 1)
            return x;
        else
            return V{} + x;
    }
    /// m ? a : b, lane by lane.
    static V select(M m, V a, V b) {
        if constexpr (Isa::kWidth == 1)
            return m ? a : b;
        else
            return (V)(((M)a & m) | ((M)b & ~m));
    }
    /// not m, lane by lane.
    static M invert(M m) {
        if constexpr (Isa::kWidth == 1)
            return !m;
        else
            return ~m;
    }
    /// a and b, a or b, lane by lane.
    static M both(M a, M b) {
        if constexpr (Isa::kWidth == 1)
            return a && b;
        else
            return a & b;
    }
    static M either(M a, M b) {
        if constexpr (Isa::kWidth == 1)
            return a || b;
        else
            return a | b;
    }
    /// a and not b, lane by lane.
    static M andNot(M a, M b) {
        if constexpr (Isa::kWidth == 1)
            return a && !b;
        else
            return a & ~b;
    }
    static V abs(V x) {
        if constexpr (Isa::kWidth == 1)
            return __builtin_fabs(x);
        else
            return (V)((M)x & (M{} + 0x7fffffffffffffffLL));
    }
};

/// One plain double: the scalar path.
struct ScalarIsa {
    static constexpr int kWidth = 1;
    using V = double;
    using M = bool;
    static V sqrt(V x) { return __builtin_sqrt(x); }
    static bool any(M m) { return m; }
};

// Enough for quadratic convergence on any finite matrix of the engine's sizes;
// only NaN or infinite input ever reaches it.
constexpr int kLaneSweeps = 100;

/// The round-robin pairs (p, q), p < q, of 6 indices: 5 rounds of 3 pairs that
/// share no index, every pair once a sweep. Index 5 stays while the others turn.
struct RoundRobin6 {
    int p[5][3] = {};
    int q[5][3] = {};
    constexpr RoundRobin6() {
        for (int r = 0; r < 5; ++r) {
            for (int k = 0; k < 3; ++k) {
                int a = k == 0 ? r : (r + k) % 5;
                int b = k == 0 ? 5 : (r - k + 5) % 5;
                if (a > b) {
                    const int t = a;
                    a = b;
                    b = t;
                }
                p[r][k] = a;
                q[r][k] = b;
            }
        }
    }
};
inline constexpr RoundRobin6 kPairs6{};

/// Cyclic Jacobi on W full symmetric 6 x 6 systems, element i of system l in lane l
/// of a[i]; vt starts as the identity and collects the rotations in its rows (row j
/// ends as the vector of a(j, j)). A round's rotations are all found before the
/// first is applied (its pairs share no index, so each sees the matrix it would
/// see alone). An element is dropped once negligible against its two diagonal
/// elements or below `floor`, so the eigenvalues keep the relative accuracy the
/// scaling allows. A lane whose sweep turned nothing has every off-diagonal
/// element zero and stays bit for bit as it is through any further sweep, so the
/// batch sweeps until all lanes are still: each lane ends where it would alone.
/// Returns false when the sweep cap ended the work (non-finite input).
///
/// `Bounded` solves for an estimate whose error its caller bounds: only the upper
/// triangle is kept, a lane that does not turn gets the rotation by 0 (the same up
/// to the sign of a zero) instead of a selection, and the sweeps end once in every
/// lane the elements above the diagonal are below its `stop` in Frobenius norm;
/// the caller adds what is left to its bound. The result then depends on the batch.
template <class Isa, bool Bounded = false> struct Jacobi6 {
    using L = Lanes<Isa>;
    using V = typename L::V;
    using M = typename L::M;

    V* a;
    V* vt;
    V floor;
    V stop{}; ///< Bounded: the remainder each lane may keep

    struct Rotation {
        V t, c;
        M turn; ///< lanes that rotate
    };

    static constexpr double kEpsilon = std::numeric_limits<double>::epsilon();

    /// apq negligible against app and aqq or below the floor. The squares decide
    /// without roots where a margin of 4 (2 in magnitude) keeps rounding out; every
    /// other lane, NaN and infinity included, takes the exact test.
    M negligible(V apq, V app, V aqq) const {
        const V square = apq * apq;
        const V scale = L::splat(kEpsilon * kEpsilon) * (L::abs(app) * L::abs(aqq));
        const M clearlyNot = L::both(square > L::splat(4.0) * scale, L::abs(apq) > floor);
        const M clearlyYes = L::splat(4.0) * square < scale;
        const M undecided = L::invert(L::either(clearlyNot, clearlyYes));
        if (!L::any(undecided))
            return clearlyYes;
        const V size = L::abs(apq);
        const M exact =
            L::either(size <= L::splat(kEpsilon) * L::sqrt(L::abs(app)) * L::sqrt(L::abs(aqq)),
                      size <= floor);
        return L::either(L::both(exact, undecided), L::andNot(clearlyYes, undecided));
    }

    /// The rotation that zeroes apq: t = tan phi with tan 2 phi = 2 apq / (aqq - app),
    /// |phi| <= pi / 4. With d = aqq - app, e = 2 apq and r = sqrt(d^2 + e^2),
    /// t = sign(d) e / (|d| + r) and c = sqrt((|d| + r) / 2r): one square root ahead
    /// of two independent divisions. Once |apq| <= 2^-14 |d| (every rotation of the
    /// last sweeps) the series t = h - h^3, c = 1 - t^2 / 2 with h = apq / d is exact
    /// to the rounding and takes one division. Squares beyond the range of double go
    /// through cot 2 phi. Each form is computed only when some lane needs it.
    Rotation find(int p, int q) const {
        Rotation r{L::splat(0.0), L::splat(1.0), {}};
        const V apq = a[p * 6 + q];
        const V app = a[p * 6 + p], aqq = a[q * 6 + q];
        const M nonzero = apq != L::splat(0.0);
        r.turn = nonzero;
        if (!L::any(nonzero))
            return r;
        const M dropped = L::both(nonzero, negligible(apq, app, aqq));
        if (L::any(dropped)) {
            const V kept = L::select(dropped, L::splat(0.0), apq);
            a[p * 6 + q] = kept;
            if constexpr (!Bounded)
                a[q * 6 + p] = kept;
        }
        r.turn = L::andNot(nonzero, dropped);
        if (!L::any(r.turn))
            return r;
        const V d = aqq - app;
        const M series = L::abs(d) > L::splat(0x1p14) * L::abs(apq);
        if (L::any(L::both(r.turn, series))) {
            const V h = apq / d;
            r.t = h - h * h * h;
            r.c = L::splat(1.0) - L::splat(0.5) * r.t * r.t;
        }
        const M general = L::andNot(r.turn, series);
        if (!L::any(general))
            return idle(r);
        const V e = L::splat(2.0) * apq;
        const V root = L::sqrt(d * d + e * e);
        const V u = L::abs(d) + root;
        V t = L::select(d >= L::splat(0.0), e, -e) / u;
        V c = L::sqrt(u / (L::splat(2.0) * root));
        const M inRange = L::both(root > L::splat(0x1p-450), root < L::splat(0x1p450));
        if (L::any(L::andNot(general, inRange))) {
            const V theta = d / e;
            const V wide = L::sqrt(theta * theta + L::splat(1.0));
            const V v = L::abs(theta) + wide;
            const V tc = L::select(theta >= L::splat(0.0), L::splat(1.0), L::splat(-1.0)) / v;
            const V cc = L::sqrt(v / (L::splat(2.0) * wide));
            t = L::select(inRange, t, tc);
            c = L::select(inRange, c, cc);
        }
        if constexpr (Isa::kWidth == 1) {
            r.t = t;
            r.c = c;
        } else {
            r.t = L::select(series, r.t, t);
            r.c = L::select(series, r.c, c);
        }
        return idle(r);
    }

    /// Bounded: the lanes that do not turn rotate by 0.
    static Rotation idle(Rotation r) {
        if constexpr (Bounded) {
            r.t = L::select(r.turn, r.t, L::splat(0.0));
            r.c = L::select(r.turn, r.c, L::splat(1.0));
        }
        return r;
    }

    /// x <- c x - s y, y <- s x + c y, kept only in the lanes that turn.
    static void turn(V& x, V& y, V c, V s, M turning) {
        const V u = x, v = y;
        x = L::select(turning, c * u - s * v, u);
        y = L::select(turning, s * u + c * v, v);
    }

    /// The rotation of (P, Q) applied: rows P and Q mirrored into columns P and Q,
    /// so the matrix stays exactly symmetric, a(P, Q) = 0, the new diagonal; rows P
    /// and Q of vt.
    template <int P, int Q> [[gnu::always_inline]] void apply(const Rotation& r) const {
        if (!L::any(r.turn))
            return;
        const V t = r.t, c = r.c, s = t * c;
        const V app = a[P * 6 + P], aqq = a[Q * 6 + Q], apq = a[P * 6 + Q];
        if constexpr (Bounded) {
            applyUpper<P, Q>(c, s);
            a[P * 6 + P] = app - t * apq;
            a[Q * 6 + Q] = aqq + t * apq;
            a[P * 6 + Q] = L::splat(0.0);
            return;
        }
        if constexpr (Isa::kWidth == 1) {
            applyPairs(P, Q, c, s);
        } else {
#pragma GCC unroll 6
            for (int j = 0; j < 6; ++j) {
                if (j == P || j == Q)
                    continue;
                V x = a[P * 6 + j], y = a[Q * 6 + j];
                turn(x, y, c, s, r.turn);
                a[P * 6 + j] = a[j * 6 + P] = x;
                a[Q * 6 + j] = a[j * 6 + Q] = y;
            }
#pragma GCC unroll 6
            for (int j = 0; j < 6; ++j)
                turn(vt[P * 6 + j], vt[Q * 6 + j], c, s, r.turn);
        }
        a[P * 6 + P] = L::select(r.turn, app - t * apq, app);
        a[Q * 6 + Q] = L::select(r.turn, aqq + t * apq, aqq);
        const V zero = L::select(r.turn, L::splat(0.0), apq);
        a[P * 6 + Q] = a[Q * 6 + P] = zero;
    }

    /// Bounded: rows P and Q of the upper triangle (an element below the diagonal
    /// read from its mirror) and of vt, every lane turned.
    template <int P, int Q> [[gnu::always_inline]] void applyUpper(V c, V s) const {
#pragma GCC unroll 6
        for (int j = 0; j < 6; ++j) {
            if (j == P || j == Q)
                continue;
            V& x = a[P < j ? P * 6 + j : j * 6 + P];
            V& y = a[Q < j ? Q * 6 + j : j * 6 + Q];
            const V u = x, v = y;
            x = c * u - s * v;
            y = s * u + c * v;
        }
#pragma GCC unroll 6
        for (int j = 0; j < 6; ++j) {
            const V u = vt[P * 6 + j], v = vt[Q * 6 + j];
            vt[P * 6 + j] = c * u - s * v;
            vt[Q * 6 + j] = s * u + c * v;
        }
    }

    /// The sum of the squares of the upper triangle's off-diagonal elements.
    V remainder2() const {
        V sum = L::splat(0.0);
        for (int i = 0; i < 6; ++i)
            for (int j = i + 1; j < 6; ++j)
                sum = sum + a[i * 6 + j] * a[i * 6 + j];
        return sum;
    }

    /// The single system's rows, two elements at a time (the same operations on
    /// each element): all six of rows p and q, mirrored as they go, the 2 x 2
    /// block then set by the caller; the rows of vt. The matrix rows are loaded
    /// element by element: they have just had single elements stored into them,
    /// and a load spanning two such stores would wait for the cache.
    [[gnu::always_inline]] void applyPairs(int p, int q, double c, double s) const
        requires(Isa::kWidth == 1) {
        using Pair = double __attribute__((vector_size(16)));
        const Pair cc = {c, c}, ss = {s, s};
        double* rp = a + p * 6;
        double* rq = a + q * 6;
#pragma GCC unroll 3
        for (int j = 0; j < 6; j += 2) {
            const Pair u = {rp[j], rp[j + 1]}, v = {rq[j], rq[j + 1]};
            const Pair x = cc * u - ss * v, y = ss * u + cc * v;
            std::memcpy(rp + j, &x, sizeof x);
            std::memcpy(rq + j, &y, sizeof y);
            a[j * 6 + p] = x[0];
            a[j * 6 + q] = y[0];
            a[(j + 1) * 6 + p] = x[1];
            a[(j + 1) * 6 + q] = y[1];
        }
        double* vp = vt + p * 6;
        double* vq = vt + q * 6;
#pragma GCC unroll 3
        for (int j = 0; j < 6; j += 2) {
            Pair u, v;
            std::memcpy(&u, vp + j, sizeof u);
            std::memcpy(&v, vq + j, sizeof v);
            const Pair x = cc * u - ss * v, y = ss * u + cc * v;
            std::memcpy(vp + j, &x, sizeof x);
            std::memcpy(vq + j, &y, sizeof y);
        }
    }

    /// Round `Round` of a sweep: its three rotations found, then applied.
    template <int Round> [[gnu::always_inline]] M round() const {
        constexpr int p0 = kPairs6.p[Round][0], q0 = kPairs6.q[Round][0];
        constexpr int p1 = kPairs6.p[Round][1], q1 = kPairs6.q[Round][1];
        constexpr int p2 = kPairs6.p[Round][2], q2 = kPairs6.q[Round][2];
        const Rotation r0 = find(p0, q0), r1 = find(p1, q1), r2 = find(p2, q2);
        apply<p0, q0>(r0);
        apply<p1, q1>(r1);
        apply<p2, q2>(r2);
        return L::either(r0.turn, L::either(r1.turn, r2.turn));
    }

    bool run() const {
        for (int sweep = 0; sweep < kLaneSweeps; ++sweep) {
            M rotated = round<0>();
            rotated = L::either(rotated, round<1>());
            rotated = L::either(rotated, round<2>());
            rotated = L::either(rotated, round<3>());
            rotated = L::either(rotated, round<4>());
            if (!L::any(rotated))
                return true;
            if constexpr (Bounded) {
                // NaN, which no sweep mends, ends here too.
                const V left = remainder2();
                if (!L::any(left > stop * stop))
                    return true;
            }
        }
        return false;
    }
};

/// Solves `count` <= W systems side by side. `systems[l]` is system l (36 doubles,
/// row-major, both triangles equal), overwritten with its eigenvalues on the
/// diagonal; `vectors[l]` receives its vectors in rows; `floors[l]` is its floor.
/// False when the sweep cap ended the work (non-finite input in some lane).
template <class Isa>
bool solveLanes(double* const* systems, double* const* vectors, const double* floors, int count) {
    using V = typename Lanes<Isa>::V;
    constexpr int W = Isa::kWidth;
    V a[36], vt[36];
    double lane[W];
    for (int i = 0; i < 36; ++i) {
        for (int l = 0; l < W; ++l)
            lane[l] = l < count ? systems[l][i] : 0.0; // an idle lane is already diagonal
        std::memcpy(&a[i], lane, sizeof lane);
        vt[i] = Lanes<Isa>::splat(i % 7 == 0 ? 1.0 : 0.0);
    }
    for (int l = 0; l < W; ++l)
        lane[l] = l < count ? floors[l] : 0.0;
    V floor;
    std::memcpy(&floor, lane, sizeof lane);
    const bool converged = Jacobi6<Isa>{a, vt, floor}.run();
    for (int i = 0; i < 36; ++i) {
        double values[W], rows[W];
        std::memcpy(values, &a[i], sizeof values);
        std::memcpy(rows, &vt[i], sizeof rows);
        for (int l = 0; l < count; ++l) {
            systems[l][i] = values[l];
            vectors[l][i] = rows[l];
        }
    }
    return converged;
}

/// Solves `count` <= W systems side by side for an estimate (Jacobi6's Bounded):
/// element e of lane l at systems[e * stride + l] (the upper triangle is read),
/// eigenvalue j to values[j * stride + l], element i of its vector to
/// vectors[(j * 6 + i) * stride + l], and a bound on the 2-norm of the
/// off-diagonal elements left to remainders[l]. Lanes from `count` on are solved
/// from zeros and left unwritten. With `start` (36 doubles, rows nearly
/// orthonormal), every system is first taken into the basis of its rows, S C S^T,
/// and the vectors collected from S on: rows close to the systems' own vectors
/// leave little for the rotations to do. departures[l] receives a bound on the
/// 2-norm of V V^T - I for lane l's vectors V (EstimateChain's departure),
/// for a next start from them.
template <class Isa>
void solveBoundedLanes(const double* systems, int stride, const double* floors, const double* stops,
                       int count, const double* start, double* values, double* vectors,
                       double* remainders, double* departures) {
    using V = typename Lanes<Isa>::V;
    // A full group moves as one register; a short one lane by lane.
    auto load = [count](const double* from) {
        V v;
        if (count == Isa::kWidth) {
            std::memcpy(&v, from, sizeof v);
            return v;
        }
        double lane[Isa::kWidth] = {};
        for (int l = 0; l < count; ++l)
            lane[l] = from[l];
        std::memcpy(&v, lane, sizeof v);
        return v;
    };
    auto store = [count](V v, double* to) {
        if (count == Isa::kWidth) {
            std::memcpy(to, &v, sizeof v);
            return;
        }
        double lane[Isa::kWidth];
        std::memcpy(lane, &v, sizeof lane);
        for (int l = 0; l < count; ++l)
            to[l] = lane[l];
    };
    using L = Lanes<Isa>;
    V a[36], vt[36];
    for (int i = 0; i < 6; ++i)
        for (int j = i; j < 6; ++j)
            a[i * 6 + j] = load(systems + (i * 6 + j) * stride);
    if (start) {
        // T = S C, then the upper triangle of T S^T; C's lower triangle read from
        // its mirror.
        V t[36];
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 6; ++j) {
                V sum = L::splat(start[i * 6]) * a[j];
                for (int k = 1; k < 6; ++k)
                    sum = sum + L::splat(start[i * 6 + k]) * a[k <= j ? k * 6 + j : j * 6 + k];
                t[i * 6 + j] = sum;
            }
        for (int i = 0; i < 6; ++i)
            for (int j = i; j < 6; ++j) {
                V sum = t[i * 6] * L::splat(start[j * 6]);
                for (int k = 1; k < 6; ++k)
                    sum = sum + t[i * 6 + k] * L::splat(start[j * 6 + k]);
                a[i * 6 + j] = sum;
            }
    }
    for (int i = 0; i < 36; ++i)
        vt[i] = L::splat(start ? start[i] : i % 7 == 0 ? 1.0 : 0.0);
    const Jacobi6<Isa, true> solver{a, vt, load(floors), load(stops)};
    solver.run();
    for (int j = 0; j < 6; ++j) {
        store(a[j * 7], values + j * stride);
        for (int i = 0; i < 6; ++i)
            store(vt[j * 6 + i], vectors + (j * 6 + i) * stride);
    }
    // The off-diagonal elements count twice; the factor covers the sum's rounding.
    const V two = Lanes<Isa>::splat(2.0 * (1.0 + 0x1p-40));
    store(Isa::sqrt(two * solver.remainder2()), remainders);
    // The Frobenius norm of V V^T - I and room for the roundings: those of these
    // sums (some units in the last place) and of taking a next system into V's
    // basis (under 3,000 units in the last place of its norm, which the caller's
    // twice 2^-40 covers).
    V sum = L::splat(0.0);
    for (int j = 0; j < 6; ++j)
        for (int k = j; k < 6; ++k) {
            V dot = vt[j * 6] * vt[k * 6];
            for (int i = 1; i < 6; ++i)
                dot = dot + vt[j * 6 + i] * vt[k * 6 + i];
            if (j == k)
                sum = sum + (dot - L::splat(1.0)) * (dot - L::splat(1.0));
            else
                sum = sum + L::splat(2.0) * (dot * dot);
        }
    store(Isa::sqrt(sum) + L::splat(0x1p-40), departures);
}

} // namespace
} // namespace quav
