#include "box/fileops/DeleteSelected.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "app/FileActionGate.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxFolderNames.h"
#include "box/BoxInUse.h"
#include "box/BoxRuntime.h"
#include "box/BoxShortcuts.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/NewPopupSelection.h"
#include "ui/core/KelmWindow.h"

namespace fs = std::filesystem;
using TessikDesktopContainer::KelmIconManager;

PendingBoxTimer s_pendingDelete(DeleteSelectionByKey);

namespace
{

int AskDeleteChoice(HWND owner, const DeleteQuestionTexts& texts)
{
    std::vector<Brevin::KelmOption> options{
        {L"移动到回收站", nullptr, 1},
        {L"彻底删除", nullptr, 1},
    };
    // A permanent delete cannot be undone: the OK button turns red for it.
    s_selectionRedOk[1] = 1;
    NewPopupSelection::Create(owner, texts.text, texts.title, std::move(options), L"确定", L"取消");
    if (s_selectionOk != 1)
        return -1;
    return s_selectionIndex == 1 ? 1 : 0;
}

void Log(const wchar_t* level, const std::wstring& text)
{
    Logger::GetInstance().Log(L"DesktopContainer", level, text);
}

bool IsFolderBacked(const BoxWindowPtr& owner)
{
    const BoxRuntime* runtime = FindBoxRuntime(owner);
    return runtime && !runtime->BackingFolder().empty();
}

// The same, asked of the disk once per owner box: a selection of thousands
// has a few owners.
class FolderBackedOwners
{
public:
    bool operator()(const BoxWindowPtr& owner)
    {
        auto found = known_.find(owner);
        if (found == known_.end())
            found = known_.emplace(owner, IsFolderBacked(owner)).first;
        return found->second;
    }

private:
    std::map<BoxWindowPtr, bool> known_;
};

// The view the selection was made in.
KelmIconManager* SelectionManager(const BoxWindowPtr& box, const BoxRuntime& runtime)
{
    auto own = s_boxIconManagers.find(box);
    return own == s_boxIconManagers.end() ? nullptr : &SelectionView(box, runtime, own->second);
}

constexpr wchar_t kDeleteBusyText[] = L"另一项文件操作正在进行，选中的文件没有删除。\n请在当前操作完成后重试。";

// What the user chose: a record's path in its owner box. Ids are
// renumbered by every change of the list (a folder sync, a finished job),
// so they name nothing once the user has been asked.
struct Selected {
    std::wstring path;
    BoxWindowPtr owner;
};

// Keeps what the box's selection view still shows (a record of that path
// and owner); false when the box or view went or nothing is left. One
// pass over the view's list, however many were chosen.
bool KeepStillShown(const BoxWindowPtr& box, std::vector<Selected>& selected)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    KelmIconManager* manager = runtime ? SelectionManager(box, *runtime) : nullptr;
    if (!manager)
        return false;
    std::unordered_map<std::wstring, std::vector<const KelmWindow*>> shown;
    for (const IconRecord& record : manager->Records())
        shown[record.path].push_back(manager->EffectiveOwner(record).get());
    std::erase_if(selected, [&](const Selected& item) {
        const auto found = shown.find(item.path);
        return found == shown.end() ||
               std::find(found->second.begin(), found->second.end(), item.owner.get()) == found->second.end();
    });
    return !selected.empty();
}

// What the copy kept for undo could not hold: links (never copied) and
// entries that could not be copied (held open by another program, a full
// temporary folder), each with its reason.
struct NotKept {
    std::vector<std::wstring> links;
    std::vector<TransferFailure> unread;
};

// Worker: a file goes to the Recycle Bin only once a copy of it is kept.
// notKept names what the copy could not hold: undo could not bring those
// back, so the item stays where it is (false).
bool KeepCopyBeforeRecycling(const DeleteJobItem& item, NotKept& notKept)
{
    TransferOptions options;
    options.cancelled = FileJobCancelled;
    TransferReport report;
    if (CopyItem(item.path, item.tempCopyPath, true, options, &report) == TransferResult::Done)
        return true;
    RemoveItemWithoutFollowingLinks(item.tempCopyPath);
    Log(L"ERROR", L"Failed to keep a copy before recycling: " + item.path);
    notKept.links = std::move(report.leftBehind);
    notKept.unread = std::move(report.failed);
    return false;
}

