#include "box/KelmScrollBar.h"

#include <algorithm>

#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/HitTest.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace TessikDesktopContainer
{

namespace
{

KelmWindow* HostOf(HWND window)
{
    auto it = WindowMap.find(window);
    return it == WindowMap.end() ? nullptr : it->second;
}

} // namespace

float KelmScrollBar::Geometry::PositionFor(float pointerY, float grab, float maxScroll) const
{
    if (travel <= 0)
        return 0;
    return std::clamp((pointerY - grab - thumbStart) / travel * maxScroll, 0.0f, maxScroll);
}

KelmScrollBar::Geometry KelmScrollBar::ComputeGeometry(float contentHeight, float viewHeight, float position,
                                                       float maxScroll, float trackTop, bool trackFromZero)
{
    Geometry g{};
    g.trackLength = viewHeight - trackTop;
    const float proportional = contentHeight > 0 ? g.trackLength / contentHeight * g.trackLength : g.trackLength;
    g.thumbLength = std::max(kMinThumb, proportional);
    g.travel = g.trackLength - g.thumbLength;
    g.thumbStart = trackFromZero ? 0.0f : trackTop;
    const float fraction = maxScroll > 0 ? std::clamp(position / maxScroll, 0.0f, 1.0f) : 0.0f;
    g.thumbTop = g.travel * fraction + g.thumbStart;
    return g;
}

KelmScrollBar::~KelmScrollBar()
{
    if (!hwnd)
        return;
    KillTimer(hwnd, reinterpret_cast<UINT_PTR>(this));
    if (KelmWindow* host = HostOf(hwnd); host && visibilityAnimationId >= 0)
        host->StopAnimation(visibilityAnimationId);
}

KelmScrollBar::Geometry KelmScrollBar::CurrentGeometry() const
{
    return ComputeGeometry(contentHeight, viewHeight, position, maxScroll, trackTop, trackFromZero);
}

void KelmScrollBar::Set(float newRight, float newContentHeight, float newViewHeight, float newPosition,
                        float newMaxScroll, float newTrackTop, bool newTrackFromZero)
{
    const bool moved = std::abs(position - newPosition) > 0.1f;
    right = static_cast<int>(newRight);
    y = static_cast<int>(newViewHeight);
    contentHeight = newContentHeight;
    viewHeight = newViewHeight;
    position = newPosition;
    maxScroll = newMaxScroll;
    trackTop = newTrackTop;
    trackFromZero = newTrackFromZero;
    if (moved && maxScroll > 0 && hwnd) {
        timerVisible = true;
        // Re-arming the same id restarts the 1.5 s.
        SetTimer(hwnd, reinterpret_cast<UINT_PTR>(this), kHideDelayMs, &KelmScrollBar::HideTimerProc);
    }
}

void CALLBACK KelmScrollBar::HideTimerProc(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    // The id is the bar's address; the bar kills the timer when it goes.
    auto* bar = reinterpret_cast<KelmScrollBar*>(id);
    bar->timerVisible = false;
    RECT rc;
    GetClientRect(window, &rc);
    InvalidateRect(window, &rc, FALSE);
}

Brevin::kelmRect KelmScrollBar::GetRect()
{
    const float top = trackFromZero ? 0.0f : trackTop;
    return {right - kStripWidth, static_cast<int>(top), kStripWidth, static_cast<int>(viewHeight - trackTop)};
}

float KelmScrollBar::PointerY() const
{
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(hwnd, &cursor);
    return static_cast<float>(cursor.y / DpiScale);
}

void KelmScrollBar::Repaint() const
{
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

int KelmScrollBar::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (maxScroll <= 0)
        return Brevin::kNotHandled;
    switch (event) {
    case Brevin::KELM_LBUTTON_UP:
        return OnMouseUp();
    case Brevin::KELM_LBUTTON_DOWN:
        return OnMouseDown();
    case Brevin::KELM_MOUSE_MOVE: {
        if (!hovered) {
            hovered = true;
            Repaint();
        }
        if (!dragging)
            return 0;
        // A release outside the window never reaches the bar: ask the button.
        if (LeftButtonReleaseMissed())
            return OnMouseUp();
        const Geometry g = CurrentGeometry();
        if (g.travel > 0 && onScroll)
            onScroll(g.PositionFor(PointerY(), grabOffset, maxScroll));
        Repaint();
        return 1;
    }
    default:
        return Brevin::kNotHandled;
    }
}

int KelmScrollBar::OnMouseUp()
{
    dragging = false;
    hovered = false;
    Repaint();
    return 1;
}

int KelmScrollBar::OnMouseDown()
{
    dragging = true;
    const float pointer = PointerY();
    const Geometry g = CurrentGeometry();
    if (pointer >= g.thumbTop && pointer <= g.thumbTop + g.thumbLength) {
        grabOffset = pointer - g.thumbTop;
    } else {
        // A press on the track centres the thumb under the pointer.
        grabOffset = g.thumbLength / 2;
        if (g.travel > 0 && onScroll)
            onScroll(g.PositionFor(pointer, grabOffset, maxScroll));
    }
    Repaint();
    return 1;
}

void KelmScrollBar::AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmScrollBar> self)
{
    hwnd = window;
    self_ = self;
    CreateCtl(window, target);
}

void KelmScrollBar::Fade(bool in)
{
    shown = in;
    KelmWindow* host = HostOf(hwnd);
    if (!host) {
        visibility = in ? 1.0 : 0.0;
        return;
    }
    if (visibilityAnimationId >= 0)
        host->StopAnimation(visibilityAnimationId);
    std::weak_ptr<KelmScrollBar> weak = self_;
    auto step = [weak](double value) {
        if (auto bar = weak.lock())
            bar->visibility = value;
    };
    auto done = [weak] {
        if (auto bar = weak.lock())
            bar->visibilityAnimationId = -1;
    };
    if (in)
        visibilityAnimationId =
            host->AnimateVariableWithBezier<double>(visibility, 1.0, 0.25, step, 0.25, 0.1, 0.25, 1.0, done);
    else
        visibilityAnimationId =
            host->AnimateVariableWithBezier<double>(visibility, 0.0, 0.25, step, 0.42, 0.0, 0.58, 1.0, done);
    host->StartAnimationTimer();
}

void KelmScrollBar::CreateCtl(HWND window, ID2D1HwndRenderTarget* target)
{
    hwnd = window;
    if (maxScroll <= 0)
        return;
    const bool wanted = hovered || dragging || timerVisible;
    if (wanted && !shown && visibility < 1.0)
        Fade(true);
    else if (!wanted && shown && visibility > 0.0)
        Fade(false);
    if (visibility <= 0.01)
        return;
    const Geometry g = CurrentGeometry();
    const float w = static_cast<float>(2 * visibility + 4);
    DrawRoundRect(target, right - w - 4 + 1.5f, g.thumbTop, w / 2, g.thumbLength, ThemeTextColor.Ref(), w / 2,
                  static_cast<float>(0.35 * visibility));
}

} // namespace TessikDesktopContainer
