// The caption bar (title sizes, a drag that moves its window) and the size
// frame (grab zones, resize rules, a drag with the real mouse button).
#include <gtest/gtest.h>

#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/controls/KelmSizeFrame.h"
#include "ui/core/DpiScale.h"

namespace
{

using Frame = KelmSizeFrame::Frame;

// Real input through the system's queue, so the button state that the move
// loop and the drag handlers read is the real one.
void SendMouse(DWORD flags, int screenX = 0, int screenY = 0)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_MOVE) {
        input.mi.dwFlags |= MOUSEEVENTF_ABSOLUTE;
        input.mi.dx = MulDiv(screenX, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(screenY, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    SendInput(1, &input, sizeof(input));
}

TEST(CaptionBarLook, AutomaticTitleShrinksOnNarrowBars)
{
    EXPECT_FLOAT_EQ(KelmCaptionBar::TitleFontSize(350, 18.0f, -1), 15.0f);
    EXPECT_FLOAT_EQ(KelmCaptionBar::TitleFontSize(250, 18.0f, -1), 12.0f);
    EXPECT_FLOAT_EQ(KelmCaptionBar::TitleFontSize(400, 18.0f, -1), 18.0f);
    EXPECT_FLOAT_EQ(KelmCaptionBar::TitleFontSize(250, 18.0f, 14), 14.0f);
}

TEST(SizeFrameZones, CornersFirstThenInsideWithEdgesIncluded)
{
    const Frame big{100, 100, 200, 100};
    struct Case {
        int x, y;
        KelmSizeFrame::DragMode mode;
    };
    const Case cases[] = {
        {100, 100, KelmSizeFrame::kTopLeft},    {88, 88, KelmSizeFrame::kTopLeft},
        {87, 100, KelmSizeFrame::kNone},        {300, 100, KelmSizeFrame::kTopRight},
        {100, 200, KelmSizeFrame::kBottomLeft}, {312, 212, KelmSizeFrame::kBottomRight},
        {200, 150, KelmSizeFrame::kMove},       {200, 200, KelmSizeFrame::kMove},
        {200, 90, KelmSizeFrame::kNone},    // 10 outside an edge, away from the corners
        {92, 112, KelmSizeFrame::kTopLeft}, // 8 outside, but within the corner's zone
    };
    for (const Case& c : cases)
        EXPECT_EQ(KelmSizeFrame::ZoneAt(big, c.x, c.y), c.mode) << c.x << "," << c.y;
    // A 10 x 10 frame keeps handles of 6 (half 3).
    const Frame tiny{0, 0, 10, 10};
    EXPECT_EQ(KelmSizeFrame::ZoneAt(tiny, -3, -3), KelmSizeFrame::kTopLeft);
    EXPECT_EQ(KelmSizeFrame::ZoneAt(tiny, -4, -3), KelmSizeFrame::kNone);
    EXPECT_EQ(KelmSizeFrame::ZoneAt(tiny, 5, 5), KelmSizeFrame::kMove);
}

TEST(SizeFrameZones, DragRulesKeepTheMinimumAndPinTheOppositeCorner)
{
    const Frame s{100, 100, 200, 100};
    auto eq = [](Frame a, Frame b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; };
    EXPECT_TRUE(eq(KelmSizeFrame::Dragged(KelmSizeFrame::kMove, s, 5, -7, 20, 20), {105, 93, 200, 100}));
    EXPECT_TRUE(eq(KelmSizeFrame::Dragged(KelmSizeFrame::kBottomRight, s, 30, 10, 20, 20), {100, 100, 230, 110}));
    EXPECT_TRUE(eq(KelmSizeFrame::Dragged(KelmSizeFrame::kTopRight, s, 30, 10, 20, 20), {100, 110, 230, 90}));
    EXPECT_TRUE(eq(KelmSizeFrame::Dragged(KelmSizeFrame::kBottomLeft, s, 30, 10, 20, 20), {130, 100, 170, 110}));
    // Past the bottom-right corner: minimum size, bottom-right stays at (300, 200).
    EXPECT_TRUE(eq(KelmSizeFrame::Dragged(KelmSizeFrame::kTopLeft, s, 400, 300, 20, 20), {280, 180, 20, 20}));
    EXPECT_TRUE(eq(KelmSizeFrame::Dragged(KelmSizeFrame::kBottomRight, s, -400, -300, 20, 20), {100, 100, 20, 20}));
}

class CaptionWindow : public ControlWindowTest
{
protected:
    void SetUp() override
    {
        ControlWindowTest::SetUp();
        savedScale = DpiScale;
        DpiScale = 1.0;
    }
    void TearDown() override
    {
        DpiScale = savedScale;
        ControlWindowTest::TearDown();
    }
    POINT Screen(int cx, int cy)
    {
        POINT p{cx, cy};
        ClientToScreen(test().hwnd, &p);
        return p;
    }
    double savedScale = 1.0;
};

// Thread timer steps that move the pointer and let go while the system's
// move loop runs inside the caption bar's press.
POINT g_dragTarget;
int g_dragStage = 0;

void CALLBACK DragStep(HWND, UINT, UINT_PTR id, DWORD)
{
    if (g_dragStage == 0)
        SendMouse(MOUSEEVENTF_MOVE, g_dragTarget.x - 30, g_dragTarget.y - 20);
    else if (g_dragStage == 1)
        SendMouse(MOUSEEVENTF_MOVE, g_dragTarget.x, g_dragTarget.y);
    else {
        SendMouse(MOUSEEVENTF_LEFTUP);
        KillTimer(nullptr, id);
    }
    ++g_dragStage;
}

TEST_F(CaptionWindow, DraggingTheCaptionMovesTheWindowAndReportsTheEnd)
{
    auto bar = std::make_shared<KelmCaptionBar>();
    int ends = 0;
    bar->Set(0, 0, 360, 40, L"盒子设置", RGB(255, 255, 255), 15, RGB(0, 0, 0), -1, 0, [&] { ++ends; });
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(bar); };
    test().PaintOnce();
    RECT before{};
    GetWindowRect(test().hwnd, &before);
    const POINT grab = Screen(100, 20);
    g_dragTarget = {grab.x + 60, grab.y + 40};
    g_dragStage = 0;
    SetForegroundWindow(test().hwnd);
    SendMouse(MOUSEEVENTF_MOVE, grab.x, grab.y);
    PumpMessages(30);
    const UINT_PTR timer = SetTimer(nullptr, 0, 60, DragStep);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    test().PumpUntil([&] { return ends != 0; }, 5000);
    KillTimer(nullptr, timer);
    if (GetAsyncKeyState(VK_LBUTTON) < 0)
        SendMouse(MOUSEEVENTF_LEFTUP);
    RECT after{};
    GetWindowRect(test().hwnd, &after);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(after.left - before.left, 60);
    EXPECT_EQ(after.top - before.top, 40);
    SetWindowPos(test().hwnd, nullptr, before.left, before.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PumpMessages(20);
}

TEST_F(CaptionWindow, SizeFrameResizesFromItsCornerAndMovesFromInside)
{
    auto frame = std::make_shared<KelmSizeFrame>();
    frame->frameX = 60;
    frame->frameY = 60;
    frame->frameW = 120;
    frame->frameH = 80;
    frame->borderColour = RGB(20, 20, 20);
    std::vector<Frame> reports;
    frame->onResize = [&](int x, int y, int w, int h) { reports.push_back({x, y, w, h}); };
    test().addControls = [&](Brevin::D2DBrevinPanel* panel) { panel->AddControl(frame); };
    test().PaintOnce();

    // Grab the bottom-right handle with the real button, then move.
    const POINT corner = Screen(180, 140);
    SendMouse(MOUSEEVENTF_MOVE, corner.x, corner.y);
    PumpMessages(30);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    test().PumpUntil([&] { return frame->dragMode != KelmSizeFrame::kNone; }, 3000);
    ASSERT_EQ(frame->dragMode, KelmSizeFrame::kBottomRight);
    test().Post(WM_MOUSEMOVE, 210, 150, MK_LBUTTON);
    // Past the window's right part: the drag keeps the frame, not the hit test.
    test().Post(WM_MOUSEMOVE, 240, 170, MK_LBUTTON);
    SendMouse(MOUSEEVENTF_LEFTUP);
    test().PumpUntil([&] { return frame->dragMode == KelmSizeFrame::kNone; }, 3000);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().w, 180);
    EXPECT_EQ(reports.back().h, 110);
    EXPECT_EQ(reports.back().x, 60);
    EXPECT_EQ(frame->dragMode, KelmSizeFrame::kNone);

    // A move from inside the frame.
    reports.clear();
    const POINT inside = Screen(100, 100);
    SendMouse(MOUSEEVENTF_MOVE, inside.x, inside.y);
    PumpMessages(30);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    test().PumpUntil([&] { return frame->dragMode != KelmSizeFrame::kNone; }, 3000);
    ASSERT_EQ(frame->dragMode, KelmSizeFrame::kMove);
    test().Post(WM_MOUSEMOVE, 90, 95, MK_LBUTTON);
    SendMouse(MOUSEEVENTF_LEFTUP);
    test().PumpUntil([&] { return frame->dragMode == KelmSizeFrame::kNone; }, 3000);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().x, 50);
    EXPECT_EQ(reports.back().y, 55);
    EXPECT_EQ(reports.back().w, 180);

    // A quick drag handled late, as on a busy machine: the button is up
    // before the moves are handled; the queued release still ends the drag
    // where the button went up. (Away from the last press: no double click.)
    reports.clear();
    const POINT grab = Screen(140, 110);
    SendMouse(MOUSEEVENTF_MOVE, grab.x, grab.y);
    PumpMessages(30);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_MOVE, grab.x + 15, grab.y + 10);
    SendMouse(MOUSEEVENTF_MOVE, grab.x + 30, grab.y + 20);
    SendMouse(MOUSEEVENTF_LEFTUP);
    test().PumpUntil([&] { return !reports.empty() && frame->dragMode == KelmSizeFrame::kNone; }, 3000);
    ASSERT_FALSE(reports.empty()) << "the drag was dropped before its moves";
    EXPECT_EQ(reports.back().x, 80);
    EXPECT_EQ(reports.back().y, 75);

    // A hover step after the button went up elsewhere ends a drag.
    frame->dragMode = KelmSizeFrame::kMove;
    reports.clear();
    test().Post(WM_MOUSEMOVE, 100, 100);
    EXPECT_EQ(frame->dragMode, KelmSizeFrame::kNone);
    EXPECT_TRUE(reports.empty());
}

} // namespace
