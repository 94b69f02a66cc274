// vexmor's disc commands as installed: drives and rip on a generated disc image, burn of
// generated MP3s into the disc image folder. What they write is read back by ffprobe, cd-info
// and cd-paranoia; bad usage and bad files give their exit status and message and leave no file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "tests/support/cd_images.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
namespace ts = testing_support;

using ts::CliRun;

// Runs the installed vexmor with the disc image folder `images`.
CliRun Vexmor(const std::string& images, const QStringList& args) {
    return ts::RunInstalledVexmor(args, {{"VEXMOR_DISC_IMAGES", images}});
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A disc of two audio tracks around a data track, with CD-Text.
ts::DiscImage TestDisc() {
    ts::DiscImage disc;
    disc.title = "Night Album";
    disc.performer = "The Band";
    disc.tracks = {{4 * 75 + 30, false, "First Song", "Singer"},
                   {600, true, "", ""},
                   {3 * 75, false, "Third Song", ""}};
    return disc;
}

// An MP3 made by lame from a tone; empty without lame.
std::string MakeMp3(const ts::TempDir& dir, const std::string& name, double seconds,
                    std::vector<std::string> lameArgs) {
    ts::ToneSpec spec;
    spec.seconds = seconds;
    spec.frequency = 300 + 20 * seconds;
    lameArgs.insert(lameArgs.begin(), "--noreplaygain");
    return ts::LameMp3(dir, name + ".mp3", spec, lameArgs);
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class CliDisc : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("VX_INSTALL_PREFIX"), nullptr);
        images_ = dir_.File("discs");
        fs::create_directories(images_);
    }
    CliRun Vexmor(const QStringList& args) { return ::Vexmor(images_, args); }
    QString Path(const std::string& name) { return QString::fromStdString(dir_.File(name)); }

    ts::TempDir dir_;
    std::string images_;
};

TEST_F(CliDisc, DrivesListsTheImageAndRipWritesTaggedMp3sAndExactWavs) {
    const std::string cue = ts::WriteDiscImage(images_, "night", TestDisc());
    const CliRun drives = Vexmor({"drives"});
    ASSERT_EQ(drives.exitCode, 0) << drives.err;
    EXPECT_TRUE(std::regex_search(
        drives.out,
        std::regex(R"(^0  D: Disc image night  \(3 tracks, 00:07, Night Album \(The Band\)\)\n)")))
        << drives.out;
    EXPECT_TRUE(Contains(drives.out, "    01  00:04  First Song (Singer)\n")) << drives.out;
    EXPECT_TRUE(Contains(drives.out, "    02  data track\n")) << drives.out;
    EXPECT_TRUE(Contains(drives.out, "    03  00:03  Third Song\n")) << drives.out;

    // Every audio track by default; the data track is passed over and keeps its number.
    const CliRun rip = Vexmor({"rip", "-o", Path("out/mp3")});
    ASSERT_EQ(rip.exitCode, 0) << rip.err;
    const std::string first = dir_.File("out/mp3/track01.mp3");
    const std::string third = dir_.File("out/mp3/track03.mp3");
    EXPECT_EQ(rip.out, first + "\n" + third + "\n");
    EXPECT_EQ(FilesIn(dir_.File("out/mp3")),
              (std::vector<std::string>{"track01.mp3", "track03.mp3"}));
    // Progress on standard error, as plain lines when it is no terminal.
    EXPECT_TRUE(Contains(rip.err, "track01.mp3: 0%\n")) << rip.err;
    EXPECT_TRUE(Contains(rip.err, "track03.mp3: 100%\n")) << rip.err;

    if (!ts::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    const auto tags = ts::ProbeTags(first);
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->at("title"), "First Song");
    EXPECT_EQ(tags->at("artist"), "Singer");
    EXPECT_EQ(tags->at("album"), "Night Album");
    EXPECT_EQ(tags->at("track"), "1/3");
    const auto thirdTags = ts::ProbeTags(third);
    ASSERT_TRUE(thirdTags);
    // No performer of its own: the disc's.
    EXPECT_EQ(thirdTags->at("artist"), "The Band");
    const auto probe = ts::Probe(first);
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->codec, "mp3");
    EXPECT_NEAR(probe->duration, 4.4, 0.06);

    // WAV: the frames exactly as the image holds them.
    const CliRun wav =
        Vexmor({"rip", "--drive", "D:", "--tracks", "3", "--wav", "-o", Path("out/wav")});
    ASSERT_EQ(wav.exitCode, 0) << wav.err;
    EXPECT_EQ(FilesIn(dir_.File("out/wav")), std::vector<std::string>{"track03.wav"});
    const std::vector<uint8_t> bytes = ts::ReadFile(dir_.File("out/wav/track03.wav"));
    const std::vector<int32_t> starts = ts::TrackStarts(TestDisc());
    const std::vector<uint8_t> frames = ts::ImageFrames(cue, starts[2], 3 * 75);
    ASSERT_EQ(bytes.size(), 44 + frames.size());
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), bytes.begin() + 44));
    const auto wavProbe = ts::Probe(dir_.File("out/wav/track03.wav"));
    ASSERT_TRUE(wavProbe);
    EXPECT_EQ(wavProbe->sampleRate, 44100);
    EXPECT_EQ(wavProbe->channels, 2);
    EXPECT_NEAR(wavProbe->duration, 3.0, 0.001);
}

