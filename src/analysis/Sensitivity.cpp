#include "analysis/Sensitivity.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/Constants.h"
#include "analysis/KineticEnergy.h"
#include "analysis/ModelCheck.h"
#include "analysis/OwnFrequencyModes.h"
#include "analysis/StaticAnalysis.h"
#include "math/LuFactors.h"
#include "model/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

struct PairTables {
    int of[6][6];     ///< pairIndex(a, b)
    int others[6][5]; ///< the pairs (l, q) of mode q with the five other modes l, in order
};
constexpr PairTables pairTables() {
    PairTables t{};
    for (int a = 0; a < 6; ++a) {
        int n = 0;
        for (int b = 0; b < 6; ++b) {
            t.of[a][b] = pairIndex(a, b);
            if (b != a)
                t.others[a][n++] = pairIndex(a, b);
        }
    }
    return t;
}
constexpr PairTables kPairTables = pairTables();
constexpr const auto& kPairOf = kPairTables.of;
constexpr const auto& kOtherPairs = kPairTables.others;

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

/// The spring's orientation J = Rx(a1) Rz(a2) (a1 = -thetaY, a2 = thetaZ + 90 deg)
/// and what its angles' derivatives need. Turning the spring is dJ = J G s per
/// degree: about the local axis n = Rz(a2)^T e_x = (cos a2, -sin a2, 0) with
/// s = -k for thetaY, about the local z axis with s = k for thetaZ (G the cross
/// product matrix of the axis, k the model's radians per degree). Its stiffness
/// J K J^T then changes by J C J^T with C = s (G K - K G): C_ij = s G_ij (K_j - K_i),
/// symmetric, 0 on the diagonal.
struct SpringAxes {
    double j[9];
    double cos2 = 0.0, sin2 = 0.0; ///< of a2
};

SpringAxes springAxes(const SpringElement& spring) {
    SpringAxes axes;
    detail::springOrientation(spring, axes.j);
    // The first row of J is (cos a2, -sin a2, 0), exactly.
    axes.cos2 = axes.j[0];
    axes.sin2 = -axes.j[1];
    return axes;
}

/// The off-diagonal elements C01, C02, C12 of the change of a spring's local
/// stiffness with thetaY (angle 0) and thetaZ (angle 1) per degree, for local
/// rates `rates`.
struct AngleTerms {
    double c[2][3];
};

AngleTerms angleTerms(const SpringAxes& axes, const double* rates) {
    constexpr double k = kRadiansPerDegree;
    AngleTerms t;
    // thetaY: G = [n]x with n = (cos2, -sin2, 0), s = -k.
    t.c[0][0] = 0.0;
    t.c[0][1] = static_cast<double>(L(k) * axes.sin2 * (L(rates[2]) - rates[0]));
    t.c[0][2] = static_cast<double>(L(k) * axes.cos2 * (L(rates[2]) - rates[1]));
    // thetaZ: G = [e_z]x, s = k.
    t.c[1][0] = static_cast<double>(L(k) * (L(rates[0]) - rates[1]));
    t.c[1][1] = t.c[1][2] = 0.0;
    return t;
}

/// C v for the symmetric C of the three off-diagonal elements c.
void angleTimes(const double* c, const double* v, double* r) {
    r[0] = static_cast<double>(L(c[0]) * v[1] + L(c[1]) * v[2]);
    r[1] = static_cast<double>(L(c[0]) * v[0] + L(c[2]) * v[2]);
    r[2] = static_cast<double>(L(c[1]) * v[0] + L(c[2]) * v[1]);
}

/// What the modal derivatives of every parameter share.
struct ModalData {
    double psi[6][6]; ///< [mode][dof], mass-normalised: psi^T M psi = 1
    double lambda[6]; ///< [1/s^2]
    double frequency[6];
    /// df_q / d(psi_q^T dK psi_q): f / (2 lambda) [Hz s^2]; NaN without a derivative.
    double frequencyScale[6];
    /// dE_q / d(psi_l^T dK psi_q) [% s^2] of mode q for the five other modes l in
    /// order (kOtherPairs); NaN when mode q has none.
    double shapeWeight[6][5];
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
    L gap[6][6]; // 1 / (lambda_q - lambda_l)
    for (int q = 0; q < 6; ++q)
        for (int l = q + 1; l < 6; ++l) {
            gap[q][l] = 1.0L / (L(d.lambda[q]) - d.lambda[l]);
            gap[l][q] = -gap[q][l];
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
        int n = 0;
        for (int l = 0; l < 6; ++l)
            if (l != q)
                d.shapeWeight[q][n++] =
                    repeated ? kNaN
                             : static_cast<double>(
                                   100.0L * (L(d.psi[l][k]) * g[q][k] + L(d.psi[q][k]) * g[l][k]) *
                                   gap[q][l]);
    }
    return d;
}

