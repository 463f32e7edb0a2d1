#include "document/Document.h"

#include <benchmark/benchmark.h>

using namespace quav;

namespace {

/// `springs` mounts and four dynamic loads with a 1000-step sweep, calculated.
void fill(AnalysisModel& m, int springs) {
    m.mass = 100.0;
    m.setSize(Matrix::vector({0.5, 0.4, 0.3}));
    for (int i = 0; i < springs; ++i)
        m.addSpring("mount", Matrix::vector({0.3, 0.25, -0.1}), Matrix::vector({0, 30, 45}), 0.05f);
    for (int i = 0; i < 4; ++i)
        m.addDynamicLoad("unbalance", 100.0, Matrix::vector({0, 0, 0}), Matrix::vector({0, 0, 1}),
                         Translational, 30.0);
    m.setFrequencyRange(1000.0, 1.0, 1.0);
    m.frequencyStepResults.assign(1000, Matrix(4, 12));
    m.calculated = 1;
}

/// One edit recorded (the state before it kept as an undo step), as every
/// editing command does before it changes the model; the history at its
/// limits. The results are shared, so the time follows the model, not the sweep.
void BM_RecordEdit(benchmark::State& state) {
    CQUAVDoc doc;
    fill(doc.createModel(), static_cast<int>(state.range(0)));
    for (auto _ : state)
        doc.beginEdit("edit", false);
    state.counters["steps kept"] = static_cast<double>(doc.history().undoCount());
    state.counters["MB held"] = static_cast<double>(doc.history().bytes()) / (1 << 20);
}
BENCHMARK(BM_RecordEdit)->Arg(4)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

/// Ctrl+Z then Ctrl+Y: each restores a model and a copy of its results.
void BM_UndoRedo(benchmark::State& state) {
    CQUAVDoc doc;
    fill(doc.createModel(), static_cast<int>(state.range(0)));
    doc.beginEdit("edit");
    for (auto _ : state) {
        doc.undo();
        doc.redo();
    }
}
BENCHMARK(BM_UndoRedo)->Arg(4)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
