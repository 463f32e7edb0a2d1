#pragma once

#include "math/Matrix.h"
#include "model/AnalysisModel.h"

#include <vector>

namespace quav {

/// One point of a frequency-step curve.
struct CurvePoint {
    double frequency; ///< [Hz]
    double value;     ///< absolute amplitude [m] or [rad]
};

/// Where a frequency-step curve is taken: a point of the body, and for a spring
/// optionally its local axes.
struct CurveTarget {
    Matrix position = Matrix::column(3);   ///< global [m]
    const SpringElement* spring = nullptr; ///< set to read a spring in its local axes
    bool local = false;                    ///< spring-local axes (translations only)
};

/// The response over the sweep of one point to dynamic load `loadIndex`
/// (0-based): for each stored sweep step, |p[dof]| where p is the motion of the
/// target point (the centre-of-gravity amplitudes carried over by the finite
/// point transfer), expressed in the spring's axes when `target.local` is set.
/// `dof` is 0-5 (x, y, z, Rx, Ry, Rz); 0-2 in local axes. Frequencies advance
/// by repeated addition from `frequencyStart`, as the sweep computed them.
/// Without sweep results every value is 0 over the sweep settings' steps.
std::vector<CurvePoint> frequencyStepCurve(const AnalysisModel& model, int loadIndex,
                                           const CurveTarget& target, int dof);

} // namespace quav
