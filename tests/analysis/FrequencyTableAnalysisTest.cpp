// Properties of the analyses with frequency tables on the characteristics.
#include "analysis/CalculationDriver.h"
#include "analysis/Constants.h"
#include "analysis/DynamicAnalysis.h"
#include "analysis/MountForces.h"
#include "analysis/OwnFrequencyModes.h"
#include "analysis/Robustness.h"
#include "analysis/SystemAssembly.h"
#include "document/ModelFile.h"
#include "support/FrequencyTables.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

namespace quav {
namespace {

using testing::flatTable;
using testing::Lcg;
using testing::rubberTable;
using testing::v3;
using testing::withTables;

/// Results against the same model's with flat tables, relative to their row or mode vector.
constexpr double kFlat = 1e-12;
/// A fixed point and its eigenvector, relative.
constexpr double kFixedPoint = 1e-10;

AnalysisModel example() {
    StudyRead r = loadModelFile(QUAV_TEST_DATA "/../../examples/power_unit.quav");
    EXPECT_TRUE(r.ok()) << r.error;
    return *r.model;
}

/// The largest relative difference seen by a test, for its report.
struct Largest {
    double value = 0.0;
    void relative(double a, double b, double scale) {
        value = std::max(value, std::fabs(a - b) / scale);
    }
};

/// Rows of amplitudes (0-5) and phases (6-11) as complex numbers, against the row's largest.
void compareResponses(const Matrix& a, const Matrix& b, Largest& largest) {
    ASSERT_EQ(a.rows(), b.rows());
    for (int r = 0; r < a.rows(); ++r) {
        double scale = 0.0;
        for (int j = 0; j < 6; ++j)
            scale = std::max(scale, a(r, j));
        for (int j = 0; j < 6; ++j) {
            const auto x = std::polar(a(r, j), a(r, j + 6)), y = std::polar(b(r, j), b(r, j + 6));
            largest.relative(x.real(), y.real(), scale);
            largest.relative(x.imag(), y.imag(), scale);
        }
    }
}

/// Each calculated result of `today` against the same model's with flat tables.
double flatDifference(AnalysisModel today) {
    AnalysisModel flat = today;
    for (SpringCharacteristic& c : flat.springCharacteristics)
        c.frequencyTable = flatTable(c.dynamicFactor);
    EXPECT_EQ(calculate(today, CalculationConditions{}).status, 0);
    EXPECT_EQ(calculate(flat, CalculationConditions{}).status, 0);
    Largest d;
    for (int i = 0; i < 6; ++i) {
        d.relative(today.eigenFrequencies[i], flat.eigenFrequencies[i], today.eigenFrequencies[i]);
        for (int k = 0; k < 6; ++k)
            d.relative(today.modeShapes(k, i), flat.modeShapes(k, i), 1.0);
    }
    compareResponses(today.dynamicResults, flat.dynamicResults, d);
    for (std::size_t s = 0; s < today.frequencyStepResults.size(); ++s)
        compareResponses(today.frequencyStepResults[s], flat.frequencyStepResults[s], d);
    // Each spring's force as a row of 3 amplitudes and 3 phases, like a response.
    const MountForces a = mountForces(today), b = mountForces(flat);
    for (std::size_t l = 0; l < a.dynamicLoads.size(); ++l) {
        const auto& x = a.dynamicLoads[l].springs;
        const auto& y = b.dynamicLoads[l].springs;
        for (std::size_t s = 0; s < x.size(); ++s) {
            Matrix p(1, 12), q(1, 12);
            for (int k = 0; k < 3; ++k) {
                p[k] = x[s].amplitude[k], p[k + 6] = x[s].phase[k];
                q[k] = y[s].amplitude[k], q[k + 6] = y[s].phase[k];
            }
            compareResponses(p, q, d);
        }
    }
    for (std::size_t l = 0; l < today.dynamicLoads.size(); ++l) {
        if (!hasForceTransmissibility(today.dynamicLoads[l]))
            continue;
        const auto ta = transmissibility(today, static_cast<int>(l));
        const auto tb = transmissibility(flat, static_cast<int>(l));
        for (std::size_t s = 0; s < ta.size(); ++s)
            d.relative(ta[s].transmissibility, tb[s].transmissibility, ta[s].transmissibility);
    }
    return d.value;
}

TEST(FrequencyTables, FlatTablesGiveTodaysResults) {
    Largest largest;
    AnalysisModel m = example();
    largest.value = flatDifference(m);
    Lcg rng{29};
    for (int trial = 0; trial < 10; ++trial) {
        AnalysisModel r = testing::randomMountModel(rng, 3 + trial % 4);
        for (SpringCharacteristic& c : r.springCharacteristics)
            c.damping = v3(300, 200, 250);
        r.addDynamicLoad("d", 100.0, v3(rng.next(), rng.next(), rng.next()), v3(0.3, -0.5, 0.8),
                         Translational, 30.0);
        r.addDynamicLoad("t", 50.0, r.centreOfGravity, v3(1, 0, 0), Moment, 12.0);
        r.setFrequencyRange(100.0, 0.0, 0.25);
        largest.value = std::max(largest.value, flatDifference(r));
    }
    std::printf("largest relative difference of flat tables to today's results: %.3g\n",
                largest.value);
    EXPECT_LE(largest.value, kFlat);
}

/// The model with every table's rates at `frequency` as plain rates.
AnalysisModel ratesAt(const AnalysisModel& m, double frequency) {
    AnalysisModel at = m;
    for (SpringCharacteristic& c : at.springCharacteristics) {
        if (c.frequencyTable.empty())
            continue;
        const TableValues v = tableValuesAt(c.frequencyTable, frequency);
        for (int d = 0; d < 3; ++d)
            c.stiffness[d] *= v.ratio[static_cast<std::size_t>(d)];
        c.dynamicFactor = 1.0;
        c.frequencyTable.clear();
    }
    return at;
}

TEST(FrequencyTables, EachModeIsAtItsOwnFrequency) {
    AnalysisModel m = withTables(example(), rubberTable());
    m.springCharacteristics[1].frequencyTable = rubberTable(7); // another table on the rear
    const PrincipalAxes principal = principalInertiaAxes(m.inertia);
    const OwnFrequencyModes own = solveModesAtOwnFrequencies(m, principal);
    ASSERT_TRUE(own.converged());
    const ModalSolution today = solveModes(m);
    for (int k = 1; k <= 6; ++k) {
        const int j = 6 - k;
        const double f = own.modes.frequencies[j];
        const AnalysisModel system = ratesAt(m, f);
        const ModalSolution at = solveModes(system, principal);
        EXPECT_NEAR(at.frequencies[j], f, kFixedPoint * f) << "mode " << k;
        // The shape is the k-th eigenvector of the system at f: K phi = lambda M phi.
        const double lambda = std::pow(f / kHertzPerRadian, 2);
        Matrix phi(6, 1);
        for (int i = 0; i < 6; ++i)
            phi[i] = own.modes.modeShapes(i, j);
        const Matrix mphi = testing::massMatrix(system) * phi;
        const Matrix residual =
            systemStiffness(system, system.centreOfGravity, Matrix::identity(3), true) * phi -
            mphi * lambda;
        EXPECT_LE(residual.norm(), kFixedPoint * lambda * mphi.norm()) << "mode " << k;
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR(own.modes.modeShapes(i, j), at.modeShapes(i, j), kFixedPoint);
        // The tables stiffen the mounts beyond their dynamic factors here.
        EXPECT_NE(f, today.frequencies[j]);
        EXPECT_GE(own.iterations[static_cast<std::size_t>(k - 1)], 2);
    }
    int sum = 1;
    for (int n : own.iterations)
        sum += n;
    EXPECT_EQ(own.eigenSolutions, sum);

    // Without tables: the eigen solution as it always was, bit for bit.
    const AnalysisModel plain = example();
    const OwnFrequencyModes none = solveModesAtOwnFrequencies(plain, principal);
    const ModalSolution direct = solveModes(plain, principal);
    EXPECT_EQ(none.eigenSolutions, 1);
    EXPECT_EQ(none.iterations, (std::array<int, 6>{}));
    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(none.modes.modeShapes[i], direct.modeShapes[i]);
}

TEST(FrequencyTables, ASteepTableStillReachesEachFixedPoint) {
    // Rates x50 to 30 Hz, x0.5 from 31 Hz: every mode lies on the drop.
    AnalysisModel m = withTables(example(), {{4, {1, 1, 1}, {0, 0, 0}},
                                             {6, {50, 50, 50}, {0, 0, 0}},
                                             {30, {50, 50, 50}, {0, 0, 0}},
                                             {31, {0.5, 0.5, 0.5}, {0, 0, 0}}});
    const PrincipalAxes principal = principalInertiaAxes(m.inertia);
    const OwnFrequencyModes own = solveModesAtOwnFrequencies(m, principal);
    ASSERT_TRUE(own.converged());
    for (int j = 0; j < 6; ++j) {
        const double f = own.modes.frequencies[j];
        EXPECT_GT(f, 30.0);
        EXPECT_LT(f, 31.0);
        EXPECT_NEAR(solveModesAtFrequency(m, principal, f).frequencies[j], f, kFixedPoint * f);
    }
}

TEST(FrequencyTables, TheCalculationAndRobustnessTakeTheOwnFrequencyModesAndABadTableIsRefused) {
    AnalysisModel m = withTables(example(), rubberTable());
    ASSERT_EQ(calculate(m, CalculationConditions{}).status, 0);
    const OwnFrequencyModes own = solveModesAtOwnFrequencies(m);
    EXPECT_EQ(m.modeIterations, own.iterations);
    // Every mode lies between the table's ends; robustness without tolerance gives them back.
    const PrincipalAxes principal = principalInertiaAxes(m.inertia);
    const ModalSolution first = solveModesAtFrequency(m, principal, rubberTable().front().f);
    const ModalSolution last = solveModesAtFrequency(m, principal, rubberTable().back().f);
    RobustnessSettings settings;
    settings.tolerancePct = 0.0;
    settings.samples = 3;
    settings.threads = 1;
    RunControl control;
    const RobustnessResult r = robustness(m, settings, FrequencyWindow{}, control);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(m.eigenFrequencies[i], own.modes.frequencies[i]);
        EXPECT_GT(own.modes.frequencies[i], first.frequencies[i]) << i;
        EXPECT_LT(own.modes.frequencies[i], last.frequencies[i]) << i;
        const Spread& spread = r.modes[static_cast<std::size_t>(5 - i)].frequency;
        EXPECT_EQ(std::tuple(spread.nominal, spread.max),
                  std::tuple(own.modes.frequencies[i], own.modes.frequencies[i]));
    }

