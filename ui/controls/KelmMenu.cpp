#include "ui/controls/KelmMenu.h"

#include <algorithm>
#include <string>

#include "ui/controls/PopupWindow.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowEffects.h"
#include "ui/core/TextHelpers.h"

namespace KelmMenu
{

std::vector<std::shared_ptr<KelmWindow>> s_openMenus;
std::map<int, std::vector<Brevin::KelmOption>> s_menuOptions;
std::map<int, std::vector<std::shared_ptr<KelmOptionCtl>>> s_menuControls;
std::map<int, int> s_menuOpenRow;

namespace
{

constexpr int kRowPitch = 40;  // DIPs from one row's top to the next
constexpr int kRowHeight = 35; // DIPs
constexpr int kMargin = 10;    // DIPs above the first row and left of every row
constexpr int kSubmenuWidth = 160;

template <typename Map> void EraseLevelsFrom(Map& map, int level)
{
    map.erase(map.lower_bound(level), map.end());
}

bool IsOpenMenu(HWND window)
{
    return window && std::any_of(s_openMenus.begin(), s_openMenus.end(),
                                 [window](const auto& menu) { return menu && menu->GetHwnd() == window; });
}

int LevelOf(const KelmWindow* menu)
{
    for (size_t i = 0; i < s_openMenus.size(); ++i) {
        if (s_openMenus[i].get() == menu)
            return static_cast<int>(i);
    }
    return -1;
}

// The menus of this click: a callback that opened a new menu tree keeps it.
void CloseTreeOf(const std::shared_ptr<KelmWindow>& root)
{
    if (!s_openMenus.empty() && s_openMenus.front() == root)
        CloseFrom(0);
}

void DrawToolTips(ID2D1RenderTarget* rt, const std::vector<std::shared_ptr<KelmOptionCtl>>& controls, float s,
                  float clientW)
{
    const COLORREF surface = ThemeAccent.Ref();
    const COLORREF raised = ThemeShade30.Ref();
    for (const auto& control : controls) {
        const std::wstring& tip = control->GetTip();
        const float p = static_cast<float>(control->GetTipOpacity());
        if (tip.empty() || p <= 0.0f)
            continue;
        const float bw = static_cast<float>(static_cast<int>(tip.size() * 14 * s) + 20);
        const float bh = static_cast<float>(static_cast<int>(28 * s));
        float bx = std::max(5.0f, control->x + control->w / 2.0f - bw / 2.0f);
        if (bx + bw > clientW - 5)
            bx = static_cast<float>(static_cast<int>(clientW - bw - 5));
        const float by = static_cast<float>(control->y + control->h + 5);
        DrawSoftShadow(rt, bx, by, bw, bh, 6, 0, 1, 8, 5, 0, p * 0.5f, raised);
        DrawRoundRect(rt, bx, by, bw, bh, surface, 6, 1.0f, p, raised, 0.0f, false);
        const float fontSize = 14 * s;
        DrawTextInRect(rt, bx, bh / 2 + by - fontSize / 1.5f + 2, bw, bh, tip.c_str(), fontSize, ThemeTextColor.Ref(),
                       L"Segoe UI", p, true);
    }
}

// Every paint lays the rows of the level out again and hands them to the
// panel, so input always meets the rows as last drawn.
void DrawMenu(HWND window, ID2D1HwndRenderTarget* rt, int menuWidth, int level)
{
    const auto self = WindowMap.find(window);
    if (self == WindowMap.end() || !self->second)
        return;
    Brevin::D2DBrevinPanel* panel = self->second->GetPanel();
    panel->Init(window, rt);
    RECT client{};
    GetClientRect(window, &client);
    const float d = static_cast<float>(DpiScale);
    const float clientW = client.right / d, clientH = client.bottom / d;
    // The content shrinks with the window while it zooms in.
    const float s = std::min(1.0f, menuWidth > 0 ? static_cast<float>(client.right) / menuWidth : 1.0f);
    const COLORREF surface = ThemeAccent.Ref();
    const COLORREF text = ThemeTextColor.Ref();
    FillSolidRect(rt, 0, 0, clientW, clientH, surface, 1.0f);

    auto options = s_menuOptions.find(level);
    auto controls = s_menuControls.find(level);
    if (options == s_menuOptions.end() || controls == s_menuControls.end())
        return;
    auto& rows = controls->second;
    const int rowW = static_cast<int>(clientW - 20);
    const float rowFont = static_cast<float>(std::max(1, static_cast<int>(14 * s)));
    int y = kMargin;
    size_t k = 0;
    for (const Brevin::KelmOption& option : options->second) {
        if (option.sideList.empty()) {
            if (k < rows.size()) {
                const bool keepOpen = !option.children.empty();
                auto onClick = option.onClick;
                rows[k]->Set(
                    kMargin, y, rowW, kRowHeight, option.text.c_str(),
                    [onClick, keepOpen] {
                        const auto root = s_openMenus.empty() ? nullptr : s_openMenus.front();
                        if (onClick)
                            onClick();
                        if (!keepOpen)
                            CloseTreeOf(root);
                    },
                    surface, rowFont, option.state, text);
                panel->AddControl(rows[k]);
                ++k;
            }
        } else {
            DrawRoundRect(rt, 4, static_cast<float>(y), static_cast<float>(rowW + 12), kRowHeight,
                          ContrastShiftColor(surface, 10), 6, 1.0f);
            const auto items = SideItemLayout(rowW, y, static_cast<int>(option.sideList.size()));
            for (size_t j = 0; j < items.size() && k < rows.size(); ++j, ++k) {
                const Brevin::KelmOption& item = option.sideList[j];
                auto onClick = item.onClick;
                rows[k]->Set(
                    items[j].x, items[j].y, items[j].w, items[j].h, item.text.c_str(),
                    [onClick] {
                        const auto root = s_openMenus.empty() ? nullptr : s_openMenus.front();
                        if (onClick)
                            onClick();
                        CloseTreeOf(root);
                    },
                    surface, 12.0f, item.state, text);
                panel->AddControl(rows[k]);
            }
        }
        y += kRowPitch;
    }
    DrawToolTips(rt, rows, s, clientW);
}

} // namespace

SIZE MenuSize(int optionCount, int widthDips, double dpi)
{
    return SIZE{static_cast<LONG>(widthDips * dpi),
                static_cast<LONG>(optionCount * kRowPitch * dpi + 2 * kMargin * dpi)};
}

POINT PlaceMenu(const MenuPlacement& p)
{
    int x = p.x, y = p.y;
    const bool passesRight = x + p.width > p.work.right;
    if (p.level == 0) {
        if (passesRight)
            x = p.work.right - p.width;
    } else {
        bool covers = false;
        for (const RECT& lower : p.lower) {
            const int overlap = std::min<int>(lower.right, x + p.width) - std::max<int>(lower.left, x);
            if (overlap > 10 * p.dpi)
                covers = true;
        }
        if (passesRight || covers)
            x = p.ownerKnown ? static_cast<int>(p.owner.left - p.width + 5 * p.dpi)
                             : static_cast<int>(x - p.width - 5 * p.dpi);
    }
    x = std::max<int>(x, p.work.left);
    if (y + p.height > p.work.bottom)
        y = p.work.bottom - p.height;
    y = std::max<int>(y, p.work.top);
    return POINT{x, y};
}

std::vector<SideItem> SideItemLayout(int rowWidth, int rowY, int count)
{
    std::vector<SideItem> items;
    if (count <= 0)
        return items;
    const int itemW = (rowWidth - 5 * count + 5) / count;
    for (int j = 0; j < count; ++j)
        items.push_back({kMargin + (itemW + 5) * j, rowY + 4, itemW, 27});
    return items;
}

void CloseFrom(int level)
{
    level = std::max(level, 0);
    while (s_openMenus.size() > static_cast<size_t>(level)) {
        // Pop before destroying: the destruction moves the activation, and
        // the deactivation it causes may close menus itself.
        std::shared_ptr<KelmWindow> top = s_openMenus.back();
        s_openMenus.pop_back();
        const int remaining = static_cast<int>(s_openMenus.size());
        EraseLevelsFrom(s_menuControls, remaining);
        EraseLevelsFrom(s_menuOptions, remaining);
        EraseLevelsFrom(s_menuOpenRow, remaining);
        if (!top)
            continue;
        if (HWND window = top->GetHwnd(); IsWindow(window)) {
            // Hand the activation to the parent first: otherwise it would go
            // to some other window and a later click elsewhere would never
            // deactivate, and so never close, the menus left open.
            if (GetForegroundWindow() == window && !s_openMenus.empty() && s_openMenus.back())
                SetForegroundWindow(s_openMenus.back()->GetHwnd());
            HoverAnimationCount = 0;
            top->StopHoverRepaintTimer();
            DestroyWindow(window);
        }
        // Every menu registers a class of its own; leaving them registered
        // would pile up one class per menu ever opened.
        UnregisterClassW(top->className, top->instance);
    }
}

void OpenSubmenu(const std::weak_ptr<KelmWindow>& menuRef, const Brevin::KelmOption& option, int level, int row)
{
    const std::shared_ptr<KelmWindow> menu = menuRef.lock();
    // A row of a menu that is closing: nothing of its tree is to be touched.
    if (!menu || LevelOf(menu.get()) != level)
        return;
    if (option.children.empty()) {
        s_menuOpenRow[level] = -1;
        CloseFrom(level + 1);
        return;
    }
    if (s_openMenus.size() > static_cast<size_t>(level + 1) && s_menuOpenRow[level] == row)
        return;
    s_menuOpenRow[level] = row;
    RECT r{};
    GetWindowRect(menu->GetHwnd(), &r);
    const double d = DpiScale;
    Show(menu->GetHwnd(), static_cast<int>(r.right - 5 * d),
         static_cast<int>(row * kRowPitch * d + kMargin * d + r.top), option.children, kSubmenuWidth, level + 1);
}

void Show(HWND owner, int x, int y, const std::vector<Brevin::KelmOption>& options, int width, int level)
{
    // The options may live in a level that the close below erases.
    std::vector<Brevin::KelmOption> shown = options;
    level = std::max(level, 0);
    CloseFrom(level);
    // Entry i of the stack is level i: a level past the open ones is the next.
    level = std::min(level, static_cast<int>(s_openMenus.size()));
    s_menuOptions[level] = shown;
    s_menuOpenRow[level] = -1;

    auto menu = std::make_shared<KelmWindow>();
    const std::weak_ptr<KelmWindow> menuRef = menu;
    menu->activationVeto = [](HWND gaining) { return IsOpenMenu(gaining); };
    menu->SetDeactivateCallback([] { CloseFrom(0); });
    s_openMenus.push_back(menu);

    auto& rows = s_menuControls[level];
    rows.clear();
    for (size_t i = 0; i < shown.size(); ++i) {
        const Brevin::KelmOption& option = shown[i];
        if (!option.sideList.empty()) {
            for (size_t j = 0; j < option.sideList.size(); ++j) {
                auto item = std::make_shared<KelmOptionCtl>();
                item->SetHoverCallback([level] {
                    s_menuOpenRow[level] = -1;
                    CloseFrom(level + 1);
                });
                rows.push_back(item);
            }
        } else {
            auto row = std::make_shared<KelmOptionCtl>();
            row->SetHoverCallback(
                [menuRef, option, level, index = static_cast<int>(i)] { OpenSubmenu(menuRef, option, level, index); });
            rows.push_back(row);
        }
    }

    const double d = DpiScale;
    const SIZE size = MenuSize(static_cast<int>(shown.size()), width, d);
    MenuPlacement placement;
    placement.x = x;
    placement.y = y;
    placement.width = size.cx;
    placement.height = size.cy;
    placement.level = level;
    placement.dpi = d;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONEAREST), &monitor))
        placement.work = monitor.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &placement.work, 0);
    for (int i = 0; i < level; ++i) {
        RECT r{};
        if (s_openMenus[i] && GetWindowRect(s_openMenus[i]->GetHwnd(), &r))
            placement.lower.push_back(r);
    }
    placement.ownerKnown = owner && GetWindowRect(owner, &placement.owner);
    const POINT at = PlaceMenu(placement);

    // The window keeps pointers to its names: the class name lives in the
    // draw callback, which lives as long as the window object.
    auto className = std::make_shared<std::wstring>(L"Kelm.Menu.Class." + std::to_wstring(level) + RandomHexString(4));
    menu->Set(at.x, at.y, size.cx, size.cy, className->c_str(), L"Kelm.Menu");
    menu->SetDrawCallback([className, menuWidth = static_cast<int>(size.cx),
                           level](HWND window, ID2D1HwndRenderTarget* rt) { DrawMenu(window, rt, menuWidth, level); });
    // A close that does not come through CloseFrom (Alt+F4 on the menu)
    // still takes the menu and its submenus off the stack.
    menu->SetMessageHandler([menuRef](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_CLOSE) {
            const auto self = menuRef.lock();
            const int open = self ? LevelOf(self.get()) : -1;
            if (open >= 0)
                CloseFrom(open);
            else
                DestroyWindow(window);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    });
    menu->frameMode = 1;
    menu->cornerRadius = static_cast<int>(8 * d);
    menu->keepTopmost = true;
    menu->keepBottom = false;
    menu->closeOnDeactivate = true;
    menu->style = WS_POPUP;

    if (menu->Create() != 1 || !IsWindow(menu->GetHwnd())) {
        CloseFrom(level);
        return;
    }
    HWND window = menu->GetHwnd();
    // Without the foreground a click elsewhere would never deactivate the
    // menu and so never close it (a tray click leaves another program in front).
    SetForegroundWindow(window);
    menu->StartHoverRepaintTimer();
    AnimateWindowZoomIn(window);
    // The zoom lets messages run: the menu may already be gone.
    if (IsWindow(window) && LevelOf(menu.get()) == level)
        PopupWindow::AddMenuShadow(window);
}

} // namespace KelmMenu
