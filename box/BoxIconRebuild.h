// Keeps grouped boxes in step: after a view that shows records of other
// boxes is saved, each of those boxes gets its own manager rebuilt from
// them. UI thread only.
#pragma once

#include <vector>

#include "box/icons/KelmIconManager.h"

// The own view of an integrated host speaks for its whole group: these are
// the members it stands for, records or none (a member whose last record
// went away there is emptied as well). Empty for any other view.
std::vector<BoxWindowPtr> MembersSpokenFor(const KelmIconManager& view);

// Only boxes whose records the source holds completely are rebuilt, so a
// search view never empties a box.
void RebuildBoxIcons(const KelmIconManager& source);
