// Problems the user must hear about (data that cannot be kept where it
// should be). Each kind is told once per process, in a message box over
// the main window once it exists. UI thread only.
#pragma once

#include <windows.h>

#include <string>

// Queues the text under its kind; a kind already told or queued is ignored.
// Also logs it as an ERROR line.
void NotifyUserOnce(const std::wstring& kind, const std::wstring& text);

// Queues the text however often its kind was told before: the outcome of
// an action the user just took. Also logs it as an ERROR line.
void NotifyUser(const std::wstring& kind, const std::wstring& text);

// Shows what is queued over the owner, one box per kind, from a one-shot
// timer so the caller (a window's creation) is not blocked.
void ShowPendingNotices(HWND owner);

// Kinds told so far or queued (for tests).
bool WasUserNotified(const std::wstring& kind);
