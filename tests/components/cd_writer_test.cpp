// The CD writer's recorders driven as the control drives them, on its worker thread: the disc
// image recorder writes real CUE/BIN images that cd-info and cd-paranoia read back; the real
// recorder runs against a fake drive.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <csignal>
#include <sstream>

#include "components/cd_writer/burn_drive.h"
#include "components/cd_writer/cd_writer_dispids.h"
#include "components/cd_writer/cue_sheet.h"
#include "components/cd_writer/image_recorder.h"
#include "components/cd_writer/writer_engine.h"
#include "platform/folders.h"
#include "tests/support/test_support.h"

namespace {

namespace ts = testing_support;
namespace fs = std::filesystem;
using namespace cd_writer;
using platform::Variant;
using platform::VariantList;

struct Fired {
    int id;
    VariantList args;
};

// Collects events from the worker and waits for the ending one.
class Events {
  public:
    EventSink Sink() {
        return [this](int id, VariantList args) {
            if (onEvent) onEvent(id, args);
            std::lock_guard lock(mutex_);
            fired_.push_back({id, std::move(args)});
            changed_.notify_all();
        };
    }
    bool WaitEnd(std::chrono::seconds limit = std::chrono::seconds(120)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] {
            for (const Fired& f : fired_)
                if (f.id == event::kWriteComplete || f.id == event::kWriteCancelled ||
                    f.id == event::kWriteError)
                    return true;
            return false;
        });
    }
    std::vector<Fired> all() {
        std::lock_guard lock(mutex_);
        return fired_;
    }
    // The ids with repeated progress events folded into one.
    std::vector<int> Ids() {
        std::vector<int> ids;
        for (const Fired& f : all()) {
            const bool progress = f.id == event::kTrackProgress || f.id == event::kCachingProgress;
            if (progress && !ids.empty() && ids.back() == f.id) continue;
            ids.push_back(f.id);
        }
        return ids;
    }
    std::function<void(int, const VariantList&)> onEvent;

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Fired> fired_;
};

// Runs one write as the control's worker does.
void RunWrite(IRecorder& recorder, std::vector<std::string> paths, WriteOptions options,
              Events& events, std::atomic<bool>* abort = nullptr) {
    static std::atomic<bool> never{false};
    std::thread worker([&] {
        WriteSession session(std::move(paths), options, events.Sink(), abort ? abort : &never);
        recorder.Write(session);
    });
    worker.join();
}

// An MP3 of a tone made by lame from a generated WAV; "" without lame.
std::string MakeMp3(const ts::TempDir& dir, const std::string& name, double seconds, int rate,
                    int channels, std::vector<std::string> lameArgs = {}) {
    ts::ToneSpec spec;
    spec.sampleRate = rate;
    spec.channels = channels;
    spec.seconds = seconds;
    spec.frequency = 330.0 + seconds * 10;
    lameArgs.insert(lameArgs.begin(), "--noreplaygain");
    return ts::LameMp3(dir, name + ".mp3", spec, lameArgs);
}

#define REQUIRE_FILE(path) \
    if ((path).empty()) GTEST_SKIP() << "lame is not installed"

// Samples mpg123 decodes from `mp3` at its own rate, 16-bit, as raw bytes.
std::vector<uint8_t> Mpg123Decode(const ts::TempDir& dir, const std::string& mp3) {
    const std::string raw = dir.File("decoded.raw");
    if (ts::RunTool({"mpg123", "-q", "-e", "s16", "-o", "raw", "-a", raw, mp3}).exitCode != 0)
        ts::RunTool({"mpg123", "-q", "-s", "-w", raw, mp3});
    auto bytes = ts::ReadFile(raw);
    fs::remove(raw);
    return bytes;
}

std::vector<uint8_t> DecoderBytes(const std::string& mp3) {
    CdAudioDecoder decoder;
    if (decoder.Open(mp3) != OpenResult::Ok) return {};
    std::vector<uint8_t> out(static_cast<size_t>(decoder.bytes()));
    size_t at = 0;
    while (at < out.size()) {
        const long n = decoder.Read(out.data() + at, out.size() - at);
        if (n <= 0) break;
        at += static_cast<size_t>(n);
    }
    out.resize(at);
    return out;
}

std::vector<fs::path> FilesIn(const std::string& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) files.push_back(entry.path());
    return files;
}

// The track numbers and lengths in sectors cd-info lists for an image.
std::map<int, int> CdInfoTracks(const std::string& cue, std::string* out) {
    const ts::ToolResult r = ts::RunTool({"cd-info", "--no-header", "--cue-file", cue});
    *out = r.out;
    // "  1: 00:02:00  000000 audio  false  no    2        no"
    std::map<int, int> lsn;
    std::regex line(R"(^\s*(\d+): \d\d:\d\d:\d\d\s+(\d+) (audio|leadout))");
    std::istringstream lines(r.out);
    std::string text;
    std::vector<std::pair<int, int>> starts;
    while (std::getline(lines, text)) {
        std::smatch m;
        if (std::regex_search(text, m, line)) starts.emplace_back(std::stoi(m[1]), std::stoi(m[2]));
    }
    std::map<int, int> lengths;
    for (size_t i = 0; i + 1 < starts.size(); ++i)
        lengths[starts[i].first] = starts[i + 1].second - starts[i].second;
    return lengths;
}

