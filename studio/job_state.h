// The state the studio's conversion jobs share with the main window: the busy flag that lets one
// job run at a time, and the path of the WAV that the wave editor shows (the current WAV) with
// the tags of the song it was decoded from.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "media/tags.h"

namespace studio {

class JobState {
  public:
    // Whether a conversion job of the main window runs. Written by the job's worker thread, read
    // by the user-interface thread.
    bool Running() const { return running_.load() != 0; }

    // Takes the busy flag in one step. False when a job is already running; the caller then must
    // not start its job.
    bool TryStart();
    // Gives the flag back; called once at every end of a job that TryStart admitted.
    void End() { running_.store(0); }

    // The current WAV: empty until a sound has been opened. Safe to call from any thread.
    std::string CurrentWavPath() const;
    // `songTags`: the tags of the song the WAV was decoded from, whose title and artist the
    // ringtones saved from it carry; a WAV from elsewhere (a CD) has none.
    void SetCurrentWavPath(const std::string& path, const media::SongTags& songTags = {});
    media::SongTags CurrentSongTags() const;

  private:
    std::atomic<int> running_{0};
    mutable std::mutex mutex_;
    std::string currentWav_;
    media::SongTags songTags_;
};

}  // namespace studio
