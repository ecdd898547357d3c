// What a box window does when it moves or is sized: it snaps to the edges of
// other boxes, carries the boxes of its colour group along, keeps its
// rectangle in the store and, when the user's move ends, chooses its expand
// direction and saves. UI thread only.
#pragma once

#include <windows.h>

#include "app/KelmStorage.h"
#include "box/BoxRuntime.h"

namespace TessikDesktopContainer
{

// The box whose window this is; null for any other window.
BoxWindowPtr FindBoxByWindow(HWND window);

// Where the box keeps its rectangle: its own object, or "IntegratedPos"
// inside it for an integrated box.
KelmStorageProxy BoxPositionObject(const BoxRuntime& runtime);

// The stored unfolded height ("cy"), by default 400 DIPs.
int StoredUnfoldedHeight(const BoxRuntime& runtime);

// The box window's onSizing callback (WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED,
// WM_SIZING); also called by the fold and unfold code with internalResize set
// so that the group follows a change of height. Changes the store in memory
// only.
void OnBoxWindowPosChanged(const HWND& window);

// The box window's onExitSizeMove callback: turns the box over near the
// bottom of the work area and saves the store.
void UpdateExpandDirection(const HWND& window);

} // namespace TessikDesktopContainer
