#include "ui/controls/PopupPlacement.h"

#include <algorithm>

namespace PopupPlacement
{

namespace
{

// The common width rule: follow the owner's width less 200 DIPs, between
// the popup's lower bound and 600 DIPs.
int FollowOwnerWidth(int referenceW, double d, int lowerBound)
{
    const int follow = static_cast<int>(referenceW / d - 200 * d);
    return std::max(lowerBound, std::min(follow, static_cast<int>(600 * d)));
}

RECT CentredBelowTop(const RECT& reference, int w, int h, double d)
{
    const int referenceW = reference.right - reference.left;
    const int x = reference.left + referenceW / 2 - w / 2;
    const int y = static_cast<int>(reference.top + 60 * d);
    return {x, y, x + w, y + h};
}

} // namespace

POINT ClampIntoArea(int x, int y, int w, int h, const RECT& area)
{
    x = std::max(x, static_cast<int>(area.left));
    if (x + w > area.right)
        x = area.right - w;
    y = std::max(y, static_cast<int>(area.top));
    if (y + h > area.bottom)
        y = area.bottom - h;
    return {x, y};
}

POINT ClampIntoAreaTopLeftWins(int x, int y, int w, int h, const RECT& area)
{
    if (x + w > area.right)
        x = area.right - w;
    x = std::max(x, static_cast<int>(area.left));
    if (y + h > area.bottom)
        y = area.bottom - h;
    y = std::max(y, static_cast<int>(area.top));
    return {x, y};
}

RECT EditBoxRect(const RECT& reference, const RECT& workArea, double d)
{
    const int w = FollowOwnerWidth(reference.right - reference.left, d, static_cast<int>(300 * d));
    const int h = static_cast<int>(160 * d);
    const RECT r = CentredBelowTop(reference, w, h, d);
    const POINT at = ClampIntoArea(r.left, r.top, w, h, workArea);
    return {at.x, at.y, at.x + w, at.y + h};
}

RECT TipRect(const RECT& reference, const RECT& workArea, double d)
{
    const int w = FollowOwnerWidth(reference.right - reference.left, d, 320);
    const int h = static_cast<int>(200 * d);
    const RECT r = CentredBelowTop(reference, w, h, d);
    const POINT at = ClampIntoArea(r.left, r.top, w, h, workArea);
    return {at.x, at.y, at.x + w, at.y + h};
}

RECT SelectionRect(const RECT& reference, int screenW, int screenH, double d)
{
    const int w = FollowOwnerWidth(reference.right - reference.left, d, 400);
    const int h = static_cast<int>(260 * d);
    const RECT r = CentredBelowTop(reference, w, h, d);
    int x = r.left, y = r.top;
    if (x + w > screenW)
        x = screenW - w;
    if (y + h > screenH - 40)
        y = screenH - 40 - h;
    return {std::max(x, 0), std::max(y, 0), std::max(x, 0) + w, std::max(y, 0) + h};
}

} // namespace PopupPlacement
