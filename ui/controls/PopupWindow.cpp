#include "ui/controls/PopupWindow.h"
#include "ui/controls/KelmButton.h"

#include <algorithm>

#include "ui/core/DpiScale.h"
#include "ui/core/DropShadow.h"
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

namespace
{

void EndHoverRepaint(HWND window)
{
    HoverAnimationCount = 0;
    StopHoverRepaints(window);
}

} // namespace

void StopHover(HWND window, KelmButton& ok, KelmButton& cancel)
{
    ok.ResetAnimation();
    cancel.ResetAnimation();
    EndHoverRepaint(window);
}

void StopHover(HWND window, const std::vector<std::shared_ptr<KelmButton>>& buttons)
{
    for (const auto& button : buttons) {
        if (button)
            button->ResetAnimation();
    }
    EndHoverRepaint(window);
}

void AddMenuShadow(HWND window)
{
    using Brevin::Window::OuterShadow::DropShadow;
    auto shadow = std::make_shared<DropShadow>();
    shadow->SetDarkness(80);
    shadow->SetSharpness(static_cast<uint8_t>(std::clamp(static_cast<int>(5 * DpiScale), 0, 255)));
    shadow->SetSize(0);
    shadow->SetPosition(0, static_cast<int>(3 * DpiScale));
    shadow->Create(window);
}

} // namespace PopupWindow
