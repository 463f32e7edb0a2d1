#include "analysis/EigenAnalysis.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/Constants.h"
#include "analysis/SymmetricEigen.h"
#include "analysis/VariantBasis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace quav {

namespace {

long double determinant3(const Matrix& p) {
    const long double a = p(0, 0), b = p(0, 1), c = p(0, 2);
    const long double d = p(1, 0), e = p(1, 1), f = p(1, 2);
    const long double g = p(2, 0), h = p(2, 1), i = p(2, 2);
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
}

/// Index of the element of largest magnitude in column `col` of `m` (rows
/// [0, rows)); the first of equal magnitudes wins.
int dominantRow(const Matrix& m, int col) {
    int best = 0;
    for (int r = 1; r < m.rows(); ++r)
        if (std::fabs(m(r, col)) > std::fabs(m(best, col)))
            best = r;
    return best;
}

void negateColumn(Matrix& m, int col) {
    for (int r = 0; r < m.rows(); ++r)
        m(r, col) = -m(r, col);
}

} // namespace

namespace {

SymmetricEigen eigenSolution(const Matrix& a, EigenPrecision precision) {
    return precision == EigenPrecision::Double ? symmetricEigen(a) : symmetricEigenExtended(a);
}

} // namespace

PrincipalAxes principalInertiaAxes(const Matrix& inertia, EigenPrecision precision) {
    PrincipalAxes result;
    if (inertia(0, 0) == 0.0 || inertia(1, 1) == 0.0 || inertia(2, 2) == 0.0)
        return result;
    const SymmetricEigen e = eigenSolution(inertia, precision);

    // Give each global axis the eigenvector with the largest component along it,
    // largest components first. When every eigenvector has its dominant component on
    // a different axis this is exactly "column i is dominant in row i"; otherwise it
    // still settles each conflict the same way every time.
    int vectorOfAxis[3] = {0, 1, 2};
    bool vectorUsed[3] = {false, false, false};
    bool axisUsed[3] = {false, false, false};
    for (int step = 0; step < 3; ++step) {
        int bestVector = -1, bestAxis = -1;
        double best = -1.0;
        for (int k = 0; k < 3; ++k) {
            for (int r = 0; r < 3; ++r) {
                if (vectorUsed[k] || axisUsed[r])
                    continue;
                const double magnitude = std::fabs(e.vectors(r, k));
                if (bestVector < 0 || magnitude > best) {
                    best = magnitude;
                    bestVector = k;
                    bestAxis = r;
                }
            }
        }
        vectorOfAxis[bestAxis] = bestVector;
        vectorUsed[bestVector] = true;
        axisUsed[bestAxis] = true;
    }
    for (int i = 0; i < 3; ++i) {
        const int k = vectorOfAxis[i];
        for (int r = 0; r < 3; ++r)
            result.axes(r, i) = e.vectors(r, k);
        result.moments(i, i) = e.values[k];
        // Point each axis to the positive side of its global axis.
        const double lead = result.axes(i, i) != 0.0 ? result.axes(i, i)
                                                     : result.axes(dominantRow(result.axes, i), i);
        if (lead < 0.0)
            negateColumn(result.axes, i);
    }
    // With every diagonal element dominant and positive the trace exceeds 1, so P is
    // a proper rotation (a reflection has trace <= 1). Should a conflict ever leave a
    // reflection, the axis least aligned with its global axis is reversed: in a
    // left-handed frame every spring's moment arm would act the wrong way round.
    if (determinant3(result.axes) < 0.0L) {
        int weakest = 0;
        for (int i = 1; i < 3; ++i)
            if (std::fabs(result.axes(i, i)) < std::fabs(result.axes(weakest, weakest)))
                weakest = i;
        negateColumn(result.axes, weakest);
    }
    result.valid = true;
    return result;
}

namespace {

/// The symmetric system Dm^-1/2 K' Dm^-1/2 in the principal inertia frame, with
/// what maps its vectors back to global DOFs.
struct ModalSystem {
    bool valid = false;    ///< the principal axes are set
    bool definite = false; ///< the mass matrix is positive or negative definite
    long double massSign = 1.0L;
    long double scale[6] = {};
    /// P Dm^-1/2 in two 3 x 3 blocks (translations, rotations), row-major: takes a
    /// vector of the system to global DOFs.
    double map[2][9] = {};
    double c[36] = {}; ///< row-major, both triangles
};

/// The system of `model` into `system` (which starts as a default ModalSystem).
void fillModalSystem(const AnalysisModel& model, const PrincipalAxes& principal,
                     const detail::SpringSet& springs, ModalSystem& system) {
    if (!principal.valid)
        return;
    system.valid = true;
    const Matrix& p = principal.axes;
    // P is orthonormal, so its transpose is its inverse, exactly to rounding.
    double frame[9];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            frame[r * 3 + c] = p(c, r);
    detail::SpringBlocks blocks(springs);
    springs.springMatrices(frame, false, true, blocks.data());
    double k[36];
    springs.assemble(blocks.data(), model.centreOfGravity.data(), frame, k);

    const double d[6] = {model.mass,
                         model.mass,
                         model.mass,
                         principal.moments(0, 0),
                         principal.moments(1, 1),
                         principal.moments(2, 2)};
    // A negative definite mass matrix mirrors every eigenvalue: M^-1 K = (-M)^-1 (-K).
    // A mass matrix of mixed signs has no real modes at all.
    bool allPositive = true, allNegative = true;
    for (double x : d) {
        allPositive = allPositive && x > 0.0;
        allNegative = allNegative && x < 0.0;
    }
    if (!allPositive && !allNegative)
        return;
    system.definite = true;
    system.massSign = allPositive ? 1.0L : -1.0L;
    for (int i = 0; i < 6; ++i)
        system.scale[i] = 1.0L / std::sqrt(std::fabs(static_cast<long double>(d[i])));
    for (int block = 0; block < 2; ++block)
        for (int r = 0; r < 3; ++r)
            for (int m = 0; m < 3; ++m)
                system.map[block][r * 3 + m] =
                    static_cast<double>(p(r, m) * system.scale[3 * block + m]);
    for (int i = 0; i < 6; ++i)
        for (int j = i; j < 6; ++j)
            system.c[i * 6 + j] = system.c[j * 6 + i] =
                static_cast<double>(k[i * 6 + j] * system.scale[i] * system.scale[j]);
}

ModalSystem modalSystem(const AnalysisModel& model, const PrincipalAxes& principal,
                        const detail::SpringSet& springs) {
    ModalSystem system;
    fillModalSystem(model, principal, springs, system);
    return system;
}

/// Storage order: descending |lambda|, then descending lambda, then solver order.
/// An insertion sort stays well defined even for NaN (which keeps its place).
void storageOrder(const double (&lambda)[6], int (&order)[6]) {
    for (int i = 0; i < 6; ++i)
        order[i] = i;
    auto before = [&lambda](int a, int b) {
        const double ma = std::fabs(lambda[a]), mb = std::fabs(lambda[b]);
        return ma > mb || (ma == mb && lambda[a] > lambda[b]);
    };
    for (int i = 1; i < 6; ++i) {
        const int key = order[i];
        int j = i - 1;
        while (j >= 0 && before(key, order[j])) {
            order[j + 1] = order[j];
            --j;
        }
        order[j + 1] = key;
    }
}

double frequencyOf(double lambda) {
    return std::sqrt(std::fabs(lambda)) * kHertzPerRadian;
}

} // namespace

