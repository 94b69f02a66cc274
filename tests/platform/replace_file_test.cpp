#include "platform/replace_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
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

// An unfinished name is claimed as a new empty file: names where links (one leading to a file,
// one leading nowhere) or files stand are passed over, and what they lead to is untouched; a
// folder that cannot take the file gives no name and the system's reason.
TEST(ClaimUnfinishedName, PassesOverEveryNameThatStandsAlready) {
    ts::TempDir dir;
    ts::WriteFile(dir.File("victim.mp3"), {1, 2, 3});
    const std::string prefix = dir.File(".track01.mp3");
    const std::string pid = std::to_string(::getpid());
    // The claims of one process count up from where the last one stopped: the first claim
    // shows where the next ones go.
    const std::optional<std::string> first = platform::ClaimUnfinishedName(prefix);
    ASSERT_TRUE(first);
    const std::string stem = prefix + ".part-" + pid + "-";
    ASSERT_EQ(first->rfind(stem, 0), 0u) << *first;
    const unsigned next = static_cast<unsigned>(std::stoul(first->substr(stem.size()))) + 1;
    fs::create_symlink(dir.File("victim.mp3"), stem + std::to_string(next));
    fs::create_symlink(dir.File("nowhere.mp3"), stem + std::to_string(next + 1));
    ts::WriteFile(stem + std::to_string(next + 2), {7});

    const std::optional<std::string> claimed = platform::ClaimUnfinishedName(prefix);
    ASSERT_TRUE(claimed);
    EXPECT_EQ(*claimed, stem + std::to_string(next + 3));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(*claimed)));
    EXPECT_EQ(fs::file_size(*claimed), 0u);
    EXPECT_EQ(ts::ReadFile(dir.File("victim.mp3")), (Bytes{1, 2, 3}));
    EXPECT_FALSE(fs::exists(dir.File("nowhere.mp3")));
    EXPECT_EQ(ts::ReadFile(stem + std::to_string(next + 2)), (Bytes{7}));

    std::string why;
    EXPECT_FALSE(platform::ClaimUnfinishedName(dir.File("no/such/folder/x"), &why));
    EXPECT_EQ(why, std::strerror(ENOENT));
}

}  // namespace
