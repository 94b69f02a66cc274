// The batch down-sizer driven offscreen as a user drives it, with the real codec engine: files
// added, converted into their own folder and into new folders, a settings change during a run,
// a broken file, Cancel and closing while busy. Outputs are read back by ffprobe.
#include "studio/tools/batch_downsizer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/scripted_ui.h"
#include "studio/codec_engine.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/batch_downsizer_dlg.h"
#include "tests/support/test_support.h"
#include "tests/uikit/track_list_fixtures.h"
#include "uikit/track_list.h"

namespace {

using namespace studio;
namespace fs = std::filesystem;
using testing_support::Probe;
using testing_support::ReadFile;

class Downsizer : public ::testing::Test {
  protected:
    studio::Session session;
    static void SetUpTestSuite() {
        ::setenv("VEXMOR_SYSTEM_DIR", testing_support::BuildSystemDir().c_str(), 1);
        platform::SetDialogColors(QColor(213, 224, 247), QColor(1, 34, 99));
    }

    void SetUp() override {
        if (!testing_support::HaveTool("ffprobe") || !testing_support::HaveTool("lame"))
            GTEST_SKIP() << "ffprobe or lame missing";
        ASSERT_TRUE(session.BindCodecEngine());
        session.settings.SetDefaults();
        // Constant 32 kbit/s, mono, 22050 Hz: what ffprobe reads back is exact.
        session.settings.preset = 17;
        session.settings.bitrate = 32;
        session.settings.vbrEnabled = 0;
        src = dir.File("src");
        fs::create_directories(src);
        dialog = std::make_unique<CBatchDownsizerDlg>(session);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    void TearDown() override {
        if (dialog) WaitIdle();
        dialog.reset();
    }

    std::string Song(const std::string& name, double seconds) {
        const std::string path = platform::JoinPath(src, name);
        EXPECT_TRUE(track_fixtures::MakeMp3(path, seconds));
        return path;
    }

    void Add(const std::vector<std::string>& paths) {
        ui->QueueOpenFiles(paths);
        Click(CBatchDownsizerDlg::kAdd);
    }

    void Click(int id) {
        QWidget* button = dialog->Item(id);
        ASSERT_NE(button, nullptr) << id;
        ASSERT_TRUE(button->isVisible()) << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void Convert(int id, const std::string& folder) {
        dialog->SetItemText(CBatchDownsizerDlg::kOutputFolder, folder);
        Click(id);
    }

    void WaitIdle() {
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return !dialog->downsizer().workerRunning(); }, 60000));
    }

    std::string LastMessage() {
        const auto texts = ui->messageTexts();
        return texts.empty() ? std::string() : texts.back();
    }

    testing_support::TempDir dir;
    platform::ScopedScriptedUi ui;
    std::string src;
    std::unique_ptr<CBatchDownsizerDlg> dialog;
};

// The stream ffprobe reads from `path`: rate, channels and constant bit rate.
void ExpectStream(const std::string& path, int rate, int channels, long long bitRate) {
    const auto info = Probe(path);
    ASSERT_TRUE(info) << path;
    EXPECT_EQ(info->codec, "mp3") << path;
    EXPECT_EQ(info->sampleRate, rate) << path;
    EXPECT_EQ(info->channels, channels) << path;
    EXPECT_EQ(info->bitRate, bitRate) << path;
}

