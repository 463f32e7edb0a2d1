// The view without a display: the scene it draws, the texts over it, the lines it
// becomes, the reuse of frames, the camera, picking and the animation.
#include "view/Scene.h"

#include "view/FrameReuse.h"
#include "view/LineBatch.h"
#include "view/Overlay.h"
#include "view/ViewControl.h"

#include "analysis/SystemAssembly.h"

#include "ViewTestModels.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace quav;
using quav::testing::v3;
using quav::testing::viewModel;

namespace {

constexpr double kTol = 1e-9;
// Angles go through the system's 3.141592 circle constant.
constexpr double kAngleTol = 1e-6;

/// The items as "Shape:name", with "*" where the item loads its name.
std::vector<std::string> outline(const Scene& scene) {
    static const char* names[] = {"Axes", "Grid", "Line", "Box", "Sphere", "Cone", "Geometry"};
    std::vector<std::string> out;
    for (const DrawItem& i : scene.items)
        out.push_back(std::string(names[static_cast<int>(i.shape)]) + ":" + std::to_string(i.name) +
                      (i.loadsName ? "*" : ""));
    return out;
}

Scene build(const AnalysisModel* model, DisplayState state, ViewCamera camera = {},
            bool geometry = false) {
    prepareDisplay(state, model, model && model->calculated ? model : nullptr);
    Scene s;
    buildScene(s, model, state, camera, geometry);
    return s;
}

const DrawItem& find(const Scene& s, Shape shape, int name, int nth = 0) {
    for (const DrawItem& i : s.items)
        if (i.shape == shape && i.name == name && nth-- == 0)
            return i;
    static DrawItem none;
    ADD_FAILURE() << "no item";
    return none;
}

void expectPoint(const Point3& p, double x, double y, double z, double tol = kTol) {
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
    EXPECT_NEAR(p.z, z, tol);
}

constexpr int kHeight = 480;

/// The result texts line by line, joined by " | ", the legend left out.
std::vector<std::string> lines(const AnalysisModel* m, const DisplayState& s, int pick,
                               bool stale = false) {
    const Overlay o = buildOverlay(m, s, pick, kHeight, stale);
    std::vector<std::string> out;
    int y = -1;
    for (const OverlayText& t : o.texts) {
        if (!t.onPanel)
            continue;
        if (t.y != y)
            out.emplace_back();
        else
            out.back() += " | ";
        out.back() += t.text;
        y = t.y;
    }
    return out;
}

} // namespace

