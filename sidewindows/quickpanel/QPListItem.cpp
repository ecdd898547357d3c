#include "sidewindows/quickpanel/QPListItem.h"

#include <algorithm>
#include <vector>

#include "sidewindows/quickpanel/QuickPanelContent.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelRowActions.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "ui/controls/KelmMenu.h"
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
    HWND panel = s_quickPanelWindow ? s_quickPanelWindow->GetHwnd() : nullptr;
    switch (event) {
    case Brevin::KELM_LBUTTON_DOWN: {
        if (!IsWindow(panel))
            return 0;
        POINT cursor{};
        GetCursorPos(&cursor);
        ScreenToClient(panel, &cursor);
        const float cx = static_cast<float>(cursor.x / DpiScale);
        const float cy = static_cast<float>(cursor.y / DpiScale);
        const Brevin::kelmRect rc = GetRect();
        if (cx >= rc.x + rc.w - 35 && cx <= rc.x + rc.w && cy >= rc.y && cy <= rc.y + rc.h) {
            dragging = true;
            s_rowDragOffsetY = cy - y;
            s_rowDragOffsetX = cx - static_cast<float>(x);
            return 1;
        }
        return 0;
    }
    case Brevin::KELM_LBUTTON_UP:
        if (dragging) {
            dragging = false;
            SaveQuickPanelListOrder();
        } else if (s_separateContent && id == s_selectedComponentId) {
            SelectComponent(L"", false);
            HideContentWindow();
            RefreshQuickPanelContent();
        } else {
            SelectComponent(id, hidden);
            RefreshQuickPanelContent();
            if (s_separateContent)
                ShowContentForSelection();
        }
        if (IsWindow(panel))
            InvalidateRect(panel, nullptr, FALSE);
        return 0;
    case Brevin::KELM_RBUTTON_UP:
        ShowRowMenu(panel);
        return 0;
    case Brevin::KELM_MOUSE_MOVE:
        if (!hovered && !(hoverRising && hoverAnimationId != -1 && !dragging)) {
            hovered = true;
            if (IsWindow(panel))
                InvalidateRect(panel, nullptr, FALSE);
        }
        return 0;
    default:
        return 0;
    }
}

void QPListItem::ShowRowMenu(HWND panel)
{
    std::weak_ptr<QPListItem> weak;
    for (const auto& row : s_quickPanelRows)
        if (row.get() == this)
            weak = row;
    auto run = [weak](void (*action)(std::shared_ptr<QPListItem>)) {
        return [weak, action] {
            if (auto row = weak.lock())
                action(row);
        };
    };
    std::vector<Brevin::KelmOption> options;
    options.emplace_back(L":\uF044:      重命名", run(RenameComponent), 1);
    options.emplace_back(L":\uF02B:      颜色标签", run(SetComponentColorTag), 1);
    if (!integrated)
        options.emplace_back(L":\uF014:      删除", run(DeleteComponent), 1);
    POINT cursor{};
    GetCursorPos(&cursor);
    KelmMenu::Show(panel, cursor.x, cursor.y, options, 160, 0);
}

QPListItem::~QPListItem()
{
    if (hoverAnimationId != -1 && s_quickPanelWindow && IsWindow(s_quickPanelWindow->GetHwnd()))
        s_quickPanelWindow->StopAnimation(hoverAnimationId);
}

void QPListItem::AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<QPListItem>)
{
    CreateCtl(window, target);
}

void QPListItem::StepHoverAnimation()
{
    if (!s_quickPanelWindow || !IsWindow(s_quickPanelWindow->GetHwnd()))
        return;
    KelmWindow& window = *s_quickPanelWindow;
    if (hovered && !hoverRising && hoverProgress < 1.0) {
        hoverRising = true;
        if (hoverAnimationId != -1)
            window.StopAnimation(hoverAnimationId);
        hoverAnimationId =
            window.AnimateVariableWithBezier(hoverProgress, hoverProgress, 1.0, 0.25, 0.25, 0.1, 0.25, 1.0);
    } else if (!hovered && hoverRising && hoverProgress > 0.0) {
        hoverRising = false;
        if (hoverAnimationId != -1)
            window.StopAnimation(hoverAnimationId);
        hoverAnimationId =
            window.AnimateVariableWithBezier(hoverProgress, hoverProgress, 0.0, 0.15, 0.42, 0.0, 0.58, 1.0);
    }
}

