// Where the modal popups open and how the choose-one popup's wheel steps:
// pure rules over tables of cases.
#include <gtest/gtest.h>

#include "ui/controls/NewPopupSelection.h"
#include "ui/controls/PopupPlacement.h"

namespace
{

const RECT kWorkArea{0, 0, 1600, 960};

struct Case {
    const char* name;
    RECT owner;
    double d;
    RECT expected;
};

void ExpectRect(const RECT& got, const RECT& expected, const char* name)
{
    EXPECT_EQ(got.left, expected.left) << name;
    EXPECT_EQ(got.top, expected.top) << name;
    EXPECT_EQ(got.right, expected.right) << name;
    EXPECT_EQ(got.bottom, expected.bottom) << name;
}

TEST(PopupPlacement, EditBoxFollowsTheOwnerWidthBetweenItsBounds)
{
    const Case cases[] = {
        // min(1000 - 200, 600) = 600, centred, 60 below the owner's top.
        {"wide owner", {100, 100, 1100, 500}, 1.0, {300, 160, 900, 320}},
        // max(300, 450 - 200) = 300.
        {"narrow owner", {100, 100, 550, 400}, 1.0, {175, 160, 475, 320}},
        // 700 - 200 = 500 lies between the bounds.
        {"middle owner", {0, 0, 700, 300}, 1.0, {100, 60, 600, 220}},
        // d = 2: 1400 / 2 - 400 = 300 < 600, lower bound 600: 600 wide, 320 high, 120 below.
        {"scaled", {0, 0, 1400, 800}, 2.0, {400, 120, 1000, 440}},
        // d = 1.5: int(1200 / 1.5 - 300) = 500, lower bound 450, upper 900.
        {"one and a half", {0, 0, 1200, 600}, 1.5, {350, 90, 850, 330}},
    };
    for (const Case& c : cases)
        ExpectRect(PopupPlacement::EditBoxRect(c.owner, kWorkArea, c.d), c.expected, c.name);
}

TEST(PopupPlacement, TipHasAnUnscaledLowerBound)
{
    const Case cases[] = {
        {"narrow owner", {100, 100, 550, 400}, 1.0, {165, 160, 485, 360}},
        {"wide owner", {100, 100, 1100, 500}, 1.0, {300, 160, 900, 360}},
        // d = 2: max(320, min(int(800 / 2 - 400), 1200)) = 320 pixels, 400 high.
        {"scaled", {0, 0, 800, 600}, 2.0, {240, 120, 560, 520}},
    };
    for (const Case& c : cases)
        ExpectRect(PopupPlacement::TipRect(c.owner, kWorkArea, c.d), c.expected, c.name);
}

TEST(PopupPlacement, PopupsArePulledInsideTheWorkArea)
{
    const Case cases[] = {
        {"off the left", {-900, 100, 100, 500}, 1.0, {0, 160, 600, 320}},
        {"off the right", {1200, 100, 2200, 500}, 1.0, {1000, 160, 1600, 320}},
        {"off the bottom", {100, 900, 1100, 1300}, 1.0, {300, 800, 900, 960}},
        {"above the top", {100, -500, 1100, -100}, 1.0, {300, 0, 900, 160}},
    };
    for (const Case& c : cases)
        ExpectRect(PopupPlacement::EditBoxRect(c.owner, kWorkArea, c.d), c.expected, c.name);

    // A work area that does not start at 0 (a second monitor on the left).
    const RECT left{-1280, 0, 0, 1024};
    ExpectRect(PopupPlacement::EditBoxRect({-100, 50, 900, 450}, left, 1.0), {-600, 110, 0, 270}, "second monitor");
    ExpectRect(PopupPlacement::TipRect({-100, 950, 900, 1350}, left, 1.0), {-600, 824, 0, 1024}, "tip bottom");
}

TEST(PopupPlacement, SelectionPopupClampsToTheScreenAboveTheTaskbar)
{
    const Case cases[] = {
        // An owner 300 wide gives the unscaled lower bound 400 by 260.
        {"narrow owner", {100, 100, 400, 300}, 1.0, {50, 160, 450, 420}},
        {"wide owner", {0, 0, 1000, 400}, 1.0, {200, 60, 800, 320}},
        // Its bottom stays at least 40 above the screen's bottom.
        {"low owner", {100, 900, 400, 1000}, 1.0, {50, 700, 450, 960}},
        {"off the right", {1400, 100, 1700, 300}, 1.0, {1200, 160, 1600, 420}},
        {"off the left", {-500, 100, -200, 300}, 1.0, {0, 160, 400, 420}},
    };
    for (const Case& c : cases)
        ExpectRect(PopupPlacement::SelectionRect(c.owner, 1600, 1000, c.d), c.expected, c.name);
}

TEST(SelectionWheel, StepsWrapBothWays)
{
    struct Step {
        int index, count, scroll, expected;
    } steps[] = {
        {0, 3, 18, 2},                                                 // toward the user on the first: the last
        {2, 3, -18, 0},                                                // away from the user on the last: the first
        {0, 3, -18, 1},                                                // away on the first: the second
        {1, 3, 18, 0},  {0, 1, 18, 0}, {0, 1, -18, 0}, {1, 3, -90, 2}, // one step whatever the amount
        {1, 3, 0, 1},   {0, 0, 18, 0},
    };
    for (const Step& s : steps)
        EXPECT_EQ(NewPopupSelection::StepIndex(s.index, s.count, s.scroll), s.expected)
            << s.index << " of " << s.count << " by " << s.scroll;
}

TEST(SelectionWheel, RedOkFollowsTheMapAndReadsMissingIndicesAsZero)
{
    s_selectionRedOk = {{0, 1}, {2, 0}};
    EXPECT_EQ(NewPopupSelection::OkFill(0), static_cast<COLORREF>(0x3D4DE8));
    EXPECT_EQ(NewPopupSelection::OkFill(1), static_cast<COLORREF>(0xFB7952));
    EXPECT_EQ(NewPopupSelection::OkFill(2), static_cast<COLORREF>(0xFB7952));
    s_selectionRedOk.clear();
}

} // namespace
