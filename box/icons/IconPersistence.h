// The icon keys of the boxes in "DesktopContainer.kelm": under "Components",
// "ComID_" + box id, "Icons", one "iconID_" + n object per icon with "path",
// "alias" and "originalPath". UI thread only.
#pragma once

#include <string>

#include "box/icons/KelmIconManager.h"

// Writes the records of the view to the boxes that own them and saves the
// store; then the other boxes shown in the view are rebuilt from it. A box
// is written only when it is a real box that still exists and the view
// holds all of its records. Never throws: a failed save is logged and the
// records stay as they are.
void SaveBoxIcons(KelmIconManager& view);

// Adds the stored icons of the box to the manager, in stored order, at
// (0, 0) so that they fade in. Creates nothing in the store.
void LoadBoxIcons(KelmIconManager& manager, const std::wstring& boxId);

// Whether the view holds every record that the box's own manager holds (a
// search view or a filtered list does not); the box's own manager always
// does.
bool ViewHoldsAllRecordsOf(const KelmIconManager& view, const BoxWindowPtr& box);
