#include "optimizer/StudyShards.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace quav;

TEST(StudyShards, PartsAreContiguousNearlyEqualAndCoverTheEnumeration) {
    for (std::int64_t total : {std::int64_t{0}, std::int64_t{1}, std::int64_t{7},
                               std::int64_t{104976}, (std::int64_t{1} << 62) + 3}) {
        for (int n : {1, 2, 3, 7, 16}) {
            std::int64_t next = 0;
            for (int k = 1; k <= n; ++k) {
                const CombinationRange r = shardRange(total, k, n);
                EXPECT_EQ(r.begin, next) << total << " " << k << "/" << n;
                EXPECT_LE(r.end - r.begin, total / n + 1);
                EXPECT_GE(r.end - r.begin, total / n);
                next = r.end;
            }
            EXPECT_EQ(next, total);
        }
    }
}

TEST(StudyShards, RecordsReadBackAndDamagedOnesAreRefused) {
    ShardRecord r;
    r.index = r.last = 2;
    r.count = 3;
    r.combinations = 75;
    r.range = shardRange(75, 2, 3);
    r.processed = 10;
    r.matches = 2;
    r.started = 1700000000;
    r.ended = 1700000042;
    r.build = "0.1-g1a2b3c4d5e";
    ShardRecord group = r; // shards 2 and 3 merged
    group.last = 3;
    group.range = {25, 75};
    group.processed = 50;
    group.status = ShardStatus::Finished;
    for (ShardStatus s :
         {ShardStatus::Running, ShardStatus::Finished, ShardStatus::Stopped, ShardStatus::Failed}) {
        r.status = s;
        for (const ShardRecord& record : {r, group}) {
            ShardRecord back;
            std::string error;
            ASSERT_TRUE(parseShardRecord(shardRecordText(record), back, error)) << error;
            EXPECT_EQ(shardRecordText(back), shardRecordText(record));
        }
    }
    const std::string text = shardRecordText(r);
    auto damaged = [](std::string t, const std::string& from, const std::string& to) {
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::string groupText = shardRecordText(group);
    ShardRecord empty = r; // shard 2 of a million: no combination of 75
    empty.count = kMaxShards;
    empty.range = {0, 0};
    empty.processed = empty.matches = 0;
    const std::string emptyPart = shardRecordText(empty);
    ShardRecord back;
    std::string error;
    EXPECT_TRUE(parseShardRecord(emptyPart, back, error)) << error;
    for (const std::string& bad :
         {text.substr(0, text.size() - 5), damaged(text, "range 25 50", "range 25 49"),
          damaged(text, "shard 2/3", "shard 4/3"), damaged(text, "processed 10", "processed 26"),
          damaged(text, "matches 2", "matches 11"), damaged(text, "status failed", "status done"),
          damaged(text, "started 1700000000", "started soon"),
          damaged(text, "build 0.1-g1a2b3c4d5e", "build two words"),
          damaged(text, "build 0.1-g1a2b3c4d5e\n", ""),
          // A count beyond what --shard takes would size the merge's tables.
          damaged(emptyPart, "/1000000", "/1000001"),
          damaged(groupText, "shard 2-3/3", "shard 3-2/3"),
          damaged(groupText, "status finished", "status stopped")}) {
        ShardRecord back;
        std::string error;
        EXPECT_FALSE(parseShardRecord(bad, back, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(parseShardRecord(damaged(text, "record 2\nbuild 0.1-g1a2b3c4d5e", "record 1"),
                                  back, error));
    EXPECT_EQ(error, "a shard record of an older build: run the shard again");
}

// The lock is on the folder itself (no file in it, reached by links); readers exclude writers.
TEST(StudyShards, RunLocksLeaveNoFileAndExcludeWriters) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("quav-lock-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "run");
    const std::string run = (dir / "run").string();
    fs::create_directory_symlink(dir / "run", dir / "link");
    {
        const RunDirectoryLock lock(run);
        ASSERT_TRUE(lock.held()) << lock.refusal();
        EXPECT_TRUE(fs::is_empty(run));
        for (const std::string& other : {run, (dir / "link").string()}) {
            for (auto mode : {RunDirectoryLock::Exclusive, RunDirectoryLock::Shared}) {
                const RunDirectoryLock second(other, mode);
                EXPECT_FALSE(second.held());
                EXPECT_TRUE(second.inUse());
                EXPECT_EQ(second.refusal(), "出力ﾌｫﾙﾀﾞは他の最適化計算が使用中です：" + other);
            }
        }
    }
    {
        const RunDirectoryLock reader(run, RunDirectoryLock::Shared);
        const RunDirectoryLock another(run, RunDirectoryLock::Shared);
        EXPECT_TRUE(reader.held() && another.held() && reader.fd() >= 0);
        EXPECT_FALSE(RunDirectoryLock(run).held());
    }
    EXPECT_TRUE(RunDirectoryLock(run).held());
    EXPECT_TRUE(fs::is_empty(run));
    std::ofstream(dir / "file") << "x";
    for (const fs::path& notFolder : {dir / "file", dir / "missing"}) {
        const RunDirectoryLock lock(notFolder.string());
        EXPECT_FALSE(lock.held() || lock.inUse());
        EXPECT_TRUE(lock.refusal().starts_with("出力ﾌｫﾙﾀﾞに書き込めません：")) << lock.refusal();
    }
    fs::remove_all(dir);
}
