#include "optimizer/OptimizerRun.h"

#include "analysis/CalculationDriver.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/SymmetricEigen.h"
#include "model/FileIo.h"
#include "model/TextFormat.h"
#include "optimizer/BatchPipeline.h"
#include "optimizer/OptimizerLog.h"
#include "optimizer/ParetoFront.h"
#include "optimizer/StudyCheck.h"
#include "optimizer/Variant.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sys/file.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quav {

RunInput::RunInput(const AnalysisModel& model, const Optimizer& optimizer)
    : model_(model), bindings_(optimizer.bindings), conditions_(optimizer.conditions),
      screen_(model, conditions_) {
    // The binding that writes a variable last wins, as applyBindings has it.
    std::vector<std::pair<int, int>> seen; // (object, target), latest first
    for (auto b = bindings_.rbegin(); b != bindings_.rend(); ++b) {
        const auto p =
            std::find_if(optimizer.parameters.begin(), optimizer.parameters.end(),
                         [&](const DesignParameter& d) { return d.id == b->parameterId; });
        if (p == optimizer.parameters.end() ||
            std::find(seen.begin(), seen.end(), std::pair(b->objectId, b->target)) != seen.end())
            continue;
        const auto index = static_cast<std::size_t>(p - optimizer.parameters.begin());
        // A spring's angle about x (target 4) is kept but read by no analysis.
        const bool spring =
            b->target != 4 &&
            std::any_of(model.springs.begin(), model.springs.end(),
                        [&](const SpringElement& s) { return s.id == b->objectId; });
        const bool usedRate =
            b->target >= 1 && b->target <= 3 &&
            std::any_of(model.springs.begin(), model.springs.end(),
                        [&](const SpringElement& s) { return s.characteristicId == b->objectId; });
        if ((spring && b->target >= 1 && b->target <= 6) || usedRate) {
            bound_.push_back({index, b->multiplier, !spring});
            seen.emplace_back(b->objectId, b->target);
        }
    }
    prepareCounts(optimizer.parameters);
}

static_assert(RunInput::kBatchVariants % VariantSystems::kLanes == 0,
              "a batch is counted in whole groups of lanes");

void RunInput::prepareCounts(const std::vector<DesignParameter>& parameters) {
    frequenciesOnly_ = screen_.frequenciesOnly();
    shapesMatter_ = screen_.shapesMatter();
    shapesDecide_ = screen_.shapesDecide();
    if (!(frequenciesOnly_ || shapesMatter_) || model_.usesFrequencyTables())
        return;
    const std::size_t springs = model_.springs.size();
    // What applyBindings writes, in its order: the first parameter of the id, every
    // spring and characteristic of the object id.
    for (const ParameterBinding& b : bindings_) {
        const auto p =
            std::find_if(parameters.begin(), parameters.end(),
                         [&](const DesignParameter& d) { return d.id == b.parameterId; });
        if (p == parameters.end())
            continue;
        const auto index = static_cast<std::size_t>(p - parameters.begin());
        for (std::size_t i = 0; i < springs; ++i) {
            if (model_.springs[i].id != b.objectId)
                continue;
            if (b.target >= 1 && b.target <= 3)
                assignments_.push_back(
                    {index, b.multiplier, 3 * i + static_cast<std::size_t>(b.target - 1)});
            else if (b.target == 5 || b.target == 6)
                return; // the spring turns: its orientation is no longer the model's
        }
        for (std::size_t j = 0; j < model_.springCharacteristics.size(); ++j)
            if (model_.springCharacteristics[j].id == b.objectId && b.target >= 1 && b.target <= 3)
                assignments_.push_back(
                    {index, b.multiplier,
                     3 * (springs + j) + static_cast<std::size_t>(b.target - 1)});
    }
    systems_.emplace(model_, screen_.basis(), screen_.frequencyLimits());
    if (!systems_->usable())
        systems_.reset();
}

template <class Value> bool RunInput::physical(Value value) const {
    for (const BoundVariable& v : bound_) {
        const double x = value(v.parameter) * v.multiplier;
        if (!std::isfinite(x) || (v.rate && x < 0.0))
            return false;
    }
    return true;
}

