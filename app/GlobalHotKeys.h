// The two system-wide hotkeys: id 1001 toggles the quick panel, id 1002
// shows or hides every box. Each has its own text parser (they accept
// different texts); both register on the main window. UI thread only.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

constexpr int kQuickPanelHotKeyId = 1001;
constexpr int kVisibilityHotKeyId = 1002;

struct HotKeyCombination {
    UINT modifiers = 0;
    UINT virtualKey = 0;
    bool operator==(const HotKeyCombination&) const = default;
};

// nullopt when the text names no usable key: such a text registers nothing.
std::optional<HotKeyCombination> ParseQuickPanelHotKey(const std::wstring& text);
std::optional<HotKeyCombination> ParseVisibilityHotKey(const std::wstring& text);

// Unregister the id, then register the parsed combination. Returns false
// when the text names no key or the system refused the combination (taken
// by another program), so the caller can tell the user.
bool RegisterQuickPanelHotKey(HWND window, const std::wstring& text);
bool RegisterVisibilityHotKey(HWND window, const std::wstring& text);
