#pragma once

#include "model/AnalysisModel.h"

#include <array>
#include <vector>

namespace quav {

// Forces in the mounts, in newtons. A spring's force is what its deflection
// u_local (along its local axes, the "ばね変位") takes: f = K_local u_local with
// K_local = diag(Kxx, Kyy, Kzz); a spring without a characteristic carries nothing.

/// The static force of one spring under one static load.
struct StaticSpringForce {
    int id = 0;
    std::array<double, 3> local{};  ///< along the spring's local x, y, z
    std::array<double, 3> global{}; ///< the same force in global x, y, z
};

struct StaticLoadForces {
    int load = 0; ///< number in `staticLoads`, from 1
    std::vector<StaticSpringForce> springs;
};

/// The harmonic force of one spring: (K_dyn + i w C) u_local per local axis; with a
/// frequency table K r(f) (1 + i eta(f)) + i w C in place of K_dyn + i w C.
struct DynamicSpringForce {
    int id = 0;
    std::array<double, 3> amplitude{}; ///< [N]
    std::array<double, 3> phase{};     ///< relative to the load [rad, -pi..pi]
};

struct DynamicLoadForces {
    int load = 0;           ///< number in `dynamicLoads`, from 1
    double frequency = 0.0; ///< [Hz]
    std::vector<DynamicSpringForce> springs;
};

struct MountForces {
    std::vector<StaticLoadForces> staticLoads;
    std::vector<DynamicLoadForces> dynamicLoads;
};

/// Static: each static load's CoG displacement (static rates) carried to each spring
/// by the finite point transfer, as the static report prints it. Dynamic: each dynamic
/// load at its own frequency, or every load at `frequency` [Hz] when it is > 0, with
/// the dynamic rates and the damping; the spring's motion is the CoG's complex motion
/// carried by the linear transfer u + theta x r. Springs in model order.
MountForces mountForces(const AnalysisModel& model, double frequency = 0.0);

/// Whether a load has a force transmissibility: a translational load of non-zero
/// value (a moment transmits no force of its own).
bool hasForceTransmissibility(const StaticLoad& load);

/// Force transmissibility at one sweep frequency.
struct TransmissibilityPoint {
    double frequency = 0.0;       ///< [Hz]
    double transmissibility = 0.; ///< T = |F_t| / |F|
    double isolationPct = 0.0;    ///< (1 - T) 100
};

/// T over the model's sweep (the steps the calculation stores: from `frequencyStart`
/// by repeated addition of `frequencyStep`) for the force load `dynamicLoads[index]`:
/// F_t is the complex vector sum, in global axes, of every spring's k* u (as above),
/// |F_t| = sqrt(sum_k |F_t,k|^2), |F| the applied force amplitude. The caller checks
/// hasForceTransmissibility and the sweep (planSweep); without a valid sweep the
/// curve is empty.
std::vector<TransmissibilityPoint> transmissibility(const AnalysisModel& model, int index);

/// T at one frequency [Hz] for the force load `dynamicLoads[index]`, as a point of
/// the curve above. The caller checks hasForceTransmissibility.
double transmissibilityAt(const AnalysisModel& model, int index, double frequency);

} // namespace quav