bool RunInput::boundValuesPhysical(const std::vector<DesignParameter>& parameters) const {
    return physical([&parameters](std::size_t p) { return parameters[p].currentValue; });
}

bool RunInput::admit(const std::vector<DesignParameter>& parameters, AnalysisModel& variant,
                     std::vector<int>& failed, bool copy, bool screen) const {
    if (copy) {
        variant = model_;
    } else {
        // Everything else is the model's still: the calculation writes only
        // results, which it clears first.
        for (std::size_t i = 0; i < model_.springs.size(); ++i) {
            variant.springs[i].position = model_.springs[i].position;
            variant.springs[i].angles = model_.springs[i].angles;
        }
        for (std::size_t i = 0; i < model_.springCharacteristics.size(); ++i)
            variant.springCharacteristics[i].stiffness = model_.springCharacteristics[i].stiffness;
    }
    // A bound rate turned negative is no mount: not calculated, counted by the run.
    // (Checked after the copy: a workspace's variant is always a whole model.)
    if (!boundValuesPhysical(parameters)) {
        failed.assign(1, kNotPhysical);
        return false;
    }
    applyBindings(variant, bindings_, parameters);
    if (!screen)
        return true;
    // Many variants of a study fail on what their frequencies (counted, not
    // solved), their spring ratios or their static results already show: those
    // are judged in full before any calculation.
    return !screen_.rejects(variant, failed);
}

namespace {

/// The analyses a run's evaluation makes: eigen and static, nothing dynamic.
CalculationConditions runConditions(bool eigen, bool statics) {
    CalculationConditions conditions;
    conditions.eigen = eigen;
    conditions.staticAnalysis = statics;
    conditions.dynamic = 0;
    conditions.frequencyStep = 0;
    // The run checked the model (checkStudy) and checks what bindings write.
    conditions.modelChecked = 1;
    return conditions;
}

/// Modes a batch found, which no calculation has checked: numbers throughout.
bool finiteModes(const AnalysisModel& variant) {
    for (int i = 0; i < 6; ++i) {
        if (!std::isfinite(variant.eigenFrequencies[i]))
            return false;
        for (int j = 0; j < 6; ++j)
            if (!std::isfinite(variant.modeShapes(i, j)))
                return false;
    }
    return true;
}

} // namespace

bool RunInput::judge(AnalysisModel& variant, bool calculated, std::vector<int>& failed) const {
    const VariantBasis* basis = &screen_.basis();
    // A variant that cannot be calculated (results that are not numbers) has no
    // results the conditions could judge: rejected.
    auto notCalculated = [&failed] {
        failed.assign(1, kNotCalculated);
        return false;
    };
    // Only displacement conditions read the static results. Without them a variant
    // is judged on its modes alone, and only an accepted one, whose file keeps its
    // results, gets the whole calculation.
    const bool statics = !conditions_.displacementConditions.empty();
    if (!calculated && calculate(variant, runConditions(true, statics), basis).status != 0)
        return notCalculated();
    if (calculated && !finiteModes(variant))
        return notCalculated();
    failedConditions(variant, conditions_, failed);
    if (statics || !failed.empty())
        return failed.empty();
    // Accepted on its modes: its file keeps the whole calculation, statics included
    // (which no condition reads).
    if (!calculated)
        return calculate(variant, runConditions(true, true), basis).status == 0 || notCalculated();
    // The modes the batch found are the calculation's own, bit for bit: only the
    // static results are added.
    return addStaticResults(variant, basis) || notCalculated();
}

bool RunInput::evaluate(const std::vector<DesignParameter>& parameters, AnalysisModel& variant,
                        std::vector<int>* failed) const {
    std::vector<int> own;
    std::vector<int>& f = failed ? *failed : own;
    return admit(parameters, variant, f) && judge(variant, false, f);
}

