#include "model/FileIo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
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

// Regular files are replaced whole, devices written through (pipes, folders, link loops,
// long names, read-only files: quav-cli's end-to-end test).
TEST(OutputFile, EachKindOfTarget) {
    struct Case {
        const char* name;
        std::function<fs::path(const fs::path&)> make; // the target in a fresh folder
        fs::file_type typeAfter;
    };
    const bool root = ::geteuid() == 0;
    const Case cases[] = {
        {"new file", [](const fs::path& d) { return d / "new.quav"; }, fs::file_type::regular},
        {"existing file",
         [](const fs::path& d) {
             writeText(d / "old.quav", "old");
             return d / "old.quav";
         },
         fs::file_type::regular},
        {"link to a file stays a link",
         [](const fs::path& d) {
             writeText(d / "real.quav", "old");
             fs::create_symlink("real.quav", d / "link.quav");
             return d / "link.quav";
         },
         fs::file_type::symlink},
        {"character device",
         [root](const fs::path& d) {
             if (!root)
                 return fs::path("/dev/null");
             ::mknod((d / "null").c_str(), S_IFCHR | 0666, makedev(1, 3));
             return d / "null";
         },
         fs::file_type::character},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const fs::path target = c.make(folder.str());
        auto expected = folder.names();
        if (target.parent_path() == folder.str())
            expected.insert(target.filename().string());
        const FileResult r = writeFileAtomically(target.string(), "new bytes");
        EXPECT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(typeOf(target), c.typeAfter);
        EXPECT_EQ(folder.names(), expected); // no temporary file left
        if (c.typeAfter != fs::file_type::character) {
            EXPECT_EQ(fileContent(target), "new bytes");
        }
    }
}

TEST(OutputFile, KeepsPermissionsOfTheReplacedFileAndAnUncommittedOneLeavesNothing) {
    TempDir folder;
    const fs::path p = folder / "m.quav";
    writeText(p, "old");
    ::chmod(p.c_str(), 0640);
    ASSERT_TRUE(writeFileAtomically(p.string(), "new").ok());
    struct stat st {};
    ::stat(p.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // An uncommitted file leaves nothing behind.
    {
        OutputFile file((folder / "m.quav").string());
        ASSERT_TRUE(file.write("half"));
        EXPECT_EQ(folder.names().size(), 2u); // the temporary file exists meanwhile
    }
    EXPECT_EQ(folder.names(), std::set<std::string>{"m.quav"});
    EXPECT_EQ(fileContent(folder / "m.quav"), "new");
}
