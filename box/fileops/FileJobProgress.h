// The one progress record shared by the file workers and the box drawing:
// busy and cancel flags, the done fraction, the current file name and the
// display level of the progress card. The atomics and currentName (under
// its mutex) may be touched by any thread; displayLevel, displayAnimation
// and targetWindow by the UI thread only (a worker reads targetWindow only
// through the copy it was given at start).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class KelmWindow;

struct FileJobProgress {
    // A job owns the record from StartFileJob until its final completion
    // has run on the UI thread.
    std::atomic<bool> busy{false};
    std::atomic<bool> cancel{false};
    // The worker thread itself still runs (busy may outlive it until the
    // final completion is taken from the window's queue).
    std::atomic<bool> workerRunning{false};
    std::atomic<float> fraction{0.0f};
    std::wstring currentName;
    std::mutex mutex;
    double displayLevel = 0.0;
    int32_t displayAnimation = -1;
    std::shared_ptr<KelmWindow> targetWindow;
    // The id of the box the job works for: its results go to the box that
    // stands under that id when they land (UI thread).
    std::wstring targetBoxId;
    std::atomic<uint32_t> lastPostTick{0};

    void SetCurrentName(const std::wstring& path);
    std::wstring CurrentName();
};

extern FileJobProgress s_copyProgress;

// The text after the last "\" or "/" (the whole text without one).
std::wstring FileNameOfPath(const std::wstring& path);
// Whether a throttled repaint is due: strictly more than 48 ms since the
// last one, on the unsigned 32-bit tick (wraps safely).
bool RepaintDue(uint32_t now, uint32_t lastPost);
