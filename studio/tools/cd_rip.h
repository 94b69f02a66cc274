// A rip run of the CD ripper, apart from its window: the ticked tracks of the track list are read
// chunk by chunk into a WAV file and, when ripping to MP3, encoded into "track%02d.mp3" files
// (or "01 - Title.mp3"; for the command line's WAV rip kept as "track%02d.wav" files), tagged
// before they take their names. The run talks to its window only through IRipWindow, so tests
// and the command line run it without one.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "media/tags.h"
#include "studio/tools/cd_drives.h"
#include "studio/tools/disc_metadata.h"

namespace studio {

// Frames read at a time, and how many chunks pass between two status reports.
inline constexpr uint32_t kChunkFrames = 26;
inline constexpr int kStatusEveryChunks = 5;

// Answers of the read-error question.
inline constexpr int kConfirmYes = 6;
inline constexpr int kConfirmNo = 7;
inline constexpr int kConfirmAll = 1144;

// CdToWav is the command line's: each track is read into a file beside its "track%02d.wav" in
// the output folder and renamed to that name once it was read.
enum class RipMode { Extract = 0, CdToMp3 = 1, CdToWav = 2 };

// The ripper's state in a session; the flags are shared by the window and the worker.
struct RipperState {
    RipMode mode = RipMode::CdToMp3;
    std::string outputFolder;  // with a trailing separator once a rip was started
    std::atomic<int> ripping{0};
    std::atomic<int> userStop{0};
    std::atomic<int> finished{1};
    std::atomic<int> ignoreAll{0};
    std::atomic<int> currentRow{0};
    // The window keeps and encodes what a track's reading left when the user answered "No" to
    // the read-error question; the command line keeps no part of such a track.
    bool keepFailedTracks = true;
};

// The WAV a track is read into: a file of the ripper's own when ripping to MP3 (the editor's
// current WAV stays as it is), a staging file when extracting, handed over by TakeExtractedTrack
// only once the track was read.
std::string RipWavPath(RipMode mode);
// Moves the extracted track into `currentWav`; false when there is none.
bool TakeExtractedTrack(const std::string& currentWav);

// The output file of a track at list row `position`: "<folder>track%02d.mp3" of position + 1,
// and the same name ending in ".wav" for the WAV rip.
std::string TrackMp3Path(const std::string& folder, int position);
std::string TrackWavPath(const std::string& folder, int position);

class RipTitles;
class Session;

// What one run rips, taken on the window's thread when Rip is pressed and handed to the worker
// whole: the worker reads nothing of the window's track list but the tracks' status cells, so
// the window may redraw, edit and refill its rows while the run goes on.
struct RipItem {
    int row = 0;      // the list row, whose status the run sets
    int number = 0;   // the track's number on the disc
    uint32_t start = 0;
    uint32_t length = 0;
    std::string fileName;  // in the output folder; "" when extracting
    media::SongTags tags;
};
struct RipPlan {
    CdDrive drive;
    RipMode mode = RipMode::CdToMp3;
    std::string outputFolder;  // with a trailing separator
    std::vector<RipItem> items;
};
// The plan for the ticked audio tracks of `tracks`: names by `naming`, tags from `titles`.
RipPlan MakeRipPlan(const CdDrive& drive, RipMode mode, const std::string& outputFolder,
                    const std::vector<CdTrack>& tracks, const RipTitles& titles,
                    RipNaming naming = RipNaming::TrackNumber);
// The same with the disc's CD-Text as the only titles: the plan of a rip without a look-up.
RipPlan MakeRipPlan(const CdDrive& drive, RipMode mode, const std::string& outputFolder,
                    const std::vector<CdTrack>& tracks);

// The names of the files that the plan's rip would replace: those already in its folder, in list
// order.
std::vector<std::string> RipOutputsInTheWay(const RipPlan& plan);
// The same for the "track%02d.mp3" names of the ticked audio tracks of `tracks`.
std::vector<std::string> RipOutputsInTheWay(const std::string& folder,
                                            const std::vector<CdTrack>& tracks);
// The question asked once before a rip replaces `names` (files of an earlier rip): Yes replaces
// them, No cancels the rip. At most five names are listed.
std::string RipReplaceQuestion(const std::vector<std::string>& names);

// The error question for a chunk that failed at `frame`.
std::string ReadErrorText(uint32_t frame, const ReadError& error);

class IRipWindow {
  public:
    virtual ~IRipWindow() = default;
    // A track's status changed (message 106), and the run has ended (message 104). Both may come
    // after the window is gone and then do nothing.
    virtual void PostTrackChanged(int row) = 0;
    virtual void PostRunEnded() = 0;
    // The encode-progress timer of the window (timer 5, 100 ms).
    virtual void StartEncodeTimer() = 0;
    virtual void StopEncodeTimer() = 0;
    // Asks the read-error question modally; kConfirmYes, kConfirmNo or kConfirmAll.
    virtual int Confirm(const std::string& text) = 0;
};

// The worker's whole run over the plan; sets the finished flag and posts the end at its end. An
// MP3 is encoded under a hidden name beside its own, tagged, flushed to the disk and only then
// renamed to its name. A track whose encoding, tagging (or, for the WAV rip, renaming) fails gets
// status 102.
void RipRun(Session& session, IRipWindow& window, const RipPlan& plan);
// The run over the ticked tracks of the session's track list with the current drive, the mode
// and the output folder of the ripper's state, and the disc's CD-Text as titles.
void RipRun(Session& session, IRipWindow& window);

// Reads one track into `wavPath` (header first, rewritten with the bytes written at the end),
// setting `status` as it goes. False when the file could not be created (status 102).
// The session's ripper state gives the stop and ignore-all flags, its working copy of the
// ripper's options the WAV's format.
bool ReadTrackToWav(Session& session, IRipWindow& window, const CdDrive& drive, const RipItem& item,
                    std::atomic<int>& status, const std::string& wavPath);
bool ReadTrackToWav(Session& session, IRipWindow& window, CdTrack& track, int row,
                    const std::string& wavPath);

}  // namespace studio