namespace {

/// All results NaN: a mass matrix of mixed signs has no real modes.
ModalSolution undefinedModes() {
    ModalSolution result;
    result.valid = true;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < 6; ++i) {
        result.eigenvalues[i] = nan;
        result.frequencies[i] = nan;
        for (int j = 0; j < 6; ++j)
            result.modeShapes(i, j) = nan;
    }
    return result;
}

/// The modes from the solution of a definite system's C: eigenvalue j on the
/// diagonal of w, its vector y in row j of vt; x = Dm^-1/2 y rotated by P,
/// normalised and signed, in storage order: eigenvalues and frequencies (6 each)
/// and the mode shapes (6 x 6, row-major, a mode a column).
void modesInto(const ModalSystem& system, const double* w, const double* vt, double* eigenvalues,
               double* frequencies, double* modeShapes) {
    // Mode vectors in global DOFs, normalised and signed, in the solver's order.
    double shapes[6][6]; // shapes[j]: mode j
    double lambda[6];
    for (int j = 0; j < 6; ++j) {
        lambda[j] = static_cast<double>(system.massSign * w[j * 7]);
        const double* y = vt + j * 6;
        // Each element's sum stays in a register; only its rounded value is kept.
        double g[6];
        long double norm2 = 0.0L;
        for (int block = 0; block < 2; ++block) {
            const double* map = system.map[block];
            const long double y0 = y[3 * block], y1 = y[3 * block + 1], y2 = y[3 * block + 2];
            for (int r = 0; r < 3; ++r) {
                const long double sum =
                    0.0L + map[r * 3] * y0 + map[r * 3 + 1] * y1 + map[r * 3 + 2] * y2;
                g[3 * block + r] = static_cast<double>(sum);
                norm2 += sum * sum;
            }
        }
        // One division per mode; the product with the wide reciprocal rounds as the
        // quotient would, but for an occasional last bit.
        const long double inverse = 1.0L / std::sqrt(norm2);
        // The largest element (the first of equal magnitudes) positive.
        int big = 0;
        for (int i = 0; i < 6; ++i) {
            shapes[j][i] = static_cast<double>(g[i] * inverse);
            if (std::fabs(shapes[j][i]) > std::fabs(shapes[j][big]))
                big = i;
        }
        if (shapes[j][big] < 0.0)
            for (double& e : shapes[j])
                e = -e;
    }

    int order[6];
    storageOrder(lambda, order);
    for (int s = 0; s < 6; ++s) {
        const int j = order[s];
        eigenvalues[s] = lambda[j];
        frequencies[s] = frequencyOf(lambda[j]);
        for (int i = 0; i < 6; ++i)
            modeShapes[i * 6 + s] = shapes[j][i];
    }
}

/// A rounding of double precision.
constexpr double kRounding = std::numeric_limits<double>::epsilon() / 2.0;

/// The bound on each element of a unit shape x = P Dm^-1/2 y mapped back in double
/// precision, against the calculation's wide mapping of the same y, `spread` the
/// ratio of the largest scale to the smallest: each element differs by a few
/// roundings of terms no larger than the largest scale times |y|, while |x| is at
/// least the smallest scale times |y|, and normalising doubles the relative
/// difference. About 15 (1 + spread) roundings in all: eight times that.
constexpr double mappingError(double spread) {
    return 128.0 * kRounding * (1.0 + spread);
}

/// modesInto's eigenvalue order and frequencies, with the shapes mapped back in
/// double precision and left unsigned.
void estimateModes(const ModalSystem& system, const double* w, const double* vt,
                   ModesEstimate& estimate) {
    double shapes[6][6];
    double lambda[6];
    for (int j = 0; j < 6; ++j) {
        lambda[j] = static_cast<double>(system.massSign * w[j * 7]);
        const double* y = vt + j * 6;
        double g[6];
        double norm2 = 0.0;
        for (int block = 0; block < 2; ++block) {
            const double* map = system.map[block];
            for (int r = 0; r < 3; ++r) {
                const double e = map[r * 3] * y[3 * block] + map[r * 3 + 1] * y[3 * block + 1] +
                                 map[r * 3 + 2] * y[3 * block + 2];
                g[3 * block + r] = e;
                norm2 += e * e;
            }
        }
        const double inverse = 1.0 / std::sqrt(norm2);
        for (int i = 0; i < 6; ++i)
            shapes[j][i] = g[i] * inverse;
    }
    int order[6];
    storageOrder(lambda, order);
    for (int s = 0; s < 6; ++s) {
        const int j = order[s];
        estimate.frequencies[s] = frequencyOf(lambda[j]);
        for (int i = 0; i < 6; ++i)
            estimate.shapes[i * 6 + s] = shapes[j][i];
    }
    long double smallest = system.scale[0], largest = system.scale[0];
    for (long double s : system.scale) {
        smallest = std::min(smallest, s);
        largest = std::max(largest, s);
    }
    const double error = mappingError(static_cast<double>(largest / smallest));
    for (int s = 0; s < 6; ++s) {
        estimate.shapeError[s] = error;
        estimate.frequencyError[s] = 0.0;
    }
}

ModalSolution modesFrom(const ModalSystem& system, const double* w, const double* vt) {
    ModalSolution result;
    result.valid = true;
    modesInto(system, w, vt, result.eigenvalues.data(), result.frequencies.data(),
              result.modeShapes.data());
    return result;
}

