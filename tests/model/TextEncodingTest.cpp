#include "model/TextEncoding.h"

#include <gtest/gtest.h>

using namespace quav;

TEST(TextEncoding, JapaneseTextRoundTripsThroughCp932) {
    for (const char* text : {"ﾓﾃﾞﾙ作成", "～", "①", "［％］", "ばね特性", "C:\\model", "plain"}) {
        const auto cp = utf8ToCp932(text);
        ASSERT_TRUE(cp.has_value()) << text;
        const auto back = cp932ToUtf8(*cp);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(*back, text);
    }
}

TEST(TextEncoding, HalfWidthKatakanaIsOneByteAndKanjiTwo) {
    EXPECT_EQ(*utf8ToCp932("ﾓﾃﾞﾙ"), std::string("\xD3\xC3\xDE\xD9"));
    EXPECT_EQ(*utf8ToCp932("作成"), std::string("\x8D\xEC\x90\xAC"));
    EXPECT_EQ(*utf8ToCp932("①"), std::string("\x87\x40"));
    EXPECT_EQ(*utf8ToCp932("～"), std::string("\x81\x60"));
    EXPECT_EQ(*utf8ToCp932("\\"), std::string("\\"));
}

TEST(TextEncoding, UnencodableCharactersAreReported) {
    EXPECT_FALSE(isCp932Encodable("mount \xF0\x9F\x98\x80"));
    EXPECT_FALSE(utf8ToCp932("\xF0\x9F\x98\x80").has_value());
    EXPECT_TRUE(isCp932Encodable("ばね要素"));
    EXPECT_EQ(utf8ToCp932Lossy("a\xF0\x9F\x98\x80"
                               "b"),
              "a?b");
}

TEST(TextEncoding, InvalidCp932BytesAreReported) {
    EXPECT_FALSE(cp932ToUtf8("\x81").has_value());       // truncated lead byte
    EXPECT_FALSE(cp932ToUtf8("ab\x81\x20").has_value()); // bad trail byte
    EXPECT_EQ(cp932ToUtf8Lossy("ab\x81\x20"), "ab? ");
}

TEST(TextEncoding, Utf16LittleEndianDecodes) {
    const std::string bytes("\x70\x30\x6D\x30"
                            "A\0",
                            6); // ばね A
    EXPECT_EQ(*utf16leToUtf8(bytes), "ばねA");
    EXPECT_FALSE(utf16leToUtf8(std::string("\x00\xD8", 2)).has_value()); // lone surrogate
}
