// The rules of a box's paint: scrolling and the pull-down search, icon
// levels, content height, search patterns, title sizes, fold glyphs, file
// tooltip texts, rubber-band cells and the render-style choices.
#include <gtest/gtest.h>

#include "box/BoxPaintRules.h"

using namespace BoxPaintRules;

TEST(BoxPaintRules, WheelScrollsAndPullsDownTheSearchRow)
{
    const struct {
        int offset, searchOffset, d;
        bool open, editEmpty;
        int wantOffset, wantSearch;
    } cases[] = {
        {0, 0, 30, false, true, 30, 0},    // content up
        {100, 0, -150, false, true, 0, 0}, // a big turn stops at the top
        {3, 0, -30, false, true, -27, 0},  // a small turn at the top pulls down
        {0, 0, -45, false, true, 0, 0},    // 45 is no small turn
        {-20, 0, -30, false, true, -50, 0},  {-20, 0, 10, false, true, -10, 0},
        {-50, 10, 30, true, false, -50, 40}, // the search view scrolls
        {-50, 10, -30, true, false, -50, 0}, // never below 0
        {-50, 10, 45, true, true, -5, 0},    // an empty search moves the content
    };
    for (const auto& c : cases) {
        ScrollState s{c.offset, c.searchOffset};
        ApplyWheel(s, c.d, c.open, c.editEmpty);
        EXPECT_EQ(s.scrollOffset, c.wantOffset) << c.offset << " " << c.d;
        EXPECT_EQ(s.searchScrollOffset, c.wantSearch) << c.offset << " " << c.d;
    }
}

TEST(BoxPaintRules, IconLevelStaysWithinOneToSeven)
{
    EXPECT_EQ(IconLevelAfterWheel(3, -30), 4);
    EXPECT_EQ(IconLevelAfterWheel(3, 30), 2);
    EXPECT_EQ(IconLevelAfterWheel(7, -30), 7);
    EXPECT_EQ(IconLevelAfterWheel(1, 30), 1);
    EXPECT_EQ(IconLevelAfterWheel(5, 0), 5);
}

TEST(BoxPaintRules, ContentHeightAndScrollClamp)
{
    EXPECT_EQ(ContentHeight(0, 0, 0, 48), 0);
    EXPECT_EQ(ContentHeight(1, 70, 70, 48), 168);
    EXPECT_EQ(ContentHeight(9, 70, 470, 64), 584);
    EXPECT_EQ(ClampScrollOffset(-100, 0), -60);
    EXPECT_EQ(ClampScrollOffset(500, 120), 120);
    EXPECT_EQ(ClampScrollOffset(40, 0), 0);
    EXPECT_EQ(ClampScrollOffset(-50, 300), -50);
}

TEST(BoxPaintRules, SearchPatternsAndTitleTag)
{
    EXPECT_EQ(SearchPattern(L"doc"), L"*doc*");
    EXPECT_EQ(SearchPattern(L"*.txt"), L"*.txt");
    EXPECT_EQ(SearchPattern(L"a?c"), L"a?c");
    EXPECT_EQ(TitleWidthEstimate(L""), 50);
    EXPECT_EQ(TitleWidthEstimate(L"Documents"), 108);
    EXPECT_EQ(TitleWidthEstimate(L"文档资料"), 64);
    EXPECT_EQ(TitleWidthEstimate(L"ab"), 50);
    EXPECT_EQ(GroupTagText(L"A", false).substr(0, 6), L"A<映射模式");
    EXPECT_EQ(GroupTagText(L"A", true).substr(0, 6), L"A<同步模式");
    EXPECT_EQ(TitleInset(1, 400), 8);
    EXPECT_EQ(TitleInset(2, 400), 10);
    EXPECT_EQ(TitleInset(0, 400), 0);
    EXPECT_EQ(TitleInset(2, 40), 0);
}

TEST(BoxPaintRules, FoldGlyphByStateAndDirection)
{
    EXPECT_STREQ(FoldGlyphName(true, true, true), L"win-extend");
    EXPECT_STREQ(FoldGlyphName(false, false, false), L"win-fold-test");
    EXPECT_STREQ(FoldGlyphName(false, true, false), L"win-extend");
    EXPECT_STREQ(FoldGlyphName(false, false, true), L"win-extend");
    EXPECT_STREQ(FoldGlyphName(false, true, true), L"win-fold");
}

