#include "uikit/mci_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/test_support.h"

namespace ts = testing_support;
using namespace std::chrono_literals;

namespace {

std::string MakeWav(const ts::TempDir& dir, const std::string& name, double seconds,
                    int rate = 22050, int channels = 2) {
    ts::ToneSpec spec;
    spec.sampleRate = rate;
    spec.channels = channels;
    spec.seconds = seconds;
    const std::string path = dir.File(name);
    ts::WriteFile(path, ts::MakeToneWav(spec));
    return path;
}

// Waits until `done` holds or `limit` passes.
template <typename Pred>
bool WaitFor(Pred done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

}  // namespace

TEST(MciPlayerNoFile, EveryCommandFailsAndQueriesAnswerFalse) {
    CMciPlayer player;
    EXPECT_EQ(player.device(), 0u);
    EXPECT_EQ(player.length(), 0u);
    for (int result :
         {player.Play(), player.Pause(), player.Resume(), player.Stop(), player.Close(),
          player.SeekTo(1), player.SeekToStart(), player.SeekToMs(500)})
        EXPECT_EQ(result, kMciInvalidDevice);
    EXPECT_EQ(player.SeekToMs(0), kMciOk);  // 0 sends nothing
    EXPECT_FALSE(player.GetPosition().has_value());
    EXPECT_FALSE(player.GetPositionMs().has_value());
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_FALSE(player.IsReady());
}

TEST(MciPlayerOpen, FailuresLeaveNoDevice) {
    ts::TempDir dir;
    CMciPlayer player;
    EXPECT_EQ(player.Open(dir.File("missing.mp3")), kMciFileNotFound);
    ts::WriteFile(dir.File("noise.mp3"), std::vector<uint8_t>(5000, 0x5A));
    EXPECT_EQ(player.Open(dir.File("noise.mp3")), kMciInvalidFile);
    ts::WriteFile(dir.File("bad.wav"), {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    EXPECT_EQ(player.OpenWave(dir.File("bad.wav")), kMciInvalidFile);
    EXPECT_EQ(player.device(), 0u);
    EXPECT_FALSE(player.IsReady());

    // A failed open also closes what was open before.
    ASSERT_EQ(player.OpenWave(MakeWav(dir, "ok.wav", 0.5)), kMciOk);
    EXPECT_NE(player.Open(dir.File("noise.mp3")), kMciOk);
    EXPECT_EQ(player.device(), 0u);
}

TEST(MciPlayerWave, PlaysPausesResumesAndClosesAtRealTimePace) {
    ts::TempDir dir;
    CMciPlayer player;
    ASSERT_EQ(player.OpenWave(MakeWav(dir, "tone.wav", 2.5)), kMciOk);
    const uint32_t first = player.device();
    EXPECT_NE(first, 0u);
    EXPECT_EQ(player.length(), 2u);
    EXPECT_EQ(player.lengthMs(), 2500u);
    EXPECT_TRUE(player.IsReady());
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.GetPositionMs(), 0u);

    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(player.Play(), kMciOk);
    EXPECT_TRUE(player.IsPlaying());
    ASSERT_TRUE(WaitFor([&] { return player.GetPositionMs().value_or(0) >= 300; }, 3000ms));
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - started)
                               .count();
    // Never ahead of the clock by more than one output buffer (about 20 ms) and its queue.
    EXPECT_LE(*player.GetPositionMs(), elapsedMs + 120);

    ASSERT_EQ(player.Pause(), kMciOk);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_TRUE(player.IsReady());
    const uint32_t paused = *player.GetPositionMs();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(player.GetPositionMs(), paused);
    EXPECT_EQ(player.GetPosition(), static_cast<int>(paused / 1000));

    ASSERT_EQ(player.Resume(), kMciOk);
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_TRUE(WaitFor([&] { return player.GetPositionMs().value_or(0) > paused; }, 2000ms));
    ASSERT_EQ(player.Stop(), kMciOk);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.Resume(), kMciNonApplicable);  // only a paused device resumes
    EXPECT_FALSE(player.IsPlaying());

    EXPECT_EQ(player.Close(), kMciOk);
    EXPECT_EQ(player.device(), 0u);
    EXPECT_EQ(player.length(), 0u);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_FALSE(player.IsReady());
    EXPECT_EQ(player.Close(), kMciInvalidDevice);

