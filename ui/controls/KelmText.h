// A clickable line of text, like a link: it tints one step per paint while
// the pointer is over it (frame-stepped, counted in HoverAnimationCount).
// UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmText : public Brevin::BrevinControl
{
public:
    KelmText() = default;
    ~KelmText() override;
    KelmText(const KelmText&) = delete;
    KelmText& operator=(const KelmText&) = delete;

    // Every link looks alike: w, h, fontSize and colour are not used; the
    // rectangle is (x, y, 100, 40), the size 16 and the colour 0xFB7952.
    void Set(int x, int y, int w, int h, const wchar_t* text, int fontSize, COLORREF colour,
             std::function<void()> onClick);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    // Draws one frame and moves the hover step by one.
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnMouseUp();
    int OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmText> self);

    std::wstring label;
    COLORREF colour = 0;
    Brevin::kelmRect area{0, 0, 0, 0};
    HWND window = nullptr;
    int hoverStep = 0; // 0..10
    int stepping = 0;  // 1 while this text holds HoverAnimationCount raised
    float fontSize = 15.0f;
    std::function<void()> onClick;
};
