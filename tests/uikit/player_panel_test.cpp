#include "uikit/player_panel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "platform/scripted_ui.h"
#include "tests/support/test_support.h"
#include "tests/uikit/track_list_fixtures.h"
#include "uikit/playlist_box.h"
#include "uikit/skin_bitmaps.h"
#include "uikit/skin_buttons.h"

using testing_support::TempDir;
using namespace track_fixtures;
using namespace std::chrono_literals;

namespace {

std::vector<TrackEntry> EntriesFor(const std::vector<std::string>& paths) {
    std::vector<TrackEntry> entries;
    for (const std::string& path : paths)
        entries.push_back({"ignored", static_cast<int>(entries.size()), "99:99", path});
    return entries;
}

// Waits (in real time; the dummy audio driver consumes sound at its real pace) until the song
// has ended. Qt events are not processed meanwhile, so timer 1 runs only when a test calls it.
bool WaitUntilEnded(CSongPanelDlg& panel, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (panel.player().IsPlaying()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Waits until the device's position has reached `ms` (the audio output starts with some delay).
bool WaitForPosition(CSongPanelDlg& panel, uint32_t ms) {
    const auto end = std::chrono::steady_clock::now() + 5000ms;
    while (panel.player().GetPositionMs().value_or(0) < ms) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

struct PanelFiles {
    TempDir dir;
    std::string a = dir.File("a.wav");  // 1 s
    std::string b = dir.File("b.wav");  // 2 s
    std::string bad = dir.File("bad.mp3");
    PanelFiles() {
        MakeWav(a, 1.0);
        MakeWav(b, 2.0);
        testing_support::WriteFile(bad, std::vector<uint8_t>(1000, 0x42));
    }
};

}  // namespace

TEST(SongPanelOpen, PlaysStartEntryWithTitleAndTime) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({files.a, files.b}), 1);
    panel.EnsureInitialized();
    const SongPanelResources& ids = panel.resources();
    EXPECT_EQ(panel.windowTitle().toStdString(), "MP3 Player");
    EXPECT_EQ(panel.current(), 1);
    EXPECT_TRUE(panel.player().IsPlaying());
    EXPECT_TRUE(panel.IsChecked(ids.play));
    EXPECT_FALSE(panel.IsChecked(ids.pause));
    EXPECT_FALSE(panel.IsChecked(ids.stop));
    EXPECT_TRUE(panel.IsTimerRunning(CSongPanelDlg::kTimerId));
    EXPECT_EQ(panel.TitleText(), "2.b.wav(0:02)");
    EXPECT_EQ(panel.TimeText(), "00:00");
    EXPECT_EQ(panel.SliderMaximum(), 2);
    EXPECT_EQ(panel.playlist().Count(), 2);
    EXPECT_EQ(panel.playlist().current(), 1);
    EXPECT_EQ(panel.playlist().GetTime(1), "0:02");
    EXPECT_FALSE(panel.playlist().isVisible());
}

TEST(SongPanelOpen, UnplayableEntryShowsNothingAndPlayDoesNothing) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({files.a, files.bad}), 1);
    panel.EnsureInitialized();
    const SongPanelResources& ids = panel.resources();
    EXPECT_EQ(panel.current(), -1);
    EXPECT_EQ(panel.TitleText(), "NONE");
    EXPECT_EQ(panel.TimeText(), "00:00");
    EXPECT_FALSE(panel.IsChecked(ids.play));
    panel.OnPlay();
    panel.OnPause();
    panel.OnStop();
    EXPECT_FALSE(panel.player().IsPlaying());
    EXPECT_FALSE(panel.IsChecked(ids.play) || panel.IsChecked(ids.pause) ||
                 panel.IsChecked(ids.stop));

    // Previous with no entry open opens the first entry rather than asking for entry -2.
    panel.OnPrevious();
    EXPECT_EQ(panel.current(), 0);
    EXPECT_TRUE(panel.player().IsPlaying());
    EXPECT_EQ(panel.TitleText(), "1.a.wav(0:01)");
}

