// The CD-frame count: MSF at its ends, the rounding of sample counts into frames, and sizes
// past 2^31 bytes.
#include "media/cd_frames.h"

#include <gtest/gtest.h>

namespace {

using media::CdFrames;
using media::Msf;

TEST(CdFrames, MsfAtZeroAndAtTheLastFrameOfSeventyFiveMinutes) {
    EXPECT_EQ(CdFrames().msf(), (Msf{0, 0, 0}));
    EXPECT_EQ(CdFrames().MsfText(), "00:00:00");
    EXPECT_EQ(CdFrames().bytes(), 0);
    EXPECT_EQ(CdFrames::FromMsf(0, 0, 0).count(), 0);

    const CdFrames last = CdFrames::FromMsf(74, 59, 74);
    EXPECT_EQ(last.count(), 75 * 60 * 75 - 1);
    EXPECT_EQ(last.msf(), (Msf{74, 59, 74}));
    EXPECT_EQ(last.MsfText(), "74:59:74");
    EXPECT_EQ(last.seconds(), 74 * 60 + 59);
    // One frame on, the seconds and minutes carry.
    EXPECT_EQ((last + CdFrames(1)).msf(), (Msf{75, 0, 0}));
    EXPECT_EQ(CdFrames::FromMsf(1, 0, 0).MsfText(), "01:00:00");
    EXPECT_EQ(CdFrames(74).MsfText(), "00:00:74");
    EXPECT_EQ(CdFrames(75).MsfText(), "00:01:00");
    // Minutes past 99 keep all their digits.
    EXPECT_EQ(CdFrames::FromMsf(123, 4, 5).MsfText(), "123:04:05");

    for (const int64_t n : {int64_t{0}, int64_t{1}, int64_t{4499}, int64_t{337499}}) {
        const Msf m = CdFrames(n).msf();
        EXPECT_EQ(CdFrames::FromMsf(m.minutes, m.seconds, m.frames).count(), n);
    }
}

TEST(CdFrames, SampleCountsRoundUpToWholeFrames) {
    EXPECT_EQ(CdFrames::Holding(0).count(), 0);
    EXPECT_EQ(CdFrames::Holding(1).count(), 1);
    EXPECT_EQ(CdFrames::Holding(588).count(), 1);
    EXPECT_EQ(CdFrames::Holding(589).count(), 2);
    // One second of 44100 Hz is exactly 75 frames.
    EXPECT_EQ(CdFrames::Holding(44100).count(), 75);
    EXPECT_EQ(CdFrames::FromSeconds(1).samples(), 44100);
    EXPECT_EQ(CdFrames(1).bytes(), 2352);
    EXPECT_EQ(CdFrames(1).samples() * 4, CdFrames(1).bytes());
    EXPECT_LT(CdFrames(3), CdFrames(4));
    EXPECT_EQ(CdFrames(7) - CdFrames(3), CdFrames(4));
}

TEST(CdFrames, SizesPastTwoToTheThirtyFirst) {
    // An 80-minute disc is 846 720 000 bytes; three of them pass 2^31.
    const CdFrames disc = CdFrames::FromMsf(80, 0, 0);
    EXPECT_EQ(disc.count(), 360000);
    EXPECT_EQ(disc.bytes(), 846'720'000);
    const CdFrames three = disc + disc + disc;
    EXPECT_GT(three.bytes(), int64_t{1} << 31);
    EXPECT_EQ(three.bytes(), 2'540'160'000);
    // The first frame whose end lies past 2^31 bytes.
    const int64_t first = (int64_t{1} << 31) / 2352 + 1;
    EXPECT_GT(CdFrames(first).bytes(), int64_t{1} << 31);
    EXPECT_LE(CdFrames(first - 1).bytes(), int64_t{1} << 31);
    // Past 2^32 bytes and 2^31 samples.
    const CdFrames big = CdFrames::FromMsf(1000, 0, 0);
    EXPECT_EQ(big.bytes(), int64_t{4'500'000} * 2352);
    EXPECT_EQ(big.samples(), int64_t{4'500'000} * 588);
    EXPECT_GT(big.samples(), int64_t{1} << 31);
    EXPECT_EQ(CdFrames::Holding(big.samples() + 1).count(), big.count() + 1);
    EXPECT_EQ(big.MsfText(), "1000:00:00");
}

}  // namespace
