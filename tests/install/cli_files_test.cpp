// vexmor's file commands (info, cut, shrink) as installed: run from the prefix on generated
// songs, their files read back by ffprobe; bad usage ends with status 2 and bad files with 1, a
// message naming the file, and no file left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

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

std::string VexmorPath() { return std::string(std::getenv("VX_INSTALL_PREFIX")) + "/bin/vexmor"; }

// Runs `argv` with its arguments' exact bytes (QProcess would pass them through UTF-8);
// standard output and error come back as bytes too.
struct ByteResult {
    int status = -1;
    std::string out;
    std::string err;
};
ByteResult RunBytes(std::vector<std::string> argv, const std::string& scratch) {
    const std::string outFile = scratch + "/run.out", errFile = scratch + "/run.err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    ByteResult r;
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto read = [](const std::string& file) {
        const std::vector<uint8_t> bytes = testing_support::ReadFile(file);
        return std::string(bytes.begin(), bytes.end());
    };
    r.out = read(outFile);
    r.err = read(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return r;
}

// A process id that no process has any more: a child that has ended.
pid_t EndedProcessId() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

// vexmor started with standard error read; returns once `awaited` was written there.
class Started {
  public:
    Started(const QStringList& args, const QString& awaited) {
        process_.setReadChannel(QProcess::StandardError);
        process_.start(Q(VexmorPath()), args);
        while (!err_.contains(awaited) && process_.waitForReadyRead(60000))
            err_ += QString::fromLocal8Bit(process_.readAllStandardError());
    }
    bool Saw(const QString& text) const { return err_.contains(text); }
    void Signal(int signal) { ::kill(static_cast<pid_t>(process_.processId()), signal); }
    // The exit status, -1 when it crashed or did not end within a minute.
    int Wait() {
        if (!process_.waitForFinished(60000) || process_.exitStatus() != QProcess::NormalExit)
            return -1;
        err_ += QString::fromLocal8Bit(process_.readAllStandardError());
        return process_.exitCode();
    }
    const QString& err() const { return err_; }

  private:
    QProcess process_;
    QString err_;
};

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
        ASSERT_TRUE(testing_support::LameEncode(wav_, mp3_, {"-b", "128"}));
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

// A WAV of float samples is not called PCM, whether its format tag or its extensible sub-format
// says float; the JSON's kind stays "wav".
TEST_F(CliFiles, InfoNamesFloatWavsAsFloat) {
    for (const bool extensible : {false, true}) {
        SCOPED_TRACE(extensible ? "extensible" : "format tag 3");
        const std::string path = dir_.File(extensible ? "ext-float.wav" : "float.wav");
        testing_support::WriteFile(
            path, testing_support::MakeToneWav(
                      {.seconds = 2.0, .floatSamples = true, .extensible = extensible}));
        const Result text = Vexmor({"info", Q(path)});
        ASSERT_EQ(text.status, 0) << text.err.toStdString();
        EXPECT_EQ(text.out.trimmed(),
                  Q(path) + ": WAV float, 44100 Hz, stereo, 2822 kbit/s, 0:02.000");
        const Result json = Vexmor({"info", "--json", Q(path)});
        const QJsonArray array = QJsonDocument::fromJson(json.out.toUtf8()).array();
        ASSERT_EQ(array.size(), 1) << json.out.toStdString();
        EXPECT_EQ(array[0].toObject()["kind"].toString(), "wav");
        EXPECT_EQ(array[0].toObject()["format"].toString(), "WAV float");
        if (const auto probe = Probe(path)) {
            EXPECT_EQ(probe->codec, "pcm_f32le");
        }
    }
}

// vexmor info and cut take the songs the studio opens: FLAC, Ogg Vorbis, Opus, M4A and a float
// WAV, made by ffmpeg. A WAV part is exactly ffmpeg's decode of it; the ringtones carry the
// song's title and artist.
TEST_F(CliFiles, InfoAndCutTakeOtherMusicFiles) {
    if (!testing_support::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    struct Song {
        const char* name;
        QStringList codec;
        const char* format;  // the start of the info line's kind
        int rate;
    };
    const std::vector<Song> songs = {
        {"s.flac", {"-c:a", "flac"}, "FLAC", 44100},
        {"s.ogg", {"-c:a", "libvorbis"}, "Vorbis", 44100},
        {"s.opus", {"-c:a", "libopus"}, "Opus", 48000},
        {"s.m4a", {"-c:a", "aac"}, "AAC", 44100},
        // (The MPEG information library describes WAVs, float ones too.)
        {"float.wav", {"-c:a", "pcm_f32le"}, "WAV", 44100},
    };
    for (const Song& song : songs) {
        SCOPED_TRACE(song.name);
        const std::string path = dir_.File(song.name);
        std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-i", wav_};
        for (const QString& a : song.codec) argv.push_back(a.toStdString());
        argv.insert(argv.end(), {"-metadata", "title=Title " + std::string(song.name),
                                 "-metadata", "artist=Artist", path});
        ASSERT_EQ(testing_support::RunTool(argv).exitCode, 0);

        const Result info = Vexmor({"info", Q(path)});
        ASSERT_EQ(info.status, 0) << info.err.toStdString();
        EXPECT_TRUE(info.out.startsWith(Q(path) + ": " + song.format)) << info.out.toStdString();
        EXPECT_TRUE(info.out.contains(QString(", %1 Hz, stereo, ").arg(song.rate)))
            << info.out.toStdString();
        EXPECT_TRUE(info.out.trimmed().endsWith("0:06.000") || info.out.contains("0:06.0"))
            << info.out.toStdString();

        // From 1 s to 3 s: whole frames at the song's rate.
        const std::string part = out_ + "/part.wav";
        const Result cut = Vexmor({"cut", Q(path), "--from", "1", "--to", "3", "-o", Q(part)});
        ASSERT_EQ(cut.status, 0) << cut.err.toStdString();
        const std::string raw = dir_.File("peer.raw");
        ASSERT_EQ(testing_support::RunTool({"ffmpeg", "-v", "error", "-y", "-i", path, "-f",
                                            "s16le", "-acodec", "pcm_s16le", raw})
                      .exitCode,
                  0);
        const std::vector<uint8_t> peer = testing_support::ReadFile(raw);
        const std::vector<uint8_t> saved = testing_support::ReadFile(part);
        const size_t from = 4u * song.rate, to = 12u * song.rate;
        ASSERT_GE(peer.size(), to);
        ASSERT_EQ(saved.size(), to - from + 44);
        EXPECT_TRUE(std::equal(peer.begin() + from, peer.begin() + to, saved.begin() + 44));

        const std::string ogg = out_ + "/part.ogg";
        ASSERT_EQ(Vexmor({"cut", Q(path), "--to", "2", "-o", Q(ogg)}).status, 0);
        const auto tags = testing_support::ProbeTags(ogg);
        ASSERT_TRUE(tags);
        EXPECT_EQ(tags->count("title") ? tags->at("title") : "", "Title " + std::string(song.name));
        EXPECT_EQ(tags->count("artist") ? tags->at("artist") : "", "Artist");
        fs::remove(part);
        fs::remove(ogg);
    }
    // A song FFmpeg cannot read is named with the reason, in both commands.
    const std::string bad = dir_.File("bad.flac");
    testing_support::WriteFile(bad, std::vector<uint8_t>(3000, 'x'));
    const Result info = Vexmor({"info", Q(bad)});
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.err.trimmed(), "vexmor: " + Q(bad) + ": not a music file FFmpeg reads");
    const Result cut = Vexmor({"cut", Q(bad), "--to", "1", "-o", Q(out_ + "/x.wav")});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(cut.err.contains("vexmor: " + Q(bad) + ": not a music file FFmpeg reads"))
        << cut.err.toStdString();
    EXPECT_TRUE(Entries(out_).empty());
}

// The songs that are no MP3s are read by a module of the system directory, loaded on use: without
// it info and cut name it as the reason and leave no file, and MP3s are read as before.
TEST_F(CliFiles, WithoutTheDecoderModuleOtherSongsFailAndMp3sStillWork) {
    if (!testing_support::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    const std::string flac = dir_.File("s.flac");
    ASSERT_EQ(testing_support::RunTool({"ffmpeg", "-v", "error", "-y", "-i", wav_, "-c:a", "flac",
                                        flac})
                  .exitCode,
              0);
    const TempDir empty;
    const auto run = [&](const QStringList& args) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VEXMOR_SYSTEM_DIR", Q(empty.path()));
        process.setProcessEnvironment(env);
        process.start(Q(VexmorPath()), args);
        Result r;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return r;
        r.status = process.exitCode();
        r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(process.readAllStandardError());
        return r;
    };
    const QString reason = ": the decoder module vx_audio_decode.so is missing";
    const Result info = run({"info", Q(flac)});
    EXPECT_EQ(info.status, 1);
    EXPECT_EQ(info.err.trimmed(), "vexmor: " + Q(flac) + reason);
    const Result cut = run({"cut", Q(flac), "--to", "1", "-o", Q(out_ + "/x.wav")});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(cut.err.contains("vexmor: " + Q(flac) + reason)) << cut.err.toStdString();
    EXPECT_TRUE(Entries(out_).empty());
    const Result mp3 = run({"info", Q(mp3_)});
    EXPECT_EQ(mp3.status, 0) << mp3.err.toStdString();
    EXPECT_TRUE(mp3.out.startsWith(Q(mp3_) + ": MPEG-1 Layer III")) << mp3.out.toStdString();
    // The installed module is found again once the folder is the system directory.
    EXPECT_EQ(Vexmor({"info", Q(flac)}).status, 0);
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
    // the junk file by relative paths. Like the down-sizer's list, shrink takes what the MP3
    // information library takes, a WAV too (its output keeps the source's name).
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
    EXPECT_EQ(Entries(out_), (std::vector<std::string>{"song.mp3", "song_0.mp3", "tone.wav"}));
    for (const char* name : {"song.mp3", "song_0.mp3", "tone.wav"}) {
        const auto probe = Probe(out_ + "/" + name);
        ASSERT_TRUE(probe) << name;
        EXPECT_EQ(probe->codec, "mp3");
        EXPECT_EQ(probe->channels, 1);
        EXPECT_EQ(probe->sampleRate, 22050);
        EXPECT_NEAR(probe->duration, 6.0, 0.1);
    }
    EXPECT_EQ(r.out.trimmed().split('\n').size(), 3) << r.out.toStdString();
    EXPECT_TRUE(
        r.err.contains("1 of 4 files failed:\n  " + Q(dir_.path()) + "/junk.mp3: not an MP3 file"))
        << r.err.toStdString();

    EXPECT_EQ(Vexmor({"shrink", Q(mp3_)}).status, 2);
    EXPECT_EQ(Vexmor({"shrink", Q(mp3_), "-o", Q(out_), "-j", "0"}).status, 2);
    const Result noList = Vexmor({"shrink", "--playlist", Q(mp3_), "-o", Q(out_)});
    EXPECT_EQ(noList.status, 1);
    EXPECT_TRUE(noList.err.startsWith("vexmor: " + Q(mp3_) + ": not an M3U playlist"));
}

// A shrunk song keeps its tags: title, artist, album, the cover picture's bytes and the ID3v1
// tag, read back by ffprobe and ffmpeg.
TEST_F(CliFiles, ShrinkKeepsTheSongsTagsAndCover) {
    const auto song = testing_support::MakeTaggedMp3WithCover(dir_.path(), "tagged.mp3", 3.0);
    if (!song) GTEST_SKIP() << "ffmpeg is needed";
    const Result r = Vexmor({"shrink", Q(song->path), "-o", Q(out_)});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(Entries(out_), std::vector<std::string>{"tagged.mp3"});
    testing_support::ExpectTagsTravelled(out_ + "/tagged.mp3", *song, dir_.path());
    const auto probe = Probe(out_ + "/tagged.mp3");
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->sampleRate, 22050);
}

