// Files brought into the selected component from the quick panel: pasted
// from the clipboard's file list or dropped. Into a folder-backed target
// they are copied (paste, or drop with Ctrl) or moved (drop) under a free
// name, "a (1).txt" beside an existing "a.txt"; otherwise they become
// mapped entries. A desktop box takes them on its own roads, a hidden box's
// folder on a worker of its own, both off the UI thread. UI thread only.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/FolderRelation.h"

class BoxFolderGuard;
class DropOutcome;

namespace TessikQuickPanel
{

// What became of one item brought into a component's folder.
struct BroughtItem {
    // The path its record gets; empty when nothing arrived.
    std::wstring path;
    // DROPEFFECT_MOVE or _COPY for what was done, NONE when the item stayed
    // where it was (refused, failed, or already in the folder).
    DWORD effect = DROPEFFECT_NONE;
    // The folder itself or one that holds it: refused, since it would be
    // put inside itself.
    bool intoItself = false;
    // Another box's folder or one that holds it (or the system would not
    // tell): refused, since that box would lose its folder.
    FolderRelation boxFolder = FolderRelation::Unrelated;
    // Why nothing arrived (a system error code), 0 when unknown.
    DWORD error = 0;
    // Parts of the source that stayed where they were (links, entries in
    // use) although the item arrived.
    std::vector<std::wstring> leftBehind;
    // Why the first entry copied could not be removed from the source (0
    // when only links stayed).
    DWORD removalError = 0;
    // Something of it stands both at its source and in the folder;
    // otherwise what stayed is only at its source.
    bool keptTwice = false;
};

// Copies or moves the item (a folder with everything in it) into the
// folder under a free name; a moved source goes only once its copy is
// complete. An item that already lies in the folder stays where it is when
// keepOwn is set, else it is copied beside itself under a numbered name.
// guard knows the box folders and the folder (GuardOfBoxFolders(folder));
// without one, one is made for this item.
BroughtItem BringIntoFolder(const std::wstring& source, const std::wstring& folder, bool move, bool keepOwn,
                            const BoxFolderGuard* guard = nullptr);

// Inserts the items into the list the panel shows for a hidden box (or its
// own list when the selected box is not found) next to the record nearest
// to the point (DIP) and saves it; a desktop box takes nothing here, only
// on its own roads. Into a hidden box's folder the items are moved (move
// set) or copied on a worker, which hands them back in batches that become
// records in their order; the box is held meanwhile. A drop keeps a
// component's own files where they are; a paste copies them beside
// themselves. Tells the user what did not arrive. The outcome, when given,
// is finished with what was done: MOVE when anything left its place, else
// COPY when anything was copied, LINK when only records were made, NONE
// when nothing was taken. Records are made once their files were read off
// the UI thread, in the box and section they were dropped on, if the panel
// still shows it. Returns NONE; the outcome tells what was done.
enum class ItemsFrom { Clipboard, Drop };
DWORD AddItemsToComponent(const std::vector<std::wstring>& paths, ItemsFrom from, bool move, float x, float y,
                          const std::shared_ptr<DropOutcome>& outcome = nullptr);
// Whether items are still being brought into a hidden box's folder, or
// records of them still wait for their files to be read.
bool HiddenBoxJobRuns();

// The clipboard's file list (every path at its full length).
std::vector<std::wstring> ClipboardFilePaths(HWND owner);

// The clipboard's file list into the selected component, at the cursor
// (content from `left` to `w` DIP of the window). A desktop box takes it
// on the road of its own paste (plan, same-name question, worker, undo).
void PasteFilesToComponent(HWND window, float left, float w);
// Files dropped on the content area of the window (content from `left`
// to `w` DIP): moved into a folder target, copied with Ctrl held or when
// the drag's source allows no move. The drag's source hears what was done.
// A desktop box takes them on the road of a drop on it, and the panel's
// list follows its records as they land.
void OnQuickPanelFilesDropped(HWND window, float left, float w, const std::vector<std::wstring>& paths);
// Paste, and for a component with a folder: open it, or a command line in it.
void ShowQuickPanelContentMenu(HWND window, float left, float w);

} // namespace TessikQuickPanel
