// Driving a system file dialog ("#32770") from outside: jumping it to a
// folder through its address bar, putting a file name in, and reading its
// type filter. They work on the first visible dialog that matches their
// title list and holds a file-name control; they keep no state. Progress
// lines go to standard output, "[+] " for success, "[-] " for failure.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace TessikMagWin
{

// A visible "#32770" whose title holds one of the entries and which has a
// field for a file name (a message box titled like a dialog has none).
bool IsFileDialogMatch(HWND window, const std::vector<std::wstring>& titles);
// The first top-level window that matches, or null.
HWND FindMatchingDialog(const std::vector<std::wstring>& titles);

// Sends the folder to the dialog's address bar and Enter. Only existing
// folders are sent; doubled backslashes are collapsed first. The keyboard
// shortcut is typed only while the dialog is the foreground window.
bool NavigateDialogAddressBar(const std::wstring& folder);
// Puts the name into the dialog's file-name field. A dialog that shows
// itself as an Open dialog (its folder label or the newer Open dialog's
// structure, and its button, whole title and labels) is then confirmed;
// every other one is left for the user to confirm, so that no file is
// overwritten by a click on an icon.
bool SetDialogFileName(const std::wstring& name);
// The patterns of the dialog's current type filter; empty without one.
std::vector<std::wstring> ReadDialogComboText();
// Whether a file passes the icon window's filter (everything while it is
// not active).
bool MatchDialogFilter(const std::vector<std::wstring>& patterns, const std::wstring& path);
// Jumps the dialog to the file's folder, waits (bounded, dispatching the
// thread's messages) until the dialog shows it, then puts the name in;
// stops at the first step that fails. UI thread only.
bool FillFileDialog(const std::wstring& path);

// The last failure ("[-] " line, without its mark) reported since the
// previous call, from any thread; empty when none.
std::wstring TakeLastFailure();
// Tells the user of that failure, if any. UI thread only.
void TellLastFailure();

} // namespace TessikMagWin
