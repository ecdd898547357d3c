#include "ui/controls/KelmSizeFrame.h"

#include <algorithm>

#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/HitTest.h"
#include "ui/core/ThemeColors.h"

namespace
{

bool InSquare(int cx, int cy, int left, int top, int side)
{
    return cx >= left && cx <= left + side && cy >= top && cy <= top + side;
}

} // namespace

KelmSizeFrame::DragMode KelmSizeFrame::ZoneAt(const Frame& f, int cx, int cy)
{
    // Handles shrink with small frames but stay grabbable.
    const int s = std::max(std::min({f.h / 2, f.w / 2, 24}), 6);
    const int half = s / 2;
    if (InSquare(cx, cy, f.x - half, f.y - half, s))
        return kTopLeft;
    if (InSquare(cx, cy, f.x + f.w - half, f.y - half, s))
        return kTopRight;
    if (InSquare(cx, cy, f.x - half, f.y + f.h - half, s))
        return kBottomLeft;
    if (InSquare(cx, cy, f.x + f.w - half, f.y + f.h - half, s))
        return kBottomRight;
    if (cx >= f.x && cx <= f.x + f.w && cy >= f.y && cy <= f.y + f.h)
        return kMove;
    return kNone;
}

KelmSizeFrame::Frame KelmSizeFrame::Dragged(DragMode mode, const Frame& s, int dx, int dy, int minW, int minH)
{
    // Dragging the left or top edge past the opposite one pins that
    // opposite edge and keeps the minimum size.
    const int leftX = s.w - dx < minW ? s.x + s.w - minW : s.x + dx;
    const int topY = s.h - dy < minH ? s.y + s.h - minH : s.y + dy;
    switch (mode) {
    case kMove:
        return {s.x + dx, s.y + dy, s.w, s.h};
    case kTopLeft:
        return {leftX, topY, std::max(s.w - dx, minW), std::max(s.h - dy, minH)};
    case kTopRight:
        return {s.x, topY, std::max(s.w + dx, minW), std::max(s.h - dy, minH)};
    case kBottomLeft:
        return {leftX, s.y, std::max(s.w - dx, minW), std::max(s.h + dy, minH)};
    case kBottomRight:
        return {s.x, s.y, std::max(s.w + dx, minW), std::max(s.h + dy, minH)};
    default:
        return s;
    }
}

POINT KelmSizeFrame::Unscaled(const Brevin::kelmPoint& point)
{
    return {static_cast<LONG>(point.x / DpiScale), static_cast<LONG>(point.y / DpiScale)};
}

Brevin::kelmRect KelmSizeFrame::GetRect()
{
    return {frameX - 12, frameY - 12, frameW + 24, frameH + 24};
}

void KelmSizeFrame::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    if (!visible)
        return;
    DrawRoundRect(target, static_cast<float>(frameX), static_cast<float>(frameY), static_cast<float>(frameW),
                  static_cast<float>(frameH), ThemeAccent.Ref(), 0.0f, 1.0f, 3.0f, borderColour, 0.0f, false);
    const int corners[4][2] = {
        {frameX, frameY}, {frameX + frameW, frameY}, {frameX, frameY + frameH}, {frameX + frameW, frameY + frameH}};
    for (const auto& c : corners)
        DrawRoundRect(target, static_cast<float>(c[0] - 3), static_cast<float>(c[1] - 3), 6.0f, 6.0f,
                      ThemeShade30.Ref(), 6.0f, 1.0f, 4.0f, borderColour, 0.0f, false);
}

int KelmSizeFrame::AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event)
{
    if (!visible)
        return 0;
    switch (event) {
    case Brevin::KELM_LBUTTON_DOWN:
        OnPress(point);
        break;
    case Brevin::KELM_LBUTTON_UP:
        OnRelease();
        break;
    case Brevin::KELM_MOUSE_MOVE:
        hovered = true;
        OnHoverDrag(point);
        break;
    default:
        break;
    }
    return 0;
}

void KelmSizeFrame::OnPress(const Brevin::kelmPoint& point)
{
    const POINT p = Unscaled(point);
    const DragMode mode = ZoneAt({frameX, frameY, frameW, frameH}, p.x, p.y);
    dragMode = mode;
    if (mode != kNone) {
        const int start[6] = {static_cast<int>(p.x), static_cast<int>(p.y), frameX, frameY, frameW, frameH};
        std::copy(std::begin(start), std::end(start), dragStart);
    }
    InvalidateWindow(window);
}

void KelmSizeFrame::OnRelease()
{
    dragMode = kNone;
    InvalidateWindow(window);
}

void KelmSizeFrame::OnHoverDrag(const Brevin::kelmPoint& point)
{
    const POINT p = Unscaled(point);
    if (dragMode == kNone) {
        LPCWSTR cursor = nullptr;
        switch (ZoneAt({frameX, frameY, frameW, frameH}, p.x, p.y)) {
        case kTopLeft:
        case kBottomRight:
            cursor = IDC_SIZENWSE;
            break;
        case kTopRight:
        case kBottomLeft:
            cursor = IDC_SIZENESW;
            break;
        case kMove:
            cursor = IDC_SIZEALL;
            break;
        default:
            return;
        }
        SetCursor(LoadCursorW(nullptr, cursor));
        return;
    }
    if (LeftButtonReleaseMissed()) {
        // The button went up somewhere the release did not reach us.
        dragMode = kNone;
        InvalidateWindow(window);
        return;
    }
    const Frame start{dragStart[2], dragStart[3], dragStart[4], dragStart[5]};
    const Frame f =
        Dragged(static_cast<DragMode>(dragMode), start, p.x - dragStart[0], p.y - dragStart[1], minWidth, minHeight);
    frameX = f.x;
    frameY = f.y;
    frameW = f.w;
    frameH = f.h;
    auto resize = onResize; // the callback may rebuild the frame
    if (resize)
        resize(f.x, f.y, f.w, f.h);
    InvalidateWindow(window);
}

void KelmSizeFrame::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmSizeFrame>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}
