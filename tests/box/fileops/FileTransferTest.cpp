// Copies and moves never lose a file: failures keep the source, a cancelled
// copy leaves neither a partial file nor a changed destination, overwrites
// happen only with complete data, folders merge.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/TempFolder.h"
#include "box/fileops/FileTransfer.h"

namespace fs = std::filesystem;

namespace
{

size_t EntriesIn(const std::wstring& folder)
{
    size_t n = 0;
    for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it)
        ++n;
    return n;
}

DWORD CALLBACK CancelAfterFirstChunk(LARGE_INTEGER, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                                     DWORD, HANDLE, HANDLE, LPVOID context)
{
    int& calls = *static_cast<int*>(context);
    ++calls;
    return transferred.QuadPart > 0 ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

class FileTransferTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(temp.File(L"in"));
        fs::create_directories(temp.File(L"box"));
    }
    std::wstring In(const std::wstring& name) { return temp.File(L"in\\" + name); }
    std::wstring Box(const std::wstring& name) { return temp.File(L"box\\" + name); }
    TempFolder temp;
};

} // namespace

TEST_F(FileTransferTest, CopyReplacesOnlyWithCompleteData)
{
    TempFolder::WriteBytes(In(L"a.txt"), "new");
    TempFolder::WriteBytes(Box(L"a.txt"), "old");
    EXPECT_EQ(CopyItem(In(L"a.txt"), Box(L"a.txt"), {}), TransferResult::Done);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"a.txt")), "new");
    EXPECT_EQ(TempFolder::ReadBytes(In(L"a.txt")), "new");
    EXPECT_EQ(EntriesIn(temp.File(L"box")), 1u) << "no part file is left behind";
}

TEST_F(FileTransferTest, FailedCopyKeepsSourceAndDestination)
{
    TempFolder::WriteBytes(In(L"a.txt"), "data");
    EXPECT_EQ(CopyItem(In(L"a.txt"), temp.File(L"nowhere\\a.txt"), {}), TransferResult::Failed);
    EXPECT_EQ(MoveItem(In(L"a.txt"), temp.File(L"nowhere\\a.txt"), false, {}), TransferResult::Failed);
    EXPECT_EQ(TempFolder::ReadBytes(In(L"a.txt")), "data");
    EXPECT_EQ(MoveItem(In(L"gone.txt"), Box(L"gone.txt"), false, {}), TransferResult::Failed);
}

TEST_F(FileTransferTest, CancelledCopyOfALargeFileLeavesNothingBehind)
{
    const std::string big(32 * 1024 * 1024, 'x');
    TempFolder::WriteBytes(In(L"big.bin"), big);
    TempFolder::WriteBytes(Box(L"big.bin"), "old");
    int calls = 0, checks = 0;
    TransferOptions options;
    // The progress routine stops the copy after its first chunk; where the
    // system calls no progress routine, the stop request is seen right
    // after the copy instead. Either way the copy is cancelled midway.
    options.progress = CancelAfterFirstChunk;
    options.context = &calls;
    options.cancelled = [&] { return checks++ >= 1 || calls > 0; };
    EXPECT_EQ(CopyItem(In(L"big.bin"), Box(L"big.bin"), options), TransferResult::Cancelled);
    EXPECT_EQ(fs::file_size(In(L"big.bin")), big.size());
    EXPECT_EQ(fs::file_size(Box(L"big.bin")), 3u) << "the file to be replaced is untouched";
    EXPECT_EQ(EntriesIn(temp.File(L"box")), 1u);
    // A move that falls back to copying is cancelled the same way.
    TransferOptions stop;
    stop.cancelled = [] { return true; };
    EXPECT_EQ(MoveItem(In(L"big.bin"), Box(L"new.bin"), false, stop), TransferResult::Cancelled);
    EXPECT_TRUE(fs::exists(In(L"big.bin")));
}

TEST_F(FileTransferTest, MoveNeverReplacesWithoutBeingAsked)
{
    TempFolder::WriteBytes(In(L"a.txt"), "new");
    TempFolder::WriteBytes(Box(L"a.txt"), "old");
    EXPECT_EQ(MoveItem(In(L"a.txt"), Box(L"a.txt"), false, {}), TransferResult::Failed);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"a.txt")), "old");
    EXPECT_EQ(TempFolder::ReadBytes(In(L"a.txt")), "new");
    EXPECT_EQ(MoveItem(In(L"a.txt"), Box(L"a.txt"), true, {}), TransferResult::Done);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"a.txt")), "new");
    EXPECT_FALSE(fs::exists(In(L"a.txt")));
}

TEST_F(FileTransferTest, FoldersMoveWholeOrMergeWhenReplacing)
{
    fs::create_directories(In(L"photos\\2024"));
    TempFolder::WriteBytes(In(L"photos\\2024\\p.jpg"), "new");
    TempFolder::WriteBytes(In(L"photos\\q.jpg"), "q");
    fs::create_directories(Box(L"photos"));
    TempFolder::WriteBytes(Box(L"photos\\keep.jpg"), "keep");
    TempFolder::WriteBytes(Box(L"photos\\q.jpg"), "oldq");
    int folders = 0;
    TransferOptions options;
    options.onFolder = [&] { ++folders; };
    EXPECT_EQ(MoveItem(In(L"photos"), Box(L"photos"), true, options), TransferResult::Done);
    EXPECT_EQ(folders, 1);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"photos\\2024\\p.jpg")), "new");
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"photos\\q.jpg")), "q");
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"photos\\keep.jpg")), "keep");
    EXPECT_FALSE(fs::exists(In(L"photos")));

    fs::create_directories(In(L"docs"));
    TempFolder::WriteBytes(In(L"docs\\d.txt"), "d");
    EXPECT_EQ(CopyItem(In(L"docs"), Box(L"docs"), {}), TransferResult::Done);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"docs\\d.txt")), "d");
    EXPECT_TRUE(fs::exists(In(L"docs\\d.txt")));
}

TEST(PartFiles, AreRecognisedByName)
{
    EXPECT_TRUE(IsPartFileName(L"a.txt.1a2b3c.tessik-part"));
    EXPECT_FALSE(IsPartFileName(L".tessik-part"));
    EXPECT_FALSE(IsPartFileName(L"a.txt"));
}
