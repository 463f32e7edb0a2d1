// The Pareto front's streaming filter and the evolutionary search.
#include "document/ModelFile.h"
#include "optimizer/EvolutionarySearch.h"
#include "optimizer/ParetoFront.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

using namespace quav;

namespace {

/// 10^7 synthetic vectors of three objectives (uniform, so the front stays in the
/// hundreds, as a study's does) through the filter; the vectors are made as they
/// stream, so the memory counted is the filter's own.
void BM_StreamingFront(benchmark::State& state) {
    const auto count = state.range(0);
    std::size_t front = 0;
    for (auto _ : state) {
        std::mt19937_64 random(5);
        std::uniform_real_distribution<double> uniform(0.0, 1.0);
        ParetoFront filter({false, true, false}, 2);
        double v[3], p[2] = {0.0, 0.0};
        for (std::int64_t i = 1; i <= count; ++i) {
            for (double& x : v)
                x = uniform(random);
            filter.offer(i, p, v);
        }
        front = filter.size();
        benchmark::DoNotOptimize(front);
    }
    state.counters["front"] = static_cast<double>(front);
    // The process's peak resident memory (run the benchmark alone for the
    // filter's own figure): the front is all the filter keeps.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["vectors/s"] = benchmark::Counter(
        static_cast<double>(count * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StreamingFront)->Arg(10000000)->Unit(benchmark::kMillisecond);

/// NSGA-II on the example with two objectives, 100 individuals over 999
/// generations (10^5 evaluations) on one thread; model files are not written.
void BM_EvolutionarySearch(benchmark::State& state) {
    const StudyRead example = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
    if (!example.ok()) {
        state.SkipWithError(example.error.c_str());
        return;
    }
    const std::string dir =
        (std::filesystem::temp_directory_path() / ("quav-bench-" + std::to_string(::getpid())))
            .string();
    std::filesystem::create_directories(dir);
    SearchSettings settings;
    settings.population = 100;
    settings.generations = static_cast<int>(state.range(0)) / 100 - 1;
    RunOptions options;
    options.threads = 1;
    options.writeModelFile = [](const AnalysisModel&, const Optimizer&, const std::string&,
                                Durability) { return FileResult{}; };
    for (auto _ : state) {
        Optimizer o = example.optimizer;
        o.objectives = {{ObjectiveKind::DecouplingMin, true},
                        {ObjectiveKind::Transmissibility, false, 0, 1}};
        o.outputDirectory = dir;
        benchmark::DoNotOptimize(runEvolutionarySearch(o, *example.model, options, settings));
    }
    std::filesystem::remove_all(dir);
    state.counters["evaluations/s"] = benchmark::Counter(
        static_cast<double>(state.range(0) * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EvolutionarySearch)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
