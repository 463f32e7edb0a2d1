#include "BenchModels.h"
#include "analysis/CalculationDriver.h"
#include "analysis/DynamicAnalysis.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/StaticAnalysis.h"

#include <benchmark/benchmark.h>

using namespace quav;
using quav::bench::powerUnit;

namespace {

void BM_EigenAnalysis(benchmark::State& state) {
    const AnalysisModel m = powerUnit();
    for (auto _ : state)
        benchmark::DoNotOptimize(solveModes(m));
}
BENCHMARK(BM_EigenAnalysis);

// The number of frequencies below a threshold, counted, as the optimiser's screen
// asks: the modal system and one factorisation.
void BM_FrequencyCount(benchmark::State& state) {
    const AnalysisModel m = powerUnit();
    const PrincipalAxes principal = principalInertiaAxes(m.inertia);
    for (auto _ : state)
        benchmark::DoNotOptimize(FrequencyCount(m, principal).below(12.0));
}
BENCHMARK(BM_FrequencyCount);

void BM_StaticAnalysis(benchmark::State& state) {
    const AnalysisModel m = powerUnit();
    for (auto _ : state)
        benchmark::DoNotOptimize(staticAnalysis(m));
}
BENCHMARK(BM_StaticAnalysis);

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

// One sweep step with one dynamic load, through the stand-alone call.
void BM_SweepStep(benchmark::State& state) {
    const AnalysisModel m = powerUnit();
    for (auto _ : state)
        benchmark::DoNotOptimize(responseAtCommonFrequency(m, 42.0));
    state.counters["load-steps/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SweepStep);

// One sweep step with one dynamic load, as the calculation's sweep runs it: the
// frequency-independent part prepared once.
void BM_PreparedSweepStep(benchmark::State& state) {
    const AnalysisModel m = powerUnit();
    const HarmonicResponse response(m);
    double f = 5.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(response.atCommonFrequency(f));
        f = f < 200.0 ? f + 0.5 : 5.0;
    }
    state.counters["load-steps/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PreparedSweepStep);

} // namespace
