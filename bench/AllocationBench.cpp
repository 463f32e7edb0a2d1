// Heap allocations of the optimiser's variant pipeline, counted by replacing the
// global allocation functions of this benchmark binary.
#include "BenchModels.h"
#include "analysis/CalculationDriver.h"
#include "analysis/DynamicAnalysis.h"

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
