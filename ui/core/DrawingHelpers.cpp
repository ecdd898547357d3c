// Section index: helpers; shapes; texts; shadows and faces; clips and GDI;
// blur; shell icons.
#include "ui/core/DrawingHelpers.h"

#include <d2d1_1.h>
#include <d2d1effects.h>
#include <dwrite_2.h>
#include <shellapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <functional>
#include <optional>
#include <vector>

#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/ThemeColors.h"

using Microsoft::WRL::ComPtr;

namespace
{

D2D1_COLOR_F ToColor(COLORREF c, float alpha)
{
    return D2D1::ColorF(GetRValue(c) / 255.0f, GetGValue(c) / 255.0f, GetBValue(c) / 255.0f, alpha);
}

// One solid brush per target, recoloured per use: Direct2D takes the
// brush's colour at each draw call, and an idle-free frame of a thousand
// controls should not make a thousand brushes.
ComPtr<ID2D1SolidColorBrush> MakeBrush(ID2D1RenderTarget* rt, COLORREF c, float alpha)
{
    ComPtr<ID2D1SolidColorBrush>& brush = BrushCache[rt];
    if (brush) {
        brush->SetColor(ToColor(c, alpha));
        return brush;
    }
    if (FAILED(rt->CreateSolidColorBrush(ToColor(c, alpha), &brush)))
        BrushCache.erase(rt);
    return brush;
}

UINT32 Length(const wchar_t* text)
{
    return static_cast<UINT32>(wcslen(text));
}

// Text with icon runs set in the icon font (and its private collection).
ComPtr<IDWriteTextLayout> MakeIconLayout(const wchar_t* text, IDWriteTextFormat* format, float w, float h,
                                         const std::vector<std::pair<size_t, size_t>>& ranges)
{
    ComPtr<IDWriteTextLayout> layout;
    if (!s_dwriteFactory || FAILED(s_dwriteFactory->CreateTextLayout(text, Length(text), format, w, h, &layout)))
        return nullptr;
    for (const auto& [i, j] : ranges) {
        const DWRITE_TEXT_RANGE range{static_cast<UINT32>(i), static_cast<UINT32>(j - i + 1)};
        layout->SetFontFamilyName(kIconFontFamily, range);
        if (s_iconFontCollection)
            layout->SetFontCollection(s_iconFontCollection.Get(), range);
        // The icon font has no colon: the two markers would show as missing-
        // glyph boxes (or fall back to a visible colon). They only mark the
        // run, so they take no room and draw nothing.
        for (const size_t marker : {i, j}) {
            const DWRITE_TEXT_RANGE one{static_cast<UINT32>(marker), 1};
            layout->SetFontCollection(nullptr, one);
            layout->SetFontFamilyName(L"Segoe UI", one);
            layout->SetFontSize(0.001f, one);
        }
    }
    return layout;
}

// True when text laid out in this box on rt draws nothing inside the
// region of a partial paint. Glyphs reach sideways beyond their lines by
// less than `sideways` (an em for overhangs, more for a slant or a glow)
// and above or below them by less than `upDown` (half an em for tall
// marks, more for a glow); the lines may run beyond the box (wrapped or
// unwrapped text): the layout tells how far. layOut (any callable giving
// the layout) runs only in a partial paint: a template, so an ordinary
// paint builds no std::function.
template <typename LayOut>
bool TextOutsidePaintRegion(ID2D1RenderTarget* rt, float x, float y, float w, float h, float sideways, float upDown,
                            LayOut&& layOut)
{
    if (!PartialPaintRegion(rt))
        return false;
    ComPtr<IDWriteTextLayout> layout = layOut();
    DWRITE_TEXT_METRICS metrics{};
    if (!layout || FAILED(layout->GetMetrics(&metrics)))
        return false;
    const float left = std::min(0.0f, metrics.left) - sideways;
    const float right = std::max(w, metrics.left + metrics.widthIncludingTrailingWhitespace) + sideways;
    const float top = std::min(0.0f, metrics.top) - upDown;
    const float bottom = std::max(h, metrics.top + metrics.height) + upDown;
    return OutsidePaintRegion(rt, x + left, y + top, right - left, bottom - top);
}

ComPtr<IDWriteTextLayout> PlainLayout(const wchar_t* text, IDWriteTextFormat* format, float w, float h)
{
    ComPtr<IDWriteTextLayout> layout;
    if (s_dwriteFactory)
        s_dwriteFactory->CreateTextLayout(text, Length(text), format, std::max(w, 0.0f), std::max(h, 0.0f), &layout);
    return layout;
}

// `reach`: how much farther the drawing goes on every side (a glow).
bool PlainTextOutsidePaintRegion(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text,
                                 IDWriteTextFormat* format, float reach = 0.0f)
{
    const float em = format->GetFontSize();
    return TextOutsidePaintRegion(rt, x, y, w, h, em + reach, em / 2 + reach,
                                  [&] { return PlainLayout(text, format, w, h); });
}

void DrawPlainText(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text,
                   IDWriteTextFormat* format, COLORREF color, float alpha)
{
    if (!rt || !text || !format)
        return;
    // A partial paint lays the text out to see whether it reaches the
    // region, and then draws that layout rather than laying it out again.
    ComPtr<IDWriteTextLayout> layout;
    if (PartialPaintRegion(rt)) {
        layout = PlainLayout(text, format, w, h);
        const float em = format->GetFontSize();
        if (TextOutsidePaintRegion(rt, x, y, w, h, em, em / 2, [&] { return layout; }))
            return;
    }
    auto brush = MakeBrush(rt, color, alpha);
    if (!brush)
        return;
    if (layout)
        rt->DrawTextLayout(D2D1::Point2F(x, y), layout.Get(), brush.Get());
    else
        rt->DrawText(text, Length(text), format, D2D1::RectF(x, y, x + w, y + h), brush.Get());
}

} // namespace

std::vector<std::pair<size_t, size_t>> FindColonRanges(const std::wstring& text)
{
    std::vector<std::pair<size_t, size_t>> ranges;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t i = text.find(L':', pos);
        if (i == std::wstring::npos || i + 1 >= text.size())
            break;
        const size_t j = text.find(L':', i + 1);
        if (j == std::wstring::npos)
            break;
        if (j > i + 1)
            ranges.emplace_back(i, j);
        pos = j + 1;
    }
    return ranges;
}

// ---------------------------------------------------------------------------
// Shapes
// ---------------------------------------------------------------------------

