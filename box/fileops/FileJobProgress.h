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
    // A copy job's progress over all its items (the card's bar): each item
    // weighs its bytes and a step of its own (JobItemWeight); the worker's
    // thread writes them, the fraction follows.
    std::atomic<uint64_t> jobWeight{0};
    std::atomic<uint64_t> doneWeight{0};
    std::atomic<uint64_t> itemWeight{0};
    // The current item is a folder: it shows half way, never the progress
    // of the files inside it.
    std::atomic<bool> itemIsFolder{false};

    void SetCurrentName(const std::wstring& path);
    std::wstring CurrentName();

    // Worker thread, copy jobs: the job's items weigh total; an item of
    // that weight starts; the share of the current item done; it ended.
    void StartJob(uint64_t total);
    void StartItem(uint64_t weight);
    void SetItemFraction(float itemFraction);
    void FinishItem();
};

extern FileJobProgress s_copyProgress;

// The text after the last "\" or "/" (the whole text without one).
std::wstring FileNameOfPath(const std::wstring& path);
// Whether a throttled repaint is due: strictly more than 48 ms since the
// last one, on the unsigned 32-bit tick (wraps safely).
bool RepaintDue(uint32_t now, uint32_t lastPost);
// What an item of a copy job weighs in its progress: its bytes, and a step
// of its own, so that a job of many small files moves with each file and
// one of large files with their bytes. A folder's bytes are not counted
// beforehand (its tree would be walked twice): it weighs one step.
uint64_t JobItemWeight(uint64_t bytes);
// The whole job's done fraction, 0 to 1: the items done, and the share
// itemFraction of the current one; 0 for a job that weighs nothing.
float JobFraction(uint64_t done, uint64_t item, float itemFraction, uint64_t total);
