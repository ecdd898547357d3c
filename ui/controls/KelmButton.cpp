#include "ui/controls/KelmButton.h"

#include <algorithm>

#include "ui/controls/HoverSteps.h"
#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

namespace
{

COLORREF Darken(COLORREF colour, int amount)
{
    auto channel = [amount](int c) { return std::max(0, c - amount); };
    return RGB(channel(GetRValue(colour)), channel(GetGValue(colour)), channel(GetBValue(colour)));
}

} // namespace

KelmButton::~KelmButton()
{
    // A button dropped mid-animation would otherwise keep every window
    // repainting on its hover timer for good.
    if (animationRunning)
        StopCounting();
}

void KelmButton::StopCounting()
{
    HoverSteps::StopCounting(animationRunning);
}

void KelmButton::ResetAnimation()
{
    if (animationRunning)
        StopCounting();
    animationStep = 0;
    hovered = false;
    pressed = false;
}

void KelmButton::Set(int nx, int ny, int nw, int nh, const wchar_t* newText, std::function<void()> click,
                     COLORREF newFill, int newFontSize, COLORREF newTextColour)
{
    x = nx;
    y = ny;
    w = nw;
    h = nh;
    label_ = newText ? newText : L"";
    text = label_.c_str();
    onClick = std::move(click);
    fill = newFill;
    fontSize = static_cast<float>(newFontSize);
    textColour = newTextColour;
}

int KelmButton::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (!enabled)
        return 0;
    return RoutePointerEventWithHover(*this, event);
}

void KelmButton::OnMouseUp()
{
    animationStep = 0;
    InvalidateWindow(window);
    // A copy: the callback may replace this button's callback (or the
    // button itself) while it runs.
    auto click = onClick;
    if (click)
        click();
}

void KelmButton::OnMouseDown()
{
    animationStep = 0;
    pressed = true;
    InvalidateWindow(window);
}

void KelmButton::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmButton>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}

KelmButton::Look KelmButton::ComputeLook(int x, int y, int w, int h, COLORREF fill, float fontSize, int step,
                                         bool pressed, bool hovered, COLORREF themeShade)
{
    const float p = HoverSteps::Progress(step, pressed);
    const COLORREF lit = HoverSteps::Lighten(fill, p * 20.0f);
    const COLORREF border = w == h ? Darken(lit, 50) : themeShade;
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);

    Look look{};
    look.labelSize = pressed ? fontSize - p : fontSize;
    if (pressed) {
        look.layerCount = 2;
        look.layers[0] = {fx + p, fy + p, fw - 2 * p, fh - 2 * p, ContrastShiftColor(lit, 10), 1.0f, border};
        look.layers[1] = {fx + p, fy + p, fw - 2 * p, (fh - 2) - 2 * p, lit, 0.0f, border};
    } else if (hovered) {
        look.layerCount = 2;
        look.layers[0] = {fx - p, fy - p, fw + 2 * p, fh + 2 * p, ContrastShiftColor(lit, 10), 1.0f + p, border};
        look.layers[1] = {fx - p, fy - p, fw + 2 * p, (fh - 2) + 2 * p, lit, 0.0f, border};
    } else {
        look.layerCount = 3;
        look.layers[0] = {fx - p, fy - p, fw + 2 * p, fh + 2 * p, ContrastShiftColor(lit, 10), 1.0f, border};
        look.layers[1] = {fx - p, fy - p, fw + 2 * p, (fh - 1) + 2 * p, ContrastShiftColor(lit, 5), 0.0f, border};
        look.layers[2] = {fx - p, fy - p, fw + 2 * p, (fh - 2) + 2 * p, lit, 0.0f, border};
    }
    return look;
}

void KelmButton::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    if (!enabled)
        return;
    // The animation has no timer of its own: each paint is one frame, and
    // the counter keeps the windows' hover timers repainting meanwhile.
    HoverSteps::Advance(animationStep, animationRunning, pressed || hovered);

    const Look look = ComputeLook(x, y, w, h, fill, fontSize, animationStep, pressed, hovered, ThemeShade30.Ref());
    for (int i = 0; i < look.layerCount; ++i) {
        const FaceLayer& layer = look.layers[i];
        DrawRoundRect(target, layer.x, layer.y, layer.w, layer.h, layer.fill, cornerRadius, 1.0f, layer.borderWidth,
                      layer.border, 0.0f, false);
    }
    DrawTextInRect(target, static_cast<float>(x), static_cast<float>(y + h / 2) - fontSize / 1.5f,
                   static_cast<float>(w), static_cast<float>(h), text, look.labelSize, textColour, L"Segoe UI", 1.0f,
                   true);
}
