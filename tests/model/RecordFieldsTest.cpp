#include "model/RecordFields.h"
#include "model/RecordArchive.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace quav;

namespace {

/// Every kind of slot: reserved, a text, one element of a matrix, a later format's field.
struct Toy {
    int id = 0;
    std::string name;
    Matrix v = Matrix::column(3);
    double added = 0.5;
    std::array<double, 3> w{};
};

std::vector<Field<Toy>> toyFields() {
    return {
        field("id", &Toy::id).file(1),
        field("name", &Toy::name).file(2),
        field("v", &Toy::v, 3),
        field({}, &Toy::v, 3).onlyElement(2).file(3),
        field("added", &Toy::added).file(4, 250),
        reserved<Toy>(0),
    };
}

const RecordLayout<Toy>& toyLayout() {
    static const RecordLayout<Toy> layout(
        [](const Toy& t) { return "玩具（ID " + std::to_string(t.id) + "）"; }, toyFields());
    return layout;
}

std::string written(const Toy& t, int version) {
    ArchiveWriter out;
    writeRecord(out, toyLayout(), t, version);
    EXPECT_TRUE(out.ok()) << out.error();
    return out.takeBytes();
}

} // namespace

TEST(RecordFields, SlotsGoInFileOrderAndOnlyFromTheFormatThatBroughtThem) {
    ASSERT_EQ(toyLayout().check(), "");
    Toy t;
    t.id = 7;
    t.name = "ab";
    t.v = Matrix(3, 1, {1.0, 2.0, 3.0});
    t.added = 9.0;

    // reserved, id, name, v[2], then `added` from format 250 on.
    ArchiveWriter expected;
    expected.writeI32(0);
    expected.writeI32(7);
    expected.writeString("ab", "");
    expected.writeF64(3.0);
    const std::string old = expected.bytes();
    expected.writeF64(9.0);
    EXPECT_EQ(written(t, 249), old);
    EXPECT_EQ(written(t, 250), expected.bytes());
    EXPECT_EQ(toyLayout().fixedFileBytes(249), 16u);
    EXPECT_EQ(toyLayout().minFileBytes(249), 17u) << "an empty text keeps its length byte";
    EXPECT_EQ(toyLayout().minFileBytes(250), 25u);

    for (const int version : {249, 250}) {
        const std::string bytes = written(t, version);
        ArchiveReader in(bytes);
        Toy back;
        readRecord(in, toyLayout(), back, version);
        ASSERT_TRUE(in.ok()) << in.error();
        EXPECT_EQ(in.remaining(), 0u) << version;
        EXPECT_EQ(std::tuple(back.id, back.name, back.v[0], back.v[2], back.added),
                  std::tuple(7, std::string("ab"), 0.0, 3.0, version >= 250 ? 9.0 : 0.5))
            << version;
    }

    // A matrix shorter than the slot's element still writes its slot.
    t.v = Matrix::column(1);
    EXPECT_EQ(written(t, 250).size(), expected.bytes().size());

    // A text without a code page 932 form names its owner and field.
    t.name = "\U0001F600";
    ArchiveWriter out;
    writeRecord(out, toyLayout(), t, 250);
    EXPECT_NE(out.error().find("玩具（ID 7）の名前"), std::string::npos) << out.error();
}

TEST(RecordFields, CheckRefusesATableThatCannotDescribeARecord) {
    const struct {
        std::vector<Field<Toy>> extra; ///< added to the good table
        const char* problem;
    } cases[] = {
        {{field("id2", &Toy::id).file(1)}, "file slot given twice"},
        {{field("id2", &Toy::id).file(6)}, "file slot 5 left out"},
        {{field("name", &Toy::name)}, "key given twice"},
        {{field({}, &Toy::id)}, "in neither the file nor JSON"},
        {{field({}, &Toy::v, 3).onlyElement(3).file(5)}, "outside the field"},
        {{field({}, &Toy::id).onlyElement(0).file(5)}, "outside the field"},
        {{field("w", &Toy::w).file(5)}, "JSON alone has three numbers or a list"},
    };
    for (const auto& c : cases) {
        std::vector<Field<Toy>> fields = toyFields();
        fields.insert(fields.end(), c.extra.begin(), c.extra.end());
        const RecordLayout<Toy> layout([](const Toy&) { return std::string(); }, fields);
        EXPECT_NE(layout.check().find(c.problem), std::string::npos)
            << c.problem << ": " << layout.check();
    }
}
