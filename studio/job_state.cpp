#include "studio/job_state.h"

namespace studio {

bool JobState::TryStart() {
    int idle = 0;
    return running_.compare_exchange_strong(idle, 1);
}

std::string JobState::CurrentWavPath() const {
    std::lock_guard lock(mutex_);
    return currentWav_;
}

void JobState::SetCurrentWavPath(const std::string& path, const media::SongTags& songTags) {
    std::lock_guard lock(mutex_);
    currentWav_ = path;
    songTags_ = songTags;
}

media::SongTags JobState::CurrentSongTags() const {
    std::lock_guard lock(mutex_);
    return songTags_;
}

}  // namespace studio
