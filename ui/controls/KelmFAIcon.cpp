#include "ui/controls/KelmFAIcon.h"

#include <algorithm>

#include "ui/controls/HoverSteps.h"
#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/GlyphNames.h"
#include "ui/core/HitTest.h"
#include "ui/core/KelmWindow.h"

namespace
{

// The ease curve of press and hold: cubic-bezier(0.25, 0.1, 0.25, 1.0).
constexpr double kEase[4] = {0.25, 0.1, 0.25, 1.0};

bool LeftButtonDown()
{
    return GetAsyncKeyState(VK_LBUTTON) < 0;
}

} // namespace

KelmFAIcon::~KelmFAIcon()
{
    // The steps would find the icon gone anyway; stopping frees the window
    // from repainting for nothing.
    Stop(hoverAnimation);
    Stop(pressAnimation);
    Stop(progressAnimation);
    Stop(holdScaleAnimation);
    Stop(holdOffsetAnimation);
}

void KelmFAIcon::Set(int nx, int ny, const wchar_t* newName, int newSize, COLORREF newColour,
                     std::function<void()> click)
{
    size = static_cast<float>(newSize);
    colour = newColour;
    name = newName ? newName : L"";
    iconX = nx;
    iconY = ny;
    iconW = newSize;
    iconH = newSize;
    onClick = std::move(click);
}

Brevin::kelmRect KelmFAIcon::GetRect()
{
    return {iconX, iconY, iconW, iconH};
}

KelmWindow* KelmFAIcon::Host() const
{
    auto it = WindowMap.find(window);
    return it == WindowMap.end() ? nullptr : it->second;
}

void KelmFAIcon::Stop(int& id)
{
    if (id < 0)
        return;
    if (KelmWindow* host = Host())
        host->StopAnimation(id);
    id = -1;
}

void KelmFAIcon::Animate(int& id, float KelmFAIcon::*field, float from, float to, double seconds, bool eased,
                         std::function<void()> done)
{
    KelmWindow* host = Host();
    if (!host)
        return;
    Stop(id);
    std::weak_ptr<KelmFAIcon> weak = self_;
    auto step = [weak, field](float value) {
        if (auto icon = weak.lock())
            (*icon).*field = value;
    };
    if (eased)
        id = host->AnimateVariableWithBezier<float>(from, to, seconds, step, kEase[0], kEase[1], kEase[2], kEase[3],
                                                    std::move(done));
    else
        id = host->AnimateVariable<float>(from, to, seconds, step, std::function<double(double)>{}, std::move(done));
    host->StartAnimationTimer();
}

void KelmFAIcon::Repaint()
{
    InvalidateWindow(window);
}

float KelmFAIcon::HoverFactor(float value)
{
    const float t = value / 10.0f - 1.0f;
    return 0.5f * (1.0f + t * t * t);
}

COLORREF KelmFAIcon::HoverColour(COLORREF rest, float value)
{
    if (value <= 0.01f)
        return rest;
    return HoverSteps::ShiftForHover(rest, HoverFactor(value));
}

void KelmFAIcon::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmFAIcon> self)
{
    window = hwnd;
    self_ = self;
    CreateCtl(hwnd, target);
}

