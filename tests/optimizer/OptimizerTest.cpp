#include "optimizer/Optimizer.h"

#include "document/ModelFile.h"
#include "model/AnalysisModel.h"
#include "model/Archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace quav;

namespace {

std::vector<int> idsOf(const Optimizer& o) {
    std::vector<int> ids;
    for (const auto& p : o.parameters)
        ids.push_back(p.id);
    return ids;
}

std::string blockOf(const Optimizer& o) {
    ArchiveWriter out;
    writeOptimizerBlock(out, o);
    EXPECT_TRUE(out.ok()) << out.error();
    return out.takeBytes();
}

} // namespace

TEST(OptimizerParameters, IdsComeFromTheOptimisersCounterAndAreNotReused) {
    Optimizer o;
    EXPECT_EQ(o.addParameter("a", 10, 0, 2.5), 1);
    EXPECT_EQ(o.addParameter("", 1, 0, 1), 2);
    EXPECT_EQ(o.parameters[1].name, "") << "an empty name is kept";
    EXPECT_EQ(o.parameters[0].currentValue, 0.0);
    ASSERT_TRUE(o.deleteParameter(0));
    EXPECT_EQ(o.addParameter("c", 1, 0, 1), 3);
    EXPECT_EQ(idsOf(o), (std::vector<int>{2, 3}));

    // A new document does not restart the numbering.
    o.attach(nullptr);
    EXPECT_EQ(o.addParameter("d", 1, 0, 1), 4);
    EXPECT_EQ(Optimizer().addParameter("e", 1, 0, 1), 1)
        << "no numbering shared between optimisers";
}

TEST(OptimizerParameters, EditKeepsTheIdAndValuesStepByRepeatedAddition) {
    Optimizer o;
    const int id = o.addParameter("a", 10, 0, 1);
    o.addParameter("b", 1, 5, -1);
    o.parameters[0].currentValue = 7;
    ASSERT_TRUE(o.editParameter(0, "c", 0.3, 0.1, 0.1));
    EXPECT_EQ(o.parameters[0].id, id);
    EXPECT_EQ(o.parameters[0].currentValue, 0.1);
    EXPECT_FALSE(o.editParameter(2, "x", 0, 0, 0));

    o.resetValues();
    EXPECT_EQ(o.parameters[1].currentValue, 6.0);
    o.stepValue(0);
    o.stepValue(0);
    EXPECT_EQ(o.findParameter(id)->currentValue, (0.1 - 0.1) + 0.1 + 0.1);
    o.stepValue(1);
    EXPECT_EQ(o.parameters[1].currentValue, 5.0);
}

TEST(OptimizerBindings, SetReplacesInPlaceRemovesOnZeroAndAppendsOtherwise) {
    Optimizer o;
    const int p1 = o.addParameter("a", 1, 0, 1);
    const int p2 = o.addParameter("b", 1, 0, 1);
    o.setBinding(2, 1, p1, 1.0);
    o.setBinding(2, 2, p1, 0.5);
    o.setBinding(3, 1, p2, 2.0);
    o.setBinding(2, 1, p2, 3.0); // replaced where it stands
    ASSERT_EQ(o.bindings.size(), 3u);
    EXPECT_EQ(o.bindings[0].parameterId, p2);
    EXPECT_EQ(o.bindings[0].multiplier, 3.0);

    o.setBinding(2, 2, 0, 1.0); // removed; later bindings move up
    ASSERT_EQ(o.bindings.size(), 2u);
    EXPECT_EQ(o.bindings[1].objectId, 3);

    o.setBinding(9, 4, 0, 1.0); // no parameter for an unbound field is still listed
    ASSERT_EQ(o.bindings.size(), 3u);
    EXPECT_EQ(o.bindings[2].parameterId, 0);

    auto found = o.findBinding(3, 1);
    EXPECT_EQ(found.parameter, o.findParameter(p2));
    EXPECT_EQ(found.multiplier, 2.0);
    found = o.findBinding(9, 4);
    EXPECT_EQ(found.parameter, nullptr);
    found = o.findBinding(7, 7);
    EXPECT_EQ(found.parameter, nullptr);
    EXPECT_EQ(found.multiplier, 1.0);
}

