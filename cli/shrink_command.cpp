// vexmor shrink FILE...|--playlist X.m3u -o DIR [-j N]: the batch down-sizer's Convert All from
// the command line. Each MP3 is encoded again with the settings file's MP3 options into DIR
// under the down-sizer's output name, N files at a time.
//
// Every file is encoded by a worker process of its own (this program started again with the
// hidden --encode-one), not by threads of this process: the codec engine keeps its progress,
// its bad indicator and its cancel request once per process, so two encodes in one process
// could neither report their own progress nor be told apart when one fails; and libmp3lame
// rewrites process-wide tables each time an encoder is set up, while other encoders in the
// same process read them. A process per file shares nothing, and costs a few milliseconds
// against seconds of encoding.
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <deque>
#include <future>
#include <memory>
#include <set>

#include "cli/command.h"
#include "cli/console.h"
#include "cli/console_ui.h"
#include "cli/engine_run.h"
#include "platform/folders.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "platform/program_arguments.h"
#include "studio/codec_engine.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/batch_downsizer.h"
#include "uikit/mp3_info.h"
#include "uikit/track_rules.h"

namespace cli {
namespace {

// The worker: encodes SOURCE into OUTPUT, prints each new percentage on a line of its own on
// standard output and the reason of a failure on standard error. OUTPUT is never replaced: when
// another run takes that name first, the down-sizer's rule picks the next free one, and the
// name used ends standard output as a line "=NAME".
int EncodeOne(const std::string& source, const std::string& output) {
    InstallConsoleUi();
    Console quiet(stdout, stderr, false);
    quiet.SetQuiet(true);
    studio::Session session;
    if (!BindEngine(session, quiet, platform::ArgumentText(source))) return kSomeFailed;
    // A stop request cancels the encode (polled below), and the engine removes its unfinished
    // file.
    const platform::InterruptCatcher interrupt;
    CodecEngine& engine = session.engine;
    engine.CallSetCancelEncode(0);
    StudioSettings& settings = session.settings;
    settings.SetDefaults();
    settings.Load(SettingsFileName());
    const std::string& in = source;
    std::string out = output;
    std::future<int> result = std::async(std::launch::async, [&] {
        return studio::CBatchDownsizer::EncodeFileToFreeName(session, in, out, settings, 0);
    });
    int shown = -1;
    while (result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (platform::InterruptCatcher::Caught()) engine.CallSetCancelEncode(1);
        const int percent = std::min(engine.GetEncode2Mp3Percent(), 99);
        if (percent != shown) std::printf("%d\n", shown = percent);
        std::fflush(stdout);
    }
    const int code = result.get();
    if (code != 0) {
        const QString why = code == VX_BAD_INPUT ? QString("not a readable MP3 file")
                                                 : EngineResultText(engine, code);
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return kSomeFailed;
    }
    std::printf("=%s\n", out.c_str());
    return kSuccess;
}

// The names a worker is started with: percent-encoded bytes, since a process's arguments pass
// through the local 8-bit encoding, which would lose bytes that are no UTF-8.
QString WorkerName(const QString& name) {
    return QString::fromLatin1(
        QByteArray::fromStdString(platform::ArgumentBytes(name)).toPercentEncoding());
}
std::string NameOfWorker(const QString& encoded) {
    return QByteArray::fromPercentEncoding(encoded.toLatin1()).toStdString();
}

struct Job {
    QString source;
    QString output;
};

struct Failure {
    QString source;
    QString reason;
};

// Runs the jobs, `parallel` at a time, each in a worker process.
class Shrinker {
  public:
    Shrinker(Console& console, int parallel) : console_(console), parallel_(parallel) {}

    void Run(std::deque<Job> jobs) {
        pending_ = std::move(jobs);
        QEventLoop loop;
        loop_ = &loop;
        QTimer stopWatch;
        QObject::connect(&stopWatch, &QTimer::timeout, [this] {
            if (!platform::InterruptCatcher::Caught() || stopping_) return;
            stopping_ = true;
            for (const auto& [process, job] : running_) process->terminate();
            pending_.clear();
            Finish();
        });
        stopWatch.start(100);
        while (static_cast<int>(running_.size()) < parallel_ && StartNext()) {
        }
        if (!running_.empty()) loop.exec();
    }

    int done() const { return done_; }
    const std::vector<Failure>& failures() const { return failures_; }
    // Names spoken for by the run: outputs of files being converted.
    bool Taken(const std::string& path) const { return reserved_.count(path) != 0; }
    void Reserve(const std::string& path) { reserved_.insert(path); }

