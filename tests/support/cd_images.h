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

}  // namespace testing_support
