#include "uikit/skin_colors.h"

#include <gtest/gtest.h>

#include <set>

using namespace skin;

TEST(GradientBands, TopRowIsBandZeroAndBottomRowBand63AtAnyHeight) {
    for (int height : {2, 10, 26, 30, 63, 64, 100, 300}) {
        EXPECT_EQ(GradientBandForRow(0, height), 0) << height;
        EXPECT_EQ(GradientBandForRow(height - 1, height), 63) << height;
        int previous = 0;
        for (int row = 0; row < height; ++row) {
            const int band = GradientBandForRow(row, height);
            EXPECT_GE(band, previous) << "bands never go back up, row " << row;
            previous = band;
        }
    }
}

TEST(GradientBands, LowFaceSkipsBandsTallFaceUsesAll) {
    std::set<int> low, tall;
    for (int row = 0; row < 26; ++row)
        low.insert(GradientBandForRow(row, 26));
    for (int row = 0; row < 64; ++row)
        tall.insert(GradientBandForRow(row, 64));
    EXPECT_EQ(low.size(), 26u);
    EXPECT_EQ(tall.size(), 64u);
}

TEST(GradientBands, ColoursOfTheFourStates) {
    EXPECT_EQ(GradientBandColor(0, false, false), QColor(255, 255, 255));
    EXPECT_EQ(GradientBandColor(0, true, true), QColor(255, 255, 255));
    EXPECT_EQ(GradientBandColor(63, false, false), QColor(234, 234, 243));
    EXPECT_EQ(GradientBandColor(63, true, false), QColor(240, 240, 243));
    EXPECT_EQ(GradientBandColor(63, false, true), QColor(234, 234, 240));
    EXPECT_EQ(GradientBandColor(63, true, true), QColor(240, 240, 234));
    // d = 255 - 30/3, f = 255 - 30/4, e = 255 - 30/5 (integer division)
    EXPECT_EQ(GradientBandColor(30, false, false), QColor(245, 245, 249));
    EXPECT_EQ(GradientBandColor(30, true, true), QColor(248, 248, 245));
}

TEST(ProgressShades, StepsOf51KeepChannelsThatWouldLeaveTheRange) {
    const ProgressShades shades =
        MakeProgressShades(kStudioProgressBase, QColor(0, 0, 0), QColor(160, 160, 160));
    EXPECT_EQ(shades.lighter[0], QColor(100, 158, 248));
    EXPECT_EQ(shades.lighter[1], QColor(151, 209, 248));  // 248 + 51 would pass 255
    EXPECT_EQ(shades.lighter[2], QColor(202, 209, 248));
    EXPECT_EQ(shades.darker[0], QColor(49, 56, 146));  // 49 is below 51 and stays
    EXPECT_EQ(shades.darker[1], QColor(49, 5, 95));
    EXPECT_EQ(shades.shadowMean, QColor(80, 80, 80));
    EXPECT_EQ(LighterShade(QColor(204, 255, 0)), QColor(255, 255, 51));
    EXPECT_EQ(DarkerShade(QColor(51, 50, 255)), QColor(0, 50, 204));
}

TEST(ProgressFill, ProportionalAndSafeOnEmptyRanges) {
    EXPECT_EQ(ProgressFillLength(50, 0, 100, 682), 341);
    EXPECT_EQ(ProgressFillLength(100, 0, 100, 682), 682);
    EXPECT_EQ(ProgressFillLength(0, 0, 100, 682), 0);
    EXPECT_EQ(ProgressFillLength(15, 10, 20, 100), 50);
    EXPECT_EQ(ProgressFillLength(150, 0, 100, 100), 100);
    EXPECT_EQ(ProgressFillLength(-5, 0, 100, 100), 0);
    EXPECT_EQ(ProgressFillLength(5, 7, 7, 100), 0);
    EXPECT_EQ(ProgressFillLength(5, 9, 3, 100), 0);
    EXPECT_EQ(ProgressFillLength(2000000000, 0, 2000000000, 1000), 1000);
}

TEST(ScrollTick, LeftModeWrapsToTheRightEdgeOnceTheTextHasLeft) {
    ScrollState state;
    for (int tick = 1; tick < 75; ++tick) {
        state = ScrollTick(ScrollMode::Left, state, 4, 300, 100);
        ASSERT_EQ(state.x, -4 * tick);
    }
    state = ScrollTick(ScrollMode::Left, state, 4, 300, 100);  // right edge reaches 0
    EXPECT_EQ(state.x, 100);
    state = ScrollTick(ScrollMode::Left, state, 4, 300, 100);
    EXPECT_EQ(state.x, 96);
}

TEST(ScrollTick, RightModeWrapsToTheLeftAndStillModeStands) {
    ScrollState state{92, 1};
    state = ScrollTick(ScrollMode::Right, state, 4, 50, 100);
    EXPECT_EQ(state.x, 96);
    state = ScrollTick(ScrollMode::Right, state, 4, 50, 100);
    EXPECT_EQ(state.x, -50);
    EXPECT_EQ(ScrollTick(ScrollMode::Still, {7, 1}, 4, 50, 100).x, 7);
}

