#pragma once

#include "math/Matrix.h"
#include "model/ModelElements.h"

namespace quav {

/// Rotation matrix of the finite rotations (a, b, c) = (Rx, Ry, Rz) [rad],
/// composed as Rx(a) Ry(b) Rz(c).
Matrix rotationFromAngles(double a, double b, double c);

/// Motion of point `to` of the rigid body whose motion u (6 x 1: x, y, z [m],
/// Rx, Ry, Rz [rad]) is given at point `from` (both 3 x 1, global [m]). The
/// rotation is finite, not linearised: translation t + (R - I)(to - from);
/// rotations unchanged. Returns 6 x 1.
Matrix pointTransfer(const Matrix& motion, const Matrix& from, const Matrix& to);

/// A global translation d (3 x 1) expressed along the spring's local x, y, z
/// axes (the "ばね変位").
Matrix springLocalDisplacement(const SpringElement& spring, const Matrix& translation);

/// Length of the translation part (elements 0-2) of a motion.
double absoluteDisplacement(const Matrix& motion);

} // namespace quav
