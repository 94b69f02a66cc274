#include "components/wave_editor/wave_format.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace wave_editor {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

}  // namespace

std::string WaveErrorText(WaveError error) {
    switch (error) {
        case WaveError::None:
            return std::string();
        case WaveError::CannotOpen:
            return "The file cannot be opened.";
        case WaveError::NotWave:
            return "This is not a WAV file.";
        case WaveError::NoFormat:
            return "The WAV file has no format description.";
        case WaveError::Unsupported:
            return "Only PCM WAV files with one or two channels of 8 or 16 bits can be shown.";
        case WaveError::NoData:
            return "The WAV file holds no sound data.";
    }
    return std::string();
}

WaveHeader ReadWaveHeader(const std::string& path) {
    WaveHeader out;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        out.error = WaveError::CannotOpen;
        return out;
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        out.error = WaveError::CannotOpen;
        return out;
    }
    const int64_t fileSize = static_cast<int64_t>(std::ftell(file.get()));
    std::rewind(file.get());

    uint8_t riff[12];
    if (std::fread(riff, 1, sizeof riff, file.get()) != sizeof riff ||
        std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        out.error = WaveError::NotWave;
        return out;
    }

    bool haveFormat = false;
    int64_t at = 12;
    while (at + 8 <= fileSize) {
        uint8_t chunk[8];
        if (std::fseek(file.get(), static_cast<long>(at), SEEK_SET) != 0 ||
            std::fread(chunk, 1, sizeof chunk, file.get()) != sizeof chunk)
            break;
        const uint32_t size = Le32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t fmt[16];
            if (size < 16 || std::fread(fmt, 1, sizeof fmt, file.get()) != sizeof fmt) {
                out.error = WaveError::NoFormat;
                return out;
            }
            const uint16_t tag = Le16(fmt);
            WaveFormat& f = out.format;
            f.channels = Le16(fmt + 2);
            f.sampleRate = static_cast<int>(Le32(fmt + 4));
            f.bytesPerSecond = static_cast<int>(Le32(fmt + 8));
            f.blockAlign = Le16(fmt + 12);
            f.bitsPerSample = Le16(fmt + 14);
            const bool pcm = tag == kFormatPcm || tag == kFormatExtensible;
            const bool shape = (f.channels == 1 || f.channels == 2) &&
                               (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
                               f.blockAlign == f.channels * f.bitsPerSample / 8 && f.sampleRate > 0;
            if (!pcm || !shape) {
                out.error = WaveError::Unsupported;
                return out;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                out.error = WaveError::NoFormat;
                return out;
            }
            WaveFormat& f = out.format;
            f.dataOffset = at + 8;
            const int64_t present = fileSize - f.dataOffset;
            int64_t bytes = size;
            if (size == 0 || size == 0xFFFFFFFFu || bytes > present) bytes = present;
            f.dataBytes = bytes - bytes % f.blockAlign;
            return out;
        }
        // Chunks are padded to an even length.
        at += 8 + static_cast<int64_t>(size) + (size & 1);
    }
    out.error = haveFormat ? WaveError::NoData : WaveError::NoFormat;
    return out;
}

}  // namespace wave_editor
