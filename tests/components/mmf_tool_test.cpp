// The ringtone tool, run as a user's desktop would run it with files on its command line; what
// it writes is read back by ffprobe and decoded by ffmpeg.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <string>
#include <thread>

#include "components/mmf_tool/tool_window.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::HaveTool;
using testing_support::MakeToneWav;
using testing_support::Probe;
using testing_support::RunTool;
using testing_support::TempDir;
using testing_support::ToneSpec;
using testing_support::WriteFile;

std::string Tool() { return testing_support::BuildSystemDir() + "/wscma2u"; }

class MmfTool : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) GTEST_SKIP() << "ffprobe/ffmpeg missing";
    }
    std::string MakeWav(const std::string& name, int rate, int channels, double seconds) {
        ToneSpec spec;
        spec.sampleRate = rate;
        spec.channels = channels;
        spec.seconds = seconds;
        const std::string path = dir.File(name);
        WriteFile(path, MakeToneWav(spec));
        return path;
    }
    TempDir dir;
};

TEST_F(MmfTool, KeepsASmafRateAndMixesDownToMono) {
    const std::string wav = MakeWav("Song Part.wav", 22050, 2, 1.5);
    const auto run = RunTool({Tool(), wav});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const std::string mmf = dir.File("Song Part.mmf");
    EXPECT_NE(run.out.find("Wrote " + mmf), std::string::npos) << run.out;

    const auto info = Probe(mmf);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->codec, "adpcm_yamaha");
    EXPECT_EQ(info->channels, 1);
    EXPECT_EQ(info->sampleRate, 22050);
    EXPECT_NEAR(info->duration, 1.5, 0.05);
    // The whole stream decodes without an error.
    const auto decode = RunTool({"ffmpeg", "-v", "error", "-i", mmf, "-f", "null", "-"});
    EXPECT_EQ(decode.exitCode, 0) << decode.out;
    EXPECT_EQ(decode.out, "");
}

TEST_F(MmfTool, ResamplesOtherRatesTo8000) {
    const std::string a = MakeWav("a.wav", 48000, 1, 2.0);
    const std::string b = MakeWav("b.wav", 16000, 2, 0.7);
    const auto run = RunTool({Tool(), a, b});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    for (const auto& [name, seconds] : {std::pair{"a.mmf", 2.0}, std::pair{"b.mmf", 0.7}}) {
        const auto info = Probe(dir.File(name));
        ASSERT_TRUE(info) << name;
        EXPECT_EQ(info->sampleRate, 8000) << name;
        EXPECT_EQ(info->channels, 1) << name;
        EXPECT_NEAR(info->duration, seconds, 0.05) << name;
    }
}

TEST_F(MmfTool, RefusesWhatIsNotSoundAndKeepsTheOldRingtone) {
    const std::string bad = dir.File("bad.wav");
    WriteFile(bad, std::vector<uint8_t>(300, 'x'));
    const std::string oldRingtone = dir.File("bad.mmf");
    WriteFile(oldRingtone, {'o', 'l', 'd'});
    const std::string good = MakeWav("good.wav", 8000, 1, 0.5);

    const auto run = RunTool({Tool(), bad, dir.File("missing.wav"), good});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find(bad + ": "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("missing.wav: "), std::string::npos) << run.out;
    // A failure leaves neither a partial file nor a damaged older one; the good file still goes.
    EXPECT_EQ(testing_support::ReadFile(oldRingtone), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(platform::FileExists(dir.File("bad.mmf.part")));
    EXPECT_FALSE(platform::FileExists(dir.File("missing.mmf")));
    EXPECT_TRUE(platform::FileExists(dir.File("good.mmf")));
}

// A damaged header that states an absurd rate (here 520 MHz) is refused at once with the reason;
// it once kept the tool setting up its resampler for minutes.
TEST_F(MmfTool, RefusesAnAbsurdRateAtOnce) {
    const std::string wav = MakeWav("fast.wav", 16000, 1, 0.2);
    std::vector<uint8_t> bytes = testing_support::ReadFile(wav);
    const uint32_t rate = 0x1f004000;
    for (int i = 0; i < 4; ++i) bytes[24 + i] = static_cast<uint8_t>(rate >> (8 * i));
    WriteFile(wav, bytes);

    const auto run = RunTool({Tool(), wav});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("520110080 Hz is not supported"), std::string::npos) << run.out;
    EXPECT_FALSE(platform::FileExists(dir.File("fast.mmf")));
}

// An MP3 whose frames switch from stereo to mono and back (a damaged or pasted-together file)
// is refused with the reason; the resampler set up for two channels once read the missing one.
TEST_F(MmfTool, RefusesAnMp3WhoseChannelsChangePartway) {
    if (!HaveTool("lame")) GTEST_SKIP() << "lame missing";
    const std::string stereo = MakeWav("stereo.wav", 44100, 2, 0.2);
    const std::string mono = MakeWav("mono.wav", 44100, 1, 0.1);
    for (const std::string& wav : {stereo, mono})
        ASSERT_EQ(RunTool({"lame", "--silent", "-t", "-b", "64", wav, wav + ".mp3"}).exitCode, 0);
    std::vector<uint8_t> mixed = testing_support::ReadFile(stereo + ".mp3");
    for (const std::string& part : {mono + ".mp3", stereo + ".mp3"}) {
        const std::vector<uint8_t> bytes = testing_support::ReadFile(part);
        mixed.insert(mixed.end(), bytes.begin(), bytes.end());
    }
    const std::string source = dir.File("mixed.mp3");
    WriteFile(source, mixed);

    const auto run = RunTool({Tool(), source});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("changes its format partway"), std::string::npos) << run.out;
    EXPECT_FALSE(platform::FileExists(dir.File("mixed.mmf")));
}

// The window reports every file once, in the line that announced it, also when more files
// arrive in the moment between the end of a conversion and its report.
TEST_F(MmfTool, WindowReportsEachFileInItsOwnLine) {
    const std::string a = MakeWav("a.wav", 8000, 1, 0.5);
    const std::string b = MakeWav("b.wav", 8000, 1, 0.5);
    ToolWindow window;
    window.Convert({QString::fromStdString(a)});
    // Waits without handling events, so the finished conversion stays unreported.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!platform::FileExists(dir.File("a.mmf")) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(platform::FileExists(dir.File("a.mmf")));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(window.IsBusy());

    window.Convert({QStringLiteral("/music/notes.txt"), QString::fromStdString(b)});
    ASSERT_TRUE(QTest::qWaitFor([&window] { return !window.IsBusy(); }, 20000));
    const QStringList reports = window.Reports();
    ASSERT_EQ(reports.size(), 3) << reports.join(" | ").toStdString();
    EXPECT_TRUE(reports[0].startsWith(QString::fromStdString("Wrote " + dir.File("a.mmf"))))
        << reports[0].toStdString();
    EXPECT_EQ(reports[1], QStringLiteral("/music/notes.txt: not a WAV file"));
    EXPECT_TRUE(reports[2].startsWith(QString::fromStdString("Wrote " + dir.File("b.mmf"))))
        << reports[2].toStdString();
}

}  // namespace
