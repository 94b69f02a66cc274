// The CD ripper driven as a user drives it, on generated disc images in the image folder: the real
// CD-access library and codec engine, the read-error question answered by the test. What the
// ripper writes is read back by cd-paranoia and ffprobe.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/scripted_ui.h"
#include "studio/app.h"
#include "studio/codec_engine.h"
#include "studio/job_state.h"
#include "studio/jobs.h"
#include "studio/main_window.h"
#include "studio/main_window_logic.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/tools/cd_ripper_dlg.h"
#include "tests/support/cd_images.h"
#include "tests/support/test_support.h"
#include "uikit/track_list.h"

namespace ts = testing_support;
using namespace studio;

namespace {

bool WaitFor(const std::function<bool()>& condition, int ms = 60000) {
    return QTest::qWaitFor(condition, ms);
}

// The 44-byte header's data size and the audio bytes after it.
struct RippedWav {
    uint32_t dataSize = 0;
    std::vector<uint8_t> audio;
};
RippedWav ReadRippedWav(const std::string& path) {
    const std::vector<uint8_t> bytes = ts::ReadFile(path);
    RippedWav wav;
    if (bytes.size() < 44) return wav;
    wav.dataSize = bytes[40] | bytes[41] << 8 | bytes[42] << 16 | uint32_t{bytes[43]} << 24;
    wav.audio.assign(bytes.begin() + 44, bytes.end());
    return wav;
}

// ffprobe's length of an MP3 counts its last frame whole: up to two frames of 1152 samples more
// than went in.
constexpr double kMp3Slack = 2 * 1152 / 44100.0;

double Seconds(const std::string& mp3) {
    const auto probe = ts::Probe(mp3);
    return probe ? probe->duration : -1;
}

class CdRipper : public ::testing::Test {
  protected:
    studio::Session session;
    void SetUp() override {
        if (!ts::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe missing";
        ASSERT_TRUE(session.BindCodecEngine());
        folder = dir.File("discs");
        std::filesystem::create_directories(folder);
        ::setenv("VEXMOR_DISC_IMAGES", folder.c_str(), 1);
        session.cd.currentDrive = 0;
        session.cd.tracks.clear();
    }
    void TearDown() override { CCdRipperDlg::SetConfirmHandler({}); }

    // Answers the read-error questions from a queue and records them.
    void AnswerQuestions(std::deque<int> answers) {
        {
            std::lock_guard lock(mutex);
            queued = std::move(answers);
            asked.clear();
        }
        CCdRipperDlg::SetConfirmHandler([this](const std::string& text) {
            std::lock_guard lock(mutex);
            asked.push_back(text);
            if (queued.empty()) return kConfirmNo;
            const int answer = queued.front();
            queued.pop_front();
            return answer;
        });
    }
    std::vector<std::string> Asked() {
        std::lock_guard lock(mutex);
        return asked;
    }

    // Rips and waits for the end of the run, the end message handled.
    void RipAndWait(CCdRipperDlg& ripper) {
        ripper.OnRip();
        ASSERT_TRUE(WaitFor([this] { return session.ripper.finished.load() == 1; }));
        ASSERT_TRUE(WaitFor([this] { return session.ripper.ripping.load() == 0; }));
        QApplication::processEvents();
    }

    static void Tick(CCdRipperDlg& ripper, std::initializer_list<int> rows) {
        for (int row : rows) ripper.list()->topLevelItem(row)->setCheckState(0, Qt::Checked);
    }
    static std::string Status(CCdRipperDlg& ripper, int row) {
        return ripper.list()->CellText(row, 2);
    }

    platform::ScopedScriptedUi ui;
    ts::TempDir dir;
    std::string folder;
    std::mutex mutex;
    std::deque<int> queued;
    std::vector<std::string> asked;
};

}  // namespace

TEST_F(CdRipper, CdToMp3WritesTaggedTrackFilesAndLeavesTheOpenSongAlone) {
    ts::DiscImage disc;
    disc.title = "Generated Album";
    disc.performer = "Test Band";
    disc.tracks = {{300, true, "", ""},
                   {150, false, "First Song", "Singer A"},
                   {20, false, "Tiny", ""},
                   {225, false, "", ""}};
    ts::WriteDiscImage(folder, "album", disc);
    // The song open in the editor.
    const std::string song = TempWavPath();
    ts::WriteFile(song, ts::MakeToneWav({}));
    session.job.SetCurrentWavPath(song);
    const std::vector<uint8_t> songBytes = ts::ReadFile(song);

    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.EnsureInitialized();
    EXPECT_EQ(ripper.windowTitle(), "CD Ripper:");
    EXPECT_EQ(ripper.Control<QComboBox>(CCdRipperDlg::kIdDrives)->currentText(),
              "D: Disc image album");
    ASSERT_EQ(ripper.list()->RowCount(), 4);
    EXPECT_EQ(ripper.list()->CellText(0, 0), "Data track");
    EXPECT_EQ(ripper.list()->CellText(0, 1), "");
    EXPECT_EQ(ripper.list()->CellText(1, 0), "Track 01");
    EXPECT_EQ(ripper.list()->CellText(1, 1), "00:02");
    EXPECT_EQ(ripper.list()->CellText(3, 0), "Track 03");

    // A click on a row's check box ticks it.
    ripper.show();
    QTreeWidgetItem* first = ripper.list()->topLevelItem(0);
    const QRect row = ripper.list()->visualItemRect(first);
    QTest::mouseClick(ripper.list()->viewport(), Qt::LeftButton, {},
                      QPoint(row.left() + 12, row.center().y()));
    EXPECT_EQ(first->checkState(0), Qt::Checked);
    QTest::mouseClick(ripper.list()->viewport(), Qt::LeftButton, {},
                      QPoint(row.left() + 200, row.center().y()));
    EXPECT_EQ(first->checkState(0), Qt::Checked);
    // Every row ticked, the data track too; the folder typed with the other separator.
    Tick(ripper, {1, 2, 3});
    ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, dir.path() + "\\rips");
    RipAndWait(ripper);
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Complete!"});
    EXPECT_EQ(ui->messages().back().icon, platform::MsgIcon::Information);
    EXPECT_EQ(session.settings.ripOutputFolder, dir.path() + "\\rips/");

