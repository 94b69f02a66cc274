#include "studio/job_state.h"

#include <mutex>

std::atomic<int> jobRunning{0};

namespace {

std::mutex& CurrentWavMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& CurrentWav() {
    static std::string path;
    return path;
}

media::SongTags& CurrentTags() {
    static media::SongTags tags;
    return tags;
}

}  // namespace

bool TryStartJob() {
    int idle = 0;
    return jobRunning.compare_exchange_strong(idle, 1);
}

void EndJob() { jobRunning.store(0); }

std::string CurrentWavPath() {
    std::lock_guard lock(CurrentWavMutex());
    return CurrentWav();
}

void SetCurrentWavPath(const std::string& path, const media::SongTags& songTags) {
    std::lock_guard lock(CurrentWavMutex());
    CurrentWav() = path;
    CurrentTags() = songTags;
}

media::SongTags CurrentSongTags() {
    std::lock_guard lock(CurrentWavMutex());
    return CurrentTags();
}
