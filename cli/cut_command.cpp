// vexmor cut IN --from T --to T [--fade-in S] [--fade-out S] [--snap] [--normalise] -o OUT:
// a part of a song saved as a ringtone the way the studio saves its selection. An MP3 is
// decoded by the codec engine as "Open mp3" does, other music files (FLAC, Ogg Vorbis, Opus,
// M4A/AAC, WMA, WAVs that are not 16-bit) through FFmpeg's libraries; MP3 and phone ringtones
// carry the song's title and artist; the part is cut and shaped by the studio's
// one cut (CutShapedSelection) and leaves as OUT's extension asks: WAV as cut, MP3 through the
// codec engine with the settings file's options (or --bitrate, --mono, --rate), MMF through
// the MMF tool, M4R, OGG and Opus through the phone ringtone encoder. OUT appears complete or
// not at all.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFileInfo>
#include <QProcess>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>

#include "cli/command.h"
#include "cli/console.h"
#include "cli/console_ui.h"
#include "cli/engine_run.h"
#include "cli/time_text.h"
#include "media/audio_decoder.h"
#include "media/tags.h"
#include "platform/folders.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "platform/program_arguments.h"
#include "platform/replace_file.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/phone_ringtone.h"
#include "studio/ringtone_save.h"
#include "studio/ringtone_shaping.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/wav.h"

namespace cli {
namespace {

enum class OutKind { Wav, Mp3, Mmf, Phone };

// The format and the length of the sample data of a PCM WAV; nullopt when it is none.
struct WavShape {
    WaveFormat format;
    int64_t dataBytes = 0;
    int64_t Milliseconds() const {
        return format.bytesPerSecond ? dataBytes * 1000 / format.bytesPerSecond : 0;
    }
};

std::optional<WavShape> ReadWavShape(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const media::WavInfo info = media::ReadWav(in, kStudioWavRules);
    if (!info.ok()) return std::nullopt;
    WavShape shape;
    shape.format = info.format;
    if (shape.format.formatTag != 1 || shape.format.blockAlign == 0 ||
        shape.format.sampleRate == 0)
        return std::nullopt;
    shape.dataBytes = info.wholeFrameBytes();
    return shape;
}

// What stops the scratch folder taking a file: it is full (or nearly), or it cannot be written.
QString ScratchTrouble(const std::string& scratch) {
    struct statvfs fs {};
    const QString folder = QString::fromStdString(scratch);
    if (::statvfs(scratch.c_str(), &fs) == 0 &&
        static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize < (1u << 20))
        return QString("the scratch folder %1 is full").arg(folder);
    return QString("the scratch folder %1 cannot be written").arg(folder);
}

struct RemoveOnExit {
    std::string path;
    ~RemoveOnExit() {
        if (!path.empty()) platform::RemoveFile(path);
    }
};

// The options of `cut` that shape the MP3: the settings file's, then the command line's.
struct Mp3Choices {
    std::optional<int> bitrate;
    bool mono = false;
    std::optional<int> rate;
};

StudioSettings Mp3Settings(const Mp3Choices& choices) {
    StudioSettings settings;
    settings.SetDefaults();
    settings.Load(SettingsFileName());
    if (choices.bitrate) {
        // A fixed bit rate is the settings' "cbr" preset, without VBR.
        settings.preset = 17;
        settings.vbrEnabled = 0;
        settings.bitrate = *choices.bitrate;
    }
    if (choices.mono) settings.channelMode = 2;
    if (choices.rate) settings.resampleRate = *choices.rate;
    return settings;
}

class Cut {
  public:
    // `target`: the file OUT names (the file a link at OUT points at).
    Cut(Console& console, QString in, QString out, std::string target)
        : console_(console), in_(in), out_(out), target_(std::move(target)) {}

    // Each step reports its own failure and answers false.
    bool PrepareSource(const std::string& scratch);
    // `scratch`: the scratch folder when `target` lies in it (its trouble is then the reason of a
    // failed write), empty when `target` is the ringtone itself.
    bool MakePart(int64_t fromMs, std::optional<int64_t> toMs, bool snap,
                  const studio::RingtoneShaping& shaping, const std::string& target,
                  const std::string& scratch = {});
    bool EncodeMp3(const std::string& part, const StudioSettings& settings);
    bool MakeMmf(const std::string& part);
    bool EncodePhone(const std::string& part, studio::PhoneFormat format);

    const std::string& sourceWav() const { return sourceWav_; }
    // The source's tags; its title and artist travel into MP3 and phone ringtones.
    const media::SongTags& tags() const { return tags_; }

