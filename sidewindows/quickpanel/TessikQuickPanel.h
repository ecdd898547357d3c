// The quick panel: the topmost sidebar that hotkey 1001 opens and closes.
// Three framework windows stand in the box registry under pseudo ids: the
// panel ("QUICK_PANEL_ROOT"), a hidden dummy that owns the icons of a
// hidden box's physical section ("QUICK_PANEL_PHYS") and, in separate
// mode, the content window ("QUICK_PANEL_CONTENT"). UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

namespace TessikQuickPanel
{

// true builds and shows the panel (first cleaning up what a panel closed
// by the system, e.g. Alt+F4, left behind); false remembers its rectangle
// and destroys the three windows.
void SwitchQuickPanel(bool open);
// The panel window exists: the hotkey closes it, else opens it.
bool IsQuickPanelOpen();

// The panel's draw callback.
void BuildQuickPanelWindow(HWND hwnd, ID2D1HwndRenderTarget* target);
// The panel's fallback message handler: remembers the rectangle on WM_CLOSE.
LRESULT QuickPanelWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Run by the framework on every position change of the panel: keeps the
// pin (topmost) or lets the panel go behind other windows.
void QuickPanelPositionChanged(const HWND& hwnd);
void QuickPanelOnCreated();
void QuickPanelContentOnCreated();
// "test-separate": content view in a window of its own, or beside the list.
void ToggleSeparateContent();
// The separate content window's draw callback.
void RenderQuickPanelContentWindow(HWND hwnd, ID2D1HwndRenderTarget* target);
// Timer 10086 of the window that shows the content: one repaint.
void QuickPanelRepaintTimerProc(HWND hwnd);
// Separate-content mode: places the content window beside the panel and
// shows the selection in it.
void ShowContentForSelection();
void HideContentWindow();
// The cursor in the window's client area, in DIP.
POINT CursorInDips(HWND hwnd);

} // namespace TessikQuickPanel
