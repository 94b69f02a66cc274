// "Save as phone ringtone..." run as its job against a fake window, with the real codec engine
// for MP3: each type is read back by ffprobe and decoded by ffmpeg; a long M4R part asks first.
#include "studio/phone_ringtone.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/paths.h"
#include "platform/scripted_ui.h"
#include "studio/codec_engine.h"
#include "studio/job_state.h"
#include "studio/ringtone_save.h"
#include "studio/session.h"
#include "tests/support/test_support.h"

namespace {

using namespace studio;
using testing_support::HaveTool;
using testing_support::Probe;
using testing_support::RunTool;
using testing_support::TempDir;

class FakeWindow : public IJobWindow, public ISelectionSource {
  public:
    explicit FakeWindow(Session& session) : session_(session) {}
    Session& session() override { return session_; }
    void SetProgressPos(int pos) override { lastProgress = pos; }
    void StartJobTimer(int, int) override {}
    void StopJobTimer(int) override {}
    void LoadFileIntoEditor(const std::string&) override {}
    void RepaintWindow() override {}
    ISelectionSource& Selection() override { return *this; }
    void SetCurrentFile(const std::string&) override {}
    bool IsPlaying() const override { return false; }
    void GetSelection(int32_t& start, int32_t& end) override {
        start = 0;
        end = positions;
    }
    int32_t positions = 0;
    int lastProgress = -1;

  private:
    Session& session_;
};

class PhoneRingtone : public ::testing::Test {
  protected:
    studio::Session session;
    static void SetUpTestSuite() {
        ::setenv("VEXMOR_SYSTEM_DIR", testing_support::BuildSystemDir().c_str(), 1);
    }
    void SetUp() override {
        if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
        ASSERT_TRUE(session.BindCodecEngine());
    }

    // The current WAV: a tone of `seconds` at `rate` Hz, mono; the whole of it is selected.
    void MakeSong(double seconds, int rate) {
        testing_support::ToneSpec tone;
        tone.seconds = seconds;
        tone.sampleRate = rate;
        tone.channels = 1;
        const std::string song = dir.File("song.wav");
        testing_support::WriteFile(song, testing_support::MakeToneWav(tone));
        session.job.SetCurrentWavPath(song);
        window.positions = static_cast<int32_t>(seconds * rate);
    }

    void RunJob() {
        ASSERT_TRUE(session.job.TryStart());
        SavePhoneRingtoneJob(window);
        EXPECT_FALSE(session.job.Running());
    }

    TempDir dir;
    platform::ScopedScriptedUi ui;
    FakeWindow window{session};
};

TEST_F(PhoneRingtone, EachTypeReadBackByFfprobeAndPlayedByFfmpeg) {
    MakeSong(3.0, 22050);
    struct Expect {
        const char* name;
        const char* codec;
        int rate;
        int channels;
    };
    // M4R is always 44.1 kHz stereo, Opus 48 kHz; OGG keeps the part's format; MP3 follows the
    // MP3 settings (mono, 22050 Hz by default).
    for (const Expect& e :
         {Expect{"tone.m4r", "aac", 44100, 2}, Expect{"tone.ogg", "vorbis", 22050, 1},
          Expect{"tone.opus", "opus", 48000, 1}, Expect{"tone.mp3", "mp3", 22050, 1}}) {
        SCOPED_TRACE(e.name);
        ui->Clear();
        const std::string target = dir.File(e.name);
        ui->QueueSaveFile(target);
        RunJob();
        EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Ring Tone Created!"});
        EXPECT_EQ(window.lastProgress, 100);
        const auto info = Probe(target);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->codec, e.codec);
        // Opus streams always report 48 kHz; the others their own rate.
        EXPECT_EQ(info->sampleRate, e.rate);
        EXPECT_EQ(info->channels, e.channels);
        EXPECT_NEAR(info->duration, 3.0, 0.1);
        const auto played = RunTool({"ffmpeg", "-v", "error", "-i", target, "-f", "null", "-"});
        EXPECT_EQ(played.exitCode, 0);
        EXPECT_EQ(played.out, "");
    }
    // The M4R is AAC-LC at 128 kbit/s in an MP4 container of the M4A kind.
    const auto m4r = RunTool({"ffprobe", "-v", "error", "-show_entries",
                              "stream=profile,bit_rate:format_tags=major_brand", "-of",
                              "default=noprint_wrappers=1", dir.File("tone.m4r")});
    EXPECT_NE(m4r.out.find("profile=LC"), std::string::npos) << m4r.out;
    EXPECT_NE(m4r.out.find("major_brand=M4A"), std::string::npos) << m4r.out;
    const auto bitRate = Probe(dir.File("tone.m4r"))->bitRate;
    EXPECT_NEAR(static_cast<double>(bitRate), 128000.0, 16000.0);
    // No scratch or partial file stays behind.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
}

