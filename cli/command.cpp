#include "cli/command.h"

#include <QCoreApplication>
#include <algorithm>

#include "cli/console.h"

namespace cli {

namespace {

QList<Command>& Registry() {
    static QList<Command> commands;
    return commands;
}

}  // namespace

CommandRegistration::CommandRegistration(const Command& command) { Registry().append(command); }

QList<Command> Commands() {
    QList<Command> commands = Registry();
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return qstrcmp(a.name, b.name) < 0; });
    return commands;
}

const Command* FindCommand(const QString& name) {
    for (const Command& command : Registry())
        if (name == QLatin1String(command.name)) return &command;
    return nullptr;
}

bool ParseArguments(QCommandLineParser& parser, const QString& commandName,
                    const QString& description, const QStringList& args, Console& console,
                    int* exitStatus) {
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption quiet({"q", "quiet"}, "Show no progress.");
    parser.addOption(help);
    parser.addOption(quiet);
    parser.setApplicationDescription(description);
    // QCommandLineParser takes the first entry as the program's name.
    if (!parser.parse(QStringList{"vexmor " + commandName} + args)) {
        *exitStatus = console.UsageError(commandName, parser.errorText());
        return false;
    }
    if (parser.isSet(help)) {
        // Qt's help text names the program as it was started (a full path); the usage line
        // names the command instead.
        QString text = parser.helpText().trimmed();
        const QString started = QCoreApplication::arguments().value(0);
        if (!started.isEmpty() && text.startsWith("Usage: " + started))
            text.replace(7, started.size(), "vexmor " + commandName);
        console.Out(text);
        *exitStatus = kSuccess;
        return false;
    }
    console.SetQuiet(parser.isSet(quiet));
    return true;
}

}  // namespace cli
