#include "ui/controls/NewTip2.h"

#include <memory>

#include "ui/controls/KelmButton.h"
#include "ui/controls/PopupModalLoop.h"
#include "ui/controls/PopupPlacement.h"
#include "ui/controls/PopupWindow.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowEffects.h"

int32_t s_tipResult = 0;
std::wstring s_tipMessage;
std::wstring s_tipHeading;

namespace NewTip2
{

namespace
{

constexpr wchar_t kClassName[] = L"Kelm.concept.Tip2.Class";
constexpr wchar_t kTitle[] = L"Kelm.Test.concept.Tip2";
constexpr COLORREF kOkFill = 0xFB7952;
constexpr COLORREF kOkText = 0xF4F4F4;

struct Tip {
    std::shared_ptr<KelmWindow> window = std::make_shared<KelmWindow>();
    std::shared_ptr<KelmButton> ok = std::make_shared<KelmButton>();
    std::shared_ptr<KelmButton> cancel = std::make_shared<KelmButton>();
    bool open = false;
    bool closing = false; // a button was pressed; the window is on its way out
};

Tip& TheTip()
{
    static Tip tip;
    return tip;
}

void StopHover(HWND hwnd)
{
    PopupWindow::StopHover(hwnd, *TheTip().ok, *TheTip().cancel);
}

void Confirm()
{
    Tip& tip = TheTip();
    if (!tip.open || tip.closing)
        return;
    tip.closing = true;
    s_tipResult = 1;
    const HWND hwnd = tip.window->GetHwnd();
    StopHover(hwnd);
    DestroyWindow(hwnd);
}

void Cancel()
{
    Tip& tip = TheTip();
    if (!tip.open || tip.closing)
        return;
    tip.closing = true;
    s_tipResult = 0;
    const HWND hwnd = tip.window->GetHwnd();
    StopHover(hwnd);
    AnimateWindowFadeOut(hwnd);
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
}

void Draw(HWND hwnd, ID2D1HwndRenderTarget* rt)
{
    Tip& tip = TheTip();
    RECT rc{};
    GetClientRect(hwnd, &rc);
    const float d = static_cast<float>(DpiScale);
    const float W = rc.right / d, H = rc.bottom / d;
    const int iw = static_cast<int>(W), ih = static_cast<int>(H);
    const COLORREF surface = ThemeAccent.Ref(), text = ThemeTextColor.Ref();

    Brevin::D2DBrevinPanel* panel = tip.window->GetPanel();
    panel->Init(hwnd, rt);
    FillSolidRect(rt, 0, 0, W, H, surface, 1.0f);
    DrawTextSemibold(rt, 20, 20, W - 40, 40, s_tipHeading.c_str(), 20, text, L"Segoe UI", 1.0f, false);
    tip.ok->Set(iw - 100, ih - 60, 80, 40, L"确定", &Confirm, kOkFill, 13, kOkText);
    panel->AddControl(tip.ok);
    DrawTextInRect(rt, 20, 60, W - 40, 40, s_tipMessage.c_str(), 14, text, L"Segoe UI", 1.0f, false);
    tip.cancel->Set(iw - 195, ih - 60, 80, 40, L"取消", &Cancel, surface, 13, text);
    panel->AddControl(tip.cancel);
}

RECT FindRect(HWND owner)
{
    const bool live = owner && IsWindow(owner);
    RECT reference{};
    HMONITOR monitor = nullptr;
    if (live && GetWindowRect(owner, &reference)) {
        monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
    } else {
        POINT cursor{};
        GetCursorPos(&cursor);
        monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
    }
    const RECT workArea = PopupWindow::WorkArea(monitor);
    if (!live)
        reference = workArea;
    return PopupPlacement::TipRect(reference, workArea, DpiScale);
}

} // namespace

void KelmCreateWindow(HWND owner, const wchar_t* message, const wchar_t* heading)
{
    s_tipResult = 0;
    s_tipMessage = message ? message : L"";
    s_tipHeading = heading ? heading : L"";
    Tip& tip = TheTip();
    if (tip.open) {
        InvalidateRect(tip.window->GetHwnd(), nullptr, FALSE);
        return;
    }

    const RECT r = FindRect(owner);
    KelmWindow& window = *tip.window;
    PopupWindow::Configure(window, r, kClassName, kTitle, false);
    window.SetDrawCallback(&Draw);
    PopupModalLoop::HookDestroy(window, [] { TheTip().open = false; });

    tip.open = true;
    tip.closing = false;
    if (window.Create() != 1) {
        tip.open = false;
        return;
    }
    const HWND hwnd = window.GetHwnd();
    AnimateWindowDropIn(hwnd);
    if (!tip.open)
        return;

    if (PopupModalLoop::Run(hwnd, tip.open, true) != PopupModalLoop::End::Closed && tip.open) {
        // The program is quitting: the tip goes without an answer.
        tip.closing = true;
        StopHover(hwnd);
        DestroyWindow(hwnd);
    }
}

} // namespace NewTip2
