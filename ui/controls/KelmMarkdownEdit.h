// The multi-line text box: edits text with line breaks and, while it does
// not have the keyboard, shows it with a small Markdown-like formatting.
// Always 200 by 200. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmMarkdownEdit : public Brevin::BrevinControl
{
public:
    static constexpr int kSize = 200;

    void Set(int x, int y, int w, int h, const wchar_t* text, std::function<void(std::wstring)> onEnter,
             std::function<void()> onRightClick, COLORREF fill, COLORREF textColour);
    void SetLayout(int x, int y, int w, int h, COLORREF fill, COLORREF textColour);
    std::wstring GetText() const { return text_; }

    Brevin::kelmRect GetRect() override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* rt);
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmMarkdownEdit> self);

private:
    int x_ = 0, y_ = 0;
    std::wstring text_;
    HWND window_ = nullptr;
};
