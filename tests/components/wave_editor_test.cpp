#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

#include "components/wave_editor/wave_edit_dispids.h"
#include "components/wave_editor/wave_format.h"
#include "components/wave_editor/wave_overview.h"
#include "components/wave_editor/wave_properties.h"
#include "components/wave_editor/wave_renderer.h"
#include "components/wave_editor/wave_selection.h"
#include "platform/control_host.h"
#include "studio/wav.h"
#include "studio/wave_edit_x.h"
#include "tests/support/test_support.h"

namespace {

using namespace wave_editor;
using testing_support::MakeToneWav;
using testing_support::TempDir;
using testing_support::ToneSpec;
using testing_support::WriteFile;

// A 16-bit stereo tone whose loudness swells and fades a few times, as music would.
std::vector<uint8_t> SwellingTone(double seconds) {
    std::vector<uint8_t> wav = MakeToneWav({.seconds = seconds, .frequency = 220.0});
    const size_t frames = (wav.size() - 44) / 4;
    for (size_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / 44100.0;
        const double gain = 0.15 + 0.85 * std::fabs(std::sin(t * 2.7)) * (1.0 - 0.3 * t / seconds);
        for (int c = 0; c < 2; ++c) {
            uint8_t* p = wav.data() + 44 + f * 4 + c * 2;
            int16_t v;
            std::memcpy(&v, p, 2);
            v = static_cast<int16_t>(v * 1.9 * gain * (c == 0 ? 1.0 : 0.7));
            std::memcpy(p, &v, 2);
        }
    }
    return wav;
}

void SaveShot(QWidget* widget, const char* name) {
    testing_support::KeepScreenshot(widget->grab().toImage(), name);
}

std::vector<uint8_t> Samples16(std::initializer_list<int16_t> values) {
    std::vector<uint8_t> out;
    for (int16_t v : values) {
        out.push_back(static_cast<uint8_t>(v & 0xFF));
        out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    return out;
}

// ---- Header ----------------------------------------------------------------------------------

TEST(WaveHeaderTest, ReadsStereo16BitLayout) {
    TempDir dir;
    WriteFile(dir.File("a.wav"), MakeToneWav({.seconds = 0.5}));
    const WaveHeader h = ReadWaveHeader(dir.File("a.wav"));
    ASSERT_EQ(h.error, WaveError::None);
    EXPECT_EQ(h.format.channels, 2);
    EXPECT_EQ(h.format.bitsPerSample, 16);
    EXPECT_EQ(h.format.blockAlign, 4);
    EXPECT_EQ(h.format.dataOffset, 44);
    EXPECT_EQ(h.format.frames(), 22050);
}

TEST(WaveHeaderTest, SkipsChunksBeforeDataAndClipsAShortFile) {
    TempDir dir;
    ToneSpec spec{.channels = 1, .bitsPerSample = 8, .seconds = 0.1};
    spec.extraChunk = std::vector<uint8_t>(11, 'x');  // odd size: padded to 12
    std::vector<uint8_t> bytes = MakeToneWav(spec);
    WriteFile(dir.File("extra.wav"), bytes);
    WaveHeader h = ReadWaveHeader(dir.File("extra.wav"));
    ASSERT_EQ(h.error, WaveError::None);
    EXPECT_EQ(h.format.dataOffset, 44 + 8 + 12);
    EXPECT_EQ(h.format.frames(), 4410);

    // A file cut in the middle of a frame (still being written): whole frames present count.
    WriteFile(dir.File("cut.wav"), MakeToneWav({.seconds = 0.1}));
    std::vector<uint8_t> cut = MakeToneWav({.seconds = 0.1});
    cut.resize(44 + 4 * 1000 + 3);
    WriteFile(dir.File("cut.wav"), cut);
    h = ReadWaveHeader(dir.File("cut.wav"));
    ASSERT_EQ(h.error, WaveError::None);
    EXPECT_EQ(h.format.frames(), 1000);
}

TEST(WaveHeaderTest, RefusesWhatItCannotShow) {
    TempDir dir;
    EXPECT_EQ(ReadWaveHeader(dir.File("missing.wav")).error, WaveError::CannotOpen);
    WriteFile(dir.File("text.wav"), std::vector<uint8_t>(100, 'a'));
    EXPECT_EQ(ReadWaveHeader(dir.File("text.wav")).error, WaveError::NotWave);
    std::vector<uint8_t> wide = MakeToneWav({.seconds = 0.01});
    wide[34] = 24;  // 24 bits per sample
    WriteFile(dir.File("wide.wav"), wide);
    EXPECT_EQ(ReadWaveHeader(dir.File("wide.wav")).error, WaveError::Unsupported);
    std::vector<uint8_t> noData = MakeToneWav({.seconds = 0.01});
    noData.resize(36);
    WriteFile(dir.File("nodata.wav"), noData);
    EXPECT_EQ(ReadWaveHeader(dir.File("nodata.wav")).error, WaveError::NoData);
}

// ---- Overview builder ------------------------------------------------------------------------

TEST(WaveOverviewBuilderTest, KeepsChannelsApart) {
    WaveOverviewBuilder builder(2, 16, 4, 2);
    const auto bytes = Samples16({100, -5, -300, 7, 50, -9000, 20, 8000});
    builder.AddBytes(bytes.data(), bytes.size());
    const WaveOverview o = builder.Finish();
    ASSERT_EQ(o.buckets(), 2);
    EXPECT_EQ(o.framesPerBucket, 2);
    // Bucket 0: left {100, -300}, right {-5, 7}; bucket 1: left {50, 20}, right {-9000, 8000}.
    EXPECT_EQ(o.min, (std::vector<int16_t>{-300, -5, 20, -9000}));
    EXPECT_EQ(o.max, (std::vector<int16_t>{100, 7, 50, 8000}));
    int16_t lo = 0, hi = 0;
    ASSERT_TRUE(o.Range(1, 0, 4, &lo, &hi));
    EXPECT_EQ(lo, -9000);
    EXPECT_EQ(hi, 8000);
    EXPECT_FALSE(o.Range(2, 0, 4, &lo, &hi));
    EXPECT_FALSE(o.Range(0, 4, 9, &lo, &hi));
}

TEST(WaveOverviewBuilderTest, PiecesOfAnySizeGiveTheSameOverview) {
    // Long enough for the vector path, with a short last bucket.
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 1003 * 2; ++i) {
        const int16_t v = static_cast<int16_t>((i * 7919) % 65536 - 32768);
        bytes.push_back(static_cast<uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    WaveOverviewBuilder whole(2, 16, 1003, 10);
    whole.AddBytes(bytes.data(), bytes.size());
    const WaveOverview expected = whole.Finish();
    ASSERT_EQ(expected.buckets(), 10);

    for (size_t piece : {1u, 3u, 5u, 64u, 777u}) {
        WaveOverviewBuilder split(2, 16, 1003, 10);
        for (size_t at = 0; at < bytes.size(); at += piece)
            split.AddBytes(bytes.data() + at, std::min(piece, bytes.size() - at));
        const WaveOverview got = split.Finish();
        EXPECT_EQ(got.min, expected.min) << "piece " << piece;
        EXPECT_EQ(got.max, expected.max) << "piece " << piece;
        EXPECT_EQ(got.frames, 1003);
    }
    // Scalar reference for the first bucket (101 frames).
    int16_t lo = INT16_MAX, hi = INT16_MIN;
    for (int f = 0; f < 101; ++f) {
        int16_t v;
        std::memcpy(&v, bytes.data() + f * 4, 2);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(expected.min[0], lo);
    EXPECT_EQ(expected.max[0], hi);
}

TEST(WaveOverviewBuilderTest, WidensEightBitAndIgnoresFramesPastTheEnd) {
    WaveOverviewBuilder builder(1, 8, 3, 1);
    const uint8_t bytes[] = {0, 128, 255, 255, 255};
    builder.AddBytes(bytes, sizeof bytes);
    const WaveOverview o = builder.Finish();
    ASSERT_EQ(o.buckets(), 1);
    EXPECT_EQ(o.frames, 3);
    EXPECT_EQ(o.min[0], -32768);
    EXPECT_EQ(o.max[0], 127 * 256);
}

TEST(WaveOverviewBuilderTest, NonPositiveBucketCountGivesAnEmptyOverview) {
    // A zero count would divide by zero when the bucket size is worked out.
    WaveOverviewBuilder builder(2, 16, 100, 0);
    const auto bytes = Samples16({1, 2, 3, 4});
    builder.AddBytes(bytes.data(), bytes.size());
    EXPECT_TRUE(builder.Finish().empty());
}

TEST(WaveOverviewBuilderTest, StreamsAFileAndStopsWhenCancelled) {
    TempDir dir;
    WriteFile(dir.File("t.wav"), MakeToneWav({.seconds = 3.0}));
    const wave_editor::WaveFormat format = ReadWaveHeader(dir.File("t.wav")).format;
    std::atomic<int> percent{0};
    const auto o = BuildWaveOverview(dir.File("t.wav"), format, 100, nullptr, &percent);
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(percent.load(), 100);
    EXPECT_EQ(o->frames, 3 * 44100);
    EXPECT_EQ(o->buckets(), 100);
    // A 0.5-amplitude tone peaks near +-16383 in every bucket of 1323 frames (3 periods).
    EXPECT_NEAR(o->max[0], 16383, 50);
    EXPECT_NEAR(o->min[1], -16383, 50);

    std::atomic<bool> cancel{true};
    EXPECT_FALSE(BuildWaveOverview(dir.File("t.wav"), format, 100, &cancel, nullptr).has_value());
    EXPECT_FALSE(BuildWaveOverview(dir.File("gone.wav"), format, 100, nullptr, nullptr));
}

// ---- Units and selection ---------------------------------------------------------------------

TEST(WaveUnitsTest, SelectionInPositionsCursorInQuarterBytes) {
    // 16-bit stereo: two positions per frame; a cursor unit is a frame.
    EXPECT_EQ(StartFrameToPosition(1000, 4), 2000);
    EXPECT_EQ(EndFrameToPosition(1500, 4, 1'000'000), 3000);
    EXPECT_EQ(CursorToFrame(1000, 4), 1000);
    EXPECT_EQ(FrameToCursor(1000, 4), 1000);
    EXPECT_EQ(PositionToFrame(2001, 4), 1000);
    // 16-bit mono: a position is a frame, a cursor unit two frames.
    EXPECT_EQ(StartFrameToPosition(1000, 2), 1000);
    EXPECT_EQ(CursorToFrame(1000, 2), 2000);
    // 8-bit mono: positions cover whole bytes; the end never passes the data.
    EXPECT_EQ(StartFrameToPosition(7, 1), 3);
    EXPECT_EQ(EndFrameToPosition(7, 1, 100), 4);
    EXPECT_EQ(EndFrameToPosition(101, 1, 101), 50);
    EXPECT_EQ(CursorToFrame(-1, 4), -1);
}

TEST(WaveFadeRampTest, RisesFromSilenceAndFallsToItInsideTheSelection) {
    // Selection [100, 300): 50 frames in, 100 frames out.
    EXPECT_EQ(FadeGainAt(100, 100, 300, 50, 100), 0.0);
    EXPECT_DOUBLE_EQ(FadeGainAt(125, 100, 300, 50, 100), 0.5);
    EXPECT_EQ(FadeGainAt(150, 100, 300, 50, 100), 1.0);
    EXPECT_EQ(FadeGainAt(199, 100, 300, 50, 100), 1.0);
    EXPECT_EQ(FadeGainAt(299, 100, 300, 50, 100), 0.0);
    // Outside the selection, and with no selection, nothing is faded.
    EXPECT_EQ(FadeGainAt(50, 100, 300, 50, 100), 1.0);
    EXPECT_EQ(FadeGainAt(300, 100, 300, 50, 100), 1.0);
    EXPECT_EQ(FadeGainAt(5, 0, 0, 50, 100), 1.0);
    // Fades longer than the selection are cut to it and multiply where they overlap.
    EXPECT_LT(FadeGainAt(150, 100, 200, 500, 500), 0.3);
}

TEST(WaveUnitsTest, FrameScaleRoundTripsPixels) {
    const FrameScale scale{88200, 700};
    EXPECT_EQ(scale.FrameAt(0), 0);
    EXPECT_EQ(scale.FrameAt(350), 44100);
    EXPECT_EQ(scale.FrameAt(700), 88200);
    EXPECT_EQ(scale.FrameAt(-20), 0);
    EXPECT_EQ(scale.FrameAt(900), 88200);
    EXPECT_DOUBLE_EQ(scale.XOf(44100), 350.0);
    EXPECT_EQ(FrameScale{}.FrameAt(10), 0);
}

TEST(WaveViewTest, ZoomKeepsTheAnchorAndStaysInsideTheSound) {
    const ViewRange whole{0, 100000};
    // Zooming in to half around frame 50000 (the middle) keeps it in the middle.
    EXPECT_EQ(ZoomView(whole, 50000, 0.5, 100, 100000), (ViewRange{25000, 50000}));
    // Around frame 0 the view starts at 0.
    EXPECT_EQ(ZoomView(whole, 0, 0.5, 100, 100000), (ViewRange{0, 50000}));
    // Never closer than the minimum, never wider than the sound, never past its end.
    EXPECT_EQ(ZoomView(whole, 99000, 0.0001, 700, 100000).count, 700);
    EXPECT_EQ(ZoomView(whole, 99000, 0.0001, 700, 100000).first + 700 <= 100000, true);
    EXPECT_EQ(ZoomView({90000, 10000}, 95000, 50.0, 100, 100000), whole);
    EXPECT_EQ(ZoomView({}, 5, 0.5, 1, 0), (ViewRange{}));
}

TEST(WaveViewTest, ScrollAndFollowStopAtTheEnds) {
    EXPECT_EQ(ScrollView({1000, 500}, -5000, 10000), (ViewRange{0, 500}));
    EXPECT_EQ(ScrollView({1000, 500}, 50000, 10000), (ViewRange{9500, 500}));
    EXPECT_EQ(FollowFrame({1000, 500}, 1200, 10000), (ViewRange{1000, 500}));
    EXPECT_EQ(FollowFrame({1000, 500}, 1600, 10000), (ViewRange{1550, 500}));
    EXPECT_EQ(FollowFrame({1000, 500}, 9990, 10000), (ViewRange{9500, 500}));
    // A scale over part of the sound maps pixels into that part.
    const FrameScale part{1000, 100, 5000};
    EXPECT_EQ(part.FrameAt(0), 5000);
    EXPECT_EQ(part.FrameAt(50), 5500);
    EXPECT_DOUBLE_EQ(part.XOf(6000), 100.0);
}

// The keys' edge moves: the other edge stays unless passed, then goes to the sound's far end.
TEST(SelectionModelTest, EdgeMovesKeepTheOtherEdgeUnlessPassed) {
    SelectionModel s;
    s.SetLength(1000);
    s.MoveStart(300);  // nothing marked: the part runs from 300 to the end
    EXPECT_EQ(s.start(), 300);
    EXPECT_EQ(s.end(), 1000);
    s.MoveEnd(700);
    EXPECT_EQ(s.start(), 300);
    EXPECT_EQ(s.end(), 700);
    s.MoveStart(700);  // exactly at the end passes it
    EXPECT_EQ(s.start(), 700);
    EXPECT_EQ(s.end(), 1000);
    s.MoveEnd(200);  // before the start: the part runs from the beginning
    EXPECT_EQ(s.start(), 0);
    EXPECT_EQ(s.end(), 200);
    s.MoveEnd(5000);  // clamped to the sound
    EXPECT_EQ(s.end(), 1000);
    s.MoveStart(-5);
    EXPECT_EQ(s.start(), 0);
    s.MoveStart(1000);  // at the very end: nothing left to mark
    EXPECT_FALSE(s.HasSelection());
}

TEST(SelectionModelTest, DragMarksEitherWayAndAClickClears) {
    SelectionModel s;
    s.SetLength(1000);
    s.Press(600, false, 5);
    s.Drag(200);
    s.Release(100);
    EXPECT_EQ(s.start(), 100);
    EXPECT_EQ(s.end(), 600);
    s.Press(800, false, 5);
    s.Release(800);
    EXPECT_FALSE(s.HasSelection());
    s.Press(-50, false, 5);
    s.Release(5000);
    EXPECT_EQ(s.start(), 0);
    EXPECT_EQ(s.end(), 1000);
}

TEST(SelectionModelTest, ShiftClickMovesTheNearerEdge) {
    SelectionModel s;
    s.SetLength(1000);
    s.Set(300, 500);
    s.Press(700, true, 5);
    s.Release(700);
    EXPECT_EQ(s.start(), 300);
    EXPECT_EQ(s.end(), 700);
    s.Press(100, true, 5);
    s.Release(100);
    EXPECT_EQ(s.start(), 100);
    EXPECT_EQ(s.end(), 700);
    // Without a selection a shift-press starts one.
    s.Clear();
    s.Press(40, true, 5);
    s.Release(60);
    EXPECT_EQ(s.start(), 40);
    EXPECT_EQ(s.end(), 60);
}

TEST(SelectionModelTest, HandlesAdjustOneEdgeAndCrossOver) {
    SelectionModel s;
    s.SetLength(1000);
    s.Set(300, 500);
    EXPECT_EQ(s.EdgeAt(303, 5), -1);
    EXPECT_EQ(s.EdgeAt(498, 5), 1);
    EXPECT_EQ(s.EdgeAt(400, 5), 0);
    s.Press(303, false, 5);  // takes the start handle without moving it
    EXPECT_EQ(s.start(), 300);
    s.Drag(250);
    EXPECT_EQ(s.start(), 250);
    EXPECT_EQ(s.end(), 500);
    s.Release(650);  // dragged past the end: the edges swap
    EXPECT_EQ(s.start(), 500);
    EXPECT_EQ(s.end(), 650);
}

// ---- Properties and painting helpers ---------------------------------------------------------

TEST(WavePropertiesTest, BlockRoundTripsAndForeignBlocksGiveDefaults) {
    WaveEditProperties p;
    p.extentWidth = 640;
    p.cursor = QColor(1, 2, 3);
    p.fontFace = "DejaVu Sans";
    p.showGrid = false;
    const std::vector<uint8_t> block = p.ToBlock();
    ASSERT_EQ(block.size(), 113u);
    WaveEditProperties back;
    ASSERT_TRUE(WaveEditProperties::FromBlock(block.data(), block.size(), &back));
    EXPECT_EQ(back.extentWidth, 640);
    EXPECT_EQ(back.cursor, QColor(1, 2, 3));
    EXPECT_EQ(back.fontFace, "DejaVu Sans");
    EXPECT_FALSE(back.showGrid);
    EXPECT_EQ(back.ToBlock(), block);

    EXPECT_FALSE(WaveEditProperties::FromBlock(block.data(), 50, &back));
    EXPECT_EQ(back.extentWidth, 700);
    std::vector<uint8_t> future = block;
    future[112] = 9;
    EXPECT_FALSE(WaveEditProperties::FromBlock(future.data(), future.size(), &back));
    EXPECT_EQ(back.fontFace, "Arial");
}

TEST(WavePropertiesTest, StudioDefaultBlockIsTheControlsDefaults) {
    const std::vector<uint8_t> block = CMMWaveEditX::DefaultPropertyBlock();
    EXPECT_EQ(block.size(), 113u);
    EXPECT_EQ(block, WaveEditProperties{}.ToBlock());
}

TEST(WaveRulerTest, StepsAndLabels) {
    EXPECT_DOUBLE_EQ(RulerStep(0.01, 64), 1.0);
    EXPECT_DOUBLE_EQ(RulerStep(5.0, 64), 600.0);
    EXPECT_DOUBLE_EQ(RulerStep(0.0001, 64), 0.01);
    EXPECT_EQ(FormatRulerTime(75, 5), "1:15");
    EXPECT_EQ(FormatRulerTime(3725, 60), "1:02:05");
    EXPECT_EQ(FormatRulerTime(1.5, 0.5), "0:01.5");
    EXPECT_EQ(FormatRulerTime(0.25, 0.05), "0:00.25");
}

// ---- The control, created by class id --------------------------------------------------------

struct EventLog : platform::IControlEvents {
    void OnEvent(int id, const platform::VariantList& args) override {
        events.emplace_back(id, args);
    }
    std::vector<std::pair<int, platform::VariantList>> events;
};

class WaveEditControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string module = testing_support::BuildSystemDir() + "/vexmor.so";
        ASSERT_EQ(platform::CallDllRegisterServer(module), platform::kRegisterOk);
        ASSERT_EQ(platform::LookupControlClass(kWaveEditClassId).value_or(""), module);
        parent_.resize(700, 305);
        ASSERT_TRUE(editor_.Create(&parent_)) << editor_.site().LastError();
        editor_.Widget()->setGeometry(0, 0, 700, 305);
        editor_.site().SetEventSink(&log_);
        parent_.show();
    }

    void Load(const std::string& path) {
        editor_.LoadFile(path);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const int state = editor_.site().GetProperty(dispid::kLoadState).ToInt();
                return state == kLoadStateReady || state == kLoadStateFailed;
            },
            5000));
    }

    QWidget* widget() { return editor_.Widget(); }
    // The wave area: below the 20-pixel ruler, above the 18-pixel status line.
    static int WaveY() { return 100; }

    QWidget parent_;
    CMMWaveEditX editor_;
    EventLog log_;
    TempDir dir_;
};

