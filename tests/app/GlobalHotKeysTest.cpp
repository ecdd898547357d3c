#include <gtest/gtest.h>

#include "app/AutoStart.h"
#include "app/GlobalHotKeys.h"

namespace
{

std::optional<HotKeyCombination> Combo(UINT modifiers, UINT key)
{
    return HotKeyCombination{modifiers, key};
}

} // namespace

TEST(GlobalHotKeys, QuickPanelParser)
{
    EXPECT_EQ(ParseQuickPanelHotKey(L"CTRL+SHIFT+K"), Combo(MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, 'K'));
    EXPECT_EQ(ParseQuickPanelHotKey(L"ALT+ENTER"), Combo(MOD_ALT | MOD_NOREPEAT, VK_RETURN));
    EXPECT_EQ(ParseQuickPanelHotKey(L"CTRL+ALT+7"), Combo(MOD_CONTROL | MOD_ALT | MOD_NOREPEAT, '7'));
    // "WIN" is not one of its modifiers.
    EXPECT_EQ(ParseQuickPanelHotKey(L"WIN+L"), Combo(MOD_NOREPEAT, 'L'));
    EXPECT_EQ(ParseQuickPanelHotKey(L"CTRL+F5"), std::nullopt);
    EXPECT_EQ(ParseQuickPanelHotKey(L"K"), std::nullopt);
    EXPECT_EQ(ParseQuickPanelHotKey(L""), std::nullopt);
    EXPECT_EQ(ParseQuickPanelHotKey(L"bvn!NULL"), std::nullopt);
    EXPECT_EQ(ParseQuickPanelHotKey(L"CTRL+"), std::nullopt);
    EXPECT_EQ(ParseQuickPanelHotKey(L"CTRL+;"), std::nullopt); // no key of its own
}

TEST(GlobalHotKeys, VisibilityParser)
{
    EXPECT_EQ(ParseVisibilityHotKey(L"CTRL+SHIFT+L"), Combo(MOD_CONTROL | MOD_SHIFT, 'L'));
    EXPECT_EQ(ParseVisibilityHotKey(L"CTRL+F5"), Combo(MOD_CONTROL, 116));
    EXPECT_EQ(ParseVisibilityHotKey(L"F1"), Combo(0, VK_F1));
    EXPECT_EQ(ParseVisibilityHotKey(L"ALT+F24"), Combo(MOD_ALT, VK_F24));
    EXPECT_EQ(ParseVisibilityHotKey(L"K"), Combo(0, 'K'));
    EXPECT_EQ(ParseVisibilityHotKey(L"WIN+L"), Combo(MOD_WIN, 'L'));
    // Tokens are compared whole: "XCTRL" is no modifier.
    EXPECT_EQ(ParseVisibilityHotKey(L"XCTRL+K"), Combo(0, 'K'));
    // Texts that would name virtual key 0 register nothing.
    EXPECT_EQ(ParseVisibilityHotKey(L"ALT+ENTER"), std::nullopt);
    EXPECT_EQ(ParseVisibilityHotKey(L"CTRL+Fx"), std::nullopt);
    EXPECT_EQ(ParseVisibilityHotKey(L"CTRL+F99"), std::nullopt);
    EXPECT_EQ(ParseVisibilityHotKey(L"CTRL+"), std::nullopt);
    EXPECT_EQ(ParseVisibilityHotKey(L"bvn!NULL"), std::nullopt);
    EXPECT_EQ(ParseVisibilityHotKey(L""), std::nullopt);
}

TEST(GlobalHotKeys, RegistrationReportsWhatTheSystemDid)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"hotkeys", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(RegisterQuickPanelHotKey(window, L"CTRL+SHIFT+K"));
    EXPECT_TRUE(RegisterVisibilityHotKey(window, L"CTRL+SHIFT+L"));
    // Registering again replaces the earlier registration of the same id.
    EXPECT_TRUE(RegisterQuickPanelHotKey(window, L"CTRL+ALT+K"));
    EXPECT_FALSE(RegisterQuickPanelHotKey(window, L"K"));
    EXPECT_FALSE(RegisterVisibilityHotKey(window, L"bvn!NULL"));
    DestroyWindow(window);
}

TEST(AutoStart, RunValueHoldsTheQuotedProgramPath)
{
    EXPECT_EQ(AutoStartCommand(L"C:\\Program Files\\Tessik\\Tessik.exe"), L"\"C:\\Program Files\\Tessik\\Tessik.exe\"");
    ASSERT_TRUE(WriteAutoStartValue(true));
    wchar_t value[MAX_PATH + 8] = {};
    DWORD size = sizeof(value);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"RaDaziRiv",
                           RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(std::wstring(value), AutoStartCommand(self));
    EXPECT_TRUE(WriteAutoStartValue(false));
    EXPECT_TRUE(WriteAutoStartValue(false)); // already off
    EXPECT_NE(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"RaDaziRiv",
                           RRF_RT_REG_SZ, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
}
