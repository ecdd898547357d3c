#include "ui/controls/KelmFolderSelectWin.h"

#include <memory>
#include <vector>

#include "ui/controls/KelmButton.h"
#include "ui/controls/KelmEdit.h"
#include "ui/controls/KelmFileSelector.h"
#include "ui/controls/PopupModalLoop.h"
#include "ui/controls/PopupPlacement.h"
#include "ui/controls/PopupWindow.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"
#include "ui/core/WindowEffects.h"

std::wstring s_folderResult = L"bvn!NULL";
std::wstring s_folderCurrentPath = FileSelectorRules::kComputer;
uint8_t s_folderFirstPaintDone = 0;

namespace KelmFolderSelectWin
{

namespace
{

constexpr wchar_t kClassName[] = L"Kelm.concept.FolderSelect.Class";
constexpr wchar_t kTitle[] = L"Kelm.Test.concept.Folder";
constexpr wchar_t kNothing[] = L"bvn!NULL";
constexpr COLORREF kOkFill = 0xFB7952;
constexpr COLORREF kOkText = 0xF4F4F4;
constexpr UINT kHoverRepaintMs = 16;

struct Chooser {
    std::shared_ptr<KelmWindow> window;
    std::shared_ptr<KelmButton> ok = std::make_shared<KelmButton>();
    std::shared_ptr<KelmButton> cancel = std::make_shared<KelmButton>();
    std::shared_ptr<KelmEdit> edit = std::make_shared<KelmEdit>();
    std::shared_ptr<KelmFileSelector> browser = std::make_shared<KelmFileSelector>();
    // The browser's folder as last shown in the path box and the choice
    // line; a click in the browser moves it without telling anyone.
    std::wstring shownPath;
    bool open = false;
    bool closing = false;
};

Chooser& TheChooser()
{
    static Chooser chooser;
    return chooser;
}

// The browser moved (SetPath, or a click): the choice line and the path box
// follow it.
void FollowBrowser(const std::wstring& path)
{
    Chooser& chooser = TheChooser();
    chooser.shownPath = path;
    s_folderCurrentPath = path.empty() ? FileSelectorRules::kComputer : path;
    chooser.edit->SetText(s_folderCurrentPath);
}

// The browser's folder now, whatever moved it; empty at the drive list.
std::wstring BrowserPath()
{
    const KelmFileSelector& browser = *TheChooser().browser;
    return browser.inFolder ? browser.currentPath : std::wstring();
}

// A typed path goes to the browser as an absolute one: a relative path
// would otherwise be taken against whatever the process's current folder
// happens to be, and a "." or ".." left in it would show in the result.
void NavigateToTyped(const std::wstring& typed)
{
    std::wstring path = typed;
    if (!typed.empty()) {
        const DWORD needed = GetFullPathNameW(typed.c_str(), 0, nullptr, nullptr);
        if (needed > 0) {
            std::vector<wchar_t> full(needed);
            const DWORD written = GetFullPathNameW(typed.c_str(), needed, full.data(), nullptr);
            if (written > 0 && written < needed)
                path.assign(full.data(), written);
        }
    }
    Chooser& chooser = TheChooser();
    chooser.browser->SetPath(path);
    InvalidateRect(chooser.window->GetHwnd(), nullptr, FALSE);
}

void Close()
{
    Chooser& chooser = TheChooser();
    const HWND hwnd = chooser.window->GetHwnd();
    PopupWindow::StopHover(hwnd, *chooser.ok, *chooser.cancel);
    KillTimer(hwnd, kAnimationTimerId);
    DestroyWindow(hwnd);
    ReleaseAllD2DResources();
    HoverAnimationCount = 0;
}

void Confirm()
{
    Chooser& chooser = TheChooser();
    if (!chooser.open || chooser.closing)
        return;
    chooser.closing = true;
    // Read from the browser itself: a folder opened by a click never
    // reached s_folderCurrentPath through the path-changed callback.
    const std::wstring path = BrowserPath();
    s_folderCurrentPath = path.empty() ? FileSelectorRules::kComputer : path;
    s_folderResult = path.empty() ? kNothing : path;
    Close();
}

void Cancel()
{
    Chooser& chooser = TheChooser();
    if (!chooser.open || chooser.closing)
        return;
    chooser.closing = true;
    s_folderResult = kNothing;
    Close();
}

void Draw(HWND hwnd, ID2D1HwndRenderTarget* rt)
{
    Chooser& chooser = TheChooser();
    RECT rc{};
    GetClientRect(hwnd, &rc);
    const float d = static_cast<float>(DpiScale);
    const int cw = static_cast<int>(rc.right / d), ch = static_cast<int>(rc.bottom / d);
    const COLORREF surface = ThemeAccent.Ref(), raised = ThemeShade30.Ref(), text = ThemeTextColor.Ref();

    Brevin::D2DBrevinPanel* panel = chooser.window->GetPanel();
    panel->Init(hwnd, rt);
    FillSolidRect(rt, 0, 0, rc.right / d, rc.bottom / d, surface, 1.0f);
    DrawTextSemibold(rt, 20, 15, static_cast<float>(cw - 40), 30, L"选择文件夹", 20, text, L"Segoe UI", 1.0f, false);

    KelmFileSelector& browser = *chooser.browser;
    browser.Set(20, 50, cw - 40, ch - 120, surface);
    KelmEdit& edit = *chooser.edit;
    if (edit.editW == 0.0f) {
        edit.Set(
            25, 55, cw - 120, 30, L"...", [](std::wstring typed) { NavigateToTyped(typed); }, surface, text, 14);
        edit.paintHook = [](std::wstring&) { return 0; };
    }
    if (!s_folderFirstPaintDone) {
        // Every showing starts at the drive list, whatever was shown before.
        browser.SetPath(L"");
        s_folderFirstPaintDone = 1;
    } else if (BrowserPath() != chooser.shownPath) {
        FollowBrowser(BrowserPath());
    }

    browser.SetPanel(panel);
    panel->AddControl(chooser.browser);

    const std::wstring choice = L"选择: " + s_folderCurrentPath;
    DrawTextInRect(rt, 25, static_cast<float>(ch - 55), static_cast<float>(cw - 200), 20, choice.c_str(), 13,
                   ContrastShiftColor(text, 150), L"Segoe UI", 1.0f, false);

    edit.SetLayout(25, 55, cw - 125, 30, raised, text);
    panel->AddControl(chooser.edit);

    chooser.cancel->Set(cw - 190, ch - 50, 80, 35, L"取消", &Cancel, surface, 13, text);
    chooser.cancel->cornerRadius = 6.0f;
    chooser.ok->Set(cw - 100, ch - 50, 80, 35, L"确定", &Confirm, kOkFill, 13, kOkText);
    chooser.ok->cornerRadius = 6.0f;
    panel->AddControl(chooser.cancel);
    panel->AddControl(chooser.ok);
}

void OnCreated()
{
    Chooser& chooser = TheChooser();
    const HWND hwnd = chooser.window->GetHwnd();
    CenterWindowOnScreen(hwnd);
    const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, (ex | WS_EX_TOOLWINDOW) & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW));
    SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_MAXIMIZEBOX));
    chooser.window->StartAnimationTimer();
    // The buttons' hover steps one frame per paint of this timer.
    SetTimer(hwnd, kHoverRepaintTimerId, kHoverRepaintMs, nullptr);
    SetFocus(hwnd);
}

