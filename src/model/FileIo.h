#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quav {

/// Outcome of a file operation: an empty `error` means success.
struct FileResult {
    std::string error;
    bool ok() const { return error.empty(); }
};

/// Writes `bytes` to a new temporary file beside `path` and renames it over
/// `path`, so that a failure part way leaves the previous file as it was. An
/// existing file keeps its permissions; a symbolic link keeps pointing at the
/// file it names, which is replaced.
/// Whether a write waits until the data is on the disk. Unsynced writes are
/// still atomic for other programs, but a power cut may lose them: for files
/// that can be made again, written by the thousand (optimiser results).
enum class Durability { Synced, Unsynced };

FileResult writeFileAtomically(const std::string& path, std::string_view bytes,
                               Durability durability = Durability::Synced);

/// The whole content of a regular file of at most `maxBytes` bytes.
struct FileContent {
    std::string bytes;
    std::string error;
    bool ok() const { return error.empty(); }
};
FileContent readWholeFile(const std::string& path, std::size_t maxBytes);

} // namespace quav
