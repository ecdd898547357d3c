// What the quick panel's content view shows: the icon managers of the two
// pseudo boxes ("QUICK_PANEL_ROOT": a desktop box's records, a hidden
// box's mapped entries or the search matches; "QUICK_PANEL_PHYS": the
// files of a hidden box's folder) filled for the selection and search, and
// a hidden box's entries written back to "TempIcons" and "TempPhysIcons".
// UI thread only.
#pragma once

#include <memory>
#include <string>

class KelmWindow;

namespace TessikQuickPanel
{

// Rebuilds both lists for the current selection and search.
void RefreshQuickPanelContent();

// A box's records changed outside the panel (its folder refresh): while
// the panel is open on that box, or searches every box, its main list
// follows. Records still shown keep their place, motion and selection, and
// the scroll stays. True when the main list changed.
bool FollowBoxChange(const std::shared_ptr<KelmWindow>& box);

// When a hidden box is selected, writes its two lists to the store: only
// when they differ from what the store holds for it, when the selection is
// new, or when forced. The file is written off the UI thread.
void SaveHiddenBoxEntries(bool force);

} // namespace TessikQuickPanel