TEST_F(Downsizer, ConvertAllIntoTheSourceFolderNeverTouchesASource) {
    const std::string first = Song("first.mp3", 20.0);
    const std::string second = Song("second.mp3", 2.0);
    const std::string broken = Song("broken.mp3", 2.0);
    // The same first song, reached through a linked folder.
    const std::string linkedFolder = dir.File("linked");
    fs::create_directory_symlink(src, linkedFolder);
    const std::string linkedFirst = platform::JoinPath(linkedFolder, "first.mp3");
    // A name already taken in the output folder: second.mp3 must skip second_0.mp3 too.
    fs::copy_file(second, platform::JoinPath(src, "second_0.mp3"));

    Add({first, second});
    Add({second, broken, linkedFirst});  // the second song is listed once
    ASSERT_EQ(dialog->list()->RowCount(), 4);
    EXPECT_EQ(session.settings.batchAddFolder, src + "/");
    // The broken file was an MP3 when it was listed; now it holds random bytes.
    std::vector<uint8_t> noise(40000);
    std::mt19937 random(7);
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
    testing_support::WriteFile(broken, noise);
    const auto before = [&] {
        std::vector<std::vector<uint8_t>> bytes;
        for (const auto& path : {first, second, broken}) bytes.push_back(ReadFile(path));
        return bytes;
    }();

    Convert(CBatchDownsizerDlg::kConvertAll, src);
    ASSERT_TRUE(dialog->downsizer().workerRunning());
    // While the first file encodes the settings change; the next files take the new ones.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            return session.engine.GetEncode2Mp3Percent() > 0 &&
                   session.engine.GetEncode2Mp3Percent() < 90;
        },
        20000));
    testing_support::KeepScreenshot(dialog->grab().toImage(), "downsizer_running.png");
    EXPECT_EQ(dialog->list()->SelectedRow(), 0);
    EXPECT_TRUE(dialog->IsTimerRunning(CBatchDownsizerDlg::kProgressTimer));
    EXPECT_TRUE(dialog->list()->busy());
    session.settings.bitrate = 64;
    session.settings.channelMode = 0;
    session.settings.resampleRate = 44100;
    WaitIdle();

    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Complete!"});
    EXPECT_EQ(ui->messages().back().icon, platform::MsgIcon::Information);
    EXPECT_FALSE(dialog->IsTimerRunning(CBatchDownsizerDlg::kProgressTimer));
    EXPECT_FALSE(dialog->list()->busy());
    EXPECT_EQ(session.settings.batchOutputFolder, src + "/");
    ExpectStream(platform::JoinPath(src, "first_0.mp3"), 22050, 1, 32000);
    ExpectStream(platform::JoinPath(src, "second_0_1.mp3"), 44100, 2, 64000);
    ExpectStream(platform::JoinPath(src, "first_0_1.mp3"), 44100, 2, 64000);
    EXPECT_FALSE(platform::FileExists(platform::JoinPath(src, "broken_0.mp3")));
    EXPECT_EQ(before[0], ReadFile(first));
    EXPECT_EQ(before[1], ReadFile(second));
    EXPECT_EQ(before[2], ReadFile(broken));

    // The broken file is the one failure in the log, shown by View Log.
    const auto log = dialog->downsizer().log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].source, broken);
    EXPECT_EQ(log[2].ok, 0);
    EXPECT_EQ(log[0].ok + log[1].ok + log[3].ok, 3);
    Click(CBatchDownsizerDlg::kViewLog);
    EXPECT_NE(LastMessage().find(broken + " -> " + platform::JoinPath(src, "broken_0.mp3")),
              std::string::npos)
        << LastMessage();
    EXPECT_EQ(LastMessage().find(second), std::string::npos);
    EXPECT_TRUE(ui->unexpected().empty());
}

// Another run (a second window, vexmor shrink) finishes a file of the same name while this one
// encodes: the name is not taken from it; the output-name rule gives the next free name, and the
// other run's file stays as it was.
TEST_F(Downsizer, AnOutputNameTakenDuringTheEncodeGoesToTheNextFreeName) {
    const std::string song = Song("tune.mp3", 30.0);
    const std::string out = dir.File("out");
    fs::create_directory(out);
    std::string output = DownsizerOutputPath(out + "/", song);
    ASSERT_EQ(output, out + "/tune.mp3");
    std::thread other([&] {
        while (session.engine.GetEncode2Mp3Percent() == 0 ||
               session.engine.GetEncode2Mp3Percent() >= 100)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        testing_support::WriteFile(out + "/tune.mp3", {4, 2});
        testing_support::WriteFile(out + "/tune_0.mp3", {4, 3});
    });
    StudioSettings settings = session.settings;
    const int result = CBatchDownsizer::EncodeFileToFreeName(session, song, output, settings, 0);
    other.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(output, out + "/tune_0_1.mp3");
    EXPECT_EQ(ReadFile(out + "/tune.mp3"), (std::vector<uint8_t>{4, 2}));
    EXPECT_EQ(ReadFile(out + "/tune_0.mp3"), (std::vector<uint8_t>{4, 3}));
    ExpectStream(output, 22050, 1, 32000);
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
}

TEST_F(Downsizer, OutputFoldersSingleFilesAndAnEmptyList) {
    // An empty list converts nothing, into a folder typed with the other separator that has
    // every level made.
    const std::string typed = dir.File("out") + "\\new\\deeper";
    const std::string made = dir.File("out") + "/new/deeper";
    Convert(CBatchDownsizerDlg::kConvertAll, typed);
    WaitIdle();
    EXPECT_EQ(LastMessage(), "Complete!");
    ASSERT_TRUE(platform::IsDirectory(made));
    EXPECT_TRUE(fs::is_empty(made));
    EXPECT_EQ(session.settings.batchOutputFolder, made + "/");
    StudioSettings reread;
    reread.Load();
    EXPECT_EQ(reread.batchOutputFolder, made + "/");

    // Folder texts that cannot be used.
    Convert(CBatchDownsizerDlg::kConvertAll, "");
    EXPECT_EQ(LastMessage(), "Input or select a output path for your mp3s first.");
    Convert(CBatchDownsizerDlg::kConvertSingle, "");
    EXPECT_EQ(LastMessage(), "Input or select a path for your mp3s first.");
    testing_support::WriteFile(dir.File("plainfile"), {'x'});
    Convert(CBatchDownsizerDlg::kConvertSingle, dir.File("plainfile") + "/sub");
    EXPECT_EQ(LastMessage(), "Please set a valid path!");

    // Convert Single: the selected row, or a message when none is selected.
    Add({Song("one.mp3", 2.0), Song("two.mp3", 2.0)});
    dialog->list()->SelectRow(-1);
    Convert(CBatchDownsizerDlg::kConvertSingle, made);
    WaitIdle();
    EXPECT_EQ(LastMessage(), "You should select a song first.");
    EXPECT_FALSE(dialog->busy());
    dialog->list()->SelectRow(1);
    Convert(CBatchDownsizerDlg::kConvertSingle, made);
    WaitIdle();
    EXPECT_EQ(LastMessage(), "Complete!");
    ExpectStream(made + "/two.mp3", 22050, 1, 32000);
    EXPECT_FALSE(platform::FileExists(made + "/one.mp3"));

    // A single file the engine cannot read is a failure and leaves nothing behind.
    testing_support::WriteFile(platform::JoinPath(src, "one.mp3"), std::vector<uint8_t>(5000, 7));
    dialog->list()->SelectRow(0);
    Convert(CBatchDownsizerDlg::kConvertSingle, made);
    WaitIdle();
    EXPECT_EQ(LastMessage(), "Failure!");
    EXPECT_FALSE(platform::FileExists(made + "/one.mp3"));
    EXPECT_TRUE(ui->unexpected().empty());
}

