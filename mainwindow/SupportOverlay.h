// The support overlay: the tab "支持" blurs the main window and slides a
// sheet up with a thank-you page and the sponsorship button; the back
// glyph slides it away again. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

namespace Brevin
{
class D2DBrevinPanel;
}

void OpenSupportOverlay();
void CloseSupportOverlay();

// Blurs the whole client (blur passes: the blur amount / 10) and adds the
// barrier that keeps the page below from taking clicks; the first-run pages
// use it too. w, h: client in DIPs.
void DrawOverlayBackdrop(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, float w, float h,
                         float blurAmount);
// The sheet at the current slide amount, with its back glyph.
void DrawSupportSheet(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, float w, float h);
// The sheet's content in the rectangle (x, y, w, h), clipped by the caller.
void ShowSupportPage(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, int x, int y, int w,
                     int h);