TEST(DiscImageWrite, ThreeTracksAreReadBackByIndependentTools) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "first", 5.3, 44100, 2,
                                  {"-b", "128", "--tt", "Morning Song", "--ta", "The Quartet"});
    const std::string b = MakeMp3(dir, "mono low", 4.2, 22050, 1, {"-b", "64", "-m", "m"});
    const std::string c = MakeMp3(dir, "third", 6.1, 48000, 2, {"-b", "160"});
    REQUIRE_FILE(c);
    const std::string folder = dir.File("discs/");
    ImageRecorder recorder(folder);
    ASSERT_TRUE(recorder.HasWritableMedia());
    EXPECT_EQ(recorder.DiscUsage(), 0);
    Events events;
    RunWrite(recorder, {a, b, c}, {}, events);
    ASSERT_TRUE(events.WaitEnd());

    // 7; per track 9, 10..., 12; 2; 1; 6 with tracks numbered from 1 and sizes in whole sectors.
    const std::vector<int> expected = {7, 9, 10, 12, 9, 10, 12, 9, 10, 12, 2, 1, 6};
    EXPECT_EQ(events.Ids(), expected);
    int track = 0;
    int32_t size = 0;
    int32_t last = -1;
    std::vector<int32_t> sizes;
    for (const Fired& f : events.all()) {
        if (f.id == event::kTrackPreparing) {
            EXPECT_EQ(f.args[0].ToInt(), ++track);
            size = f.args[1].ToInt();
            EXPECT_EQ(size % kCdFrameBytes, 0);
            sizes.push_back(size);
            last = -1;
        } else if (f.id == event::kTrackProgress) {
            EXPECT_EQ(f.args[0].ToInt(), track);
            EXPECT_GE(f.args[1].ToInt(), last);
            last = f.args[1].ToInt();
        } else if (f.id == event::kTrackClosing) {
            EXPECT_EQ(last, size) << "the last progress of a track reports all of it";
        }
    }

    // Exactly one pair, named after the time of the write, and nothing else.
    const std::string cue = recorder.lastImage();
    ASSERT_FALSE(cue.empty());
    const std::string bin = cue.substr(0, cue.size() - 4) + ".bin";
    EXPECT_TRUE(std::regex_match(fs::path(cue).filename().string(),
                                 std::regex(R"(disc-\d{8}-\d{6}\.cue)")));
    EXPECT_EQ(FilesIn(folder).size(), 3u);  // x.bin, x.cue, x.toc
    EXPECT_EQ(fs::file_size(bin), static_cast<uintmax_t>(sizes[0] + sizes[1] + sizes[2]));

    if (!ts::HaveTool("cd-info")) GTEST_SKIP() << "cd-info is not installed";
    std::string info;
    const std::map<int, int> lengths = CdInfoTracks(cue, &info);
    ASSERT_EQ(lengths.size(), 3u) << info;
    // Each length is the MP3's decoded length, resampled to 44100 Hz, padded to a whole sector.
    const std::vector<std::pair<std::string, int>> sources = {{a, 44100}, {b, 22050}, {c, 48000}};
    const std::vector<int> channels = {2, 1, 2};
    for (size_t i = 0; i < 3; ++i) {
        const std::vector<uint8_t> pcm = Mpg123Decode(dir, sources[i].first);
        ASSERT_FALSE(pcm.empty());
        const double frames =
            static_cast<double>(pcm.size()) / 2 / channels[i] * 44100.0 / sources[i].second;
        const double sectors = frames / kCdSamplesPerFrame;
        EXPECT_GE(lengths.at(static_cast<int>(i + 1)), sectors - 0.01) << i;
        EXPECT_LE(lengths.at(static_cast<int>(i + 1)), sectors + 1.0) << i;
    }
    // CD-Text: the tag's title and artist; the file name where there is no tag.
    EXPECT_NE(info.find("Morning Song"), std::string::npos) << info;
    EXPECT_NE(info.find("The Quartet"), std::string::npos) << info;
    EXPECT_NE(info.find("mono low"), std::string::npos) << info;

    if (!ts::HaveTool("cd-paranoia")) GTEST_SKIP() << "cd-paranoia is not installed";
    for (int t = 1; t <= 3; ++t) {
        const std::string raw = dir.File("track" + std::to_string(t) + ".raw");
        const ts::ToolResult r =
            ts::RunTool({"cd-paranoia", "-d", cue, "-r", "-q", std::to_string(t), raw});
        ASSERT_EQ(r.exitCode, 0) << r.out;
        std::vector<uint8_t> read = ts::ReadFile(raw);
        ASSERT_EQ(read.size(), static_cast<size_t>(sizes[static_cast<size_t>(t - 1)]));
        const std::vector<uint8_t> decoded =
            DecoderBytes(sources[static_cast<size_t>(t - 1)].first);
        EXPECT_TRUE(read == decoded) << "track " << t;
        if (t == 1) {
            // At 44100 Hz stereo the samples are mpg123's own, byte for byte, then silence.
            std::vector<uint8_t> pcm = Mpg123Decode(dir, a);
            ASSERT_LE(pcm.size(), read.size());
            EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), read.begin()));
            EXPECT_TRUE(std::all_of(read.begin() + static_cast<long>(pcm.size()), read.end(),
                                    [](uint8_t v) { return v == 0; }));
        }
        if (t == 2) {
            // Mono doubled: left and right equal in every frame.
            bool same = true;
            for (size_t i = 0; i + 3 < read.size(); i += 4)
                same = same && read[i] == read[i + 2] && read[i + 1] == read[i + 3];
            EXPECT_TRUE(same);
        }
    }
}

TEST(DiscImageWrite, TestWriteWithCachingFiresTheEventsAndLeavesNoFile) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "a", 3.0, 44100, 2, {"-b", "128"});
    const std::string b = MakeMp3(dir, "b", 2.0, 32000, 1, {"-b", "64"});
    REQUIRE_FILE(b);
    const std::string folder = dir.File("discs/");
    ImageRecorder recorder(folder);
    Events events;
    WriteOptions options;
    options.test = true;
    options.cacheFiles = true;
    RunWrite(recorder, {a, b}, options, events);
    ASSERT_TRUE(events.WaitEnd());
    const std::vector<int> expected = {7, 14, 15, 14, 15, 9, 10, 12, 9, 10, 12, 2, 1, 6};
    EXPECT_EQ(events.Ids(), expected);
    for (const Fired& f : events.all()) {
        if (f.id == event::kCachingStarted) {
            EXPECT_GT(f.args[1].ToInt(), 0);
        }
    }
    EXPECT_TRUE(FilesIn(folder).empty());
    EXPECT_TRUE(recorder.lastImage().empty());
    // The cached tracks are gone with the session.
    bool cacheLeft = false;
    for (const auto& entry : fs::recursive_directory_iterator(std::getenv("XDG_CACHE_HOME")))
        cacheLeft = cacheLeft || entry.path().extension() == ".pcm";
    EXPECT_FALSE(cacheLeft);
}

TEST(DiscImageWrite, AbortEndsWithinASecondAndLeavesNoHalfImage) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "long", 90.0, 44100, 2, {"-b", "128"});
    REQUIRE_FILE(a);
    const std::string folder = dir.File("discs/");
    ImageRecorder recorder(folder);
    Events events;
    std::atomic<bool> abort{false};
    std::chrono::steady_clock::time_point abortedAt;
    events.onEvent = [&](int id, const VariantList&) {
        if (id == event::kTrackProgress && !abort) {
            abortedAt = std::chrono::steady_clock::now();
            abort = true;
        }
    };
    RunWrite(recorder, {a, a, a, a}, {}, events, &abort);
    const auto ended = std::chrono::steady_clock::now();
    ASSERT_TRUE(events.WaitEnd());
    EXPECT_EQ(events.Ids().back(), event::kWriteCancelled);
    EXPECT_LT(ended - abortedAt, std::chrono::seconds(1));
    EXPECT_TRUE(FilesIn(folder).empty()) << "no image and no staging folder";
}

TEST(DiscImageWrite, FilesThatCannotBeOpenedOrDecodedEndInAFileError) {
    ts::TempDir dir;
    const std::string good = MakeMp3(dir, "good", 1.0, 44100, 2);
    REQUIRE_FILE(good);
    const std::string noise = dir.File("noise.mp3");
    ts::WriteFile(noise, std::vector<uint8_t>(5000, 0x41));
    const std::string folder = dir.File("discs/");
    ImageRecorder recorder(folder);
    struct Case {
        std::string path;
        int32_t kind;
    };
    for (const Case& c :
         {Case{dir.File("gone.mp3"), file_error::kOpen}, Case{noise, file_error::kRead}}) {
        Events events;
        RunWrite(recorder, {good, c.path}, {}, events);
        ASSERT_TRUE(events.WaitEnd());
        const std::vector<Fired> all = events.all();
        ASSERT_EQ(all.size(), 3u);
        EXPECT_EQ(all[0].id, event::kDiscPreparing);
        EXPECT_EQ(all[1].id, event::kFileError);
        EXPECT_EQ(all[1].args[0].ToInt(), c.kind);
        EXPECT_EQ(all[1].args[1].ToString(), c.path);
        EXPECT_EQ(all[2].id, event::kWriteError);
        EXPECT_EQ(all[2].args[0].ToInt(), write_error::kFile);
    }
    EXPECT_TRUE(FilesIn(folder).empty());
}