void OnDestroy()
{
    Chooser& chooser = TheChooser();
    chooser.edit->StopCaretAnimation();
    chooser.ok->ResetAnimation();
    chooser.cancel->ResetAnimation();
    chooser.open = false;
}

RECT StartRect(HWND owner)
{
    const double d = DpiScale;
    const int w = static_cast<int>(610 * d), h = static_cast<int>(450 * d) + 10;
    RECT reference{};
    HMONITOR monitor = nullptr;
    if (owner && IsWindow(owner) && GetWindowRect(owner, &reference)) {
        monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
    } else {
        POINT cursor{};
        GetCursorPos(&cursor);
        monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
        reference = {cursor.x, cursor.y, cursor.x, cursor.y};
    }
    const POINT at = PopupPlacement::ClampIntoArea(reference.left, reference.top, w, h, PopupWindow::WorkArea(monitor));
    return {at.x, at.y, at.x + w, at.y + h};
}

} // namespace

void KelmCreateWindow(HWND owner, const wchar_t*, const wchar_t*)
{
    s_folderResult = kNothing;
    Chooser& chooser = TheChooser();
    // The open chooser keeps its folder: starting this showing's state over
    // would send it back to the drive list under its user.
    if (chooser.open || FindWindowW(kClassName, nullptr))
        return;
    s_folderCurrentPath = FileSelectorRules::kComputer;
    s_folderFirstPaintDone = 0;

    if (!chooser.window)
        chooser.window = std::make_shared<KelmWindow>();
    KelmWindow& window = *chooser.window;
    const RECT r = StartRect(owner);
    window.Set(r.left, r.top, r.right - r.left, r.bottom - r.top, kClassName, kTitle);
    window.frameMode = 2;
    window.keepTopmost = true;
    window.closeOnDeactivate = true;
    // The path box's caret blinks as an animation; the rows and buttons
    // keep their hover meanwhile.
    window.hoverWhileAnimating = true;
    window.SetDrawCallback(&Draw);
    window.onCreated = &OnCreated;
    window.SetDeactivateCallback([] {
        Chooser& self = TheChooser();
        PopupWindow::StopHover(self.window->GetHwnd(), *self.ok, *self.cancel);
    });
    PopupModalLoop::HookDestroy(window, &OnDestroy);
    chooser.browser->SetOnPathChanged([](const std::wstring& path) { FollowBrowser(path); });

    chooser.open = true;
    chooser.closing = false;
    if (window.Create() != 1) {
        chooser.open = false;
        return;
    }
    const HWND hwnd = window.GetHwnd();
    AnimateWindowDropIn(hwnd);
    if (!chooser.open)
        return;
    InvalidateRect(hwnd, nullptr, FALSE);
    if (PopupModalLoop::Run(hwnd, chooser.open, false) != PopupModalLoop::End::Closed && chooser.open) {
        // The program is quitting: nothing was chosen.
        chooser.closing = true;
        s_folderResult = kNothing;
        Close();
    }
}

} // namespace KelmFolderSelectWin
