// Helpers of the window tests: bounded message pumping, pixel read-back
// and the icon font written out of the test executable's resources.
#pragma once

#include <windows.h>

#include <string>

// Dispatches the thread's messages for the given time (never longer).
void PumpMessages(DWORD milliseconds);
// Forces a paint now and pumps briefly.
void PaintNow(HWND window);
// The colour of a client pixel as painted on screen (GDI read of the window).
COLORREF ReadClientPixel(HWND window, int x, int y);
// Writes resource 111 ("BINARY") to a temporary file; empty on failure.
std::wstring WriteIconFontToTemp();
