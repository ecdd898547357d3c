// Copies and moves never lose a file: failures keep the source, a cancelled
// copy leaves neither a partial file nor a changed destination, overwrites
// happen only with complete data, folders merge, a move to another volume
// removes only what it copied, and links are never followed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/TempFolder.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/PartFileJournal.h"
#include "common/DirectoryLink.h"
#include "common/HostFiles.h"

namespace fs = std::filesystem;

namespace
{

// What every file of a folder holds, its name aside.
std::multiset<std::string> ContentsIn(const std::wstring& folder)
{
    std::multiset<std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder))
        contents.insert(TempFolder::ReadBytes(entry.path().wstring()));
    return contents;
}

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

// Every rename fails, as between two volumes.
bool RenameAcrossVolumes(const std::wstring&, const std::wstring&, DWORD)
{
    SetLastError(ERROR_NOT_SAME_DEVICE);
    return false;
}

uint64_t FileIndexOf(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION facts{};
    const bool ok = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &facts);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return ok ? (static_cast<uint64_t>(facts.nFileIndexHigh) << 32) | facts.nFileIndexLow : 0;
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
    EXPECT_EQ(CopyItem(In(L"a.txt"), Box(L"a.txt"), true, {}), TransferResult::Done);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"a.txt")), "new");
    EXPECT_EQ(TempFolder::ReadBytes(In(L"a.txt")), "new");
    EXPECT_EQ(EntriesIn(temp.File(L"box")), 1u) << "no part file is left behind";
}

TEST_F(FileTransferTest, FailedCopyKeepsSourceAndDestination)
{
    TempFolder::WriteBytes(In(L"a.txt"), "data");
    EXPECT_EQ(CopyItem(In(L"a.txt"), temp.File(L"nowhere\\a.txt"), true, {}), TransferResult::Failed);
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
    EXPECT_EQ(CopyItem(In(L"big.bin"), Box(L"big.bin"), true, options), TransferResult::Cancelled);
    EXPECT_EQ(fs::file_size(In(L"big.bin")), big.size());
    EXPECT_EQ(fs::file_size(Box(L"big.bin")), 3u) << "the file to be replaced is untouched";
    EXPECT_EQ(EntriesIn(temp.File(L"box")), 1u);
    // A move that falls back to copying is cancelled the same way.
    // The caller hears why, whatever an earlier look left as the last error.
    TransferOptions stop;
    stop.cancelled = [] { return true; };
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(MoveItem(In(L"big.bin"), Box(L"new.bin"), false, stop), TransferResult::Cancelled);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_REQUEST_ABORTED));
    EXPECT_TRUE(fs::exists(In(L"big.bin")));
}

TEST_F(FileTransferTest, MoveNeverReplacesWithoutBeingAsked)
{
    TempFolder::WriteBytes(In(L"a.txt"), "new");
    TempFolder::WriteBytes(Box(L"a.txt"), "old");
    EXPECT_EQ(MoveItem(In(L"a.txt"), Box(L"a.txt"), false, {}), TransferResult::Failed);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"a.txt")), "old");
    EXPECT_EQ(TempFolder::ReadBytes(In(L"a.txt")), "new");
    const uint64_t index = FileIndexOf(In(L"a.txt"));
    TransferReport report;
    EXPECT_EQ(MoveItem(In(L"a.txt"), Box(L"a.txt"), true, {}, &report), TransferResult::Done);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"a.txt")), "new");
    EXPECT_FALSE(fs::exists(In(L"a.txt")));
    // On one volume the file itself is renamed, never copied and removed,
    // and the report names that very file.
    EXPECT_NE(index, 0u);
    EXPECT_EQ(FileIndexOf(Box(L"a.txt")), index);
    ASSERT_TRUE(report.placed.has_value());
    EXPECT_EQ(report.placed->index, index);
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
    EXPECT_EQ(CopyItem(In(L"docs"), Box(L"docs"), true, {}), TransferResult::Done);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"docs\\d.txt")), "d");
    EXPECT_TRUE(fs::exists(In(L"docs\\d.txt")));
}

