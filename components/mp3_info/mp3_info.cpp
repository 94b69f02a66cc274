#include "components/mp3_info/mp3_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "media/wav_file.h"

namespace {

// How far from the start of the audio data the first frame is looked for.
constexpr int64_t kSyncSearchBytes = 1 << 20;
// Frames after a candidate first frame that must follow it seamlessly (fewer when the audio
// data ends first): random bytes almost never hold such a chain.
constexpr int kChainFrames = 3;
// A free-format frame header gives no length: the frame reaches to the next header with the same
// fixed fields (sync, version, layer, protection, bit-rate index, sample rate, channel mode).
// Padding, the private bit, the mode extension and the flags after it may change per frame.
constexpr uint32_t kSameHeaderMask = 0xFFFFFCC0u;
// Where the next free-format header is looked for, from the start of a frame: no frame is shorter
// than 24 bytes, and none longer than a Layer III frame at 640 kbit/s and 8000 Hz.
constexpr int64_t kMinFreeFrameBytes = 24;
constexpr int64_t kMaxFreeFrameBytes = 72 * 640000 / 8000 + 1;

uint32_t Be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, std::numeric_limits<int32_t>::max()));
}

// A read-only file with a read-ahead window; counts the bytes it reads.
class Reader {
public:
    explicit Reader(uint64_t& counter) : counter_(counter) {}
    ~Reader() {
        if (fd_ >= 0) ::close(fd_);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool Open(const char* path) {
        // Only regular files are read. A named pipe or device listed in a playlist would block
        // an ordinary open (or act on the device), so it is refused before it is opened, and the
        // open itself does not wait.
        struct stat info {};
        if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
        fd_ = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return false;
        size_ = info.st_size;
        return true;
    }
    int64_t size() const { return size_; }

    // `n` bytes at `offset`, or nullptr when they lie (partly) beyond the end of the file. The
    // pointer stays valid until the next call.
    const uint8_t* Get(int64_t offset, size_t n) {
        if (offset < 0 || offset + static_cast<int64_t>(n) > size_) return nullptr;
        if (offset >= windowStart_ &&
            offset + static_cast<int64_t>(n) <= windowStart_ + windowFilled_)
            return window_.data() + (offset - windowStart_);
        // Windows start small (a header check costs a few kilobytes) and grow while a caller
        // walks on through the file.
        const bool walkingOn = windowFilled_ > 0 && offset >= windowStart_ &&
                               offset <= windowStart_ + windowFilled_ + 16;
        windowSize_ = walkingOn ? std::min<size_t>(windowSize_ * 2, 64 * 1024) : 4096;
        const size_t want = std::max(n, windowSize_);
        window_.resize(want);
        const size_t got = ReadFully(offset, window_.data(), want);
        windowStart_ = offset;
        windowFilled_ = static_cast<int64_t>(got);
        return got >= n ? window_.data() : nullptr;
    }

    // Exactly `n` bytes at `offset` into `out`, past the window (for the tags at the end).
    bool ReadExact(int64_t offset, uint8_t* out, size_t n) {
        return offset >= 0 && offset + static_cast<int64_t>(n) <= size_ &&
               ReadFully(offset, out, n) == n;
    }

private:
    size_t ReadFully(int64_t offset, uint8_t* out, size_t n) {
        size_t done = 0;
        while (done < n) {
            const ssize_t got =
                ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
            if (got <= 0) break;
            done += static_cast<size_t>(got);
        }
        counter_ += done;
        return done;
    }

    uint64_t& counter_;
    int fd_ = -1;
    int64_t size_ = 0;
    std::vector<uint8_t> window_;
    int64_t windowStart_ = 0;
    int64_t windowFilled_ = 0;
    size_t windowSize_ = 4096;
};

// One MPEG audio frame header.
struct FrameHeader {
    int version = 0;  // 1, 2 or 25 (2.5)
    int layer = 0;    // 1, 2 or 3
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channels = 0;
    int samplesPerFrame = 0;
    int64_t frameBytes = 0;   // 0 for a free-format frame until its length is known
    uint32_t word = 0;        // the header as read
    int padding = 0;          // the padding bit
    bool freeFormat = false;  // bit-rate index 0: the length comes from the next header
    int64_t freeBytes = 0;    // a free-format frame's length without padding, once known

    // Fields that stay the same through a stream (the bit rate may change).
    bool SameStream(const FrameHeader& other) const {
        return version == other.version && layer == other.layer && sampleRate == other.sampleRate;
    }

