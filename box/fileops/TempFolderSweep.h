// At start, nothing of this run holds what the temporary folders of kept
// copies still have (the undo lists live only while a run lasts): after a
// crash, a kill or a restart, or in the folder of an earlier box folder,
// the copies kept for undo would stay where only the program finds them.
// The current box root's own ".data\.temp", and every folder of that form
// on the list in the data folder whose root is still the very folder a run
// used as its box root, is swept unless another live run marks it: its
// entries of the kept copies' form go to the Recycle Bin, or into view
// where the bin does not take them, and the user is told; one that is but
// a second name of files kept elsewhere (a recycle's witness) loses that
// name, unsaid. Whatever else a
// list names or a folder holds stays, logged, and only the lock files of
// such a folder tell of a run that ended without quitting. Clearing user
// data does the same after every record has left. UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "box/fileops/UndoList.h"

// The name has the form of a kept copy's (TempCopyPathIn): the item's
// name, four lower-case hexadecimal characters with a letter among them,
// ".tmp". Nothing of another form in a temporary folder is the program's.
bool IsKeptCopyName(const std::wstring& name);
// The item's own name of a kept copy: "a.txt" of "a.txt3f2a.tmp"; the name
// itself when it is not a kept copy's.
std::wstring OriginalNameOfKeptCopy(const std::wstring& name);

// What a sweep of the known temporary folders did.
struct TempSweepResult {
    LeaveReport report;
    // Copies were found where a run had ended without quitting.
    bool endedRunFound = false;
    // Listed folders that could not be looked into (a drive not there):
    // they stay on the list.
    std::vector<std::wstring> unreachable;
};
// Sweeps every known temporary folder that no other live run marks. A
// folder leaves the list once it is empty and this run does not use it.
TempSweepResult SweepKnownTemporaryFolders();
// The text telling the user what a sweep did; empty when nothing is to
// tell. atStart: the start-up notice, which says that a run ended without
// quitting only when one did.
std::wstring TempSweepText(const TempSweepResult& result, bool atStart);

// The start-up sweep, told as a notice.
void SweepTemporaryFolder();

// A restart of the program's own (a display change, a restore): file jobs
// are stopped as at quit, then every undo record leaves and the user hears
// of anything brought into view. False when a job did not stop.
bool LetEveryKeptCopyGoBeforeRestart();

// Clearing user data, or restoring a backup node: refused, and the user
// told in the words every file action uses, while a file job runs or a
// plan or question holds a box.
bool RefusedToClearWhileFileJobRuns();
bool RefusedToRestoreWhileFileJobRuns();
// The default box folder names the temporary folder every running job and
// open question keeps its copies in, and workers read it while they run:
// it changes only once nothing works for a box.
bool RefusedToChangeBoxRootWhileFileJobRuns();
// Clearing user data, before anything is cleared: every undo record leaves
// as at quit, then every known temporary folder is swept; what went where
// is told over owner before the data folder (and the list with it) goes.
void LetEveryKeptCopyGoBeforeClearing(HWND owner);
