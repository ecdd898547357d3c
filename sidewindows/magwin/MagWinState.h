// The magnet window's process-wide state: its two windows, the rows, the
// drag and scroll of the list, the dialog it docks beside and the icon
// window's content. UI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "box/icons/KelmIconManager.h"

class KelmWindow;

namespace TessikMagWin
{

class ContainerListItem;

extern std::shared_ptr<KelmWindow> s_magWindow;
extern std::shared_ptr<KelmWindow> s_magIconWindow;
// The box rows in display order.
extern std::vector<std::shared_ptr<ContainerListItem>> s_magRows;
// Index of the dragged row, -1 while none is.
extern int s_magDragIndex;
// Cursor y minus the row's y at the press that started the drag.
extern float s_magGrabOffset;
// Whole DIPs, never below 0.
extern float s_magScrollOffset;
extern HWND s_foundDialog;
// The dialog rectangle at the last docking; all zero when none is shown.
extern RECT s_cachedDialogRect;

extern TessikDesktopContainer::KelmIconManager s_magIconManager;
// The "筛选类别" switch; on at every start, not stored.
extern bool s_magFilterEnabled;
// The switch is on and the dialog's filter gave at least one pattern.
extern bool s_magFilterActive;
extern std::vector<std::wstring> s_magFilterPatterns;
extern float s_magIconScroll;

// A window object whose Win32 window still exists.
bool IsLive(const std::shared_ptr<KelmWindow>& window);
HWND MagHwnd();
void RepaintMagWindow();
double Scale();
// The dragged row follows the cursor (screen pixels) and takes the slot it
// reaches (the paint, and the release before the order is stored).
void FollowDraggedRow(POINT cursor);

} // namespace TessikMagWin
