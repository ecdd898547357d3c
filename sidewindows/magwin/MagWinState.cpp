#include "sidewindows/magwin/MagWinState.h"

#include "sidewindows/magwin/ContainerListItem.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

namespace TessikMagWin
{

std::shared_ptr<KelmWindow> s_magWindow;
std::shared_ptr<KelmWindow> s_magIconWindow;
std::vector<std::shared_ptr<ContainerListItem>> s_magRows;
int s_magDragIndex = -1;
float s_magGrabOffset = 0.0f;
float s_magScrollOffset = 0.0f;
HWND s_foundDialog = nullptr;
RECT s_cachedDialogRect{};

TessikDesktopContainer::KelmIconManager s_magIconManager(48, 20, 20);
bool s_magFilterEnabled = true;
bool s_magFilterActive = false;
std::vector<std::wstring> s_magFilterPatterns;
float s_magIconScroll = 0.0f;

bool IsLive(const std::shared_ptr<KelmWindow>& window)
{
    // The framework drops a destroyed window from WindowMap while the object
    // keeps its old handle, which the system may hand out again.
    if (!window || !window->GetHwnd() || !IsWindow(window->GetHwnd()))
        return false;
    auto entry = WindowMap.find(window->GetHwnd());
    return entry != WindowMap.end() && entry->second == window.get();
}

HWND MagHwnd()
{
    return IsLive(s_magWindow) ? s_magWindow->GetHwnd() : nullptr;
}

void RepaintMagWindow()
{
    if (HWND hwnd = MagHwnd())
        InvalidateRect(hwnd, nullptr, FALSE);
}

double Scale()
{
    return DpiScale > 0 ? DpiScale : 1.0;
}

} // namespace TessikMagWin
