// The optimiser's throughput: the per-variant pipeline and whole runs.
#include "BenchModels.h"
#include "analysis/CalculationDriver.h"
#include "analysis/VariantBasis.h"
#include "document/ModelFile.h"
#include "optimizer/Optimizer.h"
#include "optimizer/OptimizerRun.h"
#include "optimizer/Variant.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace quav;
using quav::bench::studyModel;
using quav::bench::studyOptimizer;

namespace {

/// The full calculation of one variant as a run makes it when nothing rules the
/// variant out: the model written into storage reused from the variant before,
/// bindings, eigen + static calculation (the principal inertia axes and spring
/// orientations, which these bindings leave alone, found once for the run) and the
/// conditions. With `fromScratch` 1, as `calc` would make it: a fresh copy of the
/// model, everything found for it.
void BM_VariantPipeline(benchmark::State& state) {
    AnalysisModel model = studyModel();
    Optimizer o = studyOptimizer();
    for (auto& p : o.parameters)
        p.currentValue = p.minValue + 3 * p.increment;
    CalculationConditions conditions;
    conditions.dynamic = conditions.frequencyStep = 0;
    const VariantBasis basis(model);
    auto evaluate = [&](AnalysisModel& variant, const VariantBasis* shared) {
        applyBindings(variant, o.bindings, o.parameters);
        calculate(variant, conditions, shared);
        benchmark::DoNotOptimize(evaluateVariant(variant, o.conditions));
    };
    AnalysisModel reused;
    for (auto _ : state) {
        if (state.range(0) != 0) {
            AnalysisModel fresh(model);
            evaluate(fresh, nullptr);
        } else {
            reused = model;
            evaluate(reused, &basis);
        }
    }
    state.counters["variants/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VariantPipeline)->Arg(0)->Arg(1)->ArgName("fromScratch");

/// The run's work per variant without its files: the study's combinations in
/// enumeration order through RunInput::evaluate (storage reused, the screen
/// first, the full calculation only for what the screen lets through), as a run
/// makes it: RunInput::kBatchVariants at a time, the eigen systems side by side.
/// With `screened` 0 the conditions are those the screen cannot settle, so every
/// variant gets the full calculation; with 2 only the frequency window, which
/// the screen settles by counting, and with 3 a window every variant fails.
void BM_RunVariant(benchmark::State& state) {
    AnalysisModel model = studyModel();
    Optimizer o = studyOptimizer(static_cast<int>(state.range(0)));
    bench::benchConditions(o, state.range(1));
    const RunInput input(model, o);
    const auto combinations = bench::allCombinations(o.parameters);
    const std::size_t n = o.parameters.size();
    std::vector<double> values;
    for (const auto& c : combinations)
        values.insert(values.end(), c.begin(), c.end());
    constexpr std::size_t kBatch = RunInput::kBatchVariants;
    RunInput::Workspace work(o.parameters);
    bool verdicts[kBatch];
    std::size_t next = 0;
    std::int64_t accepted = 0, evaluated = 0;
    for (auto _ : state) {
        const std::size_t count = std::min(kBatch, combinations.size() - next);
        input.evaluateBatch(values.data() + next * n, count, work, verdicts);
        for (std::size_t i = 0; i < count; ++i)
            accepted += verdicts[i];
        evaluated += static_cast<std::int64_t>(count);
        next = (next + count) % combinations.size();
    }
    state.counters["accepted %"] =
        benchmark::Counter(100.0 * static_cast<double>(accepted) / static_cast<double>(evaluated),
                           benchmark::Counter::kAvgThreads);
    state.counters["variants/s"] =
        benchmark::Counter(static_cast<double>(evaluated), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunVariant)
    ->ArgsProduct({{18}, {1, 0, 2, 3}})
    ->ArgNames({"values", "screened"})
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime();

/// A whole run, with its files and log: 10 values per parameter (10,000
/// combinations) or 18 (104,976); the study's conditions (`screened` 1), only
/// those the screen cannot settle (0) or only the frequency window (2).
void BM_OptimizerRun(benchmark::State& state) {
    AnalysisModel model = studyModel();
    std::int64_t combinations = 0;
    const auto dir =
        std::filesystem::temp_directory_path() / ("quav-bench-" + std::to_string(::getpid()));
    std::int64_t matches = 0;
    for (auto _ : state) {
        // Clearing the previous run's files is not part of the run.
        state.PauseTiming();
        Optimizer o = studyOptimizer(static_cast<int>(state.range(1)));
        bench::benchConditions(o, state.range(2));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        o.outputDirectory = dir.string();
        state.ResumeTiming();
        RunOptions options;
        options.writeModelFile = saveModelFile;
        options.documentTitle = "bench";
        options.threads = static_cast<int>(state.range(0));
        runOptimization(o, model, options);
        matches = o.matchCount;
        combinations = o.processedCount;
    }
    std::filesystem::remove_all(dir);
    state.counters["matches"] = static_cast<double>(matches);
    state.counters["combinations"] = static_cast<double>(combinations);
    state.counters["variants/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * combinations), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OptimizerRun)
    ->ArgsProduct({{1, 2}, {10, 18}, {1, 0, 2}})
    ->ArgNames({"threads", "values", "screened"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
