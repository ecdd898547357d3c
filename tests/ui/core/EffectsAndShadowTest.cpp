// Window effects on real windows, and the drop shadow: its pure drawing,
// a shadow window that follows, outlives a refused close and goes with its
// owner, and a popup's strip that shows soft on screen.
#include <gtest/gtest.h>

#include <memory>

#include "tests/common/WindowTestSupport.h"
#include "ui/core/DropShadow.h"
#include "ui/core/WindowEffects.h"

using namespace Brevin::Window::OuterShadow;

namespace
{

uint8_t AlphaAt(const std::vector<uint32_t>& pixels, int w, int x, int y)
{
    return static_cast<uint8_t>(pixels[static_cast<size_t>(y) * w + x] >> 24);
}

ShadowParams PopupShadow()
{
    ShadowParams p;
    p.darkness = 80;
    p.sharpness = 5;
    p.size = 0;
    p.offsetX = 0;
    p.offsetY = 3;
    return p;
}

TEST(ShadowDrawing, PopupShadowIsASoftStripBelowTheOwner)
{
    const int w = 40, h = 30;
    const std::vector<RowSpan> rows(h, RowSpan{0, w - 1});
    const auto pixels = DropShadow::RenderShadow(rows, w, h, PopupShadow());
    ASSERT_EQ(pixels.size(), static_cast<size_t>(w * h));
    // The owner covers every row but the last three.
    for (int y = 0; y < h - 3; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(pixels[static_cast<size_t>(y) * w + x], 0u) << x << "," << y;
    // The strip fades downwards and towards its ends, never past darkness 80.
    const uint8_t top = AlphaAt(pixels, w, 20, h - 3), bottom = AlphaAt(pixels, w, 20, h - 1);
    EXPECT_EQ(top, 40);
    EXPECT_GT(top, bottom);
    EXPECT_GT(bottom, 0);
    EXPECT_LT(AlphaAt(pixels, w, 0, h - 3), top);
    // Black premultiplied: colour channels stay 0.
    EXPECT_EQ(pixels[static_cast<size_t>(h - 3) * w + 20] & 0xFFFFFF, 0u);
}

TEST(ShadowDrawing, LargeShadowIsFullInsideAndPremultipliesItsColour)
{
    ShadowParams p;
    p.darkness = 200;
    p.sharpness = 4;
    p.size = 10;
    p.offsetX = 20; // the owner lies fully beside the sampled pixels
    p.offsetY = 0;
    p.colour = RGB(255, 0, 0);
    const int w = 20, h = 20, W = w + 20, H = h + 20;
    const std::vector<RowSpan> rows(h, RowSpan{0, w - 1});
    const auto pixels = DropShadow::RenderShadow(rows, w, h, p);
    ASSERT_EQ(pixels.size(), static_cast<size_t>(W * H));
    // Inside the shape (bitmap 10..29) the shadow is full; it is zero in the corner.
    EXPECT_EQ(AlphaAt(pixels, W, 10, 20), 200);
    EXPECT_EQ(AlphaAt(pixels, W, 0, 0), 0);
    // Red lands in the red byte of BGRA, scaled by the alpha.
    EXPECT_EQ((pixels[static_cast<size_t>(20) * W + 10] >> 16) & 0xFF, 200u);
    EXPECT_EQ(pixels[static_cast<size_t>(20) * W + 10] & 0xFFFF, 0u);
    // Outside the shape it falls off linearly over the sharpness.
    // Full up to 6 from the shape, then down by 40 per unit (x 30..39).
    EXPECT_EQ(AlphaAt(pixels, W, 35, 20), 200);
    EXPECT_EQ(AlphaAt(pixels, W, 37, 20), 120);
    EXPECT_NEAR(AlphaAt(pixels, W, 39, 20), 40, 1);
    // The owner's own pixels (bitmap x 0..9 here) are clear.
    EXPECT_EQ(AlphaAt(pixels, W, 5, 20), 0);
}

TEST(ShadowDrawing, SettersKeepTheirRanges)
{
    auto shadow = std::make_shared<DropShadow>();
    EXPECT_FALSE(shadow->SetSharpness(81));
    EXPECT_TRUE(shadow->SetSharpness(80));
    EXPECT_FALSE(shadow->SetSize(41));
    EXPECT_FALSE(shadow->SetSize(-21));
    EXPECT_TRUE(shadow->SetSize(-20));
    EXPECT_FALSE(shadow->SetPosition(21, 0));
    EXPECT_TRUE(shadow->SetPosition(-20, 20));
    EXPECT_EQ(shadow->Params().offsetY, 20);
    EXPECT_EQ(shadow->Params().sharpness, 80);
}

// An owner window of its own class that refuses WM_CLOSE and notes what
// its procedure sees.
int g_destroySawOwnProc = 0;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE)
        return 0;
    if (message == WM_DESTROY)
        g_destroySawOwnProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == &OwnerProc ? 1 : -1;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeOwner(int x, int y, int w, int h, DWORD extraStyle = 0)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"Kelm.Test.ShadowOwner";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, wc.lpszClassName, L"owner", WS_POPUP | WS_VISIBLE | extraStyle, x, y, w, h, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    PumpMessages(20);
    return owner;
}

