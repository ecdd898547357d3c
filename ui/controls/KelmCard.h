// A 300 x 200 tile of the main window's pages: a picture area painted by
// the caller and a text panel at the bottom with a title and a body line.
// On hover the panel lifts and turns frosted (animated on the window's
// AnimationManager). UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmCard : public Brevin::BrevinControl
{
public:
    using Painter = std::function<void(ID2D1HwndRenderTarget*, float x, float y, float w, float h)>;

    // The text panel at a hover progress 0..1, in the card's units.
    struct PanelRect {
        float top;
        float height;
    };
    static PanelRect PanelAt(int y, int h, double hover);

    KelmCard() = default;
    ~KelmCard() override;
    KelmCard(const KelmCard&) = delete;
    KelmCard& operator=(const KelmCard&) = delete;

    // Every card is 300 x 200: w, h and the two ints are not used.
    void Set(int x, int y, int w, int h, const wchar_t* title, const wchar_t* body, Painter painter,
             std::function<void()> onClick, int, int, COLORREF titleColour);
    // Nothing in the card turns itself off; its owner may.
    void SetEnabled(bool value);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnMouseUp();
    void OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmCard> self);

    std::wstring title;
    std::wstring body;
    COLORREF accent = 0;
    COLORREF titleColour = 0;
    int cornerRadius = 0;
    int titleSize = 0;
    Painter painter;
    bool enabled = true;
    std::function<void()> onClick;
    HWND window = nullptr;
    double hover = 0.0; // 0..1
    int hoverAnimation = -1;
    bool hoverRising = false;

private:
    void AnimateHover(double to, double seconds, double x1, double y1, double x2, double y2);
    void StopHoverAnimation();
    void DrawPanel(ID2D1HwndRenderTarget* target, float top, float height);
};
