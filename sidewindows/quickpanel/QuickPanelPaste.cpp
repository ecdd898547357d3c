#include "sidewindows/quickpanel/QuickPanelPaste.h"

#include <shellapi.h>

#include <algorithm>
#include <limits>
#include <filesystem>
#include <system_error>
#include <thread>

#include "app/FileActionGate.h"
#include "app/CommonHelpers.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxDrop.h"
#include "box/BoxFolderGuard.h"
#include "box/BoxFolderNames.h"
#include "box/BoxInUse.h"
#include "box/BoxRuntime.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/DropPlan.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/FileWorkerTracker.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/fileops/PlanLooks.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QuickPanelContentModel.h"
#include "sidewindows/quickpanel/QuickPanelPhysListing.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "ui/controls/KelmMenu.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/DropOutcome.h"
#include "ui/core/KelmDropTarget.h"
#include "ui/core/KelmOption.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

namespace
{

struct Target {
    KelmIconManager* manager = nullptr;
    BoxWindowPtr owner;
    // The desktop box the single view shows: its own roads take the items.
    BoxWindowPtr box;
    std::wstring title;
    std::wstring folder;
    bool physical = false;
    bool twoSections = false;
};

// A drop or paste of records whose files are being read off the UI thread.
bool s_recordsBeingRead = false;

Target FindTarget()
{
    Target target;
    BoxRuntime& panel = s_boxRuntimes[s_quickPanelWindow];
    target.twoSections = s_selectedIsHidden && !panel.searchActive;
    if (target.twoSections) {
        const bool physicalSection = s_physicalSectionActive && s_quickPanelDummy;
        target.manager = &s_boxIconManagers[physicalSection ? s_quickPanelDummy : s_quickPanelWindow];
        target.owner = physicalSection ? s_quickPanelDummy : s_quickPanelWindow;
        for (const HiddenBoxRecord& record : s_hiddenBoxes) {
            if (record.id == s_selectedComponentId) {
                target.folder = NormalizeStoredPath(record.TargetFolder);
                target.title = record.title;
            }
        }
        target.physical = physicalSection;
        return target;
    }
    target.manager = &s_boxIconManagers[s_quickPanelWindow];
    target.owner = s_quickPanelWindow;
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (window && runtime.id == s_selectedComponentId && !IsQuickPanelPseudoId(runtime.id)) {
            target.owner = window;
            target.box = window;
            target.title = runtime.title;
            target.folder = NormalizeStoredPath(runtime.TargetFolder);
            target.physical = runtime.UseTargetFolder;
        }
    }
    return target;
}

bool FolderExists(const std::wstring& folder)
{
    std::error_code error;
    return !folder.empty() && folder != L"bvn!NULL" && std::filesystem::is_directory(folder, error);
}

void Finish(const Target& target)
{
    if (s_boxRuntimes[s_quickPanelWindow].searchActive)
        return;
    if (!target.twoSections) {
        SaveBoxIcons(s_boxIconManagers[s_quickPanelWindow]);
    } else if (!target.physical) {
        SaveHiddenBoxEntries(true);
    } else {
        // The folder is the truth of the physical section: it is listed
        // again, off this thread, and the records follow what it holds.
        KelmIconManager& phys = s_boxIconManagers[s_quickPanelDummy];
        phys.SetOverlayMode(false);
        phys.UpdateAnimations(s_quickPanelDummy);
        ListPhysicalSectionSoon();
    }
}

void RepaintPanel()
{
    for (const BoxWindowPtr& window : {s_quickPanelWindow, s_quickPanelContentWindow})
        if (window && IsWindow(window->GetHwnd()))
            InvalidateRect(window->GetHwnd(), nullptr, FALSE);
}

// The desktop box that took the panel's last drop or paste: while the work
// for it goes on (its looks, its plan and question, its job), the panel's
// list follows the records that land in the box, a few times a second and
// only when their number changed; then once more, and the timer ends.
struct Followed {
    BoxWindowPtr box;
    size_t records = 0;
    UINT_PTR timer = 0;
};

