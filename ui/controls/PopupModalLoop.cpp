#include "ui/controls/PopupModalLoop.h"

#include "ui/core/KelmWindow.h"

namespace PopupModalLoop
{

void HookDestroy(KelmWindow& window, std::function<void()> onDestroy)
{
    KelmWindow::MessageFunction inner = window.handler;
    window.handler = [inner = std::move(inner), onDestroy = std::move(onDestroy)](HWND hwnd, UINT message,
                                                                                  WPARAM wParam, LPARAM lParam) {
        if (message == WM_DESTROY && onDestroy)
            onDestroy();
        return inner ? inner(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
    };
}

namespace
{

// Fetches the next message of the popup alone. A quit request is not the
// popup's, yet it must end the loop: a GetMessageW filtered to the popup
// would sleep through it, so the wait wakes on any new message and looks
// for the quit first.
BOOL GetOwnMessage(HWND popup, MSG& msg)
{
    for (;;) {
        if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            return 0;
        if (PeekMessageW(&msg, popup, 0, 0, PM_REMOVE))
            return 1;
        if (!IsWindow(popup))
            return -1;
        // Returns on input that arrived since the peeks above; what other
        // windows have waiting stays queued and does not wake it again.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
}

} // namespace

End Run(HWND popup, const bool& open, bool ownMessagesOnly, const std::function<bool(const MSG&)>& preview)
{
    MSG msg{};
    while (open) {
        const BOOL got = ownMessagesOnly ? GetOwnMessage(popup, msg) : GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            return End::Failed;
        if (got == 0) {
            // The quit request belongs to the program's own loop: eating it
            // here would leave the program running with no way to end.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return End::Quit;
        }
        if (preview && preview(msg))
            continue;
        if (ownMessagesOnly && IsDialogMessageW(popup, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return End::Closed;
}

} // namespace PopupModalLoop
