// The process-wide UI scale factor. Layout is in device-independent units
// (DIPs) multiplied by DpiScale where it meets pixels (hit tests, window
// sizes, region radii).
#pragma once

#include <string>

// 1.0 = 96 DPI. Written once at start-up; a change of the system scale is
// handled by restarting the program, never by updating this value.
extern double DpiScale;

struct DpiSnap {
    double scale;
    // Diagnostic label: "100%", "150%" ... or "fallback: 104.167%".
    std::wstring label;
};

// Pure rule: 48..240 in steps of 24 snap to 0.5..2.5 in steps of 0.25; any
// other DPI gives DPI / 96.
DpiSnap SnapDpi(int dpi);

// Reads LOGPIXELSX of the desktop, prints the label to standard output and
// returns the snapped scale. Does not write DpiScale: the caller does.
double GetDpiScale();
