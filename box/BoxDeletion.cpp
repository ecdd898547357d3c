#include "box/BoxDeletion.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "app/FileActionGate.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/KeptBoxFolders.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "app/VolumeRoot.h"
#include "box/BoxFolderGuard.h"
#include "box/BoxInUse.h"
#include "box/BoxSettings.h"
#include "box/BoxSettingsWindow.h"
#include "box/BoxTitleMenu.h"
#include "box/PutBackPlan.h"
#include "box/fileops/CopyJob.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/fileops/UndoList.h"
#include "box/icons/FolderSync.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/NewPopupSelection.h"
#include "ui/controls/NewTip2.h"
#include "ui/core/KelmOption.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

void Log(const wchar_t* level, const std::wstring& text)
{
    Logger::GetInstance().Log(L"DesktopContainer", level, text);
}

// The object lies in the folder (at any depth), told by file identity.
bool LiesIn(const std::wstring& path, const std::wstring& folder)
{
    fs::path p = fs::path(FullPathOf(path)).parent_path();
    for (;;) {
        if (SameLocation(p.wstring(), folder))
            return true;
        const fs::path parent = p.parent_path();
        if (parent == p || parent.empty())
            return false;
        p = parent;
    }
}

std::wstring FileNamePart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

constexpr wchar_t kOtherJobRunsText[] =
    L"另一项文件操作正在进行，收纳盒没有删除，文件也没有改动。\n请在当前操作完成后重试。";

void LeaveIntegrationIfIntegrated(const BoxWindowPtr& box)
{
    const BoxRuntime* runtime = FindBoxRuntime(box);
    if (runtime && runtime->IsIntegrated)
        SplitBoxGroup(box);
}

} // namespace

namespace
{

// The folders of the hidden boxes (listed only in the quick panel), as the
// store names them; the box with ownHiddenId is left out.
void AddHiddenBoxFolders(const std::wstring& ownHiddenId, std::vector<std::wstring>& folders)
{
    const auto& roots = s_quickPanelStore.Roots();
    const auto list = roots.find(L"TempList");
    if (list == roots.end())
        return;
    for (const auto& [id, value] : list->second.members) {
        const auto* object = std::get_if<std::shared_ptr<KelmStorageNestedObject>>(&value);
        if (id == ownHiddenId || !object || !*object)
            continue;
        const auto found = (*object)->members.find(L"TargetFolder");
        const auto* folder = found == (*object)->members.end() ? nullptr : std::get_if<std::wstring>(&found->second);
        if (folder && !folder->empty() && *folder != L"bvn!NULL")
            folders.push_back(NormalizeStoredPath(*folder));
    }
}

// The default box folder, the data folder, and the folder of every box
// but box (and of every hidden box but ownHiddenId).
std::vector<std::wstring> BoxFoldersBut(const BoxWindowPtr& box, const std::wstring& ownHiddenId)
{
    std::vector<std::wstring> folders = {
        NormalizeStoredPath(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L"")),
        fs::path(s_desktopContainerStore.FileName()).parent_path().wstring(),
    };
    for (const auto& [other, runtime] : s_boxRuntimes) {
        if (other == box || runtime.IsPseudoBox() || !runtime.UseTargetFolder)
            continue;
        folders.push_back(NormalizeStoredPath(runtime.TargetFolder));
    }
    AddHiddenBoxFolders(ownHiddenId, folders);
    return folders;
}

} // namespace

namespace
{

// Any thread: others are the folders of the other boxes (BoxFoldersBut).
// lastSeen answers from the system's last look at its own folders.
bool MayRemoveFolderOfBox(const std::wstring& folder, const std::vector<std::wstring>& others, bool lastSeen = false)
{
    if (folder.empty() || folder == L"bvn!NULL" || !fs::path(folder).is_absolute())
        return false;
    // A target box may show a drive, or a folder a drive is mounted on.
    if (IsVolumeRoot(NormalizeStoredPath(folder)))
        return false;
    return lastSeen ? MayRemoveFolderAsLastSeen(folder, others) : MayRemoveFolder(folder, others);
}

} // namespace

bool MayRemoveBoxFolder(const BoxWindowPtr& box, const std::wstring& folder, const std::wstring& ownHiddenId)
{
    return MayRemoveFolderOfBox(folder, BoxFoldersBut(box, ownHiddenId), true);
}

void TellFilesStayInBoxFolder(const BoxWindowPtr& box, const std::wstring& folder, const std::wstring& ownHiddenId)
{
    if (folder.empty() || folder == L"bvn!NULL" || !MayRemoveBoxFolder(box, folder, ownHiddenId) ||
        FoldersHoldingFiles({NormalizeStoredPath(folder)}).empty())
        return;
    NotifyUser(L"box-folder-left",
               L"收纳盒已删除，其中的文件没有被删除，仍保留在文件夹“" + FullPathOf(NormalizeStoredPath(folder)) + L"”中。");
}

