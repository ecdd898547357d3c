// A movable, resizable rectangle with four corner handles drawn inside a
// window; every drag step reports the new rectangle. Builders write its
// fields directly (it has no Set). UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>

#include "ui/core/BrevinControl.h"

class KelmSizeFrame : public Brevin::BrevinControl
{
public:
    enum DragMode { kNone = 0, kMove = 1, kTopLeft = 2, kTopRight = 3, kBottomLeft = 4, kBottomRight = 5 };

    struct Frame {
        int x, y, w, h;
    };

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    // The frame grown by 12 on every side, so the handles can be grabbed.
    Brevin::kelmRect GetRect() override;
    // Events keep coming while a drag runs, even off the frame.
    bool IsCapturing() override { return dragMode != kNone; }
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnPress(const Brevin::kelmPoint& point);
    void OnRelease();
    void OnHoverDrag(const Brevin::kelmPoint& point);
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmSizeFrame> self);

    // Which zone a point (unscaled) falls in, corners first; kNone outside.
    static DragMode ZoneAt(const Frame& frame, int cx, int cy);
    // The frame after dragging in a mode by (dx, dy) from `start`.
    static Frame Dragged(DragMode mode, const Frame& start, int dx, int dy, int minWidth, int minHeight);

    bool visible = true;
    HWND window = nullptr;
    int frameX = 0, frameY = 0, frameW = 0, frameH = 0;
    int minWidth = 20, minHeight = 20;
    COLORREF borderColour = 0;
    std::function<void(int x, int y, int w, int h)> onResize;
    int dragMode = kNone;
    // Cursor x, y at the press, then the frame x, y, w, h at the press.
    int dragStart[6] = {};

private:
    // The event point in unscaled units.
    static POINT Unscaled(const Brevin::kelmPoint& point);
};
