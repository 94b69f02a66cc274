#include "studio/wav.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/paths.h"
#include "platform/scripted_ui.h"
#include "studio/job_state.h"
#include "studio/ringtone_save.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::MakeToneWav;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::ToneSpec;
using testing_support::WriteFile;

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

void Set32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>((v >> (8 * i)) & 0xff);
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
    return std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// A WAV whose "data" tag starts at `dataOffset` (at least 44): an extra chunk of the right size
// sits between the format chunk and the data, without a pad byte.
std::vector<uint8_t> WavWithDataAt(size_t dataOffset, uint32_t dataBytes) {
    ToneSpec spec;
    spec.channels = 1;
    spec.sampleRate = 8000;
    spec.seconds = dataBytes / 16000.0;
    std::vector<uint8_t> out = MakeToneWav(spec);
    // Chunk header and body between the format chunk and "data".
    std::vector<uint8_t> chunk(dataOffset - 36, 'j');
    std::memcpy(chunk.data(), "JUNK", 4);
    Set32(chunk, 4, static_cast<uint32_t>(chunk.size() - 8));
    out.insert(out.begin() + 36, chunk.begin(), chunk.end());
    Set32(out, 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

// Samples of a WAV as soxi counts them, or -1 without soxi.
long long SoxSamples(const std::string& path) {
    if (!testing_support::HaveTool("soxi")) return -1;
    const auto r = testing_support::RunTool({"soxi", "-s", path});
    return r.exitCode == 0 ? std::atoll(r.out.c_str()) : -2;
}

class WavTest : public ::testing::Test {
protected:
  studio::Session session;
  TempDir dir;
  platform::ScopedScriptedUi ui;
};

}  // namespace

TEST_F(WavTest, StereoSelectionIsLoweredToWholeFramesAndCopiedExactly) {
    ToneSpec spec;  // 44100 Hz, 16-bit stereo, block alignment 4
    spec.seconds = 0.5;
    const auto source = MakeToneWav(spec);
    WriteFile(dir.File("in.wav"), source);

    FixedSelection selection(1003, 9002);  // lowered to 1000 and 9000
    ASSERT_TRUE(WriteSelectionToWav(dir.File("out.wav"), selection, dir.File("in.wav")));
    EXPECT_TRUE(ui->messageTexts().empty());

    const auto out = ReadFile(dir.File("out.wav"));
    ASSERT_EQ(out.size(), 44u + 16000u);
    EXPECT_EQ(Slice(out, 0, 4), Slice(source, 0, 4));
    EXPECT_EQ(Slice(out, 8, 32), Slice(source, 8, 32));  // format chunk and "data" unchanged
    EXPECT_EQ(Get32(out, 4), out.size() - 8);
    EXPECT_EQ(Get32(out, 40), 16000u);
    EXPECT_EQ(Slice(out, 44, 16000), Slice(source, 44 + 2000, 16000));

    if (const auto info = testing_support::Probe(dir.File("out.wav"))) {
        EXPECT_EQ(info->codec, "pcm_s16le");
        EXPECT_EQ(info->channels, 2);
        EXPECT_EQ(info->sampleRate, 44100);
        EXPECT_NEAR(info->duration, 4000.0 / 44100.0, 1e-3);
    }
    const long long samples = SoxSamples(dir.File("out.wav"));
    if (samples != -1) {
        EXPECT_EQ(samples, 4000);
    }
}

TEST_F(WavTest, MonoSourceKeepsTheChunkBeforeData) {
    ToneSpec spec;
    spec.channels = 1;
    spec.sampleRate = 22050;
    spec.seconds = 0.5;
    spec.extraChunk = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 'a', 'b', 0};  // odd: padded
    const auto source = MakeToneWav(spec);
    WriteFile(dir.File("in.wav"), source);
    const size_t dataStart = 36 + 8 + 14 + 8;

    FixedSelection selection(101, 8001);  // block alignment 2: 100 and 8000
    ASSERT_TRUE(WriteSelectionToWav(dir.File("seg.wav"), selection, dir.File("in.wav")));
    const auto out = ReadFile(dir.File("seg.wav"));
    ASSERT_EQ(out.size(), dataStart + 15800);
    EXPECT_EQ(Slice(out, 8, dataStart - 12), Slice(source, 8, dataStart - 12));
    EXPECT_EQ(Get32(out, 4), out.size() - 8);
    EXPECT_EQ(Get32(out, dataStart - 4), 15800u);
    EXPECT_EQ(Slice(out, dataStart, 15800), Slice(source, dataStart + 200, 15800));

    if (const auto info = testing_support::Probe(dir.File("seg.wav"))) {
        EXPECT_EQ(info->channels, 1);
        EXPECT_NEAR(info->duration, 7900.0 / 22050.0, 1e-3);
    }
    const long long samples = SoxSamples(dir.File("seg.wav"));
    if (samples != -1) {
        EXPECT_EQ(samples, 7900);
    }
}

