#include "optimizer/OptimizerRun.h"

#include "analysis/CalculationDriver.h"
#include "model/FileIo.h"
#include "model/ModelFile.h"
#include "model/TextFormat.h"
#include "optimizer/OptimizerLog.h"
#include "optimizer/Variant.h"

#include <ctime>
#include <filesystem>
#include <vector>

namespace quav {

namespace {

class Run {
public:
    Run(Optimizer& optimizer, const AnalysisModel& model, const RunOptions& options)
        : opt_(optimizer), model_(model), options_(options) {}

    RunOutcome execute();

private:
    bool stopRequested() const { return options_.runFlag && options_.runFlag->load() == 0; }
    void log(const std::string& line);
    void save(const AnalysisModel& model, const std::string& fileName);
    int enumerate();
    void evaluateOne();
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

void Run::save(const AnalysisModel& model, const std::string& fileName) {
    const std::string path = opt_.outputDirectory + "/" + fileName;
    const FileResult r = saveModelFile(model, opt_, path);
    if (!r.ok()) {
        ++fileFailures_;
        log("ファイルを保存できませんでした:\t" + path + "\t" + r.error);
    }
}

void Run::evaluateOne() {
    ++processed_;
    AnalysisModel variant(model_);
    applyBindings(variant, opt_.bindings, opt_.parameters);
    CalculationConditions conditions;
    conditions.eigen = 1;
    conditions.staticAnalysis = 1;
    conditions.dynamic = 0;
    conditions.frequencyStep = 0;
    // A failed calculation leaves cleared results, which the conditions then judge.
    runCalculation(variant, conditions);
    if (evaluateVariant(variant, opt_.conditions)) {
        ++matches_;
        const std::string fileName = format("%s%lld.quav", "No", static_cast<long long>(matches_));
        save(variant, fileName);
        log(resultLine(fileName, variant, opt_.parameters, processed_, combinations_));
    }
    publish();
}

int Run::enumerate() {
    if (stopRequested())
        return RunStopped;
    std::vector<DesignParameter>& params = opt_.parameters;
    if (params.empty()) {
        evaluateOne();
        return RunFinished;
    }
    std::vector<std::int64_t> counts;
    for (const auto& p : params) {
        counts.push_back(valueCount(p));
        if (counts.back() <= 0)
            return RunFinished; // some level has no value: nothing below it is evaluated
    }
    // An odometer over the nested loops: entering a level steps its value once,
    // leaving it resets the value to minValue - increment.
    const std::size_t n = params.size();
    std::vector<std::int64_t> index(n, 0);
    for (auto& p : params)
        p.currentValue += p.increment;
    for (;;) {
        if (stopRequested())
            return RunStopped;
        evaluateOne();
        std::size_t d = n;
        while (d > 0) {
            --d;
            if (index[d] + 1 < counts[d]) {
                ++index[d];
                params[d].currentValue += params[d].increment;
                break;
            }
            index[d] = 0;
            params[d].currentValue = params[d].minValue - params[d].increment;
            if (d == 0)
                return RunFinished;
        }
        for (std::size_t e = d + 1; e < n; ++e)
            params[e].currentValue += params[e].increment;
    }
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
                            const std::string& documentTitle, OptimizerSink* sink) {
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
    worker_ = std::thread([this, &optimizer, &model, documentTitle] {
        RunOptions options;
        options.documentTitle = documentTitle;
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
