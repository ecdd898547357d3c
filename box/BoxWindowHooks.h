// What the icon code needs of the live windows: a repaint of a box, the
// width of its content and whether a drag is running. The window code
// installs the functions; until then a repaint does nothing, the width is 0
// (one column, which the box's next paint corrects) and no drag runs.
// UI thread only.
#pragma once

#include <functional>

#include "box/BoxRuntime.h"

struct BoxWindowHooks {
    // Invalidate the client rectangle of the box window, without erase.
    std::function<void(const BoxWindowPtr&)> invalidate;
    // Client width divided by the DPI factor.
    std::function<int(const BoxWindowPtr&)> contentWidth;
    // An icon drag or a system file drag is over one of the program's
    // windows (the framework's drop target keeps that flag).
    std::function<bool()> dragInProgress;

    void Invalidate(const BoxWindowPtr& box) const
    {
        if (invalidate && box)
            invalidate(box);
    }
    int ContentWidth(const BoxWindowPtr& box) const { return contentWidth && box ? contentWidth(box) : 0; }
    bool DragInProgress() const { return dragInProgress && dragInProgress(); }
};

extern BoxWindowHooks s_boxWindowHooks;
