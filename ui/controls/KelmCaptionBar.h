// The title strip of a borderless framework window: draws the title and,
// on a left press, hands the window to the system's own move loop.
// UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/core/BrevinControl.h"

class KelmCaptionBar : public Brevin::BrevinControl
{
public:
    // titleSize -1 sizes the title from the bar's width; titleOffsetX then
    // does not apply.
    void Set(int x, int y, int w, int h, const wchar_t* title, COLORREF colour, int fontSize, COLORREF textColour,
             int titleSize, int titleOffsetX, std::function<void()> onDragEnd);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void OnMouseUp();
    // Returns once the user let go of the window.
    void OnMouseDown();
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmCaptionBar> self);

    // The title's font size: narrow bars shrink an automatic title.
    static float TitleFontSize(int barWidth, float fontSize, int titleSize);

    std::wstring title;
    COLORREF colour = 0; // kept for the builders; the bar draws no background
    float fontSize = 15.0f;
    COLORREF textColour = 0;
    int titleSize = -1;
    int titleOffsetX = 0;
    std::function<void()> onDragEnd;
    HWND window = nullptr;
};
