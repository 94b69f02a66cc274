#include "uikit/mp3_info.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <random>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace ts = testing_support;

namespace {

// Encodes a generated tone with the lame tool; returns the MP3's path, or "" when lame is
// missing or fails.
std::string MakeMp3(const ts::TempDir& dir, const std::string& name, double seconds, int rate,
                    int channels, const std::vector<std::string>& lameArgs) {
    ts::ToneSpec spec;
    spec.sampleRate = rate;
    spec.channels = channels;
    spec.seconds = seconds;
    return ts::LameMp3(dir, name + ".mp3", spec, lameArgs);
}

struct PacketCount {
    long long packets = 0;
    int sampleRate = 0;
};

// The audio frames ffprobe reads from the file (an Info/Xing frame is not counted).
std::optional<PacketCount> CountPackets(const std::string& path) {
    if (!ts::HaveTool("ffprobe")) return std::nullopt;
    const auto r = ts::RunTool({"ffprobe", "-v", "error", "-count_packets", "-select_streams",
                                "a:0", "-show_entries", "stream=nb_read_packets,sample_rate", "-of",
                                "default=nw=1", path});
    PacketCount count;
    std::size_t at = r.out.find("nb_read_packets=");
    if (r.exitCode != 0 || at == std::string::npos) return std::nullopt;
    count.packets = std::stoll(r.out.substr(at + 16));
    at = r.out.find("sample_rate=");
    if (at == std::string::npos) return std::nullopt;
    count.sampleRate = std::stoi(r.out.substr(at + 12));
    return count;
}

struct Described {
    bool ok = false;
    MPEGINFOS info{};
    uint64_t bytesRead = 0;
};

Described Describe(const std::string& path) {
    Described d;
    d.info.filled = kInfoNotFilled;
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    CPlay play;
    d.ok = play.GetInfo(buffer.data(), &d.info);
    d.bytesRead = play.bytesRead();
    return d;
}

int32_t Int32At(const MPEGINFOS& info, std::size_t offset) {
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const uint8_t*>(&info) + offset, sizeof value);
    return value;
}

#define REQUIRE_FILE(path) \
    if ((path).empty()) GTEST_SKIP() << "lame is not installed"

}  // namespace

TEST(Mp3InfoRecord, FieldsSitAtTheirOffsets) {
    ts::TempDir dir;
    const std::string mp3 = MakeMp3(dir, "cbr", 2.5, 44100, 2, {"-b", "128"});
    REQUIRE_FILE(mp3);
    const Described d = Describe(mp3);
    ASSERT_TRUE(d.ok);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&d.info);
    EXPECT_EQ(Int32At(d.info, 0), 2);
    EXPECT_NE(Int32At(d.info, 8), 100);
    EXPECT_EQ(Int32At(d.info, 16), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 24), 4), "MPEG");
    EXPECT_EQ(d.info.version, 1);
    EXPECT_EQ(d.info.layer, 3);
    EXPECT_EQ(d.info.sampleRate, 44100);
    EXPECT_EQ(d.info.channels, 2);
    EXPECT_EQ(d.info.bitrateKbps, 128);
    EXPECT_EQ(d.info.vbr, 0);
}

// Files with a Xing/Info header: the count from the header, the encoder's delay and padding
// taken off, and only the start and the tag area at the end read.
TEST(Mp3InfoLength, HeaderGivesExactTimeFromAFewKilobytes) {
    ts::TempDir dir;
    struct Case {
        const char* name;
        std::vector<std::string> args;
    };
    for (const Case& c :
         {Case{"cbr", {"-b", "192"}}, Case{"vbr", {"-V", "2"}}, Case{"abr", {"--abr", "96"}}}) {
        const std::string mp3 = MakeMp3(dir, c.name, 7.3, 44100, 2, c.args);
        REQUIRE_FILE(mp3);
        const Described d = Describe(mp3);
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.info.lengthSource, 1) << c.name;
        EXPECT_NEAR(d.info.milliseconds, 7300, 2) << c.name;
        EXPECT_EQ(d.info.seconds, 7) << c.name;
        EXPECT_LT(d.bytesRead, 16u * 1024) << c.name;
        if (const auto probe = ts::Probe(mp3)) {
            EXPECT_NEAR(d.info.seconds, std::floor(probe->duration), 1) << c.name;
        }
        if (const auto count = CountPackets(mp3)) {
            EXPECT_EQ(d.info.frames, count->packets) << c.name;
        }
    }
}