    const std::string out = dir.File("rips/");
    EXPECT_FALSE(std::filesystem::exists(out + "track01.mp3"));  // the data track
    EXPECT_NEAR(Seconds(out + "track02.mp3"), 2.0, kMp3Slack);
    EXPECT_NEAR(Seconds(out + "track03.mp3"), 20 / 75.0, kMp3Slack);
    EXPECT_NEAR(Seconds(out + "track04.mp3"), 3.0, kMp3Slack);
    const auto tags = ts::ProbeTags(out + "track02.mp3");
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->at("title"), "First Song");
    EXPECT_EQ(tags->at("artist"), "Singer A");
    EXPECT_EQ(tags->at("album"), "Generated Album");
    EXPECT_EQ(tags->at("track"), "2/4");
    const auto untitled = ts::ProbeTags(out + "track04.mp3");
    ASSERT_TRUE(untitled);
    EXPECT_EQ(untitled->count("title"), 0u);
    EXPECT_EQ(untitled->at("artist"), "Test Band");
    EXPECT_EQ(untitled->at("track"), "4/4");
    EXPECT_EQ(Status(ripper, 0), "");
    EXPECT_EQ(Status(ripper, 1), "MP3:100%");

    EXPECT_EQ(session.job.CurrentWavPath(), song);
    EXPECT_EQ(ts::ReadFile(song), songBytes);
    EXPECT_FALSE(std::filesystem::exists(RipWavPath(RipMode::CdToMp3)));
}

TEST_F(CdRipper, ExtractReadsTheTrackExactlyAsCdParanoiaDoes) {
    ts::DiscImage disc;
    disc.tracks = {{700, false, "", ""}, {20, false, "", ""}};
    const std::string cue = ts::WriteDiscImage(folder, "disc", disc);

    for (int row : {0, 1}) {
        CCdRipperDlg ripper(session, RipMode::Extract);
        ripper.EnsureInitialized();
        EXPECT_TRUE(ripper.Item(CCdRipperDlg::kIdOutputFolder)->isHidden());
        EXPECT_TRUE(ripper.Item(CCdRipperDlg::kIdBrowse)->isHidden());
        ripper.list()->SelectRow(row);
        RipAndWait(ripper);
        EXPECT_EQ(ripper.result(), platform::IDOK);
        EXPECT_EQ(Status(ripper, row), "...");

        const int32_t first = row == 0 ? 0 : 700, frames = row == 0 ? 700 : 20;
        const RippedWav wav = ReadRippedWav(RipWavPath(RipMode::Extract));
        EXPECT_EQ(wav.dataSize, static_cast<uint32_t>(frames) * kCdFrameBytes);
        EXPECT_TRUE(wav.audio == ts::ImageFrames(cue, first, frames)) << "row " << row;
        if (ts::HaveTool("cd-paranoia")) {
            const std::string peer = dir.File("peer.wav");
            ASSERT_EQ(
                ts::RunTool({"cd-paranoia", "-q", "-d", cue, "-w", std::to_string(row + 1), peer})
                    .exitCode,
                0);
            EXPECT_TRUE(ReadRippedWav(peer).audio == wav.audio);
        }
    }
    EXPECT_TRUE(ui->messageTexts().empty());
}

