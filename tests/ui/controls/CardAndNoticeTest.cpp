// The card and the notice: fixed sizes, the card's lifting text panel and
// its frosted blur on hover, clicks, the disabled card, and the notice's
// press that always sinks from step 0.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmCard.h"
#include "ui/controls/KelmNotice.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

namespace
{

TEST(CardPanel, LiftsFiveUnitsAndGrowsToThirtySevenPercentAtFullHover)
{
    const auto rest = KelmCard::PanelAt(20, 200, 0.0);
    EXPECT_FLOAT_EQ(rest.height, 70.0f);
    EXPECT_FLOAT_EQ(rest.top, 150.0f);
    const auto full = KelmCard::PanelAt(20, 200, 1.0);
    EXPECT_FLOAT_EQ(full.height, 74.0f);
    EXPECT_FLOAT_EQ(full.top, 20 + 200 - 74 - 5.0f);
}

class CardWindow : public ControlWindowTest
{
protected:
    ScaleGuard scale;
};

TEST_F(CardWindow, SetKeepsTheCardAtThreeHundredByTwoHundred)
{
    KelmCard card;
    card.Set(10, 12, 400, 300, L"万能收纳盒", L"解锁你需要收纳的一切。", nullptr, nullptr, 5, 6, RGB(1, 2, 3));
    EXPECT_EQ(card.GetRect().w, 300);
    EXPECT_EQ(card.GetRect().h, 200);
    EXPECT_EQ(card.accent, COLORREF(0xFB7952));
    EXPECT_EQ(card.cornerRadius, 8);
    EXPECT_EQ(card.titleSize, 18);
}

TEST_F(CardWindow, HoverLiftsThePanelAndLeavingLowersItClickRuns)
{
    auto card = std::make_shared<KelmCard>();
    int clicks = 0;
    card->Set(
        20, 20, 0, 0, L"磁力访问窗", L"在系统打开、保存对话框旁快速访问收纳盒。", nullptr, [&] { ++clicks; }, 0, 0,
        ThemeTextColor.Ref());
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(card); };
    test().PaintOnce();
    // Without a painter the picture area shows the card's background.
    const COLORREF background = test().AwaitPixel(170, 60, ThemeAccent.Ref());
    EXPECT_EQ(background, ThemeAccent.Ref());

    // A busy machine may deliver the move late: wait for it, then paint.
    test().Post(WM_MOUSEMOVE, 170, 60);
    ASSERT_TRUE(test().PumpUntil([&] { return card->hovered; }, 5000));
    test().PaintOnce();
    EXPECT_TRUE(card->hoverRising);
    EXPECT_TRUE(test().PumpUntil([&] { return card->hover >= 1.0; }, 5000));

    test().Post(WM_MOUSEMOVE, 340, 230); // outside the card
    ASSERT_TRUE(test().PumpUntil([&] { return !card->hovered; }, 5000));
    test().PaintOnce();
    EXPECT_FALSE(card->hoverRising);
    EXPECT_TRUE(test().PumpUntil([&] { return card->hover <= 0.0; }, 5000));

    test().Click(170, 60);
    EXPECT_EQ(clicks, 1);
}

TEST_F(CardWindow, HoveredPanelFrostsThePictureUnderIt)
{
    // Alternate black and white columns in the picture, through the panel.
    auto card = std::make_shared<KelmCard>();
    card->Set(
        20, 20, 0, 0, L"", L"",
        [](ID2D1HwndRenderTarget* rt, float x, float y, float w, float h) {
            for (float cx = x; cx < x + w; cx += 6)
                FillSolidRect(rt, cx, y, 3, h, RGB(0, 0, 0), 1.0f);
        },
        nullptr, 0, 0, RGB(0, 0, 0));
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(card); };
    card->hover = 1.0;
    card->hoverRising = true;
    card->hovered = true;
    test().PaintOnce();
    // Under the see-through panel (alpha 0.6) the columns show at 40%. Sharp,
    // a black and a white column differ by about 100; blurred, far less.
    const int y = 20 + 200 - 20;
    int spread = 0;
    for (int x = 60; x < 72; ++x) {
        const int a = GetRValue(test().Pixel(x, y));
        const int b = GetRValue(test().Pixel(x + 3, y));
        spread = std::max(spread, std::abs(a - b));
    }
    EXPECT_LT(spread, 60);
}

TEST_F(CardWindow, DisabledCardDrawsNothingAndIgnoresClicks)
{
    auto card = std::make_shared<KelmCard>();
    int clicks = 0;
    card->Set(
        20, 20, 0, 0, L"", L"", nullptr, [&] { ++clicks; }, 0, 0, 0);
    card->SetEnabled(false);
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(card); };
    test().PaintOnce();
    EXPECT_EQ(test().AwaitPixel(170, 60, RGB(255, 255, 255)), RGB(255, 255, 255));
    test().Click(170, 60);
    EXPECT_EQ(clicks, 0);
}

TEST_F(CardWindow, NoticeIsSixtyHighAndEveryPressSinksFromStepZero)
{
    auto notice = std::make_shared<KelmNotice>();
    int clicks = 0;
    notice->Set(20, 30, 300, 200, L"有新的版本可用", RGB(40, 40, 40), 30, RGB(240, 240, 240), [&] { ++clicks; });
    EXPECT_EQ(notice->GetRect().h, 60);
    EXPECT_FLOAT_EQ(notice->fontSize, 14.0f);
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(notice); };
    test().PaintOnce();
    EXPECT_EQ(test().AwaitPixel(100, 60, RGB(40, 40, 40)), RGB(40, 40, 40));
    // The banner ends 60 below its top, whatever height it was given.
    EXPECT_EQ(test().Pixel(100, 100), RGB(255, 255, 255));

    const int before = HoverAnimationCount;
    test().Post(WM_LBUTTONDOWN, 100, 60, MK_LBUTTON);
    EXPECT_TRUE(notice->pressed);
    for (int i = 0; i < 4; ++i)
        test().PaintOnce();
    EXPECT_GT(notice->hoverStep, 0);
    // Sent, not posted: the repaint the press asks for has not run yet.
    SendMessageW(test().hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 60));
    EXPECT_EQ(notice->hoverStep, 0);
    test().PaintOnce();
    EXPECT_EQ(notice->hoverStep, 1);
    SendMessageW(test().hwnd, WM_LBUTTONUP, 0, MAKELPARAM(100, 60));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(notice->hoverStep, 0);
    // The pointer leaves: the steps run down and the counter is given back.
    test().Post(WM_MOUSEMOVE, 340, 230);
    for (int i = 0; i < 12; ++i)
        test().PaintOnce();
    EXPECT_EQ(notice->hoverStep, 0);
    EXPECT_EQ(HoverAnimationCount, before);
}

} // namespace
