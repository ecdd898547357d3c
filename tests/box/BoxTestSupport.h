// Shared by the tests that make real box windows.
#pragma once

#include <windows.h>

#include <vector>

#include "box/BoxRuntime.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/KelmWindow.h"

// Takes a box out of the registry and stops its timers. The window itself
// stays until the process ends: destroying one costs Wine about two
// seconds, and the other suites must not see it as a box.
inline void RetireBoxWindow(const BoxWindowPtr& box)
{
    static std::vector<BoxWindowPtr> kept;
    if (!box)
        return;
    box->StopHoverRepaintTimer();
    KillTimer(box->GetHwnd(), kAnimationTimerId);
    s_boxRuntimes.erase(box);
    s_boxIconManagers.erase(box);
    s_boxSearchManagers.erase(box);
    kept.push_back(box);
}
