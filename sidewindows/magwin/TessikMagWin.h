// The magnet access window: a small topmost tool window that docks beside
// every system Open or Save dialog while one is on screen (found by a
// 100 ms poll of the top-level windows), lists the boxes and fills the
// dialog with a box folder or one of its files. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

namespace TessikMagWin
{

// true (re)creates the magnet window, false closes it.
void SwitchMagWin(bool enable);
// Rebuilds the box rows from the stores and the open boxes.
void RefreshContent();

// The poll of timer 1001.
void CALLBACK TrackFileDialog(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
void BuildMagWinContent(HWND hwnd, ID2D1HwndRenderTarget* target);

} // namespace TessikMagWin
