#include "ui/controls/PopupWindow.h"
#include "ui/controls/KelmButton.h"

#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

namespace PopupWindow
{

RECT WorkArea(HMONITOR monitor)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    return info.rcWork;
}

void Configure(KelmWindow& window, const RECT& rect, const wchar_t* className, const wchar_t* title,
               bool closeOnDeactivate)
{
    window.Set(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, className, title);
    window.style = WS_POPUP;
    window.frameMode = 1;
    window.cornerRadius = static_cast<int>(12 * DpiScale);
    window.keepTopmost = true;
    window.keepBottom = false;
    window.closeOnDeactivate = closeOnDeactivate;
}

void StopHover(HWND window, KelmButton& ok, KelmButton& cancel)
{
    ok.ResetAnimation();
    cancel.ResetAnimation();
    HoverAnimationCount = 0;
    StopHoverRepaints(window);
}

} // namespace PopupWindow
