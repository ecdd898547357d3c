// Theme cards: the base colour each applies and the text it stores, the
// palette derived at once, and a save that fails being told, not thrown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommonHelpers.h"
#include "app/HotKeySettings.h"
#include "app/KelmStorage.h"
#include "app/UserNotice.h"
#include "mainwindow/ThemeChoice.h"
#include "tests/app/TempFolder.h"
#include "ui/controls/KelmHSLGroup.h"
#include "ui/core/ThemeColors.h"

namespace
{

class ThemeChoiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        s_appStore.Load(temp.File(L"Tessik.kelm"));
        SetSettingsMessageSinkForTesting([this](const std::wstring& text) { messages.push_back(text); });
    }
    void TearDown() override
    {
        SetSettingsMessageSinkForTesting(nullptr);
        ThemeBaseColor = ThemeRgb{255, 255, 255};
        UpdateThemeColors();
    }
    const ThemeCard& Card(const wchar_t* label)
    {
        for (const ThemeCard& card : kThemeCards) {
            if (std::wstring(card.label) == label)
                return card;
        }
        throw std::runtime_error("no such card");
    }
    std::wstring StoredText()
    {
        KelmStorage again;
        again.Load(temp.File(L"Tessik.kelm"));
        return again[L"TessikRef"][L"themeBaseColor"].Get<std::wstring>(L"none");
    }

    TempFolder temp;
    std::vector<std::wstring> messages;
};

TEST_F(ThemeChoiceTest, EachCardStoresItsBaseColourNotItsFill)
{
    const struct {
        const wchar_t* label;
        const wchar_t* stored;
    } cases[] = {
        {L"Light", L"#FFFFFF"},  {L"Dark", L"#0A0A0A"}, {L"Milk Tea", L"#F0E7CC"}, {L"Mint", L"#F1FFF0"},
        {L"Matcha", L"#CDD4B1"}, {L"Nord", L"#CADAE5"}, {L"Rosy", L"#FFD6CA"},     {L"Taro Paste", L"#ECE7FD"},
    };
    for (const auto& c : cases) {
        ApplyThemeSwatch(Card(c.label));
        EXPECT_EQ(StoredText(), c.stored) << c.label;
        EXPECT_EQ(ColorToHex(ThemeBaseColor.Ref()), c.stored);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(ThemeChoiceTest, DarkThemeTurnsTheTextLight)
{
    ApplyThemeSwatch(Card(L"Dark"));
    EXPECT_EQ(ThemeBaseColor.Ref(), RGB(10, 10, 10));
    EXPECT_EQ(ThemeTextColor.Ref(), RGB(255, 255, 255));
    ApplyThemeSwatch(Card(L"Light"));
    EXPECT_EQ(ThemeTextColor.Ref(), RGB(20, 20, 20));
}

TEST_F(ThemeChoiceTest, CustomColourTakesThePickersColour)
{
    s_customThemePicker->colour = RGB(0x12, 0x34, 0x56);
    ApplyCustomThemeColor();
    EXPECT_EQ(ThemeBaseColor.Ref(), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(StoredText(), L"#123456");
}

TEST_F(ThemeChoiceTest, AFailedSaveStillAppliesTheThemeAndTellsTheUser)
{
    s_appStore.Load(temp.File(L"gone\\Tessik.kelm"));
    EXPECT_NO_THROW(ApplyThemeSwatch(Card(L"Nord")));
    EXPECT_EQ(ThemeBaseColor.Ref(), RGB(202, 218, 229));
    // The change is kept and retried; the store itself tells what and why.
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(s_appStore.HasUnsavedChanges());
    EXPECT_NE(LastNoticeText(L"store-save").find(L"程序设置"), std::wstring::npos);
}

} // namespace
