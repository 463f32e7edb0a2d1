// Feeds arbitrary bytes to the DXF reader. It must end on any input, read the
// same drawing from a stream as from memory, and hand out only primitives of
// one to four finite vertices that lie inside the vertex list.
#include "exchange/DxfReader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quav;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const DxfGeometry g = readDxf(std::string_view(text));
    std::istringstream in(text);
    const DxfGeometry s = readDxf(in);
    if (s.primitives.size() != g.primitives.size() || s.vertices.size() != g.vertices.size())
        __builtin_trap();
    std::size_t next = 0;
    for (const DxfPrimitive& p : g.primitives) {
        if (p.count < 1 || p.count > 4 || p.first != next ||
            (p.kind != DxfPrimitive::Polygon && p.kind != DxfPrimitive::Lines))
            __builtin_trap();
        next += p.count;
    }
    if (next != g.vertices.size())
        __builtin_trap();
    for (std::size_t i = 0; i < g.vertices.size(); ++i) {
        const DxfVertex& a = g.vertices[i];
        const DxfVertex& b = s.vertices[i];
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(a.z) || a.x != b.x ||
            a.y != b.y || a.z != b.z)
            __builtin_trap();
    }
    return 0;
}
