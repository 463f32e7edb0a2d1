#include "optimizer/OptimizerRun.h"

#include "analysis/CalculationDriver.h"
#include "model/FileIo.h"
#include "model/TextFormat.h"
#include "optimizer/OptimizerLog.h"
#include "optimizer/Variant.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quav {

bool evaluateCombination(const AnalysisModel& model, const Optimizer& optimizer,
                         const std::vector<DesignParameter>& parameters,
                         const VariantScreen& screen, AnalysisModel& variant) {
    variant = model;
    applyBindings(variant, optimizer.bindings, parameters);
    // Most variants of a study fail on what bounds on their frequencies, their
    // spring ratios or their static results already show: rule those out before
    // the full calculation. The others are calculated exactly as always.
    if (!screen.mayBeAccepted(variant))
        return false;
    CalculationConditions conditions;
    conditions.eigen = 1;
    conditions.staticAnalysis = 1;
    conditions.dynamic = 0;
    conditions.frequencyStep = 0;
    // A failed calculation leaves cleared results, which the conditions then judge.
    runCalculation(variant, conditions);
    return evaluateVariant(variant, optimizer.conditions);
}

namespace {

/// The accepted variant, or null.
std::unique_ptr<AnalysisModel> acceptedCopy(bool accepted, const AnalysisModel& variant) {
    return accepted ? std::make_unique<AnalysisModel>(variant) : nullptr;
}

/// The nested loops over the parameters (parameter 0 outermost, the last one
/// fastest) as an odometer. Values come by repeated addition exactly as the
/// loops produce them: entering a level steps its value once from
/// minValue - increment, leaving it resets the value.
class Odometer {
public:
    explicit Odometer(const std::vector<DesignParameter>& parameters) : params_(parameters) {
        for (const auto& p : params_) {
            counts_.push_back(valueCount(p));
            empty_ = empty_ || counts_.back() <= 0;
            values_.push_back((p.minValue - p.increment) + p.increment);
        }
        index_.assign(params_.size(), 0);
    }
    /// True when some parameter has no value, so no combination exists.
    bool empty() const { return empty_; }
    const std::vector<double>& values() const { return values_; }
    /// Moves to the next combination; false after the last one.
    bool advance() {
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

private:
    const std::vector<DesignParameter>& params_;
    std::vector<std::int64_t> counts_;
    std::vector<std::int64_t> index_;
    std::vector<double> values_;
    bool empty_ = false;
};

void setValues(std::vector<DesignParameter>& parameters, const double* values) {
    for (std::size_t i = 0; i < parameters.size(); ++i)
        parameters[i].currentValue = values[i];
}

class Run {
public:
    Run(Optimizer& optimizer, const AnalysisModel& model, const RunOptions& options)
        : opt_(optimizer), model_(model), options_(options) {}

    RunOutcome execute();

private:
    bool stopRequested() const { return options_.runFlag && options_.runFlag->load() == 0; }
    void log(const std::string& line);
    void save(const AnalysisModel& model, const std::string& fileName,
              Durability durability = Durability::Synced);
    int enumerate();
    int enumerateParallel(Odometer& odometer, unsigned threads, const VariantScreen& screen);
    /// Counts one evaluated variant, in enumeration order, with the parameters'
    /// current values set to its combination; saves and logs it when accepted.
    void commit(const AnalysisModel* accepted);
    void publish() {
        if (options_.counters) {
            options_.counters->processed.store(processed_);
            options_.counters->matches.store(matches_);
        }
    }

