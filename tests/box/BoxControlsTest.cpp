// The box's scroll bar and title tag: thumb geometry, drag and track
// presses, the fade after a position change, the tag's text split, its
// click and its delayed tooltip.
#include <gtest/gtest.h>

#include "box/KelmGroupTag.h"
#include "box/KelmScrollBar.h"
#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/core/DpiScale.h"

using TessikDesktopContainer::KelmGroupTag;
using TessikDesktopContainer::KelmScrollBar;

TEST(KelmScrollBarGeometry, ThumbFollowsThePositionAndNeverGetsShort)
{
    // 360 DIPs of track (40..400), content twice the track.
    auto g = KelmScrollBar::ComputeGeometry(720, 400, 0, 360, 40, false);
    EXPECT_FLOAT_EQ(g.trackLength, 360);
    EXPECT_FLOAT_EQ(g.thumbLength, 180);
    EXPECT_FLOAT_EQ(g.thumbTop, 40);
    g = KelmScrollBar::ComputeGeometry(720, 400, 360, 360, 40, false);
    EXPECT_FLOAT_EQ(g.thumbTop, 220);
    g = KelmScrollBar::ComputeGeometry(720, 400, 999, 360, 40, true);
    EXPECT_FLOAT_EQ(g.thumbTop, 180) << "clamped, and the track starts at 0";

    g = KelmScrollBar::ComputeGeometry(100000, 400, 0, 99600, 40, false);
    EXPECT_FLOAT_EQ(g.thumbLength, 30);
    // Pointer at the bottom of the track asks for the end.
    EXPECT_FLOAT_EQ(g.PositionFor(400, 0, 99600), 99600);
    EXPECT_FLOAT_EQ(g.PositionFor(0, 0, 99600), 0);
}

TEST(KelmScrollBarGeometry, ContentThatFitsIsInert)
{
    KelmScrollBar bar;
    bar.Set(300, 200, 400, 0, 0, 40, false);
    EXPECT_EQ(bar.AddEvent({290, 100}, Brevin::KELM_LBUTTON_DOWN), Brevin::kNotHandled);
    EXPECT_EQ(bar.AddEvent({290, 100}, Brevin::KELM_MOUSE_MOVE), Brevin::kNotHandled);
    EXPECT_FALSE(bar.dragging);
    const Brevin::kelmRect rc = bar.GetRect();
    EXPECT_EQ(rc.x, 285);
    EXPECT_EQ(rc.y, 40);
    EXPECT_EQ(rc.w, 15);
    EXPECT_EQ(rc.h, 360);
}

TEST(KelmGroupTagText, SplitsTheTipInAngleBrackets)
{
    const struct {
        const wchar_t* text;
        const wchar_t* label;
        const wchar_t* tip;
    } cases[] = {
        {L"Docs", L"Docs", L""},
        {L"Docs<mode>", L"Docs", L"mode"},
        {L"<only tip>", L"", L"only tip"},
        {L"a<b>c", L"ac", L"b"},
        {L"a>b<c", L"a>b<c", L""},     // no ">" after the "<"
        {L"x>y<tip>", L"x>y", L"tip"}, // a ">" before the "<" is text
        {L"open<never closed", L"open<never closed", L""},
    };
    for (const auto& c : cases) {
        const auto split = KelmGroupTag::Split(c.text);
        EXPECT_EQ(split.label, c.label) << c.text;
        EXPECT_EQ(split.tooltip, c.tip) << c.text;
    }
    EXPECT_EQ(KelmGroupTag::LiftedColour(RGB(10, 20, 250), 0, 0), RGB(30, 40, 255));
    EXPECT_EQ(KelmGroupTag::LiftedColour(RGB(10, 20, 30), 1, 0), RGB(35, 45, 55));
    EXPECT_EQ(KelmGroupTag::LiftedColour(RGB(10, 20, 30), 0, 1), RGB(30, 40, 50));
}

class BoxControlsWindow : public ControlWindowTest
{
protected:
    void SetUp() override
    {
        ControlWindowTest::SetUp();
        savedScale = DpiScale;
        DpiScale = 1.0;
        // As on a box: moves reach the controls while animations run.
        test().window->hoverWhileAnimating = true;
    }
    void TearDown() override
    {
        test().window->hoverWhileAnimating = false;
        DpiScale = savedScale;
        ControlWindowTest::TearDown();
    }
    // Pumps until the condition holds or the time is up.
    template <class F> bool WaitFor(F condition, DWORD ms)
    {
        const ULONGLONG end = GetTickCount64() + ms;
        while (!condition() && GetTickCount64() < end)
            PumpMessages(20);
        return condition();
    }
    double savedScale = 1.0;
};

