// The wave editor's picture of a sound: for each bucket of consecutive frames, the lowest and the
// highest sample value of each channel. It is built by streaming the file once, so a long file
// is shown without its samples being held in memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "components/wave_editor/wave_format.h"

namespace wave_editor {

// Sample values are on the signed 16-bit scale; 8-bit samples are widened to it.
struct WaveOverview {
    int channels = 0;
    int64_t frames = 0;           // frames the overview covers
    int64_t framesPerBucket = 0;  // every bucket but the last holds this many frames
    // Bucket-major, channel-minor: the value of bucket b, channel c is at b * channels + c.
    std::vector<int16_t> min;
    std::vector<int16_t> max;

    int64_t buckets() const {
        return channels > 0 ? static_cast<int64_t>(min.size()) / channels : 0;
    }
    bool empty() const { return min.empty(); }
    // Lowest and highest value of channel `channel` over frames [firstFrame, endFrame); false
    // when the range holds no frame. Ranges are widened to whole buckets.
    bool Range(int channel, int64_t firstFrame, int64_t endFrame, int16_t* lo, int16_t* hi) const;
};

// Turns PCM bytes into a WaveOverview. Bytes may arrive in pieces of any size, also splitting a
// frame; frames beyond `totalFrames` are ignored.
class WaveOverviewBuilder {
  public:
    // `maxBuckets` bounds the overview's size; 0 or less gives an empty overview.
    WaveOverviewBuilder(int channels, int bitsPerSample, int64_t totalFrames, int64_t maxBuckets);
    // The same with the bucket size given: `framesPerBucket` frames per bucket (at least 1).
    static WaveOverviewBuilder WithBucketSize(int channels, int bitsPerSample, int64_t totalFrames,
                                              int64_t framesPerBucket);

    void AddBytes(const uint8_t* data, size_t size);
    // The overview of the frames added so far (a short last bucket included).
    WaveOverview Finish();

  private:
    void AddFrames(const uint8_t* data, int64_t frames);
    void CloseBucket();

    int channels_;
    int bytesPerSample_;
    int blockAlign_;
    int64_t totalFrames_;
    int64_t framesPerBucket_ = 0;
    int64_t framesSeen_ = 0;
    int64_t inBucket_ = 0;  // frames in the open bucket
    int16_t lo_[2];
    int16_t hi_[2];
    uint8_t partial_[4];
    int partialBytes_ = 0;
    WaveOverview overview_;
};

// Default resolution: enough for a window several thousand pixels wide.
inline constexpr int64_t kOverviewBuckets = 8192;

// Streams the sample data of a file whose header was read into `format` through a builder.
// Long files are read in two halves at once when the machine has two processors.
// `progressPercent` (may be null) is raised as the file is read. Returns nullopt when `cancel`
// (may be null) is set while reading, or when the file cannot be read at all; a file that ends
// early gives the overview of what it holds.
std::optional<WaveOverview> BuildWaveOverview(const std::string& path, const WaveFormat& format,
                                              int64_t maxBuckets, const std::atomic<bool>* cancel,
                                              std::atomic<int>* progressPercent);

}  // namespace wave_editor
