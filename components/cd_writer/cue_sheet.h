// The sheets of a disc image: the CUE sheet (one BINARY file of 2352-byte audio sectors, one AUDIO
// track per project track with its CD-Text TITLE and PERFORMER) and the same disc as a TOC file in
// cdrdao's own format, which reads the little-endian BIN with SWAP and carries the CD-Text.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "components/cd_writer/cd_audio.h"

namespace cd_writer {

struct CueTrack {
    int64_t sectors = 0;
    TrackText text;
};

// The sheet's text (CR LF line ends are not needed by any reader; LF is written). `binName` is
// the BIN file's name without a folder.
std::string BuildCueSheet(const std::string& binName, const std::vector<CueTrack>& tracks);

// The TOC file: CD_DA, the disc's CD-Text block (English; TITLE and PERFORMER empty), and per
// track its CD-Text and its stretch of `binName` as big-endian audio (SWAP).
std::string BuildTocFile(const std::string& binName, const std::vector<CueTrack>& tracks);

// CD-Text as the format holds it: ISO-8859-1, at most 80 characters, control characters as
// blanks. A character outside ISO-8859-1 becomes the nearest letter inside it (the letter without
// its accent or stroke: "Ł" is "L", "ő" is "o"), "?" where there is none.
std::string Latin1Text(const std::string& utf8);

// A CD-Text field as a CUE sheet holds it: Latin1Text with double quotes turned into single ones.
std::string CueText(const std::string& utf8);

// A CD-Text field as a TOC file's string: Latin1Text with '"' and '\' escaped.
std::string TocText(const std::string& utf8);

// "MM:SS:FF" of a sector count.
std::string Msf(int64_t sectors);

// "disc-YYYYMMDD-HHMMSS" in local time.
std::string ImageBaseName(std::time_t when);

}  // namespace cd_writer
