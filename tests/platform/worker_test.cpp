#include "platform/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(Worker, RunsTheJobOnItsOwnThreadAndEndsItself) {
    std::atomic<bool> done{false};
    std::atomic<bool> otherThread{false};
    const auto caller = std::this_thread::get_id();
    ASSERT_TRUE(platform::StartWorker("test job", [&] {
        otherThread = std::this_thread::get_id() != caller;
        done = true;
    }));
    ASSERT_TRUE(platform::WaitForWorkers(5s));
    EXPECT_TRUE(done);
    EXPECT_TRUE(otherThread);
    EXPECT_EQ(platform::RunningWorkers(), 0);
}

TEST(Worker, CountsRunningWorkersAndWaitsWithATimeLimit) {
    std::atomic<bool> release{false};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(platform::StartWorker("waiting job with a long name", [&] {
            while (!release) std::this_thread::sleep_for(1ms);
        }));
    }
    EXPECT_EQ(platform::RunningWorkers(), 3);
    EXPECT_FALSE(platform::WaitForWorkers(20ms));
    release = true;
    EXPECT_TRUE(platform::WaitForWorkers(5s));
    EXPECT_EQ(platform::RunningWorkers(), 0);
}

TEST(Worker, AnEscapingErrorEndsOnlyThatJob) {
    ASSERT_TRUE(
        platform::StartWorker("throwing", [] { throw std::runtime_error("invalid file"); }));
    ASSERT_TRUE(platform::StartWorker("throwing", [] { throw 7; }));
    EXPECT_TRUE(platform::WaitForWorkers(5s));
    EXPECT_EQ(platform::RunningWorkers(), 0);
    EXPECT_FALSE(platform::StartWorker("empty", {}));
}

// The process exits while a worker is still inside its job: it must end with the given code
// instead of crashing in the static destructors.
TEST(WorkerDeathTest, ExitWhileAWorkerRuns) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::StartWorker("endless", [] {
                for (;;) std::this_thread::sleep_for(1ms);
            });
            platform::ExitAfterWorkers(3, 50ms);
        },
        testing::ExitedWithCode(3), "");
    EXPECT_EXIT(
        {
            platform::StartWorker("short", [] { std::this_thread::sleep_for(20ms); });
            platform::ExitAfterWorkers(4, 5s);
        },
        testing::ExitedWithCode(4), "");
}

}  // namespace