RECT WindowRect(HWND window)
{
    RECT rc{};
    GetWindowRect(window, &rc);
    return rc;
}

TEST(DropShadowWindow, FollowsItsOwnerSurvivesARefusedCloseAndGoesWithIt)
{
    HWND owner = MakeOwner(300, 300, 200, 120);
    ASSERT_TRUE(owner);
    std::weak_ptr<DropShadow> weak;
    {
        auto shadow = std::make_shared<DropShadow>();
        shadow->SetDarkness(80);
        shadow->SetSharpness(5);
        shadow->SetSize(0);
        shadow->SetPosition(0, 3);
        ASSERT_TRUE(shadow->Create(owner));
        weak = shadow;
    }
    ASSERT_FALSE(weak.expired()); // the registration keeps it alive
    HWND shadowWindow = DropShadow::ShadowWindowOf(owner);
    ASSERT_TRUE(shadowWindow);
    EXPECT_TRUE(IsWindowVisible(shadowWindow));
    RECT rc = WindowRect(shadowWindow);
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.top, 303);
    EXPECT_EQ(rc.right - rc.left, 200);
    EXPECT_EQ(rc.bottom - rc.top, 120);

    SetWindowPos(owner, nullptr, 420, 260, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PumpMessages(20);
    rc = WindowRect(shadowWindow);
    EXPECT_EQ(rc.left, 420);
    EXPECT_EQ(rc.top, 263);

    SetWindowPos(owner, nullptr, 0, 0, 260, 150, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages(20);
    rc = WindowRect(shadowWindow);
    EXPECT_EQ(rc.right - rc.left, 260);
    EXPECT_EQ(rc.top, 263);

    SendMessageW(owner, WM_CLOSE, 0, 0);
    PumpMessages(20);
    EXPECT_TRUE(IsWindow(shadowWindow));
    EXPECT_TRUE(IsWindowVisible(shadowWindow));
    EXPECT_EQ(DropShadow::ShadowWindowOf(owner), shadowWindow);

    g_destroySawOwnProc = 0;
    DestroyWindow(owner);
    PumpMessages(30);
    EXPECT_EQ(g_destroySawOwnProc, 1); // the owner's procedure was put back first
    EXPECT_FALSE(IsWindow(shadowWindow));
    EXPECT_EQ(DropShadow::ShadowWindowOf(owner), nullptr);
    EXPECT_TRUE(weak.expired());
}

TEST(DropShadowWindow, MinimisedOwnerGetsAHiddenShadowAndUnsharedObjectsAreRefused)
{
    HWND owner = MakeOwner(300, 300, 200, 120, WS_MINIMIZE);
    ASSERT_TRUE(owner);
    DropShadow unshared;
    EXPECT_FALSE(unshared.Create(owner));
    auto shadow = std::make_shared<DropShadow>();
    ASSERT_TRUE(shadow->Create(owner));
    EXPECT_FALSE(IsWindowVisible(DropShadow::ShadowWindowOf(owner)));
    DestroyWindow(owner);
    PumpMessages(20);
}

// A pixel as the screen shows it, layered windows included.
COLORREF ScreenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, 1, 1, screen, x, y, SRCCOPY | CAPTUREBLT);
    const COLORREF colour = GetPixel(memory, 0, 0);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colour;
}

