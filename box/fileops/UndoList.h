// Pushing undo records onto a box's lists, letting go of what the records
// that leave kept (on a worker, one job at a time), and the names of the
// copies kept for undo in the temporary folder. UI thread only, but where
// a function says otherwise.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CommonHelpers.h"
#include "box/fileops/UndoRecord.h"

class KelmWindow;
struct LeaveReport;

// Appends the record to the undo list of its owner (else of the box), drops
// the oldest record beyond the box's limit and empties the redo list. What
// the records that leave held is let go of once the lists are changed, off
// the UI thread, one job at a time (RecordsLeaving); where something came
// back into view the user is told.
void PushUndoRecord(const std::shared_ptr<KelmWindow>& box, UndoRecord record);

// The same for a batch of records in the order they happened (a drop's
// finished files): every record is pushed, then the records that left the
// lists on the way (the oldest ones and the redo list) let go of their kept
// copies together, in one Recycle Bin operation off the UI thread. The
// lists end with the batch's last records; what the bin does not take
// comes into view afterwards and the user is told. UI thread only.
void PushUndoRecords(const std::shared_ptr<KelmWindow>& box, std::vector<UndoRecord> records);

// A kept copy was put back where its item stood: the records that knew
// the item by its identity (a drop that brought it, a merged folder's
// files) know the copy as that item from now on, as it is the program's
// own copy of it, not another item saved over it. UI thread only.
void CarryIdentityToPutBackCopy(const ItemIdentity& item, const ItemIdentity& copy);

// Whether copies of records that left are still on their way to the
// Recycle Bin or into view. UI thread only.
bool RecordsLeaving();
// Waits until every copy of the records that left has gone, answering
// meanwhile what other threads send (a shell question owned by a box needs
// its owner to answer) and painting every window; input waits until the
// wait is over, and no box's shortcuts, undo or redo run meanwhile. What
// came into view is returned, not told. For a box that is deleted and for
// the program's end. UI thread only.
LeaveReport FinishLeavingRecords();

// What leaving the lists does to a record's kept copy. A copy is deleted
// only where another one is known to exist (a confirmed recycle); one that
// may be the only copy of the user's file goes to the Recycle Bin under its
// own name instead (an unconfirmed recycle, what "直接覆盖" replaced). An
// undone new item waits in the temporary folder: it may go while it still
// looks as it was made (DeleteIfAsMade), else it is the user's.
struct KeptCopyFate {
    enum class Action { Keep, Delete, Recycle, DeleteIfAsMade } action = Action::Keep;
    std::wstring copy;
};
// undone: the record leaves the redo list (its operation is taken back).
KeptCopyFate FateOfKeptCopy(const UndoRecord& record, bool undone);
// The undone new item itself (DeleteIfAsMade), else Keep.
KeptCopyFate FateOfUndoneItem(const UndoRecord& record, bool undone);

// The list rule on its own: appends, trims to the limit and clears redo;
// every record that leaves is handed to discard with whether it was undone,
// after the lists are changed: discard may ask the user, and whatever runs
// meanwhile finds the lists as they now stand.
void PushOnto(std::vector<UndoRecord>& undoList, std::vector<UndoRecord>& redoList, int limit, UndoRecord record,
              const std::function<void(const UndoRecord&, bool undone)>& discard);

// Any thread: the copy kept for undo of an item that stays in its place but
// lost part of what it held for good (a folder the shell deleted half way)
// is the only whole version: it comes out beside the item, where its box
// shows it, under a name that says what it is. Where it went; empty when
// it stayed where it was. PartlyDeletedText tells the user.
std::wstring BringCopyBesideItem(const std::wstring& copy, const std::wstring& item);
std::wstring PartlyDeletedText(const std::wstring& item, const std::wstring& copy, const std::wstring& beside);

// Sends a kept copy to the Recycle Bin under the name of the item it keeps
// (name), so the user finds it there. Where the bin does not take it the
// copy is still at its own path in the temporary folder.
RecycleOutcome RecycleKeptCopy(const std::wstring& copy, const std::wstring& name, HWND owner = nullptr);
// Several kept copies in one operation of the shell (one question at most
// for them all); each copy's outcome in the order given. Any thread.
struct KeptCopy {
    std::wstring copy, name;
};
std::vector<RecycleOutcome> RecycleKeptCopies(const std::vector<KeptCopy>& copies, HWND owner = nullptr);

