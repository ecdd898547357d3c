#include "ui/controls/NewEdit.h"

#include <memory>

#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmEdit.h"
#include "ui/controls/PopupModalLoop.h"
#include "ui/controls/PopupPlacement.h"
#include "ui/controls/PopupWindow.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowEffects.h"

std::wstring s_editResult;
uint8_t s_editClosedByButton = 0;

namespace NewEdit
{

namespace
{

constexpr wchar_t kClassName[] = L"Kelm.concept.Edit.Class";
constexpr wchar_t kTitle[] = L"Kelm.Test.concept.Edit";
constexpr wchar_t kCancelled[] = L"bvn!NULL";
constexpr COLORREF kOkFill = 0xFB7952;
constexpr COLORREF kOkText = 0xF4F4F4;

// The window object and the controls live for the whole process; each call
// configures them again and makes a new native window.
struct InputBox {
    std::shared_ptr<KelmWindow> window = std::make_shared<KelmWindow>();
    std::shared_ptr<KelmEdit> edit = std::make_shared<KelmEdit>();
    std::shared_ptr<KelmButton> ok = std::make_shared<KelmButton>();
    std::shared_ptr<KelmButton> cancel = std::make_shared<KelmButton>();
    std::wstring initialText;
    bool open = false;
};

InputBox& Box()
{
    static InputBox box;
    return box;
}

// Stops what runs on the popup's timers (the caret blinks on timer 12).
void StopHoverAndTimers(HWND hwnd)
{
    PopupWindow::StopHover(hwnd, *Box().ok, *Box().cancel);
    KillTimer(hwnd, kAnimationTimerId);
}

void Confirm()
{
    InputBox& box = Box();
    const HWND hwnd = box.window->GetHwnd();
    if (!box.open || s_editClosedByButton)
        return; // not open, or already fading out after cancel
    s_editClosedByButton = 1;
    s_editResult = box.edit->GetText();
    StopHoverAndTimers(hwnd);
    DestroyWindow(hwnd);
}

void Cancel()
{
    InputBox& box = Box();
    const HWND hwnd = box.window->GetHwnd();
    if (!box.open || s_editClosedByButton)
        return;
    s_editClosedByButton = 1;
    s_editResult = kCancelled;
    StopHoverAndTimers(hwnd);
    AnimateWindowFadeOut(hwnd);
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
}

void OnDeactivate()
{
    if (!s_editClosedByButton) {
        s_editResult = kCancelled;
        StopHoverAndTimers(Box().window->GetHwnd());
    }
    s_editClosedByButton = 0;
}

void OnCreated()
{
    InputBox& box = Box();
    const HWND hwnd = box.window->GetHwnd();
    AnimateWindowDropIn(hwnd);
    if (!IsWindow(hwnd))
        return; // closed while it dropped in
    PopupWindow::AddMenuShadow(hwnd);
    box.window->StartAnimationTimer();
    box.window->StartHoverRepaintTimer();
    // The edit is set up by a paint: make sure one ran before it takes the
    // keyboard.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    box.edit->focused = true;
    box.edit->StartCaretAnimation(0.0f, 1.0f);
    box.edit->UpdateImePosition();
}

void Draw(HWND hwnd, ID2D1HwndRenderTarget* rt)
{
    InputBox& box = Box();
    RECT rc{};
    GetClientRect(hwnd, &rc);
    const float d = static_cast<float>(DpiScale);
    const float W = rc.right / d, H = rc.bottom / d;
    const COLORREF surface = ThemeAccent.Ref(), raised = ThemeShade30.Ref(), text = ThemeTextColor.Ref();

    Brevin::D2DBrevinPanel* panel = box.window->GetPanel();
    panel->Init(hwnd, rt);
    FillSolidRect(rt, 0, 0, W, H, surface, 1.0f);

    // The field: a raised face over two slightly shaded rims below it.
    DrawRoundRect(rt, 20, 22, W - 40, 40, ContrastShiftColor(raised, 10), 7, 1.0f);
    DrawRoundRect(rt, 20, 21, W - 40, 40, ContrastShiftColor(raised, 5), 7, 1.0f);
    DrawRoundRect(rt, 20, 20, W - 40, 40, raised, 7, 1.0f);

    const int iw = static_cast<int>(W), ih = static_cast<int>(H);
    if (box.edit->editW == 0.0f) {
        // Set also empties the edit, so a box opened without an initial
        // text never shows the text typed the time before.
        // The box has no key of its own: Enter in the edit confirms nothing.
        box.edit->Set(
            28, 26, iw - 56, 28, L"", [](std::wstring) {}, raised, text, 16);
        box.edit->SetText(box.initialText);
    }
    box.edit->SetLayout(28, 24, iw - 56, 32, raised, text);
    panel->AddControl(box.edit);

    box.ok->Set(iw - 100, ih - 60, 80, 40, L"确定", &Confirm, kOkFill, 13, kOkText);
    box.cancel->Set(iw - 195, ih - 60, 80, 40, L"取消", &Cancel, surface, 13, text);
    panel->AddControl(box.ok);
    panel->AddControl(box.cancel);
}

struct Placement {
    RECT reference;
    RECT workArea;
};

Placement FindPlacement(HWND owner)
{
    Placement p{};
    HMONITOR monitor = nullptr;
    if (owner && IsWindow(owner) && GetWindowRect(owner, &p.reference)) {
        monitor = MonitorFromRect(&p.reference, MONITOR_DEFAULTTONEAREST);
    } else {
        POINT cursor{};
        GetCursorPos(&cursor);
        monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
    }
    p.workArea = PopupWindow::WorkArea(monitor);
    if (!owner || !IsWindow(owner))
        p.reference = p.workArea;
    return p;
}

} // namespace

void KelmCreateEdit(HWND owner, const wchar_t* initialText)
{
    InputBox& box = Box();
    if (box.open) {
        // This caller gets no box: tell it so rather than hand it the
        // open box's state as if it were entered text.
        s_editResult = kCancelled;
        return;
    }
    box.initialText = initialText ? initialText : L"";
    box.edit->editW = 0.0f;
    s_editClosedByButton = 0;
    // Before the window exists: its drop-in already dispatches messages.
    s_editResult.clear();

    const Placement place = FindPlacement(owner);
    const RECT r = PopupPlacement::EditBoxRect(place.reference, place.workArea, DpiScale);

    KelmWindow& window = *box.window;
    PopupWindow::Configure(window, r, kClassName, kTitle, true);
    // The caret blink runs all the time; the buttons still light up.
    window.hoverWhileAnimating = true;
    window.SetDrawCallback(&Draw);
    window.SetDeactivateCallback(&OnDeactivate);
    window.onCreated = &OnCreated;
    PopupModalLoop::HookDestroy(window, [] {
        InputBox& b = Box();
        b.edit->StopCaretAnimation();
        b.open = false;
    });

    box.open = true;
    if (window.Create() != 1) {
        box.open = false;
        s_editResult = kCancelled;
        return;
    }
    if (!box.open)
        return; // closed during its drop-in

    const PopupModalLoop::End end = PopupModalLoop::Run(window.GetHwnd(), box.open, false, nullptr);
    if (end != PopupModalLoop::End::Closed && box.open) {
        // The program is quitting: nothing was confirmed, and an empty
        // result would read as an empty text entered.
        s_editClosedByButton = 1;
        s_editResult = kCancelled;
        StopHoverAndTimers(window.GetHwnd());
        DestroyWindow(window.GetHwnd());
    }
}

} // namespace NewEdit
