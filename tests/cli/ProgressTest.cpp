#include "cli/Progress.h"

#include <gtest/gtest.h>

using quav::ProgressDisplay;

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
