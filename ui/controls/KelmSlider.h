// A horizontal percentage slider: a translucent rounded track, a solid fill
// as long as the value (0..100) and a small centred caption. Pressing on the
// track and dragging over it set the value. The slider always sits at the
// left edge of its window. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmSlider : public Brevin::BrevinControl
{
public:
    // Rectangle (14, y - 10, w + 20, 52); x and h are ignored. A value of -1
    // keeps the current one, so an owner may re-set the slider on every
    // paint. The value is not clamped here.
    void Set(int x, int y, int w, int h, int value, COLORREF colour, const wchar_t* text,
             std::function<void()> onChange);

    // The value for a pointer at client pixel `pixelX` over a slider whose
    // rectangle starts at `rectX` and is `rectW` wide (DIPs), at `scale`
    // pixels per DIP: 0..100. A track without width gives 0.
    static int ValueAt(int pixelX, int rectX, int rectW, double scale);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* rt);
    void OnMouseUp();
    void OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmSlider> self);

    int GetValue() const { return value_; }
    bool IsDragging() const { return dragging_; }

private:
    void TakeValueFromPointer();

    COLORREF colour_ = 0;
    bool dragging_ = false;
    int value_ = 0;
    HWND window_ = nullptr;
    float fontSize_ = 15.0f;
    std::function<void()> onChange_;
    std::wstring caption_;
};
