#include <string>

#include "QuickPanelTestSupport.h"
#include "app/AppMainWindow.h"
#include "app/GlobalHotKeys.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "tests/common/WindowTestSupport.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"

using namespace TessikQuickPanel;

namespace
{

struct Found {
    int count = 0;
    HWND window = nullptr;
};

// Windows of this process with the class name.
Found FindWindows(const wchar_t* className)
{
    struct Search {
        const wchar_t* className;
        Found found;
    } search{className, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[128] = {};
            GetClassNameW(window, name, 128);
            if (std::wstring(name) == s->className) {
                ++s->found.count;
                s->found.window = window;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

RECT WindowRect(HWND window)
{
    RECT rc{};
    GetWindowRect(window, &rc);
    return rc;
}

// Where the panel window was made, seen when it is created.
POINT s_panelCreatedAt{-1, -1};

LRESULT CALLBACK NotePanelCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        wchar_t name[128] = {};
        GetClassNameW(reinterpret_cast<HWND>(wParam), name, 128);
        const CREATESTRUCTW* cs = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        if (std::wstring(name) == L"Tessik.Kelm.QuickPanel.Class")
            s_panelCreatedAt = {cs->x, cs->y};
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool Topmost(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

class QuickPanelSwitchTest : public QuickPanelWindowTest
{
protected:
    HWND Panel() const { return s_quickPanelWindow->GetHwnd(); }
};

// Each test covers a whole path: under Wine without a window manager every
// visible window that is hidden or destroyed costs two seconds.

} // namespace

TEST_F(QuickPanelSwitchTest, HotKeyOpensClosesAndRemembersTheRectangle)
{
    AddHidden(L"h00001", L"Ghost");
    AddHidden(L"h00002", L"Notes");
    HWND main = CreateWindowExW(0, L"STATIC", L"main", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    s_pinned = false;
    HHOOK hook = SetWindowsHookExW(WH_CBT, NotePanelCreation, nullptr, GetCurrentThreadId());
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    UnhookWindowsHookEx(hook);
    ASSERT_TRUE(IsQuickPanelOpen());
    PumpMessages(50);

    // First opening: 850 x 550 DIP, centred, pinned again, topmost. It is
    // made there: shown first at another place, it would jump.
    EXPECT_EQ(s_panelCreatedAt.x, (GetSystemMetrics(SM_CXSCREEN) - 850) / 2);
    EXPECT_EQ(s_panelCreatedAt.y, (GetSystemMetrics(SM_CYSCREEN) - 550) / 2);
    RECT rc = WindowRect(Panel());
    EXPECT_EQ(rc.right - rc.left, 850);
    EXPECT_EQ(rc.bottom - rc.top, 550);
    EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - 850) / 2);
    EXPECT_TRUE(s_pinned);
    EXPECT_TRUE(Topmost(Panel()));
    EXPECT_TRUE(IsWindowVisible(Panel()));
    // The panel and the hidden dummy stand in the box registry.
    EXPECT_EQ(s_boxRuntimes[s_quickPanelWindow].id, L"QUICK_PANEL_ROOT");
    ASSERT_TRUE(s_quickPanelDummy);
    EXPECT_EQ(s_boxRuntimes[s_quickPanelDummy].id, L"QUICK_PANEL_PHYS");
    EXPECT_TRUE(s_boxRuntimes[s_quickPanelDummy].UseTargetFolder);
    EXPECT_FALSE(IsWindowVisible(s_quickPanelDummy->GetHwnd()));
    EXPECT_EQ(s_boxIconManagers[s_quickPanelWindow].GetIconSize(), 48);
    EXPECT_EQ(s_boxIconManagers[s_quickPanelWindow].TopOffset(), 75);

    // The rows are painted in their slots; a click on the second selects it.
    PaintNow(Panel());
    ASSERT_EQ(s_quickPanelRows.size(), 2u);
    EXPECT_EQ(s_quickPanelRows[1]->targetY, 105.0f);
    EXPECT_EQ(s_selectedComponentId, L"h00001");
    PostMessageW(Panel(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 120));
    PostMessageW(Panel(), WM_LBUTTONUP, 0, MAKELPARAM(50, 120));
    PumpMessages(50);
    EXPECT_EQ(s_selectedComponentId, L"h00002");
    EXPECT_TRUE(s_selectedIsHidden);

    // Alt+F4 closes the panel alone; its rectangle is remembered.
    SetWindowPos(Panel(), nullptr, 140, 150, 640, 480, SWP_NOZORDER);
    SendMessageW(Panel(), WM_CLOSE, 0, 0);
    PumpMessages(20);
    EXPECT_FALSE(IsQuickPanelOpen());
    EXPECT_TRUE(s_rememberedRect.valid);
    EXPECT_EQ(s_rememberedRect.x, 140);
    EXPECT_EQ(s_rememberedRect.w, 640);
    EXPECT_EQ(FindWindows(L"Tessik.Kelm.DummyPhys.Class").count, 1);

    // The next press opens it again where it was, nothing of the old one
    // left over; the selection survived.
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(20);
    ASSERT_TRUE(IsQuickPanelOpen());
    EXPECT_EQ(FindWindows(L"Tessik.Kelm.QuickPanel.Class").count, 1);
    EXPECT_EQ(FindWindows(L"Tessik.Kelm.DummyPhys.Class").count, 1);
    rc = WindowRect(Panel());
    EXPECT_EQ(rc.left, 140);
    EXPECT_EQ(rc.top, 150);
    EXPECT_EQ(rc.right - rc.left, 640);
    EXPECT_EQ(s_selectedComponentId, L"h00002");

    // The press after closes it, remembering the rectangle, and forgets
    // the windows.
    SetWindowPos(Panel(), nullptr, 120, 130, 700, 500, SWP_NOZORDER);
    MainWindowMessageHandler(main, WM_HOTKEY, kQuickPanelHotKeyId, 0);
    PumpMessages(20);
    EXPECT_FALSE(IsQuickPanelOpen());
    EXPECT_EQ(FindWindows(L"Tessik.Kelm.QuickPanel.Class").count, 0);
    EXPECT_EQ(FindWindows(L"Tessik.Kelm.DummyPhys.Class").count, 0);
    EXPECT_TRUE(s_boxRuntimes.empty());
    EXPECT_EQ(s_rememberedRect.x, 120);
    EXPECT_EQ(s_rememberedRect.w, 700);
    EXPECT_EQ(s_rememberedRect.h, 500);
    // Closing again (nothing open) changes nothing.
    SwitchQuickPanel(false);
    EXPECT_EQ(s_rememberedRect.x, 120);
    DestroyWindow(main);
}

TEST_F(QuickPanelSwitchTest, SeparateModeMovesTheContentBesideASidebar)
{
    AddHidden(L"h00001", L"Ghost");
    SwitchQuickPanel(true);
    SetWindowPos(Panel(), nullptr, 100, 100, 850, 550, SWP_NOZORDER);
    ASSERT_EQ(s_selectedComponentId, L"h00001");

    ToggleSeparateContent();
    PumpMessages(20);
    EXPECT_TRUE(s_separateContent);
    RECT panel = WindowRect(Panel());
    EXPECT_EQ(panel.right - panel.left, 200);
    ASSERT_TRUE(s_quickPanelContentWindow);
    HWND content = s_quickPanelContentWindow->GetHwnd();
    EXPECT_EQ(s_boxRuntimes[s_quickPanelContentWindow].id, L"QUICK_PANEL_CONTENT");
    EXPECT_TRUE(IsWindowVisible(content));
    EXPECT_TRUE(Topmost(content));
    RECT rc = WindowRect(content);
    EXPECT_EQ(rc.left, 315);
    EXPECT_EQ(rc.right - rc.left, 630);
    EXPECT_EQ(rc.bottom - rc.top, 550);

    // Closed in separate mode and opened again: sidebar and content return.
    SwitchQuickPanel(false);
    EXPECT_EQ(s_rememberedRect.w, 850);
    EXPECT_EQ(FindWindows(L"Tessik.Kelm.QuickPanelContent.Class").count, 0);
    SwitchQuickPanel(true);
    panel = WindowRect(Panel());
    EXPECT_EQ(panel.right - panel.left, 200);
    ASSERT_TRUE(s_quickPanelContentWindow);
    rc = WindowRect(s_quickPanelContentWindow->GetHwnd());
    EXPECT_EQ(rc.right - rc.left, 630);
    EXPECT_EQ(rc.left, panel.right + 15);

    // Back to one window: 850 x 550 DIP where the panel stands.
    ToggleSeparateContent();
    EXPECT_FALSE(s_separateContent);
    EXPECT_FALSE(IsWindowVisible(s_quickPanelContentWindow->GetHwnd()));
    panel = WindowRect(Panel());
    EXPECT_EQ(panel.right - panel.left, 850);
    EXPECT_EQ(panel.bottom - panel.top, 550);

    // With nothing selected the content window stays hidden.
    SelectComponent(L"", false);
    ToggleSeparateContent();
    EXPECT_FALSE(IsWindowVisible(s_quickPanelContentWindow->GetHwnd()));
}