TEST_F(FileTransferTest, AMoveToAnotherVolumeCopiesThenRemovesTheSource)
{
    TempFolder::WriteBytes(In(L"a.txt"), "a");
    fs::create_directories(In(L"photos\\2024"));
    TempFolder::WriteBytes(In(L"photos\\2024\\p.jpg"), "p");
    TempFolder::WriteBytes(In(L"photos\\q.jpg"), "q");
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    TransferReport report;
    EXPECT_EQ(MoveItem(In(L"a.txt"), Box(L"a.txt"), false, options, &report), TransferResult::Done);
    EXPECT_EQ(MoveItem(In(L"photos"), Box(L"photos"), false, options, &report), TransferResult::Done);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"a.txt")), "a");
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"photos\\2024\\p.jpg")), "p");
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"photos\\q.jpg")), "q");
    EXPECT_EQ(EntriesIn(temp.File(L"in")), 0u) << "the sources are gone";
    EXPECT_TRUE(report.leftBehind.empty());
}

// Another program has the files open without allowing their deletion: a
// file that cannot leave stays where it was and nowhere else (its copy
// goes again, or none is made where the rename already says why), and of
// a folder what could go went.
TEST_F(FileTransferTest, AnOriginalThatCannotLeaveLeavesNoSecondCopy)
{
    TempFolder::WriteBytes(In(L"held.txt"), "held");
    fs::create_directories(In(L"docs"));
    TempFolder::WriteBytes(In(L"docs\\d.txt"), "d");
    TempFolder::WriteBytes(In(L"docs\\e.txt"), "e");
    HANDLE held =
        CreateFileW(In(L"held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE inFolder =
        CreateFileW(In(L"docs\\d.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_NE(inFolder, INVALID_HANDLE_VALUE);
    TransferOptions acrossVolumes;
    acrossVolumes.rename = RenameAcrossVolumes;
    TransferReport report, sameVolume;
    EXPECT_EQ(MoveItem(In(L"held.txt"), Box(L"held.txt"), false, acrossVolumes, &report), TransferResult::Failed);
    EXPECT_FALSE(fs::exists(Box(L"held.txt"))) << "the copy went again";
    EXPECT_EQ(MoveItem(In(L"held.txt"), Box(L"held.txt"), false, {}, &sameVolume), TransferResult::Failed);
    EXPECT_FALSE(fs::exists(Box(L"held.txt")));
    EXPECT_EQ(MoveItem(In(L"docs"), Box(L"docs"), false, acrossVolumes, &report), TransferResult::Incomplete);
    CloseHandle(held);
    CloseHandle(inFolder);
    EXPECT_EQ(TempFolder::ReadBytes(In(L"held.txt")), "held");
    EXPECT_EQ(TempFolder::ReadBytes(In(L"docs\\d.txt")), "d");
    EXPECT_FALSE(fs::exists(Box(L"docs\\d.txt")));
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"docs\\e.txt")), "e");
    EXPECT_FALSE(fs::exists(In(L"docs\\e.txt"))) << "what could go went";
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed.front().path, In(L"held.txt"));
    EXPECT_EQ(report.failed.front().error, static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "why it stayed";
    ASSERT_EQ(sameVolume.failed.size(), 1u);
    EXPECT_EQ(sameVolume.failed.front().error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(report.leftBehind, std::vector<std::wstring>{In(L"docs\\d.txt")});
    EXPECT_EQ(report.removalError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

// A folder whose files cannot leave takes back with their copies the
// folders made for them: what did not move is only where it was, and of a
// folder partly moved what moved stays (an empty folder too).
TEST_F(FileTransferTest, AFolderThatCannotLeaveLeavesNoFolderOfItsOwnBehind)
{
    fs::create_directories(In(L"album\\inner"));
    fs::create_directories(In(L"mixed\\sub"));
    fs::create_directories(In(L"mixed\\empty"));
    TempFolder::WriteBytes(In(L"mixed\\c.txt"), "c");
    std::vector<HANDLE> held;
    for (const wchar_t* name : {L"album\\a.txt", L"album\\inner\\b.txt", L"mixed\\sub\\d.txt"}) {
        TempFolder::WriteBytes(In(name), "held");
        held.push_back(
            CreateFileW(In(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(held.back(), INVALID_HANDLE_VALUE);
    }
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    TransferReport all, part;
    EXPECT_EQ(MoveItem(In(L"album"), Box(L"album"), false, options, &all), TransferResult::Failed);
    EXPECT_EQ(MoveItem(In(L"mixed"), Box(L"mixed"), false, options, &part), TransferResult::Incomplete);
    for (HANDLE h : held)
        CloseHandle(h);
    EXPECT_FALSE(fs::exists(Box(L"album")));
    EXPECT_EQ(TempFolder::ReadBytes(In(L"album\\inner\\b.txt")), "held");
    ASSERT_EQ(all.failed.size(), 1u);
    EXPECT_EQ(all.failed.front().path, In(L"album"));
    EXPECT_EQ(all.failed.front().error, static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "why it stayed";
    EXPECT_TRUE(all.leftBehind.empty());
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"mixed\\c.txt")), "c");
    EXPECT_TRUE(fs::is_directory(Box(L"mixed\\empty")));
    EXPECT_FALSE(fs::exists(In(L"mixed\\empty")));
    EXPECT_FALSE(fs::exists(Box(L"mixed\\sub")));
    EXPECT_EQ(TempFolder::ReadBytes(In(L"mixed\\sub\\d.txt")), "held");
    EXPECT_FALSE(part.keptTwice) << "what stayed is only at its source";
}

// Another program changes what is moved to another volume while it is
// copied: a file appended to is not whole in its copy, a folder gains a
// file. What changed stays at the source, and the reason says what
// happened.
TEST_F(FileTransferTest, WhatChangedWhileItWasMovedStaysAndTheReasonSaysSo)
{
    TempFolder::WriteBytes(In(L"log.txt"), "first");
    fs::create_directories(In(L"docs"));
    TempFolder::WriteBytes(In(L"docs\\a.txt"), "a");
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    std::function<void()> change;
    size_t before = 0;
    // Polled again once the copy stands beside its destination.
    options.cancelled = [&] {
        if (change && EntriesIn(Box(L"")) > before)
            std::exchange(change, nullptr)();
        return false;
    };
    // The file's outdated copy goes again: its one version stays where it
    // was.
    before = EntriesIn(Box(L""));
    change = [&] { TempFolder::WriteBytes(In(L"log.txt"), "changed"); };
    TransferReport file;
    EXPECT_EQ(MoveItem(In(L"log.txt"), Box(L"log.txt"), false, options, &file), TransferResult::Failed);
    EXPECT_FALSE(change) << "nothing changed";
    EXPECT_EQ(TempFolder::ReadBytes(In(L"log.txt")), "changed");
    EXPECT_FALSE(fs::exists(Box(L"log.txt")));
    ASSERT_EQ(file.failed.size(), 1u);
    EXPECT_EQ(file.failed.front().error, kErrorChangedWhileMoved);

    before = EntriesIn(Box(L""));
    change = [&] { TempFolder::WriteBytes(In(L"docs\\late.txt"), "changed"); };
    TransferReport folder;
    EXPECT_EQ(MoveItem(In(L"docs"), Box(L"docs"), false, options, &folder), TransferResult::Incomplete);
    EXPECT_FALSE(change) << "nothing changed";
    EXPECT_EQ(TempFolder::ReadBytes(In(L"docs\\late.txt")), "changed");
    EXPECT_EQ(folder.leftBehind, std::vector<std::wstring>{In(L"docs")});
    EXPECT_EQ(folder.removalError, kErrorGainedWhileMoved);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"docs\\a.txt")), "a");
}

// A folder the host keeps unchanged (chattr +i): Wine answers success to
// the delete of a file in it, which stays. After its copy the file is
// looked for: still there, it stays alone and the reason is told.
TEST_F(FileTransferTest, ASourceWhoseDeleteDidNotTakeIsToldAsNotMoved)
{
    fs::create_directories(In(L"kept"));
    TempFolder::WriteBytes(In(L"kept\\a.txt"), "a");
    const std::string unixKept = host_files::UnixPath(In(L"kept"));
    // Locked once nothing new can be made in it. Each probe has a name of
    // its own: one made just as the lock came stays.
    int probes = 0;
    auto locked = [&] {
        const std::wstring probe = In(L"kept\\probe" + std::to_wstring(++probes));
        HANDLE h =
            CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_ACCESS_DENIED;
        CloseHandle(h);
        return false;
    };
    // Wine may report a host program ended before it has run: the unlock is
    // asked again until the folder takes files again.
    auto chattr = [&](const char* change, bool lock, int attempts) {
        for (int attempt = 0; attempt < attempts; ++attempt) {
            if (!host_files::RunOnHost(L"Z:\\usr\\bin\\chattr", {change, unixKept}))
                return false;
            for (int i = 0; i < 100; ++i) {
                if (locked() == lock)
                    return true;
                Sleep(50);
            }
        }
        return false;
    };
    if (!chattr("+i", true, 1))
        GTEST_SKIP() << "the host keeps no folder unchanged here (chattr +i needs root)";
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    TransferReport report;
    const TransferResult result = MoveItem(In(L"kept\\a.txt"), Box(L"a.txt"), false, options, &report);
    EXPECT_TRUE(chattr("-i", false, 3)) << "the test's folder stays locked";
    EXPECT_EQ(result, TransferResult::Failed) << "its copy went again";
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed.front().error, kErrorRemovalDidNotTake);
    EXPECT_EQ(TempFolder::ReadBytes(In(L"kept\\a.txt")), "a");
    EXPECT_FALSE(fs::exists(Box(L"a.txt")));
}

TEST_F(FileTransferTest, AFileNeverReplacesAFolderNorAFolderAFileAndTheReasonSaysWhich)
{
    TempFolder::WriteBytes(In(L"same"), "file");
    fs::create_directories(Box(L"same"));
    TempFolder::WriteBytes(Box(L"same\\kept.txt"), "kept");
    fs::create_directories(In(L"dir"));
    TempFolder::WriteBytes(Box(L"dir"), "file in the way");
    TransferReport report;
    EXPECT_EQ(MoveItem(In(L"same"), Box(L"same"), true, {}, &report), TransferResult::Failed);
    EXPECT_EQ(CopyItem(In(L"dir"), Box(L"dir"), true, {}, &report), TransferResult::Failed);
    EXPECT_EQ(MoveItem(In(L"dir"), Box(L"dir"), true, {}, &report), TransferResult::Failed);
    ASSERT_EQ(report.failed.size(), 3u);
    EXPECT_EQ(report.failed[0].error, kErrorFolderInTheWay);
    EXPECT_EQ(report.failed[1].error, kErrorFileInTheWay);
    EXPECT_EQ(report.failed[2].error, kErrorFileInTheWay);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"same\\kept.txt")), "kept");
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"dir")), "file in the way");
    EXPECT_EQ(TempFolder::ReadBytes(In(L"same")), "file");
}

