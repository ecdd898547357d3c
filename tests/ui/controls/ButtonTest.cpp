// The two push buttons: the frame-stepped hover and press looks, clicks,
// the disabled state and the fixed size of the flat button.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmCompatibleButton.h"
#include "ui/core/DpiScale.h"
#include "ui/core/ThemeColors.h"

namespace
{

TEST(ButtonLook, HoverGrowsAndLightensPressShrinksWithBounce)
{
    const COLORREF fill = RGB(100, 120, 140), shade = RGB(0, 0, 220);
    // Idle at rest: three layers exactly on the rectangle, fill unchanged.
    auto idle = KelmButton::ComputeLook(10, 20, 100, 40, fill, 15.0f, 0, false, false, shade);
    ASSERT_EQ(idle.layerCount, 3);
    EXPECT_FLOAT_EQ(idle.layers[0].x, 10.0f);
    EXPECT_FLOAT_EQ(idle.layers[0].w, 100.0f);
    EXPECT_EQ(idle.layers[2].fill, fill);
    EXPECT_FLOAT_EQ(idle.layers[1].h, 39.0f);
    EXPECT_EQ(idle.layers[0].border, shade);

    // Full hover: 0.5 larger on every side, lit by 10, outline 1.5 wide.
    auto hover = KelmButton::ComputeLook(10, 20, 100, 40, fill, 15.0f, 10, false, true, shade);
    ASSERT_EQ(hover.layerCount, 2);
    EXPECT_FLOAT_EQ(hover.layers[0].x, 9.5f);
    EXPECT_FLOAT_EQ(hover.layers[0].y, 19.5f);
    EXPECT_FLOAT_EQ(hover.layers[0].w, 101.0f);
    EXPECT_FLOAT_EQ(hover.layers[0].h, 41.0f);
    EXPECT_FLOAT_EQ(hover.layers[0].borderWidth, 1.5f);
    EXPECT_EQ(hover.layers[1].fill, RGB(110, 130, 150));
    EXPECT_EQ(hover.layers[0].fill, RGB(100, 120, 140)); // lit, then shaded by 10: the sum 390 darkens
    EXPECT_FLOAT_EQ(hover.labelSize, 15.0f);

    // Press: the face shrinks by the bounce and the label with it.
    auto press = KelmButton::ComputeLook(10, 20, 100, 40, fill, 15.0f, 10, true, false, shade);
    EXPECT_FLOAT_EQ(press.layers[0].x, 10.5f);
    EXPECT_FLOAT_EQ(press.layers[0].w, 99.0f);
    EXPECT_FLOAT_EQ(press.layers[1].h, 37.0f);
    EXPECT_FLOAT_EQ(press.labelSize, 14.5f);

    // A square button outlines in its lit fill darkened by 50, floored at 0.
    auto square = KelmButton::ComputeLook(0, 0, 30, 30, RGB(40, 200, 60), 15.0f, 10, false, true, shade);
    EXPECT_EQ(square.layers[0].border, RGB(0, 160, 20));

    // Channels stop at 255 rather than wrapping.
    auto bright = KelmButton::ComputeLook(0, 0, 80, 30, RGB(250, 250, 5), 15.0f, 10, false, true, shade);
    EXPECT_EQ(bright.layers[1].fill, RGB(255, 255, 15));
}

TEST(ButtonLook, ShadeRuleDarkensLightColoursAndClamps)
{
    EXPECT_EQ(ContrastShiftColor(RGB(255, 255, 5), 10), RGB(245, 245, 0));
    EXPECT_EQ(ContrastShiftColor(RGB(250, 10, 10), 10), RGB(255, 20, 20));
}

class ButtonWindow : public ControlWindowTest
{
protected:
    ScaleGuard scale;
};

TEST_F(ButtonWindow, TenPaintsAfterHoverGiveTheFullLookAndRestoreTheCounter)
{
    auto button = std::make_shared<KelmButton>();
    int clicks = 0;
    button->Set(
        40, 40, 160, 60, L"", [&] { ++clicks; }, RGB(100, 120, 140), 15, RGB(0, 0, 0));
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(button); };
    test().PaintOnce();
    ASSERT_EQ(button->animationStep, 0);
    const int before = HoverAnimationCount;

    POINT screen{100, 70};
    ClientToScreen(test().hwnd, &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageW(test().hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(100, 70));
    ASSERT_TRUE(button->hovered);
    for (int i = 0; i < 9; ++i)
        test().PaintOnce();
    EXPECT_EQ(HoverAnimationCount, before + 1); // still running after nine
    test().PaintOnce();
    EXPECT_EQ(button->animationStep, 10);
    EXPECT_EQ(HoverAnimationCount, before);
    EXPECT_TRUE(Near(test().AwaitPixel(60, 60, RGB(110, 130, 150), 2), RGB(110, 130, 150)));
    // The grown face reaches past the rectangle's left edge.
    EXPECT_FALSE(Near(test().Pixel(39, 70), RGB(255, 255, 255), 8));
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonWindow, HoverStepsRunOnTheHoverTimerAloneUntilTheLastThenItStops)
{
    auto button = std::make_shared<KelmButton>();
    button->Set(
        40, 40, 160, 60, L"", [] {}, RGB(100, 120, 140), 15, RGB(0, 0, 0));
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(button); };
    HoverAnimationCount = 0;
    test().window->StartHoverRepaintTimer(); // as the window builders do
    test().PaintOnce();

