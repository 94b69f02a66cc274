// vexmor's file commands (info, cut, shrink) as installed: run from the prefix on generated
// songs, their files read back by ffprobe; bad usage ends with status 2 and bad files with 1, a
// message naming the file, and no file left behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cstdlib>
#include <filesystem>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Probe;
using testing_support::TempDir;

struct Result {
    int status = -1;
    QString out;
    QString err;
};

Result Vexmor(const QStringList& args) {
    QProcess process;
    process.start(QString::fromLocal8Bit(std::getenv("VX_INSTALL_PREFIX")) + "/bin/vexmor", args);
    Result r;
    if (!process.waitForFinished(240000) || process.exitStatus() != QProcess::NormalExit) return r;
    r.status = process.exitCode();
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Names in `folder`, hidden ones too.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class CliFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing_support::HaveTool("lame") || !testing_support::HaveTool("ffprobe"))
            GTEST_SKIP() << "lame and ffprobe are needed";
        wav_ = dir_.File("tone.wav");
        testing_support::WriteFile(wav_, testing_support::MakeToneWav({.seconds = 6.0}));
        mp3_ = dir_.File("song.mp3");
        ASSERT_EQ(testing_support::RunTool({"lame", "--quiet", "-b", "128", wav_, mp3_}).exitCode,
                  0);
        junk_ = dir_.File("junk.mp3");
        testing_support::WriteFile(junk_, std::vector<uint8_t>(5000, 'x'));
        out_ = dir_.File("out");
        fs::create_directory(out_);
    }

    TempDir dir_;
    std::string wav_, mp3_, junk_, out_;
};

TEST_F(CliFiles, InfoDescribesEachFileAndNamesTheOnesItCannot) {
    const Result text = Vexmor({"info", Q(mp3_), Q(junk_), Q(wav_)});
    EXPECT_EQ(text.status, 1);
    const QStringList lines = text.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << text.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(Q(mp3_) + ": MPEG-1 Layer III, 44100 Hz, stereo, 128 kbit/s"))
        << lines[0].toStdString();
    EXPECT_EQ(lines[1], Q(wav_) + ": WAV PCM, 44100 Hz, stereo, 1411 kbit/s, 0:06.000");
    EXPECT_EQ(text.err.trimmed(), "vexmor: " + Q(junk_) + ": not an MPEG audio or WAV file");

    const Result json = Vexmor({"info", "--json", Q(mp3_), Q(dir_.File("missing.mp3"))});
    EXPECT_EQ(json.status, 1);
    const QJsonArray array = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(array.size(), 2) << json.out.toStdString();
    const QJsonObject song = array[0].toObject();
    EXPECT_EQ(song["version"].toString(), "1");
    EXPECT_EQ(song["layer"].toInt(), 3);
    EXPECT_EQ(song["channels"].toInt(), 2);
    EXPECT_EQ(song["lengthFrom"].toString(), "xing");
    // The exact length: the six seconds that were encoded, without the encoder's delay and
    // padding (which ffprobe counts in).
    EXPECT_EQ(song["milliseconds"].toInt(), 6000);
    EXPECT_NEAR(Probe(mp3_)->duration, 6.0, 0.06);
    EXPECT_EQ(array[1].toObject()["error"].toString(), "No such file or directory");

    EXPECT_EQ(Vexmor({"info"}).status, 2);
    EXPECT_EQ(Vexmor({"info", "--bogus", Q(mp3_)}).status, 2);
    const Result help = Vexmor({"info", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--json"));
}

TEST_F(CliFiles, CutWritesEveryRingtoneKindThatFfprobeReadsBack) {
    struct Case {
        const char* name;
        QStringList extra;
        const char* codec;
        int channels;
        int rate;
    };
    const std::vector<Case> cases = {
        {"part.wav", {"--fade-in", "0.5", "--normalise", "--snap"}, "pcm_s16le", 2, 44100},
        // The settings of a first start: mono at 22050 Hz, VBR.
        {"part.mp3", {}, "mp3", 1, 22050},
        {"fixed.mp3", {"--bitrate", "64", "--rate", "32000"}, "mp3", 1, 32000},
        {"part.m4r", {"--fade-out", "1"}, "aac", 2, 44100},
        {"part.ogg", {}, "vorbis", 2, 44100},
        {"part.opus", {}, "opus", 2, 48000},
        {"part.mmf", {}, "adpcm_yamaha", 1, 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = out_ + "/" + c.name;
        QStringList args{"cut", Q(mp3_), "--from", "0:01.5", "--to", "4", "-o", Q(target)};
        const Result r = Vexmor(args + c.extra);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.trimmed(),
                  QString("%1: %2 bytes").arg(Q(target)).arg(QFileInfo(Q(target)).size()));
        const auto probe = Probe(target);
        ASSERT_TRUE(probe);
        EXPECT_EQ(probe->codec, c.codec);
        EXPECT_EQ(probe->channels, c.channels);
        EXPECT_EQ(probe->sampleRate, c.rate);
        EXPECT_NEAR(probe->duration, 2.5, 0.1);
        if (QString(c.name) == "fixed.mp3") {
            EXPECT_NEAR(probe->bitRate, 64000, 2000);
        }
    }
    // MP3s follow the studio's settings file: stereo at the song's own rate, 128 kbit/s.
    const std::string settings = std::string(std::getenv("XDG_CONFIG_HOME")) + "/ringsmith";
    fs::create_directories(settings);
    const std::string ini = "[GENERAL]\nMP3channels=0\nMP3SAMPLE=-1\nMP3MPEG=17\nMP3bitrates=128\n";
    testing_support::WriteFile(settings + "/ringsmith.ini",
                               std::vector<uint8_t>(ini.begin(), ini.end()));
    const std::string stereo = out_ + "/stereo.mp3";
    ASSERT_EQ(Vexmor({"cut", Q(wav_), "--to", "2", "-o", Q(stereo)}).status, 0);
    const auto probe = Probe(stereo);
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->channels, 2);
    EXPECT_EQ(probe->sampleRate, 44100);
    EXPECT_NEAR(probe->bitRate, 128000, 2000);

    // Nothing else was left beside the ringtones.
    EXPECT_EQ(Entries(out_),
              (std::vector<std::string>{"fixed.mp3", "part.m4r", "part.mmf", "part.mp3", "part.ogg",
                                        "part.opus", "part.wav", "stereo.mp3"}));
}

