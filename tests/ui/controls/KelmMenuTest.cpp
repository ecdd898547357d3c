// The menu: its size and placement rules over tables, then real menus on
// the test display: opening at a point, submenus from their rows, clicks,
// closing from inside a callback, side-by-side items and the cleanup of
// the menu's window class.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmMenu.h"
#include "ui/core/DropShadow.h"
#include "ui/core/ThemeColors.h"

namespace
{

using Brevin::KelmOption;

TEST(KelmMenuLayout, SizeCountsRowsOf40WithMargins)
{
    struct Case {
        int options, width;
        double dpi;
        LONG w, h;
    };
    const Case cases[] = {
        {3, 160, 1.0, 160, 140}, {0, 160, 1.0, 160, 20}, {2, 140, 1.5, 210, 150}, {1, 100, 2.0, 200, 120}};
    for (const Case& c : cases) {
        const SIZE size = KelmMenu::MenuSize(c.options, c.width, c.dpi);
        EXPECT_EQ(size.cx, c.w) << c.options << " options at " << c.dpi;
        EXPECT_EQ(size.cy, c.h) << c.options << " options at " << c.dpi;
    }
}

TEST(KelmMenuLayout, PlacementKeepsMenusOnTheWorkAreaAndFlipsSubmenus)
{
    const RECT work{0, 0, 1000, 800};
    struct Case {
        const char* what;
        int x, y, level;
        bool ownerKnown;
        RECT owner;
        std::vector<RECT> lower;
        LONG wantX, wantY;
    };
    const Case cases[] = {
        {"fits", 100, 100, 0, false, {}, {}, 100, 100},
        {"level 0 pulled left", 900, 100, 0, false, {}, {}, 840, 100},
        {"pulled up from the bottom", 100, 750, 0, false, {}, {}, 100, 660},
        {"kept off the left and top", -30, -40, 0, false, {}, {}, 0, 0},
        {"submenu beside its parent", 295, 110, 1, true, {140, 100, 300, 240}, {{140, 100, 300, 240}}, 295, 110},
        {"submenu past the right edge flips",
         955,
         110,
         1,
         true,
         {800, 100, 960, 240},
         {{800, 100, 960, 240}},
         645,
         110},
        {"flip without an owner", 955, 110, 1, false, {}, {}, 790, 110},
        {"submenu over a lower menu flips", 400, 110, 2, true, {300, 100, 460, 240}, {{390, 0, 550, 200}}, 145, 110},
        {"an overlap of 10 is allowed", 400, 110, 1, true, {250, 100, 410, 240}, {{250, 100, 410, 240}}, 400, 110},
    };
    for (const Case& c : cases) {
        KelmMenu::MenuPlacement p;
        p.x = c.x;
        p.y = c.y;
        p.width = 160;
        p.height = 140;
        p.level = c.level;
        p.work = work;
        p.lower = c.lower;
        p.ownerKnown = c.ownerKnown;
        p.owner = c.owner;
        p.dpi = 1.0;
        const POINT at = KelmMenu::PlaceMenu(p);
        EXPECT_EQ(at.x, c.wantX) << c.what;
        EXPECT_EQ(at.y, c.wantY) << c.what;
    }
}

TEST(KelmMenuLayout, SideItemsShareTheRowWithGapsOf5)
{
    const auto items = KelmMenu::SideItemLayout(140, 50, 3);
    ASSERT_EQ(items.size(), 3u);
    const int xs[] = {10, 58, 106};
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(items[j].x, xs[j]);
        EXPECT_EQ(items[j].y, 54);
        EXPECT_EQ(items[j].w, 43);
        EXPECT_EQ(items[j].h, 27);
    }
    EXPECT_TRUE(KelmMenu::SideItemLayout(140, 10, 0).empty());
}

class KelmMenuTest : public ControlWindowTest
{
protected:
    void SetUp() override
    {
        ControlWindowTest::SetUp();
        // Far from every menu: a new menu that appears under the real
        // pointer (left on a row by the test before) gets a hover from the
        // display while it zooms in, which opens submenus the test did not
        // ask for.
        SetCursorPos(1590, 990);
    }
    void TearDown() override
    {
        KelmMenu::CloseFrom(0);
        PumpMessages(20);
        ControlWindowTest::TearDown();
    }

