#include "box/fileops/TempFolderSweep.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "app/AppConfig.h"
#include "app/AppState.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/KelmStorage.h"
#include "app/KnownTempFolders.h"
#include "app/Logger.h"
#include "app/TempFolderUse.h"
#include "app/UserNotice.h"
#include "box/BoxInUse.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileWorkerTracker.h"
#include "box/fileops/PartFileJournal.h"
#include "box/fileops/UndoList.h"

bool IsKeptCopyName(const std::wstring& name)
{
    // TempCopyPathIn: the name, four lower-case hexadecimal characters with
    // at least one letter, ".tmp".
    constexpr size_t kSuffix = 8;
    if (name.size() <= kSuffix || name.compare(name.size() - 4, 4, L".tmp") != 0)
        return false;
    bool letter = false;
    for (size_t i = name.size() - kSuffix; i < name.size() - 4; ++i) {
        const wchar_t c = name[i];
        if (!(c >= L'0' && c <= L'9') && !(c >= L'a' && c <= L'f'))
            return false;
        letter = letter || c >= L'a';
    }
    return letter;
}

std::wstring OriginalNameOfKeptCopy(const std::wstring& name)
{
    return IsKeptCopyName(name) ? name.substr(0, name.size() - 8) : name;
}

namespace
{

bool ListEntries(const std::wstring& folder, std::vector<std::wstring>& names)
{
    return ForEachFolderEntry(folder, [&names](const std::wstring& name, unsigned long) {
        names.push_back(name);
        return true;
    });
}

void LogLeftAlone(const std::wstring& path)
{
    Logger::GetInstance().Log(L"Tessik", L"WARNING", L"Left in a temporary folder, not a copy kept for undo: " + path);
}

// Every entry of one temporary folder that has the form of a kept copy
// leaves, all in one operation of the shell (LetKeptCopiesGo): one question
// for the folder, not one per copy. What has another form was not put there
// by the program and stays.
void SweepFolder(const std::wstring& folder, const std::vector<std::wstring>& names, LeaveReport& report)
{
    std::vector<KeptCopy> copies;
    std::vector<std::wstring> keptFolders;
    for (const std::wstring& name : names) {
        const std::wstring path = folder + name;
        if (!IsPlainEntryName(name) || !IsKeptCopyName(name)) {
            // A job's part file is its journal's to take.
            if (PartFileJournal::TokenOfPartFileName(name).empty())
                LogLeftAlone(path);
            continue;
        }
        // A copy on its way to the Recycle Bin waits in a folder of its own
        // under its own name.
        if (OriginalNameOfKeptCopy(name) == L"kept" && IsOwnFolder(path)) {
            std::vector<std::wstring> inside;
            ListEntries(path, inside);
            for (const std::wstring& item : inside)
                copies.push_back({path + L"\\" + item, item});
            keptFolders.push_back(path);
            continue;
        }
        copies.push_back({path, OriginalNameOfKeptCopy(name)});
    }
    LetKeptCopiesGo(nullptr, copies, report);
    for (const std::wstring& path : keptFolders)
        RemoveFolderIfEmpty(path);
}

std::wstring WithSeparator(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder;
}

} // namespace

TempSweepResult SweepKnownTemporaryFolders()
{
    TempSweepResult result;
    std::vector<ListedTempFolder> listed;
    if (s_configLoaded && !ReadKnownTempFolders(s_dataFolder, listed))
        Logger::GetInstance().Log(L"Tessik", L"ERROR", L"Could not read the list of temporary folders.");
    // The current box root's folder first, whatever the list says of it:
    // it is the program's by the setting itself, and is used (marked and
    // listed) from now on. A line naming it in another spelling then finds
    // it swept.
    std::vector<std::pair<ListedTempFolder, bool>> folders;
    if (!NormalizeStoredPath(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L"")).empty())
        folders.push_back({ListedTempFolder{GetTempFolder(), std::nullopt}, true});
    for (ListedTempFolder& line : listed)
        folders.push_back({std::move(line), false});
    // Only folders proven the program's (or gone): a line that proved
    // nothing must not hide another spelling of a folder that does.
    std::vector<std::wstring> swept;
    for (const auto& [line, current] : folders) {
        const std::wstring folder = WithSeparator(line.folder);
        bool seen = false;
        for (const std::wstring& done : swept)
            seen = seen || SameLocation(done, folder);
        if (seen)
            continue;
        // Only a box root's own temporary folder is the program's, and of
        // the listed ones only those whose root is still the folder a run
        // used: a list naming anything else (a user's folder, a line cut
        // short at the box root) is no proof.
        const TempFolderProof proof = current ? ProveTempFolder(folder) : ProveListedTempFolder(line);
        if (proof == TempFolderProof::Unreachable) {
            result.unreachable.push_back(line.folder);
            continue;
        }
        if (proof == TempFolderProof::NotOwn) {
            Logger::GetInstance().Log(L"Tessik", L"WARNING",
                                      L"Not swept, not a box folder's own temporary folder: " + line.folder);
            continue;
        }
        swept.push_back(folder);
        std::vector<std::wstring> names;
        if (proof == TempFolderProof::Own) {
            // Another live run's copies are its undo's: not a word, not a touch.
            const TempFolderUsers users = CheckTempFolderUsers(folder, s_tempFolderUse.LockFiles());
            if (users.otherRunLive)
                continue;
            if (!ListEntries(folder, names)) {
                result.unreachable.push_back(line.folder);
                continue;
            }
            if (users.endedRunFound && std::any_of(names.begin(), names.end(), IsKeptCopyName))
                result.endedRunFound = true;
        }
        SweepFolder(folder, names, result.report);
        std::vector<std::wstring> left;
        ListEntries(folder, left);
        if (left.empty() && s_configLoaded && !s_tempFolderUse.Holds(folder))
            ForgetTempFolder(s_dataFolder, folder);
    }
    return result;
}

