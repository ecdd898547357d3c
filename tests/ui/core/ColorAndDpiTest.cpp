// DPI snapping, the theme palette and the colour rules.
#include <gtest/gtest.h>

#include "ui/core/DpiScale.h"
#include "ui/core/ThemeColors.h"

namespace
{

struct Rgb {
    int r, g, b;
};

void ExpectColor(COLORREF c, Rgb want)
{
    EXPECT_EQ(int(GetRValue(c)), want.r);
    EXPECT_EQ(int(GetGValue(c)), want.g);
    EXPECT_EQ(int(GetBValue(c)), want.b);
}

TEST(DpiScale, SnapsTheStandardSettingsAndDividesOthers)
{
    const struct {
        int dpi;
        double scale;
        const wchar_t* label;
    } cases[] = {
        {48, 0.5, L"50%"},
        {72, 0.75, L"75%"},
        {96, 1.0, L"100%"},
        {120, 1.25, L"125%"},
        {144, 1.5, L"150%"},
        {168, 1.75, L"150%"},
        {192, 2.0, L"200%"},
        {216, 2.25, L"200%"},
        {240, 2.5, L"200%"},
        {100, 100 / 96.0, L"fallback: 104.167%"},
        {288, 3.0, L"fallback: 300%"},
    };
    for (const auto& c : cases) {
        const DpiSnap snap = SnapDpi(c.dpi);
        EXPECT_DOUBLE_EQ(snap.scale, c.scale) << c.dpi;
        EXPECT_EQ(snap.label, c.label) << c.dpi;
    }
}

TEST(ThemeColors, DerivesPaletteFromBase)
{
    const ThemeRgb saved = ThemeBaseColor;
    ThemeBaseColor = {255, 255, 255};
    UpdateThemeColors();
    EXPECT_EQ(ThemeTextColor.r, 20);
    EXPECT_EQ(ThemeShade30.g, 225);
    ExpectColor(ThemeAccent.Ref(), {245, 245, 245});

    ThemeBaseColor = {0, 120, 215};
    UpdateThemeColors();
    ExpectColor(ThemeAccent.Ref(), {0, 116, 195});
    ExpectColor(ThemeShade30.Ref(), {30, 150, 185});
    EXPECT_EQ(ThemeTextColor.r, 255);

    ThemeBaseColor = {128, 128, 127}; // sum 383: white text
    UpdateThemeColors();
    EXPECT_EQ(ThemeTextColor.r, 255);
    ThemeBaseColor = {128, 128, 128}; // sum 384: dark text
    UpdateThemeColors();
    EXPECT_EQ(ThemeTextColor.r, 20);

    ThemeBaseColor = saved;
    UpdateThemeColors();
}

TEST(ThemeColors, ShadeRuleMovesTowardTheMiddleAndClamps)
{
    ExpectColor(ContrastShiftColor(RGB(200, 200, 200), 10), {190, 190, 190});
    ExpectColor(ContrastShiftColor(RGB(20, 30, 40), 10), {30, 40, 50});
    ExpectColor(ContrastShiftColor(RGB(250, 255, 4), 10), {240, 245, 0});
    ExpectColor(ContrastShiftColor(RGB(129, 129, 128), 5), {134, 134, 133}); // sum 386 lightens
    ExpectColor(ContrastShiftColor(RGB(129, 129, 129), 5), {124, 124, 124}); // sum 387 darkens
}

TEST(ThemeColors, ConversionsMatchKnownValues)
{
    ExpectColor(HSLToRGB(0, 1, 0.5), {255, 0, 0});
    ExpectColor(HSLToRGB(0, 0, 0.5), {128, 128, 128});
    ExpectColor(HSLToRGB(120, 1, 0.5), {0, 255, 0});
    ExpectColor(SaturateColor(RGB(10, 130, 205), 50), {0, 126, 205});
    ExpectColor(AdjustAccent(RGB(100, 104, 108)), {100, 104, 108}); // a grey is left alone
    ExpectColor(AdjustAccent(RGB(5, 5, 30)), {10, 10, 30});         // dark blue is lifted off black
}

} // namespace
