// The main window's conversion jobs against a fake main window: the vectors the engine receives,
// the paths, the timers, the messages and the busy rule. A fake engine records the calls; the
// last cases run the real engine and read its files back.
#include "studio/jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/scripted_ui.h"
#include "platform/worker.h"
#include "studio/codec_engine.h"
#include "studio/encoder_args.h"
#include "studio/job_state.h"
#include "studio/ringtone_save.h"
#include "studio/session.h"
#include "studio/settings.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::TempDir;
using Args = std::vector<std::string>;

class FakeWindow : public studio::IJobWindow, public ISelectionSource {
  public:
    explicit FakeWindow(studio::Session& session) : session_(session) {}
    studio::Session& session() override { return session_; }
    void SetProgressPos(int pos) override { Log("progress " + std::to_string(pos)); }
    void StartJobTimer(int id, int ms) override {
        Log("start " + std::to_string(id) + " " + std::to_string(ms));
    }
    void StopJobTimer(int id) override { Log("stop " + std::to_string(id)); }
    void LoadFileIntoEditor(const std::string& path) override { Log("load " + path); }
    void RepaintWindow() override { Log("repaint"); }
    ISelectionSource& Selection() override { return *this; }
    void SetCurrentFile(const std::string& path) override { Log("file " + path); }
    bool IsPlaying() const override { return playing; }
    void GetSelection(int32_t& start, int32_t& end) override {
        start = selectionStart;
        end = selectionEnd;
    }

    std::vector<std::string> log() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }
    bool Logged(const std::string& entry) const {
        const auto l = log();
        return std::find(l.begin(), l.end(), entry) != l.end();
    }

    bool playing = false;
    int32_t selectionStart = 0;
    int32_t selectionEnd = 0;

  private:
    void Log(const std::string& entry) {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.push_back(entry);
    }
    studio::Session& session_;
    mutable std::mutex mutex_;
    std::vector<std::string> log_;
};

// The fake engine: records each call of mymp3/mymp3d and answers `result`; can hold a call until
// released, to keep a job running.
struct FakeEngine {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Args> vectors;
    std::vector<std::pair<std::string, std::string>> paths;  // input, output ("" for mymp3d)
    std::set<std::string> missing;
    int result = 0;
    int noBadCalls = 0;
    std::vector<int> cancelCalls;
    bool hold = false;
    bool inside = false;
    double decodePercent = 0;
    int encodePercent = 0;

    void Record(int count, char** args, const char* in, const char* out) {
        std::unique_lock<std::mutex> lock(mutex);
        Args v;
        for (int i = 1; i < count; ++i) v.emplace_back(args[i]);
        vectors.push_back(v);
        paths.emplace_back(in, out ? out : "");
        inside = true;
        changed.notify_all();
        changed.wait(lock, [this] { return !hold; });
        inside = false;
    }
};

FakeEngine* g_fake = nullptr;

int FakeMymp3(int count, char** args, const char* in, const char* out) {
    g_fake->Record(count, args, in, out);
    return g_fake->result;
}
int FakeMymp3d(int count, char** args, const char* in) {
    g_fake->Record(count, args, in, nullptr);
    return g_fake->result;
}
void FakeSetNoBad() {
    std::lock_guard<std::mutex> lock(g_fake->mutex);
    ++g_fake->noBadCalls;
}
int FakeGetIsBad() { return 0; }
// A cancel request ends a held call, as the engine ends an encode.
void FakeSetCancel(int value) {
    std::lock_guard<std::mutex> lock(g_fake->mutex);
    g_fake->cancelCalls.push_back(value);
    if (value == 1) {
        g_fake->hold = false;
        g_fake->changed.notify_all();
    }
}
int FakeGetCancel() { return 0; }
int FakeEncodePercent() { return g_fake->encodePercent; }
double FakeDecodePercent() { return g_fake->decodePercent; }

