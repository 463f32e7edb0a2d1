#pragma once

#include "math/Matrix.h"
#include "model/AnalysisModel.h"

#include <functional>
#include <vector>

namespace quav {

namespace detail {
class SpringSet;

/// The signs of the LDL^T factorisation of C - xI and what they can be trusted for.
struct CountPivots {
    int negative; ///< negative pivots: the eigenvalues of C + E below x
    /// Bounds ||E||: the computed factors are exact for C - xI + E.
    double backward;
    /// No eigenvalue of C + E lies closer to x than this.
    double distance;
};
} // namespace detail
class VariantBasis;
class VariantSystems;
struct EstimateChain;
enum class SimdLevel;

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

/// How many of a model's natural frequencies lie below given frequencies, found by
/// counting rather than solving: the number of eigenvalues of the modal system C
/// below x is the number of negative pivots of the LDL^T factorisation of C - xI
/// (Sylvester's law of inertia; C - xI is congruent to K - xM). Each count costs a
/// sixth of a 6 x 6 matrix product, a small share of the eigen solution.
class FrequencyCount {
public:
    /// `principal` must be principalInertiaAxes(model.inertia); `basis`, when given,
    /// that of the model `model` is a variant of (the system is then the one the
    /// calculation solves with it, bit for bit).
    FrequencyCount(const AnalysisModel& model, const PrincipalAxes& principal,
                   const VariantBasis* basis = nullptr);
    /// Nothing counted (not usable).
    FrequencyCount() = default;

    /// False when nothing can be counted: the principal axes not set, a mass
    /// matrix that is not definite (whose frequencies are NaN), non-finite values.
    bool usable() const { return usable_; }

    /// How many of the frequencies the eigen analysis gives (solveModes, with the
    /// rounding of its solution) lie below a threshold: at least `low` below it, at
    /// most `high` at or below it. The two are equal, the count exact, when the
    /// product of the pivots, against the system's norm, puts every eigenvalue
    /// further from the threshold than the factorisation's own rounding (its
    /// backward error, which a small pivot drives up through large multipliers)
    /// plus a margin of 1e-9 of that norm, which holds the solution's rounding
    /// many times over: each frequency then lies on the same side of the
    /// threshold in the solution too. Otherwise counts a margin either side
    /// bound it, as far as their own pivots can be trusted.
    struct Range {
        int low = 0;
        int high = 6;
    };

    /// The range for `frequency` [Hz]; {0, 0} for thresholds below 0, {0, 6} when
    /// nothing can be counted.
    Range below(double frequency) const {
        // Counts made side by side settle most thresholds as they are made.
        for (int i = 0; i < settled_; ++i)
            if (settledFrequency_[i] == frequency)
                return settledRange_[i];
        return counted(frequency);
    }

    /// below(frequency).low, with fewer factorisations: how many frequencies are
    /// certainly below `frequency`.
    int certainlyBelow(double frequency) const;
    /// An upper bound on below(frequency).high from a single factorisation: at
    /// most so many frequencies lie at or below `frequency`.
    int possiblyAtOrBelow(double frequency) const;

private:
    friend class VariantSystems;

    /// x = (2 pi f)^2, the eigenvalue of a frequency f [Hz].
    static double shift(double frequency);
    /// The factorisation at x: one made beforehand (side by side with other
    /// variants' systems) or made now.
    detail::CountPivots pivots(double x) const;
    /// The same for the eigenvalues of C below x.
    Range eigenvaluesBelow(double x) const;
    /// The eigenvalues below -x (x > 0).
    Range negativeBelow(double x) const;
    /// below() from the factorisations.
    Range counted(double frequency) const;

    double c_[36] = {}; ///< the factorisations read its lower triangle only
    double norm_ = 0.0; ///< a bound on the 2-norm of C: its largest absolute row sum
    /// Bounds the 2-norm of the difference between C and the system the eigen
    /// analysis solves: 0 when C is that system, bit for bit.
    double assembly_ = 0.0;
    static constexpr int kKnownShifts = 16;
    int known_ = 0;
    bool usable_ = false;
    double knownShift_[kKnownShifts];
    detail::CountPivots knownPivots_[kKnownShifts];
    /// No eigenvalue lies below -noneBelow_ (0: not yet known for any shift).
    mutable double noneBelow_ = 0.0;
    /// below(settledFrequency_[i]) is settledRange_[i]: what the factorisations
    /// made with the count already tell.
    int settled_ = 0;
    double settledFrequency_[kKnownShifts];
    Range settledRange_[kKnownShifts];
};

/// A model's modes before their shapes are mapped back to global DOFs in the
/// calculation's wide arithmetic: what a caller can decide on without them.
struct ModesEstimate {
    /// [Hz], storage order.
    double frequencies[6];
    /// 6 x 6, row-major, a mode a column, storage order, unsigned (a whole column
    /// may have the other sign).
    double shapes[36];
    /// Frequency s lies within frequencyError[s] of the calculation's, and every
    /// element of column s of `shapes` within shapeError[s] of the calculation's,
    /// sign aside. From eigenvalueAnalyses, the frequencies are exactly the
    /// calculation's and the shapes' bound covers the double mapping's rounding,
    /// which grows with the spread of the principal masses.
    double frequencyError[6];
    double shapeError[6];
};

/// The modal systems of the variants of one model that differ from it in spring
/// positions and rates only (the inertia and every spring's angles as the model
/// has them), assembled straight from what they share (VariantBasis: the
/// principal frame, each spring's orientation in it) and counted side by side:
/// no variant model is written. Their systems are assembled in double precision
/// rather than the calculation's wider sums, so each count carries a bound on
/// the difference, which its trust rule adds to the factorisation's own rounding.
class VariantSystems {
public:
    /// Systems counted side by side at most.
    static constexpr int kLanes = 16;

