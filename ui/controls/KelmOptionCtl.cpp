#include "ui/controls/KelmOptionCtl.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "ui/controls/HoverSteps.h"
#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/Easing.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

// The tooltip timer carries a row's address as its id. A WM_TIMER already
// queued survives KillTimer, so the timer procedure only trusts an address
// that belongs to a row alive right now.
std::unordered_set<const KelmOptionCtl*>& LiveRows()
{
    static std::unordered_set<const KelmOptionCtl*> rows;
    return rows;
}

constexpr COLORREF kHighlightBorder = 0xFB7952;
constexpr float kFaceRadius = 6.0f;
constexpr double kTipFadeSeconds = 0.2;
constexpr double kLabelChangeSeconds = 0.4;

KelmWindow* FindWindowObject(HWND window)
{
    if (!window)
        return nullptr;
    auto it = WindowMap.find(window);
    return it == WindowMap.end() ? nullptr : it->second;
}

} // namespace

KelmOptionCtl::LabelTip KelmOptionCtl::ParseLabelTip(const std::wstring& text)
{
    const size_t open = text.find(L'<');
    const size_t close = text.find(L'>');
    if (open == std::wstring::npos || close == std::wstring::npos || close < open)
        return {text, {}};
    return {text.substr(0, open) + text.substr(close + 1), text.substr(open + 1, close - open - 1)};
}

KelmOptionCtl::KelmOptionCtl()
{
    LiveRows().insert(this);
}

KelmOptionCtl::~KelmOptionCtl()
{
    LiveRows().erase(this);
    // A pending timer or a running fade would otherwise reach freed memory.
    StopTimer();
    StopAnimation(tipFade_);
    StopAnimation(labelChange_);
    if (animationRunning_)
        LowerHoverAnimationCount();
}

void KelmOptionCtl::Set(int nx, int ny, int nw, int nh, const wchar_t* newText, std::function<void()> onClick,
                        COLORREF fill, float fontSize, int kind, COLORREF textColour)
{
    onClick_ = std::move(onClick);
    fill_ = fill;
    fontSize_ = fontSize;
    textColour_ = textColour;
    LabelTip parts = ParseLabelTip(newText ? newText : L"");
    label_ = std::move(parts.label);
    tip_ = std::move(parts.tip);
    x = nx;
    y = ny;
    w = nw;
    h = nh;
    kind_ = kind;
}

void KelmOptionCtl::SetText(const wchar_t* newText, int direction)
{
    LabelTip parts = ParseLabelTip(newText ? newText : L"");
    if (parts.label == label_)
        return;
    KelmWindow* owner = FindWindowObject(window_);
    if (!owner) {
        label_ = std::move(parts.label);
        tip_ = std::move(parts.tip);
        changeProgress_ = 1.0;
        Repaint();
        return;
    }
    StopAnimation(labelChange_);
    oldLabel_ = std::move(label_);
    label_ = std::move(parts.label);
    tip_ = std::move(parts.tip);
    changeDirection_ = direction;
    changeProgress_ = 0.0;
    owner->StartAnimationTimer();
    labelChange_.window = window_;
    labelChange_.id =
        owner->AnimateVariableWithBezier<double>(changeProgress_, 0.0, 1.0, kLabelChangeSeconds, 0.11, 0.57, 0.65, 1.0,
                                                 [this, alive = std::weak_ptr<char>(life_)]() {
                                                     if (alive.expired())
                                                         return;
                                                     labelChange_.id = -1;
                                                     changeProgress_ = 1.0;
                                                 });
}

void KelmOptionCtl::SetHoverCallback(std::function<void()> callback)
{
    hoverCallback_ = std::move(callback);
}

