// Helpers of the window tests and the drawing benchmarks: bounded message
// pumping, paint timing, pixel read-back and the icon font written out of
// the executable's resources. Header-only so the benchmarks can use it too.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/IconFontFile.h"
#include "ui/core/AnimationManager.h"

// Dispatches the thread's messages for the given time (never longer).
inline void PumpMessages(DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG msg;
        // A queue that never runs dry (a window repainting as fast as its
        // timer fires) ends the pump two seconds late rather than never.
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (GetTickCount64() > end + 2000)
                return;
        }
        Sleep(1);
    } while (GetTickCount64() < end);
}

// Like PumpMessages, but also stops in the middle of a queue that never
// runs dry (a window repainting as fast as its timer fires).
inline void PumpWithin(DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG msg;
        while (GetTickCount64() < end && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    } while (GetTickCount64() < end);
}

// Dispatches the thread's messages until the condition holds or the time
// is up; returns the condition. Work on another thread, in another process
// or on the display is waited for this way: a busy machine only makes the
// wait longer.
inline bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!condition()) {
        if (GetTickCount64() >= end)
            return condition();
        PumpWithin(10);
    }
    return true;
}

// Holds a window's animation clock for a scope: a test looks at any moment
// between an animation's start and end, however slowly the machine runs,
// and steps the clock on by hand. Released at the end of the scope, even
// when an assertion leaves it early. The manager must outlive the hold.
class HeldAnimationClock
{
public:
    explicit HeldAnimationClock(AnimationManager& manager) : clock_(manager.Clock()) { clock_.Hold(); }
    ~HeldAnimationClock() { clock_.Release(); }
    HeldAnimationClock(const HeldAnimationClock&) = delete;
    HeldAnimationClock& operator=(const HeldAnimationClock&) = delete;
    void Step(double seconds) { clock_.Step(seconds); }

private:
    AnimationClock& clock_;
};

// Moves the real pointer to a client point of the window, with a button
// flag (MOUSEEVENTF_LEFTDOWN ...) or none: GetAsyncKeyState sees the
// button as the code that polls it does.
inline void MouseAt(HWND window, int cx, int cy, DWORD buttonFlag = 0)
{
    POINT screen{cx, cy};
    ClientToScreen(window, &screen);
    SetCursorPos(screen.x, screen.y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>(screen.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
    input.mi.dy = static_cast<LONG>(screen.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttonFlag;
    SendInput(1, &input, sizeof(INPUT));
}

// The dialogs this process shows now: the shell's questions (and message
// boxes), as a user would see them on screen.
inline std::vector<HWND> OpenShellQuestions()
{
    std::vector<HWND> open;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            wchar_t cls[32] = {};
            GetClassNameW(window, cls, 32);
            if (pid == GetCurrentProcessId() && wcscmp(cls, L"#32770") == 0 && IsWindowVisible(window))
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&open));
    return open;
}

// A shell that asks before it recycles (Wine's does) gets its "yes" (or
// the answer given) as from a user: every visible dialog of this process
// is answered.
inline void AnswerShellQuestions(WPARAM answer = IDYES)
{
    for (HWND window : OpenShellQuestions())
        PostMessageW(window, WM_COMMAND, answer, 0);
}

// Forces a paint now and pumps briefly.
inline void PaintNow(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages(50);
}

// Average milliseconds of one forced paint, after one warm-up paint.
inline double FrameMs(HWND window, int frames)
{
    LARGE_INTEGER freq, a, b;
    QueryPerformanceFrequency(&freq);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    QueryPerformanceCounter(&a);
    for (int i = 0; i < frames; ++i)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    QueryPerformanceCounter(&b);
    return (b.QuadPart - a.QuadPart) * 1000.0 / freq.QuadPart / frames;
}

// Dispatches the thread's messages like PumpMessages and counts the
// WM_TIMER messages of one window by timer id.
inline std::map<UINT_PTR, int> PumpCountingTimers(HWND window, DWORD milliseconds)
{
    std::map<UINT_PTR, int> ticks;
    const ULONGLONG end = GetTickCount64() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && msg.hwnd == window)
                ++ticks[msg.wParam];
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    } while (GetTickCount64() < end);
    return ticks;
}

// The client pixels of a rectangle as painted on screen, row by row.
inline std::vector<COLORREF> ReadClientPixels(HWND window, const RECT& area)
{
    const int w = area.right - area.left, h = area.bottom - area.top;
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, dc, area.left, area.top, SRCCOPY);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels.push_back(GetPixel(memory, x, y));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, dc);
    return pixels;
}

// The colour of a client pixel as painted on screen (GDI read of the window).
inline COLORREF ReadClientPixel(HWND window, int x, int y)
{
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 1, 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, 1, 1, dc, x, y, SRCCOPY);
    const COLORREF color = GetPixel(memory, 0, 0);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, dc);
    return color;
}

// Writes resource 111 ("BINARY") to a temporary file named after `name`;
// empty on failure.
inline std::wstring WriteIconFontToTemp(const wchar_t* name = L"tessik_test_fa-solid-900.ttf")
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + name;
    return WriteIconFontFile(GetModuleHandleW(nullptr), path) == IconFontWriteResult::Written ? path : std::wstring();
}
