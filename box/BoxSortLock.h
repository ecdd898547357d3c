// The box's sort modes (0 free, 1 name ascending, 2 name descending, 3 time
// ascending, 4 time descending) and its lock, which takes the sizing frame
// away and rounds the corners. The layout sorts at the next paint; these
// only store and repaint. UI thread only.
#pragma once

#include <windows.h>

#include "box/BoxRuntime.h"

namespace TessikDesktopContainer
{

void SetSortFree(const BoxWindowPtr& box);
void SetSortNameAscending(const BoxWindowPtr& box);
void SetSortNameDescending(const BoxWindowPtr& box);
void SetSortTimeAscending(const BoxWindowPtr& box);
void SetSortTimeDescending(const BoxWindowPtr& box);
// Stores "SortMode" (0..4), saves and repaints.
void SetBoxSortMode(const BoxWindowPtr& box, int mode);

void LockBox(const BoxWindowPtr& box);
void UnlockBox(const BoxWindowPtr& box);

// The caption and sizing frame that a locked or embedded box goes without.
constexpr LONG_PTR kBoxFrameStyles = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

// The rounded window region of a box: radius k DIPs, rounded up to whole
// device pixels per DIP, over the client area.
HRGN BoxRoundRegion(HWND window, int radius);
// Sets the window manager's corner preference to small rounding.
void SetSmallCornerPreference(HWND window);

} // namespace TessikDesktopContainer
