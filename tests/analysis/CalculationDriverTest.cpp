#include "analysis/CalculationDriver.h"

#include "analysis/DynamicAnalysis.h"
#include "analysis/VariantBasis.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

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
    EXPECT_EQ(std::tuple(out.status, out.error, m.calculated, checkModel(m).count()),
              std::tuple(3, CalculationError::InvalidModel, 0, 3));
    const std::string text = describeCalculationFailure(out);
    for (const char* reason : {"質量", "Izz", "ばね要素"})
        EXPECT_NE(text.find(reason), std::string::npos) << reason;

    // What no body can be is refused with the field named; rates of 0 (free) calculate.
    const double nan = std::nan(""), inf = INFINITY;
    const struct {
        std::function<void(AnalysisModel&)> spoil;
        std::string reason; // empty: calculates
    } cases[] = {
        {[](AnalysisModel& m) { m.mass = -185; }, "質量が正ではありません(-185)"},
        {[](AnalysisModel& m) { m.inertia(0, 1) = m.inertia(1, 0) = 5; }, "慣性テンソルが正定値"},
        {[&](AnalysisModel& m) { m.inertia(2, 2) = inf; }, "慣性テンソルが正定値"},
        {[&](AnalysisModel& m) { m.centreOfGravity[1] = nan; }, "重心座標が数値ではありません"},
        {[&](AnalysisModel& m) { m.springs[1].angles[2] = inf; },
         "ばね要素 mount(id 3): Z角度が数値ではありません"},
        {[&](AnalysisModel& m) { m.springs[2].size = nan; }, "サイズが数値ではありません"},
        {[](AnalysisModel& m) { m.springCharacteristics[0].stiffness[1] = -1; },
         "ばね特性 rubber(id 6): ばね定数 yy [N/m] が負です(-1)"},
        {[&](AnalysisModel& m) { m.springCharacteristics[0].damping[0] = nan; },
         "減衰係数 xx [N s/m] が数値ではありません"},
        {[](AnalysisModel& m) { m.springCharacteristics[0].dynamicFactor = -1.2; },
         "動的係数が正ではありません(-1.2)"},
        {[&](AnalysisModel& m) { m.staticLoads[1].direction[0] = nan; },
         "静荷重 torque(id 8): 方向ﾍﾞｸﾄﾙが数値ではありません"},
        {[&](AnalysisModel& m) { m.dynamicLoads[0].frequency = inf; },
         "周波数が数値ではありません"},
        {[&](AnalysisModel& m) { m.addObservationPoint("p", v3(0, nan, 0)); },
         "観測点 p(id 10): 座標 y が数値ではありません"},
        {[](AnalysisModel& m) { m.springCharacteristics[0].stiffness[1] = 0; }, ""},
        // A characteristic no spring uses enters no analysis.
        {[](AnalysisModel& m) { m.addCharacteristic({}); }, ""},
    };
    for (const auto& c : cases) {
        AnalysisModel m = loadedModel();
        c.spoil(m);
        const CalculationOutcome o = calculate(m, CalculationConditions{});
        if (c.reason.empty()) {
            EXPECT_EQ(o.status, 0) << describeCalculationFailure(o);
            continue;
        }
        EXPECT_EQ(std::tuple(o.status, o.error, m.calculated),
                  std::tuple(1, CalculationError::InvalidModel, 0));
        EXPECT_NE(describeCalculationFailure(o).find(c.reason), std::string::npos)
            << describeCalculationFailure(o);
    }
}

// A variant's basis is used only while shared: any change gives a fresh calculation's bits.
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

