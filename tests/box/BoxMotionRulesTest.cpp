// The arithmetic of box motion over tables: which edge a box snaps to, how
// far the boxes of its colour group follow, when it turns over near the
// bottom of the work area and which top a folded box stores.
#include <gtest/gtest.h>

#include "box/BoxMotionRules.h"

using namespace TessikDesktopContainer;

namespace
{

RECT Rect(int l, int t, int r, int b)
{
    return RECT{l, t, r, b};
}

TEST(BoxSnapping, PullsTheNearestEdgeWithinFivePixels)
{
    const RECT box = Rect(100, 100, 300, 400); // 200 x 300
    struct Case {
        const char* what;
        std::vector<RECT> targets;
        int dx, dy;
    } cases[] = {
        {"right edge 3 px left of a neighbour", {Rect(303, 100, 503, 400)}, 3, 0},
        {"left edge 4 px right of a neighbour's right", {Rect(-100, 600, 96, 700)}, -4, 0},
        {"5 px is out of reach", {Rect(305, 100, 505, 400)}, 0, 0},
        {"top onto a bottom edge, 2 px", {Rect(600, 0, 700, 98)}, 0, -2},
        {"bottom onto a top edge", {Rect(600, 403, 700, 500)}, 0, 3},
        {"both axes at once", {Rect(302, 402, 400, 500)}, 2, 2},
        {"the nearer of two targets", {Rect(304, 0, 400, 50), Rect(302, 0, 400, 50)}, 2, 0},
        {"equal distances: the first target wins", {Rect(302, 0, 400, 50), Rect(-100, 0, 98, 50)}, 2, 0},
        // One target offers -2 (left onto its left) and +2 (right onto its
        // right): the earlier candidate wins.
        {"equal distances in one target: left edges first", {Rect(98, 600, 302, 700)}, -2, 0},
        {"no targets", {}, 0, 0},
    };
    for (const Case& c : cases) {
        const SnapOffset offset = SnapToEdges(box, c.targets);
        EXPECT_EQ(offset.dx, c.dx) << c.what;
        EXPECT_EQ(offset.dy, c.dy) << c.what;
    }
}

// The moved box before: (90, 90) - (290, 390).
GroupMove Moved(int dxLeft, int dyTop, int dxRight, int dyBottom, int groupAlgorithm = 0)
{
    GroupMove m;
    m.now = Rect(90 + dxLeft, 90 + dyTop, 290 + dxRight, 390 + dyBottom);
    m.dxLeft = dxLeft;
    m.dyTop = dyTop;
    m.dxRight = dxRight;
    m.dyBottom = dyBottom;
    m.firstDyTop = dyTop;
    m.firstDyBottom = dyBottom;
    m.firstHeight = m.now.bottom - m.now.top;
    m.firstStoredHeight = 300;
    m.groupAlgorithm = groupAlgorithm;
    return m;
}

TEST(BoxGroupMove, NeighboursWithinReachFollowAndKeepTheirGap)
{
    struct Case {
        const char* what;
        GroupMove move;
        RECT other;
        bool attached;
        int dx, dy;
    } cases[] = {
        {"a box 20 below follows a drag", Moved(10, 10, 10, 10), Rect(90, 410, 290, 610), true, 10, 10},
        {"a box 39 below still follows", Moved(10, 10, 10, 10), Rect(90, 429, 290, 629), true, 10, 10},
        {"a box 40 below is out of reach", Moved(10, 10, 10, 10), Rect(90, 430, 290, 630), false, 0, 0},
        {"a box diagonally 30/30 away is out of reach", Moved(10, 10, 10, 10), Rect(320, 420, 400, 500), false, 0, 0},
        {"a growing bottom pushes the box below to 20 below it", Moved(0, 0, 0, 50), Rect(90, 400, 290, 600), true, 0,
         60},
        {"a shrinking bottom pulls the box below up", Moved(0, 0, 0, -100), Rect(90, 410, 290, 610), true, 0, -100},
        {"a box above follows a drag upward", Moved(0, -30, 0, -30), Rect(90, 0, 290, 70), true, 0, -30},
        {"a box above follows a drag downward", Moved(0, 30, 0, 30), Rect(90, 0, 290, 70), true, 0, 30},
        {"a growing top moves the box above no further than itself", Moved(0, -20, 0, 0), Rect(90, 0, 290, 75), true, 0,
         -20},
        {"a box above nearer than 20 ends 20 above", Moved(0, 10, 0, 10), Rect(90, 0, 290, 75), true, 0, 5},
        {"a box beside follows a moving top edge", Moved(0, 50, 0, 0), Rect(310, 90, 510, 390), true, 0, 50},
        {"a growing right edge pushes the box to the right", Moved(0, 0, 30, 0), Rect(300, 90, 500, 390), true, 40, 0},
        {"a box to the left follows a drag", Moved(-15, 0, -15, 0), Rect(0, 90, 70, 390), true, -15, 0},
        {"a box to the left stays 20 left of a growing left edge", Moved(-10, 0, 0, 0), Rect(0, 90, 75, 390), true, -15,
         0},
    };
    for (const Case& c : cases) {
        const GroupShift shift = GroupNeighbourShift(c.move, c.other);
        EXPECT_EQ(shift.attached, c.attached) << c.what;
        EXPECT_EQ(shift.dx, c.dx) << c.what;
        EXPECT_EQ(shift.dy, c.dy) << c.what;
    }
}

TEST(BoxGroupMove, OptimisedAlgorithmKeepsBoxesBesideAShrinkingBox)
{
    const RECT beside = Rect(310, 90, 510, 390);
    // The top edge comes down 50: the box shrinks.
    EXPECT_EQ(GroupNeighbourShift(Moved(0, 50, 0, 0, 0), beside).dy, 50);
    EXPECT_EQ(GroupNeighbourShift(Moved(0, 50, 0, 0, 1), beside).dy, 0);
    // A box touching the right edge (within 2 px) still follows.
    EXPECT_EQ(GroupNeighbourShift(Moved(0, 50, 0, 0, 1), Rect(291, 90, 491, 390)).dy, 50);
    // A plain drag moves every edge alike: the box beside follows.
    EXPECT_EQ(GroupNeighbourShift(Moved(0, 50, 0, 50, 1), beside).dy, 50);
    // A box below a shrinking box stays too.
    EXPECT_EQ(GroupNeighbourShift(Moved(0, 0, 0, -50, 1), Rect(100, 410, 300, 600)).dy, 0);
    EXPECT_EQ(GroupNeighbourShift(Moved(0, 0, 0, -50, 0), Rect(100, 410, 300, 600)).dy, -50);
}

TEST(BoxExpandDirection, TurnsOverWhenTheTitleBarNearsTheBottom)
{
    struct Case {
        const char* what;
        RECT window;
        bool upward, folded;
        double scale;
        bool turnsUpward, changed;
        int top;
    } cases[] = {
        {"title bar 40 px above the bottom", Rect(100, 920, 300, 1220), false, false, 1.0, true, true, 660},
        {"title bar exactly 60 px above stays", Rect(100, 900, 300, 1200), false, false, 1.0, false, false, 900},
        {"title bar 59 px above turns", Rect(100, 901, 300, 1201), false, false, 1.0, true, true, 641},
        {"an upward box near the bottom stays", Rect(100, 660, 300, 960), true, false, 1.0, true, false, 660},
        {"an upward box moved up turns back", Rect(100, 300, 300, 600), true, false, 1.0, false, true, 560},
        {"a folded box turns without moving", Rect(100, 950, 300, 990), false, true, 1.0, true, true, 950},
        {"at 1.5 the title bar is 60 and the line 90", Rect(100, 860, 300, 1310), false, false, 1.5, true, true, 470},
        {"at 1.5, 90 px above stays", Rect(100, 850, 300, 1300), false, false, 1.5, false, false, 850},
    };
    for (const Case& c : cases) {
        const ExpandTurn turn = DecideExpandDirection(c.window, 1000, c.upward, c.folded, c.scale);
        EXPECT_EQ(turn.upward, c.turnsUpward) << c.what;
        EXPECT_EQ(turn.changed, c.changed) << c.what;
        EXPECT_EQ(turn.top, c.top) << c.what;
    }
}

TEST(BoxExpandDirection, FoldedUpwardBoxStoresTheTopOfItsUnfoldedRectangle)
{
    EXPECT_EQ(StoredBoxTop(950, true, true, 300, 1.0), 690);
    EXPECT_EQ(StoredBoxTop(950, true, false, 300, 1.0), 950);
    EXPECT_EQ(StoredBoxTop(950, false, true, 300, 1.0), 950);
    EXPECT_EQ(StoredBoxTop(950, true, true, 300, 2.0), 730);
}

} // namespace