TEST_F(FileTransferTest, ALinkInADroppedFolderIsNeverFollowed)
{
    // Outside the dropped folder: what its link points to.
    fs::create_directories(temp.File(L"outside\\deep"));
    TempFolder::WriteBytes(temp.File(L"outside\\o.txt"), "outside");
    TempFolder::WriteBytes(temp.File(L"outside\\deep\\p.txt"), "deep");
    for (const bool merge : {false, true}) {
        SCOPED_TRACE(merge ? "merged with an existing folder" : "moved to another volume");
        const std::wstring drop = merge ? L"drop2" : L"drop1";
        auto in = [&](const std::wstring& rest) { return In(drop + rest); };
        auto box = [&](const std::wstring& rest) { return Box(drop + rest); };
        fs::create_directories(in(L"\\sub"));
        TempFolder::WriteBytes(in(L"\\a.txt"), "a");
        TempFolder::WriteBytes(in(L"\\sub\\b.txt"), "b");
        if (!MakeDirectoryLink(in(L"\\sub\\link"), temp.File(L"outside")))
            GTEST_SKIP() << "this system makes no directory links";
        if (merge) {
            fs::create_directories(box(L""));
            TempFolder::WriteBytes(box(L"\\keep.txt"), "keep");
        }
        TransferOptions options;
        options.rename = RenameAcrossVolumes;
        TransferReport report;
        EXPECT_EQ(MoveItem(in(L""), box(L""), merge, options, &report), TransferResult::Incomplete);
        EXPECT_EQ(TempFolder::ReadBytes(temp.File(L"outside\\o.txt")), "outside");
        EXPECT_EQ(TempFolder::ReadBytes(temp.File(L"outside\\deep\\p.txt")), "deep");
        EXPECT_EQ(TempFolder::ReadBytes(box(L"\\a.txt")), "a");
        EXPECT_EQ(TempFolder::ReadBytes(box(L"\\sub\\b.txt")), "b");
        EXPECT_EQ(GetFileAttributesW(box(L"\\sub\\link").c_str()), INVALID_FILE_ATTRIBUTES)
            << "nothing was copied through the link";
        EXPECT_EQ(report.leftBehind, std::vector<std::wstring>{in(L"\\sub\\link")});
        EXPECT_FALSE(fs::exists(in(L"\\a.txt")));
        EXPECT_NE(GetFileAttributesW(in(L"\\sub\\link").c_str()), INVALID_FILE_ATTRIBUTES)
            << "the link stays where it was";
        if (merge) {
            EXPECT_EQ(TempFolder::ReadBytes(box(L"\\keep.txt")), "keep");
        }
        // A copy leaves the link out the same way.
        TransferReport copyReport;
        EXPECT_EQ(CopyItem(in(L""), Box(drop + L"copy"), true, {}, &copyReport), TransferResult::Incomplete);
        EXPECT_EQ(copyReport.leftBehind, std::vector<std::wstring>{in(L"\\sub\\link")});
        ASSERT_TRUE(fs::exists(temp.File(L"outside\\deep\\p.txt")));
    }
}

