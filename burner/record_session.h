// The recording sequence of the recording dialog without its window: the checks and calls that
// start a write through the CD-writer control, and what each of the control's events means for
// whoever follows the write (status text, the two percentages, the write's end). The dialog and
// the command line's burn both go through it, so they write alike.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "burner/cd_writer_x.h"
#include "platform/control_host.h"

namespace burner {

struct RecordOptions {
    bool test = false;        // simulate: the events of a write, nothing written
    bool cacheFiles = false;  // "Cache/Decode Files Locally"
    bool burnProof = false;   // "Use Burn Proof", used only where the recorder offers it
};

enum class StartOutcome {
    Started,          // the write runs; its events follow
    NoDevice,         // no usable recorder chosen
    NoWritableMedia,  // no writable disc in the recorder
    DiscNotEmpty,     // the disc already holds something
    GaveUp,           // a project file was refused and not replaced
    NotStarted,       // the control refused to start
};

// The message the dialog shows for an outcome; empty for Started and GaveUp (the caller names
// the refused file).
std::string StartOutcomeMessage(StartOutcome outcome);

// Asked when the control refuses the project file `path` (track `index`, from 0): a replacement
// file for this write, or nullopt to give up.
using RefusedTrackHandler =
    std::function<std::optional<std::string>(int index, const std::string& path)>;

// The start sequence of Test and Burn: the recorder and disc checks, the project's files (a
// refused one goes to `onRefused`; when it is not replaced or its replacement is refused too,
// the outcome is GaveUp and *refusedPath names the project's file), the write's properties and
// the start. `selectedDevice` is the chosen recorder's position, -1 for none. `titles` are the
// titles the project shows for its files (same order; may be shorter): each becomes its track's
// CD-Text title, the song's artist its performer. A replacement file keeps its own title.
StartOutcome StartRecording(CCDWriterXP& writer, int selectedDevice,
                            const std::vector<std::string>& paths,
                            const std::vector<std::string>& titles, const RecordOptions& options,
                            const RefusedTrackHandler& onRefused, std::string* refusedPath);

// What one event of a write changes.
struct RecordUpdate {
    enum class Phase {
        None,       // the write goes on
        Writing,    // the write has begun (the writing state is entered)
        Complete,   // the write ended well
        Cancelled,  // the write was aborted
        Failed,     // a write error ended it; `message` tells which
    };
    Phase phase = Phase::None;
    std::string status;     // the new status text; empty when it stays
    int trackPercent = -1;  // the new positions of the track and total bars; -1 when they stay
    int totalPercent = -1;
    int cachingPercent = -1;  // how far the track being cached is; -1 for other events
    std::string message;      // the write-error text of a failed write
};

// Follows the events of one write of `trackCount` tracks, keeping the sizes that the caching
// and track events announce.
class RecordEventFollower {
  public:
    explicit RecordEventFollower(int trackCount) : trackCount_(trackCount) {}
    RecordUpdate OnEvent(int dispatchId, const platform::VariantList& args);

  private:
    int trackCount_;
    int32_t trackSize_ = 0;
    int16_t cacheTrack_ = 0;
    int32_t cacheSize_ = 0;
};

}  // namespace burner
