#pragma once

#include "optimizer/OptimizerRun.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quav {

// A study split into shards: separate runs over contiguous parts of one
// enumeration (on as many machines), and the merge of their folders into the
// folder a single run would have written.

/// Part `index` (1 to `count`) of `count` contiguous and nearly equal parts of an
/// enumeration of `combinations` combinations: [floor(c (index - 1) / count),
/// floor(c index / count)).
CombinationRange shardRange(std::int64_t combinations, int index, int count);

/// How far a shard's run has come.
enum class ShardStatus {
    Running,  ///< started, not ended (or ended without saying so: killed)
    Finished, ///< every combination of its range evaluated, every file written
    Stopped,  ///< stopped by the user
    Failed,   ///< files that could not be written
};

/// What a shard's folder records about its run, in kShardRecordFile beside the
/// run's own files.
struct ShardRecord {
    int index = 0;                 ///< K of K/N, from 1
    int count = 0;                 ///< N
    std::int64_t combinations = 0; ///< of the whole enumeration
    CombinationRange range;        ///< this shard's part of it
    std::int64_t processed = 0;    ///< combinations evaluated, from range.begin on
    std::int64_t matches = 0;      ///< accepted variants: No1.quav ... in the folder
    ShardStatus status = ShardStatus::Running;
    std::int64_t started = 0; ///< when the run started [s since the epoch]
    std::int64_t ended = 0;   ///< when it ended; 0 while it runs
};

inline constexpr const char* kShardRecordFile = "shard.txt";

/// The record as the text of kShardRecordFile (ASCII, one "key value" per line).
std::string shardRecordText(const ShardRecord& record);

/// Reads a record; false with the reason when `text` is not a complete, sound one.
bool parseShardRecord(std::string_view text, ShardRecord& record, std::string& error);

struct MergeOutcome {
    bool merged = false;
    /// What was merged, or why nothing was: every shard missing, unfinished or
    /// given twice with the combinations it leaves uncovered, or the first fault
    /// of a folder or a file.
    std::string message;
};

/// Merges the folders of the N shards of one study into `outDir`, which then
/// holds what a single run would have written: original.quav, No1.quav ... in
/// enumeration order and log.txt with the same lines and totals (its time stamps
/// the earliest start and the latest end of the shards). Refused, with nothing
/// written, unless the folders hold every shard exactly once, each finished,
/// all of the same starting model and settings.
MergeOutcome mergeShards(const std::vector<std::string>& shardDirs, const std::string& outDir);

} // namespace quav
