#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AppMainWindow.h"
#include "app/GlobalHotKeys.h"
#include "app/HotKeySettings.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "app/UserNotice.h"
#include "ui/controls/KelmHotKey.h"

namespace
{

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void Type(KelmHotKey& box, const std::vector<UINT>& keys)
{
    for (UINT key : keys)
        box.OnKeyEvent({0, 0}, Brevin::KELM_KEY_DOWN, key);
    box.OnKeyEvent({0, 0}, Brevin::KELM_KEY_UP, keys.back());
}

class HotKeySettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TempFolder::WriteBytes(temp.File(L"Tessik.kelm"), "");
        s_appStore.Load(temp.File(L"Tessik.kelm"));
        mainWindow = CreateWindowExW(0, L"STATIC", L"main", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        s_mainWindow->hwnd = mainWindow;
        SetSettingsMessageSinkForTesting([this](const std::wstring& text) { messages.push_back(text); });
        for (auto* box : {s_quickPanelHotKeyBox.get(), s_visibilityHotKeyBox.get()}) {
            box->Set(
                0, 0, 0, 0, nullptr, [] {}, 0xEEEEEE, 15, 0);
            box->AddEvent({0, 0}, Brevin::KELM_LBUTTON_UP); // cleared
        }
    }
    void TearDown() override
    {
        SetSettingsMessageSinkForTesting(nullptr);
        s_mainWindow->hwnd = nullptr;
        DestroyWindow(mainWindow);
    }
    std::wstring Stored(const wchar_t* key) { return s_appStore[L"TessikRef"][key].Get<std::wstring>(L"none"); }

    TempFolder temp;
    HWND mainWindow = nullptr;
    std::vector<std::wstring> messages;
};

} // namespace

TEST_F(HotKeySettingsTest, ACapturedCombinationIsRegisteredAndStored)
{
    Type(*s_quickPanelHotKeyBox, {VK_CONTROL, VK_MENU, 'Q'});
    EXPECT_TRUE(SaveQuickPanelHotKey());
    EXPECT_EQ(Stored(L"QuickPanelHotKey"), L"CTRL+ALT+Q");
    KelmStorage reread;
    reread.Load(temp.File(L"Tessik.kelm"));
    EXPECT_EQ(reread[L"TessikRef"][L"QuickPanelHotKey"].Get<std::wstring>(L""), L"CTRL+ALT+Q");
    // The main window holds it: registering it again elsewhere fails.
    EXPECT_FALSE(RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, 'Q'));

    Type(*s_visibilityHotKeyBox, {VK_SHIFT, VK_MENU, '9'});
    EXPECT_TRUE(SaveVisibilityHotKey());
    EXPECT_EQ(Stored(L"VisibilityHotKey"), L"SHIFT+ALT+9");
    EXPECT_TRUE(messages.empty());
    UnregisterHotKey(mainWindow, kQuickPanelHotKeyId);
    UnregisterHotKey(mainWindow, kVisibilityHotKeyId);
}

TEST_F(HotKeySettingsTest, AnEmptyOrInvalidBoxTurnsRedAndStoresNothing)
{
    EXPECT_FALSE(SaveQuickPanelHotKey());
    EXPECT_EQ(s_quickPanelHotKeyBox->fill, KelmHotKey::kInvalidFill);
    Type(*s_visibilityHotKeyBox, {VK_CONTROL});
    EXPECT_FALSE(SaveVisibilityHotKey());
    EXPECT_EQ(s_visibilityHotKeyBox->fill, KelmHotKey::kInvalidFill);
    EXPECT_EQ(Stored(L"QuickPanelHotKey"), L"none");
    EXPECT_EQ(Stored(L"VisibilityHotKey"), L"none");
}

TEST_F(HotKeySettingsTest, ACombinationTheParserCannotUseIsExplained)
{
    // Enter is no key of the visibility hotkey.
    Type(*s_visibilityHotKeyBox, {VK_CONTROL, VK_RETURN});
    EXPECT_FALSE(SaveVisibilityHotKey());
    EXPECT_EQ(s_visibilityHotKeyBox->fill, KelmHotKey::kInvalidFill);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(L"CTRL+ENTER"), std::wstring::npos);
    EXPECT_EQ(Stored(L"VisibilityHotKey"), L"none");
}

TEST_F(HotKeySettingsTest, ACombinationTakenElsewhereKeepsTheOldHotKey)
{
    s_appStore[L"TessikRef"][L"QuickPanelHotKey"] = L"CTRL+SHIFT+Y";
    ASSERT_TRUE(RegisterQuickPanelHotKey(mainWindow, L"CTRL+SHIFT+Y"));
    // Another owner holds Ctrl+Alt+T.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(other, 5, MOD_CONTROL | MOD_ALT | MOD_NOREPEAT, 'T'));

    Type(*s_quickPanelHotKeyBox, {VK_CONTROL, VK_MENU, 'T'});
    EXPECT_FALSE(SaveQuickPanelHotKey());
    EXPECT_EQ(s_quickPanelHotKeyBox->fill, KelmHotKey::kInvalidFill);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(L"占用"), std::wstring::npos);
    EXPECT_EQ(Stored(L"QuickPanelHotKey"), L"CTRL+SHIFT+Y");
    // The previous hotkey is still the main window's.
    EXPECT_FALSE(RegisterHotKey(nullptr, 78, MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, 'Y'));

    UnregisterHotKey(other, 5);
    DestroyWindow(other);
    UnregisterHotKey(mainWindow, kQuickPanelHotKeyId);
}

