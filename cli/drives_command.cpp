// vexmor drives: the CD drives the CD-access library sees, the disc images of the disc image
// folder among them, each with what its disc holds. The number before each drive is what
// `vexmor rip --drive` takes. With --json: the same as a JSON array, with each disc's ids (the
// MusicBrainz disc id and the freedb/gnudb id) and the releases an earlier look-up kept.
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/command.h"
#include "cli/console.h"
#include "media/cd_frames.h"
#include "media/disc_images.h"
#include "studio/tools/cd_drives.h"
#include "studio/tools/disc_metadata.h"
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
void ListDrive(studio::CdLists& cd, int index, Console& console) {
    const studio::CdDrive& drive = cd.drives[static_cast<size_t>(index)];
    const QString head =
        QString("%1  %2").arg(index).arg(QString::fromStdString(studio::DriveLabel(drive)));
    if (!cd.RefreshTracks(index)) {
        const std::string problem = cd.DriveProblem(index);
        console.Out(head + "  (" +
                    (problem.empty() ? QString("no audio CD") : QString::fromStdString(problem)) +
                    ")");
        return;
    }
    const std::vector<studio::CdTrack>& tracks = cd.tracks;
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

QJsonValue Text(const std::string& text) {
    return text.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(text));
}

QJsonObject ReleaseJson(const studio::DiscRelease& release) {
    QJsonArray titles;
    for (size_t i = 0; i < release.titles.size(); ++i)
        titles.append(QJsonObject{{"title", Text(release.titles[i])},
                                  {"artist", Text(release.artists[i])}});
    return {{"source", QString::fromStdString(release.source)},
            {"album", Text(release.album)},
            {"artist", Text(release.artist)},
            {"year", Text(release.year)},
            {"country", Text(release.country)},
            {"releaseId", Text(release.releaseId)},
            {"fuzzy", release.fuzzy},
            {"tracks", titles}};
}

// One drive as a JSON object: its number, letter and description, and its disc (null with the
// reason when there is none).
QJsonObject DriveJson(studio::CdLists& cd, int index) {
    const studio::CdDrive& drive = cd.drives[static_cast<size_t>(index)];
    QJsonObject object{{"number", index},
                       {"letter", drive.letter ? QJsonValue(QString(QChar(drive.letter)))
                                               : QJsonValue(QJsonValue::Null)},
                       {"description", QString::fromStdString(drive.description)}};
    if (!cd.RefreshTracks(index)) {
        const std::string problem = cd.DriveProblem(index);
        object["disc"] = QJsonValue::Null;
        object["problem"] = problem.empty() ? QString("no audio CD") : QString::fromStdString(problem);
        return object;
    }
    const std::vector<studio::CdTrack>& tracks = cd.tracks;
    const studio::DiscToc toc = studio::DiscTocFrom(drive.toc, drive.identity);
    const std::string discId = studio::MusicBrainzDiscId(toc);
    QJsonArray trackArray;
    long long frames = 0;
    {
        studio::OpenDrive open(drive);
        for (const studio::CdTrack& track : tracks) {
            frames += track.length;
            QJsonObject t{{"number", track.number}, {"data", !track.audio()}};
            if (track.audio()) {
                t["seconds"] = track.seconds;
                t["frames"] = static_cast<qint64>(track.length);
                t["title"] = Text(open.CdText(track.number, 0));
                t["performer"] = Text(open.CdText(track.number, 1));
            }
            trackArray.append(t);
        }
        object["disc"] = QJsonObject{{"title", Text(open.CdText(0, 0))},
                                     {"performer", Text(open.CdText(0, 1))},
                                     {"seconds", frames / studio::kCdFramesPerSecond},
                                     {"musicBrainzDiscId", Text(discId)},
                                     {"freedbId", QString::fromStdString(
                                                      studio::CddbIdText(toc.cddbId))},
                                     {"tracks", trackArray}};
    }
    // What an earlier look-up of this disc kept (no service is asked here).
    QJsonArray releases;
    const studio::MetadataCache cache;
    const std::string key = discId.empty() ? studio::CddbIdText(toc.cddbId) : discId;
    for (const studio::DiscRelease& release : cache.Load(key).value_or(std::vector<studio::DiscRelease>{}))
        releases.append(ReleaseJson(release));
    QJsonObject disc = object["disc"].toObject();
    disc["releases"] = releases;
    object["disc"] = disc;
    return object;
}

int RunDrives(const QStringList& args, Console& console) {
    QCommandLineParser parser;
    const QCommandLineOption json(
        "json",
        "Print a JSON array, one object per drive: number, letter, description and the disc "
        "(null, with a \"problem\", when there is none): its CD-Text, MusicBrainz disc id, "
        "freedb id, tracks and the releases an earlier look-up kept.");
    parser.addOption(json);
    int status = kSuccess;
    if (!ParseArguments(
            parser, "drives",
            "Lists the CD drives with the disc in each: its tracks, their playing "
            "times and CD-Text. Every disc image (.cue, .toc or .nrg) of the disc image folder ($"
            "VEXMOR_DISC_IMAGES, or ~/.local/share/vexmor/discs) counts as a drive. "
            "The number before a drive is what 'vexmor rip --drive' takes. With --json the "
            "disc's ids are listed too.",
            args, console, &status))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return console.UsageError("drives", "takes no files");
    // The command's drive and track lists.
    studio::CdLists cd;
    const int count = cd.EnumerateDrives();
    if (count == 0) {
        console.Error({}, QString("no CD drive found, and no disc image (.cue, .toc, .nrg) in %1")
                              .arg(QString::fromStdString(disc_images::Folder())));
        return kSomeFailed;
    }
    if (parser.isSet(json)) {
        QJsonArray array;
        for (int i = 0; i < count; ++i) array.append(DriveJson(cd, i));
        console.Out(
            QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
        return kSuccess;
    }
    for (int i = 0; i < count; ++i) ListDrive(cd, i, console);
    return kSuccess;
}

const CommandRegistration reg{{"drives", "list the CD drives and the discs in them", &RunDrives}};

}  // namespace
}  // namespace cli
