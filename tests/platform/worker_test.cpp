#include "platform/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(Workers, RunsTheJobOnItsOwnThreadAndJoinsIt) {
    std::atomic<bool> done{false};
    std::atomic<bool> otherThread{false};
    const auto caller = std::this_thread::get_id();
    platform::Workers workers;
    ASSERT_TRUE(workers.Start("test job", [&] {
        otherThread = std::this_thread::get_id() != caller;
        done = true;
    }));
    ASSERT_TRUE(workers.WaitIdle(5s));
    EXPECT_TRUE(done);
    EXPECT_TRUE(otherThread);
    EXPECT_EQ(workers.Running(), 0);
    EXPECT_FALSE(workers.Start("empty", {}));
}

TEST(Workers, CountsRunningJobsAndWaitsWithATimeLimit) {
    std::atomic<bool> release{false};
    platform::Workers workers;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(workers.Start("waiting job with a long name", [&] {
            while (!release) std::this_thread::sleep_for(1ms);
        }));
    }
    EXPECT_EQ(workers.Running(), 3);
    EXPECT_FALSE(workers.WaitIdle(20ms));
    release = true;
    EXPECT_TRUE(workers.WaitIdle(5s));
    EXPECT_EQ(workers.Running(), 0);
}

TEST(Workers, AnEscapingErrorEndsOnlyThatJob) {
    platform::Workers workers;
    ASSERT_TRUE(workers.Start("throwing", [] { throw std::runtime_error("invalid file"); }));
    ASSERT_TRUE(workers.Start("throwing", [] { throw 7; }));
    std::atomic<bool> ran{false};
    ASSERT_TRUE(workers.Start("after", [&] { ran = true; }));
    EXPECT_TRUE(workers.WaitIdle(5s));
    EXPECT_TRUE(ran);
}

// The owner's end stops the jobs through their stop actions and joins them: what the job holds
// is released before the set is gone, and a job without a stop action is waited for.
TEST(Workers, DestructionStopsAndJoinsEveryJob) {
    auto held = std::make_shared<int>(1);
    std::atomic<bool> stopped{false};
    std::atomic<bool> slowDone{false};
    {
        platform::Workers workers;
        ASSERT_TRUE(workers.Start(
            "endless",
            [&stopped, held] {
                while (!stopped) std::this_thread::sleep_for(1ms);
            },
            [&stopped] { stopped = true; }));
        ASSERT_TRUE(workers.Start("slow", [&slowDone] {
            std::this_thread::sleep_for(50ms);
            slowDone = true;
        }));
        EXPECT_EQ(held.use_count(), 2);
    }
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(slowDone);
    EXPECT_EQ(held.use_count(), 1);
}

// A job that waits for the owner's thread (a question, a progress call) finishes while the owner
// joins, as long as the owner serves such calls in its pump; the stop actions of finished jobs
// are not called again.
TEST(Workers, StopAndJoinServesTheOwnersThreadMeanwhile) {
    platform::Workers workers;
    std::atomic<bool> asked{false};
    std::atomic<bool> answered{false};
    int stopsOfTheFinishedJob = 0;
    ASSERT_TRUE(workers.Start(
        "quick", [] {}, [&] { ++stopsOfTheFinishedJob; }));
    ASSERT_TRUE(workers.WaitIdle(5s));
    ASSERT_TRUE(workers.Start("asks", [&] {
        asked = true;
        while (!answered) std::this_thread::sleep_for(1ms);
    }));
    int pumped = 0;
    workers.StopAndJoin([&] {
        ++pumped;
        if (asked) answered = true;
    });
    EXPECT_TRUE(answered);
    EXPECT_GT(pumped, 0);
    EXPECT_EQ(workers.Running(), 0);
    EXPECT_EQ(stopsOfTheFinishedJob, 0);
    // The set takes new jobs after a join.
    std::atomic<bool> again{false};
    ASSERT_TRUE(workers.Start("again", [&] { again = true; }));
    workers.StopAndJoin();
    EXPECT_TRUE(again);
}

}  // namespace
