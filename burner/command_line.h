// What `discsmith A.mp3 B.mp3 | PROJECT.m3u | PROJECT.vxl` asks for: the project the burner
// starts with, loaded through the calls that drops and "Open" use, and how a file that does not
// load is reported.
#pragma once

#include <string>
#include <vector>

#include "platform/program_arguments.h"

namespace burner {

// The desktop entry (and AppStream component) the burner's windows belong to.
inline constexpr const char* kDesktopId = "org.example.vexmor.Discsmith";

const platform::ProgramHelp& BurnerHelp();

enum class StartLoad {
    AddMp3,         // added as a drop adds an MP3 file
    LoadM3u,        // loaded as a dropped or opened playlist
    LoadTitleList,  // loaded as an opened .vxl project
};

struct StartFile {
    StartLoad load;
    std::string path;
};

struct BurnerStart {
    platform::ProgramArguments arguments;
    std::vector<StartFile> files;
};

// The general rules of platform::ParseProgramArguments, and: any number of MP3 files, or one
// project (.m3u or .vxl) alone; the kind goes by the extension in any case. Anything else is a
// usage error naming the file.
BurnerStart ParseBurnerArguments(const std::vector<std::string>& args,
                                 const std::string& workingFolder);

// A file of the command line that did not load, and why.
struct StartFailure {
    std::string path;
    std::string reason;
};
// Why `path` did not load as `load`: missing, or not what it should be.
std::string StartFailureReason(StartLoad load, const std::string& path);
// The one message that names every file that did not load ("" for none).
std::string StartFailureMessage(const std::vector<StartFailure>& failures);

}  // namespace burner
