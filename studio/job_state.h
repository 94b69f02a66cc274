// Process-wide state of the studio's conversion jobs: the busy flag that lets one job run at a
// time, and the path of the WAV that the wave editor shows (the current WAV) with the tags of the
// song it was decoded from.
#pragma once

#include <atomic>
#include <string>

#include "media/tags.h"

// 1 while a conversion job of the main window runs, else 0. Written by the job's worker thread,
// read by the user-interface thread.
extern std::atomic<int> jobRunning;

// Sets jobRunning from 0 to 1 in one step. False when a job is already running; the caller then
// must not start its job.
bool TryStartJob();
// Sets jobRunning back to 0; called once at every end of a job that TryStartJob admitted.
void EndJob();

// The current WAV: empty until a sound has been opened. Safe to call from any thread.
std::string CurrentWavPath();
// `songTags`: the tags of the song the WAV was decoded from, whose title and artist the ringtones
// saved from it carry; a WAV from elsewhere (a CD) has none.
void SetCurrentWavPath(const std::string& path, const media::SongTags& songTags = {});
media::SongTags CurrentSongTags();
