#include "view/ViewControl.h"

#include "ViewTestModels.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quav;
using quav::testing::viewModel;

TEST(Animation, PhaseRunsOneCycleAndRestartsAtZero) {
    DisplayState s;
    s.showMode(1);
    for (int i = 1; i <= 15; ++i) {
        animationStep(s);
        EXPECT_NEAR(s.phase, i * 6.283184 / 16, 1e-12);
    }
    animationStep(s);
    EXPECT_EQ(std::tuple(s.phase, s.amplitude), std::tuple(0.0, 0.0));
    // Four frames: about +modeScale, 0, -modeScale, then exactly 0.
    s.frameCount = 4;
    s.modeScale = 0.2;
    const double expected[] = {0.2, 0.0, -0.2};
    for (double a : expected) {
        animationStep(s);
        EXPECT_NEAR(s.amplitude, a, 1e-6);
    }
    animationStep(s);
    EXPECT_EQ(s.amplitude, 0.0);
    // The response animation uses resultScale; the static display does not move.
    s.showDynamicLoad(0);
    animationStep(s);
    EXPECT_NEAR(s.amplitude, 30.0, 1e-5);
    s.showStaticLoad(0);
    const double phase = s.phase;
    animationStep(s);
    EXPECT_EQ(s.phase, phase);
    // A frame count of 0 leaves the phase alone instead of making it infinite.
    s.showMode(1);
    s.frameCount = 0;
    animationStep(s);
    EXPECT_EQ(s.phase, phase);
}

TEST(Animation, KeysStopPlayAndStep) {
    DisplayState s;
    s.showMode(1);
    for (auto [key, animating] : {std::pair{'S', false}, {'P', true}, {'D', false}}) {
        EXPECT_TRUE(animationKey(s, key));
        EXPECT_EQ(s.animating, animating) << key;
    }
    EXPECT_NEAR(s.phase, 6.283184 / 16, 1e-12);
    EXPECT_FALSE(animationKey(s, 'X'));
}

TEST(Camera, DragTurnsZoomsAndPansOnlyWithItsKeys) {
    ViewCamera c;
    DisplayState s;
    c.leftDragging = true;
    EXPECT_FALSE(dragCamera(c, s, 10, 10, false, false)); // no key: nothing moves
    EXPECT_TRUE(dragCamera(c, s, 10, 20, true, false));
    EXPECT_EQ(std::tuple(c.rotX, c.rotY, c.lastY), std::tuple(10.0f, 5.0f, 20));
    EXPECT_TRUE(dragCamera(c, s, 10, 120, false, true));
    EXPECT_FLOAT_EQ(s.zoom, 1.5f);
    EXPECT_TRUE(dragCamera(c, s, 10, -1000, false, true)); // far up: held at 0
    EXPECT_EQ(s.zoom, 0.0f);
    EXPECT_TRUE(dragCamera(c, s, 10, -900, false, true)); // and grows back
    EXPECT_FLOAT_EQ(s.zoom, 0.5f);
    c.leftDragging = false;
    c.rightDragging = true;
    EXPECT_FALSE(dragCamera(c, s, 30, -880, false, true)); // Shift zooms only with the left
    EXPECT_TRUE(dragCamera(c, s, 30, -880, true, false));
    EXPECT_FLOAT_EQ(c.panX, 0.1f);
    EXPECT_FLOAT_EQ(c.panY, -0.1f);
}

TEST(Camera, FitScalesToTheWiderSideAndCentresTheBody) {
    AnalysisModel m = viewModel(); // 0.6 x 0.4 at (0.1, 0.2)
    ViewCamera c;
    c.rotX = 30;
    c.rotY = 40;
    DisplayState s;
    s.zoom = 0.3f;
    fitView(c, s, &m);
    EXPECT_FLOAT_EQ(c.viewScale, 5.0f);
    EXPECT_FLOAT_EQ(c.panX, -0.5f);
    EXPECT_FLOAT_EQ(c.panY, -1.0f);
    EXPECT_EQ(std::tuple(c.rotX, c.rotY, s.zoom), std::tuple(0.0f, 0.0f, 1.0f));
    m.size = quav::testing::v3(-0.5, 0.5, 1); // equal magnitudes: |sy|
    fitView(c, s, &m);
    EXPECT_FLOAT_EQ(c.viewScale, 6.0f);
    m.size = quav::testing::v3(0, 0, 1); // no extent: the scale stays
    fitView(c, s, &m);
    EXPECT_FLOAT_EQ(c.viewScale, 6.0f);
    c.rotX = 5;
    fitView(c, s, nullptr); // no model: nothing
    EXPECT_EQ(c.rotX, 5.0f);
    presentationTick(c);
    EXPECT_EQ(c.rotY, 1.0f);
}

TEST(Picking, TheLastRecordAtLeastAsNearAsTheFirstWins) {
    struct Case {
        std::vector<std::uint32_t> buffer;
        int hits;
        int expected;
    };
    const Case cases[] = {
        {{1, 500, 600, 0}, 1, 0},                                 // the ground alone
        {{1, 500, 600, 0, 1, 300, 310, 7}, 2, 7},                 // nearer than the first
        {{1, 500, 600, 0, 1, 500, 510, 7}, 2, 7},                 // as near: the later one
        {{1, 300, 600, 7, 1, 500, 510, 0}, 2, 7},                 // farther: the first stays
        {{1, 500, 600, 2, 1, 400, 410, 3, 1, 450, 460, 4}, 3, 4}, // the last qualifying
        {{}, 0, kNothingPicked},                                  // empty space
        {{1, 500, 600, 7}, -1, kNothingPicked},                   // overflowed buffer
        {{5, 500, 600, 7}, 1, kNothingPicked},                    // a record past the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseHit(c.buffer, c.hits), c.expected);
}

TEST(Picking, SelectionModeDecidesWhatAClickToggles) {
    struct Case {
        SelectionMode mode;
        int name;
        bool changes;
    };
    // Spring 2, static load 4, dynamic load 5, point 6, mass 1, characteristic 7.
    const Case cases[] = {
        {SelectionMode::Springs, 2, true},
        {SelectionMode::Springs, 4, false},
        {SelectionMode::Loads, 4, true},
        {SelectionMode::Loads, 5, true},
        {SelectionMode::Loads, 6, false},
        {SelectionMode::ObservationPoints, 6, true},
        {SelectionMode::All, 2, true},
        {SelectionMode::All, 5, true},
        {SelectionMode::All, 6, true},
        {SelectionMode::All, 1, false}, // the mass element is hit but never selected
        {SelectionMode::All, 7, false},
        {SelectionMode::All, 0, false}, // the ground and the axes
        {SelectionMode::All, kNothingPicked, false},
        {SelectionMode::None, 2, false},
    };
    for (const Case& c : cases) {
        AnalysisModel m = viewModel();
        EXPECT_EQ(applyPick(m, c.mode, c.name), c.changes);
        const int selected =
            m.selectedSpringCount() + m.selectedLoadCount() + m.selectedObservationPointCount();
        EXPECT_EQ(selected, c.changes ? 1 : 0);
        applyPick(m, c.mode, c.name); // a second click deselects
        EXPECT_EQ(m.selectedSpringCount() + m.selectedLoadCount(), 0);
    }
}
