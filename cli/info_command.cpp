// vexmor info FILE...: what the MP3 information library says of each file, the library the
// track lists ask: kind, MPEG version and layer, rate, channels, bit rate and exact length, one
// line a file, or a JSON array with --json. The other music files the studio opens (FLAC, Ogg
// Vorbis, Opus, M4A/AAC, WMA, and WAVs that library does not read) are described by FFmpeg's
// libraries.
#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <optional>

#include "cli/command.h"
#include "cli/console.h"
#include "cli/time_text.h"
#include "components/mp3_info/mp3_info.h"
#include "media/audio_decoder.h"
#include "platform/paths.h"
#include "platform/program_arguments.h"

namespace cli {
namespace {

const char* const kLengthSources[] = {"frames", "xing", "vbri", "wav"};

QString VersionText(int32_t version) { return version == 25 ? "2.5" : QString::number(version); }

QString KindText(const MPEGINFOS& info) {
    if (info.kind == kStreamKindWave)
        return info.waveSamples == kWaveSamplesFloat ? "WAV float" : "WAV PCM";
    static const char* const kLayers[] = {"", "I", "II", "III"};
    const int layer = info.layer >= 1 && info.layer <= 3 ? info.layer : 0;
    return QString("MPEG-%1 Layer %2").arg(VersionText(info.version), kLayers[layer]);
}

QString ChannelsText(int32_t channels) {
    if (channels == 1) return "mono";
    if (channels == 2) return "stereo";
    return QString("%1 channels").arg(channels);
}

// What a file holds: the MP3 information library's record, or FFmpeg's for other music.
struct Description {
    MPEGINFOS info{};
    std::optional<media::AudioInfo> other;
};

// Describes `path` in `info`; an empty answer, or the reason it cannot.
QString DescribeMpeg(const QString& path, MPEGINFOS& info) {
    const QByteArray bytes = QByteArray::fromStdString(platform::ArgumentBytes(path));
    struct stat st {};
    if (::stat(bytes.constData(), &st) != 0) return QString::fromLocal8Bit(std::strerror(errno));
    // A pipe or a device has no length to tell and might never end.
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    std::memset(&info, 0, sizeof info);
    info.filled = kInfoNotFilled;
    QByteArray mutablePath = bytes;
    CPlay play;
    if (!play.GetInfo(mutablePath.data(), &info) || info.filled == kInfoNotFilled)
        return st.st_size == 0 ? "the file is empty" : "not an MPEG audio or WAV file";
    return {};
}

QString Describe(const QString& path, Description& description) {
    const std::string bytes = platform::ArgumentBytes(path);
    const bool wav = platform::LowerTail(bytes, 4) == ".wav";
    if (!media::IsDecodedFileName(bytes) || wav) {
        const QString reason = DescribeMpeg(path, description.info);
        // A WAV of a kind the MPEG library does not read (24-bit, float) is asked of FFmpeg.
        if (reason.isEmpty() || !wav || reason == "not a regular file") return reason;
    }
    std::string why;
    description.other = media::ProbeAudio(bytes, why);
    return description.other ? QString() : QString::fromStdString(why);
}

QString OtherLine(const QString& path, const media::AudioInfo& info) {
    return QString("%1: %2, %3 Hz, %4, %5 kbit/s, %6")
        .arg(path, QString::fromStdString(info.format))
        .arg(info.sampleRate)
        .arg(ChannelsText(info.channels))
        .arg((info.bitRate + 500) / 1000)
        .arg(FormatTimeText(info.milliseconds));
}

QJsonObject OtherJson(const QString& path, const media::AudioInfo& info) {
    QJsonObject o;
    o["file"] = path;
    o["kind"] = "other";
    o["format"] = QString::fromStdString(info.format);
    o["version"] = QJsonValue::Null;
    o["layer"] = QJsonValue::Null;
    o["sampleRate"] = info.sampleRate;
    o["channels"] = info.channels;
    o["bitrateKbps"] = static_cast<qint64>((info.bitRate + 500) / 1000);
    o["vbr"] = QJsonValue::Null;
    o["milliseconds"] = static_cast<qint64>(info.milliseconds);
    o["length"] = FormatTimeText(info.milliseconds);
    return o;
}

QString Line(const QString& path, const MPEGINFOS& info) {
    return QString("%1: %2, %3 Hz, %4, %5 kbit/s%6, %7")
        .arg(path, KindText(info))
        .arg(info.sampleRate)
        .arg(ChannelsText(info.channels))
        .arg(info.bitrateKbps)
        .arg(info.vbr ? " VBR" : "")
        .arg(FormatTimeText(info.milliseconds));
}

QJsonObject JsonOf(const QString& path, const MPEGINFOS& info) {
    QJsonObject o;
    o["file"] = path;
    o["kind"] = info.kind == kStreamKindWave ? "wav" : "mpeg";
    o["format"] = KindText(info);
    if (info.kind == kStreamKindWave) {
        o["version"] = QJsonValue::Null;
        o["layer"] = QJsonValue::Null;
    } else {
        o["version"] = VersionText(info.version);
        o["layer"] = info.layer;
    }
    o["sampleRate"] = info.sampleRate;
    o["channels"] = info.channels;
    o["bitrateKbps"] = info.bitrateKbps;
    o["vbr"] = info.vbr != 0;
    o["milliseconds"] = info.milliseconds;
    o["length"] = FormatTimeText(info.milliseconds);
    if (info.kind != kStreamKindWave) o["frames"] = info.frames;
    if (info.lengthSource >= 0 && info.lengthSource <= 3)
        o["lengthFrom"] = kLengthSources[info.lengthSource];
    return o;
}

int RunInfo(const QStringList& args, Console& console) {
    QCommandLineParser parser;
    const QCommandLineOption json("json", "Print a JSON array, one object per file.");
    parser.addOption(json);
    parser.addPositionalArgument(
        "FILE", "MP3 (or other MPEG audio), WAV, FLAC, Ogg Vorbis, Opus, M4A/AAC and WMA files.",
        "FILE...");
    int status = kSuccess;
    if (!ParseArguments(parser, "info",
                        "Describes each file: kind, MPEG version and layer, sample rate, "
                        "channels, bit rate and exact length.\nFailed files are named on "
                        "standard error (and carry an \"error\" in the JSON); the exit status "
                        "is then 1.",
                        args, console, &status))
        return status;
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) return console.UsageError("info", "no file given");

    QJsonArray array;
    int failed = 0;
    for (const QString& file : files) {
        Description description;
        const MPEGINFOS& info = description.info;
        const QString reason = Describe(file, description);
        if (!reason.isEmpty()) {
            ++failed;
            console.Error(file, reason);
            if (parser.isSet(json)) array.append(QJsonObject{{"file", file}, {"error", reason}});
            continue;
        }
        if (description.other) {
            if (parser.isSet(json)) {
                array.append(OtherJson(file, *description.other));
            } else {
                console.Out(OtherLine(file, *description.other));
            }
        } else if (parser.isSet(json)) {
            array.append(JsonOf(file, info));
        } else {
            console.Out(Line(file, info));
        }
    }
    if (parser.isSet(json))
        console.Out(
            QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
    return failed ? kSomeFailed : kSuccess;
}

const CommandRegistration reg{
    {"info", "describe MP3, WAV and other music files (kind, rate, length)", &RunInfo}};

}  // namespace
}  // namespace cli
