// The paint of a box window: background by render style, the icons laid
// out by the box's icon manager, headers, empty-box hints, the search row,
// the rubber band, the title bar and its controls, the drop indicator and
// the scroll bar; it also carries the box's scrolling and pull-down search.
// Like every draw callback it rebuilds the panel, so input goes to the
// controls of the last paint. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include "box/BoxRuntime.h"

namespace TessikDesktopContainer
{

void BuildBoxContent(const BoxWindowPtr& box, HWND window, ID2D1HwndRenderTarget* target);

// The client pixels of the running job's card on the box that change with
// its progress, all inside the card's opaque face; false while the card is
// not fully shown there.
bool ProgressCardChangePixels(const BoxWindowPtr& box, RECT& pixels);

// The colour a box's paint starts from (the theme's), for a box shown
// before it can be drawn.
COLORREF BoxFaceColour();

} // namespace TessikDesktopContainer
