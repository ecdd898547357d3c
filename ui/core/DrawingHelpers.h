// The drawing family every control and window uses: rounded shapes, texts
// (with icon-font markup ":glyph:"), glow, soft shadows, button faces,
// clips, GDI interop, frosted and Gaussian blur, shell icons. Rectangles are
// DIPs of the target; colours are COLORREF with a separate opacity. Each
// function does nothing for a null target. UI thread only.
#pragma once

#include <d2d1.h>
#include <dwrite.h>
#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using ClipCallback = std::function<void(HWND, ID2D1HwndRenderTarget*, int, int, int, int)>;

// Ranges (i, j) of ":...:" icon runs, both colons included; "::" is none.
std::vector<std::pair<size_t, size_t>> FindColonRanges(const std::wstring& text);

void DrawRoundRect(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF fill, float radius, float alpha,
                   float borderWidth = 0.0f, COLORREF border = 0, float borderAlpha = 0.0f, bool outlineOnly = false);
void FillSolidRect(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF color, float alpha);
void DrawTextInRect(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                    COLORREF color, const wchar_t* family, float alpha, bool centred);
void DrawTextInRectInt(ID2D1RenderTarget* rt, float x, float y, int w, int h, const wchar_t* text, float size,
                       COLORREF color, const wchar_t* family, float alpha);
// Draws like DrawTextInRect (weight 400, not centred), glyph run by glyph
// run: a partial paint draws only the glyphs that can reach its region
// (every glyph drawn is rendered anew, and a caret beside a long line
// would redraw all of it). The edit boxes' text.
struct CachedTextLayout;
// With a cache the layout is kept between paints (a caret's blink draws
// the same line again and again) and rebuilt when the text, box or font
// changed.
void DrawTextLine(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                  COLORREF color, const wchar_t* family, float alpha, CachedTextLayout* cache = nullptr);
// A "Segoe UI" text layout kept by its owner between paints: building one
// per draw is most of the cost of a frame full of labels and text cards.
struct CachedTextLayout {
    Microsoft::WRL::ComPtr<IDWriteTextLayout> layout;
    IDWriteTextFormat* format = nullptr;
    std::wstring text;
    float w = -1.0f;
    float h = -1.0f;
    float size = 0.0f;
    int weight = 0;
    bool centred = false;
};
// Draws like DrawTextInRect (weight 400) or DrawTextSemibold (weight 600)
// in "Segoe UI", rebuilding the layout only when the text, box, size,
// weight or alignment changed. The text is kept as a bitmap of the target
// between paints; a paint makes only a few such bitmaps and draws the
// other new texts as text, or, with mayWait (the text of something on the
// move or fading in), leaves them to the next paint, which it asks for.
void DrawTextCached(ID2D1RenderTarget* rt, CachedTextLayout& cache, float x, float y, float w, float h,
                    std::wstring_view text, float size, int weight, COLORREF color, float alpha, bool centred,
                    bool mayWait = false);
void DrawTextSemibold(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                      COLORREF color, const wchar_t* family, float alpha, bool centred);
void DrawIconText(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                  COLORREF color, const wchar_t* family, float alpha, bool centred);
void DrawIconTextOblique(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                         COLORREF color, const wchar_t* family, float alpha, bool centred);
void DrawTextGlow(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                  COLORREF textColor, COLORREF glowColor, float dx, float dy, float glowRadius, float glowAlpha,
                  float alpha, bool centred);
void DrawTextGlowSemibold(ID2D1RenderTarget* rt, float x, float y, float w, float h, const wchar_t* text, float size,
                          COLORREF textColor, COLORREF glowColor, float dx, float dy, float glowRadius, float glowAlpha,
                          float alpha);
void DrawSoftShadow(ID2D1RenderTarget* rt, float x, float y, float w, float h, float radius, float dx, float dy,
                    float spread, int layers, float inset, float alpha, COLORREF color);
void DrawButtonFace(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF color, float radius);
// A filled rectangle, with round corners when radius > 0, from the
// drawing's origin (DIPs).
struct KeptShape {
    float x = 0.0f;
    float y = 0.0f;
    float w = 0.0f;
    float h = 0.0f;
    float radius = 0.0f;
    COLORREF colour = 0;
    float alpha = 1.0f;
};
// The three layers DrawButtonFace lays down for a w x h face.
std::vector<KeptShape> ButtonFaceShapes(float w, float h, COLORREF color, float radius);
// The shapes laid over each other in order with their origin at (x, y),
// drawn once as pixels and kept per target for the paints after (a face
// that a box draws for each of its text cards on every frame). Under a
// scaled or turned transform each is drawn as it is.
void DrawKeptShapes(ID2D1RenderTarget* rt, float x, float y, const std::vector<KeptShape>& shapes);
void DrawButtonFaceBordered(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF color, float radius,
                            float alpha, float borderWidth);
void DrawKeyCap(ID2D1RenderTarget* rt, float x, float y, float w, float h, COLORREF color, float radius,
                const wchar_t* label);
// Runs the callback while drawing is clipped to the rounded rectangle.
void WithRoundRectClip(ID2D1HwndRenderTarget* rt, float x, float y, float w, float h, HWND window, float radius,
                       const ClipCallback& callback);
void WithRoundRectClipNoLayer(ID2D1HwndRenderTarget* rt, float x, float y, float w, float h, HWND window, float radius,
                              const ClipCallback& callback);
// GDI drawing on a GDI-compatible target; skipped when the target gives no DC.
void WithGdiDC(ID2D1RenderTarget* rt, HWND window, const std::function<void(HWND, HDC)>& callback);
void DownUpScaleRegion(ID2D1RenderTarget* rt, float x, float y, float w, float h, float scale, float opacity);
void DownsampleBlurLight(ID2D1RenderTarget* rt, float x, float y, float w, float h, float passes);
void DownsampleBlurMedium(ID2D1RenderTarget* rt, float x, float y, float w, float h, float passes);
void DownsampleBlurHeavy(ID2D1RenderTarget* rt, float x, float y, float w, float h, float passes);
void GaussianBlurRegion(ID2D1RenderTarget* rt, float x, float y, float w, float h, float deviation);
void DrawShellIcon(ID2D1RenderTarget* rt, const std::wstring& path, float x, float y, float size, float opacity);

// Makes the bitmap of a file's shell icon at a pixel size, or null. The box
// icon code may install its own loader; the default asks the shell.
using ShellIconLoader = std::function<ID2D1Bitmap*(ID2D1RenderTarget*, const std::wstring& path, int pixelSize)>;
void SetShellIconLoader(ShellIconLoader loader);

// Blur schedule of one pass: (scale, opacity). Exposed for tests.
struct BlurPass {
    float scale;
    float opacity;
};
enum class BlurStrength { Light, Medium, Heavy };
BlurPass BlurPassFor(BlurStrength strength, int pass);
