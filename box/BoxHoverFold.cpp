#include "box/BoxHoverFold.h"

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

    runtime.internalResize = true;
    SetWindowPos(window, nullptr, L, upward ? targetTop : T, W, target, quiet);
    if (box->onSizing)
        box->onSizing(window);
    if (BoxRuntime* r = FindBoxRuntime(box)) {
        r->internalResize = false;
        r->resizeAnimating = true;
    }
    SetWindowPos(window, nullptr, L, T, W, H, quiet);

    std::weak_ptr<KelmWindow> weak = box;
    box->animationManager.CreateAnimation(
        window, seconds, std::move(easing),
        [window, L, T, W, H, target, targetTop, upward, keepPlace](double p) {
            SetWindowPos(window, nullptr, L, upward ? StepToward(T, targetTop, p) : T, W, StepToward(H, target, p),
                         SWP_NOZORDER | SWP_NOACTIVATE | keepPlace);
        },
        [weak, window, L, T, W, target, targetTop, upward, keepPlace] {
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
    runtime->hoverExpanded = false;
    AnimateBoxHeight(box, *runtime, BoxTitleBarHeight(DpiScale), kFoldTime,
                     AnimationManager::BezierEasing(0.16, 0.77, 0.72, 1.19));
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
    StopHoverDelay(box, *runtime);
    Unfold(box, *runtime);
}

} // namespace TessikDesktopContainer
