#include <gtest/gtest.h>

#include "sidewindows/quickpanel/QuickPanelGeometry.h"

using namespace TessikQuickPanel;

TEST(QuickPanelGeometry, OpeningRectangle)
{
    // Never opened: 850 x 550 DIP, centred.
    EXPECT_EQ(PanelRectForOpening({}, false, 1.0), (PanelOpening{{100, 100, 850, 550}, true}));
    EXPECT_EQ(PanelRectForOpening({}, false, 1.5), (PanelOpening{{100, 100, 1275, 825}, true}));
    // Remembered: used as it is.
    EXPECT_EQ(PanelRectForOpening({true, 300, 200, 900, 600}, false, 1.0), (PanelOpening{{300, 200, 900, 600}, false}));
    // At the left edge but tall enough: still where it was.
    EXPECT_EQ(PanelRectForOpening({true, 0, 200, 900, 600}, false, 1.0).centre, false);
    // At x <= 1 and a strip of at most 100 pixels: its size, centred.
    EXPECT_EQ(PanelRectForOpening({true, 1, 5, 700, 80}, true, 1.0), (PanelOpening{{1, 5, 700, 80}, true}));
    // Separate and tall: only the sidebar opens; a strip keeps its width.
    EXPECT_EQ(PanelRectForOpening({true, 300, 200, 900, 600}, true, 1.0).rect.w, 200);
    EXPECT_EQ(PanelRectForOpening({true, 300, 200, 900, 80}, true, 1.0).rect.w, 900);
}

TEST(QuickPanelGeometry, RememberedRectangle)
{
    const RememberedRect none;
    EXPECT_EQ(RememberPanelRect({10, 20, 860, 570}, false, 0, none, 1.0).w, 850);
    const RememberedRect joined = RememberPanelRect({10, 20, 860, 570}, false, 0, none, 1.0);
    EXPECT_TRUE(joined.valid);
    EXPECT_EQ(joined.x, 10);
    EXPECT_EQ(joined.y, 20);
    EXPECT_EQ(joined.h, 550);
    // Separate and tall: the joined layout's width (sidebar, gap, content).
    EXPECT_EQ(RememberPanelRect({10, 20, 210, 570}, true, 630, none, 1.0).w, 850);
    // Without a content window the width remembered before stays.
    const RememberedRect before{true, 0, 0, 900, 500};
    EXPECT_EQ(RememberPanelRect({10, 20, 210, 570}, true, 0, before, 1.0).w, 900);
    // A strip keeps its own width.
    EXPECT_EQ(RememberPanelRect({10, 20, 710, 99}, true, 700, before, 1.0).w, 700);
}

TEST(QuickPanelGeometry, ContentWindowBesideOrBelowThePanel)
{
    const RECT screen{0, 0, 1600, 1000};
    // Tall panel 200 wide: content to its right, 850 - 220 wide.
    EXPECT_EQ(ContentWindowRect({100, 100, 300, 650}, screen, 850, 1.0), (PixelRect{315, 100, 630, 550}));
    // Near the right edge: to its left instead.
    EXPECT_EQ(ContentWindowRect({1300, 100, 1500, 650}, screen, 850, 1.0), (PixelRect{655, 100, 630, 550}));
    // A strip 99 high: a 400 high window 20 below, as wide as the strip.
    EXPECT_EQ(ContentWindowRect({100, 100, 800, 199}, screen, 850, 1.0), (PixelRect{100, 219, 700, 400}));
    // A strip near the bottom: above it.
    EXPECT_EQ(ContentWindowRect({100, 850, 800, 949}, screen, 850, 1.0), (PixelRect{100, 430, 700, 400}));
    // DPI scales every gap and size.
    EXPECT_EQ(ContentWindowRect({0, 0, 400, 1100}, RECT{0, 0, 3200, 2000}, 1700, 2.0), (PixelRect{430, 0, 1260, 1100}));
}

TEST(QuickPanelGeometry, SidebarSlots)
{
    // Joined: 180 wide rows 45 apart from y 60.
    EXPECT_EQ(SidebarRowSlot(0, 3, 850, 550, false, false), (RowSlot{10, 60, 180}));
    EXPECT_EQ(SidebarRowSlot(2, 3, 850, 550, false, false), (RowSlot{10, 150, 180}));
    // Separate sidebar: as wide as the panel.
    EXPECT_EQ(SidebarRowSlot(1, 3, 200, 550, false, true), (RowSlot{10, 105, 180}));
    // Strip: side by side, widths clamped to 80..180.
    EXPECT_EQ(SidebarRowSlot(1, 2, 700, 80, true, true), (RowSlot{280, 20, 180}));
    EXPECT_EQ(SidebarRowSlot(0, 20, 700, 40, true, true), (RowSlot{90, 10, 80}));

    EXPECT_FLOAT_EQ(StepTowards(0, 100), 25);
    EXPECT_FLOAT_EQ(StepTowards(99.7f, 100), 100);

    // A dragged row swaps with the slot it comes within half a slot of.
    EXPECT_EQ(DragSwapIndex(0, 95, 3, 850, 550, false, false), 1);
    EXPECT_EQ(DragSwapIndex(0, 80, 3, 850, 550, false, false), -1);
    EXPECT_EQ(DragSwapIndex(1, 60, 3, 850, 550, false, false), 0);
    EXPECT_EQ(DragSwapIndex(0, 200, 2, 700, 80, true, true), 1);
}