TEST(SongPanelOpen, NextAfterAFailedOpenStartsAtTheFirstEntry) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Burner, EntriesFor({files.a, files.bad}), 1);
    panel.EnsureInitialized();
    EXPECT_EQ(panel.current(), -1);
    panel.OnNext();
    EXPECT_EQ(panel.current(), 0);
    EXPECT_TRUE(panel.IsChecked(panel.resources().play));

    CSongPanelDlg empty(ProgramKind::Burner, {}, 0);
    empty.EnsureInitialized();
    EXPECT_EQ(empty.NextIndex(), -1);
    EXPECT_EQ(empty.PrevIndex(), -1);
    empty.OnNext();
    empty.OnPrevious();
    empty.OnTimerTick();
    EXPECT_EQ(empty.current(), -1);
}

TEST(SongPanelSongs, NextOnLastAndPreviousOnFirstReplayFromStart) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({files.a, files.b}), 1);
    panel.EnsureInitialized();
    std::this_thread::sleep_for(300ms);
    panel.OnNext();
    EXPECT_EQ(panel.current(), 1);
    EXPECT_TRUE(panel.player().IsPlaying());
    EXPECT_LT(*panel.player().GetPositionMs(), 250u);

    panel.OnPrevious();
    EXPECT_EQ(panel.current(), 0);
    std::this_thread::sleep_for(300ms);
    panel.OnPrevious();
    EXPECT_EQ(panel.current(), 0);
    EXPECT_LT(*panel.player().GetPositionMs(), 250u);
    EXPECT_TRUE(panel.IsChecked(panel.resources().play));
}

TEST(SongPanelSongs, EndOfSongPlaysNextAndLastRepeats) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({files.a, files.b}), 0);
    panel.EnsureInitialized();
    ASSERT_TRUE(WaitUntilEnded(panel));
    panel.OnTimerTick();
    EXPECT_EQ(panel.current(), 1);
    EXPECT_TRUE(panel.player().IsPlaying());
    EXPECT_EQ(panel.TitleText(), "2.b.wav(0:02)");

    ASSERT_TRUE(WaitForPosition(panel, 1000));
    panel.OnTimerTick();
    EXPECT_EQ(panel.TimeText(), "00:01");
    EXPECT_EQ(panel.SliderValue(), 1);

    ASSERT_TRUE(WaitUntilEnded(panel));
    panel.OnTimerTick();
    EXPECT_EQ(panel.current(), 1);
    EXPECT_TRUE(panel.player().IsPlaying());
    EXPECT_EQ(panel.TimeText(), "00:00");
    EXPECT_EQ(panel.SliderValue(), 0);
}

TEST(SongPanelSongs, RemainingTimeRunsDownToZero) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({files.b}), 0);
    panel.EnsureInitialized();
    panel.OnTimeDisplayClicked();
    EXPECT_FALSE(panel.showElapsed());
    EXPECT_EQ(panel.TimeText(), "00:02");
    ASSERT_TRUE(WaitForPosition(panel, 1000));
    panel.OnTimerTick();
    EXPECT_EQ(panel.TimeText(), "00:01");
    ASSERT_TRUE(WaitUntilEnded(panel));
    panel.OnTimerTick();
    EXPECT_EQ(panel.TimeText(), "00:00");
    EXPECT_TRUE(panel.player().IsPlaying()) << "the last song plays again";

    panel.OnTimeDisplayClicked();
    EXPECT_TRUE(panel.showElapsed());
    EXPECT_EQ(panel.TimeText(), "00:00");
}

TEST(SongPanelJumps, BackToStartAndForwardToEnd) {
    PanelFiles files;
    const std::string longer = files.dir.File("c.wav");
    MakeWav(longer, 4.0);
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({longer, files.a}), 0);
    panel.EnsureInitialized();
    panel.OnStop();
    panel.player().SeekTo(3);
    panel.OnBack();
    EXPECT_EQ(*panel.player().GetPosition(), 0);
    EXPECT_EQ(panel.SliderValue(), 0);
    EXPECT_FALSE(panel.player().IsPlaying()) << "a stopped song stays stopped";

    panel.player().SeekTo(2);
    panel.OnForward();
    EXPECT_EQ(*panel.player().GetPosition(), 4);
    EXPECT_EQ(panel.TimeText(), "00:04");

    panel.OnPlay();
    panel.player().SeekTo(1);
    panel.player().Play();
    panel.OnForward();  // within five seconds of the end: to the end, then the timer moves on
    EXPECT_EQ(panel.SliderValue(), 4);
    ASSERT_TRUE(WaitUntilEnded(panel, 1000ms));
    panel.OnTimerTick();
    EXPECT_EQ(panel.current(), 1);
    EXPECT_TRUE(panel.player().IsPlaying());
}

