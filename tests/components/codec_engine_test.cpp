// The codec engine VxMpp.so as the studio uses it: loaded at run time, called with argument
// vectors, polled for progress from another thread. Outputs are read back with ffprobe.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "components/codec_engine/vxmpp.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::MakeToneWav;
using testing_support::Probe;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::ToneSpec;
using testing_support::WriteFile;

struct DlCloser {
    void operator()(void* handle) const {
        if (handle) ::dlclose(handle);
    }
};

class Engine {
  public:
    Engine() {
        const std::string path = testing_support::BuildSystemDir() + "/VxMpp.so";
        module_.reset(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
        if (!module_) return;
        mymp3 = Find<VxMymp3Fn>("mymp3");
        mymp3d = Find<VxMymp3dFn>("mymp3d");
        setNoBad = Find<VxSetNoBadFn>("SetNoBad");
        getIsBad = Find<VxGetIsBadFn>("GetIsBad");
        setCancel = Find<VxSetCancelEncodeFn>("SetCancelEncode");
        getCancel = Find<VxGetCancelEncodeFn>("GetCancelEncode");
        encodePercent = Find<VxGetEncode2Mp3PercentFn>("GetEncode2Mp3Percent");
        decodePercent = Find<VxGetDecode2WavPercentFn>("GetDecode2WavPercent");
        setCancelDecode = Find<VxSetCancelDecodeFn>("SetCancelDecode");
        plainStrError = Find<VxPlainStrErrorFn>("VxPlainStrError");
    }

    bool loaded() const {
        return mymp3 && mymp3d && setNoBad && getIsBad && setCancel && getCancel && encodePercent &&
               decodePercent;
    }

    // Calls mymp3 with `args` after an empty program-path slot, as the studio's vector holds it.
    int Mp3(const std::vector<std::string>& args, const std::string& in, const std::string& out) {
        setNoBad();
        std::vector<std::string> copy = args;
        std::vector<char*> vector = Vector(copy);
        return mymp3(static_cast<int>(vector.size()), vector.data(), in.c_str(), out.c_str());
    }

    int Mp3d(const std::vector<std::string>& args, const std::string& in) {
        setNoBad();
        std::vector<std::string> copy = args;
        std::vector<char*> vector = Vector(copy);
        return mymp3d(static_cast<int>(vector.size()), vector.data(), in.c_str());
    }

    VxMymp3Fn mymp3 = nullptr;
    VxMymp3dFn mymp3d = nullptr;
    VxSetNoBadFn setNoBad = nullptr;
    VxGetIsBadFn getIsBad = nullptr;
    VxSetCancelEncodeFn setCancel = nullptr;
    VxGetCancelEncodeFn getCancel = nullptr;
    VxGetEncode2Mp3PercentFn encodePercent = nullptr;
    VxGetDecode2WavPercentFn decodePercent = nullptr;
    VxSetCancelDecodeFn setCancelDecode = nullptr;
    VxPlainStrErrorFn plainStrError = nullptr;

  private:
    template <typename Fn>
    Fn Find(const char* name) {
        return reinterpret_cast<Fn>(::dlsym(module_.get(), name));
    }

    static std::vector<char*> Vector(std::vector<std::string>& args) {
        static char program[] = "";
        std::vector<char*> vector{program};
        for (std::string& a : args) vector.push_back(a.data());
        return vector;
    }

    std::unique_ptr<void, DlCloser> module_;
};

const std::vector<std::string> kFirstStartVector = {"-m",    "m",          "--resample",
                                                    "22050", "c:\\vx.wav", "c:\\vx.mp3"};

struct WavInfo {
    bool canonical = false;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    long long frames = 0;
    std::vector<int> peak;  // per channel, 16-bit sample values
};

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// Reads a canonical 44-byte-header WAV as the engine writes it.
WavInfo ReadWav(const std::string& path) {
    WavInfo info;
    const std::vector<uint8_t> bytes = ReadFile(path);
    if (bytes.size() < 44) return info;
    info.canonical = std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
                     std::memcmp(bytes.data() + 8, "WAVEfmt ", 8) == 0 && Le32(&bytes[16]) == 16 &&
                     std::memcmp(bytes.data() + 36, "data", 4) == 0 &&
                     Le32(&bytes[4]) == bytes.size() - 8 && Le32(&bytes[40]) == bytes.size() - 44;
    info.channels = bytes[22] | bytes[23] << 8;
    info.rate = static_cast<int>(Le32(&bytes[24]));
    info.bits = bytes[34] | bytes[35] << 8;
    if (info.channels <= 0 || info.bits != 16) return info;
    info.frames = static_cast<long long>(bytes.size() - 44) / (2 * info.channels);
    info.peak.assign(info.channels, 0);
    for (long long i = 0; i < info.frames * info.channels; ++i) {
        const auto v = static_cast<int16_t>(bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8);
        int& peak = info.peak[i % info.channels];
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    return info;
}

// Files in `folder`, hidden ones included: a failed job must leave no temporary file behind.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class CodecEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine.loaded())
            << "VxMpp.so not built in " << testing_support::BuildSystemDir();
        engine.setCancel(0);
    }

    std::string Tone(const std::string& name, ToneSpec spec) {
        const std::string path = dir.File(name);
        WriteFile(path, MakeToneWav(spec));
        return path;
    }

