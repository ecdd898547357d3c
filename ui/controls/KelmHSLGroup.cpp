#include "ui/controls/KelmHSLGroup.h"

#include <algorithm>
#include <cstdio>

#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

namespace
{

constexpr COLORREF kWhite = 0xFFFFFF;

// One bar: a column per unit in its colour, rounded end caps and a
// white-ringed handle at v (0..1) along it.
template <typename ColumnColour>
void DrawBar(ID2D1RenderTarget* target, const KelmHSLGroup::Bar& bar, ColumnColour columnColour, COLORREF start,
             COLORREF end, double v, COLORREF current)
{
    const float bx = static_cast<float>(bar.x), by = static_cast<float>(bar.y);
    const float bw = static_cast<float>(bar.w), bh = static_cast<float>(bar.h);
    for (int i = 0; i < bar.w; ++i)
        FillSolidRect(target, bx + i, by, 1, bh, columnColour(static_cast<double>(i) / bar.w), 1.0f);
    DrawRoundRect(target, bx - 3, by, 4, bh, start, 3.0f, 1.0f);
    DrawRoundRect(target, bx + bw - 1, by, 4, bh, end, 3.0f, 1.0f);
    DrawRoundRect(target, static_cast<float>(v * bw) + bx - 2, by - 1, 4, bh + 2, current, 2.0f, 1.0f, 3.0f, kWhite,
                  0.8f);
}

} // namespace

int KelmHSLGroup::ValueAt(int px, const Bar& bar, int maximum)
{
    if (bar.w <= 0)
        return 0;
    return std::clamp((px - bar.x) * maximum / bar.w, 0, maximum);
}

bool KelmHSLGroup::BarContains(const Bar& bar, int px, int py)
{
    return bar.x <= px && px <= bar.x + bar.w && bar.y <= py && py <= bar.y + bar.h;
}

void KelmHSLGroup::Set(int nx, int ny, int, int, std::function<void()> change, COLORREF, int, COLORREF newTitleColour)
{
    onChange = std::move(change);
    fontSize = 12;
    titleColour = newTitleColour;
    area = {nx, ny, 300, 120};
    // The bars start 100 units in, where their gradients are drawn, so a
    // press lands on the value drawn under the pointer.
    hueBar = {nx + 100, ny + 30, 180, 20};
    saturationBar = {nx + 100, ny + 60, 180, 20};
    lightnessBar = {nx + 100, ny + 90, 180, 20};
}

Brevin::kelmRect KelmHSLGroup::GetRect()
{
    return area;
}

int KelmHSLGroup::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (!enabled)
        return 0;
    return RoutePointerEvent(*this, event, [this] {
        hovered = true;
        Drag();
        InvalidateWindow(window);
    });
}

void KelmHSLGroup::PickAt(int pixelX, int pixelY)
{
    const int px = static_cast<int>(pixelX / DpiScale);
    const int py = static_cast<int>(pixelY / DpiScale);
    bool changed = true;
    if (BarContains(hueBar, px, py))
        hue = ValueAt(px, hueBar, 360);
    else if (BarContains(saturationBar, px, py))
        saturation = ValueAt(px, saturationBar, 100);
    else if (BarContains(lightnessBar, px, py))
        lightness = ValueAt(px, lightnessBar, 100);
    else
        changed = false;
    if (changed)
        colour = HSLToRGB(hue, saturation / 100.0, lightness / 100.0);
    InvalidateWindow(window);
}

void KelmHSLGroup::OnMouseDown()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    PickAt(cursor.x, cursor.y);
}

void KelmHSLGroup::Drag()
{
    if (GetAsyncKeyState(VK_LBUTTON) < 0)
        OnMouseDown();
}

void KelmHSLGroup::OnMouseUp()
{
    InvalidateWindow(window);
    auto change = onChange;
    if (change)
        change();
}

void KelmHSLGroup::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    if (!enabled)
        return;
    const float x = static_cast<float>(area.x), y = static_cast<float>(area.y);
    const float w = static_cast<float>(area.w), h = static_cast<float>(area.h);
    DrawRoundRect(target, x, y, w, h + 5, ThemeAccent.Ref(), 8.0f, 1.0f);
    DrawTextInRect(target, x, y + 5, w, 20.0f, L"HSL", static_cast<float>(fontSize + 2), titleColour, L"Segoe UI", 1.0f,
                   true);
    DrawRoundRect(target, x + 20, y + 30, 60, 60, colour, 4.0f, 1.0f, 1.0f, kWhite, 0.0f);
    wchar_t readout[64] = {};
    std::swprintf(readout, 64, L"H:%.0f\nS:%.0f\nL:%.0f", hue, saturation, lightness);
    DrawTextInRect(target, x + 20, y + 40, 60, 60, readout, static_cast<float>(fontSize - 2), kWhite, L"Segoe UI", 1.0f,
                   true);

    const double s = saturation / 100.0, l = lightness / 100.0;
    DrawBar(
        target, hueBar, [](double t) { return HSLToRGB(t * 360.0, 1.0, 0.5); }, HSLToRGB(0, 1.0, 0.5),
        HSLToRGB(359, 1.0, 0.5), hue / 360.0, colour);
    DrawBar(
        target, saturationBar, [this](double t) { return HSLToRGB(hue, t, 0.5); }, HSLToRGB(hue, 0, 0.5),
        HSLToRGB(hue, 1.0, 0.5), s, colour);
    DrawBar(
        target, lightnessBar, [this, s](double t) { return HSLToRGB(hue, s, t); }, HSLToRGB(hue, s, 0),
        HSLToRGB(hue, s, 1.0), l, colour);
}

void KelmHSLGroup::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmHSLGroup>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}
