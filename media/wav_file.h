// RIFF/WAVE files: the one reader of their chunks and the one writer of the canonical 44-byte
// header. Every program and component that opens a WAV goes through ReadWav, so what one of them
// accepts, the others accept too; where a reader keeps a rule of its own on purpose (the studio's
// fixed layout, a size that must match the file, a writer that never finished its header), that
// rule is an option of WavRules rather than a second parser.
//
// What every reader accepts: "RIFF" at 0 and "WAVE" at 8; chunks each padded to an even length
// (the pad byte after an odd-sized chunk is skipped); any chunks ("LIST", "fact", ...) before
// "data"; a format chunk of at least 16 bytes before "data" (the last one counts);
// WAVE_FORMAT_EXTENSIBLE, whose sample kind is the first word of its sub-format; a "data" size
// past the end of the file, cut to what the file holds. Offsets and sizes are 64-bit, so files
// past 2^31 bytes read alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace media {

// True when the first 12 bytes read "RIFF", any size, "WAVE" (a sniff, nothing more).
bool StartsLikeWav(const uint8_t* head, size_t size);
bool LooksLikeWav(const std::string& path);

inline constexpr uint16_t kWavFormatPcm = 1;
inline constexpr uint16_t kWavFormatFloat = 3;
inline constexpr uint16_t kWavFormatExtensible = 0xFFFE;

// The fields of the format chunk.
struct WavFormat {
    uint16_t formatTag = kWavFormatPcm;  // as written in the file
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;  // bytes per sample frame
    uint16_t bitsPerSample = 0;
    uint32_t chunkBytes = 0;  // the format chunk's own size field
    // The kind of the samples: the format tag, or for WAVE_FORMAT_EXTENSIBLE (with a chunk long
    // enough to hold it) the first word of the sub-format.
    uint16_t sampleTag = kWavFormatPcm;

    bool IsInteger() const { return sampleTag == kWavFormatPcm; }
    bool IsFloat() const { return sampleTag == kWavFormatFloat; }
    // The frame size agrees with channels × bits (and is not 0).
    bool FrameMatches() const {
        return blockAlign != 0 && blockAlign == channels * bitsPerSample / 8;
    }
    // Integer PCM with consistent rates.
    static WavFormat Pcm(int channels, uint32_t sampleRate, int bitsPerSample);
};

// Where the reading stopped; None when the file is a WAV under the rules.
enum class WavError {
    None,
    CannotOpen,  // no such file, or it cannot be read
    NotWave,     // no "RIFF"/"WAVE" tags (or, in the fixed layouts, no "WAVEfmt ")
    NoFormat,    // no format chunk of 16 bytes or more before "data" (or the file ends in it)
    NotWhole,    // wholeRiff: the file length is not RIFF size + 8
    NoData,      // no "data" chunk (where the layout looks for it)
    Truncated,   // refuseShortData: "data" states more bytes than the file holds
};

// How the chunks are found.
enum class WavLayout {
    // Chunks walked one after the other from offset 12.
    Chunks,
    // The studio's files: bytes 8 to 15 read "WAVEfmt ", the format fields follow the chunk size
    // at 16 (whatever that size says), and "data" is the first occurrence of that text at a byte
    // offset from 0 to 94 of the file (extra chunks before it are kept, not walked).
    FormatFirst,
    // The archive layout: as FormatFirst, with "data" exactly at offset 36.
    Canonical,
};

// The highest offset at which FormatFirst looks for the "data" tag.
inline constexpr int kLastDataTagOffset = 94;

struct WavRules {
    WavLayout layout = WavLayout::Chunks;
    // The file must be exactly RIFF size + 8 bytes long: a file still being written (or one
    // damaged) is NotWhole.
    bool wholeRiff = false;
    // A "data" size of 0 or 0xFFFFFFFF (what a writer leaves that streams and never comes back
    // to the header) runs to the end of the file.
    bool unfinishedDataRunsToEnd = false;
    // A "data" size past the end of the file is Truncated instead of cut to the file.
    bool refuseShortData = false;
};

struct WavInfo {
    WavError error = WavError::None;
    bool hasFormat = false;  // `format` was read (also when a later rule failed)
    WavFormat format;
    int64_t fileBytes = 0;
    uint32_t riffSize = 0;
    int64_t dataOffset = -1;       // byte offset of the first sample; -1 without "data"
    uint32_t statedDataBytes = 0;  // the "data" chunk's size field
    // The bytes of sample data the file holds under the rules (a trailing part frame included).
    int64_t dataBytes = 0;

    bool ok() const { return error == WavError::None; }
    int64_t frames() const { return format.blockAlign ? dataBytes / format.blockAlign : 0; }
    // The bytes of the whole frames.
    int64_t wholeFrameBytes() const { return frames() * format.blockAlign; }
};

// Reads up to `size` bytes at `offset` into `to`; answers how many were read.
using WavReadAt = std::function<size_t(int64_t offset, uint8_t* to, size_t size)>;

// Reads the chunks of a file of `fileBytes` bytes through `readAt`.
WavInfo ParseWav(int64_t fileBytes, const WavReadAt& readAt, const WavRules& rules = {});
// The same for the file at `path` (CannotOpen when it is missing or no regular file), for an open
// regular file (read with pread: its file offset does not move) and for a seekable stream, which
// is left in an unspecified position.
WavInfo ReadWav(const std::string& path, const WavRules& rules = {});
WavInfo ReadWav(int fd, const WavRules& rules = {});
WavInfo ReadWav(std::istream& in, const WavRules& rules = {});

// The canonical 44-byte header: "RIFF", dataBytes + 36, "WAVE", "fmt ", 16, the six format fields
// as given (they are written as they are, consistent or not), "data", dataBytes.
inline constexpr size_t kWavHeaderBytes = 44;
std::array<uint8_t, kWavHeaderBytes> WavHeader(const WavFormat& format, uint32_t dataBytes);

}  // namespace media
