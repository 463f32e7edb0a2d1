#include "cli/Interrupts.h"

#include "model/FileIo.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace quav;

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
