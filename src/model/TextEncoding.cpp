#include "model/TextEncoding.h"

#include <cerrno>
#include <iconv.h>

namespace quav {

namespace {

// glibc's "CP932" is the Windows code page: it round-trips half-width katakana,
// circled digits and the full-width tilde, and keeps 0x5C a backslash
// (unlike "SHIFT_JIS").
constexpr const char* kCp932 = "CP932";

struct Converter {
    iconv_t cd;
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Converter() {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

/// Converts `in`; with `lossy`, an unconvertible input unit is replaced by '?'
/// and skipped (`skip` bytes), otherwise the conversion fails.
std::optional<std::string> convert(const char* to, const char* from, std::string_view in,
                                   bool lossy, std::size_t skip) {
    Converter c(to, from);
    if (!c.ok())
        return std::nullopt;
    std::string out;
    out.reserve(in.size() * 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(c.cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, sizeof buffer - dstLeft);
        if (r != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ (invalid or unencodable) or EINVAL (truncated sequence).
        if (!lossy)
            return std::nullopt;
        out.push_back('?');
        const std::size_t n = skip < srcLeft ? skip : srcLeft;
        src += n;
        srcLeft -= n;
    }
    // Flush any shift state (none for these encodings, but harmless).
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    iconv(c.cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, sizeof buffer - dstLeft);
    return out;
}

bool isAscii(std::string_view text) {
    for (char ch : text)
        if (static_cast<unsigned char>(ch) >= 0x80)
            return false;
    return true;
}

} // namespace

// ASCII is the same in both encodings; skipping iconv for it keeps files with
// thousands of plain names fast.

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    return convert(kCp932, "UTF-8", utf8, false, 1);
}

std::optional<std::string> cp932ToUtf8(std::string_view cp932) {
    if (isAscii(cp932))
        return std::string(cp932);
    return convert("UTF-8", kCp932, cp932, false, 1);
}

std::optional<std::string> utf16leToUtf8(std::string_view utf16le) {
    return convert("UTF-8", "UTF-16LE", utf16le, false, 2);
}

bool isCp932Encodable(std::string_view utf8) {
    return utf8ToCp932(utf8).has_value();
}

std::string utf8ToCp932Lossy(std::string_view utf8) {
    if (auto whole = utf8ToCp932(utf8))
        return *whole;
    // Convert character by character so one bad character gives one '?'.
    std::string out;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[pos]);
        std::size_t len = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (lead >= 0x80 && lead < 0xC0)
            len = 1;
        if (pos + len > utf8.size())
            len = utf8.size() - pos;
        auto piece = convert(kCp932, "UTF-8", utf8.substr(pos, len), false, 1);
        out += piece ? *piece : std::string("?");
        pos += len;
    }
    return out;
}

std::string cp932ToUtf8Lossy(std::string_view cp932) {
    auto r = convert("UTF-8", kCp932, cp932, true, 1);
    return r ? *r : std::string();
}

std::string utf16leToUtf8Lossy(std::string_view utf16le) {
    auto r = convert("UTF-8", "UTF-16LE", utf16le, true, 2);
    return r ? *r : std::string();
}

} // namespace quav
