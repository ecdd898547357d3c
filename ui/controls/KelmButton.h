// The push button of the popups, settings windows and pages: one animation
// frame per paint, the face growing and lightening on hover and shrinking
// with a bounce on press. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmButton : public Brevin::BrevinControl
{
public:
    // One rounded rectangle of the face, drawn in order.
    struct FaceLayer {
        float x, y, w, h;
        COLORREF fill;
        float borderWidth; // 0 = no outline
        COLORREF border;
    };
    // What one frame draws: up to three face layers and the label size.
    struct Look {
        std::array<FaceLayer, 3> layers;
        int layerCount;
        float labelSize;
    };

    KelmButton() = default;
    ~KelmButton() override;
    KelmButton(const KelmButton&) = delete;
    KelmButton& operator=(const KelmButton&) = delete;

    // The animation step is deliberately kept: a builder calls Set on every
    // paint and a running hover must not restart.
    void Set(int x, int y, int w, int h, const wchar_t* text, std::function<void()> onClick, COLORREF fill,
             int fontSize, COLORREF textColour);

    // Drops a running hover or press animation and its share of
    // HoverAnimationCount, so a button kept across showings of a popup that
    // closed under the pointer starts its next showing at rest and counts
    // again.
    void ResetAnimation();

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    // Draws one frame and advances the animation by one step.
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnMouseUp();
    void OnMouseDown();
    // Called by the panel when the button is added during a paint.
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmButton> self);

    // The face of a frame at animation step `step` (0..10); pure.
    static Look ComputeLook(int x, int y, int w, int h, COLORREF fill, float fontSize, int step, bool pressed,
                            bool hovered, COLORREF themeShade);

    COLORREF fill = 0;
    bool enabled = true;
    HWND window = nullptr;
    int animationStep = 0;
    int animationRunning = 0;
    float fontSize = 15.0f;
    float cornerRadius = 8.0f;
    COLORREF textColour = 0;
    std::function<void()> onClick;

private:
    void StopCounting();

    std::wstring label_;
};
