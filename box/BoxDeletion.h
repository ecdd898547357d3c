// Deleting a storage box from its menu: the box alone, its files put back
// where they came from ("解散并归位"), or its folder sent to the Recycle Bin
// or removed for good. A folder is only ever removed when it is the box's
// own: never a drive root, the data folder, the box folder root or their
// parents, a known folder or another box's folder, and never through a
// link. UI thread only; a disband moves its files on the file worker.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "box/BoxFolderGuard.h"
#include "box/BoxRuntime.h"
#include "box/PutBackPlan.h"
#include "box/icons/IconRecord.h"
#include "ui/core/KelmOption.h"

// The menu's delete command: asks, runs the chosen file action, then
// deletes the box.
void ShowDeleteBoxDialog(const BoxWindowPtr& box);
// The choose-one popup of that command: runs the chosen option's action and
// tells whether one was chosen (false: cancelled). Tests replace it.
extern std::function<bool(HWND owner, std::vector<Brevin::KelmOption> options)> s_deleteBoxChoice;

// Whether the box's folder may be recycled or removed (see above). Another
// box's folder counts whether that box stands on the desktop or is a
// hidden box of the quick panel; a hidden box asks with its own id. A
// quick answer for the UI thread: the system's own folders count as at its
// last look, and the work that takes the folder away asks afresh.
bool MayRemoveBoxFolder(const BoxWindowPtr& box, const std::wstring& folder, const std::wstring& ownHiddenId = L"");
// A box whose folder the program made goes and leaves its files: they lie
// in the box root, where no other view shows them, so the user hears
// where they stay (a queued notice). Nothing is said of an empty folder,
// or of one that is not the box's own.
void TellFilesStayInBoxFolder(const BoxWindowPtr& box, const std::wstring& folder, const std::wstring& ownHiddenId = L"");
// The folders of every box (on the desktop or hidden), the default box
// folder and the data folder, resolved for one operation that brings
// entries into intoFolder (empty: none) or deletes or renames them.
// UI thread only.
BoxFolderGuard GuardOfBoxFolders(const std::wstring& intoFolder = L"");
// The box root and the folders of the standing boxes
// (on the desktop or hidden), for judging where a file put back by its
// path (归位, undo) may go (PutBack::HiddenHomeWhy). UI thread only.
PutBack::BoxPlaces PutBackPlaces();
// The same folders as read from the boxes and the stores (UI thread only),
// for a guard made on another thread: making it asks the disk.
struct GuardedFolders {
    std::vector<std::wstring> boxFolders;
    std::wstring intoFolder;
    ProgramFolders own;
    // Any thread.
    BoxFolderGuard Make() const { return BoxFolderGuard(boxFolders, intoFolder, own); }
};
GuardedFolders FoldersToGuard(const std::wstring& intoFolder);
// Whether path is one of those folders or a folder that holds one, or the
// system will not tell: moved into a box, deleted or renamed, it could
// take a box's folder away. UI thread only.
bool IsOrHoldsABoxFolder(const std::wstring& path);
// The message that such items (names already quoted, e.g. "“a”、“b”")
// stayed where they are because doing (e.g. "删除它们") would take a box's
// folder away.
std::wstring BoxFolderKeptText(const std::wstring& names, const std::wstring& doing);
// The message that such a folder is not removed and what it belongs to
// ("收纳盒", "组件") stays.
std::wstring ProtectedFolderKeptText(const std::wstring& folder, const std::wstring& kept);
// The message that a box's folder is not a folder the system can reach
// (gone, or on a drive or share that is away), so no file changed and
// what it belongs to stays; a folder out of reach is never taken for an
// empty one.
std::wstring BoxFolderUnreachableText(const std::wstring& folder, const std::wstring& kept);

