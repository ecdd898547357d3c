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

End Run(HWND popup, const bool& open, bool ownMessagesOnly, const std::function<bool(const MSG&)>& preview)
{
    MSG msg{};
    while (open) {
        const BOOL got = GetMessageW(&msg, ownMessagesOnly ? popup : nullptr, 0, 0);
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
