#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/GlobalHotKeys.h"
#include "ui/controls/KelmHotKey.h"

namespace
{

using Brevin::KELM_KEY_DOWN;
using Brevin::KELM_KEY_UP;

// Presses the keys in order, then releases them all.
void Type(KelmHotKey& box, const std::vector<UINT>& keys)
{
    for (UINT key : keys)
        box.OnKeyEvent({0, 0}, KELM_KEY_DOWN, key);
    for (UINT key : keys)
        box.OnKeyEvent({0, 0}, KELM_KEY_UP, key);
}

struct Case {
    std::vector<UINT> keys;
    std::wstring text;
    int valid;
};

} // namespace

TEST(HotKeyBox, CapturesCombinationsAndMarksInvalidOnes)
{
    const Case cases[] = {
        {{VK_CONTROL, VK_SHIFT, 'K'}, L"CTRL+SHIFT+K", 1},
        {{VK_MENU, VK_RETURN}, L"ALT+ENTER", 1},
        {{VK_CONTROL, '7'}, L"CTRL+7", 1},
        {{VK_CONTROL}, L"CTRL", 0},
        {{'K'}, L"K", 0},
        {{VK_CONTROL, VK_SHIFT}, L"CTRL+SHIFT", 0},
        // Two main keys: the text shows them, but it is no hotkey.
        {{VK_CONTROL, 'K', VK_RETURN}, L"CTRL+K+ENTER", 0},
        // A second letter while the first is held is ignored.
        {{VK_CONTROL, 'A', 'B'}, L"CTRL+A", 1},
        // Function keys, arrows and the Windows key are not collected.
        {{VK_CONTROL, VK_F5, VK_LEFT, VK_LWIN, 'Q'}, L"CTRL+Q", 1},
    };
    for (const Case& c : cases) {
        KelmHotKey box;
        Type(box, c.keys);
        EXPECT_EQ(box.keyText, c.text);
        EXPECT_EQ(box.valid, c.valid) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(box.HasCapturedCombination(), c.valid == 1);
    }
}

TEST(HotKeyBox, AutoRepeatAddsAHeldKeyOnce)
{
    KelmHotKey box;
    for (int i = 0; i < 5; ++i)
        box.OnKeyEvent({0, 0}, KELM_KEY_DOWN, VK_CONTROL);
    box.OnKeyEvent({0, 0}, KELM_KEY_DOWN, 'L');
    box.OnKeyEvent({0, 0}, KELM_KEY_DOWN, 'L');
    box.OnKeyEvent({0, 0}, KELM_KEY_UP, 'L');
    EXPECT_EQ(box.keys, (std::vector<std::wstring>{L"CTRL", L"L"}));
    EXPECT_EQ(box.keyText, L"CTRL+L");
}

TEST(HotKeyBox, FirstKeyAfterAReleaseStartsOver)
{
    KelmHotKey box;
    Type(box, {VK_CONTROL, 'K'});
    Type(box, {VK_MENU, 'P'});
    EXPECT_EQ(box.keyText, L"ALT+P");
    EXPECT_EQ(box.valid, 1);
    // A key with nothing collected keeps the last text until a key is added.
    box.OnKeyEvent({0, 0}, KELM_KEY_DOWN, VK_F5);
    box.OnKeyEvent({0, 0}, KELM_KEY_UP, VK_F5);
    EXPECT_EQ(box.keyText, L"ALT+P");
    EXPECT_EQ(box.valid, 0);
}

