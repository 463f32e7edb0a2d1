#pragma once

// Memory that runs out on the worker threads only, for tests of what a run does
// when a thread other than its caller cannot allocate. Include in exactly one
// source file of a test program: it replaces the global operator new.

#include "support/FailingAllocationSwitch.h"

#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    if (quav::testing::FailingAllocation::refuses())
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

// The library's nothrow form (std::stable_sort's buffer) must take its memory
// from the same place, since the sized delete below gives it back.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (quav::testing::FailingAllocation::refuses())
        return nullptr;
    return std::malloc(size ? size : 1);
}

// The replacement operator new takes its memory from malloc: free gives it back.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
