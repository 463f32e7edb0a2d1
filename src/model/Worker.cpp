#include "model/Worker.h"

#include <new>
#include <vector>

namespace quav {

std::string failureReason(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return "メモリが足りません";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "原因不明のエラー";
    }
}

std::string interruptedCalculationText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return "メモリが足りないため計算を中断しました";
    } catch (...) {
        return "計算を中断しました: " + failureReason(failure);
    }
}

std::string runCaught(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        return interruptedCalculationText(std::current_exception());
    }
    return {};
}

void FirstFailure::capture() noexcept {
    const std::lock_guard lock(mutex_);
    if (failure_)
        return;
    failure_ = std::current_exception();
    failed_.store(true, std::memory_order_release);
}

std::exception_ptr FirstFailure::get() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

void FirstFailure::rethrow() const {
    if (const std::exception_ptr failure = get())
        std::rethrow_exception(failure);
}

std::exception_ptr runOnThreads(int threads, const std::function<void()>& work,
                                const std::function<void()>& onFailure) {
    FirstFailure failure;
    const auto guarded = [&] {
        try {
            work();
        } catch (...) {
            failure.capture();
            if (onFailure)
                onFailure();
        }
    };
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(static_cast<std::size_t>(threads > 1 ? threads - 1 : 0));
        for (int t = 1; t < threads; ++t)
            helpers.emplace_back(guarded);
    } catch (...) {
        // No more threads to be had: those started and this one do the work.
    }
    guarded();
    for (std::thread& h : helpers)
        h.join();
    return failure.get();
}

Worker::~Worker() {
    requestStop();
    wait();
}

bool Worker::start(std::function<void(RunControl&)> work) {
    if (!finished())
        return false;
    if (thread_.joinable())
        thread_.join();
    control_.stop.store(false);
    control_.done.store(0);
    failure_ = nullptr;
    finished_.store(false, std::memory_order_release);
    try {
        thread_ = std::thread([this, work = std::move(work)] {
            try {
                work(control_);
            } catch (...) {
                failure_ = std::current_exception();
            }
            finished_.store(true, std::memory_order_release);
        });
    } catch (...) {
        failure_ = std::current_exception();
        finished_.store(true, std::memory_order_release);
        return false;
    }
    return true;
}

void Worker::wait() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void Worker::waitPolling(std::chrono::milliseconds interval, const std::function<void()>& poll) {
    while (!finished()) {
        std::this_thread::sleep_for(interval);
        poll();
    }
    wait();
}

} // namespace quav
