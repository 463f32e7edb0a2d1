#pragma once

#include "analysis/KineticEnergy.h"
#include "analysis/MountForces.h"
#include "analysis/Robustness.h"
#include "analysis/TorqueRollAxis.h"
#include "model/TextFormat.h"

#include <string>
#include <vector>

namespace quav {

// Reports of the mount analyses, in the style of the results report: one UTF-8
// string, tab-separated columns, CR LF line ends, numbers as %lf. A value that
// is not a number (a free direction, a statistic without samples) shows as "-".

/// The kinetic energy distribution of the six modes in one frame, with the
/// decoupling rate and its DOF; in the principal frame also the axes.
std::string energyDistributionReport(const EnergyDistribution& distribution);

/// The torque direction, the torque roll axis and the angle between them, then
/// each mode's angle to the axis and its roll energy.
std::string torqueRollAxisReport(const TorqueRollAxis& axis);

/// Per static load each spring's force in its local and in global axes with their
/// sum; per dynamic load each spring's force amplitude and phase [deg] in its local
/// and in global axes, and its total force.
/// Written load by load, in pieces; false when the sink refused a piece.
bool writeMountForcesReport(const AnalysisModel& model, const MountForceLoads& loads,
                            const TextSink& sink);
std::string mountForcesReport(const AnalysisModel& model, const MountForceLoads& loads);

/// The settings of the run, then per mode the nominal value, minimum, maximum,
/// mean and standard deviation of the frequency and of the decoupling rate, and the
/// share of samples inside the frequency window.
std::string robustnessReport(const RobustnessSettings& settings, const RobustnessResult& result);

} // namespace quav