TEST(DropShadowWindow, PopupStripShowsAsASoftGreyOverAWhiteWindowNeverBlack)
{
    HWND below = MakeOwner(250, 250, 300, 300);
    HWND owner = MakeOwner(300, 300, 200, 120);
    ASSERT_TRUE(below && owner);
    auto shadow = std::make_shared<DropShadow>();
    shadow->SetDarkness(80);
    shadow->SetSharpness(5);
    shadow->SetSize(0);
    shadow->SetPosition(0, 3);
    ASSERT_TRUE(shadow->Create(owner));
    // The strip's top row in the middle is darkness 40 of 255 over white:
    // 255 * (255 - 40) / 255 = 215 in every channel.
    const COLORREF wanted = RGB(215, 215, 215);
    COLORREF shown = ScreenPixel(400, 420);
    for (const ULONGLONG end = GetTickCount64() + 3000; shown != wanted && GetTickCount64() < end;) {
        PumpMessages(20);
        shown = ScreenPixel(400, 420);
    }
    EXPECT_EQ(shown, wanted);
    // Its bottom row is lighter still, yet not the window below.
    const COLORREF bottom = ScreenPixel(400, 422);
    EXPECT_GT(GetRValue(bottom), 215);
    EXPECT_LT(GetRValue(bottom), 255);
    DestroyWindow(owner);
    DestroyWindow(below);
    PumpMessages(20);
}

TEST(WindowEffects, DropInFadeOutAndZoomInEndWhereTheyShould)
{
    EXPECT_EQ(ZoomInStepSize(200, 100, 0).cx, 29);
    EXPECT_EQ(ZoomInStepSize(200, 100, 0).cy, 19);
    EXPECT_EQ(ZoomInStepSize(200, 100, 9).cx, 200);

    HWND window = MakeOwner(200, 200, 200, 100);
    ASSERT_TRUE(window);
    AnimateWindowDropIn(window);
    RECT rc = WindowRect(window);
    EXPECT_EQ(rc.left, 200);
    EXPECT_EQ(rc.top, 200);
    EXPECT_EQ(s_effectAlpha, 255);
    BYTE alpha = 0;
    if (GetLayeredWindowAttributes(window, nullptr, &alpha, nullptr)) {
        EXPECT_EQ(alpha, 255);
    }

    AnimateWindowFadeOut(window);
    rc = WindowRect(window);
    EXPECT_EQ(rc.top, 200 - 91);
    EXPECT_EQ(s_effectAlpha, 15);

    SetWindowPos(window, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
    AnimateWindowZoomIn(window);
    rc = WindowRect(window);
    EXPECT_EQ(rc.right - rc.left, 200);
    EXPECT_EQ(rc.bottom - rc.top, 100);
    EXPECT_EQ(rc.top, 200 - 91);

    CenterWindowOnScreen(window);
    rc = WindowRect(window);
    EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - 200) / 2);
    DestroyWindow(window);
}

TEST(WindowEffects, StopWhenAHandlerDestroysTheWindowMidEffect)
{
    HWND window = MakeOwner(200, 200, 120, 80);
    ASSERT_TRUE(window);
    PostMessageW(window, WM_CLOSE, 0, 0); // refused: still there
    SetTimer(window, 77, 20, [](HWND hwnd, UINT, UINT_PTR, DWORD) { DestroyWindow(hwnd); });
    AnimateWindowDropIn(window);
    EXPECT_FALSE(IsWindow(window));
}

} // namespace
