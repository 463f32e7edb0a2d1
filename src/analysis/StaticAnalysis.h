#pragma once

#include "math/Matrix.h"
#include "model/AnalysisModel.h"

namespace quav {

namespace detail {
class SpringSet;
}
class VariantBasis;

/// Generalised load vector (6 x 1, N and N m, global): value x direction on the
/// forces of a Translational load or on the moments of a Moment load; zero for any
/// other load type.
Matrix loadVector(const StaticLoad& load);

/// Static displacement of the CoG under each static load on its own (load cases are
/// not superposed), with static spring rates. Row i belongs to `staticLoads[i]`:
/// x, y, z [m], Rx, Ry, Rz [rad], global. The system is solved about the load's own
/// position and the motion carried to the CoG by the finite-rotation point transfer.
/// A free direction gives infinities or NaNs in the row. `basis`, when given, is
/// that of the model `model` is a variant of.
Matrix staticAnalysis(const AnalysisModel& model, const VariantBasis* basis = nullptr);

/// The same on the model's springs as a calculation prepared them.
Matrix staticAnalysis(const AnalysisModel& model, const detail::SpringSet& springs);

} // namespace quav