TEST(HotKeyBox, ClickClearsTheBoxAndTellsTheOwner)
{
    KelmHotKey box;
    int changes = 0;
    box.Set(
        10, 20, 999, 999, L"ignored", [&] { ++changes; }, 0xEEEEEE, 40, 0x141414);
    EXPECT_EQ(box.w, KelmHotKey::kWidth);
    EXPECT_EQ(box.h, KelmHotKey::kHeight);
    Type(box, {VK_CONTROL, VK_SHIFT, 'K'});
    box.AddEvent({0, 0}, Brevin::KELM_LBUTTON_DOWN);
    box.AddEvent({0, 0}, Brevin::KELM_LBUTTON_UP);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(box.keyText.empty());
    EXPECT_FALSE(box.HasCapturedCombination());
    // Keys typed after the click never yield a text that begins with "+".
    box.OnKeyEvent({0, 0}, KELM_KEY_DOWN, VK_CONTROL);
    box.OnKeyEvent({0, 0}, KELM_KEY_DOWN, 'J');
    box.OnKeyEvent({0, 0}, KELM_KEY_UP, 'J');
    EXPECT_EQ(box.keyText, L"CTRL+J");
}

TEST(HotKeyBox, PaintShowsTheTextAndRedWhileInvalid)
{
    KelmHotKey box;
    box.Set(
        0, 0, 0, 0, nullptr, [] {}, 0xEEEEEE, 15, 0);
    box.CreateCtl(nullptr, nullptr);
    EXPECT_EQ(box.shownText, KelmHotKey::kPlaceholder);
    EXPECT_EQ(box.fill, 0xEEEEEEu);

    Type(box, {VK_SHIFT});
    box.CreateCtl(nullptr, nullptr);
    EXPECT_EQ(box.shownText, L"SHIFT");
    EXPECT_EQ(box.fill, KelmHotKey::kInvalidFill);
    // The owner's Set on the next paint restores the face and placeholder.
    box.Set(
        0, 0, 0, 0, nullptr, [] {}, 0xEEEEEE, 15, 0);
    EXPECT_EQ(box.fill, 0xEEEEEEu);
    EXPECT_EQ(box.shownText, KelmHotKey::kPlaceholder);
    // An empty text is never shown as invalid.
    box.AddEvent({0, 0}, Brevin::KELM_LBUTTON_UP);
    box.CreateCtl(nullptr, nullptr);
    EXPECT_EQ(box.valid, 1);
}

TEST(HotKeyBox, StoredTextsLoadAndRoundTripThroughTheParsers)
{
    KelmHotKey box;
    box.LoadCombination(L"CTRL+SHIFT+L");
    EXPECT_EQ(box.keys, (std::vector<std::wstring>{L"CTRL", L"SHIFT", L"L"}));
    EXPECT_EQ(box.keyText, L"CTRL+SHIFT+L");
    EXPECT_EQ(box.valid, 1);
    box.LoadCombination(L"K");
    EXPECT_EQ(box.valid, 0);

    // What the box captures is what the registration reads.
    struct RoundTrip {
        std::vector<UINT> keys;
        std::optional<HotKeyCombination> quickPanel;
        std::optional<HotKeyCombination> visibility;
    };
    const RoundTrip trips[] = {
        {{VK_CONTROL, VK_SHIFT, 'K'},
         HotKeyCombination{MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, 'K'},
         HotKeyCombination{MOD_CONTROL | MOD_SHIFT, 'K'}},
        {{VK_MENU, '3'}, HotKeyCombination{MOD_ALT | MOD_NOREPEAT, '3'}, HotKeyCombination{MOD_ALT, '3'}},
        // Enter is a key only the quick panel's parser knows.
        {{VK_CONTROL, VK_RETURN}, HotKeyCombination{MOD_CONTROL | MOD_NOREPEAT, VK_RETURN}, std::nullopt},
    };
    for (const RoundTrip& trip : trips) {
        KelmHotKey typed;
        Type(typed, trip.keys);
        ASSERT_TRUE(typed.HasCapturedCombination());
        EXPECT_EQ(ParseQuickPanelHotKey(typed.keyText), trip.quickPanel);
        EXPECT_EQ(ParseVisibilityHotKey(typed.keyText), trip.visibility);
        KelmHotKey loaded;
        loaded.LoadCombination(typed.keyText);
        EXPECT_EQ(loaded.keyText, typed.keyText);
        EXPECT_TRUE(loaded.HasCapturedCombination());
    }
}
