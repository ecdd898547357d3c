#include "sidewindows/quickpanel/SidebarBackgroundCtrl.h"

#include "sidewindows/quickpanel/QuickPanelContent.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "ui/core/KelmWindow.h"

namespace TessikQuickPanel
{

std::shared_ptr<SidebarBackgroundCtrl> s_sidebarBackground = std::make_shared<SidebarBackgroundCtrl>();

int SidebarBackgroundCtrl::AddEvent(const Brevin::kelmPoint&, Brevin::kelmEvent event)
{
    if (event != Brevin::KELM_LBUTTON_UP || !s_separateContent || s_selectedComponentId.empty())
        return 0;
    SelectComponent(L"", false);
    HideContentWindow();
    RefreshQuickPanelContent();
    if (s_quickPanelWindow && IsWindow(s_quickPanelWindow->GetHwnd()))
        InvalidateRect(s_quickPanelWindow->GetHwnd(), nullptr, FALSE);
    return 1;
}

void SidebarBackgroundCtrl::CreateCtl(HWND, ID2D1HwndRenderTarget*)
{
    // Nothing to draw: the control only catches clicks.
}

void SidebarBackgroundCtrl::AttachCtl(HWND window, ID2D1HwndRenderTarget* target,
                                      std::shared_ptr<SidebarBackgroundCtrl>)
{
    CreateCtl(window, target);
}

} // namespace TessikQuickPanel