TEST_F(WaveEditControlTest, MouseSelectionIsReportedInPositions) {
    WriteFile(dir_.File("tone.wav"), MakeToneWav({.seconds = 2.0}));  // 88200 frames
    Load(dir_.File("tone.wav"));
    ASSERT_EQ(editor_.site().GetProperty(dispid::kLoadState).ToInt(), kLoadStateReady);
    EXPECT_EQ(editor_.site().GetProperty(dispid::kLengthPositions).ToInt(), 2 * 88200);

    int32_t start = -1, end = -1;
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);

    const FrameScale scale{88200, 700};
    QTest::mousePress(widget(), Qt::LeftButton, {}, QPoint(100, WaveY()));
    QTest::mouseMove(widget(), QPoint(200, WaveY()));
    QTest::mouseRelease(widget(), Qt::LeftButton, {}, QPoint(300, WaveY()));
    editor_.GetSelection(start, end);
    // Stereo 16-bit: two positions per frame.
    EXPECT_EQ(start, 2 * scale.FrameAt(100));
    EXPECT_EQ(end, 2 * scale.FrameAt(300));
    ASSERT_FALSE(log_.events.empty());
    EXPECT_EQ(log_.events.back().first, eventid::kSelectionChanged);
    EXPECT_EQ(log_.events.back().second[0].ToInt(), start);
    EXPECT_EQ(log_.events.back().second[1].ToInt(), end);

    // Shift-click extends the nearer edge.
    QTest::mouseClick(widget(), Qt::LeftButton, Qt::ShiftModifier, QPoint(450, WaveY()));
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 2 * scale.FrameAt(100));
    EXPECT_EQ(end, 2 * scale.FrameAt(450));

    // The start handle is taken within a few pixels and dragged.
    QTest::mousePress(widget(), Qt::LeftButton, {}, QPoint(102, WaveY()));
    QTest::mouseMove(widget(), QPoint(60, WaveY()));
    QTest::mouseRelease(widget(), Qt::LeftButton, {}, QPoint(50, WaveY()));
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 2 * scale.FrameAt(50));
    EXPECT_EQ(end, 2 * scale.FrameAt(450));

    SaveShot(widget(), "wave_editor_tone_selection.png");
}

