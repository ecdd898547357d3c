#include "mainwindow/MainWindowBuild.h"

#include <algorithm>
#include <memory>

#include "mainwindow/AboutPage.h"
#include "mainwindow/ComponentLibrary.h"
#include "mainwindow/FirstRunPages.h"
#include "mainwindow/HomePage.h"
#include "mainwindow/MainWindowLayout.h"
#include "mainwindow/MainWindowState.h"
#include "mainwindow/SettingsPage.h"
#include "mainwindow/SupportOverlay.h"
#include "mainwindow/ThemeChoice.h"
#include "ui/controls/KelmBarrier.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmCard.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/controls/KelmSideTab.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace
{

struct TabEntry {
    const wchar_t* label;
    const wchar_t* glyph;
    int y;
    COLORREF colour;
    const wchar_t* page;
};

// The page tabs, top to bottom; "关于" is the fourth tab but page "Tab2".
constexpr TabEntry kTabs[] = {
    {L"主页", L"test-home", 80, RGB(0x1A, 0xBC, 0x9C), kHomePage},
    {L"组件库", L"test-comp", 120, RGB(0x81, 0x57, 0xF2), kLibraryPage},
    {L"设置", L"test-set", 160, RGB(0xF5, 0xC9, 0x68), kSettingsPage},
    {L"关于", L"test-info", 200, RGB(0x56, 0x8A, 0xFA), kAboutPage},
};

void ClearSideTabs()
{
    s_mainWindowState.sideTabs.clear();
    s_mainWindowState.tabsBuilt = false;
}

void AddSideTabs(Brevin::D2DBrevinPanel& panel, int tabWidth, float h)
{
    MainWindowState& state = s_mainWindowState;
    if (!state.tabsBuilt) {
        for (const TabEntry& entry : kTabs) {
            auto tab = std::make_shared<KelmSideTab>();
            const wchar_t* page = entry.page;
            tab->Set(35, entry.y, tabWidth - 60, entry.label, entry.glyph, 20, entry.colour,
                     [page] { SelectTab(page); });
            tab->SetSelected(IsPage(state.currentPage, page));
            state.sideTabs.push_back(tab);
        }
        state.tabsBuilt = true;
    }
    for (const auto& tab : state.sideTabs)
        panel.AddControl(tab);

    static auto support = std::make_shared<KelmSideTab>();
    support->Set(35, static_cast<int>(h - 60), tabWidth - 60, L"支持", L"test-heart", 20, RGB(0xEB, 0xA2, 0xAF),
                 OpenSupportOverlay);
    support->SetSelected(false);
    panel.AddControl(support);
}

// The component library's two cards; each opens the library's selection
// card from its own rectangle.
void DrawLibraryPage(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, int tabWidth, float w)
{
    static auto boxCard = std::make_shared<KelmCard>();
    static auto magnetCard = std::make_shared<KelmCard>();
    const COLORREF text = ThemeTextColor.Ref();
    DrawTextSemibold(target, static_cast<float>(tabWidth + 40), 50, 200, 40, L"组件库", 24, text, L"Segoe UI", 1.0f,
                     false);
    MainWindowLayout::CardFlow flow;
    flow.Init(tabWidth + 40, static_cast<int>(w) - 40);
    RECT client{};
    GetClientRect(window, &client);
    using Action = void (*)(HWND, RECT, LibraryRect);
    const struct {
        std::shared_ptr<KelmCard>& card;
        const wchar_t* title;
        const wchar_t* body;
        Action action;
        KelmCard::Painter painter;
    } cards[] = {
        {boxCard, L"万能收纳盒", L"解锁你需要收纳的一切。", NewComponentChooser, ShowSampleFilePage},
        {magnetCard, L"磁力访问窗", L"在系统打开、保存对话框旁快速访问收纳盒。", BuildMagWinCard, ShowMagWinSamplePage},
    };
    for (const auto& entry : cards) {
        const auto at = flow.Place();
        const LibraryRect rect{at.x, at.y, at.w, at.h};
        const Action action = entry.action;
        entry.card->Set(
            at.x, at.y, at.w, at.h, entry.title, entry.body, entry.painter,
            [window, client, rect, action] { action(window, client, rect); }, 0, 0, text);
        panel.AddControl(entry.card);
    }
}

// The caption bar is drawn last, over the overlay's blur, yet takes a
// press only where no control is drawn in its band: the support sheet's
// back glyph reaches into it, and so do settings rows scrolled up. So it
// is routed under everything added since the last barrier, and above that
// barrier, so the window can still be dragged while an overlay is shown.
void RouteCaptionBarUnderDrawnControls(Brevin::D2DBrevinPanel& panel, const std::shared_ptr<KelmCaptionBar>& caption)
{
    auto& controls = panel.controls;
    const auto at = std::find(controls.begin(), controls.end(), caption);
    if (at == controls.end())
        return;
    controls.erase(at);
    const auto lastBarrier = std::find_if(controls.rbegin(), controls.rend(), [](const auto& control) {
        return dynamic_cast<const KelmBarrier*>(control.get()) != nullptr;
    });
    controls.insert(lastBarrier.base(), caption);
}

// The caption and its glyphs, added last so they stay usable above the
// overlays.
void AddCaption(HWND window, Brevin::D2DBrevinPanel& panel, float w)
{
    static auto caption = std::make_shared<KelmCaptionBar>();
    static auto close = std::make_shared<KelmFAIcon>();
    static auto zoom = std::make_shared<KelmFAIcon>();
    static auto minimise = std::make_shared<KelmFAIcon>();
    const COLORREF text = ThemeTextColor.Ref();
    caption->Set(0, 0, static_cast<int>(w - 160), 40, L"Tessik", ThemeBaseColor.Ref(), 18, text, -1, 0, [] {});
    panel.AddControl(caption);
    RouteCaptionBarUnderDrawnControls(panel, caption);

    // Closing only hides: the program lives on in the tray.
    close->Set(static_cast<int>(w - 32), 20, L"win-close", 15, text, [window] {
        ShowWindow(window, SW_HIDE);
        HoverAnimationCount = 0;
    });
    panel.AddControl(close);
    if (IsZoomed(window)) {
        zoom->Set(static_cast<int>(w - 64), 20, L"win-restore", 15, text, [window] {
            SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
            HoverAnimationCount = 0;
        });
    } else {
        zoom->Set(static_cast<int>(w - 64), 20, L"win-max", 15, text, [window] {
            SendMessageW(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
            HoverAnimationCount = 0;
        });
    }
    panel.AddControl(zoom);
    // The hover repaint stops first: a minimised window has nothing to show.
    minimise->Set(static_cast<int>(w - 96), 20, L"win-min", 15, text, [window] {
        HoverAnimationCount = 0;
        KillTimer(window, kHoverRepaintTimerId);
        SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        HoverAnimationCount = 0;
    });
    panel.AddControl(minimise);
}

} // namespace

void SelectTab(const wchar_t* page)
{
    MainWindowState& state = s_mainWindowState;
    for (size_t i = 0; i < state.sideTabs.size() && i < std::size(kTabs); ++i)
        state.sideTabs[i]->SetSelected(IsPage(kTabs[i].page, page));
    state.currentPage = page;
}

void MainWindowBuild(HWND window, ID2D1HwndRenderTarget* target)
{
    auto it = WindowMap.find(window);
    if (!target || it == WindowMap.end())
        return;
    Brevin::D2DBrevinPanel& panel = *it->second->GetPanel();
    MainWindowState& state = s_mainWindowState;

    RECT client{};
    GetClientRect(window, &client);
    const float w = static_cast<float>(client.right / DpiScale);
    const float h = static_cast<float>(client.bottom / DpiScale);
    FillSolidRect(target, 0, 0, static_cast<float>(client.right), static_cast<float>(client.bottom),
                  ThemeBaseColor.Ref(), 1.0f);
    panel.Init(window, target);

    const int tabWidth = MainWindowLayout::TabColumnWidth(w, DpiScale);
    DrawRoundRect(target, -12, 0, static_cast<float>(tabWidth + 12), h, ThemeAccent.Ref(), 0, 1.0f, 2.0f,
                  ThemeTextColor.Ref(), 0.1f);
    const int sizeSum = client.right + client.bottom;
    if (sizeSum != state.lastSizeSum) {
        ClearSideTabs();
        state.lastSizeSum = sizeSum;
    }
    AddSideTabs(panel, tabWidth, h);

    if (IsPage(state.currentPage, kAboutPage))
        DrawAboutPage(target, panel, tabWidth);
    else if (IsPage(state.currentPage, kLibraryPage))
        DrawLibraryPage(window, target, panel, tabWidth, w);
    else if (IsPage(state.currentPage, kSettingsPage))
        DrawSettingsPage(window, target, panel, tabWidth, w, h);
    else
        DrawHomePage(window, target, tabWidth, w, h);
    AddLibrarySelectionCard(panel, w, h);

    if (IsFirstRunActive()) {
        state.blurAmount = 100.0f;
        DrawOverlayBackdrop(window, target, panel, w, h, state.blurAmount);
        DrawFirstRunPages(window, target, panel, w, h);
    } else if (state.overlayOpen) {
        DrawOverlayBackdrop(window, target, panel, w, h, state.blurAmount);
        DrawSupportSheet(window, target, panel, w, h);
    }

    AddCaption(window, panel, w);
}
