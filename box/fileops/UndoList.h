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

// The list rule on its own: appends, trims to the limit and clears redo.
// Kept copies of dropped records are handed to discardCopy, but only those
// whose recycle was confirmed: an unconfirmed copy may be the only one.
void PushOnto(std::vector<UndoRecord>& undoList, std::vector<UndoRecord>& redoList, int limit, UndoRecord record,
              const std::function<void(const std::wstring&)>& discardCopy);

// A free name for a kept copy of path in folder (which ends with a
// separator): the file name, four random hexadecimal characters with at
// least one letter, ".tmp". Drawn again while the name is taken.
std::wstring TempCopyPathIn(const std::wstring& folder, const std::wstring& path,
                            const std::function<bool(const std::wstring&)>& taken);
// The same in the program's temporary folder, against the disk.
std::wstring TempCopyPath(const std::wstring& path);
