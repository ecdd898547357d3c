// A shortcut's deferred action: the box that waits for it and the one-shot
// 10 ms thread timer that runs it after the current paint. While a box
// waits, the same shortcut does nothing in any box. UI thread only.
#pragma once

#include <windows.h>

#include "box/BoxRuntime.h"

class PendingBoxTimer
{
public:
    explicit PendingBoxTimer(TIMERPROC procedure) : procedure_(procedure) {}
    PendingBoxTimer(const PendingBoxTimer&) = delete;
    PendingBoxTimer& operator=(const PendingBoxTimer&) = delete;

    // Fills the slot and arms the timer.
    void Arm(const BoxWindowPtr& box)
    {
        box_ = box;
        if (timer_)
            KillTimer(nullptr, timer_);
        timer_ = SetTimer(nullptr, 0, 10, procedure_);
    }
    // In the timer procedure: stops the timer and empties the slot; the
    // waiting box, or null.
    BoxWindowPtr Take(UINT_PTR timerId)
    {
        KillTimer(nullptr, timerId);
        if (timerId == timer_)
            timer_ = 0;
        BoxWindowPtr box = std::move(box_);
        box_.reset();
        return box;
    }
    const BoxWindowPtr& Pending() const { return box_; }
    void Clear() { box_.reset(); }

private:
    TIMERPROC procedure_;
    UINT_PTR timer_ = 0;
    BoxWindowPtr box_;
};
