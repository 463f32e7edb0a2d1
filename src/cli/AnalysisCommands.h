#pragma once

#include "analysis/Robustness.h"
#include "model/AnalysisModel.h"
#include "optimizer/Optimizer.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace quav {

// The mount analyses of quav-cli: each works on the model as loaded (the
// analyses it needs are computed afresh, the file is not changed), writes a
// table or, with `json`, JSON to stdout and returns the exit code: 0 success,
// 1 a model the calculation refuses, 2 a bad
// option or a stopped run. Messages go to stderr.

/// How a command prints its table.
enum class TableFormat { Text, Json, Csv };

/// `frame` is "global" or "principal".
int kedCommand(const AnalysisModel& model, const std::string& frame, TableFormat format);

/// `axis` is "x", "y", "z", "ax,ay,az" or empty for the default direction.
int traCommand(const AnalysisModel& model, const std::string& axis, TableFormat format);

/// `frequency`: every dynamic load at this frequency [Hz] instead of its own.
int forcesCommand(const AnalysisModel& model, std::optional<double> frequency, TableFormat format);

/// `load` counts the dynamic loads from 1. CSV, or JSON with `json`.
int transmissibilityCommand(const AnalysisModel& model, int load, bool json);

/// `distribution` is "uniform" or "normal". Shows a progress line on stderr once
/// the run takes more than a second; `interrupted` turning non-zero stops it.
int robustCommand(const AnalysisModel& model, const Optimizer& optimizer,
                  RobustnessSettings settings, const std::string& distribution, bool json,
                  const std::atomic<int>& interrupted);

/// What `sens` is asked for.
struct SensitivityRequest {
    std::vector<std::string> kinds; ///< "rates", "positions", "angles"; empty: all
    std::vector<int> springs;       ///< spring ids; with `characteristics` empty: all
    std::vector<int> characteristics;
    std::optional<double> tolerancePct;      ///< every rate within +-P [%]
    std::optional<double> positionTolerance; ///< every coordinate within +- [m]
};

/// The design sensitivities as a table or JSON; the lines of entries that have no
/// number (repeated or vanishing frequencies, a static load without an answer)
/// on stderr. Shows a progress line on stderr once the work takes more than a
/// second.
int sensCommand(const AnalysisModel& model, const SensitivityRequest& request, TableFormat format);

} // namespace quav