void* Resolve(const std::string& name) {
    if (g_fake->missing.count(name)) return nullptr;
    if (name == "mymp3") return reinterpret_cast<void*>(&FakeMymp3);
    if (name == "mymp3d") return reinterpret_cast<void*>(&FakeMymp3d);
    if (name == "SetNoBad") return reinterpret_cast<void*>(&FakeSetNoBad);
    if (name == "GetIsBad") return reinterpret_cast<void*>(&FakeGetIsBad);
    if (name == "SetCancelEncode") return reinterpret_cast<void*>(&FakeSetCancel);
    if (name == "GetCancelEncode") return reinterpret_cast<void*>(&FakeGetCancel);
    if (name == "GetEncode2Mp3Percent") return reinterpret_cast<void*>(&FakeEncodePercent);
    if (name == "GetDecode2WavPercent") return reinterpret_cast<void*>(&FakeDecodePercent);
    return nullptr;
}

bool WaitForIdle(studio::Session& session) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (session.job.Running()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // A job may still be returning from its procedure after it gave the busy flag back.
    return session.workers.WaitIdle(std::chrono::seconds(20));
}

const Args kFirstStartVector = {"-m", "m", "--resample", "22050", "c:\\vx.wav", "c:\\vx.mp3"};

class Jobs : public ::testing::Test {
  protected:
    studio::Session session;
    void SetUp() override {
        g_fake = &fake;
        ASSERT_TRUE(session.engine.BindResolver(&Resolve));
        session.LoadSettings();
        // A current WAV of 2 s, 44100 Hz stereo, and a selection of its first second.
        currentWav = dir.File("current.wav");
        testing_support::WriteFile(currentWav, testing_support::MakeToneWav({.seconds = 2.0}));
        session.job.SetCurrentWavPath(currentWav);
        window.selectionStart = 0;
        window.selectionEnd = 44100 * 2;
    }
    void TearDown() override {
        EXPECT_TRUE(WaitForIdle(session));
        EXPECT_TRUE(ui->unexpected().empty());
        session.engine.Unbind();
        g_fake = nullptr;
    }

    // Runs a job procedure on this thread, as its worker would after the command took the busy
    // flag.
    template <typename Job>
    void RunJob(Job job) {
        ASSERT_TRUE(session.job.TryStart());
        job();
        EXPECT_FALSE(session.job.Running());
    }

    FakeEngine fake;
    FakeWindow window{session};
    TempDir dir;
    std::string currentWav;
    platform::ScopedScriptedUi ui;
};

TEST_F(Jobs, SaveAsMp3EncodesTheSegmentWithTheSettingsVector) {
    const std::string mp3 = dir.File("ring.mp3");
    ui->QueueSaveFile(mp3);
    RunJob([&] { studio::SelectionToMp3Job(window); });

    ASSERT_EQ(fake.vectors.size(), 1u);
    EXPECT_EQ(fake.vectors[0], kFirstStartVector);
    EXPECT_EQ(fake.paths[0].first, studio::SegmentWavPath());
    EXPECT_EQ(fake.paths[0].second, mp3);
    EXPECT_EQ(fake.noBadCalls, 1);
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"Ring Tone Created!"}));
    EXPECT_EQ(window.log(), (std::vector<std::string>{"start 2 100", "stop 2", "progress 100"}));
    EXPECT_FALSE(platform::FileExists(studio::SegmentWavPath()));
    EXPECT_EQ(session.settings.saveAsMp3Folder, platform::FolderOfFile(mp3));

    const auto dialogs = ui->fileDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].defaultExt, "MP3");
    EXPECT_EQ(dialogs[0].filter, "MP3 files(*.mp3)|*.mp3||");
    EXPECT_TRUE(dialogs[0].overwritePrompt);
}

TEST_F(Jobs, SaveAsMp3ReportsAnEngineFailure) {
    fake.result = 2;
    ui->QueueSaveFile(dir.File("ring.mp3"));
    RunJob([&] { studio::SelectionToMp3Job(window); });
    EXPECT_EQ(ui->messageTexts(),
              (std::vector<std::string>{"The specified file is not supported by the software!"}));
    EXPECT_FALSE(platform::FileExists(studio::SegmentWavPath()));
}

