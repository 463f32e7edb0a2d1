#pragma once

#include "math/Matrix.h"
#include "model/AnalysisModel.h"

namespace quav {

namespace detail {
class SpringSet;
}
class VariantBasis;

/// Principal axes of inertia.
struct PrincipalAxes {
    /// False when a diagonal moment (Ixx, Iyy or Izz) is exactly 0: `axes` is then
    /// not set (zero) and `moments` is zero, and no eigenvalue analysis may use them.
    bool valid = false;
    /// P: column i is principal axis i in global components; orthonormal, right-handed
    /// (det +1). Column i is the axis closest to global axis i and points to its
    /// positive side, so a diagonal inertia gives the identity.
    Matrix axes = Matrix(3, 3);
    /// D: the principal moments [kg m^2] on the diagonal, D(i, i) about column i of P;
    /// I = P D P^T. A diagonal inertia gives diag(Ixx, Iyy, Izz) in that order.
    Matrix moments = Matrix(3, 3);
};

/// Which solution of the symmetric eigenproblems the analysis takes.
enum class EigenPrecision {
    /// Jacobi rotations in double precision: the engine's solution.
    Double,
    /// Jacobi rotations in long double, several times slower: the reference the
    /// double-precision solution is checked against; the two agree to 1e-12.
    Extended,
};

/// Principal axes and moments of the symmetric inertia tensor I (global, about the
/// CoG; the upper triangle is read).
PrincipalAxes principalInertiaAxes(const Matrix& inertia,
                                   EigenPrecision precision = EigenPrecision::Double);

/// The six modes of the body on its mounts: K phi = lambda M phi with K the system
/// stiffness about the CoG with dynamic rates and M = diag(m, m, m, I), I as entered.
struct ModalSolution {
    bool valid = false; ///< false when the principal axes are not set (a zero moment)
    /// lambda = omega^2 [1/s^2] in storage order. Storage is by descending |lambda|:
    /// index 0 is the highest frequency, mode number k (1 = lowest) is index 6 - k.
    /// An unstable system (negative lambda) keeps its place by |lambda|, so the mode
    /// numbers always follow the displayed frequencies.
    Matrix eigenvalues = Matrix::column(6);
    /// f = sqrt(|lambda|) x 0.15915497620314795 [Hz]; a free DOF gives 0.
    Matrix frequencies = Matrix::column(6);
    /// Column j: mode of storage index j in global DOFs x, y, z [m], Rx, Ry, Rz [rad],
    /// unit Euclidean length, its largest-magnitude element (the first of equal
    /// magnitudes) positive. Distinct modes are M-orthogonal; for a repeated
    /// eigenvalue the columns are a deterministic orthogonal basis of its eigenspace.
    /// A mass matrix that is neither positive nor negative definite (principal
    /// moments of mixed sign) has no real mode set: all results are then NaN.
    Matrix modeShapes = Matrix(6, 6);
};

/// Solves the modes: in the principal inertia frame P, with Dm = diag(m, m, m, D),
/// the symmetric Dm^-1/2 K' Dm^-1/2 (similar to M^-1 K) is diagonalised by Jacobi
/// rotations and its vectors y are mapped back, x = Dm^-1/2 y, rotated by P.
ModalSolution solveModes(const AnalysisModel& model,
                         EigenPrecision precision = EigenPrecision::Double);
/// The same for a model whose principal axes are known: `principal` must be
/// principalInertiaAxes(model.inertia), which variants of one body share.
ModalSolution solveModes(const AnalysisModel& model, const PrincipalAxes& principal,
                         EigenPrecision precision = EigenPrecision::Double);

/// Closed bounds [low, high] on a frequency [Hz].
struct FrequencyRange {
    double low = 0.0;
    double high = 0.0;
};

/// Where solveModes' lowest (mode 1) and highest (mode 6) frequencies lie.
struct FrequencyBounds {
    FrequencyRange lowest;
    FrequencyRange highest;
};

/// Bounds that certainly contain the lowest and highest frequency solveModes gives,
/// from double-precision eigenvalues of the same system, a few times faster. In
/// squared frequency each range is at most about a millionth of the highest
/// frequency squared wide (near 0 Hz that is wide in Hz). For ruling
/// out many variants of one model quickly: `principal` must be
/// principalInertiaAxes(model.inertia), which such variants share, as they share
/// `basis` when given. Returns false when it cannot tell: the principal axes not
/// set, a mass matrix that is not definite, non-finite values.
bool naturalFrequencyBounds(const AnalysisModel& model, const PrincipalAxes& principal,
                            FrequencyBounds& bounds, const VariantBasis* basis = nullptr);

/// Writes `eigenFrequencies` and `modeShapes` of the model from solveModes. Returns
/// false and leaves the results untouched when the principal axes are not set.
bool eigenvalueAnalysis(AnalysisModel& model);

/// The same on the model's springs as a calculation prepared them, with the principal
/// axes of `model.inertia` already found (variants of one model share them).
bool eigenvalueAnalysis(AnalysisModel& model, const detail::SpringSet& springs,
                        const PrincipalAxes& principal);

} // namespace quav
