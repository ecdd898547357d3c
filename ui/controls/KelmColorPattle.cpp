#include "ui/controls/KelmColorPattle.h"

#include "ui/core/DpiScale.h"

COLORREF s_paletteLiveColor = 0xFFFFFF;
COLORREF s_paletteChosenColor = 0;
uint8_t s_paletteDismissed = 0;

namespace KelmColorPattle
{

namespace
{

PalettePopup& ThePalette()
{
    static PalettePopup palette({L"Kelm.concept.ColorPattle.Class", L"Kelm.Test.concept.Color", 15.0f, 20.0f,
                                 PaletteLayout::kPaletteSwatchTop, &s_paletteLiveColor, &s_paletteChosenColor,
                                 &s_paletteDismissed});
    return palette;
}

} // namespace

void KelmCreateWindow(HWND owner, bool, int, int, int, COLORREF)
{
    PalettePopup& palette = ThePalette();
    palette.TakeExtras();
    const RECT wished = PaletteLayout::PaletteRect(PalettePopup::OwnerRect(owner), DpiScale,
                                                   PaletteLayout::ExtraRows(palette.Extras()));
    palette.Show(PalettePopup::IntoWorkArea(wished), {}, {});
}

} // namespace KelmColorPattle
