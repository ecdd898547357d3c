// The message loop of the modal popups (input box, tip, choose-one) and the
// hook that tells it the popup's window is gone. UI thread only.
#pragma once

#include <windows.h>

#include <functional>

class KelmWindow;

namespace PopupModalLoop
{

enum class End {
    Closed, // the popup's window was destroyed
    Quit,   // a WM_QUIT meant for the program's own loop; it was posted again
    Failed, // GetMessageW failed
};

// Wraps the window's message handler (after KelmWindow::Set, which installs
// it) so that WM_DESTROY first runs onDestroy: the window is then still in
// WindowMap, so animations of its controls can still be stopped.
void HookDestroy(KelmWindow& window, std::function<void()> onDestroy);

// Fetches and dispatches until `open` turns false. Every fetched message is
// dispatched, also the one that closes the popup. With ownMessagesOnly the
// loop fetches only the popup's messages and offers them to
// IsDialogMessageW first, which freezes the program's other windows while
// the popup is up. `preview` may take a message before dispatch by
// returning true.
End Run(HWND popup, const bool& open, bool ownMessagesOnly, const std::function<bool(const MSG&)>& preview = {});

} // namespace PopupModalLoop
