// Where the colour palette and the colour menu put their swatches, and how
// large they open: pure rules over the extra entries and the DPI factor,
// shared by both popups and tested without a window.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

// One extra entry of the palettes: a plain swatch when the name is empty,
// else a swatch twice as wide labelled with the name ("默认").
struct PaletteColorEntry {
    COLORREF colour = 0; // red in the low byte
    std::wstring name;
};

namespace PaletteLayout
{

// The ten pastel swatches every palette shows first, in order.
inline constexpr std::array<COLORREF, 10> kFixedSwatches{0x919BEB, 0x8CAFEB, 0x8CD2EB, 0x96DCBE, 0xAAD296,
                                                         0xDCBE8C, 0xE1B4A0, 0xDCA0AA, 0xD2A0C8, 0xE1AADC};

// Swatch tops in DIPs at scale 1: below the palette's title, below the
// colour menu's smaller one.
inline constexpr int kPaletteSwatchTop = 60;
inline constexpr int kMenuSwatchTop = 45;

// Width units of an entry: 2 for a named one, 1 for a plain one.
int Units(const PaletteColorEntry& entry);

// The row and column of each entry when entries of the given widths flow
// into rows of at most five units.
struct Slot {
    int row;
    int column;
};
std::vector<Slot> Flow(const std::vector<int>& units);

// Rows the extra entries take below the two rows of fixed swatches.
int ExtraRows(const std::vector<PaletteColorEntry>& extras);

// One swatch as drawn: rectangle in DIPs, colour and label.
struct Swatch {
    int x, y, w, h;
    COLORREF colour;
    std::wstring label;
};
// The fixed swatches and then the extras, laid out at content scale s
// (0.8 at rest) below `top` (kPaletteSwatchTop or kMenuSwatchTop).
std::vector<Swatch> Swatches(const std::vector<PaletteColorEntry>& extras, float s, int top);

// The ring under the selected swatch: 50 darker on every channel.
COLORREF RingColour(COLORREF colour);

// Height in DIPs of the colour menu's palette part, above its rows.
int MenuPaletteHeight(int extraRows);

// Window rectangles in pixels before they are pulled into the work area.
RECT PaletteRect(const RECT& owner, double d, int extraRows);
RECT ColorMenuRect(const RECT& owner, double d, int extraRows, int optionCount, int top);

} // namespace PaletteLayout
