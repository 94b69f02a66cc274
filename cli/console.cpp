#include "cli/console.h"

#include <unistd.h>

#include "cli/command.h"
#include "platform/program_arguments.h"

namespace cli {

namespace {

constexpr int kBarWidth = 30;

void Write(std::FILE* file, const QString& text) {
    // Names keep the bytes they were given in, also those that are no UTF-8.
    const std::string bytes = platform::ArgumentBytes(text);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
}

}  // namespace

Console::Console(std::FILE* out, std::FILE* err, bool errIsTerminal)
    : out_(out), err_(err), errIsTerminal_(errIsTerminal) {}

Console& Console::Process() {
    static Console console(stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    return console;
}

void Console::EndBarLocked() {
    if (barShown_) {
        Write(err_, "\n");
        barShown_ = false;
    }
}

void Console::Out(const QString& line) {
    std::lock_guard lock(mutex_);
    if (errIsTerminal_) EndBarLocked();
    Write(out_, line + '\n');
    std::fflush(out_);
}

void Console::Progress(const QString& what, int percent) {
    percent = std::clamp(percent, 0, 100);
    std::lock_guard lock(mutex_);
    if (quiet_) return;
    if (errIsTerminal_) {
        const int filled = percent * kBarWidth / 100;
        Write(err_, QString("\r%1 [%2%3] %4%\x1b[K")
                        .arg(what, QString(filled, '#'), QString(kBarWidth - filled, ' '))
                        .arg(percent, 3));
        barShown_ = true;
        if (percent == 100) EndBarLocked();
    } else {
        // One line per ten per cent of each piece of work, and always its end.
        const int step = percent / 10;
        if (what == lastWhat_ && step == lastStep_) return;
        lastWhat_ = what;
        lastStep_ = step;
        Write(err_, QString("%1: %2%\n").arg(what).arg(percent));
    }
    std::fflush(err_);
}

void Console::Note(const QString& line) {
    std::lock_guard lock(mutex_);
    if (quiet_) return;
    EndBarLocked();
    Write(err_, line + '\n');
    std::fflush(err_);
}

void Console::Error(const QString& file, const QString& reason) {
    std::lock_guard lock(mutex_);
    EndBarLocked();
    Write(err_, file.isEmpty() ? QString("vexmor: %1\n").arg(reason)
                               : QString("vexmor: %1: %2\n").arg(file, reason));
    std::fflush(err_);
}

int Console::UsageError(const QString& command, const QString& message) {
    std::lock_guard lock(mutex_);
    EndBarLocked();
    const QString name = command.isEmpty() ? QString("vexmor") : "vexmor " + command;
    Write(err_, QString("%1: %2\nTry '%1 --help'.\n").arg(name, message));
    std::fflush(err_);
    return kBadUsage;
}

}  // namespace cli
