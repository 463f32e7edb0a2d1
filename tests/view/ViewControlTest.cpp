#include "view/ViewControl.h"

#include "ViewTestModels.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
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
    // Keys stop, play and step (a frame of 16 from 0).
    s.showMode(1);
    s.frameCount = 16, s.phase = 0;
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

TEST(Camera, FitFramesEverythingWithAMarginAsTurned) {
    // A spring far out to one side and a point far above: both must come into view.
    AnalysisModel m = viewModel();
    m.springs[1].position = quav::testing::v3(-2.0, 0.05, 0.0);
    m.observationPoints[0].position = quav::testing::v3(0.5, 0.3, 1.5);
    const std::vector<Point3> marks = {{0.1 - 0.3, 0.2 - 0.2, 0.3 - 0.25},
                                       {0.1 + 0.3, 0.2 + 0.2, 0.3 + 0.25},
                                       {-2.0, 0.05, 0.0},
                                       {0.5, 0.3, 1.5},
                                       {0.55, 0.05, 0.0}};
    constexpr int w = 800, h = 600;
    for (UpAxis up : {UpAxis::Y, UpAxis::Z})
        for (StandardView view : {StandardView::Front, StandardView::Side, StandardView::Top,
                                  StandardView::Isometric}) {
            SCOPED_TRACE(static_cast<int>(view) + 10 * static_cast<int>(up));
            ViewCamera c;
            c.up = up;
            setStandardView(c, view);
            DisplayState s;
            s.zoom = 0.3f;
            fitView(c, s, &m, w, h);
            EXPECT_EQ(s.zoom, 1.0f);
            double x0 = w, x1 = 0, y0 = h, y1 = 0;
            for (const Point3& p : marks) {
                const double k = c.viewScale;
                const WindowPoint at = projectToWindow({p.x * k, p.y * k, p.z * k}, c, w, h);
                x0 = std::min(x0, at.x), x1 = std::max(x1, at.x);
                y0 = std::min(y0, at.y), y1 = std::max(y1, at.y);
            }
            // Inside the margin of 10 %, and filling the view one way or the other.
            EXPECT_GE(x0, 0.1 * w - 1);
            EXPECT_LE(x1, 0.9 * w + 1);
            EXPECT_GE(y0, 0.1 * h - 1);
            EXPECT_LE(y1, 0.9 * h + 1);
            EXPECT_GT(std::max((x1 - x0) / w, (y1 - y0) / h), 0.6);
        }
    // No model: nothing; a model without extent keeps the scale.
    ViewCamera c;
    c.rotX = 5;
    DisplayState s;
    fitView(c, s, nullptr, w, h);
    EXPECT_EQ(c.rotX, 5.0f);
    AnalysisModel point;
    point.setSize(quav::testing::v3(0, 0, 0));
    c.viewScale = 7.0f;
    fitView(c, s, &point, w, h);
    EXPECT_EQ(c.viewScale, 7.0f);
    presentationTick(c);
    EXPECT_EQ(c.rotY, 1.0f);
}

TEST(Camera, WheelZoomKeepsThePointUnderThePointer) {
    const AnalysisModel m = viewModel();
    ViewCamera c;
    DisplayState s;
    fitView(c, s, &m, 800, 600);
    // A point on the plane through the origin facing the eye.
    const Point3 p{0.2 * c.viewScale, 0.1 * c.viewScale, 0.0};
    const WindowPoint before = projectToWindow(p, c, 800, 600);
    wheelZoom(c, s, 2, static_cast<int>(before.x), static_cast<int>(before.y), 800, 600);
    EXPECT_NEAR(s.zoom, 1.44f, 1e-6);
    const WindowPoint after = projectToWindow({p.x * s.zoom, p.y * s.zoom, 0.0}, c, 800, 600);
    EXPECT_NEAR(after.x, before.x, 1.0);
    EXPECT_NEAR(after.y, before.y, 1.0);
    wheelZoom(c, s, -2, 400, 300, 800, 600);
    EXPECT_NEAR(s.zoom, 1.0f, 1e-6);
}

