#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "components/cd_writer/burn_drive.h"
#include "components/cd_writer/cd_writer_dispids.h"

namespace cd_writer {
namespace {

using platform::Variant;
namespace code = device_error;

bool Contains(const std::string& text, const char* part) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(part) != std::string::npos;
}

constexpr int kUnreadyTries = 6;
// A media check this recent answers the next one (the start sequence asks twice in a row).
constexpr auto kCheckKept = std::chrono::seconds(2);

// Holds the drive for one operation and gives it back at the end of the scope.
class DriveHold {
  public:
    explicit DriveHold(IBurnDrive& drive) : drive_(drive), held_(drive.Grab()) {}
    ~DriveHold() { Release(); }
    DriveHold(const DriveHold&) = delete;
    DriveHold& operator=(const DriveHold&) = delete;
    bool held() const { return held_; }
    void Release() {
        if (held_) drive_.Release();
        held_ = false;
    }

  private:
    IBurnDrive& drive_;
    bool held_;
};

}  // namespace

int32_t DeviceErrorCode(const BurnFailure& f) {
    if (f.timedOut) return code::kTimeout;
    switch (f.asc) {
        case 0x3A:
            return code::kNoDisc;
        case 0x04:
            return code::kNotReady;
        case 0x21:
            return code::kPastEnd;
        case 0x0C:
            return f.ascq == 0x09 ? code::kUnderrun : code::kWriteUnknown;
        case 0x73:
            if (f.ascq == 0x03) return code::kPowerCalibrationFlaw;
            return code::kPowerCalibrationFull;
        case 0x20:
            return code::kInvalidCommand;
        case 0x24:
            return code::kInvalidField;
        case 0x26:
            return 1025;  // a parameter had an invalid value
        case 0x1A:
            return 1018;  // parameter list length
        case 0x29:
            return code::kBusReset;
        case 0x30:
            if (f.ascq == 0x01) return 1029;  // format not recognised
            if (f.ascq == 0x02) return 1030;  // format not compatible
            if (f.ascq == 0x05) return 1032;  // cannot write this format
            return code::kIncompatibleDisc;
        case 0x11:
            return code::kDiscUnreadable;
        case 0x02:
            return code::kPositioning;
        case 0x09:
            return code::kTracking;
        case 0x47:
        case 0x48:
            return code::kTransfer;
        default:
            break;
    }
    switch (f.senseKey) {
        case 0x02:
            return code::kNotReady;
        case 0x03:
            return code::kWriteUnknown;  // medium error
        case 0x04:
            return code::kDriveFailure;  // hardware error
        case 0x05:
            return code::kParameterNotSupported;
        case 0x06:
            return code::kBusReset;  // unit attention
        case 0x0B:
            return code::kAbnormalIo;
        default:
            break;
    }
    if (Contains(f.text, "underrun")) return code::kUnderrun;
    if (Contains(f.text, "no medium") || Contains(f.text, "no disc")) return code::kNoDisc;
    if (Contains(f.text, "timeout") || Contains(f.text, "timed out")) return code::kTimeout;
    return code::kWriteUnknown;
}

int SpeedX(int kbs) { return kbs > 0 ? static_cast<int>(std::lround(kbs / kCdSpeedKbs)) : 0; }

BurnRecorder::BurnRecorder(std::unique_ptr<IBurnDrive> drive) : drive_(std::move(drive)) {}

std::string BurnRecorder::Text1() const { return drive_->Vendor(); }
std::string BurnRecorder::Text2() const { return drive_->Product(); }
std::string BurnRecorder::Text3() const { return "(" + drive_->Address() + ")"; }

bool BurnRecorder::Select() {
    DriveHold hold(*drive_);
    selected_ = hold.held();
    if (!selected_) return false;
    speedsKbs_ = drive_->WriteSpeedsKbs();
    underrunProof_ = drive_->SupportsUnderrunProof();
    lastMedia_ = SettledMedia();
    lastCheck_ = std::chrono::steady_clock::now();
    return true;
}

int BurnRecorder::MaxWriteSpeed() {
    if (!selected_ || speedsKbs_.empty()) return 0;
    return SpeedX(*std::max_element(speedsKbs_.begin(), speedsKbs_.end()));
}

int BurnRecorder::SpeedKbs(int x) const {
    if (x <= 0) return 0;
    for (int kbs : speedsKbs_)
        if (SpeedX(kbs) == x) return kbs;
    return static_cast<int>(std::ceil(x * kCdSpeedKbs));
}

MediaStatus BurnRecorder::SettledMedia() {
    MediaStatus media = drive_->Media();
    for (int i = 0; media == MediaStatus::Unready && i < kUnreadyTries; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(unreadyWaitMs_));
        media = drive_->Media();
    }
    return media == MediaStatus::Unready ? MediaStatus::None : media;
}

MediaStatus BurnRecorder::CheckMedia() {
    if (!selected_) return MediaStatus::None;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastCheck_ > kCheckKept) {
        DriveHold hold(*drive_);
        lastMedia_ = hold.held() ? SettledMedia() : MediaStatus::None;
        lastCheck_ = std::chrono::steady_clock::now();
    }
    return lastMedia_;
}

bool BurnRecorder::HasWritableMedia() { return CheckMedia() == MediaStatus::Blank; }

int32_t BurnRecorder::DiscUsage() {
    const MediaStatus media = CheckMedia();
    return media == MediaStatus::Appendable || media == MediaStatus::Full ? 1 : 0;
}