TEST_F(FileTransferTest, ALinkToAFileOrAnEmptyFolderIsNeverMovedAsWhatItLeadsTo)
{
    fs::create_directories(In(L"drop"));
    TempFolder::WriteBytes(In(L"drop\\a.txt"), "a");
    OutsideLinks links;
    if (!links.Make(In(L"drop"), temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no links";
    TransferOptions acrossVolumes;
    acrossVolumes.rename = RenameAcrossVolumes;
    for (const std::wstring& link : links.links) {
        const std::wstring name = fs::path(link).filename().wstring();
        SCOPED_TRACE(fs::path(link).filename().string());
        const bool shownAsLink = GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT;
        TransferReport report;
        EXPECT_NE(CopyItem(link, Box(L"copy " + name), true, {}, &report), TransferResult::Done);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        const TransferResult across = MoveItem(link, Box(L"far " + name), false, acrossVolumes, &report);
        const DWORD why = GetLastError();
        EXPECT_NE(across, TransferResult::Done);
        EXPECT_EQ(why, kErrorLinkNotFollowed) << "the reason is the link's, not one left from before";
        EXPECT_TRUE(links.Untouched());
        const TransferResult moved = MoveItem(link, Box(name), false, {}, &report);
        EXPECT_TRUE(links.Untouched());
        if (!shownAsLink || moved != TransferResult::Done) {
            // It stays where it was, as it was, and the caller learns of it.
            EXPECT_NE(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_NE(std::find(report.leftBehind.begin(), report.leftBehind.end(), link), report.leftBehind.end());
        }
    }

    // A folder moved to another volume: its files go, the links stay.
    TransferReport report;
    EXPECT_EQ(MoveItem(In(L"drop"), Box(L"drop"), false, acrossVolumes, &report), TransferResult::Incomplete);
    EXPECT_TRUE(links.Untouched());
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"drop\\a.txt")), "a");
    EXPECT_FALSE(fs::exists(In(L"drop\\a.txt")));
    for (const std::wstring& link : links.links) {
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
            EXPECT_NE(std::find(report.leftBehind.begin(), report.leftBehind.end(), link), report.leftBehind.end());
            EXPECT_EQ(GetFileAttributesW(Box(L"drop\\" + fs::path(link).filename().wstring()).c_str()),
                      INVALID_FILE_ATTRIBUTES)
                << "nothing was copied through a link";
        }
    }
}

