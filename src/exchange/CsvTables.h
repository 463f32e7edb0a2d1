#pragma once

#include "analysis/KineticEnergy.h"
#include "analysis/LoadCaseAnalysis.h"
#include "analysis/MountForces.h"
#include "analysis/TorqueRollAxis.h"
#include "model/TextFormat.h"

#include <string>
#include <string_view>
#include <vector>

namespace quav {

// The tables of the mount analyses as CSV: one header row, then one row per
// record; commas between fields, CR LF after each row; numbers with 17
// significant digits (%.17g), an empty field where there is no number.

/// A field as CSV writes it: quoted (quotes doubled) when it holds a comma, a
/// quote, CR or LF.
std::string csvField(std::string_view text);

/// mode,frequency,x,y,z,Rx,Ry,Rz,dominant,decoupling: the kinetic energy [%] per
/// DOF of the distribution's frame.
std::string energyDistributionCsv(const EnergyDistribution& ked);

/// mode,frequency,angle_deg,roll_energy,axis_x,...,tra_to_axis_deg: each mode
/// and, on every row, the torque direction and the torque roll axis.
std::string torqueRollAxisCsv(const TorqueRollAxis& tra);

/// load_kind,load,frequency,spring,quantity,x,y,z: per static load each spring's
/// force along its local axes ("local") and globally ("global") [N]; per
/// dynamic load its amplitudes [N] and phases [rad] along the local axes
/// ("amplitude", "phase") and the global ones ("globalAmplitude",
/// "globalPhase"), and its total force [N] in x ("total"). Written load by
/// load into `out`, so that one load's forces are held at a time; false when
/// `out` refuses a piece.
bool writeMountForcesCsv(const MountForceLoads& loads, const TextSink& out);

/// case,converged,spring,deflection_x,...,global_z,travel_margin_x,...,
/// load_margin_z,pass: per case a row per spring along its local axes
/// (deflection [m], force "local" and "global" [N], margins [m] and [N], empty
/// where the direction has none); converged and pass are 1 or 0. A case that
/// stopped before it had springs (a term naming no load) has one row with the
/// spring fields empty.
std::string loadCasesCsv(const std::vector<LoadCaseResult>& results);

/// frequency,transmissibility,isolation_percent: a dynamic load's force
/// transmissibility over the sweep. Its rows end in LF alone, as the command
/// that prints it always has; an undamped resonance leaves empty fields.
std::string transmissibilityCsv(const std::vector<TransmissibilityPoint>& curve);

/// A sink that takes tab-separated text (rows ended by LF or CR LF) and passes
/// it on as CSV, piece by piece: the tabs become commas, fields are quoted as
/// csvField quotes them, rows end in CR LF.
class TabsToCsv {
public:
    explicit TabsToCsv(TextSink out) : out_(std::move(out)) {}
    bool operator()(std::string_view piece);
    /// Passes on a last row without a line end.
    bool finish();

private:
    bool endField(char next);
    TextSink out_;
    std::string field_;
    bool pendingCr_ = false;
    bool rowOpen_ = false; ///< something of the present row has come
};

} // namespace quav
