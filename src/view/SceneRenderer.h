#pragma once

// Draws a Scene with legacy OpenGL 1.1 and GLU, and picks in it with the GL
// selection mode. No Qt: the host makes the context current before each call.

#include "view/Scene.h"

#include <map>
#include <memory>
#include <utility>

struct GLUquadric;

namespace quav {

/// Primitive solids as display lists, cached by their exact parameters: a model
/// with many springs of one size compiles one box.
class ShapeCache {
public:
    ShapeCache() = default;
    ShapeCache(const ShapeCache&) = delete;
    ShapeCache& operator=(const ShapeCache&) = delete;

    void sphere(double radius);
    void box(double edge);
    void cone(double baseRadius, double height);
    /// The ground grid: 51 lines along x and 51 along z, 0.4 apart, in y = 0.
    void grid();

    /// Number of lists compiled so far (for tests of the cache).
    int listCount() const;
    /// Deletes every list; the context they belong to must be current.
    void release();

private:
    using Key = std::pair<double, double>;
    /// Calls the list for `key` of a kind, compiling it first with `draw` if new.
    template <class Draw> void call(std::map<Key, unsigned>& lists, Key key, Draw draw);
    GLUquadric* quadric();

    std::map<Key, unsigned> spheres_;
    std::map<Key, unsigned> boxes_;
    std::map<Key, unsigned> cones_;
    std::map<Key, unsigned> grids_;
    GLUquadric* quadric_ = nullptr;
};

class SceneRenderer {
public:
    /// The GL state of the view: black background, depth test, every solid a
    /// wireframe. Call once the context is current, also for a new context.
    void initialise();
    /// Viewport and projection of a w x h pixel view; a zero height keeps the
    /// previous projection.
    void resize(int width, int height);
    /// Clears and draws one frame.
    void render(const Scene& scene, const ViewCamera& camera);
    /// Renders the scene in selection mode with a 5 x 5 pixel pick region at
    /// window position (x, y) (from the top left) and returns the picked name
    /// (see chooseHit).
    int pick(const Scene& scene, const ViewCamera& camera, int x, int y);

    /// The imported outline drawn for Shape::Geometry, placed on the mass element;
    /// nullptr drops it. Its lists are compiled when it is next drawn, and again
    /// for a new context.
    void setGeometry(std::shared_ptr<const DxfGeometry> geometry, const DxfPlacement& placement);
    bool hasGeometry() const { return geometry_ != nullptr; }

    ShapeCache& shapes() { return shapes_; }
    /// Frees every GL object; the context must be current.
    void release();

private:
    void setProjection();
    void drawItems(const Scene& scene, const ViewCamera& camera, bool selecting);
    void drawItem(const DrawItem& item);
    void drawGeometry();
    void releaseGeometryLists();

    ShapeCache shapes_;
    std::shared_ptr<const DxfGeometry> geometry_;
    Mat4 placement_;
    unsigned geometryList_ = 0; ///< the drawing in file units
    unsigned placedList_ = 0;   ///< the placement, then the drawing
    int width_ = 1;
    int height_ = 1;
};

} // namespace quav
