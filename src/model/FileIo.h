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

/// Whether a write waits until the data is on the disk. Unsynced writes are
/// still atomic for other programs, but a power cut may lose them: for files
/// that can be made again, written by the thousand (optimiser results).
enum class Durability { Synced, Unsynced };

/// A file being written, by what `path` names:
/// - a regular file, a new name, or a symbolic link to either: the bytes go to
///   a temporary file (a short hidden name in the same folder) that replaces
///   the file at commit, so a failure part way leaves the previous file as it
///   was. An existing file keeps its permissions; a link keeps pointing at the
///   file it names. A file the caller may not write itself (read-only, or
///   another user's) is refused and left as it is.
/// - one of this process's descriptors (/dev/stdout, /dev/fd/N, /proc/self/fd/N,
///   or a link to one of them), whatever it holds, even a regular file: written
///   through that descriptor, at its offset and with its append mode, never
///   replaced (so "quav-cli convert in.quav /dev/stdout >> log" appends).
/// - a character device or a FIFO (or a link to one: /dev/null, a terminal):
///   written through in place, never replaced. A FIFO without a reader is
///   refused rather than waited on.
/// - anything else (a folder, a socket, a block device, a link loop): refused.
/// Destroying an uncommitted file removes its temporary file.
class OutputFile {
public:
    explicit OutputFile(const std::string& path, Durability durability = Durability::Synced);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// False once opening or a write has failed; `error()` says why.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    /// Appends `bytes`; false when this or an earlier step failed.
    bool write(std::string_view bytes);
    /// Makes what was written the file (renames the temporary file over the
    /// target, or closes the device); on failure the target is as it was.
    FileResult commit();

private:
    void fail(std::string_view what, int err);
    void refuse(std::string_view reason);
    void abandon();

    std::string path_;   // as given, for messages
    std::string target_; // the file replaced, links resolved
    std::string temp_;   // empty when writing in place
    int fd_ = -1;
    int slot_ = -1; // in the table of temporary files in progress
    Durability durability_;
    std::string error_;
};

/// Writes `bytes` as the file at `path` through an `OutputFile`.
FileResult writeFileAtomically(const std::string& path, std::string_view bytes,
                               Durability durability = Durability::Synced);

/// Removes the temporary files of the writes in progress. Async-signal-safe:
/// for a handler of SIGINT, SIGTERM or SIGHUP that then ends the process.
void removeTemporaryFilesInProgress() noexcept;

/// The whole content of a regular file of at most `maxBytes` bytes.
struct FileContent {
    std::string bytes;
    std::string error;
    bool ok() const { return error.empty(); }
};
FileContent readWholeFile(const std::string& path, std::size_t maxBytes);

} // namespace quav
