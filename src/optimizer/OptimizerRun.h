#pragma once

#include "model/AnalysisModel.h"
#include "model/FileIo.h"
#include "model/Worker.h"
#include "optimizer/Optimizer.h"
#include "optimizer/Variant.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quav {

/// How a run ended.
enum RunStatus : int {
    RunFinished = 0,          ///< every combination visited
    RunNoOutputDirectory = 1, ///< nothing done: no output directory
    RunStopped = 2,           ///< stopped by the user
    RunWriteFailed = 3,       ///< stopped: files could not be written, one after another
    /// nothing done: the settings or the model cannot make a study (checkStudy);
    /// the message gives the reasons
    RunRefused = 4,
    /// stopped: the evaluation failed (memory ran out); the log says why
    RunFailed = 5,
};

/// Files that fail to be written one after another before a run stops: a full
/// disk or a folder that refuses writes fails every file from then on, and a
/// run going on would only pile up failures in its log.
constexpr int kMaxConsecutiveWriteFailures = 10;

/// Live counters of a run, readable from any thread while it goes on.
struct RunCounters {
    std::atomic<std::int64_t> combinations{0}; ///< 組合せ数
    std::atomic<std::int64_t> processed{0};    ///< 処理件数
    std::atomic<std::int64_t> matches{0};      ///< 条件一致数
};

/// Writes one model file of a run: `model` with the optimiser's block, at
/// `path`. The model file lives above the optimiser, so its owner supplies it
/// (quav-cli and the document pass `saveModelFile`).
using ModelFileWriter =
    std::function<FileResult(const AnalysisModel& model, const Optimizer& optimizer,
                             const std::string& path, Durability durability)>;

/// A contiguous part of a run's enumeration, for a study split over processes.
struct CombinationRange {
    std::int64_t begin = 0; ///< index of the first combination, counted from 0
    std::int64_t end = -1;  ///< one past the last; below 0: to the end
};

/// What a run needs besides the optimiser and the model.
struct RunOptions {
    /// Writes original.quav and every No<n>.quav; without one, each of these
    /// files counts as not written.
    ModelFileWriter writeModelFile;
    std::string documentTitle;                 ///< shown as the initial model in the log
    const std::atomic<int>* runFlag = nullptr; ///< the run stops when it reads 0; null = never
    std::function<void(const std::string&)> logLine; ///< receives each log line as it is added
    RunCounters* counters = nullptr;                 ///< live counters, optional
    /// Threads that evaluate variants; 0 = one per hardware thread. The outputs
    /// do not depend on it.
    int threads = 0;
    /// The combinations evaluated (all by default). Log lines show the share of the
    /// whole enumeration; the live counters, the closing count of processed
    /// variants and the optimiser's counters cover the range.
    CombinationRange range;
};

/// What a run leaves behind besides its files.
struct RunOutcome {
    int status = RunFinished;
    std::int64_t fileFailures = 0; ///< model files or log.txt that could not be written
    /// The message for the user: the status text, and a warning when files are missing.
    std::string message;
    /// The log's last lines: how many variants each condition rejected and the
    /// closest variant (summaryLines); empty when nothing was evaluated.
    std::vector<std::string> summary;
};

/// The message shown for a status: "計算が正常に終了しました", "パスが設定されていません",
/// "処理が中断されました" or why a run whose files failed stopped.
std::string runStatusMessage(int status);

/// A run refused before it starts, with its message: no output folder, a study
/// checkStudy refuses, or `settingsProblem` (the search's own settings) when not
/// empty. Nothing when the run may start.
std::optional<RunOutcome> refusedRun(const Optimizer& optimizer, const AnalysisModel& model,
                                     const std::string& settingsProblem = {});

/// Runs the optimiser in the calling thread: visits every combination of
/// parameter values (parameter 0 outermost, the last one fastest, values by
/// repeated addition), calculates a private copy of `model` with the bindings
/// applied (eigen and static analyses), and for each variant the conditions
/// accept writes "No<n>.quav" and a log line into `optimizer.outputDirectory`,
/// with "original.quav" at the start and "log.txt" (CP932, CR LF) at the end.
/// The stop flag is read before each variant, so a stop takes effect after the
/// variant in hand. A run without parameters evaluates the unchanged model
/// once. Files that cannot be written are logged and counted; the run goes
/// on until kMaxConsecutiveWriteFailures of them fail one after another, then
/// stops with RunWriteFailed (log.txt is still tried). The parameters' current
/// values are reset at the end; `model` is only read. Two runs into one folder
/// would mix their files: the caller holds a RunDirectoryLock on it.
RunOutcome runOptimization(Optimizer& optimizer, const AnalysisModel& model,
                           const RunOptions& options);

/// What every evaluation of a run reads: the model, the optimiser's bindings and
/// conditions (copied, so no later change to the optimiser reaches them) and the
/// screen built from them. Nothing changes it while the run goes on, so the
/// threads of a parallel run share it as const; only the parameter values
/// differ between evaluations, and each thread has its own.
class RunInput {
public:
    /// `model` is only read and must outlive the input.
    RunInput(const AnalysisModel& model, const Optimizer& optimizer);
    RunInput(const RunInput&) = delete;
    RunInput& operator=(const RunInput&) = delete;

