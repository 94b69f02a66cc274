#include "platform/program_arguments.h"

#include <unistd.h>

#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/paths.h"
#include "platform/qt_ui.h"

namespace platform {
namespace {

std::string FullPath(const std::string& argument, const std::string& workingFolder) {
    std::string path = argument;
    if (path.rfind("file://", 0) == 0) {
        const std::string local =
            LocalPathBytes(QUrl::fromEncoded(QByteArray::fromStdString(path)));
        if (!local.empty()) path = local;
    }
    if (path.empty() || path.front() != '/') path = JoinPath(workingFolder, path);
    std::string normal = std::filesystem::path(path).lexically_normal().native();
    // "dir/." becomes "dir/"; a file name never ends in a separator.
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return normal;
}

}  // namespace

std::vector<std::string> ArgumentsOf(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

std::string WorkingFolder() {
    std::string buffer(4096, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return buffer;
        }
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
}

ProgramArguments ParseProgramArguments(const std::vector<std::string>& args,
                                       const std::string& workingFolder) {
    ProgramArguments result;
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            result.action = ProgramArguments::Action::Help;
            return result;
        }
        if (arg == "--version" && result.action != ProgramArguments::Action::Help) {
            result.action = ProgramArguments::Action::Version;
        }
    }
    if (result.action != ProgramArguments::Action::Run) return result;

    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
            continue;
        }
        if (options && arg.size() > 1 && arg.front() == '-') {
            result.action = ProgramArguments::Action::Usage;
            result.error = "unknown option " + arg;
            result.files.clear();
            return result;
        }
        result.files.push_back(FullPath(arg, workingFolder));
    }
    return result;
}

std::optional<int> AnswerWithoutWindow(const ProgramArguments& arguments, const ProgramHelp& help) {
    switch (arguments.action) {
        case ProgramArguments::Action::Run:
            return std::nullopt;
        case ProgramArguments::Action::Help:
            std::printf(
                "Usage: %s\n%s\n\n  -h, --help     show this help\n  --version      "
                "show the version\n",
                help.usage, help.summary);
            return 0;
        case ProgramArguments::Action::Version:
            std::printf("%s %s\n", help.program, help.version);
            return 0;
        case ProgramArguments::Action::Usage:
            std::fprintf(stderr, "%s: %s\nUsage: %s\n", help.program, arguments.error.c_str(),
                         help.usage);
            return 2;
    }
    return std::nullopt;
}

std::optional<int> AnswerHelpOrVersion(int argc, char** argv, const ProgramHelp& help) {
    const ProgramArguments arguments = ParseProgramArguments(ArgumentsOf(argc, argv), {});
    // Usage errors wait: the option may be one the application object takes for itself.
    if (arguments.action == ProgramArguments::Action::Usage) return std::nullopt;
    return AnswerWithoutWindow(arguments, help);
}

}  // namespace platform
