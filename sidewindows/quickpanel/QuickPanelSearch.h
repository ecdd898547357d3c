// The quick panel's search over the selected component and every other
// box, made off to the side and shown once whole: a hidden box's folder is
// read on a thread of its own, the boxes are matched a slice per turn of
// the UI thread, and the main list keeps what it showed until then, so it
// never flickers to empty. UI thread only.
#pragma once

#include <memory>
#include <string>

class KelmWindow;

namespace TessikQuickPanel
{

// Starts the search for the panel's search text and the selection,
// dropping one on its way. The main list takes the result at once when no
// folder has to be read and the matching fits one turn, else when it is
// whole; a result whose search text, selection, panel or folder changed
// meanwhile is dropped.
void StartSearch();
// A box's records changed while a search is shown: only that box is
// matched again. True when the main list changed.
bool FollowSearchBoxChange(const std::shared_ptr<KelmWindow>& box);
// Whether a search result is still being made.
bool SearchOnItsWay();
// The search on its way is no longer wanted (the content is rebuilt).
void DropSearch();

// The name an entry is searched by: the last part of its alias, or of its
// path when it has none.
std::wstring EntrySearchName(const std::wstring& path, const std::wstring& alias);

} // namespace TessikQuickPanel
