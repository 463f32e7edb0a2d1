#include "optimizer/OptimizerRun.h"
#include "RunSupport.h"
#include "analysis/CalculationDriver.h"
#include "analysis/LoadCaseAnalysis.h"
#include "optimizer/BatchPipeline.h"
#include "optimizer/ParetoFront.h"
#include "optimizer/Variant.h"
#include "support/FailingAllocation.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <regex>
#include <sstream>
#include <thread>
#include <tuple>

using namespace quav;
using namespace quav::testing;
namespace fs = std::filesystem;

namespace {

/// The mount model with an optimiser, writing into a fresh folder.
struct RunSetup {
    AnalysisModel model = mountModel();
    Optimizer o;
    TempDir dir;
    RunSetup() { o.outputDirectory = dir.str(); }
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

std::vector<std::string> resultLines(const std::string& logText) {
    std::vector<std::string> out;
    for (const auto& l : lines(logText))
        if (l.rfind("No", 0) == 0)
            out.push_back(l);
    return out;
}

std::string field(const std::string& line, int n) {
    std::istringstream in(line);
    std::string f;
    for (int i = 0; i <= n; ++i)
        std::getline(in, f, '\t');
    return f;
}

/// Stops the run when the first accepted variant is logged.
class StopOnFirstResult : public OptimizerSink {
public:
    explicit StopOnFirstResult(OptimizerRunner& runner) : runner_(runner) {}
    void logLine(const std::string& line) override {
        lines.push_back(line);
        if (line.rfind("No", 0) == 0)
            runner_.stop();
    }
    void runFinished(const RunOutcome& outcome) override { status = outcome.status; }
    std::vector<std::string> lines;
    int status = -1;

private:
    OptimizerRunner& runner_;
};

} // namespace

TEST(OptimizerRun, VisitsEveryCombinationInOrderAndWritesEveryAcceptedVariant) {
    RunSetup s;
    auto& [model, o, dir] = s;
    const int p0 = o.addParameter("X", 3, 1, 1);    // 1, 2, 3
    const int p1 = o.addParameter("K", 20, 10, 10); // 10, 20
    o.setBinding(2, 1, p0, 0.1);
    o.setBinding(6, 1, p1, 1e4);

    RunCounters counters;
    std::vector<std::string> watched;
    RunOptions options = writingFiles();
    options.documentTitle = "engine.quav";
    options.counters = &counters;
    options.logLine = [&watched](const std::string& l) { watched.push_back(l); };
    const RunOutcome r = runOptimization(o, model, options);

    EXPECT_EQ(std::tuple(r.status, r.message), std::tuple(RunFinished, "計算が正常に終了しました"));
    EXPECT_EQ(std::tuple(counters.combinations.load(), counters.processed.load(),
                         counters.matches.load()),
              std::tuple(6, 6, 6));
    // Each result line: its file, then the values of X and K.
    std::vector<std::string> results;
    for (const auto& l : resultLines(o.logText)) {
        results.push_back(field(l, 0) + " " + field(l, 2) + " " + field(l, 3));
        EXPECT_TRUE(fs::exists(dir / field(l, 0))) << l;
    }
    EXPECT_EQ(results,
              (std::vector<std::string>{"No1.quav 1 10", "No2.quav 1 20", "No3.quav 2 10",
                                        "No4.quav 2 20", "No5.quav 3 10", "No6.quav 3 20"}));
    EXPECT_EQ(watched, lines(o.logText));
    // A result file is a complete model carrying the values of its combination.
    const StudyRead no4 = loadModelFile((dir / "No4.quav").string());
    ASSERT_TRUE(no4.ok()) << no4.error;
    EXPECT_EQ(std::tuple(no4.model->springs[0].position[0],
                         no4.model->springCharacteristics[0].stiffness[0], no4.model->calculated,
                         no4.optimizer.parameters[0].currentValue,
                         no4.optimizer.parameters[1].currentValue),
              std::tuple(0.2, 2e5, 1, 2.0, 20.0));
    // The document's model and the parameters are as before the run.
    EXPECT_EQ(std::tuple(model.springs[0].position[0], o.parameters[0].currentValue,
                         o.parameters[1].currentValue),
              std::tuple(0.3, 0.0, 0.0));
}

TEST(OptimizerRun, ValuesComeByRepeatedAddition) {
    // 0.1 steps are not exact: min + k * increment differs from the loops' sums.
    RunSetup s;
    auto& [model, o, dir] = s;
    o.setBinding(2, 1, o.addParameter("x", 1.0, 0.1, 0.1), 1.0);
    ASSERT_EQ(runOptimization(o, model, writingFiles()).status, RunFinished);
    ASSERT_EQ(o.matchCount, 10);
    double value = 0.1 - 0.1;
    for (int k = 1; k <= 10; ++k) {
        value += 0.1;
        const StudyRead r = loadModelFile((dir / ("No" + std::to_string(k) + ".quav")).string());
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(r.optimizer.parameters[0].currentValue, value) << k;
        EXPECT_EQ(r.model->springs[0].position[0], value) << k;
    }
}

TEST(OptimizerRun, LogTimeStampsAndDirections) {
    RunSetup s;
    auto& [model, o, dir] = s;
    const int p = o.addParameter("Kxx", 2e5, 2e5, 1e5);
    o.setBinding(6, 1, p, 1.5);
    o.conditions.minFrequencyEnabled = 1;
    o.conditions.minFrequency = 0.5;
    DisplacementCondition d;
    d.objectId = 1;
    d.loadId = 7;
    d.limit = 0.05;
    d.directionFlags = {1, 0, 0, 0, 0, 0, 1};
    o.conditions.addDisplacementCondition(d);
    RunOptions options = writingFiles();
    options.documentTitle = "engine.quav";
    ASSERT_EQ(runOptimization(o, model, options).status, RunFinished);

    // What the golden merge log (CP932, CR LF) does not show: time stamps, a direction.
    const std::string ts = "\\d{4}年\\d{1,2}月\\d{1,2}日\\d{1,2}時\\d{1,2}分\\d{1,2}秒";
    const auto actual = lines(o.logText);
    ASSERT_GT(actual.size(), 27u) << o.logText;
    for (const auto& [i, pattern] :
         {std::pair{0, "計算スタート日時：\t" + ts},
          std::pair{8, std::string("\t質量要素\tweight\t0\\.05\tx\t絶対値\t")},
          std::pair{13, "\t" + std::to_string(p) + "\tKxx\t200000\t200000\t100000\t1"},
          std::pair{26, "計算終了日時：\t" + ts}})
        EXPECT_TRUE(std::regex_match(actual[i], std::regex(pattern))) << i << ": " << actual[i];
}

TEST(OptimizerRun, StudiesWithoutOutputDirectoryParametersOrValues) {
    RunSetup s;
    auto& [model, o, dir] = s;
    o.outputDirectory.clear(); // nothing is written
    const RunOutcome refused = runOptimization(o, model, writingFiles());
    EXPECT_EQ(std::tuple(refused.status, refused.message),
              std::tuple(RunNoOutputDirectory, "パスが設定されていません"));
    EXPECT_TRUE(o.logText.empty());
    // No parameter: the model itself, evaluated once.
    o.outputDirectory = dir.str();
    EXPECT_EQ(runOptimization(o, model, writingFiles()).status, RunFinished);
    EXPECT_EQ(std::tuple(o.combinationCount, o.processedCount), std::tuple(1, 1));
    EXPECT_TRUE(fs::exists(dir / "No1.quav"));
    // Ranges without a list of values are refused, each named, before anything is written.
    TempDir other;
    o.outputDirectory = other.str();
    o.addParameter("A", 3, 1, 1);
    o.addParameter("B", 1, 5, 1);
    o.addParameter("C", 1, 1, 0);
    o.addParameter("D", INFINITY, 1, 1);
    const RunOutcome bad = runOptimization(o, model, writingFiles());
    EXPECT_EQ(bad.status, RunRefused);
    EXPECT_EQ(bad.message, "計算を開始できません\n"
                           "ﾊﾟﾗﾒｰﾀ B(id 2): 最大値(1)が最小値(5)より小さいです\n"
                           "ﾊﾟﾗﾒｰﾀ C(id 3): 増分(0)が正ではありません\n"
                           "ﾊﾟﾗﾒｰﾀ D(id 4): 最小値、最大値、増分に数値でない値があります\n");
    EXPECT_EQ(other.entryCount(), 0u);
    // So is a study whose combinations no 64-bit count holds.
    o.parameters.resize(1);
    for (int i = 0; i < 4; ++i)
        o.addParameter("E", 1e6, 1, 1);
    EXPECT_NE(runOptimization(o, model, writingFiles()).message.find("組合せ数が多すぎます"),
              std::string::npos);
}

// A binding's negative rate is a rejected, uncalculated variant; a bad unbound value refuses.
TEST(OptimizerRun, VariantsWithNegativeBoundRatesAreCountedNotCalculated) {
    RunSetup s;
    auto& [model, o, dir] = s;
    model.springCharacteristics[0].stiffness[0] = -1.0; // every variant overwrites it
    const int p = o.addParameter("K", 4e5, -2e5, 1e5);
    o.setBinding(6, 1, p, 1.0);
    o.conditions.springRatioEnabled = 1; // Kxx / Kyy at least 1 (0 and 1e5 fail too)
    o.conditions.springRatio = 1.0;
    o.conditions.springRatioTolerancePct = 1000.0;
    ASSERT_EQ(runOptimization(o, model, writingFiles()).status, RunFinished);
    EXPECT_EQ(std::tuple(o.processedCount, o.matchCount), std::tuple(7, 4));
    EXPECT_NE(o.logText.find("処理件数\t7\n\n【条件ごとの不一致数】\n"
                             "\tばね特性の縦/横比が1の+1000[％]以内\t1\n"
                             "\tばね定数が負になるため計算しなかった組合せ\t2\n"),
              std::string::npos)
        << o.logText;

    model.mass = -120;
    const RunOutcome refused = runOptimization(o, model, writingFiles());
    EXPECT_EQ(std::tuple(refused.status, refused.message),
              std::tuple(RunRefused, "計算を開始できません\n質量が正ではありません(-120)\n"));
}

// A variant with no vertical rate has its modes (one at 0 Hz) but no static
// displacement under its weight: counted as not calculated, whichever path its
// frequencies took.
TEST(OptimizerRun, AVariantWithoutStaticResultsIsNotAccepted) {
    RunSetup s;
    auto& [model, o, dir] = s;
    o.setBinding(6, 3, o.addParameter("Kzz", 1e5, 0, 1e5), 1.0);
    o.conditions.maxFrequencyEnabled = 1;
    o.conditions.maxFrequency = 1000.0;
    for (int threads : {1, 2}) {
        ASSERT_EQ(runOptimization(o, model, writingFiles(threads)).status, RunFinished);
        EXPECT_EQ(std::tuple(o.processedCount, o.matchCount), std::tuple(2, 1));
        EXPECT_NE(o.logText.find("\t計算できなかった組合せ\t1\n"), std::string::npos) << o.logText;
    }
}

// Memory running out on a worker ends the run with the reason, never the process.
TEST(OptimizerRun, AWorkerWithoutMemoryEndsTheRunNotTheProcess) {
    RunSetup s;
    auto& [model, o, dir] = s;
    const int p = o.addParameter("K", 6e5, 1e5, 1e3);
    o.setBinding(6, 1, p, 1.0);
    RunOptions options = writingFiles();
    options.threads = 2;
    RunOutcome out;
    {
        const FailingAllocation failing;
        out = runOptimization(o, model, options);
    }
    EXPECT_EQ(out.status, RunFailed);
    EXPECT_EQ(out.message, "計算中にエラーが発生したため処理が中断されました：メモリが足りません");
    const std::string log = cp932ToUtf8Lossy(fileContent((dir / "log.txt").string()));
    EXPECT_NE(log.find("処理が中断されました：メモリが足りません"), std::string::npos) << log;
}

// A study that matches nothing says why: rejections per condition and the closest variant.
TEST(OptimizerRun, AStudyThatMatchesNothingSaysWhy) {
    RunSetup s;
    auto& [model, o, dir] = s;
    const int k = o.addParameter("K", 5e5, 1e5, 1e5);
    const int x = o.addParameter("x", 0.4, 0.2, 0.1);
    o.setBinding(6, 1, k, 1.0);
    o.setBinding(2, 1, x, 1.0);
    o.conditions.springRatioEnabled = 1; // Kxx / 1e5 from 5 to 5.5: K = 5e5 only
    o.conditions.maxFrequencyEnabled = 1;
    o.conditions.maxFrequency = 1.0; // fails everywhere
    o.conditions.meanCouplingEnabled = 1;
    o.conditions.meanCouplingMax = -1.0; // fails everywhere, needs the modes
    std::string texts[2];
    for (int threads : {1, 2}) {
        RunOptions options = writingFiles();
        options.threads = threads;
        const RunOutcome out = runOptimization(o, model, options);
        ASSERT_EQ(std::tuple(out.status, o.matchCount), std::tuple(RunFinished, 0));
        texts[threads - 1] = o.logText.substr(o.logText.find("処理件数"));
        EXPECT_EQ(texts[threads - 1], "処理件数\t15\n\n【条件ごとの不一致数】\n"
                                      "\t最大周波数1[Hz]以下\t15\n"
                                      "\tばね特性の縦/横比が5の+10[％]以内\t12\n"
                                      "\t平均連成度-1[％]以下\t15\n"
                                      "【最も条件に近い組合せ】\n"
                                      "\t処理番号\t13\t不一致の条件数\t2\tパラメータ値(ID順)"
                                      "\t500000\t0.2\n");
        EXPECT_EQ(out.summary.size(), 7u);
    }
}

TEST(OptimizerRun, ASecondRunNumbersFromOneAndLeavesOlderFiles) {
    RunSetup s;
    auto& [model, o, dir] = s;
    o.setBinding(6, 1, o.addParameter("K", 6e5, 1e5, 1e5), 1.0);
    runOptimization(o, model, writingFiles());
    o.conditions.springRatioEnabled = 1; // then Kxx 5e5 and 6e5 only
    o.conditions.springRatioTolerancePct = 100.0;
    runOptimization(o, model, writingFiles());
    const StudyRead no1 = loadModelFile((dir / "No1.quav").string());
    ASSERT_TRUE(no1.ok()) << no1.error;
    EXPECT_EQ(std::tuple(o.matchCount, no1.model->springCharacteristics[0].stiffness[0],
                         fs::exists(dir / "No6.quav")),
              std::tuple(2, 5e5, true));
}

TEST(OptimizerRun, FilesThatCannotBeWrittenAreReportedAndOnlyFailuresInARowStopTheRun) {
    RunSetup s;
    auto& [model, o, dir] = s;
    o.addParameter("A", 2, 1, 1);
    o.outputDirectory = (dir / "missing" / "deeper").string();
    const RunOutcome r = runOptimization(o, model, writingFiles());
    // original, No1, No2, log.txt
    EXPECT_EQ(std::tuple(r.status, o.processedCount, r.fileFailures),
              std::tuple(RunFinished, 2, 4));
    EXPECT_NE(r.message.find("保存できなかったファイルがあります"), std::string::npos);
    EXPECT_NE(o.logText.find("ファイルを保存できませんでした"), std::string::npos);
    // Failing every file stops the run after original.quav and No1-No9; every other does not.
    o.addParameter("B", 50, 1, 1);
    o.outputDirectory = dir.str();
    for (int threads : {1, 2})
        for (int period : {1, 2}) {
            int calls = 0;
            RunOptions options;
            options.threads = threads;
            options.writeModelFile = [&](const auto&...) {
                return ++calls % period == 0 ? FileResult{"disk full"} : FileResult{};
            };
            EXPECT_EQ(runOptimization(o, model, options).status,
                      period == 1 ? RunWriteFailed : RunFinished);
            EXPECT_EQ(o.processedCount, period == 1 ? kMaxConsecutiveWriteFailures - 1 : 100);
        }
}

TEST(OptimizerRunner, StopEndsThreeParameterAndOneParameterRuns) {
    for (int threads : {1, 2})
        for (int parameters : {3, 1}) {
            RunSetup s;
            auto& [model, o, dir] = s;
            for (int i = 0; i < parameters; ++i)
                o.setBinding(2 + i, 1, o.addParameter("P", 0.3, 0.1, 0.01), 1.0);
            OptimizerRunner runner(saveModelFile);
            StopOnFirstResult sink(runner);
            ASSERT_TRUE(runner.start(o, model, "engine.quav", &sink, threads));
            runner.wait();
            EXPECT_EQ(sink.status, RunStopped)
                << parameters << " parameters, " << threads << " threads";
            EXPECT_LT(runner.counters().processed.load(), runner.counters().combinations.load());
            EXPECT_NE(o.logText.find("\n処理が中断されました\n計算中止日時：\t"),
                      std::string::npos);
            // What was evaluated before the stop is written, nothing after it.
            EXPECT_EQ(std::tuple(fs::exists(dir / "No1.quav"), fs::exists(dir / "No2.quav"),
                                 runner.counters().processed.load()),
                      std::tuple(true, false, 1));
        }
}

TEST(OptimizerRunner, DetachedSinkIsNeverCalledAgainOneRunAtATimeAndShutdownStops) {
    RunSetup s;
    auto& [model, o, dir] = s;
    o.setBinding(2, 1, o.addParameter("P", 0.5, 0.0, 0.0005), 1.0); // 1001 variants

    struct Counting : OptimizerSink {
        std::atomic<int> calls{0};
        void logLine(const std::string&) override { ++calls; }
        void runFinished(const RunOutcome&) override { ++calls; }
    } sink;
    OptimizerRunner runner(saveModelFile);
    ASSERT_TRUE(runner.start(o, model, "t", &sink));
    EXPECT_FALSE(runner.start(o, model, "t", &sink));
    while (sink.calls.load() < 30 && runner.isRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    runner.detachSink();
    const int seen = sink.calls.load();
    EXPECT_TRUE(runner.waitFor(std::chrono::minutes(1)));
    EXPECT_EQ(std::tuple(sink.calls.load(), runner.isRunning(), runner.lastOutcome().status),
              std::tuple(seen, false, RunFinished));
    // Shutting down stops a running run.
    o.parameters[0].increment = 1e-6; // 500001 variants
    ASSERT_TRUE(runner.start(o, model, "t", nullptr));
    EXPECT_FALSE(runner.waitFor(std::chrono::milliseconds(0)));
    runner.shutdown();
    EXPECT_TRUE(runner.waitFor(std::chrono::milliseconds(0)));
    EXPECT_EQ(std::tuple(runner.isRunning(), runner.lastOutcome().status),
              std::tuple(false, RunStopped));
}

TEST(OutputDirectory, EmptyFolderIsRecreatedAndAFullOneKept) {
    TempDir dir;
    Optimizer o;
    fs::create_directory(dir / "empty");
    prepareOutputDirectory(o, dir.str(), "empty");
    EXPECT_EQ(o.outputDirectory, dir.str() + "/empty");
    EXPECT_TRUE(fs::is_directory(dir / "empty"));
    fs::create_directory(dir / "full");
    std::ofstream(dir / "full" / "keep.txt") << "x";
    prepareOutputDirectory(o, dir.str(), "full");
    EXPECT_TRUE(fs::exists(dir / "full" / "keep.txt"));
    prepareOutputDirectory(o, dir.str(), "new");
    EXPECT_TRUE(fs::is_directory(dir / "new"));
}

// Runs on more threads and runs of a range write what the whole run on one writes: the
// end-to-end shards, merge and simd cases compare whole folders byte for byte.
TEST(OptimizerRun, TheFrontIsTheOneEvaluatingEveryVariantFromOutsideFinds) {
    RunSetup s;
    auto& [model, o, dir] = s;
    const int x = o.addParameter("x", 0.4, 0.2, 0.05);    // 5 values
    const int kxx = o.addParameter("Kxx", 5e5, 1e5, 1e5); // 5 values
    o.setBinding(2, 1, x, 1.0);
    o.setBinding(6, 1, kxx, 1.0);
    o.conditions.minFrequencyEnabled = 1; // rejects some variants
    o.conditions.minFrequency = 7.5;
    o.objectives = {{ObjectiveKind::DecouplingMin, true},
                    {ObjectiveKind::StaticDisplacement, false, 0, 7, 3},
                    {ObjectiveKind::Frequency, false, 6}};
    ASSERT_EQ(runOptimization(o, model, writingFiles()).status, RunFinished);
    ASSERT_GT(o.matchCount, 5);
    ASSERT_LT(o.matchCount, 25);

    // Every combination evaluated here, numbered as the run numbers its files.
    const RunInput input(model, o);
    std::vector<DesignParameter> parameters = o.parameters;
    std::vector<std::vector<double>> accepted, values;
    // The rear x values by repeated addition, as the run reaches them.
    double xv = 0.2;
    for (int i = 0; i < 5; ++i, xv += 0.05)
        for (double k : {1e5, 2e5, 3e5, 4e5, 5e5}) {
            parameters[0].currentValue = xv;
            parameters[1].currentValue = k;
            AnalysisModel variant;
            if (!input.evaluate(parameters, variant))
                continue;
            accepted.push_back({xv, k});
            values.emplace_back();
            objectiveValues(variant, o.objectives, values.back());
        }
    ASSERT_EQ(static_cast<std::int64_t>(accepted.size()), o.matchCount);
    const std::vector<bool> senses = objectiveSenses(o.objectives);
    std::vector<std::int64_t> expected;
    for (std::size_t i = 0; i < values.size(); ++i) {
        bool dominated = false;
        for (const auto& other : values)
            dominated = dominated || dominates(other.data(), values[i].data(), senses);
        if (!dominated)
            expected.push_back(static_cast<std::int64_t>(i + 1));
    }
    ASSERT_GE(expected.size(), 2u);

    ParetoCsv csv;
    std::string error;
    ASSERT_TRUE(parseParetoCsv(readWholeFile((dir / "pareto.csv").string(), 1 << 20).bytes, 2, 3,
                               csv, error))
        << error;
    EXPECT_EQ(csv.header, "file,x,Kxx,decouplingMin,staticDisplacement:3:7,frequency:6");
    std::vector<std::int64_t> found;
    for (const ParetoMember& m : csv.members) {
        found.push_back(m.number);
        const auto i = static_cast<std::size_t>(m.number - 1);
        for (std::size_t k = 0; k < 2; ++k)
            EXPECT_NEAR(m.parameters[k], accepted[i][k], 1e-9 * std::fabs(accepted[i][k]));
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(m.objectives[k], values[i][k], 1e-9 * std::fabs(values[i][k]));
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, expected);

    // Without objectives the folder is as it always was: no front, not even an old one.
    o.objectives.clear();
    ASSERT_EQ(runOptimization(o, model, writingFiles()).status, RunFinished);
    EXPECT_FALSE(fs::exists(dir / "pareto.csv"));
}

// The load-case condition accepts what judging each combination directly accepts; the summary
// names each rejected variant's first failing case.
TEST(OptimizerRun, EveryLoadCasePassesIsJudgedAsEachVariantDirectly) {
    RunSetup s;
    auto& [model, o, dir] = s;
    // Snubbers in z rated 430 N: moving the front pair forward fails 1g, braking, then bump.
    SpringCharacteristic& c = model.springCharacteristics[0];
    c.curves[2] = {{-0.004, -1500}, {-0.002, -300}, {0, 0}, {0.002, 300}, {0.004, 1500}};
    c.ratedLoad = std::array<double, 3>{1e4, 1e4, 430};
    model.loadCases = {
        {"1g", {}, {0, 0, -1}}, {"braking", {}, {0.8, 0, -1}}, {"bump", {}, {0, 0, -1.2}}};
    const int k = o.addParameter("Kxx", 4e5, 2e5, 1e5);
    const int x = o.addParameter("front x", 0.5, 0.1, 0.05);
    o.setBinding(6, 1, k, 1.0);
    o.setBinding(2, 1, x, 1.0);
    o.setBinding(3, 1, x, 1.0);
    o.conditions.loadCasesPass = 1;
    o.conditions.maxFrequencyEnabled = 1;
    o.conditions.maxFrequency = 27.0;

    std::int64_t expectedMatches = 0, total = 0;
    std::vector<std::int64_t> firstFailures(model.loadCases.size());
    Odometer odometer(o.parameters);
    do {
        setValues(o.parameters, odometer.values().data());
        AnalysisModel variant(model);
        applyBindings(variant, o.bindings, o.parameters);
        CalculationConditions calc;
        calc.dynamic = calc.frequencyStep = 0;
        ASSERT_EQ(calculate(variant, calc).status, 0);
        std::vector<int> failed;
        failedConditions(variant, o.conditions, failed);
        ++total;
        expectedMatches += failed.empty();
        for (int f : failed)
            if (f >= kLoadCaseCondition)
                ++firstFailures[static_cast<std::size_t>(f - kLoadCaseCondition)];
        // The case named is the first that fails when solved on its own.
        const int first = firstFailingCase(variant);
        EXPECT_EQ(first >= 0,
                  std::count(failed.begin(), failed.end(), kLoadCaseCondition + first) == 1);
        if (first >= 0) {
            EXPECT_FALSE(analyseLoadCase(variant, variant.loadCases[first]).pass);
        }
        for (int i = 0; i < (first < 0 ? static_cast<int>(model.loadCases.size()) : first); ++i)
            EXPECT_TRUE(analyseLoadCase(variant, variant.loadCases[i]).pass);
    } while (odometer.advance());
    const std::int64_t caseFailures =
        std::accumulate(firstFailures.begin(), firstFailures.end(), std::int64_t{0});
    // Both outcomes occur, and the cases reject variants of their own.
    ASSERT_GT(expectedMatches, 0);
    ASSERT_GT(caseFailures, 0);
    ASSERT_LT(expectedMatches, total);

    for (int threads : {1, 2}) {
        TempDir runDir;
        o.outputDirectory = runDir.str();
        RunOptions options = writingFiles();
        options.threads = threads;
        const RunOutcome out = runOptimization(o, model, options);
        ASSERT_EQ(out.status, RunFinished) << out.message;
        EXPECT_EQ(o.matchCount, expectedMatches) << threads << " threads";
        EXPECT_NE(o.logText.find("■荷重ケースに関する制約事項"), std::string::npos);
        for (std::size_t i = 0; i < firstFailures.size(); ++i) {
            const std::string line =
                "\t荷重ケースをすべて満たす(最初の不合格: " + model.loadCases[i].name + ")\t" +
                std::to_string(firstFailures[i]) + "\n";
            EXPECT_NE(o.logText.find(line), std::string::npos) << line;
        }
    }
}

TEST(OptimizerRun, TheLoadCaseConditionWithoutCasesIsRefused) {
    RunSetup s;
    auto& [model, o, dir] = s;
    o.conditions.loadCasesPass = 1;
    // A case naming a load the model does not have (no cases at all: the end-to-end test).
    model.loadCases = {{"bump", {{99, 1.0}}, {0, 0, -3}}};
    const RunOutcome out = runOptimization(o, model, writingFiles());
    EXPECT_EQ(out.status, RunRefused);
    EXPECT_NE(out.message.find("荷重ケース bump: 静荷重 id 99 がありません"), std::string::npos)
        << out.message;
    model.loadCases.back().terms.clear();
    EXPECT_EQ(runOptimization(o, model, writingFiles()).status, RunFinished);
}
