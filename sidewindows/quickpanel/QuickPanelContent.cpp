#include "sidewindows/quickpanel/QuickPanelContent.h"

#include <string>

#include "box/BoxRuntime.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "sidewindows/quickpanel/QuickPanelPaste.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmReceiver.h"
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

void RenderRightSide(HWND hwnd, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmWindow> window, float w, float h,
                     float left, std::shared_ptr<KelmCaptionBar> captionBar)
{
    if (!window || !rt)
        return;
    // Under everything else: takes dropped files and right clicks.
    std::shared_ptr<KelmReceiver>& receiver = s_boxRuntimes[s_quickPanelWindow].receiver;
    if (!receiver)
        receiver = std::make_shared<KelmReceiver>();
    receiver->Set(
        static_cast<int>(left), 60, static_cast<int>(w - left), static_cast<int>(h - 60),
        [hwnd, left, w](std::vector<std::wstring> paths) { OnQuickPanelFilesDropped(hwnd, left, w, paths); },
        [hwnd, left, w] { ShowQuickPanelContentMenu(hwnd, left, w); });
    window->GetPanel()->AddControl(receiver);
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
