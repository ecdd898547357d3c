// The more button's menu: grid or list view, z order, floating or embedded
// layer, icon spacing, sort modes and lock, box settings and delete.
// Each handler sets the record, then the stored key (saving, except for
// "z"), then the window; the next paint lays the icons out. UI thread only.
#pragma once

#include <vector>

#include "box/BoxRuntime.h"
#include "ui/core/KelmOption.h"

namespace TessikDesktopContainer
{

// Opens the menu at the cursor; nothing while an icon drop onto the box is
// pending.
void ShowBoxMoreMenu(const BoxWindowPtr& box);
// The menu's entries as the box stands now.
std::vector<Brevin::KelmOption> BoxMoreMenuOptions(const BoxWindowPtr& box);

void ToggleBoxListView(const BoxWindowPtr& box);
// "z" 2, 1, 0: assigned but not saved; the next save of the store takes it.
void SetBoxZTopmost(const BoxWindowPtr& box);
void SetBoxZLayered(const BoxWindowPtr& box);
void SetBoxZBottom(const BoxWindowPtr& box);
void SetBoxFloatingLayer(const BoxWindowPtr& box);
void SetBoxEmbeddedLayer(const BoxWindowPtr& box);
void SetIconSpacingCompact(const BoxWindowPtr& box);
void SetIconSpacingStandard(const BoxWindowPtr& box);
void SetIconSpacingLoose(const BoxWindowPtr& box);

} // namespace TessikDesktopContainer
