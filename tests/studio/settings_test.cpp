#include "studio/settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "studio/session.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::TempDir;

std::string SettingsPath() { return platform::ProfilePath(SettingsFileName()); }

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string Stored(const std::string& key) {
    return platform::GetPrivateProfileString(kSettingsSection, key, "<absent>", SettingsFileName());
}

class SettingsTest : public ::testing::Test {
protected:
  studio::Session session;
  void SetUp() override { std::filesystem::remove_all(platform::SettingsFolder()); }
  void TearDown() override { std::filesystem::remove_all(platform::SettingsFolder()); }
};

}  // namespace

TEST_F(SettingsTest, FileNameIsBareAndLandsInTheSettingsFolder) {
    EXPECT_EQ(SettingsFileName(), "ringsmith.ini");
    EXPECT_EQ(SettingsPath(), platform::SettingsFolder() + "/ringsmith.ini");
}

TEST_F(SettingsTest, FirstStartWritesExactlyTheFifteenKeys) {
    session.LoadSettings();
    const StudioSettings& s = session.settings;
    EXPECT_EQ(s.bitrate, 32);
    EXPECT_EQ(s.channelMode, 2);
    EXPECT_EQ(s.scaleEnabled, 0);
    EXPECT_EQ(s.vbrEnabled, 0);  // the absent-key default wins over the start-up value 1
    EXPECT_EQ(s.preset, 18);
    EXPECT_EQ(s.resampleRate, 22050);
    EXPECT_EQ(s.scaleChannel, 0);
    EXPECT_EQ(s.vbrQuality, 1);
    EXPECT_DOUBLE_EQ(s.scaleFactor, 1.0);
    EXPECT_EQ(s.ripper.encoder, 0);
    EXPECT_EQ(s.ripper.wavEncoder, 0);
    EXPECT_EQ(s.ripper.wavChannels, 1);
    EXPECT_EQ(s.ripper.wavSampleRate, 2);
    EXPECT_EQ(s.ripper.wavSampleBits, 1);

    const std::string home = platform::WithTrailingSeparator(platform::HomeFolder());
    for (FolderSlot slot : {FolderSlot::SaveAsWav, FolderSlot::SaveAsMp3, FolderSlot::SaveAsMmf,
                            FolderSlot::BatchAdd, FolderSlot::BatchOutput, FolderSlot::RipOutput})
        EXPECT_EQ(s.Folder(slot), home) << FolderKeyName(slot);
    EXPECT_EQ(s.openMp3Folder, "");

    const std::vector<std::string> expected = {
        "[GENERAL]",       "MP3bitrates=32",     "MP3channels=2",       "MP3IsScaleMode=0",
        "MP3IsVBRMode=0",  "MP3MPEG=18",         "MP3SAMPLE=22050",     "MP3scale_channel=0",
        "MP3VBRQuality=1", "MP3Scales=1.00",     "Encoder=WAV",         "Tmpfolder=",
        "WAVEnc=WAV",      "WAVChannels=Stereo", "WAVSamplerate=44100", "WAVSamplebits=16"};
    EXPECT_EQ(Lines(SettingsPath()), expected);

    const RipperOptions& copy = session.ripperWorkingCopy;
    EXPECT_EQ(copy.encoder, 0);
    EXPECT_EQ(copy.wavSampleRate, 2);
    EXPECT_EQ(copy.currentPattern, "$a-$t");
    EXPECT_EQ(copy.namePatterns,
              (std::vector<std::string>{"$a-$t", "$n-$t", "$l-$n-$t", "$a-$l-$n-$t"}));
}