    static HWND MenuWindow(int level)
    {
        return KelmMenu::s_openMenus.size() > static_cast<size_t>(level) ? KelmMenu::s_openMenus[level]->GetHwnd()
                                                                         : nullptr;
    }
    static std::wstring ClassOf(HWND window)
    {
        wchar_t name[128] = {};
        GetClassNameW(window, name, 128);
        return name;
    }
    // Paints the menu now, so its rows are on its panel before input comes.
    static void Paint(HWND window)
    {
        PumpMessages(20);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    static void Post(HWND window, UINT message, int x, int y)
    {
        POINT screen{x, y};
        ClientToScreen(window, &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageW(window, message, 0, MAKELPARAM(x, y));
        PumpMessages(30);
    }
    std::vector<KelmOption> Plain(int count)
    {
        std::vector<KelmOption> options;
        for (int i = 0; i < count; ++i)
            options.emplace_back(
                L"项目 " + std::to_wstring(i), [this, i] { clicked.push_back(i); }, 1);
        return options;
    }

    std::vector<int> clicked;
};

TEST_F(KelmMenuTest, OpensAtThePointWithItsRowsShadowAndClassOfItsOwn)
{
    SetCursorPos(300, 200);
    KelmMenu::Show(nullptr, 300, 200, Plain(3), 160, 0);
    HWND menu = MenuWindow(0);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(IsWindowVisible(menu));
    RECT r{};
    GetWindowRect(menu, &r);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.right - r.left, 160);
    EXPECT_EQ(r.bottom - r.top, 140);
    EXPECT_EQ(ClassOf(menu).rfind(L"Kelm.Menu.Class.0", 0), 0u) << ClassOf(menu);
    EXPECT_EQ(ClassOf(menu).size(), 21u);
    wchar_t title[32] = {};
    GetWindowTextW(menu, title, 32);
    EXPECT_STREQ(title, L"Kelm.Menu");
    EXPECT_NE(Brevin::Window::OuterShadow::DropShadow::ShadowWindowOf(menu), nullptr);

    Paint(menu);
    const auto& rows = KelmMenu::s_menuControls[0];
    ASSERT_EQ(rows.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i]->x, 10);
        EXPECT_EQ(rows[i]->y, 10 + 40 * i);
        EXPECT_EQ(rows[i]->w, 140);
        EXPECT_EQ(rows[i]->h, 35);
    }
    // The surface colour fills the menu between the rows.
    const COLORREF between = AwaitClientPixel(menu, 80, 47, ThemeAccent.Ref());
    EXPECT_EQ(between, ThemeAccent.Ref());
}

TEST_F(KelmMenuTest, SubmenuOpensOnceFromItsRowAndClosesOnAnotherRow)
{
    std::vector<KelmOption> options = Plain(1);
    options.emplace_back(L"更多 :\u203A:", Plain(2));
    options.emplace_back(
        L"最后", [this] { clicked.push_back(9); }, 1);
    KelmMenu::Show(nullptr, 200, 150, options, 160, 0);
    HWND menu = MenuWindow(0);
    ASSERT_NE(menu, nullptr);
    Paint(menu);

    Post(menu, WM_MOUSEMOVE, 80, 67);
    HWND sub = MenuWindow(1);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(ClassOf(sub).rfind(L"Kelm.Menu.Class.1", 0), 0u);
    RECT parent{}, child{};
    GetWindowRect(menu, &parent);
    GetWindowRect(sub, &child);
    EXPECT_EQ(child.left, parent.right - 5);
    EXPECT_EQ(child.top, parent.top + 50);
    EXPECT_EQ(KelmMenu::s_menuOpenRow[0], 1);

    Post(menu, WM_MOUSEMOVE, 90, 70);
    EXPECT_EQ(MenuWindow(1), sub) << "hovering the same row again reopened the submenu";
    EXPECT_EQ(KelmMenu::s_openMenus.size(), 2u);

    // A click in the submenu runs its option and closes the whole tree.
    Paint(sub);
    Post(sub, WM_LBUTTONUP, 80, 67);
    EXPECT_EQ(clicked, std::vector<int>{1});
    EXPECT_TRUE(KelmMenu::s_openMenus.empty());
    EXPECT_FALSE(IsWindow(sub));
    EXPECT_FALSE(IsWindow(menu));
    EXPECT_TRUE(KelmMenu::s_menuControls.empty());
    EXPECT_TRUE(KelmMenu::s_menuOptions.empty());
}

TEST_F(KelmMenuTest, HoverOnAPlainRowClosesTheSubmenuAndArrowRowClickKeepsMenusOpen)
{
    int arrowClicks = 0;
    std::vector<KelmOption> options = Plain(1);
    options.emplace_back(L"更多", Plain(2));
    options[1].onClick = [&arrowClicks] { ++arrowClicks; };
    KelmMenu::Show(nullptr, 200, 150, options, 160, 0);
    HWND menu = MenuWindow(0);
    Paint(menu);
    Post(menu, WM_MOUSEMOVE, 80, 67);
    ASSERT_EQ(KelmMenu::s_openMenus.size(), 2u);
    HWND sub = MenuWindow(1);

    Post(menu, WM_LBUTTONUP, 80, 67);
    EXPECT_EQ(arrowClicks, 1);
    EXPECT_EQ(KelmMenu::s_openMenus.size(), 2u);

    Post(menu, WM_MOUSEMOVE, 80, 27);
    EXPECT_EQ(KelmMenu::s_openMenus.size(), 1u);
    EXPECT_FALSE(IsWindow(sub));
    EXPECT_EQ(KelmMenu::s_menuOpenRow[0], -1);
    EXPECT_TRUE(clicked.empty());
}

