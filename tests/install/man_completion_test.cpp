// What the installed tree gives a terminal: the manual pages under share/man/man1, which render
// without a warning and describe every option the programs' --help lists, and the bash
// completion of vexmor under share/bash-completion/completions, which offers the commands, each
// command's options and the files each command takes. The commands and options are read from
// the installed vexmor itself, so a command or option added later without its page or its
// completion fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

namespace ts = testing_support;
using Words = std::vector<std::string>;

const char* const kPages[] = {"ringsmith", "discsmith", "vexmor"};

std::string Prefix() {
    const char* prefix = std::getenv("VX_INSTALL_PREFIX");
    return prefix ? prefix : "";
}

std::string Page(const std::string& program) {
    return Prefix() + "/share/man/man1/" + program + ".1";
}

std::string Completion() { return Prefix() + "/share/bash-completion/completions/vexmor"; }

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ts::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

Words Lines(const std::string& text) {
    Words lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::set<std::string> LineSet(const std::string& text) {
    const Words lines = Lines(text);
    return {lines.begin(), lines.end()};
}

ts::ToolResult Vexmor(const Words& args) {
    Words argv{Prefix() + "/bin/vexmor"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ts::RunTool(argv);
}

// The commands `vexmor --help` lists.
Words Commands() {
    const ts::ToolResult help = Vexmor({"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.out;
    Words commands;
    bool listing = false;
    const std::regex entry(R"(^  ([a-z]+) +\S)");
    for (const std::string& line : Lines(help.out)) {
        std::smatch m;
        if (line == "Commands:") listing = true;
        else if (listing && std::regex_search(line, m, entry)) commands.push_back(m[1]);
        else if (listing && line.empty()) listing = false;
    }
    return commands;
}

// The options (short and long names) that `vexmor COMMAND --help` lists.
std::set<std::string> OptionsOf(const std::string& command) {
    const ts::ToolResult help = Vexmor({command, "--help"});
    EXPECT_EQ(help.exitCode, 0) << help.out;
    std::set<std::string> options;
    const std::regex entry(R"(^  (-[A-Za-z0-9])?(?:, )?(--[a-z0-9-]+)?)");
    for (const std::string& line : Lines(help.out)) {
        std::smatch m;
        if (!std::regex_search(line, m, entry)) continue;
        if (m[1].matched) options.insert(m[1]);
        if (m[2].matched) options.insert(m[2]);
    }
    return options;
}

// An option as the manual pages spell it in roff: every "-" as "\-".
std::string Roff(const std::string& option) {
    std::string text;
    for (char c : option) text += c == '-' ? std::string("\\-") : std::string(1, c);
    return text;
}

bool HaveBashCompletion() {
    return std::filesystem::exists("/usr/share/bash-completion/bash_completion");
}

// What the completion offers for the command line `words` (its last word being completed), one
// entry a line, run by bash in `folder`. With `withPackage`, bash-completion is loaded first and
// finds the installed completion on its own through XDG_DATA_DIRS.
std::set<std::string> Offered(const Words& words, const std::string& folder = "",
                              bool withPackage = false) {
    const std::string load =
        withPackage ? "export XDG_DATA_DIRS=\"$VX_PREFIX/share\"; "
                      "source /usr/share/bash-completion/bash_completion; "
                      "__load_completion vexmor || exit 3; "
                    : "source \"$VX_COMPLETION\" || exit 3; ";
    const std::string script =
        "VX_PREFIX=$1 VX_COMPLETION=$2; shift 2; " + load +
        "COMP_WORDS=(\"$@\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
        "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}; "
        "f=$(complete -p vexmor | sed -n 's/.*-F \\([^ ]*\\) vexmor$/\\1/p'); "
        "[[ -n $f ]] || exit 4; "
        "\"$f\" vexmor \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD - 1]}\"; "
        "printf '%s\\n' \"${COMPREPLY[@]}\"";
    Words argv{"bash", "--norc", "-c", script, "bash", Prefix(), Completion()};
    argv.insert(argv.end(), words.begin(), words.end());
    const ts::ToolResult run = ts::RunTool(argv, folder);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    std::set<std::string> offered = LineSet(run.out);
    offered.erase("");
    return offered;
}

TEST(ManPages, InstalledWithTheProgramsVersion) {
    ASSERT_FALSE(Prefix().empty());
    for (const char* program : kPages) {
        SCOPED_TRACE(program);
        ASSERT_TRUE(std::filesystem::is_regular_file(Page(program)));
        const ts::ToolResult version = ts::RunTool({Prefix() + "/bin/" + program, "--version"});
        ASSERT_EQ(version.exitCode, 0) << version.out;
        // "vexmor 1.50" -> the page's header names "Vexmor 1.50".
        const std::string number = version.out.substr(version.out.find(' ') + 1,
                                                      version.out.find('\n') -
                                                          version.out.find(' ') - 1);
        const std::string text = ReadText(Page(program));
        std::string upper(program);
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        EXPECT_NE(text.find(".TH " + upper + " 1 "), std::string::npos);
        EXPECT_NE(text.find("\"Vexmor " + number + "\""), std::string::npos) << number;
        EXPECT_EQ(text.find('@'), std::string::npos) << "a placeholder was left unfilled";
    }
}

TEST(ManPages, RenderWithoutWarnings) {
    if (!ts::HaveTool("man") || !ts::HaveTool("groff"))
        GTEST_SKIP() << "man and groff are needed";
    for (const char* program : kPages) {
        SCOPED_TRACE(program);
        // groff's own check with every warning on: nothing printed.
        const ts::ToolResult groff = ts::RunTool({"groff", "-ww", "-z", "-man", Page(program)});
        EXPECT_EQ(groff.exitCode, 0);
        EXPECT_EQ(groff.out, "");
        // man renders the page as a reader sees it; its warnings go to standard error alone.
        const ts::ToolResult warnings = ts::RunTool(
            {"sh", "-c", "MANWIDTH=80 man --warnings -l \"$0\" 2>&1 >/dev/null", Page(program)});
        EXPECT_EQ(warnings.exitCode, 0);
        EXPECT_EQ(warnings.out, "");
        const ts::ToolResult shown =
            ts::RunTool({"sh", "-c", "MANWIDTH=80 man -l \"$0\" 2>/dev/null", Page(program)});
        EXPECT_EQ(shown.exitCode, 0);
        EXPECT_TRUE(std::regex_search(shown.out,
                                      std::regex("\nNAME\n +" + std::string(program) + " +- ")))
            << shown.out;
        for (const char* section : {"SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "FILES"})
            EXPECT_NE(shown.out.find(std::string("\n") + section + "\n"), std::string::npos)
                << section;
    }
}

TEST(ManPages, VexmorPageHasASectionWithEveryOptionOfEachCommand) {
    const std::string text = ReadText(Page("vexmor"));
    const Words commands = Commands();
    ASSERT_GE(commands.size(), 6u);
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const size_t section = text.find("\n.SS " + command + "\n");
        ASSERT_NE(section, std::string::npos);
        const size_t end = text.find("\n.S", section + 1);
        const std::string body = text.substr(section, end - section);
        const std::set<std::string> options = OptionsOf(command);
        ASSERT_TRUE(options.count("--help"));
        for (const std::string& option : options) {
            // --help and --quiet are described once, for every command.
            if (option == "--help" || option == "-h" || option == "--quiet" || option == "-q")
                continue;
            EXPECT_NE(body.find(Roff(option)), std::string::npos) << option;
        }
    }
    EXPECT_NE(text.find(".SH COMMON OPTIONS"), std::string::npos);
    EXPECT_NE(text.find(Roff("--quiet")), std::string::npos);
}

TEST(ManPages, WindowProgramPagesNameTheirUsageAndOptions) {
    for (const char* program : {"ringsmith", "discsmith"}) {
        SCOPED_TRACE(program);
        const ts::ToolResult help = ts::RunTool({Prefix() + "/bin/" + program, "--help"});
        ASSERT_EQ(help.exitCode, 0) << help.out;
        const std::string text = ReadText(Page(program));
        for (const char* option : {"--help", "--version"}) {
            ASSERT_NE(help.out.find(option), std::string::npos);
            EXPECT_NE(text.find(Roff(option)), std::string::npos) << option;
        }
        // The files of the usage line ("[SONG]", "PROJECT.vxl") are in the synopsis.
        const std::string synopsis = text.substr(text.find(".SH SYNOPSIS"),
                                                 text.find(".SH DESCRIPTION") -
                                                     text.find(".SH SYNOPSIS"));
        const std::string usage = help.out.substr(0, help.out.find('\n'));
        ASSERT_EQ(usage.rfind(std::string("Usage: ") + program + " ", 0), 0u) << usage;
        const std::regex file(R"(\b([A-Z]+(\.(mp3|m3u|vxl))?)\b)");
        int files = 0;
        for (std::sregex_iterator it(usage.begin() + 7, usage.end(), file), end; it != end;
             ++it, ++files)
            EXPECT_NE(synopsis.find((*it)[1]), std::string::npos) << (*it)[1];
        EXPECT_GT(files, 0);
    }
}

TEST(Completion, InstalledAndRegisteredForVexmor) {
    ASSERT_TRUE(std::filesystem::is_regular_file(Completion()));
    const ts::ToolResult complete = ts::RunTool(
        {"bash", "--norc", "-c", "source \"$0\" && complete -p vexmor", Completion()});
    EXPECT_EQ(complete.exitCode, 0) << complete.out;
    EXPECT_EQ(complete.out, "complete -F _vexmor vexmor\n");
}

TEST(Completion, OffersEveryCommandAndTheProgramsOptions) {
    const Words commands = Commands();
    ASSERT_FALSE(commands.empty());
    std::set<std::string> expected(commands.begin(), commands.end());
    expected.insert("help");
    EXPECT_EQ(Offered({"vexmor", ""}), expected);
    EXPECT_EQ(Offered({"vexmor", "--"}), (std::set<std::string>{"--help", "--version"}));
    EXPECT_EQ(Offered({"vexmor", "sh"}), (std::set<std::string>{"shrink"}));
    EXPECT_EQ(Offered({"vexmor", "dr"}), (std::set<std::string>{"drives"}));
    // "vexmor help C" names a command; nothing after it.
    expected.erase("help");
    EXPECT_EQ(Offered({"vexmor", "help", ""}), expected);
    EXPECT_EQ(Offered({"vexmor", "help", "cut", ""}), std::set<std::string>{});
}

TEST(Completion, OffersEachCommandsOptionsAsItsHelpListsThem) {
    for (const std::string& command : Commands()) {
        SCOPED_TRACE(command);
        const std::set<std::string> options = OptionsOf(command);
        ASSERT_TRUE(options.count("--help") && options.count("-q"));
        EXPECT_EQ(Offered({"vexmor", command, "-"}), options);
        // After other options and a value, the command's options are still offered.
        std::set<std::string> longOnes;
        for (const std::string& option : options)
            if (option.rfind("--", 0) == 0) longOnes.insert(option);
        EXPECT_EQ(Offered({"vexmor", command, "-q", "--"}), longOnes);
    }
    EXPECT_EQ(Offered({"vexmor", "cut", "song.mp3", "--fa"}),
              (std::set<std::string>{"--fade-in", "--fade-out"}));
    // The internal worker option stays out of sight.
    EXPECT_EQ(Offered({"vexmor", "shrink", "--e"}), std::set<std::string>{});
}

class CompletionFiles : public testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"a.mp3", "B.MP3", "c.txt", "d e.flac", "list.m3u", "p.VXL",
                                 "tone.wav", "mp3", "\xe9t\xe9.mp3"})
            ts::WriteFile(dir_.File(name), {1, 2, 3});
        std::filesystem::create_directory(dir_.File("sub"));
        std::filesystem::create_directory(dir_.File("sub.mp3.d"));
    }
    std::set<std::string> In(const Words& words, bool withPackage = false) {
        return Offered(words, dir_.path(), withPackage);
    }
    ts::TempDir dir_;
};

TEST_F(CompletionFiles, EachCommandOffersTheFilesItTakesAndFolders) {
    const std::set<std::string> folders{"sub", "sub.mp3.d"};
    auto with = [&](std::set<std::string> files) {
        files.insert(folders.begin(), folders.end());
        return files;
    };
    // Songs in any letter case, with spaces and names that are not UTF-8; a file named
    // "mp3" has no extension.
    const std::set<std::string> songs =
        with({"a.mp3", "B.MP3", "d e.flac", "tone.wav", "\xe9t\xe9.mp3"});
    EXPECT_EQ(In({"vexmor", "cut", ""}), songs);
    EXPECT_EQ(In({"vexmor", "info", "--json", "a.mp3", ""}), songs);
    EXPECT_EQ(In({"vexmor", "shrink", ""}), with({"a.mp3", "B.MP3", "tone.wav", "\xe9t\xe9.mp3"}));
    EXPECT_EQ(In({"vexmor", "burn", "--test", ""}), with({"list.m3u", "p.VXL"}));
    EXPECT_EQ(In({"vexmor", "shrink", "--playlist", ""}), with({"list.m3u"}));
    // The output of a cut is any name; the output of shrink and rip a folder.
    const std::set<std::string> everything = with({"a.mp3", "B.MP3", "c.txt", "d e.flac",
                                                   "list.m3u", "p.VXL", "tone.wav", "mp3",
                                                   "\xe9t\xe9.mp3"});
    EXPECT_EQ(In({"vexmor", "cut", "a.mp3", "-o", ""}), everything);
    EXPECT_EQ(In({"vexmor", "cut", "a.mp3", "--output", "=", ""}), everything);
    EXPECT_EQ(In({"vexmor", "cut", "a.mp3", "--output", "=", "c"}), std::set<std::string>{"c.txt"});
    EXPECT_EQ(In({"vexmor", "shrink", "a.mp3", "-o", ""}), folders);
    EXPECT_EQ(In({"vexmor", "rip", "--output", "s"}), folders);
    // Values that are no files get nothing, and commands without files offer none.
    EXPECT_EQ(In({"vexmor", "cut", "a.mp3", "--from", ""}), std::set<std::string>{});
    EXPECT_EQ(In({"vexmor", "rip", "--drive", ""}), std::set<std::string>{});
    EXPECT_EQ(In({"vexmor", "drives", ""}), std::set<std::string>{});
    // A prefix narrows the list; a name begun with a quote is looked up without it.
    EXPECT_EQ(In({"vexmor", "cut", "d"}), std::set<std::string>{"d e.flac"});
    EXPECT_EQ(In({"vexmor", "cut", "\"d e"}), std::set<std::string>{"d e.flac"});
}

TEST_F(CompletionFiles, BashCompletionFindsTheInstalledScript) {
    if (!HaveBashCompletion()) GTEST_SKIP() << "bash-completion is not installed";
    EXPECT_EQ(In({"vexmor", "bu"}, true), std::set<std::string>{"burn"});
    EXPECT_EQ(In({"vexmor", "burn", ""}, true),
              (std::set<std::string>{"list.m3u", "p.VXL", "sub", "sub.mp3.d"}));
}

}  // namespace