void KelmFAIcon::CreateCtl(HWND hwnd, ID2D1HwndRenderTarget* target)
{
    const bool over = HitTestCursor(hwnd, iconX, iconY, iconW, iconH);
    if (over != hoverState) {
        hoverState = over;
        Animate(hoverAnimation, &KelmFAIcon::hoverValue, hoverValue, over ? 10.0f : 0.0f, 0.2, false);
    }
    if (pressed != pressState) {
        pressState = pressed;
        if (pressed)
            Animate(pressAnimation, &KelmFAIcon::pressScale, pressScale, 0.85f, 0.15, true);
        else
            Animate(pressAnimation, &KelmFAIcon::pressScale, pressScale, 1.0f, 0.3, true);
    }
    // A hold whose release happened away from the icon ends here.
    if (IsHoldButton() && holding && !over && !LeftButtonDown())
        ReleaseHold();

    const float f = HoverFactor(hoverValue);
    const COLORREF shown = HoverColour(colour, hoverValue);
    const float s = size, k = pressScale, z = k * s, d = (s - z) / 2.0f;
    const float fx = static_cast<float>(iconX), fy = static_cast<float>(iconY);
    const float fw = static_cast<float>(iconW), fh = static_cast<float>(iconH);
    float gx = fx + d, gy = fy + fh / 2.0f - s / 1.5f + d, gsize = z;

    if (name == L"test-left") {
        gx -= 3.0f * f;
    } else if (name == L"test-right") {
        gx += 3.0f * f;
    } else if (name == L"test-right-upd" || name == L"test-right-dld") {
        gx = fx + fw - s + 3.0f * f + d;
        gy = fy + 1.0f + fh / 2.0f - s / 1.5f + d;
        const float cs = s - 4.0f;
        const float e = (cs - cs * k) / 2.0f;
        DrawTextSemibold(target, fx - 5.0f + 3.0f * f + e, fy + fh / 2.0f - cs / 1.5f + e, fw, fh,
                         name == L"test-right-upd" ? L"现在更新" : L"下载", cs * k, shown, L"Segoe UI", 1.0f, false);
    } else if (IsHoldButton()) {
        gsize = holdScale * k * s;
        const float dh = (s - gsize) / 2.0f;
        gx = fx + dh;
        gy = fy - holdOffset + fh / 2.0f - s / 1.5f + dh;
    }
    const std::wstring glyph = GetGlyph(name);
    DrawTextInRectInt(target, gx, gy, iconW, iconH, glyph.c_str(), gsize, shown, kIconFontFamily, 1.0f);
}

int KelmFAIcon::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    return RoutePointerEvent(
        *this, event,
        [this] {
            hovered = true;
            Repaint();
        },
        [this] {
            hovered = false;
            // The panel clears the pressed flag before a leave reaches the
            // icon, so a hold in progress counts as pressed here too.
            if ((pressed || holding) && !LeftButtonDown()) {
                pressed = false;
                if (holding) {
                    ReleaseHold();
                    HoverAnimationCount = 0;
                }
            }
            Repaint();
        });
}

void KelmFAIcon::OnMouseDown()
{
    pressed = true;
    Repaint();
    if (!IsHoldButton())
        return;
    holding = true;
    Stop(progressAnimation);
    Stop(holdScaleAnimation);
    Stop(holdOffsetAnimation);
    holdProgress = 0.0f;
    std::weak_ptr<KelmFAIcon> weak = self_;
    Animate(progressAnimation, &KelmFAIcon::holdProgress, 0.0f, 1.0f, 0.4, false, [weak] {
        if (auto icon = weak.lock())
            icon->OnHoldComplete();
    });
}

void KelmFAIcon::OnMouseUp()
{
    pressed = false;
    Repaint();
    // Copies: a callback may rebuild the window's controls, this one included.
    if (IsHoldButton()) {
        if (!holding)
            return;
        auto run = holdProgress >= 1.0f ? onHold : onClick;
        if (run)
            run();
        ReleaseHold();
        return;
    }
    auto click = onClick;
    if (click)
        click();
}

void KelmFAIcon::OnHoldComplete()
{
    progressAnimation = -1;
    if (!holding)
        return;
    Animate(holdScaleAnimation, &KelmFAIcon::holdScale, 1.0f, 0.9f, 0.3, true);
    Animate(holdOffsetAnimation, &KelmFAIcon::holdOffset, 0.0f, 5.0f, 0.3, true);
}

void KelmFAIcon::ReleaseHold()
{
    if (!holding)
        return;
    holding = false;
    Stop(progressAnimation);
    if (holdScale == 1.0f && holdOffset == 0.0f)
        return;
    Animate(holdScaleAnimation, &KelmFAIcon::holdScale, holdScale, 1.0f, 0.3, true);
    Animate(holdOffsetAnimation, &KelmFAIcon::holdOffset, holdOffset, 0.0f, 0.3, true);
}
