// The colour palette: a modal popup of ten pastel swatches and the
// caller's extra entries (s_paletteExtraColors) over the owner's top-left
// corner. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/controls/PalettePopup.h"

// The colour of the last clicked swatch; white when the palette opens (no
// swatch drawn selected).
extern COLORREF s_paletteLiveColor;
// The chosen colour; left as it was when the palette is dismissed.
extern COLORREF s_paletteChosenColor;
// 1 when the palette closed without a choice (a click elsewhere, a second
// call while one is open), 0 after a choice.
extern uint8_t s_paletteDismissed;

namespace KelmColorPattle
{

// Shows the palette and returns once it has closed; then, when
// s_paletteDismissed is 0, take s_paletteChosenColor. Only the owner is
// read: the other arguments are kept for callers that pass their current
// colour and 0 for the position.
void KelmCreateWindow(HWND owner, bool flag, int x, int y, int value, COLORREF colour);

} // namespace KelmColorPattle
