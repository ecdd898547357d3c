#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "box/fileops/FileWorkerTracker.h"

TEST(FileWorkerTracker, QuitWaitsForARunningWorkerToStopCleanly)
{
    FileWorkerTracker tracker;
    std::atomic<bool> started{false};
    std::atomic<bool> finishedFile{false};
    std::thread worker([&] {
        FileWorkerTracker::Scope scope(tracker);
        started = true;
        while (!tracker.CancelRequested())
            std::this_thread::yield();
        finishedFile = true; // the worker completes (or rolls back) its file
    });
    while (!started)
        std::this_thread::yield();
    EXPECT_EQ(tracker.RunningCount(), 1);
    EXPECT_TRUE(tracker.CancelAndWait(std::chrono::seconds(10)));
    EXPECT_TRUE(finishedFile);
    EXPECT_EQ(tracker.RunningCount(), 0);
    worker.join();
}

TEST(FileWorkerTracker, WaitIsBoundedWhenAWorkerDoesNotStop)
{
    FileWorkerTracker tracker;
    auto scope = std::make_unique<FileWorkerTracker::Scope>(tracker);
    EXPECT_FALSE(tracker.CancelAndWait(std::chrono::milliseconds(20)));
    scope.reset();
    EXPECT_TRUE(tracker.CancelAndWait(std::chrono::milliseconds(0)));
}

TEST(FileWorkerTracker, AStopThatCouldNotWaitDoesNotCancelTheNextJob)
{
    FileWorkerTracker tracker;
    auto stuck = std::make_unique<FileWorkerTracker::Scope>(tracker);
    EXPECT_FALSE(tracker.CancelAndWait(std::chrono::milliseconds(20)));
    EXPECT_TRUE(tracker.CancelRequested()) << "the running worker is asked to stop";
    stuck.reset();
    FileWorkerTracker::Scope next(tracker);
    EXPECT_FALSE(tracker.CancelRequested());
}