TEST_F(WavTest, ShortSelectionsAreRefusedBeforeAlignment) {
    ToneSpec spec;
    spec.channels = 1;
    WriteFile(dir.File("in.wav"), MakeToneWav(spec));

    FixedSelection exact(100, 100 + 7168);
    const CutResult a = WriteSelectionToWav(dir.File("a.wav"), exact, dir.File("in.wav"));
    EXPECT_FALSE(a);
    EXPECT_EQ(a.message, "Time is too short!");
    EXPECT_FALSE(platform::FileExists(dir.File("a.wav")));

    FixedSelection backwards(9000, 100);
    const CutResult b = WriteSelectionToWav(dir.File("b.wav"), backwards, dir.File("in.wav"));
    EXPECT_FALSE(b);
    EXPECT_EQ(b.message, "Time is too short!");
    EXPECT_FALSE(platform::FileExists(dir.File("b.wav")));

    FixedSelection extremes(INT32_MAX, INT32_MIN);  // the length must not wrap around
    const CutResult c = WriteSelectionToWav(dir.File("c.wav"), extremes, dir.File("in.wav"));
    EXPECT_FALSE(c);
    EXPECT_EQ(c.message, "Time is too short!");

    FixedSelection justEnough(101, 101 + 7169);  // lowered to 100..7270: 7170 positions
    const CutResult d = WriteSelectionToWav(dir.File("d.wav"), justEnough, dir.File("in.wav"));
    EXPECT_TRUE(d);
    EXPECT_TRUE(d.message.empty());
    EXPECT_EQ(Get32(ReadFile(dir.File("d.wav")), 40), 2u * 7170u);
    // The cut says nothing itself; its caller shows the refusal (ShowCutResult).
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_FALSE(ShowCutResult(a));
    EXPECT_TRUE(ShowCutResult(d));
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Time is too short!"});
}

TEST_F(WavTest, SelectionBeyondTheSoundIsCutAtItsEnd) {
    ToneSpec spec;
    spec.channels = 1;
    spec.sampleRate = 8000;
    spec.seconds = 1.0;  // 16000 data bytes = 8000 positions
    const auto source = MakeToneWav(spec);
    WriteFile(dir.File("in.wav"), source);

    FixedSelection past(-50, 100000);
    ASSERT_TRUE(WriteSelectionToWav(dir.File("all.wav"), past, dir.File("in.wav")));
    const auto out = ReadFile(dir.File("all.wav"));
    EXPECT_EQ(out, source);

    FixedSelection tail(6000, 40000);
    ASSERT_TRUE(WriteSelectionToWav(dir.File("tail.wav"), tail, dir.File("in.wav")));
    const auto cut = ReadFile(dir.File("tail.wav"));
    ASSERT_EQ(cut.size(), 44u + 4000u);
    EXPECT_EQ(Get32(cut, 40), 4000u);
    EXPECT_EQ(Get32(cut, 4), cut.size() - 8);
    const long long samples = SoxSamples(dir.File("tail.wav"));
    if (samples != -1) {
        EXPECT_EQ(samples, 2000);
    }

    FixedSelection outside(9000, 30000);
    const CutResult none = WriteSelectionToWav(dir.File("none.wav"), outside, dir.File("in.wav"));
    EXPECT_FALSE(none);
    EXPECT_EQ(none.message, "Time is too short!");
    EXPECT_FALSE(platform::FileExists(dir.File("none.wav")));
}

