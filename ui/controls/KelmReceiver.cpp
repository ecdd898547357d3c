#include "ui/controls/KelmReceiver.h"

#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"
#include "ui/core/KelmWindow.h"

using namespace Brevin;

void KelmReceiver::Set(int x_, int y_, int w_, int h_, std::function<void(std::vector<std::wstring>)> files,
                       std::function<void()> rightClick)
{
    x = x_;
    y = y_;
    w = w_;
    h = h_;
    onFiles = std::move(files);
    onRightClick = rightClick ? std::move(rightClick) : [] {};
}

int KelmReceiver::OnDropFiles(const kelmPoint&, kelmEvent event, std::vector<std::wstring> paths)
{
    if (event != KELM_DROP_FILES)
        return kNotHandled;
    if (onFiles)
        onFiles(std::move(paths));
    InvalidateWindow(window);
    return 0;
}

int KelmReceiver::AddEvent(const kelmPoint&, kelmEvent event)
{
    return RoutePointerEvent(
        *this, event,
        [this] {
            hovered = true;
            // While the window animates, its animation timer repaints anyway.
            auto it = WindowMap.find(window);
            if (it == WindowMap.end() || !it->second || it->second->animationManager.GetActiveCount() == 0)
                InvalidateWindow(window);
        },
        [this, event] {
            if (event == KELM_RBUTTON_UP && onRightClick)
                onRightClick();
        });
}

void KelmReceiver::CreateCtl(HWND, ID2D1HwndRenderTarget*) {}

int KelmReceiver::OnMouseUp()
{
    InvalidateWindow(window);
    return 0;
}

int KelmReceiver::OnMouseDown()
{
    return OnMouseUp();
}

void KelmReceiver::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmReceiver>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}
