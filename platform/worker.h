// Worker threads that end themselves.
//
// A job is started on its own thread at normal priority and the thread ends when the job
// returns; nobody joins it. The process keeps count of the workers that run, so that the
// program's exit can wait for them: a worker still inside the job while the process tears down
// its static objects would touch destroyed state.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace platform {

// Starts `job` on a new thread named `name` (cut to 15 bytes, for debuggers and `top`).
// Returns false when no thread could be made; the job then never runs. An exception that
// escapes the job ends only that job: it is reported on standard error.
bool StartWorker(const std::string& name, std::function<void()> job);

// How many started workers have not yet returned from their job.
int RunningWorkers();

// Waits until no worker runs or `timeout` passed; returns whether none runs.
bool WaitForWorkers(std::chrono::milliseconds timeout);

// Ends the process with `exitCode` once the workers are done, waiting at most `timeout`. When
// workers still run after that, the process ends at once without running static destructors,
// which those workers might still use. Programs call it after asking their jobs to stop.
[[noreturn]] void ExitAfterWorkers(int exitCode,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace platform
