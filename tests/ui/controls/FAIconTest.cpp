// The glyph icon: hover colours, press and click, and the press-and-hold
// of "win-fold-test" with the window's animation clock stepped by hand.
#include <gtest/gtest.h>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/core/DpiScale.h"
#include "ui/core/GlyphNames.h"

namespace
{

TEST(FAIconLook, HoverColourShiftsTowardsContrastAndClamps)
{
    EXPECT_EQ(KelmFAIcon::HoverColour(RGB(255, 255, 10), 10.0f), RGB(235, 235, 0));
    EXPECT_EQ(KelmFAIcon::HoverColour(RGB(10, 20, 30), 10.0f), RGB(20, 30, 40));
    EXPECT_EQ(KelmFAIcon::HoverColour(RGB(10, 20, 30), 0.0f), RGB(10, 20, 30));
    EXPECT_FLOAT_EQ(KelmFAIcon::HoverFactor(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(KelmFAIcon::HoverFactor(10.0f), 0.5f);
    EXPECT_EQ(GetGlyph(L"test-home"), L"test-home");
    EXPECT_EQ(GetGlyph(L"win-fold-test"), L"\xF077");
}

class FAIconWindow : public ControlWindowTest
{
protected:
    void SetUp() override
    {
        ControlWindowTest::SetUp();
        savedScale = DpiScale;
        DpiScale = 1.0;
        test().window->animationManager.Clock().Hold();
    }
    void TearDown() override
    {
        test().window->animationManager.Clock().Release();
        DpiScale = savedScale;
        ControlWindowTest::TearDown();
    }
    // Moves the animation clock on and runs one animation tick.
    void Advance(double seconds)
    {
        test().window->animationManager.Clock().Step(seconds);
        test().window->animationManager.Update();
    }

    double savedScale = 1.0;
};

TEST_F(FAIconWindow, PressShrinksAndOnlyTheReleaseClicks)
{
    auto icon = std::make_shared<KelmFAIcon>();
    int clicks = 0;
    icon->Set(40, 40, L"win-close", 24, RGB(30, 30, 30), [&] { ++clicks; });
    EXPECT_EQ(icon->GetRect().w, 24);
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(icon); };
    test().PaintOnce();
    test().Post(WM_LBUTTONDOWN, 50, 50, MK_LBUTTON);
    EXPECT_EQ(clicks, 0);
    test().PaintOnce(); // the paint notices the press and starts the shrink
    Advance(0.15);
    EXPECT_FLOAT_EQ(icon->pressScale, 0.85f);
    test().Post(WM_LBUTTONUP, 50, 50);
    EXPECT_EQ(clicks, 1);
    test().PaintOnce();
    Advance(0.3);
    EXPECT_FLOAT_EQ(icon->pressScale, 1.0f);
}

TEST_F(FAIconWindow, ShortHoldClicksAndFullHoldRunsTheHoldCallback)
{
    auto icon = std::make_shared<KelmFAIcon>();
    int clicks = 0, holds = 0;
    icon->Set(40, 40, L"win-fold-test", 24, RGB(30, 30, 30), [&] { ++clicks; });
    icon->onHold = [&] { ++holds; };
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(icon); };
    test().PaintOnce();

    test().Post(WM_LBUTTONDOWN, 50, 50, MK_LBUTTON);
    EXPECT_TRUE(icon->holding);
    Advance(0.3);
    test().Post(WM_LBUTTONUP, 50, 50);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(holds, 0);
    EXPECT_FALSE(icon->holding);

    test().Post(WM_LBUTTONDOWN, 50, 50, MK_LBUTTON);
    Advance(0.5);
    EXPECT_FLOAT_EQ(icon->holdProgress, 1.0f);
    Advance(0.3); // the glyph has shrunk and risen
    EXPECT_FLOAT_EQ(icon->holdScale, 0.9f);
    EXPECT_NEAR(icon->holdOffset, 5.0f, 1e-4);
    test().Post(WM_LBUTTONUP, 50, 50);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(holds, 1);
    Advance(0.3); // and springs back after the release
    EXPECT_FLOAT_EQ(icon->holdScale, 1.0f);
    EXPECT_NEAR(icon->holdOffset, 0.0f, 1e-4);
}

TEST_F(FAIconWindow, LeavingDuringAHoldWithTheButtonUpRunsNoCallback)
{
    auto icon = std::make_shared<KelmFAIcon>();
    int calls = 0;
    icon->Set(40, 40, L"win-fold-test", 24, RGB(30, 30, 30), [&] { ++calls; });
    icon->onHold = [&] { ++calls; };
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(icon); };
    test().PaintOnce();
    test().Post(WM_LBUTTONDOWN, 50, 50, MK_LBUTTON);
    ASSERT_TRUE(icon->holding);
    // Posted messages leave the real button up, as after a release elsewhere.
    HoverAnimationCount = 1;
    test().Post(WM_MOUSELEAVE, 50, 50);
    EXPECT_FALSE(icon->holding);
    EXPECT_EQ(HoverAnimationCount, 0);
    test().Post(WM_LBUTTONUP, 50, 50);
    EXPECT_EQ(calls, 0);
}

TEST_F(FAIconWindow, UnknownNameDrawsItsTextInTheIconFont)
{
    auto icon = std::make_shared<KelmFAIcon>();
    icon->Set(20, 20, L"\xF015", 40, RGB(0, 0, 0), nullptr);
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(icon); };
    test().PaintOnce();
    int dark = 0;
    // The house glyph, not an empty box; a busy display shows it late.
    test().PumpUntil(
        [&] {
            dark = 0;
            for (int py = 20; py < 60; py += 2)
                for (int px = 20; px < 60; px += 2)
                    dark += GetRValue(ReadClientPixel(test().hwnd, px, py)) < 128;
            return dark > 20;
        },
        3000);
    EXPECT_GT(dark, 20);
}

} // namespace