/// The modes of a modal system, its C solved alone.
ModalSolution modesOf(const ModalSystem& system, EigenPrecision precision) {
    if (!system.valid)
        return ModalSolution{};
    if (!system.definite)
        return undefinedModes();
    // Eigenvalue j on the diagonal of w, its vector in row j of vt.
    double w[36], vt[36];
    if (precision == EigenPrecision::Double) {
        std::copy(system.c, system.c + 36, w);
        symmetricEigenRows(w, vt, 6);
    } else {
        Matrix c(6, 6);
        std::copy(system.c, system.c + 36, c.data());
        const SymmetricEigen e = symmetricEigenExtended(c);
        for (int j = 0; j < 6; ++j) {
            w[j * 7] = e.values[j];
            for (int i = 0; i < 6; ++i)
                vt[j * 6 + i] = e.vectors(i, j);
        }
    }
    return modesFrom(system, w, vt);
}

void storeModes(AnalysisModel& model, ModalSolution& modes) {
    model.eigenFrequencies = std::move(modes.frequencies);
    model.modeShapes = std::move(modes.modeShapes);
}

} // namespace

ModalSolution solveModes(const AnalysisModel& model, EigenPrecision precision) {
    return solveModes(model, principalInertiaAxes(model.inertia, precision), precision);
}

ModalSolution solveModes(const AnalysisModel& model, const PrincipalAxes& principal,
                         EigenPrecision precision) {
    return modesOf(modalSystem(model, principal, detail::SpringSet(model)), precision);
}

FrequencyCount::FrequencyCount(const AnalysisModel& model, const PrincipalAxes& principal,
                               const VariantBasis* basis) {
    const ModalSystem system = modalSystem(model, principal, detail::SpringSet(model, basis));
    if (!system.valid || !system.definite)
        return;
    // The largest absolute row sum bounds the 2-norm of the symmetric C; 1e-12
    // covers the rounding of the sums.
    std::copy(system.c, system.c + 36, c_);
    double largest = 0.0;
    for (int i = 0; i < 6; ++i) {
        double row = 0.0;
        for (int j = 0; j < 6; ++j)
            row += std::fabs(c_[i * 6 + j]);
        if (!(row <= largest)) // NaN too
            largest = row;
    }
    norm_ = largest * (1.0 + 1e-12);
    usable_ = std::isfinite(norm_);
}

namespace {

using Pivots = detail::CountPivots;

/// Right-looking LDL^T of the lower triangle of C - xI without pivoting, for N
/// systems side by side: element e of system l at c[e * N + l], its norm at
/// norm[l]. Every system gets the operations the single one does, in its order.
template <int N>
[[gnu::always_inline]] inline void factorise(const double* c, const double* norm, double x,
                                             Pivots* result) {
    double a[36][N];
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j <= i; ++j)
            for (int l = 0; l < N; ++l)
                a[i * 6 + j][l] = i == j ? c[(i * 6 + j) * N + l] - x : c[(i * 6 + j) * N + l];
    int negative[N] = {};
    double d[6][N];
    double spread[6][N] = {}; // the diagonal of |L| |D| |L^T|: sum of l_ik^2 |d_k|
    for (int k = 0; k < 6; ++k) {
        double inverse[N];
        for (int l = 0; l < N; ++l) {
            const double dk = a[k * 7][l];
            d[k][l] = dk;
            negative[l] += dk < 0.0;
            spread[k][l] += std::fabs(dk);
            inverse[l] = 1.0 / dk;
        }
        for (int i = k + 1; i < 6; ++i) {
            double multiplier[N];
            for (int l = 0; l < N; ++l) {
                const double w = a[i * 6 + k][l];
                const double m = w * inverse[l];
                spread[i][l] += std::fabs(m * w);
                multiplier[l] = m;
            }
            for (int j = k + 1; j <= i; ++j)
                for (int l = 0; l < N; ++l)
                    a[i * 6 + j][l] -= multiplier[l] * a[j * 6 + k][l];
        }
    }
    // The computed factors are exact for C - xI + E, E symmetric with |E| <=
    // gamma_8 |L||D||L^T| (the rounding of each pivot's sums, of its reciprocal and
    // of its multipliers), so the signs count the eigenvalues of C + E below x
    // exactly, and ||E|| (at most the trace of the non-negative definite
    // |L||D||L^T|) bounds how far each of them is from the eigenvalue of C it
    // stands for. A small pivot shows here: it makes large multipliers. 16
    // roundoffs cover gamma_8 and the rounding of these sums.
    //
    // prod |mu_i - x| is the product of the pivots and no factor exceeds R: every
    // mu lies at least prod |d| / R^5 from x. The quotients keep the product in
    // range; 1e-12 covers their rounding. NaN and infinity leave 0 or NaN.
    //
    // Each quantity in a loop over the systems of its own, so that they fill
    // vector registers; the pivots are written out last.
    double backward[N], r[N], product[N];
    for (int l = 0; l < N; ++l) {
        double trace = 0.0;
        for (int k = 0; k < 6; ++k)
            trace += spread[k][l];
        backward[l] = 0x1p-49 * trace;
        r[l] = (norm[l] + std::fabs(x) + backward[l]) * (1.0 + 1e-12);
        product[l] = r[l];
    }
    for (int k = 0; k < 6; ++k)
        for (int l = 0; l < N; ++l)
            product[l] *= std::fabs(d[k][l]) / r[l];
    for (int l = 0; l < N; ++l)
        result[l] = {negative[l], backward[l], product[l] * (1.0 - 1e-12)};
}

} // namespace

Pivots FrequencyCount::pivots(double x) const {
    for (int i = 0; i < known_; ++i)
        if (knownShift_[i] == x)
            return knownPivots_[i];
    Pivots at;
    factorise<1>(c_, &norm_, x, &at);
    return at;
}

namespace {

/// The solution's eigenvalues lie within a few hundred roundoffs of the norm of
/// C's: a margin of 1e-9 of the norms holds them, and the relative 1e-12 by which
/// a frequency's rounding could carry it across a threshold, with room to spare.
double countMargin(double norm, double x) {
    return 1e-9 * (norm + std::fabs(x));
}

/// A count is exact once no eigenvalue of C lies within the margin of x. A system
/// assembled apart from the calculation's lies within `assembly` of it, and so
/// does each of its eigenvalues (Weyl): that distance is added to the
/// factorisation's own.
bool exactCount(const Pivots& at, double assembly, double margin) {
    return at.distance > at.backward + assembly + margin;
}

} // namespace