TEST_F(CdRipper, ReadErrorsAskYesNoOrAllAndShortenTheTrack) {
    ts::DiscImage disc;
    disc.tracks = {{200, false, "", ""}, {200, false, "", ""}};
    const std::string cue = ts::WriteDiscImage(folder, "worn", disc);
    ts::WriteBadFrames(cue, "30\n100\n260\n");
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.EnsureInitialized();
    ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, dir.path());
    const std::string track1 = dir.File("track01.mp3"), track2 = dir.File("track02.mp3");

    // "Yes" passes one chunk over; "All" passes over every later one, the next track's too.
    AnswerQuestions({kConfirmYes, kConfirmAll});
    Tick(ripper, {0, 1});
    RipAndWait(ripper);
    EXPECT_EQ(
        Asked(),
        (std::vector<std::string>{
            "Error at frame 26\nASPIlib error 3, ASPI error 4\nDo you want to ignore this?",
            "Error at frame 78\nASPIlib error 3, ASPI error 4\nDo you want to ignore this?"}));
    EXPECT_NEAR(Seconds(track1), (200 - 52) / 75.0, kMp3Slack);
    EXPECT_NEAR(Seconds(track2), (200 - 26) / 75.0, kMp3Slack);

    // The next run asks again; "No" ends the track with what was read, which is still encoded.
    // (It replaces the first run's files, as the user agrees to.)
    ui->QueueMessageResult(platform::MsgResult::Yes);
    AnswerQuestions({kConfirmNo, kConfirmNo});
    RipAndWait(ripper);
    ASSERT_EQ(Asked().size(), 2u);
    EXPECT_EQ(Asked()[1].rfind("Error at frame 252\n", 0), 0u);
    EXPECT_NEAR(Seconds(track1), 26 / 75.0, kMp3Slack);
    EXPECT_NEAR(Seconds(track2), 52 / 75.0, kMp3Slack);
    EXPECT_EQ(session.cd.tracks[0].status.load(), kStatusCancelled);
    EXPECT_EQ(ui->messageTexts(),
              (std::vector<std::string>{"Complete!", RipReplaceQuestion({"track01.mp3", "track02.mp3"}),
                                        "Complete!"}));
}

// The last 26 frames of a track unreadable (where a drive's read offset bites): the two chunks
// they touch go through the question like any other, in both modes and with each answer, and the
// run always ends with the part before them.
TEST_F(CdRipper, UnreadableEndOfATrackAsksAndNeverHangs) {
    ts::DiscImage disc;
    disc.tracks = {{140, false, "", ""}, {60, false, "", ""}};
    const std::string cue = ts::WriteDiscImage(folder, "edge", disc);
    ts::WriteBadFrames(cue, "114-139\n");
    const std::string at104 =
        "Error at frame 104\nASPIlib error 3, ASPI error 4\nDo you want to ignore this?";
    const std::string at130 =
        "Error at frame 130\nASPIlib error 3, ASPI error 4\nDo you want to ignore this?";
    struct Case {
        int answer;
        std::vector<std::string> asked;
        int status;
    };
    const Case cases[] = {{kConfirmYes, {at104, at130}, kStatusRead},
                          {kConfirmNo, {at104}, kStatusCancelled},
                          {kConfirmAll, {at104}, kStatusRead}};
    for (const Case& c : cases) {
        SCOPED_TRACE("answer " + std::to_string(c.answer));
        {
            CCdRipperDlg ripper(session, RipMode::Extract);
            ripper.EnsureInitialized();
            ripper.list()->SelectRow(0);
            AnswerQuestions({c.answer, c.answer});
            RipAndWait(ripper);
            EXPECT_EQ(Asked(), c.asked);
            EXPECT_EQ(session.cd.tracks[0].status.load(), c.status);
            EXPECT_EQ(ripper.result(), platform::IDOK);
            const RippedWav wav = ReadRippedWav(RipWavPath(RipMode::Extract));
            EXPECT_EQ(wav.dataSize, 104u * kCdFrameBytes);
            EXPECT_TRUE(wav.audio == ts::ImageFrames(cue, 0, 104));
        }
        {
            CCdRipperDlg ripper(session, RipMode::CdToMp3);
            ripper.EnsureInitialized();
            ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, dir.path());
            Tick(ripper, {0, 1});
            // The files of the case before would bring the replace question first.
            std::filesystem::remove(dir.File("track01.mp3"));
            std::filesystem::remove(dir.File("track02.mp3"));
            AnswerQuestions({c.answer, c.answer});
            RipAndWait(ripper);
            EXPECT_EQ(Asked(), c.asked);
            EXPECT_EQ(session.cd.tracks[0].status.load(), c.status);
            EXPECT_EQ(session.cd.tracks[1].status.load(), kStatusRead);
            EXPECT_NEAR(Seconds(dir.File("track01.mp3")), 104 / 75.0, kMp3Slack);
            EXPECT_NEAR(Seconds(dir.File("track02.mp3")), 60 / 75.0, kMp3Slack);
        }
    }
}

