#pragma once

#include "math/Matrix.h"
#include "model/AnalysisModel.h"

#include <array>

namespace quav {

/// Elastic principal axes [m], global. Column j belongs to global direction j
/// (x, y, z): the x-direction axis is the line {(t, E(1,0), E(2,0))}, the y one
/// {(E(0,1), t, E(2,1))}, the z one {(E(0,2), E(1,2), t)}. The diagonal is not
/// defined and is 0. Uses the dynamic spring rates. Where the axes meet is the
/// elastic centre. A model without stiffness gives the zero matrix; one with a
/// direction of zero stiffness gives non-finite values in that column.
Matrix elasticAxes(const AnalysisModel& model);

/// Which of the three axes exist: direction j has one when the springs' summed
/// dynamic rate along it, K(j, j), is not 0 and the axis' coordinates are finite.
/// Without it column j of elasticAxes holds zeros or non-finite values that are
/// no position at all.
std::array<bool, 3> elasticAxesDefined(const AnalysisModel& model, const Matrix& axes);

} // namespace quav
