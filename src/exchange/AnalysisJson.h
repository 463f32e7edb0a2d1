#pragma once

#include "analysis/KineticEnergy.h"
#include "analysis/LoadCaseAnalysis.h"
#include "analysis/MountForces.h"
#include "analysis/Robustness.h"
#include "analysis/Sensitivity.h"
#include "analysis/TorqueRollAxis.h"
#include "model/TextFormat.h"
#include "optimizer/StudyPlan.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quav {

// The mount analyses as JSON, as quav-cli prints them with --json: indented by
// two spaces, one value a line, a line end after the last brace; a number that
// is not finite is null, so nothing reads it as a value. Each function returns
// the whole text; the sensitivities, which can be large, go to a sink.

/// {"frame", "modes": [{"mode", "frequency", "energy", "dominant", "decoupling"}]};
/// the frame is "global" or "principal", "dominant" null with no decoupling.
std::string energyDistributionJson(const EnergyDistribution& ked);

/// {"axis", "tra", "traToAxisDeg", "modes": [{"mode", "frequency", "angleDeg",
/// "rollEnergy"}]}.
std::string torqueRollAxisJson(const TorqueRollAxis& tra);

/// {"load", "steps": [{"frequency", "transmissibility", "isolationPercent"}]}:
/// the curve of dynamic load `load` (counted from 1).
std::string transmissibilityJson(int load, const std::vector<TransmissibilityPoint>& curve);

/// {"vary", "samples", "requested", "completed", "modes": [{"mode", "frequency",
/// "decoupling"}], "windowShare"} and "unconverged" when some samples did not
/// converge; each spread is {"nominal", "min", "max", "mean", "std"}.
std::string robustnessJson(const RobustnessSettings& settings, const RobustnessResult& result);

/// {"cases": [{"name", "converged", "iterations", "displacement", "pass",
/// "springs": [...], "modes" (with `modes`, when converged), "reason" (when
/// not)}]}.
std::string loadCasesJson(const std::vector<LoadCaseResult>& results, bool modes);

/// {"parameters", "frequency", "decoupling", "static", "spread"}: the value and
/// the "derivative" and "elasticity" matrices of each output, a row of a matrix
/// a line; "spread" holds the frequencies' standard deviations under the
/// tolerances, or is null without `spread`. Written into `out` as it is made, so
/// that many springs take no more memory than the result; `row` runs after each
/// row of a matrix (progress). False when `out` refused a piece.
bool writeSensitivityJson(const Sensitivities& s, const std::array<double, 6>* spread,
                          const TextSink& out, const std::function<void()>& row = {});

/// {"combinations", "shards", "combinationsPerShard", "threads", "sampled",
/// "sampleAccepted", "sampleSeconds", "secondsPerShard", "acceptedPerShard"} on
/// one line: how a study splits into `shards` parts of at most `perShard`
/// combinations, with the time and accepted variants a part is estimated at.
std::string studyPlanJson(const StudySample& sample, int shards, std::int64_t perShard,
                          double shardSeconds, double acceptedPerShard);

} // namespace quav
