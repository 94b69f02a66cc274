#include "platform/worker.h"

#include <pthread.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {
namespace {

// Never destroyed: workers still running during static destruction may reach it.
struct Registry {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
};

Registry& Workers() {
    static Registry* registry = new Registry;
    return *registry;
}

// The safety net for programs that return from main without ExitAfterWorkers: the exit waits
// a moment for workers, and leaves before the static destructors when they keep running.
void WaitAtExit() {
    if (!WaitForWorkers(std::chrono::seconds(2))) {
        std::fflush(nullptr);
        std::_Exit(EXIT_FAILURE);
    }
}

void InstallExitHook() {
    static const bool installed = std::atexit(WaitAtExit) == 0;
    (void)installed;
}

void Finished() {
    Registry& registry = Workers();
    std::lock_guard lock(registry.mutex);
    --registry.running;
    if (registry.running == 0) registry.idle.notify_all();
}

}  // namespace

bool StartWorker(const std::string& name, std::function<void()> job) {
    if (!job) return false;
    InstallExitHook();
    Registry& registry = Workers();
    {
        std::lock_guard lock(registry.mutex);
        ++registry.running;
    }
    try {
        std::thread thread([name, job = std::move(job)]() mutable {
            pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
            try {
                // The job (and what it holds) is released before the worker counts as done.
                std::function<void()> local = std::move(job);
                local();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "worker %s ended by an error: %s\n", name.c_str(), e.what());
            } catch (...) {
                std::fprintf(stderr, "worker %s ended by an unknown error\n", name.c_str());
            }
            Finished();
        });
        thread.detach();
    } catch (const std::system_error&) {
        Finished();
        return false;
    }
    return true;
}

int RunningWorkers() {
    Registry& registry = Workers();
    std::lock_guard lock(registry.mutex);
    return registry.running;
}

bool WaitForWorkers(std::chrono::milliseconds timeout) {
    Registry& registry = Workers();
    std::unique_lock lock(registry.mutex);
    return registry.idle.wait_for(lock, timeout, [&] { return registry.running == 0; });
}

void ExitAfterWorkers(int exitCode, std::chrono::milliseconds timeout) {
    if (!WaitForWorkers(timeout)) {
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
    std::exit(exitCode);
}

}  // namespace platform