PutBack::BoxPlaces PutBackPlaces()
{
    PutBack::BoxPlaces places;
    std::vector<std::wstring> all = BoxFoldersBut(nullptr, L"");
    // The first two are the default box folder and the data folder; no
    // put-back road reaches the data folder (nothing of it is ever taken
    // into a box by a move).
    places.roots.assign(all.begin(), all.begin() + 1);
    places.shown.assign(all.begin() + 2, all.end());
    return places;
}

GuardedFolders FoldersToGuard(const std::wstring& intoFolder)
{
    GuardedFolders folders{BoxFoldersBut(nullptr, L""), intoFolder, {}};
    if (intoFolder.empty())
        return folders;
    // What is brought into a box must not take the program's own data
    // with it.
    folders.own = ProgramFoldersOfThisRun();
    return folders;
}

BoxFolderGuard GuardOfBoxFolders(const std::wstring& intoFolder)
{
    return FoldersToGuard(intoFolder).Make();
}

bool IsOrHoldsABoxFolder(const std::wstring& path)
{
    return !path.empty() && GuardOfBoxFolders().BoxFolder(path) != FolderRelation::Unrelated;
}

std::wstring BoxFolderKeptText(const std::wstring& names, const std::wstring& doing)
{
    return names + L"是收纳盒的文件夹或包含收纳盒的文件夹，" + doing +
           L"会让那个收纳盒失去它的文件夹，已留在原来的位置。";
}

std::wstring ProtectedFolderKeptText(const std::wstring& folder, const std::wstring& kept)
{
    // A stored path holds its separators doubled; the user is shown the
    // folder itself.
    return L"“" + NormalizeStoredPath(folder) +
           L"”是受保护的位置（磁盘根目录、用户文件夹、系统或程序所在文件夹，或其他收纳盒的文件夹），不会被删除，" +
           kept + L"已保留。";
}

std::wstring BoxFolderUnreachableText(const std::wstring& folder, const std::wstring& kept)
{
    return L"收纳盒的文件夹“" + NormalizeStoredPath(folder) +
           L"”不存在或无法访问（可能已被移动、重命名或删除），没有改动任何文件，" + kept + L"已保留。\n如只需删除" +
           kept + L"，请选择“仅删除组件”。";
}

