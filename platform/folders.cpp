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

std::string EnsureFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
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
    if (folder.find(' ') != std::string::npos) {
        folder = "/tmp/ringsmith-" + std::to_string(::getuid());
    }
    return EnsureFolder(folder);
}

std::string SettingsFolder() { return JoinPath(XdgFolder("XDG_CONFIG_HOME", ".config"), "ringsmith"); }

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
