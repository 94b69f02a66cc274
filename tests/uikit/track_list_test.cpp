#include "uikit/track_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "platform/paths.h"
#include "platform/scripted_ui.h"
#include "tests/support/test_support.h"
#include "tests/uikit/track_list_fixtures.h"
#include "uikit/player_panel.h"
#include "uikit/skin_list.h"
#include "uikit/track_rules.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using namespace track_fixtures;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> Column(const CTrackListCtrl& list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < list.RowCount(); ++row) texts.push_back(list.CellText(row, column));
    return texts;
}

// A list whose player panel only records what it was asked to play.
class RecordingList : public CTrackListCtrl {
  public:
    using CTrackListCtrl::CTrackListCtrl;
    std::vector<std::vector<TrackEntry>> played;
    std::vector<int> starts;

  protected:
    void OpenPlayer(const std::vector<TrackEntry>& entries, int start) override {
        played.push_back(entries);
        starts.push_back(start);
    }
};

#define REQUIRE_LAME() \
    if (!testing_support::HaveTool("lame")) GTEST_SKIP() << "lame is not installed"

}  // namespace

TEST(TrackListAdd, TitleFromTagOrFileName) {
    REQUIRE_LAME();
    TempDir dir;
    CTrackListCtrl list(ProgramKind::Studio);
    const std::string plain = dir.File("Song.MP3");
    ASSERT_TRUE(MakeMp3(plain, 1.0));
    const std::string tagged = dir.File("tagged.mp3");
    ASSERT_TRUE(MakeMp3(tagged, 1.0));
    AppendId3v1(tagged, " Tagged Title ");
    const std::string blank = dir.File("Blank.mp3");
    ASSERT_TRUE(MakeMp3(blank, 1.0));
    AppendId3v1(blank, "   ");
    const std::string wav = dir.File("Song.wav");
    MakeWav(wav, 1.0);

    EXPECT_EQ(list.AddFile(plain), 0);
    EXPECT_EQ(list.AddFile(tagged), 1);
    EXPECT_EQ(list.AddFile(blank), 2);
    EXPECT_EQ(list.AddFile(wav), 3);
    EXPECT_EQ(Column(list, 0),
              (std::vector<std::string>{"Song", "Tagged Title", "Blank", "Song.wav"}));
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"01", "02", "03", "04"}));
    EXPECT_EQ(Column(list, 2), (std::vector<std::string>{"00:01", "00:01", "00:01", "00:01"}));
    EXPECT_EQ(Column(list, 3), (std::vector<std::string>{plain, tagged, blank, wav}));
    EXPECT_EQ(list.total(), "00:04");
}

TEST(TrackListAdd, UnreadableFilesAreSkippedSilently) {
    TempDir dir;
    platform::ScopedScriptedUi ui;
    CTrackListCtrl list(ProgramKind::Studio);
    WriteFile(dir.File("zero.mp3"), {});
    WriteFile(dir.File("one.mp3"), {0xFF});
    std::vector<uint8_t> noise(20000);
    uint32_t seed = 12345;
    for (uint8_t& byte : noise) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 16);
    }
    WriteFile(dir.File("noise.mp3"), noise);
    // An ID3v2 tag that claims more bytes than the file holds.
    WriteFile(dir.File("id3.mp3"), {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 1, 2, 3});

    for (const char* name : {"zero.mp3", "one.mp3", "noise.mp3", "id3.mp3", "missing.mp3"})
        EXPECT_EQ(list.AddFile(dir.File(name)), 0) << name;
    EXPECT_EQ(list.AddFile(dir.path()), 0);
    EXPECT_EQ(list.AddFile(std::string("/etc/passwd\0x", 13)), 0);
    EXPECT_EQ(list.AddFile(""), 0);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.total(), "00:00");
    EXPECT_TRUE(ui->messageTexts().empty());
}

