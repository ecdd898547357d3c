#include "ui/controls/KelmSlider.h"

#include <algorithm>

#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

namespace
{
constexpr int kLeftEdge = 14;
constexpr int kMargin = 10;
constexpr int kHeight = 52;
constexpr float kRadius = 8.0f;
} // namespace

void KelmSlider::Set(int, int ny, int nw, int, int newValue, COLORREF colour, const wchar_t* newText,
                     std::function<void()> onChange)
{
    x = kLeftEdge;
    y = ny - kMargin;
    w = nw + 2 * kMargin;
    h = kHeight;
    if (newValue != -1)
        value_ = newValue;
    colour_ = colour;
    caption_ = newText ? newText : L"";
    text = caption_.c_str();
    onChange_ = std::move(onChange);
}

int KelmSlider::ValueAt(int pixelX, int rectX, int rectW, double scale)
{
    const double track = (rectW - 2 * kMargin) * scale;
    // A zero-width track has no positions: the value is its left end.
    if (track <= 0.0)
        return 0;
    const double raw = (pixelX - (rectX + kMargin) * scale) / track * 100.0;
    return std::clamp(static_cast<int>(raw), 0, 100);
}

void KelmSlider::TakeValueFromPointer()
{
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(window_, &cursor);
    value_ = ValueAt(cursor.x, x, w, DpiScale);
    // The callback may re-set this slider (owners redraw from it): run a copy.
    if (onChange_) {
        auto callback = onChange_;
        callback();
    }
    InvalidateWindow(window_);
}

int KelmSlider::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    switch (event) {
    case Brevin::KELM_LBUTTON_DOWN:
        OnMouseDown();
        break;
    case Brevin::KELM_LBUTTON_UP:
        OnMouseUp();
        break;
    case Brevin::KELM_MOUSE_MOVE:
        if (dragging_)
            TakeValueFromPointer();
        break;
    default:
        break;
    }
    return 0;
}

void KelmSlider::OnMouseDown()
{
    dragging_ = true;
    TakeValueFromPointer();
}

void KelmSlider::OnMouseUp()
{
    dragging_ = false;
    InvalidateWindow(window_);
}

void KelmSlider::CreateCtl(HWND, ID2D1HwndRenderTarget* rt)
{
    if (!rt)
        return;
    const float fx = static_cast<float>(x + kMargin), fy = static_cast<float>(y + kMargin);
    const float fw = static_cast<float>(w - 2 * kMargin), fh = static_cast<float>(h - 2 * kMargin);
    DrawRoundRect(rt, fx, fy, fw, fh, ContrastShiftColor(colour_, 60), kRadius, 0.2f, 2.0f,
                  ContrastShiftColor(colour_, 100), 0.6f);
    const float filled = static_cast<float>(value_) * fw / 100.0f;
    DrawRoundRect(rt, fx, fy, filled, fh, ContrastShiftColor(colour_, 10), kRadius, 1.0f);
    DrawTextInRect(rt, fx, static_cast<float>(y + 12), fw, fh, caption_.c_str(), 12.0f,
                   ContrastShiftColor(colour_, 120), L"Segoe UI", 0.75f, true);
}

void KelmSlider::AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmSlider>)
{
    window_ = window;
    CreateCtl(window, rt);
}