// Without a header every frame header is walked; the count equals the frames a decoder reads,
// for MPEG-1, MPEG-2 and MPEG-2.5 (the 32 kbit/s mono 22050 Hz frames are too small for the
// encoder's Info tag).
TEST(Mp3InfoLength, WalkingCountsEveryFrame) {
    ts::TempDir dir;
    struct Case {
        const char* name;
        int rate;
        int channels;
        std::vector<std::string> args;
        int version;
    };
    for (const Case& c :
         {Case{"vbr_bare", 44100, 2, {"-t", "-V", "4"}, 1},
          Case{"cbr_bare", 32000, 2, {"-t", "-b", "96", "--resample", "32"}, 1},
          Case{"small", 22050, 1, {"-b", "32"}, 2}, Case{"low", 8000, 1, {"-b", "16"}, 25}}) {
        const std::string mp3 = MakeMp3(dir, c.name, 4.6, c.rate, c.channels, c.args);
        REQUIRE_FILE(mp3);
        const Described d = Describe(mp3);
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.info.kind, kStreamKindLayer3) << c.name;
        EXPECT_EQ(d.info.version, c.version) << c.name;
        EXPECT_EQ(d.info.lengthSource, 0) << c.name;
        const auto count = CountPackets(mp3);
        if (!count) continue;
        const long long spf = c.version == 1 ? 1152 : 576;
        EXPECT_EQ(d.info.frames, count->packets) << c.name;
        EXPECT_EQ(d.info.milliseconds, count->packets * spf * 1000 / count->sampleRate) << c.name;
        EXPECT_EQ(d.info.seconds, 4) << c.name;
    }
}

// ID3v2 before and APE and ID3v1 tags after the audio are skipped, also when their bytes look
// like frame headers.
TEST(Mp3InfoLength, TagsAtBothEndsAreSkipped) {
    ts::TempDir dir;
    const std::string bare = MakeMp3(dir, "bare", 3.0, 44100, 2, {"-t", "-b", "128"});
    REQUIRE_FILE(bare);
    const std::vector<uint8_t> audio = ts::ReadFile(bare);
    const Described plain = Describe(bare);
    ASSERT_TRUE(plain.ok);

    std::vector<uint8_t> file{'I', 'D', '3', 4, 0, 0, 0, 0, 0x17, 0x70};  // 3056-byte body
    for (int i = 0; i < 3056; ++i) file.push_back(i % 7 == 0 ? 0xFF : 0xFB);
    file.insert(file.end(), audio.begin(), audio.end());
    const std::vector<uint8_t> item{0xFF, 0xFB, 0x90, 0x64, 'x', 'y', 'z', 0};
    auto apeBlock = [&](bool header) {
        std::vector<uint8_t> b{'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0};
        const uint32_t size = static_cast<uint32_t>(item.size() + 32);
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(size >> (8 * i)));
        b.insert(b.end(), {1, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(header ? 0xA0 : 0x80)});
        b.resize(32, 0);
        return b;
    };
    for (const auto& part : {apeBlock(true), item, apeBlock(false)})
        file.insert(file.end(), part.begin(), part.end());
    std::vector<uint8_t> id3v1{'T', 'A', 'G'};
    id3v1.resize(128, 0xFF);
    file.insert(file.end(), id3v1.begin(), id3v1.end());
    const std::string tagged = dir.File("tagged.mp3");
    ts::WriteFile(tagged, file);

    const Described d = Describe(tagged);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.frames, plain.info.frames);
    EXPECT_EQ(d.info.milliseconds, plain.info.milliseconds);
    EXPECT_EQ(d.info.audioBytes, static_cast<int32_t>(audio.size()));
}