TEST_F(SettingsTest, SetDefaultsGivesTheStartUpValues) {
    StudioSettings s;
    s.bitrate = 320;
    s.vbrEnabled = 0;
    s.ripper.encoder = 0;
    s.ripper.tempFolder = "/x";
    s.openMp3Folder = "/y/";
    s.SetDefaults();
    EXPECT_EQ(s.bitrate, 32);
    EXPECT_EQ(s.vbrEnabled, 1);
    EXPECT_EQ(s.ripper.encoder, 2);
    EXPECT_EQ(s.ripper.wavEncoder, 2);
    EXPECT_EQ(s.ripper.tempFolder, "");
    EXPECT_EQ(s.openMp3Folder, "");
}

TEST(SettingsParsers, BitrateAcceptsTheListOnly) {
    for (int rate : {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320})
        EXPECT_EQ(ParseBitrate(std::to_string(rate)), rate);
    for (const char* bad : {"33", " 32", "32 ", "", "DEFAULT", "-1", "0", "032", "320000000000"})
        EXPECT_EQ(ParseBitrate(bad), -1) << bad;
}

TEST(SettingsParsers, ChoicesPresetsRatesAndQualities) {
    EXPECT_EQ(ParseSmallChoice("0"), 0);
    EXPECT_EQ(ParseSmallChoice("1"), 1);
    EXPECT_EQ(ParseSmallChoice("2"), 2);
    EXPECT_EQ(ParseSmallChoice("3"), 0);
    EXPECT_EQ(ParseSmallChoice("yes"), 0);

    for (int i = 0; i <= 18; ++i) EXPECT_EQ(ParsePresetIndex(std::to_string(i)), i);
    EXPECT_EQ(ParsePresetIndex("19"), 0);
    EXPECT_EQ(ParsePresetIndex("-1"), 0);

    for (int rate : {-1, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
        EXPECT_EQ(ParseSampleRate(std::to_string(rate)), rate);
    EXPECT_EQ(ParseSampleRate("DEFAULT"), 44100);
    EXPECT_EQ(ParseSampleRate("96000"), 44100);

    for (int q = 0; q <= 9; ++q) EXPECT_EQ(ParseVbrQuality(std::to_string(q)), q);
    EXPECT_EQ(ParseVbrQuality("12"), 1);
    EXPECT_EQ(ParseVbrQuality("-1"), 1);
}

TEST(SettingsParsers, EncoderNameIgnoresCaseButNotBlanks) {
    EXPECT_EQ(ParseEncoderName("MP3"), 2);
    EXPECT_EQ(ParseEncoderName("mp3"), 2);
    EXPECT_EQ(ParseEncoderName("mP3"), 2);
    EXPECT_EQ(ParseEncoderName(" MP3"), 0);
    EXPECT_EQ(ParseEncoderName("WAV"), 0);
    EXPECT_EQ(ParseEncoderName("False"), 0);
    EXPECT_EQ(EncoderNameText(0), "WAV");
    EXPECT_EQ(EncoderNameText(2), "False");
}

TEST(SettingsParsers, ScaleFactorTakesTheLeadingNumber) {
    EXPECT_DOUBLE_EQ(ParseScaleFactor("1"), 1.0);
    EXPECT_DOUBLE_EQ(ParseScaleFactor("1.00"), 1.0);
    EXPECT_DOUBLE_EQ(ParseScaleFactor("  2.5x"), 2.5);
    EXPECT_DOUBLE_EQ(ParseScaleFactor("+3"), 3.0);
    EXPECT_DOUBLE_EQ(ParseScaleFactor("-0.25"), -0.25);
    EXPECT_DOUBLE_EQ(ParseScaleFactor("1e1"), 10.0);
    EXPECT_DOUBLE_EQ(ParseScaleFactor("abc"), 0.0);
    EXPECT_DOUBLE_EQ(ParseScaleFactor(""), 0.0);
    // Not a usable factor for the encoder.
    EXPECT_DOUBLE_EQ(ParseScaleFactor("nan"), 0.0);
    EXPECT_DOUBLE_EQ(ParseScaleFactor("inf"), 0.0);
    EXPECT_DOUBLE_EQ(ParseScaleFactor("1e999"), 0.0);

    EXPECT_EQ(FormatScaleFactor(1.0), "1.00");
    EXPECT_EQ(FormatScaleFactor(0.5), "0.50");
    EXPECT_EQ(FormatScaleFactor(-2.125), "-2.12");
    EXPECT_EQ(FormatScaleFactor(12.0), "12.00");
}

TEST(SettingsParsers, ScaleFactorIsTheSameInEveryLocale) {
    // A user locale with a decimal comma must neither change what is read nor what is written.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    TempDir locales;
    bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    if (!switched && testing_support::HaveTool("localedef")) {
        // Build the locale privately when the system has none installed.
        const auto built = testing_support::RunTool(
            {"localedef", "-i", "de_DE", "-f", "UTF-8", locales.File("de_DE.UTF-8")});
        if (built.exitCode == 0) {
            ::setenv("LOCPATH", locales.path().c_str(), 1);
            switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        }
    }
    if (!switched) GTEST_SKIP() << "no locale with a decimal comma available";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.2f", 1.5);
    EXPECT_STREQ(probe, "1,50");  // the locale really is in force
    EXPECT_DOUBLE_EQ(ParseScaleFactor("1.50"), 1.5);
    EXPECT_EQ(FormatScaleFactor(1.5), "1.50");
    std::setlocale(LC_NUMERIC, previous.c_str());
    ::unsetenv("LOCPATH");
}

TEST(SettingsParsers, LeadingIntReadsSignAndDigits) {
    EXPECT_EQ(LeadingInt("44100"), 44100);
    EXPECT_EQ(LeadingInt("  -7x"), -7);
    EXPECT_EQ(LeadingInt("+16"), 16);
    EXPECT_EQ(LeadingInt("abc"), 0);
    EXPECT_EQ(LeadingInt(""), 0);
    EXPECT_EQ(LeadingInt("-"), 0);
    EXPECT_EQ(LeadingInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(LeadingInt("-99999999999999999999"), INT_MIN);
}

TEST_F(SettingsTest, IntKeysWriteDecimalAndReadTheLeadingNumber) {
    EXPECT_TRUE(WriteIntKey(kSettingsSection, "WAVSamplerate", 8000, SettingsFileName()));
    EXPECT_EQ(Stored("WAVSamplerate"), "8000");
    EXPECT_EQ(ReadIntKey(kSettingsSection, "WAVSamplerate", 1, SettingsFileName()), 8000);
    EXPECT_EQ(ReadIntKey(kSettingsSection, "Missing", -5, SettingsFileName()), -5);
    platform::WritePrivateProfileString(kSettingsSection, "WAVSamplebits", "16bit",
                                        SettingsFileName());
    EXPECT_EQ(ReadIntKey(kSettingsSection, "WAVSamplebits", 1, SettingsFileName()), 16);
    platform::WritePrivateProfileString(kSettingsSection, "WAVSamplebits", "x", SettingsFileName());
    EXPECT_EQ(ReadIntKey(kSettingsSection, "WAVSamplebits", 1, SettingsFileName()), 0);
}

TEST_F(SettingsTest, StoredValuesMapAndAreWrittenBack) {
    WriteText(SettingsPath(),
              "[GENERAL]\n"
              "MP3bitrates=33\n"
              "MP3channels=1\n"
              "MP3IsScaleMode=1\n"
              "MP3IsVBRMode=1\n"
              "MP3MPEG=19\n"
              "MP3SAMPLE=DEFAULT\n"
              "MP3scale_channel=2\n"
              "MP3VBRQuality=12\n"
              "MP3Scales=0.5\n"
              "Encoder=mp3\n"
              "Tmpfolder=/tmp/rip\n"
              "WAVEnc=Mp3\n"
              "WAVChannels=Mono\n"
              "WAVSamplerate=8000\n"
              "WAVSamplebits=8\n");
    session.LoadSettings();
    const StudioSettings& s = session.settings;
    EXPECT_EQ(s.bitrate, -1);
    EXPECT_EQ(s.channelMode, 1);
    EXPECT_EQ(s.scaleEnabled, 1);
    EXPECT_EQ(s.vbrEnabled, 1);
    EXPECT_EQ(s.preset, 0);
    EXPECT_EQ(s.resampleRate, 44100);
    EXPECT_EQ(s.scaleChannel, 2);
    EXPECT_EQ(s.vbrQuality, 1);
    EXPECT_DOUBLE_EQ(s.scaleFactor, 0.5);
    EXPECT_EQ(s.ripper.encoder, 2);  // this run only
    EXPECT_EQ(s.ripper.wavEncoder, 2);
    EXPECT_EQ(s.ripper.tempFolder, "/tmp/rip");
    EXPECT_EQ(s.ripper.wavChannels, 1);
    EXPECT_EQ(s.ripper.wavSampleRate, 2);
    EXPECT_EQ(s.ripper.wavSampleBits, 1);
    EXPECT_EQ(session.ripperWorkingCopy.encoder, 2);

    EXPECT_EQ(Stored("MP3bitrates"), "-1");
    EXPECT_EQ(Stored("MP3MPEG"), "0");
    EXPECT_EQ(Stored("MP3SAMPLE"), "44100");
    EXPECT_EQ(Stored("MP3VBRQuality"), "1");
    EXPECT_EQ(Stored("MP3Scales"), "0.50");
    EXPECT_EQ(Stored("Encoder"), "False");
    EXPECT_EQ(Stored("WAVEnc"), "False");
    EXPECT_EQ(Stored("Tmpfolder"), "/tmp/rip");
    EXPECT_EQ(Stored("WAVChannels"), "Stereo");
    EXPECT_EQ(Stored("WAVSamplerate"), "44100");
    EXPECT_EQ(Stored("WAVSamplebits"), "16");

    // "False" reads as 0: the next start has the ripper's encoder off.
    session.settings = StudioSettings();
    session.LoadSettings();
    EXPECT_EQ(session.settings.ripper.encoder, 0);
    EXPECT_EQ(session.settings.bitrate, -1);
    EXPECT_EQ(Stored("Encoder"), "WAV");
}

TEST_F(SettingsTest, NoResampleSurvivesARoundTrip) {
    WriteText(SettingsPath(), "[general]\nmp3sample=-1\nENCODER=WAV\n");
    session.LoadSettings();
    EXPECT_EQ(session.settings.resampleRate, -1);
    EXPECT_EQ(session.settings.ripper.encoder, 0);
    EXPECT_EQ(Stored("MP3SAMPLE"), "-1");
    EXPECT_EQ(Stored("Encoder"), "WAV");
}

TEST_F(SettingsTest, DamagedFileGivesDefaultsAndKeepsEveryForeignLine) {
    const std::string longValue(300, 'q');
    std::string text = "garbage line without equals\n";
    text += std::string("\x01\x02\xff\xfe=\x80\x90\n", 8);
    text += "[Other]\nMP3bitrates=128\nkeep=me\n";
    text += "[GENERAL]\n";
    text += "; a comment\n";
    text += "MP3bitrates=abc\n";
    text += "MP3VBRQuality=4\n";
    text += "MP3VBRQuality=7\n";  // the first of two duplicates counts
    text += "Tmpfolder=" + longValue + "\n";
    text += "SaveAsWAV_Path=/music/wav/\n";
    text += "UnknownKey=stays\n";
    text += "=no key\n";
    WriteText(SettingsPath(), text);

    session.LoadSettings();
    const StudioSettings& s = session.settings;
    EXPECT_EQ(s.bitrate, -1);
    EXPECT_EQ(s.vbrQuality, 4);
    EXPECT_EQ(s.ripper.tempFolder, longValue.substr(0, 255));
    EXPECT_EQ(s.saveAsWavFolder, "/music/wav/");
    EXPECT_EQ(s.channelMode, 2);

    const std::string after = Text(SettingsPath());
    for (const char* kept :
         {"garbage line without equals\n", "[Other]\nMP3bitrates=128\nkeep=me\n", "; a comment\n",
          "MP3VBRQuality=7\n", "SaveAsWAV_Path=/music/wav/\n", "UnknownKey=stays\n", "=no key\n"})
        EXPECT_NE(after.find(kept), std::string::npos) << kept;
    EXPECT_NE(after.find(std::string("\x01\x02\xff\xfe=\x80\x90\n", 8)), std::string::npos);
    EXPECT_EQ(platform::GetPrivateProfileString("Other", "MP3bitrates", "", SettingsFileName()),
              "128");
    EXPECT_EQ(Stored("MP3bitrates"), "-1");
}

TEST_F(SettingsTest, BinaryFileReadsAsDefaults) {
    std::string junk;
    for (int i = 0; i < 512; ++i) junk += static_cast<char>((i * 37) & 0xff);
    WriteText(SettingsPath(), junk);
    StudioSettings s;
    s.SetDefaults();
    s.Load();
    EXPECT_EQ(s.bitrate, 32);
    EXPECT_EQ(s.preset, 18);
    EXPECT_EQ(s.vbrEnabled, 0);
}

TEST_F(SettingsTest, FailedSaveLeavesTheOldFileWhole) {
    const std::string original = "[GENERAL]\nMP3bitrates=128\nOther=1\n";
    WriteText(SettingsPath(), original);
    StudioSettings s;
    s.SetDefaults();
    {
        // A file-size limit below the new text makes every write of it fail, also for the
        // superuser, as a full disk would.
        rlimit previous{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = previous;
        small.rlim_cur = 16;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved = s.Save();
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(saved);
    }
    EXPECT_EQ(Text(SettingsPath()), original);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(platform::SettingsFolder()),
                            std::filesystem::directory_iterator()),
              1);

    s.Load();
    EXPECT_EQ(s.bitrate, 128);
}

TEST_F(SettingsTest, ReadOnlyFileIsNotReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string original = "[GENERAL]\nMP3bitrates=64\n";
    WriteText(SettingsPath(), original);
    ::chmod(SettingsPath().c_str(), 0444);
    session.LoadSettings();
    EXPECT_EQ(session.settings.bitrate, 64);
    EXPECT_EQ(Text(SettingsPath()), original);
    ::chmod(SettingsPath().c_str(), 0644);
}

TEST_F(SettingsTest, RememberedFolderIsWrittenAtOnceAndReadAtStart) {
    session.LoadSettings();
    StudioSettings& s = session.settings;
    EXPECT_TRUE(s.RememberFolderOf(FolderSlot::SaveAsWav, "/music/ring tones/bell.wav"));
    EXPECT_EQ(s.saveAsWavFolder, "/music/ring tones/");
    EXPECT_EQ(Stored("SaveAsWAV_Path"), "/music/ring tones/");

    EXPECT_TRUE(s.RememberFolder(FolderSlot::RipOutput, "/music/rips"));
    EXPECT_EQ(s.ripOutputFolder, "/music/rips/");
    EXPECT_TRUE(s.RememberFolder(FolderSlot::BatchOutput, "/music/small/"));
    EXPECT_EQ(Stored("SaveBToSPath"), "/music/small/");
    EXPECT_TRUE(s.RememberFolderOf(FolderSlot::OpenMp3, "/música/ä.mp3"));
    EXPECT_EQ(Stored("OpenMP3Path"), "/música/");

    // A later settings save keeps the folder keys it does not write.
    s.bitrate = 128;
    EXPECT_TRUE(s.Save());
    session.settings = StudioSettings();
    session.LoadSettings();
    EXPECT_EQ(session.settings.saveAsWavFolder, "/music/ring tones/");
    EXPECT_EQ(session.settings.ripOutputFolder, "/music/rips/");
    EXPECT_EQ(session.settings.openMp3Folder, "/música/");
    EXPECT_EQ(session.settings.bitrate, 128);
    EXPECT_EQ(session.settings.saveAsMp3Folder,
              platform::WithTrailingSeparator(platform::HomeFolder()));
}

TEST_F(SettingsTest, SaveAndFolderWritesOnTwoThreadsKeepEachOthersKeys) {
    // A job remembers its folder on a worker while the settings dialog saves on the GUI
    // thread: each write reads, changes and replaces the whole file, so without one lock
    // around both a save could put back the file as it was before the folder was written.
    session.LoadSettings();
    const StudioSettings saver = session.settings;
    std::atomic<bool> stop{false};
    std::thread saving([&] {
        while (!stop) saver.Save();
    });
    int lost = 0;
    for (int i = 0; i < 150; ++i) {
        const std::string folder = "/music/" + std::to_string(i) + "/";
        ASSERT_TRUE(WriteFolderKey("SaveAsMP3_Path", folder));
        if (Stored("SaveAsMP3_Path") != folder) ++lost;
    }
    stop = true;
    saving.join();
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(Stored("SaveAsMP3_Path"), "/music/149/");
    EXPECT_EQ(Stored("MP3bitrates"), "32");
}

TEST_F(SettingsTest, FolderLongerThanAValueIsNotRemembered) {
    StudioSettings s;
    s.SetDefaults();
    const std::string fits = "/" + std::string(253, 'a') + "/";  // 255 bytes
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_TRUE(s.RememberFolderOf(FolderSlot::BatchAdd, fits + "x.mp3"));
    EXPECT_EQ(s.batchAddFolder, fits);
    EXPECT_EQ(Stored("AddBToSPath"), fits);

    const std::string tooLong = "/" + std::string(254, 'b') + "/";
    EXPECT_FALSE(s.RememberFolderOf(FolderSlot::BatchAdd, tooLong + "x.mp3"));
    EXPECT_EQ(s.batchAddFolder, fits);
    EXPECT_EQ(Stored("AddBToSPath"), fits);
}

TEST(FolderCreation, MakesEveryMissingParent) {
    TempDir dir;
    const std::string nested = dir.path() + "/a b/Grüße ñ/c";
    EXPECT_TRUE(CreateFolderWithParents(nested));
    EXPECT_TRUE(platform::IsDirectory(nested));
    // Existing folders, a trailing separator and the design's backslashes are all fine.
    EXPECT_TRUE(CreateFolderWithParents(nested + "/"));
    const std::string windowsStyle = dir.path() + "\\x\\y\\";
    EXPECT_TRUE(CreateFolderWithParents(windowsStyle));
    EXPECT_TRUE(platform::IsDirectory(dir.path() + "/x/y"));
}

TEST(FolderCreation, FailsWhenAPrefixCannotBeMade) {
    TempDir dir;
    testing_support::WriteFile(dir.File("plain"), {1, 2, 3});
    EXPECT_FALSE(CreateFolderWithParents(dir.File("plain") + "/sub/deeper"));
    EXPECT_FALSE(platform::FileExists(dir.File("plain") + "/sub"));
    EXPECT_FALSE(CreateFolderWithParents("/proc/vexmor-not-here/x"));
    EXPECT_FALSE(CreateFolderWithParents(""));
}

TEST(FolderCreation, ReadOnlyParentFails) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir dir;
    const std::string parent = dir.File("locked");
    std::filesystem::create_directories(parent);
    ::chmod(parent.c_str(), 0555);
    EXPECT_FALSE(CreateFolderWithParents(parent + "/new/inner"));
    // An existing folder that may not be written is no usable output folder either.
    EXPECT_FALSE(CreateFolderWithParents(parent));
    ::chmod(parent.c_str(), 0755);
}
