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
    // Stops the row's hover animation on the panel window, which outlives it.
    ~QPListItem() override;

    // The first argument is unused. x and target x become 10, the row is
    // 180 x 40, target y 0; the current y stays (the list sets both).
    void Set(int unused, const std::wstring& id, const std::wstring& title, COLORREF colour, bool hidden, bool folder,
             bool integrated);

    // 1 when a press on the handle (the last 35 units) starts a drag.
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
    double hoverProgress = 0.0;
    int hoverAnimationId = -1;
    bool hoverRising = false;

private:
    void StepHoverAnimation();
    // Rename, colour tag and, for a row that is no integrated box, delete.
    void ShowRowMenu(HWND panel);
};

// The title as a row of width w shows it: narrower than 180, it is cut to
// max(1, (w - 80) / 10) characters followed by "...".
std::wstring RowTitleText(const std::wstring& title, int w);

} // namespace TessikQuickPanel
