// Hit tests of DIP rectangles against pixel points, scaled by DpiScale.
#pragma once

#include <windows.h>

// PtInRect of (trunc(x*s), trunc(y*s), trunc((x+w)*s), trunc((y+h)*s)), s = DpiScale.
bool HitTestScaled(const POINT* point, int x, int y, int w, int h);
// The same, also giving the pixel rectangle.
bool HitTestScaledRect(const POINT* point, int x, int y, int w, int h, RECT* pixels);
// Whether the pointer, where it was at the thread's last message, lies in
// the rectangle (DIPs of the window's client area). UI thread.
bool HitTestCursor(HWND window, int x, int y, int w, int h);
// A drag's release went somewhere this thread will not hear of: the left
// button is up and no button message waits in this thread's queue. On a
// busy machine the button is up before the queued release is handled; that
// release still ends the drag, where the button went up. UI thread.
bool LeftButtonReleaseMissed();
