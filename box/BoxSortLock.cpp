#include "box/BoxSortLock.h"

#include <dwmapi.h>

#include <cmath>

#include "app/KelmStorage.h"
#include "box/BoxSettings.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

namespace TessikDesktopContainer
{

namespace
{

constexpr DWORD kDwmCornerPreference = 33;
constexpr int kCornerRoundSmall = 3;

void SetStyle(HWND window, LONG_PTR style)
{
    SetWindowLongPtrW(window, GWL_STYLE, style);
}

} // namespace

HRGN BoxRoundRegion(HWND window, int radius)
{
    RECT client{};
    GetClientRect(window, &client);
    const int r = static_cast<int>(std::ceil(DpiScale) * radius);
    return CreateRoundRectRgn(0, 0, client.right + 1, client.bottom + 1, r, r);
}

void SetSmallCornerPreference(HWND window)
{
    int value = kCornerRoundSmall;
    DwmSetWindowAttribute(window, kDwmCornerPreference, &value, sizeof(value));
}

void SetBoxSortMode(const BoxWindowPtr& box, int mode)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    runtime->SortMode = mode;
    BoxSettingsObject(runtime->id)[L"SortMode"] = mode;
    s_desktopContainerStore.Save();
    InvalidateRect(box->GetHwnd(), nullptr, FALSE);
}

void SetSortFree(const BoxWindowPtr& box)
{
    SetBoxSortMode(box, 0);
}
void SetSortNameAscending(const BoxWindowPtr& box)
{
    SetBoxSortMode(box, 1);
}
void SetSortNameDescending(const BoxWindowPtr& box)
{
    SetBoxSortMode(box, 2);
}
void SetSortTimeAscending(const BoxWindowPtr& box)
{
    SetBoxSortMode(box, 3);
}
void SetSortTimeDescending(const BoxWindowPtr& box)
{
    SetBoxSortMode(box, 4);
}

void LockBox(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    HWND window = box->GetHwnd();
    runtime->IsLocked = true;
    BoxSettingsObject(runtime->id)[L"IsLocked"] = true;
    s_desktopContainerStore.Save();
    const int layer = runtime->CompatibleLayer;
    if (layer == 2) {
        SetSmallCornerPreference(window);
        return;
    }
    if (layer == 3)
        return;
    box->frameMode = 1;
    box->cornerRadius = 16;
    SetStyle(window, GetWindowLongPtrW(window, GWL_STYLE) & ~kBoxFrameStyles);
    SetWindowRgn(window, BoxRoundRegion(window, 16), TRUE);
    // An embedded box belongs to the desktop layer: raising it would put it
    // above the user's windows.
    HWND after = runtime->IsEmbeddedLayer ? HWND_BOTTOM : HWND_TOP;
    SetWindowPos(window, after, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(window, nullptr, FALSE);
}

void UnlockBox(const BoxWindowPtr& box)
{
    BoxRuntime* runtime = FindBoxRuntime(box);
    if (!runtime)
        return;
    HWND window = box->GetHwnd();
    runtime->IsLocked = false;
    BoxSettingsObject(runtime->id)[L"IsLocked"] = false;
    s_desktopContainerStore.Save();
    const int layer = runtime->CompatibleLayer;
    if (runtime->IsEmbeddedLayer) {
        box->frameMode = 1;
        box->cornerRadius = 6;
        SetStyle(window, GetWindowLongPtrW(window, GWL_STYLE) & ~kBoxFrameStyles);
        SetWindowRgn(window, BoxRoundRegion(window, 6), TRUE);
        if (layer == 2)
            SetSmallCornerPreference(window);
    } else {
        box->frameMode = layer == 3 ? 1 : 2;
        box->cornerRadius = 0;
        LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        if (layer != 3)
            style |= kBoxFrameStyles;
        if (layer == 2) {
            style &= ~static_cast<LONG_PTR>(WS_SYSMENU);
            SetSmallCornerPreference(window);
        }
        SetStyle(window, style);
        SetWindowRgn(window, nullptr, TRUE);
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    InvalidateRect(window, nullptr, FALSE);
}

} // namespace TessikDesktopContainer
