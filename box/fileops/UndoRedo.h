// Taking back the last file operation of a box and doing it again: items
// move between their place and the temporary folder on a file job's
// worker, with the progress card, then records come and go, the records of
// the entries that moved follow them, the store is saved and the box
// repainted on the UI thread. UI thread only, apart from that worker.
#pragma once

#include <functional>
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
// A step that moves anything on disk runs as a file job: it returns at
// once, holds its boxes until its record has landed, refuses while another
// job runs (the user is told), and a quit stops it only between two files,
// taking back what it moved. A step of records only is done at once.
void UndoLastFileOperation(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target);
void RedoLastFileOperation(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target);
// Runs on the worker of a step before it touches the disk. Tests set it.
extern std::function<void()> s_undoStepStarts;
// Runs on the worker after each file an undo or redo of a merged folder
// moved. Tests set it.
extern std::function<void()> s_mergedFileMoved;

// The stamp of the item at path as it is now.
ItemStamp StampItem(const std::wstring& path);
// Any thread. The identity of the entry at path itself (a link is not
// followed); unknown when it cannot be opened.
ItemIdentity IdentifyItem(const std::wstring& path);
// Any thread. The identity of each file under root, by its relative path.
std::map<std::wstring, ItemIdentity> IdentifyEntries(const std::wstring& root,
                                                     const std::vector<std::wstring>& relatives);