namespace
{

// One item of a disband as planned on the UI thread.
struct DisbandItem {
    std::wstring source;
    // Where the plan sends it, and the free name it takes there.
    std::wstring planned, target;
    // Why it does not go back where it came from; empty when it does.
    std::wstring why;
};

// What the worker did with one item.
struct DisbandMoved {
    size_t index = 0;
    TransferResult result = TransferResult::Failed;
    std::wstring target;
    DWORD error = 0;
    // Why part of it (or the original, its copy home kept) stayed.
    DWORD removalError = 0;
    bool link = false;
    // What on the way home turned out to be a link when the move was due.
    PutBack::WayCheck way;
};

// The worker: each planned item moves, never over anything (a target
// taken since the plan gives a free name); what it did is handed back.
std::vector<DisbandMoved> MoveDisbandItems(const std::vector<DisbandItem>& items, const RepaintTarget& start)
{
    RepaintTarget target = start;
    const TransferOptions options = WorkerTransferOptions(target);
    CopyJob job;
    job.box = target.window;
    for (size_t i = 0; i < items.size(); ++i) {
        CopyJobItem item;
        item.source = items[i].source;
        item.destination = items[i].target;
        item.move = true;
        // The item's place in the plan.
        item.insertIndex = static_cast<int32_t>(i);
        job.items.push_back(item);
    }
    std::vector<DisbandMoved> moved;
    JobTrouble unused;
    ForEachJobItem(job, target, L"disband", [&](const CopyJobItem& start) {
        CopyJobItem item = start;
        DisbandMoved done;
        done.index = static_cast<size_t>(item.insertIndex);
        // A link the system shows as a plain entry is left alone on
        // purpose: moving it would move what it leads to.
        if (!EntryIsItself(item.source)) {
            done.link = true;
            Log(L"ERROR", L"Failed to restore object. Original path intact: " + item.source);
            moved.push_back(done);
            return;
        }
        // Asked again as the move is due: a folder on the way home that has
        // become a link since the plan would take the item elsewhere.
        if (items[done.index].why.empty()) {
            done.way = PutBack::CheckTheWay(fs::path(item.destination).parent_path().wstring());
            if (!done.way.at.empty()) {
                Log(L"ERROR",
                    L"Not restored, a link stands on the way: " + done.way.at + L"; object stays: " + item.source);
                moved.push_back(done);
                return;
            }
        }
        AvoidDestinationTakenSincePlan(item, unused);
        TransferReport report;
        done.result = MoveItem(item.source, item.destination, false, options, &report);
        done.error = report.failed.empty() ? GetLastError() : report.failed.front().error;
        done.removalError = report.removalError;
        done.target = item.destination;
        if (done.result == TransferResult::Done)
            Log(L"INFO", L"Successfully restored object to: " + item.destination);
        else if (done.result == TransferResult::Incomplete && PathExists(item.destination))
            Log(L"ERROR", L"Restored only part of the object (the rest stays in the box): " + item.source);
        else
            Log(L"ERROR", L"Failed to restore object. Original path intact: " + item.source);
        moved.push_back(done);
    });
    return moved;
}

// Whether the box's folder may go, as the worker found it after the
// moves: asking the system (known folders, identities) takes long.
struct FolderVerdict {
    // The other boxes' folders it was asked against.
    std::vector<std::wstring> others;
    bool mayRemove = false;
    bool known = false;
};

// UI thread, once the worker is done: the report of every item, the
// records of what went home leave the views, and the folder goes when it
// is left empty.
DisbandReport FinishDisband(const BoxWindowPtr& box, const std::wstring& folder, const std::vector<DisbandItem>& items,
                            const std::vector<DisbandMoved>& moved, DisbandReport report,
                            const FolderVerdict& verdict = {})
{
    // Nothing was tried: the box and its folder stay as they are.
    if (report.NothingTried())
        return report;
    std::vector<bool> handled(items.size(), false);
    std::vector<std::wstring> gone;
    for (const DisbandMoved& done : moved) {
        const DisbandItem& item = items.at(done.index);
        handled[done.index] = true;
        if (done.link) {
            report.stayed.push_back({item.source, L"是指向其他位置的链接，为了不改动链接指向的内容，已原样保留"});
            continue;
        }
        if (!done.way.at.empty()) {
            const PutBack::Place place = done.way.unchecked ? PutBack::Place::Unchecked : PutBack::Place::Linked;
            report.stayed.push_back(
                {item.source,
                 PutBack::PlanDisbandTarget(FileNamePart(item.source), item.planned, place, L"", done.way).why});
            continue;
        }
        // Stopped by a cancel (a quit) as it was due: it stands as it was.
        if (done.result == TransferResult::Cancelled) {
            report.stayed.push_back({item.source, L"操作已取消，没有移动"});
            continue;
        }
        if (done.result == TransferResult::Incomplete && PathExists(done.target)) {
            const std::wstring why = LeftBehindReason({item.source, true, true, done.removalError});
            report.stayed.push_back(
                {item.source, IsFolder(done.target) ? L"只移回了一部分（" + why + L"），其余内容仍在收纳盒中"
                                                    : L"已复制到“" + done.target + L"”，但收纳盒中的原文件无法移走（" +
                                                          why + L"），两处的文件都已保留"});
        } else if (done.result != TransferResult::Done) {
            report.stayed.push_back({item.source, L"无法移动到“" + done.target + L"”：" +
                                                      TransferErrorText(done.error ? done.error : ERROR_GEN_FAILURE)});
            continue;
        } else {
            gone.push_back(item.source);
        }
        if (!item.why.empty())
            report.elsewhere.push_back({item.source, done.target, item.why});
        else if (done.target != item.planned)
            report.elsewhere.push_back({item.source, done.target, L"原位置已有同名项目，已改名"});
    }
    // A cancelled job left the rest where it was.
    for (size_t i = 0; i < items.size(); ++i)
        if (!handled[i])
            report.stayed.push_back({items[i].source, L"操作已取消，没有移动"});
    if (auto view = s_boxIconManagers.find(box); view != s_boxIconManagers.end() && !gone.empty()) {
        // One pass over the list, not one per file that went home.
        const std::set<std::wstring> left(gone.begin(), gone.end());
        std::erase_if(view->second.Records(), [&left](const IconRecord& r) { return left.count(r.path) > 0; });
        view->second.Renumber();
        SaveBoxIcons(view->second);
    }
    // The folder goes only once every item is back; another box may show
    // the same folder, emptied or not: what is left there stays in view of
    // that box.
    if (!report.stayed.empty())
        return report;
    // The worker's answer holds while the boxes' folders are what it was
    // asked against; else the system is asked again.
    const std::vector<std::wstring> others = BoxFoldersBut(box, L"");
    if (!(verdict.known && verdict.others == others ? verdict.mayRemove : MayRemoveFolderOfBox(folder, others)))
        return report;
    // The folder refresh's notification handles would keep it in place.
    ForgetFolderWatches();
    if (RemoveFolderIfEmpty(folder)) {
        Log(L"INFO", L"Removed empty container folder: " + NormalizeStoredPath(folder));
        return report;
    }
    // What came into the folder since the box last looked (another program
    // wrote it there while a job or the question held the folder sync) has
    // no record to take it home: it stays, and so does the box that shows
    // it, rather than be left in a folder no box shows. An empty folder
    // holds nothing of the user's.
    auto empty = [](const FolderEntry& entry) {
        bool any = false;
        return entry.isDirectory &&
               ForEachFolderEntry(entry.path,
                                  [&any](const std::wstring&, unsigned long) {
                                      any = true;
                                      return false;
                                  }) &&
               !any;
    };
    FolderListing left;
    if (ListFolderEntries(folder, left))
        for (const auto& [name, entry] : left)
            if (!empty(entry) &&
                std::none_of(report.stayed.begin(), report.stayed.end(), [&](const DisbandReport::Stayed& stayed) {
                    return SamePathItem(stayed.path, entry.path);
                }))
                report.stayed.push_back({entry.path, L"它是刚放进收纳盒的，收纳盒中还没有显示它"});
    return report;
}

} // namespace

