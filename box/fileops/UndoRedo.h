// Taking back the last file operation of a box and doing it again: items
// move between their place and the temporary folder, records come and go,
// then the folder is read again, the records saved and the box repainted.
// UI thread only.
#pragma once

#include <memory>
#include <map>
#include <string>
#include <vector>

#include "box/fileops/UndoRecord.h"

class KelmWindow;

// box: the window that asked (its records are changed); target: the box
// whose lists are used, null for box itself. A move that cannot be done
// (the destination is taken, or the system refuses) leaves the record where
// it was and tells the user, every time; nothing is ever overwritten. A new
// item that was changed since it was made (its stamp differs) is not taken
// away: undo refuses and tells the user. A record that can never be done
// (the item was replaced since, or the kept copy it must put back is gone)
// leaves the lists the way a trimmed one does, and the user is told, so
// that older records can be reached.
void UndoLastFileOperation(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target);
void RedoLastFileOperation(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target);

// The stamp of the item at path as it is now.
ItemStamp StampItem(const std::wstring& path);
// Any thread. The identity of the entry at path itself (a link is not
// followed); unknown when it cannot be opened.
ItemIdentity IdentifyItem(const std::wstring& path);
// Any thread. The identity of each file under root, by its relative path.
std::map<std::wstring, ItemIdentity> IdentifyEntries(const std::wstring& root,
                                                     const std::vector<std::wstring>& relatives);
