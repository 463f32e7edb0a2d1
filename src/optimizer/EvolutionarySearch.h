#pragma once

#include "optimizer/OptimizerRun.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quav {

/// How an evolutionary search runs.
struct SearchSettings {
    int population = 40;    ///< individuals per generation, 4 to kMaxPopulation, even
    int generations = 50;   ///< generations after the first, 1 to kMaxGenerations
    std::uint64_t seed = 1; ///< the same seed gives the same folder
    /// Each parameter on its own value grid (the grid run's values) instead of
    /// anywhere within minimum..maximum.
    bool discrete = false;
};

inline constexpr int kMaxPopulation = 100000;
inline constexpr int kMaxGenerations = 1000000;
/// Most values a parameter's grid may have in a discrete search.
inline constexpr std::int64_t kMaxDiscreteValues = std::int64_t{1} << 20;

/// Why the settings cannot run a search on this optimiser, one line each in the
/// user's language; empty when they can. A search needs objectives and parameters.
std::string searchSettingsProblem(const SearchSettings& settings, const Optimizer& optimizer);

/// The hypervolume [product of the objectives' units] that `points` (rows of
/// `maximise.size()` values, 2 or 3 objectives) dominate up to `reference`; points
/// not better than the reference in every objective add nothing.
double hypervolume(const std::vector<std::vector<double>>& points,
                   const std::vector<bool>& maximise, const std::vector<double>& reference);

/// The reference point the search's log states: each objective's worst value over
/// `points`, worse again by a tenth of its range over them (by 1 when the range is 0).
std::vector<double> referencePoint(const std::vector<std::vector<double>>& points,
                                   const std::vector<bool>& maximise);

/// Runs NSGA-II over the parameters' ranges in the calling thread: a population of
/// random individuals, then generations of binary tournaments, simulated binary
/// crossover and polynomial mutation, parents and offspring ranked together by
/// non-dominated sorting and crowding distance. The conditions are constraints: a
/// variant that passes beats one that fails, failing ones rank by the number of
/// conditions failed. Every variant goes through the grid run's evaluation
/// (RunInput). Writes original.quav, the front of every accepted variant evaluated
/// as No1.quav ... (in pareto.csv's order), pareto.csv and log.txt (settings, seed,
/// evaluations, the front, its hypervolume for 2-3 objectives with its reference
/// point). The folder depends on the seed only, not on `options.threads`. The stop
/// flag is read between generations; a stopped search writes the front so far.
/// `options.range` is not used; the counters count evaluations.
RunOutcome runEvolutionarySearch(Optimizer& optimizer, const AnalysisModel& model,
                                 const RunOptions& options, const SearchSettings& settings);

} // namespace quav
