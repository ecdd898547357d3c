#include "sidewindows/quickpanel/QuickPanelContent.h"

#include <string>

#include "box/BoxRuntime.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/ThemeColors.h"

namespace TessikQuickPanel
{

namespace
{

// The selected component's title, or "隐身收纳盒" for a hidden box.
std::wstring SelectedTitle()
{
    if (s_selectedIsHidden) {
        for (const HiddenBoxRecord& record : s_hiddenBoxes) {
            if (record.id == s_selectedComponentId)
                return record.title;
        }
        return L"隐身收纳盒";
    }
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (window && runtime.id == s_selectedComponentId)
            return runtime.title;
    }
    return L"";
}

} // namespace

void RenderRightSide(HWND hwnd, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmWindow> window, float w, float,
                     float left, std::shared_ptr<KelmCaptionBar> captionBar)
{
    if (!window || !rt)
        return;
    if (captionBar) {
        captionBar->Set(static_cast<int>(left), 0, static_cast<int>(w - left), 40, L"", ThemeBaseColor.Ref(), 18,
                        ThemeTextColor.Ref(), 14, 25, [] {});
        window->GetPanel()->AddControl(captionBar);
    }
    if (s_selectedComponentId.empty())
        return;
    // Writes only when the entries changed since the last write.
    if (!s_physicalSectionActive)
        SaveHiddenBoxEntries(false);
    const std::wstring title = SelectedTitle();
    DrawTextSemibold(rt, left + 25, 75, w - left - 40, 25, title.c_str(), 14.0f, ThemeTextColor.Ref(), L"Segoe UI",
                     0.8f, false);
    (void)hwnd;
}

} // namespace TessikQuickPanel
