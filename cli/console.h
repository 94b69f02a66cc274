// Where vexmor talks: results on standard output, progress and errors on standard error.
// Progress is a bar redrawn in place when standard error is a terminal and plain lines (one per
// ten per cent) when it is not; --quiet drops progress and notes but never results or errors.
// Every call may come from any thread (shrink runs several files at once).
#pragma once

#include <QString>
#include <cstdio>
#include <mutex>

namespace cli {

class Console {
public:
    // out and err default to the process's standard streams; errIsTerminal says whether err is
    // a terminal (the bar) or not (plain lines).
    Console(std::FILE* out, std::FILE* err, bool errIsTerminal);
    static Console& Process();  // standard output and error of this process

    void SetQuiet(bool quiet) { quiet_ = quiet; }
    bool Quiet() const { return quiet_; }

    // A result line on standard output.
    void Out(const QString& line);
    // Progress of `what` (a file name, "Track 03"): 0 to 100.
    void Progress(const QString& what, int percent);
    // A line of information on standard error (not shown with --quiet).
    void Note(const QString& line);
    // "vexmor: FILE: REASON" on standard error, always shown.
    void Error(const QString& file, const QString& reason);
    // "vexmor CMD: MESSAGE" and a pointer to CMD --help on standard error; returns kBadUsage.
    int UsageError(const QString& command, const QString& message);

private:
    void EndBarLocked();  // moves past a bar on the terminal before another line is written

    std::mutex mutex_;
    std::FILE* out_;
    std::FILE* err_;
    bool errIsTerminal_;
    bool quiet_ = false;
    bool barShown_ = false;
    QString lastWhat_;
    int lastStep_ = -1;
};

}  // namespace cli