    // An MP3 made by the engine itself: stereo 44100 Hz, 128 kbit/s.
    std::string Mp3(const std::string& name, double seconds) {
        const std::string wav = Tone(name + ".src.wav", {.seconds = seconds});
        const std::string mp3 = dir.File(name);
        EXPECT_EQ(engine.Mp3({"-m", "s", "-b", "128", "c:\\vx.wav", "c:\\vx.mp3"}, wav, mp3), 0);
        return mp3;
    }

    void ExpectFailedWithoutOutput(int result, const std::string& output) {
        EXPECT_NE(result, 0);
        EXPECT_NE(engine.getIsBad(), 0);
        EXPECT_FALSE(std::filesystem::exists(output)) << output;
        for (const std::string& name : Listing(dir.path())) {
            EXPECT_EQ(name.find(".part-"), std::string::npos) << "leftover " << name;
        }
    }

    Engine engine;
    TempDir dir;
};

TEST_F(CodecEngine, FirstStartVectorGivesMono22050) {
    const std::string wav = Tone("in.wav", {.seconds = 1.0});
    const std::string mp3 = dir.File("out.mp3");
    ASSERT_EQ(engine.Mp3(kFirstStartVector, wav, mp3), 0);
    EXPECT_EQ(engine.getIsBad(), 0);
    EXPECT_EQ(engine.encodePercent(), 100);
    if (testing_support::HaveTool("mpg123")) {
        // A second, independent decoder agrees with ours. Frames this small (32 kbit/s mono
        // 22050 Hz) have no room for the information tag, so both give back the encoder's delay
        // and padding too: under three frames of 576 samples more than went in.
        const std::string peer = dir.File("peer.wav"), ours = dir.File("ours.wav");
        ASSERT_EQ(testing_support::RunTool({"mpg123", "-q", "-w", peer, mp3}).exitCode, 0);
        ASSERT_EQ(engine.Mp3({"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}, mp3, ours), 0);
        const WavInfo a = ReadWav(peer), b = ReadWav(ours);
        EXPECT_EQ(a.channels, 1);
        EXPECT_EQ(a.rate, 22050);
        EXPECT_EQ(a.frames, b.frames);
        EXPECT_GE(b.frames, 22050);
        EXPECT_LT(b.frames, 22050 + 3 * 576);
    }
    const auto probe = Probe(mp3);
    if (!probe) GTEST_SKIP() << "ffprobe missing";
    EXPECT_EQ(probe->codec, "mp3");
    EXPECT_EQ(probe->channels, 1);
    EXPECT_EQ(probe->sampleRate, 22050);
    // Without the information tag (too big for a frame this small) the length that ffprobe
    // estimates includes the encoder's delay and padding.
    EXPECT_NEAR(probe->duration, 1.0, 0.1);
}

TEST_F(CodecEngine, ChannelModeSampleRateAndBitRateFollowTheVector) {
    const std::string wav = Tone("in.wav", {.sampleRate = 44100, .channels = 2, .seconds = 0.5});
    struct Case {
        std::vector<std::string> args;
        int channels, rate;
        long long bitRate;
    };
    const std::vector<Case> cases = {
        {{"-m", "s", "-b", "128", "c:\\vx.wav", "c:\\vx.mp3"}, 2, 44100, 128000},
        {{"-m", "j", "--resample", "32000", "-b", "64", "c:\\vx.wav", "c:\\vx.mp3"},
         2,
         32000,
         64000},
        {{"-m", "m", "--resample", "16000", "--preset", "cbr", "24", "c:\\vx.wav", "c:\\vx.mp3"},
         1,
         16000,
         24000},
        {{"-m", "s", "--resample", "22050", "-h", "-b", "48", "c:\\vx.wav", "c:\\vx.mp3"},
         2,
         22050,
         48000},
        // A preset of the older style that is mono by nature wins over an earlier "-m s".
        {{"-m", "s", "--preset", "voice", "c:\\vx.wav", "c:\\vx.mp3"}, 1, 0, 0},
        {{"-m", "s", "--preset", "phone", "c:\\vx.wav", "c:\\vx.mp3"}, 1, 0, 0},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string mp3 = dir.File("out" + std::to_string(i) + ".mp3");
        ASSERT_EQ(engine.Mp3(cases[i].args, wav, mp3), 0) << i;
        const auto probe = Probe(mp3);
        if (!probe) GTEST_SKIP() << "ffprobe missing";
        EXPECT_EQ(probe->channels, cases[i].channels) << i;
        if (cases[i].rate) {
            EXPECT_EQ(probe->sampleRate, cases[i].rate) << i;
        }
        if (cases[i].bitRate) {
            EXPECT_EQ(probe->bitRate, cases[i].bitRate) << i;
        }
    }
}

TEST_F(CodecEngine, EveryVectorTheStudioBuildsIsAccepted) {
    const std::string wav = Tone("in.wav", {.sampleRate = 22050, .channels = 2, .seconds = 0.3});
    const std::vector<std::vector<std::string>> presets = {
        {"--preset", "standard"},
        {"--preset", "fast", "standard"},
        {"--preset", "medium"},
        {"--preset", "fast", "medium"},
        {"--preset", "extreme"},
        {"--preset", "fast", "extreme"},
        {"--preset", "insane"},
        {"-h"},
        {"--preset", "voice"},
        {"--preset", "phone"},
        {"--preset", "sw"},
        {"--preset", "fm"},
        {"--preset", "radio"},
        {"--preset", "tape"},
        {"--preset", "hifi"},
        {"--preset", "cd"},
        {"--preset", "studio"},
        {"--preset", "cbr", "128"},
        // The settings dialog allows "CBR" with the "DEFAULT" bit rate.
        {"--preset", "cbr", "-1"},
        {"--alt-preset", "extreme"},
        {"-V", "0"},
        {"-b", "-1"},
        {"--scale", "0.50"},
        {"--scale-l", "2.00"},
        {"--scale-r", "0.50"},
        {"--preset", "standard", "-b", "-1", "--scale-r", "0.50", "-V", "4"},
    };
    for (size_t i = 0; i < presets.size(); ++i) {
        std::vector<std::string> args = {"-m", "j"};
        args.insert(args.end(), presets[i].begin(), presets[i].end());
        args.insert(args.end(), {"c:\\vx.wav", "c:\\vx.mp3"});
        const std::string mp3 = dir.File("p" + std::to_string(i) + ".mp3");
        EXPECT_EQ(engine.Mp3(args, wav, mp3), 0) << "case " << i;
        EXPECT_EQ(engine.getIsBad(), 0) << "case " << i;
        EXPECT_GT(std::filesystem::file_size(mp3), 0u) << "case " << i;
    }
}

TEST_F(CodecEngine, ResamplingUpToHighBitRatesEncodes) {
    // An 8000 Hz or 11025 Hz source resampled to 44100 or 48000 Hz gives several times as many
    // MP3 frames per block read as it has input samples.
    for (const ToneSpec& spec : {ToneSpec{.sampleRate = 8000, .channels = 1, .seconds = 0.6},
                                 ToneSpec{.sampleRate = 11025, .channels = 2, .seconds = 0.6}}) {
        const std::string wav = Tone("up" + std::to_string(spec.sampleRate) + ".wav", spec);
        struct Case {
            std::vector<std::string> args;
            int rate;
            long long bitRate;
        };
        const std::vector<Case> cases = {
            {{"-m", "s", "--resample", "44100", "-b", "192", "c:\\vx.wav", "c:\\vx.mp3"},
             44100,
             192000},
            {{"-m", "s", "--resample", "48000", "-b", "320", "c:\\vx.wav", "c:\\vx.mp3"},
             48000,
             320000},
            {{"-m", "j", "--resample", "48000", "--preset", "cbr", "320", "c:\\vx.wav",
              "c:\\vx.mp3"},
             48000,
             320000},
            {{"-m", "j", "--resample", "44100", "-V", "0", "c:\\vx.wav", "c:\\vx.mp3"}, 44100, 0},
        };
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(std::to_string(spec.sampleRate) + " Hz, case " + std::to_string(i));
            const std::string mp3 = dir.File("up" + std::to_string(i) + ".mp3");
            ASSERT_EQ(engine.Mp3(cases[i].args, wav, mp3), 0);
            EXPECT_EQ(engine.getIsBad(), 0);
            const auto probe = Probe(mp3);
            if (!probe) GTEST_SKIP() << "ffprobe missing";
            EXPECT_EQ(probe->sampleRate, cases[i].rate);
            if (cases[i].bitRate) {
                EXPECT_EQ(probe->bitRate, cases[i].bitRate);
            }
            EXPECT_NEAR(probe->duration, 0.6, 0.1);
        }
    }
}

TEST_F(CodecEngine, EveryResultHasItsOwnNameAndFailuresAreNamedByTheirCode) {
    ASSERT_NE(engine.plainStrError, nullptr);
    std::set<std::string> names;
    for (int result = VX_OK; result <= VX_NAME_TAKEN; ++result) {
        const char* name = engine.plainStrError(result);
        ASSERT_NE(name, nullptr);
        EXPECT_NE(std::string(name), "unknown result") << result;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 7u);
    for (int unknown : {-1, 7, 1 << 30})
        EXPECT_STREQ(engine.plainStrError(unknown), "unknown result");
    // The codes the header names are the ones the engine returns.
    const std::string wav = Tone("in.wav", {.seconds = 0.2});
    EXPECT_EQ(engine.Mp3({"--frobnicate", "c:\\vx.wav", "c:\\vx.mp3"}, wav, dir.File("a.mp3")),
              VX_BAD_VECTOR);
    EXPECT_EQ(engine.Mp3({"c:\\vx.wav", "c:\\vx.mp3"}, dir.File("missing.wav"), dir.File("b.mp3")),
              VX_BAD_INPUT);
    EXPECT_EQ(engine.Mp3({"c:\\vx.wav", "c:\\vx.mp3"}, wav, dir.File("no/such/folder/c.mp3")),
              VX_WRITE_FAILED);
}

TEST_F(CodecEngine, UnknownOrIncompleteOptionsFailWithoutOutput) {
    const std::string wav = Tone("in.wav", {.seconds = 0.2});
    const std::vector<std::vector<std::string>> bad = {
        {"--frobnicate", "c:\\vx.wav", "c:\\vx.mp3"},
        {"-m", "x", "c:\\vx.wav", "c:\\vx.mp3"},
        {"-b", "33", "c:\\vx.wav", "c:\\vx.mp3"},
        {"--resample", "12345", "c:\\vx.wav", "c:\\vx.mp3"},
        {"--preset", "loud", "c:\\vx.wav", "c:\\vx.mp3"},
        {"--preset", "cbr", "c:\\vx.wav", "c:\\vx.mp3"},
        {"-V", "11", "c:\\vx.wav", "c:\\vx.mp3"},
        {"--scale", "much", "c:\\vx.wav", "c:\\vx.mp3"},
        // Both channels scaled to nothing: pure silence, refused as a bad flag.
        {"--scale", "0.00", "c:\\vx.wav", "c:\\vx.mp3"},
        {"--scale", "0", "c:\\vx.wav", "c:\\vx.mp3"},
        {"c:\\vx.wav", "c:\\vx.mp3", "c:\\third.mp3"},
        {"c:\\vx.wav", "c:\\vx.mp3", "-b"},
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        const std::string mp3 = dir.File("bad" + std::to_string(i) + ".mp3");
        ExpectFailedWithoutOutput(engine.Mp3(bad[i], wav, mp3), mp3);
    }
    // A null element or a negative count is refused, not dereferenced.
    char program[] = "", flag[] = "-m";
    char* withNull[] = {program, flag, nullptr};
    engine.setNoBad();
    EXPECT_NE(engine.mymp3(3, withNull, wav.c_str(), dir.File("n.mp3").c_str()), 0);
    EXPECT_NE(engine.mymp3(-1, withNull, wav.c_str(), dir.File("n.mp3").c_str()), 0);
    EXPECT_NE(engine.mymp3(1, nullptr, wav.c_str(), dir.File("n.mp3").c_str()), 0);
    EXPECT_NE(engine.getIsBad(), 0);
}

TEST_F(CodecEngine, ScaleOptionsChangeTheLevelOfTheirChannels) {
    const std::string wav = Tone("in.wav", {.sampleRate = 44100, .channels = 2, .seconds = 0.5});
    const std::string plain = dir.File("plain.mp3"), halfRight = dir.File("half.mp3");
    ASSERT_EQ(engine.Mp3({"-m", "s", "-b", "192", "c:\\vx.wav", "c:\\vx.mp3"}, wav, plain), 0);
    ASSERT_EQ(engine.Mp3({"-m", "s", "-b", "192", "--scale-r", "0.50", "c:\\vx.wav", "c:\\vx.mp3"},
                         wav, halfRight),
              0);
    ASSERT_EQ(engine.Mp3({"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}, plain, dir.File("a.wav")), 0);
    ASSERT_EQ(engine.Mp3({"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}, halfRight, dir.File("b.wav")),
              0);
    const WavInfo a = ReadWav(dir.File("a.wav")), b = ReadWav(dir.File("b.wav"));
    ASSERT_EQ(a.channels, 2);
    ASSERT_EQ(b.channels, 2);
    EXPECT_NEAR(b.peak[0], a.peak[0], a.peak[0] * 0.05);
    EXPECT_NEAR(b.peak[1], a.peak[1] / 2, a.peak[1] * 0.05);
}

TEST_F(CodecEngine, DecodeGivesCanonicalWavOfTheInputsLength) {
    const double seconds = 1.5;
    const std::string mp3 = Mp3("song.mp3", seconds);
    const std::string wav = dir.File("song.wav");
    ASSERT_EQ(engine.Mp3({"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}, mp3, wav), 0);
    EXPECT_DOUBLE_EQ(engine.decodePercent(), 100.0);
    const WavInfo info = ReadWav(wav);
    EXPECT_TRUE(info.canonical);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.rate, 44100);
    EXPECT_NEAR(static_cast<double>(info.frames), seconds * 44100, 1152);
    if (const auto probe = Probe(wav)) {
        EXPECT_EQ(probe->codec, "pcm_s16le");
        EXPECT_NEAR(probe->duration, seconds, 1152.0 / 44100);
    }
}

TEST_F(CodecEngine, Mymp3dWritesToTheVectorsLastElement) {
    const std::string mp3 = Mp3("song.mp3", 0.5);
    const std::string target = dir.File("vxtmp.wav");
    WriteFile(target, {});  // the studio empties the file before decoding
    ASSERT_EQ(engine.Mp3d({"--decode", "c:\\input.mp3", target}, mp3), 0);
    EXPECT_EQ(engine.getIsBad(), 0);
    const WavInfo info = ReadWav(target);
    EXPECT_TRUE(info.canonical);
    EXPECT_NEAR(static_cast<double>(info.frames), 0.5 * 44100, 1152);
    // Without an output as last element nothing is written anywhere.
    EXPECT_NE(engine.Mp3d({"--decode", dir.File("in.wav"), ""}, mp3), 0);
    EXPECT_NE(engine.Mp3d({"--decode"}, mp3), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("in.wav")));
}

TEST_F(CodecEngine, EncodesFromMp3AndFromAnyCommonWav) {
    // The down-sizer's vector: MP3 in, MP3 out, both placeholders alike.
    const std::string big = Mp3("big.mp3", 1.0);
    const std::string small = dir.File("small.mp3");
    ASSERT_EQ(engine.Mp3({"-m", "m", "--resample", "22050", "-b", "32", "c:\\vx.mp3", "c:\\vx.mp3"},
                         big, small),
              0);
    if (const auto probe = Probe(small)) {
        EXPECT_EQ(probe->channels, 1);
        EXPECT_EQ(probe->sampleRate, 22050);
        EXPECT_EQ(probe->bitRate, 32000);
        EXPECT_NEAR(probe->duration, 1.0, 0.1);
    }
    const std::vector<ToneSpec> specs = {
        {.sampleRate = 8000, .channels = 1, .bitsPerSample = 8, .seconds = 0.4},
        {.sampleRate = 11025, .channels = 2, .bitsPerSample = 8, .seconds = 0.4},
        {.sampleRate = 48000, .channels = 1, .bitsPerSample = 16, .seconds = 0.4},
        {.sampleRate = 44100,
         .channels = 2,
         .bitsPerSample = 16,
         .seconds = 0.4,
         .extraChunk = {'I', 'N', 'F', 'O', 'x'}},
    };
    for (size_t i = 0; i < specs.size(); ++i) {
        const std::string wav = Tone("w" + std::to_string(i) + ".wav", specs[i]);
        const std::string out = dir.File("w" + std::to_string(i) + ".mp3");
        ASSERT_EQ(engine.Mp3({"-m", "j", "c:\\vx.wav", "c:\\vx.mp3"}, wav, out), 0) << i;
        if (const auto probe = Probe(out)) {
            EXPECT_EQ(probe->channels, specs[i].channels) << i;
            EXPECT_NEAR(probe->duration, 0.4, 0.2) << i;
        }
    }
}

TEST_F(CodecEngine, TwentyFourBitAndFloatWavsAreEncoded) {
    if (!testing_support::HaveTool("sox")) GTEST_SKIP() << "sox missing";
    for (const std::vector<std::string>& format :
         {std::vector<std::string>{"-b", "24", "-e", "signed-integer"},
          std::vector<std::string>{"-b", "32", "-e", "floating-point"}}) {
        const std::string wav = dir.File("deep" + format[1] + ".wav");
        std::vector<std::string> argv = {"sox", "-n", "-r", "44100", "-c", "2"};
        argv.insert(argv.end(), format.begin(), format.end());
        argv.insert(argv.end(), {wav, "synth", "0.5", "sine", "440", "vol", "0.5"});
        ASSERT_EQ(testing_support::RunTool(argv).exitCode, 0);
        const std::string mp3 = dir.File("deep" + format[1] + ".mp3");
        ASSERT_EQ(engine.Mp3({"-m", "s", "-b", "128", "c:\\vx.wav", "c:\\vx.mp3"}, wav, mp3), 0);
        ASSERT_EQ(engine.Mp3({"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}, mp3, dir.File("d.wav")), 0);
        const WavInfo back = ReadWav(dir.File("d.wav"));
        // Half of full scale comes back as about half of full scale: the samples were read right.
        EXPECT_NEAR(back.peak[0], 16384, 1600) << format[1];
    }
}

TEST_F(CodecEngine, UnusableInputFailsAndLeavesNoFile) {
    WriteFile(dir.File("empty.mp3"), {});
    std::vector<uint8_t> noise(20000);
    uint32_t seed = 12345;
    for (uint8_t& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    WriteFile(dir.File("noise.mp3"), noise);
    WriteFile(dir.File("noise.wav"), noise);
    // A WAV header with nothing after it, and one whose format fields contradict each other.
    std::vector<uint8_t> headerOnly = MakeToneWav({.seconds = 0.0});
    WriteFile(dir.File("headeronly.wav"), headerOnly);
    std::vector<uint8_t> inconsistent = MakeToneWav({.seconds = 0.2});
    inconsistent[32] = 3;  // block alignment 3 for 16-bit stereo
    WriteFile(dir.File("inconsistent.wav"), inconsistent);
    std::vector<uint8_t> fiveChannels = MakeToneWav({.seconds = 0.2});
    fiveChannels[22] = 5;
    WriteFile(dir.File("five.wav"), fiveChannels);

    for (const char* name : {"empty.mp3", "noise.mp3", "noise.wav", "headeronly.wav",
                             "inconsistent.wav", "five.wav", "missing.wav"}) {
        SCOPED_TRACE(name);
        const std::string out = dir.File(std::string(name) + ".out.mp3");
        ExpectFailedWithoutOutput(engine.Mp3(kFirstStartVector, dir.File(name), out), out);
        const std::string wav = dir.File(std::string(name) + ".out.wav");
        ExpectFailedWithoutOutput(
            engine.Mp3({"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}, dir.File(name), wav), wav);
        ExpectFailedWithoutOutput(engine.Mp3d({"--decode", "c:\\input.mp3", wav}, dir.File(name)),
                                  wav);
    }
}

TEST_F(CodecEngine, NamedPipeInputIsRefusedWithoutWaiting) {
    const std::string pipe = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const bool decode : {false, true}) {
        SCOPED_TRACE(decode ? "decode" : "encode");
        const std::string out = dir.File(decode ? "pipe.out.wav" : "pipe.out.mp3");
        std::atomic<bool> done{false};
        std::atomic<int> result{0};
        std::thread worker([&] {
            result = decode ? engine.Mp3({"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}, pipe, out)
                            : engine.Mp3(kFirstStartVector, pipe, out);
            done = true;
        });
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(done.load()) << "the engine waits for a writer";
        // Lets every open() that waits for a writer go on (seeing the end of the input at once),
        // so that the worker can be joined.
        for (int i = 0; !done && i < 1000; ++i) {
            const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        worker.join();
        ExpectFailedWithoutOutput(result, out);
    }
}

TEST_F(CodecEngine, FailedJobKeepsAnExistingTargetAsItWas) {
    WriteFile(dir.File("keep.mp3"), {1, 2, 3});
    EXPECT_NE(engine.Mp3(kFirstStartVector, dir.File("missing.wav"), dir.File("keep.mp3")), 0);
    EXPECT_EQ(ReadFile(dir.File("keep.mp3")), (std::vector<uint8_t>{1, 2, 3}));
}

// With --no-replace the output takes its name only when nothing stands there: a file that
// another run finished meanwhile (here: one that is already there, the same last step) stays as
// it was, the job says so (6) and leaves nothing of its own. Without it the file is replaced,
// and a symbolic link is written through.
TEST_F(CodecEngine, NoReplaceNeverTakesAnotherFilesNameAndReplacingWritesThroughLinks) {
    const std::string wav = Tone("in.wav", {.sampleRate = 8000, .channels = 1, .seconds = 0.2});
    const std::string other = dir.File("tune.mp3");
    WriteFile(other, {7, 7, 7});
    std::vector<std::string> vector = kFirstStartVector;
    vector.push_back("--no-replace");
    EXPECT_EQ(engine.Mp3(vector, wav, other), 6);
    EXPECT_NE(engine.getIsBad(), 0);
    EXPECT_EQ(ReadFile(other), (std::vector<uint8_t>{7, 7, 7}));
    EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"in.wav", "tune.mp3"}));
    // A dangling link is something standing there too.
    std::filesystem::create_symlink(dir.File("nowhere.mp3"), dir.File("dangling.mp3"));
    EXPECT_EQ(engine.Mp3(vector, wav, dir.File("dangling.mp3")), 6);
    EXPECT_FALSE(std::filesystem::exists(dir.File("nowhere.mp3")));
    // A free name is taken.
    EXPECT_EQ(engine.Mp3(vector, wav, dir.File("free.mp3")), 0);
    EXPECT_EQ(Probe(dir.File("free.mp3")).value_or(testing_support::ProbeInfo{}).codec,
              testing_support::HaveTool("ffprobe") ? "mp3" : "");
    std::vector<std::string> decode = {"--decode", "--no-replace", "c:\vx.mp3", "c:\tmp.wav"};
    EXPECT_EQ(engine.Mp3(decode, dir.File("free.mp3"), other), 6);
    EXPECT_EQ(ReadFile(other), (std::vector<uint8_t>{7, 7, 7}));

    // Replacing: the link stays a link and its file holds the MP3.
    std::filesystem::create_directory(dir.File("real"));
    WriteFile(dir.File("real/song.mp3"), {1});
    std::filesystem::create_symlink("real/song.mp3", dir.File("link.mp3"));
    ASSERT_EQ(engine.Mp3(kFirstStartVector, wav, dir.File("link.mp3")), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.mp3")));
    EXPECT_GT(std::filesystem::file_size(dir.File("real/song.mp3")), 100u);
    EXPECT_EQ(Listing(dir.File("real")), (std::vector<std::string>{"song.mp3"}));
}

TEST_F(CodecEngine, UnwritableOutputFolderFails) {
    const std::string wav = Tone("in.wav", {.seconds = 0.2});
    EXPECT_NE(engine.Mp3(kFirstStartVector, wav, dir.File("no/such/folder/out.mp3")), 0);
    EXPECT_NE(engine.getIsBad(), 0);
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string locked = dir.File("locked");
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0555);
    EXPECT_NE(engine.Mp3(kFirstStartVector, wav, locked + "/out.mp3"), 0);
    EXPECT_NE(engine.getIsBad(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(locked));
    ::chmod(locked.c_str(), 0755);
}

TEST_F(CodecEngine, OutputGetsThePermissionsOfANewFile) {
    // The engine reads the process's file mask without setting it (setting it, even for a moment,
    // would touch files that other threads create meanwhile).
    const std::string wav = Tone("in.wav", {.sampleRate = 8000, .channels = 1, .seconds = 0.05});
    const mode_t saved = ::umask(077);
    for (const mode_t mask : {mode_t{077}, mode_t{022}}) {
        ::umask(mask);
        const std::string mp3 = dir.File("masked" + std::to_string(mask) + ".mp3");
        ASSERT_EQ(engine.Mp3(kFirstStartVector, wav, mp3), 0);
        struct stat st {};
        ASSERT_EQ(::stat(mp3.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
    }
    ::umask(saved);
}

TEST_F(CodecEngine, WavWhoseHeaderOverstatesItsSizeEncodesWhatItHolds) {
    std::vector<uint8_t> bytes = MakeToneWav({.seconds = 0.5});
    // Sizes of a header that was never finished: far more than the file holds.
    for (int i : {4, 40}) std::memset(&bytes[i], 0xff, 4);
    WriteFile(dir.File("lying.wav"), bytes);
    const std::string mp3 = dir.File("lying.mp3");
    ASSERT_EQ(engine.Mp3({"-m", "s", "-b", "128", "c:\\vx.wav", "c:\\vx.mp3"},
                         dir.File("lying.wav"), mp3),
              0);
    ASSERT_EQ(engine.Mp3({"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}, mp3, dir.File("back.wav")), 0);
    EXPECT_NEAR(static_cast<double>(ReadWav(dir.File("back.wav")).frames), 0.5 * 44100, 1152);
}

TEST_F(CodecEngine, DamagedMp3sDecodeWhatTheyHold) {
    const std::string mp3 = Mp3("song.mp3", 2.0);
    const std::vector<uint8_t> whole = ReadFile(mp3);

    // A large ID3v2 tag in front of the audio (1 MB of picture data).
    std::vector<uint8_t> tagged = {'I', 'D', '3', 3, 0, 0};
    const uint32_t tagSize = 1 << 20;
    for (int shift : {21, 14, 7, 0})
        tagged.push_back(static_cast<uint8_t>((tagSize >> shift) & 0x7f));
    tagged.resize(tagged.size() + tagSize, 0);
    tagged.insert(tagged.end(), whole.begin(), whole.end());
    WriteFile(dir.File("tagged.mp3"), tagged);

    std::vector<uint8_t> truncated(whole.begin(), whole.begin() + whole.size() * 6 / 10);
    WriteFile(dir.File("truncated.mp3"), truncated);

    std::vector<uint8_t> damaged = whole;
    for (size_t i = whole.size() / 2; i < whole.size() / 2 + 1500; ++i) damaged[i] = 0x55;
    WriteFile(dir.File("damaged.mp3"), damaged);

    struct Case {
        const char* name;
        double minSeconds, maxSeconds;
    };
    for (const Case& c : {Case{"tagged.mp3", 1.97, 2.03}, Case{"truncated.mp3", 1.0, 1.3},
                          Case{"damaged.mp3", 1.5, 2.03}}) {
        const std::string out = dir.File(std::string(c.name) + ".wav");
        ASSERT_EQ(engine.Mp3({"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}, dir.File(c.name), out), 0)
            << c.name;
        const double seconds = static_cast<double>(ReadWav(out).frames) / 44100;
        EXPECT_GE(seconds, c.minSeconds) << c.name;
        EXPECT_LE(seconds, c.maxSeconds) << c.name;
    }
}

TEST_F(CodecEngine, CancelStopsARunningEncodeAndCountsAsBad) {
    // Long and slow enough that the encode is still running when the cancel arrives.
    const std::string wav = Tone("long.wav", {.sampleRate = 44100, .channels = 2, .seconds = 60});
    const std::string mp3 = dir.File("long.mp3");
    std::atomic<int> result{-1};
    std::atomic<bool> done{false};
    std::chrono::steady_clock::time_point finished;
    engine.setNoBad();
    std::thread worker([&] {
        result = engine.Mp3({"-m", "s", "-h", "-V", "0", "c:\\vx.wav", "c:\\vx.mp3"}, wav, mp3);
        finished = std::chrono::steady_clock::now();
        done = true;
    });
    // Until the worker has started, the getter still shows the previous job's 100.
    int seen = 0;
    while (!done && (seen == 0 || seen == 100)) {
        seen = engine.encodePercent();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(done.load()) << "the encode ended before it could be cancelled";
    EXPECT_GT(seen, 0);
    EXPECT_LT(seen, 100);
    const auto asked = std::chrono::steady_clock::now();
    engine.setCancel(1);
    worker.join();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(finished - asked).count();
    EXPECT_LT(ms, 100);
    RecordProperty("cancel_ms", static_cast<int>(ms));
    ExpectFailedWithoutOutput(result, mp3);
    // The request stands until the next job is armed.
    EXPECT_NE(engine.getCancel(), 0);
    engine.setCancel(0);
    EXPECT_EQ(engine.getCancel(), 0);
}

// A decode has a cancel request of its own: it stops at once, leaves nothing and stands until
// SetCancelDecode(0); the encoding tools' request does not touch it (see below).
TEST_F(CodecEngine, CancelDecodeStopsARunningDecode) {
    const VxSetCancelDecodeFn setCancelDecode = engine.setCancelDecode;
    ASSERT_NE(setCancelDecode, nullptr);
    const std::string mp3 = Mp3("song.mp3", 60.0);
    const std::string wav = dir.File("song.wav");
    std::atomic<bool> done{false};
    std::atomic<int> result{-1};
    std::thread worker([&] {
        result = engine.Mp3d({"--decode", "c:\\input.mp3", wav}, mp3);
        done = true;
    });
    while (!done && !(engine.decodePercent() > 0 && engine.decodePercent() < 100)) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_FALSE(done.load()) << "the decode ended before it could be cancelled";
    setCancelDecode(1);
    worker.join();
    EXPECT_LT(engine.decodePercent(), 100.0);
    ExpectFailedWithoutOutput(result, wav);
    EXPECT_NE(engine.Mp3d({"--decode", "c:\\input.mp3", wav}, mp3), 0);
    setCancelDecode(0);
    EXPECT_EQ(engine.Mp3d({"--decode", "c:\\input.mp3", wav}, mp3), 0);
}

TEST_F(CodecEngine, DecodeProgressMovesWhileTheDecodeRuns) {
    const std::string mp3 = Mp3("song.mp3", 45.0);
    const std::string wav = dir.File("song.wav");
    // A cancel request left over from an encoding tool does not touch decoding.
    engine.setCancel(1);
    std::atomic<bool> done{false};
    std::atomic<int> result{-1};
    std::thread worker([&] {
        result = engine.Mp3d({"--decode", "c:\\input.mp3", wav}, mp3);
        done = true;
    });
    // Until the worker has started, the getter still shows the previous job's 100.
    std::vector<double> seen;
    bool started = false;
    while (!done) {
        const double percent = engine.decodePercent();
        started = started || percent < 100.0;
        if (started) seen.push_back(percent);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_DOUBLE_EQ(engine.decodePercent(), 100.0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](double p) { return p > 0 && p < 100; }));
    for (double p : seen) {
        EXPECT_GE(p, 0.0);
        EXPECT_LE(p, 100.0);
    }
    engine.setCancel(0);
}

}  // namespace

// The tag options give the MP3 an ID3v2 tag ahead of the stream; the stream's information frame
// still follows the tag, so a decoder gives back exactly the samples that went in.
TEST_F(CodecEngine, TagOptionsGiveAnId3v2TagAheadOfAnExactStream) {
    const std::string wav = Tone("in.wav", {.seconds = 2.0});
    const std::string mp3 = dir.File("tagged.mp3");
    ASSERT_EQ(engine.Mp3({"--alt-preset", "extreme", "--tt", "Long Song", "--ta", "Singer A",
                          "--tl", "Generated Album", "--tn", "2/3", "c:\\vx.wav", "c:\\tmp.mp3"},
                         wav, mp3),
              0);
    const std::vector<uint8_t> bytes = testing_support::ReadFile(mp3);
    ASSERT_GT(bytes.size(), 10u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
    EXPECT_EQ(bytes[3], 3);                                                      // ID3v2.3
    EXPECT_NE(std::string(bytes.end() - 128, bytes.end()).rfind("TAG", 0), 0u);  // no ID3v1

    if (testing_support::HaveTool("mpg123")) {
        const std::string peer = dir.File("peer.wav");
        ASSERT_EQ(testing_support::RunTool({"mpg123", "-q", "-w", peer, mp3}).exitCode, 0);
        EXPECT_EQ(ReadWav(peer).frames, 88200);
    }
    const auto tags = testing_support::ProbeTags(mp3);
    if (!tags) GTEST_SKIP() << "ffprobe missing";
    EXPECT_EQ(tags->at("title"), "Long Song");
    EXPECT_EQ(tags->at("artist"), "Singer A");
    EXPECT_EQ(tags->at("album"), "Generated Album");
    EXPECT_EQ(tags->at("track"), "2/3");
    // Without tag options there is no tag at all.
    const std::string plain = dir.File("plain.mp3");
    ASSERT_EQ(engine.Mp3({"--alt-preset", "extreme", "c:\\vx.wav", "c:\\tmp.mp3"}, wav, plain), 0);
    const std::vector<uint8_t> plainBytes = testing_support::ReadFile(plain);
    ASSERT_GT(plainBytes.size(), 3u);
    EXPECT_NE(std::string(plainBytes.begin(), plainBytes.begin() + 3), "ID3");
}

// Tag texts are UTF-8 and come back whole; with --copy-tags an MP3 made from an MP3 carries the
// input's tags, cover included, and tag options are written over the copied fields. A WAV input
// has nothing to copy.
TEST_F(CodecEngine, TagsAreUtf8AndTravelFromAnMp3WithCopyTags) {
    const std::string wav = Tone("in.wav", {.seconds = 1.0});
    const std::string utf8 = dir.File("utf8.mp3");
    ASSERT_EQ(engine.Mp3({"-b", "64", "--tt", "\xc3\x9c" "berall \xe2\x99\xaa", "--ta",
                          "\xd0\x90\xd0\xb1", "c:\\vx.wav", "c:\\tmp.mp3"},
                         wav, utf8),
              0);
    const auto tags = testing_support::ProbeTags(utf8);
    if (!tags) GTEST_SKIP() << "ffprobe missing";
    EXPECT_EQ(tags->at("title"), "\xc3\x9c" "berall \xe2\x99\xaa");
    EXPECT_EQ(tags->at("artist"), "\xd0\x90\xd0\xb1");

    const auto song = testing_support::MakeTaggedMp3WithCover(dir.path(), "tagged.mp3", 1.0);
    if (!song) GTEST_SKIP() << "ffmpeg missing";
    const std::string copied = dir.File("copied.mp3");
    ASSERT_EQ(engine.Mp3({"-b", "32", "--copy-tags", "c:\\vx.mp3", "c:\\tmp.mp3"}, song->path,
                         copied),
              0);
    testing_support::ExpectTagsTravelled(copied, *song, dir.path());

    const std::string retitled = dir.File("retitled.mp3");
    ASSERT_EQ(engine.Mp3({"-b", "32", "--copy-tags", "--tt", "New Title", "c:\\vx.mp3",
                          "c:\\tmp.mp3"},
                         song->path, retitled),
              0);
    const auto changed = testing_support::ProbeTags(retitled);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->at("title"), "New Title");
    EXPECT_EQ(changed->at("artist"), song->artist);
    EXPECT_EQ(changed->at("album"), song->album);
    EXPECT_TRUE(testing_support::AttachedPicture(retitled, dir.path()) == song->cover);

    const std::string fromWav = dir.File("fromwav.mp3");
    ASSERT_EQ(engine.Mp3({"-b", "32", "--copy-tags", "c:\\vx.wav", "c:\\tmp.mp3"}, wav, fromWav),
              0);
    const std::vector<uint8_t> bytes = testing_support::ReadFile(fromWav);
    ASSERT_GT(bytes.size(), 3u);
    EXPECT_NE(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
}
