// The main window's draw callback: the frame (background, side column,
// caption and its glyphs), the side tabs, exactly one page, and on top the
// first-run pages or the support overlay. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

void MainWindowBuild(HWND window, ID2D1HwndRenderTarget* target);

// The tab click: selects the tab of that page and shows the page.
void SelectTab(const wchar_t* page);