// The samples mpg123 decodes from `path` per channel, read from the WAV it writes.
std::optional<long long> DecodedSamples(const ts::TempDir& dir, const std::string& path) {
    if (!ts::HaveTool("mpg123")) return std::nullopt;
    const std::string wav = dir.File("decoded.wav");
    if (ts::RunTool({"mpg123", "-q", "-w", wav, path}).exitCode != 0) return std::nullopt;
    const std::vector<uint8_t> bytes = ts::ReadFile(wav);
    const uint8_t dataTag[] = {'d', 'a', 't', 'a'};
    const auto at = std::search(bytes.begin(), bytes.end(), std::begin(dataTag), std::end(dataTag));
    if (at == bytes.end() || bytes.size() < 36) return std::nullopt;
    const int channels = bytes[22];
    const long long dataBytes = static_cast<long long>(bytes.end() - (at + 8));
    return dataBytes / (2 * channels);
}

// Free-format streams (bit-rate index 0) have frames whose length no header gives; they are
// measured from one header to the next with the same fields. With the encoder's Info frame and
// without it, MPEG-1 stereo and MPEG-2 mono, the length is what a decoder plays, and the burner
// and the down-sizer take the files.
TEST(Mp3InfoLength, FreeFormatFramesAreMeasuredFromTheNextHeader) {
    ts::TempDir dir;
    struct Case {
        const char* name;
        int rate;
        int channels;
        std::vector<std::string> args;
        int version;
        int lengthSource;
    };
    for (const Case& c :
         {Case{"free_info", 44100, 2, {"--freeformat", "-b", "200"}, 1, 1},
          Case{"free_bare", 44100, 2, {"-t", "--freeformat", "-b", "200"}, 1, 0},
          Case{"free_mono", 22050, 1, {"-t", "--freeformat", "-b", "40"}, 2, 0}}) {
        const std::string mp3 = MakeMp3(dir, c.name, 3.3, c.rate, c.channels, c.args);
        REQUIRE_FILE(mp3);
        const std::vector<uint8_t> bytes = ts::ReadFile(mp3);
        ASSERT_GE(bytes.size(), 4u);
        ASSERT_EQ(bytes[2] >> 4, 0) << c.name << ": not a free-format stream";
        const Described d = Describe(mp3);
        ASSERT_TRUE(d.ok) << c.name;
        EXPECT_EQ(d.info.kind, kStreamKindLayer3) << c.name;
        EXPECT_EQ(d.info.version, c.version) << c.name;
        EXPECT_EQ(d.info.sampleRate, c.rate) << c.name;
        EXPECT_EQ(d.info.channels, c.channels) << c.name;
        EXPECT_EQ(d.info.lengthSource, c.lengthSource) << c.name;
        EXPECT_EQ(d.info.vbr, 0) << c.name;
        EXPECT_NEAR(d.info.bitrateKbps, std::stoi(c.args.back()), 2) << c.name;
        EXPECT_EQ(d.info.seconds, 3) << c.name;
        EXPECT_EQ(DescribeMp3File(mp3, true), 3) << c.name;
        if (const auto samples = DecodedSamples(dir, mp3)) {
            const long long frame = c.version == 1 ? 1152 : 576;
            // Without the Info frame's delays the walk counts the encoder's padding too.
            EXPECT_NEAR(d.info.milliseconds, *samples * 1000 / c.rate,
                        c.lengthSource == 1 ? 2 : 2 * frame * 1000 / c.rate)
                << c.name;
        }
    }
    // A free-format header without a second one to measure it by is no stream.
    std::vector<uint8_t> lone(2000, 0);
    lone[0] = 0xFF;
    lone[1] = 0xFB;
    lone[2] = 0x00;
    lone[3] = 0x64;
    ts::WriteFile(dir.File("lone.mp3"), lone);
    EXPECT_FALSE(Describe(dir.File("lone.mp3")).ok);
}

