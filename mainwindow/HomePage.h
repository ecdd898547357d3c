// The home page ("Tab1"): a greeting by the local hour with a small
// drawing, and the key hints of the quick panel and the help. Drawn
// immediately on every paint; it holds no controls. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include "mainwindow/MainWindowLayout.h"

// The small drawing of a greeting band, centred on (cx, cy), about 45 DIPs
// each way.
void DrawHomeIllustration(ID2D1RenderTarget* target, MainWindowLayout::Illustration illustration, float cx, float cy);

// tabWidth: the side column's width; w, h: the client in DIPs.
void DrawHomePage(HWND window, ID2D1HwndRenderTarget* target, int tabWidth, float w, float h);