TEST_F(CliDisc, RipOfAnUnreadableTrackLeavesNoFileAndFailsAfterTheOthers) {
    const std::string cue = ts::WriteDiscImage(images_, "scratched", TestDisc());
    ts::WriteBadFrames(cue, "100\n");
    for (const QString kind : {"--wav", "--quiet"}) {
        const std::string out = dir_.File(kind == "--wav" ? "wav" : "mp3");
        const CliRun rip = Vexmor({"rip", kind, "-o", QString::fromStdString(out)});
        EXPECT_EQ(rip.exitCode, 1) << rip.err;
        const std::string ext = kind == "--wav" ? "wav" : "mp3";
        EXPECT_TRUE(Contains(rip.err, "vexmor: " + out + "/track01." + ext +
                                          ": track 1: Error at frame 78, ASPIlib error"))
            << rip.err;
        // The other track is done; of the bad one nothing stays, no part nor scratch file.
        EXPECT_EQ(FilesIn(out), std::vector<std::string>{"track03." + ext});
        EXPECT_EQ(rip.out, out + "/track03." + ext + "\n");
    }
}

// TOC and NRG images are drives of the command line too, and an image that cannot be read says
// why in both commands.
TEST_F(CliDisc, DrivesAndRipReadTocAndNrgImagesAndNameABrokenOne) {
    const std::vector<uint8_t> one = ts::ToneFrames(150, 21), two = ts::ToneFrames(90, 22);
    ts::WriteFile(images_ + "/single.raw", one);
    WriteText(images_ + "/a-single.TOC", "CD_DA\nTRACK AUDIO\nDATAFILE \"single.raw\"\n");
    ts::WriteNrgImage(images_ + "/b-nero.nrg", {one, two}, {0, 0});
    WriteText(images_ + "/c-broken.cue",
              "FILE \"02.bin\" BINARY\n TRACK 01 AUDIO\n"
              "  INDEX 01 00:00:00\n");
    const CliRun drives = Vexmor({"drives"});
    ASSERT_EQ(drives.exitCode, 0) << drives.err;
    EXPECT_TRUE(Contains(drives.out, "0  D: Disc image a-single  (1 track, 00:02)\n"))
        << drives.out;
    EXPECT_TRUE(Contains(drives.out, "1  E: Disc image b-nero  (2 tracks, 00:03)\n")) << drives.out;
    EXPECT_TRUE(Contains(drives.out,
                         "2  F: Disc image c-broken  (disc image c-broken.cue: the "
                         "file 02.bin it names is missing)\n"))
        << drives.out;

    const CliRun rip = Vexmor({"rip", "--drive", "1", "--wav", "-o", Path("wav")});
    ASSERT_EQ(rip.exitCode, 0) << rip.err;
    const std::vector<uint8_t> first = ts::ReadFile(dir_.File("wav/track01.wav"));
    const std::vector<uint8_t> second = ts::ReadFile(dir_.File("wav/track02.wav"));
    ASSERT_GE(first.size(), 44u);
    ASSERT_GE(second.size(), 44u);
    EXPECT_TRUE(std::vector<uint8_t>(first.begin() + 44, first.end()) == one);
    EXPECT_TRUE(std::vector<uint8_t>(second.begin() + 44, second.end()) == two);

    const CliRun broken = Vexmor({"rip", "--drive", "F", "-o", Path("none")});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(Contains(broken.err,
                         "vexmor: F: Disc image c-broken: disc image c-broken.cue: "
                         "the file 02.bin it names is missing"))
        << broken.err;
    EXPECT_FALSE(fs::exists(dir_.File("none")));
}

