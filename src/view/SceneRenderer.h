#pragma once

// Draws a Scene with legacy OpenGL (1.1 vertex arrays, GLU for the camera) and
// picks in it with the GL selection mode. No Qt: the host makes the context
// current before each call.

#include "view/LineBatch.h"
#include "view/Scene.h"
#include "view/ViewControl.h"

#include <memory>

namespace quav {

class SceneRenderer {
public:
    /// The GL state of the view: black background, depth test. Call with the
    /// context current, also for a new context.
    void initialise();
    /// Viewport and projection of a w x h pixel view; a zero height keeps the
    /// previous projection.
    void resize(int width, int height);
    /// Draws scene items into the frame, after clearing it when `clear` (else over
    /// the picture and depths the framebuffer holds). `topRowFirst`: the picture
    /// is drawn upside down in GL's terms, so that reading the framebuffer row by
    /// row from the bottom gives the rows from the top, as images store them.
    void render(std::span<const DrawItem> items, const ViewCamera& camera, bool topRowFirst = false,
                bool clear = true);
    /// Renders the scene in selection mode, solids with their surfaces, with a
    /// `size` x `size` pixel pick region centred on window position (x, y) (from
    /// the top left), and returns every object hit (see selectionHits).
    std::vector<PickHit> pick(const Scene& scene, const ViewCamera& camera, int x, int y, int size);

    /// The imported outline drawn for Shape::Geometry, placed on the mass element;
    /// nullptr drops it.
    void setGeometry(std::shared_ptr<const DxfGeometry> geometry, const DxfPlacement& placement);
    bool hasGeometry() const { return geometry_ != nullptr; }
    /// Changes with each setGeometry: the outline's pixels are not in the scene.
    unsigned geometryVersion() const { return geometryVersion_; }

    const ShapeCache& shapes() const { return shapes_; }

private:
    void setProjection(bool topRowFirst);
    void drawBatch(std::span<const DrawItem> items, const ViewCamera& camera, bool selecting);

    ShapeCache shapes_;
    LineBatch batch_;
    std::shared_ptr<const DxfGeometry> geometry_;
    LineShape placedGeometry_;
    unsigned geometryVersion_ = 0;
    int width_ = 1;
    int height_ = 1;
};

} // namespace quav
