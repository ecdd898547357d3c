#include "box/fileops/UndoRedo.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/UserNotice.h"
#include "box/BoxRuntime.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/UndoList.h"
#include "box/icons/FolderSync.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/KelmWindow.h"

namespace
{

enum class MoveResult { Moved, SourceMissing, Failed };

bool Exists(const std::wstring& path)
{
    // An item that cannot even be looked at is treated as absent: the move
    // is skipped, nothing is harmed.
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

// Moves without ever replacing what stands at the destination.
MoveResult MoveWithoutReplacing(const std::wstring& from, const std::wstring& to)
{
    if (!Exists(from))
        return MoveResult::SourceMissing;
    // A link the system lists as a plain entry would move what it leads to.
    // A name that differs only in letter case names the item itself.
    if ((Exists(to) && !SamePathItem(from, to)) || !EntryIsItself(from))
        return MoveResult::Failed;
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED) ? MoveResult::Moved : MoveResult::Failed;
}

// The item goes to a fresh name in the temporary folder; tempPath gets
// that name also when there was nothing to move.
MoveResult MoveToTemp(const std::wstring& path, std::wstring& tempPath)
{
    tempPath = TempCopyPath(path);
    return MoveWithoutReplacing(path, tempPath);
}

void TellMoveFailed(bool undo, const std::wstring& from, const std::wstring& to)
{
    const std::wstring text = std::wstring(undo ? L"无法撤销：" : L"无法重做：") + L"“" + from + L"”不能移动到“" + to +
                              L"”。目标位置已有同名项目，文件正被占用，或它是指向其他位置的链接。";
    NotifyUser(L"undo-move", text);
}

// A new item the user has since written into is theirs now: taking it
// away would leave their work under a generated name in the temporary
// folder, where nothing leads back to it.
bool ChangedSinceMade(const UndoRecord& record)
{
    if (!record.made.known || !Exists(record.path) || StampItem(record.path) == record.made)
        return false;
    // Another item of the same name says so in its own words.
    if (record.identity.known && IdentifyItem(record.path) != record.identity)
        return false;
    NotifyUser(L"undo-changed",
               L"无法撤销新建：“" + GetPathFileName(record.path) +
                   L"”在新建之后已被修改，撤销会把修改过的内容移走。\n它仍在原处；不再需要时可以自行删除。");
    return true;
}

// The item at the record's path is another than the one its operation
// brought (that one was deleted or moved away, and something else was put
// under its name): undo must not carry it off.
bool AnotherItemStandsThere(const UndoRecord& record)
{
    if (!record.identity.known || !Exists(record.path) || IdentifyItem(record.path) == record.identity)
        return false;
    NotifyUser(L"undo-other-item",
               L"无法撤销：“" + GetPathFileName(record.path) +
                   L"”已不是当初放入收纳盒的那个项目（原来的项目已被删除或移走，现在的是另一个同名项目）。\n"
                   L"它仍在原处，没有被移动。");
    return true;
}

// Redo of a delete to the Recycle Bin does what the user chose then: the
// item goes to the bin again, once a fresh copy of it is kept for undo
// (the item may have changed since the first delete). Anything but
// Recycled leaves the item in place and the record as it was.
RecycleOutcome RecycleAgain(UndoRecord& record, const BoxWindowPtr& box)
{
    if (!Exists(record.path)) {
        record.tempPath = TempCopyPath(record.path);
        record.recycleConfirmed = false;
        return RecycleOutcome::Recycled;
    }
    const std::wstring copy = TempCopyPath(record.path);
    RecycleOutcome outcome = RecycleOutcome::Refused;
    if (CopyItem(record.path, copy, true, TransferOptions{}) == TransferResult::Done) {
        outcome = RecycleItemAsking(record.path, box && IsWindow(box->GetHwnd()) ? box->GetHwnd() : nullptr);
        if (outcome == RecycleOutcome::Recycled || !Exists(record.path)) {
            record.tempPath = copy;
            record.recycleConfirmed = outcome == RecycleOutcome::Recycled;
            return RecycleOutcome::Recycled;
        }
    }
    // The item is still in place: a copy of it is not needed.
    RemoveItemWithoutFollowingLinks(copy);
    return outcome;
}

std::wstring Under(const std::wstring& folder, const std::wstring& relative)
{
    return folder + L"\\" + relative;
}

std::wstring ParentPart(const std::wstring& relative)
{
    const size_t slash = relative.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
}

bool IsOwnFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The steps of one undo or redo of a merged folder, each taken back in
// reverse when a later one fails: the record then stays, and everything is
// where it was before the try.
class MergeSteps
{
public:
    explicit MergeSteps(bool undo) : undo_(undo) {}

