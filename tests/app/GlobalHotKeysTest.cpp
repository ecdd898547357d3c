#include <gtest/gtest.h>

#include <initializer_list>
#include <iterator>
#include <memory>
#include <type_traits>
#include <vector>

#include "app/AutoStart.h"
#include "app/GlobalHotKeys.h"

namespace
{

std::optional<HotKeyCombination> Combo(UINT modifiers, UINT key)
{
    return HotKeyCombination{modifiers, key};
}

// Presses the combination through the system's keyboard input, as a user's
// keyboard does: modifiers down, the key down and up, modifiers up.
void PressKeys(std::initializer_list<WORD> modifiers, WORD key)
{
    std::vector<INPUT> inputs;
    auto add = [&inputs](WORD vk, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    for (WORD modifier : modifiers)
        add(modifier, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        add(*it, KEYEVENTF_KEYUP);
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
}

struct HotKeyMessage {
    WPARAM id;
    UINT modifiers;
    UINT key;
    bool operator==(const HotKeyMessage&) const = default;
};
// The next hotkey message of the window (bounded wait): id, modifiers and
// key, or nothing when none came. Key presses that are no hotkey arrive as
// ordinary key messages and are let go.
std::optional<HotKeyMessage> NextHotKey(HWND window)
{
    const ULONGLONG until = GetTickCount64() + 10000;
    MSG msg;
    while (GetTickCount64() < until) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_HOTKEY && msg.hwnd == window)
                return HotKeyMessage{msg.wParam, LOWORD(msg.lParam), HIWORD(msg.lParam)};
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return std::nullopt;
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

// Real key presses: a registered combination arrives as its hotkey, one
// registered again replaces the old combination, and a text that names no
// key leaves nothing registered. Keys are handled in the order pressed, so
// "the first hotkey that arrives" tells whether an earlier press fired.
TEST(GlobalHotKeys, PressedCombinationArrivesAsItsHotKey)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"hotkeys", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&DestroyWindow)> owner(window, &DestroyWindow);
    SetForegroundWindow(window);
    ASSERT_TRUE(RegisterQuickPanelHotKey(window, L"CTRL+SHIFT+K"));
    ASSERT_TRUE(RegisterVisibilityHotKey(window, L"CTRL+SHIFT+L"));

    PressKeys({VK_CONTROL, VK_SHIFT}, 'K');
    ASSERT_EQ(NextHotKey(window), (HotKeyMessage{kQuickPanelHotKeyId, MOD_CONTROL | MOD_SHIFT, 'K'}));
    PressKeys({VK_CONTROL, VK_SHIFT}, 'L');
    ASSERT_EQ(NextHotKey(window), (HotKeyMessage{kVisibilityHotKeyId, MOD_CONTROL | MOD_SHIFT, 'L'}));

    ASSERT_TRUE(RegisterQuickPanelHotKey(window, L"CTRL+ALT+K"));
    PressKeys({VK_CONTROL, VK_SHIFT}, 'K');
    PressKeys({VK_CONTROL, VK_MENU}, 'K');
    ASSERT_EQ(NextHotKey(window), (HotKeyMessage{kQuickPanelHotKeyId, MOD_CONTROL | MOD_ALT, 'K'}))
        << "the replaced combination still fired";

    EXPECT_FALSE(RegisterQuickPanelHotKey(window, L"K"));
    EXPECT_FALSE(RegisterVisibilityHotKey(window, L"bvn!NULL"));
    PressKeys({VK_CONTROL, VK_MENU}, 'K');
    PressKeys({VK_CONTROL, VK_SHIFT}, 'L');
    ASSERT_TRUE(RegisterVisibilityHotKey(window, L"CTRL+SHIFT+L"));
    PressKeys({VK_CONTROL, VK_SHIFT}, 'L');
    ASSERT_EQ(NextHotKey(window), (HotKeyMessage{kVisibilityHotKeyId, MOD_CONTROL | MOD_SHIFT, 'L'}))
        << "a text that names no key left a combination registered";
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
