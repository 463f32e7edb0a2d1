#pragma once

#include "model/AnalysisModel.h"

#include <ctime>
#include <string>

namespace quav {

/// Frequency responses as an ASCII universal file, or why they cannot be one.
struct UniversalFile {
    std::string text; ///< lines ending in LF; empty when refused
    std::string error;
    /// The refusal is the calculation's (the model check, a resonance), not the
    /// request's.
    bool calculationFailed = false;
    bool ok() const { return error.empty(); }
};

/// The frequency response functions of dynamic load `loadIndex` (0-based) over
/// the sweep settings: dataset 151 (header), 164 (units: SI, m and N) and one 58
/// per response, complex double, evenly spaced from `frequencyStart` by
/// `frequencyStep`: the centre of gravity's x, y, z [m] and Rx, Ry, Rz [rad]
/// (node: the mass element's id, directions 1-6), then each observation
/// point's x, y, z [m] (node: its id; the rigid-body motion u + theta x r of
/// the small-motion theory), per unit of the load's value (N or N m; reference
/// node: the load's id, direction its axis when it lies on one, else 0).
/// Computed here at each step, whether or not the model holds sweep results.
/// Values carry 13 significant digits. `written` is the time the header gives.
/// Refused: a model the calculation would refuse, sweep settings that give no
/// steps, a load of value 0 or of no known kind, and a response that is not
/// finite (an undamped resonance on a step).
UniversalFile writeResponseUniversalFile(const AnalysisModel& model, int loadIndex,
                                         std::time_t written);

} // namespace quav
