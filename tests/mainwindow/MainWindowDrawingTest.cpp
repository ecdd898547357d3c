// The main window's own drawings really draw: the home page's three
// pictures in the colours of their bands, and fixed-size shell icons.
#include <gtest/gtest.h>

#include <cstdlib>

#include "mainwindow/HomePage.h"
#include "mainwindow/MainWindowDrawing.h"
#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/core/DpiScale.h"

namespace
{

using MainWindowLayout::Illustration;

class HomeIllustration : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        DpiScale = 1.0;
        if (ControlTestWindow::PrepareGraphics())
            window = new ControlTestWindow(1100, 660, 360, 240);
    }
    static void TearDownTestSuite()
    {
        delete window;
        window = nullptr;
    }
    static inline ControlTestWindow* window = nullptr;
};

TEST_F(HomeIllustration, EachBandDrawsItsShapesInItsColour)
{
    ASSERT_NE(window, nullptr);
    // A draw callback of its own, after the window's white clear.
    window->addControls = [](Brevin::D2DBrevinPanel* panel) {
        ID2D1HwndRenderTarget* target = panel->renderTarget;
        DrawHomeIllustration(target, Illustration::Morning, 60, 120);
        DrawHomeIllustration(target, Illustration::Afternoon, 180, 120);
        DrawHomeIllustration(target, Illustration::Night, 300, 120);
    };
    window->PaintOnce();
    // Morning: the half sun's body above its flat base. A fresh window may
    // reach the display a little after its first paint.
    EXPECT_TRUE(window->PumpUntil(
        [] {
            window->PaintOnce();
            return Near(window->Pixel(60, 122), RGB(0xFF, 0xA5, 0x00), 10);
        },
        5000));
    // Afternoon: the sun's middle and a ray to its right.
    EXPECT_TRUE(Near(window->AwaitPixel(180, 120, RGB(0xFF, 0xD7, 0x00), 10), RGB(0xFF, 0xD7, 0x00), 10));
    EXPECT_TRUE(Near(window->AwaitPixel(180 + 33, 120, RGB(0xFF, 0xD7, 0x00), 40), RGB(0xFF, 0xD7, 0x00), 40));
    // Night: the crescent's thick right side, the hollow left of it stays white.
    EXPECT_TRUE(Near(window->AwaitPixel(300 + 24, 124, RGB(0x52, 0x79, 0xFB), 10), RGB(0x52, 0x79, 0xFB), 10));
    EXPECT_TRUE(Near(window->Pixel(300 - 10, 120), RGB(255, 255, 255), 10));
    // Nothing far from the drawings.
    EXPECT_TRUE(Near(window->Pixel(120, 20), RGB(255, 255, 255), 2));
}

TEST_F(HomeIllustration, ShellIconOfAFileTypeDrawsThirtySixSquare)
{
    ASSERT_NE(window, nullptr);
    window->addControls = [](Brevin::D2DBrevinPanel* panel) {
        DrawShellIconFixed(panel->renderTarget, L"C:\\nowhere\\note.txt", 40, 40);
    };
    auto inked = [](int left, int top, int right, int bottom) {
        for (int y = top; y < bottom; y += 3)
            for (int x = left; x < right; x += 3)
                if (!Near(ReadClientPixel(window->hwnd, x, y), RGB(255, 255, 255), 8))
                    return true;
        return false;
    };
    window->PaintOnce();
    EXPECT_TRUE(window->PumpUntil([&] { return inked(40, 40, 76, 76); }, 3000));
    EXPECT_FALSE(inked(80, 40, 120, 76));
}

} // namespace
