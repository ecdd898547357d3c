// The control container of a window: rebuilt by every paint (Init, then
// AddControl per control) and routing events to the controls of the last
// paint, topmost (last added) first. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/core/BrevinControl.h"

namespace Brevin
{

class BrevinPanel
{
public:
    BrevinPanel() = default;
    BrevinPanel(const BrevinPanel&) = delete;
    BrevinPanel& operator=(const BrevinPanel&) = delete;
    virtual ~BrevinPanel();

    // Each dispatch returns the first result other than -1, or -1.
    virtual int DispatchMouseEvent(const kelmPoint& point, kelmEvent event);
    virtual int DispatchCommand(UINT command);
    virtual int DispatchNotify(LPARAM value);
    // Returns the wheel amount stored since the last take and resets it.
    virtual int TakeScroll();
    virtual void SetScroll(int amount);
    // Adds a wheel amount: notches that arrive faster than paints add up
    // instead of replacing each other.
    void AddScroll(int amount) { scroll += amount; }

    // Empties the panel; the first call of every draw callback.
    int Init(HWND window, ID2D1HwndRenderTarget* target);
    // Empties the panel for good (its window ended): the controls are let
    // go and no longer name this panel.
    void Release();

    // Places the control (layout modes), lets it draw itself through its
    // AttachCtl and appends it on top.
    // A control wholly outside the paint region (a partial repaint) is not
    // drawn, but still added: input goes to it as before.
    template <class T> void AddControl(std::shared_ptr<T> control)
    {
        PlaceNewControl(control);
        if (InPaintRegion(*control))
            control->AttachCtl(window, renderTarget, control);
        control->SetPanel(this);
        controls.push_back(std::move(control));
    }

    // The client pixels the current paint redraws; none: all of them. Set
    // by the window around its paint; Init keeps it.
    void SetPaintRegion(const RECT* pixels);
    bool InPaintRegion(BrevinControl& control) const;

    void PlaceNewControl(const std::shared_ptr<BrevinControl>& control);

    HWND window = nullptr;
    int scroll = 0;
    std::vector<std::shared_ptr<BrevinControl>> controls; // adding order; last on top
    int layoutMode = 0;                                   // 0 none; 1, 2, 3 grid placement
    int left = 0, top = 0;
    int cellWidth = 0, cellHeight = 0, gap = 0;
    int offsetX = 0, offsetY = 0; // added to control rectangles in the drop hit tests
    ID2D1HwndRenderTarget* renderTarget = nullptr;

protected:
    // Handlers may run modal loops that repaint and so rebuild the list:
    // every walk goes over a copy of it.
    std::vector<std::shared_ptr<BrevinControl>> Snapshot() const { return controls; }

private:
    std::optional<RECT> paintRegion_; // none: the paint draws everything
};

} // namespace Brevin
