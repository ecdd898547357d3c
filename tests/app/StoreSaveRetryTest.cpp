// A store save that fails keeps the changes, is tried again until it lands
// and is told once per failure; a store file that is a link is written
// through to its target.
#include <gtest/gtest.h>

#include <functional>

#include "app/KelmStorage.h"
#include "app/StoreSaveRetry.h"
#include "app/TempFolder.h"
#include "app/UserNotice.h"
#include "common/DirectoryLink.h"

namespace
{

constexpr wchar_t kKind[] = L"store-save";

// Runs the thread's messages (the retry is a thread timer) until done
// holds or the bound has passed.
bool PumpUntil(const std::function<bool()>& done, DWORD bound)
{
    const ULONGLONG end = GetTickCount64() + bound;
    while (!done() && GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return done();
}

// Another program holding the file open without sharing it.
HANDLE HoldWithoutSharing(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::wstring TitleOnDisk(const std::wstring& path)
{
    KelmStorage disk;
    disk.Load(path);
    return disk[L"Components"][L"ComID_a"][L"title"].Get<std::wstring>(L"bvn!NULL");
}

} // namespace

TEST(StoreSaveRetry, AFailedSaveIsKeptToldOnceAndRetriedUntilItLands)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"DesktopContainer.kelm");
    KelmStorage store;
    store.Load(path);
    store[L"Components"][L"ComID_a"][L"title"] = L"原来";
    ASSERT_TRUE(store.Save());
    const int toldBefore = TimesUserNotified(kKind);

    HANDLE holder = HoldWithoutSharing(path);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    store[L"Components"][L"ComID_a"][L"title"] = L"移动后";
    EXPECT_FALSE(store.Save());
    EXPECT_TRUE(store.HasUnsavedChanges());
    EXPECT_EQ(TimesUserNotified(kKind), toldBefore + 1);
    const std::wstring notice = LastNoticeText(kKind);
    EXPECT_NE(notice.find(L"收纳盒及其图标"), std::wstring::npos) << notice;
    EXPECT_NE(notice.find(path), std::wstring::npos) << notice;
    EXPECT_NE(notice.find(L"错误代码"), std::wstring::npos) << notice;

    // A later change fails the same way: it is kept, not told again.
    store[L"Components"][L"ComID_a"][L"title"] = L"再改";
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(TimesUserNotified(kKind), toldBefore + 1);
    // The quit's save while the file is still held cannot land either.
    EXPECT_FALSE(StoreSaveRetry::SaveAllNow());
    CloseHandle(holder);

    // Let go: the retry writes the tree as it is now.
    store[L"Components"][L"ComID_a"][L"title"] = L"最后";
    EXPECT_TRUE(PumpUntil([&] { return !store.HasUnsavedChanges(); }, 20000)) << "the retry never landed";
    EXPECT_EQ(TitleOnDisk(path), L"最后");

    // Once it landed, a new failure is told again.
    holder = HoldWithoutSharing(path);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    store[L"Components"][L"ComID_a"][L"title"] = L"又一次";
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(TimesUserNotified(kKind), toldBefore + 2);
    CloseHandle(holder);
}

TEST(StoreSaveRetry, AQuitAfterTheHolderLetGoSavesWhatIsUnsaved)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Tessik.kelm");
    {
        KelmStorage store;
        store.Load(path);
        store[L"TessikRef"][L"themeBaseColor"] = L"#FFFFFF";
        ASSERT_TRUE(store.Save());
        HANDLE holder = HoldWithoutSharing(path);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        store[L"TessikRef"][L"themeBaseColor"] = L"#336699";
        EXPECT_FALSE(store.Save());
        EXPECT_NE(LastNoticeText(kKind).find(L"程序设置"), std::wstring::npos);
        CloseHandle(holder);
        EXPECT_TRUE(StoreSaveRetry::SaveAllNow());
        EXPECT_FALSE(store.HasUnsavedChanges());
    }
    KelmStorage next;
    next.Load(path);
    EXPECT_EQ(next[L"TessikRef"][L"themeBaseColor"].Get<std::wstring>(L""), L"#336699");
}

