// The quick look a run takes at each variant never changes a verdict of the full calculation.
#include "analysis/CalculationDriver.h"
#include "analysis/ModeMetrics.h"
#include "analysis/PointMotion.h"
#include "optimizer/OptimizerRun.h"
#include "optimizer/Variant.h"
#include "support/FrequencyTables.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

using namespace quav;
using namespace quav::testing;

namespace {

/// Four inclined mounts (ids 2-5) on one characteristic (id 6), products of inertia.
AnalysisModel inclinedModel() {
    AnalysisModel m;
    m.mass = 140.0;
    m.setInertia(Matrix(3, 3, {6, 0.3, -0.2, 0, 8, 0.4, 0, 0, 9}));
    for (double x : {0.3, -0.35})
        for (double y : {0.25, -0.25})
            m.addSpring("mount", v3(x, y, -0.15), v3(0, y > 0 ? 25 : -25, 5), 0.05f);
    m.setSpringSelection(-1);
    m.assignCharacteristic("rubber", v3(3e5, 1e5, 1e5), 1.2, v3(50, 50, 50));
    m.addStaticLoad("weight", 1373.4, v3(0, 0, 0), v3(0, 0, -1), Translational);
    return m;
}

/// The inclined model, then `perFamily` random and awkward models of each family.
std::vector<AnalysisModel> studyModels(std::uint64_t seed, int perFamily) {
    Lcg rng{seed};
    std::vector<AnalysisModel> models = {inclinedModel()};
    for (const ModelFamily& family : modelFamilies())
        for (int i = 0; i < perFamily; ++i)
            models.push_back(family.make(rng));
    return models;
}

/// The model with the optimiser's current values, fully calculated.
AnalysisModel calculatedVariant(const AnalysisModel& model, const Optimizer& o) {
    AnalysisModel variant(model);
    applyBindings(variant, o.bindings, o.parameters);
    runCalculation(variant, CalculationConditions{});
    return variant;
}

/// The conditions the variant fails without the screen.
std::vector<int> fullVerdict(const AnalysisModel& model, const Optimizer& o) {
    std::vector<int> failed;
    failedConditions(calculatedVariant(model, o), o.conditions, failed);
    return failed;
}

/// Whether the screen settles the variant's failures without the calculation.
bool settled(const VariantScreen& screen, const AnalysisModel& variant) {
    std::vector<int> failed;
    return screen.rejects(variant, failed);
}

/// One frequency condition at `threshold`: minimum (0), maximum (1), a mode's maximum (2).
OptimizationConditions frequencyCondition(int which, double threshold) {
    OptimizationConditions c;
    c.minFrequencyEnabled = which == 0;
    c.maxFrequencyEnabled = which == 1;
    c.minFrequency = c.maxFrequency = threshold;
    c.modeConditionEnabled[3] = which == 2;
    c.modeContributionPct[3] = -1.0;
    c.modeMaxFrequency[3] = threshold;
    return c;
}

} // namespace