TEST(Scene, ItemsAndPickNamesOfEachDisplayKind) {
    const AnalysisModel m = viewModel();
    const std::vector<std::string> world = {"Axes:0", "Grid:0"};
    const std::vector<std::string> springs = {"Axes:2*", "Box:2", "Axes:3*", "Box:3"};
    const std::vector<std::string> body = {"Axes:1*", "Box:1"}; // grey, then white
    auto join = [](std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    DisplayState state;
    state.showInertiaAxes = state.showElasticAxes = true;
    EXPECT_EQ(outline(build(&m, state)),
              join({world,
                    springs,
                    {"Line:4*", "Cone:4", "Line:5*", "Cone:5", "Sphere:6*"},
                    body,
                    {"Line:1", "Line:1", "Line:1", "Line:1", "Line:1", "Line:1"}}));

    state.showMode(2);
    EXPECT_EQ(outline(build(&m, state)), join({world, body, springs, body}));
    state.showStaticLoad(0);
    EXPECT_EQ(outline(build(&m, state)),
              join({world, body, springs, {"Sphere:6*", "Line:4*", "Cone:4"}, body}));
    state.showDynamicLoad(0);
    state.showUndeformedShape = false;
    state.showGround = false;
    EXPECT_EQ(outline(build(&m, state)),
              join({{"Axes:0"}, springs, {"Sphere:6*", "Line:5*", "Cone:5"}, body}));
    // Results that are not valid: the plain model, and the display falls back.
    AnalysisModel stale = m;
    stale.calculated = 0;
    state.showMode(3);
    prepareDisplay(state, &stale, nullptr);
    EXPECT_EQ(state.displayKind, DisplayKind::Model);
    // No model: only the world, and the view drops the imported geometry.
    const Scene none = build(nullptr, DisplayState{});
    EXPECT_FALSE(none.hasModel);
    EXPECT_EQ(outline(none), world);
    // The imported outline stands in for the box.
    EXPECT_EQ(outline(build(&m, DisplayState{}, {}, true)).back(), "Geometry:1");
}

TEST(Scene, ColoursFollowSelectionBindingAndLoadType) {
    AnalysisModel m = viewModel();
    m.springs[1].selected = 1;
    m.springs[0].selected = 1; // selected and bound: selected wins
    Scene s = build(&m, DisplayState{});
    EXPECT_EQ(std::tuple(find(s, Shape::Box, 2).colour, find(s, Shape::Box, 3).colour),
              std::tuple(colours::red, colours::red));
    m.springs[0].selected = m.springs[1].selected = 0; // bound and free: the GL view test
    s = build(&m, DisplayState{});
    EXPECT_EQ(find(s, Shape::Cone, 4).colour, colours::translationalLoad);
    EXPECT_EQ(find(s, Shape::Cone, 5).colour, colours::momentLoad);
    EXPECT_EQ(find(s, Shape::Sphere, 6).colour, colours::observationPoint);
    EXPECT_EQ(find(s, Shape::Grid, 0).colour, colours::ground);
    m.staticLoads[0].selected = m.observationPoints[0].selected = 1;
    s = build(&m, DisplayState{});
    EXPECT_EQ(std::tuple(find(s, Shape::Line, 4).colour, find(s, Shape::Sphere, 6).colour),
              std::tuple(colours::red, colours::red));

    DisplayState state;
    state.showInertiaAxes = state.showElasticAxes = true;
    s = build(&m, state);
    EXPECT_EQ(std::tuple(find(s, Shape::Line, 1, 0).colour, find(s, Shape::Line, 1, 3).colour),
              std::tuple(colours::inertiaAxes, colours::elasticAxes));
    state.showMode(1);
    EXPECT_EQ(find(build(&m, state), Shape::Box, 1, 0).colour, colours::grey);
}

TEST(Scene, PlacementsOfSpringsLoadsPointsAndTheBody) {
    AnalysisModel m = viewModel();
    DisplayState state;
    state.zoom = 2.0f;
    ViewCamera camera;
    camera.viewScale = 1.5f;
    const double s = 3.0; // zoom x viewScale scales the model, not the world axes
    Scene scene = build(&m, state, camera);

    EXPECT_EQ(find(scene, Shape::Axes, 0).transform.apply({1, 0, 0}).x, 1.0);
    expectPoint(find(scene, Shape::Grid, 0).transform.apply({0, 0, 0}), 0, -0.3, 0, 1e-7);
    // Spring "rear": turned 90 deg about z, its box squeezed to half in local x.
    const DrawItem& rear = find(scene, Shape::Box, 3);
    EXPECT_EQ(rear.size, 0.1f);
    expectPoint(rear.transform.apply({0, 0, 0}), -0.35 * s, 0.05 * s, 0);
    expectPoint(rear.transform.apply({1, 0, 0}), -0.35 * s, (0.05 + 0.5) * s, 0, kAngleTol);
    EXPECT_NEAR(find(scene, Shape::Axes, 3).size, 0.05, 1e-8);
    // Spring "front" (Y 30, Z 10 deg): its drawn axes are the engine's.
    const Mat4& front = find(scene, Shape::Axes, 2).transform;
    const Matrix engine = springOrientation(m.springs[0]);
    for (int i = 0; i < 3; ++i) {
        const Point3 e = front.apply({double(i == 0), double(i == 1), double(i == 2)});
        expectPoint({e.x / s - 0.55, e.y / s - 0.05, e.z / s}, engine(0, i), engine(1, i),
                    engine(2, i), kAngleTol);
    }
    // Load arrows: the cone's axis along the direction, at the arrow's tip.
    for (const Matrix& d :
         {v3(0, -1, 0), v3(0, 0, -1), v3(1, 0, 0), v3(0.6, 0.0, 0.8), v3(0, 0, 0)}) {
        m.staticLoads[0].direction = d;
        scene = build(&m, state, camera);
        const Mat4& cone = find(scene, Shape::Cone, 4).transform;
        const Point3 tip = cone.apply({0, 0, 0});
        const Point3 ahead = cone.apply({0, 0, 1});
        expectPoint(tip, (0.1 + d[0] / 5) * s, (0.2 + d[1] / 5) * s, (0.3 + d[2] / 5) * s);
        if (d.norm() > 0)
            expectPoint({(ahead.x - tip.x) / s, (ahead.y - tip.y) / s, (ahead.z - tip.z) / s}, d[0],
                        d[1], d[2], kAngleTol);
        const DrawItem& c = find(scene, Shape::Cone, 4);
        EXPECT_EQ(std::tuple(c.size, c.height), std::tuple(0.02, 0.05));
    }
    expectPoint(find(scene, Shape::Sphere, 6).transform.apply({0, 0, 0}), 0.5 * s, 0.3 * s,
                0.3 * s);
    EXPECT_EQ(find(scene, Shape::Sphere, 6).size, 0.02);
    // The body: its box scaled to its size around the centre of gravity.
    const DrawItem& body = find(scene, Shape::Box, 1);
    expectPoint(body.transform.apply({0.5, 0.5, 0.5}), (0.1 + 0.3) * s, (0.2 + 0.2) * s,
                (0.3 + 0.25) * s);
    EXPECT_NEAR(find(scene, Shape::Axes, 1).size, 0.4 / 3, kTol);
}

TEST(Scene, DeformedBodyOfModeAndStaticDisplays) {
    const AnalysisModel m = viewModel();
    DisplayState state;
    auto bodyAt = [&](const Point3& p) {
        return find(build(&m, state), Shape::Box, 1, 1).transform.apply(p);
    };

    // Mode 2 is column 4, translated by amplitude x its first three entries.
    state.showMode(2);
    state.amplitude = 0.5;
    expectPoint(bodyAt({0, 0, 0}), 0.1 + 0.5 * m.modeShapes(0, 4), 0.2 + 0.5 * m.modeShapes(1, 4),
                0.3 + 0.5 * m.modeShapes(2, 4));
    // Static: resultScale x the row, rotations about x, then y, then z.
    state.showStaticLoad(0);
    state.resultScale = 10.0;
    const double rx = 10 * 0.01, rz = 10 * -0.02;
    const Point3 c = bodyAt({0, 0, 0});
    expectPoint(c, 0.1 + 0.01, 0.2 - 0.02, 0.3 + 0.005);
    const Point3 e = bodyAt({0, 1, 0}); // local y after Rx then Rz (Ry = 0)
    const double cf = 57.29579143313326 * 0.01745328888888889;
    expectPoint({e.x - c.x, e.y - c.y, e.z - c.z}, -std::sin(rz * cf) * 0.4,
                std::cos(rx * cf) * std::cos(rz * cf) * 0.4,
                std::sin(rx * cf) * std::cos(rz * cf) * 0.4, 1e-9);
}

// A load case's body follows its displacement on the uncalculated model.
TEST(Scene, LoadCaseBodyFollowsTheCaseDisplacementWithoutResults) {
    AnalysisModel m = viewModel();
    DisplayState state;
    state.resultScale = 10.0;
    state.showStaticLoad(0);
    const Point3 staticCentre = find(build(&m, state), Shape::Box, 1, 1).transform.apply({});
    const Point3 staticEdge = find(build(&m, state), Shape::Box, 1, 1).transform.apply({0, 1, 0});
    m.calculated = 0;
    state.showLoadCase("WOT 1st", {0.001, -0.002, 0.0005, 0.01, 0.0, -0.02});
    const Scene s = build(&m, state);
    const DrawItem& body = find(s, Shape::Box, 1, 1); // after the grey undeformed body
    expectPoint(body.transform.apply({}), staticCentre.x, staticCentre.y, staticCentre.z);
    const Point3 e = body.transform.apply({0, 1, 0});
    expectPoint(e, staticEdge.x, staticEdge.y, staticEdge.z);
    EXPECT_EQ(state.displayKind, DisplayKind::LoadCaseResult);

    const Overlay o = buildOverlay(&m, state, 0, 600, false);
    ASSERT_FALSE(o.texts.empty());
    EXPECT_EQ(o.texts[0].text, "荷重ケース: WOT 1st");
    EXPECT_TRUE(std::any_of(o.texts.begin(), o.texts.end(),
                            [](const OverlayText& t) { return t.text == "1 mm"; }));
}

// Each dynamic load at several phases: cos(phase + psi) x amplitude x scale; its arrow.
TEST(Scene, DynamicDisplayOfEachLoadAtEachPhase) {
    AnalysisModel m = viewModel();
    m.addDynamicLoad("second", 20.0, Matrix::vector({0, 0, 0}), Matrix::vector({0, 0, 1}),
                     Translational, 40.0);
    const double rows[2][12] = {{0.002, 0.001, 0.0, 0.0, 0.03, 0.0, 0.5, 1.0, 0.0, 0.0, -0.5, 0.0},
                                {0.0, 0.003, 0.004, 0.0, 0.01, 0.0, 0.0, -1.0, 2.0, 0.0, 0.3, 0.0}};
    m.dynamicResults = Matrix(2, 12);
    for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 12; ++j)
            m.dynamicResults(k, j) = rows[k][j];
    DisplayState state;
    state.resultScale = 10.0;
    const double cf = 57.29579143313326 * 0.01745328888888889; // degrees and back
    for (int k = 0; k < 2; ++k) {
        for (double phase : {0.0, 1.0, 1.5707963, 4.0}) {
            SCOPED_TRACE(std::to_string(k) + " at " + std::to_string(phase));
            state.showDynamicLoad(k);
            state.phase = phase;
            const Scene s = build(&m, state);
            const Mat4& body = find(s, Shape::Box, 1, 1).transform;
            const double* r = rows[k];
            auto moved = [&](int i) { return std::cos(phase + r[6 + i]) * r[i] * 10; };
            const Point3 c = body.apply({0, 0, 0});
            expectPoint(c, 0.1 + moved(0), 0.2 + moved(1), 0.3 + moved(2));
            const double ry = moved(4) * cf;
            const Point3 e = body.apply({1, 0, 0});
            expectPoint({e.x - c.x, e.y - c.y, e.z - c.z}, 0.6 * std::cos(ry), 0,
                        -0.6 * std::sin(ry));
            int arrows = 0;
            for (const DrawItem& i : s.items)
                arrows += i.shape == Shape::Cone;
            EXPECT_EQ(arrows, 1);
            EXPECT_EQ(find(s, Shape::Cone, m.dynamicLoads[k].id).name, m.dynamicLoads[k].id);
        }
    }
}