void TellNotDeleted(const DeleteJobItem& item, const std::vector<std::wstring>& stayed, bool permanently)
{
    const std::wstring name = L"“" + GetPathFileName(item.path) + L"”";
    // What undo could not have given back (a link inside a folder): the
    // folder stays whole, links and all.
    if (!permanently && !stayed.empty() && EntryIsItself(item.path)) {
        NotifyUser(L"delete-failed:" + item.path,
                   name +
                       L"中有些内容无法为撤销保留副本（链接不会被跟随），撤销将无法找回它们，"
                       L"所以它没有移动到回收站，仍在原来的位置，没有被改动：" +
                       PathLinesText(stayed));
        return;
    }
    // A link the system shows as a plain file is never recycled: the bin
    // would take what it leads to.
    NotifyUser(
        L"delete-failed:" + item.path,
        permanently ? RemovalStayedText(item.path, stayed)
        : EntryIsItself(item.path)
            ? name + L"无法移动到回收站，它仍在原来的位置，没有被删除。"
            : name +
                  L"是指向其他位置的链接，无法只把链接本身移动到回收站，它仍在原来的位置，链接指向的内容没有被改动。");
}

// A copy for undo that could not be made: what could not be copied is
// named with its reason; links get their own words.
void TellNotKept(const DeleteJobItem& item, const NotKept& notKept)
{
    if (notKept.unread.empty() || !EntryIsItself(item.path)) {
        TellNotDeleted(item, notKept.links, false);
        return;
    }
    std::wstring text = L"“" + GetPathFileName(item.path) +
                        L"”没有移动到回收站：为撤销保留副本时，以下内容无法复制。它仍在原来的位置，没有被改动：";
    for (const TransferFailure& failure : notKept.unread)
        text += L"\n" + failure.path + L"（" + TransferErrorText(failure.error) + L"）";
    if (!notKept.links.empty())
        text += L"\n其中的链接不会被跟随，也无法保留：" + PathLinesText(notKept.links);
    NotifyUser(L"delete-failed:" + item.path, text);
}

// Items the Recycle Bin did not take though their copies were kept (no
// bin on that drive, too large, an error): one notice for them all, a
// delete of thousands must not open thousands of message boxes.
void TellRefused(const std::vector<DeleteJobItem>& refused)
{
    std::vector<DeleteJobItem> plain;
    for (const DeleteJobItem& item : refused) {
        if (EntryIsItself(item.path))
            plain.push_back(item);
        else
            TellNotDeleted(item, {}, false);
    }
    if (plain.size() == 1)
        TellNotDeleted(plain.front(), {}, false);
    if (plain.size() <= 1)
        return;
    NameList names;
    for (const DeleteJobItem& item : plain)
        names.Add(item.path);
    NotifyUser(L"delete-failed:" + plain.front().path,
               L"以下文件无法移动到回收站，它们仍在原来的位置，没有被删除：" + names.Text());
}

// What the worker did with one item: it left the disk (recycled: to the
// Recycle Bin, with its copy kept for undo), or it was a record only.
struct DeleteDone {
    DeleteJobItem item;
    bool recycled = false;
    // The bin holds it, proven: the copy kept for undo may then be deleted
    // once undo can no longer reach it. Otherwise (deleted for good by the
    // user's answer, or no proof) that copy goes to the bin, or into view.
    bool confirmed = false;
};