FrequencyCount::Range FrequencyCount::eigenvaluesBelow(double x) const {
    const double margin = countMargin(norm_, x);
    const Pivots at = pivots(x);
    if (exactCount(at, assembly_, margin))
        return {at.negative, at.negative};
    // The product cannot tell when several eigenvalues lie near x (or one lies on
    // it). Counts 2 margins either side, each factorisation within a margin of C,
    // hold the eigenvalues certainly below x and those that may be.
    Range range{0, 6};
    const Pivots below = pivots(x - 2.0 * margin);
    if (below.backward + assembly_ <= margin)
        range.low = below.negative;
    const Pivots above = pivots(x + 2.0 * margin);
    if (above.backward + assembly_ <= margin)
        range.high = above.negative;
    range.high = std::max(range.low, range.high);
    return range;
}

double FrequencyCount::shift(double frequency) {
    // A frequency is sqrt(|lambda|) / 2 pi: those below f are the eigenvalues in
    // (-x, x), x = (2 pi f)^2.
    const double root = frequency / kHertzPerRadian;
    return root * root;
}

FrequencyCount::Range FrequencyCount::negativeBelow(double x) const {
    // Springs with positive rates leave no negative eigenvalue: once a count shows
    // none below -x0, there is none below -x for any x >= x0.
    if (noneBelow_ > 0.0 && x >= noneBelow_)
        return {0, 0};
    // A count made beforehand at a lower negative shift may show none below it.
    if (noneBelow_ == 0.0)
        for (int i = 0; i < known_; ++i)
            if (knownShift_[i] < 0.0 && -knownShift_[i] < x &&
                eigenvaluesBelow(knownShift_[i]).high == 0) {
                noneBelow_ = -knownShift_[i];
                return {0, 0};
            }
    const Range negative = eigenvaluesBelow(-x);
    if (negative.high == 0)
        noneBelow_ = noneBelow_ > 0.0 ? std::min(noneBelow_, x) : x;
    return negative;
}

int FrequencyCount::certainlyBelow(double frequency) const {
    if (!usable_ || !(frequency > 0.0))
        return 0;
    const double x = shift(frequency);
    const Range upTo = eigenvaluesBelow(x);
    if (upTo.low == 0)
        return 0;
    return std::max(0, upTo.low - negativeBelow(x).high);
}

int FrequencyCount::possiblyAtOrBelow(double frequency) const {
    if (!usable_ || std::isnan(frequency) || frequency == 0.0)
        return 6; // free directions are at 0 Hz
    if (frequency < 0.0)
        return 0;
    // The eigenvalues below -x count here too: a bound all the same.
    return eigenvaluesBelow(shift(frequency)).high;
}

FrequencyCount::Range FrequencyCount::counted(double frequency) const {
    if (!usable_ || std::isnan(frequency) || frequency == 0.0)
        return {0, 6};
    if (frequency < 0.0)
        return {0, 0};
    const double x = shift(frequency);
    const Range upTo = eigenvaluesBelow(x);
    if (upTo.high == 0)
        return upTo;
    const Range negative = negativeBelow(x);
    return {std::max(0, upTo.low - negative.high), upTo.high - negative.low};
}

VariantSystems::VariantSystems(const AnalysisModel& model, const VariantBasis& basis,
                               const std::vector<double>& frequencies) {
    const PrincipalAxes* principal = basis.principalFor(model);
    if (!principal || !principal->valid)
        return;
    const double masses[6] = {model.mass,
                              model.mass,
                              model.mass,
                              principal->moments(0, 0),
                              principal->moments(1, 1),
                              principal->moments(2, 2)};
    for (double m : masses)
        if (!(m > 0.0) || !std::isfinite(m))
            return;
    for (int i = 0; i < 6; ++i)
        scale_[i] = 1.0 / std::sqrt(masses[i]);
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            scales_[i * 6 + j] = scale_[i] * scale_[j];
    std::copy(basis.frame(), basis.frame() + 9, frame_);
    std::copy(model.centreOfGravity.data(), model.centreOfGravity.data() + 3, centre_);
    const std::size_t springs = model.springs.size();
    values_.assign(3 * (springs + model.springCharacteristics.size()), 0.0);
    springs_.resize(springs);
    for (std::size_t i = 0; i < springs; ++i) {
        const SpringElement& spring = model.springs[i];
        std::copy(spring.position.data(), spring.position.data() + 3, values_.begin() + 3 * i);
        const SpringCharacteristic* c = model.findCharacteristic(spring.characteristicId);
        if (!c)
            continue; // no rates, no share in the system
        const VariantBasis::SpringAxes* axes = basis.springAxes(i, spring);
        if (!axes)
            return;
        Spring& s = springs_[i];
        s.rates = static_cast<int>(
            3 * (springs + static_cast<std::size_t>(c - model.springCharacteristics.data())));
        s.dynamicFactor = c->dynamicFactor;
        const auto slot = static_cast<std::size_t>(s.rates);
        if (std::find(rateSlots_.begin(), rateSlots_.end(), slot) == rateSlots_.end())
            rateSlots_.push_back(slot);
        factorsNonNegative_ = factorsNonNegative_ && s.dynamicFactor >= 0.0;
        std::copy(axes->principal, axes->principal + 9, s.orientation);
    }
    for (std::size_t j = 0; j < model.springCharacteristics.size(); ++j)
        for (int m = 0; m < 3; ++m)
            values_[3 * (springs + j) + static_cast<std::size_t>(m)] =
                model.springCharacteristics[j].stiffness[m];
    // Each threshold's shift, and the lowest one's negative: no eigenvalue below it
    // (the usual count) leaves none below any of the others' (negativeBelow).
    double lowest = 0.0;
    for (double f : frequencies) {
        if (!(f > 0.0) || !std::isfinite(f))
            continue; // such thresholds are answered without a count
        const double x = FrequencyCount::shift(f);
        if (std::find(shifts_.begin(), shifts_.end(), x) == shifts_.end() &&
            shifts_.size() + 1 < static_cast<std::size_t>(FrequencyCount::kKnownShifts)) {
            shifts_.push_back(x);
            shiftFrequencies_.push_back(f);
        }
        if (lowest == 0.0 || x < lowest)
            lowest = x;
    }
    if (lowest > 0.0)
        shifts_.push_back(-lowest);
    lowest_ = lowest;
    // The calculation's system rounds each element a few times (rates, offsets,
    // the sum and the scaling, its sums in long double), this one some 20 times
    // plus once per spring: each element of either is within gamma_(20 + n) of the
    // exact one, relative to the same sum taken over absolute values (A). With
    // rates at most rho, orthonormal orientations and offsets at most delta (the
    // sum of their absolute components), a row of A sums to at most
    // 12 rho (s_t + s_r delta)^2 per spring, s_t and s_r the largest scales of
    // translations and rotations; the largest row sum bounds the 2-norm. Twice the
    // roundoffs needed cover the rounding of the bound itself.
    boundFactor_ = (32.0 + static_cast<double>(springs)) * 0x1p-52 * 12.0;
    usable_ = true;
}

