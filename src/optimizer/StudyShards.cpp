#include "optimizer/StudyShards.h"

#include "model/Archive.h"
#include "model/LoadCases.h"
#include "model/TextEncoding.h"
#include "model/TextFormat.h"
#include "optimizer/OptimizerLog.h"
#include "optimizer/ParetoFront.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace quav {

namespace {

// original.quav is compared whole: far beyond any model file.
constexpr std::size_t kMaxOriginalBytes = std::size_t{1} << 30;
constexpr std::size_t kMaxRecordBytes = 4096;
// A log is read line by line; a line or a header beyond these is no run's.
constexpr std::size_t kMaxLogLineBytes = std::size_t{16} << 20;
constexpr std::size_t kMaxHeaderBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxBuildChars = 100;
// Gaps listed when a study is incomplete; the rest are counted.
constexpr std::int64_t kListedGaps = 10;
constexpr std::size_t kChunk = 1 << 16;
constexpr std::string_view kRecordHeader = "QUAV shard record 2";
constexpr std::string_view kOldRecordHeader = "QUAV shard record 1";

constexpr const char* kStatusNames[] = {"running", "finished", "stopped", "failed"};

std::string errnoText(int err) {
    return std::error_code(err, std::generic_category()).message();
}

/// Combinations [begin, end) as the user counts them, from 1.
std::string describeRange(std::int64_t begin, std::int64_t end) {
    return format("combinations %lld to %lld", static_cast<long long>(begin + 1),
                  static_cast<long long>(end));
}

/// "shard 2/3" or "shards 2-5/9".
std::string describeShards(int first, int last, int count) {
    return first == last ? format("shard %d/%d", first, count)
                         : format("shards %d-%d/%d", first, last, count);
}

bool parseInteger(std::string_view text, std::int64_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string resultFileName(std::int64_t number) {
    return format("No%lld.quav", static_cast<long long>(number));
}

/// A file descriptor, closed with its owner.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    /// Closes it; false when closing reports an error (a write that failed late).
    bool reset() {
        const bool ok = fd_ < 0 || ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_ = -1;
};

/// Opens the regular file `name` of the folder `dir` for reading, never
/// through a symbolic link: a link in a shard's folder may point anywhere.
Fd openInFolder(int dir, const std::string& name, const std::string& shown, struct stat& st,
                std::string& error) {
    Fd fd(::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        error = shown + ": " +
                (errno == ELOOP ? std::string("a symbolic link, not a file of the folder")
                                : "cannot open (" + errnoText(errno) + ")");
        return {};
    }
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = shown + ": not a regular file";
        return {};
    }
    return fd;
}

bool readAll(int fd, std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    char chunk[kChunk];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            return false;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

/// The lines of a log.txt (CP932, every line ended by CR LF), one at a time,
/// in memory of one line at most kMaxLogLineBytes; an unended last line is
/// not a line.
class LineReader {
public:
    enum Result { Line, End, Failed };

    explicit LineReader(int fd) : fd_(fd) {}

    Result next(std::string& line) {
        for (;;) {
            const std::size_t at = buffer_.find("\r\n", std::max(start_, scanned_));
            if (at != std::string::npos) {
                line.assign(buffer_, start_, at - start_);
                start_ = scanned_ = at + 2;
                return Line;
            }
            scanned_ = buffer_.empty() ? 0 : buffer_.size() - 1;
            if (buffer_.size() - start_ > kMaxLogLineBytes)
                return Failed;
            if (eof_)
                return End;
            buffer_.erase(0, start_);
            scanned_ -= std::min(scanned_, start_);
            start_ = 0;
            const std::size_t old = buffer_.size();
            buffer_.resize(old + kChunk);
            const ssize_t n = ::read(fd_, buffer_.data() + old, kChunk);
            buffer_.resize(old + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
            if (n < 0 && errno != EINTR)
                return Failed;
            eof_ = n == 0;
        }
    }

private:
    int fd_;
    std::string buffer_;
    std::size_t start_ = 0;   // of the next line
    std::size_t scanned_ = 0; // where no line end was found before
    bool eof_ = false;
};

/// One folder given to the merge: a shard's, or a partial merge's.
struct Folder {
    std::string dir;
    std::unique_ptr<RunDirectoryLock> lock; // shared: runs are kept out while it is read
    ShardRecord record;
    mode_t mode = 0;
    dev_t device = 0;
    ino_t inode = 0;
    int fd() const { return lock->fd(); }
};

/// What the validation found: the folders in enumeration order, sound and
/// complete, and what the merged folder holds.
struct MergePlan {
    std::vector<Folder> folders;
    std::string original;     // original.quav, the same in every folder
    std::string header;       // log lines after the start time up to the dashes, ended by CR LF
    ShardRecord merged;       // the part of the study the merged folder covers
    RejectionSummary summary; // the folders' summaries of what they rejected, added up
    bool whole = false;       // every shard: a single run's folder, without a record
    mode_t folderMode = 0777; // permission bits every shard's folder has
    // With objectives: the merged front, numbered as the merged folder's files,
    // and its header.
    std::optional<ParetoFront> front;
    std::string frontHeader;
};

/// The fronts of the folders, when the study has objectives: each one's members
/// renumbered after the files of the folders before it, filtered into one.
bool readFronts(MergePlan& plan, const MergeOptions& options, std::string& error) {
    const Folder& first = plan.folders.front();
    std::size_t parameters = 0;
    std::vector<bool> maximise;
    if (options.readStudy) {
        if (!options.readStudy(plan.original, parameters, maximise)) {
            error = first.dir + "/original.quav: not a model file of this version";
            return false;
        }
    } else {
        struct stat st {};
        if (::fstatat(first.fd(), kParetoFile, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            error = first.dir + ": the front (" + kParetoFile + ") cannot be merged here";
            return false;
        }
    }
    if (maximise.empty())
        return true;
    plan.front.emplace(maximise, parameters);
    std::int64_t offset = 0;
    for (const Folder& f : plan.folders) {
        const std::string shown = f.dir + "/" + kParetoFile;
        struct stat st {};
        Fd fd = openInFolder(f.fd(), kParetoFile, shown, st, error);
        if (!fd)
            return false;
        std::string text;
        ParetoCsv csv;
        std::string why;
        // A front is one row per member, each far below a kilobyte: a file beyond
        // what every accepted variant in it could fill is no front.
        const auto most = static_cast<std::size_t>(
            std::min<std::int64_t>(f.record.matches + 1, kMaxOriginalBytes) * 4096);
        if (!readAll(fd.get(), most, text) ||
            !parseParetoCsv(text, parameters, maximise.size(), csv, why)) {
            error = shown + ": not the front of a run" + (why.empty() ? "" : " (" + why + ")");
            return false;
        }
        if (&f == &first)
            plan.frontHeader = csv.header;
        else if (csv.header != plan.frontHeader) {
            error = shown + ": other columns than " + first.dir + "'s";
            return false;
        }
        for (const ParetoMember& m : csv.members) {
            if (m.number > f.record.matches) {
                error = shown + ": names a file its run did not accept";
                return false;
            }
            plan.front->offer(m.number + offset, m.parameters.data(), m.objectives.data());
        }
        offset += f.record.matches;
    }
    return true;
}

/// Why the folder leaves some of its range uncovered, or "" when it covers it
/// all; `from` is where the uncovered part starts.
std::string uncovered(const ShardRecord& r, std::int64_t& from) {
    from = r.range.begin;
    switch (r.status) {
    case ShardStatus::Finished:
        if (r.processed == r.range.end - r.range.begin)
            return "";
        from = r.range.begin + r.processed;
        return "its record ends early";
    case ShardStatus::Stopped:
        from = r.range.begin + r.processed;
        return format("stopped after %lld of %lld", static_cast<long long>(r.processed),
                      static_cast<long long>(r.range.end - r.range.begin));
    case ShardStatus::Failed:
        return "some of its files could not be written";
    case ShardStatus::Running:
        break;
    }
    return "its run did not finish";
}

/// The gaps of an incomplete study, the first kListedGaps of them spelt out.
class Gaps {
public:
    explicit Gaps(int count) : count_(count) {}
    void add(int first, int last, std::int64_t begin, std::int64_t end, const std::string& why) {
        if (begin >= end) // shards without combinations (more shards than combinations)
            return;
        if (++gaps_ <= kListedGaps)
            text_ += "\n  " + describeShards(first, last, count_) + ", " +
                     describeRange(begin, end) + ": " + why;
    }
    bool empty() const { return gaps_ == 0; }
    std::string text() const {
        return gaps_ <= kListedGaps ? text_
                                    : text_ + format("\n  ... and %lld more",
                                                     static_cast<long long>(gaps_ - kListedGaps));
    }

private:
    int count_;
    std::int64_t gaps_ = 0;
    std::string text_;
};

/// Reads the shard record of each folder under a shared lock.
bool readFolders(const std::vector<std::string>& dirs, MergePlan& plan, std::string& error) {
    plan.folders.resize(dirs.size());
    for (std::size_t i = 0; i < dirs.size(); ++i) {
        Folder& f = plan.folders[i];
        f.dir = dirs[i];
        f.lock = std::make_unique<RunDirectoryLock>(f.dir, RunDirectoryLock::Shared);
        if (!f.lock->held()) {
            error = f.lock->inUse() ? f.dir + ": an optimiser run or a merge is writing into it"
                                    : f.lock->refusal();
            return false;
        }
        struct stat st {};
        if (::fstat(f.fd(), &st) != 0) {
            error = f.dir + ": " + errnoText(errno);
            return false;
        }
        f.mode = st.st_mode & 0777;
        f.device = st.st_dev;
        f.inode = st.st_ino;
        plan.folderMode &= f.mode;
        const std::string shown = f.dir + "/" + kShardRecordFile;
        Fd fd = openInFolder(f.fd(), kShardRecordFile, shown, st, error);
        std::string text;
        if (!fd) {
            error = f.dir + ": not the folder of a shard (" + error + ")";
            return false;
        }
        if (!readAll(fd.get(), kMaxRecordBytes, text)) {
            error = f.dir + ": not a shard record";
            return false;
        }
        if (!parseShardRecord(text, f.record, error)) {
            error = f.dir + ": " + error;
            return false;
        }
    }
    return true;
}

/// The leading integer of a model file: its format.
bool hasFormat(std::string_view head, int format) {
    if (head.size() < 4)
        return false;
    const auto b = [&](int i) {
        return static_cast<std::uint32_t>(
            static_cast<unsigned char>(head[static_cast<std::size_t>(i)]));
    };
    return static_cast<std::int32_t>(b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24) == format;
}

/// One study: the same build, the same starting model and settings
/// (original.quav holds both), split the same way.
bool checkOneStudy(MergePlan& plan, int format, std::string& error) {
    const Folder& first = plan.folders.front();
    for (const Folder& f : plan.folders) {
        if (f.record.build != first.record.build) {
            error = f.dir + " was run by build " + f.record.build + ", " + first.dir +
                    " by build " + first.record.build +
                    ": run every shard of a study with one build";
            return false;
        }
        if (f.record.count != first.record.count ||
            f.record.combinations != first.record.combinations) {
            error = f.dir + " is a shard of another study than " + first.dir +
                    " (another number of shards or of combinations)";
            return false;
        }
    }
    for (const Folder& f : plan.folders) {
        const std::string shown = f.dir + "/original.quav";
        struct stat st {};
        Fd fd = openInFolder(f.fd(), "original.quav", shown, st, error);
        if (!fd)
            return false;
        if (&f == &first) {
            if (!readAll(fd.get(), kMaxOriginalBytes, plan.original) ||
                !hasFormat(plan.original, format)) {
                error = shown + ": not a model file of this version";
                return false;
            }
            continue;
        }
        // Compared as it is read: one folder's file in memory, not every one's.
        bool same = static_cast<std::size_t>(st.st_size) == plan.original.size();
        char chunk[kChunk];
        for (std::size_t at = 0; same;) {
            const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                same = n == 0 && at == plan.original.size();
                break;
            }
            same = at + static_cast<std::size_t>(n) <= plan.original.size() &&
                   std::memcmp(chunk, plan.original.data() + at, static_cast<std::size_t>(n)) == 0;
            at += static_cast<std::size_t>(n);
        }
        if (!same) {
            error = f.dir + " is a shard of another study than " + first.dir +
                    " (another starting model or other settings)";
            return false;
        }
    }
    return true;
}

/// Every shard of the study (or, for a partial merge, of one contiguous run of
/// shards) exactly once and finished.
bool checkCoverage(MergePlan& plan, bool partial, std::string& error) {
    std::vector<Folder>& folders = plan.folders;
    std::sort(folders.begin(), folders.end(),
              [](const Folder& a, const Folder& b) { return a.record.index < b.record.index; });
    const int count = folders.front().record.count;
    const std::int64_t combinations = folders.front().record.combinations;
    for (std::size_t i = 1; i < folders.size(); ++i) {
        const Folder& a = folders[i - 1];
        const Folder& b = folders[i];
        if (b.record.index <= a.record.last) {
            error = format("shard %d/%d given twice: ", b.record.index, count) + a.dir + " and " +
                    b.dir;
            return false;
        }
    }
    const int lo = partial ? folders.front().record.index : 1;
    const int hi = partial ? folders.back().record.last : count;
    Gaps gaps(count);
    int next = lo;
    auto missing = [&](int first, int last) {
        if (first <= last)
            gaps.add(first, last, shardRange(combinations, first, count).begin,
                     shardRange(combinations, last, count).end, "no folder given");
    };
    for (const Folder& f : folders) {
        missing(next, f.record.index - 1);
        std::int64_t from = 0;
        const std::string why = uncovered(f.record, from);
        if (!why.empty())
            gaps.add(f.record.index, f.record.last, from, f.record.range.end, why);
        next = f.record.last + 1;
    }
    missing(next, hi);
    if (!gaps.empty()) {
        error = (partial ? "the folders do not cover one contiguous run of shards; missing:"
                         : "the shards do not cover every combination; missing:") +
                gaps.text();
        return false;
    }
    ShardRecord& m = plan.merged;
    m = folders.front().record;
    m.last = folders.back().record.last;
    m.range = {shardRange(combinations, m.index, count).begin,
               shardRange(combinations, m.last, count).end};
    m.processed = m.range.end - m.range.begin;
    m.status = ShardStatus::Finished;
    m.matches = 0;
    for (const Folder& f : folders) {
        m.matches += f.record.matches;
        m.started = std::min(m.started, f.record.started);
        m.ended = std::max(m.ended, f.record.ended);
    }
    // Shards without combinations may be absent at either end.
    plan.whole = m.range.begin == 0 && m.range.end == combinations;
    return true;
}

/// Reads the end of a log after its result lines: the closing lines, then the
/// summary of what the run rejected (summaryLines) into `summary`.
bool readSummary(LineReader& reader, RejectionSummary& summary) {
    // The summary's lines: titles, a line per condition (displacement conditions
    // are a list of a model file, and each load case has one), the closest variant.
    constexpr std::size_t kMaxSummaryLines = maxListEntries + kMaxLoadCases + 20;
    std::string line;
    bool counted = false;
    while (!counted && reader.next(line) == LineReader::Line)
        counted = cp932ToUtf8Lossy(line).rfind("処理件数\t", 0) == 0;
    std::vector<std::string> lines;
    LineReader::Result r;
    while ((r = reader.next(line)) == LineReader::Line && lines.size() < kMaxSummaryLines)
        lines.push_back(cp932ToUtf8Lossy(line));
    return counted && r == LineReader::End && parseSummaryLines(lines, summary);
}

/// Walks a folder's log: its header (kept in `header` when not null), then the
/// result line of each accepted variant, numbered from 1, each handed to
/// `result` with its number, then (when `summary` is not null) its summary of
/// what it rejected; false with the reason when the log is not the run's its
/// record describes.
template <class OnResult>
bool walkLog(const Folder& f, std::string* header, std::string& error, OnResult&& result,
             RejectionSummary* summary = nullptr) {
    struct stat st {};
    Fd fd = openInFolder(f.fd(), "log.txt", f.dir + "/log.txt", st, error);
    if (!fd)
        return false;
    LineReader reader(fd.get());
    std::string line;
    std::size_t headerBytes = 0;
    const std::string dashes(67, '-');
    bool started = false, sawDashes = false;
    while (!sawDashes && reader.next(line) == LineReader::Line) {
        sawDashes = started && line == dashes;
        if (started) {
            headerBytes += line.size() + 2;
            if (headerBytes > kMaxHeaderBytes)
                break;
            if (header)
                *header += line + "\r\n";
        }
        started = true;
    }
    if (!sawDashes) {
        error = f.dir + ": log.txt is not the log of a run";
        return false;
    }
    bool sound = true;
    for (std::int64_t i = 1; sound && i <= f.record.matches; ++i) {
        const std::string name = resultFileName(i);
        sound = reader.next(line) == LineReader::Line && line.size() > name.size() &&
                line.compare(0, name.size(), name) == 0 && line[name.size()] == '\t';
        if (sound && !result(i, std::string_view(line).substr(name.size()), error))
            return false;
    }
    sound = sound && reader.next(line) == LineReader::Line && line.empty();
    if (!sound) {
        error = f.dir + ": log.txt does not list the accepted variants of its record";
        return false;
    }
    if (summary && !readSummary(reader, *summary)) {
        error = f.dir + ": log.txt does not end with the summary of what its run rejected";
        return false;
    }
    return true;
}

/// Checks every folder's log and that the results it lists are files; keeps
/// the first folder's header.
bool checkLogs(MergePlan& plan, std::string& error) {
    for (const Folder& f : plan.folders) {
        RejectionSummary summary;
        const bool ok = walkLog(
            f, &f == &plan.folders.front() ? &plan.header : nullptr, error,
            [&](std::int64_t i, std::string_view, std::string& why) {
                struct stat st {};
                const std::string name = resultFileName(i);
                if (::fstatat(f.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISREG(st.st_mode))
                    return true;
                why = f.dir + ": " + name + " is missing or not a file";
                return false;
            },
            &summary);
        if (!ok)
            return false;
        // The folders come in enumeration order; every one counts the same conditions.
        if (&f == &plan.folders.front())
            plan.summary = summary;
        else if (summary.conditions.size() != plan.summary.conditions.size()) {
            error =
                f.dir + ": log.txt counts other conditions than " + plan.folders.front().dir + "'s";
            return false;
        } else {
            plan.summary.merge(summary);
        }
    }
    return true;
}

MergeOutcome refused(std::string message) {
    return {MergeStatus::Refused, std::move(message)};
}

/// The merged folder being written: every file made in it is remembered, so
/// that a failure can remove them all.
class MergedFolder {
public:
    MergedFolder(int dir, std::string shown) : dir_(dir), shown_(std::move(shown)) {}
    ~MergedFolder() {
        if (kept_)
            return;
        for (const std::string& name : made_)
            ::unlinkat(dir_, name.c_str(), 0);
        for (std::int64_t n = 1; n <= results_; ++n)
            ::unlinkat(dir_, resultFileName(n).c_str(), 0);
    }
    MergedFolder(const MergedFolder&) = delete;
    MergedFolder& operator=(const MergedFolder&) = delete;

    /// Makes the new file `name` with permission bits `mode` (less the umask).
    Fd create(const std::string& name, mode_t mode, std::string& error) {
        Fd fd(::openat(dir_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       mode));
        if (!fd)
            error = shown_ + "/" + name + ": cannot be written (" + errnoText(errno) + ")";
        else if (name == resultFileName(results_ + 1))
            ++results_; // No1.quav ... made in order: counted, not listed
        else
            made_.push_back(name);
        return fd;
    }
    void keep() { kept_ = true; }

private:
    int dir_;
    std::string shown_;
    std::vector<std::string> made_;
    std::int64_t results_ = 0;
    bool kept_ = false;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

/// Copies `size` bytes: in the kernel where it can, else through a buffer.
bool copyBytes(int from, int to, std::uint64_t size) {
    off_t in = 0;
    while (static_cast<std::uint64_t>(in) < size) {
        const ssize_t n =
            ::copy_file_range(from, &in, to, nullptr, static_cast<std::size_t>(size - in), 0);
        if (n > 0)
            continue;
        if (n == 0)
            return false; // the file shrank
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
            errno != EBADF)
            return false;
        char chunk[kChunk];
        while (static_cast<std::uint64_t>(in) < size) {
            const ssize_t r = ::pread(from, chunk, sizeof chunk, in);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0 || !writeAll(to, std::string_view(chunk, static_cast<std::size_t>(r))))
                return false;
            in += r;
        }
    }
    return true;
}

/// Writes the merged study into the folder `dir`.
bool writeMerged(const MergePlan& plan, MergedFolder& out, const MergeOptions& options,
                 std::string& error) {
    const Folder& first = plan.folders.front();
    const mode_t originalMode = [&] {
        struct stat st {};
        return ::fstatat(first.fd(), "original.quav", &st, AT_SYMLINK_NOFOLLOW) == 0
                   ? st.st_mode & 0666
                   : 0666;
    }();
    Fd original = out.create("original.quav", originalMode, error);
    if (!original)
        return false;
    if (!writeAll(original.get(), plan.original) || ::fsync(original.get()) != 0 ||
        !original.reset()) {
        error = "original.quav: " + errnoText(errno);
        return false;
    }

    Fd log = out.create("log.txt", 0666, error);
    if (!log)
        return false;
    std::string buffer = logFileBytes(timestampLine("計算スタート日時：\t",
                                                    static_cast<std::time_t>(plan.merged.started)) +
                                      "\n") +
                         plan.header;
    bool logOk = true;
    auto flush = [&](bool always) {
        if (always || buffer.size() >= kChunk) {
            logOk = logOk && writeAll(log.get(), buffer);
            buffer.clear();
        }
        return logOk;
    };
    std::int64_t number = 0;
    for (const Folder& f : plan.folders) {
        const bool ok = walkLog(
            f, nullptr, error, [&](std::int64_t i, std::string_view rest, std::string& why) {
                if (options.stop && options.stop->load() != 0) {
                    why = "stopped by a signal";
                    return false;
                }
                const std::string from = resultFileName(i);
                const std::string shown = f.dir + "/" + from;
                struct stat st {};
                Fd source = openInFolder(f.fd(), from, shown, st, why);
                if (!source)
                    return false;
                char head[4];
                if (::pread(source.get(), head, sizeof head, 0) !=
                        static_cast<ssize_t>(sizeof head) ||
                    !hasFormat(std::string_view(head, sizeof head), options.modelFormat)) {
                    why = shown + ": not a model file of this version";
                    return false;
                }
                const std::string to = resultFileName(++number);
                Fd target = out.create(to, st.st_mode & 0666, why);
                if (!target)
                    return false;
                if (!copyBytes(source.get(), target.get(),
                               static_cast<std::uint64_t>(st.st_size)) ||
                    !target.reset()) {
                    why = shown + ": cannot be copied (" + errnoText(errno) + ")";
                    return false;
                }
                buffer += to;
                buffer += rest;
                buffer += "\r\n";
                if (!flush(false)) {
                    why = "log.txt: " + errnoText(errno);
                    return false;
                }
                return true;
            });
        if (!ok)
            return false;
    }
    const ShardRecord& m = plan.merged;
    buffer += logFileBytes(
        "\n" + timestampLine("計算終了日時：\t", static_cast<std::time_t>(m.ended)) + "\n" +
        format("組合せ数\t%lld\n条件一致数\t%lld\n処理件数\t%lld\n",
               static_cast<long long>(m.combinations), static_cast<long long>(number),
               static_cast<long long>(m.processed)));
    for (const std::string& line : summaryLines(plan.summary))
        buffer += logFileBytes(line + "\n");
    if (!flush(true) || ::fsync(log.get()) != 0 || !log.reset()) {
        error = "log.txt: " + errnoText(errno);
        return false;
    }
    if (plan.front) {
        Fd front = out.create(kParetoFile, 0666, error);
        if (!front)
            return false;
        if (!writeAll(front.get(),
                      plan.frontHeader + "\n" + paretoCsvRows(plan.front->members())) ||
            ::fsync(front.get()) != 0 || !front.reset()) {
            error = std::string(kParetoFile) + ": " + errnoText(errno);
            return false;
        }
    }
    if (plan.whole)
        return true;
    Fd record = out.create(kShardRecordFile, 0666, error);
    if (!record)
        return false;
    if (!writeAll(record.get(), shardRecordText(m)) || ::fsync(record.get()) != 0 ||
        !record.reset()) {
        error = std::string(kShardRecordFile) + ": " + errnoText(errno);
        return false;
    }
    return true;
}

/// True when the folder holds nothing.
bool isEmptyFolder(int dir) {
    const int copy = ::dup(dir);
    DIR* stream = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!stream) {
        if (copy >= 0)
            ::close(copy);
        return false;
    }
    bool empty = true;
    while (const dirent* entry = ::readdir(stream))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            empty = false;
    ::closedir(stream);
    return empty;
}

} // namespace

CombinationRange shardRange(std::int64_t combinations, int index, int count) {
    using Wide = __int128;
    return {static_cast<std::int64_t>(Wide{combinations} * (index - 1) / count),
            static_cast<std::int64_t>(Wide{combinations} * index / count)};
}

std::string shardRecordText(const ShardRecord& r) {
    auto n = [](std::int64_t x) { return static_cast<long long>(x); };
    const std::string shards = r.last == r.index ? format("%d/%d", r.index, r.count)
                                                 : format("%d-%d/%d", r.index, r.last, r.count);
    return std::string(kRecordHeader) + "\nbuild " + r.build + "\nshard " + shards +
           format("\ncombinations %lld\nrange %lld %lld\nprocessed %lld\n"
                  "matches %lld\nstatus %s\nstarted %lld\nended %lld\n",
                  n(r.combinations), n(r.range.begin), n(r.range.end), n(r.processed), n(r.matches),
                  kStatusNames[static_cast<int>(r.status)], n(r.started), n(r.ended));
}

bool parseShardRecord(std::string_view text, ShardRecord& record, std::string& error) {
    // The lines in the order shardRecordText writes them, each "key value...".
    const char* keys[] = {"build",   "shard",  "combinations", "range", "processed",
                          "matches", "status", "started",      "ended"};
    std::vector<std::string_view> lines;
    for (std::size_t start = 0, at; (at = text.find('\n', start)) != std::string_view::npos;
         start = at + 1)
        lines.push_back(text.substr(start, at - start));
    error = "not a shard record";
    if (!lines.empty() && lines[0] == kOldRecordHeader)
        error = "a shard record of an older build: run the shard again";
    if (lines.size() != 1 + std::size(keys) || lines[0] != kRecordHeader)
        return false;
    std::string_view value[std::size(keys)];
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        const std::string_view line = lines[i + 1];
        const std::string key = std::string(keys[i]) + " ";
        if (!line.starts_with(key))
            return false;
        value[i] = line.substr(key.size());
    }
    ShardRecord r;
    r.build = value[0];
    std::int64_t index = 0, last = 0, count = 0;
    const std::string_view shard = value[1];
    const std::size_t slash = shard.find('/');
    const std::size_t dash = shard.substr(0, slash).find('-');
    const std::size_t space = value[3].find(' ');
    bool ok = slash != std::string_view::npos && space != std::string_view::npos &&
              parseInteger(shard.substr(0, std::min(dash, slash)), index) &&
              parseInteger(shard.substr(slash + 1), count) &&
              parseInteger(value[2], r.combinations) &&
              parseInteger(value[3].substr(0, space), r.range.begin) &&
              parseInteger(value[3].substr(space + 1), r.range.end) &&
              parseInteger(value[4], r.processed) && parseInteger(value[5], r.matches) &&
              parseInteger(value[7], r.started) && parseInteger(value[8], r.ended);
    last = index;
    if (ok && dash != std::string_view::npos)
        ok = parseInteger(shard.substr(dash + 1, slash - dash - 1), last);
    const auto status = std::find(std::begin(kStatusNames), std::end(kStatusNames), value[6]);
    ok = ok && status != std::end(kStatusNames) && !r.build.empty() &&
         r.build.size() <= kMaxBuildChars &&
         std::all_of(r.build.begin(), r.build.end(), [](char c) { return c > ' ' && c < 127; });
    if (!ok)
        return false;
    r.status = static_cast<ShardStatus>(status - std::begin(kStatusNames));
    // A record of another part than its numbers say, or of a count beyond what
    // --shard takes, is damaged (and would size the merge's tables).
    const bool consistent = count >= 1 && count <= kMaxShards && index >= 1 && index <= last &&
                            last <= count && r.combinations >= 0;
    if (consistent) {
        r.index = static_cast<int>(index);
        r.last = static_cast<int>(last);
        r.count = static_cast<int>(count);
    }
    if (!consistent || shardRange(r.combinations, r.index, r.count).begin != r.range.begin ||
        shardRange(r.combinations, r.last, r.count).end != r.range.end || r.processed < 0 ||
        r.processed > r.range.end - r.range.begin || r.matches < 0 || r.matches > r.processed ||
        (r.last != r.index && r.status != ShardStatus::Finished)) {
        error = "a damaged shard record";
        return false;
    }
    record = r;
    error.clear();
    return true;
}