namespace
{

// What the disband's plan needs to know, taken on the UI thread: the plan
// itself asks the disk about every record, thousands of questions, and
// runs on the worker.
struct DisbandInputs {
    std::wstring folder;
    // Each record's path and where it came from: the records themselves
    // hold the box's controls, which only the UI thread may let go of.
    struct Record {
        std::wstring path, originalPath;
    };
    std::vector<Record> records;
    std::wstring desktop;
    // Folders a file never goes back into.
    std::vector<std::wstring> boxFolders;
    // The folders of the other boxes, guarded from being sent home.
    std::vector<std::wstring> guarded;
    // The folders the other boxes show: a file that came from one goes
    // back there, where its box shows it again.
    std::vector<std::wstring> shown;
};

// Case-insensitive as the file system compares names.
struct NameLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return _wcsicmp(a.c_str(), b.c_str()) < 0; }
};

// Any thread: where each record of the box goes, and why what stays stays.
std::vector<DisbandItem> PlanDisband(const DisbandInputs& in, DisbandReport& report)
{
    const std::wstring& folder = in.folder;
    // A folder in the box may be another box's folder or hold one: sent
    // home, it would leave that box without its folder.
    const BoxFolderGuard guard(in.guarded, L"");
    std::vector<DisbandItem> items;
    struct Judged {
        PutBack::Place place = PutBack::Place::Unknown;
        PutBack::WayCheck way;
    };
    std::map<std::wstring, Judged> judgedFolders;
    // Two items may be sent to one folder under one name: the second takes
    // a free name as it would once the first is there.
    std::set<std::wstring, NameLess> targets;
    auto taken = [&targets](const std::wstring& path) { return targets.count(path) > 0 || PathExists(path); };
    for (const DisbandInputs::Record& record : in.records) {
        // Only what the box holds goes; a record of an outside file stays.
        if (!PathExists(record.path) || !LiesIn(record.path, folder))
            continue;
        if (const FolderRelation relation = guard.BoxFolder(FullPathOf(record.path));
            relation != FolderRelation::Unrelated) {
            report.stayed.push_back(
                {record.path, relation == FolderRelation::VolumeRoot ? L"是整个磁盘（或网络共享）的根目录，不会被移动"
                              : relation == FolderRelation::SameOrHolding
                                  ? L"是其他收纳盒的文件夹或包含收纳盒的文件夹，移走会让那个收纳盒失去它的文件夹"
                                  : L"无法确认不是其他收纳盒的文件夹（系统没有回答它是哪个文件夹）"});
            continue;
        }
        const bool known = record.originalPath != L"bvn!NULL" && !record.originalPath.empty();
        const std::wstring original = known ? NormalizeStoredPath(record.originalPath) : record.originalPath;
        Judged judged;
        if (known) {
            // Files of one folder share what the disk says of its way.
            const std::wstring from = fs::path(original).parent_path().wstring();
            auto found = judgedFolders.find(from);
            if (found == judgedFolders.end()) {
                Judged fresh;
                const PutBack::HomeFacts other = PutBack::HomeFactsOf(from, {{}, in.shown});
                const bool own = PutBack::HomeFactsOf(from, {{folder}, {}}).inRoot;
                fresh.place = PutBack::JudgePlace(from, other.inShown && other.exists && !own
                                                            ? std::vector<std::wstring>{}
                                                            : in.boxFolders,
                                                  &fresh.way);
                found = judgedFolders.emplace(from, fresh).first;
            }
            judged = found->second;
        }
        const PutBack::DisbandTarget plan =
            PutBack::PlanDisbandTarget(FileNamePart(record.path), original, judged.place, in.desktop, judged.way);
        if (plan.kind == PutBack::DisbandTarget::Kind::Stay) {
            report.stayed.push_back({record.path, plan.why});
            continue;
        }
        std::wstring target = plan.path;
        const fs::path t(target);
        if (!IsFolder(t.parent_path().wstring())) {
            Log(L"ERROR", L"Failed to restore object. Original path intact: " + record.path);
            report.stayed.push_back({record.path, L"文件夹“" + t.parent_path().wstring() + L"”不存在"});
            continue;
        }
        if (taken(target)) {
            target = FreePasteName(t.parent_path().wstring(), t.stem().wstring(), t.extension().wstring(), taken);
            Log(L"WARNING", L"File collision avoided. Renamed to: " + target);
        }
        targets.insert(target);
        items.push_back({record.path, plan.path, target, plan.why});
    }
    return items;
}

} // namespace