namespace {

/// What VariantSystems::count hands to the side-by-side work: per spring its slots
/// and orientation, the shared frame and scales.
struct LaneInput {
    const double* const* lanes; ///< kLanes variables, idle lanes repeating the first
    const double* frame;
    const double* centre;
    const double* scales;
    double translation, rotation; ///< the largest scales of translations and rotations
};

constexpr int kCountLanes = VariantSystems::kLanes;

/// One spring's share of the stiffness sums k (upper triangle, element e of lane l
/// at k[e][l]) and of the bound's sums, every lane the same operations.
[[gnu::always_inline]] inline void addSpring(const LaneInput& in, std::size_t at, std::size_t rates,
                                             const double* j, double factor,
                                             double (*__restrict k)[kCountLanes],
                                             double* __restrict bound) {
    constexpr int N = kCountLanes;
    double rate[3][N], position[3][N];
    for (int l = 0; l < N; ++l)
        for (int m = 0; m < 3; ++m) {
            rate[m][l] = in.lanes[l][rates + static_cast<std::size_t>(m)];
            position[m][l] = in.lanes[l][at + static_cast<std::size_t>(m)];
        }
    // Lane by lane below, each quantity in a loop of its own, so that the lanes
    // fill vector registers.
    double b[6][N], r[3][N], d[3][N];
    int e = 0;
    for (int p = 0; p < 3; ++p)
        for (int q = p; q < 3; ++q, ++e) {
            const double j0 = j[p * 3] * j[q * 3], j1 = j[p * 3 + 1] * j[q * 3 + 1],
                         j2 = j[p * 3 + 2] * j[q * 3 + 2];
            for (int l = 0; l < N; ++l)
                b[e][l] = (j0 * rate[0][l] + j1 * rate[1][l] + j2 * rate[2][l]) * factor;
        }
    for (int m = 0; m < 3; ++m)
        for (int l = 0; l < N; ++l)
            d[m][l] = position[m][l] - in.centre[m];
    for (int i = 0; i < 3; ++i) {
        const double t0 = in.frame[i * 3], t1 = in.frame[i * 3 + 1], t2 = in.frame[i * 3 + 2];
        for (int l = 0; l < N; ++l)
            r[i][l] = t0 * d[0][l] + t1 * d[1][l] + t2 * d[2][l];
    }
    const double absFactor = std::fabs(factor);
    for (int l = 0; l < N; ++l) {
        const double a0 = std::fabs(rate[0][l]), a1 = std::fabs(rate[1][l]),
                     a2 = std::fabs(rate[2][l]);
        const double largest = a0 > a1 ? (a0 > a2 ? a0 : a2) : (a1 > a2 ? a1 : a2);
        const double arm = in.translation + in.rotation * (std::fabs(d[0][l]) + std::fabs(d[1][l]) +
                                                           std::fabs(d[2][l]));
        // NaN positions leave NaN here, NaN rates a NaN norm: neither passes.
        bound[l] += largest * absFactor * (arm * arm);
    }
    for (int l = 0; l < N; ++l) {
        const double x = r[0][l], y = r[1][l], z = r[2][l];
        const double k0 = b[0][l], k1 = b[1][l], k2 = b[2][l], k4 = b[3][l], k5 = b[4][l],
                     k8 = b[5][l];
        k[0][l] += k0;
        k[1][l] += k1;
        k[2][l] += k2;
        k[7][l] += k4;
        k[8][l] += k5;
        k[14][l] += k8;
        k[3][l] += y * k2 - z * k1;
        k[4][l] += z * k0 - x * k2;
        k[5][l] += x * k1 - y * k0;
        k[9][l] += y * k5 - z * k4;
        k[10][l] += z * k1 - x * k5;
        k[11][l] += x * k4 - y * k1;
        k[15][l] += y * k8 - z * k5;
        k[16][l] += z * k2 - x * k8;
        k[17][l] += x * k5 - y * k2;
        k[21][l] += z * z * k4 + y * y * k8 - 2.0 * y * z * k5;
        k[28][l] += z * z * k0 + x * x * k8 - 2.0 * x * z * k2;
        k[35][l] += y * y * k0 + x * x * k4 - 2.0 * x * y * k1;
        k[22][l] += x * z * k5 + y * z * k2 - z * z * k1 - x * y * k8;
        k[23][l] += x * y * k5 + y * z * k1 - y * y * k2 - x * z * k4;
        k[29][l] += x * y * k2 + x * z * k1 - x * x * k5 - y * z * k0;
    }
}

/// The scaled systems (element e of lane l at c[e * N + l]) and their norms from
/// the stiffness sums, then the factorisations at each shift.
[[gnu::always_inline]] inline void factoriseLanes(const LaneInput& in, double (*k)[kCountLanes],
                                                  const double* shifts, int shiftCount, double* c,
                                                  double* norm, Pivots (*pivots)[kCountLanes]) {
    constexpr int N = kCountLanes;
    for (int i = 0; i < 6; ++i)
        for (int j = i; j < 6; ++j)
            for (int l = 0; l < N; ++l)
                c[(i * 6 + j) * N + l] = c[(j * 6 + i) * N + l] =
                    k[i * 6 + j][l] * in.scales[i * 6 + j];
    double largest[N] = {};
    for (int i = 0; i < 6; ++i) {
        // The sums start from their first terms (0 + t is t), not from a zeroed
        // array; the comparisons' loop is kept rolled: unrolled, it compares one
        // lane at a time.
        double row[N];
        for (int j = 0; j < 6; ++j) {
            for (int l = 0; l < N; ++l)
                row[l] = j == 0 ? std::fabs(c[i * 6 * N + l])
                                : row[l] + std::fabs(c[(i * 6 + j) * N + l]);
        }
#pragma GCC unroll 1
        for (int l = 0; l < N; ++l)
            largest[l] = row[l] <= largest[l] ? largest[l] : row[l]; // NaN too
    }
    for (int l = 0; l < N; ++l)
        norm[l] = largest[l] * (1.0 + 1e-12);
    for (int i = 0; i < shiftCount; ++i)
        factorise<N>(c, norm, shifts[i], pivots[i]);
}

} // namespace

