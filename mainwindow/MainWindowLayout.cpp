#include "mainwindow/MainWindowLayout.h"

#include <algorithm>

namespace MainWindowLayout
{

int TabColumnWidth(double clientWidth, double dpiScale)
{
    const int quarter = static_cast<int>(clientWidth * 0.25);
    const int least = static_cast<int>(40 * dpiScale);
    return std::min(std::max(quarter, least), 300);
}

void CardFlow::Init(int left, int rightLimit)
{
    left_ = left;
    right_ = rightLimit;
    cursorX_ = left;
    cursorY_ = kTop;
}

CardFlow::Position CardFlow::Place()
{
    if (cursorX_ + kCardWidth > right_ && cursorX_ > left_) {
        cursorX_ = left_;
        cursorY_ += kCardHeight + kGap;
    }
    const Position position{cursorX_, cursorY_, kCardWidth, kCardHeight};
    cursorX_ += kCardWidth + kGap;
    return position;
}

Rect FirstRunCard(float w, float h)
{
    return {std::max(w * 0.25f, 100.0f), std::max(h * 0.25f, 100.0f), std::max(w - w * 0.5f, 200.0f),
            std::max(h - h * 0.5f, 200.0f)};
}

Rect SupportSheet(float w, float h, float slide)
{
    return {w / 10, 200 - 2 * slide, w - w / 5, h};
}

Greeting GreetingFor(int hour, int roll)
{
    const bool odd = roll % 2 != 0;
    if (hour >= 5 && hour <= 8)
        return {Illustration::Morning, odd ? L"清晨的阳光可以收进口袋嘛？" : L"早安！在阳光下等你！"};
    if (hour >= 9 && hour <= 11)
        return {Illustration::Morning, odd ? L"一天的旅行进行时..." : L"阳光正好，欢迎回来！"};
    if (hour >= 12 && hour <= 15)
        return {Illustration::Afternoon, odd ? L"午安！充能时间~" : L"微风抚过的午后。"};
    if (hour >= 16 && hour <= 17)
        return {Illustration::Afternoon, L"微风不燥，下午好呀！"};
    if (hour >= 18 && hour <= 22)
        return {Illustration::Night, odd ? L"月亮的见面礼！" : L"轻柔的晚风。"};
    return {Illustration::Night, odd ? L"叮！遇到一只夜猫子！" : L"今天辛苦啦！"};
}

std::vector<std::wstring> HotKeyCaps(const std::wstring& text)
{
    std::vector<std::wstring> caps;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t plus = text.find(L'+', start);
        const size_t end = plus == std::wstring::npos ? text.size() : plus;
        if (end > start)
            caps.push_back(text.substr(start, end - start));
        if (plus == std::wstring::npos)
            break;
        start = plus + 1;
    }
    return caps;
}

KeyHintLine LayoutKeyHint(float centreX, float p, float q, float s, const std::vector<float>& capText)
{
    KeyHintLine line{};
    float capsWidth = 0;
    for (float width : capText) {
        line.capWidth.push_back(width + 10);
        capsWidth += width + 10;
    }
    const float count = static_cast<float>(capText.size());
    const float total = (count - 1) * (q + 8) + capsWidth + (p + 4) + 4 + s;
    line.left = centreX - total / 2;
    float pen = line.left + p + 4;
    for (size_t i = 0; i < line.capWidth.size(); ++i) {
        if (i > 0) {
            line.plusX.push_back(pen);
            pen += q + 4;
        }
        line.capX.push_back(pen);
        pen += line.capWidth[i] + 4;
    }
    line.closingX = pen;
    return line;
}

std::vector<BezierSegment> SmoothSegments(const std::vector<Point>& points, bool closed, float tension)
{
    std::vector<BezierSegment> segments;
    const int n = static_cast<int>(points.size());
    if (n < 2)
        return segments;
    // Neighbours of an open curve stop at its ends; a closed one wraps.
    auto at = [&](int i) -> Point {
        if (closed)
            return points[((i % n) + n) % n];
        return points[std::clamp(i, 0, n - 1)];
    };
    const int count = closed ? n : n - 1;
    for (int i = 0; i < count; ++i) {
        const Point p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        segments.push_back({{p1.x + (p2.x - p0.x) * tension, p1.y + (p2.y - p0.y) * tension},
                            {p2.x - (p3.x - p1.x) * tension, p2.y - (p3.y - p1.y) * tension},
                            p2});
    }
    return segments;
}

} // namespace MainWindowLayout