void RunInput::evaluateBatch(const double* values, std::size_t count, Workspace& work,
                             bool* accepted) const {
    const std::size_t n = work.parameters_.size();
    const bool statics = !conditions_.displacementConditions.empty();
    // With frequency conditions only, the variants' frequencies are counted side
    // by side from their bound variables: a variant the counts reject never has
    // its model written. counted[i]: the count of variant i decided every
    // condition and let it through, or could not decide; -1: not counted.
    int counted[kBatchVariants];
    std::fill(counted, counted + count, -1);
    // estimate[i]: where variant i's modes estimated side by side wait for its
    // model's static results, the conditions then judged on both; -1: none.
    int estimate[kBatchVariants];
    std::fill(estimate, estimate + count, -1);
    if (systems_) {
        const std::vector<double>& model = systems_->modelValues();
        work.values_.resize(kBatchVariants * model.size());
        const double* lanes[kBatchVariants];
        std::size_t lane[kBatchVariants];
        int countedLanes = 0;
        for (std::size_t i = 0; i < count; ++i) {
            // The combination's values are read where they lie: only the variants
            // that get a model have them set in the parameters.
            const double* combination = values + i * n;
            if (!physical([combination](std::size_t p) { return combination[p]; }))
                continue; // admit says so
            double* v = work.values_.data() + i * model.size();
            std::copy(model.begin(), model.end(), v);
            for (const Assignment& a : assignments_)
                v[a.slot] = combination[a.parameter] * a.multiplier;
            lane[i] = static_cast<std::size_t>(countedLanes);
            lanes[countedLanes++] = v;
            counted[i] = 0;
        }
        // The systems are counted and estimated VariantSystems::kLanes at a time.
        constexpr int kLanes = VariantSystems::kLanes;
        bool usable[kBatchVariants];
        if (frequenciesOnly_) {
            work.counts_.resize(kBatchVariants);
            FrequencyCount* counts = work.counts_.data();
            for (int first = 0; first < countedLanes; first += kLanes)
                systems_->count(lanes + first, std::min(kLanes, countedLanes - first),
                                counts + first, usable + first, simdLevel());
            for (std::size_t i = 0; i < count; ++i) {
                if (counted[i] < 0)
                    continue;
                if (!usable[lane[i]]) {
                    counted[i] = -1; // the screen counts it from its model
                    continue;
                }
                std::vector<int>& failed = work.failed_[i];
                if (screen_.judgeCount(counts[lane[i]], failed) && !failed.empty()) {
                    accepted[i] = false;
                    counted[i] = 2;
                } else {
                    counted[i] = 1;
                }
            }
        }
        // Shares and the coupling degree from the modes estimated side by side:
        // most variants fail by far, and only the others get a model (or, where
        // conditions read the static results, their eigen analysis).
        if (shapesMatter_) {
            int estimating = 0;
            for (std::size_t i = 0; i < count; ++i)
                if (counted[i] >= 0 && counted[i] != 2) {
                    lane[i] = static_cast<std::size_t>(estimating);
                    lanes[estimating++] = work.values_.data() + i * model.size();
                }
            work.estimates_.resize(kBatchVariants);
            ModesEstimate* estimates = work.estimates_.data();
            // Each chunk's first systems start from the vectors of the one before.
            EstimateChain chain;
            for (int first = 0; first < estimating; first += kLanes)
                systems_->estimate(lanes + first, std::min(kLanes, estimating - first),
                                   estimates + first, usable + first, simdLevel(), &chain);
            const bool withoutModels = shapesDecide_;
            for (std::size_t i = 0; i < count; ++i) {
                if (counted[i] < 0 || counted[i] == 2 || !usable[lane[i]])
                    continue;
                if (!withoutModels) {
                    estimate[i] = static_cast<int>(lane[i]);
                    continue;
                }
                std::vector<int>& failed = work.failed_[i];
                const double* v = work.values_.data() + i * model.size();
                if (failedConditionsEstimated(model_, estimates[lane[i]], conditions_, failed,
                                              v + 3 * model_.springs.size()) &&
                    !failed.empty()) {
                    accepted[i] = false;
                    counted[i] = 2;
                }
            }
        }
    }
    AnalysisModel* solve[kBatchVariants];
    std::size_t solved[kBatchVariants]; // the variant each system belongs to
    bool judged[kBatchVariants] = {};
    int solving = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (counted[i] == 2)
            continue; // rejected on its count
        AnalysisModel& variant = work.variants_[i];
        setValues(work.parameters_, values + i * n);
        std::vector<int>& failed = work.failed_[i];
        // A variant whose estimate waits is judged on it and its static results
        // after the calculation: the screen would find those static results twice.
        accepted[i] = admit(work.parameters_, variant, failed, work.copies_[i] != this,
                            counted[i] != 1 && estimate[i] < 0);
        work.copies_[i] = this;
        if (!accepted[i])
            continue;
        // Modes at their own frequencies are found one variant at a time.
        if (variant.usesFrequencyTables()) {
            accepted[i] = judge(variant, false, failed);
            judged[i] = true;
            continue;
        }
        // The calculation without its eigen analysis, whose systems are then solved
        // side by side: the results are those calculate() gives with it.
        // A variant whose calculation fails (static results that are not numbers)
        // is rejected; the others' modes are solved together.
        if (calculate(variant, runConditions(false, statics), &screen_.basis()).status != 0) {
            accepted[i] = false;
            failed.assign(1, kNotCalculated);
        } else if (estimate[i] >= 0 &&
                   failedConditionsEstimated(variant,
                                             work.estimates_[static_cast<std::size_t>(estimate[i])],
                                             conditions_, failed) &&
                   !failed.empty()) {
            accepted[i] = false; // its estimate and static results tell
        } else {
            solved[solving] = i;
            solve[solving++] = &variant;
        }
    }
    // Most variants fail some condition by far: their estimated modes tell, and
    // only the others have the shapes mapped back in the calculation's arithmetic.
    // Frequency conditions alone were decided by counting: what reaches here
    // passes them or lies on a limit.
    auto decide = [&](int s, const ModesEstimate& modes) {
        const std::size_t i = solved[s];
        std::vector<int>& failed = work.failed_[i];
        if (!failedConditionsEstimated(work.variants_[i], modes, conditions_, failed) ||
            failed.empty())
            return true;
        accepted[i] = false;
        return false;
    };
    // One reference fits the function's own storage: no allocation per batch.
    ModesWanted wanted;
    if (!frequenciesOnly_)
        wanted = [&decide](int s, const ModesEstimate& modes) { return decide(s, modes); };
    eigenvalueAnalyses(solve, solving, &screen_.basis(), simdLevel(), wanted);
    for (std::size_t i = 0; i < count; ++i)
        if (accepted[i] && !judged[i])
            accepted[i] = judge(work.variants_[i], true, work.failed_[i]);
}

