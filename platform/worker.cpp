#include "platform/worker.h"

#include <pthread.h>

#include <cstdio>
#include <exception>
#include <system_error>
#include <vector>

namespace platform {

Workers::~Workers() { StopAndJoin(); }

bool Workers::Start(const std::string& name, std::function<void()> job,
                    std::function<void()> stop) {
    if (!job) return false;
    JoinFinished();
    std::unique_lock lock(mutex_);
    Entry& entry = entries_.emplace_back();
    entry.stop = std::move(stop);
    ++running_;
    try {
        // The thread waits for the lock, so that it finds its entry complete.
        entry.thread = std::thread([this, &entry, name, job = std::move(job)]() mutable {
            pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
            try {
                // The job (and what it holds) is released before it counts as done.
                std::function<void()> local = std::move(job);
                local();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "worker %s ended by an error: %s\n", name.c_str(), e.what());
            } catch (...) {
                std::fprintf(stderr, "worker %s ended by an unknown error\n", name.c_str());
            }
            std::lock_guard done(mutex_);
            entry.done = true;
            if (--running_ == 0) idle_.notify_all();
        });
    } catch (const std::system_error&) {
        --running_;
        entries_.pop_back();
        return false;
    }
    return true;
}

int Workers::Running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void Workers::RequestStop() {
    std::vector<std::function<void()>> stops;
    {
        std::lock_guard lock(mutex_);
        for (const Entry& entry : entries_) {
            if (!entry.done && entry.stop) stops.push_back(entry.stop);
        }
    }
    // Outside the lock: a stop action may take locks of its own job.
    for (const std::function<void()>& stop : stops) stop();
}

bool Workers::WaitIdle(std::chrono::milliseconds timeout, const std::function<void()>& pump) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (running_ == 0) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        if (!pump) {
            idle_.wait_until(lock, deadline, [this] { return running_ == 0; });
            continue;
        }
        idle_.wait_for(lock, std::min<std::chrono::steady_clock::duration>(
                                 std::chrono::milliseconds(10), deadline - now));
        lock.unlock();
        pump();
        lock.lock();
    }
}

void Workers::StopAndJoin(const std::function<void()>& pump) {
    RequestStop();
    while (!WaitIdle(std::chrono::seconds(1), pump)) {
        // A job that has not ended yet may have started a step its stop action missed.
        RequestStop();
    }
    JoinFinished();
}

void Workers::JoinFinished() {
    std::list<Entry> finished;
    {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end();) {
            auto next = std::next(it);
            if (it->done) finished.splice(finished.end(), entries_, it);
            it = next;
        }
    }
    for (Entry& entry : finished) {
        if (entry.thread.joinable()) entry.thread.join();
    }
}

}  // namespace platform
