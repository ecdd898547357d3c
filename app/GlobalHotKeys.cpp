#include "app/GlobalHotKeys.h"

#include <cwctype>

namespace
{

bool IsDecimal(const std::wstring& text)
{
    if (text.empty() || text.size() > 3)
        return false;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
    }
    return true;
}

// A single character names the key by its code; only characters that are
// virtual keys of their own (letters, digits) can be registered.
UINT SingleCharacterKey(wchar_t c)
{
    if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'))
        return c;
    return 0;
}

bool Register(HWND window, int id, const std::optional<HotKeyCombination>& combination)
{
    UnregisterHotKey(window, id);
    if (!combination)
        return false;
    return RegisterHotKey(window, id, combination->modifiers, combination->virtualKey) != FALSE;
}

} // namespace

std::optional<HotKeyCombination> ParseQuickPanelHotKey(const std::wstring& text)
{
    const size_t lastPlus = text.rfind(L'+');
    if (text.empty() || lastPlus == std::wstring::npos)
        return std::nullopt;
    HotKeyCombination combination;
    // The quick panel's parser finds modifiers anywhere in the text.
    if (text.find(L"CTRL") != std::wstring::npos)
        combination.modifiers |= MOD_CONTROL;
    if (text.find(L"ALT") != std::wstring::npos)
        combination.modifiers |= MOD_ALT;
    if (text.find(L"SHIFT") != std::wstring::npos)
        combination.modifiers |= MOD_SHIFT;
    combination.modifiers |= MOD_NOREPEAT;
    const std::wstring key = text.substr(lastPlus + 1);
    if (key == L"ENTER")
        combination.virtualKey = VK_RETURN;
    else if (key.size() == 1)
        combination.virtualKey = SingleCharacterKey(key[0]);
    if (combination.virtualKey == 0)
        return std::nullopt;
    return combination;
}

std::optional<HotKeyCombination> ParseVisibilityHotKey(const std::wstring& text)
{
    if (text.empty() || text == L"bvn!NULL")
        return std::nullopt;
    HotKeyCombination combination;
    size_t start = 0;
    for (size_t plus = text.find(L'+'); plus != std::wstring::npos; plus = text.find(L'+', start)) {
        const std::wstring token = text.substr(start, plus - start);
        if (token == L"CTRL")
            combination.modifiers |= MOD_CONTROL;
        else if (token == L"SHIFT")
            combination.modifiers |= MOD_SHIFT;
        else if (token == L"ALT")
            combination.modifiers |= MOD_ALT;
        else if (token == L"WIN")
            combination.modifiers |= MOD_WIN;
        start = plus + 1;
    }
    const std::wstring key = text.substr(start);
    if (key.size() == 1) {
        combination.virtualKey = SingleCharacterKey(key[0]);
    } else if (key.size() > 1 && key[0] == L'F' && IsDecimal(key.substr(1))) {
        const int n = std::stoi(key.substr(1));
        if (n >= 1 && n <= 24)
            combination.virtualKey = 111 + n;
    }
    // Virtual key 0 would register a hotkey that never fires (or fires on
    // the modifiers alone): refuse it.
    if (combination.virtualKey == 0)
        return std::nullopt;
    return combination;
}

bool RegisterQuickPanelHotKey(HWND window, const std::wstring& text)
{
    return Register(window, kQuickPanelHotKeyId, ParseQuickPanelHotKey(text));
}

bool RegisterVisibilityHotKey(HWND window, const std::wstring& text)
{
    return Register(window, kVisibilityHotKeyId, ParseVisibilityHotKey(text));
}
