// The installed tree on the desktop: the entries and AppStream descriptions validate, the .vxl
// file type is known, the icons are there at every size, and the installed programs started the
// way the desktop entries start them open their files. The programs run offscreen with
// VEXMOR_STATE_REPORT set: they answer message boxes for nobody, write what their window shows
// once the start has settled, keep a picture of the window and end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QXmlStreamReader>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "burner/project_files.h"
#include "platform/folders.h"
#include "tests/support/test_support.h"
#include "tests/uikit/track_list_fixtures.h"

extern char** environ;

namespace {

using testing_support::HaveTool;
using testing_support::RunTool;
using testing_support::TempDir;

const char* const kIds[] = {"org.example.vexmor.Ringsmith", "org.example.vexmor.Discsmith"};

std::string Prefix() {
    const char* prefix = std::getenv("VX_INSTALL_PREFIX");
    return prefix ? prefix : "";
}

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = testing_support::ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The value of `key=` in a desktop entry or report ("" when missing).
std::string Value(const std::string& text, const std::string& key) {
    for (const std::string& line : Lines(text)) {
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return {};
}

struct Ran {
    int status = -1;
    std::string out, err;
};

// Waits for the child `pid` to end, and kills it once `limit` has passed; false when it had to
// be killed. `status` is its wait status.
bool WaitOrKill(pid_t pid, std::chrono::milliseconds limit, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Starts `argv` byte for byte (names that are not UTF-8 included) in `folder` with `env` added
// to the environment, and waits for it to end (killed after two minutes).
Ran Start(const std::vector<std::string>& argv, const std::string& folder,
          const std::vector<std::string>& env = {}) {
    TempDir io;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStrings(env);
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, io.File("out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, io.File("err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    Ran run;
    const int started = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return run;
    int status = 0;
    WaitOrKill(pid, std::chrono::minutes(2), status);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadText(io.File("out"));
    run.err = ReadText(io.File("err"));
    return run;
}

// The desktop entry's command line for `file`, as a launcher makes it from Exec's "%f".
std::vector<std::string> EntryCommand(const char* id, const std::string& file) {
    const std::string entry = ReadText(Prefix() + "/share/applications/" + id + ".desktop");
    std::vector<std::string> argv;
    std::istringstream words(Value(entry, "Exec"));
    for (std::string word; words >> word;) argv.push_back(word == "%f" ? file : word);
    return argv;
}

TEST(DesktopIntegration, EntriesAndDescriptionsValidate) {
    ASSERT_FALSE(Prefix().empty());
    if (!HaveTool("desktop-file-validate") || !HaveTool("appstreamcli"))
        GTEST_SKIP() << "desktop-file-utils or appstream is not installed";
    for (const char* id : kIds) {
        const std::string entry = Prefix() + "/share/applications/" + id + ".desktop";
        const auto checked = RunTool({"desktop-file-validate", entry});
        EXPECT_EQ(checked.exitCode, 0) << checked.out;
        EXPECT_EQ(checked.out, "") << checked.out;
        const auto described = RunTool({"appstreamcli", "validate", "--no-net",
                                        Prefix() + "/share/metainfo/" + id + ".metainfo.xml"});
        EXPECT_EQ(described.exitCode, 0) << described.out;
    }
    // Each entry starts the program of this prefix and names the file types it is offered for.
    EXPECT_EQ(EntryCommand(kIds[0], "F"),
              (std::vector<std::string>{Prefix() + "/bin/ringsmith", "F"}));
    const std::string burner = ReadText(Prefix() + "/share/applications/" + kIds[1] + ".desktop");
    EXPECT_EQ(Value(burner, "MimeType"), "audio/x-mpegurl;application/x-vexmor-playlist;");
}

TEST(DesktopIntegration, TheProjectFileTypeAndTheIconsAreInstalled) {
    QFile package(QString::fromStdString(Prefix() + "/share/mime/packages/vexmor.xml"));
    ASSERT_TRUE(package.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&package);
    std::vector<std::string> globs;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("glob"))
            globs.push_back(xml.attributes().value("pattern").toString().toStdString());
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(globs, std::vector<std::string>{"*.vxl"});
    // Installing compiled the prefix's MIME database from the package.
    if (HaveTool("update-mime-database")) {
        const std::string types = ReadText(Prefix() + "/share/mime/globs2");
        EXPECT_NE(types.find("application/x-vexmor-playlist:*.vxl"), std::string::npos) << types;
    }

    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string folder =
            Prefix() + "/share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size);
        for (const std::string& icon :
             {folder + "/apps/" + kIds[0] + ".png", folder + "/apps/" + kIds[1] + ".png",
              folder + "/mimetypes/application-x-vexmor-playlist.png"}) {
            const QImage image(QString::fromStdString(icon));
            EXPECT_EQ(image.size(), QSize(size, size)) << icon;
        }
    }
}

// `ringsmith SONG.mp3` from the desktop entry opens the song; a file it cannot open gets
// "Open mp3"'s message and the window stays empty.
TEST(DesktopIntegration, RingsmithOpensTheSongItIsStartedWith) {
    TempDir dir;
    // The encoder's command line is text: the song gets its Latin-1 name afterwards.
    const std::string song = dir.File("caf\xe9 song.mp3");
    ASSERT_TRUE(track_fixtures::MakeMp3(dir.File("song.mp3"), 3.0));
    std::filesystem::rename(dir.File("song.mp3"), song);
    const std::string report = dir.File("ringsmith.txt");
    const Ran opened = Start(EntryCommand(kIds[0], song), dir.path(),
                             {std::string("VEXMOR_STATE_REPORT=") + report});
    ASSERT_EQ(opened.status, 0) << opened.err;
    const std::string state = ReadText(report);
    EXPECT_EQ(Value(state, "file"), song) << state;
    EXPECT_EQ(Value(state, "editor"), "shown") << state;
    EXPECT_NEAR(std::stod("0" + Value(state, "seconds")), 3.0, 0.1) << state;
    EXPECT_EQ(Value(state, "message"), "") << state;
    testing_support::KeepScreenshot(QImage(QString::fromStdString(report + ".png")),
                                    "installed-ringsmith-song.png");

    testing_support::WriteFile(dir.File("broken.mp3"), std::vector<uint8_t>(5000, 0x5a));
    const Ran broken = Start({Prefix() + "/bin/ringsmith", "broken.mp3"}, dir.path(),
                             {std::string("VEXMOR_STATE_REPORT=") + report});
    ASSERT_EQ(broken.status, 0) << broken.err;
    const std::string refused = ReadText(report);
    EXPECT_EQ(Value(refused, "message"), "The specified file is not supported by the software!");
    EXPECT_EQ(Value(refused, "editor"), "empty") << refused;
}

// SIGTERM ends the studio as closing it would: while it decodes the song it was started with
// (or, on a fast machine, just after), it ends with status 0 and leaves no scratch folder behind
// (a killed process leaves its folder for the next start to sweep).
TEST(DesktopIntegration, RingsmithEndsCleanlyOnSigterm) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    // Ten minutes of a tone: its decode is still under way when the signal lands.
    const std::string song = dir.File("long.flac");
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                       "sine=frequency=440:duration=600:sample_rate=44100", "-ac", "2", song})
                  .exitCode,
              0);
    std::vector<std::string> argv{Prefix() + "/bin/ringsmith", song};
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ), 0);
    const std::string scratch = platform::ScratchRoot() + "/" + std::to_string(pid);
    // Up and running: the decode writes its staging file.
    const auto decoding = [&] {
        std::error_code error;
        const auto size = std::filesystem::file_size(scratch + "/vxnew.wav", error);
        return !error && size > 44;
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!decoding() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(decoding()) << "the decode never started";
    ::kill(pid, SIGTERM);
    int status = 0;
    EXPECT_TRUE(WaitOrKill(pid, std::chrono::seconds(30), status))
        << "still running 30 s after SIGTERM";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(scratch)) << scratch;
}

