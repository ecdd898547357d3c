// The arithmetic of box motion, kept free of windows so it can be tested
// over tables: snapping to the edges of other boxes, how far a box of the
// moved box's colour group follows, the expand direction near the bottom of
// the work area, and the stored top of a folded box.
#pragma once

#include <windows.h>

#include <vector>

namespace TessikDesktopContainer
{

// Title bar height in pixels (40 DIPs, truncated).
int BoxTitleBarHeight(double scale);

struct SnapOffset {
    int dx = 0;
    int dy = 0;
    bool moved() const { return dx != 0 || dy != 0; }
};

// The shift that puts an edge of `box` onto an edge of one of `targets`
// when one lies less than 5 pixels away; per axis the nearest wins, and of
// equal distances the first found (targets in order; per target: left onto
// left, left onto right, right onto left, right onto right).
SnapOffset SnapToEdges(const RECT& box, const std::vector<RECT>& targets);

// One run of a group move: the moved box and what the first box of the run
// did. All values in pixels.
struct GroupMove {
    RECT now{};     // the moved box's rectangle after its move
    int dxLeft = 0; // how far each of its edges moved
    int dyTop = 0;
    int dxRight = 0;
    int dyBottom = 0;
    int firstDyTop = 0; // the same for the box the user moved
    int firstDyBottom = 0;
    int firstHeight = 0; // that box's height now and as stored
    int firstStoredHeight = 0;
    double scale = 1.0;
    int groupAlgorithm = 0; // 1: boxes beside a box that shrinks stay
};

struct GroupShift {
    bool attached = false; // lay within the attach distance before the move
    int dx = 0;
    int dy = 0;
};

// How a box of the group at `other` follows the moved box: boxes above and
// below keep a 20 DIP gap, boxes beside move with the edge they touch.
GroupShift GroupNeighbourShift(const GroupMove& move, const RECT& other);

struct ExpandTurn {
    bool upward = false;  // the new direction
    bool changed = false; // differs from the current one
    int top = 0;          // the window's top after the turn
};

// At the end of a move: a box whose title bar ends less than 60 DIPs above
// the work area's bottom hangs its body above the title bar. An unfolded box
// turns around its title bar so the title bar stays on screen where it was.
ExpandTurn DecideExpandDirection(const RECT& window, int workAreaBottom, bool upward, bool folded, double scale);

// The "y" to store for a box whose window top is `top`: a folded box that
// expands upward stores the top of its unfolded rectangle.
int StoredBoxTop(int top, bool upward, bool folded, int unfoldedHeight, double scale);

// Linear step of an integer edge or size, truncated like the window moves.
int StepToward(int from, int to, double progress);

} // namespace TessikDesktopContainer
