// The modal popup both colour palettes are made of: a borderless window
// titled "调色板" with the fixed and the extra swatches, closed by a swatch
// click (a choice) or by losing activation (dismissed). The colour menu
// draws its option rows under the swatches through `drawBelow`. UI thread
// only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ui/controls/PaletteLayout.h"

class KelmButton;
class KelmWindow;
namespace Brevin
{
class D2DBrevinPanel;
}

// Filled by the caller before it opens either palette; shown after the
// fixed swatches, in order.
extern std::vector<PaletteColorEntry> s_paletteExtraColors;

class PalettePopup
{
public:
    // What tells the two palettes apart, and the three results each has.
    struct Kind {
        const wchar_t* className;
        const wchar_t* title;
        float titleY;    // DIPs
        float titleSize; // at content scale 1
        int swatchTop;   // PaletteLayout::kPaletteSwatchTop or kMenuSwatchTop
        COLORREF* live;
        COLORREF* chosen;
        uint8_t* dismissed;
    };
    using DrawBelow = std::function<void(HWND, ID2D1HwndRenderTarget*, Brevin::D2DBrevinPanel*, float clientW)>;

    explicit PalettePopup(Kind kind);
    PalettePopup(const PalettePopup&) = delete;
    PalettePopup& operator=(const PalettePopup&) = delete;

    // The extras for the coming showing: the caller's list, copied so the
    // swatches stay what the popup was opened with.
    const std::vector<PaletteColorEntry>& Extras() const { return extras_; }

    // Shows the popup at `rect` (pixels, already in the work area) and
    // returns once it has closed. The extras are read from
    // s_paletteExtraColors. A call while this popup is open returns at once
    // with its caller told "dismissed": the open popup's choice is not its.
    void Show(const RECT& rect, DrawBelow drawBelow, std::function<void()> onDestroy);
    // Copies s_paletteExtraColors for the next Show; the colour menu needs
    // them to size its window before it shows.
    void TakeExtras();

    // The owner's window rectangle; a point at the cursor when there is no
    // owner to open on.
    static RECT OwnerRect(HWND owner);
    // Pulls a wished rectangle into the work area of the monitor nearest to
    // its top-left corner.
    static RECT IntoWorkArea(const RECT& wished);

    bool IsOpen() const { return open_; }
    HWND Hwnd() const;

    // A choice other than a swatch (a row of the colour menu). Begin marks
    // the popup as closing by choice, so the loss of activation that the
    // row's own action or the close causes does not count as a dismissal;
    // false when the popup is not open or already closing. Finish records
    // the choice and closes the popup.
    bool BeginChoice();
    void FinishRowChoice();

private:
    void ChooseSwatch(COLORREF colour);
    void OnDeactivate();
    void Draw(HWND hwnd, ID2D1HwndRenderTarget* rt);

    Kind kind_;
    std::shared_ptr<KelmWindow> window_;
    std::vector<PaletteColorEntry> extras_;
    std::vector<std::shared_ptr<KelmButton>> swatches_;
    DrawBelow drawBelow_;
    std::function<void()> onDestroy_;
    bool open_ = false;
    bool closedByChoice_ = false;
};