TEST(Camera, UpAxisFromTheWeight) {
    using quav::testing::v3;
    struct Load {
        double value;
        bool atCentre;
        double x, y, z;
        int type = Translational;
    };
    const struct Case {
        const char* what;
        std::vector<Load> loads;
        std::optional<UpAxis> expected;
    } cases[] = {
        {"weight at the centre along -z", {{981, true, 0, 0, -1}}, UpAxis::Z},
        {"weight at the centre along -y", {{981, true, 0, -1, 0}}, UpAxis::Y},
        {"a force elsewhere first, the weight decides",
         {{5, false, 0, -1, 0}, {981, true, 0, 0.1, -1}},
         UpAxis::Z},
        {"no weight: a force down along z", {{5, false, 0, 0, -1}}, UpAxis::Z},
        {"no weight: a force up is no weight", {{5, false, 0, 0, 1}}, std::nullopt},
        {"a moment is no weight", {{5, true, 0, 0, -1, Moment}}, std::nullopt},
        {"along x", {{5, true, -1, 0, 0}}, std::nullopt},
        {"no loads", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        AnalysisModel m;
        m.setCentreOfGravity(v3(0.1, 0.2, 0.3));
        for (const Load& l : c.loads)
            m.addStaticLoad("w", l.value, l.atCentre ? m.centreOfGravity : v3(1, 1, 1),
                            v3(l.x, l.y, l.z), l.type);
        EXPECT_EQ(weightUpAxis(&m), c.expected) << c.what;
        EXPECT_EQ(resolveUpAxis(UpChoice::Auto, &m), c.expected.value_or(UpAxis::Y)) << c.what;
        EXPECT_EQ(resolveUpAxis(UpChoice::Y, &m), UpAxis::Y);
        EXPECT_EQ(resolveUpAxis(UpChoice::Z, &m), UpAxis::Z);
    }
    EXPECT_EQ(resolveUpAxis(UpChoice::Auto, nullptr), UpAxis::Y);
}

TEST(Picking, SelectionBufferRecords) {
    struct Case {
        std::vector<std::uint32_t> buffer;
        int hits;
        std::vector<PickHit> expected;
    };
    const Case cases[] = {
        {{1, 500, 600, 0}, 1, {}},                                      // the ground alone
        {{1, 500, 600, 0, 1, 300, 310, 7}, 2, {{7, 300}}},              // the axes left out
        {{2, 400, 410, 9, 3, 1, 450, 460, 4}, 2, {{3, 400}, {4, 450}}}, // the innermost name
        {{}, 0, {}},                                                    // empty space
        {{1, 500, 600, 7}, -1, {}},                                     // overflowed buffer
        {{1, 500, 600, 7, 5, 500, 600, 7}, 2, {{7, 500}}},              // a record past the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(selectionHits(c.buffer, c.hits), c.expected);
}

TEST(Picking, TheWantedKindWinsOverNearerOthers) {
    // Body 1, spring 2 and 3, static load 4, point 6 (viewModel).
    const AnalysisModel m = viewModel();
    struct Case {
        SelectionMode mode;
        std::vector<PickHit> hits;
        PickChoice expected;
    };
    const Case cases[] = {
        // A spring inside the body's box, behind its front face.
        {SelectionMode::Springs, {{1, 100}, {2, 300}}, {2, true}},
        {SelectionMode::None, {{1, 100}, {2, 300}}, {2, true}},
        {SelectionMode::All, {{1, 100}, {4, 300}}, {4, true}},
        // Of two springs the nearer; on a tie the later.
        {SelectionMode::Springs, {{2, 300}, {3, 200}}, {3, true}},
        {SelectionMode::Springs, {{3, 200}, {2, 200}}, {2, true}},
        // Another kind is no pick for the mode.
        {SelectionMode::Springs, {{4, 100}, {6, 50}}, {kNothingPicked, false}},
        {SelectionMode::Loads, {{2, 100}, {4, 900}}, {4, true}},
        {SelectionMode::ObservationPoints, {{6, 900}}, {6, true}},
        // The body alone: its texts without a pick mode, nothing with one.
        {SelectionMode::None, {{1, 100}}, {1, false}},
        {SelectionMode::All, {{1, 100}}, {kNothingPicked, false}},
        {SelectionMode::None, {}, {kNothingPicked, false}},
    };
    for (const Case& c : cases) {
        const PickChoice got = choosePick(c.hits, &m, c.mode);
        EXPECT_EQ(std::tuple(got.name, got.wanted), std::tuple(c.expected.name, c.expected.wanted));
    }
}

TEST(Picking, StatusSaysWhatWasPickedOrMissed) {
    AnalysisModel m = viewModel();
    struct Case {
        SelectionMode mode;
        DisplayKind display;
        int name;
        const char* expected;
    };
    const Case cases[] = {
        {SelectionMode::Springs, DisplayKind::Model, 2, "ばね要素 front を選択"},
        {SelectionMode::Springs, DisplayKind::Model, kNothingPicked,
         "クリック位置の 5 ピクセル以内にばね要素がありません"},
        {SelectionMode::All, DisplayKind::Model, kNothingPicked,
         "クリック位置の 5 ピクセル以内にばね要素・荷重・観測点がありません"},
        {SelectionMode::None, DisplayKind::StaticResult, 6, "観測点 radiator の変位を表示"},
        {SelectionMode::None, DisplayKind::StaticResult, 1, "質量要素 の変位を表示"},
        {SelectionMode::None, DisplayKind::StaticResult, kNothingPicked,
         "クリック位置の 5 ピクセル以内に要素がありません"},
    };
    for (const Case& c : cases) {
        if (c.name > 0)
            applyPick(m, c.mode, c.name);
        EXPECT_EQ(pickStatus(m, c.mode, c.display, c.name), c.expected);
    }
    applyPick(m, SelectionMode::Springs, 2);
    EXPECT_EQ(pickStatus(m, SelectionMode::Springs, DisplayKind::Model, 2),
              "ばね要素 front の選択を解除");
    EXPECT_NE(pickStatus(m, SelectionMode::None, DisplayKind::Model, 2).find("ツリーで"),
              std::string::npos);
}

TEST(Picking, SelectionModeDecidesWhatAClickToggles) {
    struct Case {
        SelectionMode mode;
        int name;
        bool changes;
    };
    // Dynamic load 5, mass 1, characteristic 7 (spring, static load and point by
    // mode: the GL view test's clicks).
    const Case cases[] = {
        {SelectionMode::Loads, 5, true},
        {SelectionMode::All, 5, true},
        {SelectionMode::All, 1, false}, // the mass element is hit but never selected
        {SelectionMode::All, 7, false},
        {SelectionMode::All, 0, false}, // the ground and axes
        {SelectionMode::All, kNothingPicked, false},
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
