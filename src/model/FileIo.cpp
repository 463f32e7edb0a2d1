#include "model/FileIo.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quav {

namespace {

std::string describe(std::string_view what, const std::string& path, int err) {
    std::string s(what);
    s += "：";
    s += path;
    if (err != 0)
        s += "（" + std::error_code(err, std::generic_category()).message() + "）";
    return s;
}

constexpr std::string_view kCannotSave = "ファイルを保存できません";

// The temporary files of the writes in progress, for removal by a signal
// handler: a slot is free (0), being filled (1) or holds a path (2).
struct TemporarySlot {
    std::atomic<int> state{0};
    char path[4096];
};
TemporarySlot temporaries[32];

int registerTemporary(const std::string& path) {
    if (path.size() >= sizeof temporaries[0].path)
        return -1;
    for (int i = 0; i < static_cast<int>(std::size(temporaries)); ++i) {
        int expected = 0;
        if (temporaries[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(temporaries[i].path, path.c_str(), path.size() + 1);
            temporaries[i].state.store(2);
            return i;
        }
    }
    return -1; // all in use: this one is cleaned up only by its own failure
}

void releaseTemporary(int slot) {
    if (slot >= 0)
        temporaries[slot].state.store(0);
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

/// The descriptor of this process that `name` names, or -1: /dev/stdin,
/// /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N (or /proc/<our pid>/fd/N).
int ownDescriptorName(const std::string& name) {
    if (name == "/dev/stdin")
        return 0;
    if (name == "/dev/stdout")
        return 1;
    if (name == "/dev/stderr")
        return 2;
    std::string_view digits;
    for (const std::string& prefix :
         {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
          std::string("/proc/thread-self/fd/"), "/proc/" + std::to_string(::getpid()) + "/fd/"}) {
        if (name.rfind(prefix, 0) == 0) {
            digits = std::string_view(name).substr(prefix.size());
            break;
        }
    }
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(std::string(digits));
}

/// Whether `path`, or a link on the way to what it names, names one of this
/// process's descriptors: the file behind it is then already open (by the shell,
/// perhaps for appending), and replacing it would lose what it holds.
int descriptorBehind(const std::string& path) {
    std::string name = path;
    for (int hop = 0; hop < 40; ++hop) {
        const int fd = ownDescriptorName(name);
        if (fd >= 0)
            return fd;
        char target[4096];
        const ssize_t n = ::readlink(name.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return -1;
        target[n] = '\0';
        const std::filesystem::path next(target);
        name = next.is_absolute() ? next.string()
                                  : (std::filesystem::path(name).parent_path() / next).string();
    }
    return -1;
}

} // namespace

void removeTemporaryFilesInProgress() noexcept {
    for (auto& slot : temporaries)
        if (slot.state.load() == 2)
            ::unlink(slot.path);
}

OutputFile::OutputFile(const std::string& path, Durability durability)
    : path_(path), durability_(durability) {
    // A name for one of our own descriptors is written through it, whatever it
    // holds: the shell's ">> log.txt" keeps its offset and appends, nothing is
    // renamed over the file.
    if (const int own = descriptorBehind(path); own >= 0) {
        // What the C streams of the program hold comes first, in order.
        std::fflush(nullptr);
        fd_ = ::fcntl(own, F_DUPFD_CLOEXEC, 3);
        if (fd_ < 0)
            fail(kCannotSave, errno);
        return;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
            // Written through, never replaced. Non-blocking first, so that a FIFO
            // nobody reads is refused instead of waited on.
            fd_ = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
            if (fd_ < 0 && errno == ENXIO) {
                refuse("読み手のいないパイプです");
                return;
            }
            if (fd_ < 0) {
                fail(kCannotSave, errno);
                return;
            }
            ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
            return;
        }
        if (S_ISDIR(st.st_mode)) {
            refuse("フォルダです");
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            refuse("通常のファイルではありません");
            return;
        }
        char* real = ::realpath(path.c_str(), nullptr);
        target_ = real ? real : path;
        std::free(real);
        // Replacing is for files the caller may write itself: renaming over a
        // read-only file or another user's would bypass its permissions.
        if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
            refuse("書き込みが許可されていないファイルです。読み取り専用か、ほかのユーザーのファイ"
                   "ルです");
            return;
        }
    } else if (errno == ENOENT) {
        // A new file; a link to a file yet to be made makes that file.
        struct stat link {};
        std::error_code ec;
        const auto resolved = std::filesystem::weakly_canonical(path, ec);
        target_ = ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && !ec
                      ? resolved.string()
                      : path;
    } else {
        fail(kCannotSave, errno); // a link loop, a missing permission, ...
        return;
    }

    // A short name beside the target, so the rename never crosses file systems
    // and a target name of any length leaves room for it.
    static std::atomic<unsigned> sequence{0};
    const std::filesystem::path folder = std::filesystem::path(target_).parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = (folder / (".quav-" + std::to_string(::getpid()) + "-" +
                           std::to_string(sequence++) + ".tmp"))
                    .string();
        releaseTemporary(slot_);
        slot_ = registerTemporary(temp_);
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int err = errno;
        releaseTemporary(slot_);
        slot_ = -1;
        temp_.clear();
        fail(kCannotSave, err);
        return;
    }
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd_, existing.st_mode & 07777);
}