    /// `frequencies` [Hz] are the thresholds the counts will be asked about: their
    /// factorisations are made side by side.
    VariantSystems(const AnalysisModel& model, const VariantBasis& basis,
                   const std::vector<double>& frequencies);

    /// False when the model's systems cannot be assembled so: the principal axes
    /// not set, a mass matrix that is not positive definite, a spring whose
    /// orientation the basis does not know.
    bool usable() const { return usable_; }

    /// The variables a variant sets, as the model has them: spring i's x, y, z at
    /// 3i, then characteristic j's Kxx, Kyy, Kzz at 3 (springs + j).
    const std::vector<double>& modelValues() const { return values_; }

    /// The counts of `n` <= kLanes variants, variant l's variables at values[l].
    /// counted[l] false: the count of variant l could not be made here (values
    /// that are not numbers, an assembly bound too wide to trust); its model's
    /// own FrequencyCount decides.
    /// Made side by side at `level` (SymmetricEigen.h), which changes nothing but
    /// the speed.
    void count(const double* const* values, int n, FrequencyCount* counts, bool* counted,
               SimdLevel level) const;

    /// The modes of `n` <= kLanes variants estimated side by side from these
    /// systems, each with its bounds on the difference from the calculation's
    /// modes; estimated[l] false when variant l's cannot be bounded so (values that
    /// are not numbers, an assembly bound too wide, an eigenvalue not certainly
    /// positive). A shape's bound is infinite when its frequency lies too close to
    /// another for the direction to be told. At `level` as count.
    /// With `chain`, whose vectors, when set, are those of the variant before the
    /// first (a neighbour), the first systems start from them; it receives the last
    /// variant's for the next call.
    void estimate(const double* const* values, int n, ModesEstimate* estimates, bool* estimated,
                  SimdLevel level, EstimateChain* chain = nullptr) const;

private:
    /// The rounding both solutions of the eigenproblem may add, relative to the
    /// system's norm: rotations until none is left are backward stable to a few
    /// roundings; this allows a thousand times more.
    static constexpr double kJacobi = 0x1p-36;
    /// The off-diagonal remainder, relative to the system's norm, at which the
    /// estimate's rotations end (its bound adds what is left). About a millionth:
    /// systems started from a neighbour's vectors mostly get there in two sweeps,
    /// the last one or two, which would take them to the rounding, are spared, and
    /// the wider bounds (frequencies to some parts in a million, shapes to about
    /// 1e-5) leave undecided only variants practically on a limit.
    static constexpr double kRemainder = 0x1p-20;

    /// The variants' systems side by side: element e of lane l at c[e * kLanes + l].
    struct Lanes {
        double c[36 * kLanes];
        double norm[kLanes];     ///< a bound on each system's 2-norm
        double assembly[kLanes]; ///< a bound on its difference from the calculation's
        detail::CountPivots pivots[FrequencyCount::kKnownShifts][kLanes];
    };
    /// Assembles the systems of `n` variants, with the factorisations at the first
    /// `shiftCount` shifts.
    void systems(const double* const* values, int n, SimdLevel level, int shiftCount,
                 Lanes& out) const;

    struct Spring {
        int rates = -1; ///< slot of its characteristic's Kxx, or -1 without one
        double dynamicFactor = 0.0;
        double orientation[9] = {}; ///< in the principal frame, row-major
    };
    bool usable_ = false;
    std::vector<double> values_;
    std::vector<Spring> springs_;
    double frame_[9] = {};
    double centre_[3] = {};
    double scale_[6] = {};   ///< 1 / sqrt of the principal masses
    double scales_[36] = {}; ///< scale_i scale_j
    double boundFactor_ = 0.0;
    std::vector<double> shifts_;
    /// The threshold of each positive shift, in the order of shifts_.
    std::vector<double> shiftFrequencies_;
    double lowest_ = 0.0; ///< the lowest positive shift, or 0
    /// The slots of the characteristics' rates that springs use (Kxx of each).
    std::vector<std::size_t> rateSlots_;
    bool factorsNonNegative_ = true; ///< every such spring's dynamic factor >= 0
};

/// eigenvalueAnalysis for `count` models at once, their systems solved side by side
/// at `level` (SymmetricEigen.h): each model gets exactly what eigenvalueAnalysis
/// gives it alone. With `basis`, that of the model they are variants of, what they
/// share with it is not found again. The per-model path stays for models the batch
/// cannot take.
void eigenvalueAnalyses(AnalysisModel* const* models, int count, const VariantBasis* basis,
                        SimdLevel level);

/// Asked with a model's position in the batch and its estimate; true when the
/// model needs its modes as the calculation gives them.
using ModesWanted = std::function<bool(int, const ModesEstimate&)>;

/// eigenvalueAnalyses, asking `wanted` about each model whose system could be
/// solved: a model it declines keeps whatever modes it had. The long double
/// mapping of the shapes, a quarter of a variant's cost, is then made only for
/// the models that need it.
void eigenvalueAnalyses(AnalysisModel* const* models, int count, const VariantBasis* basis,
                        SimdLevel level, const ModesWanted& wanted);

/// Writes `eigenFrequencies` and `modeShapes` of the model from solveModes. Returns
/// false and leaves the results untouched when the principal axes are not set.
bool eigenvalueAnalysis(AnalysisModel& model);

/// The same on the model's springs as a calculation prepared them, with the principal
/// axes of `model.inertia` already found (variants of one model share them).
bool eigenvalueAnalysis(AnalysisModel& model, const detail::SpringSet& springs,
                        const PrincipalAxes& principal);

} // namespace quav