TEST_F(WaveEditControlTest, ZoomedSelectionAndDoubleClick) {
    WriteFile(dir_.File("song.wav"), SwellingTone(4.0));  // 176400 frames
    Load(dir_.File("song.wav"));
    // Two wheel notches with Ctrl around the middle: the view shrinks to 0.8^2 of the sound.
    QWheelEvent wheel(QPointF(350, WaveY()), widget()->mapToGlobal(QPointF(350, WaveY())), QPoint(),
                      QPoint(0, 240), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget(), &wheel);
    const ViewRange view = ZoomView({0, 176400}, 88200, 0.64, 700, 176400);
    const FrameScale scale{view.count, 700, view.first};
    QTest::mousePress(widget(), Qt::LeftButton, {}, QPoint(200, WaveY()));
    QTest::mouseRelease(widget(), Qt::LeftButton, {}, QPoint(500, WaveY()));
    int32_t start = 0, end = 0;
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 2 * scale.FrameAt(200));
    EXPECT_EQ(end, 2 * scale.FrameAt(500));
    EXPECT_GT(start, 2 * (FrameScale{176400, 700}.FrameAt(200)));  // not the unzoomed mapping
    SaveShot(widget(), "wave_editor_zoomed.png");

    QTest::mouseDClick(widget(), Qt::LeftButton, {}, QPoint(300, WaveY()));
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 2 * 176400);
}