TEST(TrackListAdd, PathsShorterThanFiveCharactersAreSkipped) {
    TempDir dir;
    MakeWav(dir.File("a.wa"), 1.0);
    MakeWav(dir.File("ab.wa"), 1.0);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    CTrackListCtrl list(ProgramKind::Studio);
    EXPECT_EQ(list.AddFile("a.wa"), 0);
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.AddFile("ab.wa"), 0);
    EXPECT_EQ(list.RowCount(), 1);
    std::filesystem::current_path(before);
}

TEST(TrackListTotal, AddsTimesAndSubtractsDeletedRow) {
    REQUIRE_LAME();
    TempDir dir;
    CTrackListCtrl list(ProgramKind::Studio);
    int index = 0;
    for (int seconds : {180, 270, 3300}) {
        const std::string path = dir.File("t" + std::to_string(seconds) + ".mp3");
        ASSERT_TRUE(MakeMp3Lasting(path, seconds));
        EXPECT_EQ(list.AddFile(path), index++);
    }
    EXPECT_EQ(Column(list, 2), (std::vector<std::string>{"03:00", "04:30", "55:00"}));
    EXPECT_EQ(list.total(), "01:02:30");

    list.SelectRow(1);
    list.DeleteSelected();
    EXPECT_EQ(list.total(), "58:00");
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"01", "02"}));
    EXPECT_EQ(Column(list, 2), (std::vector<std::string>{"03:00", "55:00"}));
    // The row after the deleted one takes the selection.
    EXPECT_EQ(list.SelectedRow(), 1);
}

TEST(TrackListTotal, InvalidTimeMakesTotalMinusOne) {
    CTrackListCtrl list(ProgramKind::Studio);
    list.setTotal("3:25:00");
    list.Clear();
    EXPECT_EQ(list.total(), "00:00");
    list.setTotal("bad");
    TempDir dir;
    MakeWav(dir.File("song.wav"), 1.0);
    list.AddFile(dir.File("song.wav"));
    EXPECT_EQ(list.total(), "-1");
}

namespace {

// A list of `count` one-second WAV rows titled r0, r1, ...; the WAVs stay in `dir`.
void FillWithWavs(CTrackListCtrl& list, const TempDir& dir, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string path = dir.File("r" + std::to_string(i) + ".wav");
        MakeWav(path, 1.0 + i);
        list.AddFile(path);
    }
}

}  // namespace

TEST(TrackListDelete, SelectionMovesAndRowsRenumber) {
    TempDir dir;
    platform::ScopedScriptedUi ui;
    CTrackListCtrl list(ProgramKind::Studio);
    FillWithWavs(list, dir, 3);
    ASSERT_EQ(list.RowCount(), 3);
    EXPECT_EQ(list.total(), "00:06");

    list.SelectRow(2);
    list.DeleteSelected();
    EXPECT_EQ(list.SelectedRow(), 1);  // the new last row
    EXPECT_EQ(list.total(), "00:03");

    list.SelectRow(0);
    list.DeleteSelected();
    EXPECT_EQ(Column(list, 0), std::vector<std::string>{"r1.wav"});
    EXPECT_EQ(Column(list, 1), std::vector<std::string>{"01"});
    EXPECT_EQ(list.SelectedRow(), 0);
    list.DeleteSelected();
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_EQ(list.total(), "00:00");
    EXPECT_EQ(list.SelectedRow(), -1);
    EXPECT_TRUE(ui->messageTexts().empty());

    list.DeleteSelected();
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{kSelectTrackFirstMessage});
}

TEST(TrackListDelete, NoSelectionChangesNothing) {
    TempDir dir;
    platform::ScopedScriptedUi ui;
    CTrackListCtrl list(ProgramKind::Burner);
    FillWithWavs(list, dir, 2);
    ASSERT_EQ(list.RowCount(), 0) << "the burner lists MPEG audio only";

    CTrackListCtrl studio(ProgramKind::Studio);
    FillWithWavs(studio, dir, 2);
    studio.clearSelection();
    for (auto op :
         {&CTrackListCtrl::DeleteSelected, &CTrackListCtrl::MoveUp, &CTrackListCtrl::MoveDown,
          &CTrackListCtrl::MoveTop, &CTrackListCtrl::MoveBottom, &CTrackListCtrl::PlaySelected})
        (studio.*op)();
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>(6, kSelectTrackFirstMessage));
    EXPECT_EQ(studio.RowCount(), 2);
    EXPECT_EQ(studio.total(), "00:03");
}

