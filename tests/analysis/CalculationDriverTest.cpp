#include "analysis/CalculationDriver.h"

#include "analysis/DynamicAnalysis.h"
#include "analysis/VariantBasis.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <thread>

using namespace quav;
using namespace quav::testing;

namespace {

AnalysisModel loadedModel() {
    AnalysisModel m = fourMountModel(0.3, 0.25, -0.1, v3(3e5, 1e5, 2e5), 1.2, v3(200, 90, 120));
    m.addStaticLoad("weight", m.mass * 9.81, m.centreOfGravity, v3(0, 0, -1), Translational);
    m.addStaticLoad("torque", 150.0, v3(0.2, 0, 0), v3(1, 0, 0), Moment);
    m.addDynamicLoad("unbalance", 80.0, v3(0.3, 0.1, 0.0), v3(0, 0.6, 0.8), Translational, 30.0);
    m.setFrequencyRange(20.0, 10.0, 3.0);
    return m;
}

CalculationConditions only(int eigen, int stat, int dynamic, int sweep) {
    CalculationConditions c;
    c.eigen = eigen;
    c.staticAnalysis = stat;
    c.dynamic = dynamic;
    c.frequencyStep = sweep;
    return c;
}

} // namespace

TEST(CalculationDriver, ValidationCountsEveryFailure) {
    AnalysisModel m;
    m.setInertia(Matrix(3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 0}));
    m.calculated = 1;
    const CalculationOutcome out = calculate(m, CalculationConditions{});
    EXPECT_EQ(std::tuple(out.status, out.error, m.calculated, validateModel(m)),
              std::tuple(3, CalculationError::InvalidModel, 0, 3));
    const std::string text = describeCalculationFailure(out);
    for (const char* reason : {"質量", "Izz", "ばね要素"})
        EXPECT_NE(text.find(reason), std::string::npos) << reason;

    AnalysisModel ok = loadedModel();
    ok.mass = 0.0;
    EXPECT_EQ(runCalculation(ok, CalculationConditions{}), 1);
    AnalysisModel good = loadedModel();
    EXPECT_EQ(describeCalculationFailure(calculate(good, CalculationConditions{})), "");
}

// What a variant shares with its model is taken from the basis only while it is
// still shared: any change a binding (or an edit) can make must come out as a
// fresh calculation would, to the last bit.
TEST(CalculationDriver, VariantsWithABasisMatchAFreshCalculation) {
    const std::function<void(AnalysisModel&)> changes[] = {
        [](AnalysisModel&) {},
        [](AnalysisModel& v) { v.springCharacteristics[0].stiffness[0] *= 1.5; },
        [](AnalysisModel& v) { v.springs[1].position[2] += 0.05; },
        [](AnalysisModel& v) { v.springs[2].angles[1] = 25.0; },
        [](AnalysisModel& v) { v.springs[3].angles[2] = -40.0; },
        [](AnalysisModel& v) { v.inertia(1, 1) = 7.5; },
        [](AnalysisModel& v) { v.addSpring("extra", v3(0.0, 0.0, -0.2), v3(0, 20, 10), 0.05f); },
        [](AnalysisModel& v) { v.springs.erase(v.springs.begin()); },
    };
    AnalysisModel tilted = loadedModel();
    tilted.setInertia(Matrix(3, 3, {4.0, 0.3, -0.2, 0.3, 6.0, 0.1, -0.2, 0.1, 9.0}));
    tilted.springs[0].angles[1] = 30.0;
    for (const AnalysisModel& model : {loadedModel(), tilted}) {
        const VariantBasis basis(model);
        for (std::size_t i = 0; i < std::size(changes); ++i) {
            AnalysisModel shared = model;
            changes[i](shared);
            AnalysisModel fresh = shared;
            ASSERT_EQ(calculate(shared, only(1, 1, 0, 0), &basis).status, 0);
            ASSERT_EQ(calculate(fresh, only(1, 1, 0, 0)).status, 0);
            EXPECT_EQ(shared.eigenFrequencies, fresh.eigenFrequencies) << "change " << i;
            EXPECT_EQ(shared.modeShapes, fresh.modeShapes) << "change " << i;
            EXPECT_EQ(shared.staticResults, fresh.staticResults) << "change " << i;
        }
    }
}

