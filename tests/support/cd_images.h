// Generated audio CD images for the CD-access tests: a CUE sheet and its BIN of raw 2352-byte
// frames, with CD-Text and an optional list of unreadable frames beside them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct ImageTrack {
    int32_t frames = 0;
    bool data = false;  // a MODE1/2352 data track
    std::string title;
    std::string performer;
};

struct DiscImage {
    std::string title;
    std::string performer;
    std::vector<ImageTrack> tracks;
    // Changes every frame's audio, so two discs of equal layout still differ in content.
    uint32_t seed = 1;
};

// Writes `<folder>/<name>.cue` and `<name>.bin`; returns the .cue path. Tracks follow each other
// without gaps from frame 0.
std::string WriteDiscImage(const std::string& folder, const std::string& name,
                           const DiscImage& disc);
// The first frame of each track of `disc`.
std::vector<int32_t> TrackStarts(const DiscImage& disc);
// Bytes of frames [first, first + count) of the image's BIN.
std::vector<uint8_t> ImageFrames(const std::string& cuePath, int32_t first, int32_t count);
// Writes the list of unreadable frames beside the image (`x.badframes`).
void WriteBadFrames(const std::string& cuePath, const std::string& lines);

// `frames` raw frames of a tone with a little noise (little-endian 16-bit stereo), all samples
// depending on `seed`.
std::vector<uint8_t> ToneFrames(int32_t frames, uint32_t seed);
// The same samples with each 16-bit sample's two bytes exchanged (big-endian).
std::vector<uint8_t> Swapped(std::vector<uint8_t> bytes);
// Bytes [first, first + count) frames of `frames`.
std::vector<uint8_t> FrameSpan(const std::vector<uint8_t>& frames, int32_t first, int32_t count);

// An NRG image (the DAO layout with 64-bit offsets, "NER5" footer) of audio tracks: track k's
// data is pregaps[k] frames of its pregap followed by its own frames, as `tracks[k]` holds them.
void WriteNrgImage(const std::string& path, const std::vector<std::vector<uint8_t>>& tracks,
                   const std::vector<int32_t>& pregaps);

}  // namespace testing_support
