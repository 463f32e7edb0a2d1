// The mount analyses: energy distribution, torque roll axis and mount forces of
// one model, the robustness run in samples per second and the sensitivities.
#include "BenchModels.h"

#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/MountForces.h"
#include "analysis/Robustness.h"
#include "analysis/Sensitivity.h"
#include "analysis/TorqueRollAxis.h"
#include "document/ModelFile.h"

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

// The full Jacobian of the example once its modes are known: 26 parameters (6 rates
// of 2 characteristics, 12 coordinates, 8 angles) by 24 outputs (6 frequencies, 6
// decoupling rates, the CoG's displacements under 2 static loads), with the
// nominal decoupling rates and static solutions it starts from.
void BM_SensitivityJacobian(benchmark::State& state) {
    const StudyRead example = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
    if (!example.ok()) {
        state.SkipWithError(example.error.c_str());
        return;
    }
    const AnalysisModel& model = *example.model;
    const ModalSolution modes = solveModes(model);
    const std::vector<SensitivityParameter> parameters = sensitivityParameters(model, {});
    for (auto _ : state)
        benchmark::DoNotOptimize(sensitivities(model, modes, parameters));
    state.counters["parameters"] = static_cast<double>(parameters.size());
}
BENCHMARK(BM_SensitivityJacobian)->Unit(benchmark::kMicrosecond);

} // namespace
