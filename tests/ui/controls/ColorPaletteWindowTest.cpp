// The colour palette and the colour menu on screen: they run their own
// loops on the test thread while a driver thread clicks in them.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "tests/ui/controls/PopupOwnerTest.h"
#include "ui/controls/KelmColorMenuPattle.h"
#include "ui/controls/KelmColorPattle.h"
#include "ui/core/KelmWindow.h"

namespace
{

using namespace PopupTest;

constexpr wchar_t kPaletteClass[] = L"Kelm.concept.ColorPattle.Class";
constexpr wchar_t kMenuClass[] = L"Kelm.concept.ColorMenuPattle.Class";
constexpr COLORREF kNamedColour = 0x9C6B3A;

// Option rows that count their clicks in `clicked` (row i sets i + 1).
std::vector<Brevin::KelmOption> CountingOptions(std::initializer_list<const wchar_t*> labels, int& clicked)
{
    std::vector<Brevin::KelmOption> options;
    int row = 0;
    for (const wchar_t* label : labels) {
        const int value = ++row;
        options.emplace_back(
            label, [&clicked, value] { clicked = value; }, 1);
    }
    return options;
}

// The centre of a swatch whose top-left corner is (x, y) (DIPs at rest).
POINT SwatchCentre(int x, int y)
{
    return {x + 14, y + 14};
}

class ColorPaletteWindowTest : public PopupOwnerTest
{
protected:
    static void SetUpTestSuite() { OpenOwner(300, 150, 800, 500, true); }
    void SetUp() override
    {
        PopupOwnerTest::SetUp();
        s_paletteExtraColors.clear();
    }
    void TearDown() override
    {
        EXPECT_EQ(FindWindowW(kPaletteClass, nullptr), nullptr);
        EXPECT_EQ(FindWindowW(kMenuClass, nullptr), nullptr);
        s_paletteExtraColors.clear();
        PopupOwnerTest::TearDown();
    }
};

TEST_F(ColorPaletteWindowTest, PaletteOpensOnTheOwnersCornerAndASwatchClickChoosesItsColour)
{
    COLORREF firstSwatch = 0;
    PopupDriver driver(kPaletteClass, [&firstSwatch](HWND popup) {
        const POINT first = SwatchCentre(24, 48);
        // A busy display shows the paint late (bounded wait).
        WaitFor([&] { return (firstSwatch = ReadClientPixel(popup, first.x, first.y)) == 0x919BEBu; });
        const POINT eighth = SwatchCentre(104, 88);
        Click(popup, eighth.x, eighth.y);
    });
    s_paletteChosenColor = 0;
    KelmColorPattle::KelmCreateWindow(Owner(), false, 0, 0, 0, 0x123456);
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_FALSE(driver.leftOpen);
    // 12 and 9 DIPs in from the owner at (300, 150); 240 by 140.
    EXPECT_EQ(driver.rect.left, 312);
    EXPECT_EQ(driver.rect.top, 159);
    EXPECT_EQ(driver.rect.right - driver.rect.left, 240);
    EXPECT_EQ(driver.rect.bottom - driver.rect.top, 140);
    EXPECT_EQ(firstSwatch, 0x919BEBu);
    // The choice survives the deactivation that the closing causes.
    EXPECT_EQ(s_paletteDismissed, 0);
    EXPECT_EQ(s_paletteChosenColor, 0xDCA0AAu);
    EXPECT_EQ(s_paletteLiveColor, 0xDCA0AAu);
    EXPECT_EQ(HoverAnimationCount, 0);
}

TEST_F(ColorPaletteWindowTest, ExtraEntriesAddARowAndTheNamedOneIsChosenByItsWideSwatch)
{
    s_paletteExtraColors = {{0x454545, L""}, {0xF2F2F2, L""}, {kNamedColour, L"默认"}};
    COLORREF plainExtra = 0;
    PopupDriver driver(kPaletteClass, [&plainExtra](HWND popup) {
        const POINT plain = SwatchCentre(24, 128);
        WaitFor([&] { return (plainExtra = ReadClientPixel(popup, plain.x, plain.y)) == 0x454545u; });
        // The right half of the 68 wide named swatch.
        Click(popup, 104 + 55, 128 + 14);
    });
    KelmColorPattle::KelmCreateWindow(Owner(), false, 0, 0, 0, 0);
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(driver.rect.right - driver.rect.left, 240);
    EXPECT_EQ(driver.rect.bottom - driver.rect.top, 190);
    EXPECT_EQ(plainExtra, 0x454545u);
    EXPECT_EQ(s_paletteDismissed, 0);
    EXPECT_EQ(s_paletteChosenColor, kNamedColour);
}

TEST_F(ColorPaletteWindowTest, ActivatingAnotherWindowDismissesThePaletteAndKeepsTheColour)
{
    PopupDriver driver(kPaletteClass, [](HWND) {});
    RunNestedWhenOpen(kPaletteClass, [this] { SetForegroundWindow(Owner()); });
    s_paletteChosenColor = 0x123456;
    KelmColorPattle::KelmCreateWindow(Owner(), false, 0, 0, 0, 0x123456);
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(s_paletteDismissed, 1);
    EXPECT_EQ(s_paletteChosenColor, 0x123456u);
    EXPECT_EQ(s_paletteLiveColor, 0xFFFFFFu);
}

TEST_F(ColorPaletteWindowTest, SecondCallWhileOpenIsDismissedAndTheFirstKeepsItsChoice)
{
    std::atomic<int> nestedDismissed{-1};
    RunNestedWhenOpen(kPaletteClass, [this, &nestedDismissed] {
        KelmColorPattle::KelmCreateWindow(Owner(), false, 0, 0, 0, 0);
        nestedDismissed = s_paletteDismissed;
    });
    PopupDriver driver(kPaletteClass, [&nestedDismissed](HWND popup) {
        const ULONGLONG end = GetTickCount64() + 5000;
        while (nestedDismissed == -1 && GetTickCount64() < end)
            Sleep(10);
        const POINT second = SwatchCentre(64, 48);
        Click(popup, second.x, second.y);
    });
    KelmColorPattle::KelmCreateWindow(Owner(), false, 0, 0, 0, 0);
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(nestedDismissed.load(), 1);
    EXPECT_EQ(s_paletteDismissed, 0);
    EXPECT_EQ(s_paletteChosenColor, 0x8CAFEBu);
}

TEST_F(ColorPaletteWindowTest, ColorMenuRowsSitBelowTheSeparatorAndARowClickRunsItsOption)
{
    int clicked = 0;
    const auto options = CountingOptions({L"第一项", L"第二项"}, clicked);
    COLORREF separator = 0, aboveSeparator = 0;
    PopupDriver driver(kMenuClass, [&separator, &aboveSeparator](HWND popup) {
        WaitFor([&] {
            separator = ReadClientPixel(popup, 120, 118);
            aboveSeparator = ReadClientPixel(popup, 120, 116);
            return separator == ThemeShade30.Ref() && aboveSeparator == ThemeAccent.Ref();
        });
        // The second row: 170 to 205.
        Click(popup, 120, 187);
    });
    s_colorMenuChosenColor = 0x123456;
    KelmColorMenuPattle::KelmCreateWindow(Owner(), options, 0, 0, 40);
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(driver.rect.left, 308);
    EXPECT_EQ(driver.rect.top, 190);
    EXPECT_EQ(driver.rect.right - driver.rect.left, 240);
    EXPECT_EQ(driver.rect.bottom - driver.rect.top, 220);
    EXPECT_EQ(separator, ThemeShade30.Ref());
    EXPECT_EQ(aboveSeparator, ThemeAccent.Ref());
    EXPECT_EQ(clicked, 2);
    EXPECT_EQ(s_colorMenuDismissed, 0);
    EXPECT_EQ(s_colorMenuChosenColor, 0x123456u);
}

TEST_F(ColorPaletteWindowTest, ColorMenuSwatchClickChoosesAndAClickElsewhereDismisses)
{
    int clicked = 0;
    const auto options = CountingOptions({L"命令"}, clicked);
    PopupDriver chooser(kMenuClass, [](HWND popup) {
        const POINT last = SwatchCentre(184, 76);
        Click(popup, last.x, last.y);
    });
    KelmColorMenuPattle::KelmCreateWindow(Owner(), options, 0, 0, 0);
    chooser.Join();
    ASSERT_TRUE(chooser.found);
    EXPECT_EQ(s_colorMenuDismissed, 0);
    EXPECT_EQ(s_colorMenuChosenColor, 0xE1AADCu);

    PopupDriver idle(kMenuClass, [](HWND) {});
    RunNestedWhenOpen(kMenuClass, [this] { SetForegroundWindow(Owner()); });
    KelmColorMenuPattle::KelmCreateWindow(Owner(), options, 0, 0, 0);
    idle.Join();
    ASSERT_TRUE(idle.found);
    EXPECT_EQ(s_colorMenuDismissed, 1);
    EXPECT_EQ(s_colorMenuChosenColor, 0xE1AADCu);
    EXPECT_EQ(clicked, 0);
}

} // namespace
