// The end of a file job always runs, whatever stopped its worker.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "app/StoreTextFormat.h"
#include "box/fileops/CopyJob.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobs.h"
#include "app/FileRemoval.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/TempFolderSweep.h"
#include "app/TempFolder.h"
#include "common/WindowTestSupport.h"
#include "ui/core/KelmWindow.h"

TEST(FileJobsTest, AWorkerThatStopsBeforeItsLastStepStillEndsItsJob)
{
    auto box = std::make_shared<KelmWindow>();
    ASSERT_TRUE(StartFileJob(box, [] { throw std::runtime_error("stopped half way"); }));
    const ULONGLONG end = GetTickCount64() + 10000;
    while (s_copyProgress.busy && GetTickCount64() < end)
        PumpMessages(10);
    EXPECT_FALSE(s_copyProgress.busy) << "the progress record is released";
    EXPECT_FALSE(s_copyProgress.workerRunning);
    // The next job starts.
    ASSERT_TRUE(StartFileJob(box, [] { EndFileJobWorker(RepaintTarget{}); }));
    while (s_copyProgress.busy && GetTickCount64() < end)
        PumpMessages(10);
    EXPECT_FALSE(s_copyProgress.busy);
    s_copyProgress.targetWindow.reset();
}

TEST(FileJobsTest, ReasonsAreWordsNotNumbers)
{
    // A name Windows keeps for a device is named as the reason, whatever
    // the system answered for it.
    for (const wchar_t* name : {L"aux.txt", L"CON", L"nul .log", L"com7.tar.gz", L"Lpt1"})
        EXPECT_NE(TransferErrorText(ERROR_INVALID_PARAMETER, std::wstring(L"C:\\in\\") + name).find(L"保留"),
                  std::wstring::npos)
            << name;
    for (const wchar_t* name : {L"auxiliary.txt", L"com0", L"con-x.txt", L"lpt10"})
        EXPECT_FALSE(IsReservedDeviceName(name)) << name;
    for (DWORD error : {ERROR_INVALID_PARAMETER, ERROR_IS_SUBST_TARGET, ERROR_DIRECTORY, ERROR_DIR_NOT_EMPTY,
                        ERROR_WRITE_PROTECT, ERROR_NOT_READY, ERROR_BAD_NETPATH})
        EXPECT_EQ(TransferErrorText(error).find(L"错误代码"), std::wstring::npos) << error;
    EXPECT_NE(TransferErrorText(kErrorFolderInTheWay).find(L"文件夹"), std::wstring::npos);
}

