#pragma once

#include "model/AnalysisModel.h"
#include "model/Worker.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace quav {

/// The most samples a run takes: a year's work on a few cores, and every count of
/// the run well inside 64 bits.
inline constexpr std::int64_t kMaxRobustnessSamples = 1000000000000;

/// How a spring rate is drawn within its tolerance.
enum class ToleranceDistribution {
    Uniform, ///< uniform within +-P
    Normal,  ///< normal with P as 3 sigma, truncated at +-P
};

/// What varies independently: each spring's rates (mount-to-mount scatter: the
/// springs that share a characteristic each get their own draw), or each
/// characteristic's (every spring bound to it in lockstep).
enum class RateVariation { PerSpring, PerCharacteristic };

struct RobustnessSettings {
    double tolerancePct =
        5.0; ///< P: every rate of every characteristic within +-P % (0 <= P < 100)
    ToleranceDistribution distribution = ToleranceDistribution::Uniform;
    RateVariation vary = RateVariation::PerSpring;
    double positionTolerance = 0.0; ///< every spring coordinate uniformly within +- this [m]
    std::int64_t samples = 1000;    ///< at most kMaxRobustnessSamples
    std::uint64_t seed = 1;
    int threads = 0; ///< 0: one per hardware thread; the results do not depend on it
};

/// The optimiser's frequency window: the lowest frequency at least `minimum`, the
/// highest at most `maximum`, each when enabled.
struct FrequencyWindow {
    bool minimumEnabled = false;
    double minimum = 0.0; ///< [Hz]
    bool maximumEnabled = false;
    double maximum = 0.0; ///< [Hz]

    bool enabled() const { return minimumEnabled || maximumEnabled; }
    /// Whether frequencies from `lowest` to `highest` all lie inside; NaN never does.
    bool contains(double lowest, double highest) const {
        return (!minimumEnabled || lowest >= minimum) && (!maximumEnabled || highest <= maximum);
    }
};

/// The spread of one quantity over the samples. NaN where undefined: min, max and
/// mean without samples, the standard deviation with fewer than two.
struct Spread {
    double nominal = 0.0; ///< of the model as it is
    double min = 0.0;
    double max = 0.0;
    double mean = 0.0;
    double std = 0.0; ///< sample standard deviation (n - 1)
};

struct ModeSpread {
    int mode = 0;      ///< 1 = lowest frequency of each sample
    Spread frequency;  ///< [Hz]
    Spread decoupling; ///< the largest kinetic energy share, global axes [%]
};

struct RobustnessResult {
    std::int64_t samples = 0;   ///< done, and in the spreads
    std::int64_t requested = 0; ///< asked for
    /// Samples whose modes did not reach their own frequencies (frequency tables,
    /// kMaxModeIterations): done, but left out of the spreads.
    std::int64_t unconverged = 0;
    bool completed = false; ///< every requested sample done (not stopped)
    std::array<ModeSpread, 6> modes;
    /// Samples whose frequencies all lie inside the window [%]; none without a
    /// window or without samples.
    std::optional<double> windowShare;
    /// Why the run ended before its samples were done (memory ran out on a
    /// thread): the user's language; empty otherwise.
    std::string error;
};

/// The model's body and springs with the characteristics whose rates vary as
/// `vary` says: the model's own, or one copy per bound spring under a new id, so
/// that each spring's rates are variables of their own. Loads and results are
/// left out.
AnalysisModel varyingModel(const AnalysisModel& model, RateVariation vary);

/// Samples the model with its spring rates and positions varied as `settings` say,
/// solves the modes of each (sorted by frequency; with frequency tables each at its
/// own frequency, the tables relative to the drawn rates) and gathers their spread. Sample i
/// draws its numbers from a stream of its own seeded by (seed, i), and partial sums
/// are combined in a fixed order, so the result is the same whatever the number of
/// threads. `control.stop` ends the run early with the samples done. The model must
/// pass analysisRefusal.
RobustnessResult robustness(const AnalysisModel& model, const RobustnessSettings& settings,
                            const FrequencyWindow& window, RunControl& control);

} // namespace quav
