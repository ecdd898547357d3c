#include "box/BoxServices.h"

#include <set>

#include "app/AppState.h"
#include "box/BoxRuntime.h"
#include "ui/core/KelmWindow.h"

void ToggleAllBoxesVisible()
{
    // A member of an integrated group is shown inside its host and stays
    // hidden when the boxes come back.
    std::set<BoxWindowPtr> grouped;
    if (s_boxesHidden) {
        for (const auto& [window, runtime] : s_boxRuntimes) {
            for (const BoxWindowPtr& member : IntegratedGroupMembers(window))
                grouped.insert(member);
        }
    }
    // The caller flips s_boxesHidden afterwards. The quick panel's windows
    // stand in the registry too but are no boxes.
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (!window || runtime.IsPseudoBox() || !IsWindow(window->GetHwnd()))
            continue;
        if (!s_boxesHidden)
            ShowWindow(window->GetHwnd(), SW_HIDE);
        else if (runtime.IsIntegrated || !grouped.count(window))
            ShowWindow(window->GetHwnd(), SW_SHOW);
    }
}
