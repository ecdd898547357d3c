// A real framework window for control tests: each paint clears the panel
// and adds the controls again, as every builder does; mouse messages are
// posted with the cursor moved along so Wine's own pointer tracking agrees.
// Hiding a window costs Wine about two seconds without a window manager, so
// the tests share one window (SharedControlWindow, Reset between tests).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "tests/ui/core/WindowTestSupport.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

class ControlWindow
{
public:
    explicit ControlWindow(const wchar_t* className, int width = 420, int height = 260)
    {
        savedScale_ = DpiScale;
        DpiScale = 1.0;
        CreateGraphicsFactories();
        window_ = std::make_shared<KelmWindow>();
        // Far from the windows of the other test programs that run beside
        // these: uncovering one of them would make it repaint.
        window_->Set(1020, 600, width, height, className, L"control test");
        window_->style = WS_POPUP;
        window_->SetDrawCallback([this](HWND hwnd, ID2D1HwndRenderTarget* rt) {
            rt->Clear(D2D1::ColorF(0.95f, 0.95f, 0.95f, 1.0f));
            window_->GetPanel()->Init(hwnd, rt);
            for (auto& add : adders_)
                add(window_->GetPanel());
            if (afterPaint)
                afterPaint(hwnd, rt);
        });
    }
    ~ControlWindow()
    {
        if (IsWindow(window_->hwnd))
            DestroyWindow(window_->hwnd);
        PumpMessages(20);
        DpiScale = savedScale_;
    }
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    template <class T> void Add(const std::shared_ptr<T>& control)
    {
        adders_.push_back([control](Brevin::D2DBrevinPanel* panel) { panel->AddControl(control); });
    }
    // Drops every control from the next paint on (and paints it).
    void Clear()
    {
        adders_.clear();
        PaintNow(hwnd());
    }
    // Between tests: no controls, no hooks, the pointer parked outside.
    void Reset()
    {
        afterPaint = nullptr;
        adders_.clear();
        if (!IsWindow(hwnd()))
            return;
        Post(WM_MOUSEMOVE, -50, -50);
        Clear();
    }
    bool Create()
    {
        if (IsWindow(hwnd())) {
            PaintNow(hwnd());
            return true;
        }
        if (window_->Create() != 1)
            return false;
        PaintNow(hwnd());
        return true;
    }
    HWND hwnd() const { return window_->hwnd; }
    KelmWindow& window() { return *window_; }

    void Post(UINT message, int x, int y, WPARAM wParam = 0)
    {
        POINT screen{x, y};
        ClientToScreen(hwnd(), &screen);
        SetCursorPos(screen.x, screen.y);
        PostMessageW(hwnd(), message, wParam, MAKELPARAM(x, y));
    }
    void Click(int x, int y)
    {
        Post(WM_MOUSEMOVE, x, y);
        Post(WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        Post(WM_LBUTTONUP, x, y);
        PumpMessages(40);
    }
    // Pumps until the condition holds or the time is up; returns the condition.
    bool PumpUntil(const std::function<bool()>& condition, DWORD milliseconds)
    {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        while (!condition() && GetTickCount64() < end)
            PumpMessages(10);
        return condition();
    }

    std::function<void(HWND, ID2D1HwndRenderTarget*)> afterPaint;

private:
    double savedScale_ = 1.0;
    std::shared_ptr<KelmWindow> window_;
    std::vector<std::function<void(Brevin::D2DBrevinPanel*)>> adders_;
};

// The one window of the control tests. Never destroyed: the end of the
// test process takes it down without the cost of hiding it.
inline ControlWindow& SharedControlWindow()
{
    static ControlWindow* window = new ControlWindow(L"Kelm.Test.Controls", 560, 360);
    return *window;
}