TEST_F(WavTest, DataTagMustStartBeforeOffset95) {
    WriteFile(dir.File("at94.wav"), WavWithDataAt(94, 40000));
    WriteFile(dir.File("at95.wav"), WavWithDataAt(95, 40000));
    ASSERT_EQ(std::memcmp(ReadFile(dir.File("at95.wav")).data() + 95, "data", 4), 0);

    FixedSelection selection(0, 10000);
    EXPECT_TRUE(WriteSelectionToWav(dir.File("ok.wav"), selection, dir.File("at94.wav")));
    const auto ok = ReadFile(dir.File("ok.wav"));
    EXPECT_EQ(ok.size(), 102u + 20000u);
    EXPECT_EQ(Get32(ok, 4), ok.size() - 8);

    EXPECT_FALSE(WriteSelectionToWav(dir.File("no.wav"), selection, dir.File("at95.wav")));
    EXPECT_FALSE(platform::FileExists(dir.File("no.wav")));
    EXPECT_TRUE(ui->messageTexts().empty());

    EXPECT_TRUE(IsWavComplete(dir.File("at94.wav"), false));
    EXPECT_FALSE(IsWavComplete(dir.File("at95.wav"), false));
}

TEST_F(WavTest, GrowingFileIsIncompleteAndNotCut) {
    auto bytes = MakeToneWav(ToneSpec{});
    Set32(bytes, 4, static_cast<uint32_t>(bytes.size() + 1000));  // more is announced than written
    WriteFile(dir.File("growing.wav"), bytes);

    FixedSelection selection(0, 20000);
    EXPECT_FALSE(WriteSelectionToWav(dir.File("out.wav"), selection, dir.File("growing.wav")));
    EXPECT_FALSE(platform::FileExists(dir.File("out.wav")));
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_FALSE(IsWavComplete(dir.File("growing.wav"), false));

    // The ripper's header with data size 0 over a file that already holds frames.
    RipperOptions options;
    std::vector<uint8_t> ripped = WavHeaderBytes(options, 0);
    ripped.resize(44 + 4 * 2352, 0);
    WriteFile(dir.File("ripping.wav"), ripped);
    EXPECT_FALSE(IsWavComplete(dir.File("ripping.wav"), false));
}

TEST_F(WavTest, WrongTagsRaiseTheInvalidFileErrorNamingTheFile) {
    auto riffx = MakeToneWav(ToneSpec{});
    riffx[3] = 'X';
    auto noFmt = MakeToneWav(ToneSpec{});
    std::memcpy(noFmt.data() + 12, "fmt_", 4);
    std::vector<uint8_t> truncated = MakeToneWav(ToneSpec{});
    truncated.resize(10);
    WriteFile(dir.File("riffx.wav"), riffx);
    WriteFile(dir.File("nofmt.wav"), noFmt);
    WriteFile(dir.File("short.wav"), truncated);
    WriteFile(dir.File("target.wav"), {'k', 'e', 'e', 'p'});

    for (const char* name : {"riffx.wav", "nofmt.wav", "short.wav"}) {
        FixedSelection selection(0, 20000);
        const std::string path = dir.File(name);
        try {
            WriteSelectionToWav(dir.File("target.wav"), selection, path);
            ADD_FAILURE() << "no error for " << name;
        } catch (const InvalidFileError& error) {
            EXPECT_EQ(error.path(), path);
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
        }
        EXPECT_EQ(ReadFile(dir.File("target.wav")), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));

        CWave wave;
        EXPECT_THROW(wave.LoadFromFile(path), InvalidFileError) << name;
    }
    EXPECT_TRUE(ui->messageTexts().empty());
    // Only the selection writer and CWave check tags: the next file in the folder is untouched.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              4);
}

TEST_F(WavTest, MissingSourceFailsSilently) {
    FixedSelection selection(0, 20000);
    EXPECT_FALSE(WriteSelectionToWav(dir.File("out.wav"), selection, dir.File("absent.wav")));
    session.job.SetCurrentWavPath("");
    EXPECT_FALSE(CutShapedSelection(session, dir.File("out.wav"), selection));
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_FALSE(platform::FileExists(dir.File("out.wav")));
}

TEST_F(WavTest, TheSessionsCurrentWavIsTheRingtonesSource) {
    WriteFile(dir.File("current.wav"), MakeToneWav(ToneSpec{}));
    session.job.SetCurrentWavPath(dir.File("current.wav"));
    FixedSelection selection(0, 8000);
    EXPECT_TRUE(CutShapedSelection(session, dir.File("out.wav"), selection));
    EXPECT_EQ(Get32(ReadFile(dir.File("out.wav")), 40), 16000u);
}

