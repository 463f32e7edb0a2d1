#pragma once

#include "model/AnalysisModel.h"
#include "optimizer/Optimizer.h"

#include <cstdint>

namespace quav {

/// A short timed sample of a study, to size its shards before it runs.
struct StudySample {
    std::int64_t combinations = 0; ///< the enumeration's size (the combinations a run walks)
    std::int64_t sampled = 0;      ///< variants evaluated
    std::int64_t accepted = 0;     ///< of them, accepted by the conditions
    double seconds = 0.0;          ///< wall time the sample took
    int threads = 1;
    /// Wall time per variant on `threads` threads; 0 without a sample.
    double secondsPerVariant() const { return sampled > 0 ? seconds / sampled : 0.0; }
};

/// Evaluates variants of the study as a run does (screen, calculation,
/// conditions; no files written) on `threads` threads (0: one per hardware
/// thread) for about `seconds`: every combination when they are few, else
/// combinations spread evenly over the whole enumeration, since the share the
/// screen rules out varies along it; each value as minimum + k x increment,
/// which may differ from the run's by rounding. At least one variant when
/// there is one.
StudySample sampleStudy(const Optimizer& optimizer, const AnalysisModel& model, int threads,
                        double seconds);

} // namespace quav