// UI thread: a batch of finished items leaves the boxes at once, with one
// push of their undo records and one pass over each view's list.
void TakeDeleted(const BoxWindowPtr& box, std::vector<DeleteDone> done)
{
    std::vector<UndoRecord> undo;
    std::vector<DeleteJobItem> items;
    for (DeleteDone& one : done) {
        one.item.owner = StandingBoxOf(one.item.owner);
        if (one.recycled && box) {
            UndoRecord record;
            record.kind = 1;
            record.path = one.item.path;
            record.tempPath = one.item.tempCopyPath;
            record.owner = one.item.owner;
            record.recycleConfirmed = one.confirmed;
            record.identity = one.item.identity;
            undo.push_back(std::move(record));
        }
        items.push_back(std::move(one.item));
    }
    if (!undo.empty())
        PushUndoRecords(box, std::move(undo));
    RemoveIconRecordsByPaths(items);
    RepaintBoxWindows(box);
}

// Worker: finished items wait here and go to the UI thread together, at
// most every 200 ms, so thousands of deleted files cost the UI thread a
// few passes over the boxes' lists, not one per file.
class DeleteBatches
{
public:
    explicit DeleteBatches(bool toBox) : toBox_(toBox) {}
    void Add(DeleteDone done)
    {
        waiting_.push_back(std::move(done));
        if (GetTickCount64() - posted_ >= 200)
            Post();
    }
    void Post()
    {
        posted_ = GetTickCount64();
        if (waiting_.empty() || !toBox_)
            return;
        PostToJobBox(
            [batch = std::move(waiting_)](const BoxWindowPtr& box) mutable { TakeDeleted(box, std::move(batch)); });
        waiting_.clear();
    }

private:
    bool toBox_;
    std::vector<DeleteDone> waiting_;
    ULONGLONG posted_ = GetTickCount64();
};

} // namespace

const DeleteQuestionTexts kDeleteKeyQuestion{L"删除选中", L"确定要删除选中的文件？\n（文件将从本地移除）"};
const DeleteQuestionTexts kMenuSelectionQuestion{L"删除", L"确定要删除选中的文件吗？\n（将会删除本地文件）"};
const DeleteQuestionTexts kMenuSingleQuestion{L"删除", L"确定要删除此文件吗？\n（将会删除本地文件）"};

std::function<int(HWND owner, const DeleteQuestionTexts& texts)> s_deleteQuestion = AskDeleteChoice;

std::wstring PathToDelete(const std::wstring& path)
{
    return FullPathOf(path);
}

void CALLBACK DeleteSelectionByKey(HWND, UINT, UINT_PTR timerId, DWORD)
{
    BoxWindowPtr box = s_pendingDelete.Take(timerId);
    if (!box)
        return;
    try {
        DeleteSelection(box);
    } catch (...) {
        Log(L"ERROR", L"Deleting the selection stopped on an unexpected error.");
    }
}

