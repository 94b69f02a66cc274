#include "platform/program_arguments.h"

#include <unistd.h>

#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/local_paths.h"
#include "platform/paths.h"

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

// The length of the valid UTF-8 sequence at `at`, 0 when none starts there.
size_t Utf8Sequence(std::string_view bytes, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    }
    return length;
}

constexpr char16_t kEscapedByte = 0xDC00;

}  // namespace

QString ArgumentText(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (size_t at = 0; at < bytes.size();) {
        const size_t length = Utf8Sequence(bytes, at);
        if (length == 0) {
            text +=
                QChar(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(bytes[at])));
            ++at;
            continue;
        }
        text += QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length));
        at += length;
    }
    return text;
}

std::string ArgumentBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    qsizetype start = 0;  // of the run of ordinary text not yet copied
    const auto flush = [&](qsizetype end) {
        if (end > start) bytes += text.mid(start, end - start).toStdString();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < kEscapedByte + 0x80 || unit > kEscapedByte + 0xFF) continue;
        // A low surrogate after a high one is half of a real character.
        if (i > 0 && text[i - 1].isHighSurrogate()) continue;
        flush(i);
        bytes += static_cast<char>(unit - kEscapedByte);
        start = i + 1;
    }
    flush(text.size());
    return bytes;
}

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
