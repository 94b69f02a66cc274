// vexmor: finds the command named by the first argument and runs it. The program never shows a
// window: it runs under QCoreApplication and links no Qt Gui, Qt Widgets or SDL2.
#include <QCoreApplication>
#include <cstdio>

#include "cli/command.h"
#include "cli/console.h"
#include "platform/program_arguments.h"

namespace {

void PrintOverview(cli::Console& console) {
    console.Out("Usage: vexmor COMMAND [OPTIONS] [FILES]\n\nCommands:");
    for (const cli::Command& command : cli::Commands())
        console.Out(QString("  %1 %2")
                        .arg(QString::fromLatin1(command.name), -8)
                        .arg(QString::fromLatin1(command.summary)));
    console.Out(
        "\n'vexmor COMMAND --help' describes a command. Exit status: 0 success, 1 a file "
        "failed, 2 bad usage.");
}

}  // namespace

// Qt's own warnings are no business of a command-line user; VEXMOR_DEBUG shows them.
void DropQtChatter(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
    std::fprintf(stderr, "vexmor: %s\n", qPrintable(message));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("VEXMOR_DEBUG")) qInstallMessageHandler(DropQtChatter);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("vexmor");
    cli::Console& console = cli::Console::Process();

    // The arguments as the bytes they were given in: a file name that is no UTF-8 must still name
    // its file.
    QStringList args;
    for (const std::string& arg : platform::ArgumentsOf(argc, argv))
        args << platform::ArgumentText(arg);
    if (args.isEmpty()) {
        PrintOverview(console);
        return cli::kBadUsage;
    }
    const QString name = args.takeFirst();
    if (name == "--help" || name == "-h" || name == "help") {
        if (!args.isEmpty() && cli::FindCommand(args.first()))
            return cli::FindCommand(args.first())->run({"--help"}, console);
        PrintOverview(console);
        return cli::kSuccess;
    }
    if (name == "--version") {
        console.Out("vexmor " + QString::fromLatin1(VX_VERSION));
        return cli::kSuccess;
    }
    const cli::Command* command = cli::FindCommand(name);
    if (!command) return console.UsageError({}, QString("unknown command '%1'").arg(name));
    return command->run(args, console);
}
