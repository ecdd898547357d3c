// The picture of the desktop (wallpaper and icons) that boxes in the
// compatibility layer draw behind themselves. Replaced on every capture
// (message 4084). UI thread only.
#pragma once

#include <windows.h>

// Memory DC holding the last capture; null before the first one. Owned
// here: readers must not delete it or select other objects into it.
extern HDC s_desktopCaptureDC;

// Captures the desktop as "compatLayerMode" says (0 wallpaper, 1 the
// desktop's icon window, other values blank) and repaints the boxes. A
// wallpaper query that fails keeps the previous capture.
void CaptureDesktop(HWND window);

// The window that holds the desktop icons, or null when the system has none.
HWND FindDesktopIconHost();