TEST(TrackListMove, TopBottomUpDownKeepNumbers) {
    TempDir dir;
    platform::ScopedScriptedUi ui;
    CTrackListCtrl list(ProgramKind::Studio);
    FillWithWavs(list, dir, 5);
    const std::vector<std::string> numbers{"01", "02", "03", "04", "05"};

    list.SelectRow(4);
    list.MoveTop();
    EXPECT_EQ(Column(list, 0),
              (std::vector<std::string>{"r4.wav", "r0.wav", "r1.wav", "r2.wav", "r3.wav"}));
    EXPECT_EQ(Column(list, 2),
              (std::vector<std::string>{"00:05", "00:01", "00:02", "00:03", "00:04"}));
    EXPECT_EQ(list.CellText(0, 3), dir.File("r4.wav"));
    EXPECT_EQ(Column(list, 1), numbers);
    EXPECT_EQ(list.SelectedRow(), 0);

    list.MoveUp();  // already first: nothing
    EXPECT_EQ(list.CellText(0, 0), "r4.wav");

    list.MoveBottom();
    EXPECT_EQ(Column(list, 0),
              (std::vector<std::string>{"r0.wav", "r1.wav", "r2.wav", "r3.wav", "r4.wav"}));
    EXPECT_EQ(list.SelectedRow(), 4);
    list.MoveDown();  // already last: nothing
    EXPECT_EQ(list.SelectedRow(), 4);

    list.SelectRow(1);
    list.MoveDown();
    EXPECT_EQ(list.CellText(2, 0), "r1.wav");
    EXPECT_EQ(list.SelectedRow(), 2);
    list.MoveUp();
    EXPECT_EQ(list.CellText(1, 0), "r1.wav");
    EXPECT_EQ(Column(list, 1), numbers);
    EXPECT_EQ(list.total(), "00:15");
    EXPECT_TRUE(ui->messageTexts().empty());
}

TEST(TrackListM3u, WrittenTextAndRoundTripAreByteExact) {
    TempDir dir;
    CTrackListCtrl list(ProgramKind::Studio);
    FillWithWavs(list, dir, 2);
    const std::string playlist = dir.File("list.m3u");
    EXPECT_EQ(list.SaveM3u(playlist), 2);
    const std::string expected = "#EXTM3U\r\n#EXTINF:1,r0.wav.mp3\r\n" + dir.File("r0.wav") +
                                 "\r\n#EXTINF:2,r1.wav.mp3\r\n" + dir.File("r1.wav") + "\r\n";
    EXPECT_EQ(ReadText(playlist), expected);

    CTrackListCtrl other(ProgramKind::Studio);
    EXPECT_EQ(other.LoadM3u(playlist), 2);
    EXPECT_EQ(other.Entries().size(), 2u);
    EXPECT_EQ(Column(other, 0), Column(list, 0));
    EXPECT_EQ(Column(other, 3), Column(list, 3));
    EXPECT_EQ(other.total(), "00:03");
    const std::string again = dir.File("again.m3u");
    EXPECT_EQ(other.SaveM3u(again), 2);
    EXPECT_EQ(ReadFile(again), ReadFile(playlist));

    // An empty list writes the header alone.
    CTrackListCtrl empty(ProgramKind::Studio);
    EXPECT_EQ(empty.SaveM3u(playlist), 0);
    EXPECT_EQ(ReadText(playlist), "#EXTM3U\r\n");
}

