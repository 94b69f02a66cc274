// vexmor burn: the recording dialog's write without its window. The project's files go to the
// CD-writer control in the dialog's order of calls, and the control's events are printed as
// progress. The disc image recorder (recorder 0) writes the disc as a CUE/BIN image into the disc
// image folder; the image's CUE sheet is the command's result.
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include "burner/cd_writer_x.h"
#include "burner/project_files.h"
#include "burner/record_rules.h"
#include "burner/record_session.h"
#include "cli/command.h"
#include "cli/console.h"
#include "components/cd_writer/cd_writer_dispids.h"
#include "platform/folders.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "uikit/mp3_info.h"
#include "uikit/time_calc.h"

namespace cli {
namespace {

using burner::RecordUpdate;
namespace ev = cd_writer::event;

// Follows one write: the status texts as notes, the track being written or cached as progress,
// and how the write ended.
class TerminalBurn : public platform::IControlEvents {
  public:
    TerminalBurn(Console& console, int trackCount, QEventLoop& loop)
        : console_(console), follower_(trackCount), loop_(loop) {}

    void OnEvent(int id, const platform::VariantList& args) override {
        const RecordUpdate update = follower_.OnEvent(id, args);
        if (id == ev::kFileError && args.size() > 1) failedFile_ = args[1].ToString();
        if (id == ev::kTrackProgress) {
            // "Writing Track #01...." -> "Writing Track #01"
            QString what = QString::fromStdString(update.status);
            while (what.endsWith('.')) what.chop(1);
            console_.Progress(what, update.trackPercent);
        } else if (update.cachingPercent >= 0) {
            console_.Progress("Caching Track", update.cachingPercent);
        } else if (!update.status.empty() && update.status != lastStatus_) {
            console_.Note(QString::fromStdString(update.status));
        }
        if (!update.status.empty()) lastStatus_ = update.status;
        if (update.phase != RecordUpdate::Phase::None &&
            update.phase != RecordUpdate::Phase::Writing) {
            ending_ = update;
            loop_.quit();
        }
    }

    const std::optional<RecordUpdate>& ending() const { return ending_; }
    const std::string& failedFile() const { return failedFile_; }

