// The inside of the CD-access library: the drives it lists, an open disc with its table of
// contents, and the two ways frames are read (through the overlap- and jitter-correcting reader
// on a real drive, directly from a disc image).
#pragma once

#include <cdio/cdio.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "media/cd_frames.h"

namespace cd_access {

using media::kCdFrameBytes;
using media::kCdFramesPerSecond;

struct DriveInfo {
    std::string path;  // device node, or the description (.cue, .toc, .nrg) of a disc image
    std::string description;
    bool image = false;
};

// The machine's CD drives (libcdio's order), then one drive per image of `imageFolder`
// (disc_images::ListImages); at most `limit` in all.
std::vector<DriveInfo> ListDrives(const std::string& imageFolder, size_t limit);

struct TocTrack {
    int number = 0;
    int32_t start = 0;  // first frame (logical sector number)
    bool data = false;
    bool preemphasis = false;
    bool copyPermitted = false;
};

struct Toc {
    int first = 0;
    int last = 0;
    std::vector<TocTrack> tracks;  // first .. last
    int32_t leadOut = 0;           // the frame after the last track
};

// The 804-byte READ TOC layout: big-endian data length, first and last track, one 8-byte
// descriptor per track and the lead-out (number 0xAA) last, addresses in frames, big-endian.
std::vector<uint8_t> TocBytes(const Toc& toc);

// The disc identity of the free CD database: digit sums of the track start seconds, the playing
// time and the track count. The same layout always gives the same number.
uint32_t DiscId(const Toc& toc);

// Frames listed in a ".badframes" file: one frame number or "first-last" range a line; blank
// lines and lines starting with '#' are skipped.
using FrameRanges = std::vector<std::pair<int32_t, int32_t>>;
FrameRanges ReadFrameRanges(const std::string& path);

// Why a read failed: the status byte and the library's error number behind it.
struct ReadFailure {
    int status = 0;
    int error = 0;
};
// Error numbers (the sense keys of the drive's answer).
inline constexpr int kErrorNotReady = 2;
inline constexpr int kErrorMedium = 3;
inline constexpr int kErrorIllegalRequest = 5;

struct CdioDeleter {
    void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};
using CdioPtr = std::unique_ptr<CdIo_t, CdioDeleter>;

// Reads raw audio frames of an open disc into `out` (count * kCdFrameBytes bytes).
class FrameReader {
  public:
    virtual ~FrameReader() = default;
    virtual bool Read(int32_t first, int32_t count, uint8_t* out, ReadFailure& failure) = 0;
};

// Reads straight from the disc; frames listed in `unreadable` fail as a worn disc would.
std::unique_ptr<FrameReader> MakeDirectReader(CdIo_t* cdio, FrameRanges unreadable = {});
// Reads through the correcting reader: overlapping reads verified against each other, with at
// most `retries` re-reads of a frame before it counts as unreadable. Null when the disc cannot
// be opened for audio reading.
std::unique_ptr<FrameReader> MakeParanoiaReader(CdIo_t* cdio, int retries);

// One open drive.
struct ImageLayout;

class Disc {
  public:
    // Null when the drive cannot be opened; for a disc image `problem` then says why
    // ("disc image x.cue: the file 02.bin it names is missing").
    static std::unique_ptr<Disc> Open(const DriveInfo& drive, std::string* problem = nullptr);
    ~Disc();

    // False when there is no disc or its table of contents makes no sense.
    bool ReadToc(Toc& toc);
    bool ReadFrames(int32_t first, int32_t count, uint8_t* out, ReadFailure& failure);
    // CD-Text of the disc (track 0) or a track: field 0 title, 1 performer.
    std::optional<std::string> CdText(int track, int field);

  private:
    Disc() = default;
    int32_t LeadOut() const;
    CdioPtr cdio_;                        // a real drive
    std::unique_ptr<ImageLayout> image_;  // a disc image
    std::unique_ptr<FrameReader> reader_;
};

}  // namespace cd_access
