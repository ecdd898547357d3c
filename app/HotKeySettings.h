// The settings page's hotkey rows and autostart switch: a new hotkey text is
// registered at once and stored only when the system took it; autostart
// writes or removes the Run value. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class KelmHotKey;

// The two hotkey boxes of the settings page, shared with its builder.
extern std::shared_ptr<KelmHotKey> s_quickPanelHotKeyBox;
extern std::shared_ptr<KelmHotKey> s_visibilityHotKeyBox;

// Registers the box's combination as hotkey 1001 (1002) on the main window
// and stores it as "QuickPanelHotKey" ("VisibilityHotKey"). When the box
// holds no usable combination, is the program's other hotkey, or the
// system refuses it (another program owns it), the box turns red, the user is told why, the stored text and
// the previous registration stay, and the result is false.
bool SaveQuickPanelHotKey();
bool SaveVisibilityHotKey();

// Registers both hotkeys from the store on the main window at start; the
// user is told which of them do not work (taken by another program, or a
// text that names no key) and, apart, when the second is the same keys as
// the first.
void RegisterStoredHotKeys(HWND window);

// The message for a new hotkey the system refused; previousBack: the
// previous one could be registered again.
std::wstring HotKeyRefusedText(const std::wstring& text, const std::wstring& previous, bool previousBack);
// The message for a new hotkey that is already the program's other one
// (otherLabel: that one's label on the settings page).
std::wstring HotKeyIsOwnOtherText(const std::wstring& text, const std::wstring& otherLabel);
// The start's message for hotkeys that do not work, one line each.
std::wstring HotKeysNotWorkingText(const std::vector<std::wstring>& failedLines);

// Stores "autoStartUp" and writes (on) or removes (off) the Run value.
// The switch's callback passes its new state. A registry refusal is told
// to the user and gives false; the setting stays stored.
bool SetAutoStart(bool enabled);

class KelmStorage;

// Saves a store after a settings handler changed it. A failed save never
// leaves the handler: a write that fails is kept, retried and told by the
// store itself; a store that cannot be saved at all (never loaded) is
// logged as an ERROR line and `failureText` (in Chinese) is told to the
// user. True when the store was written.
bool SaveSettingsStore(KelmStorage& store, const std::wstring& failureText);

// Where the Chinese messages of these handlers go; by default a message
// box shown from a one-shot timer, so a control's handler is not blocked.
using SettingsMessageSink = std::function<void(const std::wstring&)>;
void SetSettingsMessageSinkForTesting(SettingsMessageSink sink);