    Optimizer& opt_;
    const AnalysisModel& model_;
    const RunOptions& options_;
    std::int64_t combinations_ = 0;
    std::int64_t processed_ = 0;
    std::int64_t matches_ = 0;
    std::int64_t fileFailures_ = 0;
};

void Run::log(const std::string& line) {
    if (options_.logLine)
        options_.logLine(line);
    opt_.logText += line;
    opt_.logText += '\n';
}

void Run::save(const AnalysisModel& model, const std::string& fileName, Durability durability) {
    const std::string path = opt_.outputDirectory + "/" + fileName;
    const FileResult r = options_.writeModelFile
                             ? options_.writeModelFile(model, opt_, path, durability)
                             : FileResult{"モデルファイルの書き込み手段が指定されていません"};
    if (!r.ok()) {
        ++fileFailures_;
        log("ファイルを保存できませんでした:\t" + path + "\t" + r.error);
    }
}

void Run::commit(const AnalysisModel* accepted) {
    ++processed_;
    if (accepted) {
        ++matches_;
        const std::string fileName = format("%s%lld.quav", "No", static_cast<long long>(matches_));
        // Results can be made again by another run: not waiting for the disk keeps
        // a study with thousands of matches from being bound by it.
        save(*accepted, fileName, Durability::Unsynced);
        log(resultLine(fileName, *accepted, opt_.parameters, processed_, combinations_));
    }
    publish();
}

int Run::enumerate() {
    if (stopRequested())
        return RunStopped;
    const VariantScreen screen(model_, opt_.conditions);
    AnalysisModel variant;
    if (opt_.parameters.empty()) {
        commit(evaluateCombination(model_, opt_, opt_.parameters, screen, variant) ? &variant
                                                                                   : nullptr);
        return RunFinished;
    }
    Odometer odometer(opt_.parameters);
    if (odometer.empty())
        return RunFinished; // some level has no value: nothing below it is evaluated
    unsigned threads = options_.threads > 0 ? static_cast<unsigned>(options_.threads)
                                            : std::max(1u, std::thread::hardware_concurrency());
    if (combinations_ > 0 && static_cast<std::uint64_t>(combinations_) < threads)
        threads = static_cast<unsigned>(combinations_);
    if (threads > 1)
        return enumerateParallel(odometer, threads, screen);
    do {
        // Read before every variant, so a stop takes effect after the one in hand.
        if (stopRequested())
            return RunStopped;
        setValues(opt_.parameters, odometer.values().data());
        commit(evaluateCombination(model_, opt_, opt_.parameters, screen, variant) ? &variant
                                                                                   : nullptr);
    } while (odometer.advance());
    return RunFinished;
}

int Run::enumerateParallel(Odometer& odometer, unsigned threads, const VariantScreen& screen) {
    // This thread and threads - 1 workers evaluate batches of combinations on
    // private copies; this thread makes the batches in enumeration order and
    // commits their results in the same order, so files, numbers and log lines are
    // those of a single-threaded run. While the oldest batch is still being
    // evaluated it evaluates a waiting one itself, so no core idles and none is
    // shared. Batches evaluated past a stop are discarded.
    //
    // Batches are sized to about a millisecond of work: long enough that handing
    // them out costs next to nothing, short enough that a commit never waits long
    // and that the accepted copies waiting to be committed stay few, down to one a
    // batch for models so big that a variant takes longer. The first ones hold one
    // combination each, until a batch has been timed.
    constexpr double kBatchSeconds = 1e-3;
    constexpr std::size_t kMinBatch = 1, kMaxBatch = 4096;
    std::size_t batchSize = kMinBatch;
    const std::size_t n = opt_.parameters.size();
    struct Batch {
        std::vector<double> values; // size x n
        std::size_t size = 0;
        std::vector<std::unique_ptr<AnalysisModel>> accepted;
        bool done = false;    // guarded by the mutex
        double seconds = 0.0; // time its evaluation took; set with `done`
    };
    std::mutex mutex;
    std::condition_variable workReady, batchDone;
    std::deque<std::shared_ptr<Batch>> pending; // waiting for a thread (guarded by the mutex)
    // In enumeration order, not yet committed; only this thread touches the queue.
    std::deque<std::shared_ptr<Batch>> inFlight;
    // Read after every variant by every worker: a cache line of its own, so this
    // thread's writes to its other locals do not make the workers fetch it again.
    struct alignas(64) QuitFlag {
        std::atomic<bool> value{false};
    } quitFlag;
    std::atomic<bool>& quit = quitFlag.value;

    // Evaluates a batch; `interrupted` is asked after each variant whether to give
    // up the rest (which is then never committed).
    auto evaluate = [&](Batch& batch, std::vector<DesignParameter>& params, AnalysisModel& variant,
                        auto interrupted) {
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < batch.size; ++i) {
            setValues(params, batch.values.data() + i * n);
            batch.accepted[i] =
                acceptedCopy(evaluateCombination(model_, opt_, params, screen, variant), variant);
            if (interrupted())
                break;
        }
        {
            std::lock_guard lock(mutex);
            batch.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            batch.done = true;
        }
        batchDone.notify_all();
    };
    // `params` is the worker's own copy of the parameters, made by std::thread in
    // this thread: this thread sets the shared ones' values as it commits.
    auto worker = [&](std::vector<DesignParameter> params) {
        AnalysisModel variant;
        for (;;) {
            std::shared_ptr<Batch> batch;
            {
                std::unique_lock lock(mutex);
                workReady.wait(lock, [&] { return quit || !pending.empty(); });
                if (quit)
                    return;
                batch = pending.front();
                pending.pop_front();
            }
            evaluate(*batch, params, variant, [&] { return quit.load(); });
        }
    };
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i)
        pool.emplace_back(worker, opt_.parameters);

