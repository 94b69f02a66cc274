// The burn project's files and drops, without a window: the title-list format (.vxl), which
// format a chosen file name asks for, and what a dropped file does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace burner {

// One project entry as the title list keeps it.
struct TitledPath {
    std::string title;
    std::string path;
};

// The .vxl text: per entry the title and the full path, each followed by CR LF; no header. An
// empty project gives an empty text. A line end inside a title or path is written as a blank,
// so that it cannot shift the pairs of the entries after it.
std::string BuildTitleListText(const std::vector<TitledPath>& entries);

// The pairs of a .vxl text: lines end in LF or CR LF; a title line is followed by its path line,
// and a path line missing at the end reads as empty. A blank line is read as a line like any
// other, so it shifts the pairing of what follows.
std::vector<TitledPath> ParseTitleList(std::string_view text);

// The pairs of the title-list file at `path`; nullopt when it is missing, not a regular file (a
// device or pipe could keep the reader waiting for ever) or cannot be read.
std::optional<std::vector<TitledPath>> ReadTitleListFile(const std::string& path);

enum class ProjectFormat { None, M3u, TitleList };

// By the characters after the last "." of the file name, compared without regard to case:
// "m3u" or "vxl"; anything else (also no extension) is None.
ProjectFormat ProjectFormatOf(std::string_view path);

// The default extension of the project dialogs, added by the save dialog to a name typed without
// one; the filter both dialogs show.
inline constexpr const char* kProjectDefaultExt = "M3U";
inline constexpr const char* kProjectFilter =
    "M3U playlist (*.m3u)|*.m3u|Vexmor playlist (*.vxl)|*.vxl||";

enum class ProjectReadStatus {
    Ok,
    CannotOpen,     // missing, not a regular file, or unreadable
    NotM3u,         // a .m3u file whose first line is not "#EXTM3U"
    UnknownFormat,  // the name ends neither in .m3u nor in .vxl
};
struct ProjectContents {
    ProjectReadStatus status = ProjectReadStatus::CannotOpen;
    std::vector<TitledPath> entries;  // M3U entries have no title
};

// The entries of a project file, in order, as the loading commands read them: by its extension,
// the lines of an M3U playlist that are not "#EXTINF" lines (blank ones name nothing and are
// left out), or the pairs of a title list. The files themselves are not looked at.
ProjectContents ReadProjectFile(const std::string& path);

enum class DropAction {
    Skip,     // too short or too long a name, or neither an MP3 file nor a playlist
    AddMp3,   // ends in ".mp3", any case
    LoadM3u,  // ends in ".m3u", any case
};

// What a dropped path does: names of fewer than 5 or of 260 and more characters are skipped;
// then ".mp3" adds the file and ".m3u" loads the playlist, the letters in either case.
DropAction ClassifyDrop(std::string_view path);

}  // namespace burner