TEST(SongPanelStates, PauseResumeStopAndCheckStates) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Burner, EntriesFor({files.b}), 0);
    panel.EnsureInitialized();
    const SongPanelResources& ids = panel.resources();

    panel.OnPause();
    EXPECT_EQ(panel.player().mode(), CMciPlayer::Mode::Paused);
    EXPECT_TRUE(panel.IsChecked(ids.pause));
    EXPECT_FALSE(panel.IsChecked(ids.play));
    EXPECT_FALSE(panel.IsTimerRunning(CSongPanelDlg::kTimerId));

    panel.OnPause();
    EXPECT_TRUE(panel.player().IsPlaying());
    EXPECT_TRUE(panel.IsChecked(ids.play));
    EXPECT_FALSE(panel.IsChecked(ids.pause));
    EXPECT_TRUE(panel.IsTimerRunning(CSongPanelDlg::kTimerId));

    ASSERT_TRUE(WaitForPosition(panel, 1000));
    panel.OnStop();
    EXPECT_FALSE(panel.player().IsPlaying());
    EXPECT_EQ(*panel.player().GetPosition(), 0);
    EXPECT_TRUE(panel.IsChecked(ids.stop));
    EXPECT_FALSE(panel.IsChecked(ids.play));
    EXPECT_FALSE(panel.IsTimerRunning(CSongPanelDlg::kTimerId));
    EXPECT_EQ(panel.TimeText(), "00:00");

    panel.OnPause();  // nothing to resume after a stop
    EXPECT_FALSE(panel.player().IsPlaying());
    panel.OnPlay();
    EXPECT_TRUE(panel.player().IsPlaying());
    EXPECT_TRUE(panel.IsChecked(ids.play));
    EXPECT_FALSE(panel.IsChecked(ids.stop));
}

// A seek leaves a paused device stopped at the new place: Pause no longer shows pressed, and Play
// goes on from there. Back, Forward and a slider drag alike.
TEST(SongPanelStates, ButtonsFollowTheDeviceAfterASeekWhilePaused) {
    PanelFiles files;
    const std::string longer = files.dir.File("c.wav");
    MakeWav(longer, 12.0);
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({longer}), 0);
    panel.EnsureInitialized();
    const SongPanelResources& ids = panel.resources();
    const std::vector<std::pair<const char*, std::function<void()>>> seeks{
        {"back", [&] { panel.OnBack(); }},
        {"forward", [&] { panel.OnForward(); }},
        {"slider", [&] { panel.OnSliderScroll(CSongPanelDlg::kScrollEnd, 7); }}};
    for (const auto& [name, seek] : seeks) {
        panel.player().SeekTo(6);
        panel.OnPlay();
        ASSERT_TRUE(panel.player().IsPlaying()) << name;
        panel.OnPause();
        ASSERT_TRUE(panel.IsChecked(ids.pause)) << name;
        seek();
        EXPECT_NE(panel.player().mode(), CMciPlayer::Mode::Paused) << name;
        EXPECT_FALSE(panel.IsChecked(ids.pause)) << name;
        EXPECT_FALSE(panel.IsChecked(ids.play)) << name;
        EXPECT_FALSE(panel.IsChecked(ids.stop)) << name << ": the song is not at its start";
        const int position = *panel.player().GetPosition();
        panel.OnPause();  // nothing is paused: nothing to resume, and no button lies about it
        EXPECT_FALSE(panel.IsChecked(ids.pause)) << name;
        panel.OnPlay();
        EXPECT_TRUE(panel.player().IsPlaying()) << name;
        EXPECT_TRUE(panel.IsChecked(ids.play)) << name;
        EXPECT_GE(*panel.player().GetPosition(), position) << name;
    }
}