TEST(StoreSaveRetry, AStoreInAFolderThatWentAwayIsNotWrittenElsewhere)
{
    TempFolder folder;
    const std::wstring data = folder.File(L"data");
    std::filesystem::create_directory(data);
    KelmStorage store;
    store.Load(data + L"\\DesktopContainer.kelm");
    store[L"Components"][L"ComID_a"][L"title"] = L"原来";
    ASSERT_TRUE(store.Save());

    ASSERT_TRUE(MoveFileW(data.c_str(), folder.File(L"renamed").c_str()));
    store[L"Components"][L"ComID_a"][L"title"] = L"移动后";
    EXPECT_FALSE(store.Save());
    EXPECT_FALSE(std::filesystem::exists(data)) << "no folder is made for the store";
    EXPECT_EQ(TitleOnDisk(folder.File(L"renamed\\DesktopContainer.kelm")), L"原来");

    ASSERT_TRUE(MoveFileW(folder.File(L"renamed").c_str(), data.c_str()));
    EXPECT_TRUE(StoreSaveRetry::SaveAllNow());
    EXPECT_EQ(TitleOnDisk(data + L"\\DesktopContainer.kelm"), L"移动后");
}

TEST(StoreSaveRetry, AStoreThatIsALinkIsWrittenThroughToItsTarget)
{
    TempFolder folder;
    const std::wstring target = folder.File(L"elsewhere\\MagnetCom.kelm");
    std::filesystem::create_directory(folder.File(L"elsewhere"));
    TempFolder::WriteBytes(target, "TessikRef{\r\n    enabled : false\r\n}");
    const std::wstring link = folder.File(L"MagnetCom.kelm");
    ASSERT_TRUE(MakeLink(link, target, false));

    KelmStorage store;
    store.Load(link);
    store[L"TessikRef"][L"enabled"] = true;
    EXPECT_TRUE(store.Save());
    EXPECT_NE(TempFolder::ReadBytes(target).find("enabled : true"), std::string::npos)
        << "the link's target was left behind";
    EXPECT_FALSE(EntryIsItself(link)) << "the link was replaced by a plain file";
    EXPECT_FALSE(std::filesystem::exists(folder.File(L"elsewhere\\MagnetCom.kelm.saving")));
}

TEST(StoreSaveRetry, ALinkInThePlaceOfTheSavesNewFileIsNeverWrittenThrough)
{
    TempFolder folder;
    const std::wstring mine = folder.File(L"mine.txt");
    TempFolder::WriteBytes(mine, "mine");
    const std::wstring path = folder.File(L"MagnetCom.kelm");
    ASSERT_TRUE(MakeLink(path + L".saving", mine, false));

    KelmStorage store;
    store.Load(path);
    store[L"TessikRef"][L"enabled"] = true;
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(TempFolder::ReadBytes(mine), "mine");
    EXPECT_TRUE(StoreSaveRetry::IsUnsaved(store)) << "the failed save is not kept for a retry";
    // The user hears which entry is in the way, not only the system's code.
    EXPECT_NE(UnsavedStoresNotice(StoreSaveRetry::UnsavedLines()).find(path + L".saving"), std::wstring::npos);

    // A folder standing there is named too.
    const std::wstring other = folder.File(L"QuickPanelCom.kelm");
    std::filesystem::create_directory(other + L".saving");
    KelmStorage panel;
    panel.Load(other);
    panel[L"TessikRef"][L"open"] = true;
    EXPECT_FALSE(panel.Save());
    EXPECT_NE(UnsavedStoresNotice(StoreSaveRetry::UnsavedLines()).find(other + L".saving"), std::wstring::npos);
}

TEST(StoreSaveRetry, NoRetryWritesAfterARestoreStoppedEverySave)
{
    // Every save of the process stops for good, so it runs in a child.
    EXPECT_EXIT(
        {
            TempFolder folder;
            const std::wstring path = folder.File(L"DesktopContainer.kelm");
            KelmStorage store;
            store.Load(path);
            store[L"Components"][L"ComID_a"][L"title"] = L"原来";
            store.Save();
            HANDLE holder = HoldWithoutSharing(path);
            store[L"Components"][L"ComID_a"][L"title"] = L"恢复前";
            const bool failed = !store.Save();
            KelmStorage::StopAllSavesForRestore();
            CloseHandle(holder);
            const bool done = StoreSaveRetry::SaveAllNow() && !store.HasUnsavedChanges();
            std::exit(failed && done && TitleOnDisk(path) == L"原来" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