TEST(CalculationDriver, SweepStepsByRepeatedAdditionAndABadOrOversizedSweepClearsTheRun) {
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

    // A bad or oversized sweep clears the whole run.
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

// An undamped resonance on a step is named infinite; a load on a free direction fails, named.
TEST(CalculationDriver, ResultsThatAreNotNumbersAreNamed) {
    // 4 kg on four undamped rates w^2 (the engine's 2 pi): the vertical mode is at 10 Hz.
    const double w = 10.0 * 6.283184;
    AnalysisModel m = fourMountModel(0.3, 0.2, 0.0, v3(w * w, w * w, w * w));
    m.mass = 4.0;
    m.setCentreOfGravity(v3(0.1, -0.2, 0.3));
    m.addDynamicLoad("shake", 10.0, m.centreOfGravity, v3(0, 0, 1), Translational, 10.0);
    m.setFrequencyRange(12.0, 8.0, 1.0);
    CalculationOutcome out = calculate(m, CalculationConditions{});
    ASSERT_EQ(std::tuple(out.status, m.calculated, out.nonFiniteCount), std::tuple(0, 1, 2));
    EXPECT_EQ(describeCalculationNotes(out),
              "計算結果に数値でない値があります:\n"
              "  動荷重 shake(id 7) 10 Hz: 減衰のない共振のため応答が無限大です\n"
              "  周波数ｽﾃｯﾌﾟ 10 Hz: 動荷重 shake(id 7): 減衰のない共振のため応答が無限大です\n");
    // With damping there is a finite answer everywhere.
    m.springCharacteristics[0].damping = v3(10, 10, 10);
    out = calculate(m, CalculationConditions{});
    EXPECT_EQ(std::tuple(out.status, out.nonFiniteCount, describeCalculationNotes(out)),
              std::tuple(0, 0, std::string()));

    AnalysisModel free = fourMountModel(0.3, 0.2, 0.0, v3(0, 0, 1e5)); // nothing holds x, y
    free.addStaticLoad("push", 10.0, free.centreOfGravity, v3(1, 0, 0), Translational);
    free.addStaticLoad("mystery", 10.0, free.centreOfGravity, v3(0, 0, 1), 5);
    out = calculate(free, only(1, 1, 0, 0));
    EXPECT_EQ(std::tuple(out.status, out.error, free.calculated, free.eigenFrequencies.norm()),
              std::tuple(1, CalculationError::NonFiniteResults, 0, 0.0));
    EXPECT_NE(describeCalculationFailure(out).find("静荷重 push(id 7): 変位が数値ではありません"),
              std::string::npos);
    // Its modes alone are fine (0 Hz when free); a load of unknown type is named as ignored.
    out = calculate(free, only(1, 0, 0, 0));
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(
        describeCalculationNotes(out),
        "静荷重 mystery(id 8): 荷重の種類(5)が並進荷重でもﾓｰﾒﾝﾄ荷重でもないため無視しました\n");
}

// A success leaves no non-finite result but those it names as infinite by definition.
TEST(CalculationDriver, SuccessNeverHidesANonFiniteResult) {
    Lcg rng{29};
    int succeeded = 0, failed = 0;
    for (int trial = 0; trial < 300; ++trial) {
        AnalysisModel m = randomMountModel(rng, 1 + trial % 5);
        // Now and then rates of 0 (free directions) and no damping at all.
        for (SpringCharacteristic& c : m.springCharacteristics)
            for (int d = 0; d < 3; ++d)
                if (rng.next() > 0.7)
                    c.stiffness[d] = 0.0;
        m.addStaticLoad("s", 1000 * rng.next(), v3(rng.next(), rng.next(), rng.next()),
                        v3(rng.next(), rng.next(), rng.next()), trial % 2);
        m.addDynamicLoad("d", 100 * rng.next(), v3(rng.next(), rng.next(), rng.next()),
                         v3(rng.next(), rng.next(), rng.next()), trial % 3 == 0,
                         5 + 20 * std::fabs(rng.next()));
        m.setFrequencyRange(40.0, 0.0, 0.5);
        const CalculationOutcome out = calculate(m, CalculationConditions{});
        if (out.status != 0) {
            ++failed;
            continue;
        }
        ++succeeded;
        bool anyNonFinite = false;
        auto scan = [&](const Matrix& r) {
            for (int i = 0; i < r.size(); ++i)
                anyNonFinite = anyNonFinite || !std::isfinite(r[i]);
        };
        for (const Matrix* r :
             {&m.eigenFrequencies, &m.modeShapes, &m.staticResults, &m.dynamicResults})
            scan(*r);
        for (const Matrix& step : m.frequencyStepResults)
            scan(step);
        EXPECT_EQ(anyNonFinite, out.nonFiniteCount > 0) << trial;
        for (const NonFiniteResult& r : out.nonFinite)
            EXPECT_TRUE(r.expected) << trial << " " << r.where;
    }
    EXPECT_GT(succeeded, 50);
    EXPECT_GT(failed, 10);
}
