// The two system-wide hotkeys on the main window: 1001 toggles the quick
// panel, 1002 shows or hides all boxes. UI thread only.
#pragma once

#include <windows.h>

#include <string>

constexpr int kQuickPanelHotKeyId = 1001;
constexpr int kVisibilityHotKeyId = 1002;

// Minimal for now: the hotkey parsers are not built yet, so nothing is
// registered.
void RegisterQuickPanelHotKey(HWND window, const std::wstring& text);
void RegisterVisibilityHotKey(HWND window, const std::wstring& text);
