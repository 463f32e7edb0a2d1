#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quav {

/// Conversion between the in-memory UTF-8 text and code page 932 on disk.
/// Every file boundary (model files, the optimiser log, CP932 report output)
/// goes through these functions and nothing else.

/// UTF-8 to CP932; nullopt when the text holds a character CP932 cannot encode
/// or is not valid UTF-8.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

/// CP932 to UTF-8; nullopt when the bytes are not valid CP932 (an invalid or a
/// truncated double-byte sequence).
std::optional<std::string> cp932ToUtf8(std::string_view cp932);

/// UTF-16LE bytes (as stored by some writers of model files) to UTF-8; nullopt
/// on an invalid sequence.
std::optional<std::string> utf16leToUtf8(std::string_view utf16le);

/// True when every character of the UTF-8 text has a CP932 encoding.
bool isCp932Encodable(std::string_view utf8);

/// Lenient conversions for output that must never fail: characters that do not
/// convert become '?'.
std::string utf8ToCp932Lossy(std::string_view utf8);
std::string cp932ToUtf8Lossy(std::string_view cp932);
std::string utf16leToUtf8Lossy(std::string_view utf16le);

} // namespace quav