TEST(SongPanelStates, SliderDragHoldsTheTimerUntilReleased) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({files.b}), 0);
    panel.EnsureInitialized();
    panel.OnSliderScroll(CSongPanelDlg::kScrollThumbTrack, 1);
    EXPECT_FALSE(panel.IsTimerRunning(CSongPanelDlg::kTimerId));
    EXPECT_EQ(panel.TimeText(), "00:01");
    panel.OnSliderScroll(CSongPanelDlg::kScrollEnd, 1);
    EXPECT_TRUE(panel.IsTimerRunning(CSongPanelDlg::kTimerId));
    EXPECT_TRUE(panel.player().IsPlaying());
    EXPECT_GE(*panel.player().GetPositionMs(), 1000u);

    panel.OnStop();
    panel.OnSliderScroll(CSongPanelDlg::kScrollEnd, 1);
    EXPECT_FALSE(panel.player().IsPlaying()) << "a stopped song is only moved";
    EXPECT_EQ(*panel.player().GetPosition(), 1);
}

TEST(SongPanelLook, ResourcesTooltipsTitleModesAndSizing) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Burner, EntriesFor({files.a}), 0);
    panel.EnsureInitialized();
    const SongPanelResources& ids = panel.resources();
    EXPECT_EQ(panel.windowTitle().toStdString(), "Player");
    EXPECT_NE(panel.Item(ids.playlist), nullptr);
    EXPECT_EQ(panel.Item(ids.next)->toolTip().toStdString(), "next song");
    EXPECT_EQ(panel.Item(ids.back)->toolTip().toStdString(), "previous 5 seconds");

    EXPECT_EQ(panel.TitleScrollMode(), 1);
    for (int expected : {2, 3, 0, 1}) {
        panel.OnTitleDisplayClicked();
        EXPECT_EQ(panel.TitleScrollMode(), expected);
    }
    EXPECT_EQ(panel.minimumSize(), panel.minimumTrackingSize());
    EXPECT_EQ(panel.maximumWidth(), panel.minimumTrackingSize().width());
}

TEST(SongPanelMp3, PlaysAnEncodedFile) {
    TempDir dir;
    const std::string mp3 = dir.File("Tone.mp3");
    if (!MakeMp3(mp3, 2.0)) GTEST_SKIP() << "lame is not installed";
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({mp3}), 0);
    panel.EnsureInitialized();
    EXPECT_EQ(panel.current(), 0);
    EXPECT_TRUE(panel.player().IsPlaying());
    EXPECT_EQ(panel.TitleText(), "1.Tone.mp3(0:02)");
    ASSERT_TRUE(WaitForPosition(panel, 1000));
    panel.OnTimerTick();
    EXPECT_EQ(panel.TimeText(), "00:01");
}

TEST(SongPanelLook, DisplaysAreGreenOnBlack) {
    PanelFiles files;
    CSongPanelDlg panel(ProgramKind::Studio, EntriesFor({files.a, files.b}), 1);
    panel.EnsureInitialized();
    panel.show();
    ASSERT_TRUE(WaitForPosition(panel, 1000));
    panel.OnTimerTick();
    const QImage shot = panel.grab().toImage();
    testing_support::KeepScreenshot(shot, "player_panel.png");

    const QRect time = panel.Item(panel.resources().time)->geometry();
    int black = 0;
    int green = 0;
    for (int y = time.top(); y <= time.bottom(); ++y) {
        for (int x = time.left(); x <= time.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c == QColor(Qt::black)) ++black;
            if (c.green() > 200 && c.red() < 60 && c.blue() < 60) ++green;
        }
    }
    EXPECT_GT(black, time.width() * time.height() / 2);
    EXPECT_GT(green, 20) << "the time text is drawn";
    EXPECT_TRUE(panel.IsChecked(panel.resources().play));
}

TEST(SongPanelLook, BurnerFacesComeFromTheBurnerSkin) {
    PanelFiles files;
    const std::string before = skin::SkinSet();
    skin::SetSkinSet("burner");
    CSongPanelDlg panel(ProgramKind::Burner, EntriesFor({files.b}), 0);
    panel.EnsureInitialized();
    skin::SetSkinSet(before);
    panel.show();
    const QImage shot = panel.grab().toImage();
    testing_support::KeepScreenshot(shot, "player_panel_burner.png");
    const auto* play = qobject_cast<CGlyphButton*>(panel.Item(panel.resources().play));
    ASSERT_NE(play, nullptr);
    EXPECT_FALSE(play->face().isNull());
    EXPECT_EQ(panel.TitleText(), "1.b.wav(0:02)");
}