TEST(Scene, BadResultsDrawWhatCanBeDrawn) {
    AnalysisModel m = viewModel();
    DisplayState state;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    m.staticResults(0, 1) = nan;
    m.modeShapes(3, 5) = nan;
    m.staticLoads[0].direction = v3(nan, nan, nan);
    for (auto show :
         {+[](DisplayState& d) { d.showStaticLoad(0); },
          +[](DisplayState& d) { d.showStaticLoad(7); },
          +[](DisplayState& d) { d.showDynamicLoad(-1); }, +[](DisplayState& d) { d.showMode(1); },
          +[](DisplayState& d) { d.showMode(9); }}) {
        show(state);
        const Scene s = build(&m, state);
        // The grey body and the springs are there; no NaN reaches the renderer.
        EXPECT_EQ(find(s, Shape::Box, 1).colour, colours::grey);
        EXPECT_EQ(find(s, Shape::Box, 3).name, 3);
        for (const DrawItem& i : s.items)
            EXPECT_TRUE(i.transform.finite());
    }
    m.staticResults = Matrix(); // a missing row
    state.showStaticLoad(0);
    EXPECT_NO_FATAL_FAILURE(build(&m, state));
    // A model without springs or results still draws.
    AnalysisModel bare;
    EXPECT_EQ(outline(build(&bare, DisplayState{})).size(), 4u);
}

