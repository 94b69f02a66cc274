// Binding the codec engine: the library from the system directory, the five entry points the
// binding requires and the per-use look-ups.
#include "studio/codec_engine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "media/tags.h"
#include "studio/encoder_args.h"
#include "studio/session.h"
#include "tests/support/test_support.h"

namespace {

// Points the system directory at `dir` for the lifetime of the object.
class SystemDirOverride {
  public:
    explicit SystemDirOverride(const std::string& dir) {
        const char* old = std::getenv("VEXMOR_SYSTEM_DIR");
        old_ = old ? old : "";
        ::setenv("VEXMOR_SYSTEM_DIR", dir.c_str(), 1);
    }
    ~SystemDirOverride() { ::setenv("VEXMOR_SYSTEM_DIR", old_.c_str(), 1); }

  private:
    std::string old_;
};

int FakePercent() { return 42; }
double FakeDecodePercent() { return 12.75; }
void FakeSetCancel(int) {}
int FakeZero() { return 0; }

CodecEngine::Resolver FakeResolver(std::set<std::string> missing) {
    return [missing](const std::string& name) -> void* {
        if (missing.count(name)) return nullptr;
        if (name == "GetEncode2Mp3Percent") return reinterpret_cast<void*>(&FakePercent);
        if (name == "GetDecode2WavPercent") return reinterpret_cast<void*>(&FakeDecodePercent);
        if (name == "SetCancelEncode") return reinterpret_cast<void*>(&FakeSetCancel);
        if (name == "GetCancelEncode" || name == "GetIsBad") {
            return reinterpret_cast<void*>(&FakeZero);
        }
        return nullptr;
    };
}

TEST(BindCodecEngine, BindsTheBuiltEngine) {
    studio::Session session;
    SystemDirOverride dir(testing_support::BuildSystemDir());
    ASSERT_TRUE(session.BindCodecEngine());
    EXPECT_TRUE(session.engine.bound());
    EXPECT_TRUE(session.encoderArgs.SlotsAllocated());
    EXPECT_NE(session.engine.LookUpMymp3(), nullptr);
    EXPECT_NE(session.engine.LookUpMymp3d(), nullptr);
    EXPECT_TRUE(session.engine.CallSetNoBad());
    EXPECT_TRUE(session.engine.CallSetCancelEncode(1));
    EXPECT_EQ(session.engine.GetCancelEncode(), 1);
    EXPECT_TRUE(session.engine.CallSetCancelEncode(0));
    EXPECT_EQ(session.engine.GetCancelEncode(), 0);
    EXPECT_EQ(session.engine.GetIsBad(), 0);
}

// A bound engine stays in the process when its session ends: tagging an MP3 registers its own
// ID3v1 text handler with TagLib, which the host's later tag reads still call (they crashed once
// the engine was unloaded).
TEST(BindCodecEngine, TheEngineOutlivesItsSession) {
    if (!testing_support::HaveTool("lame")) GTEST_SKIP() << "lame missing";
    SystemDirOverride dir(testing_support::BuildSystemDir());
    testing_support::TempDir files;
    const std::string wav = files.File("tone.wav");
    testing_support::WriteFile(wav, testing_support::MakeToneWav({.seconds = 0.5}));
    const std::string v1 = files.File("v1.mp3");
    ASSERT_TRUE(testing_support::LameEncode(wav, v1, {"--id3v1-only", "--tt", "Old"}));
    EXPECT_EQ(media::ReadId3v1Title(v1), "Old");
    const std::string mp3 = files.File("tagged.mp3");
    {
        studio::Session session;
        session.settings.SetDefaults();
        ASSERT_TRUE(session.BindCodecEngine());
        EncoderArgs& args = session.encoderArgs;
        args.inputIsWav = 1;
        BuildEncoderArgs(args, session.settings);
        AddTitleAndArtist(args, "Tagged", "Band");
        const VxMymp3Fn mymp3 = session.engine.LookUpMymp3();
        ASSERT_NE(mymp3, nullptr);
        ASSERT_EQ(mymp3(args.count, args.slot, wav.c_str(), mp3.c_str()), 0);
    }
    EXPECT_EQ(media::ReadId3v1Title(v1), "Old");
    const std::optional<media::SongTags> tags = media::ReadTags(mp3);
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->title, "Tagged");
}

TEST(BindCodecEngine, FailsWithoutTheLibrary) {
    studio::Session session;
    testing_support::TempDir empty;
    SystemDirOverride dir(empty.path());
    EXPECT_FALSE(session.BindCodecEngine());
    EXPECT_FALSE(session.engine.bound());
    EXPECT_EQ(session.engine.LookUpMymp3(), nullptr);
    EXPECT_EQ(session.engine.GetEncode2Mp3Percent(), 0);
    EXPECT_FALSE(session.engine.CallSetNoBad());
}

TEST(BindCodecEngine, FailsForALibraryWithoutTheEntryPoints) {
    studio::Session session;
    // Any shared library that loads but is not the engine.
    testing_support::TempDir folder;
    std::string donor;
    for (const char* candidate : {"/usr/lib/x86_64-linux-gnu/libmpg123.so.0",
                                  "/usr/lib/x86_64-linux-gnu/libmp3lame.so.0"}) {
        if (std::filesystem::exists(candidate)) donor = candidate;
    }
    if (donor.empty()) GTEST_SKIP() << "no donor library";
    std::filesystem::copy_file(donor, folder.File("VxMpp.so"));
    SystemDirOverride dir(folder.path());
    EXPECT_FALSE(session.BindCodecEngine());
    EXPECT_FALSE(session.engine.bound());
}

TEST(CodecEngineBinding, EachOfTheFiveIsRequired) {
    for (const char* name : {"GetDecode2WavPercent", "GetEncode2Mp3Percent", "SetCancelEncode",
                             "GetCancelEncode", "GetIsBad"}) {
        CodecEngine engine;
        EXPECT_FALSE(engine.BindResolver(FakeResolver({name}))) << name;
        EXPECT_FALSE(engine.bound()) << name;
    }
}

TEST(CodecEngineBinding, PerUseEntryPointsMayBeMissing) {
    CodecEngine engine;
    ASSERT_TRUE(engine.BindResolver(FakeResolver({})));
    EXPECT_EQ(engine.LookUpMymp3(), nullptr);
    EXPECT_EQ(engine.LookUpMymp3d(), nullptr);
    EXPECT_FALSE(engine.CallSetNoBad());
    EXPECT_TRUE(engine.CallSetCancelEncode(0));
    EXPECT_EQ(engine.GetEncode2Mp3Percent(), 42);
    EXPECT_DOUBLE_EQ(engine.GetDecode2WavPercent(), 12.75);
}

}  // namespace
