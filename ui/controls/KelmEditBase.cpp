#include "ui/controls/KelmEditBase.h"

#include <algorithm>
#include <cmath>

#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

KelmEditBase::KelmEditBase()
{
    blink_.repaintCaret = [this] { RepaintCaret(); };
}

void KelmEditBase::SetCaretArea(float x, float y, float w, float h, float insideX, float insideY, float insideW,
                                float insideH)
{
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

void KelmEditBase::RepaintCaret() const
{
    if (!window_)
        return;
    if (caretPixels_.right > caretPixels_.left && caretPixels_.bottom > caretPixels_.top)
        RepaintWindowPart(window_, caretPixels_, this); // inside the edit's opaque face
    else
        InvalidateWindow(window_);
}

void KelmEditBase::StartCaretAnimation(float from, float to)
{
    if (focused)
        blink_.Start(window_, from, to, [this] { return focused; });
}

void KelmEditBase::StopCaretAnimation()
{
    focused = false;
    blink_.Stop();
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
