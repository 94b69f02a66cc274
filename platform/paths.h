// Path rules of the programs, on a platform whose separator is '/'.
//
// The programs build and cut paths by their separator: "the folder" of a path is the text before
// its last separator, a folder text carries a trailing separator, and prefixes are found by
// cutting at the last separator again and again. These helpers are those rules, in one place.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr char kSeparator = '/';

// The text before the last separator ("" when there is none). "/a/b/c.mp3" gives "/a/b".
std::string CutAtLastSeparator(std::string_view path);

// The text after the last separator (the whole text when there is none).
std::string AfterLastSeparator(std::string_view path);

// `folder` with a trailing separator appended unless it already ends in one.
std::string WithTrailingSeparator(std::string_view folder);

// The folder of a chosen file, as the programs remember it: cut before the last separator, then
// a trailing separator appended. "/home/u/a.mp3" gives "/home/u/".
std::string FolderOfFile(std::string_view path);

// `folder` + separator + `name`, with exactly one separator between them.
std::string JoinPath(std::string_view folder, std::string_view name);

// Turns every '\' into '/', for texts that arrive in the design's Windows spelling.
std::string ToPlatformSeparators(std::string_view path);

// The last `n` characters of `text`, lower-cased (ASCII); used by extension tests such as
// "the last four characters, lower-cased, are .mp3".
std::string LowerTail(std::string_view text, size_t n);

bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// True for a regular file (following links). Only such files are read as documents: opening a
// named pipe would wait for a writer, and a device could be read for ever.
bool IsRegularFile(const std::string& path);
// True when `path` names something this process may write to (the access test of the design).
bool IsWritable(const std::string& path);
// Size in bytes, or -1 when the file cannot be examined.
long long FileSize(const std::string& path);
bool RemoveFile(const std::string& path);

}  // namespace platform