    // Gives a free-format frame its length (without padding) and the bit rate that follows.
    void SetFreeLength(int64_t bytes) {
        freeBytes = bytes;
        frameBytes = bytes + padding * (layer == 1 ? 4 : 1);
        bitrateKbps = static_cast<int>(
            std::min<int64_t>(bytes * 8 * sampleRate / samplesPerFrame / 1000, 100000));
    }
};

// nullptr (bytes that could not be read) is no header either.
std::optional<FrameHeader> ParseHeader(const uint8_t* p) {
    if (!p) return std::nullopt;
    const uint32_t h = Be32(p);
    if ((h & 0xFFE00000u) != 0xFFE00000u) return std::nullopt;
    const int versionBits = (h >> 19) & 3;
    const int layerBits = (h >> 17) & 3;
    const int bitrateIndex = (h >> 12) & 15;
    const int rateIndex = (h >> 10) & 3;
    const int padding = (h >> 9) & 1;
    const int mode = (h >> 6) & 3;
    // Reserved version or layer, bad bit rate or rate.
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    FrameHeader f;
    f.word = h;
    f.padding = padding;
    f.freeFormat = bitrateIndex == 0;
    f.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    f.layer = 4 - layerBits;
    static constexpr int kBitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static constexpr int kRates[3] = {44100, 48000, 32000};
    f.bitrateKbps = kBitrates[f.version == 1 ? 0 : 1][f.layer - 1][bitrateIndex];
    f.sampleRate = kRates[rateIndex] / (f.version == 1 ? 1 : f.version == 2 ? 2 : 4);
    f.channels = mode == 3 ? 1 : 2;
    const int64_t bps = static_cast<int64_t>(f.bitrateKbps) * 1000;
    if (f.layer == 1) {
        f.samplesPerFrame = 384;
        f.frameBytes = (12 * bps / f.sampleRate + padding) * 4;
    } else if (f.layer == 2 || f.version == 1) {
        f.samplesPerFrame = 1152;
        f.frameBytes = 144 * bps / f.sampleRate + padding;
    } else {
        f.samplesPerFrame = 576;
        f.frameBytes = 72 * bps / f.sampleRate + padding;
    }
    if (f.freeFormat) f.frameBytes = 0;
    return f;
}

struct Stream {
    int64_t audioStart = 0;
    int64_t audioEnd = 0;
};

// Skips ID3v2 tags at the start and ID3v1 and APE tags at the end. False when a tag claims to
// reach beyond the file.
bool FindAudioRegion(Reader& file, Stream& s) {
    s.audioStart = 0;
    s.audioEnd = file.size();
    while (const uint8_t* p = file.Get(s.audioStart, 10)) {
        if (std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF ||
            ((p[6] | p[7] | p[8] | p[9]) & 0x80) != 0)
            break;
        const int64_t body =
            (int64_t{p[6]} << 21) | (int64_t{p[7]} << 14) | (int64_t{p[8]} << 7) | p[9];
        const int64_t footer = (p[5] & 0x10) != 0 ? 10 : 0;
        s.audioStart += 10 + body + footer;
        if (s.audioStart > s.audioEnd) return false;
    }
    for (;;) {
        std::array<uint8_t, 32> p{};
        if (s.audioEnd - 128 >= s.audioStart) {
            if (file.ReadExact(s.audioEnd - 128, p.data(), 3) &&
                std::memcmp(p.data(), "TAG", 3) == 0) {
                s.audioEnd -= 128;
                continue;
            }
        }
        if (s.audioEnd - 32 >= s.audioStart) {
            if (file.ReadExact(s.audioEnd - 32, p.data(), 32) &&
                std::memcmp(p.data(), "APETAGEX", 8) == 0) {
                const int64_t tagBytes =
                    int64_t{Le32(p.data() + 12)} + ((Le32(p.data() + 20) & 0x80000000u) ? 32 : 0);
                if (tagBytes >= 32 && tagBytes <= s.audioEnd - s.audioStart) {
                    s.audioEnd -= tagBytes;
                    continue;
                }
            }
        }
        return true;
    }
}

// The length without padding of the free-format frame `f` at `pos`: the distance to the next
// header with the same fixed fields, as decoders measure it. nullopt when there is none near.
std::optional<int64_t> MeasureFreeFrame(Reader& file, const Stream& s, int64_t pos,
                                        const FrameHeader& f) {
    const int64_t last = std::min(s.audioEnd - 4, pos + kMaxFreeFrameBytes);
    const uint32_t same = f.word & kSameHeaderMask;
    const int64_t paddingBytes = f.padding * (f.layer == 1 ? 4 : 1);
    for (int64_t q = pos + kMinFreeFrameBytes; q <= last; ++q) {
        const uint8_t* p = file.Get(q, 4);
        if (!p) return std::nullopt;
        if (p[0] == 0xFF && (Be32(p) & kSameHeaderMask) == same) return q - pos - paddingBytes;
    }
    return std::nullopt;
}

// The frame header at `pos` with its length. A free-format frame of the stream `in` (the frame
// before it, or null) has that stream's length; another one is measured.
std::optional<FrameHeader> HeaderAt(Reader& file, const Stream& s, int64_t pos,
                                    const FrameHeader* in) {
    auto f = ParseHeader(file.Get(pos, 4));
    if (!f || !f->freeFormat) return f;
    if (in && in->freeFormat && in->freeBytes > 0 &&
        (in->word & kSameHeaderMask) == (f->word & kSameHeaderMask)) {
        f->SetFreeLength(in->freeBytes);
        return f;
    }
    const std::optional<int64_t> bytes = MeasureFreeFrame(file, s, pos, *f);
    if (!bytes || *bytes <= 0) return std::nullopt;
    f->SetFreeLength(*bytes);
    return f;
}

// Whether a frame header at `pos` starts a chain of frames of one stream.
std::optional<FrameHeader> FrameChainAt(Reader& file, const Stream& s, int64_t pos) {
    const auto first = HeaderAt(file, s, pos, nullptr);
    if (!first) return std::nullopt;
    int64_t next = pos + first->frameBytes;
    FrameHeader previous = *first;
    for (int k = 0; k < kChainFrames; ++k) {
        if (next == s.audioEnd) return first;
        // A frame cut short by the end of the data still counts after a complete one.
        if (next + 4 > s.audioEnd) return k > 0 ? first : std::nullopt;
        const auto follower = HeaderAt(file, s, next, &previous);
        if (!follower || !follower->SameStream(*first)) return std::nullopt;
        next += follower->frameBytes;
        previous = *follower;
    }
    return first;
}

// The first frame of the audio data, searched for within the first megabyte.
std::optional<int64_t> FindFirstFrame(Reader& file, const Stream& s) {
    const int64_t limit = std::min(s.audioEnd - 4, s.audioStart + kSyncSearchBytes);
    for (int64_t pos = s.audioStart; pos <= limit; ++pos) {
        const uint8_t* p = file.Get(pos, 2);
        if (!p) return std::nullopt;
        if (p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && FrameChainAt(file, s, pos)) return pos;
    }
    return std::nullopt;
}

struct VbrHeader {
    int lengthSource = 0;      // 1 Xing/Info, 2 VBRI
    int64_t frames = 0;        // 0 when the header does not give the count
    int64_t bytes = 0;         // bytes of the stream it describes; 0 when it does not say
    int64_t delaySamples = 0;  // encoder delay and padding from a LAME tag
    int64_t paddingSamples = 0;
};

// A Xing/Info or VBRI header in the first frame: that frame then carries no audio.
std::optional<VbrHeader> ReadVbrHeader(Reader& file, int64_t pos, const FrameHeader& f) {
    if (f.layer != 3) return std::nullopt;
    const int sideInfo = f.version == 1 ? (f.channels == 1 ? 17 : 32) : (f.channels == 1 ? 9 : 17);
    const int64_t xingPos = pos + 4 + sideInfo;
    if (xingPos + 8 <= pos + f.frameBytes) {
        if (const uint8_t* x = file.Get(xingPos, 8);
            x && (std::memcmp(x, "Xing", 4) == 0 || std::memcmp(x, "Info", 4) == 0)) {
            VbrHeader v;
            v.lengthSource = 1;
            const uint32_t flags = Be32(x + 4);
            int64_t field = xingPos + 8;
            if ((flags & 1) != 0) {
                if (const uint8_t* n = file.Get(field, 4)) v.frames = Be32(n);
                field += 4;
            }
            if ((flags & 2) != 0) {
                if (const uint8_t* n = file.Get(field, 4)) v.bytes = Be32(n);
            }
            // The LAME tag sits 120 bytes after "Xing"; the delays are 12-bit fields at 141.
            if (xingPos + 144 <= pos + f.frameBytes) {
                const uint8_t* t = file.Get(xingPos + 120, 24);
                if (t && (std::memcmp(t, "LAME", 4) == 0 || std::memcmp(t, "Lav", 3) == 0)) {
                    v.delaySamples = (t[21] << 4) | (t[22] >> 4);
                    v.paddingSamples = ((t[22] & 0x0F) << 8) | t[23];
                }
            }
            return v;
        }
    }
    if (pos + 36 + 18 <= pos + f.frameBytes) {
        if (const uint8_t* v = file.Get(pos + 36, 18); v && std::memcmp(v, "VBRI", 4) == 0) {
            VbrHeader h;
            h.lengthSource = 2;
            h.bytes = Be32(v + 10);
            h.frames = Be32(v + 14);
            return h;
        }
    }
    return std::nullopt;
}

// Whether a header's counts describe the audio that the file holds: its byte count must match
// the data from the header frame to the end within a frame or two. A file cut short, or two files
// joined, keeps the header of the whole first file; such a file is walked instead.
bool HeaderFitsTheData(const VbrHeader& v, const FrameHeader& headerFrame, int64_t streamBytes) {
    if (v.frames <= 0 || v.bytes <= 0) return false;
    const int64_t tolerance = 2 * (v.bytes / v.frames) + headerFrame.frameBytes;
    return std::abs(v.bytes - streamBytes) <= tolerance;
}

struct MpegResult {
    FrameHeader first;
    // Samples at the first frame's rate, and the time of frames at other rates (a stream that
    // changes its rate part way).
    int64_t samples = 0;
    int64_t otherRateMicros = 0;
    int64_t frames = 0;
    int64_t audioBytes = 0;
    bool vbr = false;
    int lengthSource = 0;
};

std::optional<MpegResult> DescribeMpeg(Reader& file) {
    Stream s;
    if (!FindAudioRegion(file, s)) return std::nullopt;
    const auto start = FindFirstFrame(file, s);
    if (!start) return std::nullopt;
    const auto first = HeaderAt(file, s, *start, nullptr);
    if (!first) return std::nullopt;
    MpegResult r;
    r.first = *first;
    const auto vbr = ReadVbrHeader(file, *start, r.first);
    int64_t pos = *start;
    // The header was written for other audio than the file holds (cut short, joined).
    bool headerOfOtherAudio = false;
    if (vbr) {
        pos += r.first.frameBytes;
        // A count that the data cannot hold (no frame is shorter than 24 bytes), or a header
        // whose byte count disagrees with the data, is not believed; the frames are counted.
        const bool possible = vbr->frames <= (s.audioEnd - pos) / 24 + 1;
        headerOfOtherAudio = !possible || vbr->bytes > 0;
        if (possible && HeaderFitsTheData(*vbr, r.first, s.audioEnd - *start)) {
            r.frames = vbr->frames;
            r.audioBytes = s.audioEnd - pos;
            r.lengthSource = vbr->lengthSource;
            r.samples = std::max<int64_t>(
                0, r.frames * r.first.samplesPerFrame - vbr->delaySamples - vbr->paddingSamples);
            r.vbr = r.frames > 0 && r.audioBytes / r.frames != r.first.frameBytes &&
                    r.audioBytes / r.frames + 1 != r.first.frameBytes;
            return r;
        }
    }
    // No frame count in a header: walk the frame headers to the end of the audio data. A
    // stream may change its rate (or MPEG version) part way; the walk follows the frames of
    // the stream it is in and moves on to another one where a new chain of frames begins.
    const int64_t walkStart = pos;
    int64_t lastBitrate = -1;
    FrameHeader current = r.first;
    while (pos + 4 <= s.audioEnd) {
        auto f = HeaderAt(file, s, pos, &current);
        if (f && !f->SameStream(current)) f = FrameChainAt(file, s, pos);
        if (f) current = *f;
        if (!f) {
            // Junk inside the stream: continue at the next frame chain, if there is one.
            int64_t next = pos + 1;
            while (next + 4 <= s.audioEnd) {
                const uint8_t* p = file.Get(next, 2);
                if (p && p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && FrameChainAt(file, s, next)) {
                    break;
                }
                ++next;
            }
            pos = next;
            continue;
        }
        if (pos + f->frameBytes > s.audioEnd) break;  // a last frame cut short plays nothing
        if (lastBitrate >= 0 && lastBitrate != f->bitrateKbps) r.vbr = true;
        lastBitrate = f->bitrateKbps;
        ++r.frames;
        if (f->sampleRate == r.first.sampleRate) {
            r.samples += f->samplesPerFrame;
        } else {
            r.otherRateMicros += int64_t{f->samplesPerFrame} * 1000000 / f->sampleRate;
        }
        pos += f->frameBytes;
    }
    if (r.frames == 0) return std::nullopt;
    r.audioBytes = pos - walkStart;
    // The encoder's delay opens the stream; its padding closed the file the header was written
    // for, which is not the end of these frames when the header was not believed.
    if (vbr) {
        const int64_t padding = headerOfOtherAudio ? 0 : vbr->paddingSamples;
        r.samples = std::max<int64_t>(0, r.samples - vbr->delaySamples - padding);
    }
    return r;
}

struct WaveResult {
    int rate = 0;
    int channels = 0;
    int64_t frames = 0;
    int64_t dataBytes = 0;
    bool floatSamples = false;
};

// A RIFF/WAVE file with PCM (integer or float) samples.
std::optional<WaveResult> DescribeWave(Reader& file) {
    const media::WavReadAt readAt = [&file](int64_t offset, uint8_t* to, size_t size) -> size_t {
        const int64_t left = file.size() - offset;
        if (offset < 0 || left <= 0) return 0;
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(size)));
        const uint8_t* bytes = file.Get(offset, n);
        if (!bytes) return 0;
        std::memcpy(to, bytes, n);
        return n;
    };
    const media::WavInfo info = media::ParseWav(file.size(), readAt);
    const media::WavFormat& f = info.format;
    if (!info.ok() || (!f.IsInteger() && !f.IsFloat()) || f.channels == 0 || f.sampleRate == 0 ||
        f.sampleRate > static_cast<uint32_t>(std::numeric_limits<int>::max()) || f.blockAlign == 0)
        return std::nullopt;
    WaveResult w;
    w.channels = f.channels;
    w.rate = static_cast<int>(f.sampleRate);
    w.dataBytes = info.dataBytes;
    w.frames = info.frames();
    w.floatSamples = f.IsFloat();
    return w;
}

}  // namespace

