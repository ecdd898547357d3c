// What start-up and the main window need of the storage boxes: creating a
// stored box, re-reading folder-backed boxes, repainting and showing or
// hiding all boxes. Minimal for now: the box window fills these in.
// UI thread only.
#pragma once

#include <string>

namespace TessikDesktopContainer
{

// Creates the box window of one stored (or, with id "NULL", new) box.
void CreateCom(std::wstring id, std::wstring targetFolder, bool isCustomTarget, int zMode);

// Brings every unfolded box that shows a folder in step with that folder.
void SyncFolderBoxes();

// Repaints every box (after a new desktop capture).
void InvalidateAllBoxes();

} // namespace TessikDesktopContainer

// Shows or hides every box (the visibility hotkey).
void ToggleAllBoxesVisible();
