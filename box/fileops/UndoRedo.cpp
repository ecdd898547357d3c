#include "box/fileops/UndoRedo.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxFolderNames.h"
#include "box/BoxRuntime.h"
#include "box/PutBackPlan.h"
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
    // is skipped, nothing is harmed. A path of any length is looked at.
    return PathExists(path);
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
    if (MoveFileExW(LongPathForm(from).c_str(), LongPathForm(to).c_str(), MOVEFILE_COPY_ALLOWED))
        return MoveResult::Moved;
    const DWORD error = GetLastError();
    return failed(error ? error : ERROR_GEN_FAILURE);
}

// why: the reason MoveWithoutReplacing gave.
void TellMoveFailed(bool undo, const std::wstring& from, const std::wstring& to, DWORD why)
{
    std::wstring text = std::wstring(undo ? L"无法撤销：" : L"无法重做：") + L"“" + from + L"”不能移动到“" + to + L"”";
    // A folder the item would go back into that is no longer there is the
    // reason, and the only one the user can act on.
    const size_t slash = to.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : to.substr(0, slash);
    if (!folder.empty() && PathGone(folder))
        text += L"。文件夹“" + folder + L"”已不存在（可能已被移动、改名或删除），没有移动任何内容。";
    else
        text += L"（" + TransferErrorText(why, from) + L"）。";
    NotifyUser(L"undo-move", text);
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
    NotifyUser(L"undo-copy-gone", text + L"\n这条记录已保留，那个位置可以访问后可以再试。");
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
    NotifyUser(L"undo-changed",
               L"无法撤销新建：“" + GetPathFileName(record.path) +
                   L"”在新建之后已被修改，撤销会把修改过的内容移走。\n它仍在原处；不再需要时可以自行删除。");
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
RecycleOutcome RecycleAgain(UndoRecord& record, const BoxWindowPtr& box)
{
    // Nothing is there to delete: nothing is kept, and undo has nothing to
    // put back.
    if (!Exists(record.path)) {
        record.tempPath.clear();
        record.recycleConfirmed = false;
        return RecycleOutcome::Recycled;
    }
    const std::wstring copy = TempCopyPath(record.path);
    RecycleOutcome outcome = RecycleOutcome::Refused;
    if (CopyItem(record.path, copy, true, TransferOptions{}) == TransferResult::Done) {
        // Only a recycle proven by its witness lets the copy be deleted
        // later; a delete for good by the user's answer keeps it.
        const WitnessedRecycle result =
            RecycleWitnessedBesideCopies({record.path}, box && IsWindow(box->GetHwnd()) ? box->GetHwnd() : nullptr)
                .front();
        outcome = result.outcome;
        if (outcome == RecycleOutcome::Recycled || !Exists(record.path)) {
            record.tempPath = copy;
            record.recycleConfirmed = result.proven;
            return RecycleOutcome::Recycled;
        }
        // Part of it was deleted for good: the copy is the only whole
        // version, and the user hears where it is. The record stays.
        if (result.partly || StampItem(record.path) != StampItem(copy)) {
            NotifyUser(L"redo-recycle", PartlyDeletedText(record.path, copy, BringCopyBesideItem(copy, record.path)));
            return RecycleOutcome::Declined;
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
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
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
        DWORD why = ERROR_FILE_NOT_FOUND;
        if (MoveWithoutReplacing(from, to, &why) != MoveResult::Moved)
            return Fail(from, to, why);
        done_.push_back({Kind::Moved, from, to});
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
        TellMoveFailed(undo_, from, to, why);
        const std::vector<Done> done = std::move(done_);
        done_.clear();
        for (auto step = done.rbegin(); step != done.rend(); ++step) {
            if (step->kind == Kind::Moved)
                MoveWithoutReplacing(step->to, step->path);
            else if (step->kind == Kind::Made)
                RemoveFolderIfEmpty(step->path);
            else
                CreateDirectoryW(LongPathForm(step->path).c_str(), nullptr);
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
    MergeSteps steps(true);
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
        moved.push_back(file);
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
    // Outcome::Leaves: what the user is told, under which kind.
    std::wstring leaveKind, leaveText;
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
    // on the leaving records' worker, never while the undo holds the UI
    // thread.
    std::vector<KeptCopy> replaced;
    for (const std::wstring& file : stayed) {
        text += L"\n“" + file + L"”";
        std::erase(merged.files, file);
        record.mergedIdentities.erase(file);
        if (!record.replacedCopy.empty() && IsOwnFile(Under(record.replacedCopy, file)))
            replaced.push_back({Under(record.replacedCopy, file), GetPathFileName(file)});
    }
    for (const std::wstring& name : LetKeptCopiesLeave(step.owner, replaced))
        text += L"\n被放入的项目替换掉的“" + name +
                L"”旧版本将移到回收站；回收站不接收时，它会放到收纳盒的文件夹中，并另行告诉你位置。";
    NotifyUser(L"undo-other-item", text);
    return Outcome::Done;
}

// Moves an item that a failed step moved away back to its place; the user
// hears where it is should that fail too.
bool MoveBack(bool undo, const std::wstring& from, const std::wstring& to)
{
    if (MoveWithoutReplacing(from, to) != MoveResult::Failed)
        return true;
    NotifyUser(L"undo-move", std::wstring(undo ? L"撤销" : L"重做") + L"没有完成，“" + GetPathFileName(to) +
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
    const std::wstring away = movedIn ? record.extra : TempCopyPath(record.path);
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
    const BoxFolderGuard guard = GuardOfBoxFolders();
    BoxFolderNames names;
    for (const std::wstring& path : taken)
        if (!path.empty() && path != L"bvn!NULL")
            names.Add(path, guard.BoxFolder(FullPathOf(path)));
    if (names.Empty())
        return false;
    NotifyUser(L"undo-box-folder", names.Text(step.undo ? L"撤销" : L"重做") +
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

bool HomeUnseen(const UndoRecord& record)
{
    const std::wstring folder = FolderOf(record.extra);
    if (folder.empty())
        return false;
    const std::wstring why = PutBack::HiddenHomeWhy(folder, PutBack::HomeFactsOf(folder, PutBackPlaces()));
    if (why.empty())
        return false;
    NotifyUser(L"undo-move", L"无法撤销：“" + GetPathFileName(record.path) + L"”没有移回，" + why +
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
        NotifyUser(L"undo-move", L"无法撤销：“" + GetPathFileName(record.path) + L"”没有移回。" + where +
                                     PutBack::WayRefusedText(way) + L"。\n它仍在收纳盒中，这条撤销记录已保留。");
    else
        NotifyUser(L"undo-move",
                   L"无法重做：“" + GetPathFileName(record.extra) + L"”没有移入收纳盒。" + where +
                       (way.unchecked ? L"系统无法确认“" + way.at + L"”不是指向其他位置的链接"
                                      : L"“" + way.at + L"”现在是指向其他位置的链接（符号链接或目录联接）") +
                       L"，那里的项目可能不是当初放入的。\n它仍在原处，这条重做记录已保留。");
    return true;
}

// Reverses (undo) or repeats (redo) the record on disk and in the view.
Outcome Apply(Step& step, UndoRecord& record)
{
    KelmIconManager& view = s_boxIconManagers[step.box];
    // A created item that came from elsewhere goes back there, not to the
    // temporary folder.
    const bool movedIn = record.kind == 0 && !record.extra.empty() && record.extra != L"bvn!NULL";
    if (KeepsBoxFolders(step, record, movedIn))
        return Outcome::Refused;
    if (step.undo && movedIn && HomeUnseen(record))
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
            return done(move(record.tempPath, record.path));
        }
        switch (RecycleAgain(record, step.owner)) {
        case RecycleOutcome::Recycled:
        case RecycleOutcome::Deleted:
            return Outcome::Done;
        case RecycleOutcome::Declined:
            // The user answered No, or part of the item was deleted for
            // good (told already): nothing more moves, the record stays.
            return Outcome::Refused;
        case RecycleOutcome::Refused:
            NotifyUser(L"redo-recycle",
                       L"无法重做：“" + GetPathFileName(record.path) + L"”无法移动到回收站，它仍在原处，没有被删除。");
            return Outcome::Refused;
        }
        return Outcome::Refused;
    case 2:
        return done(step.undo ? move(record.tempPath, record.path) : move(record.path, record.tempPath));
    case 3:
        if (step.undo)
            view.RemoveByPath(record.path);
        else
            AddRecordBack(step, record);
        return Outcome::Done;
    case 4:
        if (step.undo)
            AddRecordBack(step, record);
        else
            view.RemoveByPath(record.path);
        return Outcome::Done;
    case 5:
        view.SetAliasByPath(record.path, step.undo ? record.tempPath : record.extra);
        return Outcome::Done;
    default:
        return Outcome::Done;
    }
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
    Step step{undo, box, record.owner ? record.owner : target, L"", L"", L""};
    const BoxRuntime* ownerRuntime = FindBoxRuntime(step.owner);
    if (step.owner != box && ownerRuntime)
        step.header = ownerRuntime->title;
    Outcome outcome;
    {
        // The shell may ask (a redo of a recycle): nothing changes the
        // lists while it does.
        BoxQuestionScope askingBox(box);
        BoxQuestionScope askingTarget(target);
        outcome = Apply(step, record);
    }
    if (outcome == Outcome::Refused)
        return;
    targetRuntime = FindBoxRuntime(target);
    if (!targetRuntime)
        return;
    std::vector<UndoRecord>& done = undo ? targetRuntime->undoList : targetRuntime->redoList;
    if (!done.empty())
        done.pop_back();
    if (outcome == Outcome::Leaves) {
        // The lists are changed first: the shell may ask while the record
        // leaves.
        LetRefusedRecordLeave(target, undo, record, step);
        return;
    }
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
