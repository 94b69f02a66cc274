// vexmor rip: the CD ripper's run without its window. The disc is looked up as the ripper looks it
// up (a local event loop runs the asynchronous look-up); the chosen tracks are read as the ripper
// reads them and encoded with its preset into "trackNN.mp3" (or "NN - Title.mp3"; kept as WAV
// with --wav), tagged with the chosen release's titles or else the disc's CD-Text. A track that
// cannot be read whole leaves no file.
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "cli/command.h"
#include "cli/console.h"
#include "media/disc_images.h"
#include "platform/folders.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "studio/codec_engine.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/cd_drives.h"
#include "studio/tools/cd_rip.h"
#include "studio/tools/cd_rip_titles.h"
#include "studio/tools/disc_metadata.h"

namespace cli {
namespace {

using studio::CdTrack;

// "1,3-5" -> {1, 3, 4, 5}; nullopt when the list is not made of numbers and ranges.
std::optional<std::set<int>> ParseTrackList(const QString& text) {
    std::set<int> numbers;
    for (const QString& part : text.split(',')) {
        const QStringList ends = part.trimmed().split('-');
        bool okFirst = false, okLast = false;
        const int first = ends.value(0).toInt(&okFirst);
        const int last = ends.size() == 2 ? ends[1].toInt(&okLast) : first;
        if (ends.size() > 2 || !okFirst || (ends.size() == 2 && !okLast) || first < 1 ||
            last < first || last > 99)
            return std::nullopt;
        for (int n = first; n <= last; ++n) numbers.insert(n);
    }
    return numbers;
}

// A drive by its number in `vexmor drives` or its letter ("D" or "D:"); -1 when neither.
int ParseDrive(const std::vector<studio::CdDrive>& drives, const QString& text) {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (ok) return number >= 0 ? number : -1;
    QString letter = text.toUpper();
    if (letter.endsWith(':')) letter.chop(1);
    if (letter.size() != 1) return -1;
    for (size_t i = 0; i < drives.size(); ++i)
        if (drives[i].letter == letter[0].toLatin1()) return static_cast<int>(i);
    return -1;
}

// The ripper's window for a terminal: read and encode progress per track on standard error, and
// the first read error of each track remembered for its error line. A read error is answered
// "No": the track is left, as a partial track would pass for a whole one.
class TerminalRip : public studio::IRipWindow {
  public:
    TerminalRip(studio::Session& session, Console& console, bool mp3, const studio::RipPlan& plan)
        : session_(session), console_(console), mp3_(mp3) {
        for (const studio::RipItem& item : plan.items)
            names_[item.row] = QString::fromStdString(item.fileName);
    }
    ~TerminalRip() override { StopEncodeTimer(); }

