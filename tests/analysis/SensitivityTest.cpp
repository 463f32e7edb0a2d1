#include "support/TestSupport.h"

#include "support/FrequencyTables.h"

#include "analysis/KineticEnergy.h"
#include "analysis/OwnFrequencyModes.h"
#include "analysis/Robustness.h"
#include "analysis/Sensitivity.h"
#include "analysis/StaticAnalysis.h"
#include "document/ModelFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace quav {
namespace {

using testing::Lcg;
using testing::v3;

/// Exact derivatives against central differences of the engine's own results.
constexpr double kAgreement = 1e-6;

/// The engine's outputs in the sensitivities' columns: frequencies, KED of the nominal
/// dominant DOF, static displacements (modes at their own frequencies).
std::vector<double> engineOutputs(const AnalysisModel& m, const std::array<int, 6>& dominant) {
    const ModalSolution modes = solveModesAtOwnFrequencies(m).modes;
    const EnergyDistribution ked = kineticEnergyDistribution(m, modes, EnergyFrame::Global);
    std::vector<double> y;
    for (const ModeEnergy& mode : ked.modes)
        y.push_back(mode.frequency);
    for (int q = 0; q < 6; ++q)
        y.push_back(ked.modes[q].energy[dominant[q]]);
    const Matrix statics = staticAnalysis(m);
    for (int i = 0; i < statics.rows(); ++i)
        for (int j = 0; j < 6; ++j)
            y.push_back(statics(i, j));
    return y;
}

void shift(AnalysisModel& m, const SensitivityParameter& p, double delta) {
    if (p.kind == ParameterKind::Rate) {
        m.findCharacteristic(p.object)->stiffness[p.component] += delta;
        return;
    }
    for (SpringElement& s : m.springs)
        if (s.id == p.object)
            (p.kind == ParameterKind::Position ? s.position[p.component]
                                               : s.angles[1 + p.component]) += delta;
}

/// A random layout with a force away from the CoG, a moment and a shared characteristic.
AnalysisModel randomLoadedModel(Lcg& rng, int springs) {
    AnalysisModel m = testing::randomMountModel(rng, springs);
    m.springs[0].characteristicId = m.springs[1].characteristicId;
    m.addStaticLoad("force", 2000.0,
                    m.centreOfGravity + v3(0.3 * rng.next(), 0.3 * rng.next(), 0.3 * rng.next()),
                    v3(0.3, -0.2, -0.93), Translational);
    m.addStaticLoad("moment", 300.0, m.centreOfGravity, v3(0.6, 0.0, 0.8), Moment);
    return m;
}

double smallestGap(const ModalSolution& modes) {
    double gap = 1.0;
    for (int j = 1; j < 6; ++j)
        gap = std::min(gap, (modes.frequencies[j - 1] - modes.frequencies[j]) /
                                modes.frequencies[j - 1]);
    return gap;
}

/// Every derivative of `s` against central differences of the engine (steps `step` x usual).
void expectCentralDifferences(const AnalysisModel& model, const Sensitivities& s,
                              const std::string& name, double step = 1.0) {
    const std::vector<SensitivityParameter>& params = s.parameters;
    const std::vector<double> nominal = engineOutputs(model, s.dominant);
    ASSERT_EQ(s.values, nominal) << "the values are the engine's own, to the bit";

    // Near 0 a derivative is measured against the output's scale over the parameter's.
    std::vector<double> outputScale(nominal.size());
    for (std::size_t o = 0; o < nominal.size(); ++o) {
        outputScale[o] = o < 6 ? nominal[o] : 100.0;
        if (o >= 12) {
            const std::size_t first = o - (o - 12) % 3;
            outputScale[o] = std::max({std::fabs(nominal[first]), std::fabs(nominal[first + 1]),
                                       std::fabs(nominal[first + 2])});
        }
    }
    for (std::size_t p = 0; p < params.size(); ++p) {
        const SensitivityParameter& param = params[p];
        const double scale = param.kind == ParameterKind::Rate       ? param.value
                             : param.kind == ParameterKind::Position ? 0.1
                                                                     : 10.0;
        const double h = step * (param.kind == ParameterKind::Rate       ? 1e-3 * param.value
                                 : param.kind == ParameterKind::Position ? 1e-3
                                                                         : 0.05);
        // Central differences at h and 2h, Richardson-extrapolated (error ~ h^4).
        auto centralDifference = [&](double step) {
            AnalysisModel up = model, down = model;
            shift(up, param, step);
            shift(down, param, -step);
            const std::vector<double> yUp = engineOutputs(up, s.dominant);
            const std::vector<double> yDown = engineOutputs(down, s.dominant);
            std::vector<double> d(yUp.size());
            for (std::size_t o = 0; o < d.size(); ++o)
                d[o] = (yUp[o] - yDown[o]) / (2 * step);
            return d;
        };
        const std::vector<double> near = centralDifference(h), far = centralDifference(2 * h);
        // Where the outputs curve strongly, differences at a quarter of the step decide.
        std::vector<double> finer;
        for (int o = 0; o < s.outputs; ++o) {
            const double exact = s.derivativeOf(p, o);
            const double floor = 1e-4 * outputScale[o] / scale;
            const double tolerance = kAgreement * std::max(std::fabs(exact), floor);
            double difference = (4 * near[o] - far[o]) / 3;
            if (std::fabs(exact - difference) > tolerance) {
                if (finer.empty()) {
                    const std::vector<double> a = centralDifference(h / 4),
                                              b = centralDifference(h / 2);
                    for (std::size_t k = 0; k < a.size(); ++k)
                        finer.push_back((4 * a[k] - b[k]) / 3);
                }
                difference = finer[static_cast<std::size_t>(o)];
            }
            EXPECT_NEAR(exact, difference, tolerance)
                << name << " parameter " << p << " output " << o;
            if (param.kind == ParameterKind::Rate && o < 6) {
                EXPECT_GE(exact, 0.0) << "a stiffer mount never lowers a frequency";
            }
            const double e = s.elasticityOf(p, o);
            if (nominal[o] != 0.0 && param.value != 0.0)
                EXPECT_DOUBLE_EQ(e, param.value / nominal[o] * exact);
            else
                EXPECT_TRUE(std::isnan(e));
        }
    }
}

TEST(Sensitivity, AgreesWithCentralDifferencesOfTheEngineOnRandomModels) {
    Lcg rng{2024};
    int models = 0;
    for (int trial = 0; trial < 12; ++trial) {
        const AnalysisModel model = randomLoadedModel(rng, 3 + trial % 4);
        ASSERT_EQ(analysisRefusal(model), "");
        const ModalSolution modes = solveModes(model);
        if (smallestGap(modes) < 1e-3)
            continue; // differences would see the curvature of nearly crossing modes
        ++models;
        const Sensitivities s = sensitivities(model, modes, sensitivityParameters(model, {}));
        ASSERT_EQ(s.outputs, 24);
        ASSERT_TRUE(s.notes.empty()) << s.notes[0];
        expectCentralDifferences(model, s, "model " + std::to_string(trial));
    }
    EXPECT_GE(models, 10);
}

/// Rows from 1 to 200 Hz whose ratios rise ever faster in ln f, their losses too.
FrequencyTable curvedTable() {
    FrequencyTable table;
    for (int i = 0; i < 12; ++i) {
        const double s = i / 11.0;
        table.push_back({std::exp(s * std::log(200.0)),
                         {1.1 + 0.9 * s * s, 1.05 + 0.6 * s * s, 1.0 + 1.2 * s * s * s},
                         {0.05, 0.04 + 0.1 * s, 0.04}});
    }
    return table;
}

TEST(Sensitivity, ModesAtTheirOwnFrequencyAreDifferentiatedThroughTheFixedPoint) {
    // Tables on some characteristics: against differences of the own-frequency calculation.
    Lcg rng{31};
    int models = 0;
    for (int trial = 0; trial < 6; ++trial) {
        AnalysisModel model = randomLoadedModel(rng, 4 + trial % 3);
        for (std::size_t c = 0; c < model.springCharacteristics.size(); c += 2)
            model.springCharacteristics[c].frequencyTable = curvedTable();
        ASSERT_EQ(analysisRefusal(model), "");
        const OwnFrequencyModes own = solveModesAtOwnFrequencies(model);
        ASSERT_TRUE(own.converged());
        if (smallestGap(own.modes) < 1e-3)
            continue;
        ++models;
        const Sensitivities s = sensitivities(model, own.modes, sensitivityParameters(model, {}));
        ASSERT_TRUE(s.notes.empty()) << s.notes[0];
        // Rates that change with the frequency bend the outputs more: smaller steps.
        expectCentralDifferences(model, s, "tabled model " + std::to_string(trial), 0.5);
    }
    EXPECT_GE(models, 4);

    // A flat table is the dynamic factor: today's numbers.
    const AnalysisModel plain = randomLoadedModel(rng, 5);
    AnalysisModel flat = plain;
    for (SpringCharacteristic& c : flat.springCharacteristics)
        c.frequencyTable = testing::flatTable(c.dynamicFactor);
    const auto params = sensitivityParameters(plain, {});
    const Sensitivities a = sensitivities(plain, solveModes(plain), params);
    const Sensitivities b = sensitivities(flat, solveModesAtOwnFrequencies(flat).modes, params);
    for (std::size_t p = 0; p < params.size(); ++p) {
        double scale = 0.0; // of the row's modal entries
        for (int o = 0; o < kStaticColumn; ++o)
            scale = std::max(scale, std::fabs(a.derivativeOf(p, o)));
        for (int o = 0; o < a.outputs; ++o)
            EXPECT_NEAR(b.derivativeOf(p, o), a.derivativeOf(p, o),
                        1e-9 * (o < kStaticColumn ? scale : std::fabs(a.derivativeOf(p, o))))
                << "parameter " << p << " output " << o;
    }
}

/// A square of equal isotropic springs in the CoG's plane: three equal translations.
TEST(Sensitivity, RepeatedAndVanishingFrequenciesHaveNoNumbers) {
    const AnalysisModel square = testing::fourMountModel(0.3, 0.3, 0.0, v3(2e5, 2e5, 2e5));
    const Sensitivities s =
        sensitivities(square, solveModes(square), sensitivityParameters(square, {}));
    int repeated = 0;
    for (int q = 0; q < 6; ++q) {
        const bool translation = s.dominant[q] < 3;
        EXPECT_EQ(s.modes[q], translation ? ModeSensitivity::Repeated : ModeSensitivity::Defined)
            << "mode " << q + 1;
        repeated += translation;
        for (std::size_t p = 0; p < s.parameters.size(); ++p) {
            for (int column : {kFrequencyColumn + q, kDecouplingColumn + q}) {
                EXPECT_EQ(std::isnan(s.derivativeOf(p, column)), translation);
                EXPECT_EQ(std::isnan(s.elasticityOf(p, column)),
                          translation || s.parameters[p].value == 0.0);
            }
        }
    }
    EXPECT_EQ(repeated, 3);
    ASSERT_EQ(s.notes.size(), 3u) << "one line per pair of the three";
    EXPECT_NE(s.notes[0].find("固有振動数が一致します"), std::string::npos) << s.notes[0];

    // No z rate, springs at two heights: z is free (no frequency slope, no static answer).
    AnalysisModel free = testing::fourMountModel(0.3, 0.2, 0.1, v3(2e5, 1e5, 0.0));
    free.springs[0].position[2] += 0.2;
    free.springs[1].position[2] += 0.2;
    free.addStaticLoad("weight", 1000.0, free.centreOfGravity, v3(0, 0, -1), Translational);
    const Sensitivities f = sensitivities(free, solveModes(free), sensitivityParameters(free, {}));
    int atRest = 0;
    for (int q = 0; q < 6; ++q) {
        if (f.modes[q] != ModeSensitivity::AtRest)
            continue;
        ++atRest;
        for (std::size_t p = 0; p < f.parameters.size(); ++p) {
            EXPECT_TRUE(std::isnan(f.derivativeOf(p, kFrequencyColumn + q)));
            EXPECT_TRUE(std::isfinite(f.derivativeOf(p, kDecouplingColumn + q)));
            for (int j = 0; j < 6; ++j)
                EXPECT_TRUE(std::isnan(f.derivativeOf(p, kStaticColumn + j)));
        }
    }
    EXPECT_EQ(atRest, 1);

    ASSERT_EQ(f.notes.size(), 2u);
    EXPECT_NE(f.notes[0].find("固有振動数が0です"), std::string::npos) << f.notes[0];
    EXPECT_NE(f.notes[1].find("静荷重 weight"), std::string::npos) << f.notes[1];
}

TEST(Sensitivity, ParametersFollowTheModelAndTheChoice) {
    const AnalysisModel m = testing::fourMountModel(0.3, 0.2, 0.1, v3(2e5, 1e5, 1e5));
    const int c = m.springCharacteristics[0].id;
    const int first = m.springs[0].id, last = m.springs[3].id;
    auto describe = [](const std::vector<SensitivityParameter>& ps) {
        std::string out;
        for (const auto& p : ps)
            out += "RPA"[static_cast<int>(p.kind)] + std::to_string(p.object) +
                   std::to_string(p.component) + " ";
        return out;
    };
    const struct {
        ParameterChoice choice;
        std::size_t count;
        std::string start;
    } cases[] = {
        {{}, 3 + 4 * 5, "R60 R61 R62 P20 P21 P22 A20 A21 P30 "},
        {{false, true, false, {}, {}}, 12, "P20 P21 P22 P30 "},
        {{true, true, true, {last, first, last}, {}}, 10, "P20 P21 P22 A20 A21 P50 "},
        {{true, false, true, {}, {c}}, 3, "R60 R61 R62 "},
        {{true, false, false, {first}, {}}, 0, ""},
        {{true, true, false, {first}, {c}}, 6, "R60 R61 R62 P20 P21 P22 "},
    };
    ASSERT_EQ(c, 6);
    ASSERT_EQ(first, 2);
    for (const auto& t : cases) {
        const auto ps = sensitivityParameters(m, t.choice);
        EXPECT_EQ(ps.size(), t.count);
        EXPECT_EQ(describe(ps).substr(0, t.start.size()), t.start);
    }
    const auto ps = sensitivityParameters(m, {});
    EXPECT_EQ(ps[1].value, 1e5);
    EXPECT_EQ(ps[3 + 5 + 2].value, m.springs[1].position[2]);
    EXPECT_EQ(ps[3 + 3].value, m.springs[0].angles[1]);
}

TEST(Sensitivity, FirstOrderSpreadMatchesTheSampledSpreadOfTheExample) {
    const StudyRead example = loadModelFile(QUAV_EXAMPLES "/power_unit.quav");
    ASSERT_TRUE(example.ok()) << example.error;
    const AnalysisModel& model = *example.model;
    const ModalSolution modes = solveModes(model);
    // Per spring and per characteristic (its springs in lockstep).
    for (const RateVariation vary : {RateVariation::PerSpring, RateVariation::PerCharacteristic}) {
        for (const double position : {0.0, 0.001}) {
            RobustnessSettings settings;
            settings.tolerancePct = 1.0;
            settings.positionTolerance = position;
            settings.samples = 20000;
            settings.vary = vary;
            RunControl control;
            const RobustnessResult sampled = robustness(model, settings, {}, control);
            const std::array<double, 6> spread = frequencySpread(model, modes, 1.0, position, vary);
            for (int q = 0; q < 6; ++q) {
                const double std = sampled.modes[q].frequency.std;
                EXPECT_NEAR(spread[q], std, 0.1 * std)
                    << "mode " << q + 1 << " position " << position;
            }
        }
    }
}

TEST(Sensitivity, ProgressCountsTheWorkOfALargeModel) {
    Lcg rng{7};
    AnalysisModel m = testing::randomMountModel(rng, 2000);
    m.addStaticLoad("weight", 1000.0, m.centreOfGravity, v3(0, 0, -1), Translational);
    std::atomic<std::int64_t> done{0};
    sensitivities(m, solveModes(m), sensitivityParameters(m, {}), &done);
    EXPECT_EQ(done.load(), sensitivityWork(m));
    // With tables each mode's own system is a pass over the springs.
    m.springs.resize(50);
    m.springCharacteristics[0].frequencyTable = testing::rubberTable();
    done = 0;
    sensitivities(m, solveModesAtOwnFrequencies(m).modes, sensitivityParameters(m, {}), &done);
    EXPECT_EQ(done.load(), sensitivityWork(m));
}

} // namespace
} // namespace quav