void VariantSystems::systems(const double* const* values, int n, SimdLevel level, int shiftCount,
                             Lanes& out) const {
    constexpr int N = kLanes;
    const double* lanes[N];
    for (int l = 0; l < N; ++l)
        lanes[l] = values[l < n ? l : 0];
    const LaneInput in{lanes,   frame_,    centre_,
                       scales_, scale_[0], std::max(scale_[3], std::max(scale_[4], scale_[5]))};
    double k[36][N] = {};
    double bound[N] = {};
    // Every lane does the operations the others do, whatever the instruction set:
    // the level changes the speed only.
    auto work = [&]<class Tag>(Tag) {
        for (std::size_t s = 0; s < springs_.size(); ++s) {
            const Spring& spring = springs_[s];
            if (spring.rates >= 0)
                Tag::add(in, 3 * s, static_cast<std::size_t>(spring.rates), spring.orientation,
                         spring.dynamicFactor, k, bound);
        }
        Tag::factorise(in, k, shifts_.data(), shiftCount, out.c, out.norm, out.pivots);
    };
    struct Plain {
        static void add(const LaneInput& in, std::size_t at, std::size_t rates, const double* j,
                        double factor, double (*k)[N], double* bound) {
            addSpring(in, at, rates, j, factor, k, bound);
        }
        static void factorise(const LaneInput& in, double (*k)[N], const double* shifts, int count,
                              double* c, double* norm, Pivots (*pivots)[N]) {
            factoriseLanes(in, k, shifts, count, c, norm, pivots);
        }
    };
#if defined(QUAV_AVX_LANES)
    struct Avx2 {
        [[gnu::target("avx2")]] static void add(const LaneInput& in, std::size_t at,
                                                std::size_t rates, const double* j, double factor,
                                                double (*k)[N], double* bound) {
            addSpring(in, at, rates, j, factor, k, bound);
        }
        [[gnu::target("avx2")]] static void factorise(const LaneInput& in, double (*k)[N],
                                                      const double* shifts, int count, double* c,
                                                      double* norm, Pivots (*pivots)[N]) {
            factoriseLanes(in, k, shifts, count, c, norm, pivots);
        }
    };
    struct Avx512 {
        [[gnu::target("avx512f")]] static void add(const LaneInput& in, std::size_t at,
                                                   std::size_t rates, const double* j,
                                                   double factor, double (*k)[N], double* bound) {
            addSpring(in, at, rates, j, factor, k, bound);
        }
        [[gnu::target("avx512f")]] static void factorise(const LaneInput& in, double (*k)[N],
                                                         const double* shifts, int count, double* c,
                                                         double* norm, Pivots (*pivots)[N]) {
            factoriseLanes(in, k, shifts, count, c, norm, pivots);
        }
    };
    level = std::min(level, availableSimdLevel());
    if (level == SimdLevel::Avx512)
        work(Avx512{});
    else if (level == SimdLevel::Avx2)
        work(Avx2{});
    else
        work(Plain{});
#else
    (void)level;
    work(Plain{});
#endif
    for (int l = 0; l < n; ++l)
        out.assembly[l] = boundFactor_ * bound[l];
}

void VariantSystems::count(const double* const* values, int n, FrequencyCount* counts,
                           bool* counted, SimdLevel level) const {
    constexpr int N = kLanes;
    // Rates and dynamic factors >= 0 make every spring's share, and so the exact
    // system, positive semidefinite: its eigenvalues are >= 0, the calculation's
    // system's >= -assembly (the bound covers its rounding too) and the solution's
    // within the margin of those. A shift below -(2 assembly + margin) then has
    // none below it, and its factorisation is left out when no lane needs it.
    // (Without branches: a lane's rates are read whatever the others hold.)
    bool nonNegative[N];
    bool allNonNegative = lowest_ > 0.0;
    for (int l = 0; l < n; ++l) {
        bool holds = factorsNonNegative_;
        for (std::size_t slot : rateSlots_) {
            const double* v = values[l] + slot;
            holds = holds & (v[0] >= 0.0) & (v[1] >= 0.0) & (v[2] >= 0.0);
        }
        nonNegative[l] = holds;
        allNonNegative = allNonNegative && holds;
    }
    // The negative shift is the last.
    const int shiftCount = static_cast<int>(shifts_.size()) - (allNonNegative ? 1 : 0);
    Lanes lanes;
    systems(values, n, level, shiftCount, lanes);
    const double* norm = lanes.norm;
    for (int l = 0; l < n; ++l) {
        const double assembly = lanes.assembly[l];
        // A bound beyond a hundredth of the smallest margin would leave counts
        // undecided that the calculation's own system decides.
        counted[l] = std::isfinite(norm[l]) && assembly <= 1e-11 * norm[l];
        if (!counted[l])
            continue;
        FrequencyCount& count = counts[l];
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j <= i; ++j)
                count.c_[i * 6 + j] = lanes.c[(i * 6 + j) * N + l];
        count.norm_ = norm[l];
        const double margin = 1e-9 * (norm[l] + assembly + lowest_);
        count.noneBelow_ =
            nonNegative[l] && lowest_ > 2.0 * (2.0 * assembly + margin) ? lowest_ : 0.0;
        count.assembly_ = assembly;
        count.usable_ = true;
        count.known_ = shiftCount;
        for (int i = 0; i < shiftCount; ++i) {
            count.knownShift_[i] = shifts_[static_cast<std::size_t>(i)];
            count.knownPivots_[i] = lanes.pivots[i][l];
        }
        // A threshold whose count is exact, with none below its negative (or none
        // below it at all), is settled now: below() would find just that.
        count.settled_ = 0;
        for (std::size_t i = 0; i < shiftFrequencies_.size(); ++i) {
            const double x = shifts_[i];
            const Pivots& at = lanes.pivots[i][l];
            if (exactCount(at, assembly, countMargin(norm[l], x)) &&
                (at.negative == 0 || (count.noneBelow_ > 0.0 && x >= count.noneBelow_))) {
                count.settledFrequency_[count.settled_] = shiftFrequencies_[i];
                count.settledRange_[count.settled_++] = {at.negative, at.negative};
            }
        }
    }
}