void KelmOptionCtl::DrawAnimatedText(ID2D1HwndRenderTarget* rt, int tx, int ty, int tw, int th, float fontSize,
                                     DWORD colour, bool centred)
{
    const float fx = static_cast<float>(tx), fy = static_cast<float>(ty);
    const float fw = static_cast<float>(tw), fh = static_cast<float>(th);
    if (changeProgress_ >= 1.0) {
        DrawIconText(rt, fx, fy, fw, fh, label_.c_str(), fontSize, colour, L"Segoe UI", 1.0f, centred);
        return;
    }
    const float t = static_cast<float>(changeProgress_);
    const float travel = fontSize * 1.5f;
    // Old and new label move one travel apart, so one pushes the other out.
    const float sign = changeDirection_ == 0 ? 1.0f : -1.0f;
    const float oldY = fy + sign * t * travel;
    const float newY = fy - sign * (1.0f - t) * travel;
    // The clip is one line high: the label's top sits 20 above the row's
    // middle for the usual row heights.
    const float clipHeight = std::max(fh - 20.0f, 1.0f);
    WithRoundRectClip(
        rt, fx, fy, fw, clipHeight, window_, 0.0f, [&](HWND, ID2D1HwndRenderTarget* target, int, int, int, int) {
            DrawIconText(target, fx, oldY, fw, fh, oldLabel_.c_str(), fontSize, colour, L"Segoe UI", 1.0f, centred);
            DrawIconText(target, fx, newY, fw, fh, label_.c_str(), fontSize, colour, L"Segoe UI", 1.0f, centred);
        });
}

void CALLBACK KelmOptionCtl::ToolTipTimerProc(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    try {
        auto* row = reinterpret_cast<KelmOptionCtl*>(id);
        // A stale message of a freed row, or of a row whose timer was
        // already killed (pointer left before the delay ran out).
        if (!LiveRows().count(row) || row->timerWindow_ != window)
            return;
        row->timerWindow_ = nullptr;
        if (!row->hovered || !FindWindowObject(window) || row->tipFade_.id != -1)
            return;
        row->FadeTipTo(window, 1.0);
    } catch (...) {
        // Nothing may leave a timer procedure; a tooltip that does not show
        // is the whole loss.
    }
}

int KelmOptionCtl::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (!enabled)
        return 0;
    return RoutePointerEvent(*this, event, [this] {
        // The panel clears the flag before every event, so this runs on
        // every move over the row. The callback may free the row (a menu
        // closing a submenu): it runs last, from a copy.
        const bool entering = !hovered;
        hovered = true;
        Repaint();
        if (entering && hoverCallback_) {
            auto callback = hoverCallback_;
            callback();
        }
    });
}

void KelmOptionCtl::OnMouseDown()
{
    animationStep_ = 0;
    pressed = true;
    Repaint();
}

void KelmOptionCtl::OnMouseUp()
{
    animationStep_ = 0;
    Repaint();
    // A click often closes the menu that holds the row: run a copy, last.
    if (kind_ >= kKindNormal && onClick_) {
        auto callback = onClick_;
        callback();
    }
}

void KelmOptionCtl::AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmOptionCtl>)
{
    window_ = window;
    CreateCtl(window, rt);
}

void KelmOptionCtl::CreateCtl(HWND window, ID2D1HwndRenderTarget* rt)
{
    if (!enabled) {
        // A row disabled in the middle of its face animation would keep
        // every window repainting on timer 11 for good.
        if (animationRunning_)
            HoverSteps::StopCounting(animationRunning_);
        animationStep_ = 0;
        return;
    }
    if (hovered != lastHovered_)
        UpdateToolTip(window);
    lastHovered_ = hovered;

    StepFaceAnimation();
    const bool clickable = kind_ >= kKindNormal;
    float p;
    if (pressed && clickable) {
        p = static_cast<float>(EaseOutBounce(animationStep_, 0.0, 0.5, 10.0));
    } else {
        const double s = animationStep_ / 10.0 - 1.0;
        p = static_cast<float>((s * s * s + 1.0) * 0.5);
    }
    DrawFace(rt, p);
    DrawLabel(rt);
}

void KelmOptionCtl::UpdateToolTip(HWND window)
{
    if (tip_.empty() || !FindWindowObject(window))
        return;
    if (hovered) {
        StopAnimation(tipFade_);
        StopTimer();
        if (SetTimer(window, reinterpret_cast<UINT_PTR>(this), kToolTipDelayMs, &KelmOptionCtl::ToolTipTimerProc))
            timerWindow_ = window;
        return;
    }
    StopTimer();
    StopAnimation(tipFade_);
    if (tipOpacity_ > 0.0)
        FadeTipTo(window, 0.0);
}

