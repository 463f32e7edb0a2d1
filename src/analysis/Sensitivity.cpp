#include "analysis/Sensitivity.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/Constants.h"
#include "analysis/KineticEnergy.h"
#include "analysis/ModelCheck.h"
#include "analysis/StaticAnalysis.h"
#include "math/LuFactors.h"
#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace quav {

namespace {

using L = long double;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
/// A mode whose |lambda| is within this of the largest is at rest: its frequency
/// is rounding of a direction no spring holds.
constexpr double kAtRest = 1e-12;
/// Parameters per spring: x, y, z, thetaY, thetaZ.
constexpr int kSpringParameters = 5;

/// The unordered pairs (a, b) of the six modes, a <= b.
constexpr int kPairs = 21;
constexpr int pairIndex(int a, int b) {
    return a <= b ? a * 6 - a * (a - 1) / 2 + (b - a) : pairIndex(b, a);
}

void cross(const double* a, const double* b, double* r) {
    r[0] = static_cast<double>(L(a[1]) * b[2] - L(a[2]) * b[1]);
    r[1] = static_cast<double>(L(a[2]) * b[0] - L(a[0]) * b[2]);
    r[2] = static_cast<double>(L(a[0]) * b[1] - L(a[1]) * b[0]);
}

L dot3(const double* a, const double* b) {
    return L(a[0]) * b[0] + L(a[1]) * b[1] + L(a[2]) * b[2];
}

/// r = M^T v for a row-major 3 x 3 M.
void transposedTimes(const double* m, const double* v, double* r) {
    for (int a = 0; a < 3; ++a)
        r[a] = static_cast<double>(L(m[a]) * v[0] + L(m[3 + a]) * v[1] + L(m[6 + a]) * v[2]);
}

/// r = M v for a row-major 3 x 3 M.
void times(const double* m, const double* v, double* r) {
    for (int a = 0; a < 3; ++a)
        r[a] = static_cast<double>(dot3(m + 3 * a, v));
}

/// The spring's orientation J = Rx(a1) Rz(a2), a1 = -thetaY, a2 = thetaZ + 90 deg,
/// and its derivatives per degree of thetaY and of thetaZ.
struct SpringAxes {
    double j[9];
    double perThetaY[9];
    double perThetaZ[9];
};

SpringAxes springAxes(const SpringElement& spring) {
    SpringAxes axes;
    detail::springOrientation(spring, axes.j);
    const double a1 = -spring.angles[1] * kRadiansPerDegree;
    const double a2 = (spring.angles[2] + 90.0) * kRadiansPerDegree;
    const double c1 = std::cos(a1), s1 = std::sin(a1), c2 = std::cos(a2), s2 = std::sin(a2);
    // dJ/da1 and dJ/da2 of [[c2, -s2, 0], [c1 s2, c1 c2, -s1], [s1 s2, s1 c2, c1]];
    // da1/dthetaY = -k and da2/dthetaZ = k, k the model's radians per degree.
    const double k = kRadiansPerDegree;
    const double y[9] = {0.0, 0.0, 0.0, -s1 * s2, -s1 * c2, -c1, c1 * s2, c1 * c2, -s1};
    const double z[9] = {-s2, -c2, 0.0, c1 * c2, -c1 * s2, 0.0, s1 * c2, -s1 * s2, 0.0};
    for (int i = 0; i < 9; ++i) {
        axes.perThetaY[i] = -k * y[i];
        axes.perThetaZ[i] = k * z[i];
    }
    return axes;
}

/// What the modal derivatives of every parameter share.
struct ModalData {
    double psi[6][6]; ///< [mode][dof], mass-normalised: psi^T M psi = 1
    double lambda[6]; ///< [1/s^2]
    double frequency[6];
    /// df_q / d(psi_q^T dK psi_q): f / (2 lambda) [Hz s^2]; NaN without a derivative.
    double frequencyScale[6];
    /// dE_q / d(psi_l^T dK psi_q) [% s^2] for l != q; NaN when mode q has none.
    double shapeWeight[6][6];
};

/// Which modes are together (a repeated frequency, or both at rest) and which at rest.
struct ModeGroups {
    bool atRest[6] = {};
    bool together[6][6] = {};
};

ModeGroups modeGroups(const double* lambda, const double* frequency) {
    ModeGroups g;
    double largest = 0.0;
    for (int q = 0; q < 6; ++q)
        largest = std::max(largest, std::fabs(lambda[q]));
    for (int q = 0; q < 6; ++q)
        g.atRest[q] = std::fabs(lambda[q]) <= kAtRest * largest;
    for (int a = 0; a < 6; ++a)
        for (int b = 0; b < 6; ++b)
            g.together[a][b] =
                a != b && ((g.atRest[a] && g.atRest[b]) ||
                           std::fabs(frequency[a] - frequency[b]) <=
                               kRepeatedFrequency * std::max(frequency[a], frequency[b]));
    return g;
}

ModalData modalData(const AnalysisModel& model, const ModalSolution& modes,
                    const std::array<int, 6>& dominant, const ModeGroups& groups) {
    ModalData d;
    double g[6][6]; // M psi
    for (int q = 0; q < 6; ++q) {
        double phi[6];
        modeVector(modes, q + 1, phi);
        long double e[6];
        const long double norm = modeEnergyTerms(model.mass, model.inertia.data(), phi, e);
        const long double scale = 1.0L / std::sqrt(norm);
        for (int i = 0; i < 6; ++i)
            d.psi[q][i] = static_cast<double>(phi[i] * scale);
        for (int i = 0; i < 3; ++i) {
            g[q][i] = static_cast<double>(L(model.mass) * d.psi[q][i]);
            g[q][3 + i] = static_cast<double>(dot3(model.inertia.data() + 3 * i, d.psi[q] + 3));
        }
        d.lambda[q] = modes.eigenvalues[6 - (q + 1)];
        d.frequency[q] = modes.frequencies[6 - (q + 1)];
    }
    for (int q = 0; q < 6; ++q) {
        bool repeated = false;
        for (int l = 0; l < 6; ++l)
            repeated = repeated || groups.together[q][l];
        d.frequencyScale[q] =
            repeated || groups.atRest[q] ? kNaN : d.frequency[q] / (2.0 * d.lambda[q]);
        // E_k = 100 psi_k (M psi)_k with psi^T M psi = 1: a shape change along psi_l
        // (l != q, M-orthogonal) leaves the norm and moves E_k by the two products.
        const int k = dominant[static_cast<std::size_t>(q)];
        for (int l = 0; l < 6; ++l)
            d.shapeWeight[l][q] =
                l == q     ? 0.0
                : repeated ? kNaN
                           : static_cast<double>(
                                 100.0L * (L(d.psi[l][k]) * g[q][k] + L(d.psi[q][k]) * g[l][k]) /
                                 (L(d.lambda[q]) - d.lambda[l]));
    }
    return d;
}

/// The twelve modal outputs of one parameter from its 21 pair terms
/// B_lq = psi_l^T (dK/dp) psi_q.
void modalRow(const ModalData& d, const double* pairs, double* out) {
    for (int q = 0; q < 6; ++q) {
        out[kFrequencyColumn + q] = d.frequencyScale[q] * pairs[pairIndex(q, q)];
        L sum = 0.0L;
        for (int l = 0; l < 6; ++l)
            if (l != q)
                sum += L(d.shapeWeight[l][q]) * pairs[pairIndex(l, q)];
        out[kDecouplingColumn + q] = static_cast<double>(sum);
    }
}

/// Where each parameter's row is (-1 for a parameter not asked for), and which
/// characteristic each spring is bound to, found once: the passes over the
/// springs then take constant time per spring.
struct RowIndex {
    std::vector<int> spring;               ///< kSpringParameters per spring
    std::vector<int> characteristic;       ///< 3 per characteristic
    std::vector<bool> rates;               ///< per characteristic: some rate asked for
    std::vector<int> springCharacteristic; ///< per spring: index of its characteristic, or -1

