#include "exchange/JsonReader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>
#include <unistd.h>

namespace quav {

namespace {

// Long enough for any double written out in full; a longer number is a mistake.
constexpr std::size_t kMaxNumberChars = 1100;
constexpr std::size_t kChunkBytes = 1 << 16;

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string JsonPath::str() const {
    if (!parent_)
        return {};
    std::string s = parent_->str();
    if (isIndex_)
        return s + "[" + std::to_string(index_) + "]";
    return s.empty() ? std::string(key_) : s + "." + std::string(key_);
}

void failAt(const JsonPath& path, const std::string& what) {
    const std::string where = path.str();
    throw JsonError((where.empty() ? std::string("(top level)") : where) + ": " + what);
}

JsonReader::JsonReader(std::string_view text) : data_(text), eof_(true) {}

JsonReader::JsonReader(int fd) : fd_(fd), buffer_(kChunkBytes) {}

void JsonReader::refill() {
    if (eof_)
        return;
    ssize_t n;
    do
        n = ::read(fd_, buffer_.data(), buffer_.size());
    while (n < 0 && errno == EINTR);
    if (n < 0)
        throw JsonError("cannot read: " +
                        std::error_code(errno, std::generic_category()).message());
    eof_ = n == 0;
    data_ = std::string_view(buffer_.data(), static_cast<std::size_t>(n));
    pos_ = 0;
}

int JsonReader::look() {
    if (pos_ == data_.size())
        refill();
    return pos_ < data_.size() ? static_cast<unsigned char>(data_[pos_]) : -1;
}

int JsonReader::get() {
    const int c = look();
    if (c < 0)
        return c;
    ++pos_;
    if (c == '\n') {
        ++line_;
        column_ = 1;
    } else {
        ++column_;
    }
    return c;
}

void JsonReader::syntax(const std::string& what) const {
    throw JsonError("not valid JSON at line " + std::to_string(line_) + ", column " +
                    std::to_string(column_) + ": " + what);
}

void JsonReader::skipSpace() {
    for (int c = look(); c == ' ' || c == '\t' || c == '\n' || c == '\r'; c = look())
        get();
}

void JsonReader::expect(char c, const char* what) {
    skipSpace();
    if (get() != c)
        syntax(std::string("expected ") + what);
}

JsonReader::Kind JsonReader::peek() {
    skipSpace();
    const int c = look();
    switch (c) {
    case '{':
        return Kind::Object;
    case '[':
        return Kind::Array;
    case '"':
        return Kind::String;
    case 't':
    case 'f':
        return Kind::Boolean;
    case 'n':
        return Kind::Null;
    case -1:
        syntax("unexpected end of the text");
    default:
        if (c == '-' || isDigit(c))
            return Kind::Number;
        syntax("unexpected character");
    }
}

void JsonReader::wrongKind(const JsonPath& path, const char* expected) {
    peek(); // text that is not JSON at all is a syntax error first
    failAt(path, std::string("expected ") + expected);
}

void JsonReader::object(
    const JsonPath& path,
    const std::function<void(std::string_view key, const JsonPath& at)>& member) {
    if (peek() != Kind::Object)
        wrongKind(path, "an object");
    get();
    std::vector<std::string> seen;
    skipSpace();
    if (look() == '}') {
        get();
        return;
    }
    for (;;) {
        skipSpace();
        if (look() != '"')
            syntax("expected a key in quotes");
        std::string key;
        readString(key, kMaxKeyBytes, nullptr);
        const JsonPath at(path, key);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            failAt(at, "the key appears twice");
        seen.push_back(key);
        expect(':', "':' after a key");
        member(key, at);
        skipSpace();
        const int c = get();
        if (c == '}')
            return;
        if (c != ',')
            syntax("expected ',' or '}'");
    }
}

void JsonReader::array(const JsonPath& path,
                       const std::function<void(const JsonPath& at)>& element) {
    if (peek() != Kind::Array)
        wrongKind(path, "an array");
    get();
    skipSpace();
    if (look() == ']') {
        get();
        return;
    }
    for (std::size_t i = 0;; ++i) {
        element(JsonPath(path, i));
        skipSpace();
        const int c = get();
        if (c == ']')
            return;
        if (c != ',')
            syntax("expected ',' or ']'");
    }
}

unsigned JsonReader::hex4() {
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
        const int c = get();
        v <<= 4;
        if (isDigit(c))
            v |= static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            v |= static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            v |= static_cast<unsigned>(c - 'A' + 10);
        else
            syntax("expected four hexadecimal digits after \\u");
    }
    return v;
}

void JsonReader::readString(std::string& out, std::size_t maxBytes, const JsonPath* path) {
    get(); // the opening quote
    out.clear();
    for (;;) {
        if (out.size() > maxBytes) {
            if (path)
                failAt(*path, "text longer than " + std::to_string(maxBytes) + " bytes");
            syntax("key longer than " + std::to_string(maxBytes) + " bytes");
        }
        const int c = get();
        if (c == '"')
            return;
        if (c < 0)
            syntax("unterminated string");
        if (c < 0x20)
            syntax("control character in a string");
        if (c == '\\') {
            const int e = get();
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out += static_cast<char>(e);
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::uint32_t cp = hex4();
                if (cp >= 0xDC00 && cp <= 0xDFFF)
                    syntax("lone low surrogate");
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (get() != '\\' || get() != 'u')
                        syntax("lone high surrogate");
                    const std::uint32_t low = hex4();
                    if (low < 0xDC00 || low > 0xDFFF)
                        syntax("lone high surrogate");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                syntax("unknown escape in a string");
            }
            continue;
        }
        out += static_cast<char>(c);
        if (c < 0x80)
            continue;
        // UTF-8: the lead byte fixes the number of continuation bytes and, for
        // some leads, a narrower range of the first one (no overlong forms, no
        // surrogates, nothing above U+10FFFF).
        int more = 0, low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c == 0xE0)
            more = 2, low = 0xA0;
        else if (c == 0xED)
            more = 2, high = 0x9F;
        else if (c >= 0xE1 && c <= 0xEF)
            more = 2;
        else if (c == 0xF0)
            more = 3, low = 0x90;
        else if (c >= 0xF1 && c <= 0xF3)
            more = 3;
        else if (c == 0xF4)
            more = 3, high = 0x8F;
        else
            syntax("text that is not UTF-8");
        for (int i = 0; i < more; ++i) {
            const int d = get();
            if (d < low || d > high)
                syntax("text that is not UTF-8");
            out += static_cast<char>(d);
            low = 0x80;
            high = 0xBF;
        }
    }
}