// Spring axes named where they point; hidden by results; crowded: selected only.
TEST(Scene, SpringAxesAreLabelledWhereTheyPoint) {
    AnalysisModel m = viewModel();
    DisplayState state;
    ViewCamera camera;
    std::vector<AxisLabel> labels = springAxisLabels(&m, state, camera, 640, 480);
    ASSERT_EQ(labels.size(), 6u);
    const Matrix axes = springOrientation(m.springs[0]);
    const double reach = 0.1 * 0.5 * 1.2;
    for (int i = 0; i < 3; ++i) {
        const WindowPoint expected = projectToWindow(
            {0.55 + reach * axes(0, i), 0.05 + reach * axes(1, i), reach * axes(2, i)}, camera, 640,
            480);
        EXPECT_EQ(labels[static_cast<std::size_t>(i)].axis, 'x' + i);
        EXPECT_NEAR(labels[static_cast<std::size_t>(i)].at.x, expected.x, 1e-6);
        EXPECT_NEAR(labels[static_cast<std::size_t>(i)].at.y, expected.y, 1e-6);
    }
    EXPECT_EQ(std::tuple(labels[0].colour, labels[1].colour, labels[2].colour),
              std::tuple(colours::red, colours::green, colours::blue));
    state.displayKind = DisplayKind::ModeShape;
    EXPECT_TRUE(springAxisLabels(&m, state, camera, 640, 480).empty());
    state.displayKind = DisplayKind::Model;
    for (int i = 0; i < 40; ++i)
        m.addSpring("more", v3(0, 0, 0), v3(0, 0, 0), 0.1f);
    m.springs[5].selected = 1;
    EXPECT_EQ(springAxisLabels(&m, state, camera, 640, 480).size(), 3u);
}

