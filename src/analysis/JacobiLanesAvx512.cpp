// The side-by-side Jacobi rotations in AVX-512 registers, eight systems at a time.
// Built with -mavx512f and called only when the processor has it.
#include "analysis/JacobiLanes.h"

#include <immintrin.h>

namespace quav::detail {

namespace {

struct Avx512Isa {
    static constexpr int kWidth = 8;
    using V = double __attribute__((vector_size(64)));
    using M = decltype(V{} < V{});
    static V sqrt(V x) { return _mm512_mask_sqrt_pd(x, 0xff, x); } // all lanes; no undefined source
    static bool any(M m) { return _mm512_test_epi64_mask((__m512i)m, (__m512i)m) != 0; }
};

} // namespace

void solveLanesAvx512(double* const* systems, double* const* vectors, const double* floors,
                      int count) {
    solveLanes<Avx512Isa>(systems, vectors, floors, count);
}

void solveBoundedLanesAvx512(const double* systems, int stride, const double* floors,
                             const double* stops, int count, const double* start, double* values,
                             double* vectors, double* remainders, double* departures) {
    solveBoundedLanes<Avx512Isa>(systems, stride, floors, stops, count, start, values, vectors,
                                 remainders, departures);
}

} // namespace quav::detail