TEST(OptimizerBindings, DeletingAParameterRemovesAllItsBindings) {
    Optimizer o;
    const int p1 = o.addParameter("a", 1, 0, 1);
    const int p2 = o.addParameter("b", 1, 0, 1);
    o.setBinding(2, 1, p1, 1.0);
    o.setBinding(99, 3, p1, 1.0); // an object that no longer exists
    o.setBinding(4, 1, p2, 1.0);
    ASSERT_TRUE(o.deleteParameter(0));
    ASSERT_EQ(o.bindings.size(), 1u);
    EXPECT_EQ(o.bindings[0].parameterId, p2);
}

TEST(OptimizerAttach, EmptiesListsAndConditionsButKeepsTheRunSettings) {
    AnalysisModel model;
    Optimizer o;
    const int p = o.addParameter("a", 1, 0, 1);
    o.setBinding(2, 1, p, 1.0);
    o.conditions.springRatio = 3.0;
    o.conditions.minFrequencyEnabled = 1;
    o.conditions.addDisplacementCondition({{1, 0, 0, 0, 0, 0, 0}, 1, 2, 0.1});
    o.outputDirectory = "/tmp/run";
    o.logText = "log";
    o.matchCount = 4;
    o.processedCount = 9;
    const int counter = o.parameterIdCounter;

    o.attach(&model);
    EXPECT_TRUE(o.parameters.empty());
    EXPECT_TRUE(o.bindings.empty());
    EXPECT_TRUE(o.conditions.displacementConditions.empty());
    EXPECT_EQ(o.conditions.springRatio, 5.0);
    EXPECT_EQ(o.conditions.springRatioTolerancePct, 10.0);
    EXPECT_EQ(o.conditions.minFrequencyEnabled, 0);
    EXPECT_EQ(o.matchCount, 0);
    EXPECT_EQ(o.model, &model);
    EXPECT_EQ(o.outputDirectory, "/tmp/run");
    EXPECT_EQ(o.logText, "log");
    EXPECT_EQ(o.parameterIdCounter, counter);
}

TEST(OptimizerConditions, EqualDisplacementConditionsAreAddedOnce) {
    OptimizationConditions c;
    const DisplacementCondition a{{1, 0, 0, 0, 0, 0, 1}, 2, 5, 0.01};
    EXPECT_TRUE(c.addDisplacementCondition(a));
    EXPECT_FALSE(c.addDisplacementCondition(a));
    DisplacementCondition b = a;
    b.directionFlags[6] = 0;
    EXPECT_TRUE(c.addDisplacementCondition(b));
    b.loadId = 6;
    EXPECT_TRUE(c.addDisplacementCondition(b));
    EXPECT_EQ(c.displacementConditions.size(), 3u);

    // A limit that is not a number matches any limit.
    DisplacementCondition n = a;
    n.limit = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(c.addDisplacementCondition(n));
    OptimizationConditions fresh;
    EXPECT_TRUE(fresh.addDisplacementCondition(n));
    EXPECT_FALSE(fresh.addDisplacementCondition(n));
    EXPECT_FALSE(fresh.addDisplacementCondition(a));

    EXPECT_TRUE(c.removeDisplacementCondition(0));
    EXPECT_EQ(c.displacementConditions[0].directionFlags[6], 0);
    EXPECT_FALSE(c.removeDisplacementCondition(5));
    c.reset();
    EXPECT_TRUE(c.displacementConditions.empty());
}

// --- The file block ---------------------------------------------------------------------

TEST(OptimizerBlock, EntriesHaveTheirFixedSizesAndTheCounterInEveryParameter) {
    Optimizer o;
    o.parameterIdCounter = 40;
    o.addParameter("P", 3, 1, 1);
    o.addParameter("P", 3, 1, 1);
    o.setBinding(2, 1, 41, 1.0);
    o.conditions.addDisplacementCondition({{1, 1, 1, 1, 1, 1, 1}, 1, 3, 0.5});
    const std::string block = blockOf(o);
    EXPECT_EQ(block.size(), 188u + 20 + 2 * (4 + 4 + 24 + 2 + 8) + 44);
    // Bindings come first; then each parameter: counter, id, max, min, increment, name.
    const std::size_t first = 4 + 20 + 4;
    const std::size_t parameterBytes = 42;
    for (int i = 0; i < 2; ++i) {
        ArchiveReader in(std::string_view(block).substr(first + i * parameterBytes));
        EXPECT_EQ(in.readI32(), 42) << "the counter at the time of writing";
        EXPECT_EQ(in.readI32(), 41 + i);
    }
    EXPECT_EQ(block.substr(first + 32, 2), "\x01\x50");
}

