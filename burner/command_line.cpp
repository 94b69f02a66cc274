#include "burner/command_line.h"

#include "burner/project_files.h"
#include "platform/paths.h"

namespace burner {

const platform::ProgramHelp& BurnerHelp() {
    static const platform::ProgramHelp help{
        "discsmith", "discsmith [A.mp3 B.mp3 ... | PROJECT.m3u | PROJECT.vxl]",
        "Discsmith, the disc burner. Starts with the MP3 files named, or with a saved project.",
        VX_VERSION};
    return help;
}

BurnerStart ParseBurnerArguments(const std::vector<std::string>& args,
                                 const std::string& workingFolder) {
    BurnerStart start{platform::ParseProgramArguments(args, workingFolder), {}};
    platform::ProgramArguments& arguments = start.arguments;
    if (arguments.action != platform::ProgramArguments::Action::Run) return start;
    const auto refuse = [&](std::string error) {
        arguments.action = platform::ProgramArguments::Action::Usage;
        arguments.error = std::move(error);
        start.files.clear();
        return start;
    };
    for (const std::string& path : arguments.files) {
        switch (ProjectFormatOf(path)) {
            case ProjectFormat::M3u:
                start.files.push_back({StartLoad::LoadM3u, path});
                break;
            case ProjectFormat::TitleList:
                start.files.push_back({StartLoad::LoadTitleList, path});
                break;
            case ProjectFormat::None:
                if (platform::LowerTail(path, 4) != ".mp3")
                    return refuse(path + ": neither an MP3 file nor a project (.m3u, .vxl)");
                start.files.push_back({StartLoad::AddMp3, path});
                break;
        }
    }
    const bool project = !start.files.empty() && start.files.front().load != StartLoad::AddMp3;
    bool otherProject = false;
    for (size_t i = 1; i < start.files.size(); ++i)
        otherProject = otherProject || start.files[i].load != StartLoad::AddMp3;
    if ((project && start.files.size() > 1) || otherProject)
        return refuse("a project (.m3u, .vxl) opens alone");
    return start;
}

std::string StartFailureReason(StartLoad load, const std::string& path) {
    if (!platform::FileExists(path)) return "no such file";
    if (platform::IsDirectory(path)) return "a folder";
    switch (load) {
        case StartLoad::AddMp3:
            return "not an MP3 file that can be burned";
        case StartLoad::LoadM3u:
            return "not an M3U playlist, or it cannot be read";
        case StartLoad::LoadTitleList:
            return "it cannot be read";
    }
    return {};
}

std::string StartFailureMessage(const std::vector<StartFailure>& failures) {
    if (failures.empty()) return {};
    std::string text = failures.size() == 1 ? "This file could not be opened:"
                                            : "These files could not be opened:";
    for (const StartFailure& failure : failures)
        text += "\n" + failure.path + " (" + failure.reason + ")";
    return text;
}

}  // namespace burner
