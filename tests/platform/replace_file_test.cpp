#include "platform/replace_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
namespace ts = testing_support;
using Bytes = std::vector<uint8_t>;

// A finished file takes its name over a file, a link to another file and a link that leads
// nowhere alike: the entry is replaced, and nothing is written where a link pointed.
TEST(RenameIntoPlace, ReplacesWhatStandsAtTheNameNeverWhereALinkLeads) {
    ts::TempDir dir;
    ts::WriteFile(dir.File("elsewhere.mp3"), {1, 2, 3});
    ts::WriteFile(dir.File("plain.mp3"), {4});
    fs::create_symlink(dir.File("elsewhere.mp3"), dir.File("linked.mp3"));
    fs::create_symlink(dir.File("nowhere.mp3"), dir.File("dangling.mp3"));
    for (const char* name : {"plain.mp3", "linked.mp3", "dangling.mp3", "free.mp3"}) {
        SCOPED_TRACE(name);
        const std::string finished = dir.File(std::string(".") + name + ".part");
        ts::WriteFile(finished, {9, 9});
        ASSERT_TRUE(platform::RenameIntoPlace(finished, dir.File(name)));
        EXPECT_FALSE(fs::is_symlink(dir.File(name)));
        EXPECT_EQ(ts::ReadFile(dir.File(name)), (Bytes{9, 9}));
        EXPECT_FALSE(fs::exists(finished));
    }
    EXPECT_EQ(ts::ReadFile(dir.File("elsewhere.mp3")), (Bytes{1, 2, 3}));
    EXPECT_FALSE(fs::exists(dir.File("nowhere.mp3")));
}

// A rename that cannot happen leaves the finished file under its own name and the target as it
// was; a finished name that is itself a link is refused rather than followed.
TEST(RenameIntoPlace, AFailedRenameLeavesBothAsTheyWere) {
    ts::TempDir dir;
    const std::string finished = dir.File("done.part");
    ts::WriteFile(finished, {5});
    EXPECT_FALSE(platform::RenameIntoPlace(finished, dir.File("no/such/folder/x.mp3")));
    EXPECT_EQ(ts::ReadFile(finished), (Bytes{5}));
    fs::create_directory(dir.File("folder.mp3"));
    EXPECT_FALSE(platform::RenameIntoPlace(finished, dir.File("folder.mp3")));
    EXPECT_TRUE(fs::is_directory(dir.File("folder.mp3")));
    EXPECT_FALSE(platform::RenameIntoPlace(dir.File("missing.part"), dir.File("x.mp3")));
    EXPECT_FALSE(fs::exists(dir.File("x.mp3")));

    fs::create_symlink(finished, dir.File("planted.part"));
    EXPECT_FALSE(platform::RenameIntoPlace(dir.File("planted.part"), dir.File("y.mp3")));
    EXPECT_FALSE(fs::exists(dir.File("y.mp3")));
    EXPECT_FALSE(platform::RenameIntoPlace("", dir.File("z.mp3")));
}

}  // namespace
