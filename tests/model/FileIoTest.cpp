#include "model/FileIo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quav;
using quav::testing::fileContent;
using quav::testing::TempDir;

namespace {

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

fs::file_type typeOf(const fs::path& p) {
    return fs::symlink_status(p).type();
}

} // namespace

// What a save does to each kind of target: regular files are replaced whole,
// devices and pipes written through, everything else refused and left alone
// (a file the user may not write: quav-cli's end-to-end test, run as nobody).
TEST(OutputFile, EachKindOfTarget) {
    struct Case {
        const char* name;
        std::function<fs::path(const fs::path&)> make; // the target in a fresh folder
        bool accepted;
        fs::file_type typeAfter;
    };
    const bool root = ::geteuid() == 0;
    const Case cases[] = {
        {"new file", [](const fs::path& d) { return d / "new.quav"; }, true,
         fs::file_type::regular},
        {"existing file",
         [](const fs::path& d) {
             writeText(d / "old.quav", "old");
             return d / "old.quav";
         },
         true, fs::file_type::regular},
        {"link to a file stays a link",
         [](const fs::path& d) {
             writeText(d / "real.quav", "old");
             fs::create_symlink("real.quav", d / "link.quav");
             return d / "link.quav";
         },
         true, fs::file_type::symlink},
        {"name of 250 bytes",
         [](const fs::path& d) { return d / (std::string(245, 'n') + ".quav"); }, true,
         fs::file_type::regular},
        {"character device",
         [root](const fs::path& d) {
             if (!root)
                 return fs::path("/dev/null");
             ::mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3));
             return d / "null";
         },
         true, fs::file_type::character},
        {"FIFO without a reader",
         [](const fs::path& d) {
             ::mkfifo((d / "fifo").c_str(), 0666);
             return d / "fifo";
         },
         false, fs::file_type::fifo},
        {"folder",
         [](const fs::path& d) {
             fs::create_directory(d / "sub");
             return d / "sub";
         },
         false, fs::file_type::directory},
        {"link loop",
         [](const fs::path& d) {
             fs::create_symlink("b", d / "a");
             fs::create_symlink("a", d / "b");
             return d / "a";
         },
         false, fs::file_type::symlink},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const fs::path target = c.make(folder.str());
        auto expected = folder.names();
        if (c.accepted && target.parent_path() == folder.str())
            expected.insert(target.filename().string());
        const FileResult r = writeFileAtomically(target.string(), "new bytes");
        EXPECT_EQ(r.ok(), c.accepted) << r.error;
        EXPECT_EQ(typeOf(target), c.typeAfter);
        EXPECT_EQ(folder.names(), expected); // no temporary file left, whatever happened
        if (c.accepted && c.typeAfter != fs::file_type::character) {
            EXPECT_EQ(fileContent(target), "new bytes");
        }
    }
}

TEST(OutputFile, KeepsPermissionsOfTheReplacedFile) {
    TempDir folder;
    const fs::path p = folder / "m.quav";
    writeText(p, "old");
    ::chmod(p.c_str(), 0640);
    ASSERT_TRUE(writeFileAtomically(p.string(), "new").ok());
    struct stat st {};
    ::stat(p.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(OutputFile, WritesThroughAFifoWithAReader) {
    TempDir folder;
    const fs::path fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(writeFileAtomically(fifo.string(), "through").ok());
    char buffer[16] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "through");
    ::close(reader);
    EXPECT_EQ(typeOf(fifo), fs::file_type::fifo);
}

TEST(OutputFile, AnUncommittedFileLeavesNothing) {
    TempDir folder;
    writeText(folder / "m.quav", "old");
    {
        OutputFile file((folder / "m.quav").string());
        ASSERT_TRUE(file.write("half"));
        EXPECT_EQ(folder.names().size(), 2u); // the temporary file exists meanwhile
    }
    EXPECT_EQ(folder.names(), std::set<std::string>{"m.quav"});
    EXPECT_EQ(fileContent(folder / "m.quav"), "old");
}