TEST_F(WavTest, UnwritableTargetIsReportedAndLeavesNothing) {
    WriteFile(dir.File("in.wav"), MakeToneWav(ToneSpec{}));
    FixedSelection selection(0, 8000);
    const std::string target = dir.File("no such folder/out.wav");
    const CutResult refused = WriteSelectionToWav(target, selection, dir.File("in.wav"));
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.message, "Cannot write the file " + target);

    // A replaced target is replaced whole; no temporary file stays beside it.
    WriteFile(dir.File("out.wav"), std::vector<uint8_t>(100000, 7));
    EXPECT_TRUE(WriteSelectionToWav(dir.File("out.wav"), selection, dir.File("in.wav")));
    EXPECT_EQ(ReadFile(dir.File("out.wav")).size(), 44u + 16000u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(WavTest, PathsWithBlanksAndNonAsciiLetters) {
    std::filesystem::create_directories(dir.File("My Sounds \xC3\xA9"));
    const std::string source = dir.File("My Sounds \xC3\xA9/Kl\xC3\xA4nge \xC3\xB1.wav");
    const std::string target = dir.File("My Sounds \xC3\xA9/seg \xC3\xBC.wav");
    WriteFile(source, MakeToneWav(ToneSpec{}));
    FixedSelection selection(0, 8000);
    ASSERT_TRUE(WriteSelectionToWav(target, selection, source));
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_TRUE(IsWavComplete(target, false));
    if (const auto info = testing_support::Probe(target)) {
        EXPECT_NEAR(info->duration, 4000.0 / 44100.0, 1e-3);
    }
}

TEST_F(WavTest, CompletenessWaitsForTheFileButNotForever) {
    // A conversion job answers at once, whatever the file.
    EXPECT_TRUE(IsWavComplete(dir.File("absent.wav"), true, {}, std::chrono::milliseconds(0)));

    EXPECT_FALSE(IsWavComplete(dir.File("absent.wav"), false, {}, std::chrono::milliseconds(400)));

    int repaints = 0;
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        WriteFile(dir.File("late.wav.tmp"), MakeToneWav(ToneSpec{}));
        std::filesystem::rename(dir.File("late.wav.tmp"), dir.File("late.wav"));
    });
    EXPECT_TRUE(IsWavComplete(dir.File("late.wav"), false, [&] { ++repaints; }));
    writer.join();
    EXPECT_EQ(repaints, 1);

    WriteFile(dir.File("tiny.wav"), {'R', 'I', 'F'});
    EXPECT_FALSE(IsWavComplete(dir.File("tiny.wav"), false, [&] { ++repaints; }));
    EXPECT_EQ(repaints, 1);
}

TEST_F(WavTest, CWaveRoundTripsTheCanonicalLayout) {
    ToneSpec spec;
    spec.channels = 1;
    spec.sampleRate = 11025;
    spec.seconds = 0.1;
    const auto source = MakeToneWav(spec);
    WriteFile(dir.File("in.wav"), source);

    CWave wave;
    EXPECT_STREQ(wave.GetRuntimeClass(), "CWave");
    EXPECT_EQ(wave.format.formatTag, 1);
    EXPECT_EQ(wave.format.channels, 0);
    wave.LoadFromFile(dir.File("in.wav"));
    EXPECT_EQ(wave.format.channels, 1);
    EXPECT_EQ(wave.format.sampleRate, 11025u);
    EXPECT_EQ(wave.format.bytesPerSecond, 22050u);
    EXPECT_EQ(wave.format.blockAlign, 2);
    EXPECT_EQ(wave.format.bitsPerSample, 16);
    EXPECT_EQ(wave.ElementCount(), 1103u);
    ASSERT_TRUE(wave.StoreToFile(dir.File("out.wav")));
    EXPECT_EQ(ReadFile(dir.File("out.wav")), source);

    std::ostringstream stream;
    wave.Store(stream);
    std::istringstream back(stream.str());
    CWave copy;
    copy.Load(back, "memory");
    EXPECT_EQ(copy.samples, wave.samples);
}