// A drive chosen while a rip runs does nothing: the box goes back to the drive being ripped, and
// the next Rip reads the disc the box shows.
TEST_F(CdRipper, DriveChosenDuringARipGoesBack) {
    ts::DiscImage first, second;
    first.tracks = {{300, false, "", ""}};
    second.tracks = {{75, false, "", ""}, {75, false, "", ""}};
    second.seed = 2;
    const std::string cue = ts::WriteDiscImage(folder, "a-first", first);
    ts::WriteDiscImage(folder, "b-second", second);
    ts::WriteBadFrames(cue, "0\n");
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.EnsureInitialized();
    ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, dir.path());
    auto* combo = ripper.Control<QComboBox>(CCdRipperDlg::kIdDrives);
    ASSERT_EQ(combo->count(), 2);
    auto choose = [combo](int index) {  // as the user picks a line
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    };
    std::atomic<bool> asking{false}, proceed{false};
    CCdRipperDlg::SetConfirmHandler([&](const std::string&) {
        asking = true;
        while (!proceed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return kConfirmYes;
    });
    Tick(ripper, {0});
    ripper.OnRip();
    ASSERT_TRUE(WaitFor([&] { return asking.load(); }));
    choose(1);
    QApplication::processEvents();
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(session.cd.currentDrive, 0);
    EXPECT_EQ(ripper.list()->RowCount(), 1);
    proceed = true;
    ASSERT_TRUE(WaitFor([this] { return session.ripper.finished.load() == 1; }));
    ASSERT_TRUE(WaitFor([this] { return session.ripper.ripping.load() == 0; }));
    QApplication::processEvents();

    CCdRipperDlg::SetConfirmHandler({});
    ts::WriteBadFrames(cue, "");
    // The first rip's file would bring the replace question first.
    std::filesystem::remove(dir.File("track01.mp3"));
    RipAndWait(ripper);
    EXPECT_NEAR(Seconds(dir.File("track01.mp3")), 4.0, kMp3Slack);
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"Complete!", "Complete!"}));
    // Once idle, a chosen drive is read.
    choose(1);
    EXPECT_EQ(session.cd.currentDrive, 1);
    EXPECT_EQ(ripper.list()->RowCount(), 2);
}

// "~/rips" and a relative name are folders in the home folder, shown and kept in full.
TEST_F(CdRipper, TypedFoldersLieInTheHomeFolder) {
    ts::DiscImage disc;
    disc.tracks = {{30, false, "", ""}};
    ts::WriteDiscImage(folder, "short", disc);
    struct HomeAt {
        explicit HomeAt(const std::string& folder) : old(std::getenv("HOME")) {
            ::setenv("HOME", folder.c_str(), 1);
        }
        ~HomeAt() { ::setenv("HOME", old.c_str(), 1); }
        std::string old;
    } home(dir.File("home"));
    std::filesystem::create_directories(dir.File("home"));
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.EnsureInitialized();
    for (const auto& [typed, full] : std::vector<std::pair<std::string, std::string>>{
             {"~/rips", dir.File("home/rips/")},
             {"more rips", dir.File("home/more rips/")},
             {"~", dir.File("home/")}}) {
        ui->Clear();
        ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, typed);
        Tick(ripper, {0});
        RipAndWait(ripper);
        EXPECT_EQ(ripper.ItemText(CCdRipperDlg::kIdOutputFolder), full);
        EXPECT_EQ(session.settings.ripOutputFolder, full);
        EXPECT_TRUE(std::filesystem::exists(full + "track01.mp3")) << typed;
    }
    EXPECT_FALSE(std::filesystem::exists("~"));
}