TEST_F(CliFiles, CutRefusesBadUsageAndBadFilesWithoutLeavingAFile) {
    const QString target = Q(out_ + "/r.mp3");
    for (const QStringList& args : {
             QStringList{"cut", Q(mp3_), "--from", "1", "--to", "2"},                  // no -o
             QStringList{"cut", Q(mp3_), "--to", "2", "-o", Q(out_ + "/r.xyz")},       // kind
             QStringList{"cut", Q(mp3_), "--from", "3", "--to", "1:x", "-o", target},  // time
             QStringList{"cut", Q(mp3_), "--from", "3", "--to", "2", "-o", target},    // order
             QStringList{"cut", Q(mp3_), "--to", "2", "--bitrate", "64", "-o", Q(out_ + "/r.wav")},
             QStringList{"cut", Q(mp3_), "--to", "2", "--bitrate", "65", "-o", target},
         }) {
        const Result r = Vexmor(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Try 'vexmor cut --help'")) << r.err.toStdString();
    }
    struct Bad {
        QString in;
        QString from;
        QString out;
        QString message;
    };
    for (const Bad& bad : {
             Bad{Q(junk_), "0", target, Q(junk_) + ": not an MP3 or WAV file"},
             Bad{Q(dir_.File("none.mp3")), "0", target,
                 Q(dir_.File("none.mp3")) + ": no such file"},
             Bad{Q(mp3_), "0:09", Q(out_ + "/r.ogg"), Q(mp3_) + ": --from 0:09.000 lies beyond"},
             Bad{Q(wav_), "5.99", Q(out_ + "/r.mmf"), Q(wav_) + ": the part is too short"},
             Bad{Q(wav_), "1", Q(dir_.File("no/such/r.wav")),
                 Q(dir_.File("no/such/r.wav")) + ": the folder does not exist"},
         }) {
        const Result r = Vexmor({"cut", bad.in, "--from", bad.from, "-o", bad.out});
        EXPECT_EQ(r.status, 1) << bad.message.toStdString();
        EXPECT_TRUE(r.err.contains("vexmor: " + bad.message)) << r.err.toStdString();
    }
    EXPECT_TRUE(Entries(out_).empty());
}

TEST_F(CliFiles, ShrinkEncodesUnderTheDownsizersNamesAndSumsUpFailures) {
    // A second song of the same name in another folder gets "_0"; the playlist names both and
    // the junk file by relative paths. Like the down-sizer's list, shrink takes MP3s only.
    fs::create_directory(dir_.File("other"));
    fs::copy_file(mp3_, dir_.File("other/song.mp3"));
    const std::string playlist = dir_.File("list.m3u");
    testing_support::WriteFile(playlist, [] {
        const std::string text =
            "#EXTM3U\r\n#EXTINF:6,song\r\nsong.mp3\r\nother/song.mp3\r\njunk.mp3\r\n";
        return std::vector<uint8_t>(text.begin(), text.end());
    }());
    const Result r =
        Vexmor({"shrink", "--playlist", Q(playlist), Q(wav_), "-o", Q(out_), "-j", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Entries(out_), (std::vector<std::string>{"song.mp3", "song_0.mp3"}));
    for (const char* name : {"song.mp3", "song_0.mp3"}) {
        const auto probe = Probe(out_ + "/" + name);
        ASSERT_TRUE(probe) << name;
        EXPECT_EQ(probe->codec, "mp3");
        EXPECT_EQ(probe->channels, 1);
        EXPECT_EQ(probe->sampleRate, 22050);
        EXPECT_NEAR(probe->duration, 6.0, 0.1);
    }
    EXPECT_EQ(r.out.trimmed().split('\n').size(), 2) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("2 of 4 files failed:\n  " + Q(wav_) + ": not an MP3 file\n  " +
                               Q(dir_.path()) + "/junk.mp3: not an MP3 file"))
        << r.err.toStdString();

    EXPECT_EQ(Vexmor({"shrink", Q(mp3_)}).status, 2);
    EXPECT_EQ(Vexmor({"shrink", Q(mp3_), "-o", Q(out_), "-j", "0"}).status, 2);
    const Result noList = Vexmor({"shrink", "--playlist", Q(mp3_), "-o", Q(out_)});
    EXPECT_EQ(noList.status, 1);
    EXPECT_TRUE(noList.err.startsWith("vexmor: " + Q(mp3_) + ": not an M3U playlist"));
}

}  // namespace
