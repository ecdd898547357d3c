#include "box/fileops/DropImport.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "app/FileActionGate.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/FolderRelation.h"
#include "app/Logger.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxFolderNames.h"
#include "box/BoxInUse.h"
#include "box/BoxRuntime.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/FileWorkerTracker.h"
#include "box/fileops/PlanLooks.h"
#include "box/fileops/SameNameQuestion.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/DropOutcome.h"
#include "ui/core/KelmWindow.h"

namespace fs = std::filesystem;

std::function<int(HWND owner)> s_sameNameQuestion = AskSameNameQuestion;

namespace
{

void FinishOutcome(const std::shared_ptr<DropOutcome>& outcome, DWORD effect)
{
    if (outcome)
        outcome->Finish(effect);
}

// A drop that takes nothing: its paths are let go and its source hears so.
void TakeNothing(const std::shared_ptr<DropOutcome>& outcome)
{
    s_droppedFiles.clear();
    FinishOutcome(outcome, DROPEFFECT_NONE);
}

void Invalidate(const BoxWindowPtr& box)
{
    if (box && IsWindow(box->GetHwnd()))
        InvalidateRect(box->GetHwnd(), nullptr, FALSE);
}

constexpr DWORD kDropSaveInterval = 500;

// Finished items reach the UI thread in batches, at most this often (ms):
// a box taking a thousand files adds their records and repaints a few
// times a second, not once per file, and leaves the disk to the job.
constexpr DWORD kDropBatchInterval = 200;

// One finished item, as the worker hands it to the UI thread.
struct FinishedDrop {
    CopyJobItem item;
    std::optional<MergedEntries> merged;
    ItemIdentity identity;
    std::map<std::wstring, ItemIdentity> mergedIdentities;
    // What a copy was as it arrived (undo takes back only that), read by
    // the worker: a question to the disk per file is not the UI thread's.
    ItemStamp made;
    // What its record shows of it, read by the worker for the same reason.
    IconFileFacts facts;
};

// UI thread: one finished item's undo record and the entry of its record.
void FinishDroppedCopy(const BoxWindowPtr& box, const FinishedDrop& finished, std::vector<UndoRecord>& undo,
                       std::vector<KelmIconManager::NewEntry>& entries)
{
    CopyJobItem item = finished.item;
    item.owner = StandingBoxOf(item.owner);
    UndoRecord record;
    record.kind = 0;
    record.path = item.destination;
    if (item.move) {
        record.extra = item.source;
        record.merged = finished.merged;
        record.mergedIdentities = finished.mergedIdentities;
    } else {
        record.made = finished.made;
    }
    record.replacedCopy = item.keptCopy;
    record.owner = item.owner;
    // Undo takes back only the item the drop brought, known by its identity.
    record.identity = finished.identity;
    undo.push_back(std::move(record));
    // Earlier items of the job may have failed: the record goes as closest to
    // its planned place as the list then allows.
    KelmIconManager::NewEntry entry;
    entry.index = item.insertIndex;
    entry.path = item.destination;
    entry.x = item.dropX;
    entry.y = item.dropY;
    entry.merged = item.owner && item.owner != box;
    entry.owner = item.owner;
    entry.originalPath = item.originalPath;
    entry.facts = finished.facts;
    entries.push_back(std::move(entry));
}

// UI thread: a batch of finished items, in the order they finished; their
// undo records and icon records go in one pass each (a thousand files cost
// the lists once, not once per file), with one save and one repaint.
void FinishDroppedCopies(const BoxWindowPtr& box, const std::vector<FinishedDrop>& batch)
{
    auto manager = s_boxIconManagers.find(box);
    if (!box || manager == s_boxIconManagers.end()) {
        std::vector<CopyJobItem> items;
        for (const FinishedDrop& finished : batch)
            items.push_back(finished.item);
        LetGoOfItemsWithoutBox(items);
        return;
    }
    std::vector<UndoRecord> undo;
    std::vector<KelmIconManager::NewEntry> entries;
    undo.reserve(batch.size());
    entries.reserve(batch.size());
    for (const FinishedDrop& finished : batch)
        FinishDroppedCopy(box, finished, undo, entries);
    PushUndoRecords(box, std::move(undo));
    manager->second.AddRecordsForEntries(std::move(entries));
    // Saved as the files land, but not for every one of a thousand: the
    // whole store is written each time. The job's end saves the rest.
    static DWORD lastSave = GetTickCount() - kDropSaveInterval;
    if (const DWORD now = GetTickCount(); now - lastSave >= kDropSaveInterval) {
        lastSave = now;
        SaveBoxIcons(manager->second);
    }
    Invalidate(box);
}

} // namespace

