// The soft drop shadow of popups: a click-through layered window owned by
// the window it shades, drawn from the owner's shape and kept in place by
// a window procedure installed on the owner. UI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace Brevin::Window::OuterShadow
{

// The inside of one pixel row of a shape; empty when left > right.
struct RowSpan {
    int left;
    int right;
    bool Empty() const { return left > right; }
};

struct ShadowParams {
    uint8_t darkness = 150;
    uint8_t sharpness = 5;
    int8_t size = 50;
    int8_t offsetX = 5;
    int8_t offsetY = 5;
    COLORREF colour = 0;
};

// Make with std::make_shared: Create registers the object for its owner,
// and that registration keeps it alive until the owner is destroyed.
class DropShadow : public std::enable_shared_from_this<DropShadow>
{
public:
    DropShadow() = default;
    virtual ~DropShadow() = default;
    DropShadow(const DropShadow&) = delete;
    DropShadow& operator=(const DropShadow&) = delete;

    // Makes the shadow window for the owner and subclasses the owner (once).
    // False when the window could not be made or the object is not shared.
    bool Create(HWND owner);
    // Redraws the shadow from the owner's current shape and rectangle.
    void Update(HWND owner);

    // Each setter refuses values outside its range and redraws a shown shadow.
    void SetDarkness(uint8_t darkness);
    bool SetSharpness(uint8_t sharpness); // 0..80
    bool SetSize(int size);               // -20..40
    bool SetPosition(int x, int y);       // -20..20 each
    void SetColor(COLORREF colour);

    const ShadowParams& Params() const { return params_; }
    HWND ShadowWindow() const { return shadow_; }
    // The shadow window registered for an owner, or null.
    static HWND ShadowWindowOf(HWND owner);
    // Redraws the owner's shadow, if it has one, from the owner's shape now
    // (the owner's region changed without a resize).
    static void RefreshFor(HWND owner);

    // Fills `bits` (premultiplied BGRA, rect's width + 2 size by height +
    // 2 size, top row first) from the owner's window region.
    void MakeShadowBitmap(uint32_t* bits, HWND owner, const RECT& rect) const;
    // The pure drawing: the shadow of a shape given as one span per row of
    // an ownerW x ownerH box, with the owner's own pixels left clear.
    static std::vector<uint32_t> RenderShadow(const std::vector<RowSpan>& rows, int ownerW, int ownerH,
                                              const ShadowParams& params);
    // The shadow laid over what lies under it (32-bit BGRA of the same
    // size), opaque wherever it shows: for a desktop that shows layered
    // pixels without blending them, where a translucent shadow would stand
    // as a solid black bar. Clear pixels stay clear.
    static void BlendOverOpaque(std::vector<uint32_t>& shadow, const std::vector<uint32_t>& under);

    enum Status : uint8_t { kExists = 1, kShown = 2, kOwnerVisible = 4 };

private:
    void RedrawIfShown();
    // Without a composing desktop: lays the shadow's pixels at `rect` on
    // the screen over what the screen showed there.
    void LayOverScreen(uint32_t* bits, const RECT& rect);

    HWND shadow_ = nullptr;
    uint8_t status_ = 0;
    ShadowParams params_;
    // Without a composing desktop: what the screen showed where the shadow
    // lies, read while the shadow was not there yet.
    std::vector<uint32_t> under_;
    RECT underRect_{};
};

// Registers "Dawnrail.UI.BackDropWnd.Shadow.Class"; again is harmless.
void RegisterShadowWindowClass();

} // namespace Brevin::Window::OuterShadow