bool BurnRecorder::IsBurnProofSupported() { return selected_ && underrunProof_; }

void BurnRecorder::Write(WriteSession& session) {
    session.Fire(event::kDiscPreparing);
    if (!session.PrepareTracks()) return;
    // The next media check asks the drive again: this write changes the disc.
    lastCheck_ = {};
    // The drive is given back before every ending: a host may check the disc from its handler.
    // It is held for the capacity check and then for the write itself, not while caching.
    int64_t free = 0;
    {
        DriveHold hold(*drive_);
        if (!hold.held()) {
            session.Error(write_error::kDevice, device_error::kNotReady);
            return;
        }
        free = drive_->FreeSectors();
    }
    if (free > 0 && session.totalSectors() > free) {
        session.Error(write_error::kDevice, device_error::kPastEnd);
        return;
    }
    if (session.options().cacheFiles && !session.CacheTracks()) return;

    const auto& tracks = session.tracks();
    // The first track whose audio failed or ended early; -1 while every one gave its bytes.
    auto failedTrack = std::make_shared<std::atomic<int>>(-1);
    BurnJob job;
    for (size_t i = 0; i < tracks.size(); ++i) {
        int32_t kind = file_error::kRead;
        std::shared_ptr<PcmReader> reader = session.OpenTrack(i, &kind);
        if (!reader) {
            session.FailFile(kind, tracks[i].path);
            return;
        }
        auto left = std::make_shared<int64_t>(tracks[i].bytes());
        const int index = static_cast<int>(i);
        job.tracks.push_back({tracks[i].sectors, tracks[i].text,
                              [reader, left, failedTrack, index](uint8_t* out, size_t max) -> long {
                                  const size_t want = static_cast<size_t>(
                                      std::min<int64_t>(*left, static_cast<int64_t>(max)));
                                  if (want == 0) return 0;
                                  const long n = reader->Read(out, want);
                                  if (n <= 0 || static_cast<size_t>(n) > want) {
                                      int none = -1;
                                      failedTrack->compare_exchange_strong(none, index);
                                      return -1;
                                  }
                                  *left -= n;
                                  return n;
                              }});
    }
    job.simulate = session.options().test;
    job.underrunProof = session.options().burnProof && underrunProof_;
    job.speedKbs = SpeedKbs(session.options().speed);

    DriveHold hold(*drive_);
    if (!hold.held()) {
        session.Error(write_error::kDevice, device_error::kNotReady);
        return;
    }
    BurnFailure why;
    if (!drive_->StartWrite(job, &why)) {
        hold.Release();
        session.Error(write_error::kDevice, DeviceErrorCode(why));
        return;
    }

    // The drive's progress, turned into the track events in disc order.
    int open = -1;  // the track whose TrackPreparing was fired and TrackClosing was not
    bool sessionClosing = false;
    bool cancelled = false;
    auto closeUpTo = [&](int last) {
        // Fires the events of every track up to `last` that the drive went through.
        while (open < last) {
            if (open >= 0) {
                const auto number = static_cast<int32_t>(open + 1);
                session.Fire(
                    event::kTrackProgress,
                    {Variant(number), Variant(int32_t(tracks[open].bytes())), Variant(int32_t{0})});
                session.Fire(event::kTrackClosing, {Variant(number)});
            }
            ++open;
            if (open < static_cast<int>(tracks.size()))
                session.Fire(event::kTrackPreparing,
                             {Variant(int32_t(open + 1)), Variant(int32_t(tracks[open].bytes()))});
        }
    };
    bool feedStopped = false;
    for (;;) {
        if (session.Aborted() && !cancelled) {
            cancelled = true;
            drive_->Cancel();
        }
        // A track that cannot be read to its end stops the write rather than leave a gap.
        if (failedTrack->load() >= 0 && !feedStopped && !cancelled) {
            feedStopped = true;
            drive_->Cancel();
        }
        const BurnProgress p = drive_->Progress();
        if (p.phase == BurnPhase::Idle) break;
        if (p.phase == BurnPhase::Writing || p.phase == BurnPhase::ClosingTrack) {
            const int track = std::clamp(p.track, 0, static_cast<int>(tracks.size()) - 1);
            if (track > open || open < 0) closeUpTo(track);
            if (p.phase == BurnPhase::Writing) {
                const int64_t written = std::min(p.sector * kCdFrameBytes, tracks[open].bytes());
                session.Fire(
                    event::kTrackProgress,
                    {Variant(int32_t(open + 1)), Variant(int32_t(written)), Variant(int32_t{0})});
            }
        } else if (p.phase == BurnPhase::ClosingSession && !sessionClosing) {
            closeUpTo(static_cast<int>(tracks.size()));
            sessionClosing = true;
            session.Fire(event::kSessionClosing);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs_));
    }
    const bool wroteWell = drive_->Finish(&why);
    hold.Release();
    if (cancelled || session.Aborted()) {
        session.Cancelled();
        return;
    }
    if (const int failed = failedTrack->load(); failed >= 0) {
        session.FailFile(file_error::kRead, tracks[static_cast<size_t>(failed)].path);
        return;
    }
    if (!wroteWell) {
        session.Error(write_error::kDevice, DeviceErrorCode(why));
        return;
    }
    closeUpTo(static_cast<int>(tracks.size()));
    if (!sessionClosing) session.Fire(event::kSessionClosing);
    session.Fire(event::kDiscClosing);
    session.Complete();
}

}  // namespace cd_writer