TEST(DiscImageWrite, ProjectLongerThanEightyMinutesIsRefusedBeforeWriting) {
    ts::TempDir dir;
    // Ten seconds without a header frame, repeated: 9 tracks of 9.5 minutes make 85.5 minutes.
    const std::string piece = MakeMp3(dir, "piece", 10.0, 22050, 1, {"-t", "-b", "32", "-m", "m"});
    REQUIRE_FILE(piece);
    const std::vector<uint8_t> bytes = ts::ReadFile(piece);
    const std::string long9 = dir.File("long.mp3");
    {
        std::ofstream out(long9, std::ios::binary);
        for (int i = 0; i < 57; ++i)
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    const std::string folder = dir.File("discs/");
    ImageRecorder recorder(folder);
    Events events;
    RunWrite(recorder, std::vector<std::string>(9, long9), {}, events);
    ASSERT_TRUE(events.WaitEnd());
    const std::vector<Fired> all = events.all();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, event::kDiscPreparing);
    EXPECT_EQ(all[1].id, event::kWriteError);
    EXPECT_EQ(all[1].args[0].ToInt(), write_error::kDevice);
    EXPECT_EQ(all[1].args[1].ToInt(), device_error::kPastEnd);
    EXPECT_TRUE(FilesIn(folder).empty());
}

TEST(DiscImageWrite, ReadBackCatchesACorruptedImage) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "a", 2.0, 44100, 2);
    const std::string b = MakeMp3(dir, "b", 2.0, 44100, 2);
    REQUIRE_FILE(b);
    const std::string folder = dir.File("discs/");
    ImageRecorder recorder(folder);
    recorder.SetBeforeReadBack([](const std::string& bin) {
        // One sample of the second track changes on the way to the disc.
        std::fstream f(bin, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<long>(fs::file_size(bin)) - 5000);
        f.put('\x55');
    });
    Events events;
    RunWrite(recorder, {a, b}, {}, events);
    ASSERT_TRUE(events.WaitEnd());
    const std::vector<int> expected = {7, 9, 10, 12, 9, 10, 12, 2, 1, 11};
    EXPECT_EQ(events.Ids(), expected);
    const Fired end = events.all().back();
    EXPECT_EQ(end.args[0].ToInt(), write_error::kDevice);
    EXPECT_EQ(end.args[1].ToInt(), device_error::kDiscUnreadable);
    EXPECT_TRUE(FilesIn(folder).empty()) << "the bad image is removed";
}

// ---- Real recorders against a fake drive ---------------------------------------------------

struct FakeDriveState {
    MediaStatus media = MediaStatus::Blank;
    int unreadyAnswers = 0;  // Media() answers Unready this often first
    std::vector<int> speedsKbs{7056};  // 40x
    bool underrunProof = true;
    bool grabbable = true;
    bool held = false;
    int grabs = 0;
    bool heldWhileWriting = false;
    bool refuse = false;
    BurnFailure failure;  // reported by Finish when failAtTrack >= 0 or refuse
    int failAtTrack = -1;
    BurnJob job;
    std::vector<int64_t> bytesRead;
    bool cancelled = false;
};

class FakeDrive : public IBurnDrive {
  public:
    explicit FakeDrive(std::shared_ptr<FakeDriveState> s) : s_(std::move(s)) {}
    std::string Vendor() const override { return "VENDOR"; }
    std::string Product() const override { return "CD-RW 52x"; }
    std::string Address() const override { return "/dev/sr0"; }
    bool Grab() override {
        if (!s_->grabbable || s_->held) return false;
        ++s_->grabs;
        s_->held = true;
        return true;
    }
    void Release() override { s_->held = false; }
    MediaStatus Media() override {
        EXPECT_TRUE(s_->held);
        if (s_->unreadyAnswers > 0) {
            --s_->unreadyAnswers;
            return MediaStatus::Unready;
        }
        return s_->media;
    }
    int64_t FreeSectors() override { return kCd80Sectors; }
    std::vector<int> WriteSpeedsKbs() override {
        EXPECT_TRUE(s_->held);
        return s_->speedsKbs;
    }
    bool SupportsUnderrunProof() override { return s_->underrunProof; }
    bool StartWrite(const BurnJob& job, BurnFailure* why) override {
        s_->heldWhileWriting = s_->held;
        if (s_->refuse) {
            *why = s_->failure;
            return false;
        }
        s_->job = job;
        s_->bytesRead.assign(job.tracks.size(), 0);
        track_ = 0;
        phase_ = BurnPhase::Writing;
        return true;
    }
    // Each poll writes one block of the current track, as the library's thread would; a track
    // whose audio fails or ends early is padded, as the library does.
    BurnProgress Progress() override {
        if (phase_ == BurnPhase::Writing) {
            if (s_->cancelled || track_ == s_->failAtTrack) {
                phase_ = BurnPhase::Idle;
            } else {
                std::vector<uint8_t> block(kCdFrameBytes * 20);
                const long n =
                    s_->job.tracks[static_cast<size_t>(track_)].read(block.data(), block.size());
                if (n > 0) s_->bytesRead[static_cast<size_t>(track_)] += n;
                if (n <= 0 && ++track_ == static_cast<int>(s_->job.tracks.size()))
                    phase_ = BurnPhase::ClosingSession;
            }
        } else if (phase_ == BurnPhase::ClosingSession) {
            phase_ = BurnPhase::Idle;
        }
        BurnProgress p;
        p.phase = phase_;
        p.track = track_;
        if (track_ < static_cast<int>(s_->bytesRead.size()))
            p.sector = s_->bytesRead[static_cast<size_t>(track_)] / kCdFrameBytes;
        return p;
    }
    void Cancel() override { s_->cancelled = true; }
    bool Finish(BurnFailure* why) override {
        if (s_->failAtTrack >= 0 && !s_->cancelled) {
            *why = s_->failure;
            return false;
        }
        return !s_->cancelled;
    }

  private:
    std::shared_ptr<FakeDriveState> s_;
    int track_ = 0;
    BurnPhase phase_ = BurnPhase::Idle;
};

