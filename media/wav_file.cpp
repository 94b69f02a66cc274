#include "media/wav_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <vector>

namespace media {
namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xff);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xff);
}

// Offset of the sub-format inside an extensible format chunk's body, and the body length that
// holds its first word.
constexpr size_t kSubFormatAt = 24;
constexpr uint32_t kSubFormatEnd = kSubFormatAt + 2;
// The longest format chunk body that is read; what follows is never needed.
constexpr uint32_t kFormatBodyRead = 40;
// The fixed layouts look at the file's first bytes only.
constexpr size_t kFixedHeadBytes = 200;

// The fields of a format chunk body of `size` bytes (at least 16) held in `body`.
WavFormat FormatFields(const uint8_t* body, uint32_t size, uint32_t chunkBytes) {
    WavFormat f;
    f.formatTag = Le16(body);
    f.channels = Le16(body + 2);
    f.sampleRate = Le32(body + 4);
    f.bytesPerSecond = Le32(body + 8);
    f.blockAlign = Le16(body + 12);
    f.bitsPerSample = Le16(body + 14);
    f.chunkBytes = chunkBytes;
    f.sampleTag = f.formatTag;
    if (f.formatTag == kWavFormatExtensible && chunkBytes >= kSubFormatEnd && size >= kSubFormatEnd)
        f.sampleTag = Le16(body + kSubFormatAt);
    return f;
}

// The data the file holds after a "data" chunk header: its stated size, cut or refused by the
// rules when the file ends first.
void PlaceData(WavInfo& info, int64_t dataOffset, uint32_t stated, const WavRules& rules) {
    info.dataOffset = dataOffset;
    info.statedDataBytes = stated;
    const int64_t present = std::max<int64_t>(0, info.fileBytes - dataOffset);
    int64_t bytes = stated;
    if (rules.unfinishedDataRunsToEnd && (stated == 0 || stated == 0xFFFFFFFFu)) bytes = present;
    if (bytes > present) {
        if (rules.refuseShortData) {
            info.error = WavError::Truncated;
            return;
        }
        bytes = present;
    }
    info.dataBytes = bytes;
}

WavInfo ParseChunks(WavInfo info, const WavReadAt& readAt, const WavRules& rules) {
    int64_t at = 12;
    while (at + 8 <= info.fileBytes) {
        uint8_t chunk[8];
        if (readAt(at, chunk, sizeof chunk) != sizeof chunk) break;
        const uint32_t size = Le32(chunk + 4);
        const int64_t body = at + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t fields[kFormatBodyRead] = {};
            const uint32_t want = std::min(size, kFormatBodyRead);
            if (size < 16 || readAt(body, fields, want) < 16) {
                info.error = WavError::NoFormat;
                return info;
            }
            info.format = FormatFields(fields, want, size);
            info.hasFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!info.hasFormat) {
                info.error = WavError::NoFormat;
                return info;
            }
            PlaceData(info, body, size, rules);
            return info;
        }
        // Chunks are padded to an even length.
        at = body + static_cast<int64_t>(size) + (size & 1);
    }
    info.error = info.hasFormat ? WavError::NoData : WavError::NoFormat;
    return info;
}

WavInfo ParseFixed(WavInfo info, const WavReadAt& readAt, const WavRules& rules) {
    std::vector<uint8_t> head(static_cast<size_t>(std::min<int64_t>(
        static_cast<int64_t>(kFixedHeadBytes), info.fileBytes)));
    head.resize(readAt(0, head.data(), head.size()));
    if (head.size() < 16 || std::memcmp(head.data() + 8, "WAVEfmt ", 8) != 0) {
        info.error = WavError::NotWave;
        return info;
    }
    if (head.size() < 36) {
        info.error = WavError::NoFormat;
        return info;
    }
    const uint32_t chunkBytes = Le32(head.data() + 16);
    const uint32_t inHead = static_cast<uint32_t>(head.size() - 20);
    info.format = FormatFields(head.data() + 20, std::min(inHead, kFormatBodyRead), chunkBytes);
    info.hasFormat = true;
    if (rules.wholeRiff && info.fileBytes != static_cast<int64_t>(info.riffSize) + 8) {
        info.error = WavError::NotWhole;
        return info;
    }
    int d = -1;
    if (rules.layout == WavLayout::Canonical) {
        if (head.size() >= 44 && std::memcmp(head.data() + 36, "data", 4) == 0) d = 36;
    } else {
        for (int at = 0; at <= kLastDataTagOffset && static_cast<size_t>(at) + 8 <= head.size();
             ++at) {
            if (std::memcmp(head.data() + at, "data", 4) == 0) {
                d = at;
                break;
            }
        }
    }
    if (d < 0) {
        info.error = WavError::NoData;
        return info;
    }
    PlaceData(info, d + 8, Le32(head.data() + d + 4), rules);
    return info;
}

}  // namespace

