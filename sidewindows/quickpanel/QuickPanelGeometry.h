// The quick panel's geometry as pure functions of rectangles and the DPI
// factor: the panel's rectangle at opening, the rectangle remembered at
// closing, the separate content window's place and the sidebar rows'
// slots. Pixels unless a name says DIP; no window is touched.
#pragma once

#include <windows.h>

#include "sidewindows/quickpanel/QuickPanelState.h"

namespace TessikQuickPanel
{

struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const PixelRect&) const = default;
};

struct PanelOpening {
    PixelRect rect;
    // Centre on the primary screen instead of using the position.
    bool centre = true;
    bool operator==(const PanelOpening&) const = default;
};

// The remembered rectangle when valid, else 850 x 550 DIP at (100, 100).
// A separate, tall panel opens as the 200 DIP sidebar only: the remembered
// width is that of the joined layout. A remembered rectangle at x <= 1
// that is at most 100 pixels high gives the size but is centred.
PanelOpening PanelRectForOpening(const RememberedRect& remembered, bool separate, double dpi);

// What closing (or WM_CLOSE) remembers of the panel's window rectangle.
// In separate mode with a panel at least 100 DIP high the width kept is the
// joined layout's: 200 + 20 DIP plus the content window's width when there
// is one (contentWidth > 0), else the width remembered before.
RememberedRect RememberPanelRect(const RECT& panel, bool separate, int contentWidth, const RememberedRect& previous,
                                 double dpi);

// A panel lower than 100 DIP is a horizontal strip.
bool IsTallPanel(int heightPixels, double dpi);

// The separate content window: beside a tall panel (rememberedWidth - 220
// DIP wide, as high as the panel, 15 DIP to its right or, when its middle
// would pass the work area's right edge, to its left), or 400 DIP high
// below a strip (20 DIP below, or above when its middle would pass the
// work area's bottom).
PixelRect ContentWindowRect(const RECT& panel, const RECT& workArea, int rememberedWidth, double dpi);

// One sidebar row's target (DIP) for row i of n in a panel w x h DIP.
struct RowSlot {
    float x = 0, y = 0;
    int width = 0;
    bool operator==(const RowSlot&) const = default;
};
RowSlot SidebarRowSlot(int i, int n, float w, float h, bool strip, bool separate);

// A quarter of the remaining distance per paint, snapping within 0.5.
float StepTowards(float current, float target);

// The slot a dragged row reaches: the index j (other than `from`) whose
// slot lies within half a slot of the row's position along the list axis,
// or -1.
int DragSwapIndex(int from, float position, int n, float w, float h, bool strip, bool separate);

} // namespace TessikQuickPanel
