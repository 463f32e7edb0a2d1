#pragma once

// Memory that runs out on the worker threads only, for tests of what a run does
// when a thread other than its caller cannot allocate. Include in exactly one
// source file of a test program: it replaces the global operator new.

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace quav::testing {

/// While armed, every allocation on a thread other than the one that armed it
/// throws std::bad_alloc.
class FailingAllocation {
public:
    FailingAllocation() {
        owner() = std::this_thread::get_id();
        armed().store(true);
    }
    ~FailingAllocation() { armed().store(false); }
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    static bool refuses() { return armed().load() && std::this_thread::get_id() != owner(); }

private:
    static std::atomic<bool>& armed() {
        static std::atomic<bool> value{false};
        return value;
    }
    static std::thread::id& owner() {
        static std::thread::id id;
        return id;
    }
};

} // namespace quav::testing

void* operator new(std::size_t size) {
    if (quav::testing::FailingAllocation::refuses())
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
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
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