TEST(PartFiles, AreKnownByTheTokenOfTheirJob)
{
    EXPECT_EQ(PartFileJournal::TokenOfPartFileName(L"a.txt.0123456789ab-c0de.tessik-part"), L"0123456789ab");
    // The form copies used to give, and names near ours, carry no token.
    EXPECT_EQ(PartFileJournal::TokenOfPartFileName(L"notes.1a2b3c.tessik-part"), L"");
    EXPECT_EQ(PartFileJournal::TokenOfPartFileName(L".0123456789ab-c0de.tessik-part"), L"");
    EXPECT_EQ(PartFileJournal::TokenOfPartFileName(L"a.0123456789AB-c0de.tessik-part"), L"");
    EXPECT_EQ(PartFileJournal::TokenOfPartFileName(L"a.txt"), L"");
}

TEST_F(FileTransferTest, TwoNamesOneFolderTakesAsOneNeverBecomeOneFile)
{
    // Made on a file system that tells case apart: "a.txt" and "A.txt".
    fs::create_directories(In(L"G"));
    TempFolder::WriteBytes(In(L"G\\a.txt"), "aaaa");
    TempFolder::WriteBytes(In(L"upper"), "BBBB");
    if (!RenameOnHost(In(L"upper"), In(L"G"), "A.txt") || EntriesIn(In(L"G")) != 2)
        GTEST_SKIP() << "this system makes no names that differ only in case";
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    TransferReport report;
    EXPECT_EQ(MoveItem(In(L"G"), Box(L"G"), true, options, &report), TransferResult::Incomplete);
    EXPECT_EQ(EntriesIn(Box(L"G")), 1u);
    EXPECT_EQ(EntriesIn(In(L"G")), 1u) << "what did not arrive stays at its source";
    std::multiset<std::string> all = ContentsIn(Box(L"G"));
    all.merge(ContentsIn(In(L"G")));
    EXPECT_EQ(all, (std::multiset<std::string>{"aaaa", "BBBB"}));
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].error, static_cast<DWORD>(ERROR_FILE_EXISTS));
    RemoveOnHost(In(L"G"));
}

