// The HSL colour group: values from the pointer on each bar, the bars
// taking presses where their gradients are drawn, drags only with the
// button held, and the change reported on every release.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmHSLGroup.h"
#include "ui/core/DpiScale.h"
#include "ui/core/ThemeColors.h"

namespace
{

TEST(HSLValues, EdgesGiveTheEndsOutsideIsClampedArithmeticIsInteger)
{
    const KelmHSLGroup::Bar bar{100, 30, 180, 20};
    EXPECT_EQ(KelmHSLGroup::ValueAt(100, bar, 360), 0);
    EXPECT_EQ(KelmHSLGroup::ValueAt(280, bar, 360), 360);
    EXPECT_EQ(KelmHSLGroup::ValueAt(190, bar, 360), 180);
    EXPECT_EQ(KelmHSLGroup::ValueAt(101, bar, 360), 2);
    EXPECT_EQ(KelmHSLGroup::ValueAt(101, bar, 100), 0); // 100 / 180 truncates
    EXPECT_EQ(KelmHSLGroup::ValueAt(280, bar, 100), 100);
    EXPECT_EQ(KelmHSLGroup::ValueAt(400, bar, 100), 100);
    EXPECT_EQ(KelmHSLGroup::ValueAt(50, bar, 100), 0);

    EXPECT_TRUE(KelmHSLGroup::BarContains(bar, 100, 30));
    EXPECT_TRUE(KelmHSLGroup::BarContains(bar, 280, 50));
    EXPECT_FALSE(KelmHSLGroup::BarContains(bar, 99, 40));
    EXPECT_FALSE(KelmHSLGroup::BarContains(bar, 200, 51));
}

class HSLWindow : public ControlWindowTest
{
protected:
    ScaleGuard scale;

    void SetUp() override
    {
        ControlWindowTest::SetUp();
        group = std::make_shared<KelmHSLGroup>();
        group->Set(
            10, 10, 0, 0, [this] { ++changes; }, 0x282828, 12, RGB(20, 20, 20));
        test().addControls = [this](Brevin::D2DBrevinPanel* panel) { panel->AddControl(group); };
        test().PaintOnce();
    }

    std::shared_ptr<KelmHSLGroup> group;
    int changes = 0;
};

TEST_F(HSLWindow, StartsAtHueZeroHalfSaturationHalfLightnessGrey)
{
    EXPECT_EQ(group->hue, 0.0);
    EXPECT_EQ(group->saturation, 50.0);
    EXPECT_EQ(group->lightness, 50.0);
    EXPECT_EQ(group->colour, COLORREF(0x808080));
    EXPECT_EQ(group->GetRect().w, 300);
    EXPECT_EQ(group->GetRect().h, 120);
    // The swatch shows the grey until the first change.
    EXPECT_TRUE(Near(test().AwaitPixel(40, 45, RGB(128, 128, 128), 2), RGB(128, 128, 128), 2));
}

TEST_F(HSLWindow, PressGivesTheHueDrawnUnderThePointer)
{
    // Hue bar gradient from x 110, 180 columns, rows 40..60 (group at 10, 10).
    const int x = 110 + 90, y = 50;
    const COLORREF drawn = test().AwaitPixel(x, y, HSLToRGB(180, 1.0, 0.5), 12);
    EXPECT_TRUE(Near(drawn, HSLToRGB(180, 1.0, 0.5), 12)) << std::hex << drawn;
    test().Post(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    EXPECT_EQ(group->hue, 180.0);
    EXPECT_EQ(group->colour, HSLToRGB(180, 0.5, 0.5));

    test().Post(WM_LBUTTONDOWN, 110, y, MK_LBUTTON);
    EXPECT_EQ(group->hue, 0.0);
    test().Post(WM_LBUTTONDOWN, 290, y, MK_LBUTTON);
    EXPECT_EQ(group->hue, 360.0);
    // Saturation and lightness bars top out at 100.
    test().Post(WM_LBUTTONDOWN, 290, 80, MK_LBUTTON);
    EXPECT_EQ(group->saturation, 100.0);
    test().Post(WM_LBUTTONDOWN, 290, 110, MK_LBUTTON);
    EXPECT_EQ(group->lightness, 100.0);
}

TEST_F(HSLWindow, ReleaseAnywhereReportsPressOutsideTheBarsChangesNothing)
{
    test().Post(WM_LBUTTONDOWN, 40, 45, MK_LBUTTON); // the swatch
    EXPECT_EQ(group->hue, 0.0);
    EXPECT_EQ(group->saturation, 50.0);
    EXPECT_EQ(group->colour, COLORREF(0x808080));
    test().Post(WM_LBUTTONUP, 40, 45);
    EXPECT_EQ(changes, 1);
}

TEST_F(HSLWindow, MoveWithTheButtonUpChangesNothing)
{
    test().Post(WM_LBUTTONDOWN, 200, 80, MK_LBUTTON);
    const double saturation = group->saturation;
    test().Post(WM_LBUTTONUP, 200, 80);
    test().Post(WM_MOUSEMOVE, 250, 80);
    EXPECT_EQ(group->saturation, saturation);
}

} // namespace
