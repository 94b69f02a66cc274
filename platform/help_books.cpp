#include "platform/help_books.h"

#include <array>
#include <utility>

#include "platform/folders.h"
#include "platform/paths.h"

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

}  // namespace platform
