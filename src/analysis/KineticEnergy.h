#pragma once

#include "analysis/EigenAnalysis.h"
#include "model/AnalysisModel.h"

#include <array>
#include <string>

namespace quav {

/// The names of the six DOFs, x, y, z, Rx, Ry, Rz.
inline constexpr const char* kDofNames[6] = {"x", "y", "z", "Rx", "Ry", "Rz"};

/// Why an analysis of the mounts cannot run on the model: the calculation's own
/// reasons (checkModel, which also ensures the mass matrix is positive definite),
/// and with frequency tables modes that do not reach their own frequencies, one
/// line each in the user's language. Empty when it can.
std::string analysisRefusal(const AnalysisModel& model);

/// Mode number `number` (1 = lowest frequency) of `modes` into `phi`: column
/// 6 - number of the mode shapes, x, y, z [m], Rx, Ry, Rz [rad], global.
void modeVector(const ModalSolution& modes, int number, double* phi);

/// Twice the kinetic energy share of each DOF in one mode: e[k] = phi_k (M phi)_k
/// with M = diag(m, m, m, I) about the CoG (I 3 x 3 row-major, global), phi in
/// x, y, z [m], Rx, Ry, Rz [rad]. Returns phi^T M phi = the sum of e.
long double modeEnergyTerms(double mass, const double* inertia, const double* phi, long double* e);

/// Where the energies of a mode are resolved.
enum class EnergyFrame {
    Global,    ///< the model's axes at the CoG
    Principal, ///< the inertia principal axes P, axis i the one closest to global axis i
};

/// The kinetic energy distribution of one mode.
struct ModeEnergy {
    int mode = 0;                   ///< 1 = lowest frequency
    double frequency = 0.0;         ///< [Hz]
    std::array<double, 6> energy{}; ///< E_k [%] per DOF of the frame; they sum to 100
    int dominant = 0;               ///< the DOF of the largest E_k (the first of equal)
    double decoupling = 0.0;        ///< the decoupling rate: that largest E_k [%]
};

struct EnergyDistribution {
    EnergyFrame frame = EnergyFrame::Global;
    /// The frame's axes as columns in global components: identity, or P.
    Matrix axes = Matrix::identity(3);
    std::array<ModeEnergy, 6> modes; ///< by mode number, lowest first
};

/// E_kj = 100 phi_kj (M phi_j)_k / (phi_j^T M phi_j) of the modes of `modes` (storage
/// order, mode k at index 6 - k). In the principal frame phi and M are taken in the
/// axes of principalInertiaAxes: M is diagonal there and every E_kj >= 0. For
/// M-orthogonal modes each DOF's E over the six modes also sums to 100. The caller
/// checks the mass matrix first (checkMassMatrix).
EnergyDistribution kineticEnergyDistribution(const AnalysisModel& model, const ModalSolution& modes,
                                             EnergyFrame frame);

} // namespace quav
