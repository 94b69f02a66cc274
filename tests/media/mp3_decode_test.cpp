// The one libmpg123 set-up: its options, the format it fixes for mono and stereo streams, the
// forced CD format, and where a stream ends; MP3s made by lame from generated tones.
#include "media/mp3_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace ts = testing_support;

namespace {

// An MP3 of `seconds` of tone at `rate` Hz with `channels` channels, made by lame; "" without it.
std::string LameMp3(const ts::TempDir& dir, const std::string& name, int rate, int channels,
                    double seconds) {
    ts::ToneSpec spec;
    spec.sampleRate = rate;
    spec.channels = channels;
    spec.seconds = seconds;
    return ts::LameMp3(dir, name, spec, {"-b", "64"});
}

long ResyncLimit(mpg123_handle* h) {
    long value = 0;
    double unused = 0;
    mpg123_getparam(h, MPG123_RESYNC_LIMIT, &value, &unused);
    return value;
}

// Decodes to the end; answers the sample frames given.
long long DecodeAll(mpg123_handle* h, int bytesPerFrame) {
    std::vector<unsigned char> buffer(1 << 15);
    long long frames = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        const media::ReadStep step = media::ReadSamples(h, buffer.data(), buffer.size());
        EXPECT_EQ(step.bytes % static_cast<size_t>(bytesPerFrame), 0u);
        frames += static_cast<long long>(step.bytes) / bytesPerFrame;
        if (step.ended) return frames;
    }
    ADD_FAILURE() << "the stream never ended";
    return frames;
}

TEST(Mp3Decode, ResyncLimitIsAnOption) {
    const media::Mpg123Ptr components = media::NewMpg123(MPG123_ENC_SIGNED_16);
    ASSERT_TRUE(components);
    EXPECT_EQ(ResyncLimit(components.get()), 64 * 1024);

    media::Mpg123Options own;
    own.resyncLimit = 0;
    const media::Mpg123Ptr player = media::NewMpg123(MPG123_ENC_SIGNED_16, own);
    ASSERT_TRUE(player);
    EXPECT_EQ(ResyncLimit(player.get()), 1024) << "libmpg123's own limit";
}

TEST(Mp3Decode, MonoAndStereoKeepTheirFormatAndDecodeToTheEnd) {
    ts::TempDir dir;
    for (const int channels : {1, 2}) {
        const std::string mp3 = LameMp3(dir, "tone" + std::to_string(channels) + ".mp3", 22050,
                                        channels, 1.0);
        if (mp3.empty()) GTEST_SKIP() << "lame missing";
        const media::Mpg123Ptr h = media::NewMpg123(MPG123_ENC_SIGNED_16);
        long rate = 0;
        int got = 0;
        ASSERT_TRUE(media::OpenMp3(h.get(), mp3, rate, got));
        EXPECT_EQ(rate, 22050);
        EXPECT_EQ(got, channels);
        const long long frames = DecodeAll(h.get(), 2 * channels);
        // lame's delay and padding come and go; one second is there within a frame or two.
        EXPECT_NEAR(static_cast<double>(frames), 22050.0, 2 * 1152.0) << channels;
    }
}

TEST(Mp3Decode, ForcedCdFormatResamplesAndDoublesChannels) {
    ts::TempDir dir;
    const std::string mp3 = LameMp3(dir, "mono.mp3", 22050, 1, 0.5);
    if (mp3.empty()) GTEST_SKIP() << "lame missing";
    const media::Mpg123Ptr h = media::NewMpg123(MPG123_ENC_SIGNED_16);
    ASSERT_TRUE(media::OpenMp3As(h.get(), mp3, 44100, 2, MPG123_ENC_SIGNED_16));
    const long long frames = DecodeAll(h.get(), 4);
    EXPECT_NEAR(static_cast<double>(frames), 22050.0, 4 * 1152.0);
}

TEST(Mp3Decode, WhatHoldsNoMp3IsRefused) {
    ts::TempDir dir;
    ts::WriteFile(dir.File("text.mp3"), std::vector<uint8_t>(4000, 'x'));
    ts::WriteFile(dir.File("empty.mp3"), {});
    for (const char* name : {"text.mp3", "empty.mp3", "missing.mp3"}) {
        const media::Mpg123Ptr h = media::NewMpg123(MPG123_ENC_FLOAT_32);
        long rate = 0;
        int channels = 0;
        EXPECT_FALSE(media::OpenMp3(h.get(), dir.File(name), rate, channels)) << name;
    }
}

}  // namespace
