#include "optimizer/Variant.h"
#include "support/TestSupport.h"

#include "analysis/ModeMetrics.h"
#include "analysis/PointMotion.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

using namespace quav;
using namespace quav::testing;

namespace {

DesignParameter range(double min, double max, double increment) {
    DesignParameter p;
    p.minValue = min;
    p.maxValue = max;
    p.increment = increment;
    return p;
}

/// A calculated-looking variant: 5..30 Hz from mode 1, uncoupled, one static result row.
AnalysisModel variant() {
    AnalysisModel m;
    m.addSpring("s", v3(0.5, 0, 0), v3(0, 0, 0), 1.0f);                // id 2
    m.addObservationPoint("p", v3(0, 0, 2));                           // id 3
    m.addStaticLoad("w", 1, v3(0, 0, 0), v3(0, 0, -1), Translational); // id 4
    for (int j = 0; j < 6; ++j)
        m.eigenFrequencies[j] = 30.0 - 5.0 * j;
    m.modeShapes = Matrix::identity(6);
    m.staticResults = Matrix(1, 6, {0.001, -0.002, -0.003, 0, 0, 0});
    m.calculated = 1;
    return m;
}

} // namespace

TEST(ValueCount, TruncatedQuotientPlusOneNeverEndlessAndTheirProductIn64Bits) {
    const struct {
        double min, max, increment;
        std::int64_t count;
    } cases[] = {
        {0.1, 0.3, 0.1, 2},
        {0, 10, 2.5, 5},
        {5, 1, 1, -3},
        {5, 1, -1, 5},
        {3, 3, 0.7, 1},
        {1, 2, 0.5, 3},
        // Degenerate increments never loop forever.
        {2, 2, 0, 1},
        {1, 2, 0, 0},
        {0, std::nan(""), 1, 0},
        {0, 1e300, 1e-300, maxValueCount},
        {0, -1e300, 1e-300, -maxValueCount},
    };
    for (const auto& c : cases)
        EXPECT_EQ(valueCount(range(c.min, c.max, c.increment)), c.count)
            << c.min << " " << c.max << " " << c.increment;
    // Combinations: the product from one, in 64 bits.
    EXPECT_EQ(combinationCount({}), 1);
    EXPECT_EQ(combinationCount({range(0, 2, 1), range(0, 1, 1)}), 6);
    EXPECT_EQ(combinationCount({range(0, 2, 1), range(5, 1, 1)}), -9);
    // 100000^2 overflows 32 bits.
    EXPECT_EQ(combinationCount({range(1, 100000, 1), range(1, 100000, 1)}), 10000000000LL);
    EXPECT_EQ(combinationCount({range(0, 1e300, 1e-300), range(0, 1e300, 1e-300)}),
              std::numeric_limits<std::int64_t>::max());
}

TEST(ApplyBindings, WritesBoundVariablesOfTheCopyOnly) {
    AnalysisModel original;
    const int s = original.addSpring("s", v3(1, 2, 3), v3(0, 10, 20), 1.0f);
    original.setSpringSelection(s);
    const int c = original.assignCharacteristic("k", v3(100, 200, 300), 1.0, v3(0, 0, 0));

    DesignParameter a = range(0, 1, 1);
    a.id = 7;
    a.currentValue = 2.0;
    DesignParameter b = range(0, 1, 1);
    b.id = 8;
    b.currentValue = 5.0;
    const std::vector<DesignParameter> params{a, b};
    const std::vector<ParameterBinding> bindings{
        {s, 1, 7, 0.5},  // x = 1
        {s, 5, 8, 2.0},  // Y angle = 10
        {s, 4, 7, 1.0},  // angle about x = 2
        {c, 3, 8, 1e3},  // Kzz = 5000
        {c, 5, 8, 1.0},  // no angles on a characteristic
        {s, 2, 99, 1.0}, // missing parameter
        {s, 1, 8, 1.0},  // a later binding of the same variable wins: x = 5
        {s, 9, 7, 1.0},  // unknown target
    };
    AnalysisModel copy(original);
    applyBindings(copy, bindings, params);
    EXPECT_EQ(copy.springs[0].position, v3(5, 2, 3));
    EXPECT_EQ(copy.springs[0].angles, v3(2, 10, 20));
    EXPECT_EQ(copy.springCharacteristics[0].stiffness, v3(100, 200, 5000));
    EXPECT_EQ(original.springs[0].position, v3(1, 2, 3));
    EXPECT_EQ(original.springCharacteristics[0].stiffness, v3(100, 200, 300));
}

TEST(EvaluateVariant, AllGroupsOffAcceptAndModeConditionsAreStrictOnBothComparisons) {
    AnalysisModel m = variant();
    OptimizationConditions c;
    m.eigenFrequencies[5] = std::nan("");
    EXPECT_TRUE(evaluateVariant(m, c));
    m.eigenFrequencies[5] = 5.0;
    c.modeConditionEnabled[2] = 1; // z
    c.modeContributionPct[2] = 50.0;
    c.modeMaxFrequency[2] = 10.0;
    // z dominates mode 4 (storage column 2) at 15 Hz: a 60 % share fails at 12 Hz.
    const double s60 = std::sqrt(0.6), s40 = std::sqrt(0.4);
    m.modeShapes(2, 2) = s60;
    m.modeShapes(3, 2) = s40;
    m.eigenFrequencies[2] = 12.0;
    EXPECT_FALSE(evaluateVariant(m, c));
    m.eigenFrequencies[2] = 10.0; // exactly at the limit passes
    EXPECT_TRUE(evaluateVariant(m, c));
    m.eigenFrequencies[2] = 12.0;
    m.modeShapes(2, 2) = std::sqrt(0.5); // 50 % is not above the threshold
    m.modeShapes(3, 2) = std::sqrt(0.5);
    c.modeContributionPct[2] = contributionRatio(m.modeShapes, 4, 2);
    EXPECT_TRUE(evaluateVariant(m, c));
    m.eigenFrequencies[2] = std::nan(""); // NaN never fails a mode condition
    c.modeContributionPct[2] = 10.0;
    EXPECT_TRUE(evaluateVariant(m, c));
}