    const AnalysisModel& model() const { return model_; }
    const VariantScreen& screen() const { return screen_; }
    /// Whether evaluateBatch counts frequencies from the bound variables alone,
    /// writing the models of the variants the counts do not reject only.
    bool countsWithoutModels() const { return systems_.has_value(); }

    /// A run's work for one combination, the parameters' current values taken
    /// from `parameters`: writes the model with the bound variables into
    /// `variant` (its storage is reused from one call to the next), rules the
    /// variant out on the screen or calculates its eigen and static results, and
    /// tests the conditions. True when the variant is accepted; `variant` then
    /// holds it with its results. A variant whose bound values cannot be a real
    /// mount (boundValuesPhysical) or whose calculation fails is rejected.
    /// `failed`, when given, receives what failedConditions finds (empty for an
    /// accepted variant), or kNotPhysical / kNotCalculated.
    bool evaluate(const std::vector<DesignParameter>& parameters, AnalysisModel& variant,
                  std::vector<int>* failed = nullptr) const;

    /// Variants evaluated together at most.
    static constexpr std::size_t kBatchVariants = 64;

    /// What evaluateBatch works in, one per thread: scratch parameters, and the
    /// variants' storage, which keeps copies of the run's model from one call to
    /// the next so that only what bindings write is set again. A workspace serves
    /// the run input it is first used with.
    class Workspace {
    public:
        explicit Workspace(const std::vector<DesignParameter>& parameters)
            : parameters_(parameters), variants_(kBatchVariants), copies_(kBatchVariants),
              failed_(kBatchVariants) {}
        /// Variant i of the last evaluateBatch, with its results when accepted.
        const AnalysisModel& variant(std::size_t i) const { return variants_[i]; }
        /// The conditions variant i of the last evaluateBatch failed (as evaluate's
        /// `failed`).
        const std::vector<int>& failed(std::size_t i) const { return failed_[i]; }

    private:
        friend class RunInput;
        std::vector<DesignParameter> parameters_;
        std::vector<AnalysisModel> variants_;
        /// Whose model each variant is a copy of (null: none yet).
        std::vector<const RunInput*> copies_;
        std::vector<std::vector<int>> failed_;
        /// The variables each variant sets and its count, when the run counts
        /// without models.
        std::vector<double> values_;
        std::vector<FrequencyCount> counts_;
        std::vector<ModesEstimate> estimates_;
    };

    /// evaluate() on `count` <= kBatchVariants combinations at once (combination
    /// i: `values` + i x the parameter count), the eigen systems of those the
    /// screen lets through solved side by side. Variant i is left in
    /// `work.variant(i)` and its verdict in `accepted[i]`, exactly as evaluate()
    /// would leave them.
    void evaluateBatch(const double* values, std::size_t count, Workspace& work,
                       bool* accepted) const;

    /// Whether the variables the bindings write take values a real mount can
    /// have at the parameters' current values: rates (of characteristics that
    /// springs use) finite and >= 0, positions and angles finite. The model's
    /// other values were checked before the run (checkStudy).
    bool boundValuesPhysical(const std::vector<DesignParameter>& parameters) const;

private:
    /// The model with the bound variables into `variant` (which, when `copy` is
    /// false, already holds a copy of the model but for what bindings write), then
    /// the screen: false when the variant is certainly rejected.
    /// `failed` then holds what the variant certainly fails (or kNotPhysical).
    bool admit(const std::vector<DesignParameter>& parameters, AnalysisModel& variant,
               std::vector<int>& failed, bool copy = true, bool screen = true) const;
    /// The verdict on an admitted variant, calculated first unless `calculated`
    /// (its modes, and its static results when displacement conditions need them),
    /// with the conditions it fails in `failed`.
    bool judge(AnalysisModel& variant, bool calculated, std::vector<int>& failed) const;
    /// boundValuesPhysical with parameter p's value at value(p).
    template <class Value> bool physical(Value value) const;
    /// Sets systems_ and assignments_ when the study allows judging without models.
    void prepareCounts(const std::vector<DesignParameter>& parameters);

    /// One model variable that bindings write, with the binding that wins.
    struct BoundVariable {
        std::size_t parameter; ///< index in the parameter list
        double multiplier;
        bool rate; ///< a characteristic's rate, else a spring's position or angle
    };

    const AnalysisModel& model_;
    const std::vector<ParameterBinding> bindings_;
    const OptimizationConditions conditions_;
    const VariantScreen screen_; // reads conditions_
    std::vector<BoundVariable> bound_;

    /// Where a binding writes in the variables of VariantSystems, in binding order.
    struct Assignment {
        std::size_t parameter;
        double multiplier;
        std::size_t slot;
    };
    /// Set when the study's conditions read the modes and rates only and the bindings move
    /// springs and change rates only: the batch then counts the variants'
    /// frequencies, or estimates their modes, without writing their models.
    std::optional<VariantSystems> systems_;
    std::vector<Assignment> assignments_;
    /// What the screen says of the study's conditions, asked once for all batches.
    bool frequenciesOnly_ = false;
    bool shapesMatter_ = false;
    bool shapesDecide_ = false;
};

