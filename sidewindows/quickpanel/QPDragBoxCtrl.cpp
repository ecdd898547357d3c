#include "sidewindows/quickpanel/QPDragBoxCtrl.h"

#include "ui/core/DrawingHelpers.h"

namespace TessikQuickPanel
{

std::shared_ptr<QPDragBoxCtrl> s_dragBox = std::make_shared<QPDragBoxCtrl>();

Brevin::kelmRect QPDragBoxCtrl::GetRect()
{
    return {static_cast<int>(fx), static_cast<int>(fy), static_cast<int>(fw), static_cast<int>(fh)};
}

void QPDragBoxCtrl::CreateCtl(HWND, ID2D1HwndRenderTarget* target)
{
    if (!target || !visible || fw <= 0.0f || fh <= 0.0f)
        return;
    DrawRoundRect(target, fx, fy, fw, fh, 0xFB7952, 1.0f, 0.2f, 1.0f, 0xFB7952, 0.8f);
}

void QPDragBoxCtrl::AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<QPDragBoxCtrl>)
{
    CreateCtl(window, target);
}

} // namespace TessikQuickPanel
