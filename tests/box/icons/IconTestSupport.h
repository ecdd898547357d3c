// Shared set-up of the icon tests: stand-in box windows (the icon code uses
// a box window only as an identity) and a clean registry, store and hooks
// for every test.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxRuntime.h"
#include "box/BoxWindowHooks.h"
#include "box/icons/KelmIconManager.h"

inline BoxWindowPtr MakeTestBox()
{
    auto holder = std::make_shared<long long>(0);
    return BoxWindowPtr(holder, reinterpret_cast<KelmWindow*>(holder.get()));
}

inline std::atomic<int>& StoreWritesMade()
{
    static std::atomic<int> count{0};
    return count;
}

// The store's writes, counted once every save asked for has been written.
inline std::atomic<int>& StoreWriteCount()
{
    KelmStorage::FinishBackgroundSaves();
    return StoreWritesMade();
}

// Runs on the store's writer thread.
inline bool CountingWrite(HANDLE file, const char* data, DWORD size)
{
    ++StoreWritesMade();
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

class IconTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        storePath = temp.File(L"DesktopContainer.kelm");
        // An empty file makes Load drop whatever an earlier test left.
        TempFolder::WriteBytes(storePath, "");
        s_desktopContainerStore.Load(storePath);
        StoreWriteCount() = 0;
        KelmStorage::SetWriteFunctionForTesting(CountingWrite);
    }
    void TearDown() override
    {
        KelmStorage::SetWriteFunctionForTesting(nullptr);
        s_boxSearchManagers.clear();
        s_boxIconManagers.clear();
        s_boxRuntimes.clear();
        s_boxWindowHooks = BoxWindowHooks();
    }

    // A real box with that id; folder-backed when a folder is given.
    BoxWindowPtr AddBox(const std::wstring& id, const std::wstring& folder = L"")
    {
        BoxWindowPtr box = MakeTestBox();
        BoxRuntime& runtime = s_boxRuntimes[box];
        runtime.id = id;
        runtime.title = L"Box " + id;
        if (!folder.empty()) {
            runtime.UseTargetFolder = true;
            runtime.TargetFolder = folder;
        }
        s_boxIconManagers[box].SetOwnBox(box);
        return box;
    }

    static std::wstring StoredPath(const std::wstring& id, int n)
    {
        return s_desktopContainerStore[L"Components"][L"ComID_" + id][L"Icons"][L"iconID_" + std::to_wstring(n)]
                                      [L"path"]
                                          .Get<std::wstring>(L"");
    }

    TempFolder temp;
    std::wstring storePath;
};
