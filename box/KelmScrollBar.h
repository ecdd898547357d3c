// The box's vertical scroll bar: a thin thumb at the right edge that fades
// in while hovered, dragged or for 1.5 s after the position changed. It
// scrolls nothing itself: the box gives it the geometry on every paint and
// takes new positions from its on-scroll callback. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>

#include "ui/core/BrevinControl.h"

namespace TessikDesktopContainer
{

class KelmScrollBar : public Brevin::BrevinControl
{
public:
    // Width of the strip the bar answers in, DIPs.
    static constexpr int kStripWidth = 15;
    static constexpr float kMinThumb = 30.0f;
    static constexpr UINT kHideDelayMs = 1500;

    // Track, thumb and the position a pointer y asks for; pure.
    struct Geometry {
        float trackLength;
        float thumbLength;
        float travel;
        float thumbStart; // y where the track begins
        float thumbTop;
        // The position that puts the thumb's top at pointerY - grab.
        float PositionFor(float pointerY, float grab, float maxScroll) const;
    };
    static Geometry ComputeGeometry(float contentHeight, float viewHeight, float position, float maxScroll,
                                    float trackTop, bool trackFromZero);

    KelmScrollBar() = default;
    ~KelmScrollBar() override;
    KelmScrollBar(const KelmScrollBar&) = delete;
    KelmScrollBar& operator=(const KelmScrollBar&) = delete;

    void Set(float right, float contentHeight, float viewHeight, float position, float maxScroll, float trackTop,
             bool trackFromZero);
    void SetOnScroll(std::function<void(float)> callback) { onScroll = std::move(callback); }

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    bool IsCapturing() override { return dragging; }
    Brevin::kelmRect GetRect() override;
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmScrollBar> self);
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    int OnMouseUp();
    int OnMouseDown();
    void CancelDrag() { OnMouseUp(); }

    static void CALLBACK HideTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    int right = 0;
    int y = 0;
    float contentHeight = 0;
    float viewHeight = 0;
    float position = 0;
    float maxScroll = 0;
    float trackTop = 0;
    bool trackFromZero = false;
    std::function<void(float)> onScroll;
    double visibility = 0.0;
    int visibilityAnimationId = -1;
    bool shown = false;
    float grabOffset = 0;
    HWND hwnd = nullptr;
    bool dragging = false;
    bool timerVisible = false;

private:
    Geometry CurrentGeometry() const;
    float PointerY() const;
    void Fade(bool in);
    void Repaint() const;

    std::weak_ptr<KelmScrollBar> self_;
};

} // namespace TessikDesktopContainer