Followed& FollowedBox()
{
    static Followed followed;
    return followed;
}

constexpr UINT kFollowInterval = 250;

bool WorkPendsFor(const BoxWindowPtr& box)
{
    // A hold stands from the first look to the job's end, through the
    // same-name question, whose own message loop the ticks run inside.
    return TessikDesktopContainer::BoxDropPending() || DropBeingLookedAt() || PasteBeingLookedAt() ||
           FileJobWorksFor(box) || BoxInUse::Busy(box);
}

void CALLBACK FollowTick(HWND, UINT, UINT_PTR timerId, DWORD)
{
    Followed& followed = FollowedBox();
    const BoxWindowPtr box = followed.box;
    const bool pending = box && FindBoxRuntime(box) && WorkPendsFor(box);
    if (!pending) {
        KillTimer(nullptr, timerId);
        followed = Followed{};
    }
    auto manager = box ? s_boxIconManagers.find(box) : s_boxIconManagers.end();
    if (manager == s_boxIconManagers.end())
        return;
    if (pending && manager->second.Records().size() == followed.records)
        return;
    followed.records = manager->second.Records().size();
    if (FollowBoxChange(box))
        RepaintPanel();
}

void FollowBox(const BoxWindowPtr& box)
{
    Followed& followed = FollowedBox();
    followed.box = box;
    auto manager = s_boxIconManagers.find(box);
    followed.records = manager == s_boxIconManagers.end() ? 0 : manager->second.Records().size();
    // What the box took at once (records of where the files are) shows now.
    if (FollowBoxChange(box))
        RepaintPanel();
    if (!followed.timer)
        followed.timer = SetTimer(nullptr, 0, kFollowInterval, FollowTick);
}

// Where the items go among the records the panel shows: beside the record
// nearest to x, y (DIP), in its owner's section. The single view lists a
// desktop box's records in the box's order, so the place is the box's too;
// while a search shows other records the items go last.
struct Place {
    int insertIndex = 0;
    float x = 0, y = 0;
    BoxWindowPtr owner;
};

Place PlaceAmongShown(const Target& target, float x, float y)
{
    Place place;
    place.x = x;
    place.y = y;
    place.owner = target.owner;
    if (target.box && s_boxRuntimes[s_quickPanelWindow].searchActive) {
        place.insertIndex = std::numeric_limits<int>::max();
        return place;
    }
    const KelmIconManager& manager = *target.manager;
    std::vector<DropPlan::Point> positions;
    positions.reserve(manager.Records().size());
    for (const IconRecord& record : manager.Records())
        positions.push_back({record.x, record.y});
    const DropPlan::Placement placement =
        DropPlan::PlaceAmong(positions, static_cast<float>(manager.GetIconSize()), DropPlan::Point{x, y});
    place.insertIndex = placement.insertIndex;
    if (placement.nearest >= 0 && manager.Records()[placement.nearest].owner)
        place.owner = manager.Records()[placement.nearest].owner;
    return place;
}

bool TwoSectionView()
{
    return s_selectedIsHidden && !s_boxRuntimes[s_quickPanelWindow].searchActive;
}

// Whether x (DIP) lies over the half that shows the physical section.
bool OverPhysicalHalf(float x, float left, float w)
{
    const bool overLeftHalf = x < left + (w - left) / 2;
    return overLeftHalf != s_mappedSectionOnLeft;
}

