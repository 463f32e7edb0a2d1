#pragma once

#include "analysis/EigenAnalysis.h"
#include "model/AnalysisModel.h"

#include <array>
#include <optional>
#include <string>

namespace quav {

using Direction = std::array<double, 3>;

/// How one mode lies to the torque roll axis.
struct ModeRoll {
    int mode = 0;           ///< 1 = lowest frequency
    double frequency = 0.0; ///< [Hz]
    /// Angle [deg, 0-90] between the line of the mode's rotation (Rx, Ry, Rz) and
    /// the axis; none for a mode without rotation.
    std::optional<double> angleDeg;
    /// Share [%] of the mode's kinetic energy that is rotation about the axis:
    /// 100 (a^T I theta)^2 / (a^T I a) / (phi^T M phi). The six sum to 100.
    double rollEnergy = 0.0;
};

struct TorqueRollAxis {
    Direction axis{}; ///< t: the torque direction, unit, global
    Direction tra{};  ///< a = I^-1 t / |I^-1 t|, global
    double traToAxisDeg = 0.0;
    std::array<ModeRoll, 6> modes; ///< by mode number, lowest first
};

/// The direction of the first static moment load, else of the first dynamic moment
/// load, else global x.
Direction defaultTorqueAxis(const AnalysisModel& model);

/// The load defaultTorqueAxis takes its direction from, or none (global x).
const StaticLoad* defaultTorqueLoad(const AnalysisModel& model);

/// Why the torque roll axis cannot be found for `torque`: a zero direction, named
/// after the load it came from when `fromModel` (the model's default), in the
/// user's language. Empty when it can.
std::string torqueDirectionProblem(const AnalysisModel& model, const Direction& torque,
                                   bool fromModel);

/// The torque roll axis for the torque direction `torque` (global, any length but
/// not zero) and the modes of `modes` (storage order). The caller checks the model
/// first (checkModel): I must be positive definite.
TorqueRollAxis torqueRollAxis(const AnalysisModel& model, const ModalSolution& modes,
                              const Direction& torque);

/// The angle between two lines [deg, 0-90], in degrees of pi to double
/// precision (a right angle is exactly 90).
double lineAngleDeg(const Direction& u, const Direction& v);

} // namespace quav
