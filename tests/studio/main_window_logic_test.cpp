// The main window's decisions that need no window: drops, ringtone names, the play arithmetic
// and the layout table.
#include "studio/main_window_logic.h"

#include <gtest/gtest.h>

#include <set>

#include "studio/jobs.h"

namespace {

using namespace studio;

TEST(MainWindowDrop, AcceptsOneMp3WhateverTheCase) {
    EXPECT_EQ(CheckDrop({"/music/song.mp3"}), DropVerdict::Accept);
    EXPECT_EQ(CheckDrop({"/music/song.MP3"}), DropVerdict::Accept);
    EXPECT_EQ(CheckDrop({"/music/song.mp3x"}), DropVerdict::InvalidFormat);
    EXPECT_EQ(CheckDrop({"/music/song.txt"}), DropVerdict::InvalidFormat);
    EXPECT_EQ(CheckDrop({"mp3"}), DropVerdict::InvalidFormat);
    EXPECT_EQ(CheckDrop({"/a.mp3", "/b.mp3"}), DropVerdict::SeveralFiles);
    EXPECT_EQ(CheckDrop({}), DropVerdict::SeveralFiles);
    EXPECT_STREQ(DropMessage(DropVerdict::SeveralFiles), "One file at a time, please.");
    EXPECT_STREQ(DropMessage(DropVerdict::InvalidFormat), "Invalid format");
}

// The other music files FFmpeg decodes are songs too, by their extension in any case; names
// that only contain one are not.
TEST(MainWindowDrop, AcceptsOtherMusicFiles) {
    for (const char* name : {"/m/a.wav", "/m/a.FLAC", "/m/a.ogg", "/m/a.oga", "/m/a.opus",
                             "/m/a.m4a", "/m/a.aac", "/m/a.Wma"})
        EXPECT_EQ(CheckDrop({name}), DropVerdict::Accept) << name;
    for (const char* name : {"/m/a.flac.part", "/m/flac", "/m.ogg/a", "/m/a.m4r", "/m/a.mp4"})
        EXPECT_EQ(CheckDrop({name}), DropVerdict::InvalidFormat) << name;
    EXPECT_EQ(CheckDrop({"/m/a.flac", "/m/b.flac"}), DropVerdict::SeveralFiles);
    // The open dialog lists the MP3 filter first and every song's extension after it.
    EXPECT_EQ(OpenSongFilter(),
              "MP3 files(*.mp3)|*.mp3|All audio files|"
              "*.mp3;*.wav;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.aac;*.wma||");
}

TEST(MainWindowRingtoneName, TakesTheSongsNameOrCD) {
    EXPECT_EQ(RingtoneName("/home/u/Music/My Song.mp3"), "My Song");
    EXPECT_EQ(RingtoneName("CD"), "CD");
    EXPECT_EQ(RingtoneName("/home/u/a.b.mp3"), "a.b");
    // Names without an extension keep all their letters; nothing left becomes a usable name.
    EXPECT_EQ(RingtoneName("/home/u.x/tune"), "tune");
    EXPECT_EQ(RingtoneName(""), "ringtone");
    EXPECT_EQ(RingtoneName("/home/u/.mp3"), ".mp3");
    EXPECT_EQ(FileNameText("CD"), "File-> CD");
}

TEST(MainWindowPlay, SelectionLengthLimit) {
    EXPECT_TRUE(SelectionTooShort(1000, 1000 + 7168));
    EXPECT_FALSE(SelectionTooShort(1000, 1000 + 7169));
    EXPECT_TRUE(SelectionTooShort(5000, 100));
}

TEST(MainWindowPlay, LowersToFramesAndConvertsToMilliseconds) {
    // 44100 Hz 16-bit stereo: 176400 bytes per second, 4 bytes per frame.
    const auto plan = PlanPlayback(44103, 88202, 176400, 4);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->start, 44100);
    EXPECT_EQ(plan->end, 88200);
    EXPECT_EQ(plan->seekMs, 500u);  // 2 × 44100 bytes = half a second
    EXPECT_EQ(plan->endMs, 1000u);
    // A start less than a millisecond in needs no seek.
    const auto early = PlanPlayback(80, 20000, 176400, 4);
    ASSERT_TRUE(early);
    EXPECT_EQ(early->seekMs, 0u);
    // A header without rates cannot be played (and must not divide by zero).
    EXPECT_FALSE(PlanPlayback(0, 20000, 0, 4));
    EXPECT_FALSE(PlanPlayback(0, 20000, 176400, 0));
}

TEST(MainWindowPlay, CursorFollowsThePlaybackPosition) {
    EXPECT_EQ(PlayCursorFor(0, 176400), 0);
    EXPECT_EQ(PlayCursorFor(1000, 176400), 44100);
    EXPECT_EQ(PlayCursorFor(1500, 44100), 16537);  // trunc(1.5 × 44100 ÷ 4)
}

TEST(MainWindowLayout, SeventeenDistinctButtonsInsideTheWindow) {
    const QRect window(QPoint(0, 0), kMainWindowSize);
    std::set<int> ids;
    for (const MainButton& button : MainButtons()) {
        EXPECT_TRUE(ids.insert(button.id).second) << button.id;
        EXPECT_TRUE(window.contains(button.rect)) << button.caption;
        EXPECT_FALSE(button.rect.intersects(kEditorRect)) << button.caption;
    }
    EXPECT_EQ(ids.size(), 17u);
    EXPECT_EQ(kEditorRect.width(), 700);
    EXPECT_EQ(kEditorRect.height(), 305);
    EXPECT_EQ(kProgressRect.right() + 1, 692);
}

}  // namespace