// The items of one paste or drop that did not arrive (or only in part),
// told to the user once the operation is over.
class Untaken
{
public:
    explicit Untaken(bool move) : move_(move) {}
    // sourceGone: nothing stands at the source any more (looked at where
    // the item was brought, not on the UI thread).
    void Note(const std::wstring& source, const BroughtItem& brought, bool sourceGone)
    {
        if (brought.intoItself)
            intoItself_.Add(source);
        else if (brought.boxFolder != FolderRelation::Unrelated)
            boxFolder_.Add(source, brought.boxFolder);
        else if (brought.path.empty() && IsNotFound(brought.error) && sourceGone)
            gone_.Add(source);
        else if (brought.path.empty())
            failed_.Add(source, brought.error ? L"（" + TransferErrorText(brought.error) + L"）" : L"");
        else if (!brought.leftBehind.empty() && !move_)
            linksNotCopied_.Add(source);
        else if (!brought.leftBehind.empty())
            (brought.keptTwice ? keptTwice_ : partly_)
                .Add(source, L"（" + LeftBehindReason({source, true, true, brought.removalError}) + L"）");
    }
    // The box's folder went while the items went into it: the rest stayed.
    void NoteFolderLeft(const Target& target, size_t notYet, size_t putIn)
    {
        folderLeft_ = FolderLeftDuringDropText(target.title, target.folder, notYet, putIn, L"");
    }
    void Tell() const
    {
        if (!folderLeft_.empty())
            NotifyUser(L"quick-panel-folder-gone", folderLeft_);
        if (!intoItself_.empty())
            NotifyUser(L"quick-panel-into-itself",
                       intoItself_.Text() +
                           L"是这个收纳盒的文件夹或包含它的文件夹，不能放进收纳盒自己里面，已留在原来的位置。");
        if (!boxFolder_.Empty())
            NotifyUser(L"quick-panel-box-folder", boxFolder_.Text(L"放进这个收纳盒"));
        if (!gone_.empty())
            NotifyUser(L"quick-panel-gone", gone_.Text() + L"已不存在（可能已被移动或删除），没有放入收纳盒。");
        if (!failed_.empty())
            NotifyUser(L"quick-panel-not-taken", failed_.Text() + L"没有放入收纳盒，仍在原来的位置。");
        if (!partly_.empty())
            NotifyUser(L"quick-panel-left-behind",
                       partly_.Text() + L"只有一部分放入了收纳盒，其余内容仍在原来的位置。");
        if (!keptTwice_.empty())
            NotifyUser(L"quick-panel-kept-twice",
                       keptTwice_.Text() + L"已放入收纳盒，但原位置有部分内容没有移走，两处的内容都已保留。");
        if (!linksNotCopied_.empty())
            NotifyUser(L"quick-panel-links-not-copied",
                       linksNotCopied_.Text() + L"已复制到收纳盒，但其中的链接没有复制（链接不会被跟随）。");
    }

private:
    static bool IsNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }
    bool move_;
    NameList intoItself_, gone_, failed_, partly_, keptTwice_, linksNotCopied_;
    BoxFolderNames boxFolder_;
    std::wstring folderLeft_;
};

} // namespace

