#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "platform/folders.h"
#include "tests/support/test_support.h"

namespace {

using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;
using testing_support::TempDir;

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = testing_support::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    testing_support::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Names of the entries of `folder`.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(ProfileFile, FileAndFolderAreCreatedOnTheFirstWrite) {
    TempDir dir;
    const std::string file = dir.File("new folder/sub/settings.ini");
    EXPECT_EQ(GetPrivateProfileString("GENERAL", "Bitrate", "128", file), "128");
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_TRUE(WritePrivateProfileString("GENERAL", "Bitrate", "64", file));
    EXPECT_EQ(ReadText(file), "[GENERAL]\nBitrate=64\n");
    EXPECT_EQ(GetPrivateProfileString("GENERAL", "Bitrate", "128", file), "64");
}

TEST(ProfileFile, BareNamesLiveInTheSettingsFolder) {
    EXPECT_EQ(platform::ProfilePath("ringsmith.ini"),
              platform::SettingsFolder() + "/ringsmith.ini");
    EXPECT_EQ(platform::ProfilePath("/x/y.ini"), "/x/y.ini");
}

TEST(ProfileFile, SectionAndKeyNamesIgnoreCase) {
    TempDir dir;
    const std::string file = dir.File("a.ini");
    WriteText(file, "[General]\nOutFolder=/home/u/\n");
    EXPECT_EQ(GetPrivateProfileString("GENERAL", "outfolder", "", file), "/home/u/");
    ASSERT_TRUE(WritePrivateProfileString("general", "OUTFOLDER", "/tmp/", file));
    // The existing entry is replaced, not doubled.
    EXPECT_EQ(ReadText(file), "[General]\nOUTFOLDER=/tmp/\n");
}

TEST(ProfileFile, ValuesAreTrimmedUnquotedAndCutTo255Bytes) {
    TempDir dir;
    const std::string file = dir.File("a.ini");
    const std::string longValue(300, 'x');
    // 127 two-byte characters and one more: the cut may not split the last one.
    std::string wide;
    for (int i = 0; i < 128; ++i) wide += "\xC3\xA9";
    WriteText(file, "[S]\n  a  =  spaced value  \nq=\"quoted \"\nlong=" + longValue +
                        "\nwide=" + wide + "\nempty=\n");
    EXPECT_EQ(GetPrivateProfileString("S", "a", "", file), "spaced value");
    EXPECT_EQ(GetPrivateProfileString("S", "q", "", file), "quoted ");
    EXPECT_EQ(GetPrivateProfileString("S", "long", "", file), std::string(255, 'x'));
    EXPECT_EQ(GetPrivateProfileString("S", "wide", "", file), wide.substr(0, 254));
    EXPECT_EQ(GetPrivateProfileString("S", "empty", "dflt", file), "");
    EXPECT_EQ(GetPrivateProfileString("S", "missing", longValue, file), std::string(255, 'x'));
}

TEST(ProfileFile, OtherLinesSurviveAWriteAndTheFirstDuplicateIsRead) {
    TempDir dir;
    const std::string file = dir.File("a.ini");
    const std::string original = std::string("; comment\n[Other]\nk=v\ngarbage line\n") +
                                 "bin\x01\xff\xfe=\x7f\n" + "[GENERAL]\nKey=first\nkey=second\n" +
                                 "[Tail]\nz=1\n";
    WriteText(file, original);
    EXPECT_EQ(GetPrivateProfileString("GENERAL", "key", "", file), "first");
    ASSERT_TRUE(WritePrivateProfileString("GENERAL", "New", "n", file));
    ASSERT_TRUE(WritePrivateProfileString("Added", "x", "1", file));
    EXPECT_EQ(ReadText(file), std::string("; comment\n[Other]\nk=v\ngarbage line\n") +
                                  "bin\x01\xff\xfe=\x7f\n" +
                                  "[GENERAL]\nKey=first\nkey=second\nNew=n\n" +
                                  "[Tail]\nz=1\n[Added]\nx=1\n");
    // Writing the duplicated key changes the first one, which is the one read.
    ASSERT_TRUE(WritePrivateProfileString("GENERAL", "KEY", "changed", file));
    EXPECT_EQ(GetPrivateProfileString("GENERAL", "key", "", file), "changed");
}

TEST(ProfileFile, CrLfFilesAndLineBreaksInValues) {
    TempDir dir;
    const std::string file = dir.File("a.ini");
    WriteText(file, "[S]\r\nk=v\r\n");
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", file), "v");
    // A value with a line break cannot forge a key of its own.
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "a\nInjected=1", file));
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", file), "a");
    EXPECT_EQ(GetPrivateProfileString("S", "Injected", "none", file), "none");
    // A write keeps the file's CR LF line ends, for its other lines and the new ones, and a
    // stray CR at the end of a line (a fuzzing find: it was lost on every write).
    WriteText(file, "[S]\r\nk=v\r\nodd line\r\r\n");
    ASSERT_TRUE(WritePrivateProfileString("S", "k2", "w", file));
    ASSERT_TRUE(WritePrivateProfileString("T", "k", "x", file));
    EXPECT_EQ(ReadText(file), "[S]\r\nk=v\r\nk2=w\r\nodd line\r\r\n[T]\r\nk=x\r\n");
    EXPECT_EQ(GetPrivateProfileString("S", "k2", "", file), "w");
}