// Where the copies of leaving records went that the Recycle Bin did not
// take: each item's name and where it is now (still in the temporary
// folder when it could not be brought into view either).
struct LeaveReport {
    struct Placed {
        std::wstring name, at;
    };
    std::vector<Placed> inView;
    std::vector<Placed> stuck;
    // Names of what went to the Recycle Bin (not told when a record leaves:
    // the bin is where it was meant to go).
    std::vector<std::wstring> recycled;
    bool Empty() const { return inView.empty() && stuck.empty(); }
};
// The text telling the user where the copies are; empty when nothing is
// to tell.
std::wstring LeaveReportText(const LeaveReport& report);

// A record leaves the lists of box for good on its own (one that can never
// be done): what it holds that may be the only version of the user's file
// goes to the Recycle Bin the way the copies of pushed-out records go, off
// the UI thread, one job at a time; what the bin does not take (refused,
// or the user answered No) is moved into view (ViewFolderFor) under a free
// name that says what it is, and the user is told. Returns the names of
// the items whose copies are on their way to the bin. UI thread only.
std::vector<std::wstring> LetRecordLeave(const std::shared_ptr<KelmWindow>& box, const UndoRecord& record, bool undone);

// Kept copies that no record will bring back (name: the item's own) go the
// way a leaving record's copies go: to the Recycle Bin on the worker, else
// into view (ViewFolderFor box), told when it happens. Returns the names of
// those on their way. UI thread only.
std::vector<std::wstring> LetKeptCopiesLeave(const std::shared_ptr<KelmWindow>& box,
                                             const std::vector<KeptCopy>& copies);

// Several kept copies (name: the item's own) go to the Recycle Bin at
// once, in one operation of the shell, or into view (ViewFolderFor box;
// the boxes' folder without a box) where the bin does not take them. UI
// thread only; the caller waits for the shell.
void LetKeptCopiesGo(const std::shared_ptr<KelmWindow>& box, const std::vector<KeptCopy>& copies, LeaveReport& report);

// The box's folder while it is on disk, else the folder the user chose for
// the boxes: where a copy the bin did not take comes back into view.
std::wstring ViewFolderFor(const std::shared_ptr<KelmWindow>& box);

// Both lists of the box are emptied first, then what every record holds
// goes at once, as a leaving record's does. For a box that is deleted and
// for the program's end.
LeaveReport EmptyUndoLists(const std::shared_ptr<KelmWindow>& box);
// The same for every box, at the program's end.
LeaveReport EmptyEveryUndoList();

// While a question of the shell about a box's records is open, the box's
// own shortcuts and its undo and redo do nothing: the question runs a
// message loop, and the lists must not change under it.
class BoxQuestionScope
{
public:
    explicit BoxQuestionScope(std::shared_ptr<KelmWindow> box);
    ~BoxQuestionScope();
    BoxQuestionScope(const BoxQuestionScope&) = delete;
    BoxQuestionScope& operator=(const BoxQuestionScope&) = delete;

private:
    std::shared_ptr<KelmWindow> box_;
};
bool BoxQuestionOpen(const std::shared_ptr<KelmWindow>& box);

// A free name for a kept copy of path in folder (which ends with a
// separator): the file name, four random hexadecimal characters with at
// least one letter, ".tmp". Drawn again while the name is taken.
std::wstring TempCopyPathIn(const std::wstring& folder, const std::wstring& path,
                            const std::function<bool(const std::wstring&)>& taken);
// The same in the program's temporary folder, against the disk.
std::wstring TempCopyPath(const std::wstring& path);
// Items recycled in one operation of the shell, each witnessed in the
// program's temporary folder: only a recycle proven there lets a copy kept
// for undo be deleted later.
std::vector<WitnessedRecycle> RecycleWitnessedBesideCopies(const std::vector<std::wstring>& paths, HWND owner);
