// The optimiser's throughput: the per-variant pipeline and whole runs.
#include "analysis/CalculationDriver.h"
#include "optimizer/Optimizer.h"
#include "optimizer/OptimizerRun.h"
#include "optimizer/Variant.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

using namespace quav;

namespace {

Matrix v3(double x, double y, double z) {
    return Matrix::vector({x, y, z});
}

/// Four inclined mounts on two characteristics, products of inertia, two static loads.
AnalysisModel studyModel() {
    AnalysisModel m{AnalysisModel::Detached{}};
    m.mass = 185.0;
    m.setInertia(Matrix(3, 3, {8.2, 0.45, 1.1, 0, 12.6, -0.3, 0, 0, 10.4}));
    m.setCentreOfGravity(v3(0.02, 0.01, 0.18));
    const double at[4][4] = {{0.36, -0.25, 0.05, -110},
                             {0.36, 0.25, 0.05, -70},
                             {-0.40, -0.25, -0.02, -105},
                             {-0.40, 0.25, -0.02, -75}};
    for (const auto& p : at)
        m.addSpring("mount", v3(p[0], p[1], p[2]), v3(0, p[3], 0), 0.06f); // ids 2-5
    m.springs[0].selected = m.springs[1].selected = 1;
    m.assignCharacteristic("front", v3(272500, 54500, 54500), 1.3, v3(320, 110, 110)); // 6
    m.springs[2].selected = m.springs[3].selected = 1;
    m.assignCharacteristic("rear", v3(218000, 43600, 43600), 1.4, v3(260, 90, 90)); // 7
    m.addStaticLoad("weight", 1814.85, v3(0.02, 0.01, 0.18), v3(0, 0, -1), Translational);
    m.addStaticLoad("roll", 220, v3(0.02, 0.01, 0.18), v3(1, 0, 0), Moment); // 9
    return m;
}

/// Four parameters bound to rates and positions, `values` values each, with
/// the usual conditions on; few variants pass.
Optimizer studyOptimizer(AnalysisModel& m, int values = 10) {
    Optimizer o;
    o.attach(&m);
    const double steps = values - 1;
    const int front = o.addParameter("front Kxx", 2.3e5 + steps * 9e4 / steps, 2.3e5, 9e4 / steps);
    const int rear = o.addParameter("rear Kxx", 1.7e5 + 9e4, 1.7e5, 9e4 / steps);
    const int rearX = o.addParameter("rear x", -0.35, -0.44, 0.09 / steps);
    const int frontY = o.addParameter("front y", 0.3, 0.21, 0.09 / steps);
    for (int target : {1, 2, 3})
        o.setBinding(6, target, front, target == 1 ? 1.0 : 0.2);
    for (int target : {1, 2, 3})
        o.setBinding(7, target, rear, target == 1 ? 1.0 : 0.2);
    o.setBinding(4, 1, rearX, 1.0);
    o.setBinding(5, 1, rearX, 1.0);
    o.setBinding(2, 2, frontY, -1.0);
    o.setBinding(3, 2, frontY, 1.0);
    auto& c = o.conditions;
    c.minFrequencyEnabled = c.maxFrequencyEnabled = 1;
    c.minFrequency = 5.0;
    c.maxFrequency = 20.0;
    c.meanCouplingEnabled = 1;
    c.meanCouplingMax = 12.0;
    c.springRatioEnabled = 1;
    c.modeConditionEnabled[2] = 1;
    c.modeContributionPct[2] = 50.0;
    c.modeMaxFrequency[2] = 14.0;
    DisplacementCondition d;
    d.objectId = 1;
    d.loadId = 8;
    d.limit = 0.004;
    d.directionFlags = {0, 0, 0, 0, 0, 0, 1};
    c.addDisplacementCondition(d);
    return o;
}

/// Copy, bindings, eigen + static calculation and the conditions for one variant.
void BM_VariantPipeline(benchmark::State& state) {
    AnalysisModel model = studyModel();
    Optimizer o = studyOptimizer(model);
    for (auto& p : o.parameters)
        p.currentValue = p.minValue + 3 * p.increment;
    CalculationConditions conditions;
    conditions.dynamic = conditions.frequencyStep = 0;
    for (auto _ : state) {
        AnalysisModel variant(model);
        applyBindings(variant, o.bindings, o.parameters);
        runCalculation(variant, conditions);
        benchmark::DoNotOptimize(evaluateVariant(variant, o.conditions));
    }
    state.counters["variants/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VariantPipeline);

/// A whole run, with its files and log: 10 values per parameter (10,000
/// combinations) or 18 (104,976).
void BM_OptimizerRun(benchmark::State& state) {
    AnalysisModel model = studyModel();
    std::int64_t combinations = 0;
    const auto dir =
        std::filesystem::temp_directory_path() / ("quav-bench-" + std::to_string(::getpid()));
    std::int64_t matches = 0;
    for (auto _ : state) {
        Optimizer o = studyOptimizer(model, static_cast<int>(state.range(1)));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        o.outputDirectory = dir.string();
        RunOptions options;
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
    ->ArgsProduct({{1, 2}, {10, 18}})
    ->ArgNames({"threads", "values"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