TEST_F(Jobs, CancellingSaveAsMp3StillEndsAt100AndDeletesTheOldSegment) {
    testing_support::WriteFile(studio::SegmentWavPath(), {1, 2, 3});
    ui->QueueSaveFile(std::nullopt);
    RunJob([&] { studio::SelectionToMp3Job(window); });
    EXPECT_TRUE(fake.vectors.empty());
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_EQ(window.log(), (std::vector<std::string>{"progress 100"}));
    EXPECT_FALSE(platform::FileExists(studio::SegmentWavPath()));
}

TEST_F(Jobs, SaveAsMp3WithAShortSelectionStopsAfterTheCut) {
    window.selectionEnd = 7168;
    ui->QueueSaveFile(dir.File("ring.mp3"));
    RunJob([&] { studio::SelectionToMp3Job(window); });
    EXPECT_TRUE(fake.vectors.empty());
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"Time is too short!"}));
    EXPECT_EQ(window.log(), (std::vector<std::string>{"start 2 100", "stop 2"}));
}

TEST_F(Jobs, SaveAsMp3WithoutMymp3EndsSilently) {
    fake.missing = {"mymp3"};
    ui->QueueSaveFile(dir.File("ring.mp3"));
    RunJob([&] { studio::SelectionToMp3Job(window); });
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_EQ(window.log(), (std::vector<std::string>{"start 2 100", "stop 2", "progress 100"}));
    EXPECT_FALSE(platform::FileExists(studio::SegmentWavPath()));
}

TEST_F(Jobs, WavToMp3AlwaysUsesTheBestVbrQuality) {
    session.settings.vbrEnabled = 1;
    session.settings.vbrQuality = 7;
    session.settings.preset = 4;
    ui->QueueOpenFiles({currentWav});
    ui->QueueSaveFile(dir.File("out.mp3"));
    RunJob([&] { studio::WavToMp3Job(window); });
    ASSERT_EQ(fake.vectors.size(), 1u);
    EXPECT_EQ(fake.vectors[0], (Args{"-V", "0", "c:\\vx.wav", "c:\\tmp.mp3"}));
    EXPECT_EQ(fake.paths[0], std::make_pair(currentWav, dir.File("out.mp3")));
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"File created!"}));
    EXPECT_EQ(ui->messages()[0].icon, platform::MsgIcon::Information);
    EXPECT_EQ(window.log(), (std::vector<std::string>{"start 2 50", "stop 2"}));
    const auto dialogs = ui->fileDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].defaultExt, "wav");
    EXPECT_TRUE(dialogs[0].mustExist);
    EXPECT_EQ(dialogs[1].filter, "MP3 files(*.mp3)|*.mp3||");
}

TEST_F(Jobs, Mp3ToWavDecodesWithTimer1AndReportsFailure) {
    fake.result = 1;
    ui->QueueOpenFiles({dir.File("in.mp3")});
    ui->QueueSaveFile(dir.File("out.wav"));
    RunJob([&] { studio::Mp3ToWavJob(window); });
    ASSERT_EQ(fake.vectors.size(), 1u);
    EXPECT_EQ(fake.vectors[0], (Args{"--decode", "c:\\vx.mp3", "c:\\tmp.wav"}));
    EXPECT_EQ(fake.paths[0], std::make_pair(dir.File("in.mp3"), dir.File("out.wav")));
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"Failure!"}));
    EXPECT_EQ(window.log(), (std::vector<std::string>{"start 1 50", "stop 1"}));
}

TEST_F(Jobs, CancelledDialogsEndTheConversionsSilently) {
    ui->QueueOpenFiles({});
    RunJob([&] { studio::WavToMp3Job(window); });
    ui->QueueOpenFiles({currentWav});
    ui->QueueSaveFile(std::nullopt);
    RunJob([&] { studio::Mp3ToWavJob(window); });
    EXPECT_TRUE(fake.vectors.empty());
    EXPECT_TRUE(ui->messageTexts().empty());
    EXPECT_TRUE(window.log().empty());
}