namespace
{

// A file of a folder-backed box that is another box's folder, or holds
// one, however either is spelled, would take that box's folder with it
// (to the Recycle Bin or for good): it stays, with its record, and its
// name is added to names. Reads the box registry: UI thread only.
void LeaveBoxFolders(std::vector<Selected>& selected, BoxFolderNames& names, FolderBackedOwners& folderBacked)
{
    const BoxFolderGuard guard = GuardOfBoxFolders();
    std::erase_if(selected, [&](const Selected& item) {
        if (!folderBacked(item.owner))
            return false;
        const std::wstring path = PathToDelete(item.path);
        const FolderRelation relation = guard.BoxFolder(path);
        names.Add(path, relation);
        return relation != FolderRelation::Unrelated;
    });
}

void DeleteSelectedItems(const BoxWindowPtr& box, std::vector<Selected> selected, const DeleteQuestionTexts& texts,
                         BoxFolderNames& boxFolders)
{
    if (!KeepStillShown(box, selected))
        return;
    // Nothing is touched while another job runs: it would refuse this one.
    if (s_copyProgress.busy) {
        NotifyUser(L"delete-busy", kDeleteBusyText);
        return;
    }
    FolderBackedOwners folderBacked;
    LeaveBoxFolders(selected, boxFolders, folderBacked);
    if (selected.empty())
        return;
    const bool anyOnDisk = std::any_of(selected.begin(), selected.end(),
                                       [&folderBacked](const Selected& s) { return folderBacked(s.owner); });
    int choice = 0;
    if (anyOnDisk) {
        HoverAnimationCount = 0;
        // What was chosen is in this box: it stays as it is meanwhile.
        const BoxInUse hold = BoxInUse::Hold(box);
        choice = s_deleteQuestion(box->GetHwnd(), texts);
        HoverAnimationCount = 0;
        if (choice != 0 && choice != 1)
            return;
        // The question let the folder sync and other work run: what is
        // deleted is only what is still there of what the user chose.
        if (!KeepStillShown(box, selected))
            return;
        if (s_copyProgress.busy) {
            NotifyUser(L"delete-busy", kDeleteBusyText);
            return;
        }
    }
    BoxRuntime* runtime = FindBoxRuntime(box);

    // Grouped by owner box in the order the owners first appear.
    std::vector<BoxWindowPtr> owners;
    for (const Selected& s : selected)
        if (std::find(owners.begin(), owners.end(), s.owner) == owners.end())
            owners.push_back(s.owner);
    std::stable_sort(selected.begin(), selected.end(), [&](const Selected& a, const Selected& b) {
        return std::find(owners.begin(), owners.end(), a.owner) < std::find(owners.begin(), owners.end(), b.owner);
    });

    DeleteJob job;
    job.box = box;
    job.choice = choice;
    // A box may have been made or moved onto one of the files while the
    // question was open: the worker asks again of each as it acts.
    job.guarded = std::make_shared<const GuardedFolders>(FoldersToGuard(L""));
    for (const Selected& s : selected) {
        DeleteJobItem item;
        item.owner = s.owner;
        if (folderBacked(s.owner)) {
            item.onDisk = true;
            item.path = PathToDelete(s.path);
            if (item.path != s.path)
                item.recordPath = s.path;
            if (choice == 0)
                item.tempCopyPath = TempCopyPath(item.path);
        } else {
            item.path = s.path;
            UndoRecord record;
            record.kind = 4;
            record.path = s.path;
            record.extra = L"bvn!NULL";
            record.owner = s.owner;
            PushUndoRecord(box, std::move(record));
        }
        job.items.push_back(std::move(item));
    }
    runtime->multiSelect = false;
    runtime->selection.clear();
    RepaintBoxWindows(box);
    if (!StartFileJob(box, [job = std::move(job)]() mutable { DeleteSelectionWorker(std::move(job)); }) &&
        !FileActionGate::IsClosed())
        NotifyUser(L"delete-busy", kDeleteBusyText);
}

// The user hears once per operation which items stayed as boxes' folders.
void DeleteItems(const BoxWindowPtr& box, std::vector<Selected> selected, const DeleteQuestionTexts& texts)
{
    BoxFolderNames boxFolders;
    DeleteSelectedItems(box, std::move(selected), texts, boxFolders);
    if (!boxFolders.Empty())
        NotifyUser(L"delete-box-folder", boxFolders.Text(L"删除"));
}

} // namespace

void DeleteSelection(const BoxWindowPtr& box, const DeleteQuestionTexts& texts)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->selection.empty())
        return;
    KelmIconManager* manager = SelectionManager(box, *runtime);
    if (!manager)
        return;
    std::vector<Selected> selected;
    for (int id : runtime->selection) {
        if (const IconRecord* record = manager->FindById(id))
            selected.push_back({record->path, manager->EffectiveOwner(*record)});
    }
    DeleteItems(box, std::move(selected), texts);
}

void DeleteIcon(const BoxWindowPtr& box, const std::wstring& path, const BoxWindowPtr& owner,
                const DeleteQuestionTexts& texts)
{
    DeleteItems(box, {{path, owner}}, texts);
}

