#include <gtest/gtest.h>

#include <filesystem>

#include "IconTestSupport.h"
#include "common/WindowTestSupport.h"
#include "box/fileops/PartFileJournal.h"
#include "box/fileops/FileJobProgress.h"
#include "box/icons/FolderSync.h"

namespace
{

class FolderSyncTest : public IconTest
{
protected:
    void SetUp() override
    {
        IconTest::SetUp();
        folder = temp.File(L"box");
        std::filesystem::create_directories(folder);
        box = AddBox(L"sync1", folder);
        s_boxWindowHooks.invalidate = [this](const BoxWindowPtr&) { ++repaints; };
    }
    void TearDown() override
    {
        ForgetFolderWatches();
        IconTest::TearDown();
    }
    void Touch(const std::wstring& name) { TempFolder::WriteBytes(folder + L"\\" + name, "x"); }
    void Rename(const std::wstring& from, const std::wstring& to)
    {
        ASSERT_TRUE(MoveFileW((folder + L"\\" + from).c_str(), (folder + L"\\" + to).c_str()));
    }
    KelmIconManager& View() { return s_boxIconManagers[box]; }
    void Sync(bool noRepaint = false) { SyncBoxFolder(View(), folder, noRepaint); }
    std::vector<std::wstring> Names()
    {
        std::vector<std::wstring> names;
        for (const IconRecord& record : View().Records())
            names.push_back(std::filesystem::path(record.path).filename().wstring());
        return names;
    }

    // One pass of the refresh, and the answers of the listings it began.
    void Refresh()
    {
        RefreshFolderBoxes();
        EXPECT_TRUE(PumpUntil([] { return !FolderListingsOnTheirWay(); }, 10000));
    }
    // Runs the refresh until the view shows the names; a change made on
    // disk reaches the folder's notification a moment later.
    bool RefreshUntil(const std::vector<std::wstring>& names)
    {
        return PumpUntil(
            [&] {
                Refresh();
                return Names() == names;
            },
            5000);
    }

    std::wstring folder;
    BoxWindowPtr box;
    int repaints = 0;
};

} // namespace

TEST_F(FolderSyncTest, NewFilesAppearInNameOrderWithOneSave)
{
    Touch(L"b.txt");
    Touch(L"A.doc");
    CreateDirectoryW((folder + L"\\Sub").c_str(), nullptr);
    Sync();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"A.doc", L"b.txt", L"Sub"}));
    EXPECT_EQ(StoreWriteCount(), 1);
    EXPECT_EQ(repaints, 1);
    EXPECT_TRUE(View().Records()[2].isDirectory);
    EXPECT_GT(View().Records()[0].lastWriteTime, 0);
    EXPECT_TRUE(View().Records()[0].isNew);
    EXPECT_EQ(StoredPath(L"sync1", 1), folder + L"\\b.txt");

    Sync(); // nothing changed: no save, no repaint
    EXPECT_EQ(StoreWriteCount(), 1);
    EXPECT_EQ(repaints, 1);
}

TEST_F(FolderSyncTest, RenameOnDiskReplacesTheRecordAtTheEndOfTheBox)
{
    Touch(L"a.txt");
    Touch(L"m.txt");
    Sync();
    Rename(L"a.txt", L"z.txt");
    Sync();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"m.txt", L"z.txt"}));
    EXPECT_EQ(StoreWriteCount(), 2);
    EXPECT_EQ(StoredPath(L"sync1", 1), folder + L"\\z.txt");

    // Case only: the same record keeps its place with the new path. (Two
    // steps, as Wine takes a case-only rename for no change.)
    Rename(L"m.txt", L"tmp");
    Rename(L"tmp", L"M.TXT");
    View().Records()[0].x = 7.0f;
    Sync();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"M.TXT", L"z.txt"}));
    EXPECT_EQ(View().Records()[0].x, 7.0f);
    EXPECT_EQ(StoreWriteCount(), 3);
}

TEST_F(FolderSyncTest, RemovalsDuplicatesAndAnEmptiedFolder)
{
    Touch(L"a.txt");
    Touch(L"b.txt");
    Sync();
    View().AddRecordForEntry(2, folder + L"\\A.TXT", 0, 0, L"bvn!NULL", false, L"", nullptr, true, L"bvn!NULL");
    Sync(); // the second record of a.txt goes
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    EXPECT_EQ(StoreWriteCount(), 2);

    DeleteFileW((folder + L"\\a.txt").c_str());
    DeleteFileW((folder + L"\\b.txt").c_str());
    Sync();
    EXPECT_TRUE(View().Records().empty());
    EXPECT_EQ(StoreWriteCount(), 3);
    EXPECT_EQ(StoredPath(L"sync1", 0), L"");
}

