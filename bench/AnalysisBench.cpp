#include "analysis/CalculationDriver.h"
#include "analysis/DynamicAnalysis.h"
#include "analysis/EigenAnalysis.h"

#include <benchmark/benchmark.h>

using namespace quav;

namespace {

/// A power unit on four inclined mounts with a static weight case and one unbalance.
AnalysisModel powerUnit() {
    AnalysisModel m{AnalysisModel::Detached{}};
    m.mass = 150.0;
    m.setCentreOfGravity(Matrix::vector({0.02, -0.01, 0.12}));
    m.setInertia(Matrix(3, 3, {6.5, 0.4, -0.3, 0.4, 8.2, 0.2, -0.3, 0.2, 9.1}));
    const double xy[4][2] = {{0.3, 0.25}, {-0.3, 0.25}, {0.3, -0.25}, {-0.3, -0.25}};
    for (const auto& p : xy) {
        m.addSpring("mount", Matrix::vector({p[0], p[1], -0.1}),
                    Matrix::vector({0, p[1] > 0 ? 30.0 : -30.0, 0}), 0.05f);
        m.springs.back().selected = 1;
    }
    m.assignCharacteristic("rubber", Matrix::vector({4e5, 1e5, 1e5}), 1.3,
                           Matrix::vector({200, 100, 100}));
    m.addStaticLoad("weight", m.mass * 9.81, m.centreOfGravity, Matrix::vector({0, 0, -1}),
                    Translational);
    m.addDynamicLoad("unbalance", 120.0, Matrix::vector({0.25, 0.0, 0.15}),
                     Matrix::vector({0, 0.6, 0.8}), Translational, 30.0);
    return m;
}

void BM_EigenAnalysis(benchmark::State& state) {
    const AnalysisModel m = powerUnit();
    for (auto _ : state)
        benchmark::DoNotOptimize(solveModes(m));
}
BENCHMARK(BM_EigenAnalysis);

// One optimiser variant: copy the model, then eigen and static analysis.
void BM_VariantCalculation(benchmark::State& state) {
    const AnalysisModel m = powerUnit();
    CalculationConditions conditions;
    conditions.dynamic = 0;
    conditions.frequencyStep = 0;
    for (auto _ : state) {
        AnalysisModel variant = m;
        benchmark::DoNotOptimize(runCalculation(variant, conditions));
    }
    state.counters["variants/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VariantCalculation);

// One sweep step with one dynamic load.
void BM_SweepStep(benchmark::State& state) {
    const AnalysisModel m = powerUnit();
    for (auto _ : state)
        benchmark::DoNotOptimize(responseAtCommonFrequency(m, 42.0));
    state.counters["steps/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SweepStep);

} // namespace