TEST(BoxPaintRules, FileTooltipTexts)
{
    EXPECT_EQ(FileSizeText(0, false), L"0 B");
    EXPECT_EQ(FileSizeText(1023, false), L"1023 B");
    EXPECT_EQ(FileSizeText(1024, false), L"1 KB");
    EXPECT_EQ(FileSizeText(1048575, false), L"1023 KB");
    EXPECT_EQ(FileSizeText(1048576, false), L"1.00 MB");
    EXPECT_EQ(FileSizeText(1610612736ull, false), L"1.50 GB");
    EXPECT_EQ(FileSizeText(5, true), L"文件夹");
    EXPECT_STREQ(DateFormatFor(L"0"), L"%m/%d/%Y ");
    EXPECT_STREQ(DateFormatFor(L"1"), L"%d/%m/%Y ");
    EXPECT_STREQ(DateFormatFor(L"2"), L"%Y/%m/%d ");
    EXPECT_STREQ(TimeFormatFor(L"0"), L"%I:%M %p");
    EXPECT_STREQ(TimeFormatFor(L"1"), L"%H:%M");
}

TEST(BoxPaintRules, RubberBandCells)
{
    const Cell plain = IconCell(20, 70, 48, false, 0, 300, false, 3);
    EXPECT_FLOAT_EQ(plain.w, 48);
    EXPECT_FLOAT_EQ(plain.h, 48);
    EXPECT_FLOAT_EQ(IconCell(20, 70, 48, false, 0, 300, false, 9).h, 59);
    EXPECT_FLOAT_EQ(IconCell(20, 70, 48, false, 0, 300, true, 3).w, 108);
    const Cell loose = IconCell(20, 70, 48, false, 2, 300, false, 9);
    EXPECT_FLOAT_EQ(loose.w, 66);
    EXPECT_FLOAT_EQ(loose.h, 70);
    const Cell row = IconCell(20, 70, 48, true, 1, 300, false, 9);
    EXPECT_FLOAT_EQ(row.w, 260);
    EXPECT_FLOAT_EQ(row.h, 36);
    EXPECT_TRUE(Meets(plain, 60, 110, 10, 60)) << "a band drawn up and to the left";
    EXPECT_FALSE(Meets(plain, 69, 0, 100, 60));
}

TEST(BoxPaintRules, RenderStyleChoices)
{
    EXPECT_EQ(ChooseBlurBackdrop(22523), BlurBackdrop::SystemBackdrop);
    EXPECT_EQ(ChooseBlurBackdrop(26100), BlurBackdrop::SystemBackdrop);
    EXPECT_EQ(ChooseBlurBackdrop(22522), BlurBackdrop::AccentPolicy);
    EXPECT_EQ(ChooseBlurBackdrop(22000), BlurBackdrop::AccentPolicy);
    EXPECT_EQ(ChooseBlurBackdrop(19045), BlurBackdrop::AccentPolicy);
    EXPECT_EQ(ChooseBlurBackdrop(std::nullopt), BlurBackdrop::AccentPolicy);

    EXPECT_FLOAT_EQ(BackgroundAlpha(0, 0.3f, true), 1.0f);
    EXPECT_FLOAT_EQ(BackgroundAlpha(1, 0.3f, false), 0.3f);
    EXPECT_FLOAT_EQ(BackgroundAlpha(2, 0.3f, true), 0.3f);
    EXPECT_FLOAT_EQ(BackgroundAlpha(3, 0.3f, true), 0.3f);
    EXPECT_FLOAT_EQ(BackgroundAlpha(2, 0.3f, false), 1.0f) << "no composition: never see-through";
    EXPECT_FLOAT_EQ(BackgroundAlpha(3, 0.0f, false), 1.0f);
    EXPECT_FLOAT_EQ(BackgroundAlpha(7, 0.3f, true), 1.0f) << "an unknown style draws as the default";
    EXPECT_FLOAT_EQ(BackgroundAlpha(-1, 0.3f, true), 1.0f);
}

TEST(BoxPaintRules, EmptyBoxHintsShowUnlessMinimized)
{
    EXPECT_TRUE(ShowsEmptyHints(false, false));
    EXPECT_FALSE(ShowsEmptyHints(false, true));
    EXPECT_FALSE(ShowsEmptyHints(true, false));
}

