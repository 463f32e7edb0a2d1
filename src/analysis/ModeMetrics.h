#pragma once

#include "math/Matrix.h"
#include "model/AnalysisModel.h"

namespace quav {

/// Contribution ratio [%] of degree of freedom `dof` (0-5: x, y, z, Rx, Ry, Rz)
/// to mode number `mode` (1 = lowest frequency ... 6): 100 X(dof, 6 - mode)^2 of
/// the unit mode vectors in `modeShapes`.
double contributionRatio(const Matrix& modeShapes, int mode, int dof);

/// Mean coupling degree [%]: the mean over the six modes of 100 (1 - c), c being
/// the largest squared component of the unit mode vector (the share of the
/// dominant DOF). 0 when the model is not calculated.
double meanCouplingDegree(const AnalysisModel& model);
/// The same of the mode shapes `modeShapes` (6 x 6, row-major, a mode a column).
double meanCouplingDegree(const double* modeShapes);

} // namespace quav
