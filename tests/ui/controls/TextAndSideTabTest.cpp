// The link text and the side tab: the shared hover tint, the glyph table,
// the frame-stepped hover that gives HoverAnimationCount back, the fixed
// geometry of Set, clicks and the label that narrow tabs leave out.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/HoverSteps.h"
#include "ui/controls/KelmSideTab.h"
#include "ui/controls/KelmText.h"
#include "ui/core/DpiScale.h"

namespace
{

TEST(HoverTint, LightColoursDarkenDarkOnesLightenAndChannelsNeverWrap)
{
    const struct {
        COLORREF rest;
        float factor;
        COLORREF shown;
    } cases[] = {
        {RGB(10, 20, 30), 0.0f, RGB(10, 20, 30)},
        {RGB(10, 20, 30), 0.5f, RGB(20, 30, 40)},
        {RGB(255, 255, 10), 0.5f, RGB(235, 235, 0)}, // 10 - 20 stops at 0
        {RGB(250, 250, 250), 0.25f, RGB(240, 240, 240)},
        {RGB(129, 129, 128), 0.5f, RGB(139, 139, 138)}, // sum 386: still dark
        {RGB(129, 129, 129), 0.5f, RGB(109, 109, 109)}, // sum 387: light
        {RGB(250, 0, 0), 0.5f, RGB(255, 10, 10)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HoverSteps::ShiftForHover(c.rest, c.factor), c.shown) << std::hex << c.rest << " at " << c.factor;
}

TEST(SideTabGlyphs, PageGlyphsLiveOnlyHereOthersComeBackUnchanged)
{
    EXPECT_EQ(GetSideTabGlyph(L"test-home"), std::wstring(1, wchar_t(0xF80A)));
    EXPECT_EQ(GetSideTabGlyph(L"test-comp"), std::wstring(1, wchar_t(0xF5FD)));
    EXPECT_EQ(GetSideTabGlyph(L"test-set"), std::wstring(1, wchar_t(0x2699)));
    EXPECT_EQ(GetSideTabGlyph(L"test-info"), std::wstring(1, wchar_t(0xF05A)));
    EXPECT_EQ(GetSideTabGlyph(L"test-heart"), std::wstring(1, wchar_t(0xF004)));
    EXPECT_EQ(GetSideTabGlyph(L"win-close"), std::wstring(1, wchar_t(0xF00D)));
    EXPECT_EQ(GetSideTabGlyph(L"test-right-dld"), std::wstring(1, wchar_t(0xF178)));
    EXPECT_EQ(GetSideTabGlyph(L"win-winrestore"), std::wstring(1, wchar_t(0xF422)));
    // Names of the general glyph table that the tabs do not know.
    EXPECT_EQ(GetSideTabGlyph(L"test-pin"), L"test-pin");
    EXPECT_EQ(GetSideTabGlyph(L"test-complete"), L"test-complete");
    EXPECT_EQ(GetSideTabGlyph(L""), L"");
}

class TextAndTabWindow : public ControlWindowTest
{
protected:
    ScaleGuard scale;

    void PointAt(int cx, int cy)
    {
        POINT screen{cx, cy};
        ClientToScreen(test().hwnd, &screen);
        SetCursorPos(screen.x, screen.y);
        // Taken from the queue, as the system's own move is: the thread
        // then knows where the pointer was.
        PostMessageW(test().hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(cx, cy));
        MSG msg;
        while (PeekMessageW(&msg, test().hwnd, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE))
            DispatchMessageW(&msg);
    }

    // True when some pixel of the client rectangle is not white.
    bool AnyInk(int left, int top, int right, int bottom, int step = 2)
    {
        PumpMessages(50);
        for (int y = top; y < bottom; y += step) {
            for (int x = left; x < right; x += step) {
                const COLORREF c = ReadClientPixel(test().hwnd, x, y);
                if (GetRValue(c) < 200 || GetGValue(c) < 200 || GetBValue(c) < 200)
                    return true;
            }
        }
        return false;
    }
    // AnyInk once it answers as expected, or when 3 s pass: a busy display
    // shows a paint late.
    bool InkOnceShown(int left, int top, int right, int bottom, bool expected)
    {
        return test().PumpUntil([&] { return AnyInk(left, top, right, bottom) == expected; }, 3000) == expected;
    }
};

TEST_F(TextAndTabWindow, TextTakesItsOwnSizeColourAndFont)
{
    KelmText text;
    text.Set(30, 40, 500, 5, L"使用协议", 40, RGB(1, 2, 3), [] {});
    EXPECT_EQ(text.GetRect().x, 30);
    EXPECT_EQ(text.GetRect().y, 40);
    EXPECT_EQ(text.GetRect().w, 100);
    EXPECT_EQ(text.GetRect().h, 40);
    EXPECT_EQ(text.colour, COLORREF(0xFB7952));
    EXPECT_FLOAT_EQ(text.fontSize, 16.0f);
}

TEST_F(TextAndTabWindow, HoveredTextReachesFullTintInTenPaintsThenGivesTheCounterBack)
{
    auto text = std::make_shared<KelmText>();
    int clicks = 0;
    text->Set(20, 20, 0, 0, L"隐私政策", 0, 0, [&] { ++clicks; });
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(text); };
    PointAt(300, 200);
    test().PaintOnce();
    ASSERT_EQ(text->hoverStep, 0);
    const int before = HoverAnimationCount;

    PointAt(50, 40);
    for (int i = 0; i < 9; ++i)
        test().PaintOnce();
    EXPECT_EQ(text->hoverStep, 9);
    EXPECT_EQ(HoverAnimationCount, before + 1);
    test().PaintOnce();
    EXPECT_EQ(text->hoverStep, 10);
    EXPECT_EQ(HoverAnimationCount, before);

    PointAt(300, 200);
    for (int i = 0; i < 10; ++i)
        test().PaintOnce();
    EXPECT_EQ(text->hoverStep, 0);
    EXPECT_EQ(HoverAnimationCount, before);

    test().Click(50, 40);
    EXPECT_EQ(clicks, 1);
    test().Click(300, 200);
    EXPECT_EQ(clicks, 1);
}

TEST_F(TextAndTabWindow, SideTabClickRunsItsCallbackAndSelectsIt)
{
    auto tab = std::make_shared<KelmSideTab>();
    int clicks = 0;
    tab->Set(200, 50, 200, L"主页", L"test-home", 8, RGB(0x1A, 0xBC, 0x9C), [&] { ++clicks; });
    EXPECT_EQ(tab->GetRect().x, 35);
    EXPECT_EQ(tab->GetRect().h, 20);
    EXPECT_FLOAT_EQ(tab->fontSize, 20.0f);
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(tab); };
    test().PaintOnce();
    EXPECT_FALSE(tab->selected);
    test().Click(100, 60);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(tab->selected);
    tab->SetSelected(false);
    EXPECT_FALSE(tab->selected);
}

TEST_F(TextAndTabWindow, NarrowTabDrawsOnlyItsGlyphCentred)
{
    auto tab = std::make_shared<KelmSideTab>();
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(tab); };
    // Label from x 70, glyph at x 38; the long label reaches well past 110.
    tab->Set(35, 50, 90, L"组件库组件库组件库", L"test-comp", 20, RGB(0x81, 0x57, 0xF2), [] {});
    test().PaintOnce();
    EXPECT_TRUE(InkOnceShown(110, 48, 160, 66, true));
    EXPECT_TRUE(InkOnceShown(38, 44, 58, 66, true));

    // 89 wide: no label; the glyph moves to the middle, (35 + 44) - 20 / 1.4.
    tab->Set(35, 50, 89, L"组件库组件库组件库", L"test-comp", 20, RGB(0x81, 0x57, 0xF2), [] {});
    test().PaintOnce();
    EXPECT_FALSE(InkOnceShown(110, 48, 160, 66, false));
    EXPECT_FALSE(InkOnceShown(36, 44, 62, 66, false));
    EXPECT_TRUE(InkOnceShown(66, 44, 84, 66, true));
}

} // namespace
