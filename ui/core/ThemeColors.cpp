#include "ui/core/ThemeColors.h"

#include <algorithm>
#include <cmath>

ThemeRgb ThemeBaseColor{255, 255, 255};
ThemeRgb ThemeAccent{0, 0, 240};
ThemeRgb ThemeShade30{0, 0, 220};
ThemeRgb ThemeTextColor{0, 0, 0};

namespace
{

int Clamp255(int v)
{
    return std::clamp(v, 0, 255);
}

// Moves a channel toward the middle of the range: bright channels darker,
// dark ones lighter.
int ShadeChannel(int c, int d)
{
    return c >= 129 ? c - d : c + d;
}

struct Hsv {
    double h; // sector 0..6
    double s;
    double v; // 0..1
};

Hsv ToHsv(COLORREF color)
{
    const double r = GetRValue(color) / 255.0;
    const double g = GetGValue(color) / 255.0;
    const double b = GetBValue(color) / 255.0;
    const double mx = std::max({r, g, b});
    const double mn = std::min({r, g, b});
    const double d = mx - mn;
    Hsv out{0.0, mx == 0.0 ? 0.0 : d / mx, mx};
    if (d > 0.0) {
        if (mx == r) {
            out.h = (g - b) / d;
            if (out.h < 0)
                out.h += 6.0;
        } else if (mx == g) {
            out.h = (b - r) / d + 2.0;
        } else {
            out.h = (r - g) / d + 4.0;
        }
    }
    return out;
}

// Channels as doubles 0..255, before truncation or rounding.
void FromHsv(const Hsv& hsv, double out[3])
{
    const double c = hsv.s * hsv.v;
    const double x = c * (1.0 - std::fabs(std::fmod(hsv.h, 2.0) - 1.0));
    const double m = hsv.v - c;
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hsv.h) % 6) {
    case 0:
        r = c, g = x, b = 0;
        break;
    case 1:
        r = x, g = c, b = 0;
        break;
    case 2:
        r = 0, g = c, b = x;
        break;
    case 3:
        r = 0, g = x, b = c;
        break;
    case 4:
        r = x, g = 0, b = c;
        break;
    default:
        r = c, g = 0, b = x;
        break;
    }
    out[0] = (r + m) * 255.0;
    out[1] = (g + m) * 255.0;
    out[2] = (b + m) * 255.0;
}

COLORREF ScaleSaturation(COLORREF color, double factor, bool round)
{
    Hsv hsv = ToHsv(color);
    hsv.s = std::clamp(hsv.s * factor, 0.0, 1.0);
    double ch[3];
    FromHsv(hsv, ch);
    int v[3];
    for (int i = 0; i < 3; ++i)
        v[i] = std::min(255, static_cast<int>(round ? std::round(ch[i]) : ch[i]));
    return RGB(v[0], v[1], v[2]);
}

COLORREF Lower(COLORREF c, int d)
{
    return RGB(std::max(0, GetRValue(c) - d), std::max(0, GetGValue(c) - d), std::max(0, GetBValue(c) - d));
}

double HueChannel(double p, double q, double t)
{
    if (t < 0)
        t += 1.0;
    if (t > 1)
        t -= 1.0;
    if (t < 1.0 / 6.0)
        return p + (q - p) * 6.0 * t;
    if (t < 0.5)
        return q;
    if (t < 2.0 / 3.0)
        return p + (q - p) * (2.0 / 3.0 - t) * 6.0;
    return p;
}

} // namespace

COLORREF ContrastShiftColor(COLORREF color, int d)
{
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    const int step = r + g + b < 387 ? d : -d;
    return RGB(Clamp255(r + step), Clamp255(g + step), Clamp255(b + step));
}

COLORREF SaturateColor(COLORREF color, int percent)
{
    return ScaleSaturation(color, 1.0 + percent / 100.0, false);
}

COLORREF DesaturateColor(COLORREF color)
{
    return ScaleSaturation(color, 0.95, true);
}

COLORREF AdjustAccent(COLORREF color)
{
    const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
    if (std::abs(g - r) < 10 && std::abs(b - g) < 10 && std::abs(r - b) < 10)
        return color;

    const double mx = std::max({r, g, b}) / 255.0;
    const double mn = std::min({r, g, b}) / 255.0;
    const double hue = (mx - mn < 0.00001) ? 0.0 : ToHsv(color).h * 60.0;

    COLORREF out;
    if ((hue >= 70 && hue <= 120) || (hue >= 200 && hue <= 280))
        out = Lower(SaturateColor(color, 50), 10);
    else if (hue >= 0 && hue <= 30)
        out = Lower(SaturateColor(color, 30), 10);
    else
        out = Lower(DesaturateColor(color), 40);

    // A near-black accent would vanish on dark surfaces.
    if (GetRValue(out) < 40 && GetGValue(out) < 40 && GetBValue(out) < 40)
        out = RGB(std::min(255, GetRValue(out) + 10), std::min(255, GetGValue(out) + 10),
                  std::min(255, GetBValue(out) + 10));
    return out;
}

void UpdateThemeColors()
{
    const ThemeRgb base = ThemeBaseColor;
    const COLORREF shaded10 = RGB(ShadeChannel(base.r, 10), ShadeChannel(base.g, 10), ShadeChannel(base.b, 10));
    const COLORREF accent = AdjustAccent(shaded10);
    ThemeAccent = {GetRValue(accent), GetGValue(accent), GetBValue(accent)};
    ThemeShade30 = {ShadeChannel(base.r, 30), ShadeChannel(base.g, 30), ShadeChannel(base.b, 30)};
    ThemeTextColor = base.r + base.g + base.b >= 384 ? ThemeRgb{20, 20, 20} : ThemeRgb{255, 255, 255};
}

COLORREF HSLToRGB(double hue, double saturation, double lightness)
{
    if (saturation == 0.0) {
        const int grey = static_cast<int>(std::round(lightness * 255.0));
        return RGB(grey, grey, grey);
    }
    const double h = hue / 360.0;
    const double q = lightness < 0.5 ? lightness * (1.0 + saturation) : lightness + saturation - lightness * saturation;
    const double p = 2.0 * lightness - q;
    auto channel = [&](double t) { return std::min(255, static_cast<int>(HueChannel(p, q, t) * 255.0 + 0.5)); };
    return RGB(channel(h + 1.0 / 3.0), channel(h), channel(h - 1.0 / 3.0));
}

int MinInt(int a, int b)
{
    return a < b ? a : b;
}

int MaxInt(int a, int b)
{
    return a > b ? a : b;
}

float MaxFloat(float a, float b)
{
    return a > b ? a : b;
}
