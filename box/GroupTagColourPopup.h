// L in the foreground box: the colour palette for the box's group tag; the
// choice is stored as the box's "clrtag" (and, for a box that shows other
// boxes' records, theirs too). UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "box/PendingBoxTimer.h"

class KelmWindow;

void CALLBACK ShowGroupTagPopup(HWND hwnd, UINT message, UINT_PTR timerId, DWORD time);
// The box whose L waits for ShowGroupTagPopup.
extern PendingBoxTimer s_pendingGroupTag;

// Opens the palette owned by the box, with its current colour; returns the
// chosen colour, or false when it was dismissed. Tests replace it.
extern std::function<bool(HWND owner, COLORREF current, COLORREF* chosen)> s_groupTagPalette;

// The new colour of the box (and of the boxes it shows records of, when it
// is integrated), stored and saved; false when the store could not be
// saved (the user is told).
bool ApplyGroupTagColour(const std::shared_ptr<KelmWindow>& box, COLORREF colour);
