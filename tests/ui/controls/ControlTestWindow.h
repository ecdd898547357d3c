// A framework window for control tests: white background, the controls
// given to it added on every paint, and helpers that post real mouse
// messages at client points. UI thread only.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "tests/common/WindowTestSupport.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

// Colours equal within a tolerance per channel (antialiasing, blending).
inline bool Near(COLORREF a, COLORREF b, int tolerance = 2)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// A client pixel once it shows the expected colour (within the tolerance),
// or the last one read when 3 s pass: on a busy machine the display may
// show a paint well after the paint returned.
inline COLORREF AwaitClientPixel(HWND window, int cx, int cy, COLORREF expected, int tolerance = 0)
{
    const ULONGLONG end = GetTickCount64() + 3000;
    COLORREF shown = ReadClientPixel(window, cx, cy);
    while (!Near(shown, expected, tolerance) && GetTickCount64() < end) {
        PumpMessages(20);
        shown = ReadClientPixel(window, cx, cy);
    }
    return shown;
}

// Control rectangles are DIPs: tests that read pixels fix the scale at 1.
struct ScaleGuard {
    double saved = DpiScale;
    ScaleGuard() { DpiScale = 1.0; }
    ~ScaleGuard() { DpiScale = saved; }
};

class ControlTestWindow
{
public:
    // Graphics factories and the icon font, once per process.
    static bool PrepareGraphics()
    {
        static bool ready = [] {
            if (!CreateGraphicsFactories())
                return false;
            const std::wstring font = WriteIconFontToTemp();
            return !font.empty() && RegisterIconFont(font);
        }();
        return ready;
    }

    ControlTestWindow(int x, int y, int w, int h)
    {
        window = std::make_shared<KelmWindow>();
        window->Set(x, y, w, h, L"Kelm.Test.Controls", L"controls");
        window->style = WS_POPUP;
        window->SetDrawCallback([this](HWND hwnd, ID2D1HwndRenderTarget* rt) {
            ++paints;
            rt->Clear(D2D1::ColorF(1, 1, 1, 1));
            window->GetPanel()->Init(hwnd, rt);
            if (addControls)
                addControls(window->GetPanel());
        });
        window->Create();
        hwnd = window->GetHwnd();
        // The first paints of a fresh window may land before it is mapped
        // on the display: give it a moment, then paint once for real.
        PumpMessages(100);
        PaintNow(hwnd);
    }
    ~ControlTestWindow()
    {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        PumpMessages(10);
    }

    // Posts a mouse message at a client point (after moving the cursor
    // there, so hover tests of the controls agree) and lets it run.
    void Post(UINT message, int cx, int cy, WPARAM keys = 0)
    {
        POINT screen{cx, cy};
        ClientToScreen(hwnd, &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageW(hwnd, message, keys, MAKELPARAM(cx, cy));
        PumpMessages(20);
    }
    // A client pixel as shown, once the display caught up with the paints.
    COLORREF Pixel(int cx, int cy)
    {
        PumpMessages(50);
        return ReadClientPixel(hwnd, cx, cy);
    }
    // As AwaitClientPixel, on this window.
    COLORREF AwaitPixel(int cx, int cy, COLORREF expected, int tolerance = 0)
    {
        return AwaitClientPixel(hwnd, cx, cy, expected, tolerance);
    }
    // One synchronous paint, nothing else dispatched.
    void PaintOnce() { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    // Pointer onto the point, press and release there.
    void Click(int cx, int cy)
    {
        Post(WM_MOUSEMOVE, cx, cy);
        Post(WM_LBUTTONDOWN, cx, cy, MK_LBUTTON);
        Post(WM_LBUTTONUP, cx, cy);
    }
    // Pumps until the condition holds or the time is up; returns the condition.
    bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds)
    {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        while (!condition() && GetTickCount64() < end)
            PumpMessages(10);
        return condition();
    }

    std::shared_ptr<KelmWindow> window;
    HWND hwnd = nullptr;
    int paints = 0;
    std::function<void(Brevin::D2DBrevinPanel*)> addControls;
};

// Window tests share one window per suite: making a window costs about two
// seconds under Wine. Each test sets its own controls.
class ControlWindowTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (ControlTestWindow::PrepareGraphics())
            // Far from the windows of the test programs that run beside
            // this one: uncovering one of them would make it repaint.
            shared = new ControlTestWindow(1100, 660, 360, 240);
    }
    static void TearDownTestSuite()
    {
        delete shared;
        shared = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(shared, nullptr);
        shared->addControls = nullptr;
        shared->PaintOnce();
    }
    void TearDown() override
    {
        if (shared) {
            shared->addControls = nullptr;
            shared->PaintOnce();
        }
    }
    ControlTestWindow& test() { return *shared; }
    static inline ControlTestWindow* shared = nullptr;
};
