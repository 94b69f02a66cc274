// The clean-cut tools of the ringtone studio, as plain functions on 16-bit PCM: fade-in and
// fade-out ramps, raising or lowering a part to a fixed peak, and moving selection edges onto
// zero crossings so that a cut starts and ends without a click.
//
// Samples are interleaved 16-bit values; a frame holds one value per channel.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

class CWave;

namespace studio {

// The peak a normalised part gets, in dB below full scale (32768).
inline constexpr double kNormalisePeakDbfs = -1.0;
// How far an edge may move to reach a zero crossing.
inline constexpr int kSnapWindowMs = 10;

// What is done to a part on its way out of the studio (saved or played).
struct RingtoneShaping {
    int fadeInMs = 0;
    int fadeOutMs = 0;
    bool normalise = false;

    bool Active() const { return fadeInMs > 0 || fadeOutMs > 0 || normalise; }
};

// Linear ramps: the first `fadeInFrames` frames rise from silence (frame 0 is silent) to full
// level, the last `fadeOutFrames` fall to silence (the last frame is silent). Fades longer than
// the sound are cut to its length; where they overlap both apply.
void ApplyFades(std::span<int16_t> samples, int channels, int64_t fadeInFrames,
                int64_t fadeOutFrames);

// The largest magnitude of the samples, in dB below full scale; nullopt for silence.
std::optional<double> PeakDbfs(std::span<const int16_t> samples);

// Scales the samples so that their peak lies at `peakDbfs` (raised or lowered); silence stays.
void NormalisePeak(std::span<int16_t> samples, double peakDbfs = kNormalisePeakDbfs);

// Fades, then the peak, on a whole 16-bit PCM sound. False (and the sound unchanged) for other
// sample widths, which have no fades and no normalising.
bool ShapeWave(CWave& wave, const RingtoneShaping& shaping);

// A frame boundary b (between frame b - 1 and frame b) is a zero crossing when the channels'
// sum at frame b is 0 or has the other sign than at frame b - 1. Returns the crossing nearest to
// `frame` within `windowFrames` frames either side (the earlier one on a tie), or `frame` when
// there is none. `samples` is the stretch the search may look at; `frame` counts from its start.
int64_t NearestZeroCrossing(std::span<const int16_t> samples, int channels, int64_t frame,
                            int64_t windowFrames);

// A selection in positions (byte 2 * p of the sample data).
struct PositionRange {
    int32_t start = 0;
    int32_t end = 0;
    bool operator==(const PositionRange&) const = default;
};

// Both edges of `selection` moved onto the nearest zero crossing of the 16-bit PCM WAV at
// `wavPath`, each within kSnapWindowMs. Nullopt when the file cannot be read, is not 16-bit PCM
// or the selection is empty; an edge with no crossing nearby stays where it is.
std::optional<PositionRange> SnapSelectionToZeroCrossings(const std::string& wavPath,
                                                          PositionRange selection);

}  // namespace studio