TEST_F(Jobs, OpeningAnMp3DecodesIntoTheTemporaryWavAndLoadsIt) {
    const std::string mp3 = dir.File("song.MP3");
    studio::PrepareDecode(window, mp3);
    ASSERT_TRUE(WaitForIdle(session));
    ASSERT_EQ(fake.vectors.size(), 1u);
    EXPECT_EQ(fake.vectors[0], (Args{"--decode", "c:\\input.mp3", studio::StagingWavPath()}));
    EXPECT_EQ(fake.paths[0].first, mp3);
    EXPECT_EQ(session.job.CurrentWavPath(), studio::TempWavPath());
    EXPECT_TRUE(platform::FileExists(studio::TempWavPath()));
    EXPECT_FALSE(platform::FileExists(studio::StagingWavPath()));
    EXPECT_EQ(window.log(),
              (std::vector<std::string>{"progress 0", "start 1 50", "file " + mp3, "stop 1",
                                        "progress 0", "load " + studio::TempWavPath(), "repaint"}));
    EXPECT_TRUE(ui->messageTexts().empty());
}

// A song is open (the temporary WAV, shown as "File-> song.mp3"); opening something that does
// not decode, or is no MP3 at all, leaves the song, its name and its WAV exactly as they were.
TEST_F(Jobs, AFailedOpenLeavesTheOpenSongAlone) {
    const std::vector<uint8_t> song = testing_support::MakeToneWav({.seconds = 0.5});
    testing_support::WriteFile(studio::TempWavPath(), song);
    session.job.SetCurrentWavPath(studio::TempWavPath());

    fake.result = 2;
    studio::PrepareDecode(window, dir.File("bad.mp3"));
    ASSERT_TRUE(WaitForIdle(session));
    studio::PrepareDecode(window, dir.File("typed.wav"));
    ASSERT_TRUE(WaitForIdle(session));
    fake.missing = {"mymp3d"};
    studio::PrepareDecode(window, dir.File("nodecoder.mp3"));
    ASSERT_TRUE(WaitForIdle(session));

    const std::string refused = "The specified file is not supported by the software!";
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{refused, refused, refused}));
    EXPECT_EQ(fake.vectors.size(), 1u);
    for (const std::string& entry : window.log()) {
        EXPECT_EQ(entry.rfind("file ", 0), std::string::npos) << entry;
        EXPECT_EQ(entry.rfind("load ", 0), std::string::npos) << entry;
    }
    EXPECT_TRUE(window.Logged("stop 1"));
    EXPECT_EQ(session.job.CurrentWavPath(), studio::TempWavPath());
    EXPECT_EQ(testing_support::ReadFile(studio::TempWavPath()), song);
    EXPECT_FALSE(platform::FileExists(studio::StagingWavPath()));
}

TEST_F(Jobs, BusyCheckNamesPlayingBeforeARunningJob) {
    EXPECT_FALSE(studio::BusyCheck(window));
    ASSERT_TRUE(session.job.TryStart());
    EXPECT_TRUE(studio::BusyCheck(window));
    window.playing = true;
    EXPECT_TRUE(studio::BusyCheck(window));
    session.job.End();
    EXPECT_EQ(ui->messageTexts(),
              (std::vector<std::string>{"Please wait...", "Stop playing the song first!"}));
}

// The end of the session (the main window closing) cancels an encode under way through the
// engine and joins its worker: the job has ended, given the busy flag back and released the
// window before anything it uses goes away.
TEST_F(Jobs, EndingTheSessionCancelsARunningEncodeAndJoinsIt) {
    {
        std::lock_guard<std::mutex> lock(fake.mutex);
        fake.hold = true;
    }
    ui->QueueSaveFile(dir.File("ring.mp3"));
    studio::SaveAsMp3Command(window);
    {
        std::unique_lock<std::mutex> lock(fake.mutex);
        ASSERT_TRUE(
            fake.changed.wait_for(lock, std::chrono::seconds(20), [&] { return fake.inside; }));
    }
    EXPECT_EQ(session.workers.Running(), 1);
    session.workers.StopAndJoin();
    EXPECT_EQ(session.workers.Running(), 0);
    EXPECT_FALSE(session.job.Running());
    EXPECT_FALSE(fake.inside);
    EXPECT_EQ(fake.cancelCalls, (std::vector<int>{0, 1}));
    EXPECT_TRUE(window.Logged("progress 100"));
}