TEST(ScrollTick, BounceKeepsNarrowTextInsideAndWideTextCovering) {
    ScrollState narrow{0, InitialBounceDirection(40, 100)};
    int lowest = 0, highest = 0;
    bool turned = false;
    for (int tick = 0; tick < 100; ++tick) {
        const int before = narrow.direction;
        narrow = ScrollTick(ScrollMode::Bounce, narrow, 4, 40, 100);
        lowest = std::min(lowest, narrow.x);
        highest = std::max(highest, narrow.x);
        turned = turned || before != narrow.direction;
    }
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, 60);
    EXPECT_TRUE(turned);

    ScrollState wide{0, InitialBounceDirection(150, 100)};
    EXPECT_EQ(wide.direction, -1);
    lowest = 0;
    highest = 0;
    for (int tick = 0; tick < 100; ++tick) {
        wide = ScrollTick(ScrollMode::Bounce, wide, 4, 150, 100);
        lowest = std::min(lowest, wide.x);
        highest = std::max(highest, wide.x);
    }
    EXPECT_EQ(lowest, -50);
    EXPECT_EQ(highest, 0);
}

TEST(ScrollBarMapping, TravelIsLengthLess75AndMapsToTheScrollLimit) {
    EXPECT_EQ(ScrollThumbTravel(275), 200);
    EXPECT_EQ(ScrollThumbTravel(60), 0);
    EXPECT_EQ(ScrollThumbOffset(0, 1000, 275), 0);
    EXPECT_EQ(ScrollThumbOffset(500, 1000, 275), 100);
    EXPECT_EQ(ScrollThumbOffset(1000, 1000, 275), 200);
    EXPECT_EQ(ScrollThumbOffset(5, 0, 275), 0);
    EXPECT_EQ(ScrollValueForOffset(100, 1000, 275), 500);
    EXPECT_EQ(ScrollValueForOffset(250, 1000, 275), 1000);
    EXPECT_EQ(ScrollValueForOffset(-20, 1000, 275), 0);
    EXPECT_EQ(ScrollValueForOffset(50, 1000, 60), 0);
    // Dragging the thumb to where a value put it gives the value back.
    for (int value = 0; value <= 37; ++value)
        EXPECT_EQ(ScrollValueForOffset(ScrollThumbOffset(value, 37, 275), 37, 275), value);
}

TEST(ScrollBarMapping, ZonesAlongTheBar) {
    // 275 px, thumb at offset 100: 26 + 100 = 126 .. 151
    EXPECT_EQ(ScrollZoneAt(0, 500, 1000, 275), ScrollZone::StartArrow);
    EXPECT_EQ(ScrollZoneAt(25, 500, 1000, 275), ScrollZone::StartArrow);
    EXPECT_EQ(ScrollZoneAt(26, 500, 1000, 275), ScrollZone::TrackBefore);
    EXPECT_EQ(ScrollZoneAt(126, 500, 1000, 275), ScrollZone::Thumb);
    EXPECT_EQ(ScrollZoneAt(151, 500, 1000, 275), ScrollZone::Thumb);
    EXPECT_EQ(ScrollZoneAt(152, 500, 1000, 275), ScrollZone::TrackAfter);
    EXPECT_EQ(ScrollZoneAt(249, 500, 1000, 275), ScrollZone::EndArrow);
    EXPECT_EQ(ScrollZoneAt(274, 1000, 1000, 275), ScrollZone::EndArrow);
}

TEST(HyperlinkErrors, TableTextsAndUnknownCodes) {
    EXPECT_EQ(HyperlinkErrorText(0), "The operating system is out\nof memory or resources.");
    EXPECT_EQ(HyperlinkErrorText(2), "The specified file was not found.");
    EXPECT_EQ(HyperlinkErrorText(26), "A sharing violation occurred. ");
    EXPECT_EQ(HyperlinkErrorText(30),
              "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
              "being processed.");
    EXPECT_EQ(HyperlinkErrorText(31),
              "There is no application associated\nwith the given filename extension.");
    EXPECT_EQ(HyperlinkErrorText(32), "The specified dynamic-link library was not found.");
    EXPECT_EQ(HyperlinkErrorText(1), "Unknown Error (1) occurred.");
    EXPECT_EQ(HyperlinkErrorText(-7), "Unknown Error (-7) occurred.");
    EXPECT_EQ(HyperlinkErrorMessage(26),
              "Unable to open hyperlink:\n\nA sharing violation occurred. ");
}

TEST(HyperlinkErrors, BrowserCommandCutAtThePlaceholder) {
    EXPECT_EQ(BrowserCommandLine("\"/opt/web\" -nohome \"%1\"", "http://x.org"),
              "\"/opt/web\" -nohome  http://x.org");
    EXPECT_EQ(BrowserCommandLine("web %1", "http://x.org"), "web  http://x.org");
    EXPECT_EQ(BrowserCommandLine("web --new-window %u", "http://x.org"),
              "web --new-window  http://x.org");
    EXPECT_EQ(BrowserCommandLine("web", "http://x.org"), "web http://x.org");
}
