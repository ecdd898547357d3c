// The colour menu: the colour palette with a list of option rows under it,
// so one popup offers a colour tag and commands. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/controls/PalettePopup.h"
#include "ui/core/KelmOption.h"

// The three results of the colour menu, read like the palette's.
extern COLORREF s_colorMenuLiveColor;
extern COLORREF s_colorMenuChosenColor;
extern uint8_t s_colorMenuDismissed;

namespace KelmColorMenuPattle
{

// Shows the menu `top` DIPs below the owner's top edge and returns once it
// has closed. A clicked row runs its option's onClick (plain rows) or its
// item's (side-by-side rows) and closes the menu as not dismissed; x and y
// are not read.
void KelmCreateWindow(HWND owner, std::vector<Brevin::KelmOption> options, int x, int y, int top);

} // namespace KelmColorMenuPattle
