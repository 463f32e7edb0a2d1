// The mount analyses: energy distribution, torque roll axis and mount forces of
// one model, and the robustness run in samples per second.
#include "BenchModels.h"

#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/MountForces.h"
#include "analysis/Robustness.h"
#include "analysis/TorqueRollAxis.h"

#include <benchmark/benchmark.h>

namespace {

using namespace quav;

// The modes once, then KED in both frames, the TRA and the forces of every load:
// what the three reports of a model cost.
void BM_MountAnalyses(benchmark::State& state) {
    const AnalysisModel model = bench::powerUnit();
    for (auto _ : state) {
        const ModalSolution modes = solveModes(model);
        benchmark::DoNotOptimize(kineticEnergyDistribution(model, modes, EnergyFrame::Global));
        benchmark::DoNotOptimize(kineticEnergyDistribution(model, modes, EnergyFrame::Principal));
        benchmark::DoNotOptimize(torqueRollAxis(model, modes, defaultTorqueAxis(model)));
        benchmark::DoNotOptimize(mountForces(model));
    }
}
BENCHMARK(BM_MountAnalyses)->Unit(benchmark::kMicrosecond);

// Samples per second of a 4-mount model with rate and position tolerances, on
// Arg(0) threads; the run's own fixed costs (nominal modes, threads) included.
void BM_RobustnessSamples(benchmark::State& state) {
    const AnalysisModel model = bench::studyModel();
    RobustnessSettings settings;
    settings.tolerancePct = 10.0;
    settings.positionTolerance = 0.005;
    settings.samples = 100000;
    settings.threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        RunControl control;
        benchmark::DoNotOptimize(robustness(model, settings, FrequencyWindow{}, control));
    }
    state.SetItemsProcessed(state.iterations() * settings.samples);
}
BENCHMARK(BM_RobustnessSamples)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
