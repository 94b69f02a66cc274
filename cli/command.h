// The commands of vexmor. Each command lives in a file of its own and registers itself with a
// static CommandRegistration, so main.cpp knows none of them by name.
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace cli {

class Console;

// Exit status of every command.
enum ExitStatus : int {
    kSuccess = 0,     // everything asked for was done
    kSomeFailed = 1,  // a file (or the disc) failed; the others were done
    kBadUsage = 2,    // the command line was wrong; nothing was done
};

struct Command {
    const char* name;     // "info"
    const char* summary;  // one line for vexmor --help
    // Runs the command on its arguments (without the program and command names) and returns its
    // exit status.
    int (*run)(const QStringList& args, Console& console);
};

// Registers a command at start-up: static const CommandRegistration reg{{"info", "...", &Run}};
struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

// The registered commands, sorted by name.
QList<Command> Commands();
const Command* FindCommand(const QString& name);

// Parses a command's arguments with its parser, to which it adds --help and --quiet. Returns
// true when the command should go on. Otherwise *exitStatus says how to end: kSuccess after
// printing the help text (usage first, then `description`), kBadUsage after naming the fault
// on standard error. Also sets the console quiet for --quiet.
bool ParseArguments(QCommandLineParser& parser, const QString& commandName,
                    const QString& description, const QStringList& args, Console& console,
                    int* exitStatus);

}  // namespace cli
