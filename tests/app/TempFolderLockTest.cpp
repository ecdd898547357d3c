// The marks runs leave on the temporary folders of kept copies, and the
// list of those folders in the data folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/KnownTempFolders.h"
#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"
#include "app/TempFolderLock.h"

namespace fs = std::filesystem;

TEST(TempFolderLockTest, ALockTellsALiveRunFromOneThatEndedWithoutQuitting)
{
    TempFolder temp;
    const std::wstring folder = temp.File(L".data\\.temp") + L"\\";
    fs::create_directories(folder);
    EXPECT_FALSE(CheckTempFolderUsers(folder, {}).otherRunLive);
    {
        TempFolderLock other(folder);
        ASSERT_TRUE(other.Held());
        const TempFolderUsers live = CheckTempFolderUsers(folder, {});
        EXPECT_TRUE(live.otherRunLive);
        EXPECT_FALSE(live.endedRunFound);
        // A run passes over its own lock.
        EXPECT_FALSE(CheckTempFolderUsers(folder, {other.File()}).otherRunLive);
    }
    // Closed without a clean end: found once, and then gone.
    const TempFolderUsers ended = CheckTempFolderUsers(folder, {});
    EXPECT_FALSE(ended.otherRunLive);
    EXPECT_TRUE(ended.endedRunFound);
    EXPECT_FALSE(CheckTempFolderUsers(folder, {}).endedRunFound);

    TempFolderLock clean(folder);
    clean.Release();
    const TempFolderUsers after = CheckTempFolderUsers(folder, {});
    EXPECT_FALSE(after.otherRunLive || after.endedRunFound);
    EXPECT_FALSE(fs::exists(TempFolderLockFolder(folder)));

    // An empty file of another name is no run's lock: it stays, unsaid.
    fs::create_directories(TempFolderLockFolder(folder));
    const std::wstring stranger = TempFolderLockFolder(folder) + L"\\notes.lock";
    TempFolder::WriteBytes(stranger, "");
    EXPECT_FALSE(CheckTempFolderUsers(folder, {}).endedRunFound);
    EXPECT_TRUE(fs::exists(stranger));
}

TEST(TempFolderLockTest, TheListNamesAFolderOnceUntilItIsForgotten)
{
    TempFolder temp;
    const std::wstring data = temp.File(L"data");
    const std::wstring folder = temp.File(L"root\\.data\\.temp");
    fs::create_directories(data);
    fs::create_directories(folder);
    std::vector<ListedTempFolder> known;
    ASSERT_TRUE(ReadKnownTempFolders(data, known));
    EXPECT_TRUE(known.empty());
    // Written by hand, the very folder proves nothing; a run's use of it
    // takes the line's place with the root's identity.
    TempFolder::WriteBytes(data + L"\\" + kTempFolderListFile, WideToUtf8(folder) + "\r\n");
    ASSERT_TRUE(ReadKnownTempFolders(data, known));
    ASSERT_EQ(known.size(), 1u);
    EXPECT_EQ(ProveTempFolder(known[0].folder), TempFolderProof::Own);
    EXPECT_EQ(ProveListedTempFolder(known[0]), TempFolderProof::NotOwn);
    ASSERT_TRUE(RememberTempFolder(data, folder + L"\\"));
    ASSERT_TRUE(RememberTempFolder(data, temp.File(L"ROOT\\.data\\..\\.data\\.temp")));
    ASSERT_TRUE(ReadKnownTempFolders(data, known));
    ASSERT_EQ(known.size(), 1u);
    EXPECT_EQ(known[0].folder, folder);
    EXPECT_EQ(ProveListedTempFolder(known[0]), TempFolderProof::Own);

    // Another folder put at the root's path is not the root a run used.
    fs::rename(temp.File(L"root"), temp.File(L"gone"));
    fs::create_directories(folder);
    EXPECT_EQ(ProveListedTempFolder(known[0]), TempFolderProof::NotOwn);

    ASSERT_TRUE(ForgetTempFolder(data, folder + L"\\"));
    ASSERT_TRUE(ReadKnownTempFolders(data, known));
    EXPECT_TRUE(known.empty());

    EXPECT_EQ(ParseTempFolderList("\xEF\xBB\xBF"
                                  "C:\\a\\.data\\.temp\r\n\r\nD:\\\xE7\xAE\xB1\\.data\\.temp\n"),
              (std::vector<ListedTempFolder>{{L"C:\\a\\.data\\.temp", std::nullopt},
                                             {L"D:\\\u7bb1\\.data\\.temp", std::nullopt}}));
}
