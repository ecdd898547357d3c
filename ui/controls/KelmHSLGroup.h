// A 300 x 120 colour picker: a swatch with its hue, saturation and
// lightness, and a gradient bar for each of the three. Pressing on a bar or
// dragging over it sets that value; releasing the button reports the
// change. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>

#include "ui/core/BrevinControl.h"

class KelmHSLGroup : public Brevin::BrevinControl
{
public:
    struct Bar {
        int x, y, w, h;
    };

    // The value a pointer at px gives on a bar reaching `maximum` at its
    // right end: integer arithmetic, clamped to 0..maximum.
    static int ValueAt(int px, const Bar& bar, int maximum);
    static bool BarContains(const Bar& bar, int px, int py);

    // w, h, colour and fontSize are not used: the group is 300 x 120 with
    // font size 12. Hue, saturation, lightness and colour are kept.
    void Set(int x, int y, int w, int h, std::function<void()> onChange, COLORREF colour, int fontSize,
             COLORREF titleColour);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    Brevin::kelmRect GetRect() override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    // Repaints, then reports: the owner reads the values from the group.
    void OnMouseUp();
    void OnMouseDown();
    // OnMouseDown while the left button is held.
    void Drag();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmHSLGroup> self);

    // Sets the value of the bar under the client pixel point, if any.
    void PickAt(int pixelX, int pixelY);

    bool enabled = true;
    HWND window = nullptr;
    std::function<void()> onChange;
    double hue = 0.0;         // 0..360
    double saturation = 50.0; // 0..100
    double lightness = 50.0;  // 0..100
    COLORREF colour = 0x808080;
    // Hit rectangles; the gradients are drawn exactly on them.
    Bar hueBar{0, 0, 0, 0}, saturationBar{0, 0, 0, 0}, lightnessBar{0, 0, 0, 0};
    int fontSize = 12;
    COLORREF titleColour = 0;
    Brevin::kelmRect area{0, 0, 0, 0};
};
