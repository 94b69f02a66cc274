// An MP3 file as CD audio: decoded with libmpg123, resampled to 44100 Hz where needed
// (libswresample), mono doubled to stereo, 16-bit little-endian samples, padded with silence to
// whole 2352-byte sectors. The length is known before the first sample is read, so a recorder can
// place every track of a disc before decoding any of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace cd_writer {

inline constexpr int kCdRate = 44100;
inline constexpr int kSectorBytes = 2352;
inline constexpr int kFramesPerSector = kSectorBytes / 4;  // stereo 16-bit sample frames
// A blank 80-minute CD-R: 75 sectors a second.
inline constexpr int64_t kCd80Sectors = 80LL * 60 * 75;

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

    // Opens the file and scans it for its exact length. CannotOpen: the file cannot be read;
    // CannotDecode: it holds no MP3 audio.
    OpenResult Open(const std::string& path);

    int sourceRate() const { return sourceRate_; }
    int sourceChannels() const { return sourceChannels_; }
    // 44100 Hz sample frames of the decoded track, before the padding.
    int64_t frames() const { return frames_; }
    int64_t sectors() const { return (frames_ + kFramesPerSector - 1) / kFramesPerSector; }
    int64_t bytes() const { return sectors() * kSectorBytes; }
    const TrackText& text() const { return text_; }

    // Fills up to `max` bytes (a multiple of 4) with the next CD audio; returns the bytes given,
    // 0 once bytes() have been given, -1 when the stream cannot be decoded further.
    long Read(uint8_t* out, size_t max);

  private:
    struct State;
    std::unique_ptr<State> state_;
    int sourceRate_ = 0;
    int sourceChannels_ = 0;
    int64_t frames_ = 0;
    TrackText text_;
};

// Whether the file opens and holds MP3 audio (a quick check, without the length scan).
bool IsUsableMp3(const std::string& path);

}  // namespace cd_writer
