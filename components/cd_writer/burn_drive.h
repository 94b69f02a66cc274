// Real recorders, as the CD writer needs them: a small interface of our own over the burning
// library (libburn_drive.h implements it), so that the event sequence, the error mapping and the
// abort of a real write can be tested against a fake drive.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/cd_writer/cd_audio.h"
#include "components/cd_writer/recorder.h"

namespace cd_writer {

// Unready: the drive has not made out the disc yet (it may still be spinning up).
enum class MediaStatus { None, Unready, Blank, Appendable, Full, Unsuitable };

// What a failed command reported: the SCSI sense key with its additional code and qualifier
// when there were any (-1 otherwise), a time-out, and the library's text. The first failure of
// an operation carries its cause; later ones are its consequences.
struct BurnFailure {
    int senseKey = -1;
    int asc = -1;
    int ascq = -1;
    bool timedOut = false;
    std::string text;
};

struct BurnTrack {
    int64_t sectors = 0;
    TrackText text;
    // Gives the track's CD audio, exactly sectors * 2352 bytes in all: up to `max` bytes, 0 at
    // the end, -1 on a failure. Called on the library's feeding thread, one track after another.
    // A failure, or an end before all the bytes, ends the write: the drive never pads a track.
    std::function<long(uint8_t* out, size_t max)> read;
};

struct BurnJob {
    std::vector<BurnTrack> tracks;
    bool simulate = false;
    bool underrunProof = false;
    int speedKbs = 0;  // 0: the drive's best
};

enum class BurnPhase { Idle, Preparing, Writing, ClosingTrack, ClosingSession };

struct BurnProgress {
    BurnPhase phase = BurnPhase::Idle;
    int track = 0;       // 0-based track being written
    int64_t sector = 0;  // sectors of that track written
};

class IBurnDrive {
  public:
    virtual ~IBurnDrive() = default;
    virtual std::string Vendor() const = 0;
    virtual std::string Product() const = 0;
    virtual std::string Address() const = 0;

    // Takes the drive for this program (which locks its tray) and looks at the disc as it is
    // now; false when it is busy or gone. Everything below but the three texts needs it.
    virtual bool Grab() = 0;
    // Gives the drive back, tray free. Never while a write runs.
    virtual void Release() = 0;
    // The disc's state; each call after Unready asks the drive again.
    virtual MediaStatus Media() = 0;
    // Sectors left on the disc; 0 when unknown.
    virtual int64_t FreeSectors() = 0;
    // The write speeds of drive and disc in kB/s (1000 bytes a second), as the drive lists them.
    virtual std::vector<int> WriteSpeedsKbs() = 0;
    // Whether the drive says it has buffer-underrun protection.
    virtual bool SupportsUnderrunProof() = 0;

    // Starts the write and returns; the drive writes on its own. False with `why` when the
    // drive refuses the job.
    virtual bool StartWrite(const BurnJob& job, BurnFailure* why) = 0;
    virtual BurnProgress Progress() = 0;
    virtual void Cancel() = 0;
    // Once Progress() is Idle again: true when everything was written well, else `why`.
    virtual bool Finish(BurnFailure* why) = 0;
};

class IBurnLibrary {
  public:
    virtual ~IBurnLibrary() = default;
    // The drives that can write CDs.
    virtual std::vector<std::unique_ptr<IBurnDrive>> Scan() = 0;
};

// 1x of an audio CD in kB/s (75 sectors of 2352 bytes a second).
inline constexpr double kCdSpeedKbs = 176.4;

// The device-error code (1000-1053) closest to what the drive reported.
int32_t DeviceErrorCode(const BurnFailure& failure);

// A speed in kB/s as whole "x" units of an audio CD, to the nearest (8467 kB/s is 48x).
int SpeedX(int kbs);

// A recorder over one real drive. The drive is held only while a media check or a write runs,
// so its tray stays free while the host waits and every check sees the disc that is in it now.
class BurnRecorder : public IRecorder {
  public:
    explicit BurnRecorder(std::unique_ptr<IBurnDrive> drive);

    std::string Text1() const override;
    std::string Text2() const override;
    std::string Text3() const override;
    bool Select() override;
    int MaxWriteSpeed() override;
    bool HasWritableMedia() override;
    int32_t DiscUsage() override;
    bool IsBurnProofSupported() override;
    void Write(WriteSession& session) override;

    // How often the write's progress is read, and how long to wait before asking a drive again
    // about a disc it has not made out yet.
    void SetPollInterval(int ms) { pollMs_ = ms; }
    void SetUnreadyWait(int ms) { unreadyWaitMs_ = ms; }

  private:
    // The disc's state, asked again a few times while the drive is not ready; the drive must be
    // held.
    MediaStatus SettledMedia();
    // The disc's state from a check of its own, or from one made a moment ago.
    MediaStatus CheckMedia();
    // The speed in kB/s to ask the drive for `x`: its own listed speed of that x, else x rounded up.
    int SpeedKbs(int x) const;

    std::unique_ptr<IBurnDrive> drive_;
    bool selected_ = false;
    std::vector<int> speedsKbs_;
    bool underrunProof_ = false;
    MediaStatus lastMedia_ = MediaStatus::None;
    std::chrono::steady_clock::time_point lastCheck_{};
    int pollMs_ = 100;
    int unreadyWaitMs_ = 500;
};

}  // namespace cd_writer