TEST(VariantScreen, VerdictsAreThoseOfTheFullCalculation) {
    const AnalysisModel model = inclinedModel();
    Optimizer o;
    const int kxx = o.addParameter("Kxx", 6e5, 1e5, 1e5);
    const int x = o.addParameter("x", 0.4, 0.2, 0.1);
    o.setBinding(6, 1, kxx, 1.0);
    o.setBinding(2, 1, x, 1.0);
    o.setBinding(3, 1, x, 1.0);
    AnalysisModel scratch;
    const double inf = std::numeric_limits<double>::infinity();
    // Per kind (frequency, displacement): cases, accepted, settled by the screen.
    int cases[2] = {}, accepted[2] = {}, screenedOut[2] = {};
    for (double kv : {1e5, 2e5, 3e5, 4e5, 5e5, 6e5}) {
        for (double xv : {0.2, 0.3, 0.4}) {
            o.parameters[0].currentValue = kv;
            o.parameters[1].currentValue = xv;
            const AnalysisModel calculated = calculatedVariant(model, o);
            // Thresholds on the lowest and highest frequencies, one ulp either side, and clear.
            std::vector<OptimizationConditions> conditions;
            for (double f : {calculated.eigenFrequencies[5], calculated.eigenFrequencies[0]})
                for (double threshold : {f, std::nextafter(f, -inf), std::nextafter(f, inf),
                                         f * (1 + 1e-9), f * (1 - 1e-9), 0.5 * f, 2.0 * f})
                    for (int which : {0, 1, 2})
                        conditions.push_back(frequencyCondition(which, threshold));
            // Limits likewise at the mass element's absolute and spring 3's local z displacement.
            Matrix e = Matrix::column(6);
            for (int j = 0; j < 6; ++j)
                e[j] = calculated.staticResults(0, j);
            const Matrix at =
                pointTransfer(e, calculated.centreOfGravity, calculated.springs[1].position);
            const double springLocalZ = std::fabs(springLocalDisplacement(
                calculated.springs[1], Matrix::vector({at[0], at[1], at[2]}))[2]);
            for (const auto& [object, flag, value] :
                 {std::tuple{1, 6, absoluteDisplacement(e)}, std::tuple{3, 5, springLocalZ}})
                for (double limit : {value, std::nextafter(value, -inf), std::nextafter(value, inf),
                                     0.5 * value, 2.0 * value}) {
                    DisplacementCondition d;
                    d.objectId = object;
                    d.loadId = 7;
                    d.limit = limit;
                    d.directionFlags[static_cast<std::size_t>(flag)] = 1;
                    conditions.emplace_back().addDisplacementCondition(d);
                }
            for (const OptimizationConditions& c : conditions) {
                o.conditions = c;
                const int kind = c.displacementConditions.empty() ? 0 : 1;
                const RunInput input(model, o);
                std::vector<int> failed;
                const bool verdict = input.evaluate(o.parameters, scratch, &failed);
                // Every condition's verdict is the full calculation's.
                ASSERT_EQ(failed, fullVerdict(model, o))
                    << "Kxx " << kv << " x " << xv << " case " << &c - conditions.data();
                // The accepted variant is the fully calculated one, static results too.
                if (verdict) {
                    ++accepted[kind];
                    EXPECT_EQ(scratch.eigenFrequencies, calculated.eigenFrequencies);
                    EXPECT_EQ(scratch.modeShapes, calculated.modeShapes);
                    EXPECT_EQ(scratch.staticResults, calculated.staticResults);
                }
                screenedOut[kind] += settled(input.screen(), scratch);
                ++cases[kind];
            }
        }
    }
    // Both outcomes occur, and the screen settles the clear cases itself.
    for (int kind : {0, 1}) {
        EXPECT_GT(accepted[kind], cases[kind] / 4) << kind;
        EXPECT_GT(screenedOut[kind], cases[kind] / 4) << kind;
    }
}

TEST(VariantScreen, SpringRatiosAndTheCouplingDegree) {
    // Frequency windows: the verdict tests above.
    AnalysisModel model = inclinedModel();
    OptimizationConditions c;
    c.springRatioEnabled = 1; // 3 < 5, judged exactly as the conditions judge it
    std::vector<int> failed;
    EXPECT_TRUE(VariantScreen(model, c).rejects(model, failed));
    EXPECT_EQ(failed, std::vector<int>{kSpringRatioCondition});
    model.springCharacteristics[0].stiffness = v3(5e5, 1e5, 1e5);
    EXPECT_FALSE(VariantScreen(model, c).rejects(model, failed));
    // The mean coupling degree needs the modes' shapes: never settled by the screen.
    c.meanCouplingEnabled = 1;
    model.springCharacteristics[0].stiffness = v3(3e5, 1e5, 1e5);
    EXPECT_FALSE(VariantScreen(model, c).rejects(model, failed));
}

TEST(VariantScreen, AVariantWithAnotherInertiaIsJudgedOnItsOwn) {
    // The screen's principal axes are its model's, not a variant's of another inertia.
    AnalysisModel heavy = inclinedModel();
    heavy.setInertia(Matrix(3, 3, {60, 3, -2, 0, 80, 4, 0, 0, 90}));
    AnalysisModel light = inclinedModel();
    runCalculation(heavy, CalculationConditions{});
    runCalculation(light, CalculationConditions{});
    ASSERT_LT(heavy.eigenFrequencies[5], 0.9 * light.eigenFrequencies[5]);
    OptimizationConditions c;
    c.minFrequencyEnabled = 1;
    c.minFrequency = light.eigenFrequencies[5];
    EXPECT_TRUE(evaluateVariant(light, c));
    EXPECT_FALSE(settled(VariantScreen(heavy, c), light));
    EXPECT_TRUE(settled(VariantScreen(heavy, c), heavy));
}

