#include "box/BoxMotionRules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace TessikDesktopContainer
{

namespace
{

// Physical pixels, not scaled: the pull is the same at every DPI.
constexpr int kSnapReach = 5;

void KeepNearer(int& best, int candidate)
{
    if (std::abs(candidate) < std::abs(best))
        best = candidate;
}

} // namespace

int BoxTitleBarHeight(double scale)
{
    return static_cast<int>(40 * scale);
}

SnapOffset SnapToEdges(const RECT& box, const std::vector<RECT>& targets)
{
    const int l = box.left, t = box.top, w = box.right - box.left, h = box.bottom - box.top;
    int bestX = kSnapReach, bestY = kSnapReach;
    for (const RECT& o : targets) {
        KeepNearer(bestX, o.left - l);
        KeepNearer(bestX, o.right - l);
        KeepNearer(bestX, o.left - w - l);
        KeepNearer(bestX, o.right - w - l);
        KeepNearer(bestY, o.top - t);
        KeepNearer(bestY, o.bottom - t);
        KeepNearer(bestY, o.top - h - t);
        KeepNearer(bestY, o.bottom - h - t);
    }
    SnapOffset offset;
    if (std::abs(bestX) < kSnapReach)
        offset.dx = bestX;
    if (std::abs(bestY) < kSnapReach)
        offset.dy = bestY;
    return offset;
}

GroupShift GroupNeighbourShift(const GroupMove& m, const RECT& other)
{
    const int L = m.now.left, T = m.now.top, R = m.now.right, B = m.now.bottom;
    const int L0 = L - m.dxLeft, T0 = T - m.dyTop, R0 = R - m.dxRight, B0 = B - m.dyBottom;
    const int oL = other.left, oT = other.top, oR = other.right, oB = other.bottom;
    const int oW = oR - oL, oH = oB - oT;
    const float attach = static_cast<float>(40 * m.scale);
    const int gap = static_cast<int>(20 * m.scale);
    const double touching = 2 * m.scale;

    GroupShift shift;
    const int gx = std::max(0, std::max(L0 - oR, oL - R0));
    const int gy = std::max(0, std::max(T0 - oB, oT - B0));
    if (std::sqrt(static_cast<double>(gx) * gx + static_cast<double>(gy) * gy) >= attach)
        return shift;
    shift.attached = true;

    // A box beside a shrinking box (optimised algorithm only) stays where
    // it is instead of sliding with the shrinking edge.
    auto holdWhileShrinking = [&](int dy) {
        if (std::abs(oL - R) > touching && m.firstDyTop != m.firstDyBottom && m.firstHeight < m.firstStoredHeight &&
            m.firstHeight > 40 * m.scale && m.groupAlgorithm == 1)
            return 0;
        return dy;
    };
    int dy = m.dyTop;
    if (oT + 10 < B0) {
        if (oB - 10 <= T0) {
            // Above: its bottom stays a gap above the moved box.
            if (T - gap < oT + m.dyTop + oH) {
                dy = T - gap - oH - oT;
                if (m.dyTop < 0 && dy < m.dyTop)
                    dy = m.dyTop;
            }
            dy = holdWhileShrinking(dy);
        } else if (!(std::abs(oL - R) <= touching || m.firstDyTop == m.firstDyBottom || m.groupAlgorithm != 1)) {
            dy = 0;
        }
    } else {
        // Below: its top stays a gap below the moved box.
        dy = m.dyBottom;
        if (oT + m.dyBottom < gap + B)
            dy = gap + B - oT;
        dy = holdWhileShrinking(dy);
    }
    shift.dy = dy;

    if (oL + 10 < R0) {
        shift.dx = m.dxLeft;
        if (oR - 10 <= L0 && L - gap < oL + m.dxLeft + oW)
            shift.dx = L - gap - oL - oW;
    } else {
        shift.dx = m.dxRight;
        if (oL + m.dxRight < gap + R)
            shift.dx = gap + R - oL;
    }
    return shift;
}

ExpandTurn DecideExpandDirection(const RECT& window, int workAreaBottom, bool upward, bool folded, double scale)
{
    const int title = BoxTitleBarHeight(scale);
    const int reference = upward ? window.bottom : window.top + title;
    ExpandTurn turn;
    turn.upward = workAreaBottom - reference < static_cast<int>(60 * scale);
    turn.changed = turn.upward != upward;
    turn.top = window.top;
    if (turn.changed && !folded) {
        const int body = (window.bottom - window.top) - title;
        turn.top = turn.upward ? window.top - body : window.top + body;
    }
    return turn;
}

int StoredBoxTop(int top, bool upward, bool folded, int unfoldedHeight, double scale)
{
    return upward && folded ? top + BoxTitleBarHeight(scale) - unfoldedHeight : top;
}

int StepToward(int from, int to, double progress)
{
    return static_cast<int>(from + (to - from) * progress);
}

} // namespace TessikDesktopContainer
