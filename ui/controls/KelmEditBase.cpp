#include "ui/controls/KelmEditBase.h"

#include "ui/core/D2DResources.h"

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
