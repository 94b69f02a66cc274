#pragma once

// Music files other than MP3 (WAV, FLAC, Ogg Vorbis, Opus, M4A/AAC, WMA) decoded through
// FFmpeg's libraries into a 16-bit PCM WAV, the form the studio edits, cuts and encodes.
//
// The output keeps the source's rate (rates above 48 kHz are brought down to 48 kHz, the highest
// any ringtone format takes) and its channels (more than two are mixed down to stereo). Samples
// are converted by libswresample as FFmpeg's own tools convert them, so the WAV holds exactly
// what `ffmpeg -i SONG -f s16le` gives for a song of at most 48 kHz and two channels.
//
// FFmpeg is not linked here: its part is the module vx_audio_decode.so of the system directory
// (media/audio_decode_module.h), loaded on the first probe or decode. Without it, both fail with
// "the decoder module vx_audio_decode.so is missing".

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace media {

// The extensions (lower case, without the dot) of the files this decoder takes, in the order the
// open dialogs list them.
const std::vector<std::string>& DecodedExtensions();
// Whether `path` ends in one of DecodedExtensions (any letter case).
bool IsDecodedFileName(std::string_view path);

// What a song holds, as FFmpeg reads it.
struct AudioInfo {
    std::string format;        // the codec's name: "FLAC", "Vorbis", "Opus", "AAC (LC)", ...
    int sampleRate = 0;        // Hz
    int channels = 0;
    int64_t bitRate = 0;       // bit/s; 0 when not known
    int64_t milliseconds = 0;  // length; 0 when not known
};
// nullopt with `why` set when the file cannot be opened or holds no sound FFmpeg decodes.
std::optional<AudioInfo> ProbeAudio(const std::string& path, std::string& why);

// One decode of a song into a WAV. percent() and Cancel() may be called from other threads while
// DecodeToWav runs.
class AudioDecoder {
  public:
    // Writes the WAV to `output` (a staging file of the caller, replaced when it exists). False
    // with error() set when the song cannot be decoded, holds no sound, would not fit a WAV's
    // 4 GB, cannot be written, or the decode was cancelled; `output` is then removed.
    bool DecodeToWav(const std::string& input, const std::string& output);

    // 0 to 100 while decoding, by the bytes of the song read so far.
    double percent() const { return percent_.load(); }
    void Cancel() { cancel_ = true; }
    bool cancelled() const { return cancel_.load(); }
    const std::string& error() const { return error_; }

  private:
    std::atomic<double> percent_{0.0};
    std::atomic<bool> cancel_{false};
    std::string error_;
};

}  // namespace media
