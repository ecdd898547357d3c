#include "ui/controls/KelmCaptionBar.h"

#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"

void KelmCaptionBar::Set(int nx, int ny, int nw, int nh, const wchar_t* newTitle, COLORREF newColour, int newFontSize,
                         COLORREF newTextColour, int newTitleSize, int newTitleOffsetX, std::function<void()> dragEnd)
{
    x = nx;
    y = ny;
    w = nw;
    h = nh;
    title = newTitle ? newTitle : L"";
    colour = newColour;
    fontSize = static_cast<float>(newFontSize);
    textColour = newTextColour;
    titleSize = newTitleSize;
    titleOffsetX = newTitleOffsetX;
    onDragEnd = std::move(dragEnd);
}

float KelmCaptionBar::TitleFontSize(int barWidth, float automaticSize, int fixedSize)
{
    if (fixedSize != -1)
        return static_cast<float>(fixedSize);
    if (barWidth < 300)
        return automaticSize - 6.0f;
    if (barWidth < 400)
        return automaticSize - 3.0f;
    return automaticSize;
}

void KelmCaptionBar::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    const int tx = titleSize == -1 ? x : x + titleOffsetX;
    DrawTextInRect(target, static_cast<float>(tx + 20), static_cast<float>(y + 10), static_cast<float>(w),
                   static_cast<float>(h), title.c_str(), TitleFontSize(w, fontSize, titleSize), textColour, L"Segoe UI",
                   1.0f, false);
}

int KelmCaptionBar::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    return RoutePointerEvent(*this, event, [this] { InvalidateWindow(window); });
}

void KelmCaptionBar::OnMouseUp()
{
    InvalidateWindow(window);
}

void KelmCaptionBar::OnMouseDown()
{
    // The system's move loop runs inside this call until the button is
    // released; the window keeps painting meanwhile.
    SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
    InvalidateWindow(window);
    auto done = onDragEnd; // the callback may rebuild the bar
    if (done)
        done();
}

void KelmCaptionBar::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmCaptionBar>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}
