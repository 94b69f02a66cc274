// The header of a PCM WAV file as the wave editor needs it: where the sample data lies and how
// it is laid out. The chunks are walked properly, so extra chunks before "data" are skipped.
#pragma once

#include <cstdint>
#include <string>

namespace wave_editor {

struct WaveFormat {
    int channels = 0;        // 1 or 2
    int sampleRate = 0;      // frames per second
    int bytesPerSecond = 0;  // as the header states it
    int blockAlign = 0;      // bytes per frame
    int bitsPerSample = 0;   // 8 (unsigned) or 16 (signed little-endian)
    int64_t dataOffset = 0;  // byte offset of the first sample in the file
    int64_t dataBytes = 0;   // bytes of whole frames present in the file
    int64_t frames() const { return blockAlign > 0 ? dataBytes / blockAlign : 0; }
    double seconds() const {
        return sampleRate > 0 ? static_cast<double>(frames()) / sampleRate : 0.0;
    }
};

enum class WaveError {
    None,
    CannotOpen,   // the file does not exist or cannot be read
    NotWave,      // no RIFF/WAVE header
    NoFormat,     // no usable "fmt " chunk before "data"
    Unsupported,  // not PCM, or not mono/stereo 8/16 bit
    NoData,       // no "data" chunk
};

// The text the editor shows for an error.
std::string WaveErrorText(WaveError error);

struct WaveHeader {
    WaveError error = WaveError::None;
    WaveFormat format;
};

// Reads the header of the file at `path`. A "data" chunk whose stated size runs past the end of
// the file (a file still being written, or one whose writer left the size at 0 or 0xFFFFFFFF)
// counts up to the end of the file; a trailing part frame is left out.
WaveHeader ReadWaveHeader(const std::string& path);

}  // namespace wave_editor
