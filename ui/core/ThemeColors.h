// The theme palette derived from the user's base colour, and the colour
// rules and conversions the palette and the controls share.
#pragma once

#include <windows.h>

// One palette colour as three ints, so controls compose a COLORREF at draw
// time and a new palette shows at the next paint.
struct ThemeRgb {
    int r;
    int g;
    int b;
    COLORREF Ref() const { return RGB(r, g, b); }
};

// UI thread only. Before UpdateThemeColors they hold the start values
// (255,255,255), (0,0,240), (0,0,220), (0,0,0).
extern ThemeRgb ThemeBaseColor;
extern ThemeRgb ThemeAccent;
extern ThemeRgb ThemeShade30;
extern ThemeRgb ThemeTextColor;

// Derives accent, shade and text colour from ThemeBaseColor.
void UpdateThemeColors();

// The shade rule of raised faces: every channel +d when r + g + b < 387,
// else -d, clamped to 0..255.
COLORREF ContrastShiftColor(COLORREF color, int d);
// Makes an accent stand out: greys stay, greens and blues and reds are
// saturated, other hues muted.
COLORREF AdjustAccent(COLORREF color);
// HSV saturation times (1 + percent / 100); channels truncated.
COLORREF SaturateColor(COLORREF color, int percent);
// HSV saturation times 0.95; channels rounded.
COLORREF DesaturateColor(COLORREF color);
// Hue in degrees, saturation and lightness 0..1.
COLORREF HSLToRGB(double hue, double saturation, double lightness);

int MinInt(int a, int b);
int MaxInt(int a, int b);
float MaxFloat(float a, float b);
