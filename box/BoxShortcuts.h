// The keyboard of the foreground box, polled on every paint of its icons:
// Ctrl+Z / Ctrl+Y (undo, redo), Ctrl+A, Ctrl+V, L, Esc, Ctrl+U, Del, Ctrl+C
// and Ctrl+X. Paste, delete and the group tag popup run from one-shot
// timers after the paint. The box window repaints on every key down and up,
// so a press is seen at once. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "box/BoxRuntime.h"

namespace TessikDesktopContainer
{
class KelmIconManager;
}

// What the shortcuts read of the system; tests replace it.
struct BoxShortcutInput {
    // The key is down now (GetAsyncKeyState's high bit).
    std::function<bool(int virtualKey)> keyDown;
    std::function<HWND()> foreground;
    // The pause after a shortcut without a latch, which throttles it while
    // its keys are held.
    std::function<void()> pause;
};
extern BoxShortcutInput s_boxShortcutInput;

// Undo and redo of the file operations (box window, target box):
// UndoLastFileOperation and RedoLastFileOperation; replaceable in tests.
extern std::function<void(const BoxWindowPtr& box, const BoxWindowPtr& target)> s_undoFileOperationHook;
extern std::function<void(const BoxWindowPtr& box, const BoxWindowPtr& target)> s_redoFileOperationHook;

// The shortcuts of one paint of the box (the icon manager's keyboard hook).
void RunBoxShortcuts(TessikDesktopContainer::KelmIconManager& manager, const BoxWindowPtr& box);

// The manager whose ids the box's selection holds: the search view's while
// a search filters the box, else the one given.
TessikDesktopContainer::KelmIconManager& SelectionView(const BoxWindowPtr& box, const BoxRuntime& runtime,
                                                       TessikDesktopContainer::KelmIconManager& own);

// The paths of the selected records, ids ascending; trailing separators kept.
std::vector<std::wstring> SelectedPaths(const BoxRuntime& runtime, TessikDesktopContainer::KelmIconManager& view);

// Puts the paths on the clipboard as CF_HDROP; a cut adds "Preferred
// DropEffect" 2 (move). Nothing happens for an empty list.
void PutFilesOnClipboard(HWND owner, const std::vector<std::wstring>& paths, bool cut);
