// The base of the modal popup tests: one owner window per suite, made
// before the first test and given the activation, and the real pointer
// kept away from every popup.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "tests/ui/controls/ControlTestWindow.h"
#include "tests/ui/controls/PopupTestDriver.h"
#include "tests/ui/controls/PopupThemeScope.h"

class PopupOwnerTest : public ::testing::Test
{
protected:
    // Suites call it from their SetUpTestSuite; withTheme gives the popups
    // a user's light theme for the suite.
    static void OpenOwner(int x, int y, int w, int h, bool withTheme)
    {
        if (!ControlTestWindow::PrepareGraphics())
            return;
        if (withTheme)
            theme = std::make_unique<PopupThemeScope>();
        owner = std::make_unique<ControlTestWindow>(x, y, w, h);
        // Let the display's focus events for the owner (and for windows of
        // earlier tests) arrive now: a late one would activate the owner
        // under the first popup, and most popups close on deactivation.
        SetForegroundWindow(owner->hwnd);
        PumpMessages(500);
        WaitForSteadyFocus(owner->hwnd);
    }
    // The display tells Wine of focus changes late, the more so on a busy
    // machine; a late one for the owner would deactivate (and so close) the
    // next popup. Waits (at most 5 s) until the owner has stayed the active
    // window for 300 ms, pumping those notifications meanwhile.
    static void WaitForSteadyFocus(HWND hwnd)
    {
        const ULONGLONG end = GetTickCount64() + 5000;
        ULONGLONG frontSince = 0;
        while (GetTickCount64() < end) {
            if (GetForegroundWindow() != hwnd || GetActiveWindow() != hwnd) {
                SetForegroundWindow(hwnd);
                frontSince = 0;
            } else if (frontSince == 0) {
                frontSince = GetTickCount64();
            } else if (GetTickCount64() - frontSince >= 300) {
                break;
            }
            PumpMessages(20);
        }
    }
    static void TearDownTestSuite()
    {
        owner.reset();
        theme.reset();
    }
    void SetUp() override
    {
        ASSERT_NE(owner, nullptr);
        watch = SetWindowsHookExW(WH_GETMESSAGE, PopupTest::WatchTakenMessages, nullptr, GetCurrentThreadId());
        ASSERT_NE(watch, nullptr);
        WaitForSteadyFocus(owner->hwnd);
        // Far from every popup: a real pointer over one would send it
        // moves and leaves the test did not ask for.
        SetCursorPos(1590, 990);
        PumpMessages(20);
    }
    void TearDown() override
    {
        PopupTest::ClearNested();
        PumpMessages(20);
        if (watch)
            UnhookWindowsHookEx(watch);
        watch = nullptr;
    }
    HHOOK watch = nullptr;
    HWND Owner() const { return owner->hwnd; }

    static inline std::unique_ptr<ControlTestWindow> owner;
    static inline std::unique_ptr<PopupThemeScope> theme;
};
