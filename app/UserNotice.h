// Problems the user must hear about, in a message box over the main window
// once it exists. A lasting problem (data that cannot be kept where it
// should be) is told once per process; the refusal of something the user
// asked for is told every time it happens. UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Queues the text under its kind; a kind already told or queued is ignored.
// Also logs it as an ERROR line.
void NotifyUserOnce(const std::wstring& kind, const std::wstring& text);
// The same; afterShown runs once the user has closed the message (never
// when the process ends before that), for what must last until it was read.
void NotifyUserOnce(const std::wstring& kind, const std::wstring& text, std::function<void()> afterShown);

// Queues the text however often its kind was told before: the user asked
// again and must hear again why nothing happened. A text still waiting to
// be shown is not queued twice. Also logs it as an ERROR line.
void NotifyUser(const std::wstring& kind, const std::wstring& text);

// Like NotifyUser, but a text of this kind still waiting to be shown is
// dropped for the new one, which says all the older one did: one box, not
// two, when a second problem joins the first before the user saw it.
void NotifyUserReplacing(const std::wstring& kind, const std::wstring& text);

// Shows what is queued over the owner, one box per text, from a one-shot
// timer so the caller (a window's creation) is not blocked.
void ShowPendingNotices(HWND owner);

// After the message loop: shows at once what still waits to be shown. A
// quit can end the loop before the timer that shows them comes (a quit
// from inside a question of the start), and a notice must not stay only
// in the log.
void ShowWaitingNoticesBeforeExit();

// Kinds told so far or queued, and how often (for tests).
bool WasUserNotified(const std::wstring& kind);
int TimesUserNotified(const std::wstring& kind);
// The text last told under the kind (for tests).
std::wstring LastNoticeText(const std::wstring& kind);
