#include "ui/controls/KelmCompatibleButton.h"

#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

void KelmCompatibleButton::Set(int nx, int ny, int, int, const wchar_t* newText, std::function<void()> click,
                               COLORREF newFill, float newFontSize, COLORREF newTextColour)
{
    x = nx;
    y = ny;
    w = kWidth;
    h = kHeight;
    label_ = newText ? newText : L"";
    text = label_.c_str();
    onClick = std::move(click);
    fill = newFill;
    fontSize = newFontSize;
    textColour = newTextColour;
}

int KelmCompatibleButton::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (!enabled)
        return 0;
    return RoutePointerEventWithHover(*this, event);
}

void KelmCompatibleButton::OnMouseUp()
{
    InvalidateWindow(window);
    auto click = onClick; // the callback may replace it while it runs
    if (click)
        click();
}

void KelmCompatibleButton::OnMouseDown()
{
    pressed = true;
    InvalidateWindow(window);
}

void KelmCompatibleButton::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmCompatibleButton>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}

void KelmCompatibleButton::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    if (!enabled)
        return;
    const COLORREF face = hovered ? ContrastShiftColor(fill, 20) : fill;
    DrawRoundRect(target, static_cast<float>(x), static_cast<float>(y), static_cast<float>(w), static_cast<float>(h),
                  face, 8.0f, 1.0f, 1.0f, ThemeShade30.Ref(), 0.0f, false);
    DrawTextInRect(target, static_cast<float>(x), static_cast<float>(y + h / 2) - fontSize / 1.5f,
                   static_cast<float>(w), static_cast<float>(h), text, fontSize, textColour, L"Segoe UI", 1.0f, true);
}
