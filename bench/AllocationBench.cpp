// Heap allocations of the optimiser's variant pipeline, counted by replacing the
// global allocation functions of this benchmark binary.
#include "BenchModels.h"
#include "analysis/CalculationDriver.h"
#include "analysis/DynamicAnalysis.h"
#include "optimizer/Optimizer.h"
#include "optimizer/OptimizerRun.h"
#include "optimizer/Variant.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long long> allocations{0};

void* countedAllocation(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size) {
    return countedAllocation(size);
}
void* operator new[](std::size_t size) {
    return countedAllocation(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace quav;

namespace {

// Copy + eigen + static analysis; "allocs/variant" counts everything, "allocs/calc"
// only the calculation after the copy.
void BM_VariantAllocations(benchmark::State& state) {
    const AnalysisModel m = bench::powerUnit();
    CalculationConditions conditions;
    conditions.dynamic = 0;
    conditions.frequencyStep = 0;
    long long total = 0, calculation = 0;
    for (auto _ : state) {
        const long long start = allocations.load(std::memory_order_relaxed);
        AnalysisModel variant = m;
        const long long copied = allocations.load(std::memory_order_relaxed);
        benchmark::DoNotOptimize(runCalculation(variant, conditions));
        const long long end = allocations.load(std::memory_order_relaxed);
        total += end - start;
        calculation += end - copied;
    }
    state.counters["allocs/variant"] =
        benchmark::Counter(static_cast<double>(total), benchmark::Counter::kAvgIterations);
    state.counters["allocs/calc"] =
        benchmark::Counter(static_cast<double>(calculation), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_VariantAllocations);

// The optimiser's whole per-variant pipeline without the screen: copy, bindings,
// eigen + static calculation and the conditions, for one combination of the study.
void BM_VariantPipelineAllocations(benchmark::State& state) {
    AnalysisModel m = bench::studyModel();
    Optimizer o = bench::studyOptimizer();
    for (auto& p : o.parameters)
        p.currentValue = p.minValue + 3 * p.increment;
    CalculationConditions conditions;
    conditions.dynamic = conditions.frequencyStep = 0;
    long long total = 0, afterCopy = 0;
    for (auto _ : state) {
        const long long start = allocations.load(std::memory_order_relaxed);
        AnalysisModel variant(m);
        const long long copied = allocations.load(std::memory_order_relaxed);
        applyBindings(variant, o.bindings, o.parameters);
        runCalculation(variant, conditions);
        benchmark::DoNotOptimize(evaluateVariant(variant, o.conditions));
        const long long end = allocations.load(std::memory_order_relaxed);
        total += end - start;
        afterCopy += end - copied;
    }
    state.counters["allocs/variant"] =
        benchmark::Counter(static_cast<double>(total), benchmark::Counter::kAvgIterations);
    state.counters["allocs/after-copy"] =
        benchmark::Counter(static_cast<double>(afterCopy), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_VariantPipelineAllocations);

// The run's work per variant: the study's combinations through RunInput::evaluate,
// whose variant storage is reused. Only accepted variants are copied (by the run,
// not counted here).
void BM_RunVariantAllocations(benchmark::State& state) {
    AnalysisModel model = bench::studyModel();
    Optimizer o = bench::studyOptimizer(18);
    const RunInput input(model, o);
    AnalysisModel variant;
    const auto combinations = bench::allCombinations(o.parameters);
    std::size_t next = 0;
    long long count = 0;
    for (auto _ : state) {
        bench::setCombination(o.parameters, combinations, next);
        const long long start = allocations.load(std::memory_order_relaxed);
        benchmark::DoNotOptimize(input.evaluate(o.parameters, variant));
        count += allocations.load(std::memory_order_relaxed) - start;
        next = (next + 1) % combinations.size();
    }
    state.counters["allocs/variant"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RunVariantAllocations);

// One load at one frequency through the stand-alone call.
void BM_SweepStepAllocations(benchmark::State& state) {
    const AnalysisModel m = bench::powerUnit();
    long long count = 0;
    for (auto _ : state) {
        const long long start = allocations.load(std::memory_order_relaxed);
        benchmark::DoNotOptimize(responseAtCommonFrequency(m, 42.0));
        count += allocations.load(std::memory_order_relaxed) - start;
    }
    state.counters["allocs/step"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SweepStepAllocations);

} // namespace
