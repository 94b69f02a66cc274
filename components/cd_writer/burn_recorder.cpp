#include <algorithm>
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

BurnRecorder::BurnRecorder(std::unique_ptr<IBurnDrive> drive) : drive_(std::move(drive)) {}

std::string BurnRecorder::Text1() const { return drive_->Vendor(); }
std::string BurnRecorder::Text2() const { return drive_->Product(); }
std::string BurnRecorder::Text3() const { return "(" + drive_->Address() + ")"; }

bool BurnRecorder::Select() {
    if (!grabbed_) grabbed_ = drive_->Grab();
    return grabbed_;
}

int BurnRecorder::MaxWriteSpeed() {
    if (!grabbed_) return 0;
    return static_cast<int>(std::floor(drive_->MaxWriteSpeedKbs() / kCdSpeedKbs));
}

bool BurnRecorder::HasWritableMedia() { return grabbed_ && drive_->Media() == MediaStatus::Blank; }

int32_t BurnRecorder::DiscUsage() {
    if (!grabbed_) return 0;
    const MediaStatus media = drive_->Media();
    return media == MediaStatus::Appendable || media == MediaStatus::Full ? 1 : 0;
}

bool BurnRecorder::IsBurnProofSupported() { return grabbed_ && drive_->SupportsUnderrunProof(); }

void BurnRecorder::Write(WriteSession& session) {
    session.Fire(event::kDiscPreparing);
    if (!session.PrepareTracks()) return;
    const int64_t free = drive_->FreeSectors();
    if (free > 0 && session.totalSectors() > free) {
        session.Error(write_error::kDevice, device_error::kPastEnd);
        return;
    }
    if (session.options().cacheFiles && !session.CacheTracks()) return;

    const auto& tracks = session.tracks();
    std::vector<std::shared_ptr<PcmReader>> readers;
    BurnJob job;
    for (size_t i = 0; i < tracks.size(); ++i) {
        int32_t kind = file_error::kRead;
        std::shared_ptr<PcmReader> reader = session.OpenTrack(i, &kind);
        if (!reader) {
            session.FailFile(kind, tracks[i].path);
            return;
        }
        job.tracks.push_back(
            {tracks[i].sectors, tracks[i].text,
             [reader](uint8_t* out, size_t max) { return reader->Read(out, max); }});
    }
    job.simulate = session.options().test;
    job.underrunProof = session.options().burnProof && drive_->SupportsUnderrunProof();
    job.speedKbs = static_cast<int>(std::lround(session.options().speed * kCdSpeedKbs));

    BurnFailure why;
    if (!drive_->StartWrite(job, &why)) {
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
    for (;;) {
        if (session.Aborted() && !cancelled) {
            cancelled = true;
            drive_->Cancel();
        }
        const BurnProgress p = drive_->Progress();
        if (p.phase == BurnPhase::Idle) break;
        if (p.phase == BurnPhase::Writing || p.phase == BurnPhase::ClosingTrack) {
            const int track = std::clamp(p.track, 0, static_cast<int>(tracks.size()) - 1);
            if (track > open || open < 0) closeUpTo(track);
            if (p.phase == BurnPhase::Writing) {
                const int64_t written = std::min(p.sector * kSectorBytes, tracks[open].bytes());
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
    if (cancelled || session.Aborted()) {
        session.Cancelled();
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
