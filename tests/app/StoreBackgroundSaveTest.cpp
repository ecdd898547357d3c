// A save handed to the writer thread writes the bytes a save on the caller's
// thread writes, of the tree as it stood when asked; saves land in the order
// they were asked for; a failed one is told and retried; the quit's save
// waits for them.
#include <gtest/gtest.h>

#include "app/KelmStorage.h"
#include "app/StoreSaveRetry.h"
#include "app/TempFolder.h"
#include "app/UserNotice.h"
#include "common/WindowTestSupport.h"

namespace
{

DWORD s_testThread = 0;

// A slow disk for the writer thread only: a write it begins lands well
// after one made on the test's own thread at the same moment.
bool SlowOffTheTestThread(HANDLE file, const char* data, DWORD size)
{
    if (GetCurrentThreadId() != s_testThread)
        Sleep(300);
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// The title as the file holds it now, read without a store (a store's
// load waits for the saves on their way).
bool DiskHoldsTitle(const std::wstring& path, const std::string& title)
{
    return TempFolder::ReadBytes(path).find("title : \"" + title + "\"") != std::string::npos;
}

struct WriteFunction {
    explicit WriteFunction(KelmStorageWriteFn fn)
    {
        s_testThread = GetCurrentThreadId();
        KelmStorage::SetWriteFunctionForTesting(fn);
    }
    ~WriteFunction() { KelmStorage::SetWriteFunctionForTesting(nullptr); }
};

} // namespace

TEST(StoreBackgroundSave, WritesTheBytesASaveWritesOfTheTreeAsItWasWhenAsked)
{
    TempFolder folder;
    auto fill = [](KelmStorage& store) {
        store[L"TessikRef"][L"marker"] = 7;
        KelmStorageProxy box = store[L"Components"][L"ComID_a"];
        box[L"title"] = L"收纳盒 \"引号\"";
        box[L"x"] = 12.5;
        box[L"IsLocked"] = true;
        box[L"TargetFolder"] = L"D:\\\\box\\\\u_1";
        box[L"Icons"][L"iconID_0"][L"path"] = L"C:\\a b\\文档.txt";
        box[L"Icons"][L"iconID_0"][L"alias"] = L"2024";
        // An empty slot is written as nothing.
        store.GetRootObject(L"Components")
            .members.insert({L"ComID_empty", KelmStorageValue(std::shared_ptr<KelmStorageNestedObject>())});
        store[L"Later"][L"n"] = -3;
    };
    KelmStorage direct;
    direct.Load(folder.File(L"direct.kelm"), kStoreOwnRoot);
    fill(direct);
    ASSERT_TRUE(direct.Save());

    const std::wstring path = folder.File(L"background.kelm");
    KelmStorage background;
    background.Load(path, kStoreOwnRoot);
    fill(background);
    background.SaveInBackground();
    // Changed before the writer got to it: the file still holds the tree
    // as it stood when the save was asked for.
    background[L"Components"][L"ComID_a"][L"title"] = L"之后";
    background[L"Components"][L"ComID_a"][L"Icons"][L"iconID_0"][L"path"] = L"C:\\later";
    KelmStorage::FinishBackgroundSaves();
    EXPECT_EQ(TempFolder::ReadBytes(path), TempFolder::ReadBytes(folder.File(L"direct.kelm")));
    EXPECT_FALSE(background.HasUnsavedChanges());
}

TEST(StoreBackgroundSave, AnEarlierSaveNeverLandsOverALaterOneAndTheQuitWaitsForThem)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    KelmStorage store;
    store.Load(path);
    WriteFunction slow(SlowOffTheTestThread);
    auto title = [&](const wchar_t* text) { store[L"Components"][L"ComID_a"][L"title"] = text; };

    title(L"one");
    store.SaveInBackground();
    title(L"two");
    store.SaveInBackground();
    title(L"three");
    ASSERT_TRUE(store.Save());
    KelmStorage::FinishBackgroundSaves();
    EXPECT_TRUE(DiskHoldsTitle(path, "three")) << TempFolder::ReadBytes(path);
    // Nor did the two writes meet at the new file and fail.
    EXPECT_FALSE(store.HasUnsavedChanges());

    // The quit's save comes after every save on its way.
    title(L"four");
    store.SaveInBackground();
    EXPECT_TRUE(StoreSaveRetry::SaveAllNow());
    EXPECT_TRUE(DiskHoldsTitle(path, "four")) << TempFolder::ReadBytes(path);
}

TEST(StoreBackgroundSave, AFailedWriteIsToldAndRetriedUntilItLands)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    KelmStorage store;
    store.Load(path);
    const int toldBefore = TimesUserNotified(L"store-save");
    {
        WriteFunction failing([](HANDLE, const char*, DWORD) { return false; });
        store[L"Components"][L"ComID_a"][L"title"] = L"kept";
        store.SaveInBackground();
        EXPECT_TRUE(PumpUntil([&] { return store.HasUnsavedChanges(); }, 20000)) << "the failure was never seen";
        EXPECT_EQ(TimesUserNotified(L"store-save"), toldBefore + 1);
    }
    EXPECT_TRUE(PumpUntil([&] { return !store.HasUnsavedChanges(); }, 20000)) << "the retry never landed";
    EXPECT_TRUE(DiskHoldsTitle(path, "kept")) << TempFolder::ReadBytes(path);
}