TEST_F(WaveEditControlTest, LoadFileFromAWorkerAsTheDecodeJobDoes) {
    WriteFile(dir_.File("decoded.wav"), MakeToneWav({.seconds = 1.0}));
    std::atomic<bool> called{false};
    std::thread job([&] {
        editor_.LoadFile(dir_.File("decoded.wav"));
        called = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return called.load(); }, 3000));
    job.join();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return editor_.site().GetProperty(dispid::kLoadState).ToInt() == kLoadStateReady; },
        5000));
    EXPECT_EQ(editor_.site().GetProperty(dispid::kLengthPositions).ToInt(), 2 * 44100);
}

TEST_F(WaveEditControlTest, MarkEdgeAtCursorMovesAnEdgeAndFiresSelectionChanged) {
    WriteFile(dir_.File("tone.wav"), MakeToneWav({.seconds = 2.0}));  // 88200 stereo frames
    Load(dir_.File("tone.wav"));
    const auto mark = [this](int edge) {
        return editor_.site().Invoke(dispid::kMarkEdgeAtCursor, platform::InvokeKind::Method,
                                     {platform::Variant(edge)});
    };
    // Without a cursor nothing moves and nothing is reported.
    log_.events.clear();
    EXPECT_EQ(mark(0), platform::InvokeStatus::Ok);
    EXPECT_TRUE(log_.events.empty());

    editor_.SetSelection(2 * 10000, 2 * 60000);
    editor_.SetPlayCursor(30000);  // cursor c is frame c of 16-bit stereo
    mark(0);
    int32_t start = 0, end = 0;
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 2 * 30000);
    EXPECT_EQ(end, 2 * 60000);
    ASSERT_EQ(log_.events.size(), 1u);
    EXPECT_EQ(log_.events[0].first, eventid::kSelectionChanged);
    EXPECT_EQ(log_.events[0].second[0].ToInt(), start);
    EXPECT_EQ(log_.events[0].second[1].ToInt(), end);

    editor_.SetPlayCursor(20000);  // an end before the start takes the start to the beginning
    mark(1);
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 2 * 20000);
    EXPECT_EQ(log_.events.size(), 2u);

    EXPECT_EQ(mark(2), platform::InvokeStatus::BadArguments);
    EXPECT_EQ(editor_.site().Invoke(dispid::kMarkEdgeAtCursor, platform::InvokeKind::Method, {}),
              platform::InvokeStatus::BadArguments);
}

