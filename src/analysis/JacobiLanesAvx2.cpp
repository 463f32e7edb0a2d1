// The side-by-side Jacobi rotations in AVX2 registers, four systems at a time. Built
// with -mavx2 and called only when the processor has it.
#include "analysis/JacobiLanes.h"

#include <immintrin.h>

namespace quav::detail {

namespace {

struct Avx2Isa {
    static constexpr int kWidth = 4;
    using V = double __attribute__((vector_size(32)));
    using M = decltype(V{} < V{});
    static V sqrt(V x) { return _mm256_sqrt_pd(x); }
    static bool any(M m) { return !_mm256_testz_si256((__m256i)m, (__m256i)m); }
};

} // namespace

void solveLanesAvx2(double* const* systems, double* const* vectors, const double* floors,
                    int count) {
    solveLanes<Avx2Isa>(systems, vectors, floors, count);
}

void solveBoundedLanesAvx2(const double* systems, int stride, const double* floors,
                           const double* stops, int count, const double* start, double* values,
                           double* vectors, double* remainders, double* departures) {
    solveBoundedLanes<Avx2Isa>(systems, stride, floors, stops, count, start, values, vectors,
                               remainders, departures);
}

} // namespace quav::detail