/// The twelve modal outputs of one parameter from its 21 pair terms
/// B_lq = psi_l^T (dK/dp) psi_q.
void modalRow(const ModalData& d, const double* pairs, double* out) {
    for (int q = 0; q < 6; ++q) {
        out[kFrequencyColumn + q] = d.frequencyScale[q] * pairs[kPairOf[q][q]];
        const int* others = kOtherPairs[q];
        const double* weight = d.shapeWeight[q];
        const L sum = L(weight[0]) * pairs[others[0]] + L(weight[1]) * pairs[others[1]] +
                      L(weight[2]) * pairs[others[2]] + L(weight[3]) * pairs[others[3]] +
                      L(weight[4]) * pairs[others[4]];
        out[kDecouplingColumn + q] = static_cast<double>(sum);
    }
}

/// Where each parameter's row is (-1 for a parameter not asked for), which
/// characteristic each spring is bound to and the axes of each spring that
/// matters, found once: the passes over the springs then take constant time per
/// spring.
struct RowIndex {
    std::vector<int> spring;               ///< kSpringParameters per spring
    std::vector<int> characteristic;       ///< 3 per characteristic
    std::vector<bool> rates;               ///< per characteristic: some rate asked for
    std::vector<int> springCharacteristic; ///< per spring: index of its characteristic, or -1
    std::vector<SpringAxes> axes;          ///< per spring; set where `needed`
    std::vector<bool> needed; ///< per spring: bound to a characteristic and some row depends on it
};

/// Ids and indices sorted by id, the first index of an id first.
using IdIndex = std::vector<std::pair<int, int>>;

template <class Element> IdIndex idIndex(const std::vector<Element>& elements) {
    IdIndex index;
    index.reserve(elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i)
        index.emplace_back(elements[i].id, static_cast<int>(i));
    std::sort(index.begin(), index.end());
    return index;
}

/// The first element with the id (as findCharacteristic finds it), or -1.
int find(const IdIndex& index, int id) {
    const auto it = std::lower_bound(index.begin(), index.end(), std::pair(id, -1));
    return it != index.end() && it->first == id ? it->second : -1;
}

RowIndex rowIndex(const AnalysisModel& model, const std::vector<SensitivityParameter>& parameters) {
    RowIndex index;
    const IdIndex characteristics = idIndex(model.springCharacteristics);
    const IdIndex springs = idIndex(model.springs);
    const std::size_t springCount = model.springs.size();
    index.spring.assign(springCount * kSpringParameters, -1);
    index.characteristic.assign(model.springCharacteristics.size() * 3, -1);
    index.rates.assign(model.springCharacteristics.size(), false);
    index.springCharacteristic.reserve(springCount);
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
    index.axes.resize(springCount);
    index.needed.assign(springCount, false);
    for (std::size_t s = 0; s < springCount; ++s) {
        const int c = index.springCharacteristic[s];
        bool needed = c >= 0 && index.rates[static_cast<std::size_t>(c)];
        for (int k = 0; k < kSpringParameters; ++k)
            needed =
                needed || index.spring[s * kSpringParameters + static_cast<std::size_t>(k)] >= 0;
        // A tabled spring moves every mode's frequency with the frequency itself.
        needed = needed ||
                 (c >= 0 &&
                  !model.springCharacteristics[static_cast<std::size_t>(c)].frequencyTable.empty());
        // Without a characteristic a spring adds nothing: its rows stay 0.
        if (needed && c >= 0) {
            index.needed[s] = true;
            index.axes[s] = springAxes(model.springs[s]);
        }
    }
    return index;
}

