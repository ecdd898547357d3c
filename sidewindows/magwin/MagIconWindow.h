// The icon window under the magnet window: the files of one box; a click
// on one fills the open file dialog with it. A switch limits the icons to
// the dialog's current file types. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <memory>
#include <string>

class KelmWindow;

namespace TessikMagWin
{

// Shows the icon window and fills it with the box's files: a desktop box by
// its window (id and folder empty), a hidden box by its id and folder.
void UpdateIconWindow(std::shared_ptr<KelmWindow> box, bool hidden, const std::wstring& id, const std::wstring& folder);
void BuildIconWindowContent(HWND hwnd, ID2D1HwndRenderTarget* target);
// Forgets the icons (a new list, switching off).
void ClearIconWindowEntries();
// A deleted box: when the icon window shows it, its icons go and the
// window hides.
void ForgetShownBox(const std::shared_ptr<KelmWindow>& box);

} // namespace TessikMagWin
