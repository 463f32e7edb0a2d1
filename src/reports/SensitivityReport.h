#pragma once

#include "analysis/Sensitivity.h"
#include "model/AnalysisModel.h"
#include "model/TextFormat.h"

#include <array>
#include <string>
#include <vector>

namespace quav {

// The sensitivities as a tab-separated table, for quav-cli and the clipboard
// of the sensitivity window: UTF-8, CR LF line ends, numbers as %.15g (more
// digits than the derivatives are good for) and "null" for an entry that has
// no number.

/// "rate", "position" or "angle".
const char* parameterKindName(ParameterKind kind);
/// "x", "y", "z" (a rate's local direction or a global axis), "thetaY" or "thetaZ".
const char* parameterComponentName(const SensitivityParameter& parameter);

/// The heading of output column `output`: "f1[Hz]" ... "f6[Hz]", "D1[%]" ...
/// "D6[%]", then per static load n (from 1) "L1 x[m]" ... "L1 Rz[rad]".
std::string sensitivityOutputHeading(int output);

/// The name of each parameter's object (the characteristic's or the spring's),
/// tabs and line ends made spaces so that each stays one field.
std::vector<std::string> parameterObjectNames(const AnalysisModel& model,
                                              const std::vector<SensitivityParameter>& parameters);

/// The table: a heading row (quantity, kind, id, name, component, value, then
/// the outputs), the nominal values ("value"), each mode's dominant DOF
/// ("dominant"), a "derivative" row and then an "elasticity" row per parameter,
/// and with `spread` the frequencies' first-order standard deviations ("std").
/// Written piece by piece; false when the sink refused a piece.
bool writeSensitivityTable(const AnalysisModel& model, const Sensitivities& s,
                           const std::array<double, 6>* spread, const TextSink& sink);

} // namespace quav