std::optional<RunOutcome> refusedRun(const Optimizer& optimizer, const AnalysisModel& model,
                                     const std::string& settingsProblem) {
    RunOutcome outcome;
    if (optimizer.outputDirectory.empty()) {
        outcome.status = RunNoOutputDirectory;
        outcome.message = runStatusMessage(outcome.status);
        return outcome;
    }
    StudyRefusal refusal = checkStudy(optimizer, model);
    refusal.settings += settingsProblem;
    if (refusal.ok())
        return std::nullopt;
    outcome.status = RunRefused;
    outcome.message = runStatusMessage(outcome.status) + "\n" + refusal.text();
    return outcome;
}

namespace {

class Run {
public:
    Run(Optimizer& optimizer, const AnalysisModel& model, const RunOptions& options)
        : opt_(optimizer), model_(model), options_(options) {}

    RunOutcome execute();

private:
    bool stopRequested() const {
        return writesFailing() || (options_.runFlag && options_.runFlag->load() == 0);
    }
    bool writesFailing() const { return consecutiveFailures_ >= kMaxConsecutiveWriteFailures; }
    void log(const std::string& line);
    void save(const AnalysisModel& model, const std::string& fileName,
              Durability durability = Durability::Synced);
    int enumerate();
    int enumerateParallel(Odometer& odometer, unsigned threads, const RunInput& input);
    /// Counts one evaluated variant, in enumeration order, with the parameters'
    /// current values set to its combination; saves and logs it when accepted.
    void commit(const AnalysisModel* accepted, const std::vector<int>& failed);
    void publish() {
        if (options_.counters) {
            options_.counters->processed.store(processed_ - begin_);
            options_.counters->matches.store(matches_);
        }
    }

