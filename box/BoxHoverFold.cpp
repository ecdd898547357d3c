#include "box/BoxHoverFold.h"

#include <cmath>
#include <unordered_map>

#include "app/KelmStorage.h"
#include "box/BoxIconDrag.h"

#include "box/BoxMotion.h"
#include "box/BoxMotionRules.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

namespace
{

constexpr double kRestDelay = 0.1;  // seconds the pointer rests before the box unfolds
constexpr double kLeaveDelay = 0.3; // seconds after leaving before it folds
constexpr double kUnfoldTime = 0.15;
constexpr double kFoldTime = 0.25;

// The running fold or unfold of each box window. A new one stops the old
// one: two would fight over the window, and the first to end would clear
// resizeAnimating while the other still moves the window, so its steps
// would move the colour group a second time.
std::unordered_map<HWND, int> s_sizeAnimations;

void Invalidate(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    InvalidateRect(window, &client, FALSE);
}

bool CursorInside(HWND window)
{
    POINT cursor{};
    RECT rc{};
    return GetCursorPos(&cursor) && GetWindowRect(window, &rc) && PtInRect(&rc, cursor);
}

void StopHoverDelay(const BoxWindowPtr& box, BoxRuntime& runtime)
{
    if (runtime.hoverAnimationId == -1)
        return;
    box->animationManager.Stop(runtime.hoverAnimationId);
    runtime.hoverAnimationId = -1;
}

// Runs `then` on the box after `seconds`, stepping hoverDelay from 0 to 1
// meanwhile; the record is looked up again at every step because the
// registry may have dropped the box.
void StartHoverDelay(const BoxWindowPtr& box, BoxRuntime& runtime, double seconds, void (*then)(const BoxWindowPtr&))
{
    std::weak_ptr<KelmWindow> weak = box;
    runtime.hoverAnimationId = box->animationManager.CreateAnimation(
        box->GetHwnd(), seconds, {},
        [weak](double p) {
            if (BoxRuntime* r = FindBoxRuntime(weak.lock()))
                r->hoverDelay = static_cast<float>(p);
        },
        [weak, then] {
            if (BoxWindowPtr self = weak.lock())
                then(self);
        });
}

// Changes the height of the box to `target` over `seconds`; an upward box
// keeps its bottom edge, any other its top edge. Before the animation the
// window takes its final size for a moment, unseen, so that the colour group
// moves once by the whole change of height.
void AnimateBoxHeight(const BoxWindowPtr& box, BoxRuntime& runtime, int target, double seconds,
                      std::function<double(double)> easing)
{
    HWND window = box->GetHwnd();
    RECT rc{};
    GetWindowRect(window, &rc);
    const int L = rc.left, T = rc.top, W = rc.right - rc.left, H = rc.bottom - rc.top;
    const bool upward = runtime.IsUpwardExpand;
    const int targetTop = T - target + H;
    const UINT keepPlace = upward ? 0u : static_cast<UINT>(SWP_NOMOVE);
    const UINT quiet = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | keepPlace;

    auto running = s_sizeAnimations.find(window);
    if (running != s_sizeAnimations.end()) {
        box->animationManager.Stop(running->second);
        s_sizeAnimations.erase(running);
    }

    // The group moves once, from the explicit call below, by the change
    // between the folded and the unfolded rectangle. The window's own
    // position messages meanwhile are ignored: after an interrupted fold or
    // unfold the window stands between the two, and they would move the
    // group by part of the change as well.
    runtime.resizeAnimating = true;
    SetWindowPos(window, nullptr, L, upward ? targetTop : T, W, target, quiet);
    runtime.internalResize = true;
    if (box->onSizing)
        box->onSizing(window);
    if (BoxRuntime* r = FindBoxRuntime(box))
        r->internalResize = false;
    SetWindowPos(window, nullptr, L, T, W, H, quiet);

    std::weak_ptr<KelmWindow> weak = box;
    s_sizeAnimations[window] = box->animationManager.CreateAnimation(
        window, seconds, std::move(easing),
        [window, L, T, W, H, target, targetTop, upward, keepPlace](double p) {
            SetWindowPos(window, nullptr, L, upward ? StepToward(T, targetTop, p) : T, W, StepToward(H, target, p),
                         SWP_NOZORDER | SWP_NOACTIVATE | keepPlace);
        },
        [weak, window, L, T, W, target, targetTop, upward, keepPlace] {
            s_sizeAnimations.erase(window);
            if (BoxRuntime* r = FindBoxRuntime(weak.lock()))
                r->resizeAnimating = false;
            if (!IsWindow(window))
                return;
            SetWindowPos(window, nullptr, L, upward ? targetTop : T, W, target, SWP_NOZORDER | keepPlace);
            Invalidate(window);
        });
    Invalidate(window);
}

// The height a hover-minimized box unfolds to: a box also folded by the menu
// stays at its title bar.
int UnfoldedHeight(const BoxRuntime& runtime)
{
    return runtime.isMinimized ? BoxTitleBarHeight(DpiScale) : StoredUnfoldedHeight(runtime);
}

void Unfold(const BoxWindowPtr& box, BoxRuntime& runtime)
{
    runtime.hoverExpanded = true;
    AnimateBoxHeight(box, runtime, UnfoldedHeight(runtime), kUnfoldTime,
                     AnimationManager::BezierEasing(0.2, 0.8, 0.2, 1.0));
}

void Fold(const BoxWindowPtr& box, BoxRuntime& runtime)
{
    runtime.hoverExpanded = false;
    AnimateBoxHeight(box, runtime, BoxTitleBarHeight(DpiScale), kFoldTime,
                     AnimationManager::BezierEasing(0.16, 0.77, 0.72, 1.19));
}

// Corner radius of a window region: DIPs times the DPI factor rounded up.
int RegionRadius(int radius)
{
    return static_cast<int>(std::ceil(DpiScale) * radius);
}

KelmStorageProxy BoxObject(const BoxRuntime& runtime)
{
    return s_desktopContainerStore[L"Components"][L"ComID_" + runtime.id];
}

} // namespace