void DeleteSelectionWorker(DeleteJob job)
{
    RepaintTarget target{job.box, job.box ? job.box->GetHwnd() : nullptr};
    const size_t count = job.items.size();
    DeleteBatches batches(job.box != nullptr);
    // Files whose copies are kept, waiting to go to the Recycle Bin
    // together.
    std::vector<size_t> toRecycle;
    BoxFolderNames boxFolders;
    try {
        const BoxFolderGuard guard = job.guarded ? job.guarded->Make() : GuardedFolders{}.Make();
        for (size_t i = 0; i < count; ++i) {
            if (FileJobCancelled())
                break;
            const DeleteJobItem& item = job.items[i];
            s_copyProgress.SetCurrentName(item.path);
            s_copyProgress.fraction = static_cast<float>(i) / static_cast<float>(count);
            PostRepaint(target, true);
            // Another box's folder (or one that holds it) stays, with its
            // record, however either is spelled.
            if (item.onDisk) {
                const FolderRelation relation = guard.BoxFolder(item.path);
                boxFolders.Add(item.path, relation);
                if (relation != FolderRelation::Unrelated)
                    continue;
            }
            if (item.onDisk && job.choice == 1) {
                // A folder goes as a whole tree; a link in it is removed as
                // a link, never followed.
                RemovalReport report;
                if (!RemoveItemWithoutFollowingLinks(item.path, &report)) {
                    Log(L"ERROR", L"Failed to permanently delete: " + item.path + L" (still there: " +
                                      report.stayed.front() + L")");
                    if (job.box)
                        PostFromJob([item, stayed = report.stayed] { TellNotDeleted(item, stayed, true); });
                    continue;
                }
                Log(L"INFO", L"Permanently deleted: " + item.path);
            } else if (item.onDisk && PathExists(item.path)) {
                NotKept notKept;
                job.items[i].identity = IdentifyItem(item.path);
                if (KeepCopyBeforeRecycling(item, notKept))
                    toRecycle.push_back(i);
                else if (job.box)
                    PostFromJob([item, notKept] { TellNotKept(item, notKept); });
                continue;
            }
            batches.Add({item, false});
        }
        // What leaves in one action goes to the bin in one operation of
        // the shell: one question for them all, not one per file. A job
        // stopped before it leaves every file in place; the copies are
        // then spare.
        std::vector<RecycleOutcome> outcomes(toRecycle.size(), RecycleOutcome::Declined);
        std::vector<char> confirmed(toRecycle.size(), 0), partly(toRecycle.size(), 0);
        const bool stopped = FileJobCancelled();
        if (!toRecycle.empty() && !stopped) {
            std::vector<std::wstring> paths;
            for (size_t i : toRecycle)
                paths.push_back(job.items[i].path);
            // A witness beside each copy tells a recycle from a delete for
            // good, which a Yes to the shell's question makes of it.
            const std::vector<WitnessedRecycle> results = RecycleWitnessedBesideCopies(paths, target.hwnd);
            for (size_t k = 0; k < results.size(); ++k) {
                outcomes[k] = results[k].outcome;
                confirmed[k] = results[k].proven;
                // Without a witness (its copy on another volume) the copy
                // itself tells what the shell took of an item that stayed.
                const DeleteJobItem& item = job.items[toRecycle[k]];
                partly[k] = results[k].partly ||
                            (outcomes[k] != RecycleOutcome::Recycled && outcomes[k] != RecycleOutcome::Deleted &&
                             PathExists(item.path) && StampItem(item.path) != StampItem(item.tempCopyPath));
            }
        }
        std::vector<DeleteJobItem> refused;
        for (size_t k = 0; k < toRecycle.size(); ++k) {
            const DeleteJobItem& item = job.items[toRecycle[k]];
            if (outcomes[k] == RecycleOutcome::Recycled || outcomes[k] == RecycleOutcome::Deleted) {
                Log(L"INFO", (outcomes[k] == RecycleOutcome::Deleted ? L"Deleted for good as the user answered: "
                                                                     : L"Recycled object: ") +
                                 item.path);
                batches.Add({item, true, confirmed[k] != 0});
                continue;
            }
            // The item stays, and so does its record, but some of it was
            // deleted for good: its copy is the only whole version, and
            // comes into view.
            if (partly[k]) {
                const std::wstring beside = BringCopyBesideItem(item.tempCopyPath, item.path);
                Log(L"ERROR", L"Part of an item deleted for good as the user answered: " + item.path);
                PostFromJob([text = PartlyDeletedText(item.path, item.tempCopyPath, beside), path = item.path] {
                    NotifyUser(L"delete-failed:" + path, text);
                });
                continue;
            }
            // The file stays, and so does its record; its copy is not
            // needed. A No to the shell's question is the user's own
            // answer: nothing to tell.
            RemoveItemWithoutFollowingLinks(item.tempCopyPath);
            Log(outcomes[k] == RecycleOutcome::Declined ? L"INFO" : L"ERROR",
                (stopped                                   ? L"Not recycled, the job was stopped: "
                 : outcomes[k] == RecycleOutcome::Declined ? L"Kept as the user answered: "
                                                           : L"Failed to recycle: ") +
                    item.path);
            if (outcomes[k] == RecycleOutcome::Refused)
                refused.push_back(item);
        }
        if (job.box && !refused.empty())
            PostFromJob([refused = std::move(refused)] { TellRefused(refused); });
        if (!boxFolders.Empty())
            PostFromJob([text = boxFolders.Text(L"删除")] { NotifyUser(L"delete-box-folder", text); });
    } catch (...) {
        Log(L"ERROR", L"A delete job stopped on an unexpected error.");
    }
    batches.Post();
    if (job.box)
        PostToJobBox([items = job.items](const BoxWindowPtr& box) mutable {
            for (DeleteJobItem& item : items)
                item.owner = StandingBoxOf(item.owner);
            FinishDeleteSelection(box, items);
        });
    EndFileJobWorker(target);
}

