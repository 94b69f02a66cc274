// One write of a disc as the recorders carry it out on the control's worker thread: the project's
// tracks, the options, the abort request and the events. Every step a recorder shares lives here:
// measuring the tracks, caching them in the scratch folder, reading their CD audio, and ending
// the write with exactly one of WriteComplete, WriteCancelled or WriteError.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/cd_writer/cd_audio.h"
#include "platform/control_host.h"

namespace cd_writer {

struct WriteOptions {
    bool test = false;        // simulate: fire the events, write nothing
    bool cacheFiles = false;  // decode every track to the scratch folder before writing
    bool burnProof = false;   // buffer-underrun protection (real recorders)
    int speed = 0;            // "x" units; 0 for the recorder's default
};

using EventSink = std::function<void(int eventId, platform::VariantList args)>;

struct PreparedTrack {
    std::string path;
    int64_t frames = 0;   // 44100 Hz sample frames the song decodes to
    int64_t sectors = 0;  // its place on the disc: frames padded to sectors and to 4 seconds
    TrackText text;       // the CD-Text the track carries
    std::string cachePath;  // the decoded track in the scratch folder, when cached
    int64_t bytes() const { return sectors * kCdFrameBytes; }
};

// CD audio of one track, exactly its bytes() long.
class PcmReader {
  public:
    virtual ~PcmReader() = default;
    // Up to `max` bytes; 0 at the end, -1 on a failure.
    virtual long Read(uint8_t* out, size_t max) = 0;
};

class WriteSession {
  public:
    // `texts`: the CD-Text the host gave per track (by index); an empty title or performer, or
    // a track without an entry, keeps the song's own (its tag's title or file name, its artist).
    WriteSession(std::vector<std::string> paths, WriteOptions options, EventSink sink,
                 const std::atomic<bool>* abort, std::vector<TrackText> texts = {});
    ~WriteSession();  // removes the cached tracks
    WriteSession(const WriteSession&) = delete;
    WriteSession& operator=(const WriteSession&) = delete;

    const WriteOptions& options() const { return options_; }
    const std::vector<PreparedTrack>& tracks() const { return tracks_; }
    int64_t totalSectors() const;
    bool Aborted() const { return abort_ && abort_->load(); }

    void Fire(int eventId, platform::VariantList args = {});
    // The three endings; only the first of them is fired.
    void Complete();
    void Cancelled();
    void Error(int32_t kind, int32_t code = 0);
    bool Ended() const { return ended_; }
    // A file that cannot be used: FileError, then WriteError of kind "file".
    void FailFile(int32_t fileErrorKind, const std::string& file);

    // Opens and measures every track. False when the write has ended (more tracks than a disc
    // holds, a file failed, or the user aborted).
    bool PrepareTracks();
    // Decodes every track into the scratch folder with CachingStarted / CachingProgress. False
    // when the write has ended.
    bool CacheTracks();
    // Reads track `index` (0-based): from its cached file or through a fresh decoder. Null with
    // `fileErrorKind` set when the file cannot be opened or decoded any more.
    std::unique_ptr<PcmReader> OpenTrack(size_t index, int32_t* fileErrorKind) const;

  private:
    std::vector<std::string> paths_;
    std::vector<TrackText> texts_;
    WriteOptions options_;
    EventSink sink_;
    const std::atomic<bool>* abort_;
    std::vector<PreparedTrack> tracks_;
    std::string cacheFolder_;
    bool ended_ = false;
};

}  // namespace cd_writer
