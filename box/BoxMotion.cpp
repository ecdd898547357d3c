// Section index: lookups; snapping; group move; OnBoxWindowPosChanged;
// UpdateExpandDirection.
#include "box/BoxMotion.h"

#include <functional>
#include <set>

#include "app/AppConfig.h"
#include "app/AppState.h"
#include "app/DisplayRestart.h"
#include "box/BoxCreation.h"
#include "box/BoxMotionRules.h"
#include "box/BoxSettings.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

namespace
{

// Set for one run of OnBoxWindowPosChanged: the run's own SetWindowPos calls
// (snapping, moving the group) must not start runs of their own.
bool s_positionRunActive = false;

bool CtrlHeld()
{
    return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
}

// Boxes that snapping and the group move may look at: real boxes whose
// window is still there and shown. The quick panel's pseudo boxes keep no
// settings; hidden boxes (members shown inside their integrated host) are
// not on screen to snap to.
bool IsOnScreenBox(const BoxWindowPtr& window, const BoxRuntime& runtime)
{
    return window && !runtime.id.empty() && !runtime.IsPseudoBox() && IsWindow(window->GetHwnd()) &&
           IsWindowVisible(window->GetHwnd()) && !IsIconic(window->GetHwnd());
}

RECT WindowRect(HWND window)
{
    RECT rc{};
    GetWindowRect(window, &rc);
    return rc;
}

struct StoredRect {
    int x, y, cx, cy;
};

// ---------------------------------------------------------------------------
// Snapping
// ---------------------------------------------------------------------------

std::vector<RECT> SnapTargets(const BoxWindowPtr& self, const BoxRuntime& runtime)
{
    std::vector<RECT> targets;
    const COLORREF colour = BoxTagColour(runtime);
    for (const auto& [other, record] : s_boxRuntimes) {
        if (other == self || !IsOnScreenBox(other, record) || record.IsIntegrated || record.IsUpwardExpand)
            continue;
        // Boxes of its own colour group move with it rather than pull it;
        // untagged boxes form no group and pull each other.
        if (!runtime.IsIntegrated && record.titleButton && BoxTagColour(record) == colour && !IsUntaggedColour(colour))
            continue;
        targets.push_back(WindowRect(other->GetHwnd()));
    }
    return targets;
}

// ---------------------------------------------------------------------------
// Group move
// ---------------------------------------------------------------------------

// Moves, once each, every box of the group colour that lay within reach of
// `box` before it moved, and then the boxes within reach of those.
void MoveGroupNeighbours(const BoxWindowPtr& box, int dxLeft, int dyTop, int dxRight, int dyBottom,
                         std::set<BoxWindowPtr>& visited, COLORREF colour, const GroupMove& first)
{
    GroupMove move = first;
    move.now = WindowRect(box->GetHwnd());
    move.dxLeft = dxLeft;
    move.dyTop = dyTop;
    move.dxRight = dxRight;
    move.dyBottom = dyBottom;
    // Collected before moving: the moves below call back into this
    // function, and the registry must not be walked while a callee might
    // change it.
    std::vector<BoxWindowPtr> candidates;
    for (const auto& [other, record] : s_boxRuntimes) {
        if (visited.count(other) || !IsOnScreenBox(other, record) || record.IsIntegrated || record.IsUpwardExpand)
            continue;
        if (record.titleButton && BoxTagColour(record) != colour)
            continue;
        candidates.push_back(other);
    }
    for (const BoxWindowPtr& other : candidates) {
        if (visited.count(other))
            continue;
        BoxRuntime* record = FindBoxRuntime(other);
        if (!record)
            continue;
        const RECT rc = WindowRect(other->GetHwnd());
        const GroupShift shift = GroupNeighbourShift(move, rc);
        if (!shift.attached)
            continue;
        visited.insert(other);
        if (shift.dx == 0 && shift.dy == 0)
            continue;
        const int x = rc.left + shift.dx, y = rc.top + shift.dy;
        SetWindowPos(other->GetHwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        KelmStorageProxy object = s_desktopContainerStore[L"Components"][L"ComID_" + record->id];
        object[L"x"] = x;
        object[L"y"] = y;
        MoveGroupNeighbours(other, shift.dx, shift.dy, shift.dx, shift.dy, visited, colour, first);
    }
}

void StorePosition(BoxRuntime& runtime, const RECT& rc)
{
    const int W = rc.right - rc.left, H = rc.bottom - rc.top;
    const bool folded = runtime.isMinimized || (runtime.IsHoverMinimized && !runtime.hoverExpanded);
    KelmStorageProxy object = BoxPositionObject(runtime);
    if (!runtime.internalResize && !runtime.positionSaveSuspended) {
        object[L"x"] = static_cast<int>(rc.left);
        object[L"y"] = StoredBoxTop(rc.top, runtime.IsUpwardExpand, folded, StoredUnfoldedHeight(runtime), DpiScale);
    }
    if (!runtime.IsHoverMinimized && !runtime.resizeAnimating && !runtime.internalResize &&
        !runtime.positionSaveSuspended) {
        object[L"cx"] = W;
        // A folded box keeps its unfolded height.
        if (!runtime.isMinimized)
            object[L"cy"] = H;
    }
}

void RunPositionChange(HWND window)
{
    RestartOnDisplayChange();
    const BoxWindowPtr box = FindBoxByWindow(window);
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->IsPseudoBox() || runtime->id.empty())
        return;
    if (runtime->resizeAnimating && !runtime->internalResize)
        return;
    // While the window is being made or is hidden its rectangle is not the
    // user's; a minimized window's rectangle lies far off screen.
    if (!IsWindowVisible(window) || IsIconic(window))
        return;

    RECT rc = WindowRect(window);
    const int W = rc.right - rc.left, H = rc.bottom - rc.top;
    const double s = DpiScale;
    StoredRect stored;
    {
        KelmStorageProxy object = BoxPositionObject(*runtime);
        stored = {object[L"x"].Get<int>(rc.left), object[L"y"].Get<int>(rc.top), object[L"cx"].Get<int>(W),
                  object[L"cy"].Get<int>(H)};
    }
    if (runtime->internalResize) {
        // The rectangle before the fold or unfold step, so the group moves
        // by the change of height.
        stored.cx = W;
        stored.cy = runtime->hoverExpanded ? BoxTitleBarHeight(s) : StoredUnfoldedHeight(*runtime);
        stored.x = rc.left;
        stored.y = runtime->IsUpwardExpand ? rc.top + H - stored.cy : rc.top;
    }

    if (!CtrlHeld() && W == stored.cx && H == stored.cy) {
        const SnapOffset snap = SnapToEdges(rc, SnapTargets(box, *runtime));
        if (snap.moved()) {
            OffsetRect(&rc, snap.dx, snap.dy);
            SetWindowPos(window, nullptr, rc.left, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    const int dxLeft = rc.left - stored.x, dyTop = rc.top - stored.y;
    const int dxRight = rc.right - (stored.x + stored.cx), dyBottom = rc.bottom - (stored.y + stored.cy);
    const COLORREF colour = BoxTagColour(*runtime);
    if (!CtrlHeld() && !runtime->IsIntegrated && !IsUntaggedColour(colour) && !runtime->IsUpwardExpand &&
        !s_startingUp && (dxLeft != 0 || dyTop != 0 || dxRight != 0 || dyBottom != 0)) {
        GroupMove first;
        first.firstDyTop = dyTop;
        first.firstDyBottom = dyBottom;
        first.firstHeight = H;
        first.firstStoredHeight = stored.cy;
        first.scale = s;
        first.groupAlgorithm = s_groupAlgorithm;
        std::set<BoxWindowPtr> visited{box};
        MoveGroupNeighbours(box, dxLeft, dyTop, dxRight, dyBottom, visited, colour, first);
    }

    // The group move may have moved boxes: look the record up again.
    if ((runtime = FindBoxRuntime(box)) == nullptr)
        return;
    StorePosition(*runtime, rc);
    if (runtime->CompatibleLayer == 1) {
        RECT client{};
        GetClientRect(window, &client);
        InvalidateRect(window, &client, FALSE);
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Lookups
// ---------------------------------------------------------------------------

BoxWindowPtr FindBoxByWindow(HWND window)
{
    if (!window)
        return nullptr;
    for (const auto& [box, runtime] : s_boxRuntimes) {
        if (box && box->GetHwnd() == window)
            return box;
    }
    return nullptr;
}

KelmStorageProxy BoxPositionObject(const BoxRuntime& runtime)
{
    KelmStorageProxy object = s_desktopContainerStore[L"Components"][L"ComID_" + runtime.id];
    return runtime.IsIntegrated ? object[L"IntegratedPos"] : object;
}

int StoredUnfoldedHeight(const BoxRuntime& runtime)
{
    return BoxPositionObject(runtime)[L"cy"].Get<int>(static_cast<int>(400 * DpiScale));
}

// ---------------------------------------------------------------------------
// Entry points
// ---------------------------------------------------------------------------

void OnBoxWindowPosChanged(const HWND& window)
{
    if (s_positionRunActive)
        return;
    s_positionRunActive = true;
    // Called from the window procedure: nothing may unwind out of it, and
    // the flag must not stay set.
    try {
        RunPositionChange(window);
    } catch (...) {
    }
    s_positionRunActive = false;
}

void UpdateExpandDirection(const HWND& window)
{
    const BoxWindowPtr box = FindBoxByWindow(window);
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->IsPseudoBox() || runtime->id.empty())
        return;
    const RECT rc = WindowRect(window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const ExpandTurn turn =
            DecideExpandDirection(rc, monitor.rcWork.bottom, runtime->IsUpwardExpand, runtime->isMinimized, DpiScale);
        if (turn.changed) {
            runtime->IsUpwardExpand = turn.upward;
            s_desktopContainerStore[L"Components"][L"ComID_" + runtime->id][L"IsUpwardExpand"] = turn.upward;
            if (turn.top != rc.top)
                SetWindowPos(window, nullptr, rc.left, turn.top, rc.right - rc.left, rc.bottom - rc.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
            if ((runtime = FindBoxRuntime(box)) == nullptr)
                return;
            // A hover-folded box is as folded as a menu-folded one: its
            // stored top must be that of its unfolded rectangle too.
            const bool folded = runtime->isMinimized || (runtime->IsHoverMinimized && !runtime->hoverExpanded);
            BoxPositionObject(*runtime)[L"y"] =
                StoredBoxTop(turn.top, turn.upward, folded, StoredUnfoldedHeight(*runtime), DpiScale);
            RECT client{};
            GetClientRect(window, &client);
            InvalidateRect(window, &client, FALSE);
        }
    }
    SaveComponentScreenBase(L"ComID_" + runtime->id);
    s_desktopContainerStore.Save();
}

} // namespace TessikDesktopContainer
