#include "optimizer/Objectives.h"

#include "analysis/CalculationDriver.h"
#include "analysis/EigenAnalysis.h"
#include "analysis/KineticEnergy.h"
#include "analysis/MountForces.h"
#include "analysis/OwnFrequencyModes.h"
#include "optimizer/Variant.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quav;
using quav::testing::v3;

namespace {

/// Calculated: mounts 2-5 (characteristic 6), static load 7, a force and a moment, point 10.
AnalysisModel calculatedModel() {
    AnalysisModel m =
        quav::testing::fourMountModel(0.3, 0.25, -0.2, v3(3e5, 1e5, 1.5e5), 1.2, v3(150, 150, 150));
    m.addStaticLoad("weight", 1177.2, v3(0.2, -0.2, 0.3), v3(0, 0, -1), Translational);
    for (int type : {Translational, Moment})
        m.addDynamicLoad("shake", 200.0, v3(0.3, -0.2, 0.4), v3(0, 0.6, 0.8), type, 30.0);
    EXPECT_EQ(m.addObservationPoint("p", v3(0.5, 0.1, 0.5)), 10);
    CalculationConditions c;
    c.eigen = c.staticAnalysis = 1;
    c.dynamic = 0;
    c.frequencyStep = 0;
    EXPECT_EQ(calculate(m, c).status, 0);
    return m;
}

} // namespace

TEST(Objectives, CommandLineTextsReadAndNameBack) {
    for (const char* text : {"max:decouplingMin", "min:meanCoupling", "max:frequency:1",
                             "min:transmissibility:3", "min:staticDisplacement:2:8"}) {
        const auto o = parseObjective(text);
        ASSERT_TRUE(o) << text;
        EXPECT_EQ(std::string(objectiveSenseKey(*o)) + ":" + objectiveName(*o), text);
    }
    for (const char* bad : {"decouplingMin", "best:meanCoupling", "max:frequency",
                            "max:frequency:x", "min:meanCoupling:1", "min:staticDisplacement:2",
                            "min:transmissibility:1:2", "max:frequency:1.5", ""})
        EXPECT_FALSE(parseObjective(bad)) << bad;
}

TEST(Objectives, ObjectivesTheModelCannotGiveAreRefusedWithTheirReason) {
    const AnalysisModel m = calculatedModel();
    const std::int32_t load = m.staticLoads[0].id;
    const int spring = m.springs[1].id;
    EXPECT_EQ(objectivesProblem({{ObjectiveKind::Frequency, true, 6},
                                 {ObjectiveKind::Transmissibility, false, 0, 1},
                                 {ObjectiveKind::StaticDisplacement, false, 0, load, spring},
                                 {ObjectiveKind::StaticDisplacement, false, 0, load, 10}},
                                m),
              "");
    const struct {
        Objective objective;
        const char* message;
    } cases[] = {
        {{ObjectiveKind::Frequency, true, 7}, "モード番号は1～6です"},
        {{ObjectiveKind::Transmissibility, false, 0, 3}, "動荷重番号は1～2です"},
        {{ObjectiveKind::StaticDisplacement, false, 0, load, 99}, "ID99のばね要素、観測点"},
        {{ObjectiveKind::StaticDisplacement, false, 0, 99, 1}, "ID99の静荷重"},
    };
    for (const auto& c : cases)
        EXPECT_NE(objectivesProblem({c.objective}, m).find(c.message), std::string::npos)
            << c.message;
}

TEST(Objectives, ValuesAreThoseOfTheMountAnalysesAndConditions) {
    const AnalysisModel m = calculatedModel();
    const int load = m.staticLoads[0].id;
    const int spring = m.springs[0].id;
    const std::vector<Objective> objectives = {
        {ObjectiveKind::DecouplingMin, true},
        {ObjectiveKind::MeanCoupling},
        {ObjectiveKind::Frequency, true, 1},
        {ObjectiveKind::Transmissibility, false, 0, 1},
        {ObjectiveKind::StaticDisplacement, false, 0, load, spring},
    };
    std::vector<double> values;
    objectiveValues(m, objectives, values);
    ASSERT_EQ(values.size(), 5u);

    // From the analyses' own entry points, the modes solved again.
    const EnergyDistribution ked =
        kineticEnergyDistribution(m, solveModesAtOwnFrequencies(m).modes, EnergyFrame::Global);
    double smallest = 100.0;
    for (const ModeEnergy& e : ked.modes)
        smallest = std::min(smallest, e.decoupling);
    EXPECT_NEAR(values[0], smallest, 1e-9);
    EXPECT_GT(values[0], 0.0);
    EXPECT_LT(values[0], 100.0);
    EXPECT_DOUBLE_EQ(values[2],
                     *std::min_element(m.eigenFrequencies.data(), m.eigenFrequencies.data() + 6));
    // The transmissibility is the curve's point at the load's frequency.
    AnalysisModel swept = m;
    swept.frequencyStart = 10.0;
    swept.frequencyStep = 10.0;
    swept.frequencyEnd = 50.0;
    const auto curve = transmissibility(swept, 0);
    ASSERT_GE(curve.size(), 3u);
    EXPECT_EQ(curve[2].frequency, 30.0);
    EXPECT_DOUBLE_EQ(values[3], curve[2].transmissibility);

    // The displacement is what a displacement condition limits: holds just above, fails below.
    for (const auto& [scale, holds] : {std::pair{1.0 + 1e-9, true}, std::pair{1.0 - 1e-9, false}}) {
        OptimizationConditions c;
        c.addDisplacementCondition({{0, 0, 0, 0, 0, 0, 1}, spring, load, values[4] * scale});
        EXPECT_EQ(evaluateVariant(m, c), holds) << scale;
    }
}
