// What start-up and the main window need of the storage boxes: creating a
// stored box and showing or hiding all boxes. Minimal for now: the box
// window fills these in. UI thread only.
#pragma once

#include <string>

namespace TessikDesktopContainer
{

// Creates the box window of one stored (or, with id "NULL", new) box.
void CreateCom(std::wstring id, std::wstring targetFolder, bool isCustomTarget, int zMode);

} // namespace TessikDesktopContainer

// Shows or hides every box (the visibility hotkey).
void ToggleAllBoxesVisible();