TEST_F(KelmMenuTest, ClickRunsTheOptionClosesTheMenuAndFreesItsClass)
{
    KelmMenu::Show(nullptr, 250, 150, Plain(3), 160, 0);
    HWND menu = MenuWindow(0);
    ASSERT_NE(menu, nullptr);
    const std::wstring className = ClassOf(menu);
    Paint(menu);
    Post(menu, WM_LBUTTONUP, 80, 107);
    EXPECT_EQ(clicked, std::vector<int>{2});
    EXPECT_TRUE(KelmMenu::s_openMenus.empty());
    EXPECT_FALSE(IsWindow(menu));
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), className.c_str(), &info)) << "menu class still registered";
}

TEST_F(KelmMenuTest, CallbacksMayCloseTheMenuOrOpenAnotherOne)
{
    std::vector<KelmOption> options;
    options.emplace_back(
        L"关闭", [] { KelmMenu::CloseFrom(0); }, 1);
    options.emplace_back(
        L"换一个菜单", [this] { KelmMenu::Show(nullptr, 400, 300, Plain(2), 160, 0); }, 1);
    KelmMenu::Show(nullptr, 250, 150, options, 160, 0);
    HWND menu = MenuWindow(0);
    Paint(menu);
    Post(menu, WM_LBUTTONUP, 80, 27);
    EXPECT_TRUE(KelmMenu::s_openMenus.empty());
    EXPECT_FALSE(IsWindow(menu));

    KelmMenu::Show(nullptr, 250, 150, options, 160, 0);
    menu = MenuWindow(0);
    Paint(menu);
    Post(menu, WM_LBUTTONUP, 80, 67);
    EXPECT_FALSE(IsWindow(menu));
    ASSERT_EQ(KelmMenu::s_openMenus.size(), 1u) << "the menu the callback opened was closed";
    EXPECT_TRUE(IsWindowVisible(MenuWindow(0)));
    EXPECT_EQ(KelmMenu::s_menuOptions[0].size(), 2u);
}

TEST_F(KelmMenuTest, SideBySideItemsAreLaidOutInTheirRowAndClickLikeRows)
{
    std::vector<KelmOption> side;
    for (int i = 0; i < 3; ++i)
        side.emplace_back(
            L"S" + std::to_wstring(i), [this, i] { clicked.push_back(10 + i); }, 1);
    std::vector<KelmOption> options{{L"更多", Plain(1)}};
    options.emplace_back(L"", nullptr, 1);
    options.back().sideList = side;
    KelmMenu::Show(nullptr, 250, 150, options, 160, 0);
    HWND menu = MenuWindow(0);
    Paint(menu);
    const auto& rows = KelmMenu::s_menuControls[0];
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2]->x, 58);
    EXPECT_EQ(rows[2]->y, 54);
    EXPECT_EQ(rows[2]->w, 43);

    // Hovering an item closes an open submenu; clicking it closes all.
    Post(menu, WM_MOUSEMOVE, 80, 27);
    ASSERT_EQ(KelmMenu::s_openMenus.size(), 2u);
    Post(menu, WM_MOUSEMOVE, 70, 65);
    EXPECT_EQ(KelmMenu::s_openMenus.size(), 1u);
    Post(menu, WM_LBUTTONUP, 70, 65);
    EXPECT_EQ(clicked, std::vector<int>{11});
    EXPECT_TRUE(KelmMenu::s_openMenus.empty());
}

TEST_F(KelmMenuTest, NewLevelZeroMenuClosesTheOpenTreeAndDeactivationClosesAll)
{
    std::vector<KelmOption> options{{L"更多", Plain(2)}};
    KelmMenu::Show(nullptr, 250, 150, options, 160, 0);
    HWND first = MenuWindow(0);
    Paint(first);
    Post(first, WM_MOUSEMOVE, 80, 27);
    ASSERT_EQ(KelmMenu::s_openMenus.size(), 2u);
    HWND sub = MenuWindow(1);

    KelmMenu::Show(nullptr, 500, 150, Plain(1), 160, 0);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(IsWindow(sub));
    ASSERT_EQ(KelmMenu::s_openMenus.size(), 1u);
    HWND second = MenuWindow(0);

    // Another window of ours taking the activation closes the menus.
    SetForegroundWindow(test().hwnd);
    SetActiveWindow(test().hwnd);
    test().PumpUntil([] { return KelmMenu::s_openMenus.empty(); }, 2000);
    EXPECT_TRUE(KelmMenu::s_openMenus.empty());
    EXPECT_FALSE(IsWindow(second));
}

} // namespace