bool DisbandAndRestore(const BoxWindowPtr& box, const std::wstring& folder, const std::vector<IconRecord>& records,
                       const std::wstring& desktop, std::function<void(const DisbandReport&)> done)
{
    // One job at a time: nothing changes while another one runs.
    if (FileJobRuns())
        return false;
    LeaveIntegrationIfIntegrated(box);
    Log(L"INFO", L"User initiated disbanded and restore for container target: " + NormalizeStoredPath(folder));
    // A file goes back only into a folder the user sees: a folder outside
    // every box, or one another box shows; never into the box root or this
    // box's folder, nor a folder that is gone, which would be made again
    // where nothing shows it.
    DisbandInputs in{folder, {}, desktop, {}, BoxFoldersBut(box, L""), {}};
    // The first two are the default box folder and the data folder.
    in.shown.assign(in.guarded.begin() + 2, in.guarded.end());
    for (const IconRecord& record : records)
        in.records.push_back({record.path, record.originalPath});
    in.boxFolders = {NormalizeStoredPath(s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L"")), folder};
    for (const auto& [other, runtime] : s_boxRuntimes)
        if (!runtime.IsPseudoBox() && runtime.UseTargetFolder)
            in.boxFolders.push_back(NormalizeStoredPath(runtime.TargetFolder));
    AddHiddenBoxFolders(L"", in.boxFolders);
    // The plan and the moves run on the file worker; the report, the
    // records and the folder follow on the UI thread once every item was
    // tried.
    const RepaintTarget target{box, box ? box->GetHwnd() : nullptr};
    return StartFileJob(box, [box, in = std::move(in), target, done = std::move(done)] {
        DisbandReport report;
        std::vector<DisbandItem> items;
        std::vector<DisbandMoved> moved;
        FolderVerdict verdict;
        try {
            // A folder out of reach (a drive pulled out, a share away)
            // would show every record's file as missing and let the box go
            // empty-handed: its files would wait there with no box.
            const std::wstring full = FullPathOf(NormalizeStoredPath(in.folder));
            if (!IsFolder(full)) {
                Log(L"ERROR", L"Container folder cannot be reached, nothing disbanded: " + full);
                report.unreachable = full;
            } else if (!EntryIsItself(full)) {
                // The other two ways of deleting the box refuse such a
                // folder as well.
                Log(L"ERROR", L"Container folder is a link to another place, nothing disbanded: " + full);
                report.linked = full;
            } else {
                items = PlanDisband(in, report);
                moved = MoveDisbandItems(items, target);
                verdict = {in.guarded, MayRemoveFolderOfBox(in.folder, in.guarded), true};
            }
        } catch (...) {
            // Nothing was moved: every file stays in the box, and the box
            // with them, and the user hears so.
            Log(L"ERROR", L"Planning a disband stopped on an unexpected error.");
            items.clear();
            moved.clear();
            report = {};
            for (const DisbandInputs::Record& record : in.records)
                report.stayed.push_back({record.path, L"归位时出现意外错误，没有移动"});
        }
        PostFromJob([box, folder = in.folder, items = std::move(items), moved = std::move(moved),
                     report = std::move(report), verdict = std::move(verdict), done] {
            const DisbandReport full = FinishDisband(box, folder, items, moved, report, verdict);
            if (done)
                done(full);
        });
        EndFileJobWorker(target);
    });
}

std::wstring DisbandReportText(const DisbandReport& report)
{
    // A few names each, then how many more: a box of hundreds of files
    // must not make a message taller than the screen.
    constexpr size_t kNamed = kPathsNamedInMessage;
    auto more = [](size_t count) { return count > kNamed ? L"\n" + MoreItemsText(count) : std::wstring(); };
    if (!report.unreachable.empty())
        return BoxFolderUnreachableText(report.unreachable, L"收纳盒");
    if (!report.linked.empty())
        return L"收纳盒的文件夹“" + report.linked +
               L"”是指向其他位置的链接（或系统无法确认它不是），其中的文件可能不属于这个收纳盒，没有移动任何文件，"
               L"收纳盒已保留。\n如只需删除收纳盒，请选择“仅删除组件”。";
    std::wstring text;
    if (!report.stayed.empty()) {
        text = L"以下文件未能归位，仍在收纳盒中，收纳盒已保留：";
        for (size_t i = 0; i < report.stayed.size() && i < kNamed; ++i)
            text += L"\n“" + FileNamePart(report.stayed[i].path) + L"”：" + report.stayed[i].why;
        text += more(report.stayed.size());
    }
    if (!report.elsewhere.empty()) {
        if (!text.empty())
            text += L"\n\n";
        text += L"以下文件没有放回原来的位置：";
        for (size_t i = 0; i < report.elsewhere.size() && i < kNamed; ++i) {
            const DisbandReport::Elsewhere& moved = report.elsewhere[i];
            text += L"\n“" + FileNamePart(moved.path) + L"”" + moved.why + L"：" + moved.target;
        }
        text += more(report.elsewhere.size());
    }
    return text;
}

namespace
{

// What a folder holds: its files, and the links in it (never entered),
// which Wine shows as plain entries where they lead to a file.
struct FolderContent {
    size_t files = 0;
    std::vector<std::wstring> links;
};

void Walk(const std::wstring& folder, FolderContent& content)
{
    ForEachFolderEntry(folder, [&](const std::wstring& name, unsigned long attributes) {
        const std::wstring path = folder + L"\\" + name;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || CheckEntry(path) != EntryCheck::Itself)
            content.links.push_back(path);
        else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(path, content);
        else
            ++content.files;
        return true;
    });
}

} // namespace

