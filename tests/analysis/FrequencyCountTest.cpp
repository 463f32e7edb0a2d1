// Counts below a threshold hold solveModes' count to the last bit, exact away from it.
#include "analysis/EigenAnalysis.h"
#include "analysis/SymmetricEigen.h"
#include "analysis/VariantBasis.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <vector>

using namespace quav;
using namespace quav::testing;

namespace {

struct Tally {
    int trusted = 0, untrusted = 0;
    int clear = 0, clearUntrusted = 0; ///< thresholds 1e-3 (in eigenvalue) from any frequency
    /// The same for the counts of systems assembled from what variants share.
    int sharedTrusted = 0, sharedUntrusted = 0, sharedClearUntrusted = 0;
};

void countModel(const AnalysisModel& m, Lcg& rng, Tally& tally) {
    const ModalSolution s = solveModes(m);
    const FrequencyCount count(m, principalInertiaAxes(m.inertia));
    ASSERT_TRUE(count.usable());
    std::vector<double> thresholds = {0.0, -1.0, 2.0 * s.frequencies[0]};
    const double inf = std::numeric_limits<double>::infinity();
    for (int k = 0; k < 6; ++k) {
        const double f = s.frequencies[k];
        for (double t : {f, std::nextafter(f, -inf), std::nextafter(f, inf), f * (1 + 1e-12),
                         f * (1 - 1e-12), f * (1 + 1e-9), f * (1 - 1e-9), f * (1 + 1e-3),
                         f * (1 - 1e-3), 0.5 * (f + s.frequencies[k == 5 ? k : k + 1])})
            thresholds.push_back(t);
        thresholds.push_back(s.frequencies[0] * std::fabs(rng.next()));
    }
    // The model counted as a variant of itself, its system assembled from the
    // shared frame and orientations in double precision; the thresholds are more
    // than it factorises beforehand, so it counts at some of them on its own.
    const VariantBasis basis(m);
    const VariantSystems systems(m, basis, thresholds);
    FrequencyCount shared[VariantSystems::kLanes];
    bool sharedCounted[VariantSystems::kLanes] = {};
    if (systems.usable()) {
        const double* values[] = {systems.modelValues().data(), systems.modelValues().data()};
        systems.count(values, 2, shared, sharedCounted, simdLevel());
        EXPECT_TRUE(sharedCounted[0] && sharedCounted[1]);
    }
    for (double t : thresholds) {
        int solved = 0;
        bool clear = t > 0.0; // 0 Hz is left to the solution: free directions lie on it
        for (int k = 0; k < 6; ++k) {
            solved += s.frequencies[k] < t;
            clear = clear && std::fabs(s.frequencies[k] * s.frequencies[k] - t * t) >
                                 1e-3 * s.frequencies[0] * s.frequencies[0];
        }
        int atOrBelow = 0;
        for (int k = 0; k < 6; ++k)
            atOrBelow += s.frequencies[k] <= t;
        const FrequencyCount::Range counted = count.below(t);
        EXPECT_LE(counted.low, solved) << "threshold " << t << " Hz";
        EXPECT_GE(counted.high, atOrBelow) << "threshold " << t << " Hz";
        const bool exact = counted.low == counted.high;
        (exact ? tally.trusted : tally.untrusted) += 1;
        tally.clear += clear;
        tally.clearUntrusted += clear && !exact;
        if (!sharedCounted[0])
            continue;
        const FrequencyCount::Range fromShared = shared[0].below(t);
        EXPECT_LE(fromShared.low, solved) << "threshold " << t << " Hz, shared";
        EXPECT_GE(fromShared.high, atOrBelow) << "threshold " << t << " Hz, shared";
        EXPECT_EQ(fromShared.low, shared[1].below(t).low);
        EXPECT_EQ(fromShared.high, shared[1].below(t).high);
        const bool sharedExact = fromShared.low == fromShared.high;
        (sharedExact ? tally.sharedTrusted : tally.sharedUntrusted) += 1;
        tally.sharedClearUntrusted += clear && !sharedExact;
    }
}

void countFamily(const char* name, int models, const std::function<AnalysisModel(Lcg&)>& make) {
    SCOPED_TRACE(name);
    Lcg rng{0xc0de};
    Tally tally;
    for (int i = 0; i < models; ++i)
        countModel(make(rng), rng, tally);
    std::printf("%-28s %4d models: %5d counts exact, %4d ranges (%d of them clear of every "
                "frequency); shared systems %5d exact, %4d ranges (%d clear)\n",
                name, models, tally.trusted, tally.untrusted, tally.clearUntrusted,
                tally.sharedTrusted, tally.sharedUntrusted, tally.sharedClearUntrusted);
    // Only thresholds on or near a frequency are left to the solution, nearly always.
    EXPECT_LE(tally.clearUntrusted, tally.clear / 100);
    EXPECT_LE(tally.sharedClearUntrusted, tally.clear / 100);
}

} // namespace

TEST(FrequencyCount, TrustedCountsAreThoseOfTheSolutionAndBadModelsCountNothing) {
    for (const ModelFamily& family : modelFamilies())
        countFamily(family.name, family.count / 5, family.make);
    // A negative rate (frequencies from |lambda|); a negative definite mass (mirrored).
    countFamily("negative rate", 20, [](Lcg& rng) {
        return fourMountModel(0.3, 0.2, 0.1, v3(3e5, -2e5 * (1 + rng.next()), 1e5));
    });
    countFamily("negative definite mass", 20, [](Lcg& rng) {
        AnalysisModel m = randomMountModel(rng, 4);
        m.mass = -m.mass;
        m.setInertia(Matrix(3, 3, {-4.0, 0, 0, 0, -6.0, 0, 0, 0, -9.0}));
        return m;
    });
    // Nothing to count without axes, a definite mass or finite rates.
    const AnalysisModel m = fourMountModel(0.3, 0.2, 0.1, v3(3e5, 1e5, 1e5));
    AnalysisModel zeroMoment = m, mixed = m, infinite = m;
    zeroMoment.inertia(1, 1) = 0.0;
    mixed.mass = -mixed.mass; // solveModes gives NaN frequencies here
    infinite.springCharacteristics[0].stiffness[0] = std::numeric_limits<double>::infinity();
    for (const AnalysisModel* bad : {&zeroMoment, &mixed, &infinite}) {
        const FrequencyCount count(*bad, principalInertiaAxes(bad->inertia));
        EXPECT_FALSE(count.usable());
        EXPECT_EQ(count.below(10.0).low, 0);
        EXPECT_EQ(count.below(10.0).high, 6);
    }
    const FrequencyCount::Range nan = FrequencyCount(m, principalInertiaAxes(m.inertia))
                                          .below(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(nan.low, 0);
    EXPECT_EQ(nan.high, 6);
}
