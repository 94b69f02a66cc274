// The folder of disc images (x.cue + x.bin pairs): the disc image recorder writes its images
// there and the CD-access library lists each .cue file in it as a drive. VEXMOR_DISC_IMAGES names
// another folder; otherwise it is $XDG_DATA_HOME/vexmor/discs (~/.local/share/vexmor/discs).
#pragma once

#include <cstdlib>
#include <string>

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

}  // namespace disc_images
