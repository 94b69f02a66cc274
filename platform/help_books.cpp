#include "platform/help_books.h"

#include <array>
#include <utility>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/ui.h"

namespace platform {

std::string HelpBookEntry(const std::string& helpFileName) {
    // help file name of the programs -> folder of the book under share/vexmor/help
    static constexpr std::array<std::pair<const char*, const char*>, 2> kBooks{{
        {"ringsmith.chm", "ringsmith"},
        {"help.chm", "discsmith"},
    }};
    for (const auto& [file, book] : kBooks) {
        if (helpFileName == file) {
            return JoinPath(JoinPath(JoinPath(ShareFolder(), "help"), book), "index.html");
        }
    }
    return {};
}

bool OpenHelpBook(const std::string& helpFileName) {
    const std::string entry = HelpBookEntry(helpFileName);
    if (!FileExists(entry)) {
        ShowMessage("The help file " + (entry.empty() ? helpFileName : entry) + " is missing.",
                    MsgIcon::Error);
        return false;
    }
    return GetUi().ShellOpen(entry) > 32;
}

}  // namespace platform
