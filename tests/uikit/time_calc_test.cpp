#include "uikit/time_calc.h"

#include <gtest/gtest.h>

TEST(TimeCalcShape, LengthAndColonDecide) {
    CTimeCalc calc;
    EXPECT_TRUE(calc.IsValid("4:05"));
    EXPECT_TRUE(calc.IsValid("03:25"));
    EXPECT_TRUE(calc.IsValid("01:05:00"));
    EXPECT_TRUE(calc.IsValid("99:99"));
    EXPECT_TRUE(calc.IsValid("ab:cd"));     // fields that are no numbers read as 0
    EXPECT_TRUE(calc.IsValid("01x02:03"));  // index 2 of the long shape is not looked at
    for (const char* bad : {"", "1", "12", "1:2", "123:45", "3:25:00", "001:05:00", "0345", "03-25"})
        EXPECT_FALSE(calc.IsValid(bad)) << bad;
    EXPECT_EQ(calc.GetHours("01x02:03"), 1);
    EXPECT_EQ(calc.GetHours("59:30"), 0);
    EXPECT_EQ(calc.GetMinutes("4:05"), 4);
    EXPECT_EQ(calc.GetMinutes("01:05:10"), 5);
    EXPECT_EQ(calc.GetSeconds("01:05:10"), 10);
}

TEST(TimeCalcAdd, CarriesIntoHoursAndAcceptsShortShape) {
    CTimeCalc calc;
    EXPECT_EQ(calc.Add("00:00", "03:25"), "03:25");
    EXPECT_EQ(calc.Add("03:25", "4:05"), "07:30");
    EXPECT_EQ(calc.Add("45:00", "20:00"), "01:05:00");
    EXPECT_EQ(calc.Add("01:05:00", "00:10"), "01:05:10");
    EXPECT_EQ(calc.Add("59:30", "01:00"), "01:00:30");
    EXPECT_EQ(calc.Add("99:99", "00:01"), "01:40:40");
    EXPECT_EQ(calc.Add("ab:cd", "00:07"), "00:07");
}

TEST(TimeCalcAdd, InvalidArgumentGivesMinusOneAndStaysThere) {
    CTimeCalc calc;
    EXPECT_EQ(calc.Add("3:25:00", "00:10"), "-1");
    EXPECT_EQ(calc.Add("00:10", ""), "-1");
    EXPECT_EQ(calc.Add("00:10", "123456789"), "-1");
    EXPECT_EQ(calc.Add(calc.Add("-1", "00:10"), "00:10"), "-1");
}

TEST(TimeCalcSubtract, ClampsAtZeroAndCarriesHours) {
    CTimeCalc calc;
    EXPECT_EQ(calc.Subtract("74:00", "74:00"), "00:00");
    EXPECT_EQ(calc.Subtract("74:00", "80:00"), "00:00");
    EXPECT_EQ(calc.Subtract("80:00", "01:15:30"), "04:30");
    EXPECT_EQ(calc.Subtract("74:00", "10:00"), "01:04:00");
    EXPECT_EQ(calc.Subtract("1:00", "00:01"), "00:59");
    EXPECT_EQ(calc.Subtract("bad", "00:01"), "-1");
    EXPECT_EQ(calc.Subtract("00:01", "bad"), "-1");
}

TEST(FormatDuration, MinutesBelowOneHourHoursFromThen) {
    EXPECT_EQ(FormatDuration(0), "00:00");
    EXPECT_EQ(FormatDuration(205), "03:25");
    EXPECT_EQ(FormatDuration(3599), "59:59");
    EXPECT_EQ(FormatDuration(3600), "01:00:00");
    EXPECT_EQ(FormatDuration(36000), "10:00:00");
}