TEST_F(HotKeySettingsTest, AHotKeyThatDoesNotWorkIsNamedAndNeverSaidToBeInUse)
{
    // Another program holds the stored quick panel key from before the start.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(other, 5, MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, 'K'));
    ASSERT_TRUE(RegisterHotKey(other, 6, MOD_CONTROL | MOD_ALT | MOD_NOREPEAT, 'T'));
    RegisterStoredHotKeys(mainWindow);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(L"CTRL+SHIFT+K"), std::wstring::npos);
    EXPECT_EQ(messages[0].find(L"CTRL+SHIFT+L"), std::wstring::npos);

    // A new key that is taken too: the old one did not come back either.
    Type(*s_quickPanelHotKeyBox, {VK_CONTROL, VK_MENU, 'T'});
    EXPECT_FALSE(SaveQuickPanelHotKey());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].find(L"仍在使用"), std::wstring::npos) << messages[1];
    EXPECT_NE(messages[1].find(L"CTRL+SHIFT+K"), std::wstring::npos);

    for (int id : {5, 6})
        UnregisterHotKey(other, id);
    DestroyWindow(other);
    UnregisterHotKey(mainWindow, kVisibilityHotKeyId);
}

// The program's own other hotkey is no other program: the page refuses the
// same keys for the second function without touching either hotkey, and the
// start names the clash as the program's own.
TEST_F(HotKeySettingsTest, TheProgramsOtherHotKeyIsNamedAsItsOwn)
{
    s_appStore[L"TessikRef"][L"QuickPanelHotKey"] = L"CTRL+SHIFT+Y";
    s_appStore[L"TessikRef"][L"VisibilityHotKey"] = L"ALT+SHIFT+J";
    RegisterStoredHotKeys(mainWindow);
    ASSERT_TRUE(messages.empty());
    Type(*s_quickPanelHotKeyBox, {VK_SHIFT, VK_MENU, 'J'});
    EXPECT_FALSE(SaveQuickPanelHotKey());
    EXPECT_EQ(s_quickPanelHotKeyBox->fill, KelmHotKey::kInvalidFill);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(L"“组件可见性”"), std::wstring::npos) << messages[0];
    EXPECT_EQ(messages[0].find(L"其他程序"), std::wstring::npos) << messages[0];
    EXPECT_EQ(Stored(L"QuickPanelHotKey"), L"CTRL+SHIFT+Y");
    // Both hotkeys are still the main window's.
    EXPECT_FALSE(RegisterHotKey(nullptr, 78, MOD_CONTROL | MOD_SHIFT, 'Y'));
    EXPECT_FALSE(RegisterHotKey(nullptr, 79, MOD_ALT | MOD_SHIFT, 'J'));

    messages.clear();
    UnregisterHotKey(mainWindow, kQuickPanelHotKeyId);
    UnregisterHotKey(mainWindow, kVisibilityHotKeyId);
    s_appStore[L"TessikRef"][L"QuickPanelHotKey"] = L"ALT+SHIFT+J";
    RegisterStoredHotKeys(mainWindow);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(L"ALT+SHIFT+J（组件可见性）与本程序“启动/关闭快速面板”"), std::wstring::npos)
        << messages[0];
    EXPECT_EQ(messages[0].find(L"其他程序"), std::wstring::npos) << messages[0];
    UnregisterHotKey(mainWindow, kQuickPanelHotKeyId);
    UnregisterHotKey(mainWindow, kVisibilityHotKeyId);
}

TEST_F(HotKeySettingsTest, AutoStartWritesAndRemovesTheRunValue)
{
    EXPECT_TRUE(SetAutoStart(true));
    EXPECT_TRUE(s_appStore[L"TessikRef"][L"autoStartUp"].Get<bool>(false));
    wchar_t value[MAX_PATH + 8] = {};
    DWORD size = sizeof(value);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kRun, L"RaDaziRiv", RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
    EXPECT_EQ(value[0], L'"');
    EXPECT_TRUE(SetAutoStart(false));
    EXPECT_FALSE(s_appStore[L"TessikRef"][L"autoStartUp"].Get<bool>(true));
    EXPECT_NE(RegGetValueW(HKEY_CURRENT_USER, kRun, L"RaDaziRiv", RRF_RT_REG_SZ, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    // Off when already off only stores the setting.
    EXPECT_TRUE(SetAutoStart(false));
    EXPECT_TRUE(messages.empty());
}

TEST_F(HotKeySettingsTest, AFailedSettingsSaveIsToldNotThrown)
{
    s_appStore[L"TessikRef"][L"logMode"] = 2;
    EXPECT_TRUE(SaveSettingsStore(s_appStore, L"设置无法保存。"));
    EXPECT_TRUE(messages.empty());

    // A store whose folder is gone cannot be written.
    KelmStorage lost;
    lost.Load(temp.File(L"gone\\Tessik.kelm"));
    lost[L"TessikRef"][L"logMode"] = 2;
    bool saved = true;
    EXPECT_NO_THROW(saved = SaveSettingsStore(lost, L"设置无法保存。"));
    EXPECT_FALSE(saved);
    // The change is kept and retried; the store itself says what and why.
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(lost.HasUnsavedChanges());
    EXPECT_NE(LastNoticeText(L"store-save").find(L"程序设置"), std::wstring::npos);

    // A store that was never bound to a file cannot keep the change at all.
    KelmStorage unbound;
    unbound[L"TessikRef"][L"logMode"] = 2;
    EXPECT_NO_THROW(saved = SaveSettingsStore(unbound, L"设置无法保存。"));
    EXPECT_FALSE(saved);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], L"设置无法保存。");
}