void DrawRoundRect(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF fill, float radius, float alpha,
                   float borderWidth, COLORREF border, float borderAlpha, bool outlineOnly)
{
    const float pen = std::max(borderWidth, 0.0f);
    if (!rt || OutsidePaintRegion(rt, x - pen, y - pen, w + 2 * pen, h + 2 * pen))
        return;
    const D2D1_ROUNDED_RECT rr{D2D1::RectF(x, y, x + w, y + h), radius, radius};
    // A partial paint inside the flat middle of the face (an edit's caret)
    // is filled whole there: no border reaches it, and working out the
    // rounded outline would cost most of the paint.
    if (!outlineOnly) {
        for (const D2D1_RECT_F band : {D2D1::RectF(x + radius, y + pen, x + w - radius, y + h - pen),
                                       D2D1::RectF(x + pen, y + radius, x + w - pen, y + h - radius)}) {
            if (!PaintRegionInside(rt, band.left, band.top, band.right - band.left, band.bottom - band.top))
                continue;
            if (auto brush = MakeBrush(rt, fill, alpha))
                rt->FillRectangle(band, brush.Get());
            return;
        }
    }
    // A zero width would still draw a hairline: no border asked, none drawn.
    if (borderWidth > 0.0f) {
        auto pen = MakeBrush(rt, border, borderAlpha == 0.0f ? alpha : borderAlpha);
        if (pen)
            rt->DrawRoundedRectangle(rr, pen.Get(), borderWidth);
    }
    if (!outlineOnly) {
        auto brush = MakeBrush(rt, fill, alpha);
        if (brush)
            rt->FillRoundedRectangle(rr, brush.Get());
    }
}

