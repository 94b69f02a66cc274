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

// Text for a QString-based parser that gives back the very bytes: UTF-8 stays UTF-8 (also
// characters beyond the 16-bit range), every byte that is no UTF-8 comes back as it was, at the
// start, the end and between characters, and broken or overlong sequences are bytes too.
TEST(ProgramArguments, ArgumentTextGivesBackTheBytesOfAnyName) {
    for (const std::string& bytes : std::vector<std::string>{
             "", "plain.mp3", "caf\xc3\xa9.mp3", "caf\xe9.mp3", "\xe9", "\xff\xfe", "a\xc3",
             "\xed\xa0\x80",             // an encoded surrogate
             "\xc0\xaf",                 // an overlong "/"
             "\xf0\x9f\x8e\xb5 x\x80y",  // U+1F3B5 and a stray continuation byte
             "\xf4\x90\x80\x80"}) {      // beyond U+10FFFF
        const QString text = platform::ArgumentText(bytes);
        EXPECT_EQ(platform::ArgumentBytes(text), bytes) << bytes;
    }
    EXPECT_EQ(platform::ArgumentText("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(platform::ArgumentText("caf\xe9").size(), 4);
    EXPECT_NE(platform::ArgumentText("caf\xe9"), platform::ArgumentText("caf\xc3\xa9"));
    // Ordinary text (from a literal, a file) goes out as UTF-8.
    EXPECT_EQ(platform::ArgumentBytes(QString::fromUtf8("\xf0\x9f\x8e\xb5")), "\xf0\x9f\x8e\xb5");
}
