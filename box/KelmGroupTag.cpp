#include "box/KelmGroupTag.h"

#include <algorithm>

#include "ui/controls/KelmButton.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
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

// The tag's colour over the box colour: a marker at most this big.
constexpr float kMarkerMax = 23.0f;
constexpr float kMarkerInset = 8.0f;

float MarkerSide(float height)
{
    return std::clamp(height - 18.0f, 6.0f, kMarkerMax);
}

} // namespace

KelmGroupTag::SplitText KelmGroupTag::Split(const std::wstring& text)
{
    const size_t open = text.find(L'<');
    const size_t close = open == std::wstring::npos ? std::wstring::npos : text.find(L'>', open + 1);
    if (close == std::wstring::npos)
        return {text, L""};
    return {text.substr(0, open) + text.substr(close + 1), text.substr(open + 1, close - open - 1)};
}

COLORREF KelmGroupTag::LiftedColour(COLORREF fill, double hoverProgress, double pressProgress)
{
    const double lift = std::max(0.0, 2 * hoverProgress - pressProgress) * 2.5;
    auto channel = [lift](int c) { return std::min(255, static_cast<int>(c + lift + 20)); };
    return RGB(channel(GetRValue(fill)), channel(GetGValue(fill)), channel(GetBValue(fill)));
}

KelmGroupTag::~KelmGroupTag()
{
    if (!hwnd)
        return;
    KillTimer(hwnd, reinterpret_cast<UINT_PTR>(this));
    if (KelmWindow* host = HostOf(hwnd)) {
        for (int id : {hoverAnimationId, pressAnimationId, textChangeAnimationId, tooltipAnimationId}) {
            if (id >= 0)
                host->StopAnimation(id);
        }
    }
}

void KelmGroupTag::Set(int nx, int ny, int width, int height, const std::wstring& text, std::function<void()> click,
                       std::shared_ptr<KelmButton> ownerButton, float size, int, COLORREF textColor, COLORREF fill,
                       float cornerRadius, bool withShadow)
{
    x = nx;
    y = ny;
    w = width;
    h = height;
    onClick = std::move(click);
    owner = std::move(ownerButton);
    fontSize = size;
    textColour = textColor;
    fillColour = fill;
    radius = static_cast<int>(cornerRadius);
    shadow = withShadow;
    SplitText split = Split(text);
    label = std::move(split.label);
    tooltipText = std::move(split.tooltip);
    interactive = 1;
}

int KelmGroupTag::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (!enabled)
        return 0;
    switch (event) {
    case Brevin::KELM_LBUTTON_UP:
        hovered = true;
        OnMouseUp();
        break;
    case Brevin::KELM_LBUTTON_DOWN:
        // The panel clears the hover before each event; a click is still
        // over the tag.
        hovered = true;
        OnMouseDown();
        break;
    case Brevin::KELM_MOUSE_MOVE:
        if (!lastHovered && onHover)
            onHover();
        hovered = true;
        if (hwnd)
            InvalidateRect(hwnd, nullptr, FALSE);
        break;
    default:
        break;
    }
    return 0;
}

void KelmGroupTag::OnMouseUp()
{
    // The panel clears the pressed flag before it routes a release, so the
    // press is remembered apart: a release that began elsewhere is no click.
    const bool wasPressed = armed_;
    armed_ = false;
    pressed = false;
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
    if (wasPressed && interactive >= 1 && onClick) {
        // The callback may open a menu that repaints the box (and calls Set
        // on this tag): run a copy.
        auto click = onClick;
        click();
    }
}

