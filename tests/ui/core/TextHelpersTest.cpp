#include <gtest/gtest.h>

#include "ui/core/TextHelpers.h"

TEST(ReplaceAll, ReplacesEveryOccurrenceAndEnds)
{
    std::wstring text = L"aaa";
    ReplaceAll(text, L"a", L"aa");
    EXPECT_EQ(text, L"aaaaaa");
    text = L"C:\\\\a\\\\b";
    ReplaceAll(text, L"\\\\", L"\\");
    EXPECT_EQ(text, L"C:\\a\\b");
    text = L"abc";
    ReplaceAll(text, L"abcd", L"x");
    EXPECT_EQ(text, L"abc");
    ReplaceAll(text, L"", L"x"); // an empty pattern changes nothing
    EXPECT_EQ(text, L"abc");
    ReplaceAll(text, L"b", L"");
    EXPECT_EQ(text, L"ac");
}

TEST(RandomHexString, AlwaysHoldsALetter)
{
    for (int i = 0; i < 200; ++i) {
        const std::wstring one = RandomHexString(1);
        ASSERT_EQ(one.size(), 1u);
        ASSERT_TRUE(one[0] >= L'a' && one[0] <= L'f');
        const std::wstring six = RandomHexString(6);
        ASSERT_EQ(six.size(), 6u);
        ASSERT_EQ(six.find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
        ASSERT_NE(six.find_first_of(L"abcdef"), std::wstring::npos);
    }
    EXPECT_EQ(RandomHexString(0), L"");
    EXPECT_EQ(RandomHexString(-3), L"");
}
