// The main window's frame driven through its draw callback: tabs and pages,
// tabs made again on a resize with the page kept, and the support overlay
// that keeps the tabs below it from taking clicks and closes from its back
// glyph, also where the caption bar's band lies over it; the settings page
// kept out of the caption row and its switches' on state.
#include <gtest/gtest.h>

#include "app/AppMainWindow.h"
#include "app/AppState.h"
#include "app/HotKeySettings.h"
#include "app/KelmStorage.h"
#include "mainwindow/FirstRunPages.h"
#include "mainwindow/MainWindowBuild.h"
#include "mainwindow/MainWindowState.h"
#include "mainwindow/SupportOverlay.h"
#include "tests/ui/controls/ControlTestWindow.h"
#include "tests/app/TempFolder.h"
#include "ui/controls/KelmSideTab.h"
#include "ui/core/ThemeColors.h"

namespace
{

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ControlTestWindow::PrepareGraphics());
        KelmWindow& window = *s_mainWindow;
        window.Set(200, 150, 800, 600, L"Kelm.Test.MainWindow", L"main window test");
        window.SetDrawCallback(MainWindowBuild);
        window.frameMode = 2;
        window.style = WS_POPUP;
        ASSERT_EQ(window.Create(), 1);
        hwnd = window.GetHwnd();
        PumpMessages(100);
        PaintNow(hwnd);
    }
    void TearDown() override
    {
        DestroyWindow(hwnd);
        PumpMessages(10);
        s_mainWindowState = MainWindowState{};
    }
    void Click(int x, int y)
    {
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        PaintNow(hwnd);
    }
    bool Selected(size_t i) { return s_mainWindowState.sideTabs.at(i)->selected; }

    ScaleGuard scale;
    HWND hwnd = nullptr;
};

TEST_F(MainWindowTest, TabsSwitchPagesAndAboutIsTabTwo)
{
    MainWindowState& state = s_mainWindowState;
    ASSERT_EQ(state.sideTabs.size(), 4u);
    EXPECT_TRUE(IsPage(state.currentPage, kHomePage));
    EXPECT_TRUE(Selected(0));
    // 800 wide: the column is 200, the tabs 140.
    EXPECT_EQ(state.sideTabs[0]->GetRect().w, 140);

    Click(100, 210); // 关于, the fourth tab
    EXPECT_TRUE(IsPage(state.currentPage, kAboutPage));
    EXPECT_FALSE(Selected(0));
    EXPECT_TRUE(Selected(3));
    Click(100, 130);
    EXPECT_TRUE(IsPage(state.currentPage, kLibraryPage));
    Click(100, 170);
    EXPECT_TRUE(IsPage(state.currentPage, kSettingsPage));
    EXPECT_TRUE(Selected(2));
    EXPECT_FALSE(Selected(1));
}

TEST_F(MainWindowTest, ResizeMakesTheTabsAgainAndKeepsThePage)
{
    MainWindowState& state = s_mainWindowState;
    Click(100, 210);
    const auto before = state.sideTabs[0];
    SetWindowPos(hwnd, nullptr, 0, 0, 1400, 700, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PaintNow(hwnd);
    ASSERT_EQ(state.sideTabs.size(), 4u);
    EXPECT_NE(state.sideTabs[0], before);
    EXPECT_EQ(state.sideTabs[0]->GetRect().w, 240); // column capped at 300
    EXPECT_TRUE(Selected(3));
    EXPECT_TRUE(IsPage(state.currentPage, kAboutPage));
}

TEST_F(MainWindowTest, SupportOverlaySwallowsTabClicksUntilClosed)
{
    MainWindowState& state = s_mainWindowState;
    Click(100, 600 - 60 + 8); // 支持 at the bottom of the column
    EXPECT_TRUE(state.overlayOpen);
    EXPECT_TRUE(IsPage(state.sidePage, L"Tessik_like"));
    Click(100, 210);
    EXPECT_TRUE(IsPage(state.currentPage, kHomePage));

    CloseSupportOverlay();
    const ULONGLONG end = GetTickCount64() + 5000;
    while (state.overlayOpen && GetTickCount64() < end)
        PumpMessages(10);
    EXPECT_FALSE(state.overlayOpen);
    EXPECT_TRUE(IsPage(state.sidePage, L"Test"));
    EXPECT_EQ(state.slideAmount, 0.0f);
    Click(100, 210);
    EXPECT_TRUE(IsPage(state.currentPage, kAboutPage));
}

TEST_F(MainWindowTest, TheBackGlyphAnswersWhereTheCaptionBandCoversIt)
{
    MainWindowState& state = s_mainWindowState;
    OpenSupportOverlay();
    const ULONGLONG opened = GetTickCount64() + 5000;
    while (state.slideAmount < 100.0f && GetTickCount64() < opened)
        PumpMessages(10);
    PaintNow(hwnd);
    // 800 wide: the sheet starts at x 80, the back glyph at (105, 25), in
    // the caption bar's band (y 0 to 40). Only the release, which clicks the
    // glyph: a press on the caption bar would enter the system's move loop,
    // which waits for the real mouse button.
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(112, 30));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(112, 30));
    const ULONGLONG closed = GetTickCount64() + 5000;
    while (state.overlayOpen && GetTickCount64() < closed)
        PumpMessages(10);
    EXPECT_FALSE(state.overlayOpen);
}