// The smaller files keep the songs' tags, whether made by Convert Single or Convert All: title,
// artist, album, the cover picture's very bytes and the ID3v1 tag (read back by ffprobe and
// ffmpeg). The tags are on the file before it takes its name: no finished output lacks them.
TEST_F(Downsizer, SmallerFilesKeepTheTagsAndTheCover) {
    const auto song = testing_support::MakeTaggedMp3WithCover(src, "tagged.mp3", 2.0);
    if (!song) GTEST_SKIP() << "ffmpeg missing";
    Add({song->path, Song("plain.mp3", 1.0)});
    const std::string single = dir.File("single");
    dialog->list()->SelectRow(0);
    Convert(CBatchDownsizerDlg::kConvertSingle, single);
    WaitIdle();
    EXPECT_EQ(LastMessage(), "Complete!");
    testing_support::ExpectTagsTravelled(single + "/tagged.mp3", *song, dir.path());
    ExpectStream(single + "/tagged.mp3", 22050, 1, 32000);

    const std::string all = dir.File("all");
    Convert(CBatchDownsizerDlg::kConvertAll, all);
    WaitIdle();
    EXPECT_EQ(LastMessage(), "Complete!");
    testing_support::ExpectTagsTravelled(all + "/tagged.mp3", *song, dir.path());
    // A song without tags stays without them.
    const auto plain = testing_support::ProbeTags(all + "/plain.mp3");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->count("title"), 0u);
    EXPECT_TRUE(ui->unexpected().empty());
}

// A typed "~/x" or "x" is a folder in the home folder, never in the working folder; the field
// and the settings then hold its full path.
TEST_F(Downsizer, TypedOutputFoldersLieInTheHomeFolder) {
    const std::string home = platform::HomeFolder();
    for (const auto& [typed, full] : std::vector<std::pair<std::string, std::string>>{
             {"~/small mp3s", platform::JoinPath(home, "small mp3s")},
             {"relative/deeper", platform::JoinPath(home, "relative/deeper")}}) {
        Convert(CBatchDownsizerDlg::kConvertAll, typed);
        WaitIdle();
        EXPECT_EQ(LastMessage(), "Complete!");
        EXPECT_TRUE(platform::IsDirectory(full)) << typed;
        EXPECT_EQ(dialog->ItemText(CBatchDownsizerDlg::kOutputFolder), full);
        EXPECT_EQ(session.settings.batchOutputFolder, full + "/");
    }
    EXPECT_FALSE(fs::exists("~"));
    EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(Downsizer, CancelAndClosingWhileBusy) {
    Add({Song("long.mp3", 60.0), Song("after.mp3", 2.0)});
    const std::string out = dir.File("out");
    fs::create_directories(out);
    Convert(CBatchDownsizerDlg::kConvertAll, out);
    // The engine's percentage is the process's: an earlier run leaves its 100 until this one's
    // first file reports.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            const int percent = session.engine.GetEncode2Mp3Percent();
            return percent > 0 && percent < 90;
        },
        20000));

    // Every command but Cancel waits; the convert commands say nothing.
    for (int id : {CBatchDownsizerDlg::kAdd, CBatchDownsizerDlg::kDeleteAll,
                   CBatchDownsizerDlg::kSettings, CBatchDownsizerDlg::kBrowse}) {
        Click(id);
        EXPECT_EQ(LastMessage(), "Please wait...") << id;
    }
    const size_t shown = ui->messageTexts().size();
    Click(CBatchDownsizerDlg::kConvertSingle);
    EXPECT_EQ(ui->messageTexts().size(), shown);
    dialog->close();
    EXPECT_EQ(LastMessage(), "Please wait...");
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QTest::keyClick(dialog->list(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->list()->RowCount(), 2);

    Click(CBatchDownsizerDlg::kCancel);
    WaitIdle();
    EXPECT_EQ(LastMessage(), "Complete!");
    // The run stopped after the cancelled file, which left nothing behind.
    const auto log = dialog->downsizer().log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].ok, 0);
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_TRUE(dialog->Item(CBatchDownsizerDlg::kViewLog)->isVisible());

    // Idle again: Esc and Enter still do not close it, the close box does.
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    dialog->close();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(ui->unexpected().empty());
}

}  // namespace
