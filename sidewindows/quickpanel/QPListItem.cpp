#include "sidewindows/quickpanel/QPListItem.h"

#include "sidewindows/quickpanel/QuickPanelState.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace TessikQuickPanel
{

namespace
{

// The panel is a horizontal strip: rows then scroll sideways.
bool StripMode()
{
    HWND panel = s_quickPanelWindow ? s_quickPanelWindow->GetHwnd() : nullptr;
    if (!s_separateContent || !IsWindow(panel))
        return false;
    RECT rc{};
    GetClientRect(panel, &rc);
    return rc.bottom / DpiScale < 100.0;
}

} // namespace

void QPListItem::Set(int, const std::wstring& newId, const std::wstring& newTitle, COLORREF newColour, bool isHidden,
                     bool isFolder, bool isIntegrated)
{
    id = newId;
    title = newTitle;
    colour = newColour;
    hidden = isHidden;
    folder = isFolder;
    integrated = isIntegrated;
    x = 10;
    currentX = 10.0f;
    targetX = 10.0f;
    w = 180;
    h = 40;
    targetY = 0.0f;
}

Brevin::kelmRect QPListItem::GetRect()
{
    const int scroll = static_cast<int>(s_sidebarScroll);
    if (StripMode())
        return {x - scroll, static_cast<int>(y), w, h};
    return {x, static_cast<int>(y) - scroll, w, h};
}

int QPListItem::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (event == Brevin::KELM_LBUTTON_UP) {
        SelectComponent(id, hidden);
        if (HWND panel = s_quickPanelWindow ? s_quickPanelWindow->GetHwnd() : nullptr)
            InvalidateRect(panel, nullptr, FALSE);
    }
    return 0;
}

void QPListItem::AttachCtl(HWND, ID2D1HwndRenderTarget* target, std::shared_ptr<QPListItem>)
{
    CreateCtl(nullptr, target);
}

void QPListItem::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    if (!target)
        return;
    const Brevin::kelmRect rc = GetRect();
    const float X = static_cast<float>(rc.x), Y = static_cast<float>(rc.y);
    const float W = static_cast<float>(rc.w), H = static_cast<float>(rc.h);
    const COLORREF face = ThemeBaseColor.Ref();
    const bool selected = id == s_selectedComponentId;
    if (selected || dragging || hovered)
        DrawRoundRect(target, X, Y, W, H, ContrastShiftColor(face, selected ? 15 : 8), 6.0f, 1.0f);
    DrawRoundRect(target, X + 10, Y + 12, 16, 16, colour, 3.0f, 1.0f);
    DrawTextInRect(target, X + 35, Y + 10, W - 70, 20, title.c_str(), 13.0f, ThemeTextColor.Ref(), L"Segoe UI",
                   selected ? 1.0f : 0.8f, false);
}

} // namespace TessikQuickPanel
