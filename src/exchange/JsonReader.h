#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quav {

/// Where a value sits in a JSON document ("springs[2].position[1]"): a chain
/// of links on the stack, spelled out only for a message.
class JsonPath {
public:
    JsonPath() = default; ///< the top level
    JsonPath(const JsonPath& parent, std::string_view key) : parent_(&parent), key_(key) {}
    JsonPath(const JsonPath& parent, std::size_t index)
        : parent_(&parent), index_(index), isIndex_(true) {}
    // A path keeps a pointer to its parent: never to a temporary.
    JsonPath(const JsonPath&& parent, std::string_view key) = delete;
    JsonPath(const JsonPath&& parent, std::size_t index) = delete;
    std::string str() const;

private:
    const JsonPath* parent_ = nullptr;
    std::string_view key_;
    std::size_t index_ = 0;
    bool isIndex_ = false;
};

/// A refusal: the path of the offending value (or the place in the text) and why.
struct JsonError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// [[noreturn]] helper: throws a JsonError "path: what".
[[noreturn]] void failAt(const JsonPath& path, const std::string& what);

/// Strict JSON, pulled value by value by a caller that knows what it expects,
/// so that nothing is kept but what the caller stores: memory does not grow
/// with the text, which may come from a file read in pieces. Refused: anything
/// that is not JSON (RFC 8259), a key that appears twice in an object, a
/// number beyond the range of a double (1e400, 1e-400), a string that is not
/// valid UTF-8 or holds a lone surrogate, anything after the value. Every
/// refusal throws a JsonError.
class JsonReader {
public:
    /// Reads `text`, which must outlive the reader.
    explicit JsonReader(std::string_view text);
    /// Reads the open file `fd` from its current position (not closed here).
    explicit JsonReader(int fd);

    enum class Kind { Object, Array, String, Number, Boolean, Null };
    /// The kind of the next value.
    Kind peek();

    /// Reads an object: `member` is called with each key and its path, with
    /// the reader at the member's value, which it must read. A key longer
    /// than `kMaxKeyBytes` is refused.
    void object(const JsonPath& path,
                const std::function<void(std::string_view key, const JsonPath& at)>& member);
    /// Reads an array: `element` is called with each element's path, with the
    /// reader at the element, which it must read.
    void array(const JsonPath& path, const std::function<void(const JsonPath& at)>& element);

    /// A string of at most `maxBytes` bytes of UTF-8.
    std::string string(const JsonPath& path, std::size_t maxBytes);
    /// A number, as the nearest double.
    double number(const JsonPath& path);
    /// A number written as an integer (no fraction, no exponent) in the range
    /// of a 64-bit integer.
    std::int64_t integer(const JsonPath& path);
    void null(const JsonPath& path);

    /// Checks that nothing but white space follows the value read.
    void finish();

    static constexpr std::size_t kMaxKeyBytes = 256;

private:
    int get();
    int look();
    void refill();
    void skipSpace();
    void expect(char c, const char* what);
    [[noreturn]] void syntax(const std::string& what) const;
    void readString(std::string& out, std::size_t maxBytes, const JsonPath* path);
    unsigned hex4();
    /// Scans a number into `token_`; true when it has no fraction and no exponent.
    bool scanNumber(const JsonPath& path);
    [[noreturn]] void wrongKind(const JsonPath& path, const char* expected);

    std::string_view data_;
    std::size_t pos_ = 0;
    int fd_ = -1;
    std::vector<char> buffer_;
    bool eof_ = false;
    std::uint64_t line_ = 1;
    std::uint64_t column_ = 1;
    std::string token_;
};

} // namespace quav