TEST_F(BoxControlsWindow, TrackPressCentresTheThumbAndReleaseEndsTheDrag)
{
    auto bar = std::make_shared<KelmScrollBar>();
    float reported = -1;
    bar->SetOnScroll([&](float p) { reported = p; });
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) {
        bar->Set(360, 480, 240, reported < 0 ? 0 : reported, 240, 0, false);
        panel->AddControl(bar);
    };
    test().PaintOnce();
    // Track 240, content 480: thumb 120 long, travel 120.
    test().Post(WM_LBUTTONDOWN, 352, 180, MK_LBUTTON);
    EXPECT_NEAR(reported, 240, 0.5) << "thumb middle under the pointer, clamped at the end";
    test().PaintOnce();
    // The button is not really down: the next move ends the drag.
    test().Post(WM_MOUSEMOVE, 352, 120, MK_LBUTTON);
    EXPECT_FALSE(bar->dragging);
}

TEST_F(BoxControlsWindow, PositionChangeShowsTheBarThenItHides)
{
    auto bar = std::make_shared<KelmScrollBar>();
    float position = 0;
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) {
        bar->Set(360, 480, 240, position, 240, 0, false);
        panel->AddControl(bar);
    };
    test().PaintOnce();
    position = 0.05f;
    test().PaintOnce();
    EXPECT_FALSE(bar->timerVisible) << "a change of 0.1 or less does not show the bar";
    position = 50;
    test().PaintOnce();
    EXPECT_TRUE(bar->timerVisible);
    EXPECT_TRUE(WaitFor([&] { return bar->visibility > 0.99; }, 2000));
    EXPECT_TRUE(WaitFor([&] { return !bar->timerVisible && bar->visibility < 0.01; }, 4000));
}

TEST_F(BoxControlsWindow, TagClicksOnceAndShowsItsTipAfterARest)
{
    auto tag = std::make_shared<KelmGroupTag>();
    int clicks = 0;
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) {
        tag->Set(
            20, 20, 120, 28, L"Docs<mode tip>", [&] { ++clicks; }, nullptr, 14, 0, RGB(0, 0, 0), RGB(200, 200, 200), 6,
            false);
        panel->AddControl(tag);
    };
    test().PaintOnce();
    EXPECT_EQ(tag->label, L"Docs");
    test().Post(WM_MOUSEMOVE, 60, 30);
    test().PaintOnce();
    test().Post(WM_LBUTTONDOWN, 60, 30, MK_LBUTTON);
    test().Post(WM_LBUTTONUP, 60, 30);
    EXPECT_EQ(clicks, 1);
    // A press that ends away from the tag is no click.
    test().Post(WM_LBUTTONDOWN, 60, 30, MK_LBUTTON);
    test().Post(WM_LBUTTONUP, 300, 200);
    test().PaintOnce();
    test().Post(WM_MOUSEMOVE, 60, 30);
    test().Post(WM_LBUTTONUP, 60, 30);
    EXPECT_EQ(clicks, 1);

    test().Post(WM_MOUSEMOVE, 61, 31);
    test().PaintOnce();
    EXPECT_TRUE(WaitFor([&] { return tag->tooltipOpacity > 0.99; }, 3000));
    test().Post(WM_MOUSEMOVE, 300, 200);
    test().PaintOnce();
    EXPECT_TRUE(WaitFor([&] { return tag->tooltipOpacity < 0.01; }, 3000));
}

TEST_F(BoxControlsWindow, LeavingTheTagEarlyCancelsTheTip)
{
    auto tag = std::make_shared<KelmGroupTag>();
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) {
        tag->Set(20, 20, 120, 28, L"Docs<tip>", nullptr, nullptr, 14, 0, 0, RGB(200, 200, 200), 6, true);
        panel->AddControl(tag);
    };
    test().PaintOnce();
    test().Post(WM_MOUSEMOVE, 60, 30);
    test().PaintOnce();
    test().Post(WM_MOUSEMOVE, 300, 200);
    test().PaintOnce();
    PumpMessages(900);
    EXPECT_DOUBLE_EQ(tag->tooltipOpacity, 0.0);

    auto plain = std::make_shared<KelmGroupTag>();
    plain->Set(0, 0, 50, 20, L"Plain", nullptr, nullptr, 14, 0, 0, 0, 6, false);
    EXPECT_TRUE(plain->tooltipText.empty());
}
