// `discsmith FILES`: which files make a start, and the window that loads them once it runs, with
// one message naming the files that did not load.
#include "burner/command_line.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "burner/app.h"
#include "burner/burner_dlg.h"
#include "burner/burner_list.h"
#include "burner/project_files.h"
#include "platform/scripted_ui.h"
#include "tests/support/test_support.h"
#include "tests/uikit/track_list_fixtures.h"

namespace {

using namespace burner;
using platform::ProgramArguments;
using testing_support::TempDir;

std::vector<StartLoad> Loads(const BurnerStart& start) {
    std::vector<StartLoad> loads;
    for (const StartFile& file : start.files) loads.push_back(file.load);
    return loads;
}

TEST(BurnerCommandLine, Mp3FilesOrOneProjectAlone) {
    const BurnerStart songs = ParseBurnerArguments({"a.mp3", "B.MP3"}, "/music");
    EXPECT_EQ(songs.arguments.action, ProgramArguments::Action::Run);
    EXPECT_EQ(Loads(songs), (std::vector<StartLoad>{StartLoad::AddMp3, StartLoad::AddMp3}));
    EXPECT_EQ(songs.files[1].path, "/music/B.MP3");
    EXPECT_EQ(Loads(ParseBurnerArguments({"p.M3U"}, "/")),
              std::vector<StartLoad>{StartLoad::LoadM3u});
    EXPECT_EQ(Loads(ParseBurnerArguments({"p.vxl"}, "/")),
              std::vector<StartLoad>{StartLoad::LoadTitleList});
    EXPECT_TRUE(ParseBurnerArguments({}, "/").files.empty());

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"a.mp3", "p.vxl"}, {"p.m3u", "a.mp3"}, {"p.m3u", "q.vxl"}}) {
        const BurnerStart mixed = ParseBurnerArguments(args, "/");
        EXPECT_EQ(mixed.arguments.action, ProgramArguments::Action::Usage);
        EXPECT_EQ(mixed.arguments.error, "a project (.m3u, .vxl) opens alone");
        EXPECT_TRUE(mixed.files.empty());
    }
    const BurnerStart other = ParseBurnerArguments({"a.mp3", "notes.txt"}, "/w");
    EXPECT_EQ(other.arguments.action, ProgramArguments::Action::Usage);
    EXPECT_EQ(other.arguments.error,
              "/w/notes.txt: neither an MP3 file nor a project (.m3u, .vxl)");
}

class BurnerStartWindow : public ::testing::Test {
  protected:
    // Runs the window a command line makes until its files are loaded.
    void Start(std::vector<StartFile> files) {
        window.reset(static_cast<CBurnerDlg*>(MakeMainWindowOpening(std::move(files)).release()));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->startPending(); }, 10000));
    }
    std::vector<std::string> Titles() {
        std::vector<std::string> titles;
        for (const TrackEntry& entry : window->list()->Entries()) titles.push_back(entry.title);
        return titles;
    }

    TempDir dir;
    platform::ScopedScriptedUi ui;
    std::unique_ptr<CBurnerDlg> window;
};

// A project whose name is not UTF-8 loads under its exact bytes, as "Open" would load it.
TEST_F(BurnerStartWindow, AProjectLoadsAsOpenLoadsIt) {
    const std::string one = dir.File("one.mp3");
    const std::string two = dir.File("two.mp3");
    ASSERT_TRUE(track_fixtures::MakeMp3Lasting(one, 2));
    ASSERT_TRUE(track_fixtures::MakeMp3Lasting(two, 3));
    const std::string project = dir.File("caf\xe9.vxl");
    const std::string text = BuildTitleListText({{"First", one}, {"Second", two}});
    testing_support::WriteFile(project, std::vector<uint8_t>(text.begin(), text.end()));
    Start(ParseBurnerArguments({"caf\xe9.vxl"}, dir.path()).files);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(window->list()->total(), "00:05");
    EXPECT_TRUE(ui->messageTexts().empty());
}

// MP3 files are added in order; those that do not load are named in one message, with the reason.
TEST_F(BurnerStartWindow, FilesThatDoNotLoadAreNamedTogether) {
    const std::string song = dir.File("song.mp3");
    ASSERT_TRUE(track_fixtures::MakeMp3Lasting(song, 2));
    const std::string fake = dir.File("fake.mp3");
    testing_support::WriteFile(fake, std::vector<uint8_t>(4000, 0x5a));
    Start(ParseBurnerArguments({"missing.mp3", "song.mp3", "fake.mp3"}, dir.path()).files);
    EXPECT_EQ(Titles(), std::vector<std::string>{"song"});
    EXPECT_EQ(ui->messageTexts(),
              std::vector<std::string>{"These files could not be opened:\n" +
                                       dir.File("missing.mp3") + " (no such file)\n" + fake +
                                       " (not an MP3 file that can be burned)"});

    ui->Clear();
    Start({{StartLoad::LoadM3u, dir.File("gone.m3u")}});
    EXPECT_EQ(ui->messageTexts(),
              std::vector<std::string>{"This file could not be opened:\n" + dir.File("gone.m3u") +
                                       " (no such file)"});

    // A drop hands over the exact bytes of a name that is not UTF-8.
    const std::string latin1 = dir.File("caf\xe9.mp3");
    std::filesystem::copy_file(song, latin1);
    QMimeData data;
    data.setUrls({QUrl::fromEncoded(QByteArray("file://") +
                                    QByteArray::fromStdString(latin1).toPercentEncoding("/"))});
    QDragEnterEvent enter(QPoint(200, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent drop(QPointF(200, 150), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    ASSERT_EQ(window->list()->Entries().size(), 1u);
    EXPECT_EQ(window->list()->Entries()[0].path, latin1);
}

}  // namespace
