#include "app/HotKeySettings.h"

#include <windows.h>

#include <exception>
#include <utility>
#include <vector>

#include "app/AppMainWindow.h"
#include "app/AutoStart.h"
#include "app/GlobalHotKeys.h"
#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/StoreTextFormat.h"
#include "ui/controls/KelmHotKey.h"
#include "ui/core/D2DResources.h"

std::shared_ptr<KelmHotKey> s_quickPanelHotKeyBox = std::make_shared<KelmHotKey>();
std::shared_ptr<KelmHotKey> s_visibilityHotKeyBox = std::make_shared<KelmHotKey>();

namespace
{

const wchar_t kRef[] = L"TessikRef";

SettingsMessageSink s_messageSink;
std::vector<std::wstring> s_pendingMessages;
UINT_PTR s_messageTimer = 0;

void CALLBACK ShowMessagesTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    s_messageTimer = 0;
    std::vector<std::wstring> messages = std::move(s_pendingMessages);
    s_pendingMessages.clear();
    for (const std::wstring& text : messages) {
        HWND owner = s_mainWindow ? s_mainWindow->GetHwnd() : nullptr;
        MessageBoxW(IsWindow(owner) ? owner : nullptr, text.c_str(), L"Tessik", MB_OK | MB_ICONWARNING);
    }
}

void TellUser(const std::wstring& text)
{
    Logger::GetInstance().Log(L"Tessik", L"WARNING", text);
    if (s_messageSink) {
        s_messageSink(text);
        return;
    }
    s_pendingMessages.push_back(text);
    if (!s_messageTimer)
        s_messageTimer = SetTimer(nullptr, 0, 10, ShowMessagesTimer);
}

using HotKeyParser = std::optional<HotKeyCombination> (*)(const std::wstring&);

// The program's two hotkeys, as stored and labelled on the settings page.
struct HotKeyEntry {
    const wchar_t* key;
    const wchar_t* defaultText;
    const wchar_t* label;
    bool (*registerText)(HWND, const std::wstring&);
    HotKeyParser parse;
};
constexpr HotKeyEntry kQuickPanelEntry{L"QuickPanelHotKey", L"CTRL+SHIFT+K", L"启动/关闭快速面板",
                                       RegisterQuickPanelHotKey, ParseQuickPanelHotKey};
constexpr HotKeyEntry kVisibilityEntry{L"VisibilityHotKey", L"CTRL+SHIFT+L", L"组件可见性", RegisterVisibilityHotKey,
                                       ParseVisibilityHotKey};

std::wstring StoredText(const HotKeyEntry& entry)
{
    return s_appStore[kRef][entry.key].Get<std::wstring>(entry.defaultText);
}

// Whether two texts, each read by its own hotkey's parser, name one key
// combination: the system holds each combination once, whatever the
// repeat flag, so the second of them can never be registered.
bool SameCombination(const std::wstring& text, HotKeyParser parse, const std::wstring& otherText,
                     HotKeyParser otherParse)
{
    const std::optional<HotKeyCombination> a = parse(text), b = otherParse(otherText);
    return a && b && a->virtualKey == b->virtualKey && (a->modifiers & ~MOD_NOREPEAT) == (b->modifiers & ~MOD_NOREPEAT);
}

struct HotKeySetting {
    KelmHotKey& box;
    const HotKeyEntry& entry;
    const HotKeyEntry& other;
};

void MarkFailed(KelmHotKey& box)
{
    box.fill = KelmHotKey::kInvalidFill;
    if (HWND main = s_mainWindow ? s_mainWindow->GetHwnd() : nullptr)
        InvalidateWindow(main);
}

bool SaveHotKey(const HotKeySetting& setting)
{
    HWND main = s_mainWindow ? s_mainWindow->GetHwnd() : nullptr;
    if (!setting.box.HasCapturedCombination()) {
        MarkFailed(setting.box);
        return false;
    }
    const std::wstring text = setting.box.keyText;
    if (!setting.entry.parse(text)) {
        MarkFailed(setting.box);
        TellUser(L"组合键 " + text + L" 不能用作快捷键，请换一个组合。");
        return false;
    }
    // The program's other hotkey holds it: registering would only take this
    // one's old key away. Nothing changes.
    if (SameCombination(text, setting.entry.parse, StoredText(setting.other), setting.other.parse)) {
        MarkFailed(setting.box);
        TellUser(HotKeyIsOwnOtherText(text, setting.other.label));
        return false;
    }
    if (!setting.entry.registerText(main, text)) {
        // Registering removed the old hotkey first: give it back, so a
        // refused choice does not leave the user without any. It may not
        // come back (another program took it meanwhile, or it never
        // worked): then the user hears that neither key works.
        const std::wstring previous = StoredText(setting.entry);
        const bool previousBack = setting.entry.registerText(main, previous);
        MarkFailed(setting.box);
        TellUser(HotKeyRefusedText(text, previous, previousBack));
        return false;
    }
    s_appStore[kRef][setting.entry.key] = text;
    try {
        s_appStore.Save();
    } catch (const std::exception&) {
        TellUser(L"快捷键 " + text + L" 已生效，但设置无法保存，下次启动时将恢复原来的快捷键。");
        return false;
    }
    return true;
}

} // namespace

