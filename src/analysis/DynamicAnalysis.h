#pragma once

#include "analysis/Matrix.h"
#include "model/AnalysisModel.h"

namespace quav {

// Steady harmonic response of the CoG to each dynamic load on its own, with dynamic
// spring rates and the characteristics' damping. Row i belongs to `dynamicLoads[i]`:
// columns 0-5 amplitudes of x, y, z [m] and Rx, Ry, Rz [rad], columns 6-11 their
// phases relative to the load [rad, -pi..pi]. At an undamped resonance the row holds
// infinities or NaNs.

/// Each load at its own `frequency`.
Matrix responseAtOwnFrequencies(const AnalysisModel& model);

/// Every load at the common frequency f [Hz]; f = 0 gives the static response with
/// dynamic rates (phases 0 or pi).
Matrix responseAtCommonFrequency(const AnalysisModel& model, double frequency);

/// f = 0: each load at its own frequency; otherwise every load at f [Hz].
Matrix responseAtFrequency(const AnalysisModel& model, double frequency);

} // namespace quav
