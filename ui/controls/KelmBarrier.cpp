#include "ui/controls/KelmBarrier.h"

#include "ui/controls/PointerRouting.h"
#include "ui/core/D2DResources.h"

using namespace Brevin;

void KelmBarrier::Set(int, int y_, int w_, int h_, std::function<void()> pressed)
{
    x = 0;
    y = y_;
    w = w_;
    h = h_;
    onMouseDown = std::move(pressed);
}

int KelmBarrier::AddEvent(const kelmPoint&, kelmEvent event)
{
    return RoutePointerEventWithHover(*this, event);
}

void KelmBarrier::CreateCtl(HWND, ID2D1HwndRenderTarget*) {}

int KelmBarrier::OnMouseUp()
{
    InvalidateWindow(window);
    return 0;
}

int KelmBarrier::OnMouseDown()
{
    if (onMouseDown)
        onMouseDown();
    InvalidateWindow(window);
    return 0;
}

void KelmBarrier::AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* target, std::shared_ptr<KelmBarrier>)
{
    window = hwnd;
    CreateCtl(hwnd, target);
}
