// The menu of a right click on a box's empty background: unlocking (a
// locked box), "新建", paste, undo and redo, the box's folder and a command
// line there. UI thread only.
#pragma once

#include <windows.h>

#include <vector>

#include "box/BoxRuntime.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/KelmOption.h"

namespace TessikDesktopContainer
{

// The receiver's right click: the menu at the cursor.
void ShowBoxBackgroundMenu(const BoxWindowPtr& box, KelmIconManager* manager);
// The entries for a right click at p (screen pixels).
std::vector<Brevin::KelmOption> BoxBackgroundMenuOptions(const BoxWindowPtr& box, KelmIconManager* manager, POINT p);
// Whose undo and redo lists the menu offers: the box's own, or in an
// integrated box those of the owner of the icon nearest to p.
BoxWindowPtr UndoTargetAt(const BoxWindowPtr& box, const KelmIconManager* manager, POINT p);

void OpenBoxFolder(const BoxWindowPtr& box);
void OpenBoxCommandLine(const BoxWindowPtr& box);

} // namespace TessikDesktopContainer
