#include "model/Worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

namespace quav {
namespace {

struct Outcome {
    const char* name;
    std::function<void()> work;
    bool failed;
    const char* reason;
    const char* calculationText;
};

// What ends a piece of work and what the user is told, however the work ran.
std::vector<Outcome> outcomes() {
    return {
        {"returns", [] {}, false, "", ""},
        {"std::exception", [] { throw std::runtime_error("bad rate"); }, true, "bad rate",
         "計算を中断しました: bad rate"},
        {"memory", [] { throw std::bad_alloc(); }, true, "メモリが足りません",
         "メモリが足りないため計算を中断しました"},
        {"not an exception", [] { throw 7; }, true, "原因不明のエラー",
         "計算を中断しました: 原因不明のエラー"},
    };
}

TEST(Worker, WorkThatThrowsEndsWithItsErrorWhereverItRuns) {
    for (const Outcome& o : outcomes()) {
        SCOPED_TRACE(o.name);
        EXPECT_EQ(runCaught(o.work), o.calculationText);

        Worker worker;
        ASSERT_TRUE(worker.start([&](RunControl&) { o.work(); }));
        worker.wait();
        EXPECT_TRUE(worker.finished());
        ASSERT_EQ(worker.failed(), o.failed);
        if (o.failed) {
            EXPECT_EQ(failureReason(worker.failure()), o.reason);
            EXPECT_EQ(interruptedCalculationText(worker.failure()), o.calculationText);
        }

        // One thread of four fails: the others finish, the failure comes back.
        std::atomic<int> calls{0};
        const std::exception_ptr pooled = runOnThreads(4, [&] {
            if (calls.fetch_add(1) == 2)
                o.work();
        });
        EXPECT_EQ(calls.load(), 4);
        EXPECT_EQ(pooled != nullptr, o.failed);
    }
}

TEST(Worker, StopsOnRequestStartsAgainAndAFailingThreadStopsTheOthers) {
    Worker worker;
    std::atomic<bool> started{false};
    ASSERT_TRUE(worker.start([&](RunControl& control) {
        started.store(true);
        while (!control.stop.load()) {
            control.done.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }));
    while (!started.load() || worker.done() == 0)
        std::this_thread::yield();
    EXPECT_FALSE(worker.start([](RunControl&) {})) << "one piece of work at a time";
    int polls = 0;
    worker.requestStop();
    worker.waitPolling(std::chrono::milliseconds(1), [&] { ++polls; });
    EXPECT_TRUE(worker.finished());
    EXPECT_FALSE(worker.failed());

    // A new start has a fresh stop flag and count, and forgets the last failure.
    ASSERT_TRUE(worker.start([](RunControl& control) {
        EXPECT_FALSE(control.stop.load());
        EXPECT_EQ(control.done.load(), 0);
        throw std::runtime_error("once");
    }));
    worker.wait();
    ASSERT_TRUE(worker.failed());
    ASSERT_TRUE(worker.start([](RunControl&) {}));
    worker.wait();
    EXPECT_FALSE(worker.failed());
    // A failing thread stops the others and the first failure is kept.
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    const std::exception_ptr failure = runOnThreads(
        3,
        [&] {
            if (failures.fetch_add(1) == 0)
                throw std::runtime_error("first");
            // The others wait for the stop the failure sends, then fail as well.
            while (!stop.load())
                std::this_thread::yield();
            throw std::runtime_error("later");
        },
        [&] { stop.store(true); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failureReason(failure), "first");
}

} // namespace
} // namespace quav
