// The window that shows every box on a scaled picture of the screens and
// moves and resizes them all at once. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "box/BoxRuntime.h"

// One shown box and the rectangle (screen pixels) it gets on "应用".
struct BoxOverviewItem {
    BoxWindowPtr box;
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// The items of the last opened overview, in display order.
extern std::vector<std::shared_ptr<BoxOverviewItem>> s_boxOverviewItems;

// The picture's geometry as pure rules. Cells are (column, row) pairs of
// screen-sized rectangles.
namespace BoxOverviewLayout
{

using Cell = std::pair<int32_t, int32_t>;

// The screen cell that holds the centre of a rectangle (halves rounded
// down as integers, cells counted from the floor).
Cell CellOf(int x, int y, int width, int height, int screenWidth, int screenHeight);

struct Bounds {
    int minX, minY, maxX, maxY;
};
// The cells' outline, never smaller than the primary screen at (0, 0).
Bounds CellBounds(const std::set<Cell>& cells, int screenWidth, int screenHeight);

struct Fit {
    double scale = 1.0;
    double offX = 0.0, offY = 0.0;
};
// Scale and offsets that centre the bounds in a client of w x h DIPs, less
// the margins and the button row; `previous` when the bounds are empty.
Fit FitBounds(const Bounds& bounds, double w, double h, const Fit& previous);

struct Rect {
    int x, y, w, h;
};
// Screen pixels to the picture (DIPs) and back, truncated.
Rect ToPicture(const Rect& screen, const Bounds& bounds, const Fit& fit);
Rect ToScreen(const Rect& picture, const Bounds& bounds, const Fit& fit);

} // namespace BoxOverviewLayout

// Opens the overview, closing an open one first.
void OpenBoxOverview();
// The overview's draw callback.
void BuildBoxOverview(HWND window, ID2D1HwndRenderTarget* target);
// "应用": moves every box still there to its item's rectangle and stores
// "x", "y", "cx", "cy"; the overview stays open.
void ApplyBoxOverviewLayout();
// The overview window while it is open, else null.
HWND BoxOverviewWindow();
