#include "components/codec_engine/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

namespace vxmpp {
namespace {

// The process's file-creation mask, read without changing it: the mask is shared by all threads,
// and setting it even for a moment would let a file that another thread creates meanwhile come
// out writable for everyone. Null when the kernel does not show it (before Linux 4.7).
std::optional<mode_t> CurrentUmask() {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    const std::unique_ptr<std::FILE, Closer> status(std::fopen("/proc/self/status", "re"));
    if (!status) return std::nullopt;
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status.get())) {
        found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    if (!found) return std::nullopt;
    return static_cast<mode_t>(mask);
}

// The file a symbolic link at `path` leads to, for writing through the link; `path` itself when
// it is no link or its end cannot be found (the link is then replaced).
std::string ThroughLinks(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
    // A link to a file that does not exist yet: the file is made where the link points.
    char link[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), link, sizeof link - 1);
    if (n <= 0) return path;
    const std::string to(link, static_cast<size_t>(n));
    if (to.front() == '/') return to;
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
}

// Gives `temp` the name `target` only when nothing stands there. renameat2 does it in one step;
// file systems without it take a hard link (which fails on an existing name) and drop the
// temporary name; those without links either (FAT) check first and rename.
bool ClaimFreeName(const std::string& temp, const std::string& target, bool& taken) {
    taken = false;
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        if (::link(temp.c_str(), target.c_str()) == 0) {
            ::unlink(temp.c_str());
            return true;
        }
        if (errno == EPERM || errno == ENOTSUP) {
            struct stat st {};
            if (::lstat(target.c_str(), &st) != 0)
                return std::rename(temp.c_str(), target.c_str()) == 0;
            errno = EEXIST;
        }
    }
    taken = errno == EEXIST;
    return false;
}

}  // namespace

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::Create(const std::string& wanted, Claim claim) {
    Discard();
    claim_ = claim;
    target_ = claim == Claim::Replace ? ThroughLinks(wanted) : wanted;
    const std::string& target = target_;
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = (slash == std::string::npos ? "" : folder) + "." + name + kStagedMarker +
                          std::to_string(::getpid()) + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) return false;
    // mkstemp makes the file private; a finished file gets the permissions of any new file (it
    // stays private when the mask cannot be read).
    if (const std::optional<mode_t> mask = CurrentUmask()) ::fchmod(fd, 0666 & ~*mask);
    file_ = ::fdopen(fd, "w+b");
    if (!file_) {
        ::close(fd);
        ::unlink(buffer.data());
        return false;
    }
    temp_ = buffer.data();
    // Large blocks: the encoder and decoder write many small pieces.
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    return true;
}

bool StagedFile::Flush() {
    return file_ && std::fflush(file_) == 0 && !std::ferror(file_);
}

StagedFile::CommitResult StagedFile::Commit() {
    if (!file_) return CommitResult::Failed;
    const bool flushed =
        std::fflush(file_) == 0 && !std::ferror(file_) && ::fsync(::fileno(file_)) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    bool taken = false;
    const bool named = flushed && closed &&
                       (claim_ == Claim::Replace ? std::rename(temp_.c_str(), target_.c_str()) == 0
                                                 : ClaimFreeName(temp_, target_, taken));
    if (!named) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return taken ? CommitResult::NameTaken : CommitResult::Failed;
    }
    temp_.clear();
    return CommitResult::Done;
}

void StagedFile::Discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

}  // namespace vxmpp
