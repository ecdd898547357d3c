// The multi-line edit box: the preview's formatting and the line rules as
// tables, and line-wise editing through key events.
#include <gtest/gtest.h>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmMarkdownEdit.h"
#include "ui/controls/MarkdownRules.h"

namespace
{

using MarkdownRules::Style;

std::wstring Describe(const MarkdownRules::Preview& preview)
{
    std::wstring out;
    const wchar_t* names[] = {L"size", L"bold", L"italic", L"underline", L"strike", L"code"};
    for (const auto& f : preview.formats) {
        out += names[static_cast<int>(f.style)];
        out += L"(" + std::to_wstring(f.start) + L"," + std::to_wstring(f.length);
        if (f.style == Style::Size)
            out += L"," + std::to_wstring(static_cast<int>(f.size * 10));
        out += L") ";
    }
    for (const auto& q : preview.quotes)
        out += L"quote(" + std::to_wstring(q.start) + L"," + std::to_wstring(q.length) + L") ";
    for (const auto& r : preview.rules)
        out += L"rule(" + std::to_wstring(r.start) + L"," + std::to_wstring(r.length) + L") ";
    return out;
}

TEST(MarkdownPreview, FormatsLinesAndShrinksTheirMarkers)
{
    const struct {
        const wchar_t* text;
        const wchar_t* expected; // sizes in tenths
    } cases[] = {
        {L"# Hi", L"size(0,4,240) bold(0,4) size(0,2,1) "},
        {L"###### Hi", L"size(0,9,120) bold(0,9) size(0,7,1) "},
        {L"####### Hi", L""},
        {L"--", L""},
        {L"- - -", L"size(0,5,1) rule(0,5) "},
        {L"> note", L"italic(0,6) size(0,2,1) quote(0,6) "},
        {L"a ~~b~~ __c__", L"strike(2,5) size(2,2,1) size(5,2,1) underline(8,5) size(8,2,1) size(11,2,1) "},
        {L"**b** `c`", L"bold(0,5) size(0,2,1) size(3,2,1) code(6,3) size(6,1,1) size(8,1,1) "},
        // An unclosed pair: its two stars make an empty italic span instead.
        {L"**b", L"italic(0,2) size(0,1,1) size(1,1,1) "},
        // Spans never reach over a line break.
        {L"*a\nb*", L""},
        {L"x\n# y", L"size(2,3,240) bold(2,3) size(2,2,1) "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Describe(MarkdownRules::FormatPreview(c.text, 12.0f)), c.expected) << c.text;
}

TEST(MarkdownLines, LinesWordsAndClipboardBreaks)
{
    const std::wstring text = L"ab cd\nef  gh";
    EXPECT_EQ(MarkdownRules::LineStart(text, 4), 0);
    EXPECT_EQ(MarkdownRules::LineStart(text, 6), 6);
    EXPECT_EQ(MarkdownRules::LineStart(L"", 0), 0);
    EXPECT_EQ(MarkdownRules::LineEnd(text, 1), 5);
    EXPECT_EQ(MarkdownRules::LineEnd(text, 7), 12);
    EXPECT_EQ(MarkdownRules::WordBoundary(text, 0, 1), 3);
    EXPECT_EQ(MarkdownRules::WordBoundary(text, 3, 1), 5); // stops before the line break
    EXPECT_EQ(MarkdownRules::WordBoundary(text, 10, -1), 6);
    EXPECT_EQ(MarkdownRules::WordBoundary(text, 6, -1), 3);

    // Up and Down keep the column where DirectWrite cannot hit-test.
    EXPECT_EQ(MarkdownRules::MoveByColumn(text, 10, -1), 4);
    EXPECT_EQ(MarkdownRules::MoveByColumn(text, 4, 1), 10);
    EXPECT_EQ(MarkdownRules::MoveByColumn(L"abcdef\nab", 5, 1), 9);
    EXPECT_EQ(MarkdownRules::MoveByColumn(text, 2, -1), 2);
    EXPECT_EQ(MarkdownRules::MoveByColumn(text, 8, 1), 8);

    EXPECT_EQ(MarkdownRules::ToClipboardText(L"a\nb\r\nc\r"), L"a\r\nb\r\nc");
    EXPECT_EQ(MarkdownRules::FromClipboardText(L"a\r\nb\rc\n"), L"a\nb\nc\n");
}

class MarkdownEditKeys : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ControlTestWindow::PrepareGraphics());
        edit.Set(
            0, 0, 10, 10, L"", [this](std::wstring text) { entered.push_back(text); }, nullptr, RGB(255, 255, 255), 0);
    }
    void Type(const std::wstring& text)
    {
        for (wchar_t c : text)
            edit.OnKeyEvent({0, 0}, Brevin::KELM_CHAR, c);
    }
    void Key(UINT key) { edit.OnKeyEvent({0, 0}, Brevin::KELM_KEY_DOWN, key); }

    ScaleGuard scale;
    KelmMarkdownEdit edit;
    std::vector<std::wstring> entered;
};

TEST_F(MarkdownEditKeys, EnterBreaksTheLineAndHomeEndUpDownWorkByLines)
{
    EXPECT_EQ(edit.GetRect().w, KelmMarkdownEdit::kSize);
    Type(L"aaa");
    Key(VK_RETURN);
    EXPECT_EQ(entered, std::vector<std::wstring>{L"aaa\n"});
    Type(L"aaa");
    Type(L"\t"); // control characters are not typed
    EXPECT_EQ(edit.GetText(), L"aaa\naaa");

    Key(VK_HOME);
    EXPECT_EQ(edit.GetCaret(), 4);
    Key(VK_END);
    EXPECT_EQ(edit.GetCaret(), 7);
    Key(VK_UP);
    EXPECT_EQ(edit.GetCaret(), 3);
    Key(VK_UP); // above the first line: stays on it at the same x
    EXPECT_EQ(edit.GetCaret(), 3);
    Key(VK_DOWN);
    EXPECT_EQ(edit.GetCaret(), 7);

    Key(VK_HOME);
    Key(VK_BACK); // joins the lines
    EXPECT_EQ(edit.GetText(), L"aaaaaa");
    EXPECT_EQ(edit.GetCaret(), 3);
    EXPECT_EQ(edit.GetAnchor(), 3);
}

} // namespace
