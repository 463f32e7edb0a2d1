#include "optimizer/StudyShards.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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
    r.index = 2;
    r.count = 3;
    r.combinations = 75;
    r.range = shardRange(75, 2, 3);
    r.processed = 10;
    r.matches = 2;
    r.started = 1700000000;
    r.ended = 1700000042;
    for (ShardStatus s :
         {ShardStatus::Running, ShardStatus::Finished, ShardStatus::Stopped, ShardStatus::Failed}) {
        r.status = s;
        ShardRecord back;
        std::string error;
        ASSERT_TRUE(parseShardRecord(shardRecordText(r), back, error)) << error;
        EXPECT_EQ(shardRecordText(back), shardRecordText(r));
    }
    const std::string text = shardRecordText(r);
    auto damaged = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    for (const std::string& bad :
         {text.substr(0, text.size() - 5), damaged("range 25 50", "range 25 49"),
          damaged("shard 2/3", "shard 4/3"), damaged("processed 10", "processed 26"),
          damaged("matches 2", "matches 11"), damaged("status failed", "status done"),
          damaged("started 1700000000", "started soon")}) {
        ShardRecord back;
        std::string error;
        EXPECT_FALSE(parseShardRecord(bad, back, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}
