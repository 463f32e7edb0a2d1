#include "document/ModelFile.h"

#include <benchmark/benchmark.h>

using namespace quav;

namespace {

/// Four mounts, four dynamic loads and a 1000-step sweep: about 400 kB on disk.
AnalysisModel sweptModel() {
    AnalysisModel m;
    for (int i = 0; i < 4; ++i) {
        m.addSpring("mount", Matrix::vector({0.3, 0.25, -0.1}), Matrix::vector({0, 30, 45}), 0.05f);
        m.addDynamicLoad("加振", 100.0, Matrix::vector({0, 0, 0}), Matrix::vector({0, 0, 1}),
                         Translational, 30.0);
    }
    m.setFrequencyRange(1000.0, 1.0, 1.0);
    m.frequencyStepResults.assign(1000, Matrix(4, 12));
    return m;
}

/// Writes the model's file once per iteration, reporting bytes per second.
void measureWrite(benchmark::State& state, const AnalysisModel& m) {
    const Optimizer o;
    std::size_t bytes = 0;
    for (auto _ : state) {
        ModelBytes file = writeModelBytes(m, o);
        bytes += file.bytes.size();
        benchmark::DoNotOptimize(file);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

/// Reads the model's file once per iteration, reporting bytes per second.
void measureRead(benchmark::State& state, const AnalysisModel& m) {
    const std::string file = writeModelBytes(m, Optimizer{}).bytes;
    for (auto _ : state)
        benchmark::DoNotOptimize(readModelBytes(file));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

void BM_WriteModelFile(benchmark::State& state) {
    measureWrite(state, sweptModel());
}
BENCHMARK(BM_WriteModelFile);

void BM_ReadModelFile(benchmark::State& state) {
    measureRead(state, sweptModel());
}
BENCHMARK(BM_ReadModelFile);

/// A large study model: 10,000 springs, 1,000 dynamic loads and a 1,000-step
/// sweep at scale 1 (about 100 MB); other scales shrink or grow every list.
AnalysisModel largeModel(double scale) {
    AnalysisModel m;
    const int springs = static_cast<int>(10000 * scale);
    const int loads = static_cast<int>(1000 * scale);
    for (int i = 0; i < springs; ++i)
        m.addSpring("mount " + std::to_string(i), Matrix::vector({0.3, 0.25, -0.1 * i}),
                    Matrix::vector({0, 30, 45}), 0.05f);
    for (int i = 0; i < loads; ++i)
        m.addDynamicLoad("load " + std::to_string(i), 100.0, Matrix::vector({0, 0, 0}),
                         Matrix::vector({0, 0, 1}), Translational, 30.0 + i);
    m.setFrequencyRange(1000.0, 1.0, 1.0);
    Matrix table(loads, 12);
    for (int i = 0; i < table.size(); ++i)
        table[i] = 1e-3 * i;
    m.frequencyStepResults.assign(1000, table);
    m.dynamicResults = table;
    return m;
}

void BM_WriteLargeModel(benchmark::State& state) {
    measureWrite(state, largeModel(static_cast<double>(state.range(0)) / 4.0));
}
BENCHMARK(BM_WriteLargeModel)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_ReadLargeModel(benchmark::State& state) {
    measureRead(state, largeModel(static_cast<double>(state.range(0)) / 4.0));
}
BENCHMARK(BM_ReadLargeModel)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

} // namespace