BroughtItem BringIntoFolder(const std::wstring& source, const std::wstring& folder, bool move, bool keepOwn,
                            const BoxFolderGuard* guard)
{
    BroughtItem brought;
    const BoxFolderGuard ownGuard = guard ? BoxFolderGuard({}, L"") : GuardOfBoxFolders(folder);
    if (!guard)
        guard = &ownGuard;
    // A folder copied or moved into itself would grow under its own copy
    // (or swallow the component's files): it stays where it is. Known by
    // what it is, not how it is spelled.
    // A drive's root is never taken, moved or copied: the whole drive
    // would go, or be copied under a name it does not have.
    if (BoxFolderGuard::VolumeRoot(source)) {
        brought.boxFolder = FolderRelation::VolumeRoot;
        return brought;
    }
    if (guard->IntoItself(source) == FolderRelation::SameOrHolding) {
        brought.intoItself = true;
        return brought;
    }
    // Only a move takes a folder from the box that shows it; a copy leaves
    // it where it is.
    brought.boxFolder = move ? guard->BoxFolder(source) : FolderRelation::Unrelated;
    if (brought.boxFolder != FolderRelation::Unrelated)
        return brought;
    const std::filesystem::path name = std::filesystem::path(source).filename();
    const std::wstring sameName = (std::filesystem::path(folder) / name).wstring();
    if (keepOwn && PathExists(sameName) && SamePathItem(source, sameName)) {
        brought.path = source;
        return brought;
    }
    const std::wstring destination =
        FreePasteName(folder, name.stem().wstring(), name.extension().wstring(), PathExists);
    TransferReport report;
    // The name was free a moment ago: never replace what came there since.
    const TransferResult result = move ? MoveItem(source, destination, false, TransferOptions{}, &report)
                                       : CopyItem(source, destination, false, TransferOptions{}, &report);
    brought.leftBehind = std::move(report.leftBehind);
    brought.removalError = report.removalError;
    brought.keptTwice = report.keptTwice;
    if (result == TransferResult::Done || result == TransferResult::Incomplete) {
        brought.path = destination;
        // What stayed at the source makes the item a copy.
        brought.effect = move && result == TransferResult::Done ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        return brought;
    }
    if (!report.failed.empty())
        brought.error = report.failed.front().error;
    else if (!brought.leftBehind.empty())
        brought.error = kErrorLinkNotFollowed;
    else if (!PathExists(source))
        brought.error = ERROR_FILE_NOT_FOUND;
    Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"Not put into the component: " + source);
    return brought;
}