CPlay::CPlay() = default;

CPlay::~CPlay() = default;

bool CPlay::GetInfo(char* path, MPEGINFOS* info) {
    if (!path || !info) return false;
    Reader file(bytesRead_);
    if (!file.Open(path) || file.size() < 4) return false;

    MPEGINFOS out{};
    std::memcpy(out.mpeg, "MPEG", 4);
    out.filled = 1;
    int64_t ms = 0;
    if (const auto wave = DescribeWave(file)) {
        ms = wave->frames * 1000 / wave->rate;
        out.kind = kStreamKindWave;
        out.sampleRate = wave->rate;
        out.channels = wave->channels;
        out.lengthSource = 3;
        out.waveSamples = wave->floatSamples ? kWaveSamplesFloat : kWaveSamplesInteger;
        out.audioBytes = Saturate(wave->dataBytes);
        out.bitrateKbps = ms > 0 ? Saturate(wave->dataBytes * 8 / ms) : 0;
    } else if (const auto mpeg = DescribeMpeg(file)) {
        const FrameHeader& f = mpeg->first;
        ms = mpeg->samples * 1000 / f.sampleRate + mpeg->otherRateMicros / 1000;
        out.kind = f.layer == 3 ? kStreamKindLayer3 : kStreamKindLayer12;
        out.version = f.version;
        out.layer = f.layer;
        out.sampleRate = f.sampleRate;
        out.channels = f.channels;
        out.frames = Saturate(mpeg->frames);
        out.vbr = mpeg->vbr ? 1 : 0;
        out.lengthSource = mpeg->lengthSource;
        out.audioBytes = Saturate(mpeg->audioBytes);
        const int64_t fullMs = mpeg->otherRateMicros == 0
                                   ? mpeg->frames * f.samplesPerFrame * 1000 / f.sampleRate
                                   : ms;
        out.bitrateKbps = fullMs > 0 ? Saturate(mpeg->audioBytes * 8 / fullMs) : f.bitrateKbps;
    } else {
        return false;
    }
    out.milliseconds = Saturate(ms);
    out.seconds = Saturate(ms / 1000);
    *info = out;
    return true;
}