DWORD DecideDropEffect(const BoxRuntime& runtime, const std::vector<std::wstring>& paths, DWORD allowedEffects,
                       bool ctrlHeld)
{
    const std::wstring folder = runtime.BackingFolder();
    if (folder.empty())
        return DROPEFFECT_LINK;
    const bool anyTaken = std::any_of(paths.begin(), paths.end(), [&](const std::wstring& path) {
        return !path.empty() && !DropPlan::IsSameOrAncestor(path, folder);
    });
    if (!anyTaken)
        return DROPEFFECT_NONE;
    // A drag that only offers a copy (another box's locked files, a
    // read-only source) is never moved.
    return !ctrlHeld && (allowedEffects & DROPEFFECT_MOVE) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
}

namespace
{

// A folder moved only in part (something stayed at its source): what
// really left the source, so that undo gives back exactly that and the box
// keeps what it held.
MergedEntries TakenFromSource(const MergedEntries& sourceBefore, const std::wstring& source,
                              const std::wstring& destination)
{
    MergedEntries taken;
    taken.folders = sourceBefore.folders;
    for (const std::wstring& file : sourceBefore.files)
        if (!PathExists(source + L"\\" + file) && PathExists(destination + L"\\" + file))
            taken.files.push_back(file);
    return taken;
}

// The move failed only because something stood at its destination.
bool RefusedForTakenDestination(TransferResult result, const TransferReport& report, const std::wstring& source)
{
    return result == TransferResult::Failed && report.leftBehind.empty() && report.failed.size() == 1 &&
           report.failed.front().error == ERROR_FILE_EXISTS && report.failed.front().path == source;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// How a job whose box folder left stopped, told on the UI thread.
struct FolderLeftFacts {
    std::wstring folder;
    size_t notYet = 0;
    size_t putIn = 0;
    std::wstring whereNow;
    // Items that went into a folder that took the box folder's name and
    // could not be taken back from it.
    std::vector<std::wstring> strayed;
};

// The one notice of such a job, worded as the notice of a drop onto a box
// whose folder is gone; what else went wrong follows it.
std::wstring FolderLeftText(const std::wstring& title, const std::wstring& folder, const FolderLeftFacts& facts,
                            const JobTrouble& trouble)
{
    std::wstring text = FolderLeftDuringDropText(title, folder, facts.notYet, facts.putIn, facts.whereNow);
    if (!facts.strayed.empty())
        text += L"\n\n以下项目放进了之后占用这个名称的另一个文件夹“" + folder +
                L"”，没有放入收纳盒，也没能放回原来的位置：" + NameLinesOf(facts.strayed);
    if (!trouble.Empty())
        text += L"\n\n" + JobTroubleText(trouble);
    return text;
}

// Worker thread: an item that arrived in a folder which only has the box
// folder's name (its identity was checked) goes back where it came from;
// a copy is let go, its source still stands. False when it stays there.
bool TakeBackFromStranger(const CopyJobItem& item, const TransferOptions& options)
{
    if (!item.move)
        return RemoveItemWithoutFollowingLinks(item.destination);
    return MoveItem(item.destination, item.source, false, options) == TransferResult::Done;
}

} // namespace

void TellDroppedIntoItself(const std::vector<std::wstring>& paths)
{
    if (paths.empty())
        return;
    NameList names;
    for (const std::wstring& path : paths)
        names.Add(path);
    NotifyUser(L"drop-into-itself",
               names.Text() + L"是这个收纳盒的文件夹或包含它的文件夹，不能放进收纳盒自己里面，已留在原来的位置。");
}

std::wstring FolderLeftDuringDropText(const std::wstring& title, const std::wstring& folder, size_t notYet,
                                      size_t putIn, const std::wstring& whereNow)
{
    std::wstring text = L"收纳盒“" + title + L"”的文件夹“" + folder + L"”在放入文件的过程中被移动、重命名或删除了";
    if (notYet > 0)
        text += L"，尚未放入的 " + std::to_wstring(notYet) + L" 项没有放入收纳盒，仍在原来的位置";
    text += L"。";
    if (putIn > 0 && !whereNow.empty())
        text += L"\n已放入的 " + std::to_wstring(putIn) + L" 项仍在这个文件夹中，它现在的位置是“" + whereNow + L"”。";
    else if (putIn > 0)
        text += L"\n已放入的 " + std::to_wstring(putIn) +
                L" 项在这个文件夹中，随它一起被移动、重命名或删除了，无法确定它现在的位置。";
    return text;
}

void CopyFilesWorker(CopyJob job)
{
    RepaintTarget target{job.box, job.box ? job.box->GetHwnd() : nullptr};
    const TransferOptions options = WorkerTransferOptions(target);
    int moved = 0, copied = 0;
    JobTrouble trouble;
    trouble.failed = job.notFound;
    std::vector<FinishedDrop> batch;
    DWORD lastPost = GetTickCount() - kDropBatchInterval;
    const PlannedFolder into(job.intoFolder, job.intoFolderIdentity);
    size_t reached = 0, backAtSource = 0;
    std::vector<std::wstring> strayed;
    bool folderLeft = false;
    // The folder is not where the plan had it: the job stops. Of the items
    // moved since it was last seen in its place, those that went into a
    // folder of its name (the item itself stands at its destination) go
    // back to their sources, a copy is let go; the others left with the
    // folder, and become records as any item put in.
    auto stopForFolder = [&] {
        folderLeft = true;
        std::erase_if(batch, [&](const FinishedDrop& finished) {
            ItemIdentity there;
            there.known = IdentifyInJob(finished.item.destination, options, there.volume, there.index);
            if (!finished.identity.known || !(there == finished.identity))
                return false;
            --(finished.item.move ? moved : copied);
            if (TakeBackFromStranger(finished.item, options))
                ++backAtSource;
            else
                strayed.push_back(finished.item.destination);
            return true;
        });
    };
    // Each batch is handed over only once the folder was seen in its place
    // after its items moved: one look per batch, not one per file (under
    // Wine a look costs about what a move does).
    auto postBatch = [&] {
        if (!folderLeft && into.Left())
            stopForFolder();
        if (batch.empty() || !job.box)
            return;
        PostToJobBox([finished = std::move(batch)](const BoxWindowPtr& box) { FinishDroppedCopies(box, finished); });
        batch.clear();
        lastPost = GetTickCount();
    };
    ForEachJobItemWhile(job, target, L"drop", [&](const CopyJobItem& planned) {
        // What has not been moved stays at its source: moved on, it would
        // leave the box with its folder or land in another folder.
        if (++reached == 1 && into.Left()) {
            stopForFolder();
            ++backAtSource;
            return false;
        }
        CopyJobItem item = planned;
        // What appeared at the destination since the plan was made is not
        // the plan's to replace. A move that replaces nothing never goes
        // over anything (the rename itself refuses): its destination is
        // looked at only when the move was refused for it, which spares
        // every other item a look into a folder that grows with the job.
        const bool moveRefusesTaken = item.move && !item.replace;
        if (!moveRefusesTaken)
            AvoidDestinationTakenSincePlan(item, trouble);
        const MergedEntries sourceBefore = item.move && IsFolder(item.source) ? ListTree(item.source) : MergedEntries{};
        TransferReport report;
        DestinationBefore before;
        // What "直接覆盖" replaces is kept first, as a paste keeps it.
        const bool kept = KeepWhatItemReplaces(item, options, &before);
        DWORD error = kept ? 0 : GetLastError();
        TransferResult result = TransferResult::Failed;
        if (kept) {
            result = item.move ? MoveItem(item.source, item.destination, item.replace, options, &report)
                               : CopyItem(item.source, item.destination, item.replace, options, &report);
            error = GetLastError();
            if (moveRefusesTaken && RefusedForTakenDestination(result, report, item.source) &&
                PathExists(item.destination)) {
                AvoidDestinationTakenSincePlan(item, trouble);
                report = TransferReport{};
                result = MoveItem(item.source, item.destination, false, options, &report);
                error = GetLastError();
            }
        }
        if (result == TransferResult::Done || result == TransferResult::Incomplete) {
            CopyJobItem finished = item;
            std::optional<MergedEntries> merged;
            if (item.move && result == TransferResult::Done) {
                merged = std::move(report.merged);
            } else if (item.move && !sourceBefore.files.empty() && IsFolder(item.destination)) {
                // Part of the folder left its source: undo gives back that
                // part, never the box's own files with it.
                merged = TakenFromSource(sourceBefore, item.source, item.destination);
            } else {
                // Nothing left the source: the item is a copy, and undo must
                // not move it back over what is still there.
                finished.move = false;
            }
            ++(finished.move ? moved : copied);
            ItemIdentity identity;
            if (report.placed) {
                identity.known = true;
                identity.volume = report.placed->volume;
                identity.index = report.placed->index;
            } else {
                identity.known = IdentifyInJob(item.destination, options, identity.volume, identity.index);
            }
            const std::map<std::wstring, ItemIdentity> mergedIdentities =
                merged ? IdentifyEntries(item.destination, merged->files) : std::map<std::wstring, ItemIdentity>{};
            const ItemStamp made = finished.move ? ItemStamp{} : StampItem(item.destination);
            // A copied file's stamp already holds its time: one question
            // less.
            IconFileFacts facts;
            if (made.known && !made.folder)
                facts.lastWriteTime = static_cast<int64_t>(made.writeTime);
            else
                facts = ReadIconFileFacts(item.destination);
            batch.push_back(
                FinishedDrop{std::move(finished), std::move(merged), identity, mergedIdentities, made, facts});
            if (GetTickCount() - lastPost >= kDropBatchInterval)
                postBatch();
        } else {
            std::wstring keptAt;
            if (!GiveBackWhatFailedItemReplaced(item, before, &keptAt))
                trouble.notGivenBack.emplace_back(item.destination, keptAt);
            // What the transfer named (a link left where it is, an entry
            // that failed) says why; only an item it named nothing of is
            // told with the error it left.
            if (report.failed.empty() && report.leftBehind.empty() && result == TransferResult::Failed)
                report.failed.push_back({item.source, error ? error : ERROR_GEN_FAILURE});
        }
        // Refused because the folder went under it: the item is one of
        // those not yet put in, not a failure of its own.
        if (result == TransferResult::Failed && report.leftBehind.empty() && into.Left()) {
            stopForFolder();
            ++backAtSource;
            return false;
        }
        if (result == TransferResult::Failed) {
            Logger::GetInstance().Log(
                L"DesktopContainer", L"ERROR",
                std::wstring(item.move ? L"Failed to move dropped item: " : L"Failed to copy dropped item: ") +
                    item.source);
        }
        trouble.failed.insert(trouble.failed.end(), report.failed.begin(), report.failed.end());
        for (const std::wstring& path : report.leftBehind)
            Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"Dropped item left in place: " + path);
        if (!report.leftBehind.empty())
            trouble.leftBehind.push_back(
                {item.source, result == TransferResult::Incomplete, item.move, report.removalError, report.keptTwice});
        return !folderLeft;
    });
    postBatch();
    if (job.box && folderLeft) {
        FolderLeftFacts facts;
        facts.folder = job.intoFolder;
        facts.notYet = job.items.size() - reached + backAtSource;
        facts.strayed = std::move(strayed);
        facts.putIn = static_cast<size_t>(moved + copied);
        facts.whereNow = into.WhereNow();
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR",
                                  L"The box folder left while a drop moved files into it: " + job.intoFolder);
        PostToJobBox([facts = std::move(facts), trouble = std::move(trouble)](const BoxWindowPtr& box) {
            const BoxRuntime* runtime = FindBoxRuntime(box);
            const std::wstring stored = runtime ? runtime->TargetFolder : facts.folder;
            NotifyUser(L"drop-folder-gone:" + stored,
                       FolderLeftText(runtime ? runtime->title : L"", NormalizeStoredPath(stored), facts, trouble));
        });
    } else if (job.box && !trouble.Empty()) {
        PostFromJob([text = JobTroubleText(trouble)] { NotifyUser(L"drop-failed", text); });
    }
    // The source hears MOVE (as the logical effect only) when something
    // really left it, COPY when only copies were made.
    const DWORD effect = moved > 0 ? DROPEFFECT_MOVE : copied > 0 ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    if (job.box && job.outcome)
        PostFromJob([outcome = std::move(job.outcome), effect] { FinishOutcome(outcome, effect); });
    EndFileJobWorker(target);
}

