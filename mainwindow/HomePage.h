// The home page ("Tab1"): a greeting by the local hour with a small
// drawing, and the key hints of the quick panel and the help. Drawn
// immediately on every paint; it holds no controls. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

// tabWidth: the side column's width; w, h: the client in DIPs.
void DrawHomePage(HWND window, ID2D1HwndRenderTarget* target, int tabWidth, float w, float h);
