// Making box windows: the runtime record, the icon managers, the controls,
// the colour group, the framework window and its callbacks of one stored
// or new box (TessikDesktopContainer::CreateCom, declared with the other
// services in BoxServices.h). UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>

#include "box/BoxRuntime.h"

namespace TessikDesktopContainer
{

// A fresh box id that none of used holds; draw makes candidates.
std::wstring DrawFreeBoxId(const std::set<std::wstring>& used, const std::function<std::wstring()>& draw);
// The ids of the boxes stored under "Components" and of the live boxes.
std::set<std::wstring> BoxIdsInUse();

// Whether a box with this tag colour and kind joins another box's colour
// group at creation; the untagged grey never forms a group.
bool SharesColourGroup(COLORREF colour, bool useTargetFolder, COLORREF otherColour, bool otherUseTargetFolder);

// The tag colour of a box (its title button's fill).
COLORREF BoxTagColour(const BoxRuntime& runtime);

} // namespace TessikDesktopContainer
