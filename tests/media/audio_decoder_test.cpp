// The decoder of music files other than MP3, checked against ffmpeg's own decode of songs that
// ffmpeg made from generated tones.
#include "media/audio_decoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "tests/support/test_support.h"

namespace ts = testing_support;

namespace {

struct Wav {
    int channels = 0;
    int rate = 0;
    std::vector<uint8_t> data;
};

// The canonical 44-byte header the decoder writes, and the samples after it.
Wav ReadCanonicalWav(const std::string& path) {
    const std::vector<uint8_t> bytes = ts::ReadFile(path);
    Wav wav;
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 36, "data", 4) != 0)
        return wav;
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | bytes[at + i];
        return v;
    };
    wav.channels = static_cast<int>(le(22, 2));
    wav.rate = static_cast<int>(le(24, 4));
    EXPECT_EQ(le(34, 2), 16u);
    EXPECT_EQ(le(40, 4), bytes.size() - 44);
    EXPECT_EQ(le(4, 4), bytes.size() - 8);
    wav.data.assign(bytes.begin() + 44, bytes.end());
    return wav;
}

class AudioDecoder : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ts::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    }

    // A song made by ffmpeg from a tone of `spec` with the encoder arguments `codec`.
    std::string Song(const std::string& name, const std::vector<std::string>& codec,
                     ts::ToneSpec spec = {.seconds = 1.5}) {
        const std::string wav = dir.File(name + ".tone.wav");
        ts::WriteFile(wav, ts::MakeToneWav(spec));
        std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-i", wav};
        argv.insert(argv.end(), codec.begin(), codec.end());
        argv.push_back(dir.File(name));
        const auto made = ts::RunTool(argv);
        EXPECT_EQ(made.exitCode, 0) << made.out;
        return dir.File(name);
    }

    // ffmpeg's decode of `song` as 16-bit samples, with `extra` output arguments.
    std::vector<uint8_t> FfmpegPcm(const std::string& song, const std::vector<std::string>& extra = {}) {
        const std::string raw = dir.File("peer.raw");
        std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-i", song};
        argv.insert(argv.end(), extra.begin(), extra.end());
        argv.insert(argv.end(), {"-f", "s16le", "-acodec", "pcm_s16le", raw});
        const auto made = ts::RunTool(argv);
        EXPECT_EQ(made.exitCode, 0) << made.out;
        return ts::ReadFile(raw);
    }

    ts::TempDir dir;
};

}  // namespace

TEST_F(AudioDecoder, EachFormatGivesExactlyFfmpegsSamples) {
    struct Case {
        const char* name;
        std::vector<std::string> codec;
        int channels;
        int rate;
    };
    const Case cases[] = {
        {"song.flac", {"-c:a", "flac"}, 2, 44100},
        {"song.ogg", {"-c:a", "libvorbis"}, 2, 44100},
        {"song.opus", {"-c:a", "libopus"}, 2, 48000},
        {"song.m4a", {"-c:a", "aac", "-b:a", "128k"}, 2, 44100},
        {"song.aac", {"-c:a", "aac"}, 2, 44100},
        {"song.wma", {"-c:a", "wmav2"}, 2, 44100},
        {"mono.flac", {"-c:a", "flac", "-ac", "1"}, 1, 44100},
        {"deep.wav", {"-c:a", "pcm_s24le"}, 2, 44100},
        {"float.wav", {"-c:a", "pcm_f32le", "-ar", "22050"}, 2, 22050},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string song = Song(c.name, c.codec);
        media::AudioDecoder decoder;
        const std::string out = dir.File("out.wav");
        ASSERT_TRUE(decoder.DecodeToWav(song, out)) << decoder.error();
        EXPECT_EQ(decoder.percent(), 100.0);
        const Wav wav = ReadCanonicalWav(out);
        EXPECT_EQ(wav.channels, c.channels);
        EXPECT_EQ(wav.rate, c.rate);
        const std::vector<uint8_t> peer = FfmpegPcm(song);
        ASSERT_FALSE(peer.empty());
        EXPECT_EQ(wav.data.size(), peer.size());
        EXPECT_TRUE(wav.data == peer);

        std::string why;
        const auto info = media::ProbeAudio(song, why);
        ASSERT_TRUE(info) << why;
        EXPECT_EQ(info->channels, c.channels);
        EXPECT_NEAR(static_cast<double>(info->milliseconds), 1500.0, 60.0);
        EXPECT_FALSE(info->format.empty());
    }
}

