#include "ui/core/HitTest.h"

#include <windowsx.h>

#include "ui/core/DpiScale.h"

bool HitTestScaledRect(const POINT* point, int x, int y, int w, int h, RECT* pixels)
{
    const double s = DpiScale;
    const RECT rc{static_cast<LONG>(x * s), static_cast<LONG>(y * s), static_cast<LONG>((x + w) * s),
                  static_cast<LONG>((y + h) * s)};
    if (pixels)
        *pixels = rc;
    return point && PtInRect(&rc, *point);
}

bool HitTestScaled(const POINT* point, int x, int y, int w, int h)
{
    return HitTestScaledRect(point, x, y, w, h, nullptr);
}

bool HitTestCursor(HWND window, int x, int y, int w, int h)
{
    // Where the pointer was when the thread took its last message, which
    // the thread already holds: a paint asks the system nothing. Asked
    // anew, under Wine each control's question went to the server, which
    // a file job keeps busy, and held a paint for up to tens of ms.
    const DWORD at = GetMessagePos();
    POINT pt{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (!ScreenToClient(window, &pt))
        return false;
    return HitTestScaled(&pt, x, y, w, h);
}

bool LeftButtonReleaseMissed()
{
    // The button is read first: reading it may bring the release into the
    // queue.
    return GetAsyncKeyState(VK_LBUTTON) >= 0 && !(HIWORD(GetQueueStatus(QS_MOUSEBUTTON)) & QS_MOUSEBUTTON);
}