namespace {

/// Writes what the plan found into `outDir`, which must be new or empty, not
/// one of the shards' folders and no run's: into a new folder beside it that
/// replaces it at the end, or where none can be made beside it, into the
/// folder itself, removing what was written if the merge fails.
MergeOutcome mergeInto(const MergePlan& plan, const std::string& outDir,
                       const MergeOptions& options) {
    namespace fs = std::filesystem;
    std::string error;
    std::error_code ec;
    struct stat st {};
    const bool existed = ::stat(outDir.c_str(), &st) == 0;
    if (existed) {
        for (const Folder& f : plan.folders)
            if (f.device == st.st_dev && f.inode == st.st_ino)
                return refused(outDir + " is one of the shard folders");
    } else if (!fs::create_directories(outDir, ec) && !fs::is_directory(outDir)) {
        return refused("cannot create the folder " + outDir + " (" + ec.message() + ")");
    }
    // A folder made here and then refused or failed is removed again.
    struct MadeFolder {
        std::string path;
        ~MadeFolder() {
            if (!path.empty())
                ::rmdir(path.c_str());
        }
    } made{existed ? std::string() : outDir};
    const RunDirectoryLock lock(outDir);
    if (!lock.held())
        return refused(lock.refusal());
    if (!isEmptyFolder(lock.fd()))
        return refused(outDir + " is not empty: merge writes a new folder");
    char* real = ::realpath(outDir.c_str(), nullptr);
    const std::string target = real ? real : outDir;
    std::free(real);
    mode_t folderMode = plan.folderMode;
    if (::fstat(lock.fd(), &st) == 0)
        folderMode &= st.st_mode & 0777;

    static int sequence = 0;
    const fs::path parent = fs::path(target).parent_path();
    const std::string temp =
        (parent / format(".quav-merge-%ld-%d", static_cast<long>(::getpid()), sequence++)).string();
    const bool beside = ::mkdir(temp.c_str(), 0700) == 0;
    struct TempFolder {
        std::string path;
        ~TempFolder() {
            if (!path.empty())
                ::rmdir(path.c_str());
        }
    } tempFolder{beside ? temp : std::string()};
    if (!beside && errno != EACCES && errno != EPERM && errno != EROFS)
        return {MergeStatus::Failed, "cannot create a folder beside " + outDir + " (" +
                                         errnoText(errno) + "); nothing was written"};
    Fd tempFd(beside ? ::open(temp.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1);
    const int dir = beside ? tempFd.get() : lock.fd();
    if (dir < 0)
        return {MergeStatus::Failed, temp + ": " + errnoText(errno) + "; nothing was written"};
    {
        MergedFolder out(dir, outDir);
        bool ok = writeMerged(plan, out, options, error);
        if (ok && ::fchmod(dir, folderMode) != 0) {
            error = outDir + ": " + errnoText(errno);
            ok = false;
        }
        if (ok && beside && ::rename(temp.c_str(), target.c_str()) != 0) {
            error = outDir + ": cannot be replaced (" + errnoText(errno) + ")";
            ok = false;
        }
        if (!ok)
            return {MergeStatus::Failed, error + "; nothing was written"};
        out.keep();
    }
    tempFolder.path.clear();
    made.path.clear();
    // The rename is on the disk once the folder that holds it is.
    if (beside) {
        const Fd parentFd(
            ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (parentFd)
            ::fsync(parentFd.get());
    }
    const ShardRecord& m = plan.merged;
    if (plan.whole)
        return {MergeStatus::Merged,
                format("%d shards merged: %lld combinations, %lld accepted", m.count,
                       static_cast<long long>(m.combinations), static_cast<long long>(m.matches))};
    return {MergeStatus::Merged,
            describeShards(m.index, m.last, m.count) +
                " merged: " + describeRange(m.range.begin, m.range.end) +
                format(", %lld accepted; merge the folder again with the others",
                       static_cast<long long>(m.matches))};
}

} // namespace

MergeOutcome mergeShards(const std::vector<std::string>& shardDirs, const std::string& outDir,
                         const MergeOptions& options) {
    if (shardDirs.empty())
        return refused("no shard folders given");
    if (outDir.empty())
        return refused("no output folder given");
    MergePlan plan;
    std::string error;
    if (!readFolders(shardDirs, plan, error) || !checkOneStudy(plan, options.modelFormat, error) ||
        !checkCoverage(plan, options.partial, error) || !checkLogs(plan, error) ||
        !readFronts(plan, options, error))
        return refused(error);
    return mergeInto(plan, outDir, options);
}

} // namespace quav