void KelmGroupTag::OnMouseDown()
{
    pressed = true;
    armed_ = true;
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

void KelmGroupTag::CancelPress()
{
    pressed = false;
    armed_ = false;
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

void KelmGroupTag::AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmGroupTag> self)
{
    hwnd = window;
    self_ = self;
    CreateCtl(window, target);
}

void KelmGroupTag::Stop(int& id)
{
    if (id < 0)
        return;
    if (KelmWindow* host = HostOf(hwnd))
        host->StopAnimation(id);
    id = -1;
}

void KelmGroupTag::Animate(int& id, double KelmGroupTag::*field, double to, double seconds, double x1, double y1,
                           double x2, double y2)
{
    Stop(id);
    KelmWindow* host = HostOf(hwnd);
    if (!host) {
        this->*field = to;
        return;
    }
    std::weak_ptr<KelmGroupTag> weak = self_;
    int KelmGroupTag::*idField = nullptr;
    if (&id == &hoverAnimationId)
        idField = &KelmGroupTag::hoverAnimationId;
    else if (&id == &pressAnimationId)
        idField = &KelmGroupTag::pressAnimationId;
    else
        idField = &KelmGroupTag::tooltipAnimationId;
    auto step = [weak, field](double value) {
        if (auto tag = weak.lock())
            (*tag).*field = value;
    };
    auto done = [weak, idField] {
        if (auto tag = weak.lock())
            (*tag).*idField = -1;
    };
    id = host->AnimateVariableWithBezier<double>(this->*field, to, seconds, step, x1, y1, x2, y2, done);
    host->StartAnimationTimer();
}

void CALLBACK KelmGroupTag::ToolTipTimerProc(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    // The id is the tag's address; the tag kills the timer when it goes.
    auto* tag = reinterpret_cast<KelmGroupTag*>(id);
    if (!tag->hovered || !HostOf(window) || tag->tooltipAnimationId >= 0)
        return;
    tag->Animate(tag->tooltipAnimationId, &KelmGroupTag::tooltipOpacity, 1.0, 0.2, 0.25, 0.1, 0.25, 1.0);
}

void KelmGroupTag::CreateCtl(HWND window, ID2D1HwndRenderTarget* target)
{
    hwnd = window;
    if (!enabled)
        return;
    // A release away from the tag cleared the pressed flag: no click later.
    if (armed_ && !pressed)
        armed_ = false;
    if (hovered != lastHovered) {
        if (!tooltipText.empty()) {
            if (!hovered) {
                KillTimer(window, reinterpret_cast<UINT_PTR>(this));
                Stop(tooltipAnimationId);
                if (tooltipOpacity > 0)
                    Animate(tooltipAnimationId, &KelmGroupTag::tooltipOpacity, 0.0, 0.2, 0.42, 0.0, 0.58, 1.0);
            } else {
                Stop(tooltipAnimationId);
                SetTimer(window, reinterpret_cast<UINT_PTR>(this), kTooltipDelayMs, &KelmGroupTag::ToolTipTimerProc);
            }
        }
        if (hovered)
            Animate(hoverAnimationId, &KelmGroupTag::hoverProgress, 1.0, 0.25, 0.25, 0.1, 0.25, 1.0);
        else
            Animate(hoverAnimationId, &KelmGroupTag::hoverProgress, 0.0, 0.25, 0.42, 0.0, 0.58, 1.0);
        lastHovered = hovered;
    }
    if (pressed != lastPressed) {
        if (pressed)
            Animate(pressAnimationId, &KelmGroupTag::pressProgress, 1.0, 0.1, 0.25, 0.1, 0.25, 1.0);
        else
            Animate(pressAnimationId, &KelmGroupTag::pressProgress, 0.0, 0.2, 0.25, 0.1, 0.25, 1.0);
        lastPressed = pressed;
    }

    COLORREF base = fillColour;
    if (ThemeBaseColor.r == ThemeBaseColor.g)
        base = ContrastShiftColor(base, 15);
    const COLORREF c = LiftedColour(base, hoverProgress, pressProgress);
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h), fr = static_cast<float>(radius);
    if (shadow)
        DrawSoftShadow(target, fx, fy, fw, fh, fr, 0, 2, 10, 5, 0, 0.02f, ThemeTextColor.Ref());
    if (interactive == 0 || pressed) {
        DrawRoundRect(target, fx, fy, fw, fh, c, fr, 1.0f);
    } else if (hoverProgress <= 0) {
        const COLORREF rest = ContrastShiftColor(c, 20);
        if (shadow)
            DrawRoundRect(target, fx, fy, fw, fh, rest, fr, 0.95f, 1.0f, ContrastShiftColor(ThemeAccent.Ref(), 40),
                          0.5f);
        else
            DrawRoundRect(target, fx, fy, fw, fh, rest, fr, 1.0f);
    } else {
        DrawButtonFace(target, fx, fy, fw, fh, c, fr);
    }
    const COLORREF marker = owner ? owner->fill : RGB(0x52, 0x79, 0xFB);
    DrawAnimatedText(target, fx, fy, fw, fh, marker, interactive == 0);
}

void KelmGroupTag::DrawLabel(ID2D1RenderTarget* target, const std::wstring& text, float lx, float ly, float width,
                             float height, COLORREF colour, float alpha)
{
    if (alternateTextStyle)
        DrawIconTextOblique(target, lx, ly, width, height, text.c_str(), fontSize, colour, L"Segoe UI", alpha, false);
    else
        DrawIconText(target, lx, ly, width, height, text.c_str(), fontSize, colour, L"Segoe UI", alpha, false);
}

void KelmGroupTag::DrawAnimatedText(ID2D1RenderTarget* target, float tx, float ty, float width, float height,
                                    COLORREF colour, bool contrast)
{
    const float side = MarkerSide(height);
    DrawButtonFaceBordered(target, tx + kMarkerInset, ty + (height - side) / 2, side, side, colour,
                           static_cast<float>(radius) / 2 + 1, 1.0f, 1.5f);
    const COLORREF text = contrast ? ContrastShiftColor(textColour, 80) : textColour;
    const float textX = tx + kMarkerInset + side + 7;
    const float textWidth = std::max(0.0f, width - (textX - tx) - 4);
    // DirectWrite places the line box from the top; centre it by the size.
    const float textY = ty + (height - fontSize * 1.45f) / 2;
    if (textChangeProgress < 1.0)
        PaintAnimatedText(target, textX, textY, textWidth - 20, fontSize * 1.45f, text);
    else
        DrawLabel(target, label, textX, textY, textWidth, fontSize * 1.45f, text, 1.0f);
}

void KelmGroupTag::PaintAnimatedText(ID2D1RenderTarget* target, float tx, float ty, float width, float height,
                                     COLORREF colour)
{
    // The old label slides up and fades while the new one rises into place.
    const float p = static_cast<float>(std::clamp(textChangeProgress, 0.0, 1.0));
    target->PushAxisAlignedClip(D2D1::RectF(tx, ty, tx + width + 20, ty + height), D2D1_ANTIALIAS_MODE_ALIASED);
    DrawLabel(target, previousLabel, tx, ty - p * height, width + 20, height, colour, 1.0f - p);
    DrawLabel(target, label, tx, ty + (1.0f - p) * height, width + 20, height, colour, p);
    target->PopAxisAlignedClip();
}

} // namespace TessikDesktopContainer
