#include "ui/controls/KelmNotice.h"

#include "ui/controls/HoverSteps.h"
#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

KelmNotice::~KelmNotice()
{
    if (stepping)
        HoverSteps::StopCounting(stepping);
}

void KelmNotice::Set(int nx, int ny, int nw, int, const wchar_t* newText, COLORREF newColour, int,
                     COLORREF newTextColour, std::function<void()> click)
{
    x = nx;
    y = ny;
    w = nw;
    h = 60;
    label = newText ? newText : L"";
    colour = newColour;
    fontSize = 14.0f;
    textColour = newTextColour;
    onClick = std::move(click);
}

int KelmNotice::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    return RoutePointerEventWithHover(*this, event);
}

void KelmNotice::OnMouseUp()
{
    hoverStep = 0;
    InvalidateWindow(window);
    auto click = onClick;
    if (click)
        click();
}

void KelmNotice::OnMouseDown()
{
    // Every press sinks from the top again.
    hoverStep = 0;
    pressed = true;
    InvalidateWindow(window);
}

void KelmNotice::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    HoverSteps::Advance(hoverStep, stepping, pressed || hovered);
    const COLORREF border = ContrastShiftColor(colour, 40);
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    if (pressed) {
        const float g = HoverSteps::Progress(hoverStep, true);
        DrawRoundRect(target, fx + g, fy + g, fw - 2 * g, fh - 2 * g, colour, 8.0f, 1.0f, 1.0f, border, 0.0f);
    } else {
        const float f = HoverSteps::Progress(hoverStep, false);
        DrawRoundRect(target, fx - f, fy - f, fw + 2 * f, fh + 2 * f, colour, 8.0f, 1.0f, 1.0f + f, border, 0.0f);
    }
    const float top = static_cast<float>(y + h / 2) - fontSize * 1.2f;
    DrawTextInRect(target, fx + 10, top, fw, fh, label.c_str(), fontSize, textColour, L"Segoe UI", 1.0f, false);
}

void KelmNotice::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmNotice>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}
