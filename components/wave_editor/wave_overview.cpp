#include "components/wave_editor/wave_overview.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wave_editor {
namespace {

constexpr int16_t kMinSample = std::numeric_limits<int16_t>::min();
constexpr int16_t kMaxSample = std::numeric_limits<int16_t>::max();

int16_t Widen8(uint8_t v) { return static_cast<int16_t>((static_cast<int>(v) - 128) * 256); }

int16_t Read16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

// Lowest and highest values of `frames` frames of 16-bit samples with `channels` (1 or 2)
// channels, merged into lo/hi per channel. The bulk goes eight samples at a time: lane i of a
// vector always holds channel i % channels, because 8 is a multiple of both channel counts.
void Scan16(const uint8_t* data, int64_t frames, int channels, int16_t* lo, int16_t* hi) {
    int64_t samples = frames * channels;
    int64_t i = 0;
#if defined(__SSE2__)
    if (samples >= 32) {
        __m128i vlo = _mm_set1_epi16(kMaxSample);
        __m128i vhi = _mm_set1_epi16(kMinSample);
        __m128i vlo2 = vlo, vhi2 = vhi;
        for (; i + 16 <= samples; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * i + 16));
            vlo = _mm_min_epi16(vlo, a);
            vhi = _mm_max_epi16(vhi, a);
            vlo2 = _mm_min_epi16(vlo2, b);
            vhi2 = _mm_max_epi16(vhi2, b);
        }
        vlo = _mm_min_epi16(vlo, vlo2);
        vhi = _mm_max_epi16(vhi, vhi2);
        alignas(16) int16_t l[8];
        alignas(16) int16_t h[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(l), vlo);
        _mm_store_si128(reinterpret_cast<__m128i*>(h), vhi);
        for (int lane = 0; lane < 8; ++lane) {
            const int c = lane % channels;
            lo[c] = std::min(lo[c], l[lane]);
            hi[c] = std::max(hi[c], h[lane]);
        }
    }
#endif
    // i is a multiple of 16 here, so sample i belongs to channel 0.
    for (; i < samples; ++i) {
        const int c = static_cast<int>(i % channels);
        const int16_t v = Read16(data + 2 * i);
        lo[c] = std::min(lo[c], v);
        hi[c] = std::max(hi[c], v);
    }
}

void Scan8(const uint8_t* data, int64_t frames, int channels, int16_t* lo, int16_t* hi) {
    const int64_t samples = frames * channels;
    uint8_t l[2] = {255, 255};
    uint8_t h[2] = {0, 0};
    for (int64_t i = 0; i < samples; ++i) {
        const int c = static_cast<int>(i % channels);
        l[c] = std::min(l[c], data[i]);
        h[c] = std::max(h[c], data[i]);
    }
    for (int c = 0; c < channels; ++c) {
        if (l[c] > h[c]) continue;  // no sample of this channel
        lo[c] = std::min(lo[c], Widen8(l[c]));
        hi[c] = std::max(hi[c], Widen8(h[c]));
    }
}

