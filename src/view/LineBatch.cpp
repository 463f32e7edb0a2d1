#include "view/LineBatch.h"

#include "analysis/Constants.h"

#include <cmath>

namespace quav {

namespace {

/// A grid of vertices on rings: ring j (0 ... rings - 1), slice i (0 ... slices - 1)
/// is vertex j * slices + i.
std::uint32_t ringVertex(int j, int i, int slices) {
    return static_cast<std::uint32_t>(j * slices + i % slices);
}

class ShapeWriter {
public:
    explicit ShapeWriter(LineShape& shape) : s_(shape) {}

    std::uint32_t vertex(double x, double y, double z) {
        s_.positions.insert(s_.positions.end(),
                            {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
        return static_cast<std::uint32_t>(s_.vertexCount() - 1);
    }
    void line(std::uint32_t a, std::uint32_t b) { s_.lines.insert(s_.lines.end(), {a, b}); }
    void triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        s_.triangles.insert(s_.triangles.end(), {a, b, c});
    }
    /// The quad between rings j and j + 1 from slice i to i + 1.
    void ringQuad(int j, int i, int slices) {
        triangle(ringVertex(j, i, slices), ringVertex(j + 1, i, slices),
                 ringVertex(j + 1, i + 1, slices));
        triangle(ringVertex(j, i, slices), ringVertex(j + 1, i + 1, slices),
                 ringVertex(j, i + 1, slices));
    }

private:
    LineShape& s_;
};

LineShape makeSphere(double radius) {
    constexpr int slices = 16, stacks = 16;
    LineShape s;
    ShapeWriter w(s);
    for (int j = 0; j <= stacks; ++j) {
        const double polar = kTwoPi / 2 * j / stacks;
        const double ring = j == 0 || j == stacks ? 0.0 : radius * std::sin(polar);
        for (int i = 0; i < slices; ++i) {
            const double a = kTwoPi * i / slices;
            w.vertex(ring * std::sin(a), ring * std::cos(a), radius * std::cos(polar));
        }
    }
    for (int j = 1; j < stacks; ++j) // circles of latitude, not the poles
        for (int i = 0; i < slices; ++i)
            w.line(ringVertex(j, i, slices), ringVertex(j, i + 1, slices));
    for (int i = 0; i < slices; ++i) // meridians
        for (int j = 0; j < stacks; ++j)
            w.line(ringVertex(j, i, slices), ringVertex(j + 1, i, slices));
    for (int j = 0; j < stacks; ++j)
        for (int i = 0; i < slices; ++i)
            w.ringQuad(j, i, slices);
    return s;
}

LineShape makeCone(double baseRadius, double height) {
    constexpr int slices = 15, stacks = 10;
    LineShape s;
    ShapeWriter w(s);
    for (int j = 0; j <= stacks; ++j) {
        const double r = baseRadius * (1.0 - static_cast<double>(j) / stacks);
        for (int i = 0; i < slices; ++i) {
            const double a = kTwoPi * i / slices;
            w.vertex(r * std::sin(a), r * std::cos(a), height * j / stacks);
        }
    }
    for (int j = 0; j < stacks; ++j) // rings; the one at the apex has no length
        for (int i = 0; i < slices; ++i)
            w.line(ringVertex(j, i, slices), ringVertex(j, i + 1, slices));
    for (int i = 0; i < slices; ++i)
        for (int j = 0; j < stacks; ++j)
            w.line(ringVertex(j, i, slices), ringVertex(j + 1, i, slices));
    for (int j = 0; j < stacks; ++j)
        for (int i = 0; i < slices; ++i)
            w.ringQuad(j, i, slices);
    return s;
}

LineShape makeBox(double edge) {
    const double h = edge / 2.0;
    LineShape s;
    ShapeWriter w(s);
    for (int c = 0; c < 8; ++c) // corner c has bit 0 for +x, bit 1 for +y, bit 2 for +z
        w.vertex(c & 1 ? h : -h, c & 2 ? h : -h, c & 4 ? h : -h);
    for (std::uint32_t c = 0; c < 8; ++c) {
        for (std::uint32_t bit : {1u, 2u, 4u}) {
            if (!(c & bit))
                w.line(c, c | bit);
        }
    }
    // Each face: the corners with one bit fixed, in cyclic order of the other two.
    for (std::uint32_t bit : {1u, 2u, 4u}) {
        const std::uint32_t a = bit == 1 ? 2 : 1, b = bit == 4 ? 2 : 4;
        for (std::uint32_t side : {0u, bit}) {
            const std::uint32_t quad[4] = {side, side | a, side | a | b, side | b};
            w.triangle(quad[0], quad[1], quad[2]);
            w.triangle(quad[0], quad[2], quad[3]);
        }
    }
    return s;
}

LineShape makeAxes(double length) {
    LineShape s;
    ShapeWriter w(s);
    const float rgb[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int a = 0; a < 3; ++a) {
        const std::uint32_t origin = w.vertex(0, 0, 0);
        const std::uint32_t end =
            w.vertex(a == 0 ? length : 0, a == 1 ? length : 0, a == 2 ? length : 0);
        w.line(origin, end);
        for (int k = 0; k < 2; ++k)
            s.colours.insert(s.colours.end(), rgb[a], rgb[a] + 3);
    }
    return s;
}

LineShape makeGrid() {
    LineShape s;
    ShapeWriter w(s);
    for (int i = 0; i <= 50; ++i) {
        const double at = -10.0 + 0.4 * i;
        w.line(w.vertex(10.0, 0.0, at), w.vertex(-10.0, 0.0, at));
    }
    for (int i = 0; i <= 50; ++i) {
        const double at = -10.0 + 0.4 * i;
        w.line(w.vertex(at, 0.0, -10.0), w.vertex(at, 0.0, 10.0));
    }
    return s;
}

} // namespace

template <class Make> const LineShape& ShapeCache::cached(const Key& key, Make make) {
    auto [it, made] = shapes_.try_emplace(key);
    if (made)
        it->second = make();
    return it->second;
}

const LineShape& ShapeCache::sphere(double radius) {
    return cached({Sphere, {radius, 0.0}}, [&] { return makeSphere(radius); });
}

const LineShape& ShapeCache::box(double edge) {
    return cached({Box, {edge, 0.0}}, [&] { return makeBox(edge); });
}

const LineShape& ShapeCache::cone(double baseRadius, double height) {
    return cached({Cone, {baseRadius, height}}, [&] { return makeCone(baseRadius, height); });
}

const LineShape& ShapeCache::axes(double length) {
    return cached({Axes, {length, 0.0}}, [&] { return makeAxes(length); });
}

const LineShape& ShapeCache::grid() {
    return cached({Grid, {0.0, 0.0}}, [] { return makeGrid(); });
}

LineShape geometryShape(const DxfGeometry& geometry, const DxfPlacement& placement) {
    const Mat4 m = geometryPlacement(placement);
    LineShape s;
    ShapeWriter w(s);
    for (const DxfPrimitive& p : geometry.primitives) {
        const bool face = p.kind == DxfPrimitive::Polygon;
        if (face && p.count < 3)
            continue;
        const std::uint32_t first = static_cast<std::uint32_t>(s.vertexCount());
        for (unsigned i = 0; i < p.count; ++i) {
            const DxfVertex& v = geometry.vertices[p.first + i];
            const Point3 at = m.apply({v.x, v.y, v.z});
            w.vertex(at.x, at.y, at.z);
        }
        if (face) {
            for (unsigned i = 0; i < p.count; ++i)
                w.line(first + i, first + (i + 1) % p.count);
        } else {
            for (unsigned i = 0; i + 1 < p.count; i += 2)
                w.line(first + i, first + i + 1);
        }
    }
    return s;
}

void LineBatch::build(std::span<const DrawItem> items, ShapeCache& shapes,
                      const LineShape* geometry, bool surfaces) {
    positions.clear();
    colours.clear();
    lines.clear();
    triangles.clear();
    ranges.clear();
    LineShape line; // a Line item's own two vertices
    ShapeWriter lineWriter(line);
    lineWriter.vertex(0, 0, 0);
    lineWriter.vertex(0, 0, 0);
    lineWriter.line(0, 1);

    for (const DrawItem& item : items) {
        const LineShape* shape = nullptr;
        switch (item.shape) {
        case Shape::Axes:
            shape = &shapes.axes(item.size);
            break;
        case Shape::Grid:
            shape = &shapes.grid();
            break;
        case Shape::Line:
            line.positions = {static_cast<float>(item.from.x), static_cast<float>(item.from.y),
                              static_cast<float>(item.from.z), static_cast<float>(item.to.x),
                              static_cast<float>(item.to.y),   static_cast<float>(item.to.z)};
            shape = &line;
            break;
        case Shape::Box:
            shape = &shapes.box(item.size);
            break;
        case Shape::Sphere:
            shape = &shapes.sphere(item.size);
            break;
        case Shape::Cone:
            shape = &shapes.cone(item.size, item.height);
            break;
        case Shape::Geometry:
            shape = geometry;
            break;
        }
        // A range per object: the items that follow it without loading a name join it.
        if (item.loadsName || ranges.empty())
            ranges.push_back({item.name, item.loadsName, static_cast<std::uint32_t>(lines.size()),
                              0, static_cast<std::uint32_t>(triangles.size()), 0});
        if (!shape)
            continue;
        const auto base = static_cast<std::uint32_t>(positions.size() / 3);
        const Mat4& m = item.transform;
        const std::size_t n = shape->vertexCount();
        for (std::size_t v = 0; v < n; ++v) {
            const float* p = &shape->positions[3 * v];
            const Point3 at = m.apply({p[0], p[1], p[2]});
            positions.insert(positions.end(), {static_cast<float>(at.x), static_cast<float>(at.y),
                                               static_cast<float>(at.z)});
            if (shape->colours.empty())
                colours.insert(colours.end(), {item.colour.r, item.colour.g, item.colour.b});
            else
                colours.insert(colours.end(), &shape->colours[3 * v], &shape->colours[3 * v + 3]);
        }
        for (std::uint32_t index : shape->lines)
            lines.push_back(base + index);
        ranges.back().count += static_cast<std::uint32_t>(shape->lines.size());
        if (!surfaces)
            continue;
        for (std::uint32_t index : shape->triangles)
            triangles.push_back(base + index);
        ranges.back().triangleCount += static_cast<std::uint32_t>(shape->triangles.size());
    }
}

} // namespace quav
