#pragma once

// Work off the calling thread: one piece of work on a thread of its own
// (`Worker`), or one piece of work on several threads at once (`runOnThreads`).
// Either way an exception thrown by the work ends the work with that error and
// reaches whoever waits for it; it never ends the process.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quav {

/// What a caller on another thread sees of a piece of work and how it stops it.
struct RunControl {
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> done{0}; ///< units of work done so far (samples, parameters)
};

/// Why work ended with `failure`, in the user's language: "メモリが足りません"
/// when memory ran out, else the exception's own text.
std::string failureReason(const std::exception_ptr& failure);

/// The message of a calculation that `failure` ended: "メモリが足りないため計算を
/// 中断しました" when memory ran out, else "計算を中断しました: " and the reason.
std::string interruptedCalculationText(const std::exception_ptr& failure);

/// Runs `work` here; what it throws comes back as the calculation's message
/// (`interruptedCalculationText`), empty when it returned.
std::string runCaught(const std::function<void()>& work);

/// The first exception of several threads; later ones are dropped, as they
/// usually follow from the first (the others stopped because of it).
class FirstFailure {
public:
    /// Keeps the exception being handled, if it is the first. Call in a catch block.
    void capture() noexcept;
    bool failed() const noexcept { return failed_.load(std::memory_order_acquire); }
    std::exception_ptr get() const;
    /// Throws the kept exception, if any.
    void rethrow() const;

private:
    mutable std::mutex mutex_;
    std::exception_ptr failure_;
    std::atomic<bool> failed_{false};
};

/// Runs `work` on `threads` threads at once, this one among them, and returns
/// when all have finished: the first exception any of them threw, or null.
/// `onFailure` runs on the failing thread, so the work can tell the others to
/// stop. Threads the system refuses are done without: the work must share
/// itself out (take items from a common counter) rather than count on a number
/// of threads.
std::exception_ptr runOnThreads(int threads, const std::function<void()>& work,
                                const std::function<void()>& onFailure = {});

/// One piece of work on a thread of its own: start it, watch its progress, ask
/// it to stop, then take its result (what the work wrote) or its error.
/// Destroying a worker asks the work to stop and waits for it.
class Worker {
public:
    Worker() = default;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker();

    /// Starts `work` on a new thread; false while earlier work runs, or when
    /// the system gives no thread (then `failure` says why and nothing runs).
    bool start(std::function<void(RunControl&)> work);

    /// Asks the work to stop; the work reads `RunControl::stop` when it can.
    void requestStop() { control_.stop.store(true); }
    /// The work has returned or thrown (it may still be leaving its thread).
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    /// Waits until the work has finished and its thread has ended.
    void wait();
    /// Waits as `wait` does, calling `poll` every `interval` meanwhile (on this
    /// thread: progress displays, interrupt checks).
    void waitPolling(std::chrono::milliseconds interval, const std::function<void()>& poll);

    RunControl& control() { return control_; }
    std::int64_t done() const { return control_.done.load(std::memory_order_relaxed); }

    /// What the work threw, or null; read after `wait`.
    std::exception_ptr failure() const { return failure_; }
    bool failed() const { return failure_ != nullptr; }

private:
    RunControl control_;
    std::thread thread_;
    std::atomic<bool> finished_{true};
    std::exception_ptr failure_;
};

} // namespace quav