std::wstring FolderStayedText(const std::wstring& folder, const FolderRecycled& result, const std::wstring& what)
{
    if (result.deleted > 0)
        return L"收纳盒文件夹“" + folder + L"”没有全部移到回收站：回收站无法接收它，其中 " +
               std::to_wstring(result.deleted) + L" 个文件已被永久删除，其余仍在文件夹中。" + what + L"已保留。";
    if (result.unreachable)
        return BoxFolderUnreachableText(folder, what);
    if (result.guarded)
        return ProtectedFolderKeptText(folder, what);
    if (!result.links.empty())
        return L"收纳盒文件夹“" + folder +
               L"”中有指向其他位置的链接（链接不会被跟随）。回收站无法接收它时，系统会连同链接指向的内容一起永久删除，"
               L"所以它没有移到回收站，仍在原来的位置，没有被改动，" +
               what + L"已保留：" + PathLinesText(result.links);
    return L"";
}

std::wstring FolderRemovedText(const std::wstring& folder, const FolderRemoved& result, const std::wstring& what)
{
    if (result.unreachable)
        return BoxFolderUnreachableText(folder, what);
    if (result.guarded)
        return ProtectedFolderKeptText(folder, what);
    return RemovalStayedText(FullPathOf(folder), result.report.stayed) + L"\n" + what + L"已保留。";
}

namespace
{

// The UI thread's check answered from the system's last look at its
// folders; where the folder is taken away the system is asked afresh.
bool SystemLetsFolderGo(const std::wstring& full, const wchar_t* what)
{
    if (!IsVolumeRoot(full) && MayRemoveFolder(full, {}))
        return true;
    Log(L"ERROR", std::wstring(L"Refused to ") + what + L" a protected folder: " + full);
    return false;
}

} // namespace

FolderRecycled RecycleFolderNow(const std::wstring& full, HWND owner)
{
    FolderRecycled result;
    // A folder the system cannot reach would be taken for one already
    // gone, and its box would go.
    if (!IsFolder(full)) {
        Log(L"ERROR", L"Container folder cannot be reached, nothing recycled: " + full);
        result.unreachable = true;
        return result;
    }
    if (!SystemLetsFolderGo(full, L"recycle")) {
        result.guarded = true;
        return result;
    }
    // What a shell that stops half way deleted for good is told, not
    // hidden behind "not recycled". Where the bin refuses the folder, the
    // shell deletes it, and what its links lead to with it: a folder with
    // links is not sent.
    FolderContent before;
    Walk(full, before);
    if (!before.links.empty()) {
        Log(L"ERROR", L"Container folder holds links, not recycled: " + full);
        result.links = std::move(before.links);
        return result;
    }
    result.outcome = RecycleItemsAsking({full}, owner).front();
    result.left =
        result.outcome == RecycleOutcome::Recycled || result.outcome == RecycleOutcome::Deleted || !PathExists(full);
    if (!result.left) {
        FolderContent after;
        Walk(full, after);
        result.deleted = after.files < before.files ? before.files - after.files : 0;
        if (result.deleted > 0)
            Log(L"ERROR", L"Container folder stayed, " + std::to_wstring(result.deleted) +
                              L" files in it deleted for good as the user answered: " + full);
    }
    switch (result.outcome) {
    case RecycleOutcome::Recycled:
        Log(L"INFO", L"Successfully moved container folder to Recycle Bin: " + full);
        break;
    case RecycleOutcome::Deleted:
        Log(L"INFO", L"Container folder deleted for good as the user answered: " + full);
        break;
    case RecycleOutcome::Declined:
        Log(L"INFO", L"Container folder kept as the user answered: " + full);
        break;
    case RecycleOutcome::Refused:
        Log(L"ERROR", (result.left ? L"Container folder gone, though not to the Recycle Bin: "
                                   : L"Failed to move container folder to Recycle Bin: ") +
                          full);
        break;
    }
    return result;
}

namespace
{

// The checks every road that takes a box's folder away makes on the UI
// thread first; false (logged, and the user told) when it may not go.
bool MayTakeFolderAway(const BoxWindowPtr& box, const std::wstring& folder, const wchar_t* what)
{
    if (!MayRemoveBoxFolder(box, folder)) {
        Log(L"ERROR", std::wstring(L"Refused to ") + what +
                          L" a folder that is not the box's own: " + NormalizeStoredPath(folder));
        NotifyUser(L"box-folder-kept", ProtectedFolderKeptText(folder, L"收纳盒"));
        return false;
    }
    // The folder refresh's notification handles would keep it in place.
    ForgetFolderWatches();
    LeaveIntegrationIfIntegrated(box);
    return true;
}

// The work on a box's folder (its full path) as a file job: a folder of
// thousands of files keeps the shell or the disk busy for long, so it runs
// on the worker while the windows keep answering, the progress card
// naming the folder; done gets its result on the UI thread.
template <typename Result>
bool RunFolderJob(const BoxWindowPtr& box, const std::wstring& full, std::function<Result(HWND owner)> work,
                  std::function<void(const Result&)> done)
{
    const RepaintTarget target{box, box ? box->GetHwnd() : nullptr};
    KeepRefreshOffWhileFolderLeaves(box, true);
    const bool started = StartFileJob(box, [box, full, target, work = std::move(work), done = std::move(done)] {
        s_copyProgress.SetCurrentName(full);
        PostRepaint(target, false);
        const Result result = work(target.hwnd);
        PostFromJob([box, result, done] {
            KeepRefreshOffWhileFolderLeaves(box, false);
            if (done)
                done(result);
        });
        EndFileJobWorker(target);
    });
    if (!started) {
        KeepRefreshOffWhileFolderLeaves(box, false);
        if (!FileActionGate::IsClosed())
            NotifyUser(L"box-delete-busy", kOtherJobRunsText);
    }
    return started;
}

} // namespace

