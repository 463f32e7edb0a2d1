#include "exchange/JsonReader.h"
#include "exchange/ModelJson.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

using namespace quav;

namespace {

/// The string `json` holds, or "refused: <why>".
std::string readString(const std::string& json, std::size_t maxBytes = 64) {
    try {
        JsonReader in(json);
        std::string s = in.string(JsonPath(), maxBytes);
        in.finish();
        return s;
    } catch (const JsonError& e) {
        return std::string("refused: ") + e.what();
    }
}

} // namespace

// Every escape, the UTF-8 length steps of \u, surrogate pairs, and what is no string.
TEST(JsonReader, StringEscapesAndTheirEdges) {
    const struct {
        std::string json, expected; // expected "refused: ..." is matched as a prefix
    } cases[] = {
        {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {R"("\u0041\u007f\u0080\u07FF\u0800\uffff")",
         "A\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {R"("\u0000")", std::string(1, '\0')},
        {R"("\ud800\udc00\uDBFF\uDFFF")", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {R"("ｱ\u3042")", "ｱあ"},
        {R"("\ud800")", "refused: "},
        {R"("\udc00\ud800")", "refused: "},
        {R"("\ud800\u0041")", "refused: "},
        {R"("\u12")", "refused: "},
        {R"("\u12g4")", "refused: "},
        {R"("\x41")", "refused: "},
        {R"("\')", "refused: "},
        {"\"a\tb\"", "refused: "},
        {"\"a\x1F\"", "refused: "},
        {"\"\x7F\"", "\x7F"},
        {R"("abc)", "refused: "},
        {R"("a" "b")", "refused: "},
        // The length limit counts bytes after the escapes: 64 fit, 65 do not.
        {'"' + std::string(62, 'x') + R"(\u00e9")", std::string(62, 'x') + "\xC3\xA9"},
        {'"' + std::string(63, 'x') + R"(\u00e9")",
         "refused: (top level): text longer than 64 bytes"},
    };
    for (const auto& c : cases) {
        const std::string got = readString(c.json);
        if (c.expected.starts_with("refused: "))
            EXPECT_TRUE(got.starts_with(c.expected)) << c.json << " gave " << got;
        else
            EXPECT_EQ(got, c.expected) << c.json;
    }
}

// Integers at and past the bounds of 64 bits (the reader) and 32 bits (the model's ids).
TEST(JsonReader, IntegerBounds) {
    const struct {
        const char* json;
        std::int64_t value;
        bool ok;
    } cases[] = {
        {"9223372036854775807", INT64_MAX, true},
        {"-9223372036854775808", INT64_MIN, true},
        {"9223372036854775808", 0, false},
        {"-9223372036854775809", 0, false},
        {"0", 0, true},
        {"-0", 0, true},
        {"1e2", 0, false},
        {"1.0", 0, false},
        {"01", 0, false},
        {"+1", 0, false},
        {"-", 0, false},
        {"\"1\"", 0, false},
    };
    for (const auto& c : cases) {
        std::int64_t got = -1;
        bool ok = true;
        try {
            JsonReader in(c.json);
            got = in.integer(JsonPath());
            in.finish();
        } catch (const JsonError&) {
            ok = false;
        }
        EXPECT_EQ(std::tuple(ok, ok ? got : 0), std::tuple(c.ok, c.value)) << c.json;
    }
    for (const auto& [id, ok] : {std::pair{"2147483647", true}, std::pair{"-2147483648", true},
                                 std::pair{"2147483648", false}, std::pair{"-2147483649", false}}) {
        const StudyRead r = modelFromJson(
            std::string(R"({"lastId": 2147483647, "springs": [{"id": )") + id + "}]}");
        EXPECT_EQ(std::tuple(r.ok(), r.ok() ? r.model->springs[0].id : 0),
                  std::tuple(ok, ok ? std::stoi(id) : 0))
            << id << ": " << r.error;
    }
}

// Texts with every character JSON must escape leave and come back as they were.
TEST(JsonReader, WrittenEscapesReadBack) {
    const StudyRead in = modelFromJson(R"({"mass": 1, "memo": "a\"b\\c\/d\r\ne\tf\u0001", "springs":
            [{"name": "\u30d0\u30cd \"FR\"\\1"}]})");
    ASSERT_TRUE(in.ok()) << in.error;
    EXPECT_EQ(in.model->memo, "a\"b\\c/d\r\ne\tf\x01");
    EXPECT_EQ(in.model->springs[0].name, "バネ \"FR\"\\1");
    const std::string json = modelToJson(*in.model, in.optimizer);
    const StudyRead back = modelFromJson(json);
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_EQ(std::tuple(back.model->memo, back.model->springs[0].name),
              std::tuple(in.model->memo, in.model->springs[0].name));
    for (unsigned char c : json)
        EXPECT_TRUE(c >= 0x20 || c == '\n') << "raw control character " << int(c);
}