/// The modal columns (frequencies and decoupling rates, columns 0-11) of every row
/// into `out`, a row of `width` per parameter, for the system whose modes `d`
/// holds: every mode of it with the rates at `frequency` [Hz]. `perHertz` gets the
/// same twelve outputs' derivatives by that frequency with the parameters held.
void modalDerivatives(const AnalysisModel& model, const ModalData& d, const RowIndex& rows,
                      double frequency, double* out, std::size_t width, double* perHertz,
                      std::atomic<std::int64_t>* progress) {
    auto rowOut = [&](int row) { return out + static_cast<std::size_t>(row) * width; };
    // Pair terms of each asked-for rate, summed over the springs bound to it.
    std::vector<L> rateTerms(model.springCharacteristics.size() * 3 * kPairs, 0.0L);
    // psi_a^T (dK/df) psi_b: how the frequency the rates are taken at moves them.
    L frequencyTerms[kPairs] = {};
    const double* cog = model.centreOfGravity.data();
    for (std::size_t s = 0; s < model.springs.size(); ++s) {
        if (progress)
            progress->fetch_add(1, std::memory_order_relaxed);
        if (!rows.needed[s])
            continue;
        const SpringElement& spring = model.springs[s];
        const int ci = rows.springCharacteristic[s];
        const SpringCharacteristic* c = &model.springCharacteristics[static_cast<std::size_t>(ci)];
        const SpringAxes& axes = rows.axes[s];
        const double r[3] = {spring.position[0] - cog[0], spring.position[1] - cog[1],
                             spring.position[2] - cog[2]};
        // The rates every mode of the system sees, with their derivatives by the
        // static rates and by the frequency, and the angle terms they make.
        DynamicRate rate[3];
        double rates[3];
        for (int a = 0; a < 3; ++a) {
            rate[a] = dynamicRate(*c, a, frequency);
            rates[a] = rate[a].rate;
        }
        const AngleTerms angles = angleTerms(axes, rates);
        const bool tabled =
            rate[0].perHertz != 0.0 || rate[1].perHertz != 0.0 || rate[2].perHertz != 0.0;
        // Per mode: the mounting point's motion in local axes (l) and the global
        // force of the rates on it (w).
        double l[6][3], w[6][3];
        for (int q = 0; q < 6; ++q) {
            const double* psi = d.psi[q];
            double motion[3], fl[3];
            cross(psi + 3, r, motion);
            for (int i = 0; i < 3; ++i)
                motion[i] += psi[i];
            transposedTimes(axes.j, motion, l[q]);
            for (int a = 0; a < 3; ++a)
                fl[a] = rates[a] * l[q][a];
            times(axes.j, fl, w[q]);
        }
        double position[3][kPairs], thetaY[kPairs], thetaZ[kPairs];
        L* rateRow = rows.rates[static_cast<std::size_t>(ci)]
                         ? rateTerms.data() + static_cast<std::size_t>(ci) * 3 * kPairs
                         : nullptr;
        const L y02 = angles.c[0][1], y12 = angles.c[0][2], z01 = angles.c[1][0];
        for (int a = 0, p = 0; a < 6; ++a) {
            for (int b = a; b < 6; ++b, ++p) {
                // d(motion)/d(r_i) = psi_r x e_i: psi_a^T dK psi_b = e_i . (w_b x psi_ra +
                // w_a x psi_rb).
                const double *wa = w[a], *wb = w[b], *ra = d.psi[a] + 3, *rb = d.psi[b] + 3;
                position[0][p] = static_cast<double>(L(wb[1]) * ra[2] - L(wb[2]) * ra[1] +
                                                     L(wa[1]) * rb[2] - L(wa[2]) * rb[1]);
                position[1][p] = static_cast<double>(L(wb[2]) * ra[0] - L(wb[0]) * ra[2] +
                                                     L(wa[2]) * rb[0] - L(wa[0]) * rb[2]);
                position[2][p] = static_cast<double>(L(wb[0]) * ra[1] - L(wb[1]) * ra[0] +
                                                     L(wa[0]) * rb[1] - L(wa[1]) * rb[0]);
                // l_a^T C l_b: thetaY has C02 and C12, thetaZ C01.
                const double *la = l[a], *lb = l[b];
                thetaY[p] = static_cast<double>(y02 * (L(la[0]) * lb[2] + L(la[2]) * lb[0]) +
                                                y12 * (L(la[1]) * lb[2] + L(la[2]) * lb[1]));
                thetaZ[p] = static_cast<double>(z01 * (L(la[0]) * lb[1] + L(la[1]) * lb[0]));
                if (rateRow)
                    for (int dir = 0; dir < 3; ++dir)
                        rateRow[dir * kPairs + p] +=
                            L(rate[dir].perStaticRate) * l[a][dir] * l[b][dir];
                if (tabled)
                    for (int dir = 0; dir < 3; ++dir)
                        frequencyTerms[p] += L(rate[dir].perHertz) * l[a][dir] * l[b][dir];
            }
        }
        const int* springRows = rows.spring.data() + s * kSpringParameters;
        for (int k = 0; k < kSpringParameters; ++k)
            if (springRows[k] >= 0)
                modalRow(d, k < 3 ? position[k] : k == 3 ? thetaY : thetaZ, rowOut(springRows[k]));
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
    double pairs[kPairs];
    for (int p = 0; p < kPairs; ++p)
        pairs[p] = static_cast<double>(frequencyTerms[p]);
    modalRow(d, pairs, perHertz);
}

/// The modal columns of a model with frequency tables. Mode q is the fixed point
/// f_q = F_q(f_q, p) of the system whose tabled rates are taken at f: its
/// derivatives are those of that system at f_q (all six of its modes, for the
/// shape) with the frequency held, F_p and E_p, then carried through the fixed
/// point: df_q/dp = F_p / (1 - F_f), dE_q/dp = E_p + E_f df_q/dp.
void ownFrequencyDerivatives(const AnalysisModel& model, const ModalSolution& modes,
                             const std::array<int, 6>& dominant, const RowIndex& rows,
                             Sensitivities& result, std::atomic<std::int64_t>* progress) {
    const std::size_t width = static_cast<std::size_t>(result.outputs);
    const std::size_t count = result.parameters.size();
    const PrincipalAxes principal = principalInertiaAxes(model.inertia);
    constexpr std::size_t kModal = kStaticColumn;
    std::vector<double> held(count * kModal);
    for (int q = 0; q < 6; ++q) {
        const double f = modes.frequencies[5 - q];
        const ModalSolution system = solveModesAtFrequency(model, principal, f);
        double lambda[6], frequency[6];
        for (int k = 0; k < 6; ++k) {
            lambda[k] = system.eigenvalues[5 - k];
            frequency[k] = system.frequencies[5 - k];
        }
        const ModalData d = modalData(model, system, dominant, modeGroups(lambda, frequency));
        double perHertz[kModal];
        modalDerivatives(model, d, rows, f, held.data(), kModal, perHertz, progress);
        const L factor = 1.0L / (1.0L - L(perHertz[kFrequencyColumn + q]));
        const L shapePerHertz = perHertz[kDecouplingColumn + q];
        for (std::size_t row = 0; row < count; ++row) {
            const double* from = held.data() + row * kModal;
            double* to = result.derivative.data() + row * width;
            const L df = L(from[kFrequencyColumn + q]) * factor;
            to[kFrequencyColumn + q] = static_cast<double>(df);
            to[kDecouplingColumn + q] =
                static_cast<double>(L(from[kDecouplingColumn + q]) + shapePerHertz * df);
        }
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

/// K^-1 (row-major) from the factors of luFactorise of a 6 x 6 K: the columns
/// substituted with one reciprocal per pivot.
void inverseFromFactors(const double* lu, const int* perm, double* inverse) {
    L reciprocal[6];
    for (int i = 0; i < 6; ++i)
        reciprocal[i] = 1.0L / lu[i * 7];
    for (int c = 0; c < 6; ++c) {
        // The permuted unit vector is 0 before its one: so is the forward solution.
        int position = 0;
        while (perm[position] != c)
            ++position;
        L x[6] = {};
        x[position] = 1.0L;
        for (int j = position + 1; j < 6; ++j) {
            L sum = 0.0L;
            for (int m = position; m < j; ++m)
                sum -= L(lu[j * 6 + m]) * x[m];
            x[j] = sum;
        }
        for (int i = 5; i >= 0; --i) {
            L sum = x[i];
            for (int m = i + 1; m < 6; ++m)
                sum -= L(lu[i * 6 + m]) * x[m];
            x[i] = sum * reciprocal[i];
        }
        for (int i = 0; i < 6; ++i)
            inverse[i * 6 + c] = static_cast<double>(x[i]);
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
    double k[36], inverse[36];
    int perm[6];
    const double* factorised = nullptr;
    for (std::size_t i = 0; i < model.staticLoads.size(); ++i) {
        const StaticLoad& load = model.staticLoads[i];
        const int column = kStaticColumn + 6 * static_cast<int>(i);
        const double* at = load.position.data();
        // The static analysis's own arithmetic: the system about the load's position,
        // its solution carried to the CoG. Loads at one point (the centre of gravity,
        // often) share the system's factors and inverse.
        if (!factorised || !std::equal(at, at + 3, factorised)) {
            springs.assemble(blocks.data(), at, detail::kGlobalFrame, k);
            detail::luFactorise(k, 6, perm);
            inverseFromFactors(k, perm, inverse);
            factorised = at;
        }
        const Matrix f = loadVector(load);
        double u[6];
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
        // dy = S (dK u) with S = -[I G; 0 I] K^-1, G carrying the rotations' change
        // of the translation to the CoG.
        const double o[3] = {cog[0] - at[0], cog[1] - at[1], cog[2] - at[2]};
        double transfer[9], sm[36];
        transferJacobian(u + 3, o, transfer);
        for (int c = 0; c < 6; ++c) {
            for (int j = 0; j < 3; ++j) {
                const L carried = L(transfer[3 * j]) * inverse[18 + c] +
                                  L(transfer[3 * j + 1]) * inverse[24 + c] +
                                  L(transfer[3 * j + 2]) * inverse[30 + c];
                sm[j * 6 + c] = -static_cast<double>(inverse[j * 6 + c] + carried);
                sm[(3 + j) * 6 + c] = -inverse[(3 + j) * 6 + c];
            }
        }
        std::fill(rateTerms.begin(), rateTerms.end(), 0.0L);
        for (std::size_t s = 0; s < springCount; ++s) {
            if (progress)
                progress->fetch_add(1, std::memory_order_relaxed);
            if (!rows.needed[s])
                continue;
            const SpringElement& spring = model.springs[s];
            const int ci = rows.springCharacteristic[s];
            const Matrix& rates =
                model.springCharacteristics[static_cast<std::size_t>(ci)].stiffness;
            const SpringAxes& axes = rows.axes[s];
            const double r[3] = {spring.position[0] - at[0], spring.position[1] - at[1],
                                 spring.position[2] - at[2]};
            // A force g at the spring acts on the body as [g; r x g]: its effect is
            // A g with A = S [I; [r]x] (6 x 3, row-major).
            double a[18];
            for (int j = 0; j < 6; ++j) {
                const double* row = sm + 6 * j;
                a[3 * j] = static_cast<double>(L(row[0]) + L(row[4]) * r[2] - L(row[5]) * r[1]);
                a[3 * j + 1] = static_cast<double>(L(row[1]) + L(row[5]) * r[0] - L(row[3]) * r[2]);
                a[3 * j + 2] = static_cast<double>(L(row[2]) + L(row[3]) * r[1] - L(row[4]) * r[0]);
            }
            // A g plus S applied to a pure moment m, into the row's static columns.
            auto emit = [&](int row, const double* g, const double* m) {
                double* out = result.derivative.data() + static_cast<std::size_t>(row) * width +
                              static_cast<std::size_t>(column);
                for (int j = 0; j < 6; ++j) {
                    L sum = dot3(a + 3 * j, g);
                    if (m)
                        sum += dot3(sm + 6 * j + 3, m);
                    out[j] = static_cast<double>(sum);
                }
            };
            // The mounting point's motion (global, and local l) and the static force on
            // it, global, from the spring's static stiffness k (global, the engine's own).
            const double* ks = blocks.data() + 9 * s;
            double motion[3], l[3], fg[3];
            cross(u + 3, r, motion);
            for (int b = 0; b < 3; ++b)
                motion[b] += u[b];
            transposedTimes(axes.j, motion, l);
            times(ks, motion, fg);
            if (rows.rates[static_cast<std::size_t>(ci)]) {
                // dK/dk_dir u: the force l_dir along the spring's axis dir, gathered
                // over the characteristic's springs as a force and moment about the load.
                L* terms = rateTerms.data() + static_cast<std::size_t>(ci) * 18;
                for (int dir = 0; dir < 3; ++dir) {
                    const double g[3] = {axes.j[dir] * l[dir], axes.j[3 + dir] * l[dir],
                                         axes.j[6 + dir] * l[dir]};
                    double m[3];
                    cross(r, g, m);
                    for (int b = 0; b < 3; ++b) {
                        terms[6 * dir + b] += g[b];
                        terms[6 * dir + 3 + b] += m[b];
                    }
                }
            }
            const int* springRows = rows.spring.data() + s * kSpringParameters;
            for (int b = 0; b < 3; ++b) {
                if (springRows[b] < 0)
                    continue;
                // d(motion)/d(r_b) = u_r x e_b, and the force's moment arm moves: the
                // moment e_b x fg.
                const double e[3] = {double(b == 0), double(b == 1), double(b == 2)};
                double dm[3], h[3], arm[3];
                cross(u + 3, e, dm);
                times(ks, dm, h);
                cross(e, fg, arm);
                emit(springRows[b], h, arm);
            }
            if (springRows[3] >= 0 || springRows[4] >= 0) {
                // dk motion = J C J^T motion = J C l.
                const AngleTerms terms = angleTerms(axes, rates.data());
                for (int angle = 0; angle < 2; ++angle) {
                    const int row = springRows[3 + angle];
                    if (row < 0)
                        continue;
                    double cl[3], g[3];
                    angleTimes(terms.c[angle], l, cl);
                    times(axes.j, cl, g);
                    emit(row, g, nullptr);
                }
            }
        }
        for (std::size_t c = 0; c < model.springCharacteristics.size(); ++c) {
            for (int dir = 0; dir < 3; ++dir) {
                const int row = rows.characteristic[3 * c + static_cast<std::size_t>(dir)];
                if (row < 0)
                    continue;
                const L* change = rateTerms.data() + c * 18 + 6 * dir;
                double* out = result.derivative.data() + static_cast<std::size_t>(row) * width +
                              static_cast<std::size_t>(column);
                for (int j = 0; j < 6; ++j) {
                    L sum = 0.0L;
                    for (int m = 0; m < 6; ++m)
                        sum += L(sm[6 * j + m]) * change[m];
                    out[j] = static_cast<double>(sum);
                }
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

DynamicRate dynamicRate(const SpringCharacteristic& characteristic, int direction,
                        double frequency) {
    const double k = characteristic.stiffness[direction];
    const FrequencyTable& table = characteristic.frequencyTable;
    if (table.empty())
        return {k * characteristic.dynamicFactor, characteristic.dynamicFactor, 0.0};
    const double ratio = tableValuesAt(table, frequency).ratio[static_cast<std::size_t>(direction)];
    // The slope of the interval the interpolation takes its rows from: at a row
    // the one above it; below the first row and from the last row on, none.
    double slope = 0.0;
    if (frequency >= table.front().f && frequency < table.back().f) {
        const auto above =
            std::upper_bound(table.begin(), table.end(), frequency,
                             [](double x, const FrequencyTableRow& row) { return x < row.f; });
        const FrequencyTableRow& lo = *(above - 1);
        const std::size_t d = static_cast<std::size_t>(direction);
        // r is linear in ln f: dr/df = (dr / d ln f) / f.
        slope = (above->ratio[d] - lo.ratio[d]) / std::log(above->f / lo.f) / frequency;
    }
    return {k * ratio, ratio, k * slope};
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
    // With tables every mode has a system of its own.
    const std::int64_t systems = model.usesFrequencyTables() ? 6 : 1;
    return static_cast<std::int64_t>(model.springs.size()) *
           (systems + static_cast<std::int64_t>(model.staticLoads.size()));
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
    const RowIndex rows = rowIndex(model, parameters);
    if (model.usesFrequencyTables()) {
        ownFrequencyDerivatives(model, modes, result.dominant, rows, result, progress);
    } else {
        const ModalData d = modalData(model, modes, result.dominant, groups);
        double perHertz[kStaticColumn];
        modalDerivatives(model, d, rows, 0.0, result.derivative.data(), width, perHertz, progress);
    }
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
    // Not a number where y is 0 or not finite (and so wherever dy is not).
    std::vector<double> reciprocal(width);
    for (std::size_t o = 0; o < width; ++o)
        reciprocal[o] = result.values[o] == 0.0 || !std::isfinite(result.values[o])
                            ? kNaN
                            : 1.0 / result.values[o];
    for (std::size_t row = 0; row < parameters.size(); ++row) {
        const double p = parameters[row].value == 0.0 ? kNaN : parameters[row].value;
        const double* dy = result.derivative.data() + row * width;
        double* e = result.elasticity.data() + row * width;
        for (std::size_t o = 0; o < width; ++o)
            e[o] = p * reciprocal[o] * dy[o];
    }
    return result;
}

std::array<double, 6> frequencySpread(const AnalysisModel& model, const ModalSolution& modes,
                                      double tolerancePct, double positionTolerance,
                                      RateVariation vary) {
    ParameterChoice choice;
    choice.angles = false;
    // The same system, its varying rates each a characteristic of their own.
    const AnalysisModel varying = varyingModel(model, vary);
    const Sensitivities s = sensitivities(varying, modes, sensitivityParameters(varying, choice));
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