void FillSolidRect(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF color, float alpha)
{
    if (!rt || OutsidePaintRegion(rt, x, y, w, h))
        return;
    // Without a brush the fill is skipped: a message box here would re-enter the paint.
    auto brush = MakeBrush(rt, color, alpha);
    if (brush)
        rt->FillRectangle(D2D1::RectF(x, y, x + w, y + h), brush.Get());
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------

void DrawTextInRect(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                    COLORREF color, const wchar_t* family, float alpha, bool centred)
{
    if (!rt)
        return;
    DrawPlainText(rt, x, y, w, h, text, GetTextFormat(family, size, 400, centred), color, alpha);
}

namespace
{

// How far the drawn pixels of a glyph may lie outside its outline's box
// (antialiasing, hinting and pixel snapping), in DIPs and in pixels.
constexpr float kInkBleed = 2.0f;

// Where a glyph's outline lies along the line, from its pen position.
struct InkSpan {
    float left = 0.0f;
    float right = 0.0f;
};

// The outline's span of every glyph of a run (left to right runs); empty
// when the font cannot tell or slants or emboldens its outlines, and the
// glyph is then taken as wide as an em on each side of its advance.
std::vector<InkSpan> InkSpans(const DWRITE_GLYPH_RUN& run)
{
    if (!run.fontFace || run.glyphCount == 0 || !run.glyphIndices ||
        run.fontFace->GetSimulations() != DWRITE_FONT_SIMULATIONS_NONE)
        return {};
    DWRITE_FONT_METRICS font{};
    run.fontFace->GetMetrics(&font);
    if (font.designUnitsPerEm == 0)
        return {};
    std::vector<DWRITE_GLYPH_METRICS> glyphs(run.glyphCount);
    if (FAILED(run.fontFace->GetDesignGlyphMetrics(run.glyphIndices, run.glyphCount, glyphs.data(), FALSE)))
        return {};
    const float scale = run.fontEmSize / font.designUnitsPerEm;
    std::vector<InkSpan> spans(run.glyphCount);
    for (UINT32 i = 0; i < run.glyphCount; ++i) {
        const DWRITE_GLYPH_METRICS& g = glyphs[i];
        spans[i].left = g.leftSideBearing * scale;
        spans[i].right = (static_cast<float>(g.advanceWidth) - g.rightSideBearing) * scale;
    }
    return spans;
}

// What every text renderer here shares: it lives on the stack for one
// Draw call, snaps to pixels and draws glyph runs only.
class StackTextRenderer : public IDWriteTextRenderer
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDWritePixelSnapping) ||
            iid == __uuidof(IDWriteTextRenderer)) {
            *object = static_cast<IDWriteTextRenderer*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE IsPixelSnappingDisabled(void*, BOOL* disabled) override
    {
        *disabled = FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawUnderline(void*, FLOAT, FLOAT, const DWRITE_UNDERLINE*, IUnknown*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawStrikethrough(void*, FLOAT, FLOAT, const DWRITE_STRIKETHROUGH*, IUnknown*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawInlineObject(void*, FLOAT, FLOAT, IDWriteInlineObject*, BOOL, BOOL,
                                               IUnknown*) override
    {
        return S_OK;
    }
};

// Hands the glyph runs of a layout to the target one by one; in a partial
// paint only the glyphs whose ink can reach the region. Lives on the stack
// for one Draw call.
class RegionGlyphRenderer final : public StackTextRenderer
{
public:
    RegionGlyphRenderer(ID2D1RenderTarget* rt, ID2D1Brush* brush) : rt_(rt), brush_(brush) {}

    HRESULT STDMETHODCALLTYPE GetCurrentTransform(void*, DWRITE_MATRIX* transform) override
    {
        D2D1_MATRIX_3X2_F m;
        rt_->GetTransform(&m);
        *transform = {m._11, m._12, m._21, m._22, m._31, m._32};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelsPerDip(void*, FLOAT* pixelsPerDip) override
    {
        float dpiX = 96.0f, dpiY = 96.0f;
        rt_->GetDpi(&dpiX, &dpiY);
        *pixelsPerDip = dpiX / 96.0f;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE DrawGlyphRun(void*, FLOAT x, FLOAT y, DWRITE_MEASURING_MODE mode,
                                           const DWRITE_GLYPH_RUN* run, const DWRITE_GLYPH_RUN_DESCRIPTION*,
                                           IUnknown*) override
    {
        if (!run || run->glyphCount == 0)
            return S_OK;
        if (!PartialPaintRegion(rt_) || !run->glyphAdvances || (run->bidiLevel & 1) || run->isSideways) {
            rt_->DrawGlyphRun(D2D1::Point2F(x, y), run, brush_, mode);
            return S_OK;
        }
        const float em = run->fontEmSize;
        const std::vector<InkSpan> ink = InkSpans(*run);
        float dpiX = 96.0f, dpiY = 96.0f;
        rt_->GetDpi(&dpiX, &dpiY);
        const float bleed = std::max(kInkBleed, kInkBleed * 96.0f / std::max(dpiX, 1.0f));
        UINT32 first = run->glyphCount, last = 0;
        float pen = 0.0f, firstPen = 0.0f;
        for (UINT32 i = 0; i < run->glyphCount; ++i) {
            const float advance = run->glyphAdvances[i];
            const float offset = run->glyphOffsets ? run->glyphOffsets[i].advanceOffset : 0.0f;
            // Across the line a glyph may reach far (accents, descenders);
            // along it, where its outline is known, only as far as its ink.
            float left = pen + offset - em, width = std::fabs(advance) + 2.0f * em;
            if (!ink.empty()) {
                left = pen + offset + ink[i].left - bleed;
                width = std::max(ink[i].right - ink[i].left, 0.0f) + 2.0f * bleed;
            }
            if (!OutsidePaintRegion(rt_, x + left, y - 2.0f * em, width, 3.0f * em)) {
                if (first == run->glyphCount) {
                    first = i;
                    firstPen = pen;
                }
                last = i;
            }
            pen += advance;
        }
        if (first == run->glyphCount)
            return S_OK;
        DWRITE_GLYPH_RUN part = *run;
        part.glyphCount = last - first + 1;
        part.glyphIndices = run->glyphIndices + first;
        part.glyphAdvances = run->glyphAdvances + first;
        part.glyphOffsets = run->glyphOffsets ? run->glyphOffsets + first : nullptr;
        rt_->DrawGlyphRun(D2D1::Point2F(x + firstPen, y), &part, brush_, mode);
        return S_OK;
    }

private:
    ID2D1RenderTarget* rt_;
    ID2D1Brush* brush_;
};

} // namespace

namespace
{

// The owner's kept layout of the text in a w x h box, made anew only when
// the text, box, format, size, weight or alignment changed; null when none
// could be made.
IDWriteTextLayout* KeptLayout(CachedTextLayout& cache, IDWriteTextFormat* format, std::wstring_view text, float w,
                              float h, float size, int weight, bool centred)
{
    if (!cache.layout || cache.format != format || cache.size != size || cache.weight != weight ||
        cache.centred != centred || cache.w != w || cache.h != h || cache.text != text) {
        cache.layout.Reset();
        cache.format = format;
        cache.text.assign(text);
        cache.w = w;
        cache.h = h;
        cache.size = size;
        cache.weight = weight;
        cache.centred = centred;
        if (FAILED(s_dwriteFactory->CreateTextLayout(cache.text.c_str(), static_cast<UINT32>(cache.text.size()), format,
                                                     w, h, &cache.layout)))
            cache.layout.Reset();
    }
    return cache.layout.Get();
}

// Some renderers rasterise every glyph run and every curved edge anew on
// each frame (Wine's Direct2D makes and uploads a texture per glyph run):
// a box's frame of forty labels and a few text cards spent half its time
// there. What is kept this way is drawn once and after that as a bitmap,
// at whole pixels as glyphs are placed. Only under an unscaled, unturned
// transform with square pixels: a scaled bitmap blurs, and a zoom would
// remake it every frame. Pixels per DIP then, or 0.
float KeptInkScale(ID2D1RenderTarget* rt)
{
    D2D1_MATRIX_3X2_F m;
    rt->GetTransform(&m);
    float dpiX = 96.0f, dpiY = 96.0f;
    rt->GetDpi(&dpiX, &dpiY);
    if (m._11 != 1.0f || m._22 != 1.0f || m._12 != 0.0f || m._21 != 0.0f || dpiX != dpiY)
        return 0.0f;
    return dpiX / 96.0f;
}

std::wstring KeptInkKey(std::wstring key, float k)
{
    wchar_t scale[16];
    swprintf(scale, 16, L"|%.3f", static_cast<double>(k));
    return key + scale;
}

// The origin on a whole pixel of the target, so that each pixel of the
// bitmap lands on one pixel.
void DrawKeptInk(ID2D1RenderTarget* rt, const KeptInk& ink, float x, float y, float k, float alpha)
{
    if (!ink.bitmap)
        return;
    D2D1_MATRIX_3X2_F m;
    rt->GetTransform(&m);
    const float originX = std::round((x + m._31) * k), originY = std::round((y + m._32) * k);
    const float left = (originX + static_cast<float>(ink.left)) / k - m._31;
    const float top = (originY + static_cast<float>(ink.top)) / k - m._32;
    const D2D1_SIZE_U size = ink.bitmap->GetPixelSize();
    const float w = static_cast<float>(size.width) / k, h = static_cast<float>(size.height) / k;
    if (!OutsidePaintRegion(rt, left, top, w, h))
        rt->DrawBitmap(ink.bitmap.Get(), D2D1::RectF(left, top, left + w, top + h), std::clamp(alpha, 0.0f, 1.0f),
                       D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
}

// Premultiplied pixels (BGRA bytes) as a bitmap of rt, with their corner
// at (left, top) pixels from the drawing's origin.
std::optional<KeptInk> InkFromPixels(ID2D1RenderTarget* rt, const std::vector<BYTE>& bgra, LONG w, LONG h, LONG left,
                                     LONG top)
{
    float dpiX = 96.0f, dpiY = 96.0f;
    rt->GetDpi(&dpiX, &dpiY);
    KeptInk ink;
    if (FAILED(rt->CreateBitmap(
            D2D1::SizeU(static_cast<UINT32>(w), static_cast<UINT32>(h)), bgra.data(), static_cast<UINT32>(w) * 4,
            D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpiX,
                                   dpiY),
            &ink.bitmap)))
        return std::nullopt;
    ink.left = left;
    ink.top = top;
    return ink;
}

// A big drawing is drawn as it is, not kept.
bool TooBigToKeep(LONG w, LONG h)
{
    return w > 2048 || h > 2048 || static_cast<size_t>(w) * h > 512u * 1024u;
}

// The grayscale coverage of every glyph run of a layout, rasterised by
// DirectWrite in pixels around the layout's origin: no render target is
// drawn to, so nothing of the frame being painted is flushed for it.
class InkGatherer final : public StackTextRenderer
{
public:
    struct Piece {
        RECT bounds;
        std::vector<BYTE> coverage; // one byte a pixel
    };

    explicit InkGatherer(float pixelsPerDip) : pixelsPerDip_(pixelsPerDip) {}

    HRESULT STDMETHODCALLTYPE GetCurrentTransform(void*, DWRITE_MATRIX* transform) override
    {
        *transform = {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelsPerDip(void*, FLOAT* pixelsPerDip) override
    {
        *pixelsPerDip = pixelsPerDip_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE DrawGlyphRun(void*, FLOAT x, FLOAT y, DWRITE_MEASURING_MODE mode,
                                           const DWRITE_GLYPH_RUN* run, const DWRITE_GLYPH_RUN_DESCRIPTION*,
                                           IUnknown*) override
    {
        if (!run || run->glyphCount == 0)
            return S_OK;
        const DWRITE_RENDERING_MODE rendering =
            mode == DWRITE_MEASURING_MODE_GDI_CLASSIC   ? DWRITE_RENDERING_MODE_CLEARTYPE_GDI_CLASSIC
            : mode == DWRITE_MEASURING_MODE_GDI_NATURAL ? DWRITE_RENDERING_MODE_CLEARTYPE_GDI_NATURAL
                                                        : DWRITE_RENDERING_MODE_CLEARTYPE_NATURAL_SYMMETRIC;
        Piece piece{};
        if (!Rasterise(*run, x, y, mode, rendering, piece)) {
            failed_ = true;
            return S_OK;
        }
        if (piece.coverage.empty())
            return S_OK; // blanks
        pieces_.push_back(std::move(piece));
        return S_OK;
    }

    bool Failed() const { return failed_; }
    const std::vector<Piece>& Pieces() const { return pieces_; }

private:
    // Grayscale: the bitmap is transparent where no glyph is, and colour
    // fringes would not blend with whatever lies under it. One byte a pixel.
    bool Rasterise(const DWRITE_GLYPH_RUN& run, float x, float y, DWRITE_MEASURING_MODE mode,
                   DWRITE_RENDERING_MODE rendering, Piece& piece) const
    {
        static const ComPtr<IDWriteFactory2> factory = [] {
            ComPtr<IDWriteFactory2> second;
            if (s_dwriteFactory)
                s_dwriteFactory.As(&second);
            return second;
        }();
        const DWRITE_MATRIX scale{pixelsPerDip_, 0.0f, 0.0f, pixelsPerDip_, 0.0f, 0.0f};
        ComPtr<IDWriteGlyphRunAnalysis> analysis;
        if (!factory ||
            FAILED(factory->CreateGlyphRunAnalysis(&run, &scale, rendering, mode, DWRITE_GRID_FIT_MODE_DEFAULT,
                                                   DWRITE_TEXT_ANTIALIAS_MODE_GRAYSCALE, x, y, &analysis)) ||
            FAILED(analysis->GetAlphaTextureBounds(DWRITE_TEXTURE_ALIASED_1x1, &piece.bounds)))
            return false;
        if (piece.bounds.right <= piece.bounds.left || piece.bounds.bottom <= piece.bounds.top)
            return true; // blanks
        piece.coverage.resize(static_cast<size_t>(piece.bounds.right - piece.bounds.left) *
                              (piece.bounds.bottom - piece.bounds.top));
        return SUCCEEDED(analysis->CreateAlphaTexture(DWRITE_TEXTURE_ALIASED_1x1, &piece.bounds, piece.coverage.data(),
                                                      static_cast<UINT32>(piece.coverage.size())));
    }

    float pixelsPerDip_;
    bool failed_ = false;
    std::vector<Piece> pieces_;
};

// The ink of a laid-out text in the colour, as a bitmap of rt at its
// resolution; null when none could be made (the caller draws the text).
std::optional<KeptInk> MakeTextInk(ID2D1RenderTarget* rt, IDWriteTextLayout* layout, COLORREF color, float kx)
{
    InkGatherer gatherer(kx);
    if (FAILED(layout->Draw(nullptr, &gatherer, 0.0f, 0.0f)) || gatherer.Failed())
        return std::nullopt;
    RECT all{};
    for (const InkGatherer::Piece& piece : gatherer.Pieces()) {
        if (IsRectEmpty(&all))
            all = piece.bounds;
        else
            UnionRect(&all, &all, &piece.bounds);
    }
    if (IsRectEmpty(&all))
        return KeptInk{}; // nothing to draw
    const LONG w = all.right - all.left, h = all.bottom - all.top;
    // A page of text is drawn as text, not kept.
    if (TooBigToKeep(w, h))
        return std::nullopt;
    std::vector<BYTE> coverage(static_cast<size_t>(w) * h);
    for (const InkGatherer::Piece& piece : gatherer.Pieces()) {
        const LONG pw = piece.bounds.right - piece.bounds.left;
        for (LONG row = piece.bounds.top; row < piece.bounds.bottom; ++row) {
            const BYTE* from = &piece.coverage[static_cast<size_t>(row - piece.bounds.top) * pw];
            BYTE* to = &coverage[static_cast<size_t>(row - all.top) * w + (piece.bounds.left - all.left)];
            for (LONG i = 0; i < pw; ++i)
                to[i] = static_cast<BYTE>(to[i] + from[i] - to[i] * from[i] / 255); // overlapping runs
        }
    }
    std::vector<BYTE> pixels(coverage.size() * 4);
    for (size_t i = 0; i < coverage.size(); ++i) {
        const unsigned a = coverage[i];
        pixels[4 * i] = static_cast<BYTE>(GetBValue(color) * a / 255);
        pixels[4 * i + 1] = static_cast<BYTE>(GetGValue(color) * a / 255);
        pixels[4 * i + 2] = static_cast<BYTE>(GetRValue(color) * a / 255);
        pixels[4 * i + 3] = static_cast<BYTE>(a);
    }
    return InkFromPixels(rt, pixels, w, h, all.left, all.top);
}

bool DrawTextInk(ID2D1RenderTarget* rt, const std::wstring& key, float x, float y, COLORREF color, float alpha,
                 bool mayWait, const std::function<IDWriteTextLayout*()>& layOut)
{
    const float k = KeptInkScale(rt);
    if (k <= 0.0f)
        return false;
    const std::wstring fullKey = KeptInkKey(key, k);
    KeptInkCache& cache = KeptInks[rt];
    const KeptInk* ink = cache.Find(fullKey);
    if (!ink) {
        // Out of time: the text is drawn as text, or, where it may wait (it
        // is on the move), at a later frame.
        if (!TextInkTimeLeft(rt)) {
            if (mayWait)
                PaintAgainForTextInk(rt);
            return mayWait;
        }
        IDWriteTextLayout* layout = layOut();
        if (!layout)
            return false;
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        std::optional<KeptInk> made = MakeTextInk(rt, layout, color, k);
        QueryPerformanceCounter(&end);
        SpendTextInkTime(rt, static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
        if (!made)
            return false;
        ink = &cache.Keep(fullKey, std::move(*made));
    }
    DrawKeptInk(rt, *ink, x, y, k, alpha);
    return true;
}

// How much of the pixel square at (px, py) a rectangle with rounded
// corners covers (pixels, 4 x 4 samples where an edge or corner crosses it).
float RoundRectCoverage(float px, float py, float x0, float y0, float x1, float y1, float r)
{
    if (px + 1.0f <= x0 || px >= x1 || py + 1.0f <= y0 || py >= y1)
        return 0.0f;
    if ((px >= x0 + r && px + 1.0f <= x1 - r && py >= y0 && py + 1.0f <= y1) ||
        (px >= x0 && px + 1.0f <= x1 && py >= y0 + r && py + 1.0f <= y1 - r))
        return 1.0f;
    int inside = 0;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const float sx = px + (static_cast<float>(i) + 0.5f) / 4.0f;
            const float sy = py + (static_cast<float>(j) + 0.5f) / 4.0f;
            if (sx < x0 || sx >= x1 || sy < y0 || sy >= y1)
                continue;
            const float cx = std::clamp(sx, x0 + r, x1 - r), cy = std::clamp(sy, y0 + r, y1 - r);
            if ((sx - cx) * (sx - cx) + (sy - cy) * (sy - cy) <= r * r)
                ++inside;
        }
    }
    return static_cast<float>(inside) / 16.0f;
}

// The shapes laid over each other in order, as pixels of rt.
std::optional<KeptInk> MakeShapesInk(ID2D1RenderTarget* rt, const std::vector<KeptShape>& shapes, float k)
{
    if (shapes.empty())
        return KeptInk{};
    float minX = shapes[0].x, minY = shapes[0].y, maxX = minX, maxY = minY;
    for (const KeptShape& shape : shapes) {
        minX = std::min(minX, shape.x);
        minY = std::min(minY, shape.y);
        maxX = std::max(maxX, shape.x + shape.w);
        maxY = std::max(maxY, shape.y + shape.h);
    }
    const LONG left = static_cast<LONG>(std::floor(minX * k)), top = static_cast<LONG>(std::floor(minY * k));
    const LONG w = static_cast<LONG>(std::ceil(maxX * k)) - left, h = static_cast<LONG>(std::ceil(maxY * k)) - top;
    if (w <= 0 || h <= 0)
        return KeptInk{};
    if (TooBigToKeep(w, h))
        return std::nullopt;
    std::vector<float> premultiplied(static_cast<size_t>(w) * h * 4, 0.0f); // b, g, r, a
    for (const KeptShape& shape : shapes) {
        const float x0 = shape.x * k - static_cast<float>(left), y0 = shape.y * k - static_cast<float>(top);
        const float x1 = x0 + shape.w * k, y1 = y0 + shape.h * k;
        const float r = std::min({shape.radius * k, (x1 - x0) / 2.0f, (y1 - y0) / 2.0f});
        const float colour[3] = {GetBValue(shape.colour) / 255.0f, GetGValue(shape.colour) / 255.0f,
                                 GetRValue(shape.colour) / 255.0f};
        for (LONG py = std::max<LONG>(0, static_cast<LONG>(y0)); py < std::min<LONG>(h, static_cast<LONG>(y1) + 1);
             ++py) {
            for (LONG px = std::max<LONG>(0, static_cast<LONG>(x0)); px < std::min<LONG>(w, static_cast<LONG>(x1) + 1);
                 ++px) {
                const float a = shape.alpha * RoundRectCoverage(static_cast<float>(px), static_cast<float>(py), x0, y0,
                                                                x1, y1, std::max(r, 0.0f));
                if (a <= 0.0f)
                    continue;
                float* out = &premultiplied[(static_cast<size_t>(py) * w + px) * 4];
                for (int c = 0; c < 3; ++c)
                    out[c] = colour[c] * a + out[c] * (1.0f - a);
                out[3] = a + out[3] * (1.0f - a);
            }
        }
    }
    std::vector<BYTE> bgra(premultiplied.size());
    for (size_t i = 0; i < bgra.size(); ++i)
        bgra[i] = static_cast<BYTE>(std::lround(std::clamp(premultiplied[i], 0.0f, 1.0f) * 255.0f));
    return InkFromPixels(rt, bgra, w, h, left, top);
}

} // namespace

void DrawTextLine(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                  COLORREF color, const wchar_t* family, float alpha, CachedTextLayout* cache)
{
    if (!rt || !text || !s_dwriteFactory)
        return;
    IDWriteTextFormat* format = GetTextFormat(family, size, 400, false);
    if (!format)
        return;
    ComPtr<IDWriteTextLayout> layout =
        cache ? KeptLayout(*cache, format, text, std::max(w, 0.0f), std::max(h, 0.0f), size, 400, false)
              : PlainLayout(text, format, w, h);
    auto brush = MakeBrush(rt, color, alpha);
    if (!layout || !brush)
        return;
    RegionGlyphRenderer renderer(rt, brush.Get());
    layout->Draw(nullptr, &renderer, x, y);
}

void DrawTextCached(ID2D1RenderTarget* rt, CachedTextLayout& cache, float x, float y, float w, float h,
                    std::wstring_view text, float size, int weight, COLORREF color, float alpha, bool centred,
                    bool mayWait)
{
    if (!rt || !s_dwriteFactory)
        return;
    IDWriteTextFormat* format = GetTextFormat(L"Segoe UI", size, weight, centred);
    if (!format)
        return;
    // Drawn as a C string elsewhere: the text ends at its first NUL.
    text = text.substr(0, text.find(L'\0'));
    // A kept bitmap needs no layout: a new icon's is made only if it must.
    wchar_t params[96];
    swprintf(params, 96, L"|%.2f|%.2f|%.2f|%d|%d|%06lx", static_cast<double>(w), static_cast<double>(h),
             static_cast<double>(size), weight, centred ? 1 : 0, static_cast<unsigned long>(color));
    auto layOut = [&] { return KeptLayout(cache, format, text, w, h, size, weight, centred); };
    if (DrawTextInk(rt, std::wstring(text) + params, x, y, color, alpha, mayWait, layOut))
        return;
    if (!layOut() || TextOutsidePaintRegion(rt, x, y, w, h, size, size / 2, [&] { return cache.layout; }))
        return;
    auto brush = MakeBrush(rt, color, alpha);
    if (brush)
        rt->DrawTextLayout(D2D1::Point2F(x, y), cache.layout.Get(), brush.Get());
}

void DrawTextInRectInt(ID2D1RenderTarget* rt, float x, float y, int w, int h, const wchar_t* text, float size,
                       COLORREF color, const wchar_t* family, float alpha)
{
    DrawTextInRect(rt, x, y, static_cast<float>(w), static_cast<float>(h), text, size, color, family, alpha, false);
}

void DrawTextSemibold(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                      COLORREF color, const wchar_t*, float alpha, bool centred)
{
    if (!rt)
        return;
    DrawPlainText(rt, x, y, w, h, text, GetTextFormat(L"Segoe UI", size, 600, centred), color, alpha);
}

void DrawIconText(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                  COLORREF color, const wchar_t* family, float alpha, bool centred)
{
    if (!rt || !text || w < 5.0f || h < 5.0f)
        return;
    IDWriteTextFormat* plain = GetTextFormat(family, size, 400, centred);
    IDWriteTextFormat* icon = GetTextFormat(kIconFontFamily, size, 400, centred);
    if (!plain || !icon)
        return;
    auto brush = MakeBrush(rt, color, alpha);
    if (!brush)
        return;
    const auto ranges = FindColonRanges(text);
    if (ranges.empty()) {
        if (!PlainTextOutsidePaintRegion(rt, x, y, w, h, text, plain))
            rt->DrawText(text, Length(text), plain, D2D1::RectF(x, y, x + w, y + h), brush.Get());
        return;
    }
    auto layout = MakeIconLayout(text, plain, w, h, ranges);
    if (layout && !TextOutsidePaintRegion(rt, x, y, w, h, size, size / 2, [&] { return layout; }))
        rt->DrawTextLayout(D2D1::Point2F(x, y), layout.Get(), brush.Get());
}

void DrawIconTextOblique(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                         COLORREF color, const wchar_t*, float alpha, bool centred)
{
    if (!rt || !text || w < 5.0f || h < 5.0f)
        return;
    IDWriteTextFormat* plain = GetTextFormat(L"Segoe UI", size, 600, centred);
    IDWriteTextFormat* icon = GetTextFormat(kIconFontFamily, size, 400, centred);
    if (!plain || !icon)
        return;
    auto brush = MakeBrush(rt, color, alpha);
    auto layout = MakeIconLayout(text, plain, w, h, FindColonRanges(text));
    // The slant moves glyphs sideways by less than a fifth of the height,
    // never up or down.
    if (!brush || !layout || TextOutsidePaintRegion(rt, x, y, w, h, size + h, size / 2, [&] { return layout; }))
        return;
    D2D1_MATRIX_3X2_F saved;
    rt->GetTransform(&saved);
    const D2D1_POINT_2F centre = D2D1::Point2F(centred ? x + w / 2 : x, y + (centred ? h : size) / 2);
    rt->SetTransform(D2D1::Matrix3x2F::Skew(-10.0f, 0.0f, centre) * *D2D1::Matrix3x2F::ReinterpretBaseType(&saved));
    rt->DrawTextLayout(D2D1::Point2F(x, y), layout.Get(), brush.Get());
    rt->SetTransform(saved);
}

namespace
{

void DrawGlow(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, IDWriteTextFormat* format,
              COLORREF textColor, COLORREF glowColor, float dx, float dy, float glowRadius, float glowAlpha,
              float alpha)
{
    const float reach = glowRadius + std::max(std::fabs(dx), std::fabs(dy));
    if (!rt || !text || !format || PlainTextOutsidePaintRegion(rt, x, y, w, h, text, format, reach))
        return;
    const float sx = x + dx, sy = y + dy;
    const UINT32 length = Length(text);
    constexpr double kPi = 3.14159265358979323846;
    for (int i = 1; i <= 4; ++i) {
        const float f = i / 4.0f;
        const float r = f * glowRadius;
        const float a = (1.0f - f) * glowAlpha * alpha * 0.6f;
        if (a <= 0.001f)
            continue;
        auto brush = MakeBrush(rt, glowColor, a);
        if (!brush)
            continue;
        for (int k = 0; k < 16; ++k) {
            const double angle = k * kPi / 8.0 + ((i % 2) ? kPi / 16.0 : 0.0);
            const float ox = sx + r * static_cast<float>(std::cos(angle));
            const float oy = sy + r * static_cast<float>(std::sin(angle));
            rt->DrawText(text, length, format, D2D1::RectF(ox, oy, ox + w, oy + h), brush.Get());
        }
    }
    if (auto drop = MakeBrush(rt, glowColor, glowAlpha * alpha))
        rt->DrawText(text, length, format, D2D1::RectF(sx, sy, sx + w, sy + h), drop.Get());
    if (auto brush = MakeBrush(rt, textColor, alpha))
        rt->DrawText(text, length, format, D2D1::RectF(x, y, x + w, y + h), brush.Get());
}

} // namespace

void DrawTextGlow(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                  COLORREF textColor, COLORREF glowColor, float dx, float dy, float glowRadius, float glowAlpha,
                  float alpha, bool centred)
{
    if (!rt)
        return;
    DrawGlow(rt, x, y, w, h, text, GetTextFormat(L"Segoe UI", size, 400, centred), textColor, glowColor, dx, dy,
             glowRadius, glowAlpha, alpha);
}

void DrawTextGlowSemibold(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                          COLORREF textColor, COLORREF glowColor, float dx, float dy, float glowRadius, float glowAlpha,
                          float alpha)
{
    if (!rt)
        return;
    DrawGlow(rt, x, y, w, h, text, GetTextFormat(L"Segoe UI", size, 600, false), textColor, glowColor, dx, dy,
             glowRadius, glowAlpha, alpha);
}

// ---------------------------------------------------------------------------
// Shadows and faces
// ---------------------------------------------------------------------------

void DrawSoftShadow(ID2D1RenderTarget* rt, float x, float y, float w, float h, float radius, float dx, float dy,
                    float spread, int layers, float inset, float alpha, COLORREF color)
{
    if (!rt || layers <= 0)
        return;
    for (int i = 0; i < layers; ++i) {
        const float f = static_cast<float>(i) / layers;
        const float g = f * spread;
        const float e = g + inset;
        DrawRoundRect(rt, x + dx - e, y + dy - e + 3, w + 2 * e, h + 2 * e, color, radius + g, (1 - f) * alpha);
    }
}

std::vector<KeptShape> ButtonFaceShapes(float w, float h, COLORREF color, float radius)
{
    return {{0, 0, w, h, radius, ContrastShiftColor(color, 10), 1.0f},
            {0, 0, w, h - 1, radius, ContrastShiftColor(color, 5), 1.0f},
            {0, 0, w, h - 2, radius, color, 1.0f}};
}

void DrawButtonFace(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF color, float radius)
{
    if (!rt)
        return;
    for (const KeptShape& shape : ButtonFaceShapes(w, h, color, radius))
        DrawRoundRect(rt, x + shape.x, y + shape.y, shape.w, shape.h, shape.colour, shape.radius, shape.alpha);
}

void DrawKeptShapes(ID2D1RenderTarget* rt, float x, float y, const std::vector<KeptShape>& shapes)
{
    if (!rt)
        return;
    if (const float k = KeptInkScale(rt); k > 0.0f) {
        std::wstring key = L"shapes";
        for (const KeptShape& shape : shapes) {
            wchar_t one[96];
            swprintf(one, 96, L"|%.2f,%.2f,%.2f,%.2f,%.2f,%06lx,%.3f", static_cast<double>(shape.x),
                     static_cast<double>(shape.y), static_cast<double>(shape.w), static_cast<double>(shape.h),
                     static_cast<double>(shape.radius), static_cast<unsigned long>(shape.colour),
                     static_cast<double>(shape.alpha));
            key += one;
        }
        key = KeptInkKey(std::move(key), k);
        KeptInkCache& cache = KeptInks[rt];
        const KeptInk* ink = cache.Find(key);
        if (!ink) {
            if (std::optional<KeptInk> made = MakeShapesInk(rt, shapes, k))
                ink = &cache.Keep(key, std::move(*made));
        }
        if (ink) {
            DrawKeptInk(rt, *ink, x, y, k, 1.0f);
            return;
        }
    }
    for (const KeptShape& shape : shapes) {
        if (shape.radius > 0.0f)
            DrawRoundRect(rt, x + shape.x, y + shape.y, shape.w, shape.h, shape.colour, shape.radius, shape.alpha);
        else
            FillSolidRect(rt, x + shape.x, y + shape.y, shape.w, shape.h, shape.colour, shape.alpha);
    }
}

void DrawButtonFaceBordered(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF color, float radius,
                            float alpha, float borderWidth)
{
    if (!rt)
        return;
    DrawRoundRect(rt, x, y, w, h, ContrastShiftColor(color, 10), radius, alpha, borderWidth,
                  ContrastShiftColor(color, 25), 0.0f, false);
    DrawRoundRect(rt, x, y, w, h - 1, ContrastShiftColor(color, 5), radius, alpha);
    DrawRoundRect(rt, x, y, w, h - 2, color, radius, alpha);
}

void DrawKeyCap(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF color, float radius,
                const wchar_t* label)
{
    if (!rt)
        return;
    DrawRoundRect(rt, x, y, w, h, ContrastShiftColor(color, 15), radius, 1.0f);
    DrawRoundRect(rt, x, y, w, h - 2, ContrastShiftColor(color, 8), radius, 1.0f);
    DrawRoundRect(rt, x, y - 2, w, h - 2, color, radius, 1.0f);
    if (label)
        DrawTextInRect(rt, x, y - 1, w, h - 2, label, 12.0f, ThemeTextColor.Ref(), L"Consolas", 0.8f, true);
}

// ---------------------------------------------------------------------------
// Clips and GDI
// ---------------------------------------------------------------------------

void WithRoundRectClip(ID2D1HwndRenderTarget* rt, float x, float y, float w, float h, HWND window, float radius,
                       const ClipCallback& callback)
{
    if (!rt || !s_d2dFactory)
        return;
    ComPtr<ID2D1Layer>& layer = LayerCache[rt];
    if (!layer && FAILED(rt->CreateLayer(nullptr, &layer))) {
        LayerCache.erase(rt);
        return;
    }
    ComPtr<ID2D1RoundedRectangleGeometry> geometry;
    if (FAILED(
            s_d2dFactory->CreateRoundedRectangleGeometry({D2D1::RectF(x, y, x + w, y + h), radius, radius}, &geometry)))
        return;
    // The rectangle clip as well: where a layer's geometry mask is not
    // applied (Wine), drawing still stays inside the bounds, if square.
    rt->PushAxisAlignedClip(D2D1::RectF(x, y, x + w, y + h), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    rt->PushLayer(D2D1::LayerParameters(D2D1::InfiniteRect(), geometry.Get(), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE,
                                        D2D1::IdentityMatrix(), 1.0f),
                  layer.Get());
    if (callback)
        callback(window, rt, static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
    rt->PopLayer();
    rt->PopAxisAlignedClip();
}

void WithRoundRectClipNoLayer(ID2D1HwndRenderTarget* rt, float x, float y, float w, float h, HWND window, float radius,
                              const ClipCallback& callback)
{
    if (!rt || w <= 0.1f || h <= 0.1f)
        return;
    ComPtr<ID2D1Factory> factory;
    rt->GetFactory(&factory);
    ComPtr<ID2D1RoundedRectangleGeometry> geometry;
    if (!factory ||
        FAILED(factory->CreateRoundedRectangleGeometry({D2D1::RectF(x, y, x + w, y + h), radius, radius}, &geometry)))
        return;
    // The rectangle clip as well, as in WithRoundRectClip: where the mask
    // is not applied (Wine), a scrolled text would otherwise spill out of
    // its field.
    rt->PushAxisAlignedClip(D2D1::RectF(x, y, x + w, y + h), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    // A null layer lets Direct2D manage it (Windows 8 and later).
    rt->PushLayer(D2D1::LayerParameters(D2D1::InfiniteRect(), geometry.Get(), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE,
                                        D2D1::IdentityMatrix(), 1.0f),
                  nullptr);
    if (callback)
        callback(window, rt, static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
    rt->PopLayer();
    rt->PopAxisAlignedClip();
}

void WithGdiDC(ID2D1RenderTarget* rt, HWND window, const std::function<void(HWND, HDC)>& callback)
{
    if (!rt)
        return;
    ComPtr<ID2D1GdiInteropRenderTarget> interop;
    if (FAILED(rt->QueryInterface(IID_PPV_ARGS(&interop))) || !interop)
        return;
    HDC dc = nullptr;
    if (FAILED(interop->GetDC(D2D1_DC_INITIALIZE_MODE_COPY, &dc)) || !dc)
        return;
    if (callback)
        callback(window, dc);
    interop->ReleaseDC(nullptr);
}

// ---------------------------------------------------------------------------
// Blur
// ---------------------------------------------------------------------------

void DownUpScaleRegion(ID2D1RenderTarget* rt, float x, float y, float w, float h, float scale, float opacity)
{
    if (!rt)
        return;
    if (scale > 1.0f)
        scale = 1.0f / scale;
    else if (scale <= 0.0f)
        scale = 0.1f;
    opacity = std::clamp(opacity, 0.0f, 1.0f);
    const D2D1_SIZE_U size = rt->GetPixelSize();
    const int left = std::max(0, static_cast<int>(x)), top = std::max(0, static_cast<int>(y));
    const int right = std::min(static_cast<int>(size.width), static_cast<int>(x + w));
    const int bottom = std::min(static_cast<int>(size.height), static_cast<int>(y + h));
    if (right <= left || bottom <= top)
        return;
    const UINT32 sw = static_cast<UINT32>(right - left), sh = static_cast<UINT32>(bottom - top);

    auto& [copy, reduced] = ScaleBlurCache[rt];
    auto fail = [&] {
        copy.Reset();
        reduced.Reset();
    };
    if (!copy || copy->GetPixelSize().width != sw || copy->GetPixelSize().height != sh) {
        copy.Reset();
        const D2D1_BITMAP_PROPERTIES props = D2D1::BitmapProperties(rt->GetPixelFormat(), 96.0f, 96.0f);
        if (FAILED(rt->CreateBitmap(D2D1::SizeU(sw, sh), props, &copy)))
            return fail();
    }
    const float rw = w * scale, rh = h * scale;
    if (!reduced || std::fabs(reduced->GetSize().width - rw) > 1.0f ||
        std::fabs(reduced->GetSize().height - rh) > 1.0f) {
        reduced.Reset();
        if (FAILED(rt->CreateCompatibleRenderTarget(D2D1::SizeF(rw, rh), &reduced)))
            return fail();
    }
    const D2D1_POINT_2U origin = D2D1::Point2U(0, 0);
    const D2D1_RECT_U source = D2D1::RectU(left, top, right, bottom);
    if (FAILED(copy->CopyFromRenderTarget(&origin, rt, &source)))
        return fail();
    reduced->BeginDraw();
    reduced->Clear(D2D1::ColorF(0, 0, 0, 0));
    reduced->DrawBitmap(copy.Get(), D2D1::RectF(0, 0, rw, rh), opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR);
    if (FAILED(reduced->EndDraw()))
        return fail();
    ComPtr<ID2D1Bitmap> small;
    if (FAILED(reduced->GetBitmap(&small)))
        return fail();
    rt->DrawBitmap(small.Get(),
                   D2D1::RectF(x, y, x + w / static_cast<float>(DpiScale), y + h / static_cast<float>(DpiScale)),
                   opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR);
}

BlurPass BlurPassFor(BlurStrength strength, int pass)
{
    if (pass <= 1)
        return {3, 0.3f};
    const bool lowDpi = DpiScale < 1.25;
    switch (strength) {
    case BlurStrength::Light:
        if (pass == 2)
            return {3, 0.8f};
        if (pass >= 9)
            return {4, 0.9f};
        return {lowDpi ? 2.0f : 4.0f, 0.9f};
    case BlurStrength::Medium:
        if (pass == 2)
            return {3, 0.5f};
        if (pass >= 19)
            return {8, 0.8f};
        if (pass >= 15)
            return {5, 0.8f};
        if (pass >= 9)
            return {4, 0.8f};
        return {lowDpi ? 2.0f : 3.0f, 0.9f};
    case BlurStrength::Heavy:
    default:
        if (pass == 2)
            return {3, 0.5f};
        if (pass >= 17)
            return {32, 0.8f};
        if (pass >= 13)
            return {16, 0.8f};
        if (pass >= 9)
            return {8, 0.8f};
        if (pass >= 6)
            return {4, 0.8f};
        return {lowDpi ? 2.0f : 3.0f, 0.9f};
    }
}

namespace
{

// A blur of the DIP area (x, y, w, h) need not run: a partial paint's
// region lies wholly outside it (or under the control that covers it).
bool BlurOutsidePaint(ID2D1RenderTarget* rt, float x, float y, float w, float h)
{
    // Some blurs take their size in pixels, some in DIPs: cover both.
    const float scale = static_cast<float>(DpiScale > 0 ? DpiScale : 1.0);
    return OutsidePaintRegion(rt, x, y, std::max(w, w / scale), std::max(h, h / scale));
}

void RunBlur(BlurStrength strength, ID2D1RenderTarget* rt, float x, float y, float w, float h, float passes)
{
    if (!rt || BlurOutsidePaint(rt, x, y, w, h))
        return;
    for (int p = 0; p < passes; ++p) {
        const BlurPass pass = BlurPassFor(strength, p);
        DownUpScaleRegion(rt, x, y, w, h, pass.scale, pass.opacity);
    }
}

} // namespace

void DownsampleBlurLight(ID2D1RenderTarget* rt, float x, float y, float w, float h, float passes)
{
    RunBlur(BlurStrength::Light, rt, x, y, w, h, passes);
}

void DownsampleBlurMedium(ID2D1RenderTarget* rt, float x, float y, float w, float h, float passes)
{
    RunBlur(BlurStrength::Medium, rt, x, y, w, h, passes);
}

void DownsampleBlurHeavy(ID2D1RenderTarget* rt, float x, float y, float w, float h, float passes)
{
    RunBlur(BlurStrength::Heavy, rt, x, y, w, h, passes);
}

void GaussianBlurRegion(ID2D1RenderTarget* rt, float x, float y, float w, float h, float deviation)
{
    if (!rt || w <= 0 || h <= 0 || deviation <= 0 || BlurOutsidePaint(rt, x, y, w, h))
        return;
    ComPtr<ID2D1DeviceContext> dc;
    if (FAILED(rt->QueryInterface(IID_PPV_ARGS(&dc))) || !dc)
        return;
    float dpiX = 96, dpiY = 96;
    dc->GetDpi(&dpiX, &dpiY);
    const UINT32 px = static_cast<UINT32>(std::floor(x * dpiX / 96)),
                 py = static_cast<UINT32>(std::floor(y * dpiY / 96));
    const UINT32 pw = static_cast<UINT32>(std::ceil(w * dpiX / 96)), ph = static_cast<UINT32>(std::ceil(h * dpiY / 96));
    ComPtr<ID2D1Bitmap> copy;
    const D2D1_BITMAP_PROPERTIES props = D2D1::BitmapProperties(dc->GetPixelFormat(), dpiX, dpiY);
    if (FAILED(dc->CreateBitmap(D2D1::SizeU(pw, ph), props, &copy)))
        return;
    const D2D1_POINT_2U origin = D2D1::Point2U(0, 0);
    const D2D1_RECT_U source = D2D1::RectU(px, py, px + pw, py + ph);
    if (FAILED(copy->CopyFromRenderTarget(&origin, dc.Get(), &source)))
        return;
    ComPtr<ID2D1Effect> blur;
    if (FAILED(dc->CreateEffect(CLSID_D2D1GaussianBlur, &blur)) || !blur)
        return;
    blur->SetInput(0, copy.Get());
    blur->SetValue(D2D1_GAUSSIANBLUR_PROP_STANDARD_DEVIATION, deviation);
    blur->SetValue(D2D1_GAUSSIANBLUR_PROP_BORDER_MODE, D2D1_BORDER_MODE_HARD);
    dc->PushAxisAlignedClip(D2D1::RectF(x, y, x + w, y + h), D2D1_ANTIALIAS_MODE_ALIASED);
    const D2D1_POINT_2F at = D2D1::Point2F(x, y);
    dc->DrawImage(blur.Get(), &at, nullptr, D2D1_INTERPOLATION_MODE_LINEAR, D2D1_COMPOSITE_MODE_SOURCE_COPY);
    dc->PopAxisAlignedClip();
}

// ---------------------------------------------------------------------------
// Shell icons
// ---------------------------------------------------------------------------

namespace
{

ID2D1Bitmap* LoadShellIconBitmap(ID2D1RenderTarget* rt, const std::wstring& path, int pixelSize)
{
    if (!s_wicFactory)
        CreateGraphicsFactories();
    if (!s_wicFactory)
        return nullptr;
    SHFILEINFOW info{};
    const UINT flags = SHGFI_ICON | (pixelSize > 16 ? SHGFI_LARGEICON : SHGFI_SMALLICON);
    if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), flags) || !info.hIcon)
        return nullptr;
    ComPtr<IWICBitmap> wicBitmap;
    ComPtr<IWICFormatConverter> converter;
    ID2D1Bitmap* bitmap = nullptr;
    if (SUCCEEDED(s_wicFactory->CreateBitmapFromHICON(info.hIcon, &wicBitmap)) &&
        SUCCEEDED(s_wicFactory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(wicBitmap.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                        nullptr, 0.0, WICBitmapPaletteTypeMedianCut)))
        rt->CreateBitmapFromWicBitmap(converter.Get(), nullptr, &bitmap);
    DestroyIcon(info.hIcon);
    return bitmap;
}

ShellIconLoader& Loader()
{
    static ShellIconLoader loader = LoadShellIconBitmap;
    return loader;
}

} // namespace

void SetShellIconLoader(ShellIconLoader loader)
{
    Loader() = loader ? std::move(loader) : ShellIconLoader(LoadShellIconBitmap);
}

void DrawShellIcon(ID2D1RenderTarget* rt, const std::wstring& path, float x, float y, float size, float opacity)
{
    if (!rt)
        return;
    auto& perTarget = IconBitmapCache[rt];
    auto it = perTarget.find(path);
    if (it == perTarget.end()) {
        // A failure stores nothing: the file may appear, or the shell answer,
        // at a later paint.
        ComPtr<ID2D1Bitmap> bitmap = AdoptReference(Loader()(rt, path, static_cast<int>(size)));
        if (!bitmap)
            return;
        it = perTarget.emplace(path, std::move(bitmap)).first;
    }
    rt->DrawBitmap(it->second.Get(), D2D1::RectF(x, y, x + size, y + size), opacity < 1.0f ? opacity : 1.0f,
                   D2D1_BITMAP_INTERPOLATION_MODE_LINEAR);
}