TEST_F(WaveEditControlTest, PlayCursorTakesQuarterBytesAndIsDrawn) {
    WriteFile(dir_.File("tone.wav"), SwellingTone(2.0));
    Load(dir_.File("tone.wav"));
    // 0.5 s to 1.5 s marked, so the cursor is drawn over a selection too.
    editor_.site().CallMethod(dispid::kSetSelection, {platform::Variant(int32_t{44100}),
                                                      platform::Variant(int32_t{132300})});
    const QColor cursorColour = WaveEditProperties{}.cursor;
    auto cursorColumns = [&] {
        const QImage image = widget()->grab().toImage();
        std::vector<int> xs;
        for (int x = 0; x < image.width(); ++x) {
            if (QColor(image.pixel(x, 40)) == cursorColour) xs.push_back(x);
        }
        return xs;
    };
    EXPECT_TRUE(cursorColumns().empty());
    EXPECT_EQ(editor_.GetCursor(), -1);

    // One second into 16-bit stereo at 44.1 kHz: the main window's formula gives
    // trunc(1000 * 0.001 * 176400 * 0.25) = 44100, which is frame 44100, the middle.
    editor_.SetPlayCursor(44100);
    EXPECT_EQ(editor_.GetCursor(), 44100);
    SaveShot(widget(), "wave_editor_cursor.png");
    const std::vector<int> xs = cursorColumns();
    ASSERT_FALSE(xs.empty());
    EXPECT_EQ(xs.front(), 350);

    editor_.SetPlayCursor(-1);
    EXPECT_EQ(editor_.GetCursor(), -1);
    EXPECT_TRUE(cursorColumns().empty());
}

