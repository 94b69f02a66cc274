#include "platform/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/paths.h"
#include "platform/qt_ui.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::ScopedEnv;

TEST(Folders, SystemDirectoryFollowsTheOverride) {
    {
        ScopedEnv env("VEXMOR_SYSTEM_DIR", "/opt/vx/lib//");
        EXPECT_EQ(platform::SystemDirectory(), "/opt/vx/lib");
    }
    ScopedEnv env("VEXMOR_SYSTEM_DIR", std::nullopt);
    // Without it: lib/vexmor beside the folder of the running program.
    const std::string programFolder = platform::ProgramFolder();
    ASSERT_FALSE(programFolder.empty());
    EXPECT_EQ(platform::SystemDirectory(),
              platform::CutAtLastSeparator(programFolder) + "/lib/vexmor");
    EXPECT_EQ(platform::ShareFolder(),
              platform::CutAtLastSeparator(programFolder) + "/share/vexmor");
}

TEST(Folders, SettingsFolderFollowsXdgConfigHome) {
    testing_support::TempDir dir;
    {
        ScopedEnv env("XDG_CONFIG_HOME", dir.path());
        EXPECT_EQ(platform::SettingsFolder(), dir.path() + "/ringsmith");
    }
    ScopedEnv env("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(platform::SettingsFolder(), platform::HomeFolder() + "/.config/ringsmith");
}

TEST(Folders, ScratchFolderIsMadeAndNeverHoldsABlank) {
    testing_support::TempDir dir;
    {
        ScopedEnv env("XDG_CACHE_HOME", dir.path() + "/cache");
        const std::string folder = platform::ScratchFolder();
        EXPECT_EQ(folder, dir.path() + "/cache/ringsmith/" + std::to_string(::getpid()));
        EXPECT_TRUE(platform::IsDirectory(folder));
        EXPECT_EQ(platform::ScratchFolder(), folder);
    }
    ScopedEnv env("XDG_CACHE_HOME", dir.path() + "/my cache");
    const std::string folder = platform::ScratchFolder();
    EXPECT_EQ(folder.find(' '), std::string::npos);
    EXPECT_TRUE(platform::IsDirectory(folder));
    EXPECT_TRUE(platform::IsWritable(folder));
    // The fallback folder under /tmp is this user's alone.
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(Folders, DesignFoldersMapOntoTheHomeFolder) {
    ScopedEnv env("HOME", "/home/tester/");
    EXPECT_EQ(platform::HomeFolder(), "/home/tester");
    EXPECT_EQ(platform::MapDesignFolder("c:\\"), "/home/tester/");
    EXPECT_EQ(platform::MapDesignFolder("C:"), "/home/tester/");
    EXPECT_EQ(platform::MapDesignFolder("c:\\Vexmorringtone"), "/home/tester/Vexmorringtone");
    EXPECT_EQ(platform::MapDesignFolder("c:\\a\\b\\"), "/home/tester/a/b/");
    EXPECT_EQ(platform::MapDesignFolder("relative\\x"), "relative/x");
}

TEST(Paths, SeparatorRules) {
    EXPECT_EQ(platform::CutAtLastSeparator("/a/b/c.mp3"), "/a/b");
    EXPECT_EQ(platform::CutAtLastSeparator("c.mp3"), "");
    EXPECT_EQ(platform::AfterLastSeparator("/a/b/c.mp3"), "c.mp3");
    EXPECT_EQ(platform::AfterLastSeparator("c.mp3"), "c.mp3");
    EXPECT_EQ(platform::AfterLastSeparator("/a/"), "");
    EXPECT_EQ(platform::WithTrailingSeparator("/a"), "/a/");
    EXPECT_EQ(platform::WithTrailingSeparator("/a/"), "/a/");
    EXPECT_EQ(platform::WithTrailingSeparator(""), "/");
    EXPECT_EQ(platform::FolderOfFile("/home/u/a.mp3"), "/home/u/");
    EXPECT_EQ(platform::FolderOfFile("/a.mp3"), "/");
    EXPECT_EQ(platform::JoinPath("/a/", "/b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(platform::JoinPath("", "b"), "b");
    EXPECT_EQ(platform::ToPlatformSeparators("a\\b\\c"), "a/b/c");
    EXPECT_EQ(platform::LowerTail("Song.MP3", 4), ".mp3");
    EXPECT_EQ(platform::LowerTail("AB", 4), "ab");
}

TEST(Paths, FileTests) {
    testing_support::TempDir dir;
    const std::string file = dir.File("f \xC3\xA9.bin");
    EXPECT_FALSE(platform::FileExists(file));
    EXPECT_EQ(platform::FileSize(file), -1);
    testing_support::WriteFile(file, std::vector<uint8_t>(10, 1));
    EXPECT_TRUE(platform::FileExists(file));
    EXPECT_FALSE(platform::IsDirectory(file));
    EXPECT_TRUE(platform::IsDirectory(dir.path()));
    EXPECT_EQ(platform::FileSize(file), 10);
    EXPECT_TRUE(platform::IsWritable(file));
    if (::geteuid() != 0) {
        ::chmod(file.c_str(), 0444);
        EXPECT_FALSE(platform::IsWritable(file));
    }
    EXPECT_TRUE(platform::RemoveFile(file));
    EXPECT_FALSE(platform::RemoveFile(file));
    EXPECT_FALSE(platform::FileExists(""));
}

TEST(QtNameFilter, DesignFiltersBecomeQtFilters) {
    // A name that already lists its patterns is shown once, as it is.
    EXPECT_EQ(platform::QtNameFilter("MP3 files(*.mp3)|*.mp3||"), "MP3 files(*.mp3)");
    EXPECT_EQ(platform::QtNameFilter("M3U playlist (*.m3u)|*.m3u|Vexmor playlist (*.vxl)|*.vxl||"),
              "M3U playlist (*.m3u);;Vexmor playlist (*.vxl)");
    EXPECT_EQ(platform::QtNameFilter("Lists (*.m3u;*.vxl)|*.m3u;*.vxl||"), "Lists (*.m3u *.vxl)");
    // Other patterns in the name than the filter's are not the filter's: they are added.
    EXPECT_EQ(platform::QtNameFilter("MP3 files(*.mp3)|*.mp2||"), "MP3 files(*.mp3) (*.mp2)");
    EXPECT_EQ(platform::QtNameFilter("Playlists|*.m3u;*.vxl|All Files (*.*)|*.*||"),
              "Playlists (*.m3u *.vxl);;All Files (*)");
    EXPECT_EQ(platform::QtNameFilter("WAV|*.wav"), "WAV (*.wav)");
    EXPECT_EQ(platform::QtNameFilter(""), "");
    EXPECT_EQ(platform::QtNameFilter("|*.x||"), "");
}

}  // namespace
