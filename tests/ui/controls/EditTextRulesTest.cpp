// The pure rules of the edit box: character boundaries around surrogate
// pairs, selection ranges, the click rule and the cleaning of pasted text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/controls/EditTextRules.h"

using namespace EditTextRules;

namespace
{

// "x", U+1F600 (two units), "y".
const std::wstring kWithPair = L"x\xD83D\xDE00y";

TEST(EditTextRules, StepsNeverSplitASurrogatePair)
{
    EXPECT_TRUE(IsCharBoundary(kWithPair, 0));
    EXPECT_TRUE(IsCharBoundary(kWithPair, 1));
    EXPECT_FALSE(IsCharBoundary(kWithPair, 2));
    EXPECT_TRUE(IsCharBoundary(kWithPair, 3));
    EXPECT_TRUE(IsCharBoundary(kWithPair, 4));

    struct Step {
        int from;
        int previous;
        int next;
    };
    const Step steps[] = {{0, 0, 1}, {1, 0, 3}, {3, 1, 4}, {4, 3, 4}, {-2, 0, 1}, {9, 3, 4}};
    for (const Step& s : steps) {
        EXPECT_EQ(PreviousCharBoundary(kWithPair, s.from), s.previous) << "from " << s.from;
        EXPECT_EQ(NextCharBoundary(kWithPair, s.from), s.next) << "from " << s.from;
    }
    // A lone surrogate is a character of its own.
    const std::wstring lone = L"a\xD83D";
    EXPECT_EQ(NextCharBoundary(lone, 1), 2);
    EXPECT_EQ(PreviousCharBoundary(lone, 2), 1);
    EXPECT_EQ(NextCharBoundary(L"", 0), 0);
}

TEST(EditTextRules, SelectionRangeIsOrderedAndLimitedToTheText)
{
    struct Case {
        int anchor, end, length, start, count;
    };
    const Case cases[] = {
        {5, 4, 10, 4, 1}, {2, 7, 10, 2, 5}, {3, 3, 10, 3, 0}, {0, 99, 5, 0, 5}, {8, 12, 5, 5, 0}, {-3, 2, 5, 0, 5},
    };
    for (const Case& c : cases) {
        const Range r = SelectionRange(c.anchor, c.end, c.length);
        EXPECT_EQ(r.start, c.start) << c.anchor << "," << c.end;
        EXPECT_EQ(r.count, c.count) << c.anchor << "," << c.end;
    }
}

TEST(EditTextRules, ClickGoesToTheNearerBoundaryAndHalfwayToTheLaterOne)
{
    // Every unit 10 wide.
    auto even = [](int units) { return units * 10.0f; };
    struct Case {
        float offset;
        int index;
    };
    const Case cases[] = {{-5.0f, 0}, {0.0f, 0},  {4.0f, 0},  {5.0f, 1},  {6.0f, 1},
                          {14.9f, 1}, {15.0f, 2}, {39.0f, 4}, {400.0f, 4}};
    for (const Case& c : cases)
        EXPECT_EQ(HitTestIndex(L"abcd", c.offset, even), c.index) << "offset " << c.offset;
    EXPECT_EQ(HitTestIndex(L"", 30.0f, even), 0);

    // The pair is one 20-wide character: no click lands between its halves.
    std::vector<int> asked;
    auto withPair = [&](int units) {
        asked.push_back(units);
        const float widths[] = {0, 10, 20, 30, 40};
        return widths[units];
    };
    EXPECT_EQ(HitTestIndex(kWithPair, 19.0f, withPair), 1);
    EXPECT_EQ(HitTestIndex(kWithPair, 20.0f, withPair), 3);
    EXPECT_EQ(HitTestIndex(kWithPair, 21.0f, withPair), 3);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), 2), 0);
}

TEST(EditTextRules, PastedTextLosesLineBreaksAndControlsAndStaysInItsBlock)
{
    struct Case {
        std::wstring data;
        size_t maxUnits;
        std::wstring clean;
    };
    const Case cases[] = {
        {L"a\r\nb", 100, L"ab"},
        {L"名称\t甲\x7F\x0085乙\x2028丙", 100, L"名称甲乙丙"},
        {L"x\xD83D\xDE00y", 100, L"x\xD83D\xDE00y"},
        {std::wstring(L"ab\0cd", 5), 5, L"ab"},
        {L"abcdef", 3, L"abc"}, // no NUL inside the block: its size ends it
        {L"", 0, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CleanSingleLineText(c.data.c_str(), c.maxUnits), c.clean);
    EXPECT_EQ(CleanSingleLineText(nullptr, 10), L"");
    EXPECT_FALSE(IsTypedCharAccepted(L'\r'));
    EXPECT_FALSE(IsTypedCharAccepted(0x7F)); // Ctrl+Backspace
    EXPECT_TRUE(IsTypedCharAccepted(L' '));
    EXPECT_TRUE(IsTypedCharAccepted(L'收'));
}

} // namespace