namespace
{

constexpr wchar_t kDropNotTaken[] = L"拖入的文件没有放入收纳盒，仍在原来的位置";

// Where a drop goes among the box's records, from its cursor.
struct DropPlace {
    DropPlan::Point point;
    DropPlan::Placement placement;
    BoxWindowPtr owner;
    bool foreign = false;
};

DropPlace PlaceDrop(const BoxWindowPtr& box, const KelmIconManager& manager, const DroppedFiles& drop)
{
    DropPlace place;
    if (drop.at) {
        place.point = DropPlan::Point{drop.at->x, drop.at->y};
        place.placement.insertIndex = std::clamp(drop.at->insertIndex, 0, static_cast<int>(manager.Records().size()));
        // The section's box as it stands: one gone or made again since the
        // drop gives its place to the box itself.
        place.owner = FindBoxRuntime(drop.at->owner) ? drop.at->owner : box;
        place.foreign = place.owner != box;
        return place;
    }
    POINT cursor = drop.cursor;
    ScreenToClient(box->GetHwnd(), &cursor);
    place.point = DropPlan::Point{static_cast<float>(cursor.x / DpiScale), static_cast<float>(cursor.y / DpiScale)};
    std::vector<DropPlan::Point> positions;
    positions.reserve(manager.Records().size());
    for (const IconRecord& record : manager.Records())
        positions.push_back({record.x, record.y});
    place.placement = DropPlan::PlaceAmong(positions, static_cast<float>(manager.GetIconSize()), place.point);
    place.owner = box;
    if (place.placement.nearest >= 0) {
        const IconRecord& closest = manager.Records()[place.placement.nearest];
        if (closest.owner)
            place.owner = closest.owner;
    }
    place.foreign = place.owner != box;
    return place;
}

// UI thread: the box a drop's plan works for, found by its id as it
// stands now, with its manager; none (and the user told why, where the box
// still stands) when the drop must take nothing.
BoxInUse::Found FindPlannedBox(const BoxInUse& hold, const std::wstring& folder)
{
    return hold.BoxWithFolder(folder, L"drop-folder-changed:",
                              L"在拖入时发生了变化，" + std::wstring(kDropNotTaken) + L"。");
}

// UI thread: the plan of a drop whose entries were looked at, its one
// question, and the job that carries it out. The box is held from the
// drop to the job's end, and reached by its id.
void PlanDrop(const BoxInUse& hold, const DroppedFiles& drop, const std::wstring& folder, const PlanLooks& looks)
{
    BoxInUse::Found found = FindPlannedBox(hold, folder);
    if (!found.box) {
        TakeNothing(drop.outcome);
        return;
    }
    const HWND hwnd = found.box->GetHwnd();
    const bool move = drop.effect == DROPEFFECT_MOVE;
    if (!looks.boxFolders.Empty())
        NotifyUser(L"drop-box-folder", looks.boxFolders.Text(L"放进这个收纳盒"));
    TellDroppedIntoItself(looks.intoItself);
    const std::wstring inFolder = WithSeparator(folder);
    const DropPlan::Disk disk = DiskOfLooks(looks, inFolder);
    const DropPlan::Plan plan =
        DropPlan::PlanInto(looks.paths, folder, disk, [hwnd] { return s_sameNameQuestion(hwnd); });
    s_droppedFiles.clear();
    // The question reset nothing the hover repaint needs.
    HoverAnimationCount = 0;
    if (plan.cancelled) {
        FinishOutcome(drop.outcome, DROPEFFECT_NONE);
        return;
    }
    // The question ran a message loop: the program may have begun to end,
    // and the box is found again by its id.
    if (FileActionGate::Refuses(kDropNotTaken)) {
        TakeNothing(drop.outcome);
        return;
    }
    found = FindPlannedBox(hold, folder);
    if (!found.box) {
        if (!hold.Box())
            NotifyUser(L"drop-box-gone", std::wstring(L"收纳盒已不存在，") + kDropNotTaken + L"。");
        TakeNothing(drop.outcome);
        return;
    }
    const BoxWindowPtr box = found.box;
    KelmIconManager& manager = *found.manager;
    // Placed among the records as they stand now.
    const DropPlace place = PlaceDrop(box, manager, drop);

    CopyJob job;
    job.box = box;
    job.hold = hold;
    job.conflictChoice = plan.choice;
    job.outcome = drop.outcome;
    job.notFound = NotFoundAtPlan(plan.missing, looks);
    job.intoFolder = folder;
    job.intoFolderIdentity = looks.boxFolder;
    for (const DropPlan::Item& planned : plan.items) {
        CopyJobItem item;
        item.source = planned.source;
        item.destination = planned.destination;
        item.originalPath = planned.source;
        item.insertIndex = place.placement.insertIndex + planned.sourceIndex;
        item.dropX = place.point.x;
        item.dropY = place.point.y;
        item.owner = place.owner;
        item.move = move;
        item.replace = planned.replace;
        if (planned.replace)
            item.keptCopy = TempCopyPath(planned.destination);
        job.items.push_back(std::move(item));
    }
    if (job.items.empty()) {
        manager.Renumber();
        SaveBoxIcons(manager);
        Invalidate(box);
        if (!job.notFound.empty()) {
            JobTrouble trouble;
            trouble.failed = std::move(job.notFound);
            NotifyUser(L"drop-failed", JobTroubleText(trouble));
        }
        FinishOutcome(drop.outcome, DROPEFFECT_NONE);
        return;
    }
    if (!StartFileJob(box, [job = std::move(job)]() mutable { CopyFilesWorker(std::move(job)); })) {
        // Another job holds the worker: nothing was touched, the files stay
        // where they are, and the user hears why they did not arrive.
        if (!FileActionGate::IsClosed())
            NotifyUser(L"drop-refused:" + drop.paths.front(),
                       L"另一项文件操作正在进行，拖入的文件没有放入收纳盒，仍在原来的位置。\n请在当前操作完成后重试。");
        FinishOutcome(drop.outcome, DROPEFFECT_NONE);
    }
}

// The drop whose entries are being looked at off the UI thread. UI thread
// only: its outcome belongs to the UI thread's apartment and is never let
// go elsewhere, so the looking thread holds nothing but strings.
struct LookedAtDrop {
    BoxInUse hold;
    DroppedFiles drop;
    std::wstring folder;
};

AwaitedLooks<LookedAtDrop>& BeingLookedAt()
{
    static AwaitedLooks<LookedAtDrop> awaited;
    return awaited;
}

// The plan of a looked-at drop runs: its same-name question runs a modal
// loop, in which another drop must be refused, not parked and lost.
bool s_planningLookedAt = false;

// UI thread, posted by the looking thread.
void LookedAt(unsigned serial, const PlanLooks& looks, bool failed)
{
    std::optional<LookedAtDrop> awaited = BeingLookedAt().Take(serial);
    if (!awaited)
        return;
    LookedAtDrop taken = std::move(*awaited);
    // The program began to end while the drop was looked at.
    if (FileActionGate::Refuses(kDropNotTaken)) {
        TakeNothing(taken.drop.outcome);
        return;
    }
    if (failed) {
        NotifyUser(L"drop-look-failed", std::wstring(L"无法读取拖入的文件的信息，") + kDropNotTaken + L"。");
        TakeNothing(taken.drop.outcome);
        return;
    }
    struct Planning {
        Planning() { s_planningLookedAt = true; }
        ~Planning() { s_planningLookedAt = false; }
    } planning;
    try {
        PlanDrop(taken.hold, taken.drop, taken.folder, looks);
    } catch (const std::exception& e) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR",
                                  L"Importing dropped files failed: " + Utf8ToWide(e.what()));
        NotifyUser(L"drop-failed-plan", std::wstring(kDropNotTaken) + L"。");
        FinishOutcome(taken.drop.outcome, DROPEFFECT_NONE);
    }
}