TEST(VariantScreen, TabledVariantsAreJudgedAtTheirOwnFrequencies) {
    // The table stiffens beyond the dynamic factor; a binding sets the rate it is relative to.
    AnalysisModel model = inclinedModel();
    model.springCharacteristics[0].frequencyTable = rubberTable();
    Optimizer o;
    o.setBinding(6, 1, o.addParameter("Kxx", 6e5, 1e5, 1e5), 1.0);
    AnalysisModel scratch;
    for (double kv : {1e5, 3.5e5, 6e5}) {
        o.parameters[0].currentValue = kv;
        const AnalysisModel calculated = calculatedVariant(model, o);
        ASSERT_EQ(calculated.springCharacteristics[0].stiffness[0], kv);
        const double lowest = calculated.eigenFrequencies[5];
        for (double threshold : {lowest * (1 - 1e-9), lowest * (1 + 1e-9)}) {
            o.conditions = OptimizationConditions{};
            o.conditions.minFrequencyEnabled = 1;
            o.conditions.minFrequency = threshold;
            const RunInput input(model, o);
            EXPECT_EQ(input.evaluate(o.parameters, scratch), threshold < lowest) << kv;
            EXPECT_EQ(fullVerdict(model, o).empty(), threshold < lowest) << kv;
            // The batch path, which solves untabled variants' modes side by side.
            RunInput::Workspace work(o.parameters);
            bool accepted = false;
            input.evaluateBatch(&kv, 1, work, &accepted);
            EXPECT_EQ(accepted, threshold < lowest) << kv;
            if (threshold < lowest) {
                EXPECT_EQ(scratch.eigenFrequencies, calculated.eigenFrequencies);
                EXPECT_EQ(work.variant(0).eigenFrequencies, calculated.eigenFrequencies);
            }
        }
    }
}

