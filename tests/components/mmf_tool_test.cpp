// The ringtone tool, run as a user's desktop would run it with files on its command line; what
// it writes is read back by ffprobe and decoded by ffmpeg.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "components/mmf_tool/tool_window.h"
#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::HaveTool;
using testing_support::LameMp3;
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

// The check a handset makes: a CRC-16 over every byte before the last two (polynomial 0x1021,
// started at 0xFFFF, complemented), stored big-endian in those two.
bool SmafCrcHolds(const std::vector<uint8_t>& file) {
    if (file.size() < 10) return false;
    unsigned crc = 0xFFFF;
    for (size_t i = 0; i + 2 < file.size(); ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = ((crc >> 15) & 1) != (((file[i] >> bit) & 1) != 0);
            crc = ((crc << 1) & 0xFFFF) ^ (top ? 0x1021 : 0);
        }
    }
    crc = ~crc & 0xFFFF;
    return file[file.size() - 2] == (crc >> 8) && file[file.size() - 1] == (crc & 0xFF);
}

uint32_t ChunkSize(const std::vector<uint8_t>& file) {
    return static_cast<uint32_t>(file[4]) << 24 | file[5] << 16 | file[6] << 8 | file[7];
}

void ExpectHandsetReadable(const std::string& mmf, int rate, double seconds) {
    const std::vector<uint8_t> file = testing_support::ReadFile(mmf);
    ASSERT_GT(file.size(), 10u) << mmf;
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "MMMD");
    EXPECT_EQ(ChunkSize(file), file.size() - 8) << "the size counts the CRC";
    EXPECT_TRUE(SmafCrcHolds(file)) << mmf;
    const auto info = Probe(mmf);
    ASSERT_TRUE(info) << mmf;
    EXPECT_EQ(info->codec, "adpcm_yamaha");
    EXPECT_EQ(info->channels, 1);
    EXPECT_EQ(info->sampleRate, rate);
    EXPECT_NEAR(info->duration, seconds, 0.05);
    // The whole stream decodes without an error.
    const auto decode = RunTool({"ffmpeg", "-v", "error", "-i", mmf, "-f", "null", "-"});
    EXPECT_EQ(decode.exitCode, 0) << decode.out;
    EXPECT_EQ(decode.out, "");
}

TEST_F(MmfTool, WritesMono8000ClosedByTheSmafCrc) {
    const std::string wav = MakeWav("Song Part.wav", 44100, 2, 1.5);
    const std::string other = MakeWav("b.wav", 16000, 2, 0.7);
    const auto run = RunTool({Tool(), wav, other});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const std::string mmf = dir.File("Song Part.mmf");
    EXPECT_NE(run.out.find("Wrote " + mmf), std::string::npos) << run.out;
    ExpectHandsetReadable(mmf, 8000, 1.5);
    ExpectHandsetReadable(dir.File("b.mmf"), 8000, 0.7);
}

TEST_F(MmfTool, WritesAnotherSmafRateOnRequest) {
    const std::string wav = MakeWav("a.wav", 48000, 1, 2.0);
    const auto run = RunTool({Tool(), "--rate", "22050", wav});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    ExpectHandsetReadable(dir.File("a.mmf"), 22050, 2.0);
    const auto refused = RunTool({Tool(), "--rate", "16000", wav});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.out.find("SMAF rates"), std::string::npos) << refused.out;
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
    const std::string stereo =
        LameMp3(dir, "stereo.mp3", {.sampleRate = 44100, .channels = 2, .seconds = 0.2},
                {"-t", "-b", "64"});
    const std::string mono = LameMp3(
        dir, "mono.mp3", {.sampleRate = 44100, .channels = 1, .seconds = 0.1}, {"-t", "-b", "64"});
    ASSERT_FALSE(stereo.empty());
    ASSERT_FALSE(mono.empty());
    std::vector<uint8_t> mixed = testing_support::ReadFile(stereo);
    for (const std::string& part : {mono, stereo}) {
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
