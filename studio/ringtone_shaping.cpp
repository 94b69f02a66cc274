#include "studio/ringtone_shaping.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "studio/wav.h"

namespace studio {
namespace {

constexpr double kFullScale = 32768.0;

int16_t Clamp16(double value) {
    return static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

// Sum of the channels of frame `frame`; the sign of the mix decides a crossing.
int32_t MixAt(std::span<const int16_t> samples, int channels, int64_t frame) {
    int32_t sum = 0;
    const size_t first = static_cast<size_t>(frame) * static_cast<size_t>(channels);
    for (int c = 0; c < channels; ++c) sum += samples[first + static_cast<size_t>(c)];
    return sum;
}

bool IsCrossing(std::span<const int16_t> samples, int channels, int64_t boundary) {
    const int64_t frames = static_cast<int64_t>(samples.size()) / channels;
    if (boundary < 0 || boundary >= frames) return false;
    const int32_t here = MixAt(samples, channels, boundary);
    if (here == 0) return true;
    if (boundary == 0) return false;
    return (MixAt(samples, channels, boundary - 1) < 0) != (here < 0);
}

// WAV samples are little-endian.
std::vector<int16_t> ToSamples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    } else {
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return samples;
}

void FromSamples(const std::vector<int16_t>& samples, std::vector<uint8_t>& bytes) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes.data(), samples.data(), samples.size() * 2);
    } else {
        for (size_t i = 0; i < samples.size(); ++i) {
            const auto v = static_cast<uint16_t>(samples[i]);
            bytes[2 * i] = static_cast<uint8_t>(v & 0xff);
            bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
    }
}

}  // namespace

void ApplyFades(std::span<int16_t> samples, int channels, int64_t fadeInFrames,
                int64_t fadeOutFrames) {
    if (channels <= 0) return;
    const int64_t frames = static_cast<int64_t>(samples.size()) / channels;
    fadeInFrames = std::clamp<int64_t>(fadeInFrames, 0, frames);
    fadeOutFrames = std::clamp<int64_t>(fadeOutFrames, 0, frames);
    auto scaleFrame = [&](int64_t frame, double gain) {
        int16_t* values = samples.data() + frame * channels;
        for (int c = 0; c < channels; ++c) values[c] = Clamp16(values[c] * gain);
    };
    for (int64_t f = 0; f < fadeInFrames; ++f)
        scaleFrame(f, static_cast<double>(f) / static_cast<double>(fadeInFrames));
    for (int64_t k = 0; k < fadeOutFrames; ++k) {
        // k frames before the last one: the last frame gets gain 0.
        scaleFrame(frames - 1 - k, static_cast<double>(k) / static_cast<double>(fadeOutFrames));
    }
}

std::optional<double> PeakDbfs(std::span<const int16_t> samples) {
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    if (peak == 0) return std::nullopt;
    return 20.0 * std::log10(peak / kFullScale);
}

void NormalisePeak(std::span<int16_t> samples, double peakDbfs) {
    const std::optional<double> peak = PeakDbfs(samples);
    if (!peak) return;
    // The gain in 16.16 fixed point: one multiply and shift a sample keeps a 30-second save fast.
    const double gain = std::pow(10.0, (peakDbfs - *peak) / 20.0);
    const auto fixed = static_cast<int64_t>(std::llround(gain * 65536.0));
    for (int16_t& s : samples) {
        const int64_t scaled = (s * fixed + 32768) >> 16;
        s = static_cast<int16_t>(std::clamp<int64_t>(scaled, -32768, 32767));
    }
}

bool ShapeWave(CWave& wave, const RingtoneShaping& shaping) {
    if (wave.format.formatTag != 1 || wave.format.bitsPerSample != 16 ||
        wave.format.channels == 0 || wave.format.sampleRate == 0)
        return false;
    if (!shaping.Active()) return true;
    std::vector<int16_t> samples = ToSamples(wave.samples);
    const int64_t rate = wave.format.sampleRate;
    ApplyFades(samples, wave.format.channels, rate * shaping.fadeInMs / 1000,
               rate * shaping.fadeOutMs / 1000);
    if (shaping.normalise) NormalisePeak(samples);
    FromSamples(samples, wave.samples);
    return true;
}

int64_t NearestZeroCrossing(std::span<const int16_t> samples, int channels, int64_t frame,
                            int64_t windowFrames) {
    if (channels <= 0) return frame;
    for (int64_t d = 0; d <= windowFrames; ++d) {
        if (IsCrossing(samples, channels, frame - d)) return frame - d;
        if (d > 0 && IsCrossing(samples, channels, frame + d)) return frame + d;
    }
    return frame;
}

std::optional<PositionRange> SnapSelectionToZeroCrossings(const std::string& wavPath,
                                                          PositionRange selection) {
    if (selection.end <= selection.start) return std::nullopt;
    std::ifstream in(wavPath, std::ios::binary);
    if (!in) return std::nullopt;
    const media::WavInfo info = media::ReadWav(in, kStudioWavRules);
    if (!info.ok()) return std::nullopt;
    const WaveFormat format = info.format;
    if (format.formatTag != 1 || format.bitsPerSample != 16 || format.channels == 0 ||
        format.blockAlign != 2 * format.channels)
        return std::nullopt;
    // The frames the header states: a read past the end of the file finds no crossing.
    const uint32_t dataBytes = info.statedDataBytes;
    const int64_t dataStart = info.dataOffset;
    const int64_t frames = dataBytes / format.blockAlign;
    const int channels = format.channels;
    const int64_t window = static_cast<int64_t>(format.sampleRate) * kSnapWindowMs / 1000;

    // Reads the frames around `frame` and returns the crossing nearest to it.
    auto snap = [&](int64_t frame) -> std::optional<int64_t> {
        const int64_t first = std::max<int64_t>(0, frame - window - 1);
        const int64_t last = std::min<int64_t>(frames, frame + window + 1);
        if (last <= first) return frame;
        std::vector<uint8_t> bytes(static_cast<size_t>((last - first) * format.blockAlign));
        in.clear();
        in.seekg(dataStart + first * format.blockAlign);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (in.gcount() != static_cast<std::streamsize>(bytes.size())) return std::nullopt;
        const std::vector<int16_t> samples = ToSamples(bytes);
        return first + NearestZeroCrossing(samples, channels, frame - first, window);
    };

    // Positions count 16-bit values: a frame is `channels` positions.
    const std::optional<int64_t> start = snap(selection.start / channels);
    const std::optional<int64_t> end = snap(selection.end / channels);
    if (!start || !end) return std::nullopt;
    PositionRange snapped{static_cast<int32_t>(*start * channels),
                          static_cast<int32_t>(*end * channels)};
    if (snapped.end <= snapped.start) return selection;
    // An edge already on a crossing stays exactly as it was (positions inside a frame too).
    if (*start == selection.start / channels) snapped.start = selection.start;
    if (*end == selection.end / channels) snapped.end = selection.end;
    return snapped;
}

}  // namespace studio