void RemoveIconRecordsByPath(const DeleteJobItem& item)
{
    RemoveIconRecordsByPaths({item});
}

void RemoveIconRecordsByPaths(const std::vector<DeleteJobItem>& items)
{
    std::unordered_map<std::wstring, std::vector<const DeleteJobItem*>> byPath;
    for (const DeleteJobItem& item : items) {
        byPath[item.path].push_back(&item);
        if (!item.recordPath.empty() && item.recordPath != item.path)
            byPath[item.recordPath].push_back(&item);
    }
    // In the owner's own view every record of the item's path goes; in any
    // other view the first one that counts as the item's.
    auto removeFrom = [&byPath](KelmIconManager& manager, const BoxWindowPtr* view) {
        std::unordered_set<const DeleteJobItem*> taken;
        const size_t before = manager.Records().size();
        std::erase_if(manager.Records(), [&](const IconRecord& record) {
            const auto found = byPath.find(record.path);
            if (found == byPath.end())
                return false;
            for (const DeleteJobItem* item : found->second) {
                if (view && *view == item->owner)
                    return true;
                if (taken.count(item) || !(item->onDisk || manager.EffectiveOwner(record) == item->owner))
                    continue;
                taken.insert(item);
                return true;
            }
            return false;
        });
        if (manager.Records().size() != before)
            manager.Renumber();
    };
    for (auto& [box, manager] : s_boxIconManagers)
        removeFrom(manager, &box);
    for (auto& [box, manager] : s_boxSearchManagers)
        removeFrom(manager, nullptr);
}

void FinishDeleteSelection(const BoxWindowPtr& box, const std::vector<DeleteJobItem>& items)
{
    try {
        for (auto& [window, manager] : s_boxIconManagers)
            manager.Renumber();
        for (auto& [window, manager] : s_boxSearchManagers)
            manager.Renumber();
        std::vector<BoxWindowPtr> saved;
        for (const DeleteJobItem& item : items) {
            if (std::find(saved.begin(), saved.end(), item.owner) != saved.end())
                continue;
            saved.push_back(item.owner);
            auto manager = s_boxIconManagers.find(item.owner);
            if (manager != s_boxIconManagers.end())
                SaveBoxIcons(manager->second);
        }
    } catch (...) {
        Log(L"ERROR", L"Saving the icons after a delete failed.");
    }
    RepaintBoxWindows(box);
}