bool StartsLikeWav(const uint8_t* head, size_t size) {
    return size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
}

bool LooksLikeWav(const std::string& path) {
    const WavInfo info = ReadWav(path, WavRules{});
    return info.error != WavError::CannotOpen && info.error != WavError::NotWave;
}

WavFormat WavFormat::Pcm(int channels, uint32_t sampleRate, int bitsPerSample) {
    WavFormat f;
    f.formatTag = kWavFormatPcm;
    f.sampleTag = kWavFormatPcm;
    f.channels = static_cast<uint16_t>(channels);
    f.sampleRate = sampleRate;
    f.bitsPerSample = static_cast<uint16_t>(bitsPerSample);
    f.blockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
    f.bytesPerSecond = sampleRate * f.blockAlign;
    f.chunkBytes = 16;
    return f;
}

WavInfo ParseWav(int64_t fileBytes, const WavReadAt& readAt, const WavRules& rules) {
    WavInfo info;
    info.fileBytes = fileBytes;
    uint8_t riff[12];
    if (fileBytes < 12 || readAt(0, riff, sizeof riff) != sizeof riff ||
        !StartsLikeWav(riff, sizeof riff)) {
        info.error = WavError::NotWave;
        return info;
    }
    info.riffSize = Le32(riff + 4);
    if (rules.layout != WavLayout::Chunks) return ParseFixed(info, readAt, rules);
    if (rules.wholeRiff && fileBytes != static_cast<int64_t>(info.riffSize) + 8) {
        info.error = WavError::NotWhole;
        return info;
    }
    return ParseChunks(info, readAt, rules);
}

WavInfo ReadWav(const std::string& path, const WavRules& rules) {
    WavInfo failed;
    failed.error = WavError::CannotOpen;
    // Only regular files are read, and the open does not wait: a named pipe would block for a
    // writer, a device never ends.
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return failed;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return failed;
    const WavInfo info = ReadWav(fd, rules);
    ::close(fd);
    return info;
}

WavInfo ReadWav(int fd, const WavRules& rules) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        WavInfo failed;
        failed.error = WavError::CannotOpen;
        return failed;
    }
    const WavReadAt readAt = [fd](int64_t offset, uint8_t* to, size_t size) {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pread(fd, to + done, size - done, static_cast<off_t>(offset) +
                                                                      static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    };
    return ParseWav(static_cast<int64_t>(st.st_size), readAt, rules);
}

WavInfo ReadWav(std::istream& in, const WavRules& rules) {
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (!in || end < 0) {
        WavInfo failed;
        failed.error = WavError::CannotOpen;
        return failed;
    }
    const WavReadAt readAt = [&in](int64_t offset, uint8_t* to, size_t size) {
        in.clear();
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(size));
        return static_cast<size_t>(in.gcount());
    };
    return ParseWav(static_cast<int64_t>(end), readAt, rules);
}

std::array<uint8_t, kWavHeaderBytes> WavHeader(const WavFormat& format, uint32_t dataBytes) {
    std::array<uint8_t, kWavHeaderBytes> h{};
    std::memcpy(h.data(), "RIFF", 4);
    PutLe32(h.data() + 4, dataBytes + 36);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    PutLe32(h.data() + 16, 16);
    PutLe16(h.data() + 20, format.formatTag);
    PutLe16(h.data() + 22, format.channels);
    PutLe32(h.data() + 24, format.sampleRate);
    PutLe32(h.data() + 28, format.bytesPerSecond);
    PutLe16(h.data() + 32, format.blockAlign);
    PutLe16(h.data() + 34, format.bitsPerSample);
    std::memcpy(h.data() + 36, "data", 4);
    PutLe32(h.data() + 40, dataBytes);
    return h;
}

}  // namespace media
