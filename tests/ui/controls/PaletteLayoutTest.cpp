// Where the colour palettes put their swatches and how large they open.
#include <gtest/gtest.h>

#include "ui/controls/PaletteLayout.h"
#include "ui/controls/PopupPlacement.h"

namespace
{

std::vector<PaletteColorEntry> TypicalExtras()
{
    return {{0x454545, L""}, {0xF2F2F2, L""}, {0x123456, L"默认"}};
}

TEST(PaletteLayoutTest, FixedSwatchesFormTwoRowsOfFiveAtRest)
{
    const auto swatches = PaletteLayout::Swatches({}, 0.8f, PaletteLayout::kPaletteSwatchTop);
    ASSERT_EQ(swatches.size(), 10u);
    const int xs[] = {24, 64, 104, 144, 184};
    for (size_t i = 0; i < swatches.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(swatches[i].x, xs[i % 5]);
        EXPECT_EQ(swatches[i].y, i < 5 ? 48 : 88);
        EXPECT_EQ(swatches[i].w, 28);
        EXPECT_EQ(swatches[i].h, 28);
        EXPECT_EQ(swatches[i].colour, PaletteLayout::kFixedSwatches[i]);
        EXPECT_TRUE(swatches[i].label.empty());
    }
    // The colour menu's swatches sit higher, under its smaller title.
    EXPECT_EQ(PaletteLayout::Swatches({}, 0.8f, PaletteLayout::kMenuSwatchTop)[0].y, 36);
}

TEST(PaletteLayoutTest, ExtrasStartATheThirdRowAndANamedOneIsDoubleWide)
{
    const auto swatches = PaletteLayout::Swatches(TypicalExtras(), 0.8f, PaletteLayout::kPaletteSwatchTop);
    ASSERT_EQ(swatches.size(), 13u);
    EXPECT_EQ(swatches[10].x, 24);
    EXPECT_EQ(swatches[10].y, 128);
    EXPECT_EQ(swatches[11].x, 64);
    EXPECT_EQ(swatches[12].x, 104);
    EXPECT_EQ(swatches[12].w, 68);
    EXPECT_EQ(swatches[12].h, 28);
    EXPECT_EQ(swatches[12].label, L"默认");
    EXPECT_EQ(swatches[12].colour, 0x123456u);
}

TEST(PaletteLayoutTest, EntriesFlowIntoRowsOfAtMostFiveUnits)
{
    struct Case {
        std::vector<int> units;
        std::vector<PaletteLayout::Slot> slots;
    };
    const Case cases[] = {
        {{1, 1, 1, 1, 1, 1}, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 0}}},
        // A named entry that would make six units starts the next row.
        {{1, 1, 1, 1, 2}, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 0}}},
        {{2, 2, 1, 2}, {{0, 0}, {0, 2}, {0, 4}, {1, 0}}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        const auto slots = PaletteLayout::Flow(c.units);
        ASSERT_EQ(slots.size(), c.slots.size());
        for (size_t i = 0; i < slots.size(); ++i) {
            EXPECT_EQ(slots[i].row, c.slots[i].row) << i;
            EXPECT_EQ(slots[i].column, c.slots[i].column) << i;
        }
    }
}

TEST(PaletteLayoutTest, ExtraRowsCountPartlyFilledRows)
{
    EXPECT_EQ(PaletteLayout::ExtraRows({}), 0);
    EXPECT_EQ(PaletteLayout::ExtraRows(TypicalExtras()), 1);
    std::vector<PaletteColorEntry> five(5, {0x111111, L""});
    EXPECT_EQ(PaletteLayout::ExtraRows(five), 1);
    five.push_back({0x222222, L""});
    EXPECT_EQ(PaletteLayout::ExtraRows(five), 2);
    const std::vector<PaletteColorEntry> named(3, {0x111111, L"名"});
    EXPECT_EQ(PaletteLayout::ExtraRows(named), 2);
}

TEST(PaletteLayoutTest, WindowsSizeFromTheirRowsAndSitOnTheOwnersCorner)
{
    const RECT owner{100, 200, 900, 700};
    const RECT palette = PaletteLayout::PaletteRect(owner, 1.0, 0);
    EXPECT_EQ(palette.left, 112);
    EXPECT_EQ(palette.top, 209);
    EXPECT_EQ(palette.right - palette.left, 240);
    EXPECT_EQ(palette.bottom - palette.top, 140);
    EXPECT_EQ(PaletteLayout::PaletteRect(owner, 1.0, 1).bottom - 209, 190);
    const RECT scaled = PaletteLayout::PaletteRect(owner, 1.5, 1);
    EXPECT_EQ(scaled.right - scaled.left, 360);
    EXPECT_EQ(scaled.bottom - scaled.top, 285);

    const RECT menu = PaletteLayout::ColorMenuRect(owner, 1.0, 0, 2, 40);
    EXPECT_EQ(menu.left, 108);
    EXPECT_EQ(menu.top, 240);
    EXPECT_EQ(menu.right - menu.left, 240);
    EXPECT_EQ(menu.bottom - menu.top, 220);
    EXPECT_EQ(PaletteLayout::MenuPaletteHeight(0), 150);
    EXPECT_EQ(PaletteLayout::MenuPaletteHeight(2), 250);
}

TEST(PaletteLayoutTest, TheSelectionRingIsFiftyDarkerAndNeverBelowZero)
{
    EXPECT_EQ(PaletteLayout::RingColour(RGB(200, 100, 60)), RGB(150, 50, 10));
    EXPECT_EQ(PaletteLayout::RingColour(RGB(20, 255, 49)), RGB(0, 205, 0));
}

TEST(PaletteLayoutTest, ClampFromTheFarEdgesKeepsTheTopLeftCornerInside)
{
    const RECT area{0, 0, 1000, 800};
    struct Case {
        int x, y, w, h;
        POINT expected;
    };
    const Case cases[] = {
        {100, 100, 240, 140, {100, 100}}, // inside: unchanged
        {900, 700, 240, 140, {760, 660}}, // past right and bottom: pulled back
        {-50, -20, 240, 140, {0, 0}},     // past left and top: pushed in
        {10, 10, 1200, 900, {0, 0}},      // larger than the area: corner inside
    };
    for (const Case& c : cases) {
        const POINT at = PopupPlacement::ClampIntoAreaTopLeftWins(c.x, c.y, c.w, c.h, area);
        EXPECT_EQ(at.x, c.expected.x) << c.x;
        EXPECT_EQ(at.y, c.expected.y) << c.y;
    }
    // The other clamp lets the far edges win instead.
    const POINT other = PopupPlacement::ClampIntoArea(10, 10, 1200, 900, area);
    EXPECT_EQ(other.x, -200);
}

} // namespace
