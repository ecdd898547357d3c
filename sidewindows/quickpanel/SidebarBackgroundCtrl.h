// The invisible control under the sidebar rows: in separate-content mode a
// click into empty sidebar space clears the selection and hides the
// content window. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <memory>

#include "ui/core/BrevinControl.h"

namespace TessikQuickPanel
{

class SidebarBackgroundCtrl : public Brevin::BrevinControl
{
public:
    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    void CreateCtl(HWND window, ID2D1HwndRenderTarget* target);
    void AttachCtl(HWND window, ID2D1HwndRenderTarget* target, std::shared_ptr<SidebarBackgroundCtrl> self);
};

extern std::shared_ptr<SidebarBackgroundCtrl> s_sidebarBackground;

} // namespace TessikQuickPanel