std::wstring TempSweepText(const TempSweepResult& result, bool atStart)
{
    const LeaveReport& report = result.report;
    std::wstring text;
    if (!report.recycled.empty() || !report.Empty()) {
        if (!atStart)
            text = L"临时文件夹中为撤销保留的文件已处理。";
        else if (result.endedRunFound)
            // The run's undo lists died with it: the copies may be what an
            // overwrite replaced half way through, and the user has to
            // know to look at the box and where the old versions are.
            text = L"Tessik 上次没有正常退出，当时正在进行的文件操作（如“直接覆盖”同名文件）可能被中断，"
                   L"请检查收纳盒中的文件。为撤销而保留的文件（被覆盖或删除之前的旧版本，或撤销、合并文件夹时暂存的副本）现已处理。";
        else
            text = L"临时文件夹中还有以前为撤销保留的文件，已处理。";
        if (!report.recycled.empty()) {
            text +=
                atStart && result.endedRunFound ? L"\n以下为撤销而保留的文件已移到回收站，可以从回收站还原：" : L"\n已移到回收站：";
            std::vector<std::wstring> quoted;
            for (const std::wstring& name : report.recycled)
                quoted.push_back(L"“" + name + L"”");
            text += PathLinesText(quoted);
        }
        if (!report.Empty())
            text += L"\n\n" + LeaveReportText(report);
    }
    if (!atStart && !result.unreachable.empty()) {
        if (!text.empty())
            text += L"\n\n";
        text += L"以下临时文件夹现在无法打开，其中可能还有为撤销保留的文件：" + PathLinesText(result.unreachable);
    }
    return text;
}

void SweepTemporaryFolder()
{
    const std::wstring text = TempSweepText(SweepKnownTemporaryFolders(), true);
    if (!text.empty())
        NotifyUser(L"temp-sweep", text);
}

namespace
{

bool RefusedWhileBusy(const std::wstring& what)
{
    // Asked again while the clearing itself holds the gate closed: only a
    // job that runs refuses it. The icon menu's own delete worker holds no
    // job record. A plan or question that holds its box (a same-name
    // question, a put-back, a rename) would act on a box whose data is gone
    // or about to be replaced.
    if (!FileJobRuns() && FileWorkerTracker::GetInstance().RunningCount() == 0 && !BoxInUse::AnyHeld())
        return false;
    NotifyUser(L"job-busy", L"另一项文件操作正在进行，没有" + what + L"。\n请在当前操作完成后重试。");
    return true;
}

} // namespace

bool RefusedToClearWhileFileJobRuns()
{
    return RefusedWhileBusy(L"清除用户数据");
}

bool RefusedToRestoreWhileFileJobRuns()
{
    return RefusedWhileBusy(L"恢复备份");
}

bool RefusedToChangeBoxRootWhileFileJobRuns()
{
    return RefusedWhileBusy(L"修改默认收纳文件夹");
}

bool LetEveryKeptCopyGoBeforeRestart()
{
    FileWorkerTracker& workers = FileWorkerTracker::GetInstance();
    // Cut off half way, a file would be left part done.
    if (workers.RunningCount() > 0 && !workers.CancelAndWaitAnswering(std::chrono::seconds(15)))
        return false;
    const LeaveReport left = EmptyEveryUndoList();
    if (!left.Empty())
        MessageBoxW(nullptr, LeaveReportText(left).c_str(), L"Tessik", MB_OK | MB_ICONWARNING);
    return true;
}

void LetEveryKeptCopyGoBeforeClearing(HWND owner)
{
    const LeaveReport left = EmptyEveryUndoList();
    const TempSweepResult swept = SweepKnownTemporaryFolders();
    std::wstring text = LeaveReportText(left);
    if (const std::wstring sweptText = TempSweepText(swept, false); !sweptText.empty())
        text += (text.empty() ? L"" : L"\n\n") + sweptText;
    if (text.empty())
        return;
    Logger::GetInstance().Log(L"Tessik", L"WARNING", L"Before clearing user data: " + text);
    // Told now: the program ends right after the clearing.
    MessageBoxW(IsWindow(owner) ? owner : nullptr, text.c_str(), L"Tessik", MB_OK | MB_ICONWARNING);
}
