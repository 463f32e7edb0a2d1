#include "model/Archive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace quav;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

std::string prefixOf(std::size_t length) {
    ArchiveWriter out;
    out.writeBytesWithLength(std::string(length, 'a'));
    return out.bytes().substr(0, out.bytes().size() - length);
}

} // namespace

TEST(ArchiveStrings, LengthPrefixTakesOneThreeOrSevenBytes) {
    EXPECT_EQ(prefixOf(0), bytes({0x00}));
    EXPECT_EQ(prefixOf(254), bytes({0xFE}));
    EXPECT_EQ(prefixOf(255), bytes({0xFF, 0xFF, 0x00}));
    EXPECT_EQ(prefixOf(300), bytes({0xFF, 0x2C, 0x01}));
    EXPECT_EQ(prefixOf(0xFFFD), bytes({0xFF, 0xFD, 0xFF}));
    // 0xFFFE and 0xFFFF are markers, so from 0xFFFE on the 32-bit form is used.
    EXPECT_EQ(prefixOf(0xFFFE), bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(prefixOf(70000), bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));

    for (std::size_t n : {0u, 254u, 255u, 300u, 0xFFFDu, 0xFFFEu, 70000u}) {
        ArchiveWriter out;
        out.writeBytesWithLength(std::string(n, 'q'));
        out.writeI32(42);
        ArchiveReader in(out.bytes());
        // Braces: read in order.
        EXPECT_EQ((std::tuple{in.readString(), in.readI32(), in.ok()}),
                  std::tuple(std::string(n, 'q'), 42, true))
            << n;
    }
}

TEST(ArchiveStrings, UnencodableTextFailsTheWriteNamingItsOwner) {
    ArchiveWriter out;
    out.writeString("ok", "a");
    out.writeString("mount \xF0\x9F\x98\x80", "ばね要素（ID 2）の名前");
    out.writeString("\xF0\x9F\x98\x80", "later");
    EXPECT_FALSE(out.ok());
    EXPECT_NE(out.error().find("ばね要素（ID 2）の名前"), std::string::npos);
    EXPECT_EQ(out.error().find("later"), std::string::npos);
}

TEST(ArchiveStrings, Utf16FormIsReadInAllLengthFormsAndUnreadableCharactersAreQuestionMarks) {
    // "aあ" in UTF-16LE after the 0xFFFE marker, with one-byte, 16-bit and 32-bit lengths.
    const std::string text = bytes({'a', 0, 0x42, 0x30});
    const std::string forms[] = {
        bytes({0xFF, 0xFE, 0xFF, 0x02}),
        bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x02, 0x00}),
        bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00}),
    };
    for (const auto& prefix : forms) {
        const std::string stored = prefix + text;
        ArchiveReader in(stored);
        EXPECT_EQ((std::tuple{in.readString(), in.ok(), in.remaining()}),
                  std::tuple("aあ", true, 0u));
    }
    // Characters CP932 cannot hold and broken surrogates come back as '?'.
    const std::string withEmoji =
        bytes({0xFF, 0xFE, 0xFF, 0x04, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8});
    ArchiveReader emoji(withEmoji);
    EXPECT_EQ((std::tuple{emoji.readString(), emoji.ok()}), std::tuple("a??", true));
    // So do invalid CP932 bytes: a lead byte without its trail.
    const std::string invalidBytes = bytes({0x03, 'a', 0x81, 0x20});
    ArchiveReader invalid(invalidBytes);
    EXPECT_EQ((std::tuple{invalid.readString(), invalid.ok()}), std::tuple("a? ", true));
}

TEST(ArchiveFailures, ReadsPastTheEndFailAndTheFirstFailureSticks) {
    const std::string stored = bytes({1, 0, 0});
    ArchiveReader in(stored);
    EXPECT_EQ((std::tuple{in.readI32(), in.ok()}), std::tuple(0, false));
    const std::string first = in.error();
    EXPECT_NE(first.find("位置 0"), std::string::npos);
    const double f64 = in.readF64();
    const std::string text = in.readString();
    EXPECT_EQ(std::tuple(f64, text, in.remaining(), in.error()), std::tuple(0.0, "", 0u, first));
}

TEST(ArchiveFailures, StringsRunningPastTheEndFailWithoutReading) {
    for (const std::string& s :
         {bytes({0x05, 'a', 'b'}), bytes({0xFF, 0x00, 0x01, 'a'}),
          bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}),
          bytes({0xFF, 0xFE, 0xFF, 0x02, 'a', 0, 'b'}),
          bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0x01, 'a', 0}), bytes({0xFF, 0x10})}) {
        ArchiveReader in(s);
        EXPECT_EQ(in.readString(), "");
        EXPECT_FALSE(in.ok()) << s.size();
    }
}

TEST(ArchiveFailures, CountsAreCheckedAgainstTheBytesLeft) {
    ArchiveWriter out;
    out.writeI32(2);
    out.writeString("", "");
    out.writeI32(0);
    out.writeI32(0);
    {
        ArchiveReader in(out.bytes()); // 2 entries of 4 bytes fit in the 9 left, 3 would not
        EXPECT_EQ(in.readCount(4, 100, "n"), 2);
        ArchiveReader tight(out.bytes());
        EXPECT_EQ(tight.readCount(5, 100, "n"), 0);
        EXPECT_FALSE(tight.ok());
    }
    for (std::int32_t n : {-1, INT32_MIN, INT32_MAX}) {
        ArchiveWriter w;
        w.writeI32(n);
        w.writeBytesWithLength(std::string(1000, 'z'));
        ArchiveReader in(w.bytes());
        EXPECT_EQ(in.readCount(1, INT32_MAX, "ばね要素の数"), 0) << n;
        EXPECT_FALSE(in.ok());
        EXPECT_NE(in.error().find("ばね要素の数"), std::string::npos);
    }
    ArchiveWriter w;
    w.writeI32(11);
    w.writeBytesWithLength(std::string(1000, 'z'));
    ArchiveReader in(w.bytes());
    EXPECT_EQ(in.readCount(1, 10, "n"), 0);
    EXPECT_FALSE(in.ok());
}
