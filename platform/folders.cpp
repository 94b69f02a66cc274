#include "platform/folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

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

// Each running studio has a scratch folder of its own below the scratch root, named after its
// process id and holding a lock file that the process keeps locked while it runs. A folder whose
// lock nobody holds belongs to a process that has ended.
constexpr const char* kScratchLock = ".lock";

struct ProcessScratch {
    std::string root;
    std::string folder;
    int lockFd = -1;
};

std::mutex& ScratchMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<ProcessScratch>& MadeScratchFolders() {
    static std::vector<ProcessScratch> made;
    return made;
}

void RemoveProcessScratchFolders() {
    std::lock_guard lock(ScratchMutex());
    for (const ProcessScratch& made : MadeScratchFolders()) {
        std::error_code ec;
        std::filesystem::remove_all(made.folder, ec);
        ::close(made.lockFd);
    }
    MadeScratchFolders().clear();
}

bool IsProcessId(const std::string& name) {
    return !name.empty() && name.size() < 12 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

bool HasEnded(const std::string& folder, pid_t pid) {
    const int fd = ::open(JoinPath(folder, kScratchLock).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return ::kill(pid, 0) != 0 && errno == ESRCH;
    // Taking the lock succeeds only when its owner has ended; closing gives it back at once.
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

void RemoveEndedScratchFoldersIn(const std::string& root) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root, ec)) {
        const std::string name = entry.path().filename().string();
        if (!IsProcessId(name) || !entry.is_directory(ec) || entry.is_symlink(ec)) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(name));
        if (pid == ::getpid() || !HasEnded(entry.path().string(), pid)) continue;
        std::filesystem::remove_all(entry.path(), ec);
    }
}

// The process id in a name "NAME.part-PID-X" (X letters and digits); nullopt for other names.
std::optional<pid_t> PartFileProcess(const std::string& name) {
    const size_t marker = name.rfind(".part-");
    if (marker == std::string::npos || marker == 0) return std::nullopt;
    const size_t start = marker + 6;
    const size_t dash = name.find('-', start);
    if (dash == std::string::npos || dash == name.size() - 1 ||
        !IsProcessId(name.substr(start, dash - start)))
        return std::nullopt;
    for (size_t i = dash + 1; i < name.size(); ++i) {
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return std::nullopt;
    }
    return static_cast<pid_t>(std::stol(name.substr(start, dash - start)));
}

// Made under a passing name and renamed into place with its lock already held, so that no other
// studio ever sees this process's folder unlocked.
std::optional<ProcessScratch> MakeProcessScratch(const std::string& root) {
    const std::string pid = std::to_string(::getpid());
    const std::string folder = JoinPath(root, pid);
    std::string making = JoinPath(root, ".making-" + pid + "-XXXXXX");
    if (!::mkdtemp(making.data())) return std::nullopt;
    ProcessScratch made{root, folder, -1};
    made.lockFd =
        ::open(JoinPath(making, kScratchLock).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    std::error_code ec;
    if (made.lockFd < 0 || ::flock(made.lockFd, LOCK_EX | LOCK_NB) != 0) {
        if (made.lockFd >= 0) ::close(made.lockFd);
        std::filesystem::remove_all(making, ec);
        return std::nullopt;
    }
    // A folder of this name can only be left from an ended process that had the same id.
    std::filesystem::remove_all(folder, ec);
    if (::rename(making.c_str(), folder.c_str()) != 0) {
        ::close(made.lockFd);
        std::filesystem::remove_all(making, ec);
        return std::nullopt;
    }
    return made;
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
    const std::string root = ScratchRoot();
    std::lock_guard lock(ScratchMutex());
    for (const ProcessScratch& made : MadeScratchFolders()) {
        if (made.root == root && IsDirectory(made.folder)) return made.folder;
    }
    RemoveEndedScratchFoldersIn(root);
    const std::optional<ProcessScratch> made = MakeProcessScratch(root);
    if (!made) return root;
    static const bool removedAtExit = std::atexit(RemoveProcessScratchFolders) == 0;
    (void)removedAtExit;
    MadeScratchFolders().push_back(*made);
    return made->folder;
}

void RemoveEndedScratchFolders() {
    const std::string root = ScratchRoot();
    std::lock_guard lock(ScratchMutex());
    RemoveEndedScratchFoldersIn(root);
}

void RemoveEndedPartFiles(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::optional<pid_t> pid = PartFileProcess(entry.path().filename().string());
        if (!pid || *pid == ::getpid()) continue;
        struct stat st {};
        if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        // A process id that runs again (reused) keeps its files: they are swept another time.
        if (::kill(*pid, 0) == 0 || errno != ESRCH) continue;
        ::unlink(entry.path().c_str());
    }
}

std::string ScratchRoot() {
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
