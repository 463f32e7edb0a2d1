#include "exchange/DxfReader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace quav;

namespace {

/// A drawing from "code value" pairs separated by spaces, one group member a line.
std::string dxf(const std::string& pairs, const char* end = "\n") {
    std::istringstream in(pairs);
    std::string s, code, value;
    while (in >> code >> value)
        s += code + end + value + end;
    return s;
}

/// The primitives as "P:x,y,z x,y,z" (P polygon, L lines), for comparison.
std::vector<std::string> shapes(const DxfGeometry& g) {
    std::vector<std::string> out;
    for (const DxfPrimitive& p : g.primitives) {
        std::string s = p.kind == DxfPrimitive::Polygon ? "P:" : "L:";
        for (unsigned i = 0; i < p.count; ++i) {
            const DxfVertex& v = g.vertices[p.first + i];
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%s%g,%g,%g", i ? " " : "", v.x, v.y, v.z);
            s += buffer;
        }
        out.push_back(s);
    }
    return out;
}

/// Both readers (text in memory, stream) must agree.
std::vector<std::string> read(const std::string& text) {
    std::istringstream in(text);
    const std::vector<std::string> fromStream = shapes(readDxf(in));
    const std::vector<std::string> fromText = shapes(readDxf(std::string_view(text)));
    EXPECT_EQ(fromStream, fromText);
    return fromText;
}

const std::string kFace = "0 SECTION 2 ENTITIES 0 3DFACE ";

} // namespace

TEST(DxfReader, FacesLinesAndTheirVertices) {
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> expected;
    };
    const std::string pad(2000, ' ');
    const Case cases[] = {
        {"a face with three distinct corners keeps its repeated fourth",
         dxf(kFace + "8 body 10 0 20 0 30 0 11 1 21 0 31 0 12 1 22 1 32 0.5 13 1 23 1 33 0.5 "
                     "0 ENDSEC 0 EOF"),
         {"P:0,0,0 1,0,0 1,1,0.5 1,1,0.5"}},
        {"a LINE after a 3DFACE is collected as a face",
         dxf(kFace + "10 0 20 0 30 0 0 LINE 10 2 20 3 30 4 11 5 21 6 31 7 0 ENDSEC 0 EOF"),
         {"P:0,0,0", "P:2,3,4 5,6,7"}},
        {"3DLINE draws separate lines; x and y alone make a 2-D vertex",
         dxf("0 SECTION 2 ENTITIES 0 3DLINE 10 1 20 2 11 3 21 4 12 9 0 ENDSEC"),
         {"L:1,2,0 3,4,0"}},
        {"a component given twice starts the next primitive",
         dxf(kFace + "10 1 20 1 10 2 20 2 0 ENDSEC"),
         {"P:1,1,0", "P:2,2,0"}},
        {"no ENTITIES section: nothing", dxf("0 SECTION 2 HEADER 0 ENDSEC 0 EOF"), {}},
        {"TABLES is skipped up to its first ENDTAB, the rest up to the next SECTION",
         dxf("0 SECTION 2 TABLES 0 TABLE 10 9 20 9 0 ENDTAB 10 8 20 8 0 TABLE 0 ENDTAB 0 ENDSEC " +
             kFace + "10 1 20 2 30 3 0 ENDSEC"),
         {"P:1,2,3"}},
        {"names compare exactly: lower case is no section",
         dxf("0 SECTION 2 entities 0 3DFACE 10 1 20 1 0 ENDSEC"),
         {}},
        {"EOF ends the file; a face not closed by a text group is dropped",
         dxf(kFace + "10 1 20 1 1 x 10 5 20 5 0 EOF " + kFace + "10 7 20 7 0 ENDSEC"),
         {"P:1,1,0"}},
        {"CR LF line ends, padded values and long lines",
         "  0\r\nSECTION" + pad + "\r\n" +
             dxf("2 ENTITIES 999 " + std::string(5000, 'c') + " 0 3DFACE", "\r\n") + "10\r\n1" +
             pad + "\r\n20" + pad + "\r\n2\r\n" + dxf("30 3 0 ENDSEC", "\r\n"),
         {"P:1,2,3"}},
        {"an overflowing code skips its value; numbers out of range are left out",
         dxf(kFace + "99999999999999999999 ENDSEC 4294967306 9 10 1e60 20 1 30 1 11 1 21 2 31 3 "
                     "0 ENDSEC"),
         {"P:1,2,3"}},
        {"no section at all, or an empty text", "junk\n\n1\n", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.text), c.expected) << c.what;
}
