#include "ui/core/BrevinPanel.h"

#include <string>

#include "ui/core/DpiScale.h"

namespace Brevin
{

namespace
{

// Controls draw a little beyond their rectangles (shadows, hover growth):
// one this close to the paint region is drawn, clipped, all the same.
constexpr int kOverdrawMargin = 32; // DIPs

} // namespace

void BrevinPanel::SetPaintRegion(const RECT* pixels)
{
    paintRegion_ = pixels ? std::optional<RECT>(*pixels) : std::nullopt;
}

bool BrevinPanel::InPaintRegion(BrevinControl& control) const
{
    if (!paintRegion_)
        return true;
    const kelmRect rc = control.GetRect();
    if (rc.w <= 0 || rc.h <= 0)
        return true; // sized while it draws: its extent is not known before
    const double s = DpiScale > 0 ? DpiScale : 1.0;
    const RECT area{static_cast<LONG>((rc.x - kOverdrawMargin) * s), static_cast<LONG>((rc.y - kOverdrawMargin) * s),
                    static_cast<LONG>((rc.x + rc.w + kOverdrawMargin) * s),
                    static_cast<LONG>((rc.y + rc.h + kOverdrawMargin) * s)};
    RECT overlap;
    return IntersectRect(&overlap, &area, &*paintRegion_) != FALSE;
}

int BrevinPanel::DispatchMouseEvent(const kelmPoint& point, kelmEvent event)
{
    for (auto& control : Snapshot()) {
        const int result = control->AddEvent(point, event);
        if (result != kNotHandled)
            return result;
    }
    return kNotHandled;
}

int BrevinPanel::DispatchCommand(UINT command)
{
    for (auto& control : Snapshot()) {
        const int result = control->OnPanelCommand(command);
        if (result != kNotHandled)
            return result;
    }
    return kNotHandled;
}

int BrevinPanel::DispatchNotify(LPARAM value)
{
    for (auto& control : Snapshot()) {
        const int result = control->OnPanelNotify(value);
        if (result != kNotHandled)
            return result;
    }
    return kNotHandled;
}

int BrevinPanel::TakeScroll()
{
    const int amount = scroll;
    scroll = 0;
    return amount;
}

void BrevinPanel::SetScroll(int amount)
{
    scroll = amount;
}

BrevinPanel::~BrevinPanel()
{
    Release();
}

void BrevinPanel::Release()
{
    // Swapped out first: a control let go here may end a control whose
    // destructor reaches back into the panel.
    std::vector<std::shared_ptr<BrevinControl>> released;
    released.swap(controls);
    for (auto& control : released) {
        if (control->panel == this)
            control->SetPanel(nullptr);
    }
    window = nullptr;
    renderTarget = nullptr;
}

int BrevinPanel::Init(HWND newWindow, ID2D1HwndRenderTarget* target)
{
    controls.clear();
    window = newWindow;
    renderTarget = target;
    return 0;
}

void BrevinPanel::PlaceNewControl(const std::shared_ptr<BrevinControl>& control)
{
    if (layoutMode < 1 || layoutMode > 3 || !control)
        return;
    RECT client{};
    if (window)
        GetClientRect(window, &client);
    const int clientWidth = client.right;
    if (layoutMode == 2)
        cellWidth = static_cast<int>(clientWidth * 0.25);
    const int count = static_cast<int>(controls.size());
    const int step = cellWidth + gap;
    // A client narrower than one cell still gets one column.
    int perRow = step > 0 ? (clientWidth - left) / step : 1;
    if (perRow < 1)
        perRow = 1;
    const int row = count / perRow;
    const int column = count - row * perRow;
    const int y = row * (cellHeight + gap) + top;
    if (layoutMode == 3) {
        const int x = clientWidth / 2 + left + column * step - (gap / 2 + perRow * step) / 2;
        control->SetRect(x, y, cellWidth, cellHeight);
        return;
    }
    control->SetRect(column * step + left, y, cellWidth, cellHeight);
    const std::wstring line = L"CURRENT COUNT:\n" + std::to_wstring(perRow) + L"\n";
    OutputDebugStringW(line.c_str());
}

} // namespace Brevin
