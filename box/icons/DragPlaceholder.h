// The placeholder record that travels through a view's list while an icon
// or a file drag passes over a box. It belongs to one view and is known by
// its control, so another view never takes one of its own records for it.
// UI thread only.
#pragma once

#include <memory>

#include "box/icons/KelmIconManager.h"

struct DragPlaceholder {
    KelmIconManager* manager = nullptr;
    // Record id in that view; -2 = no placeholder.
    int index = -2;
    std::weak_ptr<TessikDesktopContainer::KelmIcon> control;
};

extern DragPlaceholder s_dragPlaceholder;

// Marks the view's record at index as the placeholder (its control is made
// when it has none yet).
void SetDragPlaceholder(KelmIconManager& view, int index);
void ClearDragPlaceholder();