TEST(CalculationDriver, SweepStepsByRepeatedAddition) {
    AnalysisModel m = loadedModel();
    // 0.1 is not exact: start + k * step differs from the repeated sum at some steps.
    m.setFrequencyRange(11.0, 10.0, 0.1);
    ASSERT_EQ(runCalculation(m, only(0, 0, 0, 1)), 0);
    ASSERT_EQ(m.frequencyStepResults.size(), 11u);
    double f = 10.0;
    for (std::size_t s = 0; s < 11; ++s, f += 0.1)
        EXPECT_EQ(m.frequencyStepResults[s], responseAtCommonFrequency(m, f)) << s;
    // A sweep from 0 Hz starts with the static response, not the loads' own frequency.
    m.setFrequencyRange(2.0, 0.0, 1.0);
    ASSERT_EQ(runCalculation(m, only(0, 0, 0, 1)), 0);
    ASSERT_EQ(m.frequencyStepResults.size(), 3u);
    EXPECT_EQ(m.frequencyStepResults[0], responseAtCommonFrequency(m, 0.0));
    EXPECT_NE(m.frequencyStepResults[0], responseAtOwnFrequencies(m));
}

TEST(CalculationDriver, BadOrOversizedSweepClearsTheWholeRun) {
    AnalysisModel m = loadedModel();
    m.setFrequencyRange(10.0, 10.0, 1.0);
    CalculationOutcome out = calculate(m, CalculationConditions{});
    EXPECT_EQ(std::tuple(out.status, out.error, m.calculated, m.eigenFrequencies.norm(),
                         m.staticResults.rows(), m.staticResults.norm(),
                         m.hasFrequencyStepResults()),
              std::tuple(1, CalculationError::BadFrequencyRange, 0, 0.0, 2, 0.0, false));

    for (double step : {0.0, -1.0, std::nan("")}) {
        m.setFrequencyRange(20.0, 10.0, step);
        EXPECT_EQ(runCalculation(m, CalculationConditions{}), 1) << step;
    }
    // Steps of 1e-9 Hz across 1 kHz are refused at once rather than allocated.
    m.setFrequencyRange(1000.0, 0.0, 1e-9);
    out = calculate(m, CalculationConditions{});
    EXPECT_EQ(std::tuple(out.status, out.error, m.hasFrequencyStepResults()),
              std::tuple(1, CalculationError::SweepTooLarge, false));
    EXPECT_NE(describeCalculationFailure(out).find("100000"), std::string::npos);
    // The limit itself is accepted, one step more is not.
    m.setFrequencyRange(kMaxSweepSteps, 1.0, 1.0);
    EXPECT_EQ(std::tuple(planSweep(m).error, planSweep(m).steps),
              std::tuple(CalculationError::None, kMaxSweepSteps));
    m.setFrequencyRange(kMaxSweepSteps, 0.0, 1.0);
    EXPECT_EQ(planSweep(m).error, CalculationError::SweepTooLarge);
    m.setFrequencyRange(1e308, -1e308, 1.0); // the span overflows to infinity
    EXPECT_EQ(planSweep(m).error, CalculationError::SweepTooLarge);
}

TEST(CalculationDriver, AbsentInputsAreSkipped) {
    AnalysisModel m = loadedModel();
    ASSERT_EQ(runCalculation(m, CalculationConditions{}), 0);
    // Static asked for, no static loads: the old table stays, zeroed.
    m.staticLoads.clear();
    ASSERT_EQ(runCalculation(m, only(0, 1, 0, 0)), 0);
    EXPECT_EQ(std::tuple(m.calculated, m.staticResults.rows(), m.staticResults.norm(),
                         m.eigenFrequencies.norm()),
              std::tuple(1, 2, 0.0, 0.0));
    // Sweep asked for, no dynamic loads: no sweep even with a bad range.
    m.dynamicLoads.clear();
    m.setFrequencyRange(0.0, 0.0, 0.0);
    EXPECT_EQ(runCalculation(m, CalculationConditions{}), 0);
    EXPECT_FALSE(m.hasFrequencyStepResults());
}

TEST(CalculationDriver, PrivateCopiesCalculateOnWorkerThreads) {
    const AnalysisModel original = loadedModel();
    AnalysisModel serial = original;
    ASSERT_EQ(runCalculation(serial, CalculationConditions{}), 0);
    AnalysisModel a = original, b = original;
    int statusA = -1, statusB = -1;
    std::thread ta([&] { statusA = runCalculation(a, CalculationConditions{}); });
    std::thread tb([&] { statusB = runCalculation(b, CalculationConditions{}); });
    ta.join();
    tb.join();
    EXPECT_EQ(statusA, 0);
    EXPECT_EQ(statusB, 0);
    for (const AnalysisModel* m : {&a, &b}) {
        EXPECT_EQ(m->modeShapes, serial.modeShapes);
        EXPECT_EQ(m->staticResults, serial.staticResults);
        EXPECT_EQ(m->frequencyStepResults, serial.frequencyStepResults);
    }
}
