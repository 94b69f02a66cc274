// What `ringsmith [SONG.mp3]` asks for: at most one song, opened once the main window is up the
// way "Open mp3" opens a chosen file (so a file the studio cannot open gets that command's
// message).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/program_arguments.h"

namespace studio {

// The desktop entry (and AppStream component) the studio's windows belong to.
inline constexpr const char* kDesktopId = "org.example.vexmor.Ringsmith";

const platform::ProgramHelp& StudioHelp();

struct StudioStart {
    platform::ProgramArguments arguments;
    // The song to open; none when no file was named.
    std::optional<std::string> song;
};

// What the window says when the command line's song does not exist (instead of the open
// command's "not supported").
std::string MissingSongMessage(const std::string& path);

// The general rules of platform::ParseProgramArguments, and: more than one file is a usage error.
StudioStart ParseStudioArguments(const std::vector<std::string>& args,
                                 const std::string& workingFolder);

}  // namespace studio
