// What start-up, the side windows and the main window need of the storage
// boxes: creating a stored or new box (BoxCreation.cpp) and showing or
// hiding all boxes. UI thread only.
#pragma once

#include <string>

namespace TessikDesktopContainer
{

// Creates the box window of one stored box, or with id "NULL" a new one:
// targetFolder "NULL" makes a mapping box, a parent folder a normal box
// (its folder parent\id is made), a folder with isCustomTarget a target
// box; zMode is the new box's stored z order.
void CreateCom(std::wstring id, std::wstring targetFolder, bool isCustomTarget, int zMode);

} // namespace TessikDesktopContainer

// Shows or hides every box (the visibility hotkey).
void ToggleAllBoxesVisible();