// The origin at the centre, pans in eye units; with z up: z up the screen, x right,
// y into it, the ground level along z.
TEST(Scene, ProjectionAndZUp) {
    ViewCamera c;
    const WindowPoint o = projectToWindow({0, 0, 0}, c, 800, 600);
    expectPoint({o.x, o.y, 0}, 400, 300, 0);
    // Half the view height is 10 x tan(10 deg) scene units at the origin.
    const double half = 10 * std::tan(10 * 0.01745328888888889);
    EXPECT_NEAR(projectToWindow({0, half, 0}, c, 800, 600).y, 0.0, 1e-6);
    c.panX = static_cast<float>(half);
    EXPECT_NEAR(projectToWindow({0, 0, 0}, c, 800, 600).x, 700, 1e-3);
    ViewCamera camera;
    camera.up = UpAxis::Z;
    const WindowPoint origin = projectToWindow({0, 0, 0}, camera, 640, 480);
    const WindowPoint up = projectToWindow({0, 0, 1}, camera, 640, 480);
    const WindowPoint right = projectToWindow({1, 0, 0}, camera, 640, 480);
    const WindowPoint away = projectToWindow({0, 1, 0}, camera, 640, 480);
    EXPECT_NEAR(up.x, origin.x, 1e-3);
    EXPECT_LT(up.y, origin.y - 10);
    EXPECT_GT(right.x, origin.x + 10);
    EXPECT_NEAR(away.x, origin.x, 1e-3); // straight into the screen
    DisplayState state;
    state.groundLevel = -0.5f;
    Scene s;
    buildScene(s, nullptr, state, camera, false);
    const DrawItem& grid = find(s, Shape::Grid, 0);
    const Point3 corner = grid.transform.apply({10, 0, 10});
    EXPECT_NEAR(corner.z, -0.5, 1e-6);
    EXPECT_NEAR(std::abs(corner.y), 10.0, 1e-5);
}

