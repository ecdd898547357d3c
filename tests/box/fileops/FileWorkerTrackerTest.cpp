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

// A worker whose last step needs the UI thread (the shell's question over a
// box closing) ends while the quit waits for it, not at the wait's bound.
TEST(FileWorkerTracker, TheQuitsWaitAnswersWhatAWorkerSends)
{
    FileWorkerTracker tracker;
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    std::atomic<bool> started{false}, answered{false};
    std::thread worker([&] {
        FileWorkerTracker::Scope scope(tracker);
        started = true;
        while (!tracker.CancelRequested())
            std::this_thread::yield();
        SendMessageW(owner, WM_NULL, 0, 0);
        answered = true;
    });
    while (!started)
        std::this_thread::yield();
    EXPECT_TRUE(tracker.CancelAndWaitAnswering(std::chrono::seconds(10)));
    // A wait that did not answer leaves the worker sending.
    while (!answered) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    }
    worker.join();
    DestroyWindow(owner);
}