// What a disband could not do as asked: files that stayed in the box (and
// why), files put somewhere else than where they came from.
struct DisbandReport {
    struct Stayed {
        std::wstring path, why;
    };
    struct Elsewhere {
        std::wstring path, target, why;
    };
    std::vector<Stayed> stayed;
    std::vector<Elsewhere> elsewhere;
    // The box's folder (full path) when it could not be reached (a drive
    // pulled out, a share away, a folder moved): nothing moved, and the
    // box and its records stay.
    std::wstring unreachable;
    // The box's folder (full path) when it is a link to another place, or
    // the system cannot say it is not one: what lies there may be the
    // user's own rather than the box's, so nothing moved, and the box and
    // its records stay.
    std::wstring linked;
    bool NothingTried() const { return !unreachable.empty() || !linked.empty(); }
};
// Moves every record's object that lies in the box folder back to its
// original path when that is a folder the user sees, else to the desktop
// folder given (no origin recorded, its folder gone, or a box's folder or
// one inside it); never replaces (a free " (n)" name). The moves run as a
// file job; done then runs on the UI thread with the report, after the
// records of what went home left the box and the folder went if it was
// left empty. False when no job could start: nothing moved.
bool DisbandAndRestore(const BoxWindowPtr& box, const std::wstring& folder, const std::vector<IconRecord>& records,
                       const std::wstring& desktop, std::function<void(const DisbandReport&)> done);
// The message telling the user about it: where each file went, a few
// names of each kind, then how many more.
std::wstring DisbandReportText(const DisbandReport& report);
// How a box's folder fared on its way to the Recycle Bin: the shell's
// outcome, and whether the folder left its place (to the bin, or deleted
// for good by the user's answer to the shell).
struct FolderRecycled {
    RecycleOutcome outcome = RecycleOutcome::Refused;
    bool left = false;
    // Files gone from a folder that stayed: the shell deleted them for good
    // where the bin would not take the folder, and stopped half way.
    size_t deleted = 0;
    // The folder could not be reached: nothing was tried (left is false).
    bool unreachable = false;
    // The system names it as one of its own folders, or one above them, at
    // the look taken where the work runs: nothing was tried.
    bool guarded = false;
    // Links inside: it was not sent, since a shell that deletes what the
    // bin refuses would delete what they lead to.
    std::vector<std::wstring> links;
};
// Why a box's folder stayed, where there is more to say than that the bin
// did not take it: files in it deleted for good, a folder out of reach or
// protected, links inside it. what names what stays with it ("收纳盒", "组件").
// Empty otherwise.
std::wstring FolderStayedText(const std::wstring& folder, const FolderRecycled& result, const std::wstring& what);
// Any thread: the folder (a full path) to the Recycle Bin in one operation
// of the shell, whose questions stand in front of owner; logged.
FolderRecycled RecycleFolderNow(const std::wstring& full, HWND owner);
// The box's folder to the Recycle Bin as a file job: the shell works on
// the worker while the windows keep answering, the progress card naming
// the folder, and the box stays (nothing takes it away) until done runs
// on the UI thread with how it ended. False, and the user told, when the
// folder may not go or no job could start: nothing was touched.
bool RecycleBoxFolder(const BoxWindowPtr& box, const std::wstring& folder,
                      std::function<void(const FolderRecycled&)> done);
// How a box's folder fared when deleted for good: report names what stayed.
struct FolderRemoved {
    bool removed = false;
    RemovalReport report;
    // The folder could not be reached: nothing was tried (removed is false).
    bool unreachable = false;
    // As FolderRecycled::guarded: nothing was tried.
    bool guarded = false;
};
// Why a box's folder stayed when it was to be deleted for good; what names
// what stays with it ("收纳盒", "组件").
std::wstring FolderRemovedText(const std::wstring& folder, const FolderRemoved& result, const std::wstring& what);
// Any thread: the folder (a full path) and everything in it deleted for
// good, never through a link; logged.
FolderRemoved RemoveFolderNow(const std::wstring& full);
// The box's folder deleted for good as a file job, as RecycleBoxFolder
// sends it to the bin.
bool DeleteBoxFolderPermanently(const BoxWindowPtr& box, const std::wstring& folder,
                                std::function<void(const FolderRemoved&)> done);

// Whether a file job works for the box (FileJobWorksFor); the user is then
// told that the box stays and no file changed. Every road that deletes a
// box asks before its question and again when the chosen action runs.
bool BoxDeletionRefusedWhileBusy(const BoxWindowPtr& box);

// Removes the box: its undo records leave (what they kept goes to the
// Recycle Bin or into view, and the user is told), then its records in
// every view, its window, its settings and its runtime state. The one
// road by which a box goes, whichever window asks.
void DeleteBox(const BoxWindowPtr& box);
// Run by DeleteBox once the box has left the registry, before its window
// goes: windows outside the box layer that list boxes (the magnet window)
// forget it here. Empty when nothing listens.
extern std::function<void(const BoxWindowPtr& box)> s_boxDeletedHook;