namespace {

/// The solutions of VariantSystems::estimate's systems, lane by lane (lane l at
/// index l of each array), and what it derives from them.
struct EstimateLanes {
    static constexpr int N = VariantSystems::kLanes;
    // In: eigenvalue j and its vector y (system coordinates), the bound delta on
    // the eigenvalues' difference from the calculation's.
    double lambda[6][N];
    double y[6][6][N];
    double delta[N];
    // Out, in the solver's order: the global shapes x = map y normalised, their
    // bounds, the frequencies and theirs.
    double shapes[6][6][N];
    double shapeError[6][N];
    double frequency[6][N];
    double frequencyError[6][N];
    /// Mode j's place in storage order (largest eigenvalue first, ties in the
    /// solver's order) where every eigenvalue is positive.
    double place[6][N];
};

/// EstimateLanes' outputs from its inputs, each quantity in a loop of its own
/// over the lanes, so that they fill vector registers (the loops kept rolled:
/// unrolled sixteen times first, they are no longer vectorised).
[[gnu::always_inline]] inline void estimateLanes(EstimateLanes& e, const double (*map)[9],
                                                 double spread) {
    constexpr int N = EstimateLanes::N;
    const double rounding = mappingError(spread);
    for (int j = 0; j < 6; ++j) {
        double norm2[N] = {};
        for (int block = 0; block < 2; ++block)
            for (int r = 0; r < 3; ++r) {
                const double* m = map[block] + r * 3;
                double* x = e.shapes[j][3 * block + r];
#pragma GCC unroll 1
                for (int l = 0; l < N; ++l) {
                    x[l] = m[0] * e.y[j][3 * block][l] + m[1] * e.y[j][3 * block + 1][l] +
                           m[2] * e.y[j][3 * block + 2][l];
                    norm2[l] += x[l] * x[l];
                }
            }
        double inverse[N];
#pragma GCC unroll 1
        for (int l = 0; l < N; ++l)
            inverse[l] = 1.0 / std::sqrt(norm2[l]);
        for (int i = 0; i < 6; ++i)
#pragma GCC unroll 1
            for (int l = 0; l < N; ++l)
                e.shapes[j][i][l] *= inverse[l];
        // Every quantity computed in every lane and chosen after, without a branch.
        double gap[N];
#pragma GCC unroll 1
        for (int l = 0; l < N; ++l)
            gap[l] = std::fabs(e.lambda[(j + 1) % 6][l] - e.lambda[j][l]);
        for (int k = 2; k < 6; ++k) {
            const double* other = e.lambda[(j + k) % 6];
#pragma GCC unroll 1
            for (int l = 0; l < N; ++l) {
                const double g = std::fabs(other[l] - e.lambda[j][l]);
                gap[l] = g < gap[l] ? g : gap[l];
            }
        }
#pragma GCC unroll 1
        for (int l = 0; l < N; ++l) {
            // The vector of the system is within 2 delta / gap of the
            // calculation's; x = map y moves by up to the spread of the scales
            // times that, relative to |x|, and normalising doubles it.
            const double d = e.delta[l];
            const double direction = 2.0 * d / (gap[l] - 2.0 * d);
            const double bound = 2.0 * spread * direction / (1.0 - direction) + rounding;
            e.shapeError[j][l] = gap[l] > 2.0 * d && direction < 0.5
                                     ? bound
                                     : std::numeric_limits<double>::infinity();
        }
        // The modes before j: larger, or equal and earlier (storageOrder's order for
        // positive eigenvalues), counted without a branch.
#pragma GCC unroll 1
        for (int l = 0; l < N; ++l)
            e.place[j][l] = 0.0;
        for (int i = 0; i < 6; ++i) {
            if (i == j)
                continue;
            const double* other = e.lambda[i];
            const double* own = e.lambda[j];
            double* place = e.place[j];
            if (i < j) {
#pragma GCC unroll 1
                for (int l = 0; l < N; ++l)
                    place[l] += other[l] >= own[l] ? 1.0 : 0.0;
            } else {
#pragma GCC unroll 1
                for (int l = 0; l < N; ++l)
                    place[l] += other[l] > own[l] ? 1.0 : 0.0;
            }
        }
#pragma GCC unroll 1
        for (int l = 0; l < N; ++l) {
            const double lambda = e.lambda[j][l], d = e.delta[l];
            const double f = std::sqrt(std::fabs(lambda)) * kHertzPerRadian;
            e.frequency[j][l] = f;
            // f = c sqrt(lambda): an eigenvalue within d of lambda (> d when the
            // estimate is used) has its root within d / sqrt(lambda) of it, f d /
            // lambda in hertz; and the roundings of the root and these products.
            e.frequencyError[j][l] =
                f * (d / lambda) * (1.0 + 16.0 * kRounding) + 8.0 * kRounding * f;
        }
    }
}

} // namespace