// Images of five kinds are five drives, each listing its tracks without a message; the drive
// list is kept as a picture (VX_SCREENSHOT_DIR) for a person to look at.
TEST_F(CdRipper, ImagesOfEveryKindAreDrives) {
    auto text = [&](const std::string& name, const std::string& body) {
        std::ofstream(folder + "/" + name) << body;
    };
    ts::WriteFile(folder + "/Album (disc 1).bin", ts::ToneFrames(900, 1));
    text("album.cue",
         "TITLE \"Album\"\nFILE \"Album (disc 1).bin\" BINARY\n TRACK 01 AUDIO\n"
         "  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  INDEX 00 00:05:00\n"
         "  INDEX 01 00:06:00\n");
    ts::WriteFile(folder + "/01.bin", ts::ToneFrames(600, 2));
    ts::WriteFile(folder + "/02.bin", ts::ToneFrames(450, 3));
    text("by-track.cue",
         "FILE \"01.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
         "FILE \"02.bin\" BINARY\n TRACK 02 AUDIO\n  INDEX 00 00:00:00\n"
         "  INDEX 01 00:01:00\n");
    ts::WriteFile(folder + "/be.raw", ts::Swapped(ts::ToneFrames(525, 4)));
    text("cdda_4_5.cue",
         "FILE \"be.raw\" MOTOROLA\n TRACK 04 AUDIO\n  INDEX 01 00:00:00\n"
         " TRACK 05 AUDIO\n  INDEX 01 00:03:00\n");
    ts::WriteFile(folder + "/session.raw", ts::ToneFrames(750, 5));
    text("session.toc",
         "CD_DA\nTRACK AUDIO\nDATAFILE \"session.raw\" 00:06:00\n"
         "TRACK AUDIO\nDATAFILE \"session.raw\"\n");
    ts::WriteNrgImage(folder + "/nero.nrg", {ts::ToneFrames(375, 6), ts::ToneFrames(300, 7)},
                      {0, 0});

    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ripper));
    auto* combo = ripper.Control<QComboBox>(CCdRipperDlg::kIdDrives);
    QStringList lines;
    for (int i = 0; i < combo->count(); ++i) lines << combo->itemText(i);
    EXPECT_EQ(lines, (QStringList{"D: Disc image album", "E: Disc image by-track",
                                  "F: Disc image cdda_4_5", "G: Disc image nero",
                                  "H: Disc image session"}));
    const int rows[] = {2, 2, 2, 2, 2};
    for (int i = 0; i < combo->count(); ++i) {
        combo->setCurrentIndex(i);
        emit combo->activated(i);
        EXPECT_EQ(ripper.list()->RowCount(), rows[i]) << lines[i].toStdString();
    }
    EXPECT_TRUE(ui->messageTexts().empty());
    combo->setCurrentIndex(0);
    emit combo->activated(0);

    // The dialog with its open drive list beneath the box.
    combo->showPopup();
    QApplication::processEvents();
    QWidget* popup = combo->view()->window();
    const QImage dialog = ripper.grab().toImage();
    const QImage list = popup->grab().toImage();
    const QPoint at = ripper.mapFromGlobal(combo->mapToGlobal(QPoint(0, combo->height())));
    QImage shot(dialog.size(), QImage::Format_ARGB32);
    QPainter painter(&shot);
    painter.drawImage(0, 0, dialog);
    painter.drawImage(at, list);
    painter.end();
    combo->hidePopup();
    ts::KeepScreenshot(shot, "ripper-images.png");
}

// The track list's right-click menu ticks every track or none.
TEST_F(CdRipper, SelectAllAndNoneTickTheTracks) {
    ts::DiscImage disc;
    disc.tracks = {{30, true, "", ""}, {30, false, "", ""}, {30, false, "", ""}};
    ts::WriteDiscImage(folder, "three", disc);
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.EnsureInitialized();
    auto ticked = [&] {
        int n = 0;
        for (int row = 0; row < ripper.list()->RowCount(); ++row)
            n += ripper.list()->topLevelItem(row)->checkState(0) == Qt::Checked;
        return n;
    };
    QMenu* menu = ripper.TickMenu();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Select all");
    EXPECT_EQ(menu->actions()[1]->text(), "Select none");
    menu->actions()[0]->trigger();
    EXPECT_EQ(ticked(), 3);
    menu->actions()[1]->trigger();
    EXPECT_EQ(ticked(), 0);
    delete menu;
    // A right click on the rows or the header opens it.
    for (QWidget* target :
         {ripper.list()->viewport(), static_cast<QWidget*>(ripper.list()->header())}) {
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                target->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(target, &click);
        QMenu* shown = ripper.findChild<QMenu*>();
        ASSERT_NE(shown, nullptr);
        shown->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(ripper.findChild<QMenu*>(), nullptr);
    }
}

