#include "ui/controls/KelmEditBase.h"

#include <algorithm>
#include <cmath>

#include "ui/controls/EditPlatform.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

KelmEditBase::KelmEditBase()
{
    blink_.repaintCaret = [this] { RepaintCaret(); };
    blink_.changesWhatShows = [this](float opacity) {
        return caretPixels_.right <= caretPixels_.left || HasSelection() || CaretChangeShows(opacity);
    };
}

namespace
{

// The blink's own time in milliseconds: the clock its swings run on.
double BlinkNowMs(HWND window)
{
    if (KelmWindow* owner = EditPlatform::WindowObject(window))
        return owner->animationManager.Clock().Now() * 1000.0;
    return static_cast<double>(GetTickCount64());
}

// A change of the caret's opacity smaller than this, on a line a pixel
// wide, is not one the eye tells apart: the long tail of each swing (its
// last twentieth takes most of its 0.6 s) is painted in a few steps, not
// one per colour level, and an end the caret rests at exactly.
constexpr float kSeenOpacityStep = 0.05f;

// The least time between two caret paints within a swing (four screen
// refreshes). A swing does nearly all of its way in its first tenth:
// painted at every refresh that is five frames in 100 ms, which the eye
// sees as the same quick fade as two. Each frame costs a present of the
// whole window on some systems, so the fade is drawn at this pace.
constexpr double kCaretFrameMs = 66.0;

} // namespace

void KelmEditBase::SetCaretArea(float x, float y, float w, float h, float insideX, float insideY, float insideW,
                                float insideH, COLORREF caret, COLORREF fill)
{
    caretColour_ = caret;
    fillColour_ = fill;
    paintedCaret_ = CaretPixel(blink_.opacity);
    paintedOpacity_ = blink_.opacity;
    caretPaintedAt_ = BlinkNowMs(window_);
    // One pixel more on each side for the antialiased edges of the caret,
    // but never beyond the inside: what lies under the edit's border is
    // drawn from the window behind it.
    const double s = DpiScale > 0 ? DpiScale : 1.0;
    const double left = std::max<double>(x * s - 1, insideX * s);
    const double top = std::max<double>(y * s - 1, insideY * s);
    const double right = std::min<double>((x + w) * s + 1, (insideX + insideW) * s);
    const double bottom = std::min<double>((y + h) * s + 1, (insideY + insideH) * s);
    caretPixels_ = {static_cast<LONG>(std::floor(left)), static_cast<LONG>(std::floor(top)),
                    static_cast<LONG>(std::ceil(right)), static_cast<LONG>(std::ceil(bottom))};
}

COLORREF KelmEditBase::CaretPixel(float opacity) const
{
    const float a = std::clamp(opacity, 0.0f, 1.0f);
    auto mix = [a](int fill, int caret) { return static_cast<int>(std::lround(fill + (caret - fill) * a)); };
    return RGB(mix(GetRValue(fillColour_), GetRValue(caretColour_)),
               mix(GetGValue(fillColour_), GetGValue(caretColour_)),
               mix(GetBValue(fillColour_), GetBValue(caretColour_)));
}

bool KelmEditBase::CaretChangeShows(float opacity) const
{
    if (CaretPixel(opacity) == paintedCaret_)
        return false;
    if (opacity <= 0.0f || opacity >= 1.0f)
        return true; // a swing's end
    return std::fabs(opacity - paintedOpacity_) >= kSeenOpacityStep;
}

void KelmEditBase::RepaintCaret()
{
    if (!window_)
        return;
    if (caretPixels_.right <= caretPixels_.left || caretPixels_.bottom <= caretPixels_.top) {
        InvalidateWindow(window_);
        return;
    }
    // Most of a swing eases along in steps too small to see: nothing to
    // paint. Over a selection the caret's ground is not the fill.
    if (!HasSelection() && !CaretChangeShows(blink_.opacity))
        return;
    // A later step paints the newest colour; an end the caret rests at has
    // no later step.
    const bool swingsEnd = blink_.opacity <= 0.0f || blink_.opacity >= 1.0f;
    if (!swingsEnd && BlinkNowMs(window_) - caretPaintedAt_ < kCaretFrameMs)
        return;
    RepaintWindowPart(window_, caretPixels_, this); // inside the edit's opaque face
    paintedCaret_ = CaretPixel(blink_.opacity);     // what that paint will show
    paintedOpacity_ = blink_.opacity;
}

void KelmEditBase::StartCaretAnimation(float from, float to)
{
    if (focused)
        blink_.Start(window_, from, to, [this] { return focused; });
}

void KelmEditBase::StopCaretAnimation()
{
    focused = false;
    keyboardAway_ = false;
    blink_.Stop();
}

void KelmEditBase::SetFocus(bool focus)
{
    if (focus) {
        if (!focused) {
            focused = true;
            StartCaretAnimation(0.0f, 1.0f);
            Repaint();
        }
        return;
    }
    keyboardAway_ = false;
    // The panel calls this for every control a release misses: an edit
    // without the keyboard stays as it is.
    if (focused || blink_.Running()) {
        StopCaretAnimation();
        Repaint();
    }
}

int KelmEditBase::OnPanelNotify(LPARAM value)
{
    if (value == Brevin::kNotifyKeyboardLost && focused) {
        StopCaretAnimation();
        keyboardAway_ = true;
        Repaint();
        return 0;
    }
    if (value == Brevin::kNotifyKeyboardBack && keyboardAway_) {
        keyboardAway_ = false;
        SetFocus(true);
        return 0;
    }
    return Brevin::kNotHandled;
}

void KelmEditBase::PointerEvent(Brevin::kelmEvent event, const std::function<int()>& indexAtPoint)
{
    using namespace Brevin;
    switch (event) {
    case KELM_LBUTTON_DOWN:
        StopCaretAnimation();
        selecting_ = true;
        buffer_.CollapseTo(indexAtPoint());
        blink_.opacity = 1.0f;
        CaretPlaced();
        Repaint();
        break;
    case KELM_MOUSE_MOVE:
        if (selecting_) {
            buffer_.MoveCaret(indexAtPoint(), true);
            CaretPlaced();
            Repaint();
        }
        break;
    case KELM_LBUTTON_UP:
        if (!focused) {
            focused = true;
            StartCaretAnimation(0.0f, 1.0f);
        }
        selecting_ = false;
        break;
    case KELM_MOUSE_LEAVE:
        StopCaretAnimation();
        Repaint();
        break;
    default:
        break;
    }
}

void KelmEditBase::AfterKey(bool enter, const std::function<void(std::wstring)>& onEnter)
{
    blink_.opacity = 1.0f;
    Repaint();
    if (enter && onEnter) {
        auto callback = onEnter;
        callback(buffer_.text);
    }
}

bool KelmEditBase::BeginPaint(HWND window)
{
    if (!focused && !selecting_ && paintHook && paintHook(buffer_.text) == -1)
        return false;
    window_ = window;
    caretPixels_ = {};
    blink_.Painted();
    if (focused && !blink_.Running())
        StartCaretAnimation(0.0f, 1.0f); // back on screen with the keyboard: blink again
    return true;
}

void KelmEditBase::Repaint() const
{
    if (window_)
        InvalidateWindow(window_);
}
