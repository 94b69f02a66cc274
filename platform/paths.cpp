#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "platform/text.h"

namespace platform {

std::string CutAtLastSeparator(std::string_view path) {
    const size_t pos = path.rfind(kSeparator);
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos));
}

std::string AfterLastSeparator(std::string_view path) {
    const size_t pos = path.rfind(kSeparator);
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string WithTrailingSeparator(std::string_view folder) {
    std::string out(folder);
    if (out.empty() || out.back() != kSeparator) out += kSeparator;
    return out;
}

std::string FolderOfFile(std::string_view path) {
    return WithTrailingSeparator(CutAtLastSeparator(path));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    while (!name.empty() && name.front() == kSeparator) name.remove_prefix(1);
    if (folder.empty()) return std::string(name);
    return WithTrailingSeparator(folder) + std::string(name);
}

std::string ToPlatformSeparators(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', kSeparator);
    return out;
}

std::string LowerTail(std::string_view text, size_t n) {
    return ToLowerAscii(text.size() > n ? text.substr(text.size() - n) : text);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsWritable(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), W_OK) == 0;
}

long long FileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

bool RemoveFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

}  // namespace platform