namespace
{

// One item as the worker brought it into the hidden box's folder.
struct BroughtFrom {
    std::wstring source;
    BroughtItem brought;
    bool sourceGone = false;
};

// The hidden box's folder takes items one job at a time. UI thread only:
// the worker holds nothing of it but strings, and hands its results over
// through the file jobs' mailbox, in order.
struct HiddenBoxJob {
    bool runs = false;
    std::wstring id;
    Target target;
    Place place;
    // The window of the physical section the job began in: its records
    // are added to only while that section still shows the same box.
    BoxWindowPtr section;
    size_t added = 0;
    DWORD done = DROPEFFECT_NONE;
    Untaken untaken{false};
    std::shared_ptr<DropOutcome> outcome;
    // Nothing takes the hidden box away (its delete asks Held) until the
    // job's end has landed.
    BoxInUse hold;
};

HiddenBoxJob& RunningJob()
{
    static HiddenBoxJob job;
    return job;
}

// Finished items reach the UI thread in batches, at most this often (ms):
// a thousand files cost the list a few passes, not one per file.
constexpr DWORD kBatchInterval = 200;

bool JobSectionShown(const HiddenBoxJob& job)
{
    return s_quickPanelWindow && s_selectedIsHidden && s_selectedComponentId == job.id && s_quickPanelDummy &&
           s_quickPanelDummy == job.section && !s_boxRuntimes[s_quickPanelWindow].searchActive;
}

// UI thread: a batch of brought items becomes records, in the order they
// were given, beside the place of the drop or paste.
void TakeBroughtBatch(const std::vector<BroughtFrom>& batch)
{
    HiddenBoxJob& job = RunningJob();
    if (!job.runs)
        return;
    std::vector<KelmIconManager::NewEntry> entries;
    for (const BroughtFrom& item : batch) {
        job.untaken.Note(item.source, item.brought, item.sourceGone);
        if (item.brought.path.empty())
            continue;
        job.done |= item.brought.effect | DROPEFFECT_LINK;
        std::wstring path = item.brought.path;
        std::replace(path.begin(), path.end(), L'/', L'\\');
        KelmIconManager::NewEntry entry;
        entry.index = job.place.insertIndex + static_cast<int>(job.added++);
        entry.path = std::move(path);
        entry.x = job.place.x;
        entry.y = job.place.y;
        entry.owner = job.place.owner;
        entries.push_back(std::move(entry));
    }
    // Another box shown meanwhile: the folder is the section's truth, and
    // is read again when the box is shown.
    if (entries.empty() || !JobSectionShown(job))
        return;
    s_boxIconManagers[s_quickPanelDummy].AddRecordsForEntries(std::move(entries));
    RepaintPanel();
}

// UI thread: the job's end. folderLeft: the folder went part way, notYet
// items stayed at their sources and putIn went in.
void EndHiddenBoxJob(bool folderLeft, size_t notYet, size_t putIn)
{
    HiddenBoxJob job = std::move(RunningJob());
    RunningJob() = HiddenBoxJob{};
    if (folderLeft)
        job.untaken.NoteFolderLeft(job.target, notYet, putIn);
    if (JobSectionShown(job))
        Finish(job.target);
    RepaintPanel();
    job.untaken.Tell();
    const DWORD effect = job.done & DROPEFFECT_MOVE   ? DROPEFFECT_MOVE
                         : job.done & DROPEFFECT_COPY ? DROPEFFECT_COPY
                                                      : job.done;
    if (job.outcome)
        job.outcome->Finish(effect);
}

// Worker thread: each item brought into the folder under a free name, the
// results posted back in batches. Stops when the folder is no longer the
// one it was, or the program is ending (what was not brought stays where
// it is).
void BringIntoHiddenBox(const GuardedFolders& guarded, const std::vector<std::wstring>& paths,
                        const std::wstring& folder, bool move, bool keepOwn)
{
    FileWorkerTracker::Scope scope(FileWorkerTracker::GetInstance());
    bool folderLeft = false;
    size_t notYet = 0, putIn = 0;
    std::vector<BroughtFrom> batch;
    auto post = [&batch] {
        if (!batch.empty())
            FileJobMailbox::Post([taken = std::move(batch)] { TakeBroughtBatch(taken); });
        batch.clear();
    };
    try {
        const BoxFolderGuard guard = guarded.Make();
        // The folder the items go into, by identity: another program may
        // move it away, or put another of its name in its place, part way.
        const ItemIdentity identity = IdentityAt(folder);
        // One item under two spellings (two drive letters) is brought once.
        const std::vector<bool> again = DropPlan::LaterSpellings(paths, SamePathItem);
        DWORD lastPost = GetTickCount();
        for (size_t i = 0; i < paths.size(); ++i) {
            if (FileWorkerTracker::GetInstance().CancelRequested()) {
                Logger::GetInstance().Log(L"DesktopContainer", L"INFO",
                                          L"Bringing items into a hidden box stopped as the program ends.");
                break;
            }
            if (again[i])
                continue;
            BroughtItem brought = BringIntoFolder(paths[i], folder, move, keepOwn, &guard);
            if (brought.path.empty() && FolderLeft(folder, identity)) {
                folderLeft = true;
                notYet = paths.size() - i;
                break;
            }
            if (!brought.path.empty())
                ++putIn;
            const bool gone = brought.path.empty() && !PathExists(paths[i]);
            batch.push_back(BroughtFrom{paths[i], std::move(brought), gone});
            if (GetTickCount() - lastPost >= kBatchInterval) {
                post();
                lastPost = GetTickCount();
            }
        }
    } catch (...) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR",
                                  L"Bringing items into a hidden box stopped on an unexpected error.");
    }
    // Nothing may leave the thread: what came in still lands, and the job
    // ends (the box is let go) whatever stopped it.
    try {
        post();
        FileJobMailbox::Post([folderLeft, notYet, putIn] { EndHiddenBoxJob(folderLeft, notYet, putIn); });
    } catch (...) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"A hidden box's job could not hand back its end.");
    }
}

} // namespace

bool HiddenBoxJobRuns()
{
    return RunningJob().runs || s_recordsBeingRead;
}