TEST(Overlay, ModeShapeNumbersLabelledWithUnits) {
    const AnalysisModel m = viewModel();
    DisplayState s;
    s.showMode(2);
    s.showDisplacementData = false; // hides result texts, never the mode texts
    EXPECT_EQ(lines(&m, s, 0), (std::vector<std::string>{
                                   "Mode2   2.000000 Hz", " | 固有ベクトル | 寄与率[%]",
                                   "x [m] | -0.400000 | 16.00", "y [m] | -0.300000 | 9.00",
                                   "z [m] | -0.200000 | 4.00", "Rx [rad] | -0.100000 | 1.00",
                                   "Ry [rad] | 0.800000 | 64.00", "Rz [rad] | 0.100000 | 1.00"}));
    // The values line up at the right edges of their columns.
    const Overlay o = buildOverlay(&m, s, 0, kHeight);
    EXPECT_TRUE(o.texts[3].alignRight && o.texts[3].x == o.texts[6].x);
    s.modeNumber = 0; // no such mode: no texts, no crash
    EXPECT_TRUE(lines(&m, s, 0).empty());
    EXPECT_TRUE(lines(nullptr, s, 0).empty());
}

TEST(Overlay, StaticTextsForNothingAndForEachPickedObject) {
    AnalysisModel m = viewModel();
    DisplayState s;
    s.showStaticLoad(0);
    const std::string name = "荷重名: weight";
    const std::string xyz = " | x | y | z";
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{name, "表示オブジェクトを選択して下さい"}));
    EXPECT_EQ(lines(&m, s, kNothingPicked), (std::vector<std::string>{name}));
    EXPECT_EQ(lines(&m, s, 1), (std::vector<std::string>{
                                   name, "<質量要素>", xyz, "変位 | 1 mm | -2 mm | 500 µm",
                                   "回転 | 10 mrad | 0 rad | -20 mrad", "絶対変位 | 2.291 mm"}));
    const std::vector<std::string> spring = lines(&m, s, 3);
    ASSERT_EQ(spring.size(), 7u);
    EXPECT_EQ(spring[1], "<ばね要素> rear");
    EXPECT_TRUE(spring[5].starts_with("ばね変位(ﾛｰｶﾙ) | ")) << spring[5];
    // A small turn about z at the centre of gravity moves the point along a circle.
    const double t = 0.01;
    m.staticResults = Matrix(1, 6, {0, 0, 0, 0, 0, t});
    const double dx = 0.4 * (std::cos(t) - 1) - 0.1 * std::sin(t);
    const double dy = 0.4 * std::sin(t) + 0.1 * (std::cos(t) - 1);
    const std::vector<std::string> point = lines(&m, s, 6);
    ASSERT_EQ(point.size(), 6u);
    EXPECT_EQ(std::vector(point.begin() + 1, point.begin() + 5),
              (std::vector<std::string>{"<観測点> radiator", xyz,
                                        "変位 | " + engineering(dx, "m") + " | " +
                                            engineering(dy, "m") + " | 0 m",
                                        "回転 | 0 rad | 0 rad | 10 mrad"}));

    s.showDisplacementData = false;
    EXPECT_TRUE(lines(&m, s, 6).empty());
    // A missing result row keeps the name and prints no numbers.
    s.showDisplacementData = true;
    m.staticResults = Matrix();
    EXPECT_EQ(lines(&m, s, 1), (std::vector<std::string>{name}));
}

