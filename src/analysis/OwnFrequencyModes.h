#pragma once

#include "analysis/EigenAnalysis.h"
#include "model/AnalysisModel.h"

#include <array>
#include <string>

namespace quav {

// The modes of a model whose characteristics have frequency tables. Their rates
// depend on the frequency the body vibrates at, so mode j is at the fixed point
// f_j = F_j(f_j), F_j(f) being the j-th lowest natural frequency of the system
// whose tabled characteristics take their real rates k_d r_d(f) (the others keep
// k_d x dynamicFactor). Mode j's shape is the j-th eigenvector of the system at
// f_j, normalised as solveModes normalises it.

/// The most eigen solutions one mode's frequency may take.
inline constexpr int kMaxModeIterations = 100;
/// Converged when the step F_j(f) - f is at most this fraction of f.
inline constexpr double kModeTolerance = 1e-12;

/// The modes, and what finding them took.
struct OwnFrequencyModes {
    /// As solveModes stores them: mode k (1 = lowest) at index 6 - k; frequencies
    /// [Hz] and eigenvalues each of its own system.
    ModalSolution modes;
    /// Eigen solutions mode k took, at index k - 1 (the start's shared solution not
    /// counted); all 0 when no table takes part.
    std::array<int, 6> iterations{};
    /// Eigen solutions in all, the start's included.
    int eigenSolutions = 0;
    /// The first mode (1-6) whose frequency did not converge within
    /// kMaxModeIterations solutions, or 0; its results are then not meaningful.
    int unconvergedMode = 0;
    bool converged() const { return unconvergedMode == 0; }
};

/// The modes of `model`: solveModes' own when no spring's characteristic has a
/// table (exactly, bit for bit); otherwise each at its own frequency, starting
/// from solveModes' frequency and iterating F_j with secant steps safeguarded by a
/// bracket of the fixed point. `principal` must be principalInertiaAxes(model.inertia).
OwnFrequencyModes solveModesAtOwnFrequencies(const AnalysisModel& model,
                                             const PrincipalAxes& principal);
OwnFrequencyModes solveModesAtOwnFrequencies(const AnalysisModel& model);

/// The modes of the system whose tabled characteristics take their real rates at
/// `frequency` [Hz]: F_j(frequency) is the frequency of mode j.
ModalSolution solveModesAtFrequency(const AnalysisModel& model, const PrincipalAxes& principal,
                                    double frequency);

/// Why mode `mode` (1-6, OwnFrequencyModes::unconvergedMode) could not be found,
/// in the user's language, one line.
std::string unconvergedModeText(int mode);

} // namespace quav
