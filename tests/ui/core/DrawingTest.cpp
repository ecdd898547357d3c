// The drawing helpers on a real window, read back at known pixels, and the
// pure parts of the drawing family.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "tests/common/WindowTestSupport.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DrawingHelpers.h"
#include "ui/core/GlyphNames.h"
#include "ui/core/KelmWindow.h"

namespace
{

bool Near(COLORREF a, COLORREF b, int tolerance = 12)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

TEST(Drawing, IconMarkupRanges)
{
    using Ranges = std::vector<std::pair<size_t, size_t>>;
    EXPECT_EQ(FindColonRanges(L":\xF00D:"), (Ranges{{0, 2}}));
    EXPECT_EQ(FindColonRanges(L"a::b"), Ranges{});
    EXPECT_EQ(FindColonRanges(L"one: colon"), Ranges{});
    EXPECT_EQ(FindColonRanges(L"x:\xF015: y :\x203A:"), (Ranges{{1, 3}, {7, 9}}));
    EXPECT_EQ(GetGlyph(L"win-close"), L"\xF00D");
    EXPECT_EQ(GetGlyph(L"Win-close"), L"Win-close");
}

TEST(Drawing, BlurSchedules)
{
    EXPECT_EQ(BlurPassFor(BlurStrength::Light, 1).opacity, 0.3f);
    EXPECT_EQ(BlurPassFor(BlurStrength::Light, 2).opacity, 0.8f);
    EXPECT_EQ(BlurPassFor(BlurStrength::Medium, 19).scale, 8.0f);
    EXPECT_EQ(BlurPassFor(BlurStrength::Heavy, 17).scale, 32.0f);
    EXPECT_EQ(BlurPassFor(BlurStrength::Heavy, 6).scale, 4.0f);
}

TEST(Drawing, HelpersPaintKnownPixelsAndTheIconFontDrawsGlyphs)
{
    ASSERT_TRUE(CreateGraphicsFactories());
    const std::wstring font = WriteIconFontToTemp();
    ASSERT_FALSE(font.empty());
    ASSERT_TRUE(RegisterIconFont(font));
    ASSERT_NE(GetTextFormat(kIconFontFamily, 14.0f, 400, false), nullptr);
    EXPECT_EQ(GetTextFormat(nullptr, 14.0f, 400, false), GetTextFormat(nullptr, 14.001f, 400, false));
    EXPECT_NE(GetTextFormat(nullptr, 14.0f, 400, false), GetTextFormat(nullptr, 14.01f, 400, false));
    EXPECT_GT(MeasureTextWidth(nullptr, L"Tessik 收纳", 14.0f), 20);
    EXPECT_EQ(MeasureTextWidth(nullptr, L"", 14.0f), 0);

    auto window = std::make_shared<KelmWindow>();
    window->Set(60, 60, 360, 260, L"Kelm.Test.Drawing", L"drawing");
    window->style = WS_POPUP;
    bool drew = false;
    window->SetDrawCallback([&](HWND hwnd, ID2D1HwndRenderTarget* rt) {
        drew = true;
        rt->Clear(D2D1::ColorF(1, 1, 1, 1));
        FillSolidRect(rt, 10, 10, 40, 40, RGB(255, 0, 0), 1.0f);
        DrawRoundRect(rt, 60, 10, 60, 40, RGB(0, 0, 255), 12, 1.0f);
        DrawButtonFace(rt, 130, 10, 60, 40, RGB(0, 160, 0), 6);
        FillSolidRect(rt, 200, 10, 80, 80, RGB(0, 0, 0), 1.0f);
        DrawIconText(rt, 200, 10, 80, 80, L":\xF00D:", 60, RGB(255, 255, 255), L"Segoe UI", 1.0f, false);
        WithRoundRectClip(rt, 10, 100, 100, 60, hwnd, 20,
                          [](HWND, ID2D1HwndRenderTarget* target, int x, int y, int w, int h) {
                              FillSolidRect(target, static_cast<float>(x), static_cast<float>(y), static_cast<float>(w),
                                            static_cast<float>(h), RGB(255, 200, 0), 1.0f);
                          });
        bool gdiRan = false;
        WithGdiDC(rt, hwnd, [&](HWND, HDC dc) { gdiRan = dc != nullptr; });
        EXPECT_TRUE(gdiRan);
        DrawTextInRect(rt, 130, 100, 200, 40, L"收纳盒 Tessik", 16, RGB(0, 0, 0), L"Segoe UI", 1.0f, false);
        DrawSoftShadow(rt, 150, 180, 60, 30, 6, 0, 0, 6, 3, 0, 0.3f, RGB(0, 0, 0));
    });
    ASSERT_EQ(window->Create(), 1);
    PaintNow(window->hwnd);
    PumpMessages(200);
    ASSERT_TRUE(drew);
    HWND hwnd = window->hwnd;
    // The X server may show a new window a little after its first paint;
    // the pixels are read from the screen, so wait (bounded) until it is up.
    for (int i = 0; i < 30 && !Near(ReadClientPixel(hwnd, 30, 30), RGB(255, 0, 0)); ++i) {
        PaintNow(hwnd);
        PumpMessages(100);
    }
    EXPECT_TRUE(Near(ReadClientPixel(hwnd, 30, 30), RGB(255, 0, 0)));
    EXPECT_TRUE(Near(ReadClientPixel(hwnd, 90, 30), RGB(0, 0, 255)));
    EXPECT_TRUE(Near(ReadClientPixel(hwnd, 61, 11), RGB(255, 255, 255))); // the rounded corner stays white
    EXPECT_TRUE(Near(ReadClientPixel(hwnd, 160, 20), RGB(0, 160, 0)));
    EXPECT_TRUE(Near(ReadClientPixel(hwnd, 60, 130), RGB(255, 200, 0)));
    int lit = 0;
    for (int y = 12; y < 90; y += 2)
        for (int x = 202; x < 280; x += 2)
            lit += GetRValue(ReadClientPixel(hwnd, x, y)) > 128 ? 1 : 0;
    EXPECT_GT(lit, 40) << "the close glyph drew nothing";
    DestroyWindow(hwnd);
    PumpMessages(20);
    EXPECT_EQ(RenderTargetMap.count(hwnd), 0u);
    UnregisterIconFont(font);
}

// What is drawn inside a rounded clip stays inside its rectangle, and, where
// Direct2D applies a layer's geometric mask, out of its corners too. Wine's
// Direct2D ignores that mask: there the rectangle clip is all that keeps a
// fill inside a card or a field.
TEST(Drawing, RoundClipKeepsDrawingInsideItsShape)
{
    ASSERT_TRUE(CreateGraphicsFactories());
    auto window = std::make_shared<KelmWindow>();
    window->Set(60, 340, 200, 120, L"Kelm.Test.DrawingClip", L"clip");
    window->style = WS_POPUP;
    window->SetDrawCallback([](HWND hwnd, ID2D1HwndRenderTarget* rt) {
        rt->Clear(D2D1::ColorF(1, 1, 1, 1));
        WithRoundRectClip(rt, 10, 10, 100, 60, hwnd, 20, [](HWND, ID2D1HwndRenderTarget* target, int, int, int, int) {
            FillSolidRect(target, 0, 0, 200, 120, RGB(255, 200, 0), 1.0f); // far beyond the clip
        });
    });
    ASSERT_EQ(window->Create(), 1);
    HWND hwnd = window->hwnd;
    for (int i = 0; i < 30 && !Near(ReadClientPixel(hwnd, 60, 40), RGB(255, 200, 0)); ++i) {
        PaintNow(hwnd);
        PumpMessages(100);
    }
    ASSERT_TRUE(Near(ReadClientPixel(hwnd, 60, 40), RGB(255, 200, 0))) << "the clipped fill drew nothing";
    // (150, 40) and (60, 100) lie outside the rectangle, (12, 12) outside
    // the corner's quarter circle.
    EXPECT_TRUE(Near(ReadClientPixel(hwnd, 150, 40), RGB(255, 255, 255))) << "the fill ran out to the right";
    EXPECT_TRUE(Near(ReadClientPixel(hwnd, 60, 100), RGB(255, 255, 255))) << "the fill ran out below";
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (!wine) {
        EXPECT_TRUE(Near(ReadClientPixel(hwnd, 12, 12), RGB(255, 255, 255))) << "the fill ran into the corner";
    }
    DestroyWindow(hwnd);
    PumpMessages(20);
}

// A 32 x 32 render target over WIC pixels (keeps them alive); null on failure.
ComPtr<ID2D1RenderTarget> SmallWicTarget()
{
    ComPtr<IWICBitmap> pixels;
    ComPtr<ID2D1RenderTarget> rt;
    if (!CreateGraphicsFactories() || !s_wicFactory ||
        FAILED(s_wicFactory->CreateBitmap(32, 32, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad, &pixels)) ||
        FAILED(s_d2dFactory->CreateWicBitmapRenderTarget(pixels.Get(), D2D1::RenderTargetProperties(), &rt)))
        return nullptr;
    return rt;
}

// A shell icon that could not be made once is asked for again: nothing is
// kept for a failure.
TEST(Drawing, ShellIconFailureIsNotCached)
{
    ComPtr<ID2D1RenderTarget> rt = SmallWicTarget();
    ASSERT_TRUE(rt);
    int calls = 0;
    SetShellIconLoader([&calls](ID2D1RenderTarget* target, const std::wstring&, int size) -> ID2D1Bitmap* {
        if (++calls == 1)
            return nullptr; // the shell had no icon this time
        ID2D1Bitmap* bitmap = nullptr;
        target->CreateBitmap(
            D2D1::SizeU(size, size),
            D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED)),
            &bitmap);
        return bitmap;
    });
    rt->BeginDraw();
    DrawShellIcon(rt.Get(), L"C:\\later.txt", 0, 0, 16, 1.0f);
    DrawShellIcon(rt.Get(), L"C:\\later.txt", 0, 0, 16, 1.0f);
    DrawShellIcon(rt.Get(), L"C:\\later.txt", 0, 0, 16, 1.0f);
    rt->EndDraw();
    SetShellIconLoader(nullptr);
    EXPECT_EQ(calls, 2) << "asked again after the failure, then kept";
    ReleaseRenderTargetResources(rt.Get());
}

