// Process-wide state of the studio's conversion jobs: the busy flag that lets one job run at a
// time, and the path of the WAV that the wave editor shows (the current WAV).
#pragma once

#include <atomic>
#include <string>

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
void SetCurrentWavPath(const std::string& path);
