// Pushing undo records onto a box's lists, and the names of the copies kept
// for undo in the temporary folder. UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "box/fileops/UndoRecord.h"

class KelmWindow;

// Appends the record to the undo list of its owner (else of the box), drops
// the oldest record beyond the box's limit and empties the redo list.
void PushUndoRecord(const std::shared_ptr<KelmWindow>& box, UndoRecord record);

// What leaving the lists does to a record's kept copy. A copy is deleted
// only where another one is known to exist (a confirmed recycle); one that
// may be the only copy of the user's file goes to the Recycle Bin under its
// own name instead (an unconfirmed recycle, what "直接覆盖" replaced). An
// undone new item waits in the temporary folder as it was made and is left
// there.
struct KeptCopyFate {
    enum class Action { Keep, Delete, Recycle } action = Action::Keep;
    std::wstring copy;
};
// undone: the record leaves the redo list (its operation is taken back).
KeptCopyFate FateOfKeptCopy(const UndoRecord& record, bool undone);

// The list rule on its own: appends, trims to the limit and clears redo;
// every record that leaves is handed to discard with whether it was undone.
void PushOnto(std::vector<UndoRecord>& undoList, std::vector<UndoRecord>& redoList, int limit, UndoRecord record,
              const std::function<void(const UndoRecord&, bool undone)>& discard);

// Sends a kept copy to the Recycle Bin under the name of the item it keeps
// (name), so the user finds it there; false when it stays in the temporary
// folder.
bool RecycleKeptCopy(const std::wstring& copy, const std::wstring& name);

// A free name for a kept copy of path in folder (which ends with a
// separator): the file name, four random hexadecimal characters with at
// least one letter, ".tmp". Drawn again while the name is taken.
std::wstring TempCopyPathIn(const std::wstring& folder, const std::wstring& path,
                            const std::function<bool(const std::wstring&)>& taken);
// The same in the program's temporary folder, against the disk.
std::wstring TempCopyPath(const std::wstring& path);
