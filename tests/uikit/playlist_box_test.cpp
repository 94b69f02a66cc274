#include "uikit/playlist_box.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

using testing_support::TempDir;
using testing_support::WriteFile;

TEST(PlaylistTime, MinutesUnpadded) {
    EXPECT_EQ(FormatPlaylistTime(0), "0:00");
    EXPECT_EQ(FormatPlaylistTime(245), "4:05");
    EXPECT_EQ(FormatPlaylistTime(6000), "100:00");
    EXPECT_EQ(FileTitle("/m/Song.mp3", false), "Song.mp3");
    EXPECT_EQ(FileTitle("/m/Song.mp3", true), "Song");
    EXPECT_EQ(FileTitle("/m/.hidden", true), ".hidden");
}

TEST(PlaylistBox, EstimatesTimeFromSizeAndKeepsMissingFiles) {
    TempDir dir;
    const std::string big = dir.File("Song.mp3");
    WriteFile(big, std::vector<uint8_t>(4000000, 0));
    CPlaylistBox box;
    EXPECT_EQ(box.AddEntry(big), 0);
    EXPECT_EQ(box.AddEntry(dir.File("missing.mp3")), 1);
    EXPECT_EQ(box.Count(), 2);
    EXPECT_EQ(box.GetTime(0), "4:10");
    EXPECT_EQ(box.GetTime(1), "0:00");
    EXPECT_EQ(box.GetPath(1), dir.File("missing.mp3"));
    EXPECT_EQ(box.GetDisplayText(0), "1.Song.mp3");
    EXPECT_EQ(box.GetDisplayText(1), "2.missing.mp3");
    EXPECT_EQ(box.GetPath(-1), "");
    EXPECT_EQ(box.GetPath(2), "");
    EXPECT_EQ(box.GetDisplayText(-1), "");

    box.SetTime(0, "3:59");
    EXPECT_EQ(box.GetTime(0), "3:59");
    box.RefreshEntry(0);
    EXPECT_EQ(box.GetTime(0), "4:10");

    CPlaylistBox hiding(nullptr, true);
    hiding.AddEntry(big);
    EXPECT_EQ(hiding.GetDisplayText(0), "1.Song");
}

TEST(PlaylistBox, CurrentMarkAndScrolling) {
    CPlaylistBox box;
    box.resize(200, 60);
    for (int i = 0; i < 40; ++i) box.AddEntry("/m/song" + std::to_string(i) + ".mp3");
    box.show();
    EXPECT_EQ(box.current(), -1);
    box.SetCurrent(30);
    EXPECT_EQ(box.current(), 30);
    EXPECT_TRUE(box.item(30)->font().bold());
    // The new current entry becomes the first visible one.
    EXPECT_EQ(box.indexAt(QPoint(5, 2)).row(), 30);
    box.SetCurrent(2);
    EXPECT_FALSE(box.item(30)->font().bold());
    EXPECT_EQ(box.indexAt(QPoint(5, 2)).row(), 2);
    box.SetCurrent(99);
    EXPECT_EQ(box.current(), -1);

    box.item(3)->setSelected(true);
    box.item(5)->setSelected(true);
    EXPECT_EQ(box.SelectedIndices(), (std::vector<int>{3, 5}));
}
