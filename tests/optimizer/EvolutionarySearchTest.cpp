#include "optimizer/EvolutionarySearch.h"
#include "RunSupport.h"
#include "optimizer/ParetoFront.h"
#include "support/FailingAllocationSwitch.h" // OptimizerRunTest.cpp replaces operator new
#include "support/TestSupport.h"

#include "model/FileIo.h"
#include "model/TextEncoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace quav;
using namespace quav::testing;
namespace fs = std::filesystem;

namespace {

/// The mount model with damping, a static load (id 7) and a harmonic force at 25 Hz.
AnalysisModel searchModel() {
    AnalysisModel m = mountModel();
    m.springCharacteristics[0].damping = v3(80, 80, 80);
    m.staticLoads[0].position = v3(0.05, 0, 0);
    DynamicLoad force;
    force.value = 150.0;
    force.direction = v3(0, 0.6, 0.8);
    force.position = v3(0.2, 0.1, 0.1);
    force.frequency = 25.0;
    m.dynamicLoads = {force};
    return m;
}

/// A 21 x 21 x 11 study of three parameters with two objectives.
struct SearchStudy {
    AnalysisModel model = searchModel();
    Optimizer o;
    TempDir dir;
    SearchStudy() {
        o.setBinding(2, 1, o.addParameter("x", 0.5, 0.1, 0.02), 1.0);
        o.setBinding(4, 1, o.addParameter("rear x", -0.1, -0.5, 0.02), 1.0);
        o.setBinding(6, 3, o.addParameter("Kzz", 2e5, 5e4, 1.5e4), 1.0);
        o.objectives = {{ObjectiveKind::DecouplingMin, true},
                        {ObjectiveKind::Transmissibility, false, 0, 1}};
        o.outputDirectory = dir.str();
    }
};

std::vector<std::vector<double>> frontOf(const TempDir& dir, std::size_t parameters) {
    ParetoCsv csv;
    std::string error;
    EXPECT_TRUE(parseParetoCsv(readWholeFile((dir / "pareto.csv").string(), 1 << 24).bytes,
                               parameters, 2, csv, error))
        << error;
    std::vector<std::vector<double>> points;
    for (const ParetoMember& m : csv.members)
        points.push_back(m.objectives);
    return points;
}

} // namespace

TEST(Hypervolume, AreasAndVolumesByHand) {
    const struct {
        std::vector<std::vector<double>> points;
        std::vector<bool> maximise;
        std::vector<double> reference;
        double expected;
    } cases[] = {
        {{{1, 2}, {2, 1}}, {false, false}, {3, 3}, 3.0},
        {{{1, 2}, {2, 1}, {2.5, 2.5}, {4, 0}}, {false, false}, {3, 3}, 3.0}, // no gain
        {{{-1, 2}, {-2, 1}}, {true, false}, {-3, 3}, 3.0},                   // maximised
        {{{1, 1, 1}}, {false, false, false}, {2, 3, 4}, 6.0},
        {{{0, 1, 1}, {1, 0, 1}, {1, 1, 0}}, {false, false, false}, {2, 2, 2}, 4.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(hypervolume(c.points, c.maximise, c.reference), c.expected)
            << c.points.size() << " points";
}

// One seed, one folder on any threads: the end-to-end test; another seed, another search.
TEST(EvolutionarySearch, TheSeedDecidesTheSearch) {
    SearchSettings settings;
    settings.population = 24;
    settings.generations = 6;
    std::string fronts[2];
    for (int seed : {11, 12}) {
        SearchStudy s;
        RunCounters counters;
        RunOptions options = writingFiles(seed - 10);
        options.counters = &counters;
        settings.seed = seed;
        const RunOutcome r = runEvolutionarySearch(s.o, s.model, options, settings);
        ASSERT_EQ(r.status, RunFinished) << r.message;
        EXPECT_EQ(counters.processed.load(), 24 * 7);
        fronts[seed - 11] = runFolder(s.dir)["pareto.csv"];
    }
    EXPECT_NE(fronts[0], fronts[1]);
    EXPECT_FALSE(fronts[0].empty());
}

// Memory running out on a worker ends the search with the reason in its log, not the process.
TEST(EvolutionarySearch, AWorkerWithoutMemoryEndsTheRunNotTheProcess) {
    SearchStudy s;
    SearchSettings settings;
    settings.population = 24; // two batches of variants: one for each thread
    settings.generations = 2;
    RunOutcome out;
    {
        const FailingAllocation failing;
        out = runEvolutionarySearch(s.o, s.model, writingFiles(2), settings);
    }
    EXPECT_EQ(out.status, RunFailed);
    EXPECT_EQ(out.message, "計算中にエラーが発生したため処理が中断されました：メモリが足りません");
    const std::string log =
        cp932ToUtf8Lossy(readWholeFile((s.dir / "log.txt").string(), 1 << 24).bytes);
    EXPECT_NE(log.find("処理が中断されました：メモリが足りません"), std::string::npos) << log;
}

TEST(EvolutionarySearch, ATenthOfTheGridFindsMostOfTheGridsFront) {
    SearchStudy grid;
    ASSERT_EQ(runOptimization(grid.o, grid.model, writingFiles(0)).status, RunFinished);
    ASSERT_EQ(grid.o.processedCount, 21 * 21 * 11);
    const auto gridFront = frontOf(grid.dir, 3);
    ASSERT_GE(gridFront.size(), 3u);
    const std::vector<bool> senses = {true, false};
    const std::vector<double> reference = referencePoint(gridFront, senses);
    const double whole = hypervolume(gridFront, senses, reference);

    for (bool discrete : {true, false}) {
        SearchStudy search;
        SearchSettings settings;
        settings.population = 24;
        settings.generations = 18; // 456 evaluations, below a tenth of 4851
        settings.discrete = discrete;
        ASSERT_EQ(runEvolutionarySearch(search.o, search.model, writingFiles(0), settings).status,
                  RunFinished);
        const auto found = frontOf(search.dir, 3);
        EXPECT_GE(hypervolume(found, senses, reference), 0.95 * whole)
            << (discrete ? "discrete" : "continuous");
        // On the grid's own values the search finds members of the grid's front.
        if (discrete) {
            EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const auto& p) {
                return std::find(gridFront.begin(), gridFront.end(), p) != gridFront.end();
            }));
        }
    }
}

TEST(EvolutionarySearch, ConditionsAreConstraintsAndASearchNeedsObjectives) {
    SearchStudy s;
    s.o.conditions.minFrequencyEnabled = 1;
    s.o.conditions.minFrequency = 9.0; // rules out many designs
    SearchSettings settings;
    settings.population = 16;
    settings.generations = 5;
    ASSERT_EQ(runEvolutionarySearch(s.o, s.model, writingFiles(1), settings).status, RunFinished);
    const auto front = frontOf(s.dir, 3);
    ASSERT_FALSE(front.empty());
    for (std::size_t k = 1; k <= front.size(); ++k) {
        const StudyRead r = loadModelFile((s.dir / ("No" + std::to_string(k) + ".quav")).string());
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_TRUE(evaluateVariant(*r.model, s.o.conditions)) << k;
    }
    // Refused before anything is written (the words: the search settings dialog's test).
    SearchStudy none;
    none.o.objectives.clear();
    EXPECT_EQ(runEvolutionarySearch(none.o, none.model, writingFiles(1), settings).status,
              RunRefused);
    EXPECT_TRUE(fs::is_empty(none.dir / ""));
}