TEST(Overlay, DynamicTextsAreAmplitudesUnderTheFrequency) {
    const AnalysisModel m = viewModel();
    DisplayState s;
    s.showDynamicLoad(0);
    const std::string name = "荷重名: unbalance", freq = "周波数: 25 Hz";
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{name, freq, "表示オブジェクトを選択して下さい"}));
    const std::vector<std::string> picked = lines(&m, s, 1);
    ASSERT_EQ(picked.size(), 7u);
    EXPECT_EQ(std::tuple(picked[2], picked[4]),
              std::tuple("<質量要素>", "変位振幅 | 2 mm | 1 mm | 0 m"));
}

TEST(Overlay, StaleResultsInGreyUnderTheirMark) {
    const AnalysisModel m = viewModel();
    DisplayState s;
    s.showMode(1);
    const Overlay o = buildOverlay(&m, s, 0, kHeight, true);
    ASSERT_GT(o.texts.size(), 8u);
    EXPECT_EQ(o.texts[0].text, "古い結果（計算後にモデルが変更されています）");
    EXPECT_EQ(o.texts[1].text.substr(0, 5), "Mode1");
    for (const OverlayText& t : o.texts)
        EXPECT_TRUE(!t.onPanel || t.colour.r < 1.0f) << t.text;
    for (const OverlayText& t : buildOverlay(&m, s, 0, kHeight).texts)
        EXPECT_EQ(t.colour, (Rgb{1, 1, 1}));
}