TEST(OptimizerBlock, ReadRestoresListsValuesAndTheCounter) {
    Optimizer o;
    o.addParameter("幅", 2e5, 1e5, 5e4);
    o.addParameter("P", 0.3, 0.1, 0.1);
    o.parameters[0].currentValue = 1.5e5;
    o.setBinding(4, 1, o.parameters[0].id, 2.0);
    o.setBinding(2, 5, o.parameters[1].id, -1.0);
    o.conditions.modeConditionEnabled[5] = 1;
    o.conditions.modeMaxFrequency[5] = 33;
    o.conditions.maxFrequencyEnabled = 1;
    o.conditions.maxFrequency = 90;
    o.conditions.meanCouplingMax = 12;
    o.conditions.addDisplacementCondition({{0, 0, 0, 1, 0, 0, 0}, 2, 6, 0.001});
    o.conditions.addDisplacementCondition({{1, 0, 0, 0, 0, 0, 0}, 1, 6, 0.002});
    o.parameterIdCounter = 9;
    const std::string block = blockOf(o);

    Optimizer r;
    ArchiveReader in(block);
    readOptimizerBlock(in, 303, r);
    ASSERT_TRUE(in.ok()) << in.error();
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_EQ(r.parameterIdCounter, 9);
    EXPECT_EQ(idsOf(r), idsOf(o));
    EXPECT_EQ(r.parameters[0].name, "幅");
    EXPECT_EQ(r.parameters[0].currentValue, 1.5e5);
    EXPECT_EQ(r.parameters[1].increment, 0.1);
    ASSERT_EQ(r.bindings.size(), 2u);
    EXPECT_EQ(r.bindings[1].target, 5);
    EXPECT_EQ(r.bindings[1].multiplier, -1.0);
    EXPECT_EQ(r.conditions.modeMaxFrequency[5], 33);
    EXPECT_EQ(r.conditions.maxFrequency, 90);
    EXPECT_EQ(r.conditions.meanCouplingMax, 12);
    ASSERT_EQ(r.conditions.displacementConditions.size(), 2u);
    EXPECT_EQ(r.conditions.displacementConditions[1].limit, 0.002);
    EXPECT_EQ(blockOf(r), block);

    // Adopting the read content keeps the document's run settings.
    Optimizer document;
    document.outputDirectory = "/out";
    document.addParameter("old", 1, 0, 1);
    document.adoptFileContent(std::move(r));
    EXPECT_EQ(idsOf(document), idsOf(o));
    EXPECT_EQ(document.outputDirectory, "/out");
    EXPECT_EQ(document.parameterIdCounter, 9);
}

TEST(OptimizerBlock, OlderVersionsReadLess) {
    Optimizer o;
    o.addParameter("a", 1, 0, 1);
    o.conditions.addDisplacementCondition({{1, 0, 0, 0, 0, 0, 0}, 1, 6, 0.002});
    std::string block = blockOf(o);
    block.resize(block.size() - 4 - 44); // files before 210 end before the displacement list

    Optimizer r;
    ArchiveReader in(block);
    readOptimizerBlock(in, 205, r);
    EXPECT_TRUE(in.ok());
    EXPECT_EQ(r.parameters.size(), 1u);
    EXPECT_TRUE(r.conditions.displacementConditions.empty());

    Optimizer none;
    none.parameterIdCounter = 10;
    ArchiveReader old(block);
    readOptimizerBlock(old, 199, none);
    EXPECT_EQ(old.position(), 0u);
    EXPECT_TRUE(none.parameters.empty());
    EXPECT_EQ(none.parameterIdCounter, 10);
}

TEST(OptimizerBlock, FailedReadLeavesTheCounterAlone) {
    Optimizer o;
    o.addParameter("a", 1, 0, 1);
    o.addParameter("b", 1, 0, 1);
    const std::string block = blockOf(o);
    Optimizer r;
    r.parameterIdCounter = 500;
    ArchiveReader in(std::string_view(block).substr(0, block.size() - 1));
    readOptimizerBlock(in, 303, r);
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(r.parameterIdCounter, 500);
}