TEST_F(WaveEditControlTest, SegmentWriterCutsExactlyWhatWasMarked) {
    WriteFile(dir_.File("tone.wav"), MakeToneWav({.seconds = 2.0, .frequency = 523.0}));
    Load(dir_.File("tone.wav"));
    QTest::mousePress(widget(), Qt::LeftButton, {}, QPoint(70, WaveY()));
    QTest::mouseRelease(widget(), Qt::LeftButton, {}, QPoint(420, WaveY()));
    int32_t start = 0, end = 0;
    editor_.GetSelection(start, end);

    ASSERT_TRUE(WriteSelectionToWav(dir_.File("cut.wav"), editor_, dir_.File("tone.wav")));
    const std::vector<uint8_t> source = testing_support::ReadFile(dir_.File("tone.wav"));
    const std::vector<uint8_t> cut = testing_support::ReadFile(dir_.File("cut.wav"));
    ASSERT_EQ(cut.size(), 44u + 2u * static_cast<size_t>(end - start));
    EXPECT_TRUE(std::equal(cut.begin() + 44, cut.end(), source.begin() + 44 + 2 * start));
    const FrameScale scale{88200, 700};
    if (auto probe = testing_support::Probe(dir_.File("cut.wav"))) {
        EXPECT_EQ(probe->channels, 2);
        EXPECT_NEAR(probe->duration, (scale.FrameAt(420) - scale.FrameAt(70)) / 44100.0, 0.001);
    }
}