TEST(TrackListM3u, RefusedFilesLeaveTheListAlone) {
    TempDir dir;
    CTrackListCtrl list(ProgramKind::Studio);
    FillWithWavs(list, dir, 2);
    const std::string body = "\r\n" + dir.File("r0.wav") + "\r\n";
    const std::string file = dir.File("bad.m3u");
    for (const std::string& header :
         {std::string("#EXTM3U "), std::string("#extm3u"), std::string(" #EXTM3U"),
          std::string("#EXTM3U#"), std::string(""),
          std::string("\x7f"
                      "ELF\x01\x02")}) {
        WriteFile(file, Bytes(header + body));
        EXPECT_EQ(list.LoadM3u(file), -1) << header;
        EXPECT_EQ(list.RowCount(), 2);
    }
    EXPECT_EQ(list.LoadM3u(dir.File("missing.m3u")), -1);
    EXPECT_EQ(list.LoadM3u(dir.path()), -1);
    WriteFile(file, {});
    EXPECT_EQ(list.LoadM3u(file), 0);
    EXPECT_EQ(list.RowCount(), 2);
    EXPECT_EQ(list.total(), "00:03");

    if (::geteuid() != 0) {
        WriteFile(file, Bytes("#EXTM3U" + body));
        std::filesystem::permissions(file, std::filesystem::perms::none);
        EXPECT_EQ(list.LoadM3u(file), -1);
        EXPECT_EQ(list.RowCount(), 2);
    }
}

TEST(TrackListM3u, EveryLineButExtinfCounts) {
    TempDir dir;
    CTrackListCtrl list(ProgramKind::Studio);
    MakeWav(dir.File("a.wav"), 1.0);
    MakeWav(dir.File("b.wav"), 2.0);
    const std::string file = dir.File("list.m3u");
    std::string text = "#EXTM3U\n#EXTINF:1,a.mp3\n" + dir.File("a.wav") + "\r\n\n";
    text += "#extinf:99,ignored\n# a comment\n" + dir.File("missing.wav") + "\n";
    text += std::string(100000, 'x') + "\n";
    text += std::string("bin\0ary\xff\xfe", 9) + "\n";
    text += dir.File("b.wav");  // the last line has no line end
    WriteFile(file, Bytes(text));
    // a.wav, the blank line, the comment, missing.wav, the long line, the binary line, b.wav.
    EXPECT_EQ(list.LoadM3u(file), 7);
    EXPECT_EQ(Column(list, 3), (std::vector<std::string>{dir.File("a.wav"), dir.File("b.wav")}));
    EXPECT_EQ(Column(list, 1), (std::vector<std::string>{"01", "02"}));
    EXPECT_EQ(list.total(), "00:03");

    // A header alone: the list is emptied, nothing counted.
    WriteFile(file, Bytes("#EXTM3U\r\n"));
    EXPECT_EQ(list.LoadM3u(file), 0);
    EXPECT_EQ(list.RowCount(), 0);
}

TEST(TrackListM3u, FailedSaveIsReportedAndKeepsTheOldFile) {
    TempDir dir;
    platform::ScopedScriptedUi ui;
    CTrackListCtrl list(ProgramKind::Studio);
    FillWithWavs(list, dir, 1);
    const std::string nowhere = dir.File("no/such/folder/list.m3u");
    EXPECT_EQ(list.SaveM3u(nowhere), -1);
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_EQ(list.SaveM3uReporting(nowhere), -1);
    ASSERT_EQ(ui->messageTexts().size(), 1u);
    EXPECT_EQ(ui->messageTexts()[0], kPlaylistNotWrittenMessage + nowhere);
    EXPECT_EQ(list.SaveM3u(dir.path()), -1);

    const std::string good = dir.File("list.m3u");
    EXPECT_EQ(list.SaveM3uReporting(good), 1);
    EXPECT_EQ(ui->messageTexts().size(), 1u);
}

// Runs `call` as a user whom permissions bind: the superuser's own id when the tests do not run
// as the superuser, else an unprivileged id for the length of the call.
template <typename Call>
auto AsPlainUser(uid_t plain, Call call) {
    if (::geteuid() != 0) return call();
    EXPECT_EQ(::seteuid(plain), 0);
    auto result = call();
    EXPECT_EQ(::seteuid(0), 0);
    return result;
}