    Optimizer& opt_;
    const AnalysisModel& model_;
    const RunOptions& options_;
    std::int64_t combinations_ = 0;
    // The range evaluated; processed_ counts from the start of the whole enumeration.
    std::int64_t begin_ = 0;
    std::int64_t end_ = 0;
    std::int64_t processed_ = 0;
    std::int64_t matches_ = 0;
    std::int64_t fileFailures_ = 0;
    RejectionSummary summary_;
    int consecutiveFailures_ = 0;
    std::string lastFailure_; // why the last file that failed could not be written
    // With objectives: the front of the variants accepted so far.
    std::optional<ParetoFront> front_;
    std::vector<double> objectiveValues_, parameterValues_;
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
    if (r.ok()) {
        consecutiveFailures_ = 0;
        return;
    }
    ++fileFailures_;
    ++consecutiveFailures_;
    lastFailure_ = r.error;
    log("ファイルを保存できませんでした:\t" + path + "\t" + r.error);
}

void Run::commit(const AnalysisModel* accepted, const std::vector<int>& failed) {
    ++processed_;
    summary_.add(processed_, failed, opt_.parameters);
    if (accepted) {
        ++matches_;
        const std::string fileName = format("%s%lld.quav", "No", static_cast<long long>(matches_));
        // Results can be made again by another run: not waiting for the disk keeps
        // a study with thousands of matches from being bound by it.
        save(*accepted, fileName, Durability::Unsynced);
        log(resultLine(fileName, *accepted, opt_.parameters, processed_, combinations_));
        if (front_) {
            objectiveValues(*accepted, opt_.objectives, objectiveValues_);
            parameterValues_.clear();
            for (const DesignParameter& p : opt_.parameters)
                parameterValues_.push_back(p.currentValue);
            front_->offer(matches_, parameterValues_.data(), objectiveValues_.data());
        }
    }
    publish();
}

int Run::enumerate() {
    if (stopRequested())
        return RunStopped;
    if (begin_ >= end_)
        return RunFinished; // nothing in the range, or no combination at all
    const RunInput input(model_, opt_);
    AnalysisModel variant;
    if (opt_.parameters.empty()) {
        std::vector<int> failed;
        const bool accepted = input.evaluate(opt_.parameters, variant, &failed);
        commit(accepted ? &variant : nullptr, failed);
        return RunFinished;
    }
    Odometer odometer(opt_.parameters);
    odometer.restrict(begin_, end_);
    unsigned threads = options_.threads > 0 ? static_cast<unsigned>(options_.threads)
                                            : std::max(1u, std::thread::hardware_concurrency());
    if (static_cast<std::uint64_t>(end_ - begin_) < threads)
        threads = static_cast<unsigned>(end_ - begin_);
    if (threads > 1)
        return enumerateParallel(odometer, threads, input);
    // A few combinations are evaluated at a time, their eigen systems side by side,
    // and committed one by one in enumeration order.
    constexpr std::size_t kBatch = RunInput::kBatchVariants;
    const std::size_t n = opt_.parameters.size();
    RunInput::Workspace work(opt_.parameters);
    std::vector<double> values(kBatch * n);
    bool accepted[kBatch];
    for (bool more = true; more;) {
        std::size_t count = 0;
        for (; more && count < kBatch; ++count) {
            std::copy(odometer.values().begin(), odometer.values().end(),
                      values.begin() + static_cast<std::ptrdiff_t>(count * n));
            more = odometer.advance();
        }
        // Read before every variant, so a stop takes effect after the one in hand
        // (the rest of its batch is never committed).
        if (stopRequested())
            return RunStopped;
        input.evaluateBatch(values.data(), count, work, accepted);
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0 && stopRequested())
                return RunStopped;
            setValues(opt_.parameters, values.data() + i * n);
            commit(accepted[i] ? &work.variant(i) : nullptr, work.failed(i));
        }
    }
    return RunFinished;
}

