// Rules of the track lists that need no window: track titles, row numbers, playing times in
// seconds, and the M3U playlist text the lists read and write.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/tags.h"
#include "platform/replace_file.h"

// Shown by every track-list operation on the selected row when no row is selected.
inline constexpr const char* kSelectTrackFirstMessage =
    "You should select a mp3 file in the list first!";

// One row of a track list as handed to the player panel.
struct TrackEntry {
    std::string title;  // column 0
    int index = 0;      // 0-based row position
    std::string time;   // column 2, a duration text
    std::string path;   // column 3, full path
};

// The title rules of the tracks (ID3v1 title, else the file name) are the media library's.
using media::FindTrackTitle;
using media::ReadId3v1Title;
using media::TitleFromPath;

// The number column: "%02d" of a 1-based position (01, 02, ..., 99, 100).
std::string FormatTrackNumber(int position);

// hours * 3600 + minutes * 60 + seconds of a duration text, fields read as CTimeCalc reads them.
long long DurationTextSeconds(const std::string& text);

// The M3U text of a list: "#EXTM3U", then per track "#EXTINF:<seconds>,<title>.mp3" and the full
// path; every line ends in CR LF. Line ends inside a title are written as blanks.
std::string BuildM3uText(const std::vector<TrackEntry>& tracks);

enum class M3uReadStatus {
    Ok,          // a playlist; `lines` holds every line after the header
    CannotOpen,  // the file cannot be opened or read
    Empty,       // the file holds no line at all
    NotM3u,      // the first line is not exactly "#EXTM3U"
};
struct M3uContents {
    M3uReadStatus status = M3uReadStatus::CannotOpen;
    std::vector<std::string> lines;  // without their line ends (LF or CR LF)
};
// Reads a playlist file. The header is checked before the rest is read, so a large file that is
// no playlist costs only its first bytes.
M3uContents ReadM3uFile(const std::string& path);

// True when the first seven characters of the line, upper-cased, are "#EXTINF".
bool IsExtInfLine(std::string_view line);

// Playlists are replaced through the programs' one file-replacing writer.
using platform::WriteFileReplacing;
