// One sidebar row of the quick panel: a component (box or hidden box) with
// its colour tag and title. The panel sets its target position each paint
// and moves it there. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

namespace TessikQuickPanel
{

class QPListItem : public Brevin::BrevinControl
{
public:
    // The first argument is unused. x and target x become 10, the row is
    // 180 x 40, target y 0; the current y stays (the list sets both).
    void Set(int unused, const std::wstring& id, const std::wstring& title, COLORREF colour, bool hidden, bool folder,
             bool integrated);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    // The row as drawn: moved by the sidebar scroll along the list axis.
    Brevin::kelmRect GetRect() override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<QPListItem> self);

    std::wstring id;
    std::wstring title;
    COLORREF colour = 0xF2F2F2;
    bool hidden = false;
    float y = 0.0f; // before scrolling
    float targetY = 0.0f;
    float targetX = 10.0f;
    bool dragging = false;
    bool folder = false;
    bool integrated = false;
    // Float position along x while the row slides to its target.
    float currentX = 10.0f;
};

} // namespace TessikQuickPanel