std::wstring HotKeyRefusedText(const std::wstring& text, const std::wstring& previous, bool previousBack)
{
    const std::wstring refused = L"快捷键 " + text + L" 注册失败，可能已被其他程序占用。";
    if (previousBack)
        return refused + L"仍在使用 " + previous + L"。";
    return refused + L"原来的快捷键 " + previous + L" 也无法注册，目前这项功能没有可用的快捷键，请换一个组合。";
}

std::wstring HotKeysNotWorkingText(const std::vector<std::wstring>& failedLines)
{
    std::wstring text = L"以下快捷键无法注册，可能已被其他程序占用，目前不起作用：";
    for (const std::wstring& line : failedLines)
        text += L"\n" + line;
    return text + L"\n\n可在设置页中换一个组合。";
}

std::wstring HotKeyIsOwnOtherText(const std::wstring& text, const std::wstring& otherLabel)
{
    return L"快捷键 " + text + L" 已是本程序“" + otherLabel +
           L"”的快捷键，同一个组合不能同时用于两项功能，请换一个组合。";
}

void RegisterStoredHotKeys(HWND window)
{
    const HotKeyEntry* entries[] = {&kQuickPanelEntry, &kVisibilityEntry};
    std::vector<std::wstring> failed;
    std::wstring ownConflict;
    for (int i = 0; i < 2; ++i) {
        const HotKeyEntry& entry = *entries[i];
        const HotKeyEntry& other = *entries[1 - i];
        const std::wstring text = StoredText(entry);
        // An empty text is no hotkey on purpose.
        if (entry.registerText(window, text) || text.empty() || text == L"bvn!NULL")
            continue;
        // The same keys as the program's other hotkey: no other program's
        // doing.
        if (SameCombination(text, entry.parse, StoredText(other), other.parse))
            ownConflict = L"快捷键 " + text + L"（" + entry.label + L"）与本程序“" + other.label +
                          L"”的快捷键相同，目前不起作用。\n可在设置页中为其中一项换一个组合。";
        else
            failed.push_back(text + L"（" + entry.label + L"）");
    }
    if (!failed.empty())
        TellUser(HotKeysNotWorkingText(failed));
    if (!ownConflict.empty())
        TellUser(ownConflict);
}

bool SaveQuickPanelHotKey()
{
    return SaveHotKey({*s_quickPanelHotKeyBox, kQuickPanelEntry, kVisibilityEntry});
}

bool SaveVisibilityHotKey()
{
    return SaveHotKey({*s_visibilityHotKeyBox, kVisibilityEntry, kQuickPanelEntry});
}

bool SetAutoStart(bool enabled)
{
    s_appStore[kRef][L"autoStartUp"] = enabled;
    try {
        s_appStore.Save();
    } catch (const std::exception&) {
        TellUser(L"开机启动设置无法保存。");
    }
    if (!WriteAutoStartValue(enabled)) {
        TellUser(enabled ? L"无法设置开机启动：系统拒绝写入启动项。" : L"无法取消开机启动：系统拒绝删除启动项。");
        return false;
    }
    return true;
}

bool SaveSettingsStore(KelmStorage& store, const std::wstring& failureText)
{
    try {
        // A write that fails is kept, retried and told by the store itself;
        // only a store that cannot be saved at all loses the change.
        return store.Save();
    } catch (const std::exception& error) {
        Logger::GetInstance().Log(L"Tessik", L"ERROR",
                                  L"Could not save " + store.FileName() + L": " + Utf8ToWide(error.what()));
        TellUser(failureText);
        return false;
    }
}

void SetSettingsMessageSinkForTesting(SettingsMessageSink sink)
{
    s_messageSink = std::move(sink);
}
