// Load cases with snubbing mounts: 1,000 cases of the example with a curve on
// every direction of every mount, on one thread.
#include "analysis/LoadCaseAnalysis.h"
#include "exchange/ModelJson.h"

#include <benchmark/benchmark.h>

namespace {

using namespace quav;

void BM_ThousandLoadCases(benchmark::State& state) {
    StudyRead file = readJsonModelFile(QUAV_EXAMPLES "/power_unit_cases.json");
    if (!file.ok()) {
        state.SkipWithError(file.error.c_str());
        return;
    }
    AnalysisModel model = *file.model;
    // The example's twenty cases at 50 levels from a tenth to one and a half
    // times their load: from the linear range far into the snubbers.
    const std::vector<LoadCase> base = model.loadCases;
    model.loadCases.clear();
    for (int level = 0; level < 50; ++level) {
        const double scale = 0.1 + 1.4 * level / 49.0;
        for (LoadCase c : base) {
            c.name += " x" + std::to_string(scale);
            for (LoadTerm& t : c.terms)
                t.factor *= scale;
            for (double& g : c.gLoad)
                g *= scale;
            model.loadCases.push_back(c);
        }
    }
    int iterations = 0;
    for (auto _ : state) {
        const std::vector<LoadCaseResult> results = analyseLoadCases(model);
        iterations = 0;
        for (const LoadCaseResult& r : results)
            iterations += r.iterations;
        benchmark::DoNotOptimize(results.data());
    }
    state.counters["cases"] = static_cast<double>(model.loadCases.size());
    state.counters["newtonSteps"] = iterations;
}
BENCHMARK(BM_ThousandLoadCases)->Unit(benchmark::kMillisecond);

} // namespace