TEST_F(FolderSyncTest, SelectionStaysOnItsFilesAcrossASync)
{
    for (const wchar_t* name : {L"a", L"b", L"c", L"d"})
        Touch(name);
    Sync();
    s_boxRuntimes[box].selection = {2, 3}; // c, d
    DeleteFileW((folder + L"\\a").c_str());
    Touch(L"0");
    Sync();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"b", L"c", L"d", L"0"}));
    EXPECT_EQ(s_boxRuntimes[box].selection, (std::set<int32_t>{1, 2}));
}

TEST_F(FolderSyncTest, NoRepaintDragAndMissingFolder)
{
    Touch(L"a.txt");
    Sync(true);
    EXPECT_EQ(View().Records().size(), 1u);
    EXPECT_EQ(repaints, 0);

    s_boxWindowHooks.dragInProgress = [] { return true; };
    Touch(L"b.txt");
    Sync();
    Refresh();
    EXPECT_EQ(View().Records().size(), 1u);
    s_boxWindowHooks.dragInProgress = nullptr;

    SyncBoxFolder(View(), L"bvn!NULL", false);
    SyncBoxFolder(View(), temp.File(L"nothing-here"), false);
    EXPECT_EQ(View().Records().size(), 1u);
    EXPECT_EQ(StoreWriteCount(), 1);
}

TEST_F(FolderSyncTest, ForeignOwnersAreSyncedUnderTheirTitle)
{
    const std::wstring otherFolder = temp.File(L"other");
    std::filesystem::create_directories(otherFolder);
    TempFolder::WriteBytes(otherFolder + L"\\x.txt", "x");
    TempFolder::WriteBytes(otherFolder + L"\\y.txt", "x");
    BoxWindowPtr other = AddBox(L"sync2", otherFolder);
    Touch(L"own.txt");
    Sync();
    // The host shows one record of the other box; the sync fills in the rest.
    View().AddRecordForPath(otherFolder + L"\\x.txt", 0, 0, L"bvn!NULL", true, L"Box sync2", other, L"bvn!NULL");
    Touch(L"own2.txt");
    Sync();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"own.txt", L"own2.txt", L"x.txt", L"y.txt"}));
    const IconRecord& added = View().Records()[3];
    EXPECT_TRUE(added.merged);
    EXPECT_EQ(added.owner, other);
    EXPECT_EQ(added.sectionText, L"");
    EXPECT_EQ(StoredPath(L"sync2", 1), otherFolder + L"\\y.txt");
}

TEST_F(FolderSyncTest, TimerSyncsRealUnfoldedFolderBoxes)
{
    Touch(L"a.txt");
    const std::wstring foldedFolder = temp.File(L"folded");
    std::filesystem::create_directories(foldedFolder);
    TempFolder::WriteBytes(foldedFolder + L"\\f.txt", "x");
    BoxWindowPtr folded = AddBox(L"sync3", foldedFolder);
    s_boxRuntimes[folded].isMinimized = true;
    BoxWindowPtr pseudo = AddBox(L"QUICK_PANEL_PHYS", foldedFolder);

    RefreshFolderBoxesTimer(nullptr, WM_TIMER, 0, 0);
    EXPECT_TRUE(PumpUntil([] { return !FolderListingsOnTheirWay(); }, 10000));
    EXPECT_EQ(View().Records().size(), 1u);
    EXPECT_TRUE(s_boxIconManagers[folded].Records().empty());
    EXPECT_TRUE(s_boxIconManagers[pseudo].Records().empty());
    EXPECT_EQ(StoreWriteCount(), 1);
}

TEST_F(FolderSyncTest, OnlyAPartFileAnEndedJobRecordedGoesAndAUserFileOfThatFormStays)
{
    // The user's own files, one in the form copies gave their part files.
    Touch(L"notes.1a2b3c.tessik-part");
    Touch(L"a.txt");
    std::wstring part;
    HANDLE held = INVALID_HANDLE_VALUE;
    {
        PartFileJournal job(temp.File(L"parts"));
        part = job.Claim(folder + L"\\movie.mkv");
        TempFolder::WriteBytes(part, "half");
        Sync();
        EXPECT_TRUE(std::filesystem::exists(part)) << "a job that runs keeps its part file";
        EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"notes.1a2b3c.tessik-part"}));
        // The job cannot remove it as it ends: something holds it.
        held = CreateFileW(part.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        job.Release(part, false);
    }
    EXPECT_TRUE(std::filesystem::exists(part));
    CloseHandle(held);
    Sync();
    EXPECT_FALSE(std::filesystem::exists(part)) << "the ended job's part file goes once nothing holds it";
    EXPECT_TRUE(std::filesystem::is_empty(temp.File(L"parts"))) << "and with it the job's record";
    EXPECT_TRUE(std::filesystem::exists(folder + L"\\notes.1a2b3c.tessik-part"));
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"notes.1a2b3c.tessik-part"}));
}