// Stop, pressed while the worker waits on its question, in both modes: the window answers
// meanwhile, closing is refused, the track is marked cancelled and nothing is encoded.
TEST_F(CdRipper, StopEndsTheRunInBothModes) {
    ts::DiscImage disc;
    disc.tracks = {{2000, false, "", ""}, {300, false, "", ""}};
    const std::string cue = ts::WriteDiscImage(folder, "long", disc);
    ts::WriteBadFrames(cue, "700\n");

    for (RipMode mode : {RipMode::CdToMp3, RipMode::Extract}) {
        ui->Clear();
        CCdRipperDlg ripper(session, mode);
        ripper.resize(ripper.size());
        ripper.show();
        ripper.EnsureInitialized();
        ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, dir.path());
        if (mode == RipMode::CdToMp3) {
            Tick(ripper, {0, 1});
        } else {
            ripper.list()->SelectRow(0);
        }
        CCdRipperDlg::SetConfirmHandler([this, &ripper, mode](const std::string&) {
            QMetaObject::invokeMethod(
                &ripper,
                [&ripper, mode] {
                    if (mode == RipMode::CdToMp3) {
                        ts::KeepScreenshot(ripper.grab().toImage(), "cd_ripper_during_rip.png");
                    }
                    ripper.close();
                },
                Qt::BlockingQueuedConnection);
            QMetaObject::invokeMethod(
                &ripper, [&ripper] { ripper.OnStop(); }, Qt::QueuedConnection);
            while (session.ripper.ripping.load() != 0) QThread::msleep(5);
            return kConfirmYes;
        });
        RipAndWait(ripper);
        EXPECT_EQ(Status(ripper, 0), "Cancelled");
        if (mode == RipMode::CdToMp3) {
            EXPECT_EQ(Status(ripper, 1), "Cancelled");
            EXPECT_FALSE(std::filesystem::exists(dir.File("track01.mp3")));
            EXPECT_FALSE(std::filesystem::exists(dir.File("track02.mp3")));
            EXPECT_EQ(ui->messageTexts(),
                      (std::vector<std::string>{"You are ripping.", "Complete!"}));
        } else {
            // The dialog stays open; the partial track is not handed over.
            EXPECT_EQ(ripper.result(), 0);
            EXPECT_TRUE(ripper.isVisible());
            EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"You are ripping."});
            const RippedWav wav = ReadRippedWav(RipWavPath(RipMode::Extract));
            EXPECT_EQ(wav.dataSize, wav.audio.size());
            EXPECT_LT(wav.audio.size(), 2000u * kCdFrameBytes);
        }
        ripper.close();
        EXPECT_EQ(ripper.result(), platform::IDCANCEL);
    }
}

// The end of the program (a signal) asks the session's jobs to stop and closes the ripper in the
// middle of a rip: the ripper waits for the run to end before it goes, and nothing is written.
TEST_F(CdRipper, EndingTheSessionStopsARipAndTheRipperWaitsForIt) {
    ts::DiscImage disc;
    disc.tracks = {{2000, false, "", ""}, {300, false, "", ""}};
    const std::string cue = ts::WriteDiscImage(folder, "long", disc);
    ts::WriteBadFrames(cue, "700\n");
    std::atomic<bool> asked{false};
    {
        CCdRipperDlg ripper(session, RipMode::CdToMp3);
        ripper.show();
        ripper.EnsureInitialized();
        ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, dir.path());
        Tick(ripper, {0, 1});
        // The run waits inside the read-error question until the stop has come.
        CCdRipperDlg::SetConfirmHandler([this, &asked](const std::string&) {
            asked = true;
            while (session.ripper.ripping.load() != 0) QThread::msleep(5);
            QThread::msleep(50);
            return kConfirmYes;
        });
        ripper.OnRip();
        ASSERT_TRUE(WaitFor([&asked] { return asked.load(); }));
        EXPECT_EQ(session.workers.Running(), 1);
        session.workers.RequestStop();
    }
    EXPECT_EQ(session.ripper.finished.load(), 1) << "the ripper went before its run ended";
    EXPECT_TRUE(session.workers.WaitIdle(std::chrono::seconds(20)));
    EXPECT_EQ(session.ripper.userStop.load(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("track01.mp3")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("track02.mp3")));
}

