// The stores whose last save did not land: the store in memory stays the
// truth, its file is written again on a thread timer with a growing pause
// until it lands, and the user is told once, while it fails, what could
// not be saved and why. UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class KelmStorage;

// One store that could not be saved, as the notice names it.
struct UnsavedStoreLine {
    std::wstring fileName; // the store's full path
    DWORD error = 0;       // the system's reason for the last failed write
    std::wstring inTheWay; // the entry that kept the save from its place, if any
};

class StoreSaveRetry
{
public:
    // A write of the store failed: it stays unsaved, a retry is armed, and
    // the user hears of it unless this failure was already told.
    static void SaveFailed(KelmStorage& store, DWORD error);
    // The store's file holds its tree: a later failure is told again.
    static void Saved(KelmStorage& store);
    // The store is going away; nothing of it is retried.
    static void Forget(KelmStorage& store);

    static bool IsUnsaved(const KelmStorage& store);
    static std::vector<UnsavedStoreLine> UnsavedLines();

    // Writes every unsaved store once more, now, with the tree it holds
    // now. True when none is left unsaved (also after a restore stopped
    // every save: nothing of this process is to be written any more).
    static bool SaveAllNow();

    // The pause before the next retry after one of `pause` ms failed.
    static UINT NextPause(UINT pause);
    static constexpr UINT kFirstPause = 1000; // ms
    static constexpr UINT kLongestPause = 60000;
};

// What a store holds, as the user knows it ("收纳盒及其图标"), from its file
// name; the file's own name for any other store.
std::wstring StoreContentName(const std::wstring& fileName);

// The notice of stores that could not be saved: what each holds, its file
// and the system's reason; that the changes are kept and tried again.
std::wstring UnsavedStoresNotice(const std::vector<UnsavedStoreLine>& lines);

// The message when the process ends anyway: `ending` says how ("退出",
// "重新启动"), and the changes are lost.
std::wstring UnsavedStoresLostText(const std::vector<UnsavedStoreLine>& lines, const std::wstring& ending);

// The question when quitting while stores are still unsaved.
std::wstring UnsavedStoresQuitQuestion(const std::vector<UnsavedStoreLine>& lines);

// The system's text for an error code, with the code.
std::wstring SaveErrorText(DWORD error);
