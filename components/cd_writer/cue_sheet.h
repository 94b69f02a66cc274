// The CUE sheet of a disc image: one BINARY file of 2352-byte audio sectors, one AUDIO track per
// project track with its CD-Text TITLE and PERFORMER.
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

// A CD-Text field as a CUE sheet holds it: ISO-8859-1 (characters outside it become '?'),
// double quotes turned into single ones, control characters into blanks, at most 80 characters.
std::string CueText(const std::string& utf8);

// "MM:SS:FF" of a sector count.
std::string Msf(int64_t sectors);

// "disc-YYYYMMDD-HHMMSS" in local time.
std::string ImageBaseName(std::time_t when);

}  // namespace cd_writer