// The down-sizer window's list takes what the MP3 information library accepts, whatever the
// stream kind: an MPEG Layer II file and a WAV named .mp3 are shrunk like MP3s.
TEST_F(CliFiles, ShrinkTakesLayerTwoFilesAndWavsNamedMp3) {
    if (!testing_support::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    const std::string mp2 = dir_.File("layer2.mp3");
    ASSERT_EQ(testing_support::RunTool({"ffmpeg", "-v", "error", "-i", wav_, "-c:a", "mp2", "-b:a",
                                        "192k", "-f", "mp2", mp2})
                  .exitCode,
              0);
    ASSERT_EQ(Probe(mp2)->codec, "mp2");
    const std::string named = dir_.File("named.mp3");
    fs::copy_file(wav_, named);
    const Result r = Vexmor({"shrink", Q(mp2), Q(named), "-o", Q(out_), "-j", "1"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(Entries(out_), (std::vector<std::string>{"layer2.mp3", "named.mp3"}));
    for (const char* name : {"layer2.mp3", "named.mp3"}) {
        const auto probe = Probe(out_ + "/" + name);
        ASSERT_TRUE(probe) << name;
        EXPECT_EQ(probe->codec, "mp3") << name;
        EXPECT_NEAR(probe->duration, 6.0, 0.1) << name;
    }
}

// Two runs at once whose songs share a name, into one folder: each claims the name without
// replacing, so the second to finish takes the next free name of the down-sizer's rule and both
// results stay. What killed runs left (an unfinished output and a scratch folder of a process
// that has ended) is removed; what a running process writes is not.
TEST_F(CliFiles, ConcurrentShrinksNeverOverwriteEachOtherAndSweepWhatEndedRunsLeft) {
    for (const char* folder : {"a", "b"}) {
        fs::create_directory(dir_.File(folder));
        ASSERT_FALSE(testing_support::LameMp3(dir_, std::string(folder) + "/tune.mp3",
                                              {.seconds = 40.0}, {"-b", "128"})
                         .empty());
    }
    const std::string ended = std::to_string(EndedProcessId());
    const std::string leftover = out_ + "/.old.mp3.part-" + ended + "-a1B2c3";
    const std::string running = out_ + "/.new.mp3.part-" + std::to_string(::getpid()) + "-a1B2c3";
    testing_support::WriteFile(leftover, {1});
    testing_support::WriteFile(running, {1});
    const std::string stale = std::string(std::getenv("XDG_CACHE_HOME")) + "/ringsmith/" + ended;
    fs::create_directories(stale);
    testing_support::WriteFile(stale + "/.lock", {});
    testing_support::WriteFile(stale + "/vxtmp.wav", {1});

    QProcess first, second;
    first.start(Q(VexmorPath()), {"shrink", Q(dir_.File("a/tune.mp3")), "-o", Q(out_)});
    second.start(Q(VexmorPath()), {"shrink", Q(dir_.File("b/tune.mp3")), "-o", Q(out_)});
    ASSERT_TRUE(first.waitForFinished(120000));
    ASSERT_TRUE(second.waitForFinished(120000));
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    const QString said =
        QString::fromLocal8Bit(first.readAllStandardOutput() + second.readAllStandardOutput());
    EXPECT_TRUE(said.contains("-> " + Q(out_) + "/tune.mp3 ")) << said.toStdString();
    EXPECT_TRUE(said.contains("-> " + Q(out_) + "/tune_0.mp3 ")) << said.toStdString();
    EXPECT_EQ(Entries(out_),
              (std::vector<std::string>{".new.mp3.part-" + std::to_string(::getpid()) + "-a1B2c3",
                                        "tune.mp3", "tune_0.mp3"}));
    for (const char* name : {"tune.mp3", "tune_0.mp3"}) {
        const auto probe = Probe(out_ + "/" + name);
        ASSERT_TRUE(probe) << name;
        EXPECT_NEAR(probe->duration, 40.0, 0.1) << name;
    }
    EXPECT_FALSE(fs::exists(stale));
}

// Closing the terminal (SIGHUP) stops a shrink as Ctrl+C does: the encodes are cancelled and
// nothing is left in the folder, not even a hidden unfinished file.
TEST_F(CliFiles, HangUpStopsAShrinkAndLeavesNothing) {
    const std::string mp3 =
        testing_support::LameMp3(dir_, "long.mp3", {.seconds = 600.0}, {"-b", "64"});
    ASSERT_FALSE(mp3.empty());
    // Any progress past the start: the steps the engine reports depend on the machine's speed.
    const QString going = Q(mp3) + ": 0%\n" + Q(mp3) + ": ";
    Started run({"shrink", Q(mp3), "-o", Q(out_), "-j", "1"}, going);
    ASSERT_TRUE(run.Saw(going)) << run.err().toStdString();
    run.Signal(SIGHUP);
    EXPECT_EQ(run.Wait(), 1) << run.err().toStdString();
    EXPECT_TRUE(run.Saw(Q(mp3) + ": stopped")) << run.err().toStdString();
    // A worker that went on by itself would still write its file.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(Entries(out_).empty());
}

// Ctrl+C stops cut's decode and its MP3 encode at once and leaves no file; while the MP3 is
// encoded, the uncompressed part waits in the scratch folder, not beside the ringtone; the
// scratch folder is gone afterwards.
TEST_F(CliFiles, InterruptStopsCutsDecodeAndEncodeAtOnceAndLeavesNoFile) {
    const std::string wav = dir_.File("long.wav");
    testing_support::WriteFile(wav, testing_support::MakeToneWav({.seconds = 600.0}));
    const std::string mp3 = dir_.File("long.mp3");
    // At 44.1 kHz (lame would resample a 32 kbit/s stream to 16 kHz), so the decode lasts long
    // enough on an idle machine for the interrupt to land inside it.
    ASSERT_TRUE(testing_support::LameEncode(wav, mp3, {"-b", "32", "--resample", "44.1"}));
    const std::string scratchRoot = std::string(std::getenv("XDG_CACHE_HOME")) + "/ringsmith";
    const std::string target = out_ + "/ring.mp3";
    {
        // Once the decode has begun: a decode of this song takes well under a second on an idle
        // machine, so waiting for a later step could see it end first.
        const QString going = "Decoding long.mp3: 0%";
        Started run({"cut", Q(mp3), "-o", Q(target)}, going);
        ASSERT_TRUE(run.Saw(going)) << run.err().toStdString();
        run.Signal(SIGINT);
        EXPECT_EQ(run.Wait(), 1);
        EXPECT_TRUE(run.Saw(Q(mp3) + ": stopped")) << run.err().toStdString();
        // The decode ended there, not after the whole song.
        EXPECT_FALSE(run.Saw("Decoding long.mp3: 100%")) << run.err().toStdString();
    }
    EXPECT_TRUE(Entries(out_).empty());
    {
        const QString going = "Encoding ring.mp3: 0%\nEncoding ring.mp3: ";
        Started run({"cut", Q(wav), "--to", "9:00", "-o", Q(target)}, going);
        ASSERT_TRUE(run.Saw(going)) << run.err().toStdString();
        for (const std::string& name : Entries(out_))
            EXPECT_EQ(name.find(".wav"), std::string::npos) << name;
        bool partInScratch = false;
        for (const auto& entry : fs::recursive_directory_iterator(scratchRoot))
            partInScratch = partInScratch || entry.path().filename() == "part.wav";
        EXPECT_TRUE(partInScratch);
        run.Signal(SIGINT);
        EXPECT_EQ(run.Wait(), 1);
        EXPECT_TRUE(run.Saw(Q(target) + ": stopped")) << run.err().toStdString();
    }
    EXPECT_TRUE(Entries(out_).empty());
    for (const auto& entry : fs::directory_iterator(scratchRoot))
        EXPECT_TRUE(entry.path().filename().string().front() == '.') << entry.path();
}

// A scratch folder that takes no more is named as the cause, not the output's folder.
TEST_F(CliFiles, CutNamesTheScratchFolderWhenItTakesNoMore) {
    if (!testing_support::HaveTool("prlimit")) GTEST_SKIP() << "prlimit is needed";
    const std::string mp3 =
        testing_support::LameMp3(dir_, "long.mp3", {.seconds = 120.0}, {"-b", "32"});
    ASSERT_FALSE(mp3.empty());
    // Files may grow to 4 MB: the song's 20 MB of WAV do not fit. The signal that the limit
    // raises is ignored, so writing fails instead.
    const testing_support::ToolResult r =
        testing_support::RunTool({"sh", "-c", "trap '' XFSZ; exec prlimit --fsize=4000000 \"$@\"",
                                  "sh", VexmorPath(), "cut", mp3, "-o", out_ + "/ring.mp3"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find(mp3 + ": the scratch folder " +
                         std::string(std::getenv("XDG_CACHE_HOME")) + "/ringsmith/"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("output"), std::string::npos) << r.out;
    EXPECT_TRUE(Entries(out_).empty());
}

// cut asks nothing: a file at OUT is replaced and the result line says so; a link at OUT is
// written through and stays a link.
TEST_F(CliFiles, CutSaysWhenItReplacedAFileAndWritesThroughALink) {
    const std::string target = out_ + "/ring.mp3";
    const Result fresh = Vexmor({"cut", Q(wav_), "--to", "1", "-o", Q(target)});
    ASSERT_EQ(fresh.status, 0) << fresh.err.toStdString();
    EXPECT_FALSE(fresh.out.contains("replaced")) << fresh.out.toStdString();
    const Result again = Vexmor({"cut", Q(wav_), "--to", "2", "-o", Q(target)});
    ASSERT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.trimmed().endsWith("bytes (replaced the file that was there)"))
        << again.out.toStdString();
    EXPECT_NEAR(Probe(target)->duration, 2.0, 0.1);

    fs::create_directory(dir_.File("real"));
    for (const char* ext : {"mp3", "wav", "ogg", "mmf"}) {
        SCOPED_TRACE(ext);
        const std::string real = dir_.File(std::string("real/tone.") + ext);
        testing_support::WriteFile(real, {1});
        const std::string link = out_ + "/link." + ext;
        fs::create_symlink(real, link);
        const Result r = Vexmor({"cut", Q(wav_), "--to", "1", "-o", Q(link)});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_GT(fs::file_size(real), 100u);
        EXPECT_TRUE(Probe(real));
    }
    EXPECT_EQ(Entries(dir_.File("real")),
              (std::vector<std::string>{"tone.mmf", "tone.mp3", "tone.ogg", "tone.wav"}));
}

// ffprobe on a file whose name is no UTF-8 (the test's tools pass names through UTF-8).
std::optional<testing_support::ProbeInfo> ProbeBytes(const std::string& path,
                                                     const std::string& scratch) {
    const std::string link = scratch + "/probe-link";
    fs::remove(link);
    fs::create_symlink(path, link);
    return Probe(link);
}

// Names that are no UTF-8 are the bytes they were given in, as inputs and as outputs.
TEST_F(CliFiles, NamesThatAreNoUtf8KeepTheirBytes) {
    const std::string cafe = dir_.File("caf\xe9.mp3");
    fs::copy_file(mp3_, cafe);
    const std::string ring = out_ + "/r\xe9veil.mp3";
    const ByteResult cut =
        RunBytes({VexmorPath(), "cut", cafe, "--to", "1", "-o", ring}, dir_.path());
    EXPECT_EQ(cut.status, 0) << cut.err;
    EXPECT_EQ(cut.out.substr(0, ring.size() + 1), ring + ":") << cut.out;
    EXPECT_TRUE(ProbeBytes(ring, dir_.path()));
    const ByteResult shrink =
        RunBytes({VexmorPath(), "shrink", cafe, "-o", out_ + "/sm\xe4ll"}, dir_.path());
    EXPECT_EQ(shrink.status, 0) << shrink.err;
    EXPECT_NE(shrink.out.find("-> " + out_ + "/sm\xe4ll/caf\xe9.mp3"), std::string::npos)
        << shrink.out;
    EXPECT_TRUE(ProbeBytes(out_ + "/sm\xe4ll/caf\xe9.mp3", dir_.path()));
    const ByteResult info = RunBytes({VexmorPath(), "info", cafe}, dir_.path());
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out.substr(0, cafe.size() + 1), cafe + ":") << info.out;
    const ByteResult missing =
        RunBytes({VexmorPath(), "info", dir_.File("gone\xe9.mp3")}, dir_.path());
    EXPECT_NE(missing.err.find(dir_.File("gone\xe9.mp3")), std::string::npos) << missing.err;
}

}  // namespace
