#include "support/TestSupport.h"

#include "analysis/KineticEnergy.h"
#include "analysis/MountForces.h"
#include "analysis/Robustness.h"
#include "analysis/SystemAssembly.h"
#include "analysis/TorqueRollAxis.h"
#include "support/FailingAllocation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace quav {
namespace {

using testing::FailingAllocation;
using testing::v3;

constexpr double kPercent = 1e-9;  // sums and invariants of percentages
constexpr double kRelative = 1e-9; // closed forms, relative

/// Four mounts at (+-0.3, +-0.2, 0) from the CoG, distinct rates: six uncoupled modes.
AnalysisModel decoupledModel(const Matrix& damping = Matrix::column(3)) {
    return testing::fourMountModel(0.3, 0.2, 0.0, v3(3e5, 1e5, 2e5), 1.3, damping);
}

// The example's energies are golden (ked.txt, ked_principal.txt): here what it does not show.
TEST(KineticEnergy, OneFrameForADiagonalInertiaAndPureModesWhenDecoupled) {
    // V-mounts couple the modes; the inertia is diagonal.
    const AnalysisModel coupled = testing::fourMountModel(0.3, 0.2, -0.1, v3(3e5, 1e5, 1e5), 1.0,
                                                          Matrix::column(3), 30.0, 10.0);
    const ModalSolution modes = solveModes(coupled);
    const EnergyDistribution g = kineticEnergyDistribution(coupled, modes, EnergyFrame::Global);
    const EnergyDistribution p = kineticEnergyDistribution(coupled, modes, EnergyFrame::Principal);
    for (int j = 0; j < 6; ++j)
        for (int k = 0; k < 6; ++k)
            EXPECT_NEAR(g.modes[j].energy[k], p.modes[j].energy[k], kPercent);

    const AnalysisModel pure = decoupledModel();
    const EnergyDistribution d =
        kineticEnergyDistribution(pure, solveModes(pure), EnergyFrame::Global);
    bool seen[6] = {};
    for (const ModeEnergy& m : d.modes) {
        EXPECT_NEAR(m.decoupling, 100.0, kPercent) << "mode " << m.mode;
        seen[m.dominant] = true;
    }
    for (bool s : seen)
        EXPECT_TRUE(s) << "each DOF owns one mode";
}

// The example's roll axis is golden (tra.txt): here a principal axis, and lines' angles.
TEST(TorqueRollAxis, APrincipalAxisIsItsOwnRollAxisAndAnglesAreOfLines) {
    const AnalysisModel diagonal = decoupledModel();
    const TorqueRollAxis tra = torqueRollAxis(diagonal, solveModes(diagonal), {0, 0, -2});
    EXPECT_EQ(std::tuple(tra.axis, tra.tra, tra.traToAxisDeg),
              std::tuple(Direction{0, 0, -1}, Direction{0, 0, -1}, 0.0));
    int rolling = 0, withoutRotation = 0;
    for (const ModeRoll& m : tra.modes) {
        rolling += m.rollEnergy > 99.999999;
        withoutRotation += !m.angleDeg;
    }
    EXPECT_EQ(rolling, 1) << "one pure yaw mode carries all the roll energy";
    EXPECT_EQ(withoutRotation, 3) << "three translational modes have no rotation";
    // Angles are degrees of pi itself: roll and pitch lie at exactly 90 to the yaw axis.
    int rightAngles = 0;
    for (const ModeRoll& m : tra.modes)
        rightAngles += m.angleDeg && *m.angleDeg == 90.0;
    EXPECT_EQ(rightAngles, 2);
    // Lines, not directions: opposites at 0, obtuse as its supplement, any length, 1e-9 rad.
    const struct {
        Direction u, v;
        double degrees;
    } lines[] = {
        {{1, 1, 0}, {1, 0, 0}, 45.0},
        {{1, 0, 0}, {std::cos(0.5), std::sin(0.5), 0}, 0.5 * 180 / M_PI},
        {{-1, 1, 0}, {1, 0, 0}, 45.0},
        {{0, 0, -3}, {0, 0, 0.5}, 0.0},
        {{0, 2, 0}, {0, 0, 7}, 90.0},
        {{1, 0, 0}, {-std::cos(0.25), 0, -std::sin(0.25)}, 0.25 * 180 / M_PI},
        {{1, 0, 0}, {1, 1e-9, 0}, 1e-9 * 180 / M_PI},
        {{1, 0, 0}, {-1, 0, 1e-9}, 1e-9 * 180 / M_PI},
    };
    for (const auto& l : lines) {
        EXPECT_NEAR(lineAngleDeg(l.u, l.v), l.degrees, 1e-12 * std::max(1.0, l.degrees));
        EXPECT_EQ(lineAngleDeg(l.u, l.v), lineAngleDeg(l.v, l.u));
    }
}

TEST(TorqueRollAxis, DefaultDirectionIsTheFirstStaticThenDynamicMomentElseX) {
    AnalysisModel m = decoupledModel();
    EXPECT_EQ(defaultTorqueAxis(m), (Direction{1, 0, 0}));
    m.addStaticLoad("force", 10, v3(0, 0, 0), v3(0, 1, 0), Translational);
    m.addDynamicLoad("pulse", 5, v3(0, 0, 0), v3(0, 1, 0), Moment, 10);
    EXPECT_EQ(defaultTorqueAxis(m), (Direction{0, 1, 0}));
    m.addStaticLoad("torque", 10, v3(0, 0, 0), v3(0, 0, 1), Moment);
    EXPECT_EQ(defaultTorqueAxis(m), (Direction{0, 0, 1}));
}

// The example's curve and mount forces are golden (transmissibility.txt, forces.txt); forces at
// a frequency of one's own: FrequencyTables.OneFrequencyEqualsTheSweepAtIt. One mass here.
TEST(Transmissibility, OneMassIsolatorWhenDecoupled) {
    // A vertical force at the CoG of the decoupled layout: one bounce on 4 k and 4 c.
    AnalysisModel d = decoupledModel(v3(400, 300, 200));
    d.addDynamicLoad("bounce", 80, d.centreOfGravity, v3(0, 0, 1), Translational, 10);
    d.setFrequencyRange(60.0, 1.0, 0.7);
    const double k = 4 * 2e5 * 1.3, c = 4 * 200.0;
    const std::vector<TransmissibilityPoint> curve = transmissibility(d, 0);
    ASSERT_EQ(curve.size(), 85u);
    for (const auto& p : curve) {
        const double w = p.frequency * 6.283184;
        const double expected =
            std::sqrt((k * k + c * c * w * w) /
                      ((k - d.mass * w * w) * (k - d.mass * w * w) + c * c * w * w));
        EXPECT_NEAR(p.transmissibility, expected, kRelative * expected) << p.frequency;
        EXPECT_NEAR(p.isolationPct, (1 - p.transmissibility) * 100, 1e-9);
    }
}

TEST(Robustness, SpreadIsReproducibleAcrossThreadsAndVanishesWithoutTolerance) {
    AnalysisModel model = testing::fourMountModel(0.3, 0.2, -0.1, v3(3e5, 1e5, 1e5), 1.2,
                                                  Matrix::column(3), 30.0, 10.0);
    FrequencyWindow window{true, 0.0, true, 1e9};
    RobustnessSettings none;
    none.tolerancePct = 0.0;
    none.samples = 300;
    RunControl control;
    const RobustnessResult still = robustness(model, none, window, control);
    EXPECT_EQ(std::tuple(still.completed, still.samples, control.done.load(), still.windowShare),
              std::tuple(true, 300, 300, std::optional(100.0)));
    auto values = [](const Spread& s) { return std::array{s.min, s.max, s.mean, s.std}; };
    for (const ModeSpread& m : still.modes)
        for (const Spread& s : {m.frequency, m.decoupling})
            EXPECT_EQ(values(s), (std::array{s.nominal, s.nominal, s.nominal, 0.0}));

    RobustnessSettings varied;
    varied.tolerancePct = 8.0;
    varied.positionTolerance = 0.01;
    varied.samples = 1000; // more than one chunk of samples
    for (ToleranceDistribution dist :
         {ToleranceDistribution::Uniform, ToleranceDistribution::Normal}) {
        varied.distribution = dist;
        window.maximum = still.modes[5].frequency.nominal;
        RobustnessResult first;
        for (int threads : {1, 2, 3}) {
            varied.threads = threads;
            RunControl c;
            const RobustnessResult r = robustness(model, varied, window, c);
            if (threads == 1) {
                first = r;
                ASSERT_TRUE(r.windowShare);
                EXPECT_GT(*r.windowShare, 10.0);
                EXPECT_LT(*r.windowShare, 90.0);
                continue;
            }
            EXPECT_EQ(r.windowShare, first.windowShare) << threads;
            for (int q = 0; q < 6; ++q)
                for (auto field : {&ModeSpread::frequency, &ModeSpread::decoupling})
                    EXPECT_EQ(values(r.modes[q].*field), values(first.modes[q].*field));
        }
    }

    RunControl stopped;
    stopped.stop = true;
    const RobustnessResult nothing = robustness(model, varied, FrequencyWindow{}, stopped);
    EXPECT_EQ(std::tuple(nothing.completed, nothing.samples, nothing.windowShare.has_value()),
              std::tuple(false, 0, false));
    EXPECT_TRUE(std::isnan(nothing.modes[0].frequency.mean));

    // A helper thread without memory ends the run with the reason, not the process.
    varied.threads = 2;
    varied.samples = 100000;
    RunControl c;
    RobustnessResult failed;
    {
        const FailingAllocation failing;
        failed = robustness(model, varied, window, c);
    }
    EXPECT_EQ(std::tuple(failed.completed, failed.error),
              std::tuple(false, std::string("メモリが足りないため計算を中断しました")));
    EXPECT_LT(failed.samples, varied.samples);
}

} // namespace
} // namespace quav
