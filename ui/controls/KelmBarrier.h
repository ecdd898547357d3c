// An invisible area that keeps mouse events from the controls under it;
// a left press runs onMouseDown. It always starts at x 0. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>

#include "ui/core/BrevinControl.h"

class KelmBarrier : public Brevin::BrevinControl
{
public:
    // The x argument is ignored: the barrier covers its strip from x 0.
    void Set(int x, int y, int w, int h, std::function<void()> onMouseDown);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    int OnMouseUp();
    int OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmBarrier> self);

    std::function<void()> onMouseDown;
    HWND window = nullptr;
};