TEST_F(FileTransferTest, ANameThatClimbsOutOfItsFolderIsNeverFollowed)
{
    // Beside the source two levels up, and in the box two levels up from
    // where the folder goes: what "..\\..\\report.doc" would reach.
    TempFolder::WriteBytes(temp.File(L"report.doc"), "mine");
    fs::create_directories(Box(L"deep"));
    TempFolder::WriteBytes(temp.File(L"box\\report.doc"), "the box's own");
    fs::create_directories(In(L"drop"));
    TempFolder::WriteBytes(In(L"drop\\a.txt"), "a");
    TempFolder::WriteBytes(In(L"odd"), "odd");
    if (!RenameOnHost(In(L"odd"), In(L"drop"), "..\\..\\report.doc") || EntriesIn(In(L"drop")) != 2)
        GTEST_SKIP() << "this system makes no names that hold a backslash";
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    TransferReport report;
    EXPECT_EQ(MoveItem(In(L"drop"), Box(L"deep\\drop"), false, options, &report), TransferResult::Incomplete);
    EXPECT_EQ(TempFolder::ReadBytes(temp.File(L"report.doc")), "mine");
    EXPECT_EQ(TempFolder::ReadBytes(temp.File(L"box\\report.doc")), "the box's own");
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"deep\\drop\\a.txt")), "a");
    EXPECT_EQ(EntriesIn(In(L"drop")), 1u) << "the odd name stays where it is";
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].error, static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_EQ(report.failed[0].name, L"..\\..\\report.doc") << "named as its folder lists it";
    RemoveOnHost(In(L"drop"));
}

// "rep." and "sp " are names of their own (archives and shares make them);
// the system's path clean-up would reach "rep" and "sp" beside them.
TEST_F(FileTransferTest, ANameEndingInADotOrABlankMovesThatEntryAndNotItsNeighbour)
{
    TempFolder::WriteBytes(In(L"rep"), "plain");
    TempFolder::WriteBytes(In(L"sp"), "plainsp");
    TempFolder::WriteBytes(In(L"one"), "dotted");
    TempFolder::WriteBytes(In(L"two"), "spaced");
    if (!RenameOnHost(In(L"one"), In(L""), "rep.") || !RenameOnHost(In(L"two"), In(L""), "sp "))
        GTEST_SKIP() << "this system makes no names that end in a dot or a blank";
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    EXPECT_EQ(MoveItem(In(L"rep."), Box(L"rep."), false, {}, nullptr), TransferResult::Done);
    EXPECT_EQ(MoveItem(In(L"sp "), Box(L"sp "), false, options, nullptr), TransferResult::Done);
    EXPECT_EQ(TempFolder::ReadBytes(In(L"rep")), "plain");
    EXPECT_EQ(TempFolder::ReadBytes(In(L"sp")), "plainsp");
    EXPECT_EQ(EntriesIn(In(L"")), 2u);
    EXPECT_FALSE(PathExists(Box(L"rep"))) << "no neighbour arrived";
    EXPECT_FALSE(PathExists(Box(L"sp")));
    EXPECT_EQ(EntriesIn(Box(L"")), 2u);
    RemoveOnHost(Box(L"rep."));
    RemoveOnHost(Box(L"sp "));
}

