// What a frame draws: the shapes' lines, the batch of a scene, the reuse of frames.
#include "view/LineBatch.h"
#include "view/FrameReuse.h"

#include "ViewTestModels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace quav;

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
