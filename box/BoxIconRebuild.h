// Keeps grouped boxes in step: after a view that shows records of other
// boxes is saved, each of those boxes gets its own manager rebuilt from
// them. UI thread only.
#pragma once

#include "box/icons/KelmIconManager.h"

// Only boxes whose records the source holds completely are rebuilt, so a
// search view never empties a box.
void RebuildBoxIcons(const KelmIconManager& source);
