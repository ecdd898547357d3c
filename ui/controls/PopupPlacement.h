// Where the modal popups open: their size from the owner's width and the
// DPI factor, centred on the owner, then pulled inside the screen. Pure
// rules; the popups gather the rectangles with Win32 calls and pass them in.
#pragma once

#include <windows.h>

namespace PopupPlacement
{

// Input box: 300..600 DIPs wide, following the owner, 160 high, clamped
// into the monitor's work area.
RECT EditBoxRect(const RECT& reference, const RECT& workArea, double d);
// Tip: at least 320 pixels wide (unscaled), 200 DIPs high, clamped into
// the work area.
RECT TipRect(const RECT& reference, const RECT& workArea, double d);
// Choose-one popup: at least 400 pixels wide (unscaled), 260 DIPs high,
// clamped into the primary screen, keeping 40 pixels free at its bottom
// for the taskbar.
RECT SelectionRect(const RECT& reference, int screenW, int screenH, double d);

// Moves x, y so that a w x h rectangle lies within the area: first onto
// the left and top edges, then back from the right and bottom ones.
POINT ClampIntoArea(int x, int y, int w, int h, const RECT& area);
// The other order: first back from the right and bottom edges, then onto
// the left and top ones, so a rectangle larger than the area keeps its
// top-left corner (and its title) inside it.
POINT ClampIntoAreaTopLeftWins(int x, int y, int w, int h, const RECT& area);

} // namespace PopupPlacement
