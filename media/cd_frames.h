// CD audio counted in frames (sectors): 75 frames a second, each 2352 bytes holding 588 stereo
// 16-bit sample frames at 44100 Hz. A count converts to bytes, sample frames, whole seconds and
// minutes:seconds:frames (MSF); counts and byte sizes are 64-bit, so a whole disc image (and
// more) counts without overflow.
#pragma once

#include <compare>
#include <cstdint>
#include <cstdio>
#include <string>

namespace media {

inline constexpr int kCdFrameBytes = 2352;
inline constexpr int kCdFramesPerSecond = 75;
inline constexpr int kCdSamplesPerFrame = 588;  // stereo 16-bit sample frames
inline constexpr int kCdSampleRate = 44100;
static_assert(kCdSamplesPerFrame * 4 == kCdFrameBytes);
static_assert(kCdSamplesPerFrame * kCdFramesPerSecond == kCdSampleRate);

struct Msf {
    int64_t minutes = 0;
    int seconds = 0;  // 0 to 59
    int frames = 0;   // 0 to 74
    friend constexpr bool operator==(const Msf&, const Msf&) = default;
};

class CdFrames {
  public:
    constexpr CdFrames() = default;
    constexpr explicit CdFrames(int64_t count) : count_(count) {}

    static constexpr CdFrames FromMsf(int64_t minutes, int64_t seconds, int64_t frames) {
        return CdFrames((minutes * 60 + seconds) * kCdFramesPerSecond + frames);
    }
    static constexpr CdFrames FromSeconds(int64_t seconds) {
        return CdFrames(seconds * kCdFramesPerSecond);
    }
    // The fewest frames that hold `samples` stereo sample frames (a part frame counts whole).
    static constexpr CdFrames Holding(int64_t samples) {
        return CdFrames((samples + kCdSamplesPerFrame - 1) / kCdSamplesPerFrame);
    }

    constexpr int64_t count() const { return count_; }
    constexpr int64_t bytes() const { return count_ * kCdFrameBytes; }
    constexpr int64_t samples() const { return count_ * kCdSamplesPerFrame; }
    // Whole seconds, rounded down.
    constexpr int64_t seconds() const { return count_ / kCdFramesPerSecond; }
    constexpr Msf msf() const {
        return {count_ / (60 * kCdFramesPerSecond),
                static_cast<int>(count_ / kCdFramesPerSecond % 60),
                static_cast<int>(count_ % kCdFramesPerSecond)};
    }
    // "mm:ss:ff", each part at least two digits (minutes may have more).
    std::string MsfText() const {
        const Msf m = msf();
        char text[32];
        std::snprintf(text, sizeof text, "%02lld:%02d:%02d", static_cast<long long>(m.minutes),
                      m.seconds, m.frames);
        return text;
    }

    friend constexpr auto operator<=>(const CdFrames&, const CdFrames&) = default;
    constexpr CdFrames operator+(CdFrames other) const { return CdFrames(count_ + other.count_); }
    constexpr CdFrames operator-(CdFrames other) const { return CdFrames(count_ - other.count_); }

  private:
    int64_t count_ = 0;
};

}  // namespace media
