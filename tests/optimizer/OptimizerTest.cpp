#include "optimizer/Optimizer.h"
#include "optimizer/Study.h"

#include "model/AnalysisModel.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quav;

namespace {

std::vector<int> idsOf(const Optimizer& o) {
    std::vector<int> ids;
    for (const auto& p : o.parameters)
        ids.push_back(p.id);
    return ids;
}

} // namespace

TEST(OptimizerParameters, IdsComeFromTheOptimisersCounterNeverReusedAndFilesBringTheirs) {
    Optimizer o;
    EXPECT_EQ(o.addParameter("a", 10, 0, 2.5), 1);
    EXPECT_EQ(o.addParameter("", 1, 0, 1), 2);
    EXPECT_EQ(o.parameters[1].name, "") << "an empty name is kept";
    ASSERT_TRUE(o.deleteParameter(0));
    EXPECT_EQ(o.addParameter("c", 1, 0, 1), 3);
    EXPECT_EQ(idsOf(o), (std::vector<int>{2, 3}));
    // A new document does not restart the numbering.
    o.clearStudy();
    EXPECT_EQ(o.addParameter("d", 1, 0, 1), 4);
    EXPECT_EQ(Optimizer().addParameter("e", 1, 0, 1), 1)
        << "no numbering shared between optimisers";
    // A file's content adopted keeps the run settings and takes the file's counter.
    Optimizer loaded;
    loaded.setBinding(2, 1, loaded.addParameter("a", 1, 0, 1), 1.0);
    loaded.parameterIdCounter = 9;
    Optimizer document;
    document.outputDirectory = "/out";
    document.addParameter("old", 1, 0, 1);
    document.adoptFileContent(std::move(loaded));
    EXPECT_EQ(std::tuple(idsOf(document), document.bindings.size(), document.outputDirectory,
                         document.parameterIdCounter),
              std::tuple(std::vector<int>{1}, 1u, "/out", 9));
    document.adoptFileContent(Optimizer{});
    EXPECT_EQ(document.parameterIdCounter, 9) << "a file without parameters keeps the numbering";
}

TEST(OptimizerParameters, EditKeepsTheIdAndValuesStepByRepeatedAddition) {
    Optimizer o;
    const int id = o.addParameter("a", 10, 0, 1);
    o.addParameter("b", 1, 5, -1);
    o.parameters[0].currentValue = 7;
    ASSERT_TRUE(o.editParameter(0, "c", 0.3, 0.1, 0.1));
    EXPECT_EQ(std::tuple(o.parameters[0].id, o.parameters[0].currentValue), std::tuple(id, 0.1));
    EXPECT_FALSE(o.editParameter(2, "x", 0, 0, 0));
    o.resetValues();
    EXPECT_EQ(o.parameters[1].currentValue, 6.0);
    o.stepValue(0);
    o.stepValue(0);
    EXPECT_EQ(o.findParameter(id)->currentValue, (0.1 - 0.1) + 0.1 + 0.1);
    o.stepValue(1);
    EXPECT_EQ(o.parameters[1].currentValue, 5.0);
}

TEST(OptimizerBindings, SetReplacesInPlaceRemovesOnZeroAppendsOtherwiseAndGoesWithItsParameter) {
    Optimizer o;
    const int p1 = o.addParameter("a", 1, 0, 1);
    const int p2 = o.addParameter("b", 1, 0, 1);
    o.setBinding(2, 1, p1, 1.0);
    o.setBinding(2, 2, p1, 0.5);
    o.setBinding(3, 1, p2, 2.0);
    o.setBinding(2, 1, p2, 3.0); // replaced where it stands
    ASSERT_EQ(o.bindings.size(), 3u);
    EXPECT_EQ(std::tuple(o.bindings[0].parameterId, o.bindings[0].multiplier), std::tuple(p2, 3.0));
    o.setBinding(2, 2, 0, 1.0); // removed; later bindings move up
    ASSERT_EQ(o.bindings.size(), 2u);
    EXPECT_EQ(o.bindings[1].objectId, 3);
    o.setBinding(9, 4, 0, 1.0); // no parameter for an unbound field is still listed
    ASSERT_EQ(o.bindings.size(), 3u);
    EXPECT_EQ(o.bindings[2].parameterId, 0);
    const auto found = o.findBinding(3, 1);
    EXPECT_EQ(std::tuple(found.parameter, found.multiplier), std::tuple(o.findParameter(p2), 2.0));
    EXPECT_EQ(o.findBinding(9, 4).parameter, nullptr);
    const auto none = o.findBinding(7, 7);
    EXPECT_EQ(std::tuple(none.parameter == nullptr, none.multiplier), std::tuple(true, 1.0));
    // Deleting a parameter removes all its bindings, to objects gone too.
    o.setBinding(9, 4, p1, 1.0);
    o.setBinding(99, 3, p1, 1.0);
    ASSERT_TRUE(o.deleteParameter(0));
    ASSERT_EQ(o.bindings.size(), 2u);
    EXPECT_EQ(std::tuple(o.bindings[0].parameterId, o.bindings[1].parameterId), std::tuple(p2, p2));
}

TEST(OptimizerClearStudy, EmptiesListsAndConditionsButKeepsTheRunSettings) {
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
    o.clearStudy();
    EXPECT_TRUE(o.parameters.empty() && o.bindings.empty() &&
                o.conditions.displacementConditions.empty());
    EXPECT_EQ(std::tuple(o.conditions.springRatio, o.conditions.springRatioTolerancePct,
                         o.conditions.minFrequencyEnabled, o.matchCount),
              std::tuple(5.0, 10.0, 0, 0));
    EXPECT_EQ(std::tuple(o.outputDirectory, o.logText, o.parameterIdCounter),
              std::tuple(std::string("/tmp/run"), std::string("log"), counter));
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

TEST(Study, ACopyHoldsAModelOfItsOwn) {
    Study a(std::make_unique<AnalysisModel>(), Optimizer{});
    a.model->mass = 5.0;
    a.optimizer.addParameter("a", 1, 0, 1);
    Study b = a;
    ASSERT_TRUE(b.model && b.model != a.model);
    b.model->mass = 6.0;
    EXPECT_EQ(std::tuple(a.model->mass, b.optimizer.parameters.size()), std::tuple(5.0, 1u));
    const Study none;
    b = none;
    EXPECT_EQ(b.model, nullptr) << "a study without a model copies as one";
}
