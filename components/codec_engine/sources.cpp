#include "components/codec_engine/sources.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "media/wav_file.h"

namespace vxmpp {
namespace {

uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

long long FileLength(std::FILE* f) {
    struct stat st {};
    if (::fstat(::fileno(f), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

class WavSource : public PcmSource {
  public:
    enum class Kind { Pcm, Float };

    WavSource(FilePtr file, int channels, int rate, int bits, Kind kind, long long dataBytes)
        : file_(std::move(file)),
          bits_(bits),
          kind_(kind),
          bytesPerFrame_(channels * bits / 8),
          dataBytes_(dataBytes) {
        channels_ = channels;
        sampleRate_ = rate;
    }

    long Read(std::vector<float>& out, long frames) override {
        const long long left = (dataBytes_ - readBytes_) / bytesPerFrame_;
        const long want = static_cast<long>(std::min<long long>(frames, left));
        out.clear();
        if (want <= 0) return 0;
        raw_.resize(static_cast<size_t>(want) * bytesPerFrame_);
        const size_t got = std::fread(raw_.data(), 1, raw_.size(), file_.get());
        const long gotFrames = static_cast<long>(got / bytesPerFrame_);
        readBytes_ += static_cast<long long>(got);
        if (gotFrames == 0) {
            // The file ended early although its size said otherwise: end of input.
            dataBytes_ = readBytes_;
            return 0;
        }
        const size_t samples = static_cast<size_t>(gotFrames) * channels_;
        out.resize(samples);
        const unsigned char* p = raw_.data();
        switch (bits_) {
            case 8:
                for (size_t i = 0; i < samples; ++i)
                    out[i] = (static_cast<int>(p[i]) - 128) / 128.0f;
                break;
            case 16:
                for (size_t i = 0; i < samples; ++i) {
                    out[i] = static_cast<int16_t>(Le16(p + 2 * i)) / 32768.0f;
                }
                break;
            case 24:
                for (size_t i = 0; i < samples; ++i) {
                    const unsigned char* s = p + 3 * i;
                    int32_t v = static_cast<int32_t>(static_cast<uint32_t>(s[0]) << 8 |
                                                     static_cast<uint32_t>(s[1]) << 16 |
                                                     static_cast<uint32_t>(s[2]) << 24);
                    out[i] = static_cast<float>(v / 2147483648.0);
                }
                break;
            default:
                for (size_t i = 0; i < samples; ++i) {
                    const uint32_t bitsValue = Le32(p + 4 * i);
                    if (kind_ == Kind::Float) {
                        float f;
                        std::memcpy(&f, &bitsValue, sizeof f);
                        out[i] = std::isfinite(f) ? std::clamp(f, -1.0f, 1.0f) : 0.0f;
                    } else {
                        out[i] = static_cast<float>(static_cast<int32_t>(bitsValue) / 2147483648.0);
                    }
                }
                break;
        }
        return gotFrames;
    }

    double Fraction() const override {
        return dataBytes_ > 0 ? static_cast<double>(readBytes_) / dataBytes_ : 1.0;
    }

  private:
    FilePtr file_;
    int bits_;
    Kind kind_;
    int bytesPerFrame_;
    long long dataBytes_;
    long long readBytes_ = 0;
    std::vector<unsigned char> raw_;
};

class Mp3Source : public PcmSource {
  public:
    Mp3Source(Mpg123Ptr handle, int channels, long rate, long long fileBytes)
        : handle_(std::move(handle)), fileBytes_(fileBytes) {
        channels_ = channels;
        sampleRate_ = static_cast<int>(rate);
    }

    long Read(std::vector<float>& out, long frames) override {
        if (frames <= 0) {
            out.clear();
            return 0;
        }
        out.resize(static_cast<size_t>(frames) * channels_);
        for (;;) {
            if (ended_) {
                out.clear();
                return 0;
            }
            const media::ReadStep step = media::ReadSamples(
                handle_.get(), reinterpret_cast<unsigned char*>(out.data()),
                out.size() * sizeof(float));
            const long got = static_cast<long>(step.bytes / (sizeof(float) * channels_));
            ended_ = step.ended;
            // A read that only announced the (unchanged) format gives nothing: read on.
            if (got == 0 && !ended_) continue;
            out.resize(static_cast<size_t>(got) * channels_);
            return got;
        }
    }

    double Fraction() const override {
        if (ended_) return 1.0;
        const off_t at = mpg123_tell_stream(handle_.get());
        if (at < 0 || fileBytes_ <= 0) return 0.0;
        return std::min(1.0, static_cast<double>(at) / fileBytes_);
    }

  private:
    Mpg123Ptr handle_;
    long long fileBytes_;
    bool ended_ = false;
};

}  // namespace

bool LooksLikeWav(const std::string& path) { return media::LooksLikeWav(path); }

std::unique_ptr<PcmSource> OpenWavSource(const std::string& path, std::string& error) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    const media::WavInfo info = media::ReadWav(f ? ::fileno(f.get()) : -1);
    switch (info.error) {
        case media::WavError::None:
            break;
        case media::WavError::CannotOpen:
            error = "cannot open " + path;
            return nullptr;
        case media::WavError::NotWave:
            error = "not a WAV file";
            return nullptr;
        case media::WavError::NoFormat:
            error = "no format chunk before the data";
            return nullptr;
        default:
            error = "no data chunk";
            return nullptr;
    }
    const media::WavFormat& format = info.format;
    const int bits = format.bitsPerSample;
    const bool pcm = format.IsInteger() && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool flt = format.IsFloat() && bits == 32;
    if (!pcm && !flt) {
        error = "unsupported sample format";
        return nullptr;
    }
    if (format.channels < 1 || format.channels > 2 || format.sampleRate < 1000 ||
        format.sampleRate > 384000 || !format.FrameMatches()) {
        error = "unsupported or inconsistent format";
        return nullptr;
    }
    const long long dataBytes = info.wholeFrameBytes();
    if (dataBytes <= 0) {
        error = "no samples";
        return nullptr;
    }
    if (fseeko(f.get(), static_cast<off_t>(info.dataOffset), SEEK_SET) != 0) {
        error = "cannot open " + path;
        return nullptr;
    }
    return std::make_unique<WavSource>(std::move(f), format.channels,
                                       static_cast<int>(format.sampleRate), bits,
                                       flt ? WavSource::Kind::Float : WavSource::Kind::Pcm,
                                       dataBytes);
}

std::unique_ptr<PcmSource> OpenMp3Source(const std::string& path, std::string& error) {
    Mpg123Ptr handle = NewMpg123(MPG123_ENC_FLOAT_32);
    if (!handle) {
        error = "decoder unavailable";
        return nullptr;
    }
    FilePtr probe(std::fopen(path.c_str(), "rb"));
    if (!probe) {
        error = "cannot open " + path;
        return nullptr;
    }
    const long long length = FileLength(probe.get());
    probe.reset();
    long rate = 0;
    int channels = 0;
    if (!OpenMp3(handle.get(), path, rate, channels)) {
        error = "no MP3 audio in " + path;
        return nullptr;
    }
    return std::make_unique<Mp3Source>(std::move(handle), channels, rate, length);
}

}  // namespace vxmpp
