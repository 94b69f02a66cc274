// Sound sources the encoder reads from: PCM WAV files and MP3 files, both streamed in small
// blocks so that memory stays flat whatever the input's length.
#pragma once

#include "media/mp3_decode.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vxmpp {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

using media::Mpg123Ptr;
using media::NewMpg123;
using media::OpenMp3;

// Interleaved float samples in [-1, 1].
class PcmSource {
  public:
    virtual ~PcmSource() = default;
    int channels() const { return channels_; }
    int sampleRate() const { return sampleRate_; }
    // Reads up to `frames` sample frames into `out` (resized to what was read); returns the number
    // of frames read, 0 at the end, -1 when the input is damaged beyond use.
    virtual long Read(std::vector<float>& out, long frames) = 0;
    // How much of the input has been read, 0 to 1.
    virtual double Fraction() const = 0;

  protected:
    int channels_ = 0;
    int sampleRate_ = 0;
};

// A RIFF/WAVE file with PCM samples of 8, 16, 24 or 32 bits, or 32-bit float samples, mono or
// stereo; chunks other than "fmt " and "data" are skipped. A data size larger than the file (a
// header that was never finished) is cut to what the file holds. Null with `error` set when the
// file is not such a WAV or holds no samples.
std::unique_ptr<PcmSource> OpenWavSource(const std::string& path, std::string& error);

// An MP3 file decoded on the fly. Null with `error` set when the file holds no MP3 audio.
std::unique_ptr<PcmSource> OpenMp3Source(const std::string& path, std::string& error);

// True when the file starts like a RIFF/WAVE file.
bool LooksLikeWav(const std::string& path);

}  // namespace vxmpp
