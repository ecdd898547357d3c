// The option row: label and tip splitting, clicks by kind, hover callback,
// the delayed tooltip, rows freed with a timer or fade pending, and the
// sliding label change, on a real framework test().
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/core/KelmWindow.h"
#include "ui/controls/KelmOptionCtl.h"

namespace
{

TEST(KelmOptionCtlLabel, SplitsTheFirstBracketedPartOut)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* label;
        const wchar_t* tip;
    };
    const Case cases[] = {
        {L"打开", L"打开", L""},
        {L"打开<在新窗口中打开>", L"打开", L"在新窗口中打开"},
        {L"<提示>其余", L"其余", L"提示"},
        {L"前 <中> 后", L"前  后", L"中"},
        {L"空<>提示", L"空提示", L""},
        {L"a>b<c", L"a>b<c", L""},
        {L"only<open", L"only<open", L""},
        {L"x<1>y<2>z", L"xy<2>z", L"1"},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        const auto parts = KelmOptionCtl::ParseLabelTip(c.text);
        EXPECT_EQ(parts.label, c.label) << "text: " << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(parts.tip, c.tip) << "text: " << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(KelmOptionCtlLabel, SetTextWithoutAWindowReplacesAtOnceAndSameLabelKeepsTheTip)
{
    KelmOptionCtl row;
    row.Set(0, 0, 200, 40, L"复制<复制到剪贴板>", nullptr, RGB(255, 255, 255), 15.0f, 1, 0);
    row.SetText(L"复制<别的提示>", 0);
    EXPECT_EQ(row.GetTip(), L"复制到剪贴板");
    row.SetText(L"粘贴<从剪贴板粘贴>", 1);
    EXPECT_EQ(row.GetLabel(), L"粘贴");
    EXPECT_EQ(row.GetTip(), L"从剪贴板粘贴");
    EXPECT_EQ(row.GetChangeProgress(), 1.0);
}

class KelmOptionCtlWindowTest : public ControlWindowTest
{
protected:
    void SetUp() override
    {
        ControlWindowTest::SetUp();
        hoverCountBefore = HoverAnimationCount;
        test().addControls = [this](Brevin::D2DBrevinPanel* panel) {
            for (auto& row : rows)
                panel->AddControl(row);
        };
    }
    std::shared_ptr<KelmOptionCtl> AddRow(const wchar_t* text, int kind, int x = 20, int y = 20, int w = 200,
                                          int h = 40)
    {
        auto row = std::make_shared<KelmOptionCtl>();
        row->Set(
            x, y, w, h, text, [this] { ++clicks; }, RGB(250, 250, 250), 15.0f, kind, RGB(20, 20, 20));
        rows.push_back(row);
        test().PaintOnce();
        return row;
    }
    // Takes the rows off the window (the panel lets go at the next paint).
    void DropRows()
    {
        rows.clear();
        test().PaintOnce();
    }
    // Lets the frame-stepped face animation of every row finish.
    void SettleFaces()
    {
        for (int i = 0; i < 30 && HoverAnimationCount != hoverCountBefore; ++i)
            test().PaintOnce();
    }

    std::vector<std::shared_ptr<KelmOptionCtl>> rows;
    int clicks = 0;
    int hoverCountBefore = 0;
};

TEST_F(KelmOptionCtlWindowTest, ClicksRunTheCallbackOfClickableRowsOnly)
{
    auto normal = AddRow(L"普通", KelmOptionCtl::kKindNormal, 20, 20);
    auto heading = AddRow(L"标题", KelmOptionCtl::kKindHeading, 20, 80);
    auto side = AddRow(L"+", KelmOptionCtl::kKindHighlighted, 240, 20, 40, 40);

    test().Click(60, 40);
    EXPECT_EQ(clicks, 1);
    test().Click(60, 100); // a heading swallows the click
    EXPECT_EQ(clicks, 1);
    test().Click(255, 35);
    EXPECT_EQ(clicks, 2);

    // A release without a press on the row still counts.
    test().Post(WM_LBUTTONUP, 60, 40);
    PumpMessages(40);
    EXPECT_EQ(clicks, 3);

    normal->enabled = false;
    test().PaintOnce();
    test().Click(60, 40);
    EXPECT_EQ(clicks, 3);
    SettleFaces();
    EXPECT_EQ(HoverAnimationCount, hoverCountBefore);
}

TEST_F(KelmOptionCtlWindowTest, HoverCallbackRunsOnEveryMoveOverTheRow)
{
    auto row = AddRow(L"子菜单", KelmOptionCtl::kKindNormal);
    int hovers = 0;
    row->SetHoverCallback([&] { ++hovers; });
    test().Post(WM_MOUSEMOVE, 50, 40);
    test().Post(WM_MOUSEMOVE, 52, 41);
    test().Post(WM_MOUSEMOVE, 54, 42);
    PumpMessages(60);
    // Moving the cursor along adds moves of its own: at least the three.
    EXPECT_GE(hovers, 3);
    test().Post(WM_MOUSEMOVE, 300, 200); // off the row
    PumpMessages(40);
    const int afterLeaving = hovers;
    test().Post(WM_MOUSEMOVE, 310, 210);
    PumpMessages(40);
    EXPECT_EQ(hovers, afterLeaving);
}

TEST_F(KelmOptionCtlWindowTest, TooltipFadesInOnlyAfterThePointerRestsAndOutWhenItLeaves)
{
    auto row = AddRow(L"排序<按名称排序>", KelmOptionCtl::kKindNormal);

    test().Post(WM_MOUSEMOVE, 60, 40);
    PumpMessages(250);
    EXPECT_TRUE(row->ToolTipTimerPending());
    EXPECT_EQ(row->GetTipOpacity(), 0.0) << "the tip showed before its delay";

    EXPECT_TRUE(test().PumpUntil([&] { return row->GetTipOpacity() >= 1.0; }, 4000));
    EXPECT_FALSE(row->ToolTipTimerPending());

    test().Post(WM_MOUSEMOVE, 350, 200);
    EXPECT_TRUE(test().PumpUntil([&] { return row->GetTipOpacity() <= 0.0; }, 3000));
    SettleFaces();
    EXPECT_EQ(HoverAnimationCount, hoverCountBefore);
}

TEST_F(KelmOptionCtlWindowTest, PointerLeavingBeforeTheDelayShowsNoTip)
{
    auto row = AddRow(L"排序<按名称排序>", KelmOptionCtl::kKindNormal);
    auto plain = AddRow(L"无提示", KelmOptionCtl::kKindNormal, 20, 80);
    test().Post(WM_MOUSEMOVE, 60, 40);
    PumpMessages(100);
    test().Post(WM_MOUSEMOVE, 60, 100); // onto the row without a tip
    PumpMessages(800);
    EXPECT_FALSE(row->ToolTipTimerPending());
    EXPECT_EQ(row->GetTipOpacity(), 0.0);
    EXPECT_FALSE(plain->ToolTipTimerPending()); // no tip, no timer
}

TEST_F(KelmOptionCtlWindowTest, RowFreedWhileItsTooltipIsPendingOrFadingIsSafe)
{
    auto row = AddRow(L"删除<移到回收站>", KelmOptionCtl::kKindNormal);
    test().Post(WM_MOUSEMOVE, 60, 40);
    PumpMessages(100);
    ASSERT_TRUE(row->ToolTipTimerPending());
    const auto staleId = reinterpret_cast<UINT_PTR>(row.get());
    DropRows();  // the panel lets go of it
    row.reset(); // and so does its builder
    PumpMessages(700);
    // A timer message queued before the row went finds nothing to use.
    KelmOptionCtl::ToolTipTimerProc(test().hwnd, WM_TIMER, staleId, 0);

    // The same while the tip is fading in: the fade writes into the row.
    auto second = AddRow(L"重命名<改名>", KelmOptionCtl::kKindNormal);
    test().PaintOnce();
    {
        HeldAnimationClock clock(test().window->animationManager); // the fade stops half way
        test().Post(WM_MOUSEMOVE, 61, 41);
        ASSERT_TRUE(second->ToolTipTimerPending());
        ASSERT_TRUE(test().PumpUntil([&] { return !second->ToolTipTimerPending(); }, 4000));
        clock.Step(0.1);
        ASSERT_TRUE(test().PumpUntil([&] { return second->GetTipOpacity() > 0.0; }, 4000));
        ASSERT_LT(second->GetTipOpacity(), 1.0);
        DropRows();
        second.reset();
        PumpMessages(50); // ticks of the held moment
        clock.Step(0.2);  // and past the end of the fade
        PumpMessages(50);
    }
    SettleFaces();
    EXPECT_EQ(HoverAnimationCount, hoverCountBefore);
}

TEST_F(KelmOptionCtlWindowTest, SetTextSlidesToTheNewLabel)
{
    auto row = AddRow(L"视图：网格", KelmOptionCtl::kKindNormal);
    row->SetText(L"视图：列表<切换视图>", 0);
    EXPECT_EQ(row->GetLabel(), L"视图：列表");
    EXPECT_EQ(row->GetTip(), L"切换视图");
    EXPECT_LT(row->GetChangeProgress(), 1.0);
    EXPECT_TRUE(test().PumpUntil([&] { return row->GetChangeProgress() >= 1.0; }, 4000));

    // A change during a change restarts from the current label.
    {
        HeldAnimationClock clock(test().window->animationManager);
        row->SetText(L"视图：图标", 1);
        clock.Step(0.1);
        test().window->animationManager.Update();
        ASSERT_GT(row->GetChangeProgress(), 0.0);
        ASSERT_LT(row->GetChangeProgress(), 1.0);
        row->SetText(L"视图：网格", 0);
        EXPECT_EQ(row->GetLabel(), L"视图：网格");
        test().window->animationManager.Update();
        EXPECT_EQ(row->GetChangeProgress(), 0.0) << "the second change did not start over";
    }
    EXPECT_TRUE(test().PumpUntil([&] { return row->GetChangeProgress() >= 1.0; }, 4000));

    // Freed in the middle of a slide.
    row->SetText(L"视图：列表", 0);
    DropRows();
    row.reset();
    PumpMessages(500);
}

// The first column (from the row's left edge) where the row's label leaves
// ink: a pixel far from the row's own face colour.
int FirstInkColumn(HWND window, int x, int y, int w, int h)
{
    const std::vector<COLORREF> pixels = ReadClientPixels(window, RECT{x, y, x + w, y + h});
    const COLORREF face = pixels[static_cast<size_t>(h / 2) * w + 4];
    auto inked = [face](COLORREF c) {
        return std::abs(GetRValue(c) - GetRValue(face)) + std::abs(GetGValue(c) - GetGValue(face)) +
                   std::abs(GetBValue(c) - GetBValue(face)) >
               120;
    };
    for (int column = 2; column < w; ++column)
        for (int row = 4; row < h - 4; ++row)
            if (inked(pixels[static_cast<size_t>(row) * w + column]))
                return column;
    return -1;
}

// An entry with an icon that cannot be clicked now keeps its icon where the
// clickable entries have theirs.
TEST_F(KelmOptionCtlWindowTest, AnUnclickableEntryWithAnIconAlignsWithTheOthers)
{
    AddRow(L":\uF0EA:      粘贴", KelmOptionCtl::kKindNormal, 20, 20);
    AddRow(L":\uF0EA:      粘贴", KelmOptionCtl::kKindHeading, 20, 80);
    PumpMessages(50);
    const int clickable = FirstInkColumn(test().hwnd, 20, 20, 200, 40);
    const int unclickable = FirstInkColumn(test().hwnd, 20, 80, 200, 40);
    ASSERT_GT(clickable, 10);
    EXPECT_NEAR(unclickable, clickable, 3);
}

} // namespace
