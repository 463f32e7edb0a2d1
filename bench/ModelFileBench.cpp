#include "model/ModelFile.h"

#include <benchmark/benchmark.h>

using namespace quav;

namespace {

/// Four mounts, four dynamic loads and a 1000-step sweep: about 400 kB on disk.
AnalysisModel sweptModel() {
    AnalysisModel m{AnalysisModel::Detached{}};
    for (int i = 0; i < 4; ++i) {
        m.addSpring("mount", Matrix::vector({0.3, 0.25, -0.1}), Matrix::vector({0, 30, 45}), 0.05f);
        m.addDynamicLoad("加振", 100.0, Matrix::vector({0, 0, 0}), Matrix::vector({0, 0, 1}),
                         Translational, 30.0);
    }
    m.setFrequencyRange(1000.0, 1.0, 1.0);
    m.frequencyStepResults.assign(1000, Matrix(4, 12));
    return m;
}

void BM_WriteModelFile(benchmark::State& state) {
    const AnalysisModel m = sweptModel();
    const Optimizer o;
    std::size_t bytes = 0;
    for (auto _ : state) {
        ModelBytes file = writeModelBytes(m, o);
        bytes += file.bytes.size();
        benchmark::DoNotOptimize(file);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteModelFile);

void BM_ReadModelFile(benchmark::State& state) {
    const std::string file = writeModelBytes(sweptModel(), Optimizer{}).bytes;
    for (auto _ : state)
        benchmark::DoNotOptimize(readModelBytes(file));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_ReadModelFile);

} // namespace
