// Sections: controls and window helpers; opening and closing; separate
// mode; the panel's draw callback; content window, messages and timers.
#include "sidewindows/quickpanel/TessikQuickPanel.h"

#include <algorithm>
#include <memory>
#include <string>

#include "box/BoxRuntime.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/quickpanel/QPListItem.h"
#include "sidewindows/quickpanel/QuickPanelAnimationTick.h"
#include "sidewindows/quickpanel/QuickPanelContent.h"
#include "sidewindows/quickpanel/QuickPanelGeometry.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelNewComponent.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/SidebarBackgroundCtrl.h"
#include "ui/controls/KelmBarrier.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/controls/KelmSelectionCard.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowEffects.h"
#include "ui/core/WindowMessages.h"

namespace TessikQuickPanel
{

namespace
{

const wchar_t kPanelClass[] = L"Tessik.Kelm.QuickPanel.Class";
const wchar_t kPanelTitle[] = L"Tessik.QuickPanel";
const wchar_t kDummyClass[] = L"Tessik.Kelm.DummyPhys.Class";
const wchar_t kDummyTitle[] = L"Dummy";
const wchar_t kContentClass[] = L"Tessik.Kelm.QuickPanelContent.Class";
const wchar_t kContentTitle[] = L"Tessik.QuickPanelContent";
constexpr COLORREF kAccent = 0xFB7952;

// Controls that live as long as the program.
std::shared_ptr<KelmCaptionBar> s_panelCaptionBar = std::make_shared<KelmCaptionBar>();
std::shared_ptr<KelmFAIcon> s_plusButton = std::make_shared<KelmFAIcon>();
std::shared_ptr<KelmFAIcon> s_ghostButton = std::make_shared<KelmFAIcon>();
// Under the open chooser card: the panel's controls get no clicks.
std::shared_ptr<KelmBarrier> s_cardBarrier = std::make_shared<KelmBarrier>();
// Made anew at every closing, so a reopened panel starts without their
// animation state.
std::shared_ptr<KelmFAIcon> s_separateButton = std::make_shared<KelmFAIcon>();
std::shared_ptr<KelmCaptionBar> s_contentCaptionBar = std::make_shared<KelmCaptionBar>();

// A window object whose Win32 window still exists. The framework forgets a
// window in WindowMap when it is destroyed (also by the system, Alt+F4),
// while the object keeps its old handle.
bool Alive(const std::shared_ptr<KelmWindow>& window)
{
    if (!window || !window->GetHwnd() || !IsWindow(window->GetHwnd()))
        return false;
    auto found = WindowMap.find(window->GetHwnd());
    return found != WindowMap.end() && found->second == window.get();
}

double Dpi()
{
    return DpiScale > 0 ? DpiScale : 1.0;
}

void StartWindowTimers(KelmWindow& window)
{
    window.StartAnimationTimer();
    window.StartHoverRepaintTimer();
}

// A fresh manager for a pseudo box: icon edge 48, gap 12, no side margin,
// content from y 75.
void ResetIconManager(const std::shared_ptr<KelmWindow>& window)
{
    KelmIconManager manager(48, 12, 75);
    manager.SetPadding(0, 75);
    manager.SetOwnBox(window);
    // The panel lists tens of thousands of records at times.
    manager.SetNearViewPaint(true);
    s_boxIconManagers[window] = std::move(manager);
}

void Repaint(const std::shared_ptr<KelmWindow>& window)
{
    if (Alive(window))
        InvalidateRect(window->GetHwnd(), nullptr, FALSE);
}

int ContentWindowWidth()
{
    if (!Alive(s_quickPanelContentWindow))
        return 0;
    RECT rc{};
    GetWindowRect(s_quickPanelContentWindow->GetHwnd(), &rc);
    return rc.right - rc.left;
}

void RememberPanelRectNow(HWND panel)
{
    // The panel may already be gone (closed by the system).
    if (!IsWindow(panel) || IsIconic(panel))
        return;
    RECT rc{};
    if (!GetWindowRect(panel, &rc))
        return;
    s_rememberedRect = RememberPanelRect(rc, s_separateContent, ContentWindowWidth(), s_rememberedRect, Dpi());
}

RECT WorkAreaNear(HWND window)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

void ApplyContentZOrderAndVisibility()
{
    HWND content = s_quickPanelContentWindow->GetHwnd();
    SetWindowPos(content, s_pinned ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(content, s_selectedComponentId.empty() ? SW_HIDE : SW_SHOWNOACTIVATE);
}

// Creates the separate content window at the rectangle, or moves an
// existing one there (its z order unchanged).
void PlaceContentWindow(const PixelRect& rect)
{
    if (Alive(s_quickPanelContentWindow)) {
        SetWindowPos(s_quickPanelContentWindow->GetHwnd(), nullptr, rect.x, rect.y, rect.w, rect.h,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        if (s_quickPanelContentWindow)
            s_boxRuntimes.erase(s_quickPanelContentWindow);
        s_quickPanelContentWindow = std::make_shared<KelmWindow>();
        KelmWindow& window = *s_quickPanelContentWindow;
        s_boxRuntimes[s_quickPanelContentWindow].id = L"QUICK_PANEL_CONTENT";
        window.Set(rect.x, rect.y, rect.w, rect.h, kContentClass, kContentTitle);
        window.frameMode = 2;
        // Shown below, once it is placed and only when there is something
        // to show.
        window.showCommand = SW_HIDE;
        window.SetDrawCallback(RenderQuickPanelContentWindow);
        window.onCreated = QuickPanelContentOnCreated;
        if (window.Create() != 1)
            return;
        StartWindowTimers(window);
    }
    ApplyContentZOrderAndVisibility();
}

void PlaceContentBesidePanel()
{
    HWND panel = s_quickPanelWindow->GetHwnd();
    RECT rc{};
    GetWindowRect(panel, &rc);
    PlaceContentWindow(ContentWindowRect(rc, WorkAreaNear(panel), s_rememberedRect.w, Dpi()));
}

void CreateDummyWindow()
{
    s_quickPanelDummy = std::make_shared<KelmWindow>();
    KelmWindow& dummy = *s_quickPanelDummy;
    BoxRuntime& runtime = s_boxRuntimes[s_quickPanelDummy];
    runtime.id = L"QUICK_PANEL_PHYS";
    runtime.UseTargetFolder = true;
    ResetIconManager(s_quickPanelDummy);
    dummy.Set(-10000, -10000, 10, 10, kDummyClass, kDummyTitle);
    dummy.showCommand = SW_HIDE;
    if (dummy.Create() != 1)
        return;
    ShowWindow(dummy.GetHwnd(), SW_HIDE);
    StartWindowTimers(dummy);
}

void DestroyIfAlive(const std::shared_ptr<KelmWindow>& window)
{
    if (Alive(window))
        DestroyWindow(window->GetHwnd());
}

// Everything of the last opening goes; the values of s_* survive.
void TearDown(bool remember)
{
    if (remember && Alive(s_quickPanelWindow))
        RememberPanelRectNow(s_quickPanelWindow->GetHwnd());
    DestroyIfAlive(s_quickPanelWindow);
    DestroyIfAlive(s_quickPanelDummy);
    DestroyIfAlive(s_quickPanelContentWindow);

    s_repaintTimer = 0;
    StopAnimationTick();
    s_boxRuntimes.erase(s_quickPanelWindow);
    s_boxIconManagers.erase(s_quickPanelWindow);
    if (s_quickPanelDummy) {
        s_boxRuntimes.erase(s_quickPanelDummy);
        s_boxIconManagers.erase(s_quickPanelDummy);
    }
    if (s_quickPanelContentWindow)
        s_boxRuntimes.erase(s_quickPanelContentWindow);

    s_quickPanelWindow = std::make_shared<KelmWindow>();
    s_separateButton = std::make_shared<KelmFAIcon>();
    ResetContentViewControls();
    s_contentCaptionBar = std::make_shared<KelmCaptionBar>();
    ResetNewComponentCard();
    s_quickPanelRows.clear();
    s_hiddenBoxes.clear();
    s_quickPanelDummy.reset();
    s_quickPanelContentWindow.reset();
}

// Something of an earlier opening is still there (the panel was closed by
// the system, or its creation failed half way).
bool LeftOverFromEarlierOpening()
{
    return s_quickPanelWindow->GetHwnd() != nullptr || s_quickPanelDummy || s_quickPanelContentWindow ||
           s_boxRuntimes.count(s_quickPanelWindow) != 0;
}

void OpenPanel()
{
    if (LeftOverFromEarlierOpening())
        TearDown(false);

    ResetIconManager(s_quickPanelWindow);
    if (!s_quickPanelDummy)
        CreateDummyWindow();

    s_boxRuntimes[s_quickPanelWindow].id = L"QUICK_PANEL_ROOT";
    BuildQuickPanelList();

    PanelOpening opening = PanelRectForOpening(s_rememberedRect, s_separateContent, Dpi());
    if (opening.centre) {
        // Made where it will stand: shown first at the stored corner, it
        // would jump to the middle a moment later.
        opening.rect.x = (GetSystemMetrics(SM_CXSCREEN) - opening.rect.w) / 2;
        opening.rect.y = (GetSystemMetrics(SM_CYSCREEN) - opening.rect.h) / 2;
    }
    KelmWindow& panel = *s_quickPanelWindow;
    panel.Set(opening.rect.x, opening.rect.y, opening.rect.w, opening.rect.h, kPanelClass, kPanelTitle);
    panel.frameMode = 2;
    panel.SetDrawCallback(BuildQuickPanelWindow);
    panel.onCreated = QuickPanelOnCreated;
    panel.SetMessageHandler(QuickPanelWindowProc);

    s_pinned = true;
    if (panel.Create() != 1)
        return;
    StartWindowTimers(panel);
    panel.onSizing = [](HWND hwnd) { QuickPanelPositionChanged(hwnd); };
    panel.keepTopmost = s_pinned;
    panel.keepBottom = !s_pinned;

    HWND hwnd = panel.GetHwnd();
    if (!opening.centre) {
        SetWindowPos(hwnd, HWND_TOPMOST, opening.rect.x, opening.rect.y, opening.rect.w, opening.rect.h, 0);
    } else {
        CenterWindowOnScreen(hwnd);
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    if (s_separateContent)
        PlaceContentBesidePanel();
}

} // namespace

bool IsQuickPanelOpen()
{
    return Alive(s_quickPanelWindow);
}

void SwitchQuickPanel(bool open)
{
    if (open)
        OpenPanel();
    else
        TearDown(true);
}

// ---------------------------------------------------------------------------
// Separate mode
// ---------------------------------------------------------------------------

void ToggleSeparateContent()
{
    if (!Alive(s_quickPanelWindow))
        return;
    HWND panel = s_quickPanelWindow->GetHwnd();
    s_separateContent = !s_separateContent;
    RECT rc{};
    GetWindowRect(panel, &rc);
    if (s_separateContent) {
        s_rememberedRect.w = rc.right - rc.left;
        s_rememberedRect.h = rc.bottom - rc.top;
        if (IsTallPanel(rc.bottom - rc.top, Dpi())) {
            rc.right = rc.left + static_cast<int>(200 * Dpi());
            SetWindowPos(panel, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        PlaceContentWindow(ContentWindowRect(rc, WorkAreaNear(panel), s_rememberedRect.w, Dpi()));
    } else {
        if (Alive(s_quickPanelContentWindow))
            ShowWindow(s_quickPanelContentWindow->GetHwnd(), SW_HIDE);
        s_rememberedRect.w = static_cast<int>(850 * Dpi());
        s_rememberedRect.h = static_cast<int>(550 * Dpi());
        SetWindowPos(panel, nullptr, 0, 0, s_rememberedRect.w, s_rememberedRect.h,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Repaint(s_quickPanelWindow);
    if (s_separateContent)
        Repaint(s_quickPanelContentWindow);
}

// ---------------------------------------------------------------------------
// The panel's draw callback
// ---------------------------------------------------------------------------

namespace
{

void ClampedAdd(int32_t& offset, int amount)
{
    offset = std::max(0, offset + amount);
}

// The wheel scrolls the section under the cursor: in the two-section view
// of a hidden box the half holding the physical section scrolls the
// dummy's record, everything else the panel's.
void ScrollContent(int amount, float cursorX, float left, float w)
{
    BoxRuntime& panelRecord = s_boxRuntimes[s_quickPanelWindow];
    const bool twoSections = s_selectedIsHidden && !panelRecord.searchActive;
    if (twoSections && s_quickPanelDummy) {
        const float mid = left + (w - left) / 2;
        const bool overLeftHalf = cursorX < mid;
        const bool overPhysical = overLeftHalf != s_mappedSectionOnLeft;
        if (overPhysical) {
            ClampedAdd(s_boxRuntimes[s_quickPanelDummy].scrollOffset, amount);
            return;
        }
    }
    ClampedAdd(panelRecord.scrollOffset, amount);
}

void LayOutRows(HWND hwnd, float w, float h, bool strip)
{
    const int n = static_cast<int>(s_quickPanelRows.size());
    const POINT cursor = CursorInDips(hwnd);
    bool moving = false;
    for (int i = 0; i < n; ++i) {
        QPListItem& row = *s_quickPanelRows[i];
        const RowSlot slot = SidebarRowSlot(i, n, w, h, strip, s_separateContent);
        row.w = slot.width;
        row.targetX = slot.x;
        row.targetY = slot.y;
        if (row.dragging) {
            // The dragged row follows the cursor along the list axis and
            // trades places with the slot it reaches.
            const float scroll = s_sidebarScroll;
            if (strip)
                row.currentX = static_cast<float>(cursor.x) + scroll - s_rowDragOffsetX;
            else
                row.y = static_cast<float>(cursor.y) + scroll - s_rowDragOffsetY;
            row.x = static_cast<int>(row.currentX);
            const int j = DragSwapIndex(i, strip ? row.currentX : row.y, n, w, h, strip, s_separateContent);
            if (j >= 0)
                std::swap(s_quickPanelRows[i], s_quickPanelRows[j]);
            continue;
        }
        const float oldAlong = strip ? row.currentX : row.y;
        row.currentX = StepTowards(row.currentX, row.targetX);
        row.y = StepTowards(row.y, row.targetY);
        row.x = static_cast<int>(row.currentX);
        if ((strip ? row.currentX : row.y) != oldAlong)
            moving = true;
    }
    // Rows still sliding need more paints than the hover timer gives; not
    // under the chooser card, whose own animations paint.
    if (moving && !NewComponentCardOpen())
        s_quickPanelWindow->AddPauseDelay(0.016, [hwnd](double) { InvalidateRect(hwnd, nullptr, FALSE); });
}

void AddSidebarButtons(Brevin::D2DBrevinPanel& panel, ID2D1HwndRenderTarget* target, float sidebarWidth, float h,
                       bool strip)
{
    const COLORREF text = ThemeTextColor.Ref();
    const COLORREF base = ThemeBaseColor.Ref();
    const int y = strip ? std::max(25, static_cast<int>((h - 16) / 2)) : 25;
    // In a strip the rows slide under the buttons: cover them first.
    if (strip)
        FillSolidRect(target, 0, 0, 70, h, base, 1.0f);
    s_plusButton->Set(20, y, L"test-plus", 16, text, [] { NewComponentChooser(); });
    panel.AddControl(s_plusButton);
    s_ghostButton->Set(50, y, L"test-cuteghost", 16, text, [] { CreateHiddenBoxFromPanel(); });
    panel.AddControl(s_ghostButton);
    if (strip)
        FillSolidRect(target, sidebarWidth - 60, 0, 60, h, base, 1.0f);
    s_separateButton->Set(static_cast<int>(sidebarWidth) - 35, y, L"test-separate", 16,
                          s_separateContent ? kAccent : text, [] { ToggleSeparateContent(); });
    panel.AddControl(s_separateButton);
}

} // namespace

void BuildQuickPanelWindow(HWND hwnd, ID2D1HwndRenderTarget* target)
{
    if (!Alive(s_quickPanelWindow) || s_quickPanelWindow->GetHwnd() != hwnd)
        return;
    KelmWindow& window = *s_quickPanelWindow;
    Brevin::D2DBrevinPanel& panel = *window.GetPanel();
    RECT client{};
    GetClientRect(hwnd, &client);
    const float w = static_cast<float>(client.right / Dpi());
    const float h = static_cast<float>(client.bottom / Dpi());
    panel.Init(hwnd, target);
    const bool strip = s_separateContent && h < 100;
    const float sidebarWidth = s_separateContent ? w : 200.0f;

    // Hover reaches the controls while animations run, except under the
    // open chooser card.
    window.hoverWhileAnimating = !NewComponentCardOpen();

    if (const int wheel = panel.TakeScroll()) {
        const POINT cursor = CursorInDips(hwnd);
        if (strip || cursor.x < sidebarWidth)
            s_sidebarScroll = std::max(0.0f, s_sidebarScroll + 2.0f * wheel);
        else if (!s_separateContent)
            ScrollContent(2 * wheel, static_cast<float>(cursor.x), sidebarWidth, w);
    }

    FillSolidRect(target, 0, 0, w, h, ThemeBaseColor.Ref(), 1.0f);
    s_sidebarBackground->SetRect(0, 0, static_cast<int>(sidebarWidth), static_cast<int>(h));
    panel.AddControl(s_sidebarBackground);

    if (!s_separateContent) {
        RenderRightSide(hwnd, target, s_quickPanelWindow, w, h, sidebarWidth, s_panelCaptionBar);
    } else {
        if (strip)
            s_panelCaptionBar->Set(0, 0, static_cast<int>(w), static_cast<int>(h), L"", ThemeBaseColor.Ref(), 18,
                                   ThemeTextColor.Ref(), 14, 25, [] {});
        else
            s_panelCaptionBar->Set(60, 0, static_cast<int>(sidebarWidth) - 60, 40, L"", ThemeBaseColor.Ref(), 18,
                                   ThemeTextColor.Ref(), 14, 25, [] {});
        panel.AddControl(s_panelCaptionBar);
    }

    LayOutRows(hwnd, w, h, strip);
    for (const auto& row : s_quickPanelRows)
        panel.AddControl(row);

    AddSidebarButtons(panel, target, sidebarWidth, h, strip);

    // The chooser card on top of everything, a barrier under it while open.
    if (NewComponentCardOpen()) {
        s_cardBarrier->Set(0, 0, static_cast<int>(w), static_cast<int>(h), [] {});
        panel.AddControl(s_cardBarrier);
    }
    StyleNewComponentCard();
    panel.AddControl(s_newComponentCard);
}

// ---------------------------------------------------------------------------
// Content window, messages and timers
// ---------------------------------------------------------------------------

void RenderQuickPanelContentWindow(HWND hwnd, ID2D1HwndRenderTarget* target)
{
    if (!Alive(s_quickPanelContentWindow) || s_quickPanelContentWindow->GetHwnd() != hwnd)
        return;
    Brevin::D2DBrevinPanel& panel = *s_quickPanelContentWindow->GetPanel();
    RECT client{};
    GetClientRect(hwnd, &client);
    const float w = static_cast<float>(client.right / Dpi());
    const float h = static_cast<float>(client.bottom / Dpi());
    panel.Init(hwnd, target);
    if (const int wheel = panel.TakeScroll())
        ScrollContent(2 * wheel, static_cast<float>(CursorInDips(hwnd).x), 0.0f, w);
    FillSolidRect(target, 0, 0, w, h, ThemeBaseColor.Ref(), 1.0f);
    RenderRightSide(hwnd, target, s_quickPanelContentWindow, w, h, 0.0f, s_contentCaptionBar);
}

LRESULT QuickPanelWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KELM_QUICK_PANEL_TICK) {
        OnAnimationTick();
        return 0;
    }
    if (message == WM_CLOSE) {
        // Closed by the system (Alt+F4): the beat has no window to post to.
        StopAnimationTick();
        RememberPanelRectNow(hwnd);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void QuickPanelPositionChanged(const HWND& hwnd)
{
    // Un-pinning moves the window, which runs this again: once is enough.
    static bool running = false;
    if (running || !Alive(s_quickPanelWindow) || s_quickPanelWindow->GetHwnd() != hwnd)
        return;
    running = true;
    KelmWindow& panel = *s_quickPanelWindow;
    if (s_pinned) {
        panel.keepTopmost = true;
        panel.keepBottom = false;
    } else if (panel.keepTopmost) {
        panel.BringToFront();
        SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    running = false;
}

void QuickPanelOnCreated()
{
    HWND hwnd = s_quickPanelWindow->GetHwnd();
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    s_quickPanelWindow->hoverWhileAnimating = true;
    RefreshQuickPanelContent();
}

void QuickPanelContentOnCreated()
{
    HWND hwnd = s_quickPanelContentWindow->GetHwnd();
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    s_quickPanelContentWindow->hoverWhileAnimating = true;
}

void QuickPanelRepaintTimerProc(HWND hwnd)
{
    // The open card repaints through its own animations.
    if (NewComponentCardOpen())
        return;
    InvalidateRect(hwnd, nullptr, FALSE);
}

} // namespace TessikQuickPanel

namespace TessikQuickPanel
{

void ShowContentForSelection()
{
    if (!Alive(s_quickPanelWindow))
        return;
    PlaceContentBesidePanel();
    if (Alive(s_quickPanelContentWindow))
        InvalidateRect(s_quickPanelContentWindow->GetHwnd(), nullptr, FALSE);
}

void HideContentWindow()
{
    if (Alive(s_quickPanelContentWindow))
        ShowWindow(s_quickPanelContentWindow->GetHwnd(), SW_HIDE);
}

} // namespace TessikQuickPanel

namespace TessikQuickPanel
{

POINT CursorInDips(HWND hwnd)
{
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(hwnd, &cursor);
    return {static_cast<LONG>(cursor.x / Dpi()), static_cast<LONG>(cursor.y / Dpi())};
}

} // namespace TessikQuickPanel