// UI thread: a drop that only records where its files are (a mapping
// box, or a link), its files' facts read. The records of the whole drop
// go in one pass, with one push of their undo records and one save.
void LinkDropped(unsigned serial, const std::vector<IconFileFacts>& facts)
{
    std::optional<LookedAtDrop> awaited = BeingLookedAt().Take(serial);
    if (!awaited)
        return;
    const DroppedFiles& drop = awaited->drop;
    const BoxWindowPtr box = awaited->hold.Box();
    auto managerEntry = box ? s_boxIconManagers.find(box) : s_boxIconManagers.end();
    if (!box || managerEntry == s_boxIconManagers.end()) {
        TakeNothing(drop.outcome);
        return;
    }
    KelmIconManager& manager = managerEntry->second;
    const DropPlace place = PlaceDrop(box, manager, drop);
    std::vector<UndoRecord> undo;
    std::vector<KelmIconManager::NewEntry> entries;
    int index = place.placement.insertIndex;
    for (size_t i = 0; i < drop.paths.size(); ++i) {
        UndoRecord record;
        record.kind = 3;
        record.path = drop.paths[i];
        record.owner = place.owner;
        undo.push_back(std::move(record));
        KelmIconManager::NewEntry entry;
        entry.index = index++;
        entry.path = drop.paths[i];
        entry.x = place.point.x;
        entry.y = place.point.y;
        entry.merged = place.foreign;
        entry.owner = place.owner;
        if (i < facts.size())
            entry.facts = facts[i];
        entries.push_back(std::move(entry));
    }
    PushUndoRecords(box, std::move(undo));
    manager.AddRecordsForEntries(std::move(entries));
    s_droppedFiles.clear();
    SaveBoxIcons(manager);
    Invalidate(box);
    FinishOutcome(drop.outcome, DROPEFFECT_LINK);
}

} // namespace