TEST(Overlay, EngineeringNotation) {
    const struct {
        double value;
        const char* unit;
        const char* text;
    } cases[] = {
        {0.0, "m", "0 m"},        {0.001234, "m", "1.234 mm"}, {-5.67e-5, "rad", "-56.7 µrad"},
        {999.96e-6, "m", "1 mm"}, {12.5, "m", "12.5 m"},       {3.2e4, "N", "32 kN"},
        {1e-17, "m", "0.01 fm"},  {2e12, "N", "2000 GN"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(engineering(c.value, c.unit), c.text) << c.value;
    EXPECT_EQ(engineering(std::nan(""), "m").substr(0, 3), "nan");
}

TEST(Overlay, SpringsWithFrequencyTablesAreMarked) {
    AnalysisModel m = viewModel(); // "front" (id 2) on the characteristic, "rear" on none
    DisplayState s;
    EXPECT_TRUE(lines(&m, s, 0).empty());
    m.springCharacteristics[0].frequencyTable = {{1, {1, 1, 1}, {0, 0, 0}},
                                                 {10, {2, 2, 2}, {0.1, 0.1, 0.1}}};
    EXPECT_EQ(lines(&m, s, 0),
              (std::vector<std::string>{"周波数特性のあるばね要素", "front ※周波数特性"}));
    s.showStaticLoad(0);
    const std::vector<std::string> front = lines(&m, s, 2);
    ASSERT_GE(front.size(), 2u);
    EXPECT_EQ(front[1], "<ばね要素> front ※周波数特性");
    EXPECT_EQ(lines(&m, s, 3)[1], "<ばね要素> rear");
}

TEST(ShapeCache, OneWireframePerExactSizeWithTheQuadricsLines) {
    ShapeCache cache;
    const LineShape& box = cache.box(0.1f);
    EXPECT_EQ(&cache.box(0.1f), &box); // a second spring of the same size
    EXPECT_EQ(cache.size(), 1u);
    cache.box(0.1); // not exactly the float 0.1
    EXPECT_EQ(cache.size(), 2u);

    struct Case {
        const LineShape& shape;
        std::size_t lines;
        double extent; ///< largest |coordinate|
    };
    const Case cases[] = {
        {cache.box(2.0), 12, 1.0},
        {cache.sphere(0.5), 15 * 16 + 16 * 16, 0.5}, // circles of latitude, meridians
        {cache.cone(0.02, 0.05), 10 * 15 + 15 * 10, 0.05},
        {cache.axes(0.5), 3, 0.5},
        {cache.grid(), 102, 10.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.shape.lines.size(), 2 * c.lines);
        float extent = 0.0f;
        for (float p : c.shape.positions)
            extent = std::max(extent, std::fabs(p));
        EXPECT_NEAR(extent, c.extent, 1e-6);
        for (std::uint32_t index : c.shape.lines)
            EXPECT_LT(index, c.shape.vertexCount());
    }
    // Only the axes carry colours of their own: x red, y green, z blue.
    const LineShape& axes = cache.axes(0.5);
    ASSERT_EQ(axes.colours.size(), 3 * axes.vertexCount());
    EXPECT_EQ(axes.colours[3 * axes.lines[2] + 1], 1.0f);
    EXPECT_TRUE(cache.sphere(0.5).colours.empty());
}

TEST(LineBatch, ObjectsKeepTheirNamesColoursAndPlaces) {
    const AnalysisModel m = quav::testing::viewModel();
    Scene scene;
    buildScene(scene, &m, DisplayState{}, ViewCamera{}, false);
    ShapeCache cache;
    LineBatch batch;
    batch.build(scene.items, cache, nullptr);
    // World (name 0), springs 2 and 3, loads 4 and 5, point 6, then the body 1.
    std::vector<int> names;
    for (const LineBatch::Range& r : batch.ranges)
        names.push_back(r.name);
    EXPECT_EQ(names, (std::vector<int>{0, 2, 3, 4, 5, 6, 1}));
    EXPECT_FALSE(batch.ranges[0].loadsName);
    const LineBatch::Range& rear = batch.ranges[2];
    EXPECT_EQ(rear.count, 2u * (3 + 12)); // its axes and its box
    std::uint32_t covered = 0;
    for (const LineBatch::Range& r : batch.ranges)
        covered += r.count;
    EXPECT_EQ(covered, batch.lines.size());
    // The rear spring's box (unbound: white) lies around its position.
    for (std::uint32_t i = rear.first + 6; i < rear.first + rear.count; ++i) {
        const std::uint32_t v = batch.lines[i];
        EXPECT_NEAR(batch.positions[3 * v], -0.35, 0.1 * 0.5 + 1e-6);
        EXPECT_NEAR(batch.positions[3 * v + 2], 0.0, 0.05 + 1e-6);
        EXPECT_EQ(batch.colours[3 * v + 2], 1.0f);
    }
    // Building again reuses everything: the same lines.
    const std::vector<std::uint32_t> lines = batch.lines;
    batch.build(scene.items, cache, nullptr);
    EXPECT_EQ(batch.lines, lines);
}

TEST(LineBatch, ImportedOutlinePlacedOnTheBody) {
    DxfGeometry g;
    g.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1, 0}, // a face with a repeated corner
                  {5, 5, 5}, {6, 6, 6},                       // a "face" of two corners
                  {0, 0, 0}, {0, 0, 2}, {9, 9, 9}};           // lines: one pair and one left over
    g.primitives = {
        {DxfPrimitive::Polygon, 4, 0}, {DxfPrimitive::Polygon, 2, 4}, {DxfPrimitive::Lines, 3, 6}};
    DxfPlacement p;
    p.x = 1.0; // the drawing's point (1, 0, 0) is the centre of gravity
    p.scale = 2.0;
    p.angleZ = 90.0;
    const LineShape shape = geometryShape(g, p);
    EXPECT_EQ(shape.lines.size(), 2u * (4 + 1));
    // (1, 0, 0) turned to (0, 1, 0), scaled by 2, less 2 x (1, 0, 0).
    const std::uint32_t corner = shape.lines[2];
    EXPECT_NEAR(shape.positions[3 * corner], -2.0, 1e-5);
    EXPECT_NEAR(shape.positions[3 * corner + 1], 2.0, 1e-5);
}

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