OutputFile::~OutputFile() {
    abandon();
}

void OutputFile::fail(std::string_view what, int err) {
    if (error_.empty())
        error_ = describe(what, path_, err);
}

void OutputFile::refuse(std::string_view reason) {
    error_ = describe(kCannotSave, path_, 0) + "（" + std::string(reason) + "）";
}

void OutputFile::abandon() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
    releaseTemporary(slot_);
    slot_ = -1;
}

bool OutputFile::write(std::string_view bytes) {
    if (!ok())
        return false;
    if (!writeAll(fd_, bytes))
        fail(kCannotSave, errno);
    return ok();
}

FileResult OutputFile::commit() {
    if (ok() && !temp_.empty() && durability_ == Durability::Synced && ::fsync(fd_) != 0)
        fail(kCannotSave, errno);
    if (fd_ >= 0 && ::close(fd_) != 0)
        fail(kCannotSave, errno);
    fd_ = -1;
    if (ok() && !temp_.empty()) {
        if (::rename(temp_.c_str(), target_.c_str()) != 0)
            fail(kCannotSave, errno);
        else
            temp_.clear();
    }
    abandon();
    return {error_};
}

FileResult writeFileAtomically(const std::string& path, std::string_view bytes,
                               Durability durability) {
    OutputFile file(path, durability);
    file.write(bytes);
    return file.commit();
}

FileContent readWholeFile(const std::string& path, std::size_t maxBytes) {
    // Non-blocking so that a FIFO named by mistake is refused instead of waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {{}, describe("ファイルを開けません", path, errno)};
    FileContent result;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.error = describe("ファイルを開けません", path, 0);
    } else if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        result.error = describe("ファイルが大きすぎます", path, 0);
    } else {
        result.bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        // The size may change while reading: read what is there, up to the limit.
        while (result.error.empty()) {
            if (done == result.bytes.size()) {
                if (done >= maxBytes + 1)
                    break;
                result.bytes.resize(std::min(maxBytes + 1, done + 65536));
            }
            const ssize_t n = ::read(fd, result.bytes.data() + done, result.bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                result.error = describe("ファイルを読めません", path, errno);
            else if (n == 0)
                break;
            else
                done += static_cast<std::size_t>(n);
        }
        result.bytes.resize(done);
        if (result.error.empty() && done > maxBytes)
            result.error = describe("ファイルが大きすぎます", path, 0);
    }
    ::close(fd);
    if (!result.ok())
        result.bytes.clear();
    return result;
}

} // namespace quav