    test().Post(WM_MOUSEMOVE, 100, 70); // one repaint: the first step starts the timer
    for (int i = 0; i < 300 && button->animationStep < 10; ++i)
        PumpMessages(10);
    EXPECT_EQ(button->animationStep, 10);
    EXPECT_EQ(HoverAnimationCount, 0);
    // The next tick finds nothing running and stops: the paints end (a busy
    // machine may delay that tick, never skip it).
    int paints = test().paints;
    ULONGLONG lastPaint = GetTickCount64();
    EXPECT_TRUE(test().PumpUntil(
        [&] {
            if (test().paints != paints) {
                paints = test().paints;
                lastPaint = GetTickCount64();
            }
            return GetTickCount64() - lastPaint >= 300;
        },
        5000))
        << "the hover timer kept repainting";
}

TEST_F(ButtonWindow, CounterResetMidAnimationNeverGoesNegative)
{
    auto button = std::make_shared<KelmButton>();
    button->Set(
        40, 40, 160, 60, L"确定", [] {}, RGB(100, 120, 140), 15, RGB(0, 0, 0));
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(button); };
    button->hovered = true;
    test().PaintOnce();
    HoverAnimationCount = 0; // as the glyph icon's leave handler does
    for (int i = 0; i < 12; ++i)
        test().PaintOnce();
    EXPECT_EQ(HoverAnimationCount, 0);
    // A later hover still runs its animation.
    button->hovered = false;
    button->animationStep = 0;
    test().PaintOnce();
    button->hovered = true;
    test().PaintOnce();
    EXPECT_EQ(HoverAnimationCount, 1);
    for (int i = 0; i < 10; ++i)
        test().PaintOnce();
    EXPECT_EQ(HoverAnimationCount, 0);
}

TEST_F(ButtonWindow, ReleaseClicksWithoutPressAndPressBouncesFromStepZero)
{
    auto button = std::make_shared<KelmButton>();
    int clicks = 0;
    button->Set(
        40, 40, 160, 60, L"确定", [&] { ++clicks; }, RGB(100, 120, 140), 15, RGB(0, 0, 0));
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(button); };
    test().PaintOnce();
    test().Post(WM_LBUTTONUP, 100, 70);
    EXPECT_EQ(clicks, 1);
    test().Post(WM_LBUTTONDOWN, 100, 70, MK_LBUTTON);
    EXPECT_EQ(clicks, 1); // a press alone does not click
    EXPECT_TRUE(button->pressed);
    test().Post(WM_LBUTTONUP, 100, 70);
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(button->pressed);
    // Outside the button nothing reaches it.
    test().Post(WM_LBUTTONUP, 250, 150);
    EXPECT_EQ(clicks, 2);
}

TEST_F(ButtonWindow, DisabledButtonDrawsNothingAndSwallowsEvents)
{
    auto button = std::make_shared<KelmButton>();
    int clicks = 0;
    button->Set(
        40, 40, 160, 60, L"", [&] { ++clicks; }, RGB(20, 20, 20), 15, RGB(0, 0, 0));
    button->enabled = false;
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(button); };
    test().PaintOnce();
    EXPECT_TRUE(Near(test().AwaitPixel(60, 60, RGB(255, 255, 255), 2), RGB(255, 255, 255)));
    EXPECT_EQ(button->AddEvent({60, 60}, Brevin::KELM_LBUTTON_UP), 0);
    EXPECT_EQ(button->AddEvent({60, 60}, Brevin::KELM_MOUSE_LEAVE), 0);
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonWindow, FlatButtonHasFixedSizeAndShadesOnHover)
{
    auto button = std::make_shared<KelmCompatibleButton>();
    int clicks = 0;
    button->Set(
        30, 30, 300, 10, L"", [&] { ++clicks; }, RGB(60, 60, 60), 15.0f, RGB(255, 255, 255));
    EXPECT_EQ(button->GetRect().w, 100);
    EXPECT_EQ(button->GetRect().h, 40);
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(button); };
    test().PaintOnce();
    EXPECT_TRUE(Near(test().AwaitPixel(40, 40, RGB(60, 60, 60), 2), RGB(60, 60, 60)));
    test().Post(WM_MOUSEMOVE, 60, 50);
    test().PaintOnce();
    EXPECT_TRUE(Near(test().AwaitPixel(40, 40, RGB(80, 80, 80), 2), RGB(80, 80, 80)));
    test().Post(WM_LBUTTONUP, 60, 50);
    EXPECT_EQ(clicks, 1);
}

} // namespace
