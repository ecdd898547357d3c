// Answers the shell's questions of the test's own process as a user would,
// from a thread of its own, and counts them: a shell operation under Wine
// asks once before it recycles, so the count is how many operations ran.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "common/WindowTestSupport.h"

// How many questions were asked, and how many stood open at once.
class ShellQuestionCounter
{
public:
    explicit ShellQuestionCounter(WPARAM answer) : answer_(answer)
    {
        thread_ = std::thread([this] {
            while (!stop_) {
                Look();
                Sleep(2);
            }
        });
    }
    ~ShellQuestionCounter()
    {
        stop_ = true;
        thread_.join();
    }
    int Asked() const { return static_cast<int>(seen_.size()); }
    int MostAtOnce() const { return mostAtOnce_; }

private:
    void Look()
    {
        open_ = OpenShellQuestions();
        mostAtOnce_ = std::max(mostAtOnce_.load(), static_cast<int>(open_.size()));
        for (HWND window : open_) {
            seen_.insert(window);
            PostMessageW(window, WM_COMMAND, answer_, 0);
        }
    }
    WPARAM answer_;
    std::vector<HWND> open_;
    std::set<HWND> seen_;
    std::atomic<int> mostAtOnce_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