TEST_F(Jobs, ASecondCommandRightAfterTheFirstIsRefused) {
    {
        std::lock_guard<std::mutex> lock(fake.mutex);
        fake.hold = true;
    }
    ui->QueueOpenFiles({currentWav});
    ui->QueueSaveFile(dir.File("out.mp3"));
    // Both on this (the user-interface) thread, before the first job's worker has done anything.
    studio::WavToMp3Command(window);
    studio::SaveAsMp3Command(window);
    {
        std::unique_lock<std::mutex> lock(fake.mutex);
        ASSERT_TRUE(
            fake.changed.wait_for(lock, std::chrono::seconds(20), [&] { return fake.inside; }));
        fake.hold = false;
        fake.changed.notify_all();
    }
    ASSERT_TRUE(WaitForIdle(session));
    EXPECT_EQ(fake.vectors.size(), 1u);
    EXPECT_EQ(fake.cancelCalls, (std::vector<int>{0}));
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"Please wait...", "File created!"}));
}

TEST_F(Jobs, EncodeCommandsNeedSetCancelEncode) {
    fake.missing = {"SetCancelEncode"};
    // The binding holds its own copy; the command looks the entry point up again.
    studio::WavToMp3Command(window);
    studio::SaveAsMp3Command(window);
    EXPECT_FALSE(session.job.Running());
    EXPECT_TRUE(ui->fileDialogs().empty());
}

TEST_F(Jobs, TimersShowTheEnginesPercentages) {
    fake.decodePercent = 42.9;
    fake.encodePercent = 77;
    EXPECT_EQ(JobTimerPosition(session, studio::kDecodeTimer), 42);
    EXPECT_EQ(JobTimerPosition(session, studio::kEncodeTimer), 77);
    EXPECT_EQ(JobTimerPosition(session, 4), std::nullopt);
}

// The real engine behind the same jobs.
class JobsWithEngine : public Jobs {
  protected:
    void SetUp() override {
        Jobs::SetUp();
        ::setenv("VEXMOR_SYSTEM_DIR", testing_support::BuildSystemDir().c_str(), 1);
        ASSERT_TRUE(session.BindCodecEngine());
    }
};

TEST_F(JobsWithEngine, RingtoneOfTheFirstStartSettingsIsMono22050) {
    const std::string mp3 = dir.File("ring.mp3");
    ui->QueueSaveFile(mp3);
    RunJob([&] { studio::SelectionToMp3Job(window); });
    EXPECT_EQ(ui->messageTexts(), (std::vector<std::string>{"Ring Tone Created!"}));
    const auto probe = testing_support::Probe(mp3);
    if (!probe) GTEST_SKIP() << "ffprobe missing";
    EXPECT_EQ(probe->channels, 1);
    EXPECT_EQ(probe->sampleRate, 22050);
    // The selection was the first second of the sound (the length includes the encoder's padding).
    EXPECT_NEAR(probe->duration, 1.0, 0.1);
}

TEST_F(JobsWithEngine, OpenedMp3IsDecodedForTheEditor) {
    const std::string mp3 = dir.File("song.mp3");
    ui->QueueOpenFiles({currentWav});
    ui->QueueSaveFile(mp3);
    RunJob([&] { studio::WavToMp3Job(window); });
    ASSERT_EQ(ui->messageTexts(), (std::vector<std::string>{"File created!"}));

    studio::PrepareDecode(window, mp3);
    ASSERT_TRUE(WaitForIdle(session));
    EXPECT_TRUE(window.Logged("load " + studio::TempWavPath()));
    const auto probe = testing_support::Probe(studio::TempWavPath());
    if (!probe) GTEST_SKIP() << "ffprobe missing";
    EXPECT_EQ(probe->codec, "pcm_s16le");
    EXPECT_NEAR(probe->duration, 2.0, 1152.0 / 44100);
}