TEST(ProfileFile, ReplaceIsAtomicAndKeepsPermissionsAndLinks) {
    TempDir dir;
    const std::string folder = dir.File("cfg");
    std::filesystem::create_directories(folder);
    const std::string file = folder + "/a.ini";
    WriteText(file, "[S]\nk=1\n");
    ::chmod(file.c_str(), 0600);
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", file));
    EXPECT_EQ(Entries(folder), std::vector<std::string>{"a.ini"});  // no temporary file left
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", file));
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A new file gets the permissions the file-creation mask gives, and the mask is untouched.
    const mode_t before = ::umask(022);
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "1", folder + "/new.ini"));
    EXPECT_EQ(::umask(before), 022u);
    ASSERT_EQ(::stat((folder + "/new.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    const std::string link = dir.File("link.ini");
    std::filesystem::create_symlink(file, link);
    ASSERT_TRUE(WritePrivateProfileString("S", "k", "3", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", file), "3");
}

// Writes into a read-only file and into a read-only folder; returns a bit per write that
// wrongly succeeded or per file that changed.
int WriteIntoReadOnlyPlaces(const std::string& folder) {
    int faults = 0;
    const std::string file = folder + "/ro.ini";
    if (WritePrivateProfileString("S", "k", "2", file)) faults |= 1;
    if (ReadText(file) != "[S]\nk=1\n") faults |= 2;
    const std::string inside = folder + "/locked/a.ini";
    if (WritePrivateProfileString("S", "k", "2", inside)) faults |= 4;
    if (WritePrivateProfileString("S", "k", "2", folder + "/locked/new.ini")) faults |= 8;
    if (ReadText(inside) != "[S]\nk=1\n") faults |= 16;
    if (Entries(folder + "/locked") != std::vector<std::string>{"a.ini"}) faults |= 32;
    // A file that cannot be read is not replaced by the one key written.
    if (WritePrivateProfileString("S", "k", "2", folder + "/secret.ini")) faults |= 64;
    ::chmod((folder + "/secret.ini").c_str(), 0600);
    if (ReadText(folder + "/secret.ini") != "[S]\nk=1\nother=kept\n") faults |= 128;
    return faults;
}

TEST(ProfileFile, ReadOnlyFileOrFolderFailsAndLosesNothing) {
    // Permissions do not bind the super-user: then the writes run in a child process that has
    // become an ordinary user, on files that user owns.
    const bool superUser = ::geteuid() == 0;
    std::string base = "/tmp/vxprofile-XXXXXX";
    ASSERT_NE(::mkdtemp(base.data()), nullptr);
    ::chmod(base.c_str(), 0755);
    const std::string locked = base + "/locked";
    std::filesystem::create_directories(locked);
    WriteText(base + "/ro.ini", "[S]\nk=1\n");
    WriteText(locked + "/a.ini", "[S]\nk=1\n");
    WriteText(base + "/secret.ini", "[S]\nk=1\nother=kept\n");
    const uid_t nobody = 65534;
    if (superUser) {
        ASSERT_EQ(::chown(base.c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown((base + "/ro.ini").c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown(locked.c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown((locked + "/a.ini").c_str(), nobody, nobody), 0);
        ASSERT_EQ(::chown((base + "/secret.ini").c_str(), nobody, nobody), 0);
    }
    ::chmod((base + "/secret.ini").c_str(), 0200);
    ::chmod((base + "/ro.ini").c_str(), 0444);
    ::chmod(locked.c_str(), 0555);

    if (superUser) {
        GTEST_FLAG_SET(death_test_style, "fast");
        EXPECT_EXIT(
            {
                if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) std::_Exit(100);
                std::_Exit(WriteIntoReadOnlyPlaces(base));
            },
            testing::ExitedWithCode(0), "");
    } else {
        EXPECT_EQ(WriteIntoReadOnlyPlaces(base), 0);
    }
    ::chmod(locked.c_str(), 0755);
    std::filesystem::remove_all(base);
}

TEST(ProfileFile, PathsWithBlanksAndNonAsciiText) {
    TempDir dir;
    const std::string file = dir.File("My Settings \xC3\xBC/r\xC3\xA9glages.ini");
    const std::string value = "/home/u/Musik f\xC3\xBCr Telefon/";
    ASSERT_TRUE(WritePrivateProfileString("GENERAL", "Folder", value, file));
    EXPECT_EQ(GetPrivateProfileString("GENERAL", "Folder", "", file), value);
}

TEST(ProfileFile, WritersOnSeveralThreadsKeepEachOthersKeys) {
    TempDir dir;
    const std::string file = dir.File("a.ini");
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                const std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
                WritePrivateProfileString("S", key, std::to_string(i), file);
            }
        });
    }
    for (std::thread& w : writers) w.join();
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 20; ++i) {
            const std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
            EXPECT_EQ(GetPrivateProfileString("S", key, "lost", file), std::to_string(i)) << key;
        }
    }
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"a.ini"});
}

TEST(ProfileFile, InMemoryEditsAndHas) {
    TempDir dir;
    platform::ProfileFile profile(dir.File("a.ini"));
    profile.Load();
    EXPECT_FALSE(profile.Has("S", "k"));
    profile.Set("S", "k", "v");
    profile.Set("S", "k2", "w");
    EXPECT_TRUE(profile.Has("s", "K"));
    ASSERT_TRUE(profile.Save());
    EXPECT_EQ(ReadText(dir.File("a.ini")), "[S]\nk=v\nk2=w\n");
}

}  // namespace