namespace
{

struct PendingRecords {
    BoxInUse hold;
    std::wstring id, title;
    bool twoSections = false;
    Place place;
    std::wstring notTaken;
    std::shared_ptr<DropOutcome> outcome;
};

// On the UI thread, once the files were read: the records go in one pass,
// into the box and section the items were dropped on, when the panel still
// shows it; else nothing is added and the user hears so.
void AddReadRecords(const PendingRecords& pending, const std::vector<std::wstring>& paths,
                    const std::vector<IconFileFacts>& facts)
{
    DWORD done = DROPEFFECT_NONE;
    const bool shown = s_quickPanelWindow && s_selectedComponentId == pending.id && !pending.id.empty();
    const Target target = shown ? FindTarget() : Target{};
    if (!shown || target.box || target.physical || target.twoSections != pending.twoSections) {
        NotifyUser(L"quick-panel-moved-on", L"收纳盒“" + pending.title + L"”已不在快捷面板中显示，" + pending.notTaken);
    } else {
        std::vector<KelmIconManager::NewEntry> entries;
        for (size_t i = 0; i < paths.size(); ++i) {
            KelmIconManager::NewEntry entry;
            entry.index = pending.place.insertIndex + static_cast<int>(entries.size());
            entry.path = paths[i];
            entry.x = pending.place.x;
            entry.y = pending.place.y;
            entry.owner = pending.place.owner;
            if (i < facts.size())
                entry.facts = facts[i];
            entries.push_back(std::move(entry));
        }
        done = entries.empty() ? DROPEFFECT_NONE : DROPEFFECT_LINK;
        // One pass over the list for all the items, not one per item.
        target.manager->AddRecordsForEntries(std::move(entries));
        Finish(target);
        RepaintPanel();
    }
    if (pending.outcome) {
        pending.outcome->Take(done);
        pending.outcome->Finish(done);
    }
}

} // namespace