TEST_F(CliDisc, RipRefusesBadUsageAndDiscsWithoutTheTracks) {
    ts::WriteDiscImage(images_, "night", TestDisc());
    struct Case {
        QStringList args;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"rip"}, 2, "vexmor rip: the output folder (-o DIR) is missing"},
        {{"rip", "--tracks", "1,x", "-o", Path("o")}, 2, "--tracks 1,x: not a list"},
        {{"rip", "--bogus", "-o", Path("o")}, 2, "Unknown option 'bogus'"},
        {{"rip", "--tracks", "7", "-o", Path("o")},
         1,
         "vexmor: D: Disc image night: the disc has no track 7"},
        {{"rip", "--tracks", "2", "-o", Path("o")}, 1, "track 2 is a data track"},
        {{"rip", "--drive", "5", "-o", Path("o")}, 1, "vexmor: drive 5: no such drive"},
    };
    for (const Case& c : cases) {
        const CliRun run = Vexmor(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
    }
    EXPECT_FALSE(fs::exists(dir_.File("o")));
    fs::remove(images_ + "/night.cue");
    const CliRun none = Vexmor({"rip", "-o", Path("o")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(Contains(none.err, "no CD drive found")) << none.err;
}

TEST_F(CliDisc, BurnWritesAnImageThatCdInfoAndCdParanoiaReadBack) {
    const std::string a =
        MakeMp3(dir_, "morning", 3.2, {"-b", "128", "--tt", "Morning", "--ta", "Quartet"});
    const std::string b = MakeMp3(dir_, "evening", 2.1, {"-b", "96"});
    if (b.empty()) GTEST_SKIP() << "lame is not installed";
    WriteText(dir_.File("project.vxl"), "Morning\r\n" + a + "\r\nEvening\r\n" + b + "\r\n");
    WriteText(dir_.File("project.m3u"), "#EXTM3U\n#EXTINF:3,Morning.mp3\n" + a + "\n" + b + "\n");

    // A test write runs the whole sequence and writes nothing.
    const CliRun test = Vexmor({"burn", Path("project.m3u"), "--test"});
    ASSERT_EQ(test.exitCode, 0) << test.err;
    EXPECT_TRUE(Contains(test.err, "Preparing to Write Disc....\n")) << test.err;
    EXPECT_TRUE(Contains(test.err, "Writing Track #02: 100%\n")) << test.err;
    EXPECT_TRUE(FilesIn(images_).empty());

    const CliRun burn = Vexmor({"burn", Path("project.vxl"), "--recorder", "0"});
    ASSERT_EQ(burn.exitCode, 0) << burn.err;
    EXPECT_TRUE(Contains(burn.err, "Recorder 0: Disc image: audio CD " + images_)) << burn.err;
    EXPECT_TRUE(Contains(burn.err, "Total time:00:05  Time left(74min):01:13:55  (80min):01:19:55"))
        << burn.err;
    EXPECT_TRUE(Contains(burn.err, "Write complete!\n")) << burn.err;
    const std::vector<std::string> written = FilesIn(images_);
    ASSERT_EQ(written.size(), 3u);  // x.bin, x.cue, x.toc
    const std::string cue = images_ + "/" + written[1];
    EXPECT_EQ(burn.out, cue + "\n");

    if (!ts::HaveTool("cd-info")) GTEST_SKIP() << "cd-info is not installed";
    const ts::ToolResult info = ts::RunTool({"cd-info", "--no-header", "--cue-file", cue});
    EXPECT_TRUE(Contains(info.out, "Morning")) << info.out;
    EXPECT_TRUE(Contains(info.out, "Quartet")) << info.out;
    // The second title is the project's, not the song's file name.
    EXPECT_TRUE(Contains(info.out, "Evening")) << info.out;
    EXPECT_TRUE(std::regex_search(info.out, std::regex(R"(\n\s*2: \d\d:\d\d:\d\d\s+\d+ audio)")))
        << info.out;
    if (!ts::HaveTool("cd-paranoia")) GTEST_SKIP() << "cd-paranoia is not installed";
    for (const auto& [track, seconds] : {std::pair{1, 3.2}, std::pair{2, 2.1}}) {
        const std::string raw = dir_.File("read.raw");
        const ts::ToolResult read =
            ts::RunTool({"cd-paranoia", "-d", cue, "-r", "-q", std::to_string(track), raw});
        ASSERT_EQ(read.exitCode, 0) << read.out;
        // Both songs are shorter than the 4 seconds an audio CD track lasts at least: each is
        // padded to exactly 300 sectors.
        EXPECT_LT(seconds, 4.0);
        EXPECT_EQ(fs::file_size(raw), 300u * 2352) << track;
    }

    // The image is a drive now, and its tracks rip.
    const CliRun drives = Vexmor({"drives"});
    EXPECT_TRUE(Contains(drives.out, "    01  00:04  Morning (Quartet)\n")) << drives.out;
}

TEST_F(CliDisc, BurnNamesTheFileAndReasonOfEachFailureAndWritesNothing) {
    const std::string good = MakeMp3(dir_, "good", 1.0, {"-b", "128"});
    // Ten seconds without a header frame, repeated into nine and a half minutes.
    const std::string piece =
        MakeMp3(dir_, "piece", 10.0, {"-t", "-b", "32", "-m", "m", "--resample", "22.05"});
    if (piece.empty()) GTEST_SKIP() << "lame is not installed";
    const std::vector<uint8_t> bytes = ts::ReadFile(piece);
    {
        std::ofstream out(dir_.File("long.mp3"), std::ios::binary);
        for (int i = 0; i < 57; ++i)
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    WriteText(dir_.File("notes.mp3"), std::string(5000, 'x'));
    std::string nine = "#EXTM3U\n";
    for (int i = 0; i < 9; ++i) nine += dir_.File("long.mp3") + "\n";
    WriteText(dir_.File("long.m3u"), nine);
    WriteText(dir_.File("missing.m3u"), "#EXTM3U\n" + good + "\n" + dir_.File("gone.mp3") + "\n");
    WriteText(dir_.File("bad.m3u"), "#EXTM3U\n" + good + "\n" + dir_.File("notes.mp3") + "\n");
    WriteText(dir_.File("plain.m3u"), good + "\n");
    // A named pipe is there, but no file to burn: opening it would wait for a writer.
    ASSERT_EQ(::mkfifo(dir_.File("pipe.mp3").c_str(), 0600), 0);
    WriteText(dir_.File("pipe.m3u"), "#EXTM3U\n" + good + "\n" + dir_.File("pipe.mp3") + "\n");
    WriteText(dir_.File("empty.vxl"), "");

    struct Case {
        QStringList args;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"burn"}, 2, "vexmor burn: takes one project file"},
        {{"burn", Path("project.txt")}, 2, "a project is an .m3u or .vxl file"},
        {{"burn", Path("missing.m3u"), "--speed", "fast"}, 2, "--speed fast: not a speed"},
        {{"burn", Path("missing.m3u")}, 1, "vexmor: " + dir_.File("gone.mp3") + ": no such file"},
        {{"burn", Path("pipe.m3u")},
         1,
         "vexmor: " + dir_.File("pipe.mp3") + ": not a regular file"},
        {{"burn", Path("bad.m3u")},
         1,
         "vexmor: " + dir_.File("notes.mp3") + ": not an MP3 file the CD writer can decode"},
        {{"burn", Path("plain.m3u")}, 1, "plain.m3u: not an M3U playlist"},
        {{"burn", Path("empty.vxl")}, 1, "empty.vxl: the project holds no tracks"},
        {{"burn", Path("nothing.vxl")}, 1, "nothing.vxl: the project file cannot be read"},
        {{"burn", Path("bad.m3u"), "--recorder", "7"}, 1, "vexmor: recorder 7: no such recorder"},
        {{"burn", Path("long.m3u")},
         1,
         "long.m3u: Error trying to write past the end of the media (the project lasts "
         "01:25:"},
    };
    for (const Case& c : cases) {
        const CliRun run = Vexmor(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        EXPECT_TRUE(FilesIn(images_).empty()) << c.args.join(' ').toStdString();
    }

    // Ctrl+C during a write of 66 minutes stops it as the dialog's Stop does: no image is left.
    std::string seven = "#EXTM3U\n";
    for (int i = 0; i < 7; ++i) seven += dir_.File("long.mp3") + "\n";
    WriteText(dir_.File("seven.m3u"), seven);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VEXMOR_DISC_IMAGES", QString::fromStdString(images_));
    process.setProcessEnvironment(env);
    process.setReadChannel(QProcess::StandardError);  // what waitForReadyRead waits for
    process.start(QString::fromLocal8Bit(std::getenv("VX_INSTALL_PREFIX")) + "/bin/vexmor",
                  {"burn", Path("seven.m3u")});
    std::string err;
    while (!Contains(err, "Writing Track #01") && process.waitForReadyRead(60000))
        err += process.readAllStandardError().toStdString();
    ASSERT_TRUE(Contains(err, "Writing Track #01")) << err;
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    err += process.readAllStandardError().toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1) << err;
    EXPECT_TRUE(Contains(err, "seven.m3u: Writing Cancelled!")) << err;
    EXPECT_TRUE(FilesIn(images_).empty());
}

}  // namespace
