// The window programs' command line: options, full paths that keep their bytes, and the
// answers printed without a window.
#include "platform/program_arguments.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using platform::ParseProgramArguments;
using platform::ProgramArguments;
using Action = ProgramArguments::Action;

TEST(ProgramArguments, FilesBecomeFullPathsAndKeepTheirBytes) {
    const ProgramArguments parsed =
        ParseProgramArguments({"song.mp3", "./sub/../caf\xe9.mp3", "/abs/x.m3u",
                               "file:///tmp/%E9t%C3%A9%20a.mp3", "--", "-dash.mp3", "--help"},
                              "/home/u/music");
    EXPECT_EQ(parsed.action, Action::Run);
    EXPECT_EQ(parsed.files,
              (std::vector<std::string>{"/home/u/music/song.mp3", "/home/u/music/caf\xe9.mp3",
                                        "/abs/x.m3u", "/tmp/\xe9t\xc3\xa9 a.mp3",
                                        "/home/u/music/-dash.mp3", "/home/u/music/--help"}));
}

TEST(ProgramArguments, HelpAndVersionWinAndUnknownOptionsAreUsageErrors) {
    EXPECT_EQ(ParseProgramArguments({"a.mp3", "-x", "-h"}, "/").action, Action::Help);
    EXPECT_EQ(ParseProgramArguments({"--version", "--help"}, "/").action, Action::Help);
    EXPECT_EQ(ParseProgramArguments({"a.mp3", "--version"}, "/").action, Action::Version);
    const ProgramArguments unknown = ParseProgramArguments({"a.mp3", "--loud", "b.mp3"}, "/");
    EXPECT_EQ(unknown.action, Action::Usage);
    EXPECT_EQ(unknown.error, "unknown option --loud");
    EXPECT_TRUE(unknown.files.empty());
    // A lone "-" is a name like any other.
    EXPECT_EQ(ParseProgramArguments({"-"}, "/w").files, std::vector<std::string>{"/w/-"});

    const platform::ProgramHelp help{"prog", "prog [FILE]", "Does things.", "1.0"};
    std::fflush(stdout);
    EXPECT_EQ(platform::AnswerWithoutWindow(unknown, help), 2);
    EXPECT_EQ(platform::AnswerWithoutWindow(ParseProgramArguments({"-h"}, "/"), help), 0);
    EXPECT_EQ(platform::AnswerWithoutWindow(ParseProgramArguments({"a"}, "/"), help), std::nullopt);
}

}  // namespace