TEST(BoxPaintRules, TitleFaceByTypeStyleAndState)
{
    using S = TitleShape;
    using B = TitleBlur;
    const struct {
        int type, style;
        float titleAlpha;
        bool locked, searching;
        float viewH;
        S shape;
        B blur;
        float fill, line;
        bool pill;
    } cases[] = {
        {0, 0, 0.4f, false, false, 400, S::Band, B::None, 1.0f, 1.0f, false}, // default: opaque band
        {0, 0, 0.4f, true, false, 400, S::None, B::None, 0, 0, false},        // locked: no face
        {0, 0, 0.4f, true, true, 400, S::Band, B::None, 1.0f, 1.0f, false},   // locked but searching
        {0, 1, 0.4f, false, false, 400, S::Band, B::Downsample, 0.4f, 0.4f, false},
        {0, 1, 0.4f, false, true, 400, S::Band, B::None, 1.0f, 0.4f, false}, // searching: opaque
        {0, 2, 0.4f, false, false, 400, S::Band, B::Gaussian, 0.4f, 0.4f, false},
        {0, 2, 1.0f, false, false, 400, S::Band, B::None, 1.0f, 1.0f, false}, // opaque: no blur
        {0, 3, 0.4f, false, false, 400, S::Band, B::None, 0.4f, 0.4f, false},
        {0, 7, 0.4f, false, false, 400, S::Band, B::None, 1.0f, 0.4f, false}, // unknown style
        {1, 0, 0.4f, false, false, 400, S::Panel, B::None, 0.5f, 0, false},
        {1, 0, 0.4f, true, false, 400, S::Panel, B::None, 0.5f, 0, false}, // shown when locked too
        {2, 2, 0.4f, false, false, 400, S::Panel, B::Gaussian, 0.4f, 0, true},
        {2, 3, 0.8f, false, false, 44, S::FlatBand, B::None, 0.8f, 0, false}, // a low box
        {5, 0, 0.4f, false, false, 400, S::Band, B::None, 1.0f, 1.0f, false}, // unknown type as 0
    };
    for (const auto& c : cases) {
        const TitleFace face = ChooseTitleFace(c.type, c.style, c.titleAlpha, c.locked, c.searching, c.viewH);
        const std::string where = "type " + std::to_string(c.type) + " style " + std::to_string(c.style) +
                                  (c.locked ? " locked" : "") + (c.searching ? " searching" : "") + " h " +
                                  std::to_string(static_cast<int>(c.viewH));
        EXPECT_EQ(face.shape, c.shape) << where;
        EXPECT_EQ(face.blur, c.blur) << where;
        EXPECT_FLOAT_EQ(face.fill, c.fill) << where;
        if (c.shape == S::Band) {
            EXPECT_FLOAT_EQ(face.line, c.line) << where;
        }
        EXPECT_EQ(face.pill, c.pill) << where;
    }
}

TEST(BoxPaintRules, RubberBandStartsBelowOrAboveTheTitleBand)
{
    const struct {
        bool upward, titleShown;
        float x, y;
        bool starts;
    } cases[] = {
        {false, true, 100, 39, false}, {false, true, 100, 40, true},  {false, true, 100, 399, true},
        {true, true, 100, 359, true},  {true, true, 100, 360, false}, {true, true, 100, 0, true},
        {false, false, 100, 5, true},  {true, false, 100, 395, true}, {false, true, 284, 200, false}, // scroll strip
    };
    for (const auto& c : cases) {
        const Cell area = BandStartArea(300, 400, c.upward, c.titleShown);
        EXPECT_EQ(Contains(area, c.x, c.y), c.starts)
            << (c.upward ? "upward " : "") << (c.titleShown ? "title " : "") << c.x << "," << c.y;
    }
}

TEST(BoxPaintRules, ReceiverStaysOutOfTheCancelBand)
{
    const Cell normal = ReceiverRect(300, 400, false, false);
    EXPECT_FLOAT_EQ(normal.y, 40);
    EXPECT_FLOAT_EQ(normal.h, 360);
    EXPECT_FLOAT_EQ(normal.w, 292);
    EXPECT_FLOAT_EQ(ReceiverRect(300, 400, false, true).y, 0);
    const Cell upward = ReceiverRect(300, 400, true, true);
    EXPECT_FLOAT_EQ(upward.y, 40);
    EXPECT_FLOAT_EQ(upward.h, 360);
}
