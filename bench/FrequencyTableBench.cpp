// What frequency tables cost: the sweep with tables on every characteristic
// against the same sweep without, and the eigen solutions of the modes' fixed
// point. Both on the example model.
#include "analysis/CalculationDriver.h"
#include "analysis/OwnFrequencyModes.h"
#include "document/FrequencyTableText.h"
#include "document/ModelFile.h"
#include "model/FileIo.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace quav;

namespace {

AnalysisModel example() {
    StudyRead read = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
    if (!read.ok())
        throw std::runtime_error(read.error);
    return *read.model;
}

/// 20 rows from 1 to 200 Hz, even in ln f: the ratio rising from 1.1 to 2.0 along
/// local x and less across, the loss factor from 0.05 to 0.15.
FrequencyTable twentyRows() {
    FrequencyTable table;
    for (int i = 0; i < 20; ++i) {
        const double s = i / 19.0;
        table.push_back({std::exp(s * std::log(200.0)),
                         {1.1 + 0.9 * s, 1.05 + 0.7 * s, 1.05 + 0.7 * s},
                         {0.05 + 0.1 * s, 0.04 + 0.08 * s, 0.04 + 0.08 * s}});
    }
    return table;
}

/// 10,000 sweep steps of 1/64 Hz from 0 Hz (exact in binary, so the step count is
/// exactly 10,000) over the example's two dynamic loads: without tables (0) or with
/// the 20-row table on both characteristics (1).
void BM_Sweep10000Steps(benchmark::State& state) {
    AnalysisModel model = example();
    model.setFrequencyRange(9999.0 / 64.0, 0.0, 1.0 / 64.0);
    if (state.range(0))
        for (SpringCharacteristic& c : model.springCharacteristics)
            c.frequencyTable = twentyRows();
    CalculationConditions sweepOnly;
    sweepOnly.eigen = sweepOnly.staticAnalysis = sweepOnly.dynamic = 0;
    for (auto _ : state) {
        const CalculationOutcome outcome = calculate(model, sweepOnly);
        if (outcome.status != 0 || model.frequencyStepResults.size() != 10000)
            state.SkipWithError("the sweep failed");
        benchmark::DoNotOptimize(model.frequencyStepResults.data());
    }
    state.counters["steps/s"] = benchmark::Counter(
        10000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Sweep10000Steps)->ArgName("tables")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

/// The modes at their own frequencies with the example's table
/// (examples/rubber_mount.csv) on both characteristics: the eigen solutions they
/// take, the shared start included, in all and at most for one mode.
void BM_ModesAtOwnFrequencies(benchmark::State& state) {
    AnalysisModel model = example();
    const FileContent csv = readWholeFile(QUAV_EXAMPLES "/rubber_mount.csv", 1 << 20);
    const TableText table = readFrequencyTable(csv.bytes, TableHeading::Required);
    if (!table.ok())
        throw std::runtime_error(table.error);
    for (SpringCharacteristic& c : model.springCharacteristics)
        c.frequencyTable = table.rows;
    const PrincipalAxes principal = principalInertiaAxes(model.inertia);
    OwnFrequencyModes modes;
    for (auto _ : state) {
        modes = solveModesAtOwnFrequencies(model, principal);
        benchmark::DoNotOptimize(modes);
    }
    state.counters["eigen solutions"] = modes.eigenSolutions;
    state.counters["most for one mode"] =
        1 + *std::max_element(modes.iterations.begin(), modes.iterations.end());
}
BENCHMARK(BM_ModesAtOwnFrequencies);

} // namespace
