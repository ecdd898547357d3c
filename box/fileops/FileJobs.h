// Starting a file worker and ending its job: the one-job-at-a-time rule,
// the progress card's fade in and out, the throttled repaints and the
// progress routine of every copy.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "box/fileops/FileTransfer.h"
#include "box/fileops/UndoRecord.h"

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
// the card out). It runs however the job's window fared.
void EndFileJobWorker(const RepaintTarget& target);

// Any thread (a worker): the function runs on the UI thread, after what the
// job posted before, even when the job's window went meanwhile.
void PostFromJob(std::function<void()> callback);
// The same, given the box the job works for as it stands when the function
// runs (found by the box's id: a box made again has a new window), or null
// when no such box is left.
void PostToJobBox(std::function<void(const std::shared_ptr<KelmWindow>& box)> callback);
// UI thread, as a job's result lands: the box an item names as its owner,
// as it stands (the job's box made again has a new window).
std::shared_ptr<KelmWindow> StandingBoxOf(const std::shared_ptr<KelmWindow>& owner);

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
// The same; a step that answers false ends the loop before the next item.
void ForEachJobItemWhile(const CopyJob& job, const RepaintTarget& target, const wchar_t* jobName,
                         const std::function<bool(const CopyJobItem&)>& step);

// What an item's destination held before the item was written over it:
// every file (relative to it) with its identity, and every folder, so that
// an item that fails half way can give back what it replaced.
struct DestinationBefore {
    std::map<std::wstring, ItemIdentity> files;
    std::set<std::wstring> folders;
};

// Any thread. The files and folders under root, relative to it, each
// folder named before what it holds; links are listed as files and never
// entered.
MergedEntries ListTree(const std::wstring& root);

// Worker thread, before an item replaces what stands at its destination
// ("直接覆盖"): that is copied to the item's kept copy first, for undo to
// put it back, and what it held is noted in before. False when it could
// not be kept: the item must not go on.
bool KeepWhatItemReplaces(const CopyJobItem& item, const TransferOptions& options, DestinationBefore* before = nullptr);
// Worker thread, after an item did not arrive (failed or cancelled half
// way): whatever of its destination it replaced takes its place again from
// the kept copy, the copies it added of files still at the source go, and
// the kept copy goes once nothing in it is the only version. False when
// something could not be put back: the kept copy then went to the Recycle
// Bin (or, refused there, stays where recycledTo says) and the user must
// hear of it.
bool GiveBackWhatFailedItemReplaced(const CopyJobItem& item, const DestinationBefore& before,
                                    std::wstring* keptAt = nullptr);

// A destination that appeared after the job was planned is never written
// over: the first free numbered name beside it.
std::wstring FreeNameBeside(const std::wstring& destination);

// Why a file did not arrive, in a few words the user understands: the
// transfers' own refusals, else the system's code in the words of
// ErrorReasonText. With the path, a name that Windows keeps for a device
// ("aux.txt") is named as the reason.
std::wstring TransferErrorText(DWORD error);
std::wstring TransferErrorText(DWORD error, const std::wstring& path);

// An item that arrived (or, a link, did not) while part of it stayed at
// its source.
struct LeftBehindItem {
    std::wstring source;
    // Something of it arrived; false for a link, which is not taken at all.
    bool taken = false;
    bool move = false;
    // Why an entry that was copied could not be removed (TransferReport).
    DWORD removalError = 0;
    // Something of it stands both at its source and in the box; otherwise
    // what stayed is only at its source.
    bool keptTwice = false;
};

// What one job could not do as planned, told to the user once when the
// job has ended (UI thread).
struct JobTrouble {
    // Items (or entries of folders) that did not arrive, and why.
    std::vector<TransferFailure> failed;
    // Planned destination and the free name an item took instead, because
    // something appeared at the destination while the job ran.
    std::vector<std::pair<std::wstring, std::wstring>> renamed;
    // Kept copies of replaced files that could not be put back: where they
    // are now (the Recycle Bin when empty).
    std::vector<std::pair<std::wstring, std::wstring>> notGivenBack;
    // Items of which something stayed at the source: every one is named.
    std::vector<LeftBehindItem> leftBehind;
    bool Empty() const { return failed.empty() && renamed.empty() && notGivenBack.empty() && leftBehind.empty(); }
};

// Why part of a moved item stayed at its source: its links, or the reason
// the first entry copied could not be removed.
std::wstring LeftBehindReason(const LeftBehindItem& item);

// A line for each of the first few paths' names, and how many more.
std::wstring NameLinesOf(const std::vector<std::wstring>& paths);

// Items named in one line of a notice, “a”、“b”, each with an optional
// reason after it: the first few, then how many more. Thousands of them
// must not make a notice wider or taller than the screen.
class NameList
{
public:
    void Add(const std::wstring& path, const std::wstring& why = L"");
    bool empty() const { return count_ == 0; }
    std::wstring Text() const;

private:
    std::wstring text_;
    size_t count_ = 0;
};

// The one message of a job's trouble; at most a few names of each kind.
std::wstring JobTroubleText(const JobTrouble& trouble);
// Worker thread: an item whose destination was taken since the plan (and
// is not the plan's to replace) takes a free name beside it, which the
// trouble notes for the user.
void AvoidDestinationTakenSincePlan(CopyJobItem& item, JobTrouble& trouble);

// UI thread, as a batch of a job's items lands and the job's box is gone
// (nothing of the program should let it go while the job runs): the items
// stay in the folder they went into, and what "直接覆盖" replaced, which no
// undo record can bring back now, goes to the Recycle Bin or into view
// (the UI thread waits for the shell). The user is told both.
void LetGoOfItemsWithoutBox(const std::vector<CopyJobItem>& items);

// UI thread. Whether a file job holds the worker now.
bool FileJobRuns();

// UI thread. Whether a file job runs, so that undo, redo, rename, 新建 and
// paste, which would change the box's folder under it, must wait; when it
// runs the user is told that what they asked was not done (action: "撤销",
// "重做", ...) and true is returned.
bool RefusedWhileFileJobRuns(const wchar_t* action);

// UI thread. Whether a running file job works for the box: it runs in the
// box, or in a box that shows the box's records or whose records the box
// shows (an integrated group). A box must not go away under it.
bool FileJobWorksFor(const std::shared_ptr<KelmWindow>& box);
