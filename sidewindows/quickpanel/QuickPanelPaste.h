// Files brought into the selected component from the quick panel: pasted
// from the clipboard's file list or dropped. Into a folder-backed target
// they are copied (paste, or drop with Ctrl) or moved (drop) under a free
// name, "a (1).txt" beside an existing "a.txt"; otherwise they become
// mapped entries. UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace TessikQuickPanel
{

// Copies or moves the item (a folder with everything in it) into the
// folder under a free name; a moved source goes only once its copy is
// complete. The destination, or empty when nothing arrived.
std::wstring PutItemIntoFolder(const std::wstring& source, const std::wstring& folder, bool move);

// Inserts the items into the selected component next to the record
// nearest to the point (DIP) and saves the component.
void AddItemsToComponent(const std::vector<std::wstring>& paths, bool move, float x, float y);

// The clipboard's file list into the selected component, at the cursor
// (content from `left` to `w` DIP of the window).
void PasteFilesToComponent(HWND window, float left, float w);
// Files dropped on the content area of the window (content from `left`
// to `w` DIP): moved into a folder target, copied with Ctrl held.
void OnQuickPanelFilesDropped(HWND window, float left, float w, const std::vector<std::wstring>& paths);
// Paste, and for a component with a folder: open it, or a command line in it.
void ShowQuickPanelContentMenu(HWND window, float left, float w);

} // namespace TessikQuickPanel
