// The command line's own pieces: --shard, the progress line, temporary files on signals.
#include "cli/Interrupts.h"
#include "cli/Progress.h"
#include "cli/ShardOption.h"

#include "model/FileIo.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace fs = std::filesystem;
using namespace quav;

namespace {

/// The choice `--shard auto` makes under `variables` ("NAME=value ..."), as
/// "K/N", or "refused" with the message checked to name auto.
std::string autoShard(const std::string& variables) {
    std::map<std::string, std::string> env;
    for (std::size_t at = 0; at < variables.size();) {
        std::size_t end = variables.find(' ', at);
        end = end == std::string::npos ? variables.size() : end;
        const std::string pair = variables.substr(at, end - at);
        env[pair.substr(0, pair.find('='))] = pair.substr(pair.find('=') + 1);
        at = end + 1;
    }
    const ShardChoice c = chooseShard("auto", [&env](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    });
    if (!c.ok())
        return c.error.starts_with("--shard auto: ") ? "refused" : "bad message: " + c.error;
    return std::to_string(c.index) + "/" + std::to_string(c.count);
}

} // namespace

TEST(ShardOption, AutoReadsEachSchedulersArrayAndRefusesWhatDoesNotAddUp) {
    const std::pair<const char*, const char*> cases[] = {
        // Slurm: the array's range and step; a list of indices has none.
        {"SLURM_ARRAY_TASK_ID=0 SLURM_ARRAY_TASK_MIN=0 SLURM_ARRAY_TASK_MAX=15", "1/16"},
        {"SLURM_ARRAY_TASK_ID=5 SLURM_ARRAY_TASK_MIN=1 SLURM_ARRAY_TASK_MAX=7 "
         "SLURM_ARRAY_TASK_STEP=2 SLURM_ARRAY_TASK_COUNT=4",
         "3/4"},
        {"SLURM_ARRAY_TASK_ID=3 SLURM_ARRAY_TASK_MIN=1 SLURM_ARRAY_TASK_MAX=7 "
         "SLURM_ARRAY_TASK_COUNT=4",
         "refused"},
        {"SLURM_ARRAY_TASK_ID=3", "refused"},
        {"SLURM_ARRAY_TASK_ID=9 SLURM_ARRAY_TASK_MIN=1 SLURM_ARRAY_TASK_MAX=8", "refused"},
        // Grid Engine; "undefined" outside an array.
        {"SGE_TASK_ID=21 SGE_TASK_FIRST=1 SGE_TASK_LAST=91 SGE_TASK_STEPSIZE=10", "3/10"},
        {"SGE_TASK_ID=undefined", "refused"},
        {"SGE_TASK_ID=2 SGE_TASK_FIRST=1 SGE_TASK_LAST=x", "refused"},
        // LSF from 1; 0 outside an array.
        {"LSB_JOBINDEX=4 LSB_JOBINDEX_END=8", "4/8"},
        {"LSB_JOBINDEX=0 LSB_JOBINDEX_END=8", "refused"},
        // PBS gives no size; QUAV_SHARD_INDEX counts from 0 like $(Process).
        {"PBS_ARRAY_INDEX=2 QUAV_SHARD_COUNT=5", "2/5"},
        {"PBS_ARRAYID=2", "refused"},
        {"PBS_ARRAYID=0 QUAV_SHARD_COUNT=5", "refused"},
        {"QUAV_SHARD_INDEX=0 QUAV_SHARD_COUNT=5", "1/5"},
        {"QUAV_SHARD_INDEX=5 QUAV_SHARD_COUNT=5", "refused"},
        // MPI launchers; a world of one gives way to an array, two that differ refuse.
        {"OMPI_COMM_WORLD_RANK=3 OMPI_COMM_WORLD_SIZE=4", "4/4"},
        {"PMI_RANK=0 PMI_SIZE=2", "1/2"},
        {"PMI_RANK=0", "refused"},
        {"LSB_JOBINDEX=2 LSB_JOBINDEX_END=3 PMI_RANK=0 PMI_SIZE=1", "2/3"},
        {"LSB_JOBINDEX=2 LSB_JOBINDEX_END=3 OMPI_COMM_WORLD_RANK=1 OMPI_COMM_WORLD_SIZE=3", "2/3"},
        {"LSB_JOBINDEX=2 LSB_JOBINDEX_END=3 OMPI_COMM_WORLD_RANK=0 OMPI_COMM_WORLD_SIZE=3",
         "refused"},
        {"QUAV_SHARD_INDEX=0 QUAV_SHARD_COUNT=1000001", "refused"},
        {"", "refused"},
    };
    for (const auto& [variables, expected] : cases)
        EXPECT_EQ(autoShard(variables), expected) << variables;
}

TEST(ShardOption, ExplicitPartsAreBounded) {
    const auto none = [](const char*) -> const char* { return nullptr; };
    for (const char* good : {"1/1", "3/7", "1000000/1000000"})
        EXPECT_TRUE(chooseShard(good, none).ok()) << good;
    for (const char* bad : {"0/3", "4/3", "1/1000001", "1/", "/3", "a/3", "1/3x", "-1/3", ""})
        EXPECT_FALSE(chooseShard(bad, none).ok()) << bad;
}

TEST(ProgressDisplay, BarShowsCountsShareAndTimes) {
    EXPECT_EQ(ProgressDisplay::line(250, 1000, 3, 10.0, true),
              "[#######.......................] 250/1000 (25.0%)  matches 3  elapsed 0:00:10  "
              "remaining 0:00:30");
    EXPECT_EQ(ProgressDisplay::line(0, 1000, 0, 0.0, false),
              "progress 0/1000 (0.0%)  matches 0  elapsed 0:00:00  remaining --:--:--");
    // An empty or negative combination count shows as done rather than dividing by zero.
    EXPECT_EQ(ProgressDisplay::line(0, -9, 0, 1.0, false),
              "progress 0/-9 (100.0%)  matches 0  elapsed 0:00:01  remaining --:--:--");
    // Work without matches leaves them out.
    EXPECT_EQ(ProgressDisplay::line(5, 10, -1, 2.0, false),
              "progress 5/10 (50.0%)  elapsed 0:00:02  remaining 0:00:02");
}

// A command interrupted while it writes its output leaves no temporary file.
TEST(InterruptsDeathTest, SignalsRemoveTheTemporaryFileOfASaveInProgress) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        char name[] = "/tmp/quav-interrupt-XXXXXX";
        const fs::path folder = ::mkdtemp(name);
        EXPECT_EXIT(
            {
                removeTemporaryFilesOnSignals();
                OutputFile file((folder / "out.quav").string());
                file.write("part of a model");
                if (fs::is_empty(folder))
                    std::exit(3); // no temporary file to remove: nothing would be tested
                std::raise(signal);
            },
            testing::KilledBySignal(signal), "");
        EXPECT_TRUE(fs::is_empty(folder));
        fs::remove_all(folder);
    }
}
