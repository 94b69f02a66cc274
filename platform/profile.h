// Private-profile ("INI") files.
//
// Section and key names compare case-insensitively; a value read is at most 255 bytes; the file
// (and its folder) is created on the first write; every other line of the file, including
// sections, keys, comments and lines this code does not understand, is kept as it was. A write
// replaces the file atomically: the new text goes to a temporary file beside it that is then
// renamed over it, so a crash never leaves a half-written file.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace platform {

// Longest value a reader returns, in bytes (the design reads into 256-byte buffers).
inline constexpr size_t kProfileValueMax = 255;

// A bare file name ("ringsmith.ini") lives in the settings folder; a name with a separator is
// used as the path it is.
std::string ProfilePath(const std::string& file);

class ProfileFile {
public:
    explicit ProfileFile(std::string path);

    // Reads the file; a missing or unreadable file reads as empty.
    void Load();
    // Writes the file atomically. Returns false when it could not be written, and when the
    // last Load found the file but could not read it (writing would lose its other lines).
    bool Save() const;

    // The value of `key` in `section` (first occurrence), cut to kProfileValueMax bytes, or
    // `defaultValue` when there is none. Surrounding blanks and one pair of enclosing quotes are
    // removed, as the Windows functions do.
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& defaultValue) const;
    bool Has(const std::string& section, const std::string& key) const;
    // Sets (or appends) `key` in `section`, appending the section when it is missing.
    void Set(const std::string& section, const std::string& key, const std::string& value);

    const std::string& path() const { return path_; }

private:
    // Index of the line holding `key` in `section`, or -1; `sectionEnd` receives the index after
    // the section's last key line (or -1 when the section does not exist).
    int Find(const std::string& section, const std::string& key, int* sectionEnd) const;

    std::string path_;
    std::vector<std::string> lines_;  // as read, a CR before the line feed included
    bool crlf_ = false;               // the file's first line ends in CR LF
    bool unreadable_ = false;
};

// Held around every read, change and replace of a profile file in this process, so that two
// writers on different threads never put back a file without each other's keys.
// WritePrivateProfileString takes it itself; code that edits a ProfileFile and saves it takes it
// from before its Load until after its Save.
std::mutex& ProfileWriteMutex();

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file);
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file);

}  // namespace platform
