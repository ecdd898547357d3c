#include "mainwindow/HomePage.h"

#include <cmath>
#include <string>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "mainwindow/MainWindowDrawing.h"
#include "mainwindow/MainWindowLayout.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/ThemeColors.h"

using MainWindowLayout::Illustration;

namespace
{

constexpr COLORREF kMorningColour = RGB(0xFF, 0xA5, 0x00);
constexpr COLORREF kAfternoonColour = RGB(0xFF, 0xD7, 0x00);
constexpr COLORREF kNightColour = RGB(0x52, 0x79, 0xFB);
constexpr float kStrokeWidth = 3.5f;

using Points = std::vector<D2D1_POINT_2F>;

// Points on an arc about (cx, cy); angles in degrees, 0 to the right,
// growing clockwise on screen.
Points Arc(float cx, float cy, float radius, float from, float to, int count)
{
    Points points;
    for (int i = 0; i < count; ++i) {
        const float degrees = from + (to - from) * static_cast<float>(i) / static_cast<float>(count - 1);
        const float radians = degrees * 3.14159265f / 180.0f;
        points.push_back({cx + radius * std::cos(radians), cy + radius * std::sin(radians)});
    }
    return points;
}

// A four-pointed star of the night sky.
Points Star(float cx, float cy, float outer, float inner)
{
    Points points;
    for (int i = 0; i < 8; ++i) {
        const float radius = i % 2 == 0 ? outer : inner;
        const float radians = (static_cast<float>(i) * 45.0f - 90.0f) * 3.14159265f / 180.0f;
        points.push_back({cx + radius * std::cos(radians), cy + radius * std::sin(radians)});
    }
    return points;
}

void Body(ID2D1RenderTarget* target, const Points& points, COLORREF colour)
{
    DrawSmoothPolygon(target, points, colour, 1.0f, kStrokeWidth, colour, 1.0f, false, true, 0.15f);
}

void Stroke(ID2D1RenderTarget* target, const Points& points, COLORREF colour)
{
    DrawSmoothPolygon(target, points, colour, 1.0f, kStrokeWidth, colour, 1.0f, true, false, 0.25f);
}

// A sun half over the horizon, with three rays.
void DrawMorning(ID2D1RenderTarget* target, float cx, float cy)
{
    Points sun = Arc(cx, cy + 12, 26, 180, 360, 9);
    Body(target, sun, kMorningColour);
    Stroke(target, {{cx - 44, cy + 4}, {cx - 34, cy - 2}}, kMorningColour);
    Stroke(target, {{cx, cy - 24}, {cx, cy - 36}}, kMorningColour);
    Stroke(target, {{cx + 34, cy - 2}, {cx + 44, cy + 4}}, kMorningColour);
}

// A full sun with eight rays.
void DrawAfternoon(ID2D1RenderTarget* target, float cx, float cy)
{
    Body(target, Arc(cx, cy, 18, 0, 330, 12), kAfternoonColour);
    for (int i = 0; i < 8; ++i) {
        const float radians = static_cast<float>(i) * 45.0f * 3.14159265f / 180.0f;
        const float dx = std::cos(radians), dy = std::sin(radians);
        Stroke(target, {{cx + 27 * dx, cy + 27 * dy}, {cx + 38 * dx, cy + 38 * dy}}, kAfternoonColour);
    }
}

// A tilted crescent moon and two stars.
void DrawNight(ID2D1RenderTarget* target, float cx, float cy)
{
    Points moon = Arc(cx, cy, 30, -110, 110, 9);
    Points inner = Arc(cx - 14, cy, 24, 95, -95, 7);
    moon.insert(moon.end(), inner.begin() + 1, inner.end() - 1);
    RotatePoints(moon, cx, cy, -25.0f);
    Body(target, moon, kNightColour);
    Body(target, Star(cx + 30, cy - 30, 9, 3), kNightColour);
    Points second = Star(cx, cy, 6, 2);
    TranslatePoints(second, 38, 14);
    Body(target, second, kNightColour);
}

// "按下 " + caps joined by "+" + the closing text, centred on cx.
void DrawKeyHint(HWND window, ID2D1RenderTarget* target, float cx, float top, const std::vector<std::wstring>& caps,
                 const wchar_t* closing)
{
    const wchar_t kOpening[] = L"按下 ";
    const float size = 12.0f;
    std::vector<float> capText;
    for (const std::wstring& cap : caps)
        capText.push_back(static_cast<float>(MeasureTextWidth(window, cap, size)));
    const float p = static_cast<float>(MeasureTextWidth(window, kOpening, size));
    const float q = static_cast<float>(MeasureTextWidth(window, L"+", size));
    const float s = static_cast<float>(MeasureTextWidth(window, closing, size));
    const auto line = MainWindowLayout::LayoutKeyHint(cx, p, q, s, capText);
    const COLORREF text = ThemeTextColor.Ref();
    auto drawText = [&](float x, const wchar_t* what, float width) {
        DrawTextInRect(target, x, top, width + 20, 24, what, size, text, L"Segoe UI", 0.5f, false);
    };
    drawText(line.left, kOpening, p);
    for (size_t i = 0; i < caps.size(); ++i) {
        if (i > 0)
            drawText(line.plusX[i - 1], L"+", q);
        DrawKeyCap(target, line.capX[i], top + 3, line.capWidth[i], 20, ThemeShade30.Ref(), 4, caps[i].c_str());
    }
    drawText(line.closingX, closing, s);
}

} // namespace

void DrawHomeIllustration(ID2D1RenderTarget* target, Illustration illustration, float cx, float cy)
{
    switch (illustration) {
    case Illustration::Morning:
        DrawMorning(target, cx, cy);
        break;
    case Illustration::Afternoon:
        DrawAfternoon(target, cx, cy);
        break;
    case Illustration::Night:
        DrawNight(target, cx, cy);
        break;
    }
}

void DrawHomePage(HWND window, ID2D1HwndRenderTarget* target, int tabWidth, float w, float h)
{
    // Drawn once per process: the greeting changes only with the hour.
    static const int roll = RandomInt();
    const COLORREF text = ThemeTextColor.Ref();
    const float tw = static_cast<float>(tabWidth);
    DrawTextSemibold(target, tw + 40, 50, 200, 40, L"主页", 24, text, L"Segoe UI", 1.0f, false);

    const float cx = (w - tw) * 0.5f + tw;
    const float cy = h * 0.5f - 60;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const auto greeting = MainWindowLayout::GreetingFor(now.wHour, roll);
    DrawHomeIllustration(target, greeting.illustration, cx, cy);
    DrawTextSemibold(target, cx - 150, cy + 50, 300, 40, greeting.text, 24, text, L"Segoe UI", 1.0f, true);

    // The stored text, not the registered hotkey: a text the system refused
    // is still what the user chose.
    const std::wstring quickPanelKey = s_appStore[L"TessikRef"][L"QuickPanelHotKey"].Get<std::wstring>(L"CTRL+SHIFT+K");
    DrawKeyHint(window, target, cx, cy + 125, MainWindowLayout::HotKeyCaps(quickPanelKey), L" 启动快速面板");
    DrawKeyHint(window, target, cx, cy + 160, {L"ALT", L"H"}, L" 查看帮助");
}