    bool Move(const std::wstring& from, const std::wstring& to)
    {
        if (MoveWithoutReplacing(from, to) != MoveResult::Moved)
            return Fail(from, to);
        done_.push_back({Kind::Moved, from, to});
        return true;
    }
    // The folder, made when missing; forItem is the item that needs it,
    // named to the user should it fail.
    bool MakeFolder(const std::wstring& folder, const std::wstring& forItem)
    {
        if (IsOwnFolder(folder))
            return true;
        if (Exists(folder) || !CreateDirectoryW(folder.c_str(), nullptr))
            return Fail(forItem, folder);
        done_.push_back({Kind::Made, folder, L""});
        return true;
    }
    // The folders of relative (a path under root) from the top down.
    bool MakeFolders(const std::wstring& root, const std::wstring& relative, const std::wstring& forItem)
    {
        if (!MakeFolder(root, forItem))
            return false;
        for (size_t slash = 0; !relative.empty() && slash != std::wstring::npos;) {
            slash = relative.find(L'\\', slash + 1);
            if (!MakeFolder(Under(root, relative.substr(0, slash)), forItem))
                return false;
        }
        return true;
    }
    // The root and every folder of the tree under it, each made after the
    // folder holding it; from is the root of the tree the folders come from.
    bool MakeFolderTree(const std::wstring& root, const std::vector<std::wstring>& folders, const std::wstring& from)
    {
        if (!MakeFolder(root, from))
            return false;
        for (const std::wstring& folder : folders)
            if (!MakeFolder(Under(root, folder), Under(from, folder)))
                return false;
        return true;
    }
    // A folder the steps emptied goes; one the user put something in since
    // stays with it.
    void RemoveWhenEmpty(const std::wstring& folder)
    {
        if (RemoveFolderIfEmpty(folder))
            done_.push_back({Kind::Removed, folder, L""});
    }
    bool Fail(const std::wstring& from, const std::wstring& to)
    {
        TellMoveFailed(undo_, from, to);
        const std::vector<Done> done = std::move(done_);
        done_.clear();
        for (auto step = done.rbegin(); step != done.rend(); ++step) {
            if (step->kind == Kind::Moved)
                MoveWithoutReplacing(step->to, step->path);
            else if (step->kind == Kind::Made)
                RemoveFolderIfEmpty(step->path);
            else
                CreateDirectoryW(step->path.c_str(), nullptr);
        }
        return false;
    }

private:
    enum class Kind { Moved, Made, Removed };
    // Moved: from path to to; Made and Removed: the folder at path.
    struct Done {
        Kind kind;
        std::wstring path, to;
    };
    bool undo_;
    std::vector<Done> done_;
};

// Undo of a folder moved in and merged into the box's folder of the same
// name: what the move brought goes back to its source as it is now, what
// it replaced comes back from the kept copy, and whatever else the box's
// folder holds stays as it is, edits and all. The source gets back nothing
// it did not have.
bool UndoMergedMove(const MergedEntries& merged, const std::wstring& box, const std::wstring& source,
                    const std::wstring& kept)
{
    // A place at the source taken meanwhile refuses the undo before
    // anything moves.
    for (const std::wstring& file : merged.files) {
        if (Exists(Under(box, file)) && Exists(Under(source, file))) {
            TellMoveFailed(true, Under(box, file), Under(source, file));
            return false;
        }
    }
    MergeSteps steps(true);
    if (!steps.MakeFolderTree(source, merged.folders, box))
        return false;
    for (const std::wstring& file : merged.files)
        if (Exists(Under(box, file)) && !steps.Move(Under(box, file), Under(source, file)))
            return false;
    // The kept copy holds the box's folder as it was before the move: a
    // folder it has was the box's too and stays, a file it has is what the
    // move replaced.
    for (auto folder = merged.folders.rbegin(); folder != merged.folders.rend(); ++folder)
        if (kept.empty() || !IsOwnFolder(Under(kept, *folder)))
            steps.RemoveWhenEmpty(Under(box, *folder));
    // A folder the move made (nothing of the box's stood there) goes too.
    if (kept.empty() || !IsOwnFolder(kept))
        steps.RemoveWhenEmpty(box);
    for (const std::wstring& file : merged.files) {
        if (kept.empty() || !IsOwnFile(Under(kept, file)))
            continue;
        if (!steps.MakeFolders(box, ParentPart(file), Under(kept, file)) ||
            !steps.Move(Under(kept, file), Under(box, file)))
            return false;
    }
    return true;
}

// Redo of a merged move: what it replaces in the box is set aside in the
// kept copy again, then the source's entries move in, and the source's
// folders it emptied go.
bool RedoMergedMove(const MergedEntries& merged, const std::wstring& box, const std::wstring& source,
                    const std::wstring& kept)
{
    for (const std::wstring& file : merged.files) {
        const std::wstring at = Under(box, file);
        if (Exists(Under(source, file)) && Exists(at) &&
            (kept.empty() || !IsOwnFile(at) || Exists(Under(kept, file)))) {
            TellMoveFailed(false, at, kept.empty() ? at : Under(kept, file));
            return false;
        }
    }
    MergeSteps steps(false);
    if (!steps.MakeFolderTree(box, merged.folders, source))
        return false;
    for (const std::wstring& file : merged.files) {
        const std::wstring from = Under(source, file);
        const std::wstring to = Under(box, file);
        if (!Exists(from))
            continue;
        if (Exists(to) && !(steps.MakeFolders(kept, ParentPart(file), to) && steps.Move(to, Under(kept, file))))
            return false;
        if (!steps.Move(from, to))
            return false;
    }
    for (auto folder = merged.folders.rbegin(); folder != merged.folders.rend(); ++folder)
        steps.RemoveWhenEmpty(Under(source, *folder));
    steps.RemoveWhenEmpty(source);
    return true;
}

struct Step {
    bool undo;
    const BoxWindowPtr& box;
    BoxWindowPtr owner;
    std::wstring header;
};

void AddRecordBack(const Step& step, const UndoRecord& record)
{
    const std::wstring alias = record.extra.empty() ? L"bvn!NULL" : record.extra;
    s_boxIconManagers[step.box].AddRecordForPath(record.path, 0.0f, 0.0f, alias, step.owner != step.box, step.header,
                                                 step.owner, L"bvn!NULL");
}

// Reverses (undo) or repeats (redo) the record on disk and in the view;
// false when a move failed and the record stays in its list.
bool Apply(const Step& step, UndoRecord& record)
{
    KelmIconManager& view = s_boxIconManagers[step.box];
    // A created item that came from elsewhere goes back there, not to the
    // temporary folder.
    const bool movedIn = record.kind == 0 && !record.extra.empty() && record.extra != L"bvn!NULL";
    auto move = [&](const std::wstring& from, const std::wstring& to) {
        if (MoveWithoutReplacing(from, to) == MoveResult::Failed) {
            TellMoveFailed(step.undo, from, to);
            return false;
        }
        return true;
    };
    auto toTemp = [&](const std::wstring& path) {
        std::wstring temp;
        if (MoveToTemp(path, temp) == MoveResult::Failed) {
            TellMoveFailed(step.undo, path, temp);
            return false;
        }
        record.tempPath = temp;
        return true;
    };
    // What "直接覆盖" replaced takes its place again; should that fail, the
    // kept copy stays where it is and the user is told.
    auto putReplacedBack = [&] {
        if (!record.replacedCopy.empty() && Exists(record.replacedCopy))
            move(record.replacedCopy, record.path);
        return true;
    };
    switch (record.kind) {
    case 0:
        if (movedIn && record.merged)
            return (step.undo ? UndoMergedMove : RedoMergedMove)(*record.merged, record.path, record.extra,
                                                                 record.replacedCopy);
        if (step.undo && AnotherItemStandsThere(record))
            return false;
        if (movedIn) {
            if (step.undo)
                return move(record.path, record.extra) && putReplacedBack();
            if (!record.replacedCopy.empty() && Exists(record.path) && !move(record.path, record.replacedCopy))
                return false;
            if (!move(record.extra, record.path))
                return false;
        } else {
            if (step.undo) {
                if (ChangedSinceMade(record) || !toTemp(record.path))
                    return false;
                return putReplacedBack();
            }
            if (!record.replacedCopy.empty() && Exists(record.path) && !move(record.path, record.replacedCopy))
                return false;
            if (!move(record.tempPath, record.path))
                return false;
        }
        // A move to another volume makes a new file: the next undo knows
        // the item as it stands now.
        if (record.identity.known)
            record.identity = IdentifyItem(record.path);
        return true;
    case 1:
        if (step.undo)
            return move(record.tempPath, record.path);
        switch (RecycleAgain(record, step.owner)) {
        case RecycleOutcome::Recycled:
            return true;
        case RecycleOutcome::Declined:
            // The user answered No: nothing moves, the record stays.
            return false;
        case RecycleOutcome::Refused:
            NotifyUser(L"redo-recycle",
                       L"无法重做：“" + GetPathFileName(record.path) + L"”无法移动到回收站，它仍在原处，没有被删除。");
            return false;
        }
        return false;
    case 2:
        return step.undo ? move(record.tempPath, record.path) : move(record.path, record.tempPath);
    case 3:
        if (step.undo)
            view.RemoveByPath(record.path);
        else
            AddRecordBack(step, record);
        return true;
    case 4:
        if (step.undo)
            AddRecordBack(step, record);
        else
            view.RemoveByPath(record.path);
        return true;
    case 5:
        view.SetAliasByPath(record.path, step.undo ? record.tempPath : record.extra);
        return true;
    default:
        return true;
    }
}

void Run(const BoxWindowPtr& box, const BoxWindowPtr& requestedTarget, bool undo)
{
    const BoxWindowPtr target = requestedTarget ? requestedTarget : box;
    BoxRuntime* targetRuntime = FindBoxRuntime(target);
    if (!box || !targetRuntime)
        return;
    // A question of the shell about the box's records is open: its lists
    // must not change under it.
    if (BoxQuestionOpen(box) || BoxQuestionOpen(target))
        return;
    std::vector<UndoRecord>& from = undo ? targetRuntime->undoList : targetRuntime->redoList;
    if (from.empty())
        return;
    UndoRecord record = from.back();
    Step step{undo, box, record.owner ? record.owner : target, L""};
    const BoxRuntime* ownerRuntime = FindBoxRuntime(step.owner);
    if (step.owner != box && ownerRuntime)
        step.header = ownerRuntime->title;
    {
        // The shell may ask (a redo of a recycle): nothing changes the
        // lists while it does.
        BoxQuestionScope askingBox(box);
        BoxQuestionScope askingTarget(target);
        if (!Apply(step, record))
            return;
    }
    targetRuntime = FindBoxRuntime(target);
    if (!targetRuntime)
        return;
    std::vector<UndoRecord>& done = undo ? targetRuntime->undoList : targetRuntime->redoList;
    if (!done.empty())
        done.pop_back();
    (undo ? targetRuntime->redoList : targetRuntime->undoList).push_back(std::move(record));

    KelmIconManager& view = s_boxIconManagers[box];
    ownerRuntime = FindBoxRuntime(step.owner);
    if (ownerRuntime && ownerRuntime->UseTargetFolder && ownerRuntime->TargetFolder != L"bvn!NULL")
        SyncBoxFolder(view, ownerRuntime->TargetFolder, false);
    view.Renumber();
    SaveBoxIcons(view);
    if (box->GetHwnd())
        InvalidateRect(box->GetHwnd(), nullptr, FALSE);
}

} // namespace