TEST(RealRecorder, WritesThroughTheDriveWithTheEventsInOrder) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "a", 1.5, 44100, 2, {"--tt", "Opening", "--ta", "Band"});
    const std::string b = MakeMp3(dir, "second song", 1.0, 22050, 1);
    REQUIRE_FILE(b);
    auto state = std::make_shared<FakeDriveState>();
    BurnRecorder recorder(std::make_unique<FakeDrive>(state));
    recorder.SetPollInterval(0);
    EXPECT_EQ(recorder.Text1(), "VENDOR");
    ASSERT_TRUE(recorder.Select());
    EXPECT_EQ(recorder.MaxWriteSpeed(), 40);
    EXPECT_TRUE(recorder.HasWritableMedia());
    EXPECT_EQ(recorder.DiscUsage(), 0);

    Events events;
    WriteOptions options;
    options.test = true;
    options.burnProof = true;
    options.speed = 16;
    RunWrite(recorder, {a, b}, options, events);
    ASSERT_TRUE(events.WaitEnd());
    const std::vector<int> expected = {7, 9, 10, 12, 9, 10, 12, 2, 1, 6};
    EXPECT_EQ(events.Ids(), expected);
    // Simulate mode, underrun protection, the speed in kB/s, CD-Text, whole tracks fed.
    EXPECT_TRUE(state->job.simulate);
    EXPECT_TRUE(state->job.underrunProof);
    EXPECT_EQ(state->job.speedKbs, 2823) << "16x rounded up: no speed of the drive is 16x";
    ASSERT_EQ(state->job.tracks.size(), 2u);
    EXPECT_EQ(state->job.tracks[0].text.title, "Opening");
    EXPECT_EQ(state->job.tracks[0].text.performer, "Band");
    EXPECT_EQ(state->job.tracks[1].text.title, "second song");
    for (size_t i = 0; i < 2; ++i)
        EXPECT_EQ(state->bytesRead[i], state->job.tracks[i].sectors * kCdFrameBytes);

    // A used disc and one that is not there.
    state->media = MediaStatus::Appendable;
    EXPECT_NE(recorder.DiscUsage(), 0);
    EXPECT_FALSE(recorder.HasWritableMedia());
    state->media = MediaStatus::None;
    EXPECT_FALSE(recorder.HasWritableMedia());
}

TEST(RealRecorder, DriveFailuresBecomeDeviceErrorsAndAbortCancels) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "a", 1.0, 44100, 2);
    REQUIRE_FILE(a);
    auto state = std::make_shared<FakeDriveState>();
    BurnRecorder recorder(std::make_unique<FakeDrive>(state));
    recorder.SetPollInterval(0);
    ASSERT_TRUE(recorder.Select());

    // The drive fails in the second track: write past the end of the disc.
    state->failAtTrack = 1;
    state->failure = {0x05, 0x21, 0x00, false, "Logical block address out of range"};
    Events failed;
    RunWrite(recorder, {a, a}, {}, failed);
    ASSERT_TRUE(failed.WaitEnd());
    const Fired end = failed.all().back();
    EXPECT_EQ(end.id, event::kWriteError);
    EXPECT_EQ(end.args[0].ToInt(), write_error::kDevice);
    EXPECT_EQ(end.args[1].ToInt(), device_error::kPastEnd);
    const std::vector<int> failedIds = failed.Ids();
    EXPECT_EQ(std::count(failedIds.begin(), failedIds.end(), event::kWriteComplete), 0);

    // The drive refuses the job outright.
    state->failAtTrack = -1;
    state->refuse = true;
    state->failure = {0x02, 0x3A, 0x00, false, "Medium not present"};
    Events refused;
    RunWrite(recorder, {a}, {}, refused);
    ASSERT_TRUE(refused.WaitEnd());
    EXPECT_EQ(refused.all().back().args[1].ToInt(), device_error::kNoDisc);

    // Stop while writing: the drive is cancelled and the write ends cancelled.
    state->refuse = false;
    std::atomic<bool> abort{false};
    Events stopped;
    stopped.onEvent = [&](int id, const VariantList&) {
        if (id == event::kTrackProgress) abort = true;
    };
    RunWrite(recorder, {a, a}, {}, stopped, &abort);
    ASSERT_TRUE(stopped.WaitEnd());
    EXPECT_TRUE(state->cancelled);
    EXPECT_EQ(stopped.all().back().id, event::kWriteCancelled);

    // The closest device-error codes of other reports.
    EXPECT_EQ(DeviceErrorCode({0x03, 0x0C, 0x09, false, ""}), device_error::kUnderrun);
    EXPECT_EQ(DeviceErrorCode({-1, -1, -1, true, ""}), device_error::kTimeout);
    EXPECT_EQ(DeviceErrorCode({0x04, 0x44, 0x00, false, ""}), device_error::kDriveFailure);
    EXPECT_EQ(DeviceErrorCode({-1, -1, -1, false, "buffer underrun"}), device_error::kUnderrun);
    EXPECT_EQ(DeviceErrorCode({-1, -1, -1, false, "something odd"}), device_error::kWriteUnknown);
}

TEST(RealRecorder, ATrackThatCannotBeReadToItsEndEndsInAFileErrorNeverComplete) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "a", 1.5, 44100, 2);
    REQUIRE_FILE(a);
    auto state = std::make_shared<FakeDriveState>();
    BurnRecorder recorder(std::make_unique<FakeDrive>(state));
    recorder.SetPollInterval(0);
    ASSERT_TRUE(recorder.Select());

    // The cached first track loses its end once the drive has written its first block (a file
    // on a stick pulled out): the drive would pad it with silence and call the write good.
    Events events;
    bool cut = false;
    events.onEvent = [&](int id, const VariantList&) {
        if (id != event::kTrackProgress || cut) return;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(platform::ScratchFolder(), error)) {
            const fs::path track = entry.path() / "track01.pcm";
            if (entry.path().filename().string().rfind("cdwriter-", 0) == 0 && fs::exists(track)) {
                fs::resize_file(track, kCdFrameBytes * 30);
                cut = true;
            }
        }
    };
    WriteOptions options;
    options.cacheFiles = true;
    RunWrite(recorder, {a, a}, options, events);
    ASSERT_TRUE(events.WaitEnd());
    ASSERT_TRUE(cut);
    const std::vector<Fired> fired = events.all();
    ASSERT_GE(fired.size(), 2u);
    const Fired& fileError = fired[fired.size() - 2];
    const Fired& end = fired.back();
    EXPECT_EQ(fileError.id, event::kFileError);
    EXPECT_EQ(fileError.args[0].ToInt(), file_error::kRead);
    EXPECT_EQ(fileError.args[1].ToString(), a);
    EXPECT_EQ(end.id, event::kWriteError);
    EXPECT_EQ(end.args[0].ToInt(), write_error::kFile);
    EXPECT_TRUE(state->cancelled) << "the drive is stopped, not left to pad the track";
    EXPECT_LT(state->bytesRead[0], state->job.tracks[0].sectors * kCdFrameBytes);
    const std::vector<int> ids = events.Ids();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), event::kWriteComplete), 0);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), event::kDiscClosing), 0);
    EXPECT_FALSE(state->held);
}

