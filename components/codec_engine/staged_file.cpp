#include "components/codec_engine/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::Create(const std::string& target) {
    Discard();
    target_ = target;
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = (slash == std::string::npos ? "" : folder) + "." + name + ".part-XXXXXX";
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

bool StagedFile::Commit() {
    if (!file_) return false;
    const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed || std::rename(temp_.c_str(), target_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
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