TEST_F(WavTest, CWaveRefusesDamagedData) {
    auto bytes = MakeToneWav(ToneSpec{});
    // A data size that is not whole frames: the partial frame is dropped.
    Set32(bytes, 40, Get32(bytes, 40) - 2);
    WriteFile(dir.File("odd.wav"), bytes);
    CWave wave;
    wave.LoadFromFile(dir.File("odd.wav"));
    EXPECT_EQ(wave.samples.size() % 4, 0u);
    EXPECT_EQ(wave.ElementCount(), 44099u);

    // A data size beyond the end of the file, a block alignment of 0, a chunk before "data".
    auto huge = MakeToneWav(ToneSpec{});
    Set32(huge, 40, 0xfffffff0u);
    auto noAlign = MakeToneWav(ToneSpec{});
    noAlign[32] = noAlign[33] = 0;
    ToneSpec withList;
    withList.extraChunk = {1, 2, 3, 4};
    WriteFile(dir.File("huge.wav"), huge);
    WriteFile(dir.File("noalign.wav"), noAlign);
    WriteFile(dir.File("list.wav"), MakeToneWav(withList));
    for (const char* name : {"huge.wav", "noalign.wav", "list.wav"}) {
        CWave damaged;
        EXPECT_THROW(damaged.LoadFromFile(dir.File(name)), InvalidFileError) << name;
    }

    FixedSelection selection(0, 20000);
    EXPECT_THROW(WriteSelectionToWav(dir.File("seg.wav"), selection, dir.File("noalign.wav")),
                 InvalidFileError);
    EXPECT_FALSE(platform::FileExists(dir.File("seg.wav")));
}

TEST_F(WavTest, RipperHeaderIsFortyFourBytesOfCdFormat) {
    RipperOptions options;  // 16-bit stereo, as the loader always sets
    const uint32_t frames = 3;
    const uint32_t dataBytes = frames * 2352;
    {
        std::ofstream out(dir.File("track.wav"), std::ios::binary);
        EXPECT_TRUE(WriteWavHeader(options, &out, 0));
        const std::vector<char> audio(dataBytes, 0);
        out.write(audio.data(), static_cast<std::streamsize>(audio.size()));
        EXPECT_TRUE(WriteWavHeader(options, &out, dataBytes));
    }
    const auto bytes = ReadFile(dir.File("track.wav"));
    ASSERT_EQ(bytes.size(), 44u + dataBytes);
    EXPECT_EQ(Get32(bytes, 4), dataBytes + 36);
    EXPECT_EQ(Get32(bytes, 40), dataBytes);
    EXPECT_EQ(bytes, [&] {
        auto expected = WavHeaderBytes(options, dataBytes);
        expected.resize(44 + dataBytes, 0);
        return expected;
    }());
    EXPECT_TRUE(IsWavComplete(dir.File("track.wav"), false));
    if (const auto info = testing_support::Probe(dir.File("track.wav"))) {
        EXPECT_EQ(info->channels, 2);
        EXPECT_EQ(info->sampleRate, 44100);
        EXPECT_NEAR(info->duration, dataBytes / 176400.0, 1e-3);
    }

    // The same through a C stream; a missing stream is left alone.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(dir.File("c.wav").c_str(), "wb"), &std::fclose);
    ASSERT_TRUE(file);
    EXPECT_TRUE(WriteWavHeader(options, file.get(), 0));
    file.reset();
    EXPECT_EQ(ReadFile(dir.File("c.wav")), WavHeaderBytes(options, 0));
    EXPECT_TRUE(WriteWavHeader(options, static_cast<std::FILE*>(nullptr), 0));
    EXPECT_TRUE(WriteWavHeader(options, static_cast<std::ostream*>(nullptr), 0));

    RipperOptions mono8;
    mono8.wavChannels = 0;
    mono8.wavSampleBits = 0;
    const auto header = WavHeaderBytes(mono8, 8);
    EXPECT_EQ(header[22], 1);  // channels
    EXPECT_EQ(header[34], 8);  // bits per sample
    EXPECT_EQ(Get32(header, 24), 44100u);
    EXPECT_EQ(Get32(header, 28), 176400u);
    EXPECT_EQ(header[32], 4);
}

TEST(JobState, OneJobAtATime) {
    studio::Session session;
    EXPECT_TRUE(session.job.TryStart());
    EXPECT_TRUE(session.job.Running());
    EXPECT_FALSE(session.job.TryStart());
    session.job.End();
    EXPECT_FALSE(session.job.Running());

    // Of many threads racing for the flag exactly one wins.
    std::atomic<int> winners{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            if (session.job.TryStart()) ++winners;
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(winners.load(), 1);
    session.job.End();
}

TEST(JobState, CurrentWavIsSharedBetweenThreads) {
    studio::Session session;
    EXPECT_EQ(session.job.CurrentWavPath(), "");
    std::thread([&session] { session.job.SetCurrentWavPath("/scratch/vxtmp.wav"); }).join();
    EXPECT_EQ(session.job.CurrentWavPath(), "/scratch/vxtmp.wav");
}
