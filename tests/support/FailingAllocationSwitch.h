#pragma once

// The switch of `FailingAllocation.h` without the replacement operator new that
// obeys it: for a second source file of a test program whose first includes
// `FailingAllocation.h`.

#include <atomic>
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
