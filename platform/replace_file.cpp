#include "platform/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"

namespace platform {

namespace {

// Writes all of `bytes` to `fd`, across short writes and interruptions.
bool WriteAll(int fd, std::string_view bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Rewrites an existing file in place: used only when its folder refuses the temporary file
// (a folder the user may not write, holding a file the user may).
bool RewriteInPlace(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// Flushes the file or folder at `path` to the disk.
bool SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

}  // namespace

bool RenameIntoPlace(const std::string& finished, const std::string& target) {
    if (finished.empty() || target.empty()) return false;
    // rename(2) never follows a link at its target: the link's own entry is what is replaced.
    if (!SyncPath(finished, O_NOFOLLOW) || std::rename(finished.c_str(), target.c_str()) != 0)
        return false;
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : target.substr(0, slash);
    // The name stands now; a folder that cannot be flushed (some file systems refuse) does not
    // undo it.
    SyncPath(folder, O_DIRECTORY);
    return true;
}

bool WriteFileReplacing(const std::string& path, std::string_view bytes,
                        WhenFolderRefuses whenFolderRefuses) {
    if (path.empty()) return false;
    if (FileExists(path) && !IsWritable(path)) return false;
    std::error_code ec;
    std::filesystem::path target(path);
    if (std::filesystem::is_symlink(target, ec)) {
        const std::filesystem::path resolved = std::filesystem::canonical(target, ec);
        if (!ec) target = resolved;
    }

    // Created with mode 0666 so the kernel applies the process's file-creation mask; changing
    // the mask to read it would briefly affect files that other threads create.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = target.string() + ".tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter++);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            const bool folderRefuses = errno == EACCES || errno == EPERM || errno == EROFS;
            return folderRefuses && whenFolderRefuses == WhenFolderRefuses::RewriteInPlace &&
                   FileExists(target.string()) && IsWritable(target.string()) &&
                   RewriteInPlace(target.string(), bytes);
        }
    }
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes);
    // A file that exists keeps its permissions; a new one has those the mask gave it.
    struct stat st {};
    if (ok && ::stat(target.c_str(), &st) == 0) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> ClaimUnfinishedName(const std::string& prefix, std::string* error) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            prefix + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            if (error) *error = std::strerror(errno);
            return std::nullopt;
        }
    }
    if (error) *error = "every unfinished name is taken";
    return std::nullopt;
}

}  // namespace platform
