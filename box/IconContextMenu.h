// The menu of a right click on an icon: on the whole selection while the box
// is in multi-select mode, else on the clicked icon (copy, cut, plain text,
// alias, open with, print, rename, move back, path, delete). Row callbacks
// own copies of the record, so they stay valid when the list changes. UI
// thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "box/BoxRuntime.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/KelmOption.h"

// The icon manager's context-menu hook: the menu at the cursor.
void ShowIconContextMenu(TessikDesktopContainer::KelmIconManager& view, const IconRecord& record);
// The rows of that menu.
std::vector<Brevin::KelmOption> IconContextMenuOptions(TessikDesktopContainer::KelmIconManager& view,
                                                       const IconRecord& record);

// The alias after an entry in the input box: an empty entry is a blank
// alias ("bvn!BLANK"), so the icon shows no name.
std::wstring AliasFromEntry(const std::wstring& entry);
// Gives every record of R's path (the first of each view) the alias, with
// an undo record in box; records are matched by path alone.
void SetIconAlias(const BoxWindowPtr& box, const IconRecord& record, const BoxWindowPtr& owner,
                  const std::wstring& alias);

// Renames R's file within its folder: that very entry, also when its name
// ends in a dot or a blank and another entry has the name without them.
// Refused (false, nothing changed, the user told) for a name no entry can
// take (TypedNameRefusal) or that another file already has (nothing is
// ever replaced), and for a file that is a box's folder or holds one; a
// rename the system refuses is told with its reason. Records, store and
// undo follow the new path.
bool RenameIconFile(const BoxWindowPtr& box, const IconRecord& record, const BoxWindowPtr& owner,
                    const std::wstring& name);
// Moves R's file to the typed destination and takes its records out of
// every view: into an existing folder (or one typed with a trailing
// separator) under its own name, else under the typed name; a free
// " (n)" name when taken, the folder made when missing. A path that is
// not absolute is refused, and so is any while a file job runs. The move
// runs as a file job: true when it started (or the item was already gone
// and its record left). When it ends the records go if the item left its
// place, and the user is told where it went, or why it (or part of it)
// stayed (then its record stays).
bool RestoreIconToOriginalPath(const IconRecord& record, const BoxWindowPtr& owner, const std::wstring& destination);
// Asked when a move back would go into a folder of the box root or of a
// box that is gone, or that no box shows: true puts the file on the
// Desktop instead. Tests replace it.
extern std::function<bool(HWND owner, const std::wstring& text)> s_putBackOnDesktopQuestion;