    bool more = true;
    auto fill = [&] {
        // Keep a few batches per thread queued so no worker waits for this thread;
        // they are made outside the lock, which the workers need to take them.
        while (more && inFlight.size() < 8 * static_cast<std::size_t>(threads)) {
            auto batch = std::make_shared<Batch>();
            batch->values.reserve(batchSize * n);
            while (more && batch->size < batchSize) {
                const auto& v = odometer.values();
                batch->values.insert(batch->values.end(), v.begin(), v.end());
                ++batch->size;
                more = odometer.advance();
            }
            batch->accepted.resize(batch->size);
            inFlight.push_back(batch);
            {
                std::lock_guard lock(mutex);
                pending.push_back(batch);
            }
            workReady.notify_one();
        }
    };

    std::vector<DesignParameter> params = opt_.parameters;
    AnalysisModel variant;
    int status = RunFinished;
    bool stopSeen = false; // a stop cut short a batch of this thread's
    fill();
    while (status == RunFinished && !inFlight.empty()) {
        const std::shared_ptr<Batch> batch = inFlight.front();
        for (;;) {
            std::shared_ptr<Batch> own;
            {
                std::unique_lock lock(mutex);
                if (batch->done)
                    break;
                if (pending.empty()) {
                    batchDone.wait(lock, [&] { return batch->done; });
                    break;
                }
                own = pending.front();
                pending.pop_front();
            }
            evaluate(*own, params, variant, [&] {
                // Written only on a stop: the workers read `quit` next to it.
                if (!stopSeen && stopRequested())
                    stopSeen = true;
                return stopSeen;
            });
        }
        inFlight.pop_front();
        if (batch->seconds > 0.0) {
            const double perVariant = batch->seconds / static_cast<double>(batch->size);
            batchSize = static_cast<std::size_t>(std::clamp(kBatchSeconds / perVariant,
                                                            static_cast<double>(kMinBatch),
                                                            static_cast<double>(kMaxBatch)));
        }
        fill();
        for (std::size_t i = 0; i < batch->size; ++i) {
            if (stopSeen || stopRequested()) {
                status = RunStopped;
                break;
            }
            setValues(opt_.parameters, batch->values.data() + i * n);
            commit(batch->accepted[i].get());
        }
    }
    {
        std::lock_guard lock(mutex);
        quit.store(true);
    }
    workReady.notify_all();
    for (auto& t : pool)
        t.join();
    return status;
}

