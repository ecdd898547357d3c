// A banner 60 units high with one line of text: it grows slightly while
// hovered and sinks with a bounce while pressed, one step per paint
// (counted in HoverAnimationCount). UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmNotice : public Brevin::BrevinControl
{
public:
    KelmNotice() = default;
    ~KelmNotice() override;
    KelmNotice(const KelmNotice&) = delete;
    KelmNotice& operator=(const KelmNotice&) = delete;

    // h and fontSize are not used: the banner is 60 high, its text size 14.
    void Set(int x, int y, int w, int h, const wchar_t* text, COLORREF colour, int fontSize, COLORREF textColour,
             std::function<void()> onClick);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnMouseUp();
    void OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmNotice> self);

    std::wstring label;
    COLORREF colour = 0;
    HWND window = nullptr;
    int hoverStep = 0; // 0..10
    int stepping = 0;  // 1 while the notice holds HoverAnimationCount raised
    float fontSize = 15.0f;
    COLORREF textColour = 0;
    std::function<void()> onClick;
};