  private:
    bool StartNext() {
        if (pending_.empty() || stopping_) return false;
        const Job job = pending_.front();
        pending_.pop_front();
        auto* process = new QProcess;
        running_.emplace(process, job);
        const QString name = job.source;
        QObject::connect(process, &QProcess::readyReadStandardOutput, [this, process, name] {
            while (process->canReadLine()) {
                const QByteArray line = process->readLine().chopped(1);
                if (line.startsWith('=')) {
                    const auto found = running_.find(process);
                    if (found != running_.end())
                        found->second.output = platform::ArgumentText(line.mid(1).toStdString());
                    continue;
                }
                bool ok = false;
                const int percent = line.trimmed().toInt(&ok);
                if (ok) console_.Progress(name, percent);
            }
        });
        QObject::connect(process, &QProcess::finished, [this, process] { Ended(process); });
        QObject::connect(process, &QProcess::errorOccurred,
                         [this, process](QProcess::ProcessError e) {
                             if (e == QProcess::FailedToStart) Ended(process);
                         });
        console_.Progress(name, 0);
        process->start(QCoreApplication::applicationFilePath(),
                       {"shrink", "--encode-one", WorkerName(job.source), WorkerName(job.output)});
        return true;
    }

    void Ended(QProcess* process) {
        const auto found = running_.find(process);
        if (found == running_.end()) return;
        // The name the worker used ends its output; read what is left of it first.
        while (process->canReadLine()) {
            const QByteArray line = process->readLine().chopped(1);
            if (line.startsWith('='))
                found->second.output = platform::ArgumentText(line.mid(1).toStdString());
        }
        const Job job = found->second;
        running_.erase(found);
        const bool ok = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0 &&
                        platform::IsRegularFile(platform::ArgumentBytes(job.output));
        if (ok) {
            ++done_;
            console_.Progress(job.source, 100);
            console_.Out(QString("%1 -> %2 (%3 kB -> %4 kB)")
                             .arg(job.source, job.output)
                             .arg(platform::FileSize(platform::ArgumentBytes(job.source)) / 1024)
                             .arg(platform::FileSize(platform::ArgumentBytes(job.output)) / 1024));
        } else {
            QString reason = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
            if (process->error() == QProcess::FailedToStart)
                reason = "the worker could not be started: " + process->errorString();
            else if (stopping_)
                reason = "stopped";
            else if (reason.isEmpty())
                reason = "the encoder ended abnormally";
            reason = reason.section('\n', -1);
            failures_.push_back({job.source, reason});
            console_.Error(job.source, reason);
        }
        process->deleteLater();
        StartNext();
        Finish();
    }

    void Finish() {
        if (running_.empty() && loop_) loop_->quit();
    }