RunOutcome Run::execute() {
    RunOutcome outcome;
    if (opt_.outputDirectory.empty()) {
        outcome.status = RunNoOutputDirectory;
        outcome.message = runStatusMessage(outcome.status);
        return outcome;
    }
    opt_.logText.clear();
    log(timestampLine("計算スタート日時：\t", std::time(nullptr)));
    for (const auto& line : conditionsLog(opt_, model_, options_.documentTitle))
        log(line);

    processed_ = matches_ = 0;
    save(model_, "original.quav");
    opt_.resetValues();
    combinations_ = combinationCount(opt_.parameters);
    if (options_.counters)
        options_.counters->combinations.store(combinations_);
    publish();

    log("【条件に一致する解析モデル】");
    log("ファイル名\t平均連成度[％]\tパラメータ値(ID順)\t共振周波数");
    log(std::string(67, '-'));

    const int status = enumerate();

    log("");
    if (status == RunStopped) {
        log("処理が中断されました");
        log(timestampLine("計算中止日時：\t", std::time(nullptr)));
    } else {
        log(timestampLine("計算終了日時：\t", std::time(nullptr)));
    }
    log(format("組合せ数\t%lld", static_cast<long long>(combinations_)));
    log(format("条件一致数\t%lld", static_cast<long long>(matches_)));
    log(format("処理件数\t%lld", static_cast<long long>(processed_)));

    const std::string logPath = opt_.outputDirectory + "/log.txt";
    const FileResult written = writeFileAtomically(logPath, logFileBytes(opt_.logText));
    if (!written.ok()) {
        ++fileFailures_;
        // Not part of log.txt (which could not be written), but the watcher sees it.
        if (options_.logLine)
            options_.logLine("ファイルを保存できませんでした:\t" + logPath + "\t" + written.error);
    }
    opt_.resetValues();
    opt_.combinationCount = combinations_;
    opt_.processedCount = processed_;
    opt_.matchCount = matches_;

    outcome.status = status;
    outcome.fileFailures = fileFailures_;
    outcome.message = runStatusMessage(status);
    if (fileFailures_ > 0)
        outcome.message += format("\n保存できなかったファイルがあります（%lld件）。ログを確認してく"
                                  "ださい。",
                                  static_cast<long long>(fileFailures_));
    return outcome;
}

} // namespace

std::string runStatusMessage(int status) {
    switch (status) {
    case RunFinished:
        return "計算が正常に終了しました";
    case RunNoOutputDirectory:
        return "パスが設定されていません";
    default:
        return "処理が中断されました";
    }
}

void prepareOutputDirectory(Optimizer& optimizer, const std::string& path,
                            const std::string& folder) {
    const std::string directory = path + "/" + folder;
    std::error_code ec;
    if (std::filesystem::is_directory(directory, ec) && std::filesystem::is_empty(directory, ec))
        std::filesystem::remove(directory, ec);
    std::filesystem::create_directory(directory, ec);
    optimizer.outputDirectory = directory;
}

RunOutcome runOptimization(Optimizer& optimizer, const AnalysisModel& model,
                           const RunOptions& options) {
    Run run(optimizer, model, options);
    return run.execute();
}

OptimizerRunner::~OptimizerRunner() {
    shutdown();
}

bool OptimizerRunner::start(Optimizer& optimizer, const AnalysisModel& model,
                            const std::string& documentTitle, OptimizerSink* sink, int threads) {
    if (running_.load())
        return false;
    if (worker_.joinable())
        worker_.join();
    {
        std::lock_guard lock(mutex_);
        sink_ = sink;
    }
    counters_.combinations = 0;
    counters_.processed = 0;
    counters_.matches = 0;
    runFlag_.store(1);
    running_.store(true);
    worker_ = std::thread([this, &optimizer, &model, documentTitle, threads] {
        RunOptions options;
        options.writeModelFile = writeModelFile_;
        options.documentTitle = documentTitle;
        options.threads = threads;
        options.runFlag = &runFlag_;
        options.counters = &counters_;
        options.logLine = [this](const std::string& line) {
            std::lock_guard lock(mutex_);
            if (sink_)
                sink_->logLine(line);
        };
        RunOutcome outcome = runOptimization(optimizer, model, options);
        {
            std::lock_guard lock(mutex_);
            outcome_ = outcome;
            if (sink_)
                sink_->runFinished(outcome);
        }
        running_.store(false);
    });
    return true;
}

void OptimizerRunner::detachSink() {
    std::lock_guard lock(mutex_);
    sink_ = nullptr;
}

void OptimizerRunner::wait() {
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

void OptimizerRunner::shutdown() {
    stop();
    wait();
}

RunOutcome OptimizerRunner::lastOutcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
}

} // namespace quav
