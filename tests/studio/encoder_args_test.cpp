// The shared argument vector: what the builder makes of the settings and what the splitter makes
// of a command text.
#include "studio/encoder_args.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "studio/settings.h"

namespace {

using Args = std::vector<std::string>;

// The effective record of a first start: defaults, then a missing file read over them.
StudioSettings FirstStart() {
    StudioSettings s;
    s.SetDefaults();
    s.Load(platform::SettingsFolder() + "/no-such-file.ini");
    return s;
}

Args Build(const StudioSettings& s, int inputIsWav = 1) {
    EncoderArgs args;
    args.inputIsWav = inputIsWav;
    BuildEncoderArgs(args, s);
    EXPECT_EQ(args.count, static_cast<int>(args.Arguments().size()) + 1);
    return args.Arguments();
}

TEST(BuildEncoderArgs, FirstStartSettingsGiveTheMonoResampleVector) {
    EncoderArgs args;
    args.inputIsWav = 1;
    BuildEncoderArgs(args, FirstStart());
    EXPECT_EQ(args.count, 7);
    EXPECT_EQ(args.Arguments(),
              (Args{"-m", "m", "--resample", "22050", "c:\\vx.wav", "c:\\vx.mp3"}));
}

TEST(BuildEncoderArgs, MpegInputNamesTheMp3PlaceholderTwice) {
    EXPECT_EQ(Build(FirstStart(), 0),
              (Args{"-m", "m", "--resample", "22050", "c:\\vx.mp3", "c:\\vx.mp3"}));
}

TEST(BuildEncoderArgs, ChannelModeLetters) {
    StudioSettings s = FirstStart();
    s.resampleRate = -1;
    const std::vector<std::pair<int, const char*>> modes = {{0, "s"}, {1, "j"}, {2, "m"}, {9, "m"}};
    for (const auto& [mode, letter] : modes) {
        s.channelMode = mode;
        EXPECT_EQ(Build(s), (Args{"-m", letter, "c:\\vx.wav", "c:\\vx.mp3"})) << mode;
    }
}

TEST(BuildEncoderArgs, PresetsAndBitRate) {
    StudioSettings s = FirstStart();
    s.resampleRate = -1;
    s.bitrate = 128;
    const auto tail = [](Args middle) {
        Args out{"-m", "m"};
        out.insert(out.end(), middle.begin(), middle.end());
        out.insert(out.end(), {"c:\\vx.wav", "c:\\vx.mp3"});
        return out;
    };
    s.preset = 1;
    EXPECT_EQ(Build(s), tail({"--preset", "fast", "standard", "-b", "128"}));
    s.preset = 17;
    EXPECT_EQ(Build(s), tail({"--preset", "cbr", "128"}));
    s.preset = 7;
    EXPECT_EQ(Build(s), tail({"-h", "-b", "128"}));
    s.preset = 18;
    EXPECT_EQ(Build(s), tail({}));
    const std::vector<Args> words = {{"standard"}, {"fast", "standard"},
                                     {"medium"},   {"fast", "medium"},
                                     {"extreme"},  {"fast", "extreme"},
                                     {"insane"},   {},
                                     {"voice"},    {"phone"},
                                     {"sw"},       {"fm"},
                                     {"radio"},    {"tape"},
                                     {"hifi"},     {"cd"},
                                     {"studio"}};
    for (int preset = 0; preset <= 16; ++preset) {
        if (preset == 7) continue;
        s.preset = preset;
        Args middle{"--preset"};
        middle.insert(middle.end(), words[preset].begin(), words[preset].end());
        middle.insert(middle.end(), {"-b", "128"});
        EXPECT_EQ(Build(s), tail(middle)) << preset;
    }
    // "DEFAULT" bit rate.
    s.bitrate = -1;
    s.preset = 0;
    EXPECT_EQ(Build(s), tail({"--preset", "standard", "-b", "-1"}));
    s.preset = 18;
    EXPECT_EQ(Build(s), tail({}));
}

TEST(BuildEncoderArgs, ScaleThenVbrQuality) {
    StudioSettings s = FirstStart();
    s.resampleRate = -1;
    s.scaleEnabled = 1;
    s.scaleChannel = 2;
    s.scaleFactor = 0.5;
    s.vbrEnabled = 1;
    s.vbrQuality = 4;
    EXPECT_EQ(Build(s),
              (Args{"-m", "m", "--scale-r", "0.50", "-V", "4", "c:\\vx.wav", "c:\\vx.mp3"}));
    s.scaleChannel = 0;
    s.scaleFactor = 2;
    s.vbrEnabled = 0;
    EXPECT_EQ(Build(s), (Args{"-m", "m", "--scale", "2.00", "c:\\vx.wav", "c:\\vx.mp3"}));
    s.scaleChannel = 1;
    EXPECT_EQ(Build(s)[2], "--scale-l");
}

TEST(BuildEncoderArgs, ScaleFactorKeepsItsPointInACommaLocale) {
    // The studio runs with the user's locale; the engine reads "0.50" only.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    StudioSettings s = FirstStart();
    s.scaleEnabled = 1;
    s.scaleFactor = 0.5;
    const Args args = Build(s);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(args[5], "0.50");
}

TEST(BuildEncoderArgs, RebuildingReplacesALongerVector) {
    EncoderArgs args;
    ASSERT_TRUE(SplitCommandLine(args, "a b c d e f g h i j k"));
    args.inputIsWav = 1;
    BuildEncoderArgs(args, FirstStart());
    EXPECT_EQ(args.count, 7);
    EXPECT_STREQ(args.slot[6], "c:\\vx.mp3");
}

TEST(SplitCommandLine, OneSlotPerSpaceSeparatedPiece) {
    EncoderArgs args;
    EXPECT_STREQ(args.slot[0], "");  // empty until the splitter first runs
    ASSERT_TRUE(SplitCommandLine(args, "--decode c:\\input.mp3 /tmp/x/vxtmp.wav"));
    EXPECT_EQ(args.count, 4);
    EXPECT_EQ(args.Arguments(), (Args{"--decode", "c:\\input.mp3", "/tmp/x/vxtmp.wav"}));
    EXPECT_EQ(std::string(args.slot[0]), platform::ProgramPath());
}

TEST(SplitCommandLine, AdjacentSpacesGiveEmptyArguments) {
    EncoderArgs args;
    ASSERT_TRUE(SplitCommandLine(args, "a  b "));
    EXPECT_EQ(args.count, 5);
    EXPECT_EQ(args.Arguments(), (Args{"a", "", "b", ""}));
}

TEST(SplitCommandLine, RefusesWhatTheVectorCannotHold) {
    EncoderArgs args;
    ASSERT_TRUE(SplitCommandLine(args, "x y"));
    std::string nineteen(19, ' ');
    EXPECT_TRUE(SplitCommandLine(args, nineteen));
    EXPECT_EQ(args.count, 21);
    EXPECT_FALSE(SplitCommandLine(args, std::string(20, ' ')));
    EXPECT_FALSE(SplitCommandLine(args, "--decode " + std::string(1024, 'p')));
    // A refused text leaves the vector as it was.
    EXPECT_EQ(args.count, 21);
    EXPECT_TRUE(SplitCommandLine(args, "--decode " + std::string(1023, 'p')));
    EXPECT_EQ(std::string(args.slot[2]).size(), 1023u);
}

TEST(EncoderArgs, SlotsTakeAtMost1023BytesAndStayInRange) {
    EncoderArgs args;
    EXPECT_FALSE(args.SlotsAllocated());
    args.AllocateSlots();
    char* first = args.slot[1];
    args.AllocateSlots();
    EXPECT_EQ(args.slot[1], first);  // allocated once
    EXPECT_TRUE(args.SetSlot(63, std::string(1023, 'a')));
    EXPECT_FALSE(args.SetSlot(63, std::string(1024, 'a')));
    EXPECT_FALSE(args.SetSlot(0, "x"));
    EXPECT_FALSE(args.SetSlot(64, "x"));
}

}  // namespace
