#include "analysis/EigenAnalysis.h"

#include "analysis/AnalysisKernels.h"
#include "analysis/Constants.h"
#include "analysis/SymmetricEigen.h"

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

ModalSystem modalSystem(const AnalysisModel& model, const PrincipalAxes& principal,
                        const detail::SpringSet& springs) {
    ModalSystem system;
    if (!principal.valid)
        return system;
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
        return system;
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

/// The modes of a modal system: eigenvalues and vectors y of C, x = Dm^-1/2 y
/// rotated by P, normalised and signed, in storage order.
ModalSolution modesOf(const ModalSystem& system, EigenPrecision precision) {
    ModalSolution result;
    if (!system.valid)
        return result;
    result.valid = true;
    if (!system.definite) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        for (int i = 0; i < 6; ++i) {
            result.eigenvalues[i] = nan;
            result.frequencies[i] = nan;
            for (int j = 0; j < 6; ++j)
                result.modeShapes(i, j) = nan;
        }
        return result;
    }
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
        result.eigenvalues[s] = lambda[j];
        result.frequencies[s] = frequencyOf(lambda[j]);
        for (int i = 0; i < 6; ++i)
            result.modeShapes(i, s) = shapes[j][i];
    }
    return result;
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

bool naturalFrequencyBounds(const AnalysisModel& model, const PrincipalAxes& principal,
                            FrequencyBounds& bounds, const VariantBasis* basis) {
    const ModalSystem system = modalSystem(model, principal, detail::SpringSet(model, basis));
    if (!system.valid || !system.definite)
        return false;
    Matrix c(6, 6);
    std::copy(system.c, system.c + 36, c.data());
    // Stopping at 1e-7 of the norm saves the last sweeps and still leaves bounds
    // narrow enough to settle nearly every variant.
    const EigenvalueEstimate estimate = approximateEigenvalues(c, 1e-7);
    double lowest = 0.0, highest = 0.0;
    for (int j = 0; j < 6; ++j) {
        const double magnitude = std::fabs(estimate.values[j]);
        if (std::isnan(magnitude))
            return false;
        lowest = j == 0 ? magnitude : std::min(lowest, magnitude);
        highest = std::max(highest, magnitude);
    }
    // Weyl pairs the sorted exact eigenvalues with the sorted estimates, so the
    // smallest and largest magnitudes move no further than any one of them. Both
    // solutions (rotations in double precision) lie within about 1e-13 ||C|| of the
    // exact values besides what is left off the diagonal: 1e-9 ||C|| holds that
    // with room to spare, doubling the off-diagonal part covers its own rounding, and
    // the relative slack the rounding of the square root and the Hz factor.
    const double margin = 2.0 * estimate.offDiagonal + 1e-9 * estimate.norm;
    constexpr double kSlack = 1e-12;
    auto range = [&](double magnitude) {
        return FrequencyRange{frequencyOf(std::max(0.0, magnitude - margin)) * (1.0 - kSlack),
                              frequencyOf(magnitude + margin) * (1.0 + kSlack)};
    };
    bounds.lowest = range(lowest);
    bounds.highest = range(highest);
    return true;
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
