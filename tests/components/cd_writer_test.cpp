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

#include "components/cd_writer/burn_drive.h"
#include "components/cd_writer/cd_writer_dispids.h"
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
    if (!ts::HaveTool("lame")) return "";
    ts::ToneSpec spec;
    spec.sampleRate = rate;
    spec.channels = channels;
    spec.seconds = seconds;
    spec.frequency = 330.0 + seconds * 10;
    const std::string wav = dir.File(name + ".wav");
    const std::string mp3 = dir.File(name + ".mp3");
    ts::WriteFile(wav, ts::MakeToneWav(spec));
    std::vector<std::string> argv{"lame", "--quiet", "--noreplaygain"};
    argv.insert(argv.end(), lameArgs.begin(), lameArgs.end());
    argv.push_back(wav);
    argv.push_back(mp3);
    const bool ok = ts::RunTool(argv).exitCode == 0;
    fs::remove(wav);
    return ok ? mp3 : "";
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
            EXPECT_EQ(size % kSectorBytes, 0);
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
    EXPECT_EQ(FilesIn(folder).size(), 2u);
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
        const double sectors = frames / kFramesPerSector;
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
                std::vector<uint8_t> block(kSectorBytes * 20);
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
            p.sector = s_->bytesRead[static_cast<size_t>(track_)] / kSectorBytes;
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
        EXPECT_EQ(state->bytesRead[i], state->job.tracks[i].sectors * kSectorBytes);

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
                fs::resize_file(track, kSectorBytes * 30);
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
    EXPECT_LT(state->bytesRead[0], state->job.tracks[0].sectors * kSectorBytes);
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

TEST(WriterEngine, MembersListRecordersTakeTracksAndStartOnlyWhenReady) {
    ts::TempDir dir;
    const std::string a = MakeMp3(dir, "a", 1.0, 44100, 2);
    REQUIRE_FILE(a);
    const std::string folder = dir.File("discs/");
    Events events;
    WriterEngine engine(
        [&] {
            RecorderList list;
            list.push_back(std::make_unique<ImageRecorder>(folder));
            list.push_back(std::make_unique<BurnRecorder>(
                std::make_unique<FakeDrive>(std::make_shared<FakeDriveState>())));
            return list;
        },
        events.Sink());
    auto call = [&](int id, VariantList args = {}) {
        Variant out;
        EXPECT_EQ(engine.Invoke(id, platform::InvokeKind::Method, args, &out),
                  platform::InvokeStatus::Ok)
            << id;
        return out;
    };
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

}  // namespace