bool RecycleBoxFolder(const BoxWindowPtr& box, const std::wstring& folder,
                      std::function<void(const FolderRecycled&)> done)
{
    if (!MayTakeFolderAway(box, folder, L"recycle"))
        return false;
    // Where the bin cannot take the folder, the shell's question stands in
    // front of the box.
    return RunFolderJob<FolderRecycled>(box, FullPathOf(folder), [full = FullPathOf(folder)](HWND owner) {
        try {
            return RecycleFolderNow(full, owner);
        } catch (...) {
            Log(L"ERROR", L"Recycling a container folder stopped on an unexpected error: " + full);
            FolderRecycled result;
            result.left = !PathExists(full);
            return result;
        }
    }, std::move(done));
}

FolderRemoved RemoveFolderNow(const std::wstring& full)
{
    FolderRemoved result;
    if (!IsFolder(full)) {
        Log(L"ERROR", L"Container folder cannot be reached, nothing deleted: " + full);
        result.unreachable = true;
        return result;
    }
    if (!SystemLetsFolderGo(full, L"delete")) {
        result.guarded = true;
        return result;
    }
    DWORD error = 0;
    try {
        result.removed = RemoveItemWithoutFollowingLinks(full, &result.report);
        error = GetLastError();
    } catch (...) {
        Log(L"ERROR", L"Deleting a container folder stopped on an unexpected error: " + full);
    }
    if (!result.removed && result.report.stayed.empty())
        result.report.stayed.push_back(full);
    if (result.removed)
        Log(L"INFO", L"Successfully permanently deleted container folder: " + full);
    else
        Log(L"ERROR", L"Failed to permanently delete container folder: " + full + L", EC: " + std::to_wstring(error) +
                          L"; still there: " + result.report.stayed.front());
    return result;
}

bool DeleteBoxFolderPermanently(const BoxWindowPtr& box, const std::wstring& folder,
                                std::function<void(const FolderRemoved&)> done)
{
    if (!MayTakeFolderAway(box, folder, L"delete"))
        return false;
    return RunFolderJob<FolderRemoved>(
        box, FullPathOf(folder), [full = FullPathOf(folder)](HWND) { return RemoveFolderNow(full); }, std::move(done));
}

std::function<void(const BoxWindowPtr& box)> s_boxDeletedHook;

void DeleteBox(const BoxWindowPtr& box)
{
    if (!FindBoxRuntime(box))
        return;
    // The undo lists go with the box: what their records kept goes to the
    // Recycle Bin, or into view where the bin does not take it, before the
    // box and its lists are gone.
    const LeaveReport left = EmptyUndoLists(box);
    if (!left.Empty())
        NotifyUser(L"undo-copy-kept", LeaveReportText(left));
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    const std::wstring id = runtime->id;
    for (auto* managers : {&s_boxIconManagers, &s_boxSearchManagers})
        for (auto& entry : *managers) {
            auto& records = entry.second.Records();
            std::erase_if(records, [&box](const IconRecord& r) { return r.owner == box; });
            entry.second.Renumber();
        }
    s_boxIconManagers.erase(box);
    s_boxSearchManagers.erase(box);
    s_boxRuntimes.erase(box);
    if (s_boxDeletedHook)
        s_boxDeletedHook(box);
    if (IsWindow(box->GetHwnd()))
        DestroyWindow(box->GetHwnd());
    // Its settings window would store a later choice as a box of that id.
    CloseBoxSettingsOf(id);
    BoxSettingsObject(id).remove();
    s_desktopContainerStore.Save();
}

std::function<bool(HWND, std::vector<Brevin::KelmOption>)> s_deleteBoxChoice =
    [](HWND owner, std::vector<Brevin::KelmOption> options) {
        // Removing the files for good cannot be undone: its OK turns red.
        s_selectionRedOk[static_cast<int>(options.size()) - 1] = 1;
        NewPopupSelection::Create(owner, L"请选择删除操作\n（此操作不可撤销）＞︿＜", L"删除", std::move(options),
                                  L"确定", L"取消");
        return s_selectionOk == 1;
    };

// A copy still on its way into the box, or planned for it, would land in
// a folder no box shows, and its records in a box that is gone: the box
// stays meanwhile.
bool BoxDeletionRefusedWhileBusy(const BoxWindowPtr& box)
{
    if (FileActionGate::Refuses(L"收纳盒没有删除，文件也没有改动"))
        return true;
    if (!BoxInUse::Busy(box))
        return false;
    NotifyUser(L"box-delete-busy",
               L"这个收纳盒的文件操作（复制、移动或删除）正在进行，收纳盒没有删除，文件也没有改动。\n"
               L"请在当前操作完成后重试。");
    return true;
}

