#include "support/TestSupport.h"

#include "exchange/MountForcesJson.h"
#include "support/FailingAllocation.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <string>
#include <thread>

namespace quav {
namespace {

using testing::FailingAllocation;
using testing::Lcg;
using testing::v3;
using Json = nlohmann::ordered_json;

Json number(double x) {
    return std::isfinite(x) ? Json(x) : Json(nullptr);
}

Json numbers(const std::array<double, 3>& values) {
    Json j = Json::array();
    for (double x : values)
        j.push_back(number(x));
    return j;
}

/// The forces as one JSON tree, dumped: the layout the streamed text keeps.
std::string treeDump(const MountForces& forces) {
    Json statics = Json::array(), dynamics = Json::array();
    for (const StaticLoadForces& load : forces.staticLoads) {
        Json springs = Json::array();
        for (const StaticSpringForce& f : load.springs)
            springs.push_back(
                {{"id", f.id}, {"local", numbers(f.local)}, {"global", numbers(f.global)}});
        statics.push_back({{"load", load.load}, {"springs", springs}});
    }
    for (const DynamicLoadForces& load : forces.dynamicLoads) {
        Json springs = Json::array();
        for (const DynamicSpringForce& f : load.springs)
            springs.push_back({{"id", f.id},
                               {"amplitude", numbers(f.amplitude)},
                               {"phase", numbers(f.phase)},
                               {"globalAmplitude", numbers(f.globalAmplitude)},
                               {"globalPhase", numbers(f.globalPhase)},
                               {"total", number(f.total)}});
        dynamics.push_back(
            {{"load", load.load}, {"frequency", number(load.frequency)}, {"springs", springs}});
    }
    return Json{{"static", statics}, {"dynamic", dynamics}}.dump(2) + "\n";
}

std::string streamed(const MountForceLoads& loads) {
    std::string text;
    EXPECT_TRUE(writeMountForcesJson(loads, [&](std::string_view piece) {
        text += piece;
        return true;
    }));
    return text;
}

/// A model with `statics` static and `dynamics` dynamic loads.
AnalysisModel loadedModel(int springs, int statics, int dynamics) {
    Lcg rng{5};
    AnalysisModel m = testing::randomMountModel(rng, springs);
    for (int i = 0; i < statics; ++i)
        m.addStaticLoad("s", 100.0 + i, m.centreOfGravity, v3(0, 0.6, -0.8), Translational);
    for (int i = 0; i < dynamics; ++i)
        m.addDynamicLoad("d", 50.0, v3(0.1, 0, 0), v3(0, 0, 1), Translational, 5.0 + i);
    return m;
}

TEST(MountForcesJson, StreamsTheLayoutOfOneDumpedTree) {
    // No rate along z: the weight has no static answer, its forces are null.
    AnalysisModel free = testing::fourMountModel(0.3, 0.2, 0.1, v3(2e5, 1e5, 0.0));
    free.addStaticLoad("weight", 1000.0, free.centreOfGravity, v3(0, 0, -1), Translational);
    const AnalysisModel models[] = {loadedModel(5, 3, 2), loadedModel(4, 0, 1),
                                    loadedModel(4, 2, 0), loadedModel(3, 0, 0), free};
    for (const AnalysisModel& m : models) {
        const MountForceLoads loads(m);
        const std::string text = streamed(loads);
        EXPECT_EQ(text.find("null") != std::string::npos, &m == &models[4]);
        EXPECT_EQ(text, treeDump(mountForces(m)))
            << m.staticLoads.size() << " static, " << m.dynamicLoads.size() << " dynamic";
    }
}

TEST(MountForcesJson, StopsAtARefusedPieceAndLetsALackOfMemoryThrough) {
    // Enough springs and loads for several pieces: the first refusal ends the writing.
    const AnalysisModel m = loadedModel(300, 20, 20);
    const MountForceLoads loads(m);
    int pieces = 0;
    EXPECT_FALSE(writeMountForcesJson(loads, [&](std::string_view) {
        ++pieces;
        return false;
    }));
    EXPECT_EQ(pieces, 1);

    // Out of memory in the writer is an exception its caller catches, never a termination.
    bool threw = false;
    {
        const FailingAllocation failing;
        std::thread writer([&] {
            try {
                writeMountForcesJson(loads, [](std::string_view) { return true; });
            } catch (const std::bad_alloc&) {
                threw = true;
            }
        });
        writer.join();
    }
    EXPECT_TRUE(threw);
}

} // namespace
} // namespace quav
