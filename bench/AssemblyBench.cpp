#include "analysis/SystemAssembly.h"

#include <benchmark/benchmark.h>

using namespace quav;

namespace {

AnalysisModel fourMountModel() {
    AnalysisModel m;
    const double xy[4][2] = {{0.3, 0.25}, {-0.3, 0.25}, {0.3, -0.25}, {-0.3, -0.25}};
    for (const auto& p : xy) {
        m.addSpring("mount", Matrix::vector({p[0], p[1], -0.1}), Matrix::vector({0, 30, 45}),
                    0.05f);
        m.springs.back().selected = 1;
    }
    m.assignCharacteristic("rubber", Matrix::vector({4e5, 1e5, 1e5}), 1.3,
                           Matrix::vector({200, 100, 100}));
    return m;
}

void BM_SystemStiffness(benchmark::State& state) {
    const AnalysisModel m = fourMountModel();
    const Matrix q = Matrix::column(3);
    const Matrix t = Matrix::identity(3);
    for (auto _ : state)
        benchmark::DoNotOptimize(systemStiffness(m, q, t, true));
}
BENCHMARK(BM_SystemStiffness);

} // namespace