// A folder that refuses new files, holding a playlist the user may write: the playlist is
// rewritten in place. When the playlist itself refuses too, the save fails with its message and
// the file stays as it was.
TEST(TrackListM3u, SaveIntoAFolderThatRefusesNewFilesRewritesInPlace) {
    TempDir dir;
    platform::ScopedScriptedUi ui;
    const std::string folder = dir.File("shared");
    std::filesystem::create_directory(folder);
    const std::string file = platform::JoinPath(folder, "list.m3u");
    WriteFile(file, Bytes("#EXTM3U\nold\n"));
    const uid_t plain = ::geteuid() == 0 ? 65534 : ::geteuid();
    namespace fs = std::filesystem;
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), plain, static_cast<gid_t>(-1)), 0);
        // The plain user (still in the superuser's group) must reach the folder through the
        // private temporary ones.
        for (fs::path p = folder; p.has_relative_path() && p != "/tmp"; p = p.parent_path())
            fs::permissions(p, fs::perms::group_exec | fs::perms::others_exec,
                            fs::perm_options::add);
    }
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);

    CTrackListCtrl list(ProgramKind::Studio);
    FillWithWavs(list, dir, 2);
    EXPECT_EQ(AsPlainUser(plain, [&] { return list.SaveM3uReporting(file); }), 2);
    EXPECT_TRUE(ui->messageTexts().empty());
    const std::string saved = ReadText(file);
    EXPECT_NE(saved.find(dir.File("r1.wav")), std::string::npos) << saved;

    fs::permissions(file, fs::perms::owner_read);
    FillWithWavs(list, dir, 1);
    EXPECT_EQ(AsPlainUser(plain, [&] { return list.SaveM3uReporting(file); }), -1);
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{kPlaylistNotWrittenMessage + file}));
    EXPECT_EQ(ReadText(file), saved);
    fs::permissions(folder, fs::perms::owner_all);
}

TEST(TrackListBurner, AcceptsLayer3OnlyAndReportsTotals) {
    REQUIRE_LAME();
    TempDir dir;
    CTrackListCtrl burner(ProgramKind::Burner);
    std::vector<std::string> totals;
    burner.SetTotalChangedHandler([&](const std::string& total) { totals.push_back(total); });
    const std::string mp3 = dir.File("Song.mp3");
    ASSERT_TRUE(MakeMp3Lasting(mp3, 70));
    MakeWav(dir.File("Song.wav"), 1.0);

    EXPECT_EQ(burner.AddFile(mp3), 0);
    EXPECT_EQ(burner.AddFile(dir.File("Song.wav")), 0);
    EXPECT_EQ(burner.RowCount(), 1);
    EXPECT_EQ(burner.AddFileWithTitle("Given title", mp3), 1);
    EXPECT_EQ(burner.CellText(1, 0), "Given title");
    EXPECT_EQ(burner.CellText(1, 1), "02");
    // The title-list loader takes any described file, also a WAV, and needs no file-find.
    EXPECT_EQ(burner.AddFileWithTitle("Wave", dir.File("Song.wav")), 2);
    EXPECT_EQ(burner.AddFileWithTitle("Gone", dir.File("gone.mp3")), 0);
    EXPECT_EQ(burner.RowCount(), 3);
    burner.SelectRow(0);
    burner.DeleteSelected();
    burner.Clear();
    EXPECT_EQ(totals, (std::vector<std::string>{"01:10", "02:20", "02:21", "01:11", "00:00"}));

    CTrackListCtrl studio(ProgramKind::Studio);
    bool called = false;
    studio.SetTotalChangedHandler([&](const std::string&) { called = true; });
    studio.AddFile(mp3);
    studio.Clear();
    EXPECT_FALSE(called);
}

