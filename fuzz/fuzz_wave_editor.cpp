// The wave editor's loader on any file: the header reader either names an error or describes
// data that lies inside the file, and the streamed overview of that data matches a plain
// frame-by-frame computation, also when the bytes arrive in pieces of any size.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "components/wave_editor/wave_format.h"
#include "components/wave_editor/wave_overview.h"
#include "fuzz/fuzz_support.h"

using namespace wave_editor;

namespace {

int16_t SampleAt(const std::vector<uint8_t>& file, int64_t offset, int bits) {
    if (bits == 8) return static_cast<int16_t>((file[offset] - 128) * 256);
    return static_cast<int16_t>(file[offset] | file[offset + 1] << 8);
}

void CheckSame(const WaveOverview& a, const WaveOverview& b) {
    FUZZ_CHECK(a.channels == b.channels && a.frames == b.frames);
    FUZZ_CHECK(a.framesPerBucket == b.framesPerBucket);
    FUZZ_CHECK(a.min == b.min && a.max == b.max);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int64_t maxBuckets = input.ConsumeIntegralInRange<int64_t>(1, 64);
    const size_t piece = input.ConsumeIntegralInRange<size_t>(1, 97);
    const std::vector<uint8_t> file = input.ConsumeRemainingBytes<uint8_t>();
    const std::string path = fuzz::WriteFile("input.wav", file);

    const WaveHeader header = ReadWaveHeader(path);
    if (header.error != WaveError::None) {
        FUZZ_CHECK(!WaveErrorText(header.error).empty());
        return 0;
    }
    const WaveFormat& format = header.format;
    FUZZ_CHECK(format.channels == 1 || format.channels == 2);
    FUZZ_CHECK(format.bitsPerSample == 8 || format.bitsPerSample == 16);
    FUZZ_CHECK(format.blockAlign == format.channels * format.bitsPerSample / 8);
    FUZZ_CHECK(format.dataOffset >= 12 && format.dataBytes >= 0);
    FUZZ_CHECK(format.dataOffset + format.dataBytes <= static_cast<int64_t>(file.size()));
    FUZZ_CHECK(format.dataBytes % format.blockAlign == 0);

    const std::optional<WaveOverview> overview =
        BuildWaveOverview(path, format, maxBuckets, nullptr, nullptr);
    FUZZ_CHECK(overview.has_value());
    const int64_t frames = format.frames();
    FUZZ_CHECK(overview->frames == frames);
    FUZZ_CHECK(overview->buckets() <= maxBuckets);

    // The reference: every bucket of framesPerBucket frames, its lowest and highest values.
    const int channels = format.channels;
    const int64_t perBucket = frames > 0 ? (frames + maxBuckets - 1) / maxBuckets : 0;
    WaveOverview reference;
    reference.channels = channels;
    reference.frames = frames;
    reference.framesPerBucket = perBucket;
    const int bytes = format.bitsPerSample / 8;
    for (int64_t first = 0; first < frames; first += perBucket) {
        for (int c = 0; c < channels; ++c) {
            int16_t lo = INT16_MAX, hi = INT16_MIN;
            for (int64_t f = first; f < std::min(frames, first + perBucket); ++f) {
                const int16_t v =
                    SampleAt(file, format.dataOffset + f * format.blockAlign + c * bytes,
                             format.bitsPerSample);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            reference.min.push_back(lo);
            reference.max.push_back(hi);
        }
    }
    CheckSame(*overview, reference);

    // The same bytes handed over in pieces.
    WaveOverviewBuilder builder(channels, format.bitsPerSample, frames, maxBuckets);
    const uint8_t* sound = file.data() + format.dataOffset;
    for (int64_t at = 0; at < format.dataBytes; at += piece)
        builder.AddBytes(sound + at, std::min<int64_t>(piece, format.dataBytes - at));
    CheckSame(builder.Finish(), reference);

    for (int c = 0; c < channels && frames > 0; ++c) {
        int16_t lo = 0, hi = 0, wantLo = INT16_MAX, wantHi = INT16_MIN;
        for (size_t b = c; b < reference.min.size(); b += channels) {
            wantLo = std::min(wantLo, reference.min[b]);
            wantHi = std::max(wantHi, reference.max[b]);
        }
        FUZZ_CHECK(overview->Range(c, 0, frames, &lo, &hi));
        FUZZ_CHECK(lo == wantLo && hi == wantHi);
    }
    return 0;
}
