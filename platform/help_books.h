// Help books. The programs name their help by the file names of their design ("ringsmith.chm",
// "help.chm"); each is an HTML book installed under share/vexmor/help/<book>/ with index.html as
// its default topic. This is the one place that maps the names.
#pragma once

#include <string>

namespace platform {

// Full path of the default topic of the help book called `helpFileName`; empty for a name that
// belongs to no book.
std::string HelpBookEntry(const std::string& helpFileName);

// Opens the help book's default topic with the desktop's browser. A book that is not installed
// is reported ("The help file <path> is missing.") and false returned.
bool OpenHelpBook(const std::string& helpFileName);

}  // namespace platform
