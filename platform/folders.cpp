#include "platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"

namespace platform {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string XdgFolder(const char* variable, const char* fallbackUnderHome) {
    std::string base = Env(variable);
    if (base.empty() || base.front() != '/') base = JoinPath(HomeFolder(), fallbackUnderHome);
    return base;
}

// Blanks of any kind split the decode command line, so scratch paths hold none.
bool HasBlank(const std::string& path) {
    for (const char c : path) {
        if (std::isspace(static_cast<unsigned char>(c))) return true;
    }
    return false;
}

// A folder (not a link to one) owned by this user, closed to group and others.
bool IsPrivateFolder(const std::string& folder) {
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

}  // namespace

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    }
    if (home.empty()) home = "/tmp";
    while (home.size() > 1 && home.back() == kSeparator) home.pop_back();
    return home;
}

std::string ProgramPath() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string ProgramFolder() { return CutAtLastSeparator(ProgramPath()); }

std::string SystemDirectory() {
    std::string dir = Env("VEXMOR_SYSTEM_DIR");
    if (dir.empty()) dir = JoinPath(CutAtLastSeparator(ProgramFolder()), "lib/vexmor");
    while (dir.size() > 1 && dir.back() == kSeparator) dir.pop_back();
    return dir;
}

std::string ScratchFolder() {
    std::string folder = JoinPath(XdgFolder("XDG_CACHE_HOME", ".cache"), "ringsmith");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!HasBlank(folder) && IsDirectory(folder) && IsWritable(folder)) return folder;
    // The cache folder is unusable (a blank in its path, or it cannot be made): a private
    // folder under /tmp. Its name is predictable, so it is used only when it is a real folder
    // of this user that nobody else may enter; otherwise a fresh one is made.
    folder = "/tmp/ringsmith-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    if (IsPrivateFolder(folder)) return folder;
    static const std::string fresh = [] {
        std::string pattern = "/tmp/ringsmith-XXXXXX";
        return ::mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
    }();
    return fresh;
}

std::string SettingsFolder() {
    return JoinPath(XdgFolder("XDG_CONFIG_HOME", ".config"), "ringsmith");
}

std::string ShareFolder() {
    return JoinPath(CutAtLastSeparator(ProgramFolder()), "share/vexmor");
}

std::string MapDesignFolder(const std::string& windowsFolder) {
    std::string path = ToPlatformSeparators(windowsFolder);
    // A drive prefix "c:" (any letter) stands for the user's home folder.
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        const std::string rest = path.substr(2);
        if (rest.empty() || rest == "/") return WithTrailingSeparator(HomeFolder());
        return JoinPath(HomeFolder(), rest);
    }
    return path;
}

}  // namespace platform
