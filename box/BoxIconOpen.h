// Opening an icon: the open callback of every icon control. A click during
// an icon drag completes the drop the drag left pending (s_dragFinishAction); Ctrl+click, or a
// click while the box is in multi-select mode, toggles the icon's selection;
// anything else opens the file (folders and shortcuts through Explorer, the
// rest with the shell's "open" verb). UI thread only.
#pragma once

#include <functional>
#include <string>

#include "box/icons/KelmIconManager.h"

// How an icon's path is opened: through Explorer with a command line, or
// with the shell's "open" verb on the path.
struct IconLaunch {
    bool throughExplorer = false;
    // The command line for Explorer, or the path for the shell.
    std::wstring text;
};

// Folders and ".lnk" files (any letter case) go to Explorer with the path in
// quotes; everything else, a missing file too, to the shell.
IconLaunch PlanIconLaunch(const std::wstring& path, bool isFolder);

// Starts what PlanIconLaunch planned (CreateProcessW or ShellExecuteW);
// tests replace it. Results are ignored: the shell shows its own messages.
extern std::function<void(const IconLaunch&)> s_iconLauncher;

// The icon manager's open hook.
void OpenIcon(TessikDesktopContainer::KelmIconManager& view, const IconRecord& record);
