#include "platform/profile.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/folders.h"
#include "platform/paths.h"

namespace platform {
namespace {

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
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
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(line);
    }
}

bool ProfileFile::Save() const {
    // A file the user made read-only stays as it is, as it would under the Windows functions.
    if (FileExists(path_) && !IsWritable(path_)) return false;
    std::error_code ec;
    const std::filesystem::path target(path_);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);

    const std::string temp = path_ + ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const std::string& line : lines_) out << line << '\n';
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path_.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

int ProfileFile::Find(const std::string& section, const std::string& key,
                      int* sectionEnd) const {
    bool inSection = false;
    int end = -1;
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string name;
        if (SectionName(lines_[i], &name)) {
            inSection = SameName(name, section);
            if (inSection && end < 0) end = static_cast<int>(i) + 1;
            continue;
        }
        if (!inSection) continue;
        std::string k;
        if (KeyLine(lines_[i], &k, nullptr)) {
            end = static_cast<int>(i) + 1;
            if (SameName(k, key)) {
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
    if (value.size() > kProfileValueMax) value.resize(kProfileValueMax);
    return value;
}

bool ProfileFile::Has(const std::string& section, const std::string& key) const {
    return Find(section, key, nullptr) >= 0;
}

void ProfileFile::Set(const std::string& section, const std::string& key,
                      const std::string& value) {
    int sectionEnd = -1;
    const int at = Find(section, key, &sectionEnd);
    const std::string line = key + "=" + value;
    if (at >= 0) {
        lines_[at] = line;
    } else if (sectionEnd >= 0) {
        lines_.insert(lines_.begin() + sectionEnd, line);
    } else {
        lines_.push_back("[" + section + "]");
        lines_.push_back(line);
    }
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file) {
    ProfileFile profile(ProfilePath(file));
    profile.Load();
    return profile.Get(section, key, defaultValue);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& file) {
    ProfileFile profile(ProfilePath(file));
    profile.Load();
    profile.Set(section, key, value);
    return profile.Save();
}

}  // namespace platform
