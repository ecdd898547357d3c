// Starting a file worker and ending its job: the one-job-at-a-time rule,
// the progress card's fade in and out, the throttled repaints and the
// progress routine of every copy.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "box/fileops/FileTransfer.h"

class KelmWindow;
struct CopyJob;
struct CopyJobItem;

// What a worker's copies report their progress to: the job's window,
// reached only through its animation manager.
struct RepaintTarget {
    std::shared_ptr<KelmWindow> window;
    HWND hwnd = nullptr;
};

// UI thread. Starts work on a detached thread unless another job holds the
// progress record; false when the job was dropped. The worker must end by
// calling EndFileJobWorker.
bool StartFileJob(const std::shared_ptr<KelmWindow>& box, std::function<void()> work);

// Worker thread, last step: marks the thread ended and posts the final
// completion (renumber and save the box's icons, release the record, fade
// the card out).
void EndFileJobWorker(const RepaintTarget& target);

// Any thread: posts a repaint of the window; with throttle only when more
// than 48 ms passed since the last posted one.
void PostRepaint(const RepaintTarget& target, bool throttle);

// The progress routine of the workers' CopyFileExW; its context is a
// RepaintTarget. Cancels when the job or the whole program is stopping.
DWORD CALLBACK CopyProgressRoutine(LARGE_INTEGER total, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                                   DWORD, HANDLE, HANDLE, LPVOID context);

// The options of a worker's copies: progress to the target's card, the
// job's cancel, a folder copied file by file shown half done.
TransferOptions WorkerTransferOptions(RepaintTarget& target);

// Whether the running job should stop (its cancel flag or the program's).
bool FileJobCancelled();

// Worker thread: runs step for each item of the job until a cancel, with
// the item's name on the progress card and a repaint before it. An
// unexpected error ends the loop and is logged with the job's name ("drop",
// "paste"); it never leaves the worker.
void ForEachJobItem(const CopyJob& job, const RepaintTarget& target, const wchar_t* jobName,
                    const std::function<void(const CopyJobItem&)>& step);

// Worker thread, before an item replaces what stands at its destination
// ("直接覆盖"): that is copied to the item's kept copy first, for undo to
// put it back. False when it could not be kept: the item must not go on.
bool KeepWhatItemReplaces(const CopyJobItem& item, const TransferOptions& options);
// Worker thread, after an item did not arrive: its kept copy goes unless
// part of a folder may already have been replaced (then it is all that is
// left of those files, and stays).
void DropKeptCopyOfFailedItem(const CopyJobItem& item);

// UI thread. Whether a running file job works for the box: it runs in the
// box, or in a box that shows the box's records or whose records the box
// shows (an integrated group). A box must not go away under it.
bool FileJobWorksFor(const std::shared_ptr<KelmWindow>& box);