    // A model the calculation must refuse: a table that breaks its rules.
    m.springCharacteristics[1].frequencyTable[2].f = 0.5;
    const CalculationOutcome refused = calculate(m, CalculationConditions{});
    EXPECT_EQ(refused.error, CalculationError::InvalidModel);
    EXPECT_NE(describeCalculationFailure(refused).find(
                  "ばね特性 rear mount(id 7): 周波数特性 行 3、列 f: 周波数は前の行より"),
              std::string::npos)
        << describeCalculationFailure(refused);
}

/// Four symmetric mounts pushed vertically at the CoG: one mass on the rate 4 k_z.
AnalysisModel verticalModel() {
    AnalysisModel m = testing::fourMountModel(0.3, 0.2, 0.0, v3(3e5, 1e5, 2e5));
    m.addDynamicLoad("push", 100.0, m.centreOfGravity, v3(0, 0, 1), Translational, 10.0);
    m.setFrequencyRange(60.0, 1.0, 0.125);
    return m;
}

TEST(FrequencyTables, OneMassInOneDirectionMatchesTheComplexRate) {
    AnalysisModel m = withTables(verticalModel(), rubberTable());
    ASSERT_EQ(calculate(m, CalculationConditions{}).status, 0);
    const double kz = 2e5 * 4; // local z is global z for every mount
    double f = m.frequencyStart;
    for (const Matrix& step : m.frequencyStepResults) {
        const TableValues v = tableValuesAt(rubberTable(), f);
        const double w = f * kTwoPi;
        const std::complex<double> k(kz * v.ratio[2], kz * v.ratio[2] * v.loss[2]);
        const double expected = 100.0 / std::abs(k - m.mass * w * w);
        EXPECT_NEAR(step(0, 2), expected, testing::kTight * expected) << f;
        f += m.frequencyStep;
    }
}

TEST(FrequencyTables, OneFrequencyEqualsTheSweepAtIt) {
    AnalysisModel m = withTables(example(), rubberTable());
    ASSERT_EQ(calculate(m, CalculationConditions{}).status, 0);
    // 1 Hz by 0.5 Hz steps reaches 25 Hz (the first load's) and 12.5 Hz exactly.
    for (std::size_t l = 0; l < m.dynamicLoads.size(); ++l) {
        const double f = m.dynamicLoads[l].frequency;
        const auto step = static_cast<std::size_t>((f - m.frequencyStart) / m.frequencyStep);
        const Matrix& sweep = m.frequencyStepResults[step];
        const Matrix single = responseAtCommonFrequency(m, f);
        for (int j = 0; j < 12; ++j) {
            EXPECT_NEAR(m.dynamicResults(static_cast<int>(l), j), sweep(static_cast<int>(l), j),
                        testing::kTight * std::fabs(sweep(static_cast<int>(l), j)));
            EXPECT_NEAR(single(static_cast<int>(l), j), sweep(static_cast<int>(l), j),
                        testing::kTight * std::fabs(sweep(static_cast<int>(l), j)));
        }
    }
    // The dynamic mount forces take the same rates.
    const MountForces forces = mountForces(m);
    const MountForces at25 = mountForces(m, 25.0);
    EXPECT_EQ(forces.dynamicLoads[0].springs[0].amplitude,
              at25.dynamicLoads[0].springs[0].amplitude);
}

TEST(FrequencyTables, ModelsWithManyLoadsTakeTheSameRates) {
    // Beyond a few thousand loads the systems are assembled when asked for: same responses.
    const AnalysisModel few = withTables(example(), rubberTable());
    AnalysisModel many = few;
    for (int i = 0; i < 4200; ++i)
        many.dynamicLoads.push_back(few.dynamicLoads[static_cast<std::size_t>(i % 2)]);
    const Matrix a = HarmonicResponse(few).atCommonFrequency(30.0);
    const Matrix b = HarmonicResponse(many).atCommonFrequency(30.0);
    for (int row : {0, 1, 4200, 4201}) {
        for (int j = 0; j < 6; ++j)
            EXPECT_NEAR(b(row, j), a(row % 2, j), testing::kTight * a(row % 2, j)) << row;
    }
}

} // namespace
} // namespace quav
