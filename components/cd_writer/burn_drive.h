// Real recorders, as the CD writer needs them: a small interface of our own over the burning
// library (libburn_drive.h implements it), so that the event sequence, the error mapping and the
// abort of a real write can be tested against a fake drive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/cd_writer/cd_audio.h"
#include "components/cd_writer/recorder.h"

namespace cd_writer {

enum class MediaStatus { None, Blank, Appendable, Full, Unsuitable };

// What a failed command reported: the SCSI sense key with its additional code and qualifier
// when there were any (-1 otherwise), a time-out, and the library's text.
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

    // Takes the drive for this program; false when it is busy or gone.
    virtual bool Grab() = 0;
    virtual MediaStatus Media() = 0;
    // Sectors left on the disc; 0 when unknown.
    virtual int64_t FreeSectors() = 0;
    // Highest write speed of drive and disc in kB/s; 0 when unknown.
    virtual int MaxWriteSpeedKbs() = 0;
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

// A recorder over one real drive.
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

    // How often the write's progress is read.
    void SetPollInterval(int ms) { pollMs_ = ms; }

  private:
    std::unique_ptr<IBurnDrive> drive_;
    bool grabbed_ = false;
    int pollMs_ = 100;
};

}  // namespace cd_writer
