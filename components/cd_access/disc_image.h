// Disc images read through their own description: a CUE sheet's FILE, TRACK, INDEX, PREGAP and
// POSTGAP lines, a cdrdao TOC file's tracks with their FILE/AUDIOFILE, DATAFILE, SILENCE, ZERO,
// PREGAP and START statements, or the DAO chunk of an NRG image. Each becomes one layout: the
// tracks with their start frames and the stretches of files (or silence) that make up the disc.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "components/cd_access/cd_access.h"

namespace cd_access {

// A stretch of the disc: `frames` sectors of `sectorBytes` bytes each from byte `offset` of
// `file`, or silence when `file` is empty. Audio samples of a big-endian file are swapped.
struct ImagePiece {
    int32_t frames = 0;
    std::string file;
    uint64_t offset = 0;
    int sectorBytes = kCdFrameBytes;
    bool bigEndian = false;
};

struct ImageTrack {
    int number = 0;
    int32_t start = 0;  // the frame of its INDEX 01
    bool data = false;
    bool preemphasis = false;
    bool copyPermitted = false;
    std::string title;
    std::string performer;
};

struct ImageLayout {
    std::vector<ImageTrack> tracks;  // consecutive numbers, increasing starts
    std::vector<ImagePiece> pieces;  // in disc order from frame 0 up to the lead-out
    int32_t leadOut = 0;
    std::string title;
    std::string performer;
};

// Reads the image at `path` (its kind by the extension). False with the reason in `problem`
// ("the file 02.bin it names is missing") when it cannot be read.
bool ReadImageLayout(const std::string& path, ImageLayout& layout, std::string& problem);
// The three readers; `folder` is where the files a description names are looked up.
bool ParseCueSheet(const std::string& text, const std::string& folder, ImageLayout& layout,
                   std::string& problem);
bool ParseTocFile(const std::string& text, const std::string& folder, ImageLayout& layout,
                  std::string& problem);
bool ReadNrgImage(const std::string& path, ImageLayout& layout, std::string& problem);

// The file a description names in `folder`: the name as written (with '\' read as '/'),
// otherwise the file of that name, or of its last part, in any letter case; "" when none.
std::string FindImageFile(const std::string& folder, const std::string& name);

// Reads frames of a layout; frames listed in `unreadable` fail as a worn disc would.
std::unique_ptr<FrameReader> MakeImageReader(const ImageLayout& layout, FrameRanges unreadable);

}  // namespace cd_access
