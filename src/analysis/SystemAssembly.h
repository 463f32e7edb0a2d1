#pragma once

#include "math/Matrix.h"
#include "model/AnalysisModel.h"

namespace quav {

// Builders of the rigid-body system. DOF order is always x, y, z, Rx, Ry, Rz.
// A frame T is a 3 x 3 matrix turning global components into working-frame
// components (a global vector v has working components T v); identity = global.

/// Orientation of a spring, Rx(-thetaY) Rz(thetaZ + 90 deg): its columns are the
/// spring's local x, y, z axes in global components. With both angles 0 the
/// local x axis lies along global y, local y along global -x, local z along z.
Matrix springOrientation(const SpringElement& spring);

/// 3 x 3 stiffness of one spring in frame T [N/m]: J diag(Kxx, Kyy, Kzz) J^T with
/// J = T springOrientation; times the dynamic factor when `dynamic` is set. Zero
/// when the spring has no characteristic. Exactly symmetric.
Matrix springStiffness(const AnalysisModel& model, const SpringElement& spring, const Matrix& frame,
                       bool dynamic);

/// 3 x 3 damping of one spring in frame T [N s/m]; never scaled by the dynamic factor.
Matrix springDamping(const AnalysisModel& model, const SpringElement& spring, const Matrix& frame);

/// 6 x 6 stiffness of all springs about the point q (global, 3 x 1) in frame T.
/// Exactly symmetric.
Matrix systemStiffness(const AnalysisModel& model, const Matrix& referencePoint,
                       const Matrix& frame, bool dynamic);

/// 6 x 6 damping of all springs about q in frame T.
Matrix systemDamping(const AnalysisModel& model, const Matrix& referencePoint, const Matrix& frame);

/// M^-1 K for a stiffness K about the CoG in the principal inertia frame: rows
/// 0-2 divided by the mass, rows 3-5 by the principal moments D(0,0), D(1,1), D(2,2).
Matrix modalSystemMatrix(const Matrix& stiffness, double mass, const Matrix& principalMoments);

} // namespace quav