TEST(TrackListInput, DoubleClickPlaysUnlessBusyOrDisabled) {
    TempDir dir;
    platform::ScopedScriptedUi ui;
    RecordingList list(ProgramKind::Studio);
    FillWithWavs(list, dir, 3);
    list.resize(600, 300);
    list.show();
    list.SelectRow(1);
    const QPoint row1 = list.visualItemRect(list.topLevelItem(1)).center();

    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, row1);
    ASSERT_EQ(list.played.size(), 1u);
    EXPECT_EQ(list.starts[0], 1);
    ASSERT_EQ(list.played[0].size(), 3u);
    EXPECT_EQ(list.played[0][2].title, "r2.wav");
    EXPECT_EQ(list.played[0][2].index, 2);
    EXPECT_EQ(list.played[0][2].time, "00:03");
    EXPECT_EQ(list.played[0][2].path, dir.File("r2.wav"));

    list.setBusy(true);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, row1);
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Please wait..."});
    list.setBusy(false);
    list.setPlayDisabled(true);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, row1);
    EXPECT_EQ(list.played.size(), 1u);
    EXPECT_EQ(ui->messageTexts().size(), 1u);

    RecordingList burner(ProgramKind::Burner);
    burner.setBusy(true);
    burner.show();
    QTest::mouseDClick(burner.viewport(), Qt::LeftButton);
    EXPECT_EQ(ui->messageTexts().back(), "In Process,please wait...");
}

TEST(TrackListInput, DeleteKeyDeletesSelectedRow) {
    TempDir dir;
    platform::ScopedScriptedUi ui;
    CTrackListCtrl list(ProgramKind::Studio);
    FillWithWavs(list, dir, 2);
    list.SelectRow(0);
    QTest::keyClick(&list, Qt::Key_Delete);
    EXPECT_EQ(Column(list, 0), std::vector<std::string>{"r1.wav"});
    EXPECT_EQ(list.total(), "00:02");
}

