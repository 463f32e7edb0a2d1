#pragma once

#include <functional>
#include <string>

namespace quav {

/// The part of a study an optimiser run evaluates: K of N, from `--shard`.
struct ShardChoice {
    int index = 0;      ///< K, from 1
    int count = 0;      ///< N
    std::string source; ///< where `auto` found them ("Slurm", "Open MPI", ...)
    std::string error;  ///< why no part could be chosen
    bool ok() const { return error.empty(); }
};

/// "K/N" with 1 <= K <= N <= kMaxShards.
bool parseShard(const std::string& text, int& index, int& count);

/// A variable of the process's environment, null when it is not set.
using Environment = std::function<const char*(const char*)>;

/// K and N from the variables a batch scheduler or an MPI launcher sets:
/// - Slurm arrays: SLURM_ARRAY_TASK_ID, _MIN, _MAX, _STEP (default 1), _COUNT
/// - Grid Engine (SGE, UGE) arrays: SGE_TASK_ID, SGE_TASK_FIRST, SGE_TASK_LAST,
///   SGE_TASK_STEPSIZE
/// - LSF arrays from index 1: LSB_JOBINDEX, LSB_JOBINDEX_END, LSB_JOBINDEX_STEP
/// - PBS Pro (PBS_ARRAY_INDEX) and Torque (PBS_ARRAYID) arrays from index 1,
///   which give no array size: N from QUAV_SHARD_COUNT
/// - QUAV_SHARD_INDEX (from 0, as HTCondor's $(Process)) with QUAV_SHARD_COUNT
/// - Open MPI (OMPI_COMM_WORLD_RANK, _SIZE) and MPICH (PMI_RANK, PMI_SIZE)
/// The index is K - 1 steps past the array's first index. Refused when none of
/// them is set, when a set is incomplete or out of range, or when two disagree
/// (a launcher's world of one process gives way to an array).
ShardChoice shardFromEnvironment(const Environment& environment);

/// `--shard` as given: "K/N", or "auto" for shardFromEnvironment.
ShardChoice chooseShard(const std::string& text, const Environment& environment);

} // namespace quav
