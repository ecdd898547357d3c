#include "box/BoxServices.h"

#include "app/AppState.h"
#include "box/BoxRuntime.h"
#include "ui/core/KelmWindow.h"

void ToggleAllBoxesVisible()
{
    // The caller flips s_boxesHidden afterwards. The quick panel's windows
    // stand in the registry too but are no boxes.
    for (const auto& [window, runtime] : s_boxRuntimes) {
        if (!window || runtime.IsPseudoBox() || !IsWindow(window->GetHwnd()))
            continue;
        ShowWindow(window->GetHwnd(), s_boxesHidden ? SW_SHOWNOACTIVATE : SW_HIDE);
    }
}
