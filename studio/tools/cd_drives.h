// The studio's side of the CD-access library: the list of CD drives with their letters, reading
// a disc's table of contents into the track list, the disc identity that tells a changed disc,
// and reading one chunk of audio frames.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/cd_frames.h"

namespace studio {

using media::kCdFrameBytes;
using media::kCdFramesPerSecond;
inline constexpr size_t kMaxCdDrives = 8;
inline constexpr size_t kTocBytes = 804;

struct CdDrive {
    char letter = 0;  // 0 when no letter was found
    std::string description;
    std::array<uint8_t, 12> address{};  // 12, 1, host adapter, target, logical unit, zeros
    std::array<uint8_t, kTocBytes> toc{};
    uint32_t identity = 0;
};

// Track status values.
inline constexpr int kStatusNone = -1;
inline constexpr int kStatusRead = 100;
inline constexpr int kStatusCancelled = 101;
inline constexpr int kStatusError = 102;

struct CdTrack {
    CdTrack() = default;
    CdTrack(const CdTrack& other);
    CdTrack& operator=(const CdTrack& other);

    int position = 0;  // 1-based when built; the 0-based row once the list shows it
    std::string name;
    bool ticked = false;
    bool selected = false;
    uint32_t start = 0;   // first frame; 0 for a data track
    uint32_t length = 0;  // frames; 0 for a data track
    int seconds = 0;
    int number = 0;  // the track's number on the disc (for its CD-Text)
    // Written by the rip worker and by Stop on the window's thread.
    std::atomic<int> status{kStatusNone};

    bool audio() const { return length != 0; }
};

enum class DriveType { Unknown, NoRootDir, Removable, Fixed, Remote, CdRom, RamDisk };
// The type of the drive root "X:\" on this platform: C: is the fixed disk and the `cdDrives` CD
// drives take D:, E:, ... in the library's order.
DriveType DriveTypeOf(char letter, int cdDrives);
using DriveTypeQuery = std::function<DriveType(char letter)>;

// "%c: %s" of letter and description.
std::string DriveLabel(const CdDrive& drive);

// A TOC the track list can be built from: track numbers 1..99 in order, and start addresses that
// increase up to the lead-out.
bool TocMakesSense(const std::array<uint8_t, kTocBytes>& toc);

// The drive list, the track list of the current disc and the current drive (which survives
// closing the ripper), of one session.
struct CdLists {
    std::vector<CdDrive> drives;
    std::vector<CdTrack> tracks;
    int currentDrive = 0;

    // Rebuilds the drive list from the library and gives each drive its letter; returns the
    // count. Without `query` the platform's answer for the drives found is used.
    int EnumerateDrives(const DriveTypeQuery& query = {});
    // Reads the table of contents of drive `index` into the track list (refresh). False when it
    // could not be read, makes no sense (track numbers out of order or range, addresses that do
    // not increase) or holds no track; the list is then empty.
    bool RefreshTracks(int index);
    // Why drive `index` holds no readable disc, when the library can tell (a disc image that
    // cannot be read: "disc image x.cue: the file 02.bin it names is missing"); "" otherwise.
    std::string DriveProblem(int index) const;
    // The identity of the disc now in drive `index`, or -1 when its contents cannot be read.
    int64_t ReadDiscIdentity(int index) const;
    // The current drive; null when the index names none.
    const CdDrive* CurrentDrive() const;
};

// A read request with room for `frames` frames, in the library's layout.
class ReadRequest {
  public:
    explicit ReadRequest(uint32_t frames);
    bool ok() const { return !bytes_.empty(); }
    // Sets the first frame and count, calls the library up to three times; true once frames
    // were delivered.
    bool ReadChunk(int handle, uint32_t first, uint32_t count);
    const uint8_t* Delivered() const;
    uint32_t DeliveredBytes() const;

  private:
    std::vector<uint8_t> bytes_;
};

// An open drive for a series of calls; closed with the object.
class OpenDrive {
  public:
    explicit OpenDrive(const CdDrive& drive);
    ~OpenDrive();
    OpenDrive(const OpenDrive&) = delete;
    OpenDrive& operator=(const OpenDrive&) = delete;
    int handle() const { return handle_; }
    // CD-Text of the disc (track 0) or a track: field 0 title, 1 performer; "" when none.
    std::string CdText(int track, int field) const;

  private:
    int handle_;
};

// What the library says about the last failed read: its error number and the status byte.
struct ReadError {
    int libraryError = 0;
    int status = 0;
};
ReadError LastReadError();

}  // namespace studio
