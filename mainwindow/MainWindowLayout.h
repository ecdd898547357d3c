// The main window's geometry and text rules as pure functions: the tab
// column, the card flow of the component library, the first-run card, the
// support sheet, the home page's greeting and key hints, and the control
// points of the smooth shapes. Sizes are DIPs.
#pragma once

#include <string>
#include <vector>

namespace MainWindowLayout
{

// Width of the side column: a quarter of the client, at least 40 pixels
// worth of DIPs times the scale, at most 300.
int TabColumnWidth(double clientWidth, double dpiScale);

// Cards of the component library laid out left to right, wrapping when the
// next card would pass the right limit.
class CardFlow
{
public:
    static constexpr int kTop = 128;
    static constexpr int kCardWidth = 300;
    static constexpr int kCardHeight = 200;
    static constexpr int kGap = 28;

    void Init(int left, int rightLimit);
    // The rectangle (x, y) of the next card; moves the cursor on.
    struct Position {
        int x, y, w, h;
    };
    Position Place();

private:
    int left_ = 0;
    int right_ = 0;
    int cursorX_ = 0;
    int cursorY_ = kTop;
};

struct Rect {
    float x, y, w, h;
};

// The first-run card in a client of w x h.
Rect FirstRunCard(float w, float h);
// The support sheet at a slide amount 0..100.
Rect SupportSheet(float w, float h, float slide);

enum class Illustration { Morning, Afternoon, Night };
struct Greeting {
    Illustration illustration;
    const wchar_t* text;
};
// The greeting of a local hour (0..23) for a roll of 1..10 (odd picks the
// first text of the band, even the second).
Greeting GreetingFor(int hour, int roll);

// The key caps of a hotkey text: its parts between "+", empty parts left out.
std::vector<std::wstring> HotKeyCaps(const std::wstring& text);

// Where the pieces of a key-hint line go: the line starts at `left`, each
// cap at capX[i] with width capWidth[i], each "+" at plusX[i], the closing
// text at closingX.
struct KeyHintLine {
    float left;
    std::vector<float> capX;
    std::vector<float> capWidth;
    std::vector<float> plusX;
    float closingX;
};
// p, q, s: measured widths of "按下 ", "+" and the closing text; capText:
// measured widths of the cap labels.
KeyHintLine LayoutKeyHint(float centreX, float p, float q, float s, const std::vector<float>& capText);

struct Point {
    float x, y;
};
struct BezierSegment {
    Point control1, control2, end;
};
// The cubic segments of a smooth curve through the points (n segments when
// closed, n - 1 when open; none for fewer than two points).
std::vector<BezierSegment> SmoothSegments(const std::vector<Point>& points, bool closed, float tension);

} // namespace MainWindowLayout