    bool springNeeded(std::size_t s) const {
        for (int k = 0; k < kSpringParameters; ++k)
            if (spring[s * kSpringParameters + static_cast<std::size_t>(k)] >= 0)
                return true;
        const int c = springCharacteristic[s];
        return c >= 0 && rates[static_cast<std::size_t>(c)];
    }
};

RowIndex rowIndex(const AnalysisModel& model, const std::vector<SensitivityParameter>& parameters) {
    RowIndex index;
    // The first characteristic of an id is the one springs use, as findCharacteristic.
    std::unordered_map<int, int> characteristics, springs;
    for (std::size_t c = model.springCharacteristics.size(); c-- > 0;)
        characteristics[model.springCharacteristics[c].id] = static_cast<int>(c);
    for (std::size_t s = model.springs.size(); s-- > 0;)
        springs[model.springs[s].id] = static_cast<int>(s);
    auto find = [](const std::unordered_map<int, int>& map, int id) {
        const auto it = map.find(id);
        return it == map.end() ? -1 : it->second;
    };
    index.spring.assign(model.springs.size() * kSpringParameters, -1);
    index.characteristic.assign(model.springCharacteristics.size() * 3, -1);
    index.rates.assign(model.springCharacteristics.size(), false);
    for (const SpringElement& spring : model.springs)
        index.springCharacteristic.push_back(find(characteristics, spring.characteristicId));
    for (std::size_t p = 0; p < parameters.size(); ++p) {
        const SensitivityParameter& param = parameters[p];
        const int row = static_cast<int>(p);
        if (param.kind == ParameterKind::Rate) {
            const int c = find(characteristics, param.object);
            if (c < 0)
                continue;
            index.characteristic[static_cast<std::size_t>(3 * c + param.component)] = row;
            index.rates[static_cast<std::size_t>(c)] = true;
        } else {
            const int s = find(springs, param.object);
            if (s < 0)
                continue;
            const int k =
                param.kind == ParameterKind::Position ? param.component : 3 + param.component;
            index.spring[static_cast<std::size_t>(kSpringParameters * s + k)] = row;
        }
    }
    return index;
}

/// The modal columns of every row: frequencies and decoupling rates.
void modalDerivatives(const AnalysisModel& model, const ModalData& d, const RowIndex& rows,
                      Sensitivities& result, std::atomic<std::int64_t>* progress) {
    const std::size_t width = static_cast<std::size_t>(result.outputs);
    auto rowOut = [&](int row) { return result.derivative.data() + row * width; };
    // Pair terms of each asked-for rate, summed over the springs bound to it.
    std::vector<L> rateTerms(model.springCharacteristics.size() * 3 * kPairs, 0.0L);
    // psi_q^T (dK/df) psi_q: how the modes' own frequencies move their rates.
    L frequencySlope[6] = {};
    const double* cog = model.centreOfGravity.data();
    for (std::size_t s = 0; s < model.springs.size(); ++s) {
        const SpringElement& spring = model.springs[s];
        const int ci = rows.springCharacteristic[s];
        if (ci < 0 || !rows.springNeeded(s)) {
            // Without a characteristic the spring adds nothing: its rows stay 0.
            if (progress)
                progress->fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        const SpringCharacteristic* c = &model.springCharacteristics[static_cast<std::size_t>(ci)];
        const SpringAxes axes = springAxes(spring);
        const double r[3] = {spring.position[0] - cog[0], spring.position[1] - cog[1],
                             spring.position[2] - cog[2]};
        // Per mode: the mounting point's motion in local axes (l), the local force of
        // the dynamic rates on it (fl), the global force (w) and the motion's change
        // with thetaY and thetaZ in local axes.
        double l[6][3], fl[6][3], w[6][3], ly[6][3], lz[6][3], perRate[6][3];
        for (int q = 0; q < 6; ++q) {
            const double* psi = d.psi[q];
            double motion[3];
            cross(psi + 3, r, motion);
            for (int i = 0; i < 3; ++i)
                motion[i] += psi[i];
            transposedTimes(axes.j, motion, l[q]);
            transposedTimes(axes.perThetaY, motion, ly[q]);
            transposedTimes(axes.perThetaZ, motion, lz[q]);
            for (int a = 0; a < 3; ++a) {
                const DynamicRate rate = dynamicRate(*c, a, d.frequency[q]);
                fl[q][a] = rate.rate * l[q][a];
                perRate[q][a] = rate.perStaticRate;
                frequencySlope[q] += L(rate.perHertz) * l[q][a] * l[q][a];
            }
            times(axes.j, fl[q], w[q]);
        }
        double position[3][kPairs], thetaY[kPairs], thetaZ[kPairs];
        L* rate = rows.rates[static_cast<std::size_t>(ci)]
                      ? rateTerms.data() + static_cast<std::size_t>(ci) * 3 * kPairs
                      : nullptr;
        for (int a = 0; a < 6; ++a) {
            for (int b = a; b < 6; ++b) {
                const int p = pairIndex(a, b);
                // d(motion)/d(r_i) = psi_r x e_i: psi_a^T dK psi_b = e_i . (w_b x psi_ra +
                // w_a x psi_rb).
                double u[3], v[3];
                cross(w[b], d.psi[a] + 3, u);
                cross(w[a], d.psi[b] + 3, v);
                for (int i = 0; i < 3; ++i)
                    position[i][p] = u[i] + v[i];
                thetaY[p] = static_cast<double>(dot3(ly[a], fl[b]) + dot3(fl[a], ly[b]));
                thetaZ[p] = static_cast<double>(dot3(lz[a], fl[b]) + dot3(fl[a], lz[b]));
                if (rate)
                    for (int dir = 0; dir < 3; ++dir)
                        rate[dir * kPairs + p] +=
                            0.5L * (L(perRate[a][dir]) + perRate[b][dir]) * l[a][dir] * l[b][dir];
            }
        }
        const int* springRows = rows.spring.data() + s * kSpringParameters;
        for (int k = 0; k < kSpringParameters; ++k)
            if (springRows[k] >= 0)
                modalRow(d, k < 3 ? position[k] : k == 3 ? thetaY : thetaZ, rowOut(springRows[k]));
        if (progress)
            progress->fetch_add(1, std::memory_order_relaxed);
    }
    for (std::size_t c = 0; c < model.springCharacteristics.size(); ++c) {
        for (int dir = 0; dir < 3; ++dir) {
            const int row = rows.characteristic[3 * c + static_cast<std::size_t>(dir)];
            if (row < 0)
                continue;
            double pairs[kPairs];
            for (int p = 0; p < kPairs; ++p)
                pairs[p] = static_cast<double>(rateTerms[(3 * c + dir) * kPairs + p]);
            modalRow(d, pairs, rowOut(row));
        }
    }
    // Modes found at their own frequency (rates that depend on it) are a fixed point
    // f = g(p, f): df/dp = (dg/dp) / (1 - dg/df), dg/df = f / (2 lambda) slope.
    for (int q = 0; q < 6; ++q) {
        if (frequencySlope[q] == 0.0L)
            continue;
        const double factor =
            static_cast<double>(1.0L / (1.0L - L(d.frequencyScale[q]) * frequencySlope[q]));
        for (std::size_t row = 0; row < result.parameters.size(); ++row)
            result.derivative[row * width + static_cast<std::size_t>(kFrequencyColumn + q)] *=
                factor;
    }
}

/// dR/d(theta_k) o for the rotation Rx(a) Ry(b) Rz(c) of the angles `theta`, as
/// the columns of a row-major 3 x 3: how the carried translation moves with the
/// rotations.
void transferJacobian(const double* theta, const double* o, double* g) {
    const double ca = std::cos(theta[0]), sa = std::sin(theta[0]);
    const double cb = std::cos(theta[1]), sb = std::sin(theta[1]);
    const double cc = std::cos(theta[2]), sc = std::sin(theta[2]);
    const double rx[9] = {1, 0, 0, 0, ca, -sa, 0, sa, ca};
    const double ry[9] = {cb, 0, sb, 0, 1, 0, -sb, 0, cb};
    const double rz[9] = {cc, -sc, 0, sc, cc, 0, 0, 0, 1};
    const double dx[9] = {0, 0, 0, 0, -sa, -ca, 0, ca, -sa};
    const double dy[9] = {-sb, 0, cb, 0, 0, 0, -cb, 0, -sb};
    const double dz[9] = {-sc, -cc, 0, cc, -sc, 0, 0, 0, 0};
    const double* factors[3][3] = {{dx, ry, rz}, {rx, dy, rz}, {rx, ry, dz}};
    for (int k = 0; k < 3; ++k) {
        double v[3], t[3];
        times(factors[k][2], o, v);
        times(factors[k][1], v, t);
        times(factors[k][0], t, v);
        for (int i = 0; i < 3; ++i)
            g[i * 3 + k] = v[i];
    }
}

/// The static columns of every row, one load after the other.
void staticDerivatives(const AnalysisModel& model, const RowIndex& rows, Sensitivities& result,
                       std::atomic<std::int64_t>* progress) {
    const std::size_t width = static_cast<std::size_t>(result.outputs);
    const std::size_t springCount = model.springs.size();
    const detail::SpringSet springs(model);
    detail::SpringBlocks blocks(springs);
    springs.springMatrices(detail::kGlobalFrame, false, false, blocks.data());
    std::vector<L> rateTerms(model.springCharacteristics.size() * 3 * 6);
    const double* cog = model.centreOfGravity.data();
    for (std::size_t i = 0; i < model.staticLoads.size(); ++i) {
        const StaticLoad& load = model.staticLoads[i];
        const int column = kStaticColumn + 6 * static_cast<int>(i);
        const double* at = load.position.data();
        // The static analysis's own arithmetic: the system about the load's position,
        // its solution carried to the CoG.
        double k[36], u[6];
        int perm[6];
        springs.assemble(blocks.data(), at, detail::kGlobalFrame, k);
        detail::luFactorise(k, 6, perm);
        const Matrix f = loadVector(load);
        detail::luSubstitute(k, 6, perm, f.data(), u);
        double* value = result.values.data() + column;
        detail::pointTransfer(u, at, cog, value);
        bool finite = true;
        for (int j = 0; j < 6; ++j)
            finite = finite && std::isfinite(value[j]);
        if (!finite) {
            result.notes.push_back(elementLabel("静荷重", load.name, load.id) +
                                   ": 変位が数値ではありません(ばねで支えられていない方向が"
                                   "あります): 変位の感度は定義されません");
            for (std::size_t row = 0; row < result.parameters.size(); ++row)
                std::fill_n(result.derivative.data() + row * width + column, 6, kNaN);
            if (progress)
                progress->fetch_add(static_cast<std::int64_t>(springCount));
            continue;
        }
        const double o[3] = {cog[0] - at[0], cog[1] - at[1], cog[2] - at[2]};
        double transfer[9];
        transferJacobian(u + 3, o, transfer);
        // dy = -[I G; 0 I] K^-1 (dK u).
        auto emit = [&](int row, const double* change) {
            double x[6];
            detail::luSubstitute(k, 6, perm, change, x);
            double* out = result.derivative.data() + static_cast<std::size_t>(row) * width +
                          static_cast<std::size_t>(column);
            for (int j = 0; j < 3; ++j) {
                out[j] = -static_cast<double>(L(x[j]) + dot3(transfer + 3 * j, x + 3));
                out[3 + j] = -x[3 + j];
            }
        };
        std::fill(rateTerms.begin(), rateTerms.end(), 0.0L);
        for (std::size_t s = 0; s < springCount; ++s) {
            const SpringElement& spring = model.springs[s];
            const int ci = rows.springCharacteristic[s];
            if (progress)
                progress->fetch_add(1, std::memory_order_relaxed);
            if (ci < 0 || !rows.springNeeded(s))
                continue;
            const SpringCharacteristic* c =
                &model.springCharacteristics[static_cast<std::size_t>(ci)];
            const SpringAxes axes = springAxes(spring);
            const double r[3] = {spring.position[0] - at[0], spring.position[1] - at[1],
                                 spring.position[2] - at[2]};
            // The mounting point's motion (global, and local l), the static force on it
            // (local fl, global fg).
            double motion[3], l[3], fl[3], fg[3];
            cross(u + 3, r, motion);
            for (int a = 0; a < 3; ++a)
                motion[a] += u[a];
            transposedTimes(axes.j, motion, l);
            for (int a = 0; a < 3; ++a)
                fl[a] = c->stiffness[a] * l[a];
            times(axes.j, fl, fg);
            // A force g at the spring acts on the body as [g; r x g].
            auto atSpring = [&r](const double* g, double* change) {
                for (int a = 0; a < 3; ++a)
                    change[a] = g[a];
                cross(r, g, change + 3);
            };
            if (rows.rates[static_cast<std::size_t>(ci)]) {
                L* terms = rateTerms.data() + static_cast<std::size_t>(ci) * 18;
                for (int dir = 0; dir < 3; ++dir) {
                    const double axis[3] = {axes.j[dir], axes.j[3 + dir], axes.j[6 + dir]};
                    double change[6];
                    atSpring(axis, change);
                    for (int j = 0; j < 6; ++j)
                        terms[6 * dir + j] += L(l[dir]) * change[j];
                }
            }
            const int* springRows = rows.spring.data() + s * kSpringParameters;
            for (int a = 0; a < 3; ++a) {
                if (springRows[a] < 0)
                    continue;
                // d(motion)/d(r_a) = u_r x e_a; the moment arm of the force moves too.
                const double e[3] = {double(a == 0), double(a == 1), double(a == 2)};
                double dm[3], dl[3], dfl[3], h[3], change[6];
                cross(u + 3, e, dm);
                transposedTimes(axes.j, dm, dl);
                for (int b = 0; b < 3; ++b)
                    dfl[b] = c->stiffness[b] * dl[b];
                times(axes.j, dfl, h);
                atSpring(h, change);
                double arm[3];
                cross(e, fg, arm);
                for (int b = 0; b < 3; ++b)
                    change[3 + b] += arm[b];
                emit(springRows[a], change);
            }
            for (int angle = 0; angle < 2; ++angle) {
                const int row = springRows[3 + angle];
                if (row < 0)
                    continue;
                // dk m = dJ (D J^T m) + J D (dJ^T m).
                const double* dj = angle == 0 ? axes.perThetaY : axes.perThetaZ;
                double dl[3], dfl[3], g1[3], g2[3], g[3], change[6];
                transposedTimes(dj, motion, dl);
                for (int b = 0; b < 3; ++b)
                    dfl[b] = c->stiffness[b] * dl[b];
                times(dj, fl, g1);
                times(axes.j, dfl, g2);
                for (int b = 0; b < 3; ++b)
                    g[b] = g1[b] + g2[b];
                atSpring(g, change);
                emit(row, change);
            }
        }
        for (std::size_t c = 0; c < model.springCharacteristics.size(); ++c) {
            for (int dir = 0; dir < 3; ++dir) {
                const int row = rows.characteristic[3 * c + static_cast<std::size_t>(dir)];
                if (row < 0)
                    continue;
                double change[6];
                for (int j = 0; j < 6; ++j)
                    change[j] = static_cast<double>(rateTerms[c * 18 + 6 * dir + j]);
                emit(row, change);
            }
        }
    }
}

std::string modeNote(int a, int b, double frequency, bool atRest) {
    if (atRest)
        return format("モード%dとモード%dの固有振動数がともに0です(ばねで支えられていない方向)"
                      ": 両モードの感度は定義されません",
                      a, b);
    return format("モード%dとモード%dの固有振動数が一致します(%g Hz): 両モードの感度は定義され"
                  "ません",
                  a, b, frequency);
}

} // namespace

DynamicRate dynamicRate(const SpringCharacteristic& characteristic, int direction, double) {
    const double k = characteristic.stiffness[direction];
    return {k * characteristic.dynamicFactor, characteristic.dynamicFactor, 0.0};
}

std::vector<SensitivityParameter> sensitivityParameters(const AnalysisModel& model,
                                                        const ParameterChoice& choice) {
    const bool everything = choice.springs.empty() && choice.characteristics.empty();
    const std::unordered_set<int> springs(choice.springs.begin(), choice.springs.end());
    const std::unordered_set<int> characteristics(choice.characteristics.begin(),
                                                  choice.characteristics.end());
    auto named = [everything](const std::unordered_set<int>& ids, int id) {
        return everything || ids.count(id) != 0;
    };
    std::vector<SensitivityParameter> out;
    // Of characteristics sharing an id only the first is ever used.
    std::unordered_set<int> seen;
    if (choice.rates)
        for (const SpringCharacteristic& c : model.springCharacteristics)
            if (seen.insert(c.id).second && named(characteristics, c.id))
                for (int a = 0; a < 3; ++a)
                    out.push_back({ParameterKind::Rate, c.id, a, c.stiffness[a]});
    seen.clear();
    for (const SpringElement& s : model.springs) {
        if (!seen.insert(s.id).second || !named(springs, s.id))
            continue;
        if (choice.positions)
            for (int a = 0; a < 3; ++a)
                out.push_back({ParameterKind::Position, s.id, a, s.position[a]});
        if (choice.angles)
            for (int a = 0; a < 2; ++a)
                out.push_back({ParameterKind::Angle, s.id, a, s.angles[1 + a]});
    }
    return out;
}

std::int64_t sensitivityWork(const AnalysisModel& model) {
    return static_cast<std::int64_t>(model.springs.size()) *
           (1 + static_cast<std::int64_t>(model.staticLoads.size()));
}

Sensitivities sensitivities(const AnalysisModel& model, const ModalSolution& modes,
                            const std::vector<SensitivityParameter>& parameters,
                            std::atomic<std::int64_t>* progress) {
    Sensitivities result;
    result.parameters = parameters;
    result.outputs = kStaticColumn + 6 * static_cast<int>(model.staticLoads.size());
    const std::size_t width = static_cast<std::size_t>(result.outputs);
    result.values.assign(width, 0.0);
    result.derivative.assign(parameters.size() * width, 0.0);

    const EnergyDistribution ked = kineticEnergyDistribution(model, modes, EnergyFrame::Global);
    double lambda[6], frequency[6];
    for (int q = 0; q < 6; ++q) {
        const ModeEnergy& mode = ked.modes[static_cast<std::size_t>(q)];
        result.values[kFrequencyColumn + q] = mode.frequency;
        result.values[kDecouplingColumn + q] = mode.decoupling;
        result.dominant[static_cast<std::size_t>(q)] = mode.dominant;
        lambda[q] = modes.eigenvalues[5 - q];
        frequency[q] = modes.frequencies[5 - q];
    }
    const ModeGroups groups = modeGroups(lambda, frequency);
    const ModalData d = modalData(model, modes, result.dominant, groups);
    const RowIndex rows = rowIndex(model, parameters);
    modalDerivatives(model, d, rows, result, progress);
    staticDerivatives(model, rows, result, progress);

    // Modes without derivatives, and why.
    std::vector<std::string> modeNotes;
    for (int q = 0; q < 6; ++q) {
        ModeSensitivity& m = result.modes[static_cast<std::size_t>(q)];
        for (int l = 0; l < 6; ++l) {
            if (!groups.together[q][l])
                continue;
            m = ModeSensitivity::Repeated;
            if (l > q)
                modeNotes.push_back(modeNote(q + 1, l + 1, frequency[q], groups.atRest[q]));
        }
        if (m == ModeSensitivity::Defined && groups.atRest[q]) {
            m = ModeSensitivity::AtRest;
            modeNotes.push_back(format("モード%dの固有振動数が0です(ばねで支えられていない方向)"
                                       ": 固有振動数の感度は定義されません",
                                       q + 1));
        }
    }
    result.notes.insert(result.notes.begin(), modeNotes.begin(), modeNotes.end());
    for (int q = 0; q < 6; ++q) {
        const ModeSensitivity m = result.modes[static_cast<std::size_t>(q)];
        for (std::size_t row = 0; row < parameters.size(); ++row) {
            double* out = result.derivative.data() + row * width;
            if (m != ModeSensitivity::Defined)
                out[kFrequencyColumn + q] = kNaN;
            if (m == ModeSensitivity::Repeated)
                out[kDecouplingColumn + q] = kNaN;
        }
    }

    result.elasticity.resize(result.derivative.size());
    for (std::size_t row = 0; row < parameters.size(); ++row) {
        const double p = parameters[row].value;
        for (std::size_t o = 0; o < width; ++o) {
            const double y = result.values[o];
            const double dy = result.derivative[row * width + o];
            result.elasticity[row * width + o] =
                p == 0.0 || y == 0.0 || !std::isfinite(dy) ? kNaN : p / y * dy;
        }
    }
    return result;
}

std::array<double, 6> frequencySpread(const AnalysisModel& model, const ModalSolution& modes,
                                      double tolerancePct, double positionTolerance) {
    ParameterChoice choice;
    choice.angles = false;
    const Sensitivities s = sensitivities(model, modes, sensitivityParameters(model, choice));
    std::array<double, 6> spread{};
    for (int q = 0; q < 6; ++q) {
        L variance = 0.0L;
        for (std::size_t p = 0; p < s.parameters.size(); ++p) {
            const SensitivityParameter& param = s.parameters[p];
            const double h = param.kind == ParameterKind::Rate ? param.value * tolerancePct / 100.0
                                                               : positionTolerance;
            const L term = L(s.derivativeOf(p, kFrequencyColumn + q)) * h;
            variance += term * term / 3.0L;
        }
        spread[static_cast<std::size_t>(q)] = static_cast<double>(std::sqrt(variance));
    }
    return spread;
}

} // namespace quav