TEST(RealRecorder, TheDriveIsHeldOnlyForChecksAndWritesAndSeesTheDiscAsItIsNow) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "a", 1.0, 44100, 2);
    REQUIRE_FILE(a);
    auto state = std::make_shared<FakeDriveState>();
    BurnRecorder recorder(std::make_unique<FakeDrive>(state));
    recorder.SetPollInterval(0);
    recorder.SetUnreadyWait(0);

    ASSERT_TRUE(recorder.Select());
    EXPECT_FALSE(state->held) << "choosing the recorder gives the drive back";
    EXPECT_EQ(recorder.MaxWriteSpeed(), 40);
    EXPECT_TRUE(recorder.HasWritableMedia());
    EXPECT_EQ(recorder.DiscUsage(), 0);
    EXPECT_TRUE(recorder.IsBurnProofSupported());
    EXPECT_FALSE(state->held);

    Events first;
    bool heldDuringProgress = false;
    bool heldAtTheEnd = true;
    first.onEvent = [&](int id, const VariantList&) {
        if (id == event::kTrackProgress) heldDuringProgress = state->held;
        if (id == event::kWriteComplete) heldAtTheEnd = state->held;
    };
    RunWrite(recorder, {a}, {}, first);
    ASSERT_TRUE(first.WaitEnd());
    EXPECT_EQ(first.all().back().id, event::kWriteComplete);
    EXPECT_TRUE(state->heldWhileWriting);
    EXPECT_TRUE(heldDuringProgress);
    EXPECT_FALSE(heldAtTheEnd) << "given back before the ending, when the host may check again";
    EXPECT_FALSE(state->held) << "the tray is free after the write";

    // The disc just written is seen as written: the drive is asked again.
    const int grabs = state->grabs;
    state->media = MediaStatus::Full;
    EXPECT_FALSE(recorder.HasWritableMedia());
    EXPECT_NE(recorder.DiscUsage(), 0);
    EXPECT_GT(state->grabs, grabs);
    EXPECT_FALSE(state->held);

    // A drive still making out a new disc is asked again a few times before "no disc" ...
    state->media = MediaStatus::Blank;
    state->unreadyAnswers = 3;
    ASSERT_TRUE(recorder.Select());
    EXPECT_TRUE(recorder.HasWritableMedia());
    // ... but not for ever.
    state->unreadyAnswers = 1000;
    ASSERT_TRUE(recorder.Select());
    EXPECT_FALSE(recorder.HasWritableMedia());
    EXPECT_EQ(recorder.DiscUsage(), 0);
    EXPECT_GT(state->unreadyAnswers, 900);
    state->unreadyAnswers = 0;

    // A drive another program holds: the choice fails, and so does a write.
    state->grabbable = false;
    EXPECT_FALSE(recorder.Select());
    EXPECT_FALSE(recorder.HasWritableMedia());
    Events busy;
    RunWrite(recorder, {a}, {}, busy);
    ASSERT_TRUE(busy.WaitEnd());
    EXPECT_EQ(busy.all().back().id, event::kWriteError);
    EXPECT_EQ(busy.all().back().args[1].ToInt(), device_error::kNotReady);
}

TEST(RealRecorder, SpeedsComeFromTheDrivesListToTheNearestXAndBurnProofFromTheDrive) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "a", 1.0, 44100, 2);
    REQUIRE_FILE(a);
    EXPECT_EQ(SpeedX(8467), 48);
    EXPECT_EQ(SpeedX(176), 1);
    EXPECT_EQ(SpeedX(1764), 10);
    EXPECT_EQ(SpeedX(0), 0);

    auto state = std::make_shared<FakeDriveState>();
    state->speedsKbs = {1764, 4234, 8467};
    state->underrunProof = false;
    BurnRecorder recorder(std::make_unique<FakeDrive>(state));
    recorder.SetPollInterval(0);
    EXPECT_EQ(recorder.MaxWriteSpeed(), 0) << "not chosen yet";
    ASSERT_TRUE(recorder.Select());
    EXPECT_EQ(recorder.MaxWriteSpeed(), 48);
    EXPECT_FALSE(recorder.IsBurnProofSupported());

    // The chosen x is asked for with the drive's own figure of it; underrun protection is not
    // asked of a drive without it.
    struct Case {
        int x;
        int kbs;
    };
    for (const Case c : {Case{48, 8467}, Case{10, 1764}, Case{16, 2823}, Case{0, 0}}) {
        Events events;
        WriteOptions options;
        options.speed = c.x;
        options.burnProof = true;
        RunWrite(recorder, {a}, options, events);
        ASSERT_TRUE(events.WaitEnd());
        EXPECT_EQ(state->job.speedKbs, c.kbs) << c.x << "x";
        EXPECT_FALSE(state->job.underrunProof);
    }

    // A 1x drive lists 1x, not only "Default"; a drive without a list has no speeds.
    state->speedsKbs = {176};
    ASSERT_TRUE(recorder.Select());
    EXPECT_EQ(recorder.MaxWriteSpeed(), 1);
    state->speedsKbs = {};
    ASSERT_TRUE(recorder.Select());
    EXPECT_EQ(recorder.MaxWriteSpeed(), 0);
}

// ---- The members by dispatch id -------------------------------------------------------------

// The engine as the recording dialog hosts it: recorder 0 writes images into `folder`; with
// `fakeDrive`, recorder 1 is a real recorder on a fake drive.
struct HostedEngine {
    explicit HostedEngine(const std::string& folder, bool fakeDrive = false)
        : engine(
              [folder, fakeDrive] {
                  RecorderList list;
                  list.push_back(std::make_unique<ImageRecorder>(folder));
                  if (fakeDrive)
                      list.push_back(std::make_unique<BurnRecorder>(
                          std::make_unique<FakeDrive>(std::make_shared<FakeDriveState>())));
                  return list;
              },
              events.Sink()) {}
    // Calls the method `id`, expecting the call itself to go through.
    Variant Call(int id, VariantList args = {}) {
        Variant out;
        EXPECT_EQ(engine.Invoke(id, platform::InvokeKind::Method, args, &out),
                  platform::InvokeStatus::Ok)
            << id;
        return out;
    }
    Events events;
    WriterEngine engine;
};