bool DropBeingLookedAt()
{
    return BeingLookedAt().Waits() || s_planningLookedAt;
}

void ImportDroppedFiles(const std::shared_ptr<KelmWindow>& box, const DroppedFiles& drop)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !s_boxIconManagers.count(box) || drop.effect == DROPEFFECT_NONE) {
        FinishOutcome(drop.outcome, DROPEFFECT_NONE);
        return;
    }

    // A box whose folder went away (moved, renamed, deleted, a drive that
    // is gone) takes nothing: records of where the files are would make it
    // a box of shortcuts without a word, and the files would never reach
    // its folder. The user hears why.
    const std::wstring folder = runtime->BackingFolder();
    if (folder.empty() && runtime->UseTargetFolder && !runtime->TargetFolder.empty() &&
        runtime->TargetFolder != L"bvn!NULL") {
        NotifyUser(L"drop-folder-gone:" + runtime->TargetFolder,
                   L"收纳盒“" + runtime->title + L"”的文件夹“" + NormalizeStoredPath(runtime->TargetFolder) +
                       L"”不存在或无法访问（可能已被移动、重命名或删除），拖入的文件没有放入收纳盒，仍在原来的位置。");
        TakeNothing(drop.outcome);
        return;
    }
    if (drop.effect == DROPEFFECT_LINK || folder.empty()) {
        // Each record shows its file's time and kind: a thousand questions
        // to the disk, asked off the UI thread. The drop stays pending
        // meanwhile, and its box held.
        const unsigned serial = BeingLookedAt().Await(LookedAtDrop{BoxInUse::Hold(box), drop, L""});
        RunOffUiThread([serial, paths = drop.paths]() -> std::function<void()> {
            std::vector<IconFileFacts> facts;
            try {
                facts.reserve(paths.size());
                for (const std::wstring& path : paths)
                    facts.push_back(ReadIconFileFacts(path));
            } catch (...) {
                // Whatever was not read is read as the records are made.
                facts.clear();
            }
            return [serial, facts = std::move(facts)] { LinkDropped(serial, facts); };
        });
        return;
    }

    // The guard and the looks ask the system about every dropped entry and
    // resolve every box's folder: thousands of questions, off the UI
    // thread. The drop stays pending meanwhile (no other drop is taken);
    // its plan, question and job follow on the UI thread.
    const GuardedFolders guarded = FoldersToGuard(folder);
    const bool move = drop.effect == DROPEFFECT_MOVE;
    const unsigned serial = BeingLookedAt().Await(LookedAtDrop{BoxInUse::Hold(box), drop, folder});
    LookOffUiThread([guarded, paths = drop.paths, move] { return LookBeforePlan(guarded, paths, move); },
                    [serial](const PlanLooks& looks, bool failed) { LookedAt(serial, looks, failed); });
}
