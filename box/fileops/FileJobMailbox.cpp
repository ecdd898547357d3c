#include "box/fileops/FileJobMailbox.h"

#include <windows.h>

#include <atomic>

#include "ui/core/AnimationManager.h"
#include "ui/core/WindowMessages.h"

namespace
{

std::atomic<HWND> s_mailbox{nullptr};

// The queue: posted callbacks run in order at the next mail message, as a
// window's do at its animation tick.
AnimationManager& Queue()
{
    static AnimationManager queue;
    return queue;
}

LRESULT CALLBACK MailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_KELM_FILE_JOB_MAIL)
        return DefWindowProcW(window, message, wParam, lParam);
    Queue().Update();
    return 0;
}

} // namespace

bool FileJobMailbox::Open()
{
    if (s_mailbox.load())
        return true;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MailboxProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Tessik.FileJobs.Mailbox";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        windowClass.hInstance, nullptr);
    if (!window)
        return false;
    // Asked once per batch of posts: the message empties the whole queue.
    s_mailbox = window;
    Queue().SetWorkCallback([] { PostMessageW(s_mailbox.load(), WM_KELM_FILE_JOB_MAIL, 0, 0); });
    // Whatever was posted before the window stood is taken at once.
    if (Queue().HasWork())
        PostMessageW(window, WM_KELM_FILE_JOB_MAIL, 0, 0);
    return true;
}

void FileJobMailbox::Post(std::function<void()> callback)
{
    Queue().PostCallback(std::move(callback));
}

void FileJobMailbox::TakeWaiting()
{
    Queue().Update();
}