  private:
    bool Fail(const QString& file, const QString& reason) {
        console_.Error(file, reason);
        return false;
    }

    Console& console_;
    QString in_;
    QString out_;
    std::string target_;
    std::string sourceWav_;
    media::SongTags tags_;
    // The command's own session: its codec engine.
    studio::Session session_;
};

bool Cut::PrepareSource(const std::string& scratch) {
    const std::string in = platform::ArgumentBytes(in_);
    struct stat st {};
    if (::stat(in.c_str(), &st) != 0) return Fail(in_, "no such file");
    if (!S_ISREG(st.st_mode)) return Fail(in_, "not a regular file");
    tags_ = media::ReadTags(in).value_or(media::SongTags{});
    const bool wav = media::LooksLikeWav(in);
    if (wav) {
        const std::optional<WavShape> shape = ReadWavShape(in);
        if (shape && shape->format.bitsPerSample == 16) {
            sourceWav_ = in;
            return true;
        }
    }
    sourceWav_ = platform::JoinPath(scratch, "song.wav");
    // Other music files (and WAVs of other sample kinds) come in as "Open mp3" takes them:
    // decoded through FFmpeg's libraries into a 16-bit WAV.
    if (wav || media::IsDecodedFileName(in)) {
        media::AudioDecoder decoder;
        const bool decoded = RunWithProgress(
                                 console_, "Decoding " + QFileInfo(in_).fileName(),
                                 [&] { return decoder.DecodeToWav(in, sourceWav_) ? 0 : 1; },
                                 [&] {
                                     if (platform::InterruptCatcher::Caught()) decoder.Cancel();
                                     return static_cast<int>(decoder.percent());
                                 }) == 0;
        if (decoded) return true;
        if (decoder.cancelled()) return Fail(in_, "stopped");
        if (!platform::IsWritable(scratch)) return Fail(in_, ScratchTrouble(scratch));
        return Fail(in_, QString::fromStdString(decoder.error()));
    }
    if (!BindEngine(session_, console_, in_)) return false;
    // The decode of "Open mp3": the engine's MP3 to WAV conversion.
    EncoderArgs args;
    args.AllocateSlots();
    args.SetSlot(1, "--decode");
    args.SetSlot(2, kPlaceholderMp3);
    args.SetSlot(3, kPlaceholderTmpWav);
    args.count = 4;
    const VxMymp3Fn mymp3 = session_.engine.LookUpMymp3();
    // Ctrl+C stops the decode at once, as it stops an encode.
    const VxSetCancelDecodeFn setCancelDecode = session_.engine.LookUpSetCancelDecode();
    if (setCancelDecode) setCancelDecode(0);
    session_.engine.CallSetNoBad();
    const int result = RunWithProgress(
        console_, "Decoding " + QFileInfo(in_).fileName(),
        [&] { return mymp3 ? mymp3(args.count, args.slot, in.c_str(), sourceWav_.c_str()) : -1; },
        [&] {
            if (platform::InterruptCatcher::Caught() && setCancelDecode) setCancelDecode(1);
            return static_cast<int>(session_.engine.GetDecode2WavPercent());
        });
    if (setCancelDecode) setCancelDecode(0);
    if (result == 0) return true;
    if (result == 2) return Fail(in_, "not an MP3 or WAV file");
    if (result == 3) return Fail(in_, ScratchTrouble(scratch));
    return Fail(in_, EngineResultText(session_.engine, result));
}

bool Cut::MakePart(int64_t fromMs, std::optional<int64_t> toMs, bool snap,
                   const studio::RingtoneShaping& shaping, const std::string& target,
                   const std::string& scratch) {
    const std::optional<WavShape> shape = ReadWavShape(sourceWav_);
    if (!shape) return Fail(in_, "not a PCM WAV file");
    const int64_t lengthMs = shape->Milliseconds();
    if (fromMs >= lengthMs)
        return Fail(in_, QString("--from %1 lies beyond the end of the song (%2)")
                             .arg(FormatTimeText(fromMs), FormatTimeText(lengthMs)));
    const int64_t endMs = std::min(toMs.value_or(lengthMs), lengthMs);
    if (toMs && *toMs > lengthMs)
        console_.Note(QString("Note: the song ends at %1; the part ends there.")
                          .arg(FormatTimeText(lengthMs)));
    // Milliseconds to sample frames to positions (16-bit values: byte 2p of the data).
    const WaveFormat& f = shape->format;
    const auto position = [&](int64_t ms) {
        const int64_t frame = ms * f.sampleRate / 1000;
        return static_cast<int32_t>(
            std::min<int64_t>(frame * f.blockAlign / 2, std::numeric_limits<int32_t>::max()));
    };
    studio::PositionRange range{position(fromMs), position(endMs)};
    if (snap) {
        if (const auto snapped = studio::SnapSelectionToZeroCrossings(sourceWav_, range))
            range = *snapped;
    }
    FixedSelection selection(range.start, range.end);
    CutResult cut;
    try {
        cut = studio::CutShapedSelection(target, selection, sourceWav_, shaping);
    } catch (const InvalidFileError&) {
        return Fail(in_, "not a PCM WAV file");
    }
    if (cut) return true;
    const std::string& message = cut.message;
    if (message == "Time is too short!")
        return Fail(in_, "the part is too short to save (Time is too short!)");
    if (!scratch.empty()) return Fail(out_, ScratchTrouble(scratch));
    return Fail(message.empty() ? in_ : out_,
                message.empty() ? "the part could not be cut (is the WAV complete?)"
                                : QString::fromStdString(message));
}

bool Cut::EncodeMp3(const std::string& part, const StudioSettings& settings) {
    if (!BindEngine(session_, console_, out_)) return false;
    EncoderArgs args;
    args.inputIsWav = 1;
    BuildEncoderArgs(args, settings);
    AddTitleAndArtist(args, tags_.title, tags_.artist);
    const VxMymp3Fn mymp3 = session_.engine.LookUpMymp3();
    session_.engine.CallSetCancelEncode(0);
    session_.engine.CallSetNoBad();
    const std::string& out = target_;
    const int result = RunWithProgress(
        console_, "Encoding " + QFileInfo(out_).fileName(),
        [&] { return mymp3 ? mymp3(args.count, args.slot, part.c_str(), out.c_str()) : -1; },
        [this] {
            if (platform::InterruptCatcher::Caught()) session_.engine.CallSetCancelEncode(1);
            return session_.engine.GetEncode2Mp3Percent();
        });
    session_.engine.CallSetCancelEncode(0);
    return result == 0 || Fail(out_, EngineResultText(session_.engine, result));
}

bool Cut::MakeMmf(const std::string& part) {
    // The MMF tool writes NAME.mmf beside NAME.wav, both in a folder of the scratch folder; the
    // ringtone (a few kB a second) is then written in place of the target.
    const std::string tool = platform::JoinPath(platform::SystemDirectory(), "wscma2u");
    if (::access(tool.c_str(), X_OK) != 0)
        return Fail(out_, QString("the MMF tool %1 is missing (reinstall the program)")
                              .arg(QString::fromStdString(tool)));
    console_.Progress("Making " + QFileInfo(out_).fileName(), 0);
    QProcess process;
    process.start(QString::fromStdString(tool), {QString::fromStdString(part)});
    while (!process.waitForFinished(100) && process.state() != QProcess::NotRunning) {
        if (platform::InterruptCatcher::Caught()) process.kill();
    }
    if (platform::InterruptCatcher::Caught()) return Fail(out_, "stopped");
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        const QString reason = said.section(": ", -1);
        return Fail(out_, "the MMF tool failed" + (reason.isEmpty() ? QString() : ": " + reason));
    }
    const std::string made = part.substr(0, part.size() - 4) + ".mmf";
    std::ifstream in(made, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    platform::RemoveFile(made);
    if (!in.good() && !in.eof()) return Fail(out_, "the MMF tool's ringtone cannot be read");
    if (!platform::WriteFileReplacing(target_, bytes))
        return Fail(out_, "cannot be written (folder not writable or disk full?)");
    console_.Progress("Making " + QFileInfo(out_).fileName(), 100);
    return true;
}

bool Cut::EncodePhone(const std::string& part, studio::PhoneFormat format) {
    CWave wave;
    try {
        wave.LoadFromFile(part);
    } catch (const InvalidFileError&) {
        return Fail(out_, "the cut part cannot be read");
    }
    const uint64_t m4rLimit = static_cast<uint64_t>(wave.format.sampleRate) *
                              studio::kM4rMaxSeconds * wave.format.blockAlign;
    if (format == studio::PhoneFormat::M4r && wave.samples.size() > m4rLimit)
        console_.Note(QString("Note: phones that take M4R ringtones play only their first %1 "
                              "seconds.")
                          .arg(studio::kM4rMaxSeconds));
    studio::PhoneRingtoneEncoder encoder;
    encoder.SetTitleAndArtist(tags_.title, tags_.artist);
    const QString what = "Encoding " + QFileInfo(out_).fileName();
    const bool ok = encoder.Encode(wave, format, target_, [&](int percent) {
        console_.Progress(what, percent);
        if (platform::InterruptCatcher::Caught()) encoder.Cancel();
    });
    if (platform::InterruptCatcher::Caught()) return Fail(out_, "stopped");
    if (!ok) return Fail(out_, QString::fromStdString(encoder.error()));
    console_.Progress(what, 100);
    return true;
}

std::optional<OutKind> KindOf(const QString& out) {
    const QString ext = QFileInfo(out).suffix().toLower();
    if (ext == "wav") return OutKind::Wav;
    if (ext == "mp3") return OutKind::Mp3;
    if (ext == "mmf") return OutKind::Mmf;
    if (studio::PhoneFormatForPath(platform::ArgumentBytes(out))) return OutKind::Phone;
    return std::nullopt;
}

// Seconds of a fade ("1.5"); nullopt for anything but a number from 0 to 60.
std::optional<int> FadeMs(const QString& text) {
    const std::optional<int64_t> ms = ParseTimeText(text);
    if (!ms || *ms > 60000) return std::nullopt;
    return static_cast<int>(*ms);
}

int RunCut(const QStringList& args, Console& console) {
    QCommandLineParser parser;
    const QCommandLineOption from("from", "Start of the part (1:23.5 or seconds; default 0).", "T");
    const QCommandLineOption to("to", "End of the part (default: the end of the song).", "T");
    const QCommandLineOption fadeIn("fade-in", "Fade in over S seconds.", "S");
    const QCommandLineOption fadeOut("fade-out", "Fade out over S seconds.", "S");
    const QCommandLineOption snap("snap", "Move both ends onto the nearest zero crossing.");
    const QCommandLineOption normalise("normalise", "Raise or lower the part's peak to -1 dBFS.");
    const QCommandLineOption output({"o", "output"},
                                    "The ringtone to write: .wav, .mp3, .mmf, .m4r, .ogg or "
                                    ".opus.",
                                    "OUT");
    const QCommandLineOption bitrate("bitrate", "MP3: a fixed bit rate in kbit/s (8 to 320).", "K");
    const QCommandLineOption mono("mono", "MP3: mono.");
    const QCommandLineOption rate("rate", "MP3: the sample rate in Hz (8000 to 48000).", "HZ");
    parser.addOptions({from, to, fadeIn, fadeOut, snap, normalise, output, bitrate, mono, rate});
    parser.addPositionalArgument(
        "IN", "The song: an MP3, WAV, FLAC, Ogg Vorbis, Opus, M4A/AAC or WMA file.");
    int status = kSuccess;
    if (!ParseArguments(parser, "cut",
                        "Cuts a part of a song into a ringtone, as the studio saves its "
                        "selection.\nMP3s take the MP3 settings of the studio's settings file "
                        "unless --bitrate, --mono or --rate say otherwise.",
                        args, console, &status))
        return status;

    const QStringList inputs = parser.positionalArguments();
    if (inputs.size() != 1) return console.UsageError("cut", "give exactly one song to cut");
    if (!parser.isSet(output)) return console.UsageError("cut", "-o OUT is missing");
    const QString out = parser.value(output);
    const std::optional<OutKind> kind = KindOf(out);
    if (!kind)
        return console.UsageError(
            "cut",
            QString("%1: the extension must be .wav, .mp3, .mmf, .m4r, .ogg or .opus").arg(out));
    const std::optional<int64_t> fromMs =
        ParseTimeText(parser.value(from).isEmpty() ? "0" : parser.value(from));
    if (!fromMs) return console.UsageError("cut", "--from: not a time: " + parser.value(from));
    std::optional<int64_t> toMs;
    if (parser.isSet(to)) {
        toMs = ParseTimeText(parser.value(to));
        if (!toMs) return console.UsageError("cut", "--to: not a time: " + parser.value(to));
        if (*toMs <= *fromMs) return console.UsageError("cut", "--to must lie after --from");
    }
    studio::RingtoneShaping shaping;
    for (const auto& [option, field] :
         {std::pair{&fadeIn, &shaping.fadeInMs}, std::pair{&fadeOut, &shaping.fadeOutMs}}) {
        if (!parser.isSet(*option)) continue;
        const std::optional<int> ms = FadeMs(parser.value(*option));
        if (!ms)
            return console.UsageError("cut",
                                      QString("--%1: not a number of seconds from 0 to 60: %2")
                                          .arg(option->names().first(), parser.value(*option)));
        *field = *ms;
    }
    shaping.normalise = parser.isSet(normalise);
    Mp3Choices choices;
    if (parser.isSet(bitrate) || parser.isSet(mono) || parser.isSet(rate)) {
        if (*kind != OutKind::Mp3)
            return console.UsageError("cut", "--bitrate, --mono and --rate are for MP3 output");
        if (parser.isSet(bitrate)) {
            choices.bitrate = ParseBitrate(parser.value(bitrate).toStdString());
            if (*choices.bitrate < 0)
                return console.UsageError(
                    "cut", "--bitrate: not an MP3 bit rate: " + parser.value(bitrate));
        }
        if (parser.isSet(rate)) {
            const std::string text = parser.value(rate).toStdString();
            choices.rate = ParseSampleRate(text);
            // The parser falls back to 44100 for any text it does not know.
            if (*choices.rate <= 0 || (*choices.rate == 44100 && text != "44100"))
                return console.UsageError("cut",
                                          "--rate: not an MP3 sample rate: " + parser.value(rate));
        }
        choices.mono = parser.isSet(mono);
    }
    // Names are the bytes they were given in (cli/main.cpp), so a name that is no UTF-8 works.
    const std::string outBytes = platform::ArgumentBytes(out);
    const std::string outFolder = platform::FolderOfFile(outBytes);
    if (!platform::IsDirectory(outFolder.empty() ? "." : outFolder))
        return console.Error(out, "the folder does not exist"), kSomeFailed;
    if (platform::IsDirectory(outBytes)) return console.Error(out, "is a folder"), kSomeFailed;

    InstallConsoleUi();
    const platform::InterruptCatcher interrupt;
    // A link at OUT is written through, as the settings file is: the file it points at is
    // replaced and the link stays.
    std::string target = platform::ArgumentBytes(out);
    {
        std::error_code ec;
        if (std::filesystem::is_symlink(target, ec)) {
            const std::filesystem::path resolved = std::filesystem::canonical(target, ec);
            if (!ec) target = resolved.string();
        }
    }
    // What killed runs left beside the target; this run's own scratch folder (removed at exit)
    // takes the place of those of ended runs.
    platform::RemoveEndedPartFiles(platform::FolderOfFile(target));
    const std::string scratch = platform::ScratchFolder();
    // A command line asks nothing: a file at OUT is replaced, and the result line says so.
    struct stat before {};
    const bool replacing = ::lstat(target.c_str(), &before) == 0;
    Cut cut(console, inputs.first(), out, target);
    if (!cut.PrepareSource(scratch)) return kSomeFailed;
    if (platform::InterruptCatcher::Caught()) return console.Error(out, "stopped"), kSomeFailed;
    // The uncompressed part waits in the scratch folder, not beside the ringtone (a phone's card
    // may have room for the ringtone alone).
    const std::string part = platform::JoinPath(scratch, "part.wav");
    const RemoveOnExit partGoes{part};
    bool ok = false;
    switch (*kind) {
        case OutKind::Wav:
            ok = cut.MakePart(*fromMs, toMs, parser.isSet(snap), shaping, target);
            break;
        case OutKind::Mp3:
            ok = cut.MakePart(*fromMs, toMs, parser.isSet(snap), shaping, part, scratch) &&
                 cut.EncodeMp3(part, Mp3Settings(choices));
            break;
        case OutKind::Mmf: {
            // The MMF tool names its ringtone after the WAV it is given.
            const std::string folder = platform::JoinPath(scratch, "mmf");
            std::error_code ec;
            std::filesystem::create_directories(folder, ec);
            const std::string name = platform::AfterLastSeparator(outBytes);
            const std::string named =
                platform::JoinPath(folder, name.substr(0, name.rfind('.')) + ".wav");
            const RemoveOnExit namedGoes{named};
            ok = cut.MakePart(*fromMs, toMs, parser.isSet(snap), shaping, named, scratch) &&
                 cut.MakeMmf(named);
            break;
        }
        case OutKind::Phone:
            ok = cut.MakePart(*fromMs, toMs, parser.isSet(snap), shaping, part, scratch) &&
                 cut.EncodePhone(part, *studio::PhoneFormatForPath(target));
            break;
    }
    if (!ok) return kSomeFailed;
    console.Out(QString("%1: %2 bytes%3")
                    .arg(out)
                    .arg(platform::FileSize(target))
                    .arg(replacing ? " (replaced the file that was there)" : ""));
    return kSuccess;
}

const CommandRegistration reg{
    {"cut", "cut a part of a song into a WAV, MP3, MMF, M4R, OGG or Opus ringtone", &RunCut}};

}  // namespace
}  // namespace cli