// The loader's bitmap is held by the cache alone: it ends when its
// target's resources are released.
TEST(Drawing, ShellIconEndsWithItsTargetsResources)
{
    ComPtr<ID2D1RenderTarget> rt = SmallWicTarget();
    ASSERT_TRUE(rt);
    ComPtr<ID2D1Bitmap> watched; // a reference of the test's own
    SetShellIconLoader([&watched](ID2D1RenderTarget* target, const std::wstring&, int size) -> ID2D1Bitmap* {
        ID2D1Bitmap* bitmap = nullptr;
        target->CreateBitmap(
            D2D1::SizeU(size, size),
            D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED)),
            &bitmap);
        watched = bitmap;
        return bitmap;
    });
    rt->BeginDraw();
    DrawShellIcon(rt.Get(), L"C:\\icon.txt", 0, 0, 16, 1.0f);
    rt->EndDraw();
    SetShellIconLoader(nullptr);
    ASSERT_TRUE(watched);
    ReleaseRenderTargetResources(rt.Get());
    EXPECT_EQ(watched.Reset(), 0u) << "a reference to the icon outlived its target's resources";
}

// Where the text on a target drawn by the helpers has ink: the box of
// pixels at least half covered, its count, and their mean colour.
struct TextInkSeen {
    RECT box{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    int count = 0;
    COLORREF colour = 0;
};

constexpr UINT kInkW = 320, kInkH = 64;

// What the helpers draw on a transparent target of the DPI, as
// premultiplied BGRA.
std::vector<BYTE> DrawnPixels(const std::function<void(ID2D1RenderTarget*)>& draw, float dpi = 96.0f)
{
    ComPtr<IWICBitmap> pixels;
    ComPtr<ID2D1RenderTarget> rt;
    if (!CreateGraphicsFactories() || !s_wicFactory ||
        FAILED(
            s_wicFactory->CreateBitmap(kInkW, kInkH, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad, &pixels)) ||
        FAILED(s_d2dFactory->CreateWicBitmapRenderTarget(pixels.Get(), D2D1::RenderTargetProperties(), &rt)))
        return {};
    rt->SetDpi(dpi, dpi);
    rt->BeginDraw();
    rt->Clear(D2D1::ColorF(0, 0, 0, 0));
    draw(rt.Get());
    rt->EndDraw();
    ReleaseRenderTargetResources(rt.Get());
    std::vector<BYTE> bgra(kInkW * kInkH * 4);
    if (FAILED(pixels->CopyPixels(nullptr, kInkW * 4, static_cast<UINT>(bgra.size()), bgra.data())))
        return {};
    return bgra;
}

TextInkSeen DrawnInk(const std::function<void(ID2D1RenderTarget*)>& draw, float dpi)
{
    TextInkSeen seen;
    const std::vector<BYTE> bgra = DrawnPixels(draw, dpi);
    if (bgra.empty())
        return seen;
    unsigned r = 0, g = 0, b = 0;
    for (UINT y = 0; y < kInkH; ++y) {
        for (UINT x = 0; x < kInkW; ++x) {
            const BYTE* p = &bgra[(y * kInkW + x) * 4];
            if (p[3] < 128)
                continue;
            ++seen.count;
            b += p[0] * 255 / p[3];
            g += p[1] * 255 / p[3];
            r += p[2] * 255 / p[3];
            seen.box = {std::min<LONG>(seen.box.left, x), std::min<LONG>(seen.box.top, y),
                        std::max<LONG>(seen.box.right, x + 1), std::max<LONG>(seen.box.bottom, y + 1)};
        }
    }
    if (seen.count)
        seen.colour = RGB(r / seen.count, g / seen.count, b / seen.count);
    return seen;
}

// A kept text (an icon's label, drawn again on every frame from a bitmap)
// stands where, and looks as, the same text drawn as text does, in the
// colour and at the place of each draw, at 100 % and 150 %; what is kept
// ends with its target.
TEST(Drawing, KeptTextDrawsAsTheTextInItsColourAndPlace)
{
    const wchar_t* text = L"Tessik 收纳盒.txt";
    for (const float dpi : {96.0f, 144.0f}) {
        SCOPED_TRACE(dpi);
        const TextInkSeen plain = DrawnInk(
            [&](ID2D1RenderTarget* rt) {
                DrawTextInRect(rt, 20, 8, 160, 20, text, 14, RGB(200, 0, 0), L"Segoe UI", 1.0f, false);
            },
            dpi);
        ASSERT_GT(plain.count, 40) << "the text drew nothing";
        CachedTextLayout layout;
        bool kept = false;
        ID2D1RenderTarget* target = nullptr;
        auto drawKept = [&](float x, COLORREF colour) {
            return DrawnInk(
                [&](ID2D1RenderTarget* rt) {
                    // Drawn and kept in red first; what is seen is the second draw.
                    DrawTextCached(rt, layout, 20, 8, 160, 20, text, 14, 400, RGB(200, 0, 0), 1.0f, false);
                    rt->Clear(D2D1::ColorF(0, 0, 0, 0));
                    DrawTextCached(rt, layout, x, 8, 160, 20, text, 14, 400, colour, 1.0f, false);
                    kept = KeptInks.count(rt) == 1;
                    target = rt;
                },
                dpi);
        };
        const TextInkSeen red = drawKept(20, RGB(200, 0, 0));
        EXPECT_TRUE(kept) << "the text was not kept";
        EXPECT_EQ(KeptInks.count(target), 0u) << "kept past its target's resources";
        EXPECT_LE(std::abs(red.box.left - plain.box.left), 1);
        EXPECT_LE(std::abs(red.box.top - plain.box.top), 1);
        EXPECT_LE(std::abs(red.box.right - plain.box.right), 1);
        EXPECT_LE(std::abs(red.box.bottom - plain.box.bottom), 1);
        EXPECT_NEAR(red.count, plain.count, plain.count / 4);
        EXPECT_TRUE(Near(red.colour, RGB(200, 0, 0), 30));
        const TextInkSeen blue = drawKept(20, RGB(0, 0, 200));
        EXPECT_TRUE(Near(blue.colour, RGB(0, 0, 200), 30)) << "drawn in the colour kept from before";
        const TextInkSeen moved = drawKept(0, RGB(200, 0, 0));
        EXPECT_EQ(moved.box.left, red.box.left - static_cast<LONG>(20 * dpi / 96));
        EXPECT_EQ(moved.box.top, red.box.top);
    }
}

// Shapes kept as pixels (a text card's face and fade) cover what the same
// shapes drawn one by one cover, in their colours: edges may differ by
// their antialiasing, nothing else.
TEST(Drawing, KeptShapesDrawAsTheShapes)
{
    std::vector<KeptShape> card = ButtonFaceShapes(120, 30, RGB(90, 140, 220), 8);
    for (const float offset : {8.0f, 6.0f, 5.0f})
        card.push_back({2, 6 + offset, 116, 10, 0, RGB(250, 250, 250), 0.4f});
    for (const float dpi : {96.0f, 144.0f}) {
        SCOPED_TRACE(dpi);
        const std::vector<BYTE> shapes = DrawnPixels(
            [&](ID2D1RenderTarget* rt) {
                DrawButtonFace(rt, 30, 4, 120, 30, RGB(90, 140, 220), 8);
                for (const float offset : {8.0f, 6.0f, 5.0f})
                    FillSolidRect(rt, 32, 10 + offset, 116, 10, RGB(250, 250, 250), 0.4f);
            },
            dpi);
        bool kept = false;
        const std::vector<BYTE> fromKept = DrawnPixels(
            [&](ID2D1RenderTarget* rt) {
                DrawKeptShapes(rt, 20, 4, card); // made
                rt->Clear(D2D1::ColorF(0, 0, 0, 0));
                DrawKeptShapes(rt, 30, 4, card); // drawn from what was kept, elsewhere
                kept = KeptInks.count(rt) == 1;
            },
            dpi);
        ASSERT_EQ(shapes.size(), fromKept.size());
        ASSERT_FALSE(shapes.empty());
        EXPECT_TRUE(kept);
        int covered = 0, differ = 0;
        for (size_t i = 0; i < shapes.size(); i += 4) {
            covered += shapes[i + 3] > 0 ? 1 : 0;
            for (int c = 0; c < 4; ++c) {
                if (std::abs(shapes[i + c] - fromKept[i + c]) > 24) {
                    ++differ;
                    break;
                }
            }
        }
        EXPECT_GT(covered, 3000);
        // Only edges, where antialiasing may differ.
        EXPECT_LT(differ, covered / 25) << differ << " of " << covered << " pixels differ";
    }
}

// A paint that meets more new texts than it has time to keep draws those
// of things on the move at a later paint, which it asks for, until all are
// drawn; texts that may not wait are drawn at once and ask for nothing.
TEST(Drawing, TextsThatMayWaitAreDrawnAtTheNextPaints)
{
    ASSERT_TRUE(CreateGraphicsFactories());
    bool mayWait = true;
    int paints = 0;
    auto window = std::make_shared<KelmWindow>();
    window->Set(60, 60, 300, 200, L"Kelm.Test.TextWait", L"text wait");
    window->style = WS_POPUP;
    std::vector<CachedTextLayout> layouts(150);
    window->SetDrawCallback([&](HWND, ID2D1HwndRenderTarget* rt) {
        ++paints;
        rt->Clear(D2D1::ColorF(1, 1, 1, 1));
        for (size_t i = 0; i < layouts.size(); ++i) {
            const std::wstring text = std::to_wstring(i) + (mayWait ? L" 正在移动的图标的名字.txt" : L" 不等.txt");
            DrawTextCached(rt, layouts[i], 4, 4 + static_cast<float>(i % 10) * 18, 280, 18, text, 12, 400, RGB(0, 0, 0),
                           1.0f, false, mayWait);
        }
    });
    ASSERT_EQ(window->Create(), 1);
    const HWND hwnd = window->hwnd;
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(GetUpdateRect(hwnd, nullptr, FALSE)) << "texts were left out and no paint was asked for";
    paints = 0;
    for (int i = 0; i < 1000 && GetUpdateRect(hwnd, nullptr, FALSE); ++i)
        RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW);
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE)) << "the paints never drew every text";
    EXPECT_GT(paints, 0);
    mayWait = false;
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE)) << "texts that may not wait asked for another paint";
    DestroyWindow(hwnd);
    PumpMessages(20);
}

TEST(Drawing, StartUpMakesThePremultipliedDcTarget)
{
    ASSERT_TRUE(CreateGraphicsFactories());
    ASSERT_TRUE(s_dcRenderTarget);
    const D2D1_PIXEL_FORMAT format = s_dcRenderTarget->GetPixelFormat();
    EXPECT_EQ(format.format, DXGI_FORMAT_B8G8R8A8_UNORM);
    EXPECT_EQ(format.alphaMode, D2D1_ALPHA_MODE_PREMULTIPLIED);
    float dpiX = 0, dpiY = 0;
    s_dcRenderTarget->GetDpi(&dpiX, &dpiY);
    EXPECT_GT(dpiX, 0.0f) << "default DPI";
}

} // namespace
