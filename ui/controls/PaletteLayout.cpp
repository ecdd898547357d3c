#include "ui/controls/PaletteLayout.h"

#include <algorithm>

namespace PaletteLayout
{

namespace
{

constexpr int kRowUnits = 5;

RECT AtSize(int x, int y, int w, int h)
{
    return {x, y, x + w, y + h};
}

} // namespace

int Units(const PaletteColorEntry& entry)
{
    return entry.name.empty() ? 1 : 2;
}

std::vector<Slot> Flow(const std::vector<int>& units)
{
    std::vector<Slot> slots;
    slots.reserve(units.size());
    int row = 0, column = 0;
    for (int u : units) {
        if (column + u > kRowUnits) {
            ++row;
            column = 0;
        }
        slots.push_back({row, column});
        column += u;
    }
    return slots;
}

namespace
{

std::vector<int> AllUnits(const std::vector<PaletteColorEntry>& extras)
{
    std::vector<int> units(kFixedSwatches.size(), 1);
    for (const PaletteColorEntry& entry : extras)
        units.push_back(Units(entry));
    return units;
}

} // namespace

int ExtraRows(const std::vector<PaletteColorEntry>& extras)
{
    if (extras.empty())
        return 0;
    // The fixed swatches fill rows 0 and 1 exactly, so the extras start on row 2.
    return Flow(AllUnits(extras)).back().row - 1;
}

std::vector<Swatch> Swatches(const std::vector<PaletteColorEntry>& extras, float s, int top)
{
    const int swatch = std::max(static_cast<int>(35 * s), 5);
    const int x0 = static_cast<int>(30 * s);
    const int y0 = static_cast<int>(top * s);
    const int gap = static_cast<int>(15 * s);
    const int pitch = swatch + gap;

    const std::vector<Slot> slots = Flow(AllUnits(extras));
    std::vector<Swatch> swatches;
    swatches.reserve(slots.size());
    for (size_t i = 0; i < slots.size(); ++i) {
        const bool fixed = i < kFixedSwatches.size();
        const PaletteColorEntry extra = fixed ? PaletteColorEntry{} : extras[i - kFixedSwatches.size()];
        const COLORREF colour = fixed ? kFixedSwatches[i] : extra.colour;
        const int w = extra.name.empty() ? swatch : 2 * swatch + gap;
        swatches.push_back({slots[i].column * pitch + x0, slots[i].row * pitch + y0, w, swatch, colour, extra.name});
    }
    return swatches;
}

COLORREF RingColour(COLORREF colour)
{
    const auto down = [](int channel) { return static_cast<BYTE>(std::max(channel - 50, 0)); };
    return RGB(down(GetRValue(colour)), down(GetGValue(colour)), down(GetBValue(colour)));
}

int MenuPaletteHeight(int extraRows)
{
    return 150 + 50 * extraRows;
}

RECT PaletteRect(const RECT& owner, double d, int extraRows)
{
    return AtSize(static_cast<int>(owner.left + 12 * d), static_cast<int>(owner.top + 9 * d), static_cast<int>(240 * d),
                  static_cast<int>((140 + 50 * extraRows) * d));
}

RECT ColorMenuRect(const RECT& owner, double d, int extraRows, int optionCount, int top)
{
    const int paletteHeight = MenuPaletteHeight(extraRows);
    return AtSize(static_cast<int>(owner.left + 8 * d), static_cast<int>(owner.top + top * d),
                  static_cast<int>(240 * d), static_cast<int>((paletteHeight + 30 * optionCount + 10) * d));
}

} // namespace PaletteLayout
