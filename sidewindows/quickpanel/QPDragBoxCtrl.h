// The translucent frame the content view draws while the user drags a
// selection marquee over the icons. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <memory>

#include "ui/core/BrevinControl.h"

namespace TessikQuickPanel
{

class QPDragBoxCtrl : public Brevin::BrevinControl
{
public:
    Brevin::kelmRect GetRect() override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<QPDragBoxCtrl> self);

    float fx = 0.0f, fy = 0.0f, fw = 0.0f, fh = 0.0f;
    bool visible = false;
};

extern std::shared_ptr<QPDragBoxCtrl> s_dragBox;

} // namespace TessikQuickPanel
