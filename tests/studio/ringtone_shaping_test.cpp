// The clean-cut tools on real files: a part cut with fades and normalising, read back by ffmpeg
// and measured; edges snapped onto zero crossings of a generated tone; the tools' choices kept
// in their own section of the settings file.
#include "studio/ringtone_shaping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/profile.h"
#include "platform/scripted_ui.h"
#include "studio/ringtone_options.h"
#include "studio/ringtone_save.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "studio/wav.h"
#include "tests/support/test_support.h"

namespace {

using namespace studio;
using testing_support::HaveTool;
using testing_support::RunTool;
using testing_support::TempDir;

constexpr int kRate = 44100;

// The interleaved 16-bit samples of `path` as ffmpeg decodes them.
std::vector<int16_t> DecodeWithFfmpeg(const std::string& path, const std::string& raw) {
    const auto r = RunTool({"ffmpeg", "-v", "error", "-y", "-i", path, "-f", "s16le", raw});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const std::vector<uint8_t> bytes = testing_support::ReadFile(raw);
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return samples;
}

// Peak in dBFS of frames [first, first + count) of stereo samples; -200 for silence.
double BlockPeak(const std::vector<int16_t>& stereo, int64_t first, int64_t count) {
    const auto from = stereo.begin() + first * 2;
    const std::vector<int16_t> block(from, from + count * 2);
    return PeakDbfs(block).value_or(-200.0);
}

std::string SectionText(const std::string& file, const std::string& section) {
    std::ifstream in(file);
    std::string line, text;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[') inside = line == "[" + section + "]";
        if (inside) text += line + "\n";
    }
    return text;
}

TEST(RingtoneShaping, FadesAndPeakMeasuredOnTheSavedFile) {
    if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    platform::ScopedScriptedUi ui;
    testing_support::ToneSpec tone;  // 440 Hz at half scale (-6 dBFS), 44100 Hz stereo
    tone.seconds = 3.0;
    const std::string song = dir.File("song.wav");
    testing_support::WriteFile(song, testing_support::MakeToneWav(tone));
    // 0.5 s to 2.5 s; a position counts one 16-bit value, two per stereo frame.
    FixedSelection part(kRate, 5 * kRate);

    // Without any choice the cut is the segment writer's, byte for byte.
    ASSERT_TRUE(CutShapedSelection(dir.File("plain.wav"), part, song, RingtoneShaping{}));
    ASSERT_TRUE(WriteSelectionToWav(dir.File("segment.wav"), part, song));
    EXPECT_EQ(testing_support::ReadFile(dir.File("plain.wav")),
              testing_support::ReadFile(dir.File("segment.wav")));

    const RingtoneShaping shaping{500, 1000, true};
    const std::string target = dir.File("shaped.wav");
    ASSERT_TRUE(CutShapedSelection(target, part, song, shaping));
    EXPECT_TRUE(ui->messageTexts().empty());
    const std::vector<int16_t> s = DecodeWithFfmpeg(target, dir.File("shaped.raw"));
    const int64_t frames = static_cast<int64_t>(s.size()) / 2;
    ASSERT_EQ(frames, 2 * kRate);

    constexpr int64_t kBlock = 1024;  // the tolerance: one block of samples
    const int64_t fadeIn = kRate / 2, fadeOut = kRate;
    // Silent at the start, rising, full level one block after the fade length.
    EXPECT_LT(BlockPeak(s, 0, 16), -50.0);
    // Half way, half the level (one 440 Hz period around the middle).
    EXPECT_NEAR(BlockPeak(s, fadeIn / 2 - 55, 110), -1.0 - 6.02, 0.3);
    EXPECT_NEAR(BlockPeak(s, fadeIn, kBlock), -1.0, 0.1);
    // Full level until one block before the fade-out, then falling to silence at the end.
    EXPECT_NEAR(BlockPeak(s, frames - fadeOut - kBlock, kBlock), -1.0, 0.1);
    EXPECT_LT(BlockPeak(s, frames - fadeOut / 2 + kBlock, kBlock), -7.0);
    EXPECT_LT(BlockPeak(s, frames - 16, 16), -50.0);
    // Normalised: the peak of the whole part at -1 dBFS.
    EXPECT_NEAR(PeakDbfs(s).value(), -1.0, 0.1);
    // No staging file stays beside the target.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 5);  // song, plain, segment, shaped, shaped.raw
}

TEST(RingtoneShaping, NormaliseLowersALoudPartAndLeavesSilence) {
    std::vector<int16_t> loud{32767, -32768, 100, -5};
    NormalisePeak(loud);
    EXPECT_NEAR(PeakDbfs(loud).value(), -1.0, 0.01);
    std::vector<int16_t> silence(64, 0);
    NormalisePeak(silence);
    EXPECT_EQ(silence, std::vector<int16_t>(64, 0));
}

TEST(RingtoneShaping, SnapPutsBothEdgesOnSignChanges) {
    TempDir dir;
    testing_support::ToneSpec tone;
    tone.frequency = 187.0;  // no whole number of samples per period: crossings fall anywhere
    tone.seconds = 2.0;
    const std::string song = dir.File("song.wav");
    const std::vector<uint8_t> bytes = testing_support::MakeToneWav(tone);
    testing_support::WriteFile(song, bytes);
    auto mix = [&bytes](int64_t frame) {
        const size_t at = 44 + static_cast<size_t>(frame) * 4;
        return static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8)) +
               static_cast<int16_t>(bytes[at + 2] | (bytes[at + 3] << 8));
    };
    auto onCrossing = [&mix](int64_t b) { return mix(b) == 0 || (mix(b - 1) < 0) != (mix(b) < 0); };

    for (const auto& [startFrame, endFrame] :
         std::vector<std::pair<int64_t, int64_t>>{{12345, 67890}, {20001, 60017}, {333, 88000}}) {
        const PositionRange asked{static_cast<int32_t>(startFrame * 2),
                                  static_cast<int32_t>(endFrame * 2)};
        const std::optional<PositionRange> snapped = SnapSelectionToZeroCrossings(song, asked);
        ASSERT_TRUE(snapped);
        const int64_t s = snapped->start / 2, e = snapped->end / 2;
        EXPECT_TRUE(onCrossing(s)) << s;
        EXPECT_TRUE(onCrossing(e)) << e;
        EXPECT_LE(std::llabs(s - startFrame), kRate / 100);
        EXPECT_LE(std::llabs(e - endFrame), kRate / 100);
        // The nearest one: no crossing lies closer to the asked edge.
        for (int64_t d = 0; d < std::llabs(s - startFrame); ++d) {
            EXPECT_FALSE(onCrossing(startFrame - d) || onCrossing(startFrame + d)) << d;
        }
        // A selection on zero crossings already stays as it is.
        EXPECT_EQ(SnapSelectionToZeroCrossings(song, *snapped), snapped);
    }
    EXPECT_FALSE(SnapSelectionToZeroCrossings(dir.File("missing.wav"), {0, 1000}));
}

