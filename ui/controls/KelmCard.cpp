#include "ui/controls/KelmCard.h"

#include <algorithm>

#include "ui/core/BlurPaint.h"
#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

KelmWindow* HostOf(HWND window)
{
    auto it = WindowMap.find(window);
    return it == WindowMap.end() ? nullptr : it->second;
}

COLORREF Shifted(COLORREF colour, int lighter, int darker)
{
    const int r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    const int d = r + g + b < 387 ? lighter : darker;
    return RGB(std::clamp(r + d, 0, 255), std::clamp(g + d, 0, 255), std::clamp(b + d, 0, 255));
}

} // namespace

KelmCard::PanelRect KelmCard::PanelAt(int y, int h, double hover)
{
    const double share = 0.35 + 0.02 * hover;
    const double height = h * share;
    return {static_cast<float>(y + h - height - 5.0 * hover), static_cast<float>(height)};
}

KelmCard::~KelmCard()
{
    // The animation writes into this card: it must not outlive it.
    StopHoverAnimation();
}

void KelmCard::Set(int nx, int ny, int, int, const wchar_t* newTitle, const wchar_t* newBody, Painter newPainter,
                   std::function<void()> click, int, int, COLORREF newTitleColour)
{
    x = nx;
    y = ny;
    w = 300;
    h = 200;
    title = newTitle ? newTitle : L"";
    body = newBody ? newBody : L"";
    painter = std::move(newPainter);
    onClick = std::move(click);
    accent = 0xFB7952;
    cornerRadius = 8;
    titleSize = 18;
    titleColour = newTitleColour;
}

void KelmCard::SetEnabled(bool value)
{
    enabled = value;
}

int KelmCard::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (!enabled)
        return 0;
    return RoutePointerEvent(*this, event, [this] {
        hovered = true;
        // While the lift runs the animation repaints; more moves need none.
        if (!hoverRising)
            InvalidateWindow(window);
    });
}

void KelmCard::OnMouseUp()
{
    hovered = false;
    InvalidateWindow(window);
    auto click = onClick;
    if (click)
        click();
}

void KelmCard::OnMouseDown()
{
    pressed = true;
    InvalidateWindow(window);
}

void KelmCard::StopHoverAnimation()
{
    if (hoverAnimation < 0)
        return;
    if (KelmWindow* host = HostOf(window))
        host->StopAnimation(hoverAnimation);
    hoverAnimation = -1;
}

void KelmCard::AnimateHover(double to, double seconds, double x1, double y1, double x2, double y2)
{
    StopHoverAnimation();
    KelmWindow* host = HostOf(window);
    if (!host) {
        hover = to;
        return;
    }
    hoverAnimation = host->AnimateVariableWithBezier<double>(hover, hover, to, seconds, x1, y1, x2, y2,
                                                             [this] { hoverAnimation = -1; });
    host->StartAnimationTimer();
}

void KelmCard::DrawPanel(ID2D1HwndRenderTarget* target, float top, float height)
{
    const float fx = static_cast<float>(x), fw = static_cast<float>(w);
    const COLORREF text = ThemeTextColor.Ref();
    if (hovered) {
        DrawRoundRect(target, fx - 1, top, fw + 2, height + 20, Shifted(text, 40, -120), 0.0f, 0.6f, 0.8f, text, 0.0f);
    } else {
        DrawRoundRect(target, fx, top, fw, height + 20, Shifted(ThemeShade30.Ref(), -10, 10), 0.0f, 1.0f, 0.8f, text,
                      0.3f);
    }
    DrawTextSemibold(target, fx + 15, top + 10, fw, height, title.c_str(), static_cast<float>(titleSize), titleColour,
                     L"Segoe UI", 1.0f, false);
    DrawTextInRectInt(target, fx + 15, top + 35, w, static_cast<int>(height), body.c_str(),
                      static_cast<float>(titleSize - 4), Shifted(titleColour, 80, -80), L"Segoe UI", 1.0f);
}

void KelmCard::CreateCtl(HWND hwnd, ID2D1HwndRenderTarget* target)
{
    if (!enabled)
        return;
    if (hovered && !hoverRising && hover < 1.0) {
        hoverRising = true;
        AnimateHover(1.0, 0.25, 0.25, 0.1, 0.25, 1.0);
    } else if (!hovered && hoverRising && hover > 0.0) {
        hoverRising = false;
        AnimateHover(0.0, 0.15, 0.42, 0.0, 0.58, 1.0);
    }

    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const float radius = static_cast<float>(cornerRadius);
    const PanelRect panel = PanelAt(y, h, hover);

    DrawSoftShadow(target, fx, fy, fw, fh, 8.0f, 0.0f, 3.0f, 16.0f, 10, 0.0f, 0.01f, 0x141414);
    DrawRoundRect(target, fx - 1, fy - 1, fw + 2, fh + 2, 0, radius + 1, 1.0f, 1.0f, ThemeTextColor.Ref(), 0.1f, true);
    WithRoundRectClip(target, fx, fy, fw, fh, hwnd, radius, [&](HWND, ID2D1HwndRenderTarget* rt, int, int, int, int) {
        DrawRoundRect(rt, fx, fy, fw, fh, ThemeAccent.Ref(), 0.0f, 1.0f, 0.8f, ThemeShade30.Ref(), 0.0f);
        if (painter)
            painter(rt, fx, fy, fw, fh);
    });
    if (hovered) {
        // The frost is a GDI pass over what is drawn so far. Direct2D gives
        // no DC while a clip layer is pushed, so it runs between the two
        // clipped parts, with a GDI clip of the card's own rounded shape:
        // the panel area reaches below the card, over its shadow.
        const double scale = DpiScale;
        const BlurRect pixels{static_cast<int>(fx * scale), static_cast<int>(panel.top * scale),
                              static_cast<int>(fw * scale), static_cast<int>((panel.height + 20) * scale)};
        const int diameter = static_cast<int>(2 * radius * scale);
        WithGdiDC(target, hwnd, [&](HWND, HDC dc) {
            HRGN card = CreateRoundRectRgn(static_cast<int>(fx * scale), static_cast<int>(fy * scale),
                                           static_cast<int>((fx + fw) * scale), static_cast<int>((fy + fh) * scale),
                                           diameter, diameter);
            if (!card)
                return;
            SelectClipRgn(dc, card); // the DC keeps a copy
            DeleteObject(card);
            BlurAndPaint(dc, pixels, 2.0, 3, false);
            SelectClipRgn(dc, nullptr);
        });
    }
    WithRoundRectClip(target, fx, fy, fw, fh, hwnd, radius, [&](HWND, ID2D1HwndRenderTarget* rt, int, int, int, int) {
        DrawPanel(rt, panel.top, panel.height);
    });
}

void KelmCard::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmCard>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}