TEST(EvaluateVariant, FrequencyWindowAndMeanCoupling) {
    AnalysisModel m = variant();
    OptimizationConditions c;
    c.minFrequencyEnabled = 1;
    c.minFrequency = 5.0;
    EXPECT_TRUE(evaluateVariant(m, c)); // f(1) = 5 passes
    m.eigenFrequencies[5] = 4.999;
    EXPECT_FALSE(evaluateVariant(m, c));
    m.eigenFrequencies[5] = std::nan(""); // a lowest frequency that is not a number fails
    EXPECT_FALSE(evaluateVariant(m, c));

    m = variant();
    c = {};
    c.maxFrequencyEnabled = 1;
    c.maxFrequency = 30.0;
    EXPECT_TRUE(evaluateVariant(m, c));
    c.maxFrequency = 29.9;
    EXPECT_FALSE(evaluateVariant(m, c));

    c = {};
    c.meanCouplingEnabled = 1;
    c.meanCouplingMax = 0.0;
    EXPECT_TRUE(evaluateVariant(m, c));
    m.modeShapes(0, 0) = std::sqrt(0.5);
    m.modeShapes(1, 0) = std::sqrt(0.5);
    EXPECT_FALSE(evaluateVariant(m, c));
    m.calculated = 0; // an uncalculated variant has no coupling
    EXPECT_TRUE(evaluateVariant(m, c));
}

TEST(EvaluateVariant, SpringRatioBounds) {
    AnalysisModel m = variant();
    OptimizationConditions c;
    c.springRatioEnabled = 1;           // defaults: 5, +10 % -> upper bound 5.5
    EXPECT_TRUE(evaluateVariant(m, c)); // no characteristic: passes
    SpringCharacteristic k;
    k.stiffness = v3(5.5, 1, 1);
    m.addCharacteristic(k);
    EXPECT_TRUE(evaluateVariant(m, c)); // at the upper bound
    m.springCharacteristics[0].stiffness = v3(5, 1, 1);
    EXPECT_TRUE(evaluateVariant(m, c)); // at the ratio itself
    for (const Matrix& rates : {v3(4.9, 1, 1), v3(5.6, 1, 1.1), v3(5, 0, 1), v3(0, 0, 1)}) {
        m.springCharacteristics[0].stiffness = rates;
        EXPECT_FALSE(evaluateVariant(m, c)) << rates[0] << " " << rates[1] << " " << rates[2];
    }
}

TEST(EvaluateVariant, DisplacementConditionsOnSpringsPointsAndTheMassElement) {
    AnalysisModel m = variant();
    // The mass element moves (0.001, -0.002, -0.003) under load 4; the spring's local x is y.
    const double localX =
        std::fabs(springLocalDisplacement(m.springs[0], v3(0.001, -0.002, -0.003))[0]);
    const double absolute = absoluteDisplacement(Matrix::vector({0.001, -0.002, -0.003}));
    const auto z = std::array{0, 0, 1, 0, 0, 0, 0}, y = std::array{0, 1, 0, 0, 0, 0, 0};
    const auto abs = std::array{0, 0, 0, 0, 0, 0, 1}, localXFlag = std::array{0, 0, 0, 1, 0, 0, 0};
    const struct {
        DisplacementCondition condition;
        bool accepted;
    } cases[] = {
        {{z, 1, 4, 0.0025}, false},   // |z| = 0.003 > limit
        {{y, 1, 4, 0.0025}, true},    // |y| = 0.002
        {{abs, 1, 4, 0.0025}, false}, // |d| = 0.00374
        // A value equal to the limit passes, globally and in the spring's axes.
        {{abs, 1, 4, absolute}, true},
        {{z, 1, 4, 0.003}, true},
        {{z, 1, 4, std::nextafter(0.003, 0.0)}, false},
        {{localXFlag, 2, 4, localX}, true},
        {{localXFlag, 2, 4, std::nextafter(localX, 0.0)}, false},
        {{localXFlag, 2, 4, 0.0015}, false}, // |local x| = 0.002
        {{localXFlag, 2, 4, 0.0021}, true},
        {{localXFlag, 3, 4, 0.0}, true}, // local flags mean nothing on an observation point
        // Unknown objects and loads test nothing.
        {{{1, 1, 1, 0, 0, 0, 1}, 77, 4, 0.0}, true},
        {{{1, 1, 1, 0, 0, 0, 1}, 1, 78, 0.0}, true},
    };
    OptimizationConditions c;
    for (const auto& k : cases) {
        c.displacementConditions = {k.condition};
        EXPECT_EQ(evaluateVariant(m, c), k.accepted)
            << "object " << k.condition.objectId << " limit " << k.condition.limit;
    }
    m.staticResults.clear(); // no result row for the load
    c.displacementConditions[0].objectId = 1;
    c.displacementConditions[0].loadId = 4;
    EXPECT_TRUE(evaluateVariant(m, c));
}
