// The command line of the window programs: "--help", "--version" and the files to open. Files
// keep the exact bytes they were given in, so a name that is not UTF-8 still opens, and become
// full paths against the working folder, as the file dialogs and drops hand them over.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What a program's help and usage errors print.
struct ProgramHelp {
    const char* program;  // "ringsmith"
    const char* usage;    // "ringsmith [SONG]"
    const char* summary;  // one line on what the program does with its files
    const char* version;  // "1.50"
};

struct ProgramArguments {
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Run;
    // Full paths, in the order given.
    std::vector<std::string> files;
    // For Usage: what is wrong with the command line.
    std::string error;
};

// argv[1] to argv[argc - 1], byte for byte.
std::vector<std::string> ArgumentsOf(int argc, char** argv);
// A name's bytes as text that gives the same bytes back through ArgumentBytes, for programs that
// parse their arguments as QStrings: UTF-8 is read as such, and each byte that is not part of
// valid UTF-8 (a Latin-1 "caf\xe9") becomes one of the code units U+DC80 to U+DCFF, which text
// read from valid UTF-8 never holds. Shown, such a byte reads as a replacement character.
QString ArgumentText(std::string_view bytes);
// The bytes of text made by ArgumentText (UTF-8 for any other text).
std::string ArgumentBytes(const QString& text);

// The working folder's path as the file system holds it; empty when it cannot be read.
std::string WorkingFolder();

// "--help"/"-h" and "--version" before a "--" win over everything else; another argument
// starting with "-" before "--" is a usage error; every other argument is a file. A "file://"
// URL names its local file. Relative names are joined to `workingFolder`, and "." and ".."
// steps are taken out.
ProgramArguments ParseProgramArguments(const std::vector<std::string>& args,
                                       const std::string& workingFolder);

// For Help, Version and Usage: prints the help or version to standard output (status 0) or the
// error and the usage line to standard error (status 2), and returns the exit status. Run gives
// nullopt: the program goes on to its window.
std::optional<int> AnswerWithoutWindow(const ProgramArguments& arguments, const ProgramHelp& help);

// Help and version need no display: before the application object exists (and has taken out the
// options of its own), answers them and returns the exit status; nullopt otherwise.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv, const ProgramHelp& help);

}  // namespace platform
