// Process-wide Direct2D/DirectWrite/WIC factories, the per-window render
// targets, the caches keyed by render target or text-format parameters, and
// the paint entry. UI thread only: the Direct2D factory is single-threaded.
#pragma once

#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

using Microsoft::WRL::ComPtr;

// Takes over the one reference the caller was given (a maker's "one
// reference for the caller"). Not ComPtr::Attach: mingw-w64's Attach adds a
// reference of its own, so everything attached would outlive its holder.
template <typename T> ComPtr<T> AdoptReference(T* owned)
{
    ComPtr<T> holder;
    *holder.GetAddressOf() = owned;
    return holder;
}

// The icon font's family name inside its own file.
constexpr const wchar_t* kIconFontFamily = L"Font Awesome 6 Free Solid";

extern ComPtr<ID2D1Factory> s_d2dFactory;
extern ComPtr<IDWriteFactory> s_dwriteFactory;
extern ComPtr<IWICImagingFactory> s_wicFactory;
// The process's device-context target (32-bit BGRA, premultiplied alpha,
// default DPI), made with the Direct2D factory; bound to a DC by its user.
extern ComPtr<ID2D1DCRenderTarget> s_dcRenderTarget;
// The icon font as a private collection (see RegisterIconFont).
extern ComPtr<IDWriteFontCollection> s_iconFontCollection;

using TargetBitmapMap = std::unordered_map<ID2D1RenderTarget*, std::unordered_map<std::wstring, ComPtr<ID2D1Bitmap>>>;
extern std::unordered_map<HWND, ComPtr<ID2D1HwndRenderTarget>> RenderTargetMap;
extern std::unordered_map<std::wstring, ComPtr<IDWriteTextFormat>> TextFormatCache;
extern TargetBitmapMap IconBitmapCache;
extern TargetBitmapMap BitmapCache;
extern std::unordered_map<ID2D1RenderTarget*, ComPtr<ID2D1Layer>> LayerCache;
// The recoloured solid brush of each target (drawing helpers).
extern std::unordered_map<ID2D1RenderTarget*, ComPtr<ID2D1SolidColorBrush>> BrushCache;
extern std::unordered_map<ID2D1RenderTarget*, std::pair<ComPtr<ID2D1Bitmap>, ComPtr<ID2D1BitmapRenderTarget>>>
    ScaleBlurCache;

// A text or a few shapes drawn once into a bitmap of their own (see
// DrawTextCached, DrawKeptShapes), kept per target under a key of
// everything that decides their pixels. The least recently drawn leave
// first once the kept bitmaps pass a budget of pixels.
struct KeptInk {
    ComPtr<ID2D1Bitmap> bitmap; // null: nothing to draw
    // The bitmap's corner from the drawing's origin, in pixels of the target.
    int left = 0;
    int top = 0;
};
class KeptInkCache
{
public:
    // Null when none is kept; a find makes the ink the most recent.
    const KeptInk* Find(const std::wstring& key);
    const KeptInk& Keep(const std::wstring& key, KeptInk ink);

private:
    using Entry = std::pair<std::wstring, KeptInk>;
    std::list<Entry> recent_;
    std::unordered_map<std::wstring, std::list<Entry>::iterator> byKey_;
    size_t pixels_ = 0;
};
extern std::unordered_map<ID2D1RenderTarget*, KeptInkCache> KeptInks;
// Whether the paint of rt may still spend time making text bitmaps (always
// outside PaintWindow's paints), and the time one took.
bool TextInkTimeLeft(ID2D1RenderTarget* rt);
void SpendTextInkTime(ID2D1RenderTarget* rt, double milliseconds);
// A text was left out of this paint of rt for lack of time: the window is
// painted again once this paint ends.
void PaintAgainForTextInk(ID2D1RenderTarget* rt);

// Makes whichever of the three factories (and the DC render target, once
// there is a Direct2D factory) is still missing, one attempt each; the
// start-up code retries. True when Direct2D and DirectWrite exist.
bool CreateGraphicsFactories();
// A new imaging factory, for a thread that decodes on its own; null when
// the component is missing. COM must be initialised on the calling thread.
ComPtr<IWICImagingFactory> MakeWicFactory();

// Registers the icon font file for the system (AddFontResourceW) and loads
// it into a private DirectWrite collection, which is what text formats of
// kIconFontFamily use: DirectWrite does not see AddFontResourceW fonts on
// every platform. True when the private collection was made. UI thread.
bool RegisterIconFont(const std::wstring& fontPath);
// Undoes the system registration (at exit, before a temporary file goes).
void UnregisterIconFont(const std::wstring& fontPath);

// WM_PAINT of a framework window: makes the window's target on first use,
// runs draw between BeginDraw and EndDraw, drops the target when EndDraw
// fails so the next paint makes a fresh one. With a region (client
// pixels) everything drawn is clipped to it: the rest of the window keeps
// what the last paint left there (the target retains its contents).
// A cover (with a region) is a control that paints the whole region
// opaquely: nothing drawn before it can show there, so the drawing helpers
// skip it until the cover says it draws (RevealPaint). A cover that does
// not draw leaves the window to be repainted whole.
void PaintWindow(HWND window, std::function<void(HWND, ID2D1HwndRenderTarget*)> draw, const RECT* region = nullptr,
                 const void* cover = nullptr);
// The drawing of one frame on a target between its BeginDraw and EndDraw
// (PaintWindow's, or a swap chain's): clipped to the region (client
// pixels; null: the whole frame), with the drawing helpers told of the
// region and the cover as PaintWindow tells them.
void DrawWithin(HWND window, ID2D1RenderTarget* target, const std::function<void()>& draw, const RECT* region,
                const void* cover);
// The cover of the current partial paint is about to draw.
void RevealPaint(const void* cover);

// The client pixels the current paint of rt redraws; null when rt paints
// whole or is not being painted by PaintWindow.
const RECT* PartialPaintRegion(ID2D1RenderTarget* rt);
// Pixel bounds on rt of DIP bounds under rt's current transform, one
// pixel more on each side for antialiased edges.
RECT PixelBoundsOf(ID2D1RenderTarget* rt, float x, float y, float w, float h);
// True when ink within these DIP bounds on rt would fall wholly outside
// the region of a partial paint (so it need not be drawn at all).
bool OutsidePaintRegion(ID2D1RenderTarget* rt, float x, float y, float w, float h);
// True in a partial paint whose region lies wholly inside the DIP
// rectangle, each of its pixels covered whole by it (an axis-aligned
// transform only).
bool PaintRegionInside(ID2D1RenderTarget* rt, float x, float y, float w, float h);

// Cached text format; family null = "Microsoft YaHei". Not owned by the caller.
IDWriteTextFormat* GetTextFormat(const wchar_t* family, float size, int weight, bool centred);
// Width of the text in "Segoe UI" 400, rounded up; 0 when it cannot be measured.
int MeasureTextWidth(HWND unused, const std::wstring& text, float size);

void ReleaseRenderTargetResources(ID2D1RenderTarget* target);
// Drops every icon and image bitmap so they are made again at the next paint.
void ReleaseAllD2DResources();

void InvalidateWindow(HWND window);
void D2DClear(ID2D1RenderTarget* target, D2D1_COLOR_F color);
void RotatePoints(std::vector<D2D1_POINT_2F>& points, float cx, float cy, float degrees);
void TranslatePoints(std::vector<D2D1_POINT_2F>& points, float dx, float dy);