TEST(TrackListLook, SkinnedBarsFollowTheListAndRowsShow) {
    REQUIRE_LAME();
    TempDir dir;
    QWidget owner;
    owner.resize(640, 260);
    CTrackListCtrl list(ProgramKind::Burner, &owner);
    list.setGeometry(10, 10, 588, 200);
    for (int i = 0; i < 12; ++i) {
        const std::string path = dir.File("Track number " + std::to_string(i + 1) + ".mp3");
        ASSERT_TRUE(MakeMp3Lasting(path, 60 * (i + 2) + i));
        if (i % 3 == 0) AppendId3v1(path, "Tagged song " + std::to_string(i + 1));
        list.AddFile(path);
    }
    list.AttachScrollBars();
    list.SelectRow(2);
    owner.show();
    EXPECT_EQ(list.total(), "01:31:06");

    // The list's own bars are off; the skinned vertical bar stands along its right edge.
    EXPECT_EQ(list.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const auto bars = owner.findChildren<CSkinScrollBar*>();
    ASSERT_EQ(bars.size(), 2);
    for (CSkinScrollBar* bar : bars) {
        if (bar->orientation() == Qt::Vertical) {
            EXPECT_EQ(bar->geometry().left(), list.geometry().right() + 1);
        }
    }
    EXPECT_EQ(list.header()->height(), CSkinHeader::kHeight);

    const QImage shot = owner.grab().toImage();
    testing_support::KeepScreenshot(shot, "track_list.png");
    // The selected row is drawn in the highlight colour although the list may lack the focus.
    const QRect number = list.visualRect(list.model()->index(2, CTrackListCtrl::kNumberColumn));
    const QPoint inOwner =
        list.viewport()->mapTo(&owner, QPoint(number.left() + 4, number.center().y()));
    EXPECT_EQ(shot.pixelColor(inOwner).rgb(),
              list.palette().color(QPalette::Active, QPalette::Highlight).rgb());
}

TEST(TrackListPlay, OpensThePlayerPanelOnTheSelectedRow) {
    TempDir dir;
    CTrackListCtrl list(ProgramKind::Burner);
    for (const char* name : {"one.mp3", "two.mp3"}) {
        if (!MakeMp3(dir.File(name), 1.0)) GTEST_SKIP() << "lame is not installed";
        list.AddFile(dir.File(name));
    }
    ASSERT_EQ(list.RowCount(), 2);
    list.SelectRow(1);
    int current = -2;
    std::string title;
    bool playing = false;
    QTimer::singleShot(200, [&] {
        if (auto* panel = qobject_cast<CSongPanelDlg*>(QApplication::activeModalWidget())) {
            current = panel->current();
            title = panel->TitleText();
            playing = panel->player().IsPlaying();
            panel->EndDialog(platform::IDCANCEL);
        }
    });
    list.PlaySelected();
    EXPECT_EQ(current, 1);
    EXPECT_EQ(title, "2.two.mp3(0:01)");
    EXPECT_TRUE(playing);
}

// A file name that is not UTF-8 (a Latin-1 name from an older playlist) is listed, handed to the
// player and saved under its real bytes; only its display uses replacement characters.
TEST(TrackListM3u, PathBytesThatAreNotUtf8SurviveMovesAndRoundTrip) {
    TempDir dir;
    platform::ScopedScriptedUi ui;
    RecordingList list(ProgramKind::Studio);
    const std::string latin1 = dir.File("Caf\xe9.wav");
    MakeWav(dir.File("plain.wav"), 1.0);
    MakeWav(latin1, 2.0);
    ASSERT_EQ(list.AddFile(dir.File("plain.wav")), 0);
    ASSERT_EQ(list.AddFile(latin1), 1);
    EXPECT_EQ(list.CellText(1, CTrackListCtrl::kPathColumn), latin1);

    list.SelectRow(1);
    list.MoveUp();
    EXPECT_EQ(list.CellText(0, CTrackListCtrl::kPathColumn), latin1);
    EXPECT_EQ(list.CellText(1, CTrackListCtrl::kPathColumn), dir.File("plain.wav"));
    list.PlaySelected();
    ASSERT_EQ(list.played.size(), 1u);
    EXPECT_EQ(list.played[0][0].path, latin1);

    const std::string playlist = dir.File("list.m3u");
    ASSERT_EQ(list.SaveM3u(playlist), 2);
    EXPECT_NE(ReadText(playlist).find("\r\n" + latin1 + "\r\n"), std::string::npos);
    CTrackListCtrl other(ProgramKind::Studio);
    EXPECT_EQ(other.LoadM3u(playlist), 2);
    ASSERT_EQ(other.RowCount(), 2);
    EXPECT_EQ(other.CellText(0, CTrackListCtrl::kPathColumn), latin1);
    EXPECT_EQ(other.total(), "00:03");
    const std::string again = dir.File("again.m3u");
    EXPECT_EQ(other.SaveM3u(again), 2);
    EXPECT_EQ(ReadFile(again), ReadFile(playlist));

    // A path column rewritten through the list reads back as written.
    other.SetCellText(0, CTrackListCtrl::kPathColumn, "/m/other.mp3");
    EXPECT_EQ(other.CellText(0, CTrackListCtrl::kPathColumn), "/m/other.mp3");
    EXPECT_TRUE(ui->messageTexts().empty());
}

// A playlist line that names a named pipe is counted and skipped; nothing waits for a writer.
TEST(TrackListM3u, NamedPipeLineIsSkipped) {
    TempDir dir;
    const std::string pipe = dir.File("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    MakeWav(dir.File("a.wav"), 1.0);
    const std::string file = dir.File("list.m3u");
    WriteFile(file, Bytes("#EXTM3U\r\n" + pipe + "\r\n" + dir.File("a.wav") + "\r\n"));
    CTrackListCtrl list(ProgramKind::Studio);
    EXPECT_EQ(list.AddFile(pipe), 0);
    EXPECT_EQ(list.LoadM3u(file), 2);
    EXPECT_EQ(Column(list, 3), std::vector<std::string>{dir.File("a.wav")});
    EXPECT_EQ(list.LoadM3u(pipe), -1);
    EXPECT_EQ(list.RowCount(), 1);
}