std::wstring RowTitleText(const std::wstring& title, int w)
{
    if (w >= 180)
        return title;
    const size_t keep = static_cast<size_t>(std::max(1, (w - 80) / 10));
    if (title.size() <= keep)
        return title;
    return title.substr(0, keep) + L"...";
}

void QPListItem::CreateCtl(HWND window, ID2D1HwndRenderTarget* target)
{
    if (!target)
        return;
    const Brevin::kelmRect rc = GetRect();
    const float X = static_cast<float>(rc.x), Y = static_cast<float>(rc.y);
    const float W = static_cast<float>(rc.w), H = static_cast<float>(rc.h);
    const COLORREF F = ThemeBaseColor.Ref();
    const COLORREF S = ThemeShade30.Ref();
    const COLORREF T = ThemeTextColor.Ref();
    auto shade = [](COLORREF c, int d) { return ContrastShiftColor(c, d); };
    const bool selected = id == s_selectedComponentId;
    StepHoverAnimation();
    // Rows scrolled out of the panel cost text layouts and draw nothing.
    RECT client{};
    if (window && GetClientRect(window, &client)) {
        const float scale = DpiScale > 0 ? static_cast<float>(DpiScale) : 1.0f;
        if (Y > client.bottom / scale || Y + H < 0 || X > client.right / scale || X + W < 0)
            return;
    }
    const float I = (selected || dragging) ? 1.0f : static_cast<float>(hoverProgress);

    if (integrated) {
        // Cards stacked behind the row: it stands for several boxes.
        if (!selected) {
            DrawRoundRect(target, X + 8, Y + 6, W - 16, H - 2, shade(F, 20), 6.0f, 1.0f);
            DrawRoundRect(target, X + 4, Y + 4, W - 8, H - 2, shade(F, 10), 6.0f, 1.0f);
            DrawRoundRect(target, X, Y, W, H, F, 6.0f, 1.0f);
        } else {
            DrawRoundRect(target, X + 3, Y + 3, W - 6, H, shade(F, 15), 6.0f, 1.0f);
            DrawRoundRect(target, X + 3, Y + 3, W - 6, H - 1, shade(F, 10), 6.0f, 1.0f);
            DrawRoundRect(target, X + 3, Y + 3, W - 6, H - 2, shade(F, 5), 6.0f, 1.0f);
        }
    }
    if (I > 0.01f) {
        if (!selected && !dragging) {
            DrawRoundRect(target, X, Y, W, H, shade(F, 10), 6.0f, std::min(1.0f, I));
            DrawRoundRect(target, X, Y, W, H - 1, shade(F, 5), 6.0f, std::min(1.0f, 1.05f * I));
            DrawRoundRect(target, X, Y, W, H - 2, F, 6.0f, std::min(1.0f, 2.0f * I));
        } else {
            DrawRoundRect(target, X, Y, W, H, shade(F, 20), 6.0f, 1.0f);
            DrawRoundRect(target, X, Y, W, H - 1, shade(F, 15), 6.0f, 1.0f);
            DrawRoundRect(target, X, Y, W, H - 2, shade(F, 10), 6.0f, 1.0f);
        }
    }
    DrawRoundRect(target, X + 10, Y + 12, 16, 16, shade(colour, 10), 3.0f, 1.0f);
    DrawRoundRect(target, X + 10, Y + 12, 16, 15, shade(colour, 5), 3.0f, 1.0f);
    DrawRoundRect(target, X + 10, Y + 12, 16, 14, colour, 3.0f, 1.0f);

    const float A = selected ? 1.0f : 0.6f + 0.4f * I;
    const std::wstring text = RowTitleText(title, rc.w);
    if (folder)
        DrawIconTextOblique(target, X + 35, Y + 10, W - 70, 20, text.c_str(), 13.0f, T, L"Segoe UI", A, false);
    else
        DrawTextInRect(target, X + 35, Y + 10, W - 70, 20, text.c_str(), 13.0f, T, L"Segoe UI", A, false);
    if (rc.w >= 80 && hidden)
        DrawIconText(target, X + W - 40, Y + 13, 14, 14, L"\uF6E2", 10.0f, T, L"Font Awesome 6 Free Solid", 0.2f,
                     false);
    if (rc.w >= 60)
        DrawTextInRectInt(target, X + W - 20, Y + 12, 18, 18, L"\uF58E", 12.0f, dragging ? T : S,
                          L"Font Awesome 6 Free Solid", 1.0f);
}

} // namespace TessikQuickPanel