    ASSERT_EQ(player.OpenWave(MakeWav(dir, "again.wav", 0.3)), kMciOk);
    EXPECT_NE(player.device(), first);
}

TEST(MciPlayerWave, PlaybackEndsStoppedAtTheEnd) {
    ts::TempDir dir;
    CMciPlayer player;
    ASSERT_EQ(player.Open(MakeWav(dir, "short.wav", 0.4, 8000, 1)), kMciOk);
    ASSERT_EQ(player.Play(), kMciOk);
    ASSERT_TRUE(WaitFor([&] { return !player.IsPlaying(); }, 3000ms));
    EXPECT_TRUE(player.IsReady());
    EXPECT_EQ(player.GetPositionMs(), 400u);
    // At the end Play has nothing to play; from the start it plays again.
    EXPECT_EQ(player.Play(), kMciOk);
    EXPECT_FALSE(player.IsPlaying());
    ASSERT_EQ(player.SeekToStart(), kMciOk);
    EXPECT_EQ(player.Play(), kMciOk);
    EXPECT_TRUE(player.IsPlaying());
}

TEST(MciPlayerSeek, SecondsMillisecondsAndTheEnd) {
    ts::TempDir dir;
    CMciPlayer player;
    ASSERT_EQ(player.OpenWave(MakeWav(dir, "tone.wav", 3.25)), kMciOk);
    ASSERT_EQ(player.length(), 3u);

    EXPECT_EQ(player.SeekTo(2), kMciOk);
    EXPECT_EQ(player.GetPositionMs(), 2000u);
    EXPECT_EQ(player.GetPosition(), 2);
    EXPECT_EQ(player.SeekTo(0), kMciOk);
    EXPECT_EQ(player.GetPositionMs(), 0u);
    EXPECT_EQ(player.SeekTo(3), kMciOk);  // the length itself: the end
    EXPECT_EQ(player.GetPositionMs(), 3250u);
    EXPECT_EQ(player.SeekTo(-4), kMciOk);
    EXPECT_EQ(player.GetPositionMs(), 0u);
    EXPECT_EQ(player.SeekTo(99), kMciOk);
    EXPECT_EQ(player.GetPositionMs(), 3250u);

    EXPECT_EQ(player.SeekToMs(1234), kMciOk);
    EXPECT_EQ(player.GetPositionMs(), 1234u);
    EXPECT_EQ(player.SeekToMs(0), kMciOk);  // sends nothing: the position stays
    EXPECT_EQ(player.GetPositionMs(), 1234u);
    EXPECT_EQ(player.SeekToMs(3251), kMciOutOfRange);
    EXPECT_EQ(player.GetPositionMs(), 1234u);

    // A seek ends a running playback.
    ASSERT_EQ(player.Play(), kMciOk);
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_EQ(player.SeekToMs(500), kMciOk);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.GetPositionMs(), 500u);
}

TEST(MciPlayerSeek, ZeroOnASoundShorterThanOneSecondGoesToTheEnd) {
    ts::TempDir dir;
    CMciPlayer player;
    ASSERT_EQ(player.OpenWave(MakeWav(dir, "blip.wav", 0.6)), kMciOk);
    EXPECT_EQ(player.length(), 0u);
    EXPECT_EQ(player.SeekTo(0), kMciOk);
    EXPECT_EQ(player.GetPositionMs(), 600u);
}

TEST(MciPlayerWave, DataSizeBeyondTheFileCountsWhatIsThere) {
    ts::TempDir dir;
    ts::ToneSpec spec;
    spec.sampleRate = 8000;
    spec.channels = 1;
    spec.seconds = 1.5;
    std::vector<uint8_t> bytes = ts::MakeToneWav(spec);
    bytes[40] = bytes[41] = bytes[42] = bytes[43] = 0xFF;  // data size of an unfinished file
    ts::WriteFile(dir.File("open_ended.wav"), bytes);
    CMciPlayer player;
    ASSERT_EQ(player.OpenWave(dir.File("open_ended.wav")), kMciOk);
    EXPECT_EQ(player.lengthMs(), 1500u);
}

