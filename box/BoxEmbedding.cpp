#include "box/BoxEmbedding.h"

#include <dwmapi.h>

#include "box/BoxPaintRules.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/WindowEffects.h"

namespace
{

// Window-manager attributes by number: the older and newer number of the
// dark-mode flag, the corner preference and the system backdrop (not all
// of them are named in every SDK).
constexpr DWORD kDwmDarkModeOld = 19;
constexpr DWORD kDwmDarkMode = 20;
constexpr DWORD kDwmCornerPreference = 33;
constexpr DWORD kDwmSystemBackdrop = 38;
constexpr int kCornerRoundSmall = 3;
constexpr int kBackdropTransientWindow = 3;

// The accent policy of user32's SetWindowCompositionAttribute, which has no
// header: the layout is the system's.
struct AccentPolicy {
    int accentState;
    int accentFlags;
    int gradientColour;
    int animationId;
};
struct CompositionAttributeData {
    int attribute;
    void* data;
    SIZE_T size;
};
constexpr int kAccentAttribute = 19;
constexpr int kAccentBlurBehind = 3;
using SetCompositionAttribute = BOOL(WINAPI*)(HWND, CompositionAttributeData*);

struct OsVersionInfo {
    ULONG size;
    ULONG major;
    ULONG minor;
    ULONG build;
    ULONG platform;
    WCHAR servicePack[128];
};
static_assert(sizeof(OsVersionInfo) == 276, "RtlGetVersion expects the 276-byte record");
using RtlGetVersionFunction = LONG(WINAPI*)(OsVersionInfo*);

void SetIntAttribute(HWND window, DWORD attribute, int value)
{
    DwmSetWindowAttribute(window, attribute, &value, sizeof(value));
}

void ApplyAccentBlur(HWND window)
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto set = user32 ? reinterpret_cast<SetCompositionAttribute>(
                            reinterpret_cast<void*>(GetProcAddress(user32, "SetWindowCompositionAttribute")))
                      : nullptr;
    if (!set)
        return;
    AccentPolicy policy{kAccentBlurBehind, 2, 0, 0};
    CompositionAttributeData data{kAccentAttribute, &policy, sizeof(policy)};
    set(window, &data);
}

void ApplyZMode(KelmWindow& box, HWND window, int z)
{
    switch (z) {
    case 0:
        box.keepTopmost = false;
        box.keepBottom = true;
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        break;
    case 1:
        box.BringToFront();
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        break;
    case 2:
        box.keepTopmost = true;
        box.keepBottom = false;
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        break;
    default:
        break;
    }
}

} // namespace

std::optional<DWORD> ReadWindowsBuild()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll)
        return std::nullopt;
    auto get = reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (!get)
        return std::nullopt;
    OsVersionInfo info{};
    info.size = sizeof(info);
    if (get(&info) != 0)
        return std::nullopt;
    return info.build;
}

BOOL CALLBACK FindDesktopWorkerWindow(HWND window, LPARAM param)
{
    if (FindWindowExW(window, nullptr, L"SHELLDLL_DefView", nullptr))
        *reinterpret_cast<HWND*>(param) = FindWindowExW(nullptr, window, L"WorkerW", nullptr);
    return TRUE;
}

void EmbedInDesktopLayer(HWND window)
{
    HWND progman = FindWindowW(L"Progman", nullptr);
    // Asks the shell to make its WorkerW windows behind the icons.
    if (progman)
        SendMessageTimeoutW(progman, 0x052C, 0, 0, SMTO_NORMAL, 1000, nullptr);
    HWND worker = nullptr;
    EnumWindows(FindDesktopWorkerWindow, reinterpret_cast<LPARAM>(&worker));
    SetParent(window, nullptr);
    SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(worker ? worker : progman));
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    // A layered window without attributes is never drawn.
    SetLayeredWindowAttributes(window, 0, 255, LWA_ALPHA);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    SetWindowLongPtrW(window, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_CHILD)) | WS_POPUP);
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void FinishBoxWindow(const std::wstring& id, const BoxWindowPtr& box, bool hideAfterCreation)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    HWND window = box ? box->GetHwnd() : nullptr;
    if (!runtime || !IsWindow(window))
        return;

    if (runtime->IsEmbeddedLayer)
        EmbedInDesktopLayer(window);

    RECT rect{};
    GetWindowRect(window, &rect);
    if (rect.left == 0 && rect.top == 0)
        CenterWindowOnScreen(window);

    box->StartHoverRepaintTimer();
    box->StartAnimationTimer();
    box->hoverWhileAnimating = true;
    runtime->id = id;

    LONG_PTR ex = GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_ACCEPTFILES;
    ex = (ex & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW;
    SetWindowLongPtrW(window, GWL_EXSTYLE, ex);
    SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_MAXIMIZEBOX));

    // An embedded box stays in the desktop layer: raising it to its z order
    // would put it above ordinary windows.
    if (!runtime->IsEmbeddedLayer)
        ApplyZMode(*box, window, runtime->z);

    const int style = runtime->CompatibleLayer;
    if (style == 2 || style == 3) {
        if (style == 2) {
            SetIntAttribute(window, kDwmDarkMode, 0);
            SetIntAttribute(window, kDwmDarkModeOld, 0);
            SetIntAttribute(window, kDwmCornerPreference, kCornerRoundSmall);
            if (BoxPaintRules::ChooseBlurBackdrop(ReadWindowsBuild()) == BoxPaintRules::BlurBackdrop::SystemBackdrop)
                SetIntAttribute(window, kDwmSystemBackdrop, kBackdropTransientWindow);
            else
                ApplyAccentBlur(window);
        }
        SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_SYSMENU));
        if (runtime->IsLocked && style != 3)
            SetIntAttribute(window, kDwmCornerPreference, kCornerRoundSmall);
    }
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    if (hideAfterCreation)
        ShowWindow(window, SW_HIDE);
    if (runtime->IsIntegrated)
        InvalidateRect(window, nullptr, FALSE);
}