TEST_F(MainWindowTest, SettingsScrolledUnderTheCaptionRowNeitherShowNorTakeClicks)
{
    TempFolder temp;
    s_appStore.Load(temp.File(L"Tessik.kelm"));
    SetSettingsMessageSinkForTesting([](const std::wstring&) {});
    const ThemeRgb theme = ThemeBaseColor;
    MainWindowState& state = s_mainWindowState;
    Click(100, 170);
    ASSERT_TRUE(IsPage(state.currentPage, kSettingsPage));
    // 800 wide: the tab column is 200; the "Dark" card lies at x 320 to 420,
    // page y 152 to 232, so 162 down it reaches y -10 to 70.
    const COLORREF captionRow = ReadClientPixel(hwnd, 370, 30);
    SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-720)), MAKELPARAM(500, 300));
    const ULONGLONG end = GetTickCount64() + 5000;
    while ((state.scrollAnimationId != -1 || state.settingsScrollPosition < 162) && GetTickCount64() < end)
        PumpMessages(10);
    ASSERT_FLOAT_EQ(state.settingsScrollPosition, 162);
    PaintNow(hwnd);
    EXPECT_EQ(ReadClientPixel(hwnd, 370, 30), captionRow);
    EXPECT_NE(ReadClientPixel(hwnd, 370, 60), captionRow); // below the row the card shows
    // A release there (a press would start the caption's move loop) is the
    // caption's, not the hidden card's.
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(370, 30));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(370, 30));
    EXPECT_EQ(ThemeBaseColor.Ref(), theme.Ref());
    ThemeBaseColor = theme;
    UpdateThemeColors();
    SetSettingsMessageSinkForTesting(nullptr);
}

TEST_F(MainWindowTest, SettingsSwitchShowsItsOnStateInTheAccentBlue)
{
    SetWindowPos(hwnd, nullptr, 200, 20, 800, 950, SWP_NOZORDER | SWP_NOACTIVATE); // all of it on the screen
    Click(100, 170);
    // "启动时显示主程序" is on unless stored otherwise; its switch lies at
    // (400, 862), 40 x 22, the knob at the right end once it slid there.
    const COLORREF track = AwaitClientPixel(hwnd, 406, 873, RGB(0x52, 0x79, 0xFB), 2);
    EXPECT_TRUE(Near(track, RGB(0x52, 0x79, 0xFB))) << std::hex << track;
}

TEST_F(MainWindowTest, TheFirstClickAfterTheFirstRunCardReachesTheTabs)
{
    TempFolder temp;
    s_appStore.Load(temp.File(L"Tessik.kelm"));
    s_isFirstRun = true;
    s_configLoaded = true; // the stores are there: "继续" only ends the introduction
    s_firstRunPageState = 3;
    PaintNow(hwnd);
    // 800 x 600: the card is 400 x 300 at (200, 150), "继续" 80 x 40 at
    // (500, 390). The tab is clicked before the window painted again: a
    // click the user made while the choice was being applied comes before
    // the paint in the queue.
    for (const auto& [x, y] : {std::pair{540, 410}, std::pair{100, 130}}) {
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    EXPECT_FALSE(IsFirstRunActive());
    EXPECT_TRUE(IsPage(s_mainWindowState.currentPage, kLibraryPage));
    s_configLoaded = false;
    s_firstRunPageState = 1;
}

TEST_F(MainWindowTest, ReopeningWhileClosingStaysOpen)
{
    MainWindowState& state = s_mainWindowState;
    OpenSupportOverlay();
    CloseSupportOverlay();
    OpenSupportOverlay();
    // Once every animation has ended, none of the closing ones may have
    // closed the overlay that was opened again.
    const ULONGLONG end = GetTickCount64() + 5000;
    while (s_mainWindow->animationManager.GetActiveCount() > 0 && GetTickCount64() < end)
        PumpMessages(10);
    EXPECT_EQ(s_mainWindow->animationManager.GetActiveCount(), 0u);
    EXPECT_TRUE(state.overlayOpen);
    EXPECT_EQ(state.slideAmount, 100.0f);
    EXPECT_EQ(state.blurAmount, 100.0f);
}

} // namespace
