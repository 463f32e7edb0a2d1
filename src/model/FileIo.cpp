#include "model/FileIo.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
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

/// The file a save replaces: the target of a symbolic link, else `path` itself.
std::string resolvedTarget(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec))
        return path;
    const auto target = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : target.string();
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

} // namespace

FileResult writeFileAtomically(const std::string& path, std::string_view bytes,
                               Durability durability) {
    static std::atomic<unsigned> sequence{0};
    const std::string target = resolvedTarget(path);
    const std::filesystem::path targetPath(target);

    // A hidden name in the target's folder, so the rename never crosses file systems.
    int fd = -1;
    std::string temp;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = (targetPath.parent_path() /
                ("." + targetPath.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                 std::to_string(sequence++)))
                   .string();
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return {describe("ファイルを保存できません", path, errno)};

    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);

    int err = 0;
    if (!writeAll(fd, bytes) || (durability == Durability::Synced && ::fsync(fd) != 0))
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return {describe("ファイルを保存できません", path, err)};
    }
    return {};
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