namespace
{

// The box's own records as they are when the action runs.
std::vector<IconRecord> OwnRecords(const BoxWindowPtr& box)
{
    std::vector<IconRecord> records;
    if (auto own = s_boxIconManagers.find(box); own != s_boxIconManagers.end())
        for (const IconRecord& r : own->second.Records())
            if (own->second.EffectiveOwner(r) == box)
                records.push_back(r);
    return records;
}

} // namespace

void ShowDeleteBoxDialog(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->IsPseudoBox() || BoxDeletionRefusedWhileBusy(box))
        return;
    // The box is not made again from its settings while the question is
    // open: the answer acts on this window.
    BoxInUse asking = BoxInUse::Hold(box);
    if (!runtime->UseTargetFolder) {
        NewTip2::KelmCreateWindow(box->GetHwnd(), L"确定要删除组件嘛？（此操作不可撤销）＞︿＜", L"删除");
        asking.Release();
        if (s_tipResult != 1 || !FindBoxRuntime(box) || BoxDeletionRefusedWhileBusy(box))
            return;
        LeaveIntegrationIfIntegrated(box);
        DeleteBox(box);
        return;
    }
    const std::wstring folder = runtime->TargetFolder;
    bool keep = false;
    // Every action first makes sure no job started for the box while the
    // question was open; what it acts on is read when it runs.
    auto busy = [box, &keep, &asking] {
        asking.Release();
        if (!BoxDeletionRefusedWhileBusy(box))
            return false;
        keep = true;
        return true;
    };
    // The folder of a normal box lies in the box root, where no other view
    // shows it: files left there without their box are named to the user.
    const bool managedFolder = !runtime->IsCustomTarget;
    auto onlyBox = [box, folder, busy, managedFolder] {
        if (busy())
            return;
        LeaveIntegrationIfIntegrated(box);
        if (managedFolder)
            TellFilesStayInBoxFolder(box, folder);
    };
    // Files that could not go back keep their box: nothing the user still
    // has on disk loses its place on the desktop.
    auto disband = [box, folder, busy, &keep] {
        if (busy())
            return;
        // The box goes only once the job reports every item back.
        keep = true;
        const bool started = DisbandAndRestore(
            box, folder, OwnRecords(box), KnownFolderPath(CSIDL_DESKTOPDIRECTORY), [box](const DisbandReport& report) {
                const bool keeps = !report.stayed.empty() || report.NothingTried();
                if (keeps || !report.elsewhere.empty())
                    NotifyUser(L"box-disband", DisbandReportText(report));
                if (!keeps && FindBoxRuntime(box))
                    DeleteBox(box);
            });
        if (!started && !FileActionGate::IsClosed())
            NotifyUser(L"box-delete-busy", kOtherJobRunsText);
    };
    // The box goes once its folder has left for the bin; a folder that may
    // not go is never touched, and the box stays.
    auto recycle = [box, folder, busy, &keep] {
        if (busy())
            return;
        keep = true;
        RecycleBoxFolder(box, folder, [box, folder](const FolderRecycled& result) {
            if (result.left) {
                if (FindBoxRuntime(box))
                    DeleteBox(box);
                return;
            }
            if (const std::wstring why = FolderStayedText(NormalizeStoredPath(folder), result, L"收纳盒"); !why.empty())
                NotifyUser(L"box-folder-kept", why);
            // A No to the shell's question is the user's own answer.
            else if (result.outcome != RecycleOutcome::Declined)
                NotifyUser(L"box-folder-kept",
                           L"收纳盒文件夹“" + NormalizeStoredPath(folder) + L"”未能移到回收站，收纳盒已保留。");
        });
    };
    // The box goes once its folder is gone.
    auto removeAll = [box, folder, busy, &keep] {
        if (busy())
            return;
        keep = true;
        DeleteBoxFolderPermanently(box, folder, [box, folder](const FolderRemoved& result) {
            if (result.removed) {
                if (FindBoxRuntime(box))
                    DeleteBox(box);
                return;
            }
            NotifyUser(L"box-folder-kept", FolderRemovedText(NormalizeStoredPath(folder), result, L"收纳盒"));
        });
    };
    std::vector<Brevin::KelmOption> options;
    if (runtime->IsCustomTarget) {
        options.emplace_back(L"仅删除组件", onlyBox, 1);
        options.emplace_back(L"移动文件到回收站", recycle, 1);
    } else {
        options.emplace_back(L"解散并归位", disband, 1);
        options.emplace_back(L"移动文件到回收站", recycle, 1);
        options.emplace_back(L"仅删除组件", onlyBox, 1);
    }
    options.emplace_back(L"彻底删除文件", removeAll, 1);
    if (!s_deleteBoxChoice(box->GetHwnd(), std::move(options)) || keep || !FindBoxRuntime(box))
        return;
    DeleteBox(box);
}
