#include "ui/controls/KelmMarkdownEdit.h"

// Placeholder until the editor is drawn: it keeps its place only.
void KelmMarkdownEdit::Set(int x, int y, int, int, const wchar_t*, std::function<void(std::wstring)>,
                           std::function<void()>, COLORREF, COLORREF)
{
    x_ = x;
    y_ = y;
    text_.clear();
}
void KelmMarkdownEdit::SetLayout(int x, int y, int, int, COLORREF, COLORREF)
{
    x_ = x;
    y_ = y;
}
Brevin::kelmRect KelmMarkdownEdit::GetRect() { return {x_, y_, kSize, kSize}; }
void KelmMarkdownEdit::CreateCtl(HWND, ID2D1HwndRenderTarget*) {}
void KelmMarkdownEdit::AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmMarkdownEdit>)
{
    if (!window_) window_ = window;
    CreateCtl(window, rt);
}