TEST_F(FileTransferTest, AFolderIsNeverPutIntoItself)
{
    fs::create_directories(In(L"photos"));
    TempFolder::WriteBytes(In(L"photos\\p.jpg"), "p");
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    TransferReport report;
    EXPECT_EQ(CopyItem(In(L"photos"), In(L"photos\\inner"), true, {}, &report), TransferResult::Failed);
    EXPECT_EQ(MoveItem(In(L"photos"), In(L"PHOTOS\\inner"), false, options, &report), TransferResult::Failed);
    EXPECT_EQ(CopyItem(In(L"photos"), In(L"photos"), true, {}, &report), TransferResult::Failed);
    if (MakeDirectoryLink(temp.File(L"alias"), In(L"photos"))) {
        EXPECT_EQ(CopyItem(In(L"photos"), temp.File(L"alias\\inner"), true, {}, &report), TransferResult::Failed);
    }
    EXPECT_EQ(ContentsIn(In(L"photos")), std::multiset<std::string>{"p"});
    ASSERT_FALSE(report.failed.empty());
    for (const TransferFailure& failure : report.failed)
        EXPECT_EQ(failure.error, kErrorDestinationInsideSource);
}

TEST_F(FileTransferTest, APathLongerThanTheOldLimitIsCopiedAndMoved)
{
    std::wstring folder = In(L"long");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(40, L'x');
        ASSERT_TRUE(CreateDirectoryW(LongPathForm(folder).c_str(), nullptr));
    }
    const std::wstring file = folder + L"\\f.txt";
    HANDLE h = CreateFileW(LongPathForm(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "long", 4, &written, nullptr);
    CloseHandle(h);
    TransferReport report;
    if (CheckEntry(file) != EntryCheck::Itself) {
        // Wine cannot name an open file whose path is that long: the entry
        // is then one that could not be checked, never taken for a link.
        EXPECT_EQ(CheckEntry(file), EntryCheck::Unchecked);
        EXPECT_EQ(CopyItem(file, Box(L"f.txt"), false, {}, &report), TransferResult::Failed);
        EXPECT_TRUE(report.leftBehind.empty());
        ASSERT_EQ(report.failed.size(), 1u);
        EXPECT_EQ(report.failed[0].error, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
        return;
    }
    EXPECT_EQ(CopyItem(file, Box(L"f.txt"), false, {}), TransferResult::Done);
    EXPECT_EQ(TempFolder::ReadBytes(Box(L"f.txt")), "long");
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    EXPECT_EQ(MoveItem(In(L"long"), Box(L"long"), false, options), TransferResult::Done);
    EXPECT_FALSE(fs::exists(In(L"long")));
    const std::wstring moved = Box(file.substr(In(L"").size()));
    EXPECT_NE(GetFileAttributesW(LongPathForm(moved).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FileTransferTest, AFolderWhoseEntriesAreAllRefusedLeavesNoEmptyFolders)
{
    std::wstring folder = In(L"deep");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    while (folder.size() < 300) {
        folder += L"\\" + std::wstring(40, L'y');
        ASSERT_TRUE(CreateDirectoryW(LongPathForm(folder).c_str(), nullptr));
    }
    HANDLE h =
        CreateFileW(LongPathForm(folder + L"\\f.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    if (CheckEntry(folder + L"\\f.txt") == EntryCheck::Itself)
        GTEST_SKIP() << "this system checks entries of any length: nothing is refused";
    TransferReport report;
    EXPECT_EQ(CopyItem(In(L"deep"), Box(L"deep"), false, {}, &report), TransferResult::Failed);
    EXPECT_FALSE(PathExists(Box(L"deep"))) << "no chain of empty folders stays in the box";
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].error, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    TransferOptions options;
    options.rename = RenameAcrossVolumes;
    EXPECT_EQ(MoveItem(In(L"deep"), Box(L"deep"), false, options), TransferResult::Failed);
    EXPECT_FALSE(PathExists(Box(L"deep")));
    EXPECT_NE(GetFileAttributesW(LongPathForm(folder + L"\\f.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}