TEST_F(CdRipper, NoDriveChangedDiscAndMissingChoicesAreRefused) {
    {
        CCdRipperDlg ripper(session, RipMode::Extract);
        ripper.EnsureInitialized();
        EXPECT_TRUE(ripper.noDrives());
        EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Couldn't find any CD-ROM drives!"});
        QApplication::processEvents();
        EXPECT_EQ(ripper.result(), platform::IDCANCEL);
    }
    ui->Clear();
    ts::DiscImage disc;
    disc.tracks = {{300, false, "", ""}, {300, false, "", ""}};
    ts::WriteDiscImage(folder, "first", disc);
    // A remembered drive beyond the drives found falls back to the first.
    session.cd.currentDrive = 5;
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.EnsureInitialized();
    EXPECT_EQ(session.cd.currentDrive, 0);
    ASSERT_EQ(ripper.list()->RowCount(), 2);

    ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, "");
    ripper.OnRip();
    ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, dir.File("plain-file/sub"));
    ts::WriteFile(dir.File("plain-file"), {1});
    ripper.OnRip();
    // "..." fills the folder from the folder picker.
    ui->QueuePickFolder(dir.path());
    ripper.OnBrowse();
    EXPECT_EQ(ui->folderDialogs().size(), 1u);
    EXPECT_EQ(ripper.ItemText(CCdRipperDlg::kIdOutputFolder), dir.path());
    ripper.OnRip();  // nothing ticked
    disc.tracks[0].frames = 375;
    ts::WriteDiscImage(folder, "first", disc);
    Tick(ripper, {0});
    ripper.OnRip();
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{
                                      "You should set a path for your mp3s!",
                                      "Please select a valid path!",
                                      "You should select a song.",
                                      "CD has changed.Do a refresh and try again!",
                                  }));
    EXPECT_EQ(session.ripper.ripping.load(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("track01.mp3")));

    // After a refresh the new disc is listed; a disc taken out leaves an empty list.
    ui->Clear();
    ripper.OnRefresh();
    EXPECT_EQ(ripper.list()->CellText(0, 1), "00:05");
    std::filesystem::remove(folder + "/first.bin");
    ripper.OnRefresh();
    EXPECT_EQ(ripper.list()->RowCount(), 0);
    EXPECT_EQ(
        ui->messageTexts(),
        std::vector<std::string>{"disc image first.cue: the file first.bin it names is missing"});
}

// A rip into a folder that holds files of an earlier rip asks once; No leaves those files and
// rips nothing, Yes replaces them. A rip into an empty folder asks nothing.
TEST_F(CdRipper, ASecondDiscAsksBeforeReplacingTheFirstDiscsFiles) {
    ts::DiscImage disc;
    disc.tracks = {{150, false, "", ""}, {75, false, "", ""}};
    ts::WriteDiscImage(folder, "disc", disc);
    CCdRipperDlg ripper(session, RipMode::CdToMp3);
    ripper.EnsureInitialized();
    ASSERT_EQ(ripper.list()->RowCount(), 2);
    const std::string out = dir.File("rips/");
    ripper.SetItemText(CCdRipperDlg::kIdOutputFolder, out);
    Tick(ripper, {0, 1});
    RipAndWait(ripper);
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Complete!"});
    const std::vector<uint8_t> first = ts::ReadFile(out + "track01.mp3");
    EXPECT_NEAR(Seconds(out + "track01.mp3"), 2.0, kMp3Slack);

    // The second disc: three tracks, the first two of which would land on the first disc's.
    disc.tracks = {{375, false, "", ""}, {300, false, "", ""}, {75, false, "", ""}};
    ts::WriteDiscImage(folder, "disc", disc);
    ripper.OnRefresh();
    ASSERT_EQ(ripper.list()->RowCount(), 3);
    ui->Clear();
    ui->QueueMessageResult(platform::MsgResult::No);
    Tick(ripper, {0, 1, 2});
    ripper.OnRip();
    QApplication::processEvents();
    const std::string question =
        "The output folder already holds files of these names:\ntrack01.mp3\ntrack02.mp3\n"
        "Do you want to replace them?";
    ASSERT_EQ(ui->messages().size(), 1u);
    EXPECT_EQ(ui->messages()[0].text, question);
    EXPECT_EQ(ui->messages()[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(session.ripper.ripping.load(), 0);
    EXPECT_EQ(ts::ReadFile(out + "track01.mp3"), first);
    EXPECT_FALSE(std::filesystem::exists(out + "track03.mp3"));
    EXPECT_EQ(Status(ripper, 0), "");

    ui->Clear();
    ui->QueueMessageResult(platform::MsgResult::Yes);
    RipAndWait(ripper);
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{question, "Complete!"}));
    EXPECT_NEAR(Seconds(out + "track01.mp3"), 5.0, kMp3Slack);
    EXPECT_NEAR(Seconds(out + "track02.mp3"), 4.0, kMp3Slack);
    EXPECT_NEAR(Seconds(out + "track03.mp3"), 1.0, kMp3Slack);
    EXPECT_TRUE(ui->unexpected().empty());

    EXPECT_EQ(RipReplaceQuestion({"track01.mp3"}),
              "The output folder already holds a file of this name:\ntrack01.mp3\n"
              "Do you want to replace it?");
    const std::vector<std::string> many(7, "trackNN.mp3");
    EXPECT_NE(RipReplaceQuestion(many).find("\n(and 2 more)\n"), std::string::npos);
}