TEST(VariantScreen, BatchesCountedWithoutModelsGiveTheFullVerdicts) {
    // Random and awkward bodies whose springs move and whose rates change, batches
    // of 23 and fewer, bound rates turned negative or 0 among them; the windows and
    // limits on the model's own frequencies (and an ulp either side), so that the
    // variant with the model's values lies on them.
    int variants = 0, accepted = 0, countedOut = 0;
    const double inf = std::numeric_limits<double>::infinity();
    for (const AnalysisModel& model : studyModels(0x5eed, 4)) {
        if (model.springs.size() < 3)
            continue;
        const SpringElement& s0 = model.springs[0];
        const double rate = model.findCharacteristic(s0.characteristicId)->stiffness[0];
        if (!(rate > 0.0))
            continue;
        Optimizer o;
        // Kxx from below 0 to twice the model's, through the model's own value.
        const int k = o.addParameter("Kxx", 2 * rate, -rate, rate);
        const int x = o.addParameter("x", s0.position[0] + 0.1, s0.position[0] - 0.1, 0.1);
        const int z = o.addParameter("z", model.springs[2].position[2] + 0.05,
                                     model.springs[2].position[2], 0.05);
        o.setBinding(s0.characteristicId, 1, k, 1.0);
        o.setBinding(s0.id, 1, x, 1.0);
        o.setBinding(model.springs[1].id, 1, x, -1.0);
        o.setBinding(model.springs[2].id, 3, z, 1.0);
        AnalysisModel calculated(model);
        runCalculation(calculated, CalculationConditions{});
        const double low = calculated.eigenFrequencies[5], high = calculated.eigenFrequencies[0];
        for (int which = 0; which < 4; ++which) {
            for (double ulps : {-1.0, 0.0, 1.0}) {
                auto near = [&](double f) {
                    return ulps == 0.0 ? f : std::nextafter(f, ulps * inf);
                };
                OptimizationConditions& c = o.conditions;
                c = OptimizationConditions{};
                c.minFrequencyEnabled = which != 1;
                c.maxFrequencyEnabled = which != 0;
                c.minFrequency = near(low);
                c.maxFrequency = which == 3 ? near(calculated.eigenFrequencies[2]) : near(high);
                // A share below 0 is a limit on every frequency; a share of 30 % needs
                // the shapes.
                c.modeConditionEnabled[1] = which >= 2;
                c.modeContributionPct[1] = which == 2 ? -1.0 : 30.0;
                c.modeMaxFrequency[1] = near(calculated.eigenFrequencies[3]);
                const RunInput input(model, o);
                ASSERT_TRUE(input.countsWithoutModels());
                // Every combination, in batches of 23 (the first one's 17 physical
                // rates counted 16 lanes and 1 at a time) and what is left over.
                std::vector<double> values;
                for (double kv : {-rate, 0.0, rate, 2 * rate})
                    for (double xv : {s0.position[0] - 0.1, s0.position[0], s0.position[0] + 0.1})
                        for (double zv :
                             {model.springs[2].position[2], model.springs[2].position[2] + 0.05})
                            values.insert(values.end(), {kv, xv, zv});
                const std::size_t combinations = values.size() / 3;
                RunInput::Workspace work(o.parameters);
                for (std::size_t first = 0; first < combinations; first += 23) {
                    const std::size_t count = std::min<std::size_t>(23, combinations - first);
                    bool verdicts[23];
                    input.evaluateBatch(values.data() + 3 * first, count, work, verdicts);
                    for (std::size_t i = 0; i < count; ++i) {
                        const double* v = values.data() + 3 * (first + i);
                        for (int p = 0; p < 3; ++p)
                            o.parameters[static_cast<std::size_t>(p)].currentValue = v[p];
                        // The run's path a variant at a time: its model written,
                        // the screen's count from it, the calculation.
                        std::vector<int> expected;
                        AnalysisModel alone;
                        const bool verdict = input.evaluate(o.parameters, alone, &expected);
                        ASSERT_EQ(work.failed(i), expected)
                            << "Kxx " << v[0] << " x " << v[1] << " z " << v[2] << " case " << which
                            << " " << ulps;
                        ASSERT_EQ(verdicts[i], verdict);
                        if (verdict) {
                            EXPECT_EQ(work.variant(i).eigenFrequencies, alone.eigenFrequencies);
                            EXPECT_EQ(work.variant(i).staticResults, alone.staticResults);
                        }
                        // Where the calculation tells, the full calculation agrees.
                        if (v[0] > 0.0) {
                            EXPECT_EQ(expected, fullVerdict(model, o));
                        }
                        ++variants;
                        accepted += verdicts[i];
                        // Rejected without a model: the variant's storage is not this one.
                        countedOut += !verdicts[i] && v[0] >= 0.0 &&
                                      (work.variant(i).springs.empty() ||
                                       work.variant(i).springs[0].position[0] != v[1]);
                    }
                }
            }
        }
    }
    // Both verdicts occur, and the counts reject many variants themselves.
    EXPECT_GT(accepted, variants / 20);
    EXPECT_GT(countedOut, variants / 10);
}

