#include "box/fileops/UndoRedo.h"

#include <algorithm>
#include <cwctype>
#include <functional>
#include <string>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/FileActionGate.h"
#include "app/FileRemoval.h"
#include "app/Logger.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxFolderNames.h"
#include "box/BoxInUse.h"
#include "box/BoxRuntime.h"
#include "box/PutBackPlan.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/FileTransfer.h"
#include "box/fileops/PartFileJournal.h"
#include "box/fileops/UndoList.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIcon.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/KelmWindow.h"

namespace
{

using TessikDesktopContainer::KelmIconManager;

enum class MoveResult { Moved, SourceMissing, Failed };

// The worker of one undo or redo step: what it has to tell the user goes
// back to the UI thread with its outcome (notices are the UI thread's),
// its progress goes to the card, and a move to another volume copies with
// the job's options.
struct StepWorker {
    bool undo = true;
    RepaintTarget target;
    TransferOptions options;
    std::vector<std::pair<std::wstring, std::wstring>> notices;
    // What moved is being taken back: a quit does not stop that half way.
    bool takingBack = false;
};
thread_local StepWorker* t_worker = nullptr;

void Tell(const std::wstring& kind, const std::wstring& text)
{
    if (t_worker)
        t_worker->notices.emplace_back(kind, text);
    else
        NotifyUser(kind, text);
}

// The card names the item being moved; done of count items are behind.
void ShowProgress(const std::wstring& path, size_t done, size_t count)
{
    if (!t_worker)
        return;
    s_copyProgress.SetCurrentName(path);
    s_copyProgress.fraction = count ? static_cast<float>(done) / static_cast<float>(count) : 0.0f;
    PostRepaint(t_worker->target, true);
}

// The reason a move gives when it already told the user what became of
// the item (part of it moved, part stayed).
constexpr DWORD kMoveToldAlready = ERROR_SUCCESS;

bool Exists(const std::wstring& path)
{
    // An item that cannot even be looked at is treated as absent: the move
    // is skipped, nothing is harmed. A path of any length is looked at.
    return PathExists(path);
}

// A move to another volume as a drop makes it: a copy proven to be the
// one made, then the removal of the source without following links; a
// file another program holds stays where it was, its copy taken away
// again. Part of a folder that could not leave is told here, with where
// each part is now.
MoveResult MoveAcrossVolumes(const std::wstring& from, const std::wstring& to, DWORD* why)
{
    TransferReport report;
    TransferOptions options = t_worker ? t_worker->options : TransferOptions{};
    if (t_worker && t_worker->takingBack)
        options.cancelled = nullptr;
    const TransferResult result = MoveItem(from, to, false, options, &report);
    const DWORD last = GetLastError();
    if (result == TransferResult::Done)
        return MoveResult::Moved;
    const DWORD error = result == TransferResult::Cancelled ? ERROR_REQUEST_ABORTED
                  : !report.failed.empty()            ? report.failed.front().error
                  : report.removalError               ? report.removalError
                                                      : last;
    if (result == TransferResult::Incomplete) {
        const bool undo = !t_worker || t_worker->undo;
        std::wstring text = std::wstring(undo ? L"撤销" : L"重做") + L"没有完成：“" + GetPathFileName(from) +
                            L"”只有一部分移动到了“" + to + L"”，以下内容仍在“" + from + L"”中（" +
                            TransferErrorText(report.removalError ? report.removalError : kErrorLinkNotFollowed,
                                              from) +
                            L"）：" + PathLinesText(report.leftBehind);
        for (const TransferFailure& failure : report.failed)
            text += L"\n" + failure.path + L"（" + TransferErrorText(failure.error, failure.path) + L"）";
        Tell(L"undo-move", text + L"\n没有任何内容丢失，这条记录已保留。");
    }
    if (why)
        *why = result == TransferResult::Incomplete ? kMoveToldAlready : error ? error : ERROR_GEN_FAILURE;
    return MoveResult::Failed;
}

// Moves without ever replacing what stands at the destination; why, when
// given, receives the reason of a move that failed.
MoveResult MoveWithoutReplacing(const std::wstring& from, const std::wstring& to, DWORD* why = nullptr)
{
    auto failed = [why](DWORD error) {
        if (why)
            *why = error;
        return MoveResult::Failed;
    };
    if (!Exists(from))
        return MoveResult::SourceMissing;
    // A name that differs only in letter case names the item itself.
    if (Exists(to) && !SamePathItem(from, to))
        return failed(ERROR_ALREADY_EXISTS);
    // A link the system lists as a plain entry would move what it leads to.
    switch (CheckEntry(from)) {
    case EntryCheck::Itself:
        break;
    case EntryCheck::NotItself:
        return failed(kErrorLinkNotFollowed);
    case EntryCheck::Unchecked: {
        const DWORD error = GetLastError();
        return failed(error ? error : ERROR_ACCESS_DENIED);
    }
    }
    // The long form reaches a box folder deeper than the old path limit, as
    // the drop that brought the item did.
    if (MoveFileExW(LongPathForm(from).c_str(), LongPathForm(to).c_str(), 0))
        return MoveResult::Moved;
    const DWORD error = GetLastError();
    // Another volume: the system's own copy would leave the original
    // beside its copy when it cannot be deleted, and moves no folder.
    if (error == ERROR_NOT_SAME_DEVICE)
        return MoveAcrossVolumes(from, to, why);
    return failed(error ? error : ERROR_GEN_FAILURE);
}

// why: the reason MoveWithoutReplacing gave.
void TellMoveFailed(bool undo, const std::wstring& from, const std::wstring& to, DWORD why)
{
    if (why == kMoveToldAlready)
        return;
    std::wstring text = std::wstring(undo ? L"无法撤销：" : L"无法重做：") + L"“" + from + L"”不能移动到“" + to + L"”";
    // A folder the item would go back into that is no longer there is the
    // reason, and the only one the user can act on.
    const size_t slash = to.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : to.substr(0, slash);
    if (!folder.empty() && PathGone(folder))
        text += L"。文件夹“" + folder + L"”已不存在（可能已被移动、改名或删除），没有移动任何内容。";
    else
        text += L"（" + TransferErrorText(why, from) + L"）。";
    Tell(L"undo-move", text);
}

// What became of one undo or redo: done (the record changes lists),
// refused (it stays where it is, to be tried again), or never to be done
// (it leaves the lists as a trimmed record does).
enum class Outcome { Done, Refused, Leaves };

// Some folder above path is there: the drive or share answers, so what is
// missing under it is gone, not out of reach for a while.
bool PlaceReachable(const std::wstring& path)
{
    for (size_t slash = path.find_last_of(L"\\/"); slash != std::wstring::npos && slash > 0;
         slash = path.find_last_of(L"\\/", slash - 1)) {
        const DWORD attributes = GetFileAttributesW(LongPathForm(path.substr(0, slash + 1)).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return true;
    }
    return false;
}

// A copy kept in the temporary folder that must go back is gone (another
// program, a sweep, the user removed it): nothing moves, and the user hears
// which version it was and where it was last. Gone for good, the record
// could never be done and leaves the lists; where the folder that held it
// cannot be reached (a drive or share away for a while) the record waits.
Outcome KeptCopyGone(bool undo, const UndoRecord& record, const std::wstring& copy, std::wstring& text)
{
    const std::wstring name = L"“" + GetPathFileName(record.path) + L"”";
    const std::wstring where = L"为此保留的副本已不在它最后所在的位置“" + copy + L"”";
    text = undo ? L"无法撤销：" : L"无法重做：";
    if (record.kind == 1 && record.recycleConfirmed)
        text += L"删除的" + name + L"无法放回。" + where + L"。\n" + name + L"已在回收站中，可以从回收站还原。";
    else if (record.kind == 1)
        text += L"删除的" + name + L"无法放回。" + where + L"（可能已被移到回收站或被删除）。";
    else if (undo)
        text += name + L"被覆盖前的版本无法放回。" + where + L"（可能已被移到回收站或被删除）。\n现在的" + name +
                L"仍在原处，没有被移动。";
    else
        text += name + L"无法放回。" + where + L"（可能已被移到回收站或被删除）。";
    if (PlaceReachable(copy))
        return Outcome::Leaves;
    Tell(L"undo-copy-gone", text + L"\n这条记录已保留，那个位置可以访问后可以再试。");
    return Outcome::Refused;
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
    Tell(L"undo-changed",
               L"无法撤销新建：“" + GetPathFileName(record.path) +
                   L"”在新建之后已被修改，撤销会把修改过的内容移走。\n它仍在原处；不再需要时可以自行删除。");
    return true;
}

// What an undo put back in the item's place was written into since (or
// another item took its name): a redo would set that work aside in the
// temporary folder, where only another undo finds it.
bool ChangedSincePutBack(const UndoRecord& record)
{
    if (!record.replacedBack.known || !Exists(record.path) || StampItem(record.path) == record.replacedBack)
        return false;
    Tell(L"redo-changed", L"无法重做：“" + GetPathFileName(record.path) +
                              L"”在撤销之后已被修改，重做会把修改过的内容移走。\n它仍在原处，没有改动。");
    return true;
}

// The entry at path is another than the one an operation brought: most
// editors save so (a new file written, then renamed over the old one), and
// so does a file deleted and made again. Undo must not carry it off. Only
// an identity read says so: an entry that cannot be opened is tried as the
// item, and its move tells what stands in the way.
bool ReplacedSince(const std::wstring& path, const ItemIdentity& identity)
{
    if (!identity.known || !Exists(path))
        return false;
    const ItemIdentity now = IdentifyItem(path);
    return now.known && now != identity;
}

std::wstring ReplacedSinceText(const std::wstring& path)
{
    return L"无法撤销：“" + GetPathFileName(path) +
           L"”在放入收纳盒之后已被修改或替换（例如被其他程序重新保存过），已不是当初放入的那个项目。\n"
           L"它仍在原处，没有被移动。";
}

// Redo of a delete to the Recycle Bin does what the user chose then: the
// item goes to the bin again, once a fresh copy of it is kept for undo
// (the item may have changed since the first delete). Anything but
// Recycled leaves the item in place and the record as it was.
// copy: a free kept-copy path in the temporary folder; owner: the window
// the shell's question stands over.
RecycleOutcome RecycleAgain(UndoRecord& record, const std::wstring& copy, HWND owner)
{
    // Nothing is there to delete: nothing is kept, and undo has nothing to
    // put back.
    if (!Exists(record.path)) {
        record.tempPath.clear();
        record.recycleConfirmed = false;
        return RecycleOutcome::Recycled;
    }
    RecycleOutcome outcome = RecycleOutcome::Refused;
    const ItemIdentity item = IdentifyItem(record.path);
    const TransferResult kept = CopyItem(record.path, copy, true, t_worker ? t_worker->options : TransferOptions{});
    if (kept == TransferResult::Done) {
        // Only a recycle proven by its witness lets the copy be deleted
        // later; a delete for good by the user's answer keeps it.
        const WitnessedRecycle result =
            RecycleWitnessedBesideCopies({record.path}, owner && IsWindow(owner) ? owner : nullptr).front();
        outcome = result.outcome;
        if (outcome == RecycleOutcome::Recycled || !Exists(record.path)) {
            record.tempPath = copy;
            record.recycleConfirmed = result.proven;
            record.identity = item;
            return RecycleOutcome::Recycled;
        }
        // Part of it was deleted for good: the copy is the only whole
        // version, and the user hears where it is. The record stays.
        if (result.partly || StampItem(record.path) != StampItem(copy)) {
            Tell(L"redo-recycle", PartlyDeletedText(record.path, copy, BringCopyBesideItem(copy, record.path)));
            return RecycleOutcome::Declined;
        }
    }
    // The item is still in place: a copy of it is not needed. A copy the
    // quit stopped leaves the item and the record as they were, unsaid.
    RemoveItemWithoutFollowingLinks(copy);
    return kept == TransferResult::Cancelled ? RecycleOutcome::Declined : outcome;
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
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The steps of one undo or redo of a merged folder, each taken back in
// reverse when a later one fails: the record then stays, and everything is
// where it was before the try.
class MergeSteps
{
public:
    // count: the files the step moves, for the card; the folder's files
    // move from source to destination.
    MergeSteps(bool undo, size_t count, std::wstring source, std::wstring destination)
        : undo_(undo), count_(count), source_(std::move(source)), destination_(std::move(destination))
    {
    }

    bool Move(const std::wstring& from, const std::wstring& to)
    {
        // A quit stops the step between two files: what moved goes back,
        // and the record stays with everything where it was.
        if (FileJobCancelled())
            return Fail(from, to, ERROR_REQUEST_ABORTED);
        // A kill or a crash stops it anywhere and takes nothing back: the
        // next start tells the user the folder is split in two.
        if (!journaled_) {
            journal_.MergeStarted(source_, destination_);
            journaled_ = true;
        }
        ShowProgress(from, std::min(done_.size(), count_), count_);
        DWORD why = ERROR_FILE_NOT_FOUND;
        if (MoveWithoutReplacing(from, to, &why) != MoveResult::Moved)
            return Fail(from, to, why);
        done_.push_back({Kind::Moved, from, to});
        if (s_mergedFileMoved)
            s_mergedFileMoved();
        return true;
    }
    // The folder, made when missing; forItem is the item that needs it,
    // named to the user should it fail.
    bool MakeFolder(const std::wstring& folder, const std::wstring& forItem)
    {
        if (IsOwnFolder(folder))
            return true;
        if (Exists(folder))
            return Fail(forItem, folder, ERROR_ALREADY_EXISTS);
        if (!CreateDirectoryW(LongPathForm(folder).c_str(), nullptr))
            return Fail(forItem, folder, GetLastError());
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
    bool Fail(const std::wstring& from, const std::wstring& to, DWORD why)
    {
        // Stopped between two files (a quit): the one not moved is not the
        // news, the whole step taken back is.
        const bool stopped = why == ERROR_REQUEST_ABORTED && !done_.empty();
        if (!stopped)
            TellMoveFailed(undo_, from, to, why);
        const std::vector<Done> done = std::move(done_);
        done_.clear();
        // A quit is what stopped most steps: what moved to another volume
        // still comes back whole, or the folder would stay split in two.
        const bool wasTakingBack = t_worker && t_worker->takingBack;
        if (t_worker)
            t_worker->takingBack = true;
        std::vector<std::wstring> stuck;
        for (auto step = done.rbegin(); step != done.rend(); ++step) {
            if (step->kind == Kind::Moved) {
                if (MoveWithoutReplacing(step->to, step->path) == MoveResult::Failed)
                    stuck.push_back(step->to);
            } else if (step->kind == Kind::Made)
                RemoveFolderIfEmpty(step->path);
            else
                CreateDirectoryW(LongPathForm(step->path).c_str(), nullptr);
        }
        if (t_worker)
            t_worker->takingBack = wasTakingBack;
        if (stopped)
            Tell(L"undo-move", std::wstring(undo_ ? L"撤销" : L"重做") + L"已停止，没有完成（操作已取消）：" +
                                   (stuck.empty() ? L"已经移动的文件都已放回原处，没有任何内容丢失。"
                                                  : L"以下文件没能放回原处，它们现在在：" + PathLinesText(stuck)));
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
    size_t count_;
    std::wstring source_, destination_;
    std::vector<Done> done_;
    PartFileJournal journal_;
    bool journaled_ = false;
};

// Undo of a folder moved in and merged into the box's folder of the same
// name: what the move brought goes back to its source as it is now, what
// it replaced comes back from the kept copy, and whatever else the box's
// folder holds stays as it is, edits and all. The source gets back nothing
// it did not have. A file replaced since it came is not the one the move
// brought: it stays where it is, with what it replaced kept, and is named
// in stayed.
bool UndoMergedMove(const MergedEntries& merged, const std::map<std::wstring, ItemIdentity>& identities,
                    const std::wstring& box, const std::wstring& source, const std::wstring& kept,
                    std::vector<std::wstring>& stayed)
{
    for (const std::wstring& file : merged.files) {
        const auto known = identities.find(file);
        if (known != identities.end() && ReplacedSince(Under(box, file), known->second))
            stayed.push_back(file);
    }
    auto staying = [&stayed](const std::wstring& file) {
        return std::find(stayed.begin(), stayed.end(), file) != stayed.end();
    };
    // A place at the source taken meanwhile refuses the undo before
    // anything moves.
    for (const std::wstring& file : merged.files) {
        if (!staying(file) && Exists(Under(box, file)) && Exists(Under(source, file))) {
            TellMoveFailed(true, Under(box, file), Under(source, file), ERROR_ALREADY_EXISTS);
            return false;
        }
    }
    MergeSteps steps(true, merged.files.size(), box, source);
    if (!steps.MakeFolderTree(source, merged.folders, box))
        return false;
    for (const std::wstring& file : merged.files)
        if (!staying(file) && Exists(Under(box, file)) && !steps.Move(Under(box, file), Under(source, file)))
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
        if (staying(file) || kept.empty() || !IsOwnFile(Under(kept, file)))
            continue;
        if (!steps.MakeFolders(box, ParentPart(file), Under(kept, file)) ||
            !steps.Move(Under(kept, file), Under(box, file)))
            return false;
    }
    return true;
}

// Redo of a merged move: what it replaces in the box is set aside in the
// kept copy again, then the source's entries move in (named in moved), and
// the source's folders it emptied go.
bool RedoMergedMove(const MergedEntries& merged, const std::wstring& box, const std::wstring& source,
                    const std::wstring& kept, std::vector<std::wstring>& moved)
{
    for (const std::wstring& file : merged.files) {
        const std::wstring at = Under(box, file);
        if (Exists(Under(source, file)) && Exists(at) &&
            (kept.empty() || !IsOwnFile(at) || Exists(Under(kept, file)))) {
            TellMoveFailed(false, at, kept.empty() ? at : Under(kept, file), ERROR_ALREADY_EXISTS);
            return false;
        }
    }
    MergeSteps steps(false, merged.files.size(), source, box);
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
        moved.push_back(file);
    }
    for (auto folder = merged.folders.rbegin(); folder != merged.folders.rend(); ++folder)
        steps.RemoveWhenEmpty(Under(source, *folder));
    steps.RemoveWhenEmpty(source);
    return true;
}

// An entry a step moved into or out of a box's folder, as it stands after
// the step: the view follows it without listing the whole folder.
struct TouchedEntry {
    std::wstring path;
    enum class State { Present, Gone, Unknown } state = State::Unknown;
    bool directory = false;
    int64_t writeTime = 0;
};

struct Step {
    bool undo = true;
    BoxWindowPtr box;
    BoxWindowPtr owner;
    std::wstring header;
    // Outcome::Leaves: what the user is told, under which kind.
    std::wstring leaveKind, leaveText;
    // Read from the registry on the UI thread before the worker starts:
    // the boxes' folders no step may take away, the places an item may go
    // back to, a free kept-copy path, the window the shell asks over.
    std::shared_ptr<const GuardedFolders> guarded;
    PutBack::BoxPlaces places;
    std::wstring keptAt;
    HWND questionOwner = nullptr;
    // An undone merged folder whose files were replaced since: the words
    // for those that stayed, and what the move had replaced of them, which
    // leaves on the UI thread.
    std::wstring stayedText;
    std::vector<KeptCopy> replaced;
    std::vector<TouchedEntry> touched;
    // An item that went to the Recycle Bin came back as its kept copy: the
    // identity it had, and the copy's, for the records that knew it.
    ItemIdentity cameBackFrom, cameBackAs;
};

void AddRecordBack(const Step& step, const UndoRecord& record)
{
    const std::wstring alias = record.extra.empty() ? L"bvn!NULL" : record.extra;
    s_boxIconManagers[step.box].AddRecordForPath(record.path, 0.0f, 0.0f, alias, step.owner != step.box, step.header,
                                                 step.owner, L"bvn!NULL");
}

Outcome Leaves(Step& step, const std::wstring& kind, const std::wstring& text)
{
    step.leaveKind = kind;
    step.leaveText = text;
    return Outcome::Leaves;
}

// A merged folder moved in, taken back or brought in again; a file replaced
// since is left where it is and named, and the record then speaks only for
// the files that went back.
Outcome ApplyMerged(Step& step, UndoRecord& record)
{
    MergedEntries& merged = *record.merged;
    if (!step.undo) {
        std::vector<std::wstring> moved;
        if (!RedoMergedMove(merged, record.path, record.extra, record.replacedCopy, moved))
            return Outcome::Refused;
        // A move to another volume makes new files: the next undo knows
        // them as they stand now.
        for (auto& [file, identity] : IdentifyEntries(record.path, moved))
            record.mergedIdentities[file] = identity;
        return Outcome::Done;
    }
    if (!record.replacedCopy.empty() && PathGone(record.replacedCopy)) {
        std::wstring text;
        const Outcome outcome = KeptCopyGone(true, record, record.replacedCopy, text);
        return outcome == Outcome::Leaves ? Leaves(step, L"undo-copy-gone", text) : outcome;
    }
    std::vector<std::wstring> stayed;
    if (!UndoMergedMove(merged, record.mergedIdentities, record.path, record.extra, record.replacedCopy, stayed))
        return Outcome::Refused;
    if (stayed.empty())
        return Outcome::Done;
    std::wstring text = L"撤销时以下项目没有移回“" + record.extra +
                        L"”：它们在放入收纳盒之后已被修改或替换（例如被其他程序重新保存过），"
                        L"已不是当初放入的项目，仍留在“" +
                        record.path + L"”中：";
    // What the move replaced of a file that stays cannot take its place:
    // it goes to the Recycle Bin (else into view) rather than wait with
    // the record where no undo will bring it back. The shell's work runs
    // on the leaving records' worker, handed over as the step lands.
    for (const std::wstring& file : stayed) {
        text += L"\n“" + file + L"”";
        std::erase(merged.files, file);
        record.mergedIdentities.erase(file);
        if (!record.replacedCopy.empty() && IsOwnFile(Under(record.replacedCopy, file)))
            step.replaced.push_back({Under(record.replacedCopy, file), GetPathFileName(file)});
    }
    step.stayedText = text;
    return Outcome::Done;
}

// UI thread, as the step lands: the files of a merged folder that stayed
// are told, and what the move had replaced of them leaves.
void TellStayed(const Step& step)
{
    if (step.stayedText.empty())
        return;
    std::wstring text = step.stayedText;
    for (const std::wstring& name : LetKeptCopiesLeave(step.owner, step.replaced))
        text += L"\n被放入的项目替换掉的“" + name +
                L"”旧版本将移到回收站；回收站不接收时，它会放到收纳盒的文件夹中，并另行告诉你位置。";
    NotifyUser(L"undo-other-item", text);
}

// Moves an item that a failed step moved away back to its place; the user
// hears where it is should that fail too.
bool MoveBack(bool undo, const std::wstring& from, const std::wstring& to)
{
    if (MoveWithoutReplacing(from, to) != MoveResult::Failed)
        return true;
    Tell(L"undo-move", std::wstring(undo ? L"撤销" : L"重做") + L"没有完成，“" + GetPathFileName(to) +
                                 L"”也无法移回原处，它现在在“" + from + L"”。");
    return false;
}

// Undo of an item created or moved in: it goes back where it came from (the
// temporary folder for a new one), and what it replaced ("直接覆盖") takes
// its place again. Should that fail the item returns: nothing is half done.
Outcome UndoItem(Step& step, UndoRecord& record, bool movedIn)
{
    if (ReplacedSince(record.path, record.identity))
        return Leaves(step, L"undo-other-item", ReplacedSinceText(record.path));
    if (!record.replacedCopy.empty() && PathGone(record.replacedCopy)) {
        std::wstring text;
        const Outcome outcome = KeptCopyGone(true, record, record.replacedCopy, text);
        return outcome == Outcome::Leaves ? Leaves(step, L"undo-copy-gone", text) : outcome;
    }
    if (!movedIn && ChangedSinceMade(record))
        return Outcome::Refused;
    const std::wstring away = movedIn ? record.extra : step.keptAt;
    DWORD why = ERROR_FILE_NOT_FOUND;
    const MoveResult result = MoveWithoutReplacing(record.path, away, &why);
    if (result == MoveResult::Failed) {
        TellMoveFailed(true, record.path, away, why);
        return Outcome::Refused;
    }
    why = ERROR_FILE_NOT_FOUND;
    if (!record.replacedCopy.empty() &&
        MoveWithoutReplacing(record.replacedCopy, record.path, &why) != MoveResult::Moved) {
        TellMoveFailed(true, record.replacedCopy, record.path, why);
        if (result != MoveResult::Moved || MoveBack(true, away, record.path))
            return Outcome::Refused;
        // A new item stuck in the temporary folder stays known to the
        // record, on the redo list, until it comes back or leaves.
        if (movedIn)
            return Outcome::Refused;
        record.tempPath = away;
        return Outcome::Done;
    }
    if (!record.replacedCopy.empty())
        record.replacedBack = StampItem(record.path);
    // An item already gone left nothing in the temporary folder, and redo
    // has nothing to bring back.
    if (!movedIn)
        record.tempPath = result == MoveResult::Moved ? away : L"";
    return Outcome::Done;
}

// The entries the step would move away from where they stand.
std::vector<std::wstring> EntriesTaken(bool undo, const UndoRecord& record, bool movedIn)
{
    switch (record.kind) {
    case 0:
        if (undo)
            return {record.path};
        if (record.replacedCopy.empty())
            return {movedIn ? record.extra : record.tempPath};
        return {movedIn ? record.extra : record.tempPath, record.path};
    case 1:
    case 2:
        return {undo ? record.tempPath : record.path};
    default:
        return {};
    }
}

// A box's folder (or a folder holding one, or a drive's root) stays where
// it is: moved away, that box would show a folder that is no longer
// there, and a drop onto it would find none. The record stays for the
// user to try again once that box is gone.
bool KeepsBoxFolders(const Step& step, const UndoRecord& record, bool movedIn)
{
    const std::vector<std::wstring> taken = EntriesTaken(step.undo, record, movedIn);
    if (taken.empty())
        return false;
    const BoxFolderGuard guard = step.guarded->Make();
    BoxFolderNames names;
    for (const std::wstring& path : taken)
        if (!path.empty() && path != L"bvn!NULL")
            names.Add(path, guard.BoxFolder(FullPathOf(path)));
    if (names.Empty())
        return false;
    Tell(L"undo-box-folder", names.Text(step.undo ? L"撤销" : L"重做") +
                                       (step.undo ? L"\n这条撤销记录已保留。" : L"\n这条重做记录已保留。"));
    return true;
}

// The folder that holds path; empty when path names none.
std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// An item taken back to where it came from goes only to a folder the user
// sees: one in the box root or a box's folder that is gone, or that no box
// shows, would hold it where nothing leads. The record stays, to be tried
// again once the folder is back, and the user can move it by hand.

bool HomeUnseen(const Step& step, const UndoRecord& record)
{
    const std::wstring folder = FolderOf(record.extra);
    if (folder.empty())
        return false;
    const std::wstring why = PutBack::HiddenHomeWhy(folder, PutBack::HomeFactsOf(folder, step.places));
    if (why.empty())
        return false;
    Tell(L"undo-move", L"无法撤销：“" + GetPathFileName(record.path) + L"”没有移回，" + why +
                                 L"。\n它仍在收纳盒中，这条撤销记录已保留。");
    return true;
}

// The way to where an item moved in came from holds a link (or an entry
// the system will not answer about), asked as the move is due: undo would
// put the item, and redo take one, in a folder the user never pointed at.
// The item stays where it is and the record stays.
bool WayHomeRefused(bool undo, const UndoRecord& record)
{
    // A merged folder goes back as the folder itself, made when missing.
    const std::wstring home = record.merged ? record.extra : FolderOf(record.extra);
    if (home.empty())
        return false;
    const PutBack::WayCheck way = PutBack::CheckTheWay(home);
    if (way.at.empty())
        return false;
    const std::wstring where = L"原来的位置是“" + home + L"”，但";
    if (undo)
        Tell(L"undo-move", L"无法撤销：“" + GetPathFileName(record.path) + L"”没有移回。" + where +
                                     PutBack::WayRefusedText(way) + L"。\n它仍在收纳盒中，这条撤销记录已保留。");
    else
        Tell(L"undo-move",
                   L"无法重做：“" + GetPathFileName(record.extra) + L"”没有移入收纳盒。" + where +
                       (way.unchecked ? L"系统无法确认“" + way.at + L"”不是指向其他位置的链接"
                                      : L"“" + way.at + L"”现在是指向其他位置的链接（符号链接或目录联接）") +
                       L"，那里的项目可能不是当初放入的。\n它仍在原处，这条重做记录已保留。");
    return true;
}

// Reverses (undo) or repeats (redo) the record on disk. Worker thread.
Outcome ApplyOnDisk(Step& step, UndoRecord& record)
{
    // A created item that came from elsewhere goes back there, not to the
    // temporary folder.
    const bool movedIn = record.kind == 0 && !record.extra.empty() && record.extra != L"bvn!NULL";
    if (KeepsBoxFolders(step, record, movedIn))
        return Outcome::Refused;
    if (step.undo && movedIn && HomeUnseen(step, record))
        return Outcome::Refused;
    if (movedIn && WayHomeRefused(step.undo, record))
        return Outcome::Refused;
    auto move = [&](const std::wstring& from, const std::wstring& to) {
        DWORD why = ERROR_GEN_FAILURE;
        if (MoveWithoutReplacing(from, to, &why) == MoveResult::Failed) {
            TellMoveFailed(step.undo, from, to, why);
            return false;
        }
        return true;
    };
    // A copy kept in the temporary folder that has to go back is gone.
    auto keptCopyGone = [&](const std::wstring& copy, Outcome& outcome) {
        if (copy.empty() || !PathGone(copy))
            return false;
        std::wstring text;
        outcome = KeptCopyGone(step.undo, record, copy, text);
        if (outcome == Outcome::Leaves)
            Leaves(step, L"undo-copy-gone", text);
        return true;
    };
    auto done = [](bool moved) { return moved ? Outcome::Done : Outcome::Refused; };
    Outcome gone = Outcome::Refused;
    switch (record.kind) {
    case 0:
        if (movedIn && record.merged)
            return ApplyMerged(step, record);
        if (step.undo)
            return UndoItem(step, record, movedIn);
        if (ChangedSincePutBack(record))
            return Outcome::Refused;
        if (movedIn) {
            if (!record.replacedCopy.empty() && Exists(record.path) && !move(record.path, record.replacedCopy))
                return Outcome::Refused;
            if (!move(record.extra, record.path))
                return Outcome::Refused;
        } else {
            if (keptCopyGone(record.tempPath, gone))
                return gone;
            if (!record.replacedCopy.empty() && Exists(record.path) && !move(record.path, record.replacedCopy))
                return Outcome::Refused;
            if (!move(record.tempPath, record.path))
                return Outcome::Refused;
        }
        // A move to another volume makes a new file: the next undo knows
        // the item as it stands now.
        if (record.identity.known)
            record.identity = IdentifyItem(record.path);
        return Outcome::Done;
    case 1:
        if (step.undo) {
            if (keptCopyGone(record.tempPath, gone))
                return gone;
            if (!move(record.tempPath, record.path))
                return Outcome::Refused;
            step.cameBackFrom = record.identity;
            step.cameBackAs = IdentifyItem(record.path);
            return Outcome::Done;
        }
        switch (RecycleAgain(record, step.keptAt, step.questionOwner)) {
        case RecycleOutcome::Recycled:
        case RecycleOutcome::Deleted:
            return Outcome::Done;
        case RecycleOutcome::Declined:
            // The user answered No, or part of the item was deleted for
            // good (told already): nothing more moves, the record stays.
            return Outcome::Refused;
        case RecycleOutcome::Refused:
            Tell(L"redo-recycle",
                 L"无法重做：“" + GetPathFileName(record.path) + L"”无法移动到回收站，它仍在原处，没有被删除。");
            return Outcome::Refused;
        }
        return Outcome::Refused;
    case 2:
        return done(step.undo ? move(record.tempPath, record.path) : move(record.path, record.tempPath));
    default:
        return Outcome::Done;
    }
}

// The same for a record of the view only (kinds 3 to 5). UI thread.
Outcome ApplyToRecords(Step& step, UndoRecord& record)
{
    KelmIconManager& view = s_boxIconManagers[step.box];
    switch (record.kind) {
    case 3:
        if (step.undo)
            view.RemoveByPath(record.path);
        else
            AddRecordBack(step, record);
        break;
    case 4:
        if (step.undo)
            AddRecordBack(step, record);
        else
            view.RemoveByPath(record.path);
        break;
    case 5:
        view.SetAliasByPath(record.path, step.undo ? record.tempPath : record.extra);
        break;
    default:
        break;
    }
    return Outcome::Done;
}

bool OnDisk(const UndoRecord& record)
{
    return record.kind <= 2;
}

// Worker thread: the entries of the box's folder the step may have moved
// in or out, as they stand now.
std::vector<TouchedEntry> LookAtTouched(const UndoRecord& record)
{
    std::vector<std::wstring> paths{record.path};
    if (record.kind == 2)
        paths.push_back(record.tempPath);
    std::vector<TouchedEntry> touched;
    for (const std::wstring& path : paths) {
        TouchedEntry entry{path};
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data)) {
            entry.state = TouchedEntry::State::Present;
            entry.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entry.writeTime = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                                   data.ftLastWriteTime.dwLowDateTime);
        } else if (PathGone(path)) {
            entry.state = TouchedEntry::State::Gone;
        }
        touched.push_back(std::move(entry));
    }
    return touched;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// UI thread: the owner's records in the view follow the entries the step
// touched directly in the owner's folder (a box of ten thousand files is
// not listed for the one that moved): a record goes with its entry, an
// entry that came back gets one after the owner's last record, and a
// renamed entry keeps its record, renamed in place. The folder refresh
// catches anything else. True when a record changed.
bool FollowTouched(KelmIconManager& view, const BoxWindowPtr& owner, const std::vector<TouchedEntry>& touched)
{
    const BoxRuntime* runtime = FindBoxRuntime(owner);
    if (!runtime || !runtime->UseTargetFolder || runtime->TargetFolder == L"bvn!NULL")
        return false;
    std::wstring folder = Lower(runtime->TargetFolder);
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    std::vector<IconRecord>& records = view.Records();
    auto recordOf = [&](const std::wstring& path) {
        const std::wstring key = Lower(path);
        return std::find_if(records.begin(), records.end(), [&](const IconRecord& record) {
            return view.EffectiveOwner(record) == owner && Lower(record.path) == key;
        });
    };
    std::vector<const TouchedEntry*> gone, came;
    for (const TouchedEntry& entry : touched) {
        if (Lower(FolderOf(entry.path)) != folder)
            continue;
        const bool shown = recordOf(entry.path) != records.end();
        if (entry.state == TouchedEntry::State::Gone && shown)
            gone.push_back(&entry);
        else if (entry.state == TouchedEntry::State::Present && !shown)
            came.push_back(&entry);
    }
    // A rename taken back or done again: the record keeps its place.
    if (gone.size() == 1 && came.size() == 1) {
        IconRecord& record = *recordOf(gone.front()->path);
        record.path = came.front()->path;
        record.sortName = IconSortName(record.alias, record.path);
        record.lastWriteTime = came.front()->writeTime;
        record.isDirectory = came.front()->directory;
        return true;
    }
    for (const TouchedEntry* entry : gone)
        std::erase_if(records, [&](const IconRecord& record) {
            return view.EffectiveOwner(record) == owner && Lower(record.path) == Lower(entry->path);
        });
    if (came.empty())
        return !gone.empty();
    const auto last = std::find_if(records.rbegin(), records.rend(),
                                   [&](const IconRecord& record) { return view.EffectiveOwner(record) == owner; });
    bool holdsOwner = last != records.rend();
    size_t insertAt = holdsOwner ? static_cast<size_t>(records.rend() - last) : records.size();
    const bool foreign = owner != view.OwnBox();
    for (const TouchedEntry* entry : came) {
        IconRecord record = view.MakeRecord(entry->path, 0.0f, 0.0f, L"bvn!NULL", foreign,
                                            foreign && !holdsOwner ? runtime->title : std::wstring(), owner,
                                            L"bvn!NULL");
        record.lastWriteTime = entry->writeTime;
        record.isDirectory = entry->directory;
        records.insert(records.begin() + static_cast<std::ptrdiff_t>(insertAt++), std::move(record));
        holdsOwner = true;
    }
    return true;
}

// A record that can never be done leaves its list the way a trimmed one
// does (what it kept goes to the Recycle Bin on a worker, else into view,
// which is told when it happens), and the user hears why and that older
// records can now be reached.
void LetRefusedRecordLeave(const BoxWindowPtr& target, bool undo, const UndoRecord& record, const Step& step)
{
    std::wstring text =
        step.leaveText + (undo ? L"\n这条撤销记录已移除，可以继续撤销更早的操作。" : L"\n这条重做记录已移除。");
    for (const std::wstring& name : LetRecordLeave(target, record, !undo))
        text +=
            L"\n为撤销保留的“" + name + L"”将移到回收站；回收站不接收时，它会放到收纳盒的文件夹中，并另行告诉你位置。";
    NotifyUser(step.leaveKind, text);
}

bool SameRecord(const UndoRecord& a, const UndoRecord& b)
{
    return a.kind == b.kind && a.path == b.path && a.tempPath == b.tempPath && a.extra == b.extra &&
           a.replacedCopy == b.replacedCopy && a.owner == b.owner;
}

// The boxes a step works for, held by id from the pick of its record until
// it has landed: none of them is made again or deleted meanwhile.
struct StepHolds {
    BoxInUse box, target, owner;
};

// The box a hold names as it stands now; the window itself where nothing
// is held (a window that is no box).
BoxWindowPtr Standing(const BoxInUse& hold, const BoxWindowPtr& window)
{
    return hold.Holds() ? hold.Box() : window;
}

// UI thread: what a step did lands: its record moves from one list of the
// target to the other (or leaves them), the view follows what moved, and
// the store is saved. picked: the record as it was taken from its list.
void Land(Step& step, const UndoRecord& picked, UndoRecord& record, Outcome outcome, const StepHolds& holds,
          const BoxWindowPtr& requestedTarget)
{
    const BoxWindowPtr box = Standing(holds.box, step.box);
    const BoxWindowPtr target = Standing(holds.target, requestedTarget);
    BoxRuntime* targetRuntime = FindBoxRuntime(target);
    if (!targetRuntime || !box) {
        // Held, the box cannot go; should it have gone all the same, what
        // the record keeps is not left where only the program finds it.
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"An undo or redo step found its box gone.");
        if (outcome == Outcome::Refused)
            return;
        const bool undone = outcome == Outcome::Done ? step.undo : !step.undo;
        std::wstring text = std::wstring(step.undo ? L"撤销" : L"重做") + L"“" + GetPathFileName(record.path) +
                            L"”时，它所属的收纳盒已不存在，这条记录无法保留。";
        for (const std::wstring& name : LetRecordLeave(nullptr, record, undone))
            text += L"\n为撤销保留的“" + name + L"”将移到回收站；回收站不接收时，它会放到收纳盒文件夹中，并另行告诉你位置。";
        NotifyUser(L"undo-box-gone", text);
        return;
    }
    step.box = box;
    if (const BoxWindowPtr owner = Standing(holds.owner, step.owner))
        step.owner = owner;
    if (outcome == Outcome::Refused) {
        // Nothing changed lists; whatever did move (a step taken back half
        // way) is shown as it stands.
        KelmIconManager& view = s_boxIconManagers[box];
        if (FollowTouched(view, step.owner, step.touched)) {
            view.Renumber();
            SaveBoxIcons(view);
            InvalidateRect(box->GetHwnd(), nullptr, FALSE);
        }
        return;
    }
    std::vector<UndoRecord>& from = step.undo ? targetRuntime->undoList : targetRuntime->redoList;
    for (auto it = from.rbegin(); it != from.rend(); ++it) {
        if (SameRecord(*it, picked)) {
            from.erase(std::next(it).base());
            break;
        }
    }
    if (outcome == Outcome::Leaves) {
        // The lists are changed first: the shell may ask while the record
        // leaves.
        LetRefusedRecordLeave(target, step.undo, record, step);
        return;
    }
    TellStayed(step);
    (step.undo ? targetRuntime->redoList : targetRuntime->undoList).push_back(std::move(record));
    // The drop that brought the item, undone next, finds the copy as that
    // item, not as another saved over it.
    CarryIdentityToPutBackCopy(step.cameBackFrom, step.cameBackAs);