TEST(FileJobsTest, EveryItemIsNamedAsTheUserSeesItWithItsReason)
{
    JobTrouble trouble;
    trouble.failed.push_back({L"C:\\in\\a\\b", ERROR_INVALID_NAME, L"a\\b"});
    trouble.leftBehind.push_back({L"C:\\in\\locked", true, true, ERROR_ACCESS_DENIED});
    trouble.leftBehind.push_back({L"C:\\in\\second", true, true, ERROR_ACCESS_DENIED, true});
    trouble.leftBehind.push_back({L"C:\\in\\withlink", true, true, 0});
    const std::wstring text = JobTroubleText(trouble);
    for (const wchar_t* name : {L"“a\\b”", L"locked", L"second", L"withlink"})
        EXPECT_NE(text.find(name), std::wstring::npos) << name;
    EXPECT_NE(text.find(L"没有删除原位置内容的权限"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_EQ(text.find(L"或文件正被占用"), std::wstring::npos);
    // Only what stands at both places is said to be kept at both.
    const size_t partly = text.find(L"只有一部分移入了收纳盒，其余内容仍在原来的位置");
    ASSERT_NE(partly, std::wstring::npos) << WideToUtf8(text);
    const std::wstring section = text.substr(partly, text.find(L"\n\n", partly) - partly);
    EXPECT_NE(section.find(L"locked"), std::wstring::npos);
    EXPECT_EQ(section.find(L"second"), std::wstring::npos);
    EXPECT_NE(text.find(L"两处的内容都已保留：\n“second”"), std::wstring::npos) << WideToUtf8(text);
}

// Notices of thousands of items name a few and count the rest: a notice
// wider or taller than the screen tells the user nothing.
TEST(FileJobsTest, ANoticeNamesAFewItemsAndCountsTheRest)
{
    TempSweepResult swept;
    swept.endedRunFound = true;
    for (int i = 0; i < 360; ++i)
        swept.report.recycled.push_back(L"f" + std::to_wstring(i) + L".txt");
    const std::wstring text = TempSweepText(swept, true);
    EXPECT_NE(text.find(L"“f4.txt”"), std::wstring::npos);
    EXPECT_EQ(text.find(L"“f5.txt”"), std::wstring::npos);
    EXPECT_NE(text.find(L"……以及另外 355 项"), std::wstring::npos) << WideToUtf8(text);

    NameList names;
    for (int i = 0; i < 300; ++i)
        names.Add(L"C:\\box\\f" + std::to_wstring(i) + L".txt");
    EXPECT_EQ(names.Text(), L"“f0.txt”、“f1.txt”、“f2.txt”、“f3.txt”、“f4.txt”……以及另外 295 项");
}

TEST(FileJobsTest, TheBarFollowsTheWholeJobsBytesFileByFile)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tessik_progress_" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    auto file = [&](const wchar_t* name, DWORD bytes) {
        const std::wstring path = folder + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const std::string data(bytes, 'x');
        DWORD written = 0;
        WriteFile(h, data.data(), bytes, &written, nullptr);
        CloseHandle(h);
        return path;
    };
    CopyJob job;
    for (const std::wstring& source : {file(L"small.bin", 1 << 20), file(L"big.bin", 3 << 20)}) {
        CopyJobItem item;
        item.source = source;
        job.items.push_back(item);
    }
    CopyJobItem tree;
    tree.source = folder + L"\\tree";
    CreateDirectoryW(tree.source.c_str(), nullptr);
    job.items.push_back(tree);
    const float small = JobItemWeight(1 << 20), big = JobItemWeight(3 << 20), step = JobItemWeight(0);
    const float total = small + big + step;
    auto report = [](LONGLONG done, LONGLONG of) {
        LARGE_INTEGER totalBytes{}, transferred{}, zero{};
        totalBytes.QuadPart = of;
        transferred.QuadPart = done;
        return CopyProgressRoutine(totalBytes, transferred, zero, zero, 0, 0, nullptr, nullptr, nullptr);
    };
    RepaintTarget target;
    const TransferOptions options = WorkerTransferOptions(target);
    std::vector<float> atStart, halfWay;
    std::vector<std::wstring> names;
    ForEachJobItem(job, target, L"test", [&](const CopyJobItem& item) {
        atStart.push_back(s_copyProgress.fraction);
        names.push_back(s_copyProgress.CurrentName());
        if (item.source == tree.source) {
            options.onFolder();
            report(1, 4); // a file inside the folder moves nothing
        } else if (item.source.find(L"big") != std::wstring::npos) {
            report(3 << 19, 3 << 20);
        }
        // The small file is copied as under Wine: no progress within it.
        halfWay.push_back(s_copyProgress.fraction);
    });
    ASSERT_EQ(atStart.size(), 3u);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"small.bin", L"big.bin", L"tree"}));
    EXPECT_FLOAT_EQ(atStart[0], 0.0f);
    EXPECT_FLOAT_EQ(halfWay[0], 0.0f);
    EXPECT_NEAR(atStart[1], small / total, 1e-4) << "the next file starts where the last one ended";
    EXPECT_NEAR(halfWay[1], (small + big / 2) / total, 1e-4);
    EXPECT_NEAR(atStart[2], (small + big) / total, 1e-4);
    EXPECT_NEAR(halfWay[2], (small + big + step / 2) / total, 1e-4) << "a folder shows half way";
    EXPECT_FLOAT_EQ(s_copyProgress.fraction, 1.0f);
    RemoveItemWithoutFollowingLinks(folder);
}

// What "直接覆盖" would replace cannot be kept: the item is told with the
// system's reason (a held file, a full volume), never a made-up one.
TEST(FileJobsTest, AReplacedVersionThatCannotBeKeptNamesTheRealReason)
{
    TempFolder temp;
    CopyJobItem item;
    item.source = temp.File(L"new.txt");
    item.destination = temp.File(L"old.txt");
    item.keptCopy = temp.File(L"old.txt1a2b.tmp");
    item.replace = true;
    TempFolder::WriteBytes(item.source, "new");
    TempFolder::WriteBytes(item.destination, "old");
    // Another program holds the old version and shares it with nobody.
    HANDLE held = CreateFileW(item.destination.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(KeepWhatItemReplaces(item, TransferOptions{}));
    const DWORD error = GetLastError();
    CloseHandle(held);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(std::filesystem::exists(item.keptCopy)) << "no half copy stays";
    EXPECT_EQ(TempFolder::ReadBytes(item.destination), "old");
}