TEST(VariantScreen, EstimatedModesGiveTheFullVerdicts) {
    // The mean coupling degree with the lowest frequency and the spring ratio, a
    // mode's share alone and with a displacement, limited at the model's own values (an ulp either
    // side, within the estimates' error, clear of it), so that variants lie on them, bound rates
    // turned 0 and negative among them; batches against the variant-at-a-time path, whose modes are
    // always the calculation's. Estimated side by side without models, or (a spring turned by a
    // binding) from each model's own system.
    int variants = 0, estimated = 0, mapped = 0;
    const double inf = std::numeric_limits<double>::infinity();
    for (const AnalysisModel& model : studyModels(0xc0de, 3)) {
        if (model.springs.size() < 2)
            continue;
        const SpringElement& s0 = model.springs[0];
        const double rate = model.findCharacteristic(s0.characteristicId)->stiffness[0];
        if (!(rate > 0.0))
            continue;
        for (const bool turned : {false, true}) {
            Optimizer o;
            const int k = o.addParameter("Kxx", 2 * rate, 0.5 * rate, 0.5 * rate);
            const int x = o.addParameter("x", s0.position[0] + 0.1, s0.position[0] - 0.1, 0.1);
            const double angle = model.springs[1].angles[2];
            const int turn = o.addParameter("angle", angle, angle, 0.0);
            o.setBinding(s0.characteristicId, 1, k, 1.0);
            o.setBinding(s0.id, 1, x, 1.0);
            if (turned)
                o.setBinding(model.springs[1].id, 6, turn, 1.0);
            o.parameters[0].currentValue = rate;
            o.parameters[1].currentValue = s0.position[0];
            o.parameters[2].currentValue = angle;
            const AnalysisModel calculated = calculatedVariant(model, o);
            const double degree = meanCouplingDegree(calculated);
            // z's share of mode 3; every mode lies above half the lowest frequency.
            const double share = contributionRatio(calculated.modeShapes, 3, 2);
            std::vector<double> values;
            for (double kv : {-rate, 0.0, rate, 2 * rate})
                for (double xv : {s0.position[0] - 0.1, s0.position[0], s0.position[0] + 0.1})
                    values.insert(values.end(), {kv, xv, angle});
            for (const double offset : {0.0, -1.0, 1.0, -1e-13, 1e-13, -1e-3, 1e-3}) {
                auto near = [&](double v) {
                    return std::fabs(offset) == 1.0 ? std::nextafter(v, offset * inf)
                                                    : v * (1.0 + offset);
                };
                for (int which = 0; which < 3; ++which) {
                    OptimizationConditions& c = o.conditions;
                    c = OptimizationConditions{};
                    c.meanCouplingEnabled = which == 0;
                    c.meanCouplingMax = near(degree);
                    c.minFrequencyEnabled = which == 0;
                    c.minFrequency = near(calculated.eigenFrequencies[5]);
                    // Ratios of 0.2 to 4.2: some bound rates fail it.
                    c.springRatioEnabled = which == 0;
                    c.springRatio = 0.2;
                    c.springRatioTolerancePct = 2000.0;
                    c.modeConditionEnabled[2] = which >= 1;
                    c.modeContributionPct[2] = near(share);
                    c.modeMaxFrequency[2] = 0.5 * calculated.eigenFrequencies[5];
                    // The share with the body's displacement under its first static
                    // load (a model without one tests nothing): the estimates wait
                    // for each model's static results.
                    if (which == 2) {
                        DisplacementCondition d;
                        d.objectId = 1;
                        d.loadId = model.staticLoads.empty() ? 0 : model.staticLoads[0].id;
                        d.limit = model.staticLoads.empty()
                                      ? 1.0
                                      : near(absoluteDisplacement(
                                            Matrix::vector({calculated.staticResults(0, 0),
                                                            calculated.staticResults(0, 1),
                                                            calculated.staticResults(0, 2)})));
                        d.directionFlags = {0, 0, 0, 0, 0, 0, 1};
                        c.addDisplacementCondition(d);
                    }
                    const RunInput input(model, o);
                    ASSERT_EQ(input.countsWithoutModels(), !turned);
                    RunInput::Workspace work(o.parameters);
                    const std::size_t combinations = values.size() / 3;
                    bool verdicts[16];
                    input.evaluateBatch(values.data(), combinations, work, verdicts);
                    for (std::size_t i = 0; i < combinations; ++i) {
                        for (std::size_t p = 0; p < 3; ++p)
                            o.parameters[p].currentValue = values[3 * i + p];
                        std::vector<int> expected;
                        AnalysisModel alone;
                        const bool verdict = input.evaluate(o.parameters, alone, &expected);
                        ASSERT_EQ(work.failed(i), expected)
                            << "Kxx " << values[3 * i] << " x " << values[3 * i + 1] << " "
                            << offset << " turned " << turned;
                        ASSERT_EQ(verdicts[i], verdict);
                        if (verdict) {
                            EXPECT_EQ(work.variant(i).modeShapes, alone.modeShapes);
                        }
                        ++variants;
                        // A variant rejected on its estimate never had its modes stored.
                        const bool modes = work.variant(i).eigenFrequencies[0] != 0.0;
                        estimated += !verdict && !modes;
                        mapped += !verdict && modes;
                    }
                }
            }
        }
    }
    // Most rejections are decided on the estimates; those on the limits are not.
    EXPECT_GT(estimated, variants / 4);
    EXPECT_GT(mapped, 0);
}
