// Taking back the last file operation of a box and doing it again: items
// move between their place and the temporary folder, records come and go,
// then the folder is read again, the records saved and the box repainted.
// UI thread only.
#pragma once

#include <memory>

class KelmWindow;

// box: the window that asked (its records are changed); target: the box
// whose lists are used, null for box itself. A move that cannot be done
// (the destination is taken, or the system refuses) leaves the record where
// it was and tells the user; nothing is ever overwritten.
void UndoLastFileOperation(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target);
void RedoLastFileOperation(const std::shared_ptr<KelmWindow>& box, const std::shared_ptr<KelmWindow>& target);