TEST(Mp3InfoBadInput, NothingIsDescribedAndTheRecordStaysUntouched) {
    ts::TempDir dir;
    std::mt19937 random(7);
    std::vector<uint8_t> noise(64 * 1024);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> hugeId3{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    for (int i = 0; i < 4096; ++i) hugeId3.push_back(i % 417 == 0 ? 0xFF : 0xFB);
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases{
        {"empty.mp3", {}},
        {"one.mp3", {0xFF}},
        {"sync_only.mp3", {0xFF, 0xFB, 0x90, 0x64}},
        {"noise.mp3", noise},
        {"huge_id3.mp3", hugeId3},
        {"text.mp3", std::vector<uint8_t>(3000, 'a')},
        {"riff_only.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}},
    };
    for (const auto& [name, bytes] : cases) {
        ts::WriteFile(dir.File(name), bytes);
        const Described d = Describe(dir.File(name));
        EXPECT_FALSE(d.ok) << name;
        EXPECT_EQ(d.info.filled, kInfoNotFilled) << name;
        EXPECT_EQ(DescribeMp3File(dir.File(name), false), std::nullopt) << name;
    }
    EXPECT_FALSE(Describe(dir.File("missing.mp3")).ok);
    EXPECT_FALSE(Describe(dir.path()).ok);
}

TEST(Mp3InfoBadInput, TruncatedLastFrameIsLeftOut) {
    ts::TempDir dir;
    const std::string bare = MakeMp3(dir, "bare", 2.0, 44100, 2, {"-t", "-b", "160"});
    REQUIRE_FILE(bare);
    const Described whole = Describe(bare);
    ASSERT_TRUE(whole.ok);
    std::vector<uint8_t> bytes = ts::ReadFile(bare);
    bytes.resize(bytes.size() - 200);  // a 160 kbit/s frame is 522 bytes long
    ts::WriteFile(dir.File("cut.mp3"), bytes);
    const Described cut = Describe(dir.File("cut.mp3"));
    ASSERT_TRUE(cut.ok);
    EXPECT_EQ(cut.info.frames, whole.info.frames - 1);
}

TEST(Mp3InfoKinds, WaveAndLayerTwoAreDescribedButNotKind2) {
    ts::TempDir dir;
    ts::ToneSpec spec;
    spec.sampleRate = 22050;
    spec.channels = 1;
    spec.seconds = 2.75;
    ts::WriteFile(dir.File("tone.wav"), ts::MakeToneWav(spec));
    const Described wave = Describe(dir.File("tone.wav"));
    ASSERT_TRUE(wave.ok);
    EXPECT_EQ(wave.info.kind, kStreamKindWave);
    EXPECT_NEAR(wave.info.milliseconds, 2750, 1);
    EXPECT_EQ(std::string(wave.info.mpeg, 4), "MPEG");
    EXPECT_EQ(DescribeMp3File(dir.File("tone.wav"), false), 2);
    EXPECT_EQ(DescribeMp3File(dir.File("tone.wav"), true), std::nullopt);

    if (!ts::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string mp2 = dir.File("tone.mp2");
    ASSERT_EQ(ts::RunTool({"ffmpeg", "-v", "error", "-i", dir.File("tone.wav"), "-c:a", "mp2",
                           "-b:a", "64k", mp2})
                  .exitCode,
              0);
    const Described layer2 = Describe(mp2);
    ASSERT_TRUE(layer2.ok);
    EXPECT_EQ(layer2.info.kind, kStreamKindLayer12);
    EXPECT_EQ(layer2.info.layer, 2);
    EXPECT_EQ(DescribeMp3File(mp2, true), std::nullopt);
    EXPECT_EQ(DescribeMp3File(mp2, false), 2);
}

// The record tells a WAV's float samples from integer ones, from the format tag or from the
// extensible format's sub-format; MPEG audio has no WAV samples.
TEST(Mp3InfoKinds, FloatWavesAreToldFromIntegerOnes) {
    ts::TempDir dir;
    struct Case {
        const char* name;
        bool floatSamples;
        bool extensible;
        int channels;
        int32_t samples;
        const char* codec;  // as ffprobe names it
    };
    for (const Case& c : {Case{"int.wav", false, false, 2, kWaveSamplesInteger, "pcm_s16le"},
                          Case{"float.wav", true, false, 1, kWaveSamplesFloat, "pcm_f32le"},
                          Case{"ext-int.wav", false, true, 1, kWaveSamplesInteger, "pcm_s16le"},
                          Case{"ext-float.wav", true, true, 2, kWaveSamplesFloat, "pcm_f32le"}}) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        ts::WriteFile(path, ts::MakeToneWav({.channels = c.channels,
                                             .seconds = 1.5,
                                             .floatSamples = c.floatSamples,
                                             .extensible = c.extensible}));
        const Described d = Describe(path);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.info.kind, kStreamKindWave);
        EXPECT_EQ(Int32At(d.info, 56), c.samples);
        EXPECT_EQ(d.info.channels, c.channels);
        EXPECT_EQ(d.info.milliseconds, 1500);
        if (const auto probe = ts::Probe(path)) {
            EXPECT_EQ(probe->codec, c.codec);
        }
    }
    const std::string mp3 = MakeMp3(dir, "song", 1.0, 44100, 2, {"-b", "128"});
    REQUIRE_FILE(mp3);
    const Described d = Describe(mp3);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.waveSamples, 0);
}

