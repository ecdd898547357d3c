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
// The same, but false as soon as stop answers true (asked between entries),
// so a listing on a worker can let go of a folder that is about to leave.
// Any thread.
bool ListFolderEntriesUntil(const std::wstring& folder, FolderListing& listing, const std::function<bool()>& stop);
// The key a listing holds the entry of path's file name under.
std::wstring ListingKeyOf(const std::wstring& path);
// The records a listing is reconciled with, their paths and owners in
// their order, as one number: a listing that comes back to other records
// is taken again.
size_t RecordsFingerprint(const TessikDesktopContainer::KelmIconManager& view);

// Folder: the own box's folder ("bvn!NULL" for none). The folders of the
// other folder-backed boxes shown in the view are synchronised as well.
// Does nothing while a drag is in progress. Never throws.
void SyncBoxFolder(KelmIconManager& view, const std::wstring& folder, bool noRepaint);

// One pass of the folder refresh over every real, unfolded folder box. A
// box's folders are listed again only when their change notifications
// fired, the folders were replaced, the box's records or folder changed,
// or no notification can be had; a box new to the refresh (or unfolded)
// is listed at once. The listing runs on a worker; its box's records
// follow on the UI thread when it comes back, unless the box went, folded,
// changed folder or had its records changed meanwhile (then it is listed
// again). UI thread only.
void RefreshFolderBoxes();
// The same for one box, now, whether or not its folder's notification
// fired: for a box just made, or after the program moved files of its
// folder. False when the refresh does not follow the box (folded, no
// folder, a pseudo box): SyncBoxFolder is the way then. UI thread only.
bool RefreshBoxFolderSoon(const BoxWindowPtr& box);
// Whether a listing of the refresh is on its way to a box. UI thread only.
bool FolderListingsOnTheirWay();
// Runs after the refresh changed a box's records to follow its folders,
// once per change: a view of the box kept elsewhere (the quick panel's)
// follows it too. UI thread only.
void AddFolderRefreshListener(std::function<void(const BoxWindowPtr&)> listener);
// Closes the refresh's hold on every folder (before a box's folder is
// removed), its worker's too; the next refresh lists every folder box once
// again.
void ForgetFolderWatches();
// While a box's folder leaves whole (to the Recycle Bin or for good, on a
// file job) the refresh neither lists nor watches it: an open watch would
// keep the folder in place, and so would a listing, which is stopped and
// waited for. UI thread only.
void KeepRefreshOffWhileFolderLeaves(const BoxWindowPtr& box, bool leaving);
// Thread timer procedure of the UI thread for the 2600 ms folder refresh
// (SetTimer(nullptr, 0, 2600, RefreshFolderBoxesTimer)).
void CALLBACK RefreshFolderBoxesTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