    KelmIconManager& view = s_boxIconManagers[box];
    // Icons read their sizes and folder listings again.
    ++s_iconFileFactsGeneration;
    FollowTouched(view, step.owner, step.touched);
    view.Renumber();
    SaveBoxIcons(view);
    if (box->GetHwnd())
        InvalidateRect(box->GetHwnd(), nullptr, FALSE);
}

// Worker thread: the disk work of one step, then its landing posted to the
// UI thread, then the job's end.
void WorkStep(Step& step, const UndoRecord& picked, const StepHolds& holds, const BoxWindowPtr& requestedTarget)
{
    RepaintTarget target{step.box, step.box ? step.box->GetHwnd() : nullptr};
    StepWorker worker;
    worker.undo = step.undo;
    worker.target = target;
    worker.options = WorkerTransferOptions(worker.target);
    UndoRecord record = picked;
    Outcome outcome = Outcome::Refused;
    t_worker = &worker;
    try {
        if (s_undoStepStarts)
            s_undoStepStarts();
        // A quit before the step began leaves everything as it was.
        if (!FileJobCancelled()) {
            ShowProgress(record.path, 0, 1);
            outcome = ApplyOnDisk(step, record);
        }
        step.touched = LookAtTouched(record);
    } catch (...) {
        Logger::GetInstance().Log(L"DesktopContainer", L"ERROR", L"An undo or redo step stopped on an unexpected error.");
    }
    t_worker = nullptr;
    PostFromJob([step = std::move(step), picked, record = std::move(record), outcome, holds, requestedTarget,
                 notices = std::move(worker.notices)]() mutable {
        for (const auto& [kind, text] : notices)
            NotifyUser(kind, text);
        Land(step, picked, record, outcome, holds, requestedTarget);
    });
    EndFileJobWorker(target);
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
    const UndoRecord picked = from.back();
    Step step;
    step.undo = undo;
    step.box = box;
    step.owner = picked.owner ? picked.owner : target;
    const BoxRuntime* ownerRuntime = FindBoxRuntime(step.owner);
    if (step.owner != box && ownerRuntime)
        step.header = ownerRuntime->title;
    const StepHolds holds{BoxInUse::Hold(box), BoxInUse::Hold(target), BoxInUse::Hold(step.owner)};
    if (!OnDisk(picked)) {
        UndoRecord record = picked;
        const Outcome outcome = ApplyToRecords(step, record);
        Land(step, picked, record, outcome, holds, target);
        return;
    }
    // The disk and the shell are the worker's; what needs the registry is
    // read here first.
    step.guarded = std::make_shared<const GuardedFolders>(FoldersToGuard(L""));
    step.places = PutBackPlaces();
    if ((undo && picked.kind == 0) || (!undo && picked.kind == 1))
        step.keptAt = TempCopyPath(picked.path);
    step.questionOwner = box->GetHwnd();
    if (!StartFileJob(box, [step = std::move(step), picked, holds, target]() mutable {
            WorkStep(step, picked, holds, target);
        }) &&
        !FileActionGate::IsClosed())
        NotifyUser(L"job-busy", std::wstring(L"另一项文件操作正在进行，没有") + (undo ? L"撤销" : L"重做") +
                                    L"。\n请在当前操作完成后重试。");
}

} // namespace

std::function<void()> s_undoStepStarts;
std::function<void()> s_mergedFileMoved;

ItemStamp StampItem(const std::wstring& path)
{
    ItemStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data))
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
            if (!folderEntry && GetFileAttributesExW(LongPathForm(full).c_str(), GetFileExInfoStandard, &entry)) {
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
    // A link is not followed: the entry itself is the item.
    return IdentityAt(path, true);
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

std::map<std::wstring, ItemIdentity> IdentifyEntries(const std::wstring& root,
                                                     const std::vector<std::wstring>& relatives)
{
    std::map<std::wstring, ItemIdentity> identities;
    for (const std::wstring& relative : relatives)
        identities[relative] = IdentifyItem(root + L"\\" + relative);
    return identities;
}
