// Plays the user's part in a modal popup from a second thread: the popup
// runs its own message loop on the test thread, so a driver finds it by its
// class and clicks, types and presses keys with posted messages.
#pragma once

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>

namespace PopupTest
{

// Milliseconds to hold each popup still before its steps, from
// TESSIK_TEST_POPUP_PAUSE_MS: time to take a screenshot by hand. 0 unset.
inline DWORD PauseForLooking()
{
    wchar_t value[16] = {};
    return GetEnvironmentVariableW(L"TESSIK_TEST_POPUP_PAUSE_MS", value, 16) ? wcstoul(value, nullptr, 10) : 0;
}

// Waits (at most 3 s) until the window's rectangle has stayed the same
// for three reads 50 ms apart.
inline void WaitUntilStill(HWND window)
{
    RECT last{};
    GetWindowRect(window, &last);
    int still = 0;
    const ULONGLONG end = GetTickCount64() + 3000;
    while (still < 3 && GetTickCount64() < end && IsWindow(window)) {
        Sleep(50);
        RECT now{};
        GetWindowRect(window, &now);
        still = EqualRect(&now, &last) ? still + 1 : 0;
        last = now;
    }
}

// What the test thread's message loops have taken from their queue, seen
// by a hook on that thread (PopupOwnerTest installs it): the driver's
// markers and the paints. The driver waits on these instead of for fixed
// times, so a busy machine only makes the tests slower.
inline std::atomic<int> s_markersTaken{0};
inline std::atomic<int> s_paintsTaken{0};
inline UINT MarkerMessage()
{
    static const UINT message = RegisterWindowMessageW(L"Tessik.Test.PopupMarker");
    return message;
}
inline LRESULT CALLBACK WatchTakenMessages(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == MarkerMessage())
            ++s_markersTaken;
        else if (msg->message == WM_PAINT)
            ++s_paintsTaken;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Polls the condition for at most ten seconds.
inline bool WaitFor(const std::function<bool()>& condition)
{
    const ULONGLONG end = GetTickCount64() + 10000;
    while (!condition()) {
        if (GetTickCount64() > end)
            return false;
        Sleep(5);
    }
    return true;
}

// Returns once the window's loop has handled everything posted to it so
// far and has painted what that invalidated. Nothing is invalidated from
// here: painting stays the window's own business.
inline void Settle(HWND window)
{
    auto passMarker = [window] {
        const int target = s_markersTaken + 1;
        PostMessageW(window, MarkerMessage(), 0, 0);
        WaitFor([&] { return s_markersTaken >= target || !IsWindow(window); });
    };
    passMarker();
    passMarker(); // a message taken with the first marker has been handled
    if (IsWindow(window) && GetUpdateRect(window, nullptr, FALSE)) {
        const int paints = s_paintsTaken;
        WaitFor([&] { return s_paintsTaken > paints || !IsWindow(window); });
        passMarker(); // the paint has ended
    }
}

// The drop-in and zoom-in effects end at full opacity in their final place.
inline bool WaitUntilOpaque(HWND window)
{
    return WaitFor([window] {
        BYTE alpha = 0;
        DWORD flags = 0;
        return !IsWindow(window) ||
               (GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) && (flags & LWA_ALPHA) && alpha == 255);
    });
}

// Waits (bounded) for the popup, lets its drop-in settle, runs the steps,
// and when the popup is still up afterwards closes it, so a missed click
// fails the test rather than hang it.
class PopupDriver
{
public:
    PopupDriver(const wchar_t* className, std::function<void(HWND)> steps)
        : thread_([this, className, steps = std::move(steps)] {
              // A busy machine may take seconds to make the window.
              const ULONGLONG end = GetTickCount64() + 20000;
              HWND popup = nullptr;
              while (!(popup = FindWindowW(className, nullptr)) && GetTickCount64() < end)
                  Sleep(10);
              if (!popup)
                  return;
              // A busy machine stretches the drop-in and zoom-in effects:
              // act once the window is opaque, has stopped moving and
              // growing, and has painted.
              WaitUntilOpaque(popup);
              WaitUntilStill(popup);
              Settle(popup);
              Sleep(PauseForLooking());
              GetWindowRect(popup, &rect);
              found = true;
              steps(popup);
              // Hiding a window costs Wine about two seconds per window
              // (the popup and its shadow) on a display without a window
              // manager.
              const ULONGLONG closeBy = GetTickCount64() + 10000;
              while (IsWindow(popup) && GetTickCount64() < closeBy)
                  Sleep(10);
              if (IsWindow(popup)) {
                  leftOpen = true;
                  // As if another window had been activated: every popup
                  // closes then.
                  PostMessageW(popup, WM_ACTIVATE, WA_INACTIVE, 0);
                  PostMessageW(popup, WM_CLOSE, 0, 0);
              }
          })
    {
    }
    ~PopupDriver() { Join(); }
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    std::atomic<bool> found{false};
    std::atomic<bool> leftOpen{false};
    RECT rect{};

private:
    std::thread thread_;
};

// Mouse over a client point, press and release, as the window would see it.
inline void Click(HWND popup, int x, int y)
{
    POINT screen{x, y};
    ClientToScreen(popup, &screen);
    SetCursorPos(screen.x, screen.y);
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(popup, WM_MOUSEMOVE, 0, at);
    Settle(popup);
    PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Settle(popup);
    PostMessageW(popup, WM_LBUTTONUP, 0, at);
    Settle(popup);
}

inline void Key(HWND popup, UINT key)
{
    PostMessageW(popup, WM_KEYDOWN, key, 1);
    PostMessageW(popup, WM_KEYUP, key, 0xC0000001);
    Settle(popup);
}

inline void Type(HWND popup, const std::wstring& text)
{
    for (wchar_t c : text)
        PostMessageW(popup, WM_CHAR, c, 1);
    Settle(popup);
}

// A nested call on the test thread, as a timer or a hotkey would make it
// while a popup's loop runs: it runs about 450 ms from now.
inline std::function<void()>& NestedCall()
{
    static std::function<void()> call;
    return call;
}
inline void CALLBACK NestedTimerProc(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    // A copy: the call may schedule the next one.
    auto call = NestedCall();
    if (call)
        call();
}
inline void RunNestedSoon(std::function<void()> call)
{
    NestedCall() = std::move(call);
    SetTimer(nullptr, 0, 450, &NestedTimerProc);
}
// The same, once a window of the class is up (a busy machine may take
// longer than the first wait to show it).
inline void RunNestedWhenOpen(const wchar_t* className, std::function<void()> call)
{
    RunNestedSoon([className, call = std::move(call)] {
        if (FindWindowW(className, nullptr))
            call();
        else
            RunNestedWhenOpen(className, call);
    });
}
inline void ClearNested()
{
    NestedCall() = nullptr;
}

} // namespace PopupTest