TEST(WriterEngine, MembersListRecordersTakeTracksAndStartOnlyWhenReady) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "a", 1.0, 44100, 2);
    REQUIRE_FILE(a);
    const std::string folder = dir.File("discs/");
    HostedEngine host(folder, true);
    WriterEngine& engine = host.engine;
    Events& events = host.events;
    auto call = [&](int id, VariantList args = {}) { return host.Call(id, std::move(args)); };
    EXPECT_EQ(call(dispid::kGetDeviceCount).ToInt(), 2);
    EXPECT_EQ(call(dispid::kGetDeviceText1, {Variant(0)}).ToString(), "Disc image");
    EXPECT_EQ(call(dispid::kGetDeviceText2, {Variant(0)}).ToString(), "audio CD");
    EXPECT_EQ(call(dispid::kGetDeviceText3, {Variant(0)}).ToString(), folder);
    EXPECT_EQ(call(dispid::kGetDeviceText1, {Variant(1)}).ToString(), "VENDOR");
    EXPECT_FALSE(call(dispid::kStartWrite).ToBool()) << "no recorder chosen";
    EXPECT_TRUE(call(dispid::kSelectDevice, {Variant(1)}).ToBool());
    EXPECT_EQ(call(dispid::kGetMaxWriteSpeed).ToInt(), 40);
    EXPECT_TRUE(call(dispid::kSelectDevice, {Variant(0)}).ToBool());
    EXPECT_EQ(call(dispid::kGetMaxWriteSpeed).ToInt(), 0);
    EXPECT_FALSE(call(dispid::kSelectDevice, {Variant(5)}).ToBool());
    EXPECT_TRUE(call(dispid::kSelectDevice, {Variant(0)}).ToBool());
    EXPECT_TRUE(call(dispid::kHasWritableMedia).ToBool());
    EXPECT_EQ(call(dispid::kGetDiscUsage).ToInt(), 0);
    EXPECT_FALSE(call(dispid::kIsBurnProofSupported).ToBool());

    // Tracks by path and 0-based index; a file that is no MP3 is refused.
    const std::string text = dir.File("notes.mp3");
    ts::WriteFile(text, std::vector<uint8_t>(3000, 'x'));
    call(dispid::kResetTracks);
    EXPECT_FALSE(call(dispid::kStartWrite).ToBool()) << "no tracks";
    EXPECT_TRUE(call(dispid::kAddTrack, {Variant(a), Variant(0)}).ToBool());
    EXPECT_FALSE(call(dispid::kAddTrack, {Variant(text), Variant(1)}).ToBool());
    EXPECT_FALSE(call(dispid::kAddTrack, {Variant(a), Variant(3)}).ToBool());
    EXPECT_EQ(engine.Invoke(dispid::kAddTrack, platform::InvokeKind::Method, {Variant(a)}, nullptr),
              platform::InvokeStatus::BadArguments);
    EXPECT_EQ(engine.Invoke(dispid::kTestWrite, platform::InvokeKind::PropertyPut, {Variant(true)},
                            nullptr),
              platform::InvokeStatus::Ok);
    EXPECT_TRUE(call(dispid::kStartWrite).ToBool());
    EXPECT_FALSE(call(dispid::kStartWrite).ToBool()) << "one write at a time";
    ASSERT_TRUE(events.WaitEnd());
    engine.Join();
    EXPECT_EQ(events.Ids().back(), event::kWriteComplete);
    EXPECT_FALSE(engine.IsWriting());
    EXPECT_TRUE(FilesIn(folder).empty()) << "a test write";
}

// Songs as other programs make them, joined and cut, each of which the disc must carry exactly.
class DiscTruth : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"lame", "mpg123", "sox"})
            if (!ts::HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    // lame's MP3 of a sox tone.
    std::string Tone(const std::string& name, double seconds, int rate, int channels,
                     double frequency, std::vector<std::string> lameArgs = {}) {
        const std::string wav = dir_.File(name + ".wav");
        const std::string mp3 = dir_.File(name + ".mp3");
        EXPECT_EQ(ts::RunTool({"sox", "-n", "-r", std::to_string(rate), "-c",
                               std::to_string(channels), "-b", "16", wav, "synth",
                               std::to_string(seconds), "sine", std::to_string(frequency)})
                      .exitCode,
                  0);
        lameArgs.insert(lameArgs.begin(), "--noreplaygain");
        EXPECT_TRUE(ts::LameEncode(wav, mp3, lameArgs));
        fs::remove(wav);
        return mp3;
    }
    // The files one after another in one file, as a joiner makes it.
    std::string Join(const std::string& name, const std::vector<std::string>& parts) {
        std::vector<uint8_t> bytes;
        for (const std::string& part : parts) {
            const std::vector<uint8_t> more = ts::ReadFile(part);
            bytes.insert(bytes.end(), more.begin(), more.end());
        }
        const std::string path = dir_.File(name + ".mp3");
        ts::WriteFile(path, bytes);
        return path;
    }
    // CD audio as mpg123 decodes the file (mono doubled, other rates resampled to 44100 Hz),
    // padded with silence to whole sectors and to 4 seconds.
    std::vector<uint8_t> IndependentTrack(const std::string& mp3) {
        const std::string raw = dir_.File("independent.raw");
        const ts::ToolResult r = ts::RunTool({"mpg123", "-q", "--resample", "NtoM", "-r", "44100",
                                              "--stereo", "-e", "s16", "-o", "raw", "-a", raw,
                                              mp3});
        EXPECT_EQ(r.exitCode, 0) << r.out;
        std::vector<uint8_t> pcm = ts::ReadFile(raw);
        fs::remove(raw);
        size_t sectors = (pcm.size() + kCdFrameBytes - 1) / kCdFrameBytes;
        sectors = std::max<size_t>(sectors, 300);
        EXPECT_GT(pcm.size(), 0u) << mp3;
        pcm.resize(sectors * kCdFrameBytes, 0);
        return pcm;
    }
    ts::TempDir dir_;
};