void OnBoxHoverEnter(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    // Every move restarts the rest delay: the box unfolds only once the
    // pointer stands still.
    StopHoverDelay(box, *runtime);
    if (runtime->IsHoverMinimized && !runtime->hoverExpanded && !runtime->hoverSuppressed)
        StartHoverDelay(box, *runtime, kRestDelay, ExpandHoverBox);
}

void OnBoxHoverLeave(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    runtime->hoverSuppressed = false;
    // An icon dragged out of the box turns into a system file drag.
    if (RunIconDragOut(box))
        return;
    StopHoverDelay(box, *runtime);
    if (runtime->IsHoverMinimized && runtime->hoverExpanded && !CursorInside(box->GetHwnd()))
        StartHoverDelay(box, *runtime, kLeaveDelay, FoldHoverBox);
}

void ExpandHoverBox(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !IsWindow(box->GetHwnd()))
        return;
    runtime->hoverAnimationId = -1;
    Unfold(box, *runtime);
}

void FoldHoverBox(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || !IsWindow(box->GetHwnd()))
        return;
    runtime->hoverAnimationId = -1;
    if (CursorInside(box->GetHwnd()))
        return;
    Fold(box, *runtime);
}

void UnfoldBoxUnderDrag(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    // Only files dragged in from outside: an icon drag of the box itself
    // (dropPending) must not unfold it.
    if (!runtime || !s_dragOverAccepted || runtime->dropPending || !runtime->IsHoverMinimized ||
        runtime->hoverExpanded || !IsWindow(box->GetHwnd()))
        return;
    runtime->hoverSuppressed = false;
    // An icon dragged out of the box turns into a system file drag.
    if (RunIconDragOut(box))
        return;
    StopHoverDelay(box, *runtime);
    Unfold(box, *runtime);
}

} // namespace TessikDesktopContainer

namespace TessikDesktopContainer
{

void ToggleBoxFolded(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->IsPseudoBox() || !IsWindow(box->GetHwnd()))
        return;
    HWND window = box->GetHwnd();
    if (runtime->IsHoverMinimized && runtime->hoverExpanded) {
        // Open under the pointer: leaving hover-minimize keeps it open.
        runtime->IsHoverMinimized = false;
        runtime->hoverExpanded = false;
        runtime->resizeAnimating = false;
        runtime->isMinimized = false;
        BoxObject(*runtime)[L"isMinimized"] = false;
        BoxObject(*runtime)[L"IsHoverMinimized"] = false;
        s_desktopContainerStore.Save();
        Invalidate(window);
        return;
    }
    RECT rc{};
    GetWindowRect(window, &rc);
    const int W = rc.right - rc.left;
    runtime->isMinimized = !runtime->isMinimized;
    BoxObject(*runtime)[L"isMinimized"] = runtime->isMinimized;
    s_desktopContainerStore.Save();
    int h = BoxTitleBarHeight(DpiScale);
    if (!runtime->isMinimized) {
        h = StoredUnfoldedHeight(*runtime);
        // A stored height that leaves no room below the title bar opens
        // at a usable size.
        if (45 * DpiScale > h)
            h = static_cast<int>(200 * DpiScale);
    }
    HRGN region = nullptr;
    if (runtime->IsEmbeddedLayer || runtime->IsLocked) {
        const int r = RegionRadius(runtime->IsEmbeddedLayer ? 6 : 16);
        region = CreateRoundRectRgn(0, 0, W + 1, h + 1, r, r);
    }
    SetWindowRgn(window, region, TRUE);
    if (runtime->IsUpwardExpand)
        SetWindowPos(window, nullptr, rc.left, rc.bottom - h, W, h, SWP_NOZORDER);
    else
        SetWindowPos(window, nullptr, 0, 0, W, h, SWP_NOZORDER | SWP_NOMOVE);
}

void TurnOnHoverMinimize(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime || runtime->IsPseudoBox() || runtime->IsHoverMinimized || !IsWindow(box->GetHwnd()))
        return;
    runtime->IsHoverMinimized = true;
    runtime->hoverExpanded = false;
    // The pointer is still on the box: it stays folded until it has left.
    runtime->hoverSuppressed = true;
    BoxObject(*runtime)[L"IsHoverMinimized"] = true;
    s_desktopContainerStore.Save();
    Fold(box, *runtime);
}

} // namespace TessikDesktopContainer