// The MP3 of a generated tone, made by lame at its default bit rate.
std::string MakeMp3(const TempDir& dir, const std::string& name, int rate, int channels) {
    const std::string mp3 = testing_support::LameMp3(
        dir, name + ".mp3", {.sampleRate = rate, .channels = channels}, {});
    EXPECT_FALSE(mp3.empty()) << "lame could not make " << name;
    return mp3;
}

// A second studio, run as its own process by TwoStudiosKeepTheirOwnScratchFiles: opens the MP3
// named in VX_SECOND_STUDIO_MP3 with the scratch root of the first and names its scratch folder.
TEST_F(JobsWithEngine, DISABLED_SecondStudio) {
    const char* mp3 = std::getenv("VX_SECOND_STUDIO_MP3");
    const char* cache = std::getenv("VX_SHARED_CACHE");
    ASSERT_TRUE(mp3 && cache);
    ::setenv("XDG_CACHE_HOME", cache, 1);
    studio::PrepareDecode(window, mp3);
    ASSERT_TRUE(WaitForIdle(session));
    ASSERT_TRUE(ui->messageTexts().empty());
    ASSERT_TRUE(window.Logged("load " + studio::TempWavPath()));
    std::printf("scratch=%s\n", platform::ScratchFolder().c_str());
}

TEST_F(JobsWithEngine, TwoStudiosKeepTheirOwnScratchFiles) {
    if (!testing_support::HaveTool("lame")) GTEST_SKIP() << "lame missing";
    // The first studio opens a stereo song.
    studio::PrepareDecode(window, MakeMp3(dir, "first", 44100, 2));
    ASSERT_TRUE(WaitForIdle(session));
    const std::string firstWav = studio::TempWavPath();
    const std::vector<uint8_t> firstSong = testing_support::ReadFile(firstWav);
    ASSERT_GT(firstSong.size(), 44u);

    // A studio that ended without removing its folder left this one behind.
    const std::string root = platform::ScratchRoot();
    const std::string ended = platform::JoinPath(root, "999999");
    testing_support::WriteFile(platform::JoinPath(ended, ".lock"), {});
    testing_support::WriteFile(platform::JoinPath(ended, "vxtmp.wav"), {1, 2, 3});

    // The second studio opens a mono song and exits.
    ::setenv("VX_SECOND_STUDIO_MP3", MakeMp3(dir, "second", 22050, 1).c_str(), 1);
    ::setenv("VX_SHARED_CACHE", std::getenv("XDG_CACHE_HOME"), 1);
    const auto second =
        testing_support::RunTool({platform::ProgramPath(), "--gtest_also_run_disabled_tests",
                                  "--gtest_filter=JobsWithEngine.DISABLED_SecondStudio"});
    ::unsetenv("VX_SECOND_STUDIO_MP3");
    ::unsetenv("VX_SHARED_CACHE");
    ASSERT_EQ(second.exitCode, 0) << second.out;
    const size_t at = second.out.find("scratch=");
    ASSERT_NE(at, std::string::npos) << second.out;
    const std::string secondFolder = second.out.substr(at + 8, second.out.find('\n', at) - at - 8);

    EXPECT_EQ(platform::FolderOfFile(secondFolder), root + "/");
    EXPECT_NE(secondFolder, platform::ScratchFolder());
    EXPECT_FALSE(platform::IsDirectory(secondFolder)) << "removed when its studio exits";
    EXPECT_FALSE(platform::IsDirectory(ended)) << "removed when the second studio started";
    EXPECT_EQ(testing_support::ReadFile(firstWav), firstSong);
    EXPECT_EQ(session.job.CurrentWavPath(), firstWav);
}

