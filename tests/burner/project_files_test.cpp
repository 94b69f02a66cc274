// The burner's rules without a window: the capacity line, the title-list text, the format a file
// name asks for, the drop rule and the window-region resource.
#include "burner/project_files.h"

#include <gtest/gtest.h>

#include "burner/burner_layout.h"
#include "burner/capacity_line.h"
#include "platform/ui.h"

using namespace burner;

TEST(CapacityLine, EmptyFullAndOverfullDiscs) {
    EXPECT_EQ(InitialCapacityText(),
              "Total time: 00:00 time left:<74min disc>01:14:00<80min disc>01:20:00");
    EXPECT_EQ(CapacityText("70:00"),
              "Total time: 70:00 time left:<74min disc>04:00<80min disc>10:00");
    EXPECT_EQ(CapacityText("01:15:30"),
              "Total time: 01:15:30 time left:<74min disc>00:00<80min disc>04:30");
    EXPECT_EQ(CapacityText("74:00"),
              "Total time: 74:00 time left:<74min disc>00:00<80min disc>06:00");
    EXPECT_EQ(CapacityText("-1"), "Total time: -1 time left:<74min disc>-1<80min disc>-1");
}

TEST(TitleList, TextPairsTitlesWithPathsWhateverTheLineEnds) {
    const std::string text = BuildTitleListText({{"One", "/m/1.mp3"}, {"Two\r\nX", "/m/2.mp3"}});
    // CR LF after every line; a line end inside a title cannot add a line.
    EXPECT_EQ(text, "One\r\n/m/1.mp3\r\nTwo  X\r\n/m/2.mp3\r\n");
    EXPECT_EQ(BuildTitleListText({}), "");

    auto pairs = [](std::string_view t) {
        std::vector<std::string> out;
        for (const TitledPath& e : ParseTitleList(t)) out.push_back(e.title + "|" + e.path);
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(pairs(text), (V{"One|/m/1.mp3", "Two  X|/m/2.mp3"}));
    EXPECT_EQ(pairs("One\n/m/1.mp3\nTwo\n/m/2.mp3"), (V{"One|/m/1.mp3", "Two|/m/2.mp3"}));
    // A last title without its path reads the path as empty.
    EXPECT_EQ(pairs("One\r\n/m/1.mp3\r\nLast\r\n"), (V{"One|/m/1.mp3", "Last|"}));
    // A blank line shifts the pairing of everything after it.
    EXPECT_EQ(pairs("One\r\n/m/1.mp3\r\n\r\nTwo\r\n/m/2.mp3\r\n"),
              (V{"One|/m/1.mp3", "|Two", "/m/2.mp3|"}));
    EXPECT_TRUE(ParseTitleList("").empty());
}

TEST(ProjectFiles, FormatByExtensionAndDropRule) {
    EXPECT_EQ(ProjectFormatOf("/p/a.vxl"), ProjectFormat::TitleList);
    EXPECT_EQ(ProjectFormatOf("/p/a.VXL"), ProjectFormat::TitleList);
    EXPECT_EQ(ProjectFormatOf("/p/a.M3u"), ProjectFormat::M3u);
    EXPECT_EQ(ProjectFormatOf("/p/a.txt"), ProjectFormat::None);
    // The dot of a folder is no extension of the file.
    EXPECT_EQ(ProjectFormatOf("/p.vxl/name"), ProjectFormat::None);
    EXPECT_EQ(platform::WithExtensionIfNone("/p/name", "M3U"), "/p/name.M3U");
    EXPECT_EQ(platform::WithExtensionIfNone("/p.d/name.vxl", "M3U"), "/p.d/name.vxl");
    EXPECT_EQ(platform::WithExtensionIfNone("/p/", "M3U"), "/p/");

    EXPECT_EQ(ClassifyDrop("C:/ab.MP3"), DropAction::AddMp3);
    EXPECT_EQ(ClassifyDrop("/x/list.m3U"), DropAction::LoadM3u);
    EXPECT_EQ(ClassifyDrop(".mp3"), DropAction::Skip);  // four characters
    EXPECT_EQ(ClassifyDrop("a.mp3"), DropAction::AddMp3);
    EXPECT_EQ(ClassifyDrop("/" + std::string(255, 'a') + ".mp3"), DropAction::Skip);  // 260
    EXPECT_EQ(ClassifyDrop("/" + std::string(254, 'a') + ".mp3"), DropAction::AddMp3);
    EXPECT_EQ(ClassifyDrop("/x/song.wav"), DropAction::Skip);
    EXPECT_EQ(ClassifyDrop("/x/project.vxl"), DropAction::Skip);
}

TEST(WindowRegion, ShippedRegionIsFortyFiveBandsOfTheWindow) {
    const std::vector<uint8_t> resource = LoadRegionResource(kRegionResource);
    ASSERT_EQ(resource.size(), 4u + 36u * 752u);
    const auto rects = ParseRegionData(resource);
    ASSERT_TRUE(rects);
    EXPECT_EQ(rects->size(), 45u);
    EXPECT_EQ(RegionBounds(resource), QRect(0, 0, 705, 517));
    QRegion region;
    int lastTop = -1;
    for (const QRect& r : *rects) {
        EXPECT_TRUE(QRect(0, 0, 705, 517).contains(r)) << r.x() << "," << r.y();
        EXPECT_GT(r.top(), lastTop) << "bands run from top to bottom";
        lastTop = r.top();
        region += r;
    }
    // Round corners: the corner pixels are cut off, the middle of every edge is kept.
    for (QPoint corner : {QPoint(0, 0), QPoint(704, 0), QPoint(0, 516), QPoint(704, 516)})
        EXPECT_FALSE(region.contains(corner));
    for (QPoint edge : {QPoint(352, 0), QPoint(0, 258), QPoint(704, 258), QPoint(352, 516)})
        EXPECT_TRUE(region.contains(edge));

    // Damaged blocks are refused rather than read past their end.
    std::vector<uint8_t> cut(resource.begin(), resource.begin() + 100);
    EXPECT_FALSE(ParseRegionData(cut));
    std::vector<uint8_t> lying = resource;
    lying[4 + 8] = 200;  // more rectangles than the block holds
    EXPECT_FALSE(ParseRegionData(lying));
    EXPECT_FALSE(ParseRegionData({}));
}

TEST(WindowPlacement, CentredOnlyOnScreensLargerThanTheWindow) {
    EXPECT_EQ(CentredPosition(QSize(800, 600)), QPoint(47, 41));
    EXPECT_EQ(CentredPosition(QSize(640, 480)), std::nullopt);
    EXPECT_EQ(CentredPosition(QSize(710, 600)), std::nullopt);
    EXPECT_EQ(CentredPosition(QSize(1920, 1080)), QPoint(607, 281));
}