TEST(Mp3InfoAccept, Mp3FileGivesItsSecondsEitherWay) {
    ts::TempDir dir;
    const std::string mp3 = MakeMp3(dir, "song", 3.4, 44100, 2, {"-V", "5"});
    REQUIRE_FILE(mp3);
    EXPECT_EQ(DescribeMp3File(mp3, true), 3);
    EXPECT_EQ(DescribeMp3File(mp3, false), 3);
}

// A VBRI header (another encoder's VBR header) in the first frame gives the frame count.
TEST(Mp3InfoLength, VbriHeaderGivesTheFrameCount) {
    ts::TempDir dir;
    const std::string bare = MakeMp3(dir, "bare", 3.0, 44100, 2, {"-t", "-b", "128"});
    REQUIRE_FILE(bare);
    const std::vector<uint8_t> audio = ts::ReadFile(bare);
    const Described plain = Describe(bare);
    ASSERT_TRUE(plain.ok);
    const uint32_t frames = static_cast<uint32_t>(plain.info.frames);

    std::vector<uint8_t> file(audio.begin(), audio.begin() + 4);
    file[2] &= static_cast<uint8_t>(~0x02);  // no padding: a 417-byte frame
    file.resize(36, 0);
    const std::vector<uint8_t> vbri{'V', 'B', 'R', 'I', 0, 1, 0, 0, 0, 75};
    file.insert(file.end(), vbri.begin(), vbri.end());
    for (uint32_t v : {static_cast<uint32_t>(audio.size()), frames})
        for (int shift = 24; shift >= 0; shift -= 8)
            file.push_back(static_cast<uint8_t>(v >> shift));
    file.resize(417, 0);
    file.insert(file.end(), audio.begin(), audio.end());
    const std::string path = dir.File("vbri.mp3");
    ts::WriteFile(path, file);

    const Described d = Describe(path);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.lengthSource, 2);
    EXPECT_EQ(d.info.frames, plain.info.frames);
    EXPECT_EQ(d.info.milliseconds, plain.info.milliseconds);
    if (const auto probe = ts::Probe(path)) {
        EXPECT_EQ(d.info.seconds, static_cast<int>(std::floor(probe->duration)));
    }
}

// A large ID3v2 tag (cover art) in front of a file with an Info header costs no extra reads.
TEST(Mp3InfoLength, LargeLeadingTagIsSkippedUnread) {
    ts::TempDir dir;
    const std::string mp3 = MakeMp3(dir, "song", 2.0, 44100, 2, {"-b", "256"});
    REQUIRE_FILE(mp3);
    const std::vector<uint8_t> audio = ts::ReadFile(mp3);
    std::vector<uint8_t> file{'I', 'D', '3', 3, 0, 0, 0, 0x0C, 0x00, 0x00};  // 196608-byte body
    file.resize(10 + 196608, 0xFF);
    file.insert(file.end(), audio.begin(), audio.end());
    ts::WriteFile(dir.File("art.mp3"), file);
    const Described d = Describe(dir.File("art.mp3"));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.lengthSource, 1);
    EXPECT_EQ(d.info.seconds, 2);
    EXPECT_LT(d.bytesRead, 12u * 1024);  // the window at the start and one at the audio
}

// A damaged header that claims more frames than the data can hold is not believed.
TEST(Mp3InfoBadInput, ImpossibleFrameCountFallsBackToCounting) {
    ts::TempDir dir;
    const std::string mp3 = MakeMp3(dir, "song", 2.2, 44100, 2, {"-V", "3"});
    REQUIRE_FILE(mp3);
    std::vector<uint8_t> bytes = ts::ReadFile(mp3);
    const auto at =
        std::search(bytes.begin(), bytes.end(), std::begin("Xing"), std::end("Xing") - 1);
    ASSERT_NE(at, bytes.end());
    ASSERT_NE(at[7] & 1, 0);  // the frame count is present
    at[8] = 0x7F;
    at[9] = at[10] = at[11] = 0xFF;
    ts::WriteFile(dir.File("damaged.mp3"), bytes);
    const Described d = Describe(dir.File("damaged.mp3"));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.lengthSource, 0);
    EXPECT_EQ(d.info.seconds, 2);
    if (const auto count = CountPackets(mp3)) {
        EXPECT_EQ(d.info.frames, count->packets);
    }
}