// 16-bit samples of `bytes`.
std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes, size_t from = 0) {
    std::vector<int16_t> samples((bytes.size() - std::min(from, bytes.size())) / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(bytes[from + 2 * i] | bytes[from + 2 * i + 1] << 8);
    return samples;
}

// ffmpeg's decode of `path` as 16-bit samples at its own rate and channels.
std::vector<uint8_t> FfmpegPcm(const TempDir& dir, const std::string& path) {
    const std::string raw = dir.File("peer.raw");
    const auto made = testing_support::RunTool(
        {"ffmpeg", "-v", "error", "-y", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", raw});
    EXPECT_EQ(made.exitCode, 0) << made.out;
    return testing_support::ReadFile(raw);
}

// How far a lossy re-encode strays from the samples it was made from: the root mean square of
// the difference over that of the original (over the shorter of the two).
double RelativeError(const std::vector<int16_t>& original, const std::vector<int16_t>& encoded) {
    const size_t n = std::min(original.size(), encoded.size());
    double diff = 0, power = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = static_cast<double>(original[i]) - encoded[i];
        diff += d * d;
        power += static_cast<double>(original[i]) * original[i];
    }
    return power > 0 ? std::sqrt(diff / power) : 1.0;
}

// Songs that are no MP3s, made by ffmpeg with a title and an artist, open into the editor and
// their marked part leaves as ringtones: the WAV holds exactly ffmpeg's decode of that part; a
// phone ringtone (a lossy re-encode) is close to it and carries the song's title and artist, as
// does the MP3 ringtone.
TEST_F(JobsWithEngine, OtherMusicFilesOpenAndLeaveAsRingtonesOfTheirOwnSamples) {
    if (!testing_support::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    struct Case {
        const char* song;
        std::vector<std::string> codec;
        const char* ringtone;  // the phone ringtone made from it
    };
    const Case cases[] = {
        {"song.flac", {"-c:a", "flac"}, "ring.ogg"},
        {"song.ogg", {"-c:a", "libvorbis"}, "ring.m4r"},
        {"song.opus", {"-c:a", "libopus", "-b:a", "128k"}, "ring.opus"},
        {"song.m4a", {"-c:a", "aac", "-b:a", "160k"}, "ring.m4r"},
    };
    const std::string tone = dir.File("tone.wav");
    testing_support::WriteFile(tone, testing_support::MakeToneWav({.seconds = 3.0}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.song);
        const std::string song = dir.File(c.song);
        std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y", "-i", tone};
        argv.insert(argv.end(), c.codec.begin(), c.codec.end());
        argv.insert(argv.end(), {"-metadata", "title=Song of " + std::string(c.song), "-metadata",
                                 "artist=Caf\xc3\xa9 Band", song});
        ASSERT_EQ(testing_support::RunTool(argv).exitCode, 0);

        studio::PrepareDecode(window, song);
        ASSERT_TRUE(WaitForIdle(session));
        ASSERT_TRUE(ui->messageTexts().empty()) << ui->messageTexts().front();
        ASSERT_TRUE(window.Logged("file " + song));
        ASSERT_TRUE(window.Logged("load " + studio::TempWavPath()));
        EXPECT_EQ(session.job.CurrentSongTags().title, "Song of " + std::string(c.song));
        EXPECT_EQ(session.job.CurrentSongTags().artist, "Caf\xc3\xa9 Band");
        const auto opened = testing_support::Probe(studio::TempWavPath());
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->codec, "pcm_s16le");
        const int rate = opened->sampleRate;

        // The part from 0.5 s to about 1.75 s (positions are half the byte offsets: stereo
        // frames of four bytes are two positions each, and the cut keeps whole frames of
        // positions, so the frames are even).
        const int64_t fromFrame = rate / 2 / 2 * 2;
        const int64_t toFrame = rate * 7 / 4 / 2 * 2;
        window.selectionStart = static_cast<int32_t>(2 * fromFrame);
        window.selectionEnd = static_cast<int32_t>(2 * toFrame);
        const std::vector<uint8_t> decoded = FfmpegPcm(dir, song);
        ASSERT_GE(decoded.size(), static_cast<size_t>(4 * toFrame));
        const std::vector<uint8_t> part(decoded.begin() + 4 * fromFrame,
                                        decoded.begin() + 4 * toFrame);

        const std::string wav = dir.File("ring.wav");
        ASSERT_TRUE(studio::CutShapedSelection(session, wav, window.Selection()));
        const std::vector<uint8_t> saved = testing_support::ReadFile(wav);
        ASSERT_EQ(saved.size(), part.size() + 44);
        EXPECT_TRUE(std::equal(part.begin(), part.end(), saved.begin() + 44))
            << "the WAV ringtone is not ffmpeg's decode of the part";

        const std::string phone = dir.File(c.ringtone);
        ui->QueueSaveFile(phone);
        RunJob([&] { studio::SavePhoneRingtoneJob(window); });
        EXPECT_EQ(ui->messageTexts().back(), "Ring Tone Created!");
        const auto tags = testing_support::ProbeTags(phone);
        ASSERT_TRUE(tags);
        EXPECT_EQ(tags->count("title") ? tags->at("title") : "", "Song of " + std::string(c.song));
        EXPECT_EQ(tags->count("artist") ? tags->at("artist") : "", "Caf\xc3\xa9 Band");
        const std::vector<int16_t> original = Samples(part);
        const std::vector<int16_t> encoded = Samples(FfmpegPcm(dir, phone));
        EXPECT_NEAR(static_cast<double>(encoded.size()), static_cast<double>(original.size()),
                    original.size() * 0.01);
        EXPECT_LT(RelativeError(original, encoded), 0.1);

        const std::string mp3 = dir.File("ring.mp3");
        ui->QueueSaveFile(mp3);
        RunJob([&] { studio::SelectionToMp3Job(window); });
        EXPECT_EQ(ui->messageTexts().back(), "Ring Tone Created!");
        const auto mp3Tags = testing_support::ProbeTags(mp3);
        ASSERT_TRUE(mp3Tags);
        EXPECT_EQ(mp3Tags->count("title") ? mp3Tags->at("title") : "",
                  "Song of " + std::string(c.song));
        EXPECT_EQ(mp3Tags->count("artist") ? mp3Tags->at("artist") : "", "Caf\xc3\xa9 Band");
        ui->Clear();
    }
}

// A song that neither the codec engine (an MP3) nor FFmpeg (another song) can decode is refused
// with the open command's message and leaves the open song and its tags as they were; a WAV
// taken over from elsewhere carries no song's tags.
TEST_F(JobsWithEngine, AnUndecodableSongKeepsTheOpenOne) {
    const std::vector<uint8_t> song = testing_support::MakeToneWav({.seconds = 0.5});
    for (const char* name : {"noise.mp3", "noise.flac"}) {
        SCOPED_TRACE(name);
        ui->Clear();
        testing_support::WriteFile(studio::TempWavPath(), song);
        session.job.SetCurrentWavPath(studio::TempWavPath(),
                                      media::SongTags{.title = "Open", .artist = "Band"});
        testing_support::WriteFile(dir.File(name), std::vector<uint8_t>(5000, 0x5a));
        studio::PrepareDecode(window, dir.File(name));
        ASSERT_TRUE(WaitForIdle(session));
        EXPECT_EQ(ui->messageTexts(),
                  (std::vector<std::string>{"The specified file is not supported by the software!"}));
        EXPECT_EQ(testing_support::ReadFile(studio::TempWavPath()), song);
        EXPECT_FALSE(platform::FileExists(studio::StagingWavPath()));
        EXPECT_EQ(session.job.CurrentSongTags().title, "Open");
    }
    session.job.SetCurrentWavPath(studio::TempWavPath());
    EXPECT_EQ(session.job.CurrentSongTags(), media::SongTags{});
}

}  // namespace
