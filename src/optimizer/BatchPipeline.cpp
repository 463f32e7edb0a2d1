#include "optimizer/BatchPipeline.h"

#include "optimizer/OptimizerRun.h"
#include "optimizer/Variant.h"

#include <algorithm>
#include <chrono>

namespace quav {

namespace {

constexpr double kBatchSeconds = 1e-3;
constexpr std::size_t kMinBatch = 1, kMaxBatch = 4096;
// Batches kept queued per thread, so no worker waits for the calling thread.
constexpr std::size_t kBatchesPerThread = 8;

} // namespace

Odometer::Odometer(const std::vector<DesignParameter>& parameters) : params_(parameters) {
    for (const auto& p : params_) {
        counts_.push_back(valueCount(p));
        empty_ = empty_ || counts_.back() <= 0;
        values_.push_back((p.minValue - p.increment) + p.increment);
    }
    index_.assign(params_.size(), 0);
}

bool Odometer::advance() {
    if (remaining_ == 0)
        return false;
    if (remaining_ > 0)
        --remaining_;
    std::size_t d = params_.size();
    while (d > 0) {
        --d;
        if (index_[d] + 1 < counts_[d]) {
            ++index_[d];
            values_[d] += params_[d].increment;
            break;
        }
        index_[d] = 0;
        values_[d] = params_[d].minValue - params_[d].increment;
        if (d == 0)
            return false;
    }
    for (std::size_t e = d + 1; e < params_.size(); ++e)
        values_[e] += params_[e].increment;
    return true;
}

void Odometer::restrict(std::int64_t begin, std::int64_t end) {
    // Digit by digit, the last parameter fastest; each value by as many additions
    // as the loops make to reach it, from minValue - increment.
    std::int64_t rest = begin;
    for (std::size_t d = params_.size(); d-- > 0;) {
        index_[d] = rest % counts_[d];
        rest /= counts_[d];
        double value = params_[d].minValue - params_[d].increment;
        for (std::int64_t k = 0; k <= index_[d]; ++k)
            value += params_[d].increment;
        values_[d] = value;
    }
    remaining_ = end - begin - 1;
}

void setValues(std::vector<DesignParameter>& parameters, const double* values) {
    for (std::size_t i = 0; i < parameters.size(); ++i)
        parameters[i].currentValue = values[i];
}

BatchPipeline::BatchPipeline(const RunInput& input, Odometer& odometer, unsigned threads,
                             const std::vector<DesignParameter>& parameters,
                             std::function<bool()> stopRequested)
    : input_(input), odometer_(odometer), threads_(threads), n_(parameters.size()),
      stopRequested_(std::move(stopRequested)), batchSize_(kMinBatch), work_(parameters) {
    // Each worker's copy of the parameters is made here, before it starts.
    for (unsigned i = 1; i < threads_; ++i)
        pool_.emplace_back(&BatchPipeline::work, this, parameters);
    fill();
}

BatchPipeline::~BatchPipeline() {
    {
        std::lock_guard lock(mutex_);
        quit_.value.store(true);
    }
    workReady_.notify_all();
    for (auto& t : pool_)
        t.join();
}

void BatchPipeline::evaluate(Batch& batch, RunInput::Workspace& work,
                             const std::function<bool()>& interrupted) {
    const auto start = std::chrono::steady_clock::now();
    try {
        constexpr std::size_t kGroup = RunInput::kBatchVariants;
        bool accepted[kGroup];
        for (std::size_t i = 0; i < batch.size; i += kGroup) {
            const std::size_t count = std::min(kGroup, batch.size - i);
            input_.evaluateBatch(batch.combination(i, n_), count, work, accepted);
            for (std::size_t k = 0; k < count; ++k) {
                if (accepted[k])
                    batch.accepted[i + k] = std::make_unique<AnalysisModel>(work.variant(k));
                const std::vector<int>& failed = work.failed(k);
                batch.failed.insert(batch.failed.end(), failed.begin(), failed.end());
                batch.failedEnd.push_back(batch.failed.size());
            }
            if (interrupted())
                break;
        }
    } catch (...) {
        batch.failure = std::current_exception();
    }
    {
        std::lock_guard lock(mutex_);
        batch.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        batch.done = true;
    }
    batchDone_.notify_all();
}

void BatchPipeline::work(const std::vector<DesignParameter>& params) {
    try {
        RunInput::Workspace work(params);
        const std::function<bool()> quitting = [this] { return quit_.value.load(); };
        for (;;) {
            std::shared_ptr<Batch> batch;
            {
                std::unique_lock lock(mutex_);
                workReady_.wait(lock, [&] { return quit_.value.load() || !pending_.empty(); });
                if (quit_.value.load())
                    return;
                batch = pending_.front();
                pending_.pop_front();
            }
            evaluate(*batch, work, quitting);
        }
    } catch (...) {
        // Failed before taking a batch (evaluate keeps its own): the calling thread
        // hears of it at its next batch and evaluates what is left itself.
        {
            std::lock_guard lock(mutex_);
            if (!failure_)
                failure_ = std::current_exception();
        }
        batchDone_.notify_all();
    }
}

void BatchPipeline::fill() {
    // Made outside the lock, which the workers need to take them.
    while (more_ && inFlight_.size() < kBatchesPerThread * threads_) {
        auto batch = std::make_shared<Batch>();
        batch->values.reserve(batchSize_ * n_);
        while (more_ && batch->size < batchSize_) {
            const auto& v = odometer_.values();
            batch->values.insert(batch->values.end(), v.begin(), v.end());
            ++batch->size;
            more_ = odometer_.advance();
        }
        batch->accepted.resize(batch->size);
        inFlight_.push_back(batch);
        {
            std::lock_guard lock(mutex_);
            pending_.push_back(batch);
        }
        workReady_.notify_one();
    }
}

std::shared_ptr<const BatchPipeline::Batch> BatchPipeline::next() {
    if (inFlight_.empty())
        return nullptr;
    const std::shared_ptr<Batch> batch = inFlight_.front();
    const std::function<bool()> stopping = [this] {
        if (!stopSeen_ && stopRequested_())
            stopSeen_ = true;
        return stopSeen_;
    };
    for (;;) {
        std::shared_ptr<Batch> own;
        {
            std::unique_lock lock(mutex_);
            if (batch->done)
                break;
            if (pending_.empty()) {
                batchDone_.wait(lock, [&] { return batch->done; });
                break;
            }
            own = pending_.front();
            pending_.pop_front();
        }
        evaluate(*own, work_, stopping);
    }
    inFlight_.pop_front();
    if (batch->failure)
        std::rethrow_exception(batch->failure);
    {
        std::lock_guard lock(mutex_);
        if (failure_)
            std::rethrow_exception(failure_);
    }
    if (batch->seconds > 0.0) {
        const double perVariant = batch->seconds / static_cast<double>(batch->size);
        batchSize_ = static_cast<std::size_t>(std::clamp(kBatchSeconds / perVariant,
                                                         static_cast<double>(kMinBatch),
                                                         static_cast<double>(kMaxBatch)));
    }
    fill();
    return batch;
}

} // namespace quav