TEST_F(DiscTruth, EveryTrackIsItsSongsDecodedAudioAndCdrdaoBurnsTheSameSamples) {
    // 44.1 kHz then 22.05 kHz; mono then stereo; ID3v2 + ID3v1 with the last frame cut short; a
    // 2-second song; VBR without its Xing header.
    const std::string joinedRates =
        Join("rates", {Tone("r1", 2.0, 44100, 2, 440), Tone("r2", 2.0, 22050, 2, 660)});
    const std::string joinedChannels =
        Join("channels", {Tone("c1", 2.0, 44100, 1, 550, {"-m", "m"}), Tone("c2", 2.0, 44100, 2, 330)});
    const std::string tagged = Tone("tagged", 3.0, 44100, 2, 700,
                                    {"--add-id3v2", "--tt", "Tag Title", "--ta", "Ardent Artist"});
    {
        // The ID3v1 tag stays at the end; the audio frame before it loses 200 bytes.
        std::vector<uint8_t> bytes = ts::ReadFile(tagged);
        ASSERT_GT(bytes.size(), 1000u);
        const std::vector<uint8_t> v1(bytes.end() - 128, bytes.end());
        ASSERT_EQ(std::string(v1.begin(), v1.begin() + 3), "TAG");
        bytes.resize(bytes.size() - 128 - 200);
        bytes.insert(bytes.end(), v1.begin(), v1.end());
        ts::WriteFile(tagged, bytes);
    }
    const std::string shortSong = Tone("short", 2.0, 44100, 2, 880);
    const std::string vbr = Tone("vbr", 5.0, 48000, 2, 500, {"-V", "2", "-t"});
    const std::vector<std::string> songs = {joinedRates, joinedChannels, tagged, shortSong, vbr};

    const std::string folder = dir_.File("discs/");
    HostedEngine host(folder);
    host.Call(dispid::kSelectDevice, {Variant(0)});
    host.Call(dispid::kResetTracks);
    for (size_t i = 0; i < songs.size(); ++i)
        ASSERT_TRUE(host.Call(dispid::kAddTrack, {Variant(songs[i]), Variant(int32_t(i))}).ToBool())
            << songs[i];
    // The titles the project shows, folded into Latin-1; the third keeps its tag's title.
    EXPECT_TRUE(host.Call(dispid::kSetTrackText,
                          {Variant(0), Variant("Łódź café"), Variant(std::string())})
                    .ToBool());
    EXPECT_TRUE(host.Call(dispid::kSetTrackText,
                          {Variant(1), Variant("Ÿ—ǅ 字"), Variant("Someone")})
                    .ToBool());
    EXPECT_FALSE(host.Call(dispid::kSetTrackText,
                           {Variant(5), Variant("none"), Variant(std::string())})
                     .ToBool());
    ASSERT_TRUE(host.Call(dispid::kStartWrite).ToBool());
    ASSERT_TRUE(host.events.WaitEnd());
    host.engine.Join();
    ASSERT_EQ(host.events.Ids().back(), event::kWriteComplete);
    Variant imageVariant;
    host.engine.Invoke(dispid::kLastImage, platform::InvokeKind::PropertyGet, {}, &imageVariant);
    const std::string cue = imageVariant.ToString();
    ASSERT_FALSE(cue.empty());
    const std::string base = cue.substr(0, cue.size() - 4);

    // The BIN is every song's independent decode, padded, one after another.
    std::vector<uint8_t> expected;
    std::vector<size_t> starts;
    for (const std::string& song : songs) {
        starts.push_back(expected.size());
        const std::vector<uint8_t> track = IndependentTrack(song);
        expected.insert(expected.end(), track.begin(), track.end());
    }
    const std::vector<uint8_t> bin = ts::ReadFile(base + ".bin");
    ASSERT_EQ(bin.size(), expected.size());
    for (size_t t = 0; t < songs.size(); ++t) {
        const size_t end = t + 1 < songs.size() ? starts[t + 1] : expected.size();
        EXPECT_TRUE(std::equal(bin.begin() + static_cast<long>(starts[t]),
                               bin.begin() + static_cast<long>(end),
                               expected.begin() + static_cast<long>(starts[t])))
            << "track " << t + 1 << " (" << songs[t] << ")";
    }
    EXPECT_EQ(starts[4] - starts[3], 300u * kCdFrameBytes) << "the 2 s song fills 4 s";

    // CD-Text in the CUE sheet and the TOC file, ISO-8859-1.
    auto latin1 = [](const std::string& utf8) {
        return QString::fromUtf8(utf8.c_str()).toLatin1().toStdString();
    };
    const std::vector<uint8_t> cueBytes = ts::ReadFile(cue);
    const std::string cueText(cueBytes.begin(), cueBytes.end());
    const std::vector<uint8_t> tocBytes = ts::ReadFile(base + ".toc");
    const std::string tocText(tocBytes.begin(), tocBytes.end());
    for (const std::string& text :
         {latin1("TITLE \"Lódz café\""), latin1("TITLE \"Y-D ?\""), std::string("PERFORMER \"Someone\""),
          std::string("TITLE \"Tag Title\""), std::string("PERFORMER \"Ardent Artist\""),
          std::string("TITLE \"short\"")}) {
        EXPECT_NE(cueText.find(text), std::string::npos) << text << "\n" << cueText;
        EXPECT_NE(tocText.find(text), std::string::npos) << text << "\n" << tocText;
    }

    if (!ts::HaveTool("cdrdao")) GTEST_SKIP() << "cdrdao is not installed";
    // The help page's recipe reads the TOC: cdrdao accepts it, and the samples it would send to
    // the recorder are the songs' own.
    const ts::ToolResult toc = ts::RunTool({"cdrdao", "show-toc", base + ".toc"});
    ASSERT_EQ(toc.exitCode, 0) << toc.out;
    EXPECT_EQ(toc.out.find("WARNING"), std::string::npos) << toc.out;
    EXPECT_NE(toc.out.find("TRACK  5"), std::string::npos) << toc.out;
    const ts::ToolResult data = ts::RunTool({"cdrdao", "show-data", base + ".toc"});
    ASSERT_EQ(data.exitCode, 0);
    std::istringstream lines(data.out);
    std::string line;
    size_t frame = 0;
    size_t mismatches = 0;
    // "     12:  -345   678", or "     88:-15206 -15206" where a value fills its column.
    std::regex sample(R"(^\s*(\d+):\s*(-?\d+)\s+(-?\d+)\s*$)");
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, sample)) continue;
        const size_t at = frame * 4;
        ASSERT_LT(at + 3, expected.size());
        const auto left = static_cast<int16_t>(expected[at] | expected[at + 1] << 8);
        const auto right = static_cast<int16_t>(expected[at + 2] | expected[at + 3] << 8);
        if (std::stoi(m[2]) != left || std::stoi(m[3]) != right) {
            if (mismatches == 0)
                ADD_FAILURE() << "first difference at " << line << ": " << left << " " << right;
            ++mismatches;
        }
        ++frame;
    }
    EXPECT_EQ(frame * 4, expected.size());
    EXPECT_EQ(mismatches, 0u);
    // The help page's CUE variant: cdrdao reads the CUE's BIN the other way round, so it needs
    // --swap to send the same samples. It finds the BIN from the folder it runs in.
    const ts::ToolResult swapped = ts::RunTool(
        {"env", "-C", folder, "cdrdao", "show-data", "--swap", fs::path(cue).filename().string()});
    std::istringstream swappedLines(swapped.out);
    frame = 0;
    mismatches = 0;
    while (std::getline(swappedLines, line) && frame < 44100) {
        std::smatch m;
        if (!std::regex_match(line, m, sample)) continue;
        const size_t at = frame * 4;
        const auto left = static_cast<int16_t>(expected[at] | expected[at + 1] << 8);
        if (std::stoi(m[2]) != left) ++mismatches;
        ++frame;
    }
    EXPECT_EQ(frame, 44100u) << swapped.out.substr(0, 400);
    EXPECT_EQ(mismatches, 0u);
}

TEST_F(DiscTruth, ASongCutShortAfterItWasMeasuredFailsTheWriteAndLeavesNoImage) {
    const std::string good = Tone("good", 2.0, 44100, 2, 440);
    const std::string song = Tone("song", 12.0, 44100, 2, 550);
    const std::vector<uint8_t> whole = ts::ReadFile(song);
    const std::string folder = dir_.File("discs/");
    ImageRecorder recorder(folder);
    // The song loses its second half while the write runs (here: when its caching begins).
    Events events;
    events.onEvent = [&](int id, const VariantList& args) {
        if (id == event::kCachingStarted && args[0].ToInt() == 2)
            ts::WriteFile(song, std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));
    };
    WriteOptions options;
    options.cacheFiles = true;
    RunWrite(recorder, {good, song}, options, events);
    ASSERT_TRUE(events.WaitEnd());
    const std::vector<Fired> all = events.all();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[all.size() - 2].id, event::kFileError);
    EXPECT_EQ(all[all.size() - 2].args[0].ToInt(), file_error::kRead);
    EXPECT_EQ(all[all.size() - 2].args[1].ToString(), song);
    EXPECT_EQ(all.back().id, event::kWriteError);
    EXPECT_EQ(all.back().args[0].ToInt(), write_error::kFile);
    EXPECT_TRUE(FilesIn(folder).empty());

    // Without caching: the track's reader fails rather than filling up with silence.
    ts::WriteFile(song, whole);
    WriteSession session({song}, {}, {}, nullptr);
    ASSERT_TRUE(session.PrepareTracks());
    ts::WriteFile(song, std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));
    std::unique_ptr<PcmReader> reader = session.OpenTrack(0, nullptr);
    ASSERT_TRUE(reader);
    std::vector<uint8_t> chunk(kCdFrameBytes * 64);
    long n = 0;
    int64_t given = 0;
    while ((n = reader->Read(chunk.data(), chunk.size())) > 0) given += n;
    EXPECT_EQ(n, -1);
    EXPECT_LT(given, session.tracks()[0].bytes());
}

