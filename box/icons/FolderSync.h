// Keeps the records of folder-backed boxes in step with their folders:
// files renamed, added or removed on disk are renamed, added or removed in
// the view, and the view is saved once when anything changed. UI thread
// only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "box/icons/KelmIconManager.h"

struct FolderEntry {
    // Absolute, with backslashes.
    std::wstring path;
    int64_t lastWriteTime = 0;
    bool isDirectory = false;
};

// Lower-cased file name to entry, in ordinal order of the name.
using FolderListing = std::map<std::wstring, FolderEntry>;

// Lists the folder without descending; false when it cannot be listed.
bool ListFolderEntries(const std::wstring& folder, FolderListing& listing);

// Folder: the own box's folder ("bvn!NULL" for none). The folders of the
// other folder-backed boxes shown in the view are synchronised as well.
// Does nothing while a drag is in progress. Never throws.
void SyncBoxFolder(KelmIconManager& view, const std::wstring& folder, bool noRepaint);

// One pass of the folder refresh over every real, unfolded folder box. A
// box's folders are listed again only when their change notifications
// fired, the folders were replaced, the box's records or folder changed,
// or no notification can be had; a box new to the refresh (or unfolded)
// is listed at once.
void RefreshFolderBoxes();
// Runs after a pass of the refresh changed boxes' records to follow their
// folders, once per changed box: a view of the box kept elsewhere (the
// quick panel's) follows it too. UI thread only.
void AddFolderRefreshListener(std::function<void(const BoxWindowPtr&)> listener);
// Closes the refresh's hold on every folder (before a box's folder is
// removed); the next refresh lists every folder box once again.
void ForgetFolderWatches();
// While a box's folder leaves whole (to the Recycle Bin or for good, on a
// file job) the refresh neither lists nor watches it: an open watch would
// keep the folder in place. UI thread only.
void KeepRefreshOffWhileFolderLeaves(const BoxWindowPtr& box, bool leaving);
// Thread timer procedure of the UI thread for the 2600 ms folder refresh
// (SetTimer(nullptr, 0, 2600, RefreshFolderBoxesTimer)).
void CALLBACK RefreshFolderBoxesTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