int Run::enumerateParallel(Odometer& odometer, unsigned threads, const RunInput& input) {
    // Batches come back in enumeration order and are committed in that order, so
    // files, numbers and log lines are those of a single-threaded run. Batches
    // evaluated past a stop are discarded.
    BatchPipeline pipeline(input, odometer, threads, opt_.parameters,
                           [this] { return stopRequested(); });
    const std::size_t n = opt_.parameters.size();
    while (const auto batch = pipeline.next()) {
        for (std::size_t i = 0; i < batch->size; ++i) {
            if (pipeline.stopSeen() || stopRequested())
                return RunStopped;
            setValues(opt_.parameters, batch->combination(i, n));
            commit(batch->accepted[i].get(), batch->failedBy(i));
        }
    }
    return RunFinished;
}

RunOutcome Run::execute() {
    if (std::optional<RunOutcome> refused = refusedRun(opt_, model_))
        return *refused;
    RunOutcome outcome;
    opt_.logText.clear();
    log(timestampLine("計算スタート日時：\t", std::time(nullptr)));
    for (const auto& line : conditionsLog(opt_, model_, options_.documentTitle))
        log(line);

    matches_ = 0;
    summary_ = emptySummary(opt_.conditions, model_);
    if (!opt_.objectives.empty()) {
        front_.emplace(objectiveSenses(opt_.objectives), opt_.parameters.size());
    } else {
        // A front left by an earlier run with objectives would read as this run's.
        std::error_code ec;
        std::filesystem::remove(opt_.outputDirectory + "/" + kParetoFile, ec);
    }
    save(model_, "original.quav");
    opt_.resetValues();
    combinations_ = combinationCount(opt_.parameters);
    const std::int64_t walkable = walkedCombinations(opt_.parameters);
    const CombinationRange& range = options_.range;
    end_ = range.end < 0 ? walkable : std::clamp<std::int64_t>(range.end, 0, walkable);
    begin_ = std::clamp<std::int64_t>(range.begin, 0, end_);
    processed_ = begin_;
    if (options_.counters)
        options_.counters->combinations.store(range.begin == 0 && range.end < 0 ? combinations_
                                                                                : end_ - begin_);
    publish();

    log("【条件に一致する解析モデル】");
    log("ファイル名\t平均連成度[％]\tパラメータ値(ID順)\t共振周波数");
    log(std::string(67, '-'));

    int status = RunFinished;
    std::string failure;
    try {
        status = enumerate();
    } catch (const std::bad_alloc&) {
        status = RunFailed;
        failure = "メモリが足りません";
    } catch (const std::exception& e) {
        status = RunFailed;
        failure = e.what();
    }
    if (status == RunStopped && writesFailing())
        status = RunWriteFailed;

    log("");
    if (status != RunFinished) {
        log(runStatusMessage(status) + (failure.empty() ? "" : "：" + failure));
        log(timestampLine("計算中止日時：\t", std::time(nullptr)));
    } else {
        log(timestampLine("計算終了日時：\t", std::time(nullptr)));
    }
    log(format("組合せ数\t%lld", static_cast<long long>(combinations_)));
    log(format("条件一致数\t%lld", static_cast<long long>(matches_)));
    log(format("処理件数\t%lld", static_cast<long long>(processed_ - begin_)));
    // Why the rest did not pass: a study that matches nothing says where it failed.
    outcome.summary = summaryLines(summary_);
    for (const std::string& line : outcome.summary)
        log(line);

    const std::string logPath = opt_.outputDirectory + "/log.txt";
    const FileResult written = writeFileAtomically(logPath, logFileBytes(opt_.logText));
    if (!written.ok()) {
        ++fileFailures_;
        lastFailure_ = written.error;
        // Not part of log.txt (which could not be written), but the watcher sees it.
        if (options_.logLine)
            options_.logLine("ファイルを保存できませんでした:\t" + logPath + "\t" + written.error);
    }
    if (front_) {
        const std::string path = opt_.outputDirectory + "/" + kParetoFile;
        const FileResult csv =
            writeFileAtomically(path, paretoCsv(front_->members(), parameterNames(opt_.parameters),
                                                objectiveNames(opt_.objectives)));
        if (!csv.ok()) {
            ++fileFailures_;
            lastFailure_ = csv.error;
            if (options_.logLine)
                options_.logLine("ファイルを保存できませんでした:\t" + path + "\t" + csv.error);
        }
    }
    opt_.resetValues();
    opt_.combinationCount = combinations_;
    opt_.processedCount = processed_ - begin_;
    opt_.matchCount = matches_;

    outcome.status = status;
    outcome.fileFailures = fileFailures_;
    outcome.message = runEndMessage(status, failure, fileFailures_, lastFailure_);
    return outcome;
}

} // namespace

