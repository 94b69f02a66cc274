#include "studio/command_line.h"

namespace studio {

const platform::ProgramHelp& StudioHelp() {
    static const platform::ProgramHelp help{
        "ringsmith", "ringsmith [SONG]",
        "Ringsmith, the ringtone studio. Opens SONG (an MP3, WAV, FLAC, Ogg Vorbis, Opus, M4A, "
        "AAC or WMA file) as \"Open mp3\" does.",
        VX_VERSION};
    return help;
}

std::string MissingSongMessage(const std::string& path) {
    return "The specified file does not exist:\n" + path;
}

StudioStart ParseStudioArguments(const std::vector<std::string>& args,
                                 const std::string& workingFolder) {
    StudioStart start{platform::ParseProgramArguments(args, workingFolder), std::nullopt};
    platform::ProgramArguments& arguments = start.arguments;
    if (arguments.action != platform::ProgramArguments::Action::Run) return start;
    if (arguments.files.size() > 1) {
        arguments.action = platform::ProgramArguments::Action::Usage;
        arguments.error = "one song at a time";
        return start;
    }
    if (!arguments.files.empty()) start.song = arguments.files.front();
    return start;
}

}  // namespace studio
