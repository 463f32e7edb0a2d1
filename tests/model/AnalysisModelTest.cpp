#include "model/AnalysisModel.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <type_traits>

using namespace quav;
using namespace quav::testing;

TEST(ModelIds, SharedCounterAcrossKindsNeverReused) {
    AnalysisModel m;
    EXPECT_EQ(std::tuple(m.lastId, m.massElementId), std::tuple(1, 1));
    EXPECT_EQ(m.addSpring("s", v3(0, 0, 0), v3(0, 0, 0), 1.0f), 2);
    EXPECT_EQ(m.addStaticLoad("l", 1.0, v3(0, 0, 0), v3(0, 0, 1), Translational), 3);
    EXPECT_EQ(m.addObservationPoint("p", v3(1, 1, 1)), 4);
    m.setSpringSelection(2);
    m.deleteSelectedSprings();
    EXPECT_EQ(m.addSpring("t", v3(0, 0, 0), v3(0, 0, 0), 1.0f), 5);
}

TEST(ModelMassElement, SetInertiaMirrorsUpperTriangleAndLoadsAreNormalisedAndKeepTheCoG) {
    AnalysisModel m;
    m.setInertia(Matrix(3, 3, {1, 0.1, 0.2, 9, 2, 0.3, 9, 9, 3}));
    EXPECT_EQ(m.inertia, Matrix(3, 3, {1, 0.1, 0.2, 0.1, 2, 0.3, 0.2, 0.3, 3}));
    m.setCentreOfGravity(v3(0.1, 0.2, 0.3));
    m.addStaticLoad("w", 100.0, v3(0, 0, 0), v3(0, 3, 4), Translational);
    m.addDynamicLoad("d", 5.0, v3(1, 0, 0), v3(0, 0, 0), Moment, 30.0);
    EXPECT_DOUBLE_EQ(m.staticLoads[0].direction[1], 0.6);
    EXPECT_DOUBLE_EQ(m.staticLoads[0].direction[2], 0.8);
    EXPECT_EQ(m.staticLoads[0].referencePoint, v3(0.1, 0.2, 0.3));
    // A zero direction stays zero instead of becoming NaN.
    EXPECT_EQ(m.dynamicLoads[0].direction, v3(0, 0, 0));
    m.setCentreOfGravity(v3(9, 9, 9));
    EXPECT_EQ(m.staticLoads[0].referencePoint, v3(0.1, 0.2, 0.3));
}

TEST(ModelCharacteristics, AssignBindsSelectedSpringsAndReusesExistingNames) {
    AnalysisModel m;
    const int a = m.addSpring("a", v3(0, 0, 0), v3(0, 0, 0), 1.0f);
    const int b = m.addSpring("b", v3(0, 0, 0), v3(0, 0, 0), 1.0f);
    // Nothing selected: the characteristic is still added, nothing is bound.
    const int c1 = m.assignCharacteristic("rubber", v3(1, 2, 3), 1.2, v3(0, 0, 0));
    EXPECT_EQ(m.springCharacteristics.size(), 1u);
    EXPECT_EQ(m.springs[0].characteristicId, 0);

    m.setSpringSelection(a);
    const int c2 = m.assignCharacteristic("rubber", v3(7, 8, 9), 9.9, v3(1, 1, 1));
    EXPECT_EQ(std::tuple(c2, m.springCharacteristics.size(), m.springCharacteristics[0].stiffness),
              std::tuple(c1, 1u, v3(1, 2, 3)));
    EXPECT_EQ(std::tuple(m.springs[0].characteristicId, m.springs[0].selected,
                         m.springs[1].characteristicId),
              std::tuple(c1, 0, 0));
    // Of two equal names the last one is used.
    SpringCharacteristic dup;
    dup.name = "rubber";
    const int c3 = m.addCharacteristic(dup);
    m.setSpringSelection(b);
    EXPECT_EQ(m.assignCharacteristic("rubber", v3(0, 0, 0), 1.0, v3(0, 0, 0)), c3);
    EXPECT_EQ(m.findCharacteristic(c3)->name, "rubber");
    EXPECT_EQ(m.findCharacteristic(12345), nullptr);
    // Deleting springs leaves their characteristics in place.
    m.setSpringSelection(-1);
    m.deleteSelectedSprings();
    EXPECT_EQ(std::tuple(m.springs.size(), m.springCharacteristics.size()), std::tuple(0u, 2u));
}

// Selection and deletion: DocumentTest; results cleared: CalculationDriverTest.
TEST(ModelSelection, AnIdTogglesOnlyItsOwnKind) {
    AnalysisModel m;
    const int s = m.addSpring("s", v3(0, 0, 0), v3(0, 0, 0), 1.0f);
    const int dy = m.addDynamicLoad("dy", 1, v3(0, 0, 0), v3(1, 0, 0), Translational, 10);
    m.setLoadSelection(s);
    m.setSpringSelection(s);
    m.setSpringSelection(s);
    m.setLoadSelection(dy);
    EXPECT_EQ(std::tuple(m.selectedLoadCount(), m.selectedSpringCount()), std::tuple(1, 0));
}

TEST(ModelResults, ANewRangeDropsTheSweep) {
    AnalysisModel m;
    m.frequencyStepResults.assign(2, Matrix(1, 12));
    m.setFrequencyRange(20, 10, 2.5);
    EXPECT_FALSE(m.hasFrequencyStepResults());
    EXPECT_EQ(m.sweepStepCountExact(), 5.0);
}

static_assert(std::is_nothrow_move_constructible_v<AnalysisModel> &&
                  std::is_nothrow_move_assignable_v<AnalysisModel>,
              "models move without copying (vectors of models, the document's swaps)");
