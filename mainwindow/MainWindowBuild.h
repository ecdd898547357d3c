// The main window's draw callback. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

// Builds the main window's controls on the first paint and draws the
// current page. Minimal for now: the theme background and the name.
void MainWindowBuild(HWND window, ID2D1HwndRenderTarget* target);