// Owns a file descriptor.
class UniqueFd {
  public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

bool WaveOverview::Range(int channel, int64_t firstFrame, int64_t endFrame, int16_t* lo,
                         int16_t* hi) const {
    if (channel < 0 || channel >= channels || framesPerBucket <= 0) return false;
    firstFrame = std::max<int64_t>(firstFrame, 0);
    endFrame = std::min(endFrame, frames);
    if (firstFrame >= endFrame) return false;
    const int64_t first = firstFrame / framesPerBucket;
    const int64_t last = std::min((endFrame - 1) / framesPerBucket, buckets() - 1);
    if (first > last) return false;
    int16_t l = kMaxSample, h = kMinSample;
    for (int64_t b = first; b <= last; ++b) {
        l = std::min(l, min[static_cast<size_t>(b * channels + channel)]);
        h = std::max(h, max[static_cast<size_t>(b * channels + channel)]);
    }
    *lo = l;
    *hi = h;
    return true;
}

WaveOverviewBuilder::WaveOverviewBuilder(int channels, int bitsPerSample, int64_t totalFrames,
                                         int64_t maxBuckets)
    : channels_(std::clamp(channels, 1, 2)),
      bytesPerSample_(bitsPerSample == 8 ? 1 : 2),
      blockAlign_(channels_ * bytesPerSample_),
      totalFrames_(maxBuckets > 0 ? std::max<int64_t>(totalFrames, 0) : 0) {
    if (totalFrames_ > 0) framesPerBucket_ = (totalFrames_ + maxBuckets - 1) / maxBuckets;
    overview_.channels = channels_;
    overview_.framesPerBucket = framesPerBucket_;
    if (framesPerBucket_ > 0) {
        const size_t buckets =
            static_cast<size_t>((totalFrames_ + framesPerBucket_ - 1) / framesPerBucket_);
        overview_.min.reserve(buckets * channels_);
        overview_.max.reserve(buckets * channels_);
    }
    lo_[0] = lo_[1] = kMaxSample;
    hi_[0] = hi_[1] = kMinSample;
}

WaveOverviewBuilder WaveOverviewBuilder::WithBucketSize(int channels, int bitsPerSample,
                                                        int64_t totalFrames,
                                                        int64_t framesPerBucket) {
    framesPerBucket = std::max<int64_t>(framesPerBucket, 1);
    const int64_t buckets =
        (std::max<int64_t>(totalFrames, 0) + framesPerBucket - 1) / framesPerBucket;
    WaveOverviewBuilder builder(channels, bitsPerSample, totalFrames,
                                std::max<int64_t>(buckets, 1));
    builder.framesPerBucket_ = framesPerBucket;
    builder.overview_.framesPerBucket = framesPerBucket;
    return builder;
}

void WaveOverviewBuilder::AddBytes(const uint8_t* data, size_t size) {
    if (framesSeen_ >= totalFrames_) return;
    // Complete a frame split by the previous call.
    if (partialBytes_ > 0) {
        const size_t take = std::min(size, static_cast<size_t>(blockAlign_ - partialBytes_));
        std::memcpy(partial_ + partialBytes_, data, take);
        partialBytes_ += static_cast<int>(take);
        data += take;
        size -= take;
        if (partialBytes_ < blockAlign_) return;
        AddFrames(partial_, 1);
        partialBytes_ = 0;
    }
    const int64_t frames = static_cast<int64_t>(size / blockAlign_);
    AddFrames(data, frames);
    const size_t rest = size - static_cast<size_t>(frames) * blockAlign_;
    std::memcpy(partial_, data + frames * blockAlign_, rest);
    partialBytes_ = static_cast<int>(rest);
}

void WaveOverviewBuilder::AddFrames(const uint8_t* data, int64_t frames) {
    frames = std::min(frames, totalFrames_ - framesSeen_);
    while (frames > 0) {
        const int64_t n = std::min(frames, framesPerBucket_ - inBucket_);
        if (bytesPerSample_ == 2)
            Scan16(data, n, channels_, lo_, hi_);
        else
            Scan8(data, n, channels_, lo_, hi_);
        data += n * blockAlign_;
        frames -= n;
        framesSeen_ += n;
        inBucket_ += n;
        if (inBucket_ == framesPerBucket_) CloseBucket();
    }
}

void WaveOverviewBuilder::CloseBucket() {
    for (int c = 0; c < channels_; ++c) {
        overview_.min.push_back(lo_[c]);
        overview_.max.push_back(hi_[c]);
    }
    lo_[0] = lo_[1] = kMaxSample;
    hi_[0] = hi_[1] = kMinSample;
    inBucket_ = 0;
}

WaveOverview WaveOverviewBuilder::Finish() {
    if (inBucket_ > 0) CloseBucket();
    overview_.frames = framesSeen_;
    WaveOverview out = std::move(overview_);
    overview_ = WaveOverview{};
    overview_.channels = channels_;
    overview_.framesPerBucket = framesPerBucket_;
    return out;
}

namespace {

// Streams frames [firstFrame, firstFrame + frames) of the data through a builder with the given
// bucket size. Returns nullopt when cancelled or on a read error.
std::optional<WaveOverview> ScanPart(int fd, const WaveFormat& format, int64_t firstFrame,
                                     int64_t frames, int64_t framesPerBucket,
                                     const std::atomic<bool>* cancel,
                                     std::atomic<int64_t>* bytesDone,
                                     std::atomic<int>* progressPercent) {
    WaveOverviewBuilder builder = WaveOverviewBuilder::WithBucketSize(
        format.channels, format.bitsPerSample, frames, framesPerBucket);
    // Large enough that system calls cost little, small enough to stay in the processor cache
    // between the copy out of the page cache and the scan.
    constexpr size_t kBlock = 128 << 10;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kBlock]);
    int64_t offset = format.dataOffset + firstFrame * format.blockAlign;
    const int64_t end = offset + frames * format.blockAlign;
    while (offset < end) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return std::nullopt;
        const size_t want = static_cast<size_t>(std::min<int64_t>(kBlock, end - offset));
        const ssize_t got = ::pread(fd, buffer.get(), want, offset);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;  // the file is shorter than its header said
        builder.AddBytes(buffer.get(), static_cast<size_t>(got));
        offset += got;
        const int64_t done = bytesDone->fetch_add(got, std::memory_order_relaxed) + got;
        if (progressPercent && format.dataBytes > 0) {
            progressPercent->store(static_cast<int>(done * 100 / format.dataBytes),
                                   std::memory_order_relaxed);
        }
    }
    return builder.Finish();
}

}  // namespace