TEST(CdRipperStatus, StatusTexts) {
    EXPECT_EQ(CCdRipperDlg::StatusText(-1), "");
    EXPECT_EQ(CCdRipperDlg::StatusText(0), "0%");
    EXPECT_EQ(CCdRipperDlg::StatusText(99), "99%");
    EXPECT_EQ(CCdRipperDlg::StatusText(100), "...");
    EXPECT_EQ(CCdRipperDlg::StatusText(101), "Cancelled");
    EXPECT_EQ(CCdRipperDlg::StatusText(102), "ERROR");
}

TEST(CdConfirm, OnlyTheThreeButtonsCloseIt) {
    for (int id : {kConfirmYes, kConfirmNo, kConfirmAll}) {
        studio::CConfirmDlg confirm("Error at frame 26");
        confirm.show();
        QTest::keyClick(&confirm, Qt::Key_Escape);
        QTest::keyClick(&confirm, Qt::Key_Return);
        confirm.close();
        EXPECT_TRUE(confirm.isVisible());
        confirm.Command(id);
        EXPECT_EQ(confirm.result(), id);
    }
}

// The studio's buttons: "Extract From CD" opens the read track in the editor as "CD"; "CD To MP3"
// leaves that song open.
TEST_F(CdRipper, StudioButtonsOpenTheRipperInItsTwoModes) {
    ConstructApplication(session);
    ASSERT_TRUE(RegisterEditorControl());
    ts::DiscImage disc;
    disc.tracks = {{150, false, "", ""}, {80, false, "", ""}};
    const std::string cue = ts::WriteDiscImage(folder, "disc", disc);
    CRingsmithDlg window(session);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // Plays the user's part in the ripper once it is up.
    std::function<void(CCdRipperDlg&)> user;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* ripper = qobject_cast<CCdRipperDlg*>(QApplication::activeModalWidget());
        if (!ripper || !user) return;
        auto act = std::move(user);
        user = nullptr;
        act(*ripper);
    });
    poll.start(20);

    user = [](CCdRipperDlg& ripper) {
        EXPECT_EQ(ripper.windowTitle(), "CD Ripper:");
        ripper.list()->SelectRow(1);
        ripper.OnRip();
    };
    window.Command(kCmdExtractFromCd);
    EXPECT_EQ(window.currentFileName(), "CD");
    EXPECT_EQ(session.job.CurrentWavPath(), TempWavPath());
    const RippedWav wav = ReadRippedWav(TempWavPath());
    EXPECT_TRUE(wav.audio == ts::ImageFrames(cue, 150, 80));

    user = [](CCdRipperDlg& ripper) {
        EXPECT_FALSE(ripper.Item(CCdRipperDlg::kIdOutputFolder)->isHidden());
        ripper.close();
    };
    window.Command(kCmdCdToMp3);
    EXPECT_EQ(window.currentFileName(), "CD");
    EXPECT_TRUE(ReadRippedWav(TempWavPath()).audio == wav.audio);
    EXPECT_TRUE(ui->messageTexts().empty()) << ui->messageTexts().front();
}
