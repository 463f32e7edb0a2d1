#include "model/Archive.h"

#include "model/TextEncoding.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace quav {

namespace {

constexpr std::uint32_t kUtf16Marker = 0xFFFE;
constexpr std::uint32_t kLong = 0xFFFF;

void storeLe(char* out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint64_t loadLe(const unsigned char* in, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return v;
}

} // namespace

// --- ArchiveWriter -----------------------------------------------------------

void ArchiveWriter::writeI32(std::int32_t v) {
    char b[4];
    storeLe(b, static_cast<std::uint32_t>(v), 4);
    put(b, 4);
}

void ArchiveWriter::writeF32(float v) {
    char b[4];
    storeLe(b, std::bit_cast<std::uint32_t>(v), 4);
    put(b, 4);
}

void ArchiveWriter::writeF64(double v) {
    char b[8];
    storeLe(b, std::bit_cast<std::uint64_t>(v), 8);
    put(b, 8);
}

void ArchiveWriter::writeF64s(const double* values, int n, int count) {
    const int present = std::clamp(n, 0, std::max(count, 0));
    if constexpr (std::endian::native == std::endian::little) {
        // The in-memory doubles already have the file's byte order: copy them whole.
        if (present > 0)
            put(values, static_cast<std::size_t>(present) * sizeof(double));
        if (count > present)
            putZeros(static_cast<std::size_t>(count - present) * sizeof(double));
    } else {
        for (int i = 0; i < count; ++i)
            writeF64(i < present ? values[i] : 0.0);
    }
}

void ArchiveWriter::writeBytesWithLength(std::string_view bytes) {
    const std::size_t n = bytes.size();
    char b[7];
    if (n < 0xFF) {
        b[0] = static_cast<char>(n);
        put(b, 1);
    } else if (n < kUtf16Marker) {
        b[0] = static_cast<char>(0xFF);
        storeLe(b + 1, n, 2);
        put(b, 3);
    } else if (n <= 0xFFFFFFFFu) {
        b[0] = static_cast<char>(0xFF);
        storeLe(b + 1, kLong, 2);
        storeLe(b + 3, n, 4);
        put(b, 7);
    } else {
        if (ok())
            error_ = "文字列が長すぎます";
        return;
    }
    put(bytes.data(), n);
}

void ArchiveWriter::writeString(std::string_view utf8, std::string_view owner) {
    const auto cp932 = utf8ToCp932(utf8);
    if (!cp932) {
        if (ok()) {
            error_ = std::string(owner);
            error_ += "に保存できない文字が含まれています";
        }
        return;
    }
    writeBytesWithLength(*cp932);
}

// --- ArchiveReader -----------------------------------------------------------

void ArchiveReader::fail(std::string_view detail) {
    if (!ok())
        return;
    error_ = std::string(detail);
    error_ += "（位置 ";
    error_ += std::to_string(base_ + pos_);
    error_ += "）";
}

bool ArchiveReader::take(void* out, std::size_t n) {
    if (remaining() < n) {
        fail("ファイルが途中で終わっています");
        std::memset(out, 0, n);
        return false;
    }
    std::memcpy(out, data_.data() + pos_, n);
    pos_ += n;
    return true;
}

std::int32_t ArchiveReader::readI32() {
    unsigned char b[4];
    take(b, 4);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(loadLe(b, 4)));
}

float ArchiveReader::readF32() {
    unsigned char b[4];
    take(b, 4);
    return std::bit_cast<float>(static_cast<std::uint32_t>(loadLe(b, 4)));
}

double ArchiveReader::readF64() {
    unsigned char b[8];
    take(b, 8);
    return std::bit_cast<double>(loadLe(b, 8));
}

void ArchiveReader::readF64s(double* values, int n) {
    if constexpr (std::endian::native == std::endian::little) {
        if (n > 0 && take(values, static_cast<std::size_t>(n) * sizeof(double)))
            return;
        // A short file: take() has recorded the failure; the rest reads as 0.
        for (int i = 0; i < n; ++i)
            values[i] = 0.0;
    } else {
        for (int i = 0; i < n; ++i)
            values[i] = readF64();
    }
}

std::uint64_t ArchiveReader::readLongLength(bool& utf16) {
    unsigned char b[4];
    take(b, 2);
    const auto word = static_cast<std::uint32_t>(loadLe(b, 2));
    if (word == kLong) {
        take(b, 4);
        return loadLe(b, 4);
    }
    if (word != kUtf16Marker)
        return word;
    if (utf16) {
        fail("文字列の長さが不正です");
        return 0;
    }
    // The UTF-16 marker: the length in 16-bit units follows by the same rule.
    utf16 = true;
    take(b, 1);
    if (b[0] < 0xFF)
        return b[0];
    return readLongLength(utf16);
}

std::string ArchiveReader::readString() {
    unsigned char first = 0;
    take(&first, 1);
    bool utf16 = false;
    const std::uint64_t length = first < 0xFF ? first : readLongLength(utf16);
    const std::uint64_t bytes = utf16 ? length * 2 : length;
    if (!ok())
        return {};
    if (bytes > remaining()) {
        fail("文字列がファイルの終わりを越えています");
        return {};
    }
    const std::string_view raw = data_.substr(pos_, static_cast<std::size_t>(bytes));
    pos_ += static_cast<std::size_t>(bytes);
    if (!utf16)
        return cp932ToUtf8Lossy(raw);
    // The model keeps only what CP932 can hold, so that it can be saved again.
    return cp932ToUtf8Lossy(utf8ToCp932Lossy(utf16leToUtf8Lossy(raw)));
}

std::string_view ArchiveReader::readRaw(std::size_t n) {
    if (remaining() < n) {
        fail("ファイルが途中で終わっています");
        return {};
    }
    const std::string_view bytes = data_.substr(pos_, n);
    pos_ += n;
    return bytes;
}

int ArchiveReader::readCount(std::size_t minEntryBytes, int maxCount, std::string_view what) {
    const std::int32_t n = readI32();
    if (!ok())
        return 0;
    std::string detail(what);
    if (n < 0) {
        detail += "が負の値 " + std::to_string(n) + " です";
        fail(detail);
        return 0;
    }
    if (n > maxCount) {
        detail += " " + std::to_string(n) + " が多すぎます";
        fail(detail);
        return 0;
    }
    if (minEntryBytes > 0 && static_cast<std::uint64_t>(n) > remaining() / minEntryBytes) {
        detail += " " + std::to_string(n) + " がファイルの残りに収まりません";
        fail(detail);
        return 0;
    }
    return n;
}

} // namespace quav
