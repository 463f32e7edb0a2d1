#pragma once

#include "model/AnalysisModel.h"
#include "optimizer/DesignParameter.h"
#include "optimizer/OptimizerRun.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quav {

/// The nested loops over the parameters (parameter 0 outermost, the last one
/// fastest) as an odometer. Values come by repeated addition exactly as the
/// loops produce them: entering a level steps its value once from
/// minValue - increment, leaving it resets the value.
class Odometer {
public:
    explicit Odometer(const std::vector<DesignParameter>& parameters);
    /// True when some parameter has no value, so no combination exists.
    bool empty() const { return empty_; }
    const std::vector<double>& values() const { return values_; }
    /// Moves to the next combination; false after the last one.
    bool advance();
    /// Walks combinations [begin, end) of the whole enumeration only (0 <= begin <
    /// end <= their count): moves to combination `begin`, with the values the
    /// loops would have reached it with, and ends before `end`.
    void restrict(std::int64_t begin, std::int64_t end);

private:
    const std::vector<DesignParameter>& params_;
    std::vector<std::int64_t> counts_;
    std::vector<std::int64_t> index_;
    std::vector<double> values_;
    bool empty_ = false;
    std::int64_t remaining_ = -1; // combinations left after this one; < 0: no limit
};

/// Sets the parameters' current values to one combination (one value each).
void setValues(std::vector<DesignParameter>& parameters, const double* values);

/// Combinations of a parallel run, evaluated in batches by the calling thread and
/// `threads` - 1 workers, handed back in enumeration order.
///
/// The calling thread makes the batches from the odometer and takes them back
/// with next(); while the oldest batch is still being evaluated it evaluates a
/// waiting one itself, so no core idles and none is shared. The workers see only
/// the const run input and their own copies of the parameters, never the
/// optimiser the calling thread updates as it commits.
///
/// Batches are sized to about a millisecond of work: long enough that handing
/// them out costs next to nothing, short enough that a commit never waits long
/// and that the accepted copies waiting to be committed stay few, down to one a
/// batch for models so big that a variant takes longer. The first ones hold one
/// combination each, until a batch has been timed.
class BatchPipeline {
public:
    /// A run of combinations and what the evaluation accepted of each.
    struct Batch {
        std::vector<double> values; // size x parameter count
        std::size_t size = 0;
        std::vector<std::unique_ptr<AnalysisModel>> accepted; // null: rejected
        /// What each variant failed (RunInput::evaluate's `failed`), one after
        /// another: variant i's are [failedEnd[i - 1], failedEnd[i]).
        std::vector<int> failed;
        std::vector<std::size_t> failedEnd;
        bool done = false;    // guarded by the mutex
        double seconds = 0.0; // time its evaluation took; set with `done`
        /// What its evaluation threw (memory running out): next() throws it again
        /// on the calling thread, so no worker ever ends the process.
        std::exception_ptr failure;
        const double* combination(std::size_t i, std::size_t n) const {
            return values.data() + i * n;
        }
        std::vector<int> failedBy(std::size_t i) const {
            const std::size_t first = i == 0 ? 0 : failedEnd[i - 1];
            return {failed.begin() + static_cast<std::ptrdiff_t>(first),
                    failed.begin() + static_cast<std::ptrdiff_t>(failedEnd[i])};
        }
    };

    /// Starts the workers. `parameters` gives each its own copy; `stopRequested`
    /// is asked by the calling thread after each group of variants it evaluates.
    BatchPipeline(const RunInput& input, Odometer& odometer, unsigned threads,
                  const std::vector<DesignParameter>& parameters,
                  std::function<bool()> stopRequested);
    /// Tells the workers to quit (batches in flight are discarded) and joins them.
    ~BatchPipeline();
    BatchPipeline(const BatchPipeline&) = delete;
    BatchPipeline& operator=(const BatchPipeline&) = delete;

    /// The next batch in enumeration order, fully evaluated unless a stop cut it
    /// short (then stopSeen() is true); null after the last one. Throws what the
    /// evaluation of the batch threw.
    std::shared_ptr<const Batch> next();
    /// True once a stop request cut short a batch this thread evaluated.
    bool stopSeen() const { return stopSeen_; }

private:
    void fill();
    /// Evaluates a batch, RunInput::kBatchVariants combinations at a time;
    /// `interrupted` is asked after each group whether to give up the rest (which
    /// is then never committed).
    void evaluate(Batch& batch, RunInput::Workspace& work,
                  const std::function<bool()>& interrupted);
    void work(const std::vector<DesignParameter>& params);

    // Read after every variant by every worker: a cache line of its own, so the
    // calling thread's writes to the other members do not make the workers fetch it again.
    struct alignas(64) QuitFlag {
        std::atomic<bool> value{false};
    } quit_; // first: the padding a cache line of its own costs is least here
    const RunInput& input_;
    Odometer& odometer_;
    const unsigned threads_;
    const std::size_t n_; // parameters per combination
    std::function<bool()> stopRequested_;
    std::size_t batchSize_;
    bool more_ = true;         // the odometer has combinations left
    bool stopSeen_ = false;    // written only on a stop: the workers read `quit_` next to it
    RunInput::Workspace work_; // this thread's parameters and variant storage

    std::mutex mutex_;
    std::condition_variable workReady_, batchDone_;
    std::deque<std::shared_ptr<Batch>> pending_; // waiting for a thread (guarded by the mutex)
    std::exception_ptr failure_; // a worker's, outside any batch (guarded by the mutex)
    // In enumeration order, not yet handed back; only the calling thread touches it.
    std::deque<std::shared_ptr<Batch>> inFlight_;
    std::vector<std::thread> pool_;
};

} // namespace quav