  private:
    Console& console_;
    burner::RecordEventFollower follower_;
    QEventLoop& loop_;
    std::string lastStatus_;
    std::string failedFile_;
    std::optional<RecordUpdate> ending_;
};

// "8" or "8x" -> 8; 0 when it is neither.
int ParseSpeed(QString text) {
    if (text.endsWith('x', Qt::CaseInsensitive)) text.chop(1);
    bool ok = false;
    const int speed = text.toInt(&ok);
    return ok && speed > 0 ? speed : 0;
}

int RunBurn(const QStringList& args, Console& console) {
    QCommandLineParser parser;
    const QCommandLineOption recorderOption(
        "recorder",
        "The recorder to write with, by its number (default 0, the disc image "
        "recorder).",
        "N", "0");
    const QCommandLineOption testOption("test", "A test write: everything but the writing.");
    const QCommandLineOption speedOption("speed",
                                         "The write speed, such as 8x (default: the "
                                         "recorder's highest).",
                                         "X");
    parser.addOptions({recorderOption, testOption, speedOption});
    parser.addPositionalArgument("PROJECT", "The project: an M3U playlist or a .vxl title list.");
    int status = kSuccess;
    if (!ParseArguments(parser, "burn",
                        "Writes a project's MP3 files as an audio CD, as the burner's Record "
                        "dialog does. Recorder 0 is the disc image recorder: it writes the disc "
                        "as a CUE/BIN image into the disc image folder ($VEXMOR_DISC_IMAGES, or "
                        "~/.local/share/vexmor/discs), where 'vexmor drives' and the ripper "
                        "find it as a drive.",
                        args, console, &status))
        return status;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return console.UsageError("burn", "takes one project file (.m3u or .vxl)");
    const QString project = files.first();
    bool numberOk = false;
    const int recorder = parser.value(recorderOption).toInt(&numberOk);
    if (!numberOk || recorder < 0)
        return console.UsageError(
            "burn",
            QString("--recorder %1: not a recorder number").arg(parser.value(recorderOption)));
    int speed = 0;
    if (parser.isSet(speedOption) && (speed = ParseSpeed(parser.value(speedOption))) == 0)
        return console.UsageError(
            "burn", QString("--speed %1: not a speed such as 8x").arg(parser.value(speedOption)));

    // The project's files, each of which must be there.
    const burner::ProjectContents contents = burner::ReadProjectFile(project.toStdString());
    switch (contents.status) {
        case burner::ProjectReadStatus::UnknownFormat:
            return console.UsageError("burn", project + ": a project is an .m3u or .vxl file");
        case burner::ProjectReadStatus::CannotOpen:
            console.Error(project, "the project file cannot be read");
            return kSomeFailed;
        case burner::ProjectReadStatus::NotM3u:
            console.Error(project, "not an M3U playlist (its first line is not #EXTM3U)");
            return kSomeFailed;
        case burner::ProjectReadStatus::Ok:
            break;
    }
    if (contents.entries.empty()) {
        console.Error(project, "the project holds no tracks");
        return kSomeFailed;
    }
    std::vector<std::string> paths, titles;
    long long seconds = 0;
    bool missing = false;
    for (const burner::TitledPath& entry : contents.entries) {
        if (entry.path.empty()) {
            console.Error(
                project,
                QString("the entry \"%1\" names no file").arg(QString::fromStdString(entry.title)));
            missing = true;
        } else if (!platform::IsRegularFile(entry.path)) {
            console.Error(QString::fromStdString(entry.path),
                          platform::FileExists(entry.path) ? "not a regular file" : "no such file");
            missing = true;
        }
        paths.push_back(entry.path);
        titles.push_back(entry.title);
        seconds += DescribeMp3File(entry.path, false).value_or(0);
    }
    if (missing) return kSomeFailed;
    const std::string total = FormatDuration(seconds);

    // The control, as the burner registers and hosts it.
    burner::RegisterWriterControl();
    burner::CCDWriterXP writer;
    if (!writer.Create(nullptr)) {
        console.Error(QString::fromStdString(
                          platform::JoinPath(platform::SystemDirectory(), burner::kWriterModule)),
                      "the CD-writer control could not be created: " +
                          QString::fromStdString(writer.site().LastError()));
        return kSomeFailed;
    }
    const int recorders = writer.GetDeviceCount();
    auto recorderText = [&writer](int i) {
        const auto index = static_cast<int16_t>(i);
        return QString::fromStdString(writer.GetDeviceText1(index) + ": " +
                                      writer.GetDeviceText2(index) + " " +
                                      writer.GetDeviceText3(index));
    };
    if (recorder >= recorders) {
        console.Error(QString("recorder %1").arg(recorder),
                      recorders == 0 ? QString("the CD writer reports no recorder")
                                     : QString("no such recorder; there are:"));
        for (int i = 0; i < recorders; ++i)
            console.Note(QString("  %1  %2").arg(i).arg(recorderText(i)));
        return kSomeFailed;
    }
    const int selected = writer.SelectDevice(static_cast<int16_t>(recorder)) ? recorder : -1;
    console.Note(QString("Recorder %1: %2").arg(recorder).arg(recorderText(recorder)));
    console.Note(
        QString::fromStdString(burner::TotalTimeText(total) + "  " + burner::TimeLeftText(total)));

    const std::vector<burner::SpeedEntry> speeds =
        burner::BuildSpeedList(writer.GetMaxWriteSpeed());
    if (speeds.front().speed == 0) {
        if (speed != 0)
            console.Note("The recorder has no write speeds to choose; --speed is left aside.");
    } else {
        QStringList offered;
        int chosen = speeds.front().speed;  // the dialog's first entry
        if (speed != 0) chosen = 0;
        for (const burner::SpeedEntry& entry : speeds) {
            offered << QString::fromStdString(entry.text);
            if (entry.speed == speed) chosen = speed;
        }
        if (chosen == 0)
            return console.UsageError(
                "burn",
                QString("--speed %1x: the recorder offers %2").arg(speed).arg(offered.join(", ")));
        writer.SetWriteSpeed(static_cast<int16_t>(chosen));
    }

    // Ctrl+C stops the write as the dialog's Stop does; the control then reports the cancel.
    const platform::InterruptCatcher interrupt;
    QEventLoop loop;
    TerminalBurn burn(console, static_cast<int>(paths.size()), loop);
    writer.SetEventSink(&burn);
    burner::RecordOptions options;
    options.test = parser.isSet(testOption);
    std::string refused;
    const burner::StartOutcome outcome =
        burner::StartRecording(writer, selected, paths, titles, options, {}, &refused);
    if (outcome == burner::StartOutcome::GaveUp) {
        console.Error(QString::fromStdString(refused), "not an MP3 file the CD writer can decode");
        return kSomeFailed;
    }
    if (outcome != burner::StartOutcome::Started) {
        console.Error(QString("recorder %1").arg(recorder),
                      QString::fromStdString(burner::StartOutcomeMessage(outcome)));
        return kSomeFailed;
    }

    {
        QTimer interruptWatch;
        bool aborted = false;
        QObject::connect(&interruptWatch, &QTimer::timeout, [&writer, &aborted] {
            if (platform::InterruptCatcher::Caught() && !aborted) {
                aborted = true;
                writer.AbortWrite();
            }
        });
        interruptWatch.start(100);
        if (!burn.ending()) loop.exec();
    }
    writer.SetEventSink(nullptr);

    const RecordUpdate& ending = *burn.ending();
    switch (ending.phase) {
        case RecordUpdate::Phase::Complete: {
            writer.AfterWriteComplete();
            if (options.test) {
                console.Out("Test write complete: nothing was written.");
                return kSuccess;
            }
            // This write's own image: other writes may have added theirs meanwhile.
            const std::string image = writer.LastImage();
            console.Out(image.empty() ? QString("Write complete!") : QString::fromStdString(image));
            return kSuccess;
        }
        case RecordUpdate::Phase::Cancelled:
            console.Error(project, "Writing Cancelled!");
            return kSomeFailed;
        default: {
            QString reason = QString::fromStdString(ending.message);
            if (reason.isEmpty()) reason = QString::fromStdString(ending.status);
            if (!burn.failedFile().empty()) {
                console.Error(QString::fromStdString(burn.failedFile()), reason);
            } else {
                if (seconds > 80 * 60)
                    reason += QString(" (the project lasts %1, an 80-minute disc holds 80:00)")
                                  .arg(QString::fromStdString(total));
                console.Error(project, reason);
            }
            return kSomeFailed;
        }
    }
}

const CommandRegistration reg{
    {"burn", "write a project's MP3 files as an audio CD or a disc image", &RunBurn}};

}  // namespace
}  // namespace cli