TEST_F(FolderSyncTest, RefreshFollowsChangesOfTheFolderAndOfTheView)
{
    Touch(L"a.txt");
    Refresh();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt"})) << "a box new to the refresh is listed at once";

    Touch(L"b.txt");
    EXPECT_TRUE(RefreshUntil({L"a.txt", L"b.txt"}));
    Rename(L"a.txt", L"c.txt");
    EXPECT_TRUE(RefreshUntil({L"b.txt", L"c.txt"}));
    ASSERT_TRUE(DeleteFileW((folder + L"\\b.txt").c_str()));
    EXPECT_TRUE(RefreshUntil({L"c.txt"}));

    // A record the program took away while its file stays comes back at
    // the next pass, though the folder did not change.
    View().Records().clear();
    Refresh();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"c.txt"}));

    // A change seen while a file job runs is taken in once it ended.
    s_copyProgress.busy = true;
    Touch(L"d.txt");
    for (int i = 0; i < 20; ++i) {
        Refresh();
        Sleep(20);
    }
    s_copyProgress.busy = false;
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"c.txt"}));
    Refresh();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"c.txt", L"d.txt"}));
}

TEST_F(FolderSyncTest, RefreshFollowsAFolderReplacedUnderItsPath)
{
    Touch(L"old.txt");
    Refresh();
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"old.txt"}));
    ASSERT_TRUE(MoveFileW(folder.c_str(), temp.File(L"moved").c_str()));
    std::filesystem::create_directories(folder);
    Touch(L"new.txt");
    EXPECT_TRUE(RefreshUntil({L"new.txt"}));

    // Folded, the box is left alone; unfolded, it is listed at once.
    s_boxRuntimes[box].isMinimized = true;
    Refresh();
    Touch(L"later.txt");
    Refresh();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"new.txt"}));
    s_boxRuntimes[box].isMinimized = false;
    Refresh();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"new.txt", L"later.txt"}));
}

TEST_F(FolderSyncTest, AChangeBetweenABoxsFirstSyncAndTheRefreshShows)
{
    Touch(L"a.txt");
    // A folder quiet for an hour, as most are when their box is made.
    HANDLE handle = CreateFileW(folder.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
    time.QuadPart -= 3600ull * 10'000'000;
    const FILETIME hourAgo{time.LowPart, time.HighPart};
    ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &hourAgo));
    CloseHandle(handle);
    Sync(true);

    Touch(L"b.txt");
    Refresh();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
}

TEST_F(FolderSyncTest, AFolderRemovedWhileWatchedGoesByTheNextRefresh)
{
    Refresh();
    // Removed by another program: the refresh's watch must not keep it.
    ASSERT_TRUE(RemoveDirectoryW(folder.c_str()));
    Refresh();
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << "a folder of that name can be made again";
}

TEST_F(FolderSyncTest, TheRefreshListsOnAWorkerAndABoxThatWentOrMovedMeanwhileGetsNothing)
{
    Touch(L"a.txt");
    RefreshFolderBoxes();
    EXPECT_TRUE(Names().empty()) << "the pass returns before the listing is back";
    EXPECT_TRUE(PumpUntil([this] { return Names() == std::vector<std::wstring>{L"a.txt"}; }, 10000));

    const auto folderWith = [this](const std::wstring& name, const std::wstring& file) {
        const std::wstring path = temp.File(name);
        std::filesystem::create_directories(path);
        TempFolder::WriteBytes(path + L"\\" + file, "x");
        return path;
    };
    BoxWindowPtr gone = AddBox(L"sync4", folderWith(L"gone", L"x.txt"));
    BoxWindowPtr moved = AddBox(L"sync5", folderWith(L"left", L"y.txt"));
    RefreshFolderBoxes();
    s_boxRuntimes.erase(gone);
    s_boxRuntimes[moved].TargetFolder = folderWith(L"new", L"z.txt");
    EXPECT_TRUE(PumpUntil([] { return !FolderListingsOnTheirWay(); }, 10000));
    EXPECT_TRUE(s_boxIconManagers[gone].Records().empty());
    EXPECT_TRUE(s_boxIconManagers[moved].Records().empty()) << "nothing of the folder it left";
    EXPECT_EQ(StoreWriteCount(), 1);
    Refresh();
    ASSERT_EQ(s_boxIconManagers[moved].Records().size(), 1u);
    EXPECT_EQ(std::filesystem::path(s_boxIconManagers[moved].Records()[0].path).filename(), L"z.txt");
}