    void PostTrackChanged(int row) override {
        if (platform::InterruptCatcher::Caught()) Stop();
        const int status = session_.cd.tracks[static_cast<size_t>(row)].status.load();
        if (status >= 0 && status <= studio::kStatusRead)
            console_.Progress(Label(row), mp3_ ? status / 2 : status);
    }
    void PostRunEnded() override {}
    void StartEncodeTimer() override {
        StopEncodeTimer();
        const int row = session_.ripper.currentRow.load();
        stop_ = false;
        timer_ = std::thread([this, row] {
            std::unique_lock lock(mutex_);
            while (
                !wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stop_; })) {
                if (platform::InterruptCatcher::Caught()) Stop();
                ShowEncode(row);
            }
        });
    }
    void StopEncodeTimer() override {
        if (!timer_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        timer_.join();
        ShowEncode(session_.ripper.currentRow.load());
    }
    int Confirm(const std::string& text) override {
        // "Error at frame N\nASPIlib error A, ASPI error B\nDo you ...?" -> its first two lines.
        QStringList lines = QString::fromStdString(text).split('\n');
        const int row = session_.ripper.currentRow.load();
        if (!readErrors_.count(row)) readErrors_[row] = lines.mid(0, 2).join(", ");
        return studio::kConfirmNo;
    }

    QString ReadError(int row) const {
        const auto it = readErrors_.find(row);
        return it == readErrors_.end() ? QString() : it->second;
    }
    // The track's file name, as its progress is labelled.
    QString Label(int row) const {
        const auto it = names_.find(row);
        return it == names_.end() ? QString() : it->second;
    }

    // What the window's Stop does: the reading ends before its next chunk, the encoder at once,
    // and the run keeps nothing of the track under way.
    void Stop() {
        studio::RipperState& state = session_.ripper;
        state.userStop.store(1);
        if (mp3_) session_.engine.CallSetCancelEncode(1);
        state.ripping.store(0);
    }

  private:
    void ShowEncode(int row) {
        const int percent = session_.engine.GetEncode2Mp3Percent();
        console_.Progress(Label(row), 50 + (percent > 97 ? 100 : percent) / 2);
    }

    studio::Session& session_;
    Console& console_;
    bool mp3_;
    std::map<int, QString> names_;
    std::map<int, QString> readErrors_;
    std::thread timer_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
};

// Looks the disc up and waits for the answer in a local event loop; Ctrl+C abandons it.
std::optional<studio::LookupResult> LookUp(const studio::CdDrive& drive) {
    studio::DiscLookup lookup(studio::LoadLookupSettings(SettingsFileName()));
    std::optional<studio::LookupResult> result;
    QEventLoop loop;
    QObject::connect(&lookup, &studio::DiscLookup::Finished, &loop,
                     [&](const studio::LookupResult& r) {
                         result = r;
                         loop.quit();
                     });
    QTimer interrupted;
    QObject::connect(&interrupted, &QTimer::timeout, &loop, [&] {
        if (platform::InterruptCatcher::Caught()) loop.quit();
    });
    interrupted.start(50);
    lookup.Start(studio::DiscTocFrom(drive.toc, drive.identity));
    if (!result) loop.exec();
    lookup.Cancel();
    return result;
}

int RunRip(const QStringList& args, Console& console) {
    QCommandLineParser parser;
    const QCommandLineOption driveOption(
        "drive", "The drive to read: its number in 'vexmor drives' or its letter (default 0).", "N",
        "0");
    const QCommandLineOption tracksOption(
        "tracks", "The tracks to rip, by number: 1,3-5 (default: every audio track).", "LIST");
    const QCommandLineOption wavOption("wav", "Keep the tracks as WAV files instead of MP3.");
    const QCommandLineOption outOption({"o", "output"},
                                       "The folder for the files (made when "
                                       "missing).",
                                       "DIR");
    const QCommandLineOption noLookupOption(
        "no-lookup", "Do not look the disc up: the tags come from its CD-Text alone.");
    const QCommandLineOption releaseOption(
        "release", "When the look-up finds several releases, take the Nth (default 1).", "N");
    const QCommandLineOption namesOption(
        "names", "File names: 'number' (trackNN.mp3, the default) or 'title' (NN - Title.mp3).",
        "KIND", "number");
    parser.addOptions({driveOption, tracksOption, wavOption, outOption, noLookupOption,
                       releaseOption, namesOption});
    int status = kSuccess;
    if (!ParseArguments(parser, "rip",
                        "Rips tracks of an audio CD as the CD ripper does: each track is read "
                        "whole and encoded with the extreme preset into trackNN.mp3; with --wav "
                        "kept as trackNN.wav (44100 Hz, 16-bit stereo). A track that cannot be "
                        "read whole is reported and leaves no file.\n"
                        "The disc is first looked up on MusicBrainz, then gnudb (the services of "
                        "section METADATA of the studio's settings file, or $VEXMOR_MUSICBRAINZ_URL "
                        "and $VEXMOR_GNUDB_URL; answers are kept in ~/.cache/vexmor/metadata). The "
                        "releases found and the one taken are listed on standard error, and the "
                        "MP3s are tagged with its title, artist, album, album artist, track n/N, "
                        "year and MusicBrainz ids. Without an answer (or with --no-lookup) the "
                        "tags are the disc's CD-Text and the track number.",
                        args, console, &status))
        return status;
    if (!parser.positionalArguments().isEmpty())
        return console.UsageError("rip", "takes no files; the output folder goes after -o");
    if (!parser.isSet(outOption))
        return console.UsageError("rip", "the output folder (-o DIR) is missing");
    std::optional<std::set<int>> wanted;
    if (parser.isSet(tracksOption)) {
        wanted = ParseTrackList(parser.value(tracksOption));
        if (!wanted)
            return console.UsageError("rip",
                                      QString("--tracks %1: not a list of track numbers like 1,3-5")
                                          .arg(parser.value(tracksOption)));
    }
    const bool mp3 = !parser.isSet(wavOption);
    int releaseNumber = 1;
    if (parser.isSet(releaseOption)) {
        bool ok = false;
        releaseNumber = parser.value(releaseOption).toInt(&ok);
        if (!ok || releaseNumber < 1)
            return console.UsageError(
                "rip", QString("--release %1: not a release number (1, 2, ...)")
                           .arg(parser.value(releaseOption)));
        if (parser.isSet(noLookupOption))
            return console.UsageError("rip", "--release and --no-lookup exclude each other");
    }
    const QString names = parser.value(namesOption);
    if (names != "number" && names != "title")
        return console.UsageError("rip", QString("--names %1: 'number' or 'title'").arg(names));
    const studio::RipNaming naming =
        names == "title" ? studio::RipNaming::NumberAndTitle : studio::RipNaming::TrackNumber;

    // The command's session: the CD lists, the ripper's state and the codec engine.
    studio::Session session;
    if (mp3 && !session.BindCodecEngine()) {
        console.Error(QString::fromStdString(
                          platform::JoinPath(platform::SystemDirectory(), kCodecEngineFile)),
                      "the codec engine could not be loaded");
        return kSomeFailed;
    }
    const int drives = session.cd.EnumerateDrives();
    if (drives == 0) {
        console.Error({}, QString("no CD drive found, and no disc image (.cue, .toc, .nrg) in %1")
                              .arg(QString::fromStdString(disc_images::Folder())));
        return kSomeFailed;
    }
    const int index = ParseDrive(session.cd.drives, parser.value(driveOption));
    if (index < 0 || index >= drives) {
        console.Error("drive " + parser.value(driveOption),
                      "no such drive ('vexmor drives' lists them)");
        return kSomeFailed;
    }
    const QString driveName =
        QString::fromStdString(studio::DriveLabel(session.cd.drives[static_cast<size_t>(index)]));
    session.cd.currentDrive = index;
    if (!session.cd.RefreshTracks(index)) {
        const std::string problem = session.cd.DriveProblem(index);
        console.Error(driveName, problem.empty() ? QString("no audio CD in the drive")
                                                 : QString::fromStdString(problem));
        return kSomeFailed;
    }

    std::vector<CdTrack>& tracks = session.cd.tracks;
    std::set<int> onDisc;
    for (size_t row = 0; row < tracks.size(); ++row) {
        CdTrack& track = tracks[row];
        track.position = static_cast<int>(row);  // file names count rows, as the ripper's list
        track.ticked = track.audio() && (!wanted || wanted->count(track.number));
        onDisc.insert(track.number);
        if (wanted && wanted->count(track.number) && !track.audio()) {
            console.Error(driveName, QString("track %1 is a data track").arg(track.number));
            return kSomeFailed;
        }
    }
    for (int number : wanted.value_or(std::set<int>{})) {
        if (!onDisc.count(number)) {
            console.Error(driveName, QString("the disc has no track %1").arg(number));
            return kSomeFailed;
        }
    }
    if (std::none_of(tracks.begin(), tracks.end(), [](const CdTrack& t) { return t.ticked; })) {
        console.Error(driveName, "the disc holds no audio track");
        return kSomeFailed;
    }

    const platform::InterruptCatcher interrupt;
    const studio::CdDrive& drive = session.cd.drives[static_cast<size_t>(index)];
    studio::RipTitles titles;
    titles.Reset(studio::ReadCdText(drive, tracks), static_cast<int>(tracks.size()));
    if (!parser.isSet(noLookupOption)) {
        console.Note(studio::kLookingUpText);
        const std::optional<studio::LookupResult> result = LookUp(drive);
        if (!result) {
            console.Error(driveName, "stopped before it was done");
            return kSomeFailed;
        }
        const QString text = titles.TakeLookupResult(*result);
        console.Note(text + (result->fromCache ? " (kept from an earlier look-up)" : ""));
        const std::vector<std::string> lines = titles.ChoiceLines();
        if (releaseNumber > static_cast<int>(lines.size()) && parser.isSet(releaseOption)) {
            if (lines.empty()) {
                console.Note(QString("--release %1: no release was found").arg(releaseNumber));
            } else {
                return console.UsageError("rip", QString("--release %1: the look-up found %2")
                                                     .arg(releaseNumber)
                                                     .arg(lines.size() == 1
                                                              ? QString("1 release")
                                                              : QString("%1 releases")
                                                                    .arg(lines.size())));
            }
        }
        if (lines.size() > 1) {
            for (size_t i = 0; i < lines.size(); ++i)
                console.Note(QString("  %1) %2").arg(i + 1).arg(QString::fromStdString(lines[i])));
        }
        if (titles.Choose(releaseNumber - 1)) {
            console.Note("release: " +
                         QString::fromStdString(lines[static_cast<size_t>(releaseNumber - 1)]) +
                         (lines.size() > 1 && !parser.isSet(releaseOption)
                              ? "  (--release N takes another)"
                              : ""));
        }
    }

    const std::string folder = QFileInfo(parser.value(outOption)).absoluteFilePath().toStdString();
    if ((!platform::IsDirectory(folder) && !CreateFolderWithParents(folder)) ||
        !platform::IsWritable(folder)) {
        console.Error(QString::fromStdString(folder), "the folder cannot be made or written to");
        return kSomeFailed;
    }

    studio::RipperState& state = session.ripper;
    state.mode = mp3 ? studio::RipMode::CdToMp3 : studio::RipMode::CdToWav;
    state.outputFolder = platform::WithTrailingSeparator(folder);
    state.keepFailedTracks = false;
    state.userStop.store(0);
    state.ripping.store(1);
    state.finished.store(0);
    session.CopyRipperOptionsToWorkingCopy();
    if (mp3) session.engine.CallSetCancelEncode(0);
    const studio::RipPlan plan =
        studio::MakeRipPlan(drive, state.mode, state.outputFolder, tracks, titles, naming);
    TerminalRip window(session, console, mp3, plan);
    if (!platform::InterruptCatcher::Caught()) studio::RipRun(session, window, plan);
    window.StopEncodeTimer();
    state.ripping.store(0);
    if (mp3) platform::RemoveFile(studio::RipWavPath(state.mode));

    int failed = 0;
    for (const studio::RipItem& item : plan.items) {
        const CdTrack& track = tracks[static_cast<size_t>(item.row)];
        const std::string path = platform::JoinPath(folder, item.fileName);
        const QString name = QString::fromStdString(path);
        if (track.status.load() == studio::kStatusRead && platform::IsRegularFile(path)) {
            console.Out(name);
            continue;
        }
        ++failed;
        QString reason = window.ReadError(track.position);
        if (reason.isEmpty() && platform::InterruptCatcher::Caught())
            reason = "stopped before it was done";
        else if (reason.isEmpty())
            reason = mp3 ? "the track could not be encoded" : "the file could not be written";
        console.Error(name, QString("track %1: %2").arg(track.number).arg(reason));
    }
    return failed == 0 ? kSuccess : kSomeFailed;
}

const CommandRegistration reg{{"rip", "rip audio CD tracks to MP3 or WAV files", &RunRip}};

}  // namespace
}  // namespace cli
