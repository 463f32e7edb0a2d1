#include "optimizer/StudyShards.h"

#include "model/FileIo.h"
#include "model/TextFormat.h"
#include "optimizer/OptimizerLog.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <limits>

namespace quav {

namespace {

// Model files and logs are read whole: far beyond any a study writes.
constexpr std::size_t kMaxShardFileBytes = std::size_t{1} << 30;
constexpr std::size_t kMaxRecordBytes = 4096;
constexpr std::string_view kRecordHeader = "QUAV shard record 1";

constexpr const char* kStatusNames[] = {"running", "finished", "stopped", "failed"};

/// Combinations [begin, end) as the user counts them, from 1.
std::string describeRange(std::int64_t begin, std::int64_t end) {
    return format("combinations %lld to %lld", static_cast<long long>(begin + 1),
                  static_cast<long long>(end));
}

bool parseInteger(std::string_view text, std::int64_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

/// Lines of a log.txt (CP932, every line ended by CR LF), without their ends.
std::vector<std::string> logLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = bytes.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(bytes.substr(start, at - start));
    return lines;
}

/// One shard's folder, read and checked.
struct Shard {
    std::string dir;
    ShardRecord record;
    std::string original;             // original.quav
    std::vector<std::string> header;  // log lines after the start time up to the dashes
    std::vector<std::string> results; // log lines of the accepted variants
};

std::string resultFileName(std::int64_t number) {
    return format("No%lld.quav", static_cast<long long>(number));
}

/// The header and result lines of a shard's log, checked against its record.
bool readLog(Shard& shard, std::string& error) {
    const FileContent log = readWholeFile(shard.dir + "/log.txt", kMaxShardFileBytes);
    if (!log.ok()) {
        error = shard.dir + ": " + log.error;
        return false;
    }
    const std::vector<std::string> lines = logLines(log.bytes);
    const auto dashes = std::find(lines.begin(), lines.end(), std::string(67, '-'));
    if (lines.empty() || dashes == lines.end()) {
        error = shard.dir + ": log.txt is not the log of a run";
        return false;
    }
    shard.header.assign(lines.begin() + 1, dashes + 1);
    for (auto line = dashes + 1; line != lines.end() && !line->empty(); ++line)
        shard.results.push_back(*line);
    bool sound = static_cast<std::int64_t>(shard.results.size()) == shard.record.matches;
    for (std::size_t i = 0; sound && i < shard.results.size(); ++i)
        sound =
            shard.results[i].starts_with(resultFileName(static_cast<std::int64_t>(i) + 1) + "\t");
    if (!sound)
        error = shard.dir + ": log.txt does not list the accepted variants of its record";
    return sound;
}

/// Why the shard leaves some of its range uncovered, or "" when it covers it all.
std::string uncovered(const Shard* shard, const CombinationRange& range, std::int64_t& from) {
    from = range.begin;
    if (!shard)
        return "no folder given";
    const ShardRecord& r = shard->record;
    switch (r.status) {
    case ShardStatus::Finished:
        if (r.processed == range.end - range.begin)
            return "";
        from = range.begin + r.processed;
        return "its record ends early";
    case ShardStatus::Stopped:
        from = range.begin + r.processed;
        return format("stopped after %lld of %lld", static_cast<long long>(r.processed),
                      static_cast<long long>(range.end - range.begin));
    case ShardStatus::Failed:
        return "some of its files could not be written";
    case ShardStatus::Running:
        break;
    }
    return "its run did not finish";
}

} // namespace

CombinationRange shardRange(std::int64_t combinations, int index, int count) {
    using Wide = __int128;
    return {static_cast<std::int64_t>(Wide{combinations} * (index - 1) / count),
            static_cast<std::int64_t>(Wide{combinations} * index / count)};
}

std::string shardRecordText(const ShardRecord& r) {
    auto n = [](std::int64_t x) { return static_cast<long long>(x); };
    return std::string(kRecordHeader) + "\n" +
           format("shard %d/%d\ncombinations %lld\nrange %lld %lld\nprocessed %lld\n"
                  "matches %lld\nstatus %s\nstarted %lld\nended %lld\n",
                  r.index, r.count, n(r.combinations), n(r.range.begin), n(r.range.end),
                  n(r.processed), n(r.matches), kStatusNames[static_cast<int>(r.status)],
                  n(r.started), n(r.ended));
}

bool parseShardRecord(std::string_view text, ShardRecord& record, std::string& error) {
    // The lines in the order shardRecordText writes them, each "key value...".
    const char* keys[] = {"shard",   "combinations", "range",   "processed",
                          "matches", "status",       "started", "ended"};
    std::vector<std::string_view> lines;
    for (std::size_t start = 0, at; (at = text.find('\n', start)) != std::string_view::npos;
         start = at + 1)
        lines.push_back(text.substr(start, at - start));
    error = "not a shard record";
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
    std::int64_t index = 0, count = 0;
    const std::size_t slash = value[0].find('/');
    const std::size_t space = value[2].find(' ');
    bool ok = slash != std::string_view::npos && space != std::string_view::npos &&
              parseInteger(value[0].substr(0, slash), index) &&
              parseInteger(value[0].substr(slash + 1), count) &&
              parseInteger(value[1], r.combinations) &&
              parseInteger(value[2].substr(0, space), r.range.begin) &&
              parseInteger(value[2].substr(space + 1), r.range.end) &&
              parseInteger(value[3], r.processed) && parseInteger(value[4], r.matches) &&
              parseInteger(value[6], r.started) && parseInteger(value[7], r.ended);
    const auto status = std::find(std::begin(kStatusNames), std::end(kStatusNames), value[5]);
    ok = ok && status != std::end(kStatusNames);
    if (!ok)
        return false;
    r.status = static_cast<ShardStatus>(status - std::begin(kStatusNames));
    r.index = static_cast<int>(std::clamp<std::int64_t>(index, 0, std::numeric_limits<int>::max()));
    r.count = static_cast<int>(std::clamp<std::int64_t>(count, 0, std::numeric_limits<int>::max()));
    // A record of a shard other than the one its numbers say is damaged.
    const bool consistent = r.index >= 1 && r.index <= r.count && index == r.index &&
                            count == r.count && r.combinations >= 0 &&
                            shardRange(r.combinations, r.index, r.count).begin == r.range.begin &&
                            shardRange(r.combinations, r.index, r.count).end == r.range.end &&
                            r.processed >= 0 && r.processed <= r.range.end - r.range.begin &&
                            r.matches >= 0 && r.matches <= r.processed;
    if (!consistent) {
        error = "a damaged shard record";
        return false;
    }
    record = r;
    error.clear();
    return true;
}

MergeOutcome mergeShards(const std::vector<std::string>& shardDirs, const std::string& outDir) {
    MergeOutcome outcome;
    std::string& message = outcome.message;
    if (shardDirs.empty()) {
        message = "no shard folders given";
        return outcome;
    }
    std::vector<Shard> shards(shardDirs.size());
    for (std::size_t i = 0; i < shards.size(); ++i) {
        Shard& s = shards[i];
        s.dir = shardDirs[i];
        const FileContent record = readWholeFile(s.dir + "/" + kShardRecordFile, kMaxRecordBytes);
        if (!record.ok()) {
            message = s.dir + ": not the folder of a shard (" + record.error + ")";
            return outcome;
        }
        if (!parseShardRecord(record.bytes, s.record, message)) {
            message = s.dir + ": " + message;
            return outcome;
        }
        const FileContent original = readWholeFile(s.dir + "/original.quav", kMaxShardFileBytes);
        if (!original.ok()) {
            message = s.dir + ": " + original.error;
            return outcome;
        }
        s.original = original.bytes;
    }

    // One study: the same starting model and settings (original.quav holds both),
    // split the same way.
    const Shard& first = shards.front();
    const int count = first.record.count;
    const std::int64_t combinations = first.record.combinations;
    for (const Shard& s : shards) {
        if (s.record.count != count || s.record.combinations != combinations ||
            s.original != first.original) {
            message = s.dir + " is a shard of another study than " + first.dir +
                      " (another starting model, other settings or another number of shards)";
            return outcome;
        }
    }
    std::vector<Shard*> byIndex(static_cast<std::size_t>(count) + 1, nullptr);
    for (Shard& s : shards) {
        Shard*& slot = byIndex[static_cast<std::size_t>(s.record.index)];
        if (slot) {
            message = format("shard %d/%d given twice: ", s.record.index, count) + slot->dir +
                      " and " + s.dir;
            return outcome;
        }
        slot = &s;
    }
    std::string gaps;
    for (int k = 1; k <= count; ++k) {
        const CombinationRange range = shardRange(combinations, k, count);
        std::int64_t from = range.begin;
        const std::string why = uncovered(byIndex[static_cast<std::size_t>(k)], range, from);
        if (!why.empty() && from < range.end)
            gaps +=
                format("\n  shard %d/%d, ", k, count) + describeRange(from, range.end) + ": " + why;
    }
    if (!gaps.empty()) {
        message = "the shards do not cover every combination; missing:" + gaps;
        return outcome;
    }
    // Shards with nothing to evaluate (more shards than combinations) may be absent.
    std::vector<Shard*> present;
    for (Shard* s : byIndex)
        if (s)
            present.push_back(s);
    std::int64_t started = present.front()->record.started, ended = 0;
    for (Shard* s : present) {
        if (!readLog(*s, message))
            return outcome;
        for (std::int64_t i = 1; i <= s->record.matches; ++i) {
            if (!std::filesystem::is_regular_file(s->dir + "/" + resultFileName(i))) {
                message = s->dir + ": " + resultFileName(i) + " is missing";
                return outcome;
            }
        }
        started = std::min(started, s->record.started);
        ended = std::max(ended, s->record.ended);
    }

    std::error_code ec;
    for (const Shard& s : shards) {
        if (std::filesystem::equivalent(outDir, s.dir, ec)) {
            message = outDir + " is one of the shard folders";
            return outcome;
        }
    }
    std::filesystem::create_directories(outDir, ec);
    auto write = [&](const std::string& name, const std::string& bytes) {
        const FileResult r = writeFileAtomically(outDir + "/" + name, bytes, Durability::Unsynced);
        if (!r.ok())
            message = r.error;
        return r.ok();
    };
    if (!write("original.quav", first.original))
        return outcome;
    std::string log = logFileBytes(
        timestampLine("計算スタート日時：\t", static_cast<std::time_t>(started)) + "\n");
    for (const std::string& line : present.front()->header)
        log += line + "\r\n";
    std::int64_t number = 0;
    for (const Shard* s : present) {
        for (std::size_t i = 0; i < s->results.size(); ++i) {
            const std::string from = resultFileName(static_cast<std::int64_t>(i) + 1);
            const FileContent file = readWholeFile(s->dir + "/" + from, kMaxShardFileBytes);
            if (!file.ok()) {
                message = file.error;
                return outcome;
            }
            const std::string to = resultFileName(++number);
            if (!write(to, file.bytes))
                return outcome;
            log += to + s->results[i].substr(from.size()) + "\r\n";
        }
    }
    log += logFileBytes("\n" + timestampLine("計算終了日時：\t", static_cast<std::time_t>(ended)) +
                        "\n" +
                        format("組合せ数\t%lld\n条件一致数\t%lld\n処理件数\t%lld\n",
                               static_cast<long long>(combinations), static_cast<long long>(number),
                               static_cast<long long>(combinations)));
    if (!write("log.txt", log))
        return outcome;
    outcome.merged = true;
    message = format("%d shards merged: %lld combinations, %lld accepted", count,
                     static_cast<long long>(combinations), static_cast<long long>(number));
    return outcome;
}

} // namespace quav