DWORD AddItemsToComponent(const std::vector<std::wstring>& paths, ItemsFrom from, bool move, float x, float y,
                          const std::shared_ptr<DropOutcome>& outcome)
{
    // Nothing was taken: a drop's source hears so, and keeps its files.
    auto nothingTaken = [&outcome] {
        if (outcome)
            outcome->Finish(DROPEFFECT_NONE);
        return static_cast<DWORD>(DROPEFFECT_NONE);
    };
    if (s_selectedComponentId.empty() || !s_quickPanelWindow ||
        FileActionGate::Refuses(L"文件没有放入收纳盒，仍在原来的位置"))
        return nothingTaken();
    const Target target = FindTarget();
    // A desktop box takes items only on its own roads.
    if (target.box)
        return nothingTaken();
    const std::wstring notTaken =
        from == ItemsFrom::Drop ? L"拖入的文件没有放入收纳盒，仍在原来的位置。" : L"没有粘贴。";
    // A section whose folder went away takes nothing: records of where the
    // files are would stand among the folder's files, and vanish with the
    // next look at it. The user hears why.
    if (target.physical && !FolderExists(target.folder)) {
        NotifyUser(L"quick-panel-folder-missing:" + target.folder,
                   L"收纳盒“" + target.title + L"”的文件夹“" + target.folder +
                       L"”不存在或无法访问（可能已被移动、重命名或删除），" + notTaken);
        return nothingTaken();
    }
    const Place place = PlaceAmongShown(target, x, y);
    if (target.physical) {
        // The folder's files are moved or copied on a worker: a thousand of
        // them would hold every window of the program for many seconds.
        HiddenBoxJob& job = RunningJob();
        if (job.runs || !FileJobMailbox::Open()) {
            NotifyUser(L"quick-panel-busy", L"另一项文件操作正在进行，" + notTaken + L"\n请在当前操作完成后重试。");
            return nothingTaken();
        }
        HiddenBoxJob started;
        started.runs = true;
        started.id = s_selectedComponentId;
        started.target = target;
        started.place = place;
        started.section = s_quickPanelDummy;
        started.untaken = Untaken(move);
        started.outcome = outcome;
        // Held from here to the job's end: the box's delete is refused.
        started.hold = BoxInUse::HoldId(s_selectedComponentId);
        const GuardedFolders guarded = FoldersToGuard(target.folder);
        try {
            std::thread([guarded, paths, folder = target.folder, move, keepOwn = from == ItemsFrom::Drop] {
                BringIntoHiddenBox(guarded, paths, folder, move, keepOwn);
            }).detach();
        } catch (...) {
            NotifyUser(L"quick-panel-not-started", L"无法开始文件操作，" + notTaken);
            return nothingTaken();
        }
        // Its results are posted to this thread: they land after this.
        job = std::move(started);
        if (outcome)
            outcome->Take(move ? DROPEFFECT_MOVE : DROPEFFECT_COPY);
        return DROPEFFECT_NONE;
    }
    // Each record shows its file's time and kind, and one item under two
    // spellings (two drive letters) is recorded once: thousands of
    // questions to the disk, asked off the UI thread. The box is held by
    // its id meanwhile, and the records land only where the items were
    // dropped, once the answers are in.
    if (s_recordsBeingRead) {
        NotifyUser(L"quick-panel-busy", L"另一项文件操作正在进行，" + notTaken + L"\n请在当前操作完成后重试。");
        return nothingTaken();
    }
    s_recordsBeingRead = true;
    PendingRecords pending{BoxInUse::HoldId(s_selectedComponentId), s_selectedComponentId, target.title,
                           target.twoSections, place, notTaken, outcome};
    RunOffUiThread([pending = std::move(pending), paths]() mutable -> std::function<void()> {
        std::vector<std::wstring> kept;
        std::vector<IconFileFacts> facts;
        try {
            const std::vector<bool> again = DropPlan::LaterSpellings(paths, SamePathItem);
            for (size_t i = 0; i < paths.size(); ++i) {
                if (again[i])
                    continue;
                std::wstring path = paths[i];
                std::replace(path.begin(), path.end(), L'/', L'\\');
                facts.push_back(ReadIconFileFacts(path));
                kept.push_back(std::move(path));
            }
        } catch (...) {
            // Whatever was not read is read as the records are made.
            kept = paths;
            facts.clear();
        }
        return [pending = std::move(pending), kept = std::move(kept), facts = std::move(facts)] {
            s_recordsBeingRead = false;
            AddReadRecords(pending, kept, facts);
        };
    });
    return DROPEFFECT_NONE;
}

std::vector<std::wstring> ClipboardFilePaths(HWND owner)
{
    std::vector<std::wstring> paths;
    if (!OpenClipboard(owner))
        return paths;
    if (HANDLE data = GetClipboardData(CF_HDROP))
        paths = PathsOfDropHandle(data);
    CloseClipboard();
    return paths;
}

void PasteFilesToComponent(HWND window, float left, float w)
{
    const std::vector<std::wstring> paths = ClipboardFilePaths(window);
    if (paths.empty())
        return;
    const POINT cursor = CursorInDips(window);
    float x = static_cast<float>(cursor.x);
    // The menu may have been opened over the other half: the items still
    // go to the section it made active, near its left edge.
    if (TwoSectionView() && OverPhysicalHalf(x, left, w) != s_physicalSectionActive) {
        const float half = (w - left) / 2;
        const bool activeOnLeft = s_physicalSectionActive != s_mappedSectionOnLeft;
        x = (activeOnLeft ? left : left + half) + 50;
    }
    const float y = static_cast<float>(cursor.y);
    if (!s_selectedComponentId.empty() && s_quickPanelWindow) {
        const Target target = FindTarget();
        if (target.box) {
            // The box's own paste: its plan, question, worker and undo.
            const Place place = PlaceAmongShown(target, x, y);
            PasteFilesIntoBoxAt(target.box, s_boxIconManagers[target.box], paths,
                                PastePlacement{place.insertIndex, place.x, place.y, place.owner});
            FollowBox(target.box);
            return;
        }
    }
    AddItemsToComponent(paths, ItemsFrom::Clipboard, false, x, y);
    if (IsWindow(window))
        InvalidateRect(window, nullptr, FALSE);
}

