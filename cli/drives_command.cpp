// vexmor drives: the CD drives the CD-access library sees, the disc images of the disc image
// folder among them, each with what its disc holds. The number before each drive is what
// `vexmor rip --drive` takes.
#include <QCommandLineParser>

#include "cli/command.h"
#include "cli/console.h"
#include "media/cd_frames.h"
#include "media/disc_images.h"
#include "studio/tools/cd_drives.h"
#include "uikit/time_calc.h"

namespace cli {
namespace {

// "Song (Performer)", "Song", "(Performer)" or "".
QString TitleAndPerformer(const std::string& title, const std::string& performer) {
    QString text = QString::fromStdString(title);
    if (!performer.empty()) {
        if (!text.isEmpty()) text += ' ';
        text += '(' + QString::fromStdString(performer) + ')';
    }
    return text;
}

// One drive: a line with its number, letter, description and disc, then a line per track.
void ListDrive(int index, Console& console) {
    const studio::CdDrive& drive = studio::CdDrives()[static_cast<size_t>(index)];
    const QString head =
        QString("%1  %2").arg(index).arg(QString::fromStdString(studio::DriveLabel(drive)));
    if (!studio::RefreshTracks(index)) {
        const std::string problem = studio::DriveProblem(index);
        console.Out(head + "  (" +
                    (problem.empty() ? QString("no audio CD") : QString::fromStdString(problem)) +
                    ")");
        return;
    }
    const std::vector<studio::CdTrack>& tracks = studio::CdTracks();
    studio::OpenDrive open(drive);
    long long frames = 0;
    for (const studio::CdTrack& track : tracks) frames += track.length;
    QString disc =
        QString("%1 %2, %3")
            .arg(tracks.size())
            .arg(tracks.size() == 1 ? "track" : "tracks")
            .arg(QString::fromStdString(FormatDuration(media::CdFrames(frames).seconds())));
    const QString text = TitleAndPerformer(open.CdText(0, 0), open.CdText(0, 1));
    if (!text.isEmpty()) disc += ", " + text;
    console.Out(head + "  (" + disc + ")");
    for (const studio::CdTrack& track : tracks) {
        QString line = QString("    %1  ").arg(track.number, 2, 10, QChar('0'));
        if (!track.audio()) {
            console.Out(line + "data track");
            continue;
        }
        line += QString::fromStdString(FormatDuration(track.seconds));
        const QString title =
            TitleAndPerformer(open.CdText(track.number, 0), open.CdText(track.number, 1));
        console.Out(title.isEmpty() ? line : line + "  " + title);
    }
}

int RunDrives(const QStringList& args, Console& console) {
    QCommandLineParser parser;
    int status = kSuccess;
    if (!ParseArguments(
            parser, "drives",
            "Lists the CD drives with the disc in each: its tracks, their playing "
            "times and CD-Text. Every disc image (.cue, .toc or .nrg) of the disc image folder ($"
            "VEXMOR_DISC_IMAGES, or ~/.local/share/vexmor/discs) counts as a drive. "
            "The number before a drive is what 'vexmor rip --drive' takes.",
            args, console, &status))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return console.UsageError("drives", "takes no files");
    const int count = studio::EnumerateDrives();
    if (count == 0) {
        console.Error({}, QString("no CD drive found, and no disc image (.cue, .toc, .nrg) in %1")
                              .arg(QString::fromStdString(disc_images::Folder())));
        return kSomeFailed;
    }
    for (int i = 0; i < count; ++i) ListDrive(i, console);
    return kSuccess;
}

const CommandRegistration reg{{"drives", "list the CD drives and the discs in them", &RunDrives}};

}  // namespace
}  // namespace cli