// A header describes the file it was written into; a file cut short, two files joined end to end
// or a stream that changes its rate part way hold other audio, and the frames are walked.
TEST(Mp3InfoLength, HeaderOfAnotherLengthIsNotBelieved) {
    ts::TempDir dir;
    const std::string vbr = MakeMp3(dir, "vbr", 12.0, 44100, 2, {"-V", "2"});
    const std::string cbr = MakeMp3(dir, "cbr", 6.0, 44100, 2, {"-b", "128"});
    const std::string low = MakeMp3(dir, "low", 3.0, 22050, 1, {"-b", "64"});
    REQUIRE_FILE(vbr);
    REQUIRE_FILE(cbr);
    REQUIRE_FILE(low);
    ASSERT_EQ(Describe(vbr).info.lengthSource, 1);
    ASSERT_EQ(Describe(cbr).info.lengthSource, 1);
    const int32_t cbrMs = Describe(cbr).info.milliseconds;
    const int32_t lowMs = Describe(low).info.milliseconds;

    const auto cut = [&dir](const std::string& from, double share, const std::string& name) {
        std::vector<uint8_t> bytes = ts::ReadFile(from);
        bytes.resize(static_cast<size_t>(static_cast<double>(bytes.size()) * share));
        ts::WriteFile(dir.File(name), bytes);
        return dir.File(name);
    };
    const auto join = [&dir](const std::string& a, const std::string& b, const std::string& name) {
        std::vector<uint8_t> bytes = ts::ReadFile(a);
        const std::vector<uint8_t> second = ts::ReadFile(b);
        bytes.insert(bytes.end(), second.begin(), second.end());
        ts::WriteFile(dir.File(name), bytes);
        return dir.File(name);
    };

    // Cut short: as long as the frames a decoder reads.
    for (const std::string& path : {cut(vbr, 0.3, "vbr_cut.mp3"), cut(cbr, 0.5, "cbr_cut.mp3")}) {
        const Described d = Describe(path);
        ASSERT_TRUE(d.ok) << path;
        EXPECT_EQ(d.info.lengthSource, 0) << path;
        const auto count = CountPackets(path);
        if (!count) continue;
        EXPECT_NEAR(d.info.milliseconds, count->packets * 1152 * 1000 / count->sampleRate, 60)
            << path;
    }
    // Joined: both parts (the first part's padding and the second part's Info frame, delay and
    // padding play too).
    const Described twice = Describe(join(cbr, cbr, "twice.mp3"));
    ASSERT_TRUE(twice.ok);
    EXPECT_EQ(twice.info.lengthSource, 0);
    EXPECT_NEAR(twice.info.milliseconds, 2 * cbrMs, 150);
    // The rate changes from 44100 to 22050 Hz part way: both parts, each at its own rate.
    const Described mixed = Describe(join(cbr, low, "mixed.mp3"));
    ASSERT_TRUE(mixed.ok);
    EXPECT_EQ(mixed.info.sampleRate, 44100);
    EXPECT_NEAR(mixed.info.milliseconds, cbrMs + lowMs, 150);
}

// A named pipe (a playlist line may name one) is refused at once: opening it for reading would
// wait for a writer for ever. Should the call hang, the pipe is opened for writing to release it.
TEST(Mp3InfoBadInput, NamedPipeIsRefusedWithoutWaiting) {
    ts::TempDir dir;
    const std::string pipe = dir.File("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto described = std::async(std::launch::async, [&] { return Describe(pipe); });
    if (described.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
        described.wait();
        FAIL() << "describing a named pipe waited for a writer";
    }
    const Described d = described.get();
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.info.filled, kInfoNotFilled);
    EXPECT_EQ(d.bytesRead, 0u);
}