TEST_F(DiscTruth, SongsWithoutAudioAreRefusedWhenAdded) {
    const std::string folder = dir_.File("discs/");
    HostedEngine host(folder);
    host.Call(dispid::kSelectDevice, {Variant(0)});
    // An ID3v2 tag with nothing after it, and an MP3's first header followed by noise.
    std::vector<uint8_t> tagOnly = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 100};
    tagOnly.resize(10 + 100, 0);
    const std::string tag = dir_.File("tag.mp3");
    ts::WriteFile(tag, tagOnly);
    const std::string good = Tone("good", 1.0, 44100, 2, 440);
    std::vector<uint8_t> headerOnly = ts::ReadFile(good);
    headerOnly.resize(4);
    headerOnly.resize(3000, 0);
    const std::string header = dir_.File("header.mp3");
    ts::WriteFile(header, headerOnly);
    for (const std::string& path : {tag, header})
        EXPECT_FALSE(host.Call(dispid::kAddTrack, {Variant(path), Variant(0)}).ToBool()) << path;
    EXPECT_TRUE(host.Call(dispid::kAddTrack, {Variant(good), Variant(0)}).ToBool());
}

TEST_F(DiscTruth, MoreThanNinetyNineTracksAreRefusedBeforeWriting) {
    const std::string song = Tone("one", 0.5, 44100, 2, 440);
    const std::string folder = dir_.File("discs/");
    ImageRecorder recorder(folder);
    WriteOptions test;
    test.test = true;
    Events fits;
    RunWrite(recorder, std::vector<std::string>(99, song), test, fits);
    ASSERT_TRUE(fits.WaitEnd());
    EXPECT_EQ(fits.Ids().back(), event::kWriteComplete);

    Events events;
    RunWrite(recorder, std::vector<std::string>(100, song), {}, events);
    ASSERT_TRUE(events.WaitEnd());
    const std::vector<Fired> all = events.all();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, event::kDiscPreparing);
    EXPECT_EQ(all[1].id, event::kWriteError);
    EXPECT_EQ(all[1].args[0].ToInt(), write_error::kBadFormat);
    EXPECT_TRUE(FilesIn(folder).empty());
}

TEST_F(DiscTruth, ShortTracksCountTheirPaddingAgainstTheDisc) {
    // A 2-second song takes 4 seconds of the disc, and the capacity check counts them.
    const std::string song = Tone("two", 2.0, 44100, 2, 440);
    WriteSession session(std::vector<std::string>(2, song), {}, {}, nullptr);
    ASSERT_TRUE(session.PrepareTracks());
    EXPECT_EQ(session.tracks()[0].sectors, kMinTrackSectors);
    EXPECT_EQ(session.totalSectors(), 2 * kMinTrackSectors);
}

// Writes one image of `paths` into `folder` in a child process; returns its process id.
pid_t WriteInChild(const std::string& folder, const std::vector<std::string>& paths) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ImageRecorder recorder(folder);
    std::atomic<bool> never{false};
    bool complete = false;
    WriteSession session(paths, {}, [&](int id, VariantList) {
        if (id == event::kWriteComplete) complete = true;
    }, &never);
    recorder.Write(session);
    ::_exit(complete ? 0 : 1);
}

TEST_F(DiscTruth, WritesAtOnceInProcessesEachGetAWholeImageOfTheirOwn) {
#if defined(__SANITIZE_THREAD__)
    // The writers are forked copies of this multi-threaded test process that start threads of
    // their own, which ThreadSanitizer does not follow; the other builds run it.
    GTEST_SKIP() << "forked writers are outside what ThreadSanitizer follows";
#endif
    const std::string a = Tone("a", 3.0, 44100, 2, 440);
    const std::string b = Tone("b", 5.0, 44100, 2, 550);
    const std::string folder = dir_.File("discs/");
    for (const size_t writers : {2u, 3u}) {
        fs::remove_all(folder);
        std::vector<pid_t> children;
        for (size_t i = 0; i < writers; ++i)
            children.push_back(WriteInChild(folder, i % 2 ? std::vector{b, a} : std::vector{a, b}));
        for (const pid_t child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        std::vector<std::string> cues;
        for (const fs::path& file : FilesIn(folder)) {
            if (file.extension() == ".cue") cues.push_back(file.string());
            EXPECT_NE(file.filename().string().rfind(".writing-", 0), 0u) << file;
        }
        ASSERT_EQ(cues.size(), writers);
        const std::vector<uint8_t> ab = [&] {
            std::vector<uint8_t> pcm = IndependentTrack(a), second = IndependentTrack(b);
            pcm.insert(pcm.end(), second.begin(), second.end());
            return pcm;
        }();
        for (const std::string& cue : cues) {
            const std::string base = cue.substr(0, cue.size() - 4);
            EXPECT_TRUE(fs::exists(base + ".toc")) << base;
            const std::vector<uint8_t> bin = ts::ReadFile(base + ".bin");
            EXPECT_EQ(bin.size(), ab.size()) << base;
            // The CUE names its own BIN.
            const std::vector<uint8_t> sheet = ts::ReadFile(cue);
            EXPECT_NE(std::string(sheet.begin(), sheet.end())
                          .find("FILE \"" + fs::path(base).filename().string() + ".bin\""),
                      std::string::npos);
        }
    }
}

TEST_F(DiscTruth, AKilledWritesStagingFolderIsGoneAfterTheNextWrite) {
    const std::string longSong = Tone("long", 60.0, 44100, 2, 440);
    const std::string folder = dir_.File("discs/");
    fs::create_directories(folder);
    const pid_t child = WriteInChild(folder, {longSong, longSong, longSong, longSong});
    // Killed once its staging folder holds part of the image.
    bool staged = false;
    for (int i = 0; i < 400 && !staged; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const fs::path& file : FilesIn(folder))
            staged = staged || (file.filename().string().rfind(".writing-", 0) == 0 &&
                                fs::exists(file / "image.bin"));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(staged);
    ASSERT_EQ(FilesIn(folder).size(), 1u) << "the killed write's staging folder";

    const std::string song = Tone("song", 1.0, 44100, 2, 550);
    ImageRecorder recorder(folder);
    Events events;
    RunWrite(recorder, {song}, {}, events);
    ASSERT_TRUE(events.WaitEnd());
    EXPECT_EQ(events.Ids().back(), event::kWriteComplete);
    for (const fs::path& file : FilesIn(folder))
        EXPECT_NE(file.filename().string().rfind(".writing-", 0), 0u) << file;
    EXPECT_EQ(FilesIn(folder).size(), 3u);
}

TEST(CdText, OutsideLatin1TheNearestLetterOrAQuestionMark) {
    EXPECT_EQ(Latin1Text("é Ł ő ß"), QString::fromUtf8("é L o ß").toLatin1().toStdString());
    EXPECT_EQ(Latin1Text("Œuvre — “x”"), "Ouvre - \"x\"");
    EXPECT_EQ(Latin1Text("日本\t"), "?? ");
    EXPECT_EQ(Latin1Text(std::string(100, 'a')).size(), 80u);
    EXPECT_EQ(TocText("a\"b\\c"), "a\\\"b\\\\c");
    EXPECT_EQ(CueText("a\"b"), "a'b");
}

}  // namespace