void KelmOptionCtl::FadeTipTo(HWND window, double target)
{
    KelmWindow* owner = FindWindowObject(window);
    if (!owner)
        return;
    owner->StartAnimationTimer();
    tipFade_.window = window;
    tipFade_.id = owner->AnimateVariable<double>(tipOpacity_, tipOpacity_, target, kTipFadeSeconds, nullptr,
                                                 [this, alive = std::weak_ptr<char>(life_)]() {
                                                     if (!alive.expired())
                                                         tipFade_.id = -1;
                                                 });
}

void KelmOptionCtl::StopAnimation(RunningAnimation& animation)
{
    if (animation.id == -1)
        return;
    if (KelmWindow* owner = FindWindowObject(animation.window))
        owner->StopAnimation(animation.id);
    animation.id = -1;
}

void KelmOptionCtl::StopAnimations()
{
    StopTimer();
    StopAnimation(tipFade_);
    StopAnimation(labelChange_);
    tipOpacity_ = 0.0;
    changeProgress_ = 1.0;
}

void KelmOptionCtl::StopTimer()
{
    if (!timerWindow_)
        return;
    KillTimer(timerWindow_, reinterpret_cast<UINT_PTR>(this));
    timerWindow_ = nullptr;
}

void KelmOptionCtl::StepFaceAnimation()
{
    // One step per paint; HoverAnimationCount keeps timer 11 repainting
    // until the step reaches its end.
    HoverSteps::Advance(animationStep_, animationRunning_, kind_ >= kKindNormal && (pressed || hovered));
}

void KelmOptionCtl::DrawFace(ID2D1HwndRenderTarget* rt, float p) const
{
    const COLORREF lit = HoverSteps::Lighten(fill_, p * 20.0f);
    const float fx = static_cast<float>(x), fy = static_cast<float>(y), fw = static_cast<float>(w);
    // Every layer grows by p on every side.
    auto layer = [&](int height, COLORREF colour, float borderWidth, COLORREF border) {
        DrawRoundRect(rt, fx - p, fy - p, fw + 2 * p, static_cast<float>(height) + 2 * p, colour, kFaceRadius, 1.0f,
                      borderWidth, border, 0.0f, false);
    };
    if (kind_ < kKindNormal) {
        layer(h, ContrastShiftColor(lit, 30), 1.0f, lit);
        layer(h - 1, ContrastShiftColor(lit, 25), 0.0f, 0);
        layer(h - 2, ContrastShiftColor(lit, 20), 0.0f, 0);
        return;
    }
    if (w < kNarrowRowWidth) {
        layer(h, lit, 1.0f, kind_ == kKindHighlighted ? kHighlightBorder : lit);
        return;
    }
    if (hovered && !pressed) {
        layer(h, ContrastShiftColor(lit, 10), 1.0f, lit);
        layer(h - 1, ContrastShiftColor(lit, 5), 1.0f, lit);
        layer(h - 2, lit, 1.0f, lit);
        return;
    }
    layer(h, lit, 1.0f, lit);
}

void KelmOptionCtl::DrawLabel(ID2D1HwndRenderTarget* rt)
{
    const float top = static_cast<float>(y + h / 2) - fontSize_ / 1.5f;
    if (kind_ < kKindNormal) {
        // An entry with an icon that cannot be clicked now (a paste with
        // nothing to paste) keeps its icon where the other entries have
        // theirs; a heading starts at the row's edge.
        const bool entry = w >= 100 && label_.size() > 2 && label_[0] == L':' && label_[2] == L':';
        DrawIconText(rt, static_cast<float>(entry ? x + 20 : x), top, static_cast<float>(w), static_cast<float>(h),
                     label_.c_str(), fontSize_, ContrastShiftColor(textColour_, 80), L"Segoe UI", 1.0f, w < 100);
        return;
    }
    if (w < kNarrowRowWidth) {
        DrawIconText(rt, static_cast<float>(x), top + 3.0f, static_cast<float>(w), static_cast<float>(h),
                     label_.c_str(), fontSize_, textColour_, L"Segoe UI", 1.0f, true);
        return;
    }
    DrawAnimatedText(rt, x + 20, static_cast<int>(top), w, h, fontSize_, textColour_, false);
}

void KelmOptionCtl::Repaint() const
{
    if (window_)
        InvalidateWindow(window_);
}