void OnQuickPanelFilesDropped(HWND window, float left, float w, const std::vector<std::wstring>& paths)
{
    // Until the work is done the drop counts as refused: the source keeps
    // its files whatever ends it early.
    const std::shared_ptr<DropOutcome> outcome = s_dropOutcome;
    if (outcome)
        outcome->Take(DROPEFFECT_NONE);
    const POINT cursor = CursorInDips(window);
    if (TwoSectionView())
        s_physicalSectionActive = OverPhysicalHalf(static_cast<float>(cursor.x), left, w);
    if (!s_selectedComponentId.empty() && s_quickPanelWindow) {
        const Target target = FindTarget();
        if (target.box) {
            // The box's own road: its plan, question, worker, undo and the
            // answer to the source, as if the files were dropped on it.
            const Place place = PlaceAmongShown(target, static_cast<float>(cursor.x), static_cast<float>(cursor.y));
            TessikDesktopContainer::DropOnBoxAt(target.box, paths,
                                                DropPlacement{place.insertIndex, place.x, place.y, place.owner});
            FollowBox(target.box);
            s_droppedFiles.clear();
            if (IsWindow(window))
                InvalidateRect(window, nullptr, FALSE);
            return;
        }
    }
    const bool copy = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    // A source that offers only a copy (a mapping box's file) keeps it.
    const bool move = !copy && (s_dropAllowedEffects & DROPEFFECT_MOVE) != 0;
    // The source hears what was done once the work is over: at once for
    // records, at the job's end for a folder's files.
    AddItemsToComponent(paths, ItemsFrom::Drop, move, static_cast<float>(cursor.x), static_cast<float>(cursor.y),
                        outcome);
    // The drag is over: nothing may paint its feedback any more.
    s_droppedFiles.clear();
    if (IsWindow(window))
        InvalidateRect(window, nullptr, FALSE);
}

void ShowQuickPanelContentMenu(HWND window, float left, float w)
{
    if (TwoSectionView())
        s_physicalSectionActive = OverPhysicalHalf(static_cast<float>(CursorInDips(window).x), left, w);
    std::wstring folder;
    bool folderRows = false;
    if (s_selectedIsHidden) {
        for (const HiddenBoxRecord& record : s_hiddenBoxes)
            if (record.id == s_selectedComponentId)
                folder = NormalizeStoredPath(record.TargetFolder);
        folderRows = true;
    } else {
        for (const auto& [box, runtime] : s_boxRuntimes)
            if (box && runtime.id == s_selectedComponentId && !IsQuickPanelPseudoId(runtime.id))
                folderRows = runtime.UseTargetFolder;
        folder = s_boxRuntimes[s_quickPanelWindow].TargetFolder;
    }
    std::vector<Brevin::KelmOption> rows;
    rows.emplace_back(
        L":\uF0EA:      粘贴", [window, left, w] { PasteFilesToComponent(window, left, w); },
        IsClipboardFormatAvailable(CF_HDROP) ? 1 : 0);
    if (folderRows && !folder.empty()) {
        rows.emplace_back(
            L":\uF07C:      打开目录",
            [folder] { ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL); }, 1);
        rows.emplace_back(
            L":\uF120:      命令行",
            [folder] { ShellExecuteW(nullptr, L"open", L"powershell.exe", nullptr, folder.c_str(), SW_SHOWNORMAL); },
            1);
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    KelmMenu::Show(window, cursor.x, cursor.y, rows, 160, 0);
}

} // namespace TessikQuickPanel
