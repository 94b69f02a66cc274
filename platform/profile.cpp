#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/replace_file.h"
#include "platform/text.h"

namespace platform {
namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// "[name]" gives name; anything else is not a section header.
bool SectionName(const std::string& line, std::string* name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

bool KeyLine(const std::string& line, std::string* key, std::string* value) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    const std::string k = Trim(line.substr(0, eq));
    if (k.empty() || k.front() == ';' || k.front() == '#' || k.front() == '[') return false;
    *key = k;
    if (value) *value = Trim(line.substr(eq + 1));
    return true;
}

}  // namespace

std::string ProfilePath(const std::string& file) {
    if (file.find(kSeparator) != std::string::npos) return file;
    return JoinPath(SettingsFolder(), file);
}

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

void ProfileFile::Load() {
    lines_.clear();
    unreadable_ = false;
    crlf_ = false;
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        unreadable_ = FileExists(path_);
        return;
    }
    // Lines are kept with a carriage return they end in (the readers below trim it), so that a
    // file with CR LF line ends, or a stray CR, is written back byte for byte.
    std::string line;
    while (std::getline(in, line)) {
        if (lines_.empty()) crlf_ = !line.empty() && line.back() == '\r';
        lines_.push_back(line);
    }
    if (in.bad()) unreadable_ = true;
}

bool ProfileFile::Save() const {
    // Writing what was read of a file that could not be read would lose the rest of it.
    if (unreadable_) return false;
    std::error_code ec;
    const std::filesystem::path target(path_);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    std::string text;
    for (const std::string& line : lines_) text += line + '\n';
    // A file the user made read-only stays as it is, as it would under the Windows functions.
    return WriteFileReplacing(path_, text);
}

int ProfileFile::Find(const std::string& section, const std::string& key,
                      int* sectionEnd) const {
    bool inSection = false;
    int end = -1;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string name;
        if (SectionName(lines_[i], &name)) {
            inSection = EqualsNoCase(name, section);
            if (inSection && end < 0) end = static_cast<int>(i) + 1;
            continue;
        }
        if (!inSection) continue;
        std::string k;
        if (KeyLine(lines_[i], &k, nullptr)) {
            end = static_cast<int>(i) + 1;
            if (EqualsNoCase(k, key)) {
                if (sectionEnd) *sectionEnd = end;
                return static_cast<int>(i);
            }
        }
    }
    if (sectionEnd) *sectionEnd = end;
    return -1;
}

std::string ProfileFile::Get(const std::string& section, const std::string& key,
                             const std::string& defaultValue) const {
    const int at = Find(section, key, nullptr);
    std::string value = defaultValue;
    if (at >= 0) {
        std::string k;
        KeyLine(lines_[at], &k, &value);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
    }
    if (value.size() > kProfileValueMax) {
        // Cut at kProfileValueMax bytes, backing off to the start of a UTF-8 character so
        // that the text stays valid.
        size_t cut = kProfileValueMax;
        while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
        value.resize(cut);
    }
    return value;
}

bool ProfileFile::Has(const std::string& section, const std::string& key) const {
    return Find(section, key, nullptr) >= 0;
}

void ProfileFile::Set(const std::string& section, const std::string& key,
                      const std::string& value) {
    int sectionEnd = -1;
    const int at = Find(section, key, &sectionEnd);
    // A line break would end the value and start a line of its own (a forged key); the value
    // ends before it.
    // New lines take the file's line ends.
    const std::string end = crlf_ ? "\r" : "";
    const std::string line = key + "=" + value.substr(0, value.find_first_of("\r\n")) + end;
    if (at >= 0) {
        lines_[at] = line;
    } else if (sectionEnd >= 0) {
        lines_.insert(lines_.begin() + sectionEnd, line);
    } else {
        lines_.push_back("[" + section + "]" + end);
        lines_.push_back(line);
    }
}

std::mutex& ProfileWriteMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file) {
    ProfileFile profile(ProfilePath(file));
    profile.Load();
    return profile.Get(section, key, defaultValue);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file) {
    std::lock_guard lock(ProfileWriteMutex());
    ProfileFile profile(ProfilePath(file));
    profile.Load();
    profile.Set(section, key, value);
    return profile.Save();
}

}  // namespace platform