void VariantSystems::estimate(const double* const* values, int n, ModesEstimate* estimates,
                              bool* estimated, SimdLevel level, EstimateChain* chain) const {
    constexpr int N = kLanes;
    if (n <= 0)
        return;
    Lanes lanes;
    systems(values, n, level, 0, lanes);
    // The rotations' floor as the calculation sets it, its norm summed in double:
    // any floor that small leaves the solution backward stable.
    double floors[N] = {};
    for (int e = 0; e < 36; ++e)
        for (int l = 0; l < N; ++l)
            floors[l] += lanes.c[e * N + l] * lanes.c[e * N + l];
    constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
    double stops[N];
    for (int l = 0; l < N; ++l) {
        floors[l] = kEpsilon * kEpsilon * std::sqrt(floors[l]);
        stops[l] = kRemainder * lanes.norm[l];
    }
    EstimateLanes e;
    double remainders[N], departures[N];
    boundedEigenLanes6(level, lanes.c, N, n, floors, stops, chain, &e.lambda[0][0], &e.y[0][0][0],
                       remainders, departures);
    for (int l = 0; l < N; ++l) {
        const int from = l < n ? l : 0; // idle lanes repeat the first
        // The solution is exact for a system within kJacobi of its own (backward
        // stable rotations) and the remainder, the calculation's within kJacobi of
        // its: with the assembly bound, each eigenvalue of the calculation's
        // solution lies within delta of this one's (Weyl), and a mode's direction
        // within delta over its distance to the others (Davis-Kahan).
        // A start from a neighbour's vectors moves both by its departure at most.
        e.delta[l] = lanes.assembly[from] + 2.0 * (kJacobi + departures[from]) * lanes.norm[from] +
                     remainders[from];
        if (from != l)
            for (int j = 0; j < 6; ++j) {
                e.lambda[j][l] = e.lambda[j][0];
                for (int i = 0; i < 6; ++i)
                    e.y[j][i][l] = e.y[j][i][0];
            }
    }
    double map[2][9];
    for (int block = 0; block < 2; ++block)
        for (int r = 0; r < 3; ++r)
            for (int m = 0; m < 3; ++m)
                map[block][r * 3 + m] = frame_[m * 3 + r] * scale_[3 * block + m];
    double smallest = scale_[0], largest = scale_[0];
    for (double x : scale_) {
        smallest = std::min(smallest, x);
        largest = std::max(largest, x);
    }
    const double spread = largest / smallest;
    struct Plain {
        static void run(EstimateLanes& e, const double (*map)[9], double spread) {
            estimateLanes(e, map, spread);
        }
    };
#if defined(QUAV_AVX_LANES)
    struct Avx2 {
        [[gnu::target("avx2")]] static void run(EstimateLanes& e, const double (*map)[9],
                                                double spread) {
            estimateLanes(e, map, spread);
        }
    };
    struct Avx512 {
        [[gnu::target("avx512f")]] static void run(EstimateLanes& e, const double (*map)[9],
                                                   double spread) {
            estimateLanes(e, map, spread);
        }
    };
    level = std::min(level, availableSimdLevel());
    if (level == SimdLevel::Avx512)
        Avx512::run(e, map, spread);
    else if (level == SimdLevel::Avx2)
        Avx2::run(e, map, spread);
    else
        Plain::run(e, map, spread);
#else
    Plain::run(e, map, spread);
#endif

    for (int l = 0; l < n; ++l) {
        estimated[l] = false;
        const double norm = lanes.norm[l], assembly = lanes.assembly[l];
        // A floor beyond the range would have dropped every element unturned.
        if (!std::isfinite(norm) || !(assembly <= 1e-11 * norm) || !std::isfinite(floors[l]))
            continue;
        bool positive = true;
        for (int j = 0; j < 6; ++j)
            positive &= e.lambda[j][l] > e.delta[l];
        // A zero or negative eigenvalue may change places with its mirror image.
        if (!positive)
            continue;
        ModesEstimate& out = estimates[l];
        for (int j = 0; j < 6; ++j) {
            const int s = static_cast<int>(e.place[j][l]);
            out.frequencies[s] = e.frequency[j][l];
            out.frequencyError[s] = e.frequencyError[j][l];
            out.shapeError[s] = e.shapeError[j][l];
            for (int i = 0; i < 6; ++i)
                out.shapes[i * 6 + s] = e.shapes[j][i][l];
        }
        estimated[l] = true;
    }
}

void eigenvalueAnalyses(AnalysisModel* const* models, int count, const VariantBasis* basis,
                        SimdLevel level) {
    eigenvalueAnalyses(models, count, basis, level, ModesWanted());
}

void eigenvalueAnalyses(AnalysisModel* const* models, int count, const VariantBasis* basis,
                        SimdLevel level, const ModesWanted& wanted) {
    constexpr int kChunk = 8;
    for (int first = 0; first < count; first += kChunk) {
        const int n = std::min(kChunk, count - first);
        ModalSystem systems[kChunk];
        double vt[kChunk][36];
        double* solved[kChunk];
        double* vectors[kChunk];
        int lanes = 0;
        for (int i = 0; i < n; ++i) {
            const AnalysisModel& m = *models[first + i];
            const PrincipalAxes* shared = basis ? basis->principalFor(m) : nullptr;
            const detail::SpringSet springs(m, basis);
            if (shared)
                fillModalSystem(m, *shared, springs, systems[i]);
            else
                fillModalSystem(m, principalInertiaAxes(m.inertia), springs, systems[i]);
            // C is solved where it lies: what maps the vectors back stays beside it.
            if (systems[i].valid && systems[i].definite) {
                solved[lanes] = systems[i].c;
                vectors[lanes] = vt[lanes];
                ++lanes;
            }
        }
        symmetricEigenRows6(level, solved, vectors, lanes);
        for (int i = 0, lane = 0; i < n; ++i) {
            AnalysisModel& m = *models[first + i];
            if (!systems[i].valid)
                continue;
            if (!systems[i].definite) {
                ModalSolution modes = undefinedModes();
                storeModes(m, modes);
                continue;
            }
            const double* vectors = vt[lane++];
            if (wanted) {
                ModesEstimate estimate;
                estimateModes(systems[i], systems[i].c, vectors, estimate);
                if (!wanted(first + i, estimate))
                    continue;
            }
            if (m.eigenFrequencies.rows() != 6 || m.eigenFrequencies.cols() != 1)
                m.eigenFrequencies.resize(6, 1);
            if (m.modeShapes.rows() != 6 || m.modeShapes.cols() != 6)
                m.modeShapes.resize(6, 6);
            double eigenvalues[6];
            modesInto(systems[i], systems[i].c, vectors, eigenvalues, m.eigenFrequencies.data(),
                      m.modeShapes.data());
        }
    }
}

bool eigenvalueAnalysis(AnalysisModel& model) {
    ModalSolution modes = solveModes(model);
    if (!modes.valid)
        return false;
    storeModes(model, modes);
    return true;
}

bool eigenvalueAnalysis(AnalysisModel& model, const detail::SpringSet& springs,
                        const PrincipalAxes& principal) {
    ModalSolution modes = modesOf(modalSystem(model, principal, springs), EigenPrecision::Double);
    if (!modes.valid)
        return false;
    storeModes(model, modes);
    return true;
}

} // namespace quav