std::string runStatusMessage(int status) {
    switch (status) {
    case RunFinished:
        return "計算が正常に終了しました";
    case RunNoOutputDirectory:
        return "パスが設定されていません";
    case RunWriteFailed:
        return "ファイルを保存できない状態が続いたため処理が中断されました";
    case RunRefused:
        return "計算を開始できません";
    case RunFailed:
        return "計算中にエラーが発生したため処理が中断されました";
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

RunDirectoryLock::RunDirectoryLock(const std::string& directory, Mode mode) {
    // The folder as the user names it may be a link to one; the lock is on the
    // folder itself, opened without following a link put in its place since.
    char* real = ::realpath(directory.c_str(), nullptr);
    const std::string path = real ? real : directory;
    std::free(real);
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const bool writable =
        fd_ >= 0 && (mode == Shared || ::faccessat(fd_, ".", W_OK, AT_EACCESS) == 0);
    if (!writable) {
        const int err = errno;
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        refusal_ = (mode == Shared ? "ﾌｫﾙﾀﾞを開けません：" : "出力ﾌｫﾙﾀﾞに書き込めません：") +
                   directory + "（" + std::error_code(err, std::generic_category()).message() +
                   "）";
        return;
    }
    int r;
    while ((r = ::flock(fd_, (mode == Shared ? LOCK_SH : LOCK_EX) | LOCK_NB)) != 0 &&
           errno == EINTR) {
    }
    held_ = r == 0 || errno != EWOULDBLOCK; // no locks on this file system: unguarded
    if (held_)
        return;
    ::close(fd_);
    fd_ = -1;
    inUse_ = true;
    refusal_ = "出力ﾌｫﾙﾀﾞは他の最適化計算が使用中です：" + directory;
}

RunDirectoryLock::~RunDirectoryLock() {
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
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
                            const std::string& documentTitle, OptimizerSink* sink, int threads,
                            CombinationRange range) {
    if (running_.load())
        return false;
    worker_.wait();
    {
        std::lock_guard lock(mutex_);
        sink_ = sink;
    }
    counters_.combinations = 0;
    counters_.processed = 0;
    counters_.matches = 0;
    runFlag_.store(1);
    running_.store(true);
    const bool started =
        worker_.start([this, &optimizer, &model, documentTitle, threads, range](RunControl&) {
            RunOptions options;
            options.writeModelFile = writeModelFile_;
            options.documentTitle = documentTitle;
            options.threads = threads;
            options.range = range;
            options.runFlag = &runFlag_;
            options.counters = &counters_;
            options.logLine = [this](const std::string& line) {
                std::lock_guard lock(mutex_);
                if (sink_)
                    sink_->logLine(line);
            };
            RunOutcome outcome;
            try {
                outcome = method_ ? method_(optimizer, model, options)
                                  : runOptimization(optimizer, model, options);
            } catch (...) {
                // What the run itself could not catch (memory gone while it set up):
                // the run ends with the reason rather than the process.
                outcome.status = RunFailed;
                outcome.message =
                    runStatusMessage(RunFailed) + "：" + failureReason(std::current_exception());
            }
            {
                std::lock_guard lock(mutex_);
                outcome_ = outcome;
                if (sink_)
                    sink_->runFinished(outcome);
                running_.store(false);
            }
            ended_.notify_all();
        });
    if (!started) {
        // No thread to be had: nothing runs, and the last outcome says why.
        std::lock_guard lock(mutex_);
        running_.store(false);
        sink_ = nullptr;
        outcome_.status = RunFailed;
        outcome_.message = runStatusMessage(RunFailed) + "：" + failureReason(worker_.failure());
    }
    return started;
}

void OptimizerRunner::detachSink() {
    std::lock_guard lock(mutex_);
    sink_ = nullptr;
}

void OptimizerRunner::wait() {
    worker_.wait();
}

bool OptimizerRunner::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, timeout, [this] { return !running_.load(); });
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