// Six channels are mixed down to stereo and 96 kHz comes down to 48 kHz, as ffmpeg does it
// when asked for two channels at 48 kHz.
TEST_F(AudioDecoder, ManyChannelsAndHighRatesBecomeStereoAt48k) {
    const std::string song = Song("surround.flac", {"-c:a", "flac", "-ac", "6", "-ar", "96000"});
    media::AudioDecoder decoder;
    const std::string out = dir.File("out.wav");
    ASSERT_TRUE(decoder.DecodeToWav(song, out)) << decoder.error();
    const Wav wav = ReadCanonicalWav(out);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 48000);
    // 1.5 s at 48 kHz, four bytes a frame (the resampler's delay is flushed, nothing is lost).
    EXPECT_NEAR(static_cast<double>(wav.data.size()) / 4, 72000.0, 64.0);
}

TEST_F(AudioDecoder, WhatIsNoSongFailsAndLeavesNoOutput) {
    const std::string out = dir.File("out.wav");
    const auto refused = [&](const std::string& input) {
        media::AudioDecoder decoder;
        ts::WriteFile(out, {1, 2, 3});
        const bool ok = decoder.DecodeToWav(input, out);
        EXPECT_FALSE(decoder.error().empty());
        struct stat st {};
        EXPECT_NE(::stat(out.c_str(), &st), 0) << input;
        return !ok;
    };
    EXPECT_TRUE(refused(dir.File("missing.flac")));
    EXPECT_TRUE(refused(dir.path()));
    ts::WriteFile(dir.File("empty.ogg"), {});
    EXPECT_TRUE(refused(dir.File("empty.ogg")));
    ts::WriteFile(dir.File("text.m4a"), std::vector<uint8_t>(4000, 'x'));
    EXPECT_TRUE(refused(dir.File("text.m4a")));
    // A picture has a decoder but no sound.
    const std::string picture = dir.File("cover.png");
    ASSERT_EQ(ts::RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                           "color=c=red:s=8x8:d=0.1", "-frames:v", "1", picture})
                  .exitCode,
              0);
    EXPECT_TRUE(refused(picture));

    // A playlist that names another file is no song: the decoder reads nothing but the file.
    const std::string flac = Song("real.flac", {"-c:a", "flac"});
    ts::WriteFile(dir.File("list.m4a"),
                  [&] {
                      const std::string text = "ffconcat version 1.0\nfile '" + flac + "'\n";
                      return std::vector<uint8_t>(text.begin(), text.end());
                  }());
    EXPECT_TRUE(refused(dir.File("list.m4a")));
    const std::string hls = "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + flac + "\n#EXT-X-ENDLIST\n";
    ts::WriteFile(dir.File("list.aac"), std::vector<uint8_t>(hls.begin(), hls.end()));
    EXPECT_TRUE(refused(dir.File("list.aac")));
}

// A named pipe would keep the decoder waiting for a writer: it is refused at once.
TEST_F(AudioDecoder, NamedPipeIsRefusedWithoutWaiting) {
    const std::string pipe = dir.File("song.flac");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto result = std::async(std::launch::async, [&] {
        media::AudioDecoder decoder;
        return decoder.DecodeToWav(pipe, dir.File("out.wav"));
    });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(result.get());
    std::string why;
    EXPECT_FALSE(media::ProbeAudio(pipe, why));
    EXPECT_EQ(why, "not a regular file");
}

TEST_F(AudioDecoder, ACancelledDecodeLeavesNoOutput) {
    const std::string song = Song("long.flac", {"-c:a", "flac"}, {.seconds = 60.0});
    media::AudioDecoder decoder;
    decoder.Cancel();
    const std::string out = dir.File("out.wav");
    EXPECT_FALSE(decoder.DecodeToWav(song, out));
    EXPECT_EQ(decoder.error(), "stopped");
    struct stat st {};
    EXPECT_NE(::stat(out.c_str(), &st), 0);
}

TEST(AudioDecoderNames, ExtensionsInAnyCase) {
    EXPECT_TRUE(media::IsDecodedFileName("/music/a.FLAC"));
    EXPECT_TRUE(media::IsDecodedFileName("/music/a.b.opus"));
    EXPECT_TRUE(media::IsDecodedFileName("song.Wav"));
    EXPECT_TRUE(media::IsDecodedFileName("/m/x.m4a"));
    EXPECT_FALSE(media::IsDecodedFileName("/music/a.mp3"));
    EXPECT_FALSE(media::IsDecodedFileName("/music/flac"));
    EXPECT_FALSE(media::IsDecodedFileName("/music.flac/song"));
    EXPECT_FALSE(media::IsDecodedFileName("/music/a.flac.part"));
    EXPECT_FALSE(media::IsDecodedFileName(""));
}