TEST_F(WaveEditControlTest, BadFilesAndClearLeaveNoSelection) {
    WriteFile(dir_.File("bad.wav"), std::vector<uint8_t>(64, 'z'));
    editor_.LoadFile(dir_.File("bad.wav"));
    EXPECT_EQ(editor_.site().GetProperty(dispid::kLoadState).ToInt(), kLoadStateFailed);
    ASSERT_FALSE(log_.events.empty());
    EXPECT_EQ(log_.events.back().first, eventid::kLoadFinished);
    EXPECT_FALSE(log_.events.back().second[0].ToBool());
    SaveShot(widget(), "wave_editor_failed.png");
    QTest::mousePress(widget(), Qt::LeftButton, {}, QPoint(100, WaveY()));
    QTest::mouseRelease(widget(), Qt::LeftButton, {}, QPoint(300, WaveY()));
    int32_t start = -1, end = -1;
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);

    WriteFile(dir_.File("mono8.wav"), MakeToneWav({.channels = 1, .bitsPerSample = 8}));
    Load(dir_.File("mono8.wav"));
    EXPECT_TRUE(log_.events.back().second[0].ToBool());
    editor_.site().CallMethod(dispid::kSetSelection,
                              {platform::Variant(int32_t{1000}), platform::Variant(int32_t{9000})});
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 1000);
    EXPECT_EQ(end, 9000);
    editor_.Clear();
    EXPECT_EQ(editor_.site().GetProperty(dispid::kLoadState).ToInt(), kLoadStateEmpty);
    SaveShot(widget(), "wave_editor_empty.png");
    editor_.GetSelection(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);
}

TEST_F(WaveEditControlTest, PersistsItsPropertiesAndRefusesWrongCalls) {
    const std::vector<uint8_t> saved = editor_.site().SaveProperties();
    WaveEditProperties p;
    ASSERT_TRUE(WaveEditProperties::FromBlock(saved.data(), saved.size(), &p));
    EXPECT_EQ(p.extentWidth, 700);
    EXPECT_EQ(p.extentHeight, 305);
    using platform::InvokeKind;
    using platform::InvokeStatus;
    EXPECT_EQ(editor_.site().Invoke(dispid::kGetSelection, InvokeKind::Method,
                                    {platform::Variant(int32_t{1}), platform::Variant(int32_t{2})}),
              InvokeStatus::BadArguments);
    EXPECT_EQ(editor_.site().Invoke(dispid::kCursor, InvokeKind::PropertyPut,
                                    {platform::Variant(int32_t{1})}),
              InvokeStatus::NotSupported);
    EXPECT_EQ(editor_.site().Invoke(77, InvokeKind::Method, {}), InvokeStatus::UnknownDispatchId);
}

}  // namespace