TEST(MciPlayerMp3, OpensAndPlaysAnMp3) {
    if (!ts::HaveTool("lame")) GTEST_SKIP() << "lame is not installed";
    ts::TempDir dir;
    const std::string mp3 =
        ts::LameMp3(dir, "song.mp3", {.sampleRate = 44100, .seconds = 2.4}, {"-V", "4"});
    ASSERT_FALSE(mp3.empty());

    CMciPlayer player;
    EXPECT_EQ(player.OpenWave(mp3), kMciInvalidFile);  // the wave device plays WAV only
    ASSERT_EQ(player.Open(mp3), kMciOk);
    EXPECT_EQ(player.length(), 2u);
    EXPECT_NEAR(player.lengthMs(), 2400, 2);  // encoder delay and padding are not played
    ASSERT_EQ(player.SeekToMs(1000), kMciOk);
    ASSERT_EQ(player.Play(), kMciOk);
    EXPECT_TRUE(WaitFor([&] { return player.GetPositionMs().value_or(0) >= 1200; }, 3000ms));
    EXPECT_TRUE(player.IsPlaying());
    EXPECT_EQ(player.Close(), kMciOk);
    EXPECT_FALSE(player.IsPlaying());
}

TEST(MciPlayerMp3, MpegAudioInARiffWrapperPlaysAsMp3) {
    if (!ts::HaveTool("lame")) GTEST_SKIP() << "lame is not installed";
    ts::TempDir dir;
    const std::string mp3 =
        ts::LameMp3(dir, "song.mp3", {.sampleRate = 44100, .seconds = 1.5}, {"-b", "128"});
    ASSERT_FALSE(mp3.empty());
    const std::vector<uint8_t> stream = ts::ReadFile(mp3);
    ASSERT_FALSE(stream.empty());

    // RIFF/WAVE with an MPEG-layer-3 format chunk (tag 0x55) and the stream as its data.
    auto put32 = [](std::vector<uint8_t>& out, uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto put16 = [](std::vector<uint8_t>& out, uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    std::vector<uint8_t> fmt;
    put16(fmt, 0x55);
    put16(fmt, 2);
    put32(fmt, 44100);
    put32(fmt, 16000);
    put16(fmt, 1);
    put16(fmt, 0);
    put16(fmt, 0);
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    put32(file, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + stream.size()));
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(file, static_cast<uint32_t>(fmt.size()));
    file.insert(file.end(), fmt.begin(), fmt.end());
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    put32(file, static_cast<uint32_t>(stream.size()));
    file.insert(file.end(), stream.begin(), stream.end());
    const std::string wrapped = dir.File("wrapped.mp3");
    ts::WriteFile(wrapped, file);

    CMciPlayer player;
    EXPECT_EQ(player.OpenWave(wrapped), kMciInvalidFile);  // the wave device plays PCM only
    ASSERT_EQ(player.Open(wrapped), kMciOk);
    EXPECT_EQ(player.length(), 1u);
    EXPECT_NEAR(player.lengthMs(), 1500, 60);
    ASSERT_EQ(player.Play(), kMciOk);
    EXPECT_TRUE(WaitFor([&] { return player.GetPositionMs().value_or(0) >= 100; }, 3000ms));
    EXPECT_EQ(player.Close(), kMciOk);
}

// Commands arriving while the audio thread decodes neither deadlock nor lose the position.
TEST(MciPlayerThreads, RapidCommandsWhilePlaying) {
    ts::TempDir dir;
    CMciPlayer player;
    ASSERT_EQ(player.OpenWave(MakeWav(dir, "tone.wav", 2.0, 44100, 2)), kMciOk);
    for (uint32_t i = 0; i < 200; ++i) {
        ASSERT_EQ(player.Play(), kMciOk);
        if (i % 3 == 0) std::this_thread::sleep_for(1ms);
        ASSERT_EQ(player.Pause(), kMciOk);
        ASSERT_EQ(player.Resume(), kMciOk);
        const uint32_t target = 1 + (i * 97) % 1900;
        ASSERT_EQ(player.SeekToMs(target), kMciOk);
        ASSERT_EQ(player.GetPositionMs(), target);
    }
    ASSERT_EQ(player.Play(), kMciOk);
    EXPECT_EQ(player.Close(), kMciOk);
}