std::string JsonReader::string(const JsonPath& path, std::size_t maxBytes) {
    if (peek() != Kind::String)
        wrongKind(path, "a string");
    std::string out;
    readString(out, maxBytes, &path);
    return out;
}

bool JsonReader::scanNumber(const JsonPath& path) {
    token_.clear();
    auto take = [&] {
        if (token_.size() >= kMaxNumberChars)
            failAt(path, "number longer than " + std::to_string(kMaxNumberChars) + " characters");
        token_ += static_cast<char>(get());
    };
    auto digits = [&] {
        if (!isDigit(look()))
            syntax("invalid number");
        while (isDigit(look()))
            take();
    };
    if (look() == '-')
        take();
    if (look() == '0')
        take();
    else
        digits();
    bool integral = true;
    if (look() == '.') {
        integral = false;
        take();
        digits();
    }
    if (look() == 'e' || look() == 'E') {
        integral = false;
        take();
        if (look() == '+' || look() == '-')
            take();
        digits();
    }
    return integral;
}

double JsonReader::number(const JsonPath& path) {
    if (peek() != Kind::Number)
        wrongKind(path, "a number");
    scanNumber(path);
    double v = 0.0;
    const auto r = std::from_chars(token_.data(), token_.data() + token_.size(), v);
    if (r.ec != std::errc())
        failAt(path, token_ + " is beyond the range of numbers");
    return v;
}

std::int64_t JsonReader::integer(const JsonPath& path) {
    if (peek() != Kind::Number)
        wrongKind(path, "an integer");
    if (!scanNumber(path))
        failAt(path, "expected an integer, found " + token_);
    std::int64_t v = 0;
    const auto r = std::from_chars(token_.data(), token_.data() + token_.size(), v);
    if (r.ec != std::errc())
        failAt(path, token_ + " is beyond the range of integers");
    return v;
}

void JsonReader::null(const JsonPath& path) {
    if (peek() != Kind::Null)
        wrongKind(path, "null");
    for (char c : std::string_view("null"))
        if (get() != c)
            syntax("invalid literal");
}

void JsonReader::finish() {
    skipSpace();
    if (look() >= 0)
        syntax("text after the end of the value");
}

} // namespace quav
