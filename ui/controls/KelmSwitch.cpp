#include "ui/controls/KelmSwitch.h"

#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"

namespace
{
constexpr double kSlideSeconds = 0.2;
constexpr double kHoverInSeconds = 0.25;
constexpr double kHoverOutSeconds = 0.15;

KelmWindow* FindWindowObject(HWND window)
{
    if (!window)
        return nullptr;
    auto it = WindowMap.find(window);
    return it == WindowMap.end() ? nullptr : it->second;
}

BYTE BlendChannel(int off, int on, double t)
{
    return static_cast<BYTE>(off + (on - off) * t);
}
} // namespace

KelmSwitch::KnobRect KelmSwitch::KnobAt(int x, int y, int w, int h, double t)
{
    const int inset = static_cast<int>(h * 0.15);
    const int knob = h - 2 * inset;
    return {static_cast<float>(x + inset + t * (w - knob - 2 * inset)), static_cast<float>(y + inset),
            static_cast<float>(knob)};
}

COLORREF KelmSwitch::Blend(COLORREF off, COLORREF on, double t)
{
    return RGB(BlendChannel(GetRValue(off), GetRValue(on), t), BlendChannel(GetGValue(off), GetGValue(on), t),
               BlendChannel(GetBValue(off), GetBValue(on), t));
}

COLORREF KelmSwitch::Highlight(COLORREF colour, double hover)
{
    const double share = hover * 0.2;
    auto lift = [share](int c) { return static_cast<BYTE>(c + (255 - c) * share); };
    return RGB(lift(GetRValue(colour)), lift(GetGValue(colour)), lift(GetBValue(colour)));
}

KelmSwitch::~KelmSwitch()
{
    // A running animation would otherwise write into freed memory.
    if (KelmWindow* owner = FindWindowObject(window_)) {
        if (positionAnimation_ != -1)
            owner->StopAnimation(positionAnimation_);
        if (hoverAnimation_ != -1)
            owner->StopAnimation(hoverAnimation_);
    }
}

void KelmSwitch::Set(int nx, int ny, int, int nh, const COLORREF* colours, std::function<void()> onToggle)
{
    sx_ = nx;
    sy_ = ny;
    sw_ = kWidth;
    sh_ = nh;
    if (colours) {
        trackOff_ = colours[0];
        borderOff_ = colours[1];
        knobOff_ = colours[2];
        trackOn_ = colours[6];
        borderOn_ = colours[7];
        knobOn_ = colours[8];
    }
    onToggle_ = std::move(onToggle);
}

void KelmSwitch::Repaint() const
{
    InvalidateWindow(window_);
}

void KelmSwitch::SlideTo(double target)
{
    KelmWindow* owner = FindWindowObject(window_);
    if (!owner) {
        position_ = target;
        positionAnimation_ = -1;
        return;
    }
    if (positionAnimation_ != -1)
        owner->StopAnimation(positionAnimation_);
    owner->StartAnimationTimer();
    positionAnimation_ =
        owner->AnimateVariableWithBezier<double>(position_, position_, target, kSlideSeconds, 0.42, 0.0, 0.58, 1.0);
}

void KelmSwitch::SetState(bool on)
{
    if (on == on_)
        return;
    on_ = on;
    SlideTo(on ? 1.0 : 0.0);
    Repaint();
}

int KelmSwitch::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (event == Brevin::KELM_LBUTTON_UP) {
        wasOn_ = on_;
        on_ = !on_;
        SlideTo(on_ ? 1.0 : 0.0);
        // The callback may rebuild the page that holds the switch: a copy.
        if (onToggle_) {
            auto callback = onToggle_;
            callback();
        }
        Repaint();
        hovered = false;
        Repaint();
        return 0;
    }
    hovered = event == Brevin::KELM_MOUSE_MOVE;
    Repaint();
    return 0;
}

Brevin::kelmRect KelmSwitch::GetRect()
{
    return {sx_, sy_, sw_, sh_};
}

void KelmSwitch::CreateCtl(HWND, ID2D1HwndRenderTarget* rt)
{
    KelmWindow* owner = FindWindowObject(window_);
    if (owner && hovered && !hoverRising_ && hover_ < 1.0) {
        hoverRising_ = true;
        if (hoverAnimation_ != -1)
            owner->StopAnimation(hoverAnimation_);
        owner->StartAnimationTimer();
        hoverAnimation_ =
            owner->AnimateVariableWithBezier<double>(hover_, hover_, 1.0, kHoverInSeconds, 0.25, 0.1, 0.25, 1.0);
    } else if (owner && !hovered && hoverRising_ && hover_ > 0.0) {
        hoverRising_ = false;
        if (hoverAnimation_ != -1)
            owner->StopAnimation(hoverAnimation_);
        owner->StartAnimationTimer();
        hoverAnimation_ =
            owner->AnimateVariableWithBezier<double>(hover_, hover_, 0.0, kHoverOutSeconds, 0.42, 0.0, 0.58, 1.0);
    }
    if (!rt)
        return;
    const double t = position_;
    const COLORREF track = Highlight(Blend(trackOff_, trackOn_, t), hover_);
    const COLORREF border = Blend(borderOff_, borderOn_, t);
    const COLORREF knob = Blend(knobOff_, knobOn_, t);
    const float radius = static_cast<float>(sh_ / 2);
    DrawRoundRect(rt, static_cast<float>(sx_), static_cast<float>(sy_), static_cast<float>(sw_),
                  static_cast<float>(sh_), track, radius, 1.0f, 1.0f, border, 1.0f);
    const KnobRect k = KnobAt(sx_, sy_, sw_, sh_, t);
    DrawRoundRect(rt, k.x, k.y, k.size, k.size, knob, radius, 1.0f);
}

void KelmSwitch::AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmSwitch>)
{
    window_ = window;
    CreateCtl(window, rt);
}
