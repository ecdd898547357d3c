// The main window's geometry and text rules: tab column, card flow,
// first-run card, support sheet, greetings by the hour, key caps and their
// line, and the control points of smooth shapes.
#include <gtest/gtest.h>

#include "mainwindow/MainWindowLayout.h"

namespace
{

using namespace MainWindowLayout;

TEST(TabColumn, QuarterOfTheClientBetweenFortyScaledAndThreeHundred)
{
    EXPECT_EQ(TabColumnWidth(600, 1.0), 150);
    EXPECT_EQ(TabColumnWidth(2000, 1.0), 300);
    EXPECT_EQ(TabColumnWidth(200, 2.0), 80);
    EXPECT_EQ(TabColumnWidth(100, 1.0), 40);
    EXPECT_EQ(TabColumnWidth(1080, 1.0), 270);
    EXPECT_EQ(TabColumnWidth(603, 1.0), 150); // truncated
}

TEST(CardFlowLayout, CardsWrapWhenTheNextWouldPassTheRightLimit)
{
    CardFlow flow;
    flow.Init(310, 1040);
    const auto first = flow.Place();
    EXPECT_EQ(first.x, 310);
    EXPECT_EQ(first.y, 128);
    EXPECT_EQ(first.w, 300);
    EXPECT_EQ(first.h, 200);
    EXPECT_EQ(flow.Place().x, 638);
    const auto third = flow.Place(); // 966 + 300 > 1040
    EXPECT_EQ(third.x, 310);
    EXPECT_EQ(third.y, 128 + 228);

    // A first card never wraps, however narrow the page.
    flow.Init(100, 200);
    const auto only = flow.Place();
    EXPECT_EQ(only.x, 100);
    EXPECT_EQ(only.y, 128);
    EXPECT_EQ(flow.Place().y, 356);
}

TEST(FirstRunCardLayout, SmallWindowsKeepTheMinimumSizeAndTop)
{
    const Rect small = FirstRunCard(460, 330);
    EXPECT_FLOAT_EQ(small.x, 115);
    EXPECT_FLOAT_EQ(small.y, 100);
    EXPECT_FLOAT_EQ(small.w, 230);
    EXPECT_FLOAT_EQ(small.h, 200);
    const Rect usual = FirstRunCard(1080, 720);
    EXPECT_FLOAT_EQ(usual.x, 270);
    EXPECT_FLOAT_EQ(usual.y, 180);
    EXPECT_FLOAT_EQ(usual.w, 540);
    EXPECT_FLOAT_EQ(usual.h, 360);
}

TEST(SupportSheetLayout, SlidesFromTwoHundredToTheTop)
{
    const Rect closed = SupportSheet(800, 600, 0);
    EXPECT_FLOAT_EQ(closed.x, 80);
    EXPECT_FLOAT_EQ(closed.w, 640);
    EXPECT_FLOAT_EQ(closed.y, 200);
    EXPECT_FLOAT_EQ(closed.h, 600);
    EXPECT_FLOAT_EQ(SupportSheet(800, 600, 100).y, 0);
    EXPECT_FLOAT_EQ(SupportSheet(800, 600, 50).y, 100);
}

TEST(Greetings, BandsByTheHourAndTheRoll)
{
    const struct {
        int hour;
        int roll;
        Illustration illustration;
        const wchar_t* text;
    } cases[] = {
        {5, 1, Illustration::Morning, L"清晨的阳光可以收进口袋嘛？"},
        {8, 2, Illustration::Morning, L"早安！在阳光下等你！"},
        {9, 3, Illustration::Morning, L"一天的旅行进行时..."},
        {11, 10, Illustration::Morning, L"阳光正好，欢迎回来！"},
        {12, 7, Illustration::Afternoon, L"午安！充能时间~"},
        {15, 4, Illustration::Afternoon, L"微风抚过的午后。"},
        {16, 1, Illustration::Afternoon, L"微风不燥，下午好呀！"},
        {17, 2, Illustration::Afternoon, L"微风不燥，下午好呀！"},
        {18, 9, Illustration::Night, L"月亮的见面礼！"},
        {22, 6, Illustration::Night, L"轻柔的晚风。"},
        {23, 5, Illustration::Night, L"叮！遇到一只夜猫子！"},
        {0, 8, Illustration::Night, L"今天辛苦啦！"},
        {4, 1, Illustration::Night, L"叮！遇到一只夜猫子！"},
    };
    for (const auto& c : cases) {
        const Greeting greeting = GreetingFor(c.hour, c.roll);
        EXPECT_EQ(greeting.illustration, c.illustration) << c.hour;
        EXPECT_STREQ(greeting.text, c.text) << c.hour << " roll " << c.roll;
    }
}

TEST(KeyCaps, PartsBetweenPlusSignsEmptyOnesLeftOut)
{
    EXPECT_EQ(HotKeyCaps(L"CTRL+SHIFT+K"), (std::vector<std::wstring>{L"CTRL", L"SHIFT", L"K"}));
    EXPECT_EQ(HotKeyCaps(L"ALT+Q"), (std::vector<std::wstring>{L"ALT", L"Q"}));
    EXPECT_EQ(HotKeyCaps(L"F12"), (std::vector<std::wstring>{L"F12"}));
    EXPECT_EQ(HotKeyCaps(L"CTRL+"), (std::vector<std::wstring>{L"CTRL"}));
    EXPECT_TRUE(HotKeyCaps(L"").empty());
}

TEST(KeyHint, LineIsCentredAndCapsFollowTheOpeningText)
{
    // "按下 " 30 wide, "+" 6, closing 60, caps of 20 and 10 (30 and 20 with padding).
    const KeyHintLine line = LayoutKeyHint(500, 30, 6, 60, {20, 10});
    const float total = 1 * (6 + 8) + 50 + (30 + 4) + 4 + 60;
    EXPECT_FLOAT_EQ(line.left, 500 - total / 2);
    ASSERT_EQ(line.capX.size(), 2u);
    EXPECT_FLOAT_EQ(line.capX[0], line.left + 34);
    EXPECT_FLOAT_EQ(line.capWidth[0], 30);
    ASSERT_EQ(line.plusX.size(), 1u);
    EXPECT_FLOAT_EQ(line.plusX[0], line.capX[0] + 34);
    EXPECT_FLOAT_EQ(line.capX[1], line.plusX[0] + 10);
    EXPECT_FLOAT_EQ(line.closingX, line.capX[1] + 24);
    // The closing text ends where the line's width says.
    EXPECT_FLOAT_EQ(line.closingX + 60, line.left + total);
}

TEST(SmoothShapes, SegmentCountsAndStraightTriangleAtTensionZero)
{
    EXPECT_TRUE(SmoothSegments({}, true, 0.2f).empty());
    EXPECT_TRUE(SmoothSegments({{1, 1}}, true, 0.2f).empty());

    const std::vector<Point> triangle{{0, 0}, {10, 0}, {0, 10}};
    const auto closed = SmoothSegments(triangle, true, 0.0f);
    ASSERT_EQ(closed.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const Point& from = triangle[i];
        const Point& to = triangle[(i + 1) % 3];
        EXPECT_FLOAT_EQ(closed[i].control1.x, from.x);
        EXPECT_FLOAT_EQ(closed[i].control1.y, from.y);
        EXPECT_FLOAT_EQ(closed[i].control2.x, to.x);
        EXPECT_FLOAT_EQ(closed[i].end.y, to.y);
    }

    // Open: n - 1 segments; the ends take themselves as outer neighbours.
    const auto open = SmoothSegments(triangle, false, 0.25f);
    ASSERT_EQ(open.size(), 2u);
    EXPECT_FLOAT_EQ(open[0].control1.x, 0 + (10 - 0) * 0.25f);
    EXPECT_FLOAT_EQ(open[0].control1.y, 0);
    EXPECT_FLOAT_EQ(open[1].control2.x, 0 - (0 - 10) * 0.25f);
    EXPECT_FLOAT_EQ(open[1].control2.y, 10 - (10 - 0) * 0.25f);
    // Closed: the first segment's previous point is the last point.
    const auto wrapped = SmoothSegments(triangle, true, 0.25f);
    EXPECT_FLOAT_EQ(wrapped[0].control1.x, 0 + (10 - 0) * 0.25f);
    EXPECT_FLOAT_EQ(wrapped[0].control1.y, 0 + (0 - 10) * 0.25f);
}

} // namespace

#include "mainwindow/WebPages.h"

namespace
{

TEST(WebPages, FixedPathsQueryAndSectionOnTheOneHost)
{
    const std::wstring host = kMakerSite;
    EXPECT_EQ(AgreementPageUrl(L"/agreement/privacy.html").rfind(host, 0), 0u);
    EXPECT_TRUE(AgreementPageUrl(L"/agreement/privacy.html").ends_with(L"/agreement/privacy.html"));
    EXPECT_EQ(UpdatePageUrl(), host + L"/index.html?ver=522");
    EXPECT_EQ(CommunityPageUrl(), host + L"/index.html#together");
}

} // namespace
