#pragma once

// A scene as one set of lines: every solid of the scene is a wireframe, so a
// frame is a list of coloured line segments in scene coordinates. Building it
// here, without GL, lets the renderer draw a whole frame with one call (a
// software renderer spends most of a frame on per-call work otherwise) and pick
// object by object from the same data.

#include "exchange/DxfReader.h"
#include "view/Scene.h"

#include <cstdint>
#include <map>
#include <span>
#include <utility>
#include <vector>

namespace quav {

/// The wireframe of one solid in its own frame: vertices and the pairs of
/// vertex indices that make its lines. `colours` holds one RGB per vertex when
/// the solid has colours of its own (the axes); empty: the item's colour.
/// Solids also have their surface as triangles, never drawn but picked, so a
/// click inside a box hits it and not only a click on its edges.
struct LineShape {
    std::vector<float> positions; ///< x, y, z per vertex
    std::vector<float> colours;   ///< r, g, b per vertex, or empty
    std::vector<std::uint32_t> lines;
    std::vector<std::uint32_t> triangles; ///< vertex index triples of the surface
    std::size_t vertexCount() const { return positions.size() / 3; }
};

/// The wireframes of the primitive solids, made once for each exact set of
/// parameters: a model with many springs of one size makes one box.
class ShapeCache {
public:
    /// Sphere of radius r: 16 slices, 16 stacks, its axis along z; the circles of
    /// latitude and the meridians, as a line-style quadric draws them.
    const LineShape& sphere(double radius);
    /// Cube of edge s centred on the origin: its twelve edges.
    const LineShape& box(double edge);
    /// Cone along +z, base radius r at z = 0, apex at z = h: 15 slices, 10 stacks.
    const LineShape& cone(double baseRadius, double height);
    /// x (red), y (green), z (blue) from the origin, of length l.
    const LineShape& axes(double length);
    /// The ground grid in y = 0: 51 lines along x and 51 along z, 0.4 apart.
    const LineShape& grid();

    /// Number of wireframes made so far.
    std::size_t size() const { return shapes_.size(); }

private:
    enum Kind { Sphere, Box, Cone, Axes, Grid };
    using Key = std::pair<Kind, std::pair<double, double>>;
    /// The wireframe under `key`, made by `make` the first time.
    template <class Make> const LineShape& cached(const Key& key, Make make);
    std::map<Key, LineShape> shapes_;
};

/// The wireframe of an imported drawing placed on the mass element: faces as
/// closed outlines (a face of fewer than three corners draws nothing, as a
/// polygon would not), lines as separate segments.
LineShape geometryShape(const DxfGeometry& geometry, const DxfPlacement& placement);

/// One frame's lines. Items keep their order; `ranges` says which lines and
/// surface triangles belong to which pick name, for the selection render.
struct LineBatch {
    struct Range {
        int name = 0;
        bool loadsName = true;
        std::uint32_t first = 0;         ///< first index in `lines`
        std::uint32_t count = 0;         ///< number of indices
        std::uint32_t firstTriangle = 0; ///< first index in `triangles`
        std::uint32_t triangleCount = 0; ///< number of indices
    };
    std::vector<float> positions; ///< scene coordinates, x, y, z per vertex
    std::vector<float> colours;   ///< r, g, b per vertex
    std::vector<std::uint32_t> lines;
    std::vector<std::uint32_t> triangles;
    std::vector<Range> ranges;

    /// Fills the batch from a scene's items (reusing its storage). `geometry` is
    /// drawn for Shape::Geometry items; nullptr draws nothing there. The
    /// surfaces' triangles only when `surfaces` (for picking).
    void build(std::span<const DrawItem> items, ShapeCache& shapes, const LineShape* geometry,
               bool surfaces = false);
};

} // namespace quav
