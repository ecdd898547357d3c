// The selection card: row placement and the staggered fade-in as pure
// rules, and in a window the rows' clicks, toggles, dismissal, unfolding
// and closing when the focus goes.
#include <gtest/gtest.h>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmSelectionCard.h"

namespace
{

using Brevin::kelmRect;

bool SameRect(const kelmRect& a, const kelmRect& b)
{
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

TEST(SelectionCardRules, RowsArePlacedInWholeUnitsFromFloatingPointSteps)
{
    struct Case {
        float scale;
        bool title;
        std::vector<float> extras;
        std::vector<kelmRect> rows;
    };
    const Case cases[] = {
        // Scale 2: a title puts the first row 64 below the top; 40 high, 55 per step.
        {2.0f, true, {0, 0, 0}, {{30, 74, 360, 40}, {30, 129, 360, 40}, {30, 184, 360, 40}}},
        {2.0f, false, {0, 0}, {{30, 30, 360, 40}, {30, 85, 360, 40}}},
        // Scale 1.5: 15 top, 30 high, 11 + 30 per step.
        {1.5f, false, {0, 0}, {{25, 25, 370, 30}, {25, 66, 370, 30}}},
        // Extra heights are summed before the truncation.
        {2.0f, false, {18.5f, 18.5f, 0}, {{30, 30, 360, 58}, {30, 103, 360, 58}, {30, 177, 360, 40}}},
    };
    for (const Case& c : cases) {
        const auto rows = KelmSelectionCard::LayOutRows(10, 10, 400, 300, c.scale, c.title, c.extras);
        ASSERT_EQ(rows.size(), c.rows.size()) << c.scale;
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_TRUE(SameRect(rows[i], c.rows[i])) << c.scale << " row " << i << ": " << rows[i].y;
    }
    // Rows stop at the first whose bottom passes 50 below the card.
    EXPECT_EQ(KelmSelectionCard::LayOutRows(0, 0, 400, 110, 2.0f, true, {0, 0, 0}).size(), 2u);
}

TEST(SelectionCardRules, RowsFadeInOneAfterAnother)
{
    EXPECT_FLOAT_EQ(KelmSelectionCard::RowAlpha(0.1, 0, 3), 0.0f);
    EXPECT_FLOAT_EQ(KelmSelectionCard::RowAlpha(0.5, 0, 3), 0.75f);
    EXPECT_FLOAT_EQ(KelmSelectionCard::RowAlpha(0.5, 1, 3), 0.25f);
    EXPECT_FLOAT_EQ(KelmSelectionCard::RowAlpha(0.5, 2, 3), 0.0f);
    EXPECT_FLOAT_EQ(KelmSelectionCard::RowAlpha(1.0, 2, 3), 1.0f);
}

class SelectionCardWindow : public ControlWindowTest
{
protected:
    void SetUp() override
    {
        ControlWindowTest::SetUp();
        const int colours[8] = {0xF0F0F0, 0xD0D0D0, 0xE8E8E8, 0, 0, 0xDDDDDD, 0, 0xF4F4F4};
        card->Set(colours, [this] { ++dismissals; });
        test().addControls = [this](Brevin::D2DBrevinPanel* panel) { panel->AddControl(card); };
        test().PaintOnce();
    }
    void TearDown() override
    {
        // Nothing of this card may still run into the next test.
        card->ClearItems();
        ControlWindowTest::TearDown();
    }
    // The card's paints blur the window and cost more than a frame under
    // Wine: tests wait for an animation's end, and hold the clock where
    // they look at a moment on the way.
    bool Until(const std::function<bool()>& condition)
    {
        const bool met = test().PumpUntil(condition, 5000);
        test().PaintOnce();
        return met;
    }
    void OpenCard()
    {
        const int from[4] = {10, 5, 50, 20};
        const int to[4] = {10, 10, 340, 220};
        card->Open(from, to, 2.0f);
        ASSERT_TRUE(Until([this] { return card->Progress() == 1.0; }));
    }
    // Centre of a row in client pixels (scale 1).
    POINT Centre(int row)
    {
        const kelmRect rc = card->RowRect(row);
        return {rc.x + rc.w / 2, rc.y + rc.h / 2};
    }

    ScaleGuard scale;
    std::shared_ptr<KelmSelectionCard> card = std::make_shared<KelmSelectionCard>();
    int dismissals = 0;
};

TEST_F(SelectionCardWindow, RowsRunTheirCallbacksAndEmptyPlacesDismiss)
{
    int clicks = 0;
    std::vector<int> toggled;
    card->ClearItems();
    card->title = L"新建组件";
    card->AddItem(Brevin::KelmOption(
        L"普通", [&] { ++clicks; }, 1));
    Brevin::KelmOption toggle(
        L"开关", [&] { ++clicks; }, 1);
    toggle.extra = 1;
    toggle.secondCallback = [&](int state) { toggled.push_back(state); };
    card->AddItem(toggle);
    OpenCard();
    ASSERT_TRUE(card->IsOpen());
    EXPECT_TRUE(SameRect(card->RowRect(0), {30, 74, 300, 40}));
    EXPECT_TRUE(SameRect(card->RowRect(1), {30, 129, 300, 40}));

    test().Click(Centre(0).x, Centre(0).y);
    EXPECT_EQ(clicks, 1);

    // A toggle row blinks, then flips and reports the new state.
    EXPECT_TRUE(card->RowOn(1));
    test().Click(Centre(1).x, Centre(1).y);
    EXPECT_TRUE(Until([this] { return !card->RowOn(1); }));
    EXPECT_EQ(toggled, std::vector<int>{0});
    EXPECT_EQ(clicks, 1);

    test().Click(100, 200); // inside the card, below the rows
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(card->IsOpen());
}

TEST_F(SelectionCardWindow, ClosesWhenAClickLandsOutsideIt)
{
    card->ClearItems();
    card->AddItem(Brevin::KelmOption(
        L"一", [] {}, 1));
    OpenCard();
    ASSERT_TRUE(card->IsOpen());
    HeldAnimationClock clock(test().window->animationManager); // the collapse waits for the test
    test().Click(352, 235); // outside the card: the panel takes its focus
    test().PaintOnce();
    EXPECT_TRUE(card->IsOpen()); // it collapses first
    clock.Step(0.25);
    EXPECT_TRUE(Until([this] { return card->Progress() < 1.0; }));
    EXPECT_TRUE(card->IsOpen()) << "closed half way through the collapse";
    clock.Step(0.25);
    EXPECT_TRUE(Until([this] { return !card->IsOpen(); }));
    EXPECT_EQ(card->Progress(), 0.0);
    EXPECT_EQ(dismissals, 0);
    // A closed card lets every event through.
    EXPECT_EQ(card->AddEvent({100, 100}, Brevin::KELM_LBUTTON_UP), Brevin::kNotHandled);
}

// A card that closes while a row's hover is still on its way leaves
// nothing running: no hover count, no animation, no timer on its window.
TEST_F(SelectionCardWindow, AClosedCardLeavesNothingRunning)
{
    card->ClearItems();
    card->AddItem(Brevin::KelmOption(
        L"普通", [] {}, 1));
    const int from[4] = {10, 5, 50, 20};
    const int to[4] = {10, 10, 340, 220};
    const int countBefore = HoverAnimationCount;
    {
        HeldAnimationClock clock(test().window->animationManager); // the card moves only when the test says
        card->Open(from, to, 2.0f);
        clock.Step(1.0);
        ASSERT_TRUE(Until([this] { return card->Progress() == 1.0; }));
        test().Post(WM_MOUSEMOVE, Centre(0).x, Centre(0).y);
        test().PaintOnce(); // the row's hover starts
        ASSERT_EQ(HoverAnimationCount, countBefore + 1);

        SendMessageW(test().hwnd, WM_LBUTTONUP, 0, MAKELPARAM(352, 235)); // outside: the focus goes
        test().PaintOnce();
        clock.Step(1.0);
        ASSERT_TRUE(test().PumpUntil([this] { return !card->IsOpen(); }, 3000));
    }

    EXPECT_TRUE(test().PumpUntil([&] { return HoverAnimationCount == countBefore; }, 2500));
    EXPECT_EQ(test().window->animationManager.GetActiveCount(), 0u);
    PumpMessages(100);
    EXPECT_TRUE(PumpCountingTimers(test().hwnd, 300).empty());
}

TEST_F(SelectionCardWindow, AnUnfoldingRowKeepsItsAnimationWhileRowsAreAdded)
{
    card->ClearItems();
    card->AddItem(Brevin::KelmOption(L"映射", L"第二行说明文字很长很长", [] {}));
    OpenCard();
    EXPECT_EQ(card->RowRect(0).h, 40 + 18);
    test().Post(WM_MOUSEMOVE, Centre(0).x, Centre(0).y);
    // Rows added while the unfold runs move the row list in memory.
    for (int i = 0; i < 40; ++i)
        card->AddItem(Brevin::KelmOption(
            L"x", [] {}, 1));
    EXPECT_TRUE(Until([this] { return card->RowRect(0).h == 40 + 40; })) << card->RowRect(0).h;
}

} // namespace