    Console& console_;
    int parallel_;
    std::deque<Job> pending_;
    std::map<QProcess*, Job> running_;
    std::set<std::string> reserved_;
    std::vector<Failure> failures_;
    int done_ = 0;
    bool stopping_ = false;
    QEventLoop* loop_ = nullptr;
};

// The songs a playlist names: its lines that are no comment, relative ones taken from the
// playlist's folder. Empty with `error` set when it is no playlist.
QStringList PlaylistSongs(const QString& playlist, QString& error) {
    const M3uContents contents = ReadM3uFile(platform::ArgumentBytes(playlist));
    switch (contents.status) {
        case M3uReadStatus::CannotOpen:
            error = "cannot be read";
            return {};
        case M3uReadStatus::Empty:
        case M3uReadStatus::NotM3u:
            error = "not an M3U playlist (no #EXTM3U line first)";
            return {};
        case M3uReadStatus::Ok:
            break;
    }
    QStringList songs;
    const QString folder = QFileInfo(playlist).absolutePath();
    for (const std::string& line : contents.lines) {
        const QString path = platform::ArgumentText(line).trimmed();
        if (path.isEmpty() || path.startsWith('#')) continue;
        songs << (QFileInfo(path).isRelative() ? folder + "/" + path : path);
    }
    return songs;
}

int RunShrink(const QStringList& args, Console& console) {
    QCommandLineParser parser;
    const QCommandLineOption playlist("playlist", "Shrink the songs of an M3U playlist.", "X.m3u");
    const QCommandLineOption output({"o", "output"}, "The folder for the small MP3s.", "DIR");
    const QCommandLineOption jobs({"j", "jobs"},
                                  "Encode N files at a time (default: the number of cores).", "N");
    QCommandLineOption encodeOne("encode-one", "A worker's one file.");
    encodeOne.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({playlist, output, jobs, encodeOne});
    parser.addPositionalArgument("FILE", "MP3 files.", "FILE...");
    int status = kSuccess;
    if (!ParseArguments(parser, "shrink",
                        "Encodes MP3s again with the MP3 settings of the studio's settings file "
                        "into DIR, as the batch down-sizer does: a name already there gets "
                        "\"_0\", \"_1\", ... before .mp3.\nFailed files are listed at the end; "
                        "the exit status is then 1.",
                        args, console, &status))
        return status;
    if (parser.isSet(encodeOne)) {
        if (parser.positionalArguments().size() != 2)
            return console.UsageError("shrink", "--encode-one takes SOURCE and OUTPUT");
        return EncodeOne(NameOfWorker(parser.positionalArguments()[0]),
                         NameOfWorker(parser.positionalArguments()[1]));
    }

    if (!parser.isSet(output)) return console.UsageError("shrink", "-o DIR is missing");
    int parallel = QThread::idealThreadCount();
    if (parser.isSet(jobs)) {
        bool ok = false;
        parallel = parser.value(jobs).toInt(&ok);
        if (!ok || parallel < 1 || parallel > 64)
            return console.UsageError("shrink",
                                      "-j: not a number from 1 to 64: " + parser.value(jobs));
    }
    QStringList sources = parser.positionalArguments();
    std::vector<Failure> failures;
    if (parser.isSet(playlist)) {
        QString error;
        const QStringList songs = PlaylistSongs(parser.value(playlist), error);
        if (!error.isEmpty()) {
            console.Error(parser.value(playlist), error);
            return kSomeFailed;
        }
        sources << songs;
    }
    if (sources.isEmpty()) return console.UsageError("shrink", "no file given");

    const std::string folder = platform::ArgumentBytes(parser.value(output));
    if (!platform::IsDirectory(folder) && !CreateFolderWithParents(folder)) {
        console.Error(parser.value(output), "the folder cannot be made");
        return kSomeFailed;
    }
    if (!platform::IsWritable(folder)) {
        console.Error(parser.value(output), "the folder is not writable");
        return kSomeFailed;
    }
    // The workers bind the engine of their own; this only tells a missing one before starting.
    studio::Session session;
    if (!BindEngine(session, console, parser.value(output))) return kSomeFailed;
    // What killed runs left: unfinished outputs in this folder and scratch folders.
    platform::RemoveEndedPartFiles(folder);
    platform::RemoveEndedScratchFolders();

    Shrinker shrinker(console, parallel);
    const std::string outputFolder = platform::WithTrailingSeparator(folder);
    std::deque<Job> queue;
    int total = 0;
    for (const QString& source : sources) {
        ++total;
        const std::string bytes = platform::ArgumentBytes(source);
        QString refusal;
        if (!platform::FileExists(bytes)) {
            refusal = "no such file";
        } else if (!platform::IsRegularFile(bytes)) {
            refusal = "not a regular file";
        } else if (!DescribeMp3File(bytes, false)) {
            // The rule by which the down-sizer's list takes a file: the information library
            // accepts it, whatever its stream kind (Layer II, a WAV named .mp3).
            refusal = "not an MP3 file";
        }
        if (!refusal.isEmpty()) {
            failures.push_back({source, refusal});
            console.Error(source, refusal);
            continue;
        }
        const std::string out = studio::DownsizerOutputPath(
            outputFolder, bytes,
            [&shrinker](const std::string& path) { return shrinker.Taken(path); });
        shrinker.Reserve(out);
        queue.push_back({source, platform::ArgumentText(out)});
    }
    const platform::InterruptCatcher interrupt;
    shrinker.Run(std::move(queue));
    failures.insert(failures.end(), shrinker.failures().begin(), shrinker.failures().end());

    console.Note(QString("%1 of %2 files shrunk into %3")
                     .arg(shrinker.done())
                     .arg(total)
                     .arg(platform::ArgumentText(outputFolder)));
    if (failures.empty()) return kSuccess;
    QString summary = QString("%1 of %2 files failed:").arg(failures.size()).arg(total);
    for (const Failure& failure : failures)
        summary += QString("\n  %1: %2").arg(failure.source, failure.reason);
    console.Error({}, summary);
    return kSomeFailed;
}

const CommandRegistration reg{
    {"shrink", "encode MP3s again, smaller, with the studio's MP3 settings", &RunShrink}};

}  // namespace
}  // namespace cli
