#pragma once

// The outline of the real body read from a DXF drawing: faces and lines that
// the 3-D view draws in place of the mass element's box. Display only: never
// part of the model, its file or a calculation.

#include <cstdint>
#include <istream>
#include <string_view>
#include <vector>

namespace quav {

/// A vertex in file units. A 2-D vertex (only x and y given) has z = 0.
struct DxfVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

/// One face (a polygon) or one set of separate lines, with its vertices
/// vertices[first] ... vertices[first + count - 1] of the geometry.
struct DxfPrimitive {
    enum Kind : std::uint8_t { Polygon = 1, Lines = 2 };
    Kind kind = Polygon;
    std::uint8_t count = 0; ///< 1 to 4
    std::uint32_t first = 0;
};

struct DxfGeometry {
    std::vector<DxfPrimitive> primitives;
    std::vector<DxfVertex> vertices;
    bool empty() const { return primitives.empty(); }
};

/// Reads the drawing: the ENTITIES section's 3DFACE and 3DLINE entities (any
/// other entity's vertices are collected as the last face or line kind), with
/// TABLES skipped. Never fails: groups it cannot read are skipped and reading
/// stops at the end of the text or at "EOF". Lines of any length are read
/// whole; only their first 1023 characters count.
DxfGeometry readDxf(std::istream& in);
DxfGeometry readDxf(std::string_view text);

/// Where the drawing sits on the mass element: the point of the drawing (file
/// units) that is the centre of gravity, the turns about x, y and z [deg] and
/// the scale from file units to metres.
struct DxfPlacement {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double angleX = 0.0;
    double angleY = 0.0;
    double angleZ = 0.0;
    double scale = 1.0;
};

} // namespace quav