TEST_F(PhoneRingtone, LongM4rAsksBeforeSavingTheFirstFortySeconds) {
    MakeSong(45.0, 8000);
    const std::string target = dir.File("long.m4r");

    ui->QueueSaveFile(target);
    ui->QueueMessageResult(platform::MsgResult::Cancel);
    RunJob();
    ASSERT_EQ(ui->messageTexts(), std::vector<std::string>{kM4rTooLongQuestion});
    EXPECT_EQ(ui->messages().front().buttons, platform::MsgButtons::YesNoCancel);
    EXPECT_FALSE(platform::FileExists(target));

    ui->Clear();
    ui->QueueSaveFile(target);
    ui->QueueMessageResult(platform::MsgResult::Yes);
    RunJob();
    EXPECT_EQ(ui->messageTexts().back(), "Ring Tone Created!");
    EXPECT_NEAR(Probe(target)->duration, 40.0, 0.1);

    ui->Clear();
    ui->QueueSaveFile(target);
    ui->QueueMessageResult(platform::MsgResult::No);
    RunJob();
    EXPECT_EQ(ui->messageTexts().back(), "Ring Tone Created!");
    EXPECT_NEAR(Probe(target)->duration, 45.0, 0.1);

    // An OGG of the same part is not asked about.
    ui->Clear();
    ui->QueueSaveFile(dir.File("long.ogg"));
    RunJob();
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Ring Tone Created!"});
}

// Links at the ringtone's name, and at the names its unfinished file may take (planted as
// ".part-PID-N"), are never written through: the file they lead to stays as it was, and the
// ringtone takes its name as a file of its own.
TEST_F(PhoneRingtone, NoLinkIsWrittenThrough) {
    MakeSong(1.0, 8000);
    const std::string elsewhere = dir.File("elsewhere.ogg");
    testing_support::WriteFile(elsewhere, {1, 2, 3});
    const std::string target = dir.File("linked.ogg");
    std::filesystem::create_symlink(elsewhere, target);
    for (int n = 0; n < 50; ++n)
        std::filesystem::create_symlink(
            elsewhere, target + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(n));
    ui->QueueSaveFile(target);
    RunJob();
    EXPECT_EQ(ui->messageTexts(), std::vector<std::string>{"Ring Tone Created!"});
    EXPECT_EQ(testing_support::ReadFile(elsewhere), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::is_symlink(target));
    const auto info = Probe(target);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->codec, "vorbis");
}

TEST_F(PhoneRingtone, AFailedWriteLeavesNoFileAndSaysWhy) {
    MakeSong(1.0, 8000);
    const std::string target = dir.File("missing-folder/tone.ogg");
    ui->QueueSaveFile(target);
    RunJob();
    ASSERT_EQ(ui->messageTexts().size(), 1u);
    EXPECT_EQ(
        ui->messageTexts().front().rfind("The ringtone " + target + " could not be written", 0), 0u)
        << ui->messageTexts().front();
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing-folder")));

    // A name without one of the four types is refused before anything is cut.
    ui->Clear();
    ui->QueueSaveFile(dir.File("tone.wav"));
    RunJob();
    ASSERT_EQ(ui->messageTexts().size(), 1u);
    EXPECT_FALSE(platform::FileExists(dir.File("tone.wav")));
}

}  // namespace
