// A plain flat 100 x 40 button without animation, for the main window's
// pages. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmCompatibleButton : public Brevin::BrevinControl
{
public:
    static constexpr int kWidth = 100;
    static constexpr int kHeight = 40;

    // w and h are ignored: the button is always kWidth x kHeight.
    void Set(int x, int y, int w, int h, const wchar_t* text, std::function<void()> onClick, COLORREF fill,
             float fontSize, COLORREF textColour);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnMouseUp();
    void OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmCompatibleButton> self);

    COLORREF fill = 0;
    bool enabled = true;
    HWND window = nullptr;
    float fontSize = 15.0f;
    COLORREF textColour = 0;
    std::function<void()> onClick;

private:
    std::wstring label_;
};
