// Worker threads that their owner joins.
//
// A job runs on a thread of its own at normal priority. The threads belong to a Workers set:
// whoever holds the set (a program run's session, one command of the command line) can ask every
// running job to stop and waits for them, and the set's destruction joins every thread it
// started, so no job outlives the state it was handed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

class Workers {
  public:
    Workers() = default;
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;
    // Asks the running jobs to stop and joins every thread.
    ~Workers();

    // Starts `job` on a new thread named `name` (cut to 15 bytes, for debuggers and `top`).
    // `stop`, when given, is what makes the job end early (a cancel flag it polls); RequestStop
    // calls it. Returns false when no thread could be made; the job then never runs. An
    // exception that escapes the job ends only that job: it is reported on standard error.
    bool Start(const std::string& name, std::function<void()> job, std::function<void()> stop = {});

    // How many started jobs have not yet returned.
    int Running() const;

    // Calls the stop action of every running job.
    void RequestStop();

    // Waits until no job runs or `timeout` passed; returns whether none runs. `pump`, when given,
    // is called about every 10 ms while waiting: a window's thread passes its event processing,
    // so that jobs waiting for that thread (a question, a progress update) can finish.
    bool WaitIdle(std::chrono::milliseconds timeout, const std::function<void()>& pump = {});

    // Asks the jobs to stop and waits, with `pump` as for WaitIdle, until every one has ended;
    // then joins their threads.
    void StopAndJoin(const std::function<void()>& pump = {});

  private:
    struct Entry {
        std::thread thread;
        std::function<void()> stop;
        bool done = false;
    };

    void JoinFinished();

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    std::list<Entry> entries_;
    int running_ = 0;
};

}  // namespace platform