std::optional<WaveOverview> BuildWaveOverview(const std::string& path, const WaveFormat& format,
                                              int64_t maxBuckets, const std::atomic<bool>* cancel,
                                              std::atomic<int>* progressPercent) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const int64_t frames = format.frames();
    if (maxBuckets <= 0 || frames <= 0 || format.blockAlign <= 0) {
        WaveOverviewBuilder empty(format.channels, format.bitsPerSample, 0, 0);
        return empty.Finish();
    }
    const int64_t framesPerBucket = (frames + maxBuckets - 1) / maxBuckets;
    const int64_t buckets = (frames + framesPerBucket - 1) / framesPerBucket;
    std::atomic<int64_t> bytesDone{0};

    // Split on a bucket boundary when there is enough to share between two processors.
    constexpr int64_t kSplitBytes = 32 << 20;
    const bool split =
        std::thread::hardware_concurrency() >= 2 && buckets >= 2 && format.dataBytes >= kSplitBytes;
    if (!split) {
        return ScanPart(fd.get(), format, 0, frames, framesPerBucket, cancel, &bytesDone,
                        progressPercent);
    }
    const int64_t firstFrames = (buckets / 2) * framesPerBucket;
    std::optional<WaveOverview> second;
    std::thread helper([&] {
        second = ScanPart(fd.get(), format, firstFrames, frames - firstFrames, framesPerBucket,
                          cancel, &bytesDone, progressPercent);
    });
    std::optional<WaveOverview> first = ScanPart(fd.get(), format, 0, firstFrames, framesPerBucket,
                                                 cancel, &bytesDone, progressPercent);
    helper.join();
    if (!first || !second) return std::nullopt;
    if (first->frames < firstFrames) return first;  // the file ended inside the first half
    first->frames += second->frames;
    first->min.insert(first->min.end(), second->min.begin(), second->min.end());
    first->max.insert(first->max.end(), second->max.begin(), second->max.end());
    return first;
}

}  // namespace wave_editor