ItemStamp StampItem(const std::wstring& path)
{
    ItemStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return stamp;
    stamp.known = true;
    stamp.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!stamp.folder) {
        stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.writeTime =
            (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
        return stamp;
    }
    // A folder's own write time follows moves of the folder on some file
    // systems; what it holds is what the user put there: every entry's
    // name, and a file's size and write time, folded into one value (a link is taken as
    // itself, never entered). size counts the entries.
    uint64_t digest = 1469598103934665603ull;
    auto fold = [&digest](const void* bytes, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            digest ^= static_cast<const unsigned char*>(bytes)[i];
            digest *= 1099511628211ull;
        }
    };
    std::function<void(const std::wstring&, const std::wstring&)> walk = [&](const std::wstring& folder,
                                                                             const std::wstring& relative) {
        ForEachFolderEntry(folder, [&](const std::wstring& name, unsigned long attributes) {
            const std::wstring full = folder + L"\\" + name;
            const std::wstring rel = relative + L"\\" + name;
            ++stamp.size;
            fold(rel.data(), rel.size() * sizeof(wchar_t));
            WIN32_FILE_ATTRIBUTE_DATA entry{};
            const bool folderEntry = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!folderEntry && GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &entry)) {
                fold(&entry.nFileSizeLow, sizeof(entry.nFileSizeLow));
                fold(&entry.nFileSizeHigh, sizeof(entry.nFileSizeHigh));
                fold(&entry.ftLastWriteTime, sizeof(entry.ftLastWriteTime));
            }
            if (folderEntry && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                walk(full, rel);
            return true;
        });
    };
    walk(path, L"");
    stamp.writeTime = digest;
    return stamp;
}

ItemIdentity IdentifyItem(const std::wstring& path)
{
    ItemIdentity identity;
    BY_HANDLE_FILE_INFORMATION information{};
    // A link is not followed: the entry itself is the item.
    if (EntryFacts(path, true, information)) {
        identity.known = true;
        identity.volume = information.dwVolumeSerialNumber;
        identity.index = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    }
    return identity;
}

void UndoLastFileOperation(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target)
{
    // A running job may be writing the very items the undo would move.
    if (!RefusedWhileFileJobRuns(L"撤销"))
        Run(box, target, true);
}

void RedoLastFileOperation(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target)
{
    if (!RefusedWhileFileJobRuns(L"重做"))
        Run(box, target, false);
}