TEST(RingtoneOptionsFile, ChoicesGoToTheirOwnSectionOnlyWhenChanged) {
    studio::Session session;
    TempDir dir;
    const std::string file = dir.File("ringsmith.ini");
    session.LoadSettings(file);
    const std::string general = SectionText(file, "GENERAL");
    ASSERT_FALSE(general.empty());

    RingtoneOptions options;
    options.Load(file);
    EXPECT_EQ(options.fadeInMs, 0);
    EXPECT_FALSE(options.snapToZero || options.loopPreview || options.normalise);
    // Reading wrote nothing.
    EXPECT_EQ(SectionText(file, kRingtoneSection), "");

    options.SetFadeInMs(2000, file);
    options.SetFadeOutMs(500, file);
    options.SetSnapToZero(true, file);
    options.SetLoopPreview(true, file);
    options.SetNormalise(true, file);
    options.RememberPhoneFolderOf(dir.File("tone.m4r"), file);
    EXPECT_EQ(SectionText(file, "GENERAL"), general);

    RingtoneOptions again;
    again.Load(file);
    EXPECT_EQ(again.fadeInMs, 2000);
    EXPECT_EQ(again.fadeOutMs, 500);
    EXPECT_TRUE(again.snapToZero && again.loopPreview && again.normalise);
    EXPECT_EQ(again.phoneFolder, dir.path() + "/");

    // A length the menu does not offer reads as off.
    platform::WritePrivateProfileString(kRingtoneSection, "FadeInMs", "700", file);
    again.Load(file);
    EXPECT_EQ(again.fadeInMs, 0);
    // The next start writes GENERAL as before and keeps the tools' section.
    session.LoadSettings(file);
    EXPECT_EQ(SectionText(file, "GENERAL"), general);
    EXPECT_NE(SectionText(file, kRingtoneSection).find("SnapToZero=1"), std::string::npos);
}

}  // namespace