// `discsmith PROJECT.vxl`, named relative to the working folder, starts with that project.
TEST(DesktopIntegration, DiscsmithOpensTheProjectItIsStartedWith) {
    TempDir dir;
    const std::string one = dir.File("one.mp3");
    const std::string two = dir.File("two.mp3");
    ASSERT_TRUE(track_fixtures::MakeMp3Lasting(one, 2));
    ASSERT_TRUE(track_fixtures::MakeMp3Lasting(two, 3));
    const std::string text = burner::BuildTitleListText({{"First", one}, {"Second", two}});
    testing_support::WriteFile(dir.File("party.vxl"),
                               std::vector<uint8_t>(text.begin(), text.end()));
    const std::string report = dir.File("discsmith.txt");
    const Ran opened = Start({Prefix() + "/bin/discsmith", "party.vxl"}, dir.path(),
                             {std::string("VEXMOR_STATE_REPORT=") + report});
    ASSERT_EQ(opened.status, 0) << opened.err;
    const std::vector<std::string> state = Lines(ReadText(report));
    ASSERT_EQ(state.size(), 5u) << ReadText(report);
    EXPECT_EQ(std::vector<std::string>(state.begin(), state.begin() + 4),
              (std::vector<std::string>{"rows=2", "row=First|00:02|" + one,
                                        "row=Second|00:03|" + two, "total=00:05"}));
    EXPECT_EQ(state[4].rfind("capacity=Total time: 00:05 time left:", 0), 0u) << state[4];
    testing_support::KeepScreenshot(QImage(QString::fromStdString(report + ".png")),
                                    "installed-discsmith-project.png");
}

// Help needs no display; bad command lines end with status 2 and say why, before any window.
TEST(DesktopIntegration, HelpAndUsageErrorsNeedNoWindow) {
    TempDir dir;
    const Ran help = Start({Prefix() + "/bin/ringsmith", "--help"}, dir.path(),
                           {"QT_QPA_PLATFORM=xcb", "DISPLAY=:none", "WAYLAND_DISPLAY="});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(Lines(help.out).at(0), "Usage: ringsmith [SONG]");
    // The summary names the kinds of song the studio opens, not MP3 alone.
    for (const char* kind : {"MP3", "WAV", "FLAC", "Ogg Vorbis", "Opus", "M4A", "WMA"})
        EXPECT_NE(Lines(help.out).at(1).find(kind), std::string::npos) << kind;
    const Ran two = Start({Prefix() + "/bin/ringsmith", "a.mp3", "b.mp3"}, dir.path());
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(Lines(two.err).at(0), "ringsmith: one song at a time");
    const Ran other = Start({Prefix() + "/bin/discsmith", "notes.txt"}, dir.path());
    EXPECT_EQ(other.status, 2);
    EXPECT_EQ(Lines(other.err).at(0), "discsmith: " + dir.path() +
                                          "/notes.txt: neither an MP3 file nor a project (.m3u, "
                                          ".vxl)");
}

}  // namespace
