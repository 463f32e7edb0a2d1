#pragma once

#include "analysis/MountForces.h"
#include "model/TextFormat.h"

namespace quav {

/// The mount forces of `quav-cli forces --json`, written load by load as each is
/// computed, so that many springs and loads take one load's memory:
/// {"static": [{"load", "springs": [{"id", "local", "global"}]}],
///  "dynamic": [{"load", "frequency", "springs": [{"id", "amplitude", "phase",
///  "globalAmplitude", "globalPhase", "total"}]}]} (phases in radians),
/// indented by two spaces, one value a line; numbers that are not finite are null.
/// Builds no JSON tree, so running out of memory is a std::bad_alloc the caller
/// catches, never an abort. False when the sink refused a piece.
bool writeMountForcesJson(const MountForceLoads& loads, const TextSink& sink);

} // namespace quav
