// An MP3 file as CD audio: decoded with libmpg123 with its output fixed to 44100 Hz stereo 16-bit
// little-endian samples through every change of format inside the stream (another rate is
// resampled, mono doubled), padded with silence to whole 2352-byte sectors and to the shortest
// track a disc may hold. The length is the decoded length, measured by decoding the song once
// when it is opened, so a recorder can place every track of a disc before writing any of them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "media/cd_frames.h"

namespace cd_writer {

using media::kCdFrameBytes;
using media::kCdSampleRate;
using media::kCdSamplesPerFrame;
// A blank 80-minute CD-R.
inline constexpr int64_t kCd80Sectors = media::CdFrames::FromMsf(80, 0, 0).count();
// The shortest track of an audio CD: 4 seconds. Shorter songs get silence at their end.
inline constexpr int64_t kMinTrackSectors = media::CdFrames::FromSeconds(4).count();
// The most tracks an audio CD holds.
inline constexpr int kMaxTracks = 99;
// How many sample frames a song may come up short of its measured length when it is read again
// (the encoder's padding of its last frame) before the read counts as failed.
inline constexpr int64_t kShortfallFrames = 1152;

// Titles a track carries as CD-Text.
struct TrackText {
    std::string title;      // the ID3 title, else the file name without ".mp3"
    std::string performer;  // the ID3 artist; empty without one
};

enum class OpenResult { Ok, CannotOpen, CannotDecode };

class CdAudioDecoder {
  public:
    CdAudioDecoder();
    ~CdAudioDecoder();
    CdAudioDecoder(const CdAudioDecoder&) = delete;
    CdAudioDecoder& operator=(const CdAudioDecoder&) = delete;

    // Opens the file and decodes it once for its exact length. CannotOpen: the file cannot be
    // read; CannotDecode: it holds no decodable MP3 audio.
    OpenResult Open(const std::string& path);
    // Opens a file measured before as `frames` long, without measuring it again.
    OpenResult OpenMeasured(const std::string& path, int64_t frames);

    int sourceRate() const { return sourceRate_; }
    int sourceChannels() const { return sourceChannels_; }
    // 44100 Hz sample frames of the decoded track, before the padding.
    int64_t frames() const { return frames_; }
    int64_t sectors() const { return SectorsOf(frames_); }
    static int64_t SectorsOf(int64_t frames) {
        return std::max(kMinTrackSectors, media::CdFrames::Holding(frames).count());
    }
    int64_t bytes() const { return media::CdFrames(sectors()).bytes(); }
    const TrackText& text() const { return text_; }

    // Fills up to `max` bytes (a multiple of 4) with the next CD audio; returns the bytes given,
    // 0 once bytes() have been given, -1 when the stream cannot be decoded further or ends more
    // than kShortfallFrames before frames() (the file changed or was cut short since it was
    // measured): a track is never filled up with silence in place of its sound.
    long Read(uint8_t* out, size_t max);

  private:
    struct State;
    OpenResult OpenForReading(const std::string& path);
    std::unique_ptr<State> state_;
    int sourceRate_ = 0;
    int sourceChannels_ = 0;
    int64_t frames_ = 0;
    TrackText text_;
};

// Whether the file opens and decodes to at least one sample (a quick check, without measuring).
bool IsUsableMp3(const std::string& path);

}  // namespace cd_writer