/// Makes `path` + "/" + `folder` the optimiser's output directory: an existing
/// empty directory is removed and created again, an existing one with files
/// is kept (a run overwrites its files of the same names). Failures are not
/// reported here; they show when the run's files cannot be written.
void prepareOutputDirectory(Optimizer& optimizer, const std::string& path,
                            const std::string& folder);

/// Keeps a second run out of an output directory while one writes into it: an
/// advisory lock on the directory itself, so no file is left in it, released
/// when the lock is destroyed or the process ends however it ends (a crashed
/// run leaves no stale lock). Runs in other processes are kept out as well as
/// in this one. A reader (merge reading a shard's folder) takes a shared lock:
/// readers exclude writers, not each other. A file system that cannot lock at
/// all leaves the folder unguarded rather than refusing every run.
class RunDirectoryLock {
public:
    enum Mode {
        Exclusive, ///< a run or a merge writes into the folder
        Shared,    ///< the folder is read
    };

    /// Takes the lock at once, without waiting. `directory` must be a folder
    /// (a link to one is resolved first); an exclusive lock also needs it
    /// writable.
    explicit RunDirectoryLock(const std::string& directory, Mode mode = Exclusive);
    ~RunDirectoryLock();
    RunDirectoryLock(const RunDirectoryLock&) = delete;
    RunDirectoryLock& operator=(const RunDirectoryLock&) = delete;

    bool held() const { return held_; }
    /// True when the folder could be opened but another lock excludes this one.
    bool inUse() const { return inUse_; }
    /// Why the lock is not held, for the user: "出力ﾌｫﾙﾀﾞは他の最適化計算が
    /// 使用中です" with the folder, or why the folder could not be opened.
    const std::string& refusal() const { return refusal_; }
    /// The folder's descriptor while the lock is held (for *at calls), else -1.
    int fd() const { return held_ ? fd_ : -1; }

private:
    int fd_ = -1;
    bool held_ = false;
    bool inUse_ = false;
    std::string refusal_;
};

/// Receives a background run's reports. Calls come from the worker thread, one
/// at a time; a callback may call stop() but must not wait for, shut down or
/// destroy the runner (hand the news to another thread instead).
class OptimizerSink {
public:
    virtual ~OptimizerSink() = default;
    /// One log line (UTF-8, without line end), as it is added to the log.
    virtual void logLine(const std::string& line) = 0;
    /// The run has ended; `outcome.message` is what to tell the user.
    virtual void runFinished(const RunOutcome& outcome) = 0;
};

/// Runs the optimiser on a worker thread, one run at a time, with a stop
/// request and a sink that can be detached while the run goes on.
class OptimizerRunner {
public:
    /// `writeModelFile` writes the model files of every run it starts.
    explicit OptimizerRunner(ModelFileWriter writeModelFile)
        : writeModelFile_(std::move(writeModelFile)) {}
    /// What a run does in place of the grid run (runOptimization), such as an
    /// evolutionary search; an empty one restores the grid run. Set it between runs.
    using RunMethod =
        std::function<RunOutcome(Optimizer&, const AnalysisModel&, const RunOptions&)>;
    void setMethod(RunMethod method) { method_ = std::move(method); }
    /// Stops a run in progress and waits for it.
    ~OptimizerRunner();
    OptimizerRunner(const OptimizerRunner&) = delete;
    OptimizerRunner& operator=(const OptimizerRunner&) = delete;

    /// Starts a run; false (and nothing started) while another one runs. The
    /// optimiser and the model must stay alive and unchanged until the run has
    /// ended (`isRunning()` false, or `shutdown()` returned).
    bool start(Optimizer& optimizer, const AnalysisModel& model, const std::string& documentTitle,
               OptimizerSink* sink, int threads = 0, CombinationRange range = {});
    /// Asks the run to stop after the variant in hand.
    void stop() { runFlag_.store(0); }
    /// After this returns the sink receives no further call.
    void detachSink();
    /// Waits for the run to end (without asking it to stop).
    void wait();
    /// Waits at most `timeout` for the run to end: true when no run is going on.
    /// A watcher that shows progress between waits sees the end as it comes.
    bool waitFor(std::chrono::milliseconds timeout);
    /// Stops the run and waits for it: call before the model or optimiser goes away.
    void shutdown();
    bool isRunning() const { return running_.load(); }
    const RunCounters& counters() const { return counters_; }
    /// The outcome of the last run that has ended.
    RunOutcome lastOutcome() const;

private:
    ModelFileWriter writeModelFile_;
    RunMethod method_;
    std::atomic<int> runFlag_{0};
    std::atomic<bool> running_{false};
    RunCounters counters_;
    mutable std::mutex mutex_;      // guards sink_ and outcome_
    std::condition_variable ended_; // with mutex_: running_ turned false
    OptimizerSink* sink_ = nullptr;
    RunOutcome outcome_;
    Worker worker_; // last: ends before what the run uses goes
};

} // namespace quav
