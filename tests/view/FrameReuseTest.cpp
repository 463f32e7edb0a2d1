#include "view/FrameReuse.h"

#include "ViewTestModels.h"

#include <gtest/gtest.h>

using namespace quav;

TEST(FrameReuse, KeepsWhatStaysAndDrawsWholeAfterAChangeOfView) {
    const AnalysisModel m = quav::testing::viewModel();
    DisplayState state;
    state.showMode(1);
    std::vector<std::vector<DrawItem>> frames; // the mode animated: only the body moves
    for (int i = 0; i < 3; ++i) {
        Scene scene;
        buildScene(scene, &m, state, ViewCamera{}, false);
        frames.push_back(scene.items);
        state.amplitude += 0.1;
    }
    const std::size_t still = frames[0].size() - 2; // the body's axes and box move

    FrameReuse reuse;
    const FrameKey key{0, 0, 0, 0, 640, 480, 0};
    FrameKey turned = key;
    turned.rotY = 1.0f;
    struct Step {
        const std::vector<DrawItem>& items;
        FrameKey key;
        bool reuseFrame, storeLayer;
        std::size_t layerEnd;
    };
    const Step steps[] = {
        {frames[0], key, false, false, 0},       // first frame: whole
        {frames[0], key, true, false, 0},        // unchanged: the last picture
        {frames[1], key, false, true, still},    // the unchanged part becomes a layer
        {frames[2], key, false, false, still},   // and serves the next frames
        {frames[2], turned, false, false, 0},    // a turned view is drawn whole
        {frames[0], turned, false, true, still}, // and its first items kept again
        {frames[0], {0, 0, 0, 0, 640, 480, 1}, false, false, 0}, // another outline
    };
    for (const Step& s : steps) {
        const FrameReuse::Plan p = reuse.plan(s.items, s.key);
        EXPECT_EQ(std::tuple(p.reuseFrame, p.storeLayer, p.layerEnd),
                  std::tuple(s.reuseFrame, s.storeLayer, s.layerEnd));
    }
}
