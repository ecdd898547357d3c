#include <gtest/gtest.h>

#include "box/icons/WildcardMatch.h"

TEST(WildcardMatchNoCase, MatchesWholeTextsIgnoringCase)
{
    struct Case {
        const wchar_t* pattern;
        const wchar_t* text;
        bool match;
    };
    const Case cases[] = {
        {L"*.TXT", L"notes.txt", true},
        {L"a?c", L"ABC", true},
        {L"*", L"", true},
        {L"", L"", true},
        {L"a*", L"", false},
        {L"abc", L"abcd", false},
        {L"*b*", L"aXbY", true},
        {L"*.txt", L"a.txt.doc", false},
        {L"a*b*c", L"aXXbYYbc", true},
        {L"?", L"", false},
        {L"**", L"x", true},
        {L"报告*", L"报告2024.docx", true},
        {L"*rep*", L"Report.docx", true},
        {L"*rep*", L"prep.txt", true},
        {L"*rep*", L"other.txt", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatchNoCase(c.pattern, c.text), c.match) << c.pattern << L" / " << c.text;
}
