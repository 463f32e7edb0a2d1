#pragma once

#include "model/AnalysisModel.h"

#include <array>
#include <memory>
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
/// frequency table K r(f) (1 + i eta(f)) + i w C in place of K_dyn + i w C. Each
/// component is a complex amplitude F = |F| e^(i phase): the force along it is
/// |F| cos(w t + phase).
struct DynamicSpringForce {
    int id = 0;
    std::array<double, 3> amplitude{};       ///< along the local x, y, z [N]
    std::array<double, 3> phase{};           ///< relative to the load [rad, -pi..pi]
    std::array<double, 3> globalAmplitude{}; ///< the same force along global x, y, z [N]
    std::array<double, 3> globalPhase{};     ///< [rad, -pi..pi]
    /// The total force sqrt(|Fx|^2 + |Fy|^2 + |Fz|^2) [N], the same in local and
    /// global axes. The force vector turns through an ellipse over a cycle: this is
    /// its largest magnitude when the components are in phase and more than it
    /// otherwise (always sqrt(2) times the root mean square of the magnitude), the
    /// measure the force transmissibility takes.
    double total = 0.0;
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

/// The forces of one load at a time, each computed when it is asked for, so that
/// a report of many loads and springs holds one load's forces, not all of them.
/// Static: each static load's CoG displacement (static rates) carried to each spring
/// by the finite point transfer, as the static report prints it. Dynamic: each dynamic
/// load at its own frequency, or every load at `frequency` [Hz] when it is > 0, with
/// the dynamic rates and the damping; the spring's motion is the CoG's complex motion
/// carried by the linear transfer u + theta x r. Springs in model order. The model
/// must outlive the object and stay unchanged.
class MountForceLoads {
public:
    explicit MountForceLoads(const AnalysisModel& model, double frequency = 0.0);
    ~MountForceLoads();
    MountForceLoads(const MountForceLoads&) = delete;
    MountForceLoads& operator=(const MountForceLoads&) = delete;

    int staticCount() const;
    int dynamicCount() const;
    /// `index` counts from 0 in `staticLoads` / `dynamicLoads`.
    StaticLoadForces staticLoad(int index) const;
    DynamicLoadForces dynamicLoad(int index) const;

private:
    struct Data;
    std::unique_ptr<Data> data_;
};

/// Every load's forces at once, as MountForceLoads gives them.
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
