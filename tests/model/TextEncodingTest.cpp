#include "model/TextEncoding.h"

#include <gtest/gtest.h>

using namespace quav;

TEST(TextEncoding, JapaneseTextRoundTripsThroughCp932InOneAndTwoByteForms) {
    const struct {
        const char* text;
        std::string cp932; // empty: only the round trip
    } cases[] = {
        {"ﾓﾃﾞﾙ", "\xD3\xC3\xDE\xD9"}, // half-width katakana: one byte each
        {"作成", "\x8D\xEC\x90\xAC"},
        {"①", "\x87\x40"},
        {"～", "\x81\x60"},
        {"\\", "\\"},
        {"ﾓﾃﾞﾙ作成", ""},
        {"［％］", ""},
        {"ばね特性", ""},
        {"C:\\model", ""},
        {"plain", ""},
    };
    for (const auto& c : cases) {
        const auto cp = utf8ToCp932(c.text);
        ASSERT_TRUE(cp.has_value()) << c.text;
        if (!c.cp932.empty()) {
            EXPECT_EQ(*cp, c.cp932) << c.text;
        }
        EXPECT_EQ(cp932ToUtf8(*cp).value_or("?"), c.text);
    }
    const std::string utf16("\x70\x30\x6D\x30"
                            "A\0",
                            6); // ばね A
    EXPECT_EQ(*utf16leToUtf8(utf16), "ばねA");
}

TEST(TextEncoding, UnencodableCharactersAndInvalidBytesAreReported) {
    EXPECT_FALSE(isCp932Encodable("mount \xF0\x9F\x98\x80"));
    EXPECT_FALSE(utf8ToCp932("\xF0\x9F\x98\x80").has_value());
    EXPECT_TRUE(isCp932Encodable("ばね要素"));
    EXPECT_EQ(utf8ToCp932Lossy("a\xF0\x9F\x98\x80"
                               "b"),
              "a?b");
    EXPECT_FALSE(cp932ToUtf8("\x81").has_value());       // truncated lead byte
    EXPECT_FALSE(cp932ToUtf8("ab\x81\x20").has_value()); // bad trail byte
    EXPECT_EQ(cp932ToUtf8Lossy("ab\x81\x20"), "ab? ");
    EXPECT_FALSE(utf16leToUtf8(std::string("\x00\xD8", 2)).has_value()); // lone surrogate
}
