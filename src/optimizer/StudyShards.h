#pragma once

#include "optimizer/OptimizerRun.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quav {

// A study split into shards: separate runs over contiguous parts of one
// enumeration (on as many machines), and the merge of their folders into the
// folder a single run would have written.

/// Most shards a study is split into.
inline constexpr int kMaxShards = 1000000;

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
/// run's own files. A folder merged from shards `index` to `last` of a study
/// (not all of them) records them as one finished shard, so that it can be
/// merged again with the others.
struct ShardRecord {
    int index = 0;                 ///< K of K/N, from 1: the folder's first shard
    int last = 0;                  ///< its last shard: `index` for one shard's run
    int count = 0;                 ///< N, at most kMaxShards
    std::int64_t combinations = 0; ///< of the whole enumeration
    CombinationRange range;        ///< the folder's part of it
    std::int64_t processed = 0;    ///< combinations evaluated, from range.begin on
    std::int64_t matches = 0;      ///< accepted variants: No1.quav ... in the folder
    ShardStatus status = ShardStatus::Running;
    std::int64_t started = 0; ///< when the run started [s since the epoch]
    std::int64_t ended = 0;   ///< when it ended; 0 while it runs
    /// The build of quav-cli that ran it (printable ASCII without spaces, at
    /// most 100 characters): shards of one study come from one build.
    std::string build;
};

inline constexpr const char* kShardRecordFile = "shard.txt";

/// The record as the text of kShardRecordFile (ASCII, one "key value" per line).
std::string shardRecordText(const ShardRecord& record);

/// Reads a record; false with the reason when `text` is not a complete, sound one.
bool parseShardRecord(std::string_view text, ShardRecord& record, std::string& error);

struct MergeOptions {
    /// Merge folders that cover only some of the shards, one contiguous run of
    /// them: the result records them (kShardRecordFile) and is merged again
    /// with the others'. Folders that cover every shard make the whole study's
    /// folder all the same.
    bool partial = false;
    /// The format every model file of the folders starts with (the model file's
    /// first integer, as this build writes it).
    int modelFormat = 0;
    /// The merge stops, removing what it wrote, when this reads non-zero.
    const std::atomic<int>* stop = nullptr;
    /// Reads the study's settings from the bytes of original.quav: the number of
    /// parameters and the senses of the objectives (true where maximised; none for
    /// a study without objectives). False when the bytes are not a model file.
    /// Needed to merge the fronts (pareto.csv) of studies with objectives; without
    /// it a folder with a front is refused.
    std::function<bool(std::string_view original, std::size_t& parameters,
                       std::vector<bool>& maximise)>
        readStudy;
};

enum class MergeStatus {
    Merged,
    Refused, ///< nothing written: the folders or the output folder are not fit
    Failed,  ///< writing failed or was stopped part way; what was written is removed
};

struct MergeOutcome {
    MergeStatus status = MergeStatus::Refused;
    /// What was merged, or why nothing was: every shard missing, unfinished or
    /// given twice with the combinations it leaves uncovered (the first few, and
    /// how many more), or the first fault of a folder or a file.
    std::string message;
    bool merged() const { return status == MergeStatus::Merged; }
};

/// Merges the folders of the N shards of one study (or of merges of some of
/// them) into `outDir`, which then holds what a single run would have
/// written: original.quav, No1.quav ... in enumeration order and log.txt with
/// the same lines and totals (its time stamps the earliest start and the
/// latest end of the shards) and, for a study with objectives, pareto.csv: the
/// front of the shards' fronts, their files renumbered. Refused, with nothing written, unless the
/// folders hold every shard exactly once, each finished, all of the same
/// starting model, settings and build, and `outDir` is new or empty and no
/// run or merge uses it or the folders. Reads each log and each model file as
/// a stream, one at a time, so memory does not grow with the study. Writes
/// into a new folder beside `outDir` that replaces it at the end, so a merge
/// that fails or is stopped leaves no part of a study behind.
///
/// Each file written takes its source's permission bits less the umask (as a
/// new file, never more open than the shard's), the folder those of `outDir`
/// (as found, or as made) less any that a shard's folder lacks.
MergeOutcome mergeShards(const std::vector<std::string>& shardDirs, const std::string& outDir,
                         const MergeOptions& options);

} // namespace quav
