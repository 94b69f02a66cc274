// The folder of disc images: the disc image recorder writes its images there (x.cue + x.bin, and
// x.toc describing the same x.bin) and the CD-access library lists each image in it as a drive.
// VEXMOR_DISC_IMAGES names another folder; otherwise it is $XDG_DATA_HOME/vexmor/discs
// (~/.local/share/vexmor/discs).
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace disc_images {

// The folder, always with a trailing '/'. It is not created here.
inline std::string Folder() {
    if (const char* dir = std::getenv("VEXMOR_DISC_IMAGES"); dir && *dir) {
        std::string folder = dir;
        if (folder.back() != '/') folder += '/';
        return folder;
    }
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.local/share";
    } else {
        base = "/tmp";
    }
    return base + "/vexmor/discs/";
}

// A write makes its image in a staging folder ".writing-XXXXXX" inside the image folder, holding
// the lock file ".lock" locked while the writing process runs.
inline constexpr const char* kStagingPrefix = ".writing-";
inline constexpr const char* kStagingLock = ".lock";

// Removes the staging folders of writes whose process has ended (a killed write, a logout):
// those whose lock nobody holds. A folder without its lock file yet is one being made this
// moment, unless it is older than a minute.
inline void SweepEndedStaging(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kStagingPrefix, 0) != 0 || entry.is_symlink(ec) || !entry.is_directory(ec))
            continue;
        const std::string lock = entry.path().string() + "/" + kStagingLock;
        const int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        bool ended = false;
        if (fd >= 0) {
            // Taking the lock succeeds only when its owner has ended.
            ended = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            ::close(fd);
        } else if (errno == ENOENT) {
            const auto age = fs::file_time_type::clock::now() - fs::last_write_time(entry, ec);
            ended = !ec && age > std::chrono::minutes(1);
        }
        if (ended) fs::remove_all(entry.path(), ec);
    }
}

enum class Kind { None, Cue, Toc, Nrg };

inline std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The kind of image a file name describes, by its extension in any letter case.
inline Kind KindOf(const std::string& name) {
    const std::string lower = LowerAscii(std::filesystem::path(name).extension().string());
    if (lower == ".cue") return Kind::Cue;
    if (lower == ".toc") return Kind::Toc;
    if (lower == ".nrg") return Kind::Nrg;
    return Kind::None;
}

// The images of `folder` in name order: every .cue, .toc and .nrg file in any letter case, except
// a .toc whose name (without the extension, in any letter case) a .cue shares, as both describe
// the same disc. Hidden files (the recorder's unfinished work) are not images.
inline std::vector<std::string> ListImages(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || KindOf(name) == Kind::None) continue;
        std::error_code typeError;
        if (it->is_regular_file(typeError)) found.push_back(it->path());
    }
    std::vector<std::string> cueStems;
    for (const fs::path& p : found)
        if (KindOf(p.string()) == Kind::Cue) cueStems.push_back(LowerAscii(p.stem().string()));
    std::vector<std::string> images;
    for (const fs::path& p : found) {
        const bool described = KindOf(p.string()) == Kind::Toc &&
                               std::find(cueStems.begin(), cueStems.end(),
                                         LowerAscii(p.stem().string())) != cueStems.end();
        if (!described) images.push_back(p.string());
    }
    std::sort(images.begin(), images.end());
    return images;
}

}  // namespace disc_images
