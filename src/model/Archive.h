#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quav {

/// Upper bound on the entries of one list read from a model file: far beyond
/// any real model or design study, low enough that a hostile count cannot
/// exhaust memory even when the file is large enough to back it.
constexpr int maxListEntries = 100000;

/// Largest model file that is read or written. Real models are a few kilobytes;
/// a long frequency sweep with many dynamic loads stays far below this.
constexpr std::size_t maxModelFileBytes = std::size_t{256} << 20;

/// Little-endian writer of the model file's primitives into a byte buffer.
///
/// Strings are held as UTF-8 in memory and written in code page 932 behind a
/// length prefix. A string CP932 cannot encode is not written with characters
/// dropped: the writer records the first such failure (`ok()` turns false,
/// `error()` names the owner) and the caller abandons the save.
class ArchiveWriter {
public:
    ArchiveWriter() = default;
    /// A writer that only counts the bytes it would write; strings are still
    /// converted, so their lengths and failures are those of a real write.
    struct CountOnly {};
    explicit ArchiveWriter(CountOnly) : countOnly_(true) {}

    void writeI32(std::int32_t v);
    void writeF32(float v);
    void writeF64(double v);
    /// Writes `n` doubles from `values`, then zeros up to `count` values in all.
    void writeF64s(const double* values, int n, int count);
    /// Length prefix and the bytes as they are: one byte n below 255; 0xFF and
    /// a 16-bit n below 0xFFFE; otherwise 0xFF, 0xFFFF and a 32-bit n.
    void writeBytesWithLength(std::string_view bytes);
    /// Converts the UTF-8 text to CP932 and writes it with its length prefix.
    /// `owner` names the object for the error message ("ばね要素 ID 5 の名前").
    void writeString(std::string_view utf8, std::string_view owner);
    /// The bytes as they are, without a length.
    void writeRaw(std::string_view bytes) { put(bytes.data(), bytes.size()); }

    /// Records why the data cannot be written, unless a failure is recorded.
    void fail(std::string_view reason) {
        if (ok())
            error_ = std::string(reason);
    }

    /// Makes room for `n` bytes in all.
    void reserve(std::size_t n) { buffer_.reserve(n); }

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& bytes() const { return buffer_; }
    std::string takeBytes() { return std::move(buffer_); }
    /// The bytes written (or counted) so far.
    std::uint64_t size() const { return countOnly_ ? counted_ : buffer_.size(); }

private:
    void put(const void* p, std::size_t n) {
        if (countOnly_)
            counted_ += n;
        else
            buffer_.append(static_cast<const char*>(p), n);
    }
    void putZeros(std::size_t n) {
        if (countOnly_)
            counted_ += n;
        else
            buffer_.append(n, '\0');
    }
    std::string buffer_;
    std::string error_;
    bool countOnly_ = false;
    std::uint64_t counted_ = 0;
};

/// Little-endian reader of the model file's primitives over a byte buffer.
///
/// Nothing is read past the end: a read that does not fit records a failure
/// and returns 0 (or an empty string). The first failure sticks; afterwards
/// every read returns 0 and `remaining()` is 0, so loops driven by counts
/// read after a failure end at once. Callers check `ok()` at the end.
class ArchiveReader {
public:
    /// Reads `bytes` in place: the buffer must outlive the reader. `base` is
    /// where `bytes` begin in the file, for the positions the failures name.
    explicit ArchiveReader(std::string_view bytes, std::size_t base = 0)
        : data_(bytes), base_(base) {}
    explicit ArchiveReader(std::string&&, std::size_t = 0) = delete;

    std::int32_t readI32();
    float readF32();
    double readF64();
    /// Fills `values[0..n)` with doubles.
    void readF64s(double* values, int n);
    /// A length-prefixed string converted to UTF-8: the CP932 form, or the
    /// UTF-16LE form marked by 0xFF 0xFFFE. Bytes that do not decode become
    /// '?', and so do UTF-16 characters outside CP932, so that everything read
    /// can be saved again.
    std::string readString();
    /// Reads the count of a list whose entries take at least `minEntryBytes`
    /// each. A negative count, one above `maxCount`, or one that the bytes
    /// left cannot hold fails the read (naming `what`) and returns 0, before
    /// the caller allocates anything.
    int readCount(std::size_t minEntryBytes, int maxCount, std::string_view what);
    /// The next `n` bytes as they are (a view into the buffer), or empty with a
    /// failure when fewer are left.
    std::string_view readRaw(std::size_t n);

    /// Records a failure at the current position unless one is recorded.
    void fail(std::string_view detail);
    /// Records the failure of `part`, a reader of a stretch of the same file,
    /// unless one is recorded.
    void failAs(const ArchiveReader& part) {
        if (ok())
            error_ = part.error();
    }
    bool ok() const { return error_.empty(); }
    /// The first failure, with the byte offset in the file where it happened.
    const std::string& error() const { return error_; }
    /// The offset in the buffer (not counting `base`).
    std::size_t position() const { return pos_; }
    /// The offset in the file.
    std::size_t fileOffset() const { return base_ + pos_; }
    std::size_t remaining() const { return ok() ? data_.size() - pos_ : 0; }

private:
    bool take(void* out, std::size_t n);
    /// A length of the string prefix after its first byte was 0xFF.
    std::uint64_t readLongLength(bool& utf16);

    std::string_view data_;
    std::size_t base_ = 0;
    std::size_t pos_ = 0;
    std::string error_;
};

} // namespace quav
