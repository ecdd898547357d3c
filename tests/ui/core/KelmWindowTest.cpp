// A real framework window on the display: messages become panel events,
// resize borders, wheel, tray clicks, and the fallback handler's share.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/ui/core/RecordingControl.h"
#include "tests/common/WindowTestSupport.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"
#include "ui/core/WindowMessages.h"

using namespace Brevin;

namespace
{

// Pumps and counts like PumpCountingTimers until 300 ms pass without a tick
// of the window (at most 5 s): a busy machine may delay a timer's last
// tick, never leave it out. The ticks seen; `quiet` tells whether the
// window fell silent.
std::map<UINT_PTR, int> PumpUntilQuiet(HWND window, bool& quiet)
{
    std::map<UINT_PTR, int> ticks;
    const ULONGLONG end = GetTickCount64() + 5000;
    ULONGLONG lastTick = GetTickCount64();
    while (GetTickCount64() - lastTick < 300 && GetTickCount64() < end) {
        const auto some = PumpCountingTimers(window, 10);
        for (const auto& [id, count] : some)
            ticks[id] += count;
        if (!some.empty())
            lastTick = GetTickCount64();
    }
    quiet = GetTickCount64() - lastTick >= 300;
    return ticks;
}

class KelmWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedScale = DpiScale;
        window = std::make_shared<KelmWindow>();
        window->Set(50, 50, 400, 300, L"Kelm.Test.Window", L"Kelm test window");
        window->SetDrawCallback([this](HWND hwnd, ID2D1HwndRenderTarget* rt) {
            window->GetPanel()->Init(hwnd, rt);
            for (auto& control : controls)
                window->GetPanel()->AddControl(control);
        });
        window->SetMessageHandler([this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            fallbackMessages.push_back(message);
            return DefWindowProcW(hwnd, message, wParam, lParam);
        });
    }
    void TearDown() override
    {
        if (IsWindow(window->hwnd))
            DestroyWindow(window->hwnd);
        PumpMessages(20);
        DpiScale = savedScale;
    }
    std::shared_ptr<RecordingControl> AddControl(const char* name, int result, int x, int y, int w, int h)
    {
        auto control = std::make_shared<RecordingControl>(name, &log, result);
        control->SetRect(x, y, w, h);
        controls.push_back(control);
        return control;
    }
    bool Saw(UINT message) const
    {
        return std::find(fallbackMessages.begin(), fallbackMessages.end(), message) != fallbackMessages.end();
    }

    double savedScale = 1.0;
    std::shared_ptr<KelmWindow> window;
    std::vector<std::shared_ptr<RecordingControl>> controls;
    std::vector<std::string> log;
    std::vector<UINT> fallbackMessages;
};

TEST_F(KelmWindowTest, PostedMouseAndKeyMessagesReachControlsTopmostFirst)
{
    DpiScale = 1.5;
    auto lower = AddControl("lower", 0, 10, 10, 20, 20);
    auto upper = AddControl("upper", kNotHandled, 10, 10, 20, 20);
    ASSERT_EQ(window->Create(), 1);
    EXPECT_EQ(WindowMap.at(window->hwnd), window.get());
    EXPECT_TRUE(Saw(WM_KELM_CREATED));
    PaintNow(window->hwnd);
    ASSERT_EQ(lower->attachedWindow, window->hwnd); // the paint added them

    PostMessageW(window->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(44, 44));
    PostMessageW(window->hwnd, WM_LBUTTONUP, 0, MAKELPARAM(44, 44));
    PostMessageW(window->hwnd, WM_RBUTTONUP, 0, MAKELPARAM(15, 15));
    PostMessageW(window->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(45, 45)); // outside after scaling
    PumpMessages(50);
    EXPECT_EQ(log, (std::vector<std::string>{"upper:0", "lower:0", "upper:1", "lower:1", "upper:3", "lower:3"}));
    EXPECT_EQ(lower->lastPoint.x, 15);

    log.clear();
    lower->SetFocus(true);
    PostMessageW(window->hwnd, WM_KEYDOWN, VK_LEFT, 0); // no character follows
    PostMessageW(window->hwnd, WM_CHAR, L'k', 0);
    PumpMessages(50);
    EXPECT_EQ(log, (std::vector<std::string>{"lower:key8", "lower:key11"}));
    EXPECT_EQ(lower->lastKey, static_cast<UINT>(L'k'));

    SendMessageW(window->hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(0, 0));
    EXPECT_EQ(window->GetPanel()->TakeScroll(), -18);
    SendMessageW(window->hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(0, 0));
    EXPECT_EQ(window->GetPanel()->TakeScroll(), 18);
}

// Notches that arrive faster than paints must all count: forty quick ones
// move the content forty notches, not the last one.
TEST_F(KelmWindowTest, WheelNotchesAddUpUntilAPaintTakesThem)
{
    ASSERT_EQ(window->Create(), 1);
    window->GetPanel()->TakeScroll();
    for (int i = 0; i < 3; ++i)
        SendMessageW(window->hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(0, 0));
    SendMessageW(window->hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(0, 0));
    EXPECT_EQ(window->GetPanel()->TakeScroll(), 36);
    EXPECT_EQ(window->GetPanel()->TakeScroll(), 0) << "a take empties the store";
}

TEST_F(KelmWindowTest, TrayIconShowsItsOwnIconResource)
{
    ASSERT_EQ(window->Create(), 1);
    const HICON own = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(107));
    ASSERT_NE(own, nullptr) << "icon resource 107 is not built in";
    window->AddTrayIcon([] {}, [] {});
    EXPECT_EQ(window->trayIcon.hIcon, own);
}

TEST_F(KelmWindowTest, RoutesOnlyUnhandledMessagesToTheFallback)
{
    int leftClicks = 0, rightClicks = 0;
    ASSERT_EQ(window->Create(), 1);
    window->onTrayLeftClick = [&] { ++leftClicks; };
    window->onTrayRightClick = [&] { ++rightClicks; };
    SendMessageW(window->hwnd, WM_KELM_TRAY, 0, WM_LBUTTONDOWN);
    EXPECT_EQ(leftClicks, 0);
    SendMessageW(window->hwnd, WM_KELM_TRAY, 0, WM_LBUTTONUP);
    SendMessageW(window->hwnd, WM_KELM_TRAY, 0, WM_RBUTTONUP);
    EXPECT_EQ(leftClicks, 1);
    EXPECT_EQ(rightClicks, 1);

    fallbackMessages.clear();
    SendMessageW(window->hwnd, WM_COMMAND, 1, 0);
    SendMessageW(window->hwnd, WM_TIMER, 77, 0);
    EXPECT_TRUE(fallbackMessages.empty());
    SendMessageW(window->hwnd, WM_HOTKEY, 1, 0);
    SendMessageW(window->hwnd, WM_RBUTTONDOWN, 0, 0);
    EXPECT_TRUE(Saw(WM_HOTKEY));
    EXPECT_TRUE(Saw(WM_RBUTTONDOWN));
}

TEST_F(KelmWindowTest, CustomFrameHasStrictFivePixelResizeBorders)
{
    window->customFrame = true;
    ASSERT_EQ(window->Create(), 1);
    RECT rc;
    GetClientRect(window->hwnd, &rc);
    auto hit = [&](int x, int y) {
        POINT pt{x, y};
        ClientToScreen(window->hwnd, &pt);
        return SendMessageW(window->hwnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    const int r = rc.right, b = rc.bottom, cx = r / 2, cy = b / 2;
    EXPECT_EQ(hit(2, 2), HTTOPLEFT);
    EXPECT_EQ(hit(r - 2, 2), HTTOPRIGHT);
    EXPECT_EQ(hit(2, b - 2), HTBOTTOMLEFT);
    EXPECT_EQ(hit(r - 2, b - 2), HTBOTTOMRIGHT);
    EXPECT_EQ(hit(4, cy), HTLEFT);
    EXPECT_EQ(hit(r - 4, cy), HTRIGHT);
    EXPECT_EQ(hit(cx, 4), HTTOP);
    EXPECT_EQ(hit(cx, b - 4), HTBOTTOM);
    EXPECT_NE(hit(5, cy), HTLEFT); // exactly 5 pixels in is no border
    EXPECT_EQ(hit(cx, cy), HTCLIENT);
}

TEST_F(KelmWindowTest, AnimationTimerStepsAndRepaintsUntilDone)
{
    ASSERT_EQ(window->Create(), 1);
    double value = 0;
    bool done = false;
    window->AnimateVariable(value, 0.0, 1.0, 0.1, nullptr, [&] { done = true; });
    window->StartAnimationTimer();
    for (int i = 0; i < 100 && !done; ++i)
        PumpMessages(10);
    EXPECT_TRUE(done);
    EXPECT_EQ(value, 1.0);

    // A done callback that drops the last reference must not pull the
    // window out from under the running tick.
    std::weak_ptr<KelmWindow> weak = window;
    bool released = false;
    window->animationManager.CreateAnimation(window->hwnd, 0.02, nullptr, nullptr, [&] {
        window.reset();
        released = true;
    });
    HWND hwnd = weak.lock()->hwnd;
    for (int i = 0; i < 100 && !released; ++i)
        PumpMessages(10);
    EXPECT_TRUE(released);
    EXPECT_TRUE(weak.expired());
    DestroyWindow(hwnd);
    window = std::make_shared<KelmWindow>(); // for TearDown
}

TEST_F(KelmWindowTest, IdleWindowGetsNoTimerMessagesAndDoesNotRepaint)
{
    int paints = 0;
    window->showCommand = SW_SHOWNOACTIVATE; // leaves other test programs' popups active
    ASSERT_EQ(window->Create(), 1);
    window->SetDrawCallback([&](HWND, ID2D1HwndRenderTarget*) { ++paints; });
    PaintNow(window->hwnd);
    window->StartHoverRepaintTimer();
    window->StartAnimationTimer();
    bool quiet = false;
    EXPECT_LE(PumpUntilQuiet(window->hwnd, quiet)[kAnimationTimerId], 1) << "the first tick finds nothing to do";
    EXPECT_TRUE(quiet);
    const int before = paints;
    EXPECT_TRUE(PumpCountingTimers(window->hwnd, 2000).empty());
    EXPECT_EQ(paints, before);
}

TEST_F(KelmWindowTest, HoverRepaintTimerRunsOnlyWhileAHoverAnimationCounts)
{
    int paints = 0;
    window->showCommand = SW_SHOWNOACTIVATE; // leaves other test programs' popups active
    ASSERT_EQ(window->Create(), 1);
    window->SetDrawCallback([&](HWND, ID2D1HwndRenderTarget*) { ++paints; });
    PaintNow(window->hwnd);
    // A builder that sets timer 11 directly still gets the stopping rule.
    SetTimer(window->hwnd, kHoverRepaintTimerId, 16, nullptr);
    bool quiet = false;
    EXPECT_LE(PumpUntilQuiet(window->hwnd, quiet)[kHoverRepaintTimerId], 1);
    EXPECT_TRUE(quiet);

    const int before = paints;
    ++HoverAnimationCount; // as a control's first hover step does
    int ticks = 0;
    for (int i = 0; i < 300 && ticks < 5; ++i)
        ticks += PumpCountingTimers(window->hwnd, 10)[kHoverRepaintTimerId];
    EXPECT_GE(ticks, 5);
    EXPECT_GT(paints, before);

    LowerHoverAnimationCount();
    EXPECT_LE(PumpUntilQuiet(window->hwnd, quiet)[kHoverRepaintTimerId], 1); // within one frame
    EXPECT_TRUE(quiet);

    // A closing popup's stop holds against later hovers elsewhere.
    window->StopHoverRepaintTimer();
    HoverAnimationCount = 1;
    const auto stopped = PumpCountingTimers(window->hwnd, 200);
    HoverAnimationCount = 0;
    EXPECT_TRUE(stopped.empty());
}

TEST_F(KelmWindowTest, AnimationsAndPostedCallbacksStartTheAnimationTimerAndItStopsWithThem)
{
    window->showCommand = SW_SHOWNOACTIVATE; // leaves other test programs' popups active
    ASSERT_EQ(window->Create(), 1);
    double value = 0;
    bool done = false;
    window->AnimateVariable(value, 0.0, 1.0, 0.05, nullptr, [&] { done = true; });
    for (int i = 0; i < 300 && !done; ++i)
        PumpMessages(10);
    ASSERT_TRUE(done);
    EXPECT_EQ(value, 1.0);
    bool quiet = false;
    EXPECT_LE(PumpUntilQuiet(window->hwnd, quiet)[kAnimationTimerId], 1);
    EXPECT_TRUE(quiet);

    // A worker thread's callback wakes the stopped timer and runs on the
    // window's thread.
    std::atomic<DWORD> ranOn{0};
    std::thread worker([&] { window->animationManager.PostCallback([&] { ranOn = GetCurrentThreadId(); }); });
    worker.join();
    for (int i = 0; i < 300 && !ranOn; ++i)
        PumpMessages(10);
    EXPECT_EQ(ranOn.load(), GetCurrentThreadId());
    EXPECT_LE(PumpUntilQuiet(window->hwnd, quiet)[kAnimationTimerId], 1);
    EXPECT_TRUE(quiet);
}

// Windows made while start-up cannot draw yet are shown without area, so
// none stands black on the screen; each takes its area with its first
// frame drawn. A region other code gave a waiting window stays.
TEST_F(KelmWindowTest, WindowsMadeWhileFirstFramesAreHeldTakeTheirAreaWithTheirFirstFrame)
{
    auto regionKind = [](HWND hwnd) {
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        const int kind = GetWindowRgn(hwnd, region);
        DeleteObject(region);
        return kind;
    };
    int paints = 0;
    window->SetDrawCallback([&paints](HWND, ID2D1HwndRenderTarget*) { ++paints; });
    window->showCommand = SW_SHOWNOACTIVATE; // leaves other test programs' popups active
    KelmWindow shaped;
    shaped.Set(500, 50, 200, 100, L"Kelm.Test.ShapedWindow", L"Kelm shaped test window");
    shaped.showCommand = SW_SHOWNOACTIVATE;

    KelmWindow::HoldFirstFrames();
    const int made = window->Create();
    const int madeShaped = shaped.Create();
    SetWindowRgn(shaped.hwnd, CreateRectRgn(0, 0, 50, 50), FALSE);
    PumpMessages(50);
    const bool shownWithoutArea = IsWindowVisible(window->hwnd) && regionKind(window->hwnd) == NULLREGION;
    KelmWindow::ReleaseFirstFrames();
    ASSERT_EQ(made, 1);
    ASSERT_EQ(madeShaped, 1);
    EXPECT_TRUE(shownWithoutArea);
    EXPECT_GE(paints, 1) << "drawn before it took its area";
    EXPECT_EQ(regionKind(window->hwnd), ERROR) << "the whole window, no region";
    EXPECT_EQ(regionKind(shaped.hwnd), SIMPLEREGION) << "the region set meanwhile stays";
    DestroyWindow(shaped.hwnd);

    // Made after the release: shown as before, with its whole area.
    KelmWindow later;
    later.Set(500, 200, 200, 100, L"Kelm.Test.LaterWindow", L"Kelm later test window");
    later.showCommand = SW_SHOWNOACTIVATE;
    ASSERT_EQ(later.Create(), 1);
    EXPECT_EQ(regionKind(later.hwnd), ERROR);
    DestroyWindow(later.hwnd);

    // Made later but asking for it: drawn while it has no area, before
    // Create returns, and then given its whole area.
    KelmWindow asking;
    asking.Set(500, 350, 200, 100, L"Kelm.Test.AskingWindow", L"Kelm asking test window");
    asking.showCommand = SW_SHOWNOACTIVATE;
    asking.firstFrameBeforeArea = true;
    int askingPaints = 0;
    bool drawnWithoutArea = false;
    asking.SetDrawCallback([&](HWND hwnd, ID2D1HwndRenderTarget*) {
        if (askingPaints++ == 0)
            drawnWithoutArea = regionKind(hwnd) == NULLREGION;
    });
    ASSERT_EQ(asking.Create(), 1);
    EXPECT_GE(askingPaints, 1) << "drawn before Create returned";
    EXPECT_TRUE(drawnWithoutArea);
    EXPECT_EQ(regionKind(asking.hwnd), ERROR);
    DestroyWindow(asking.hwnd);
}

// Nothing a window's paints added outlives it: when the window ends (here
// from a control's own handler, in the middle of its routing) the panel
// lets its controls go, and the panel goes with the window object.
TEST(KelmWindowLifetime, AnEndedWindowReleasesItsControlsAndItsPanel)
{
    std::vector<std::string> log;
    auto window = std::make_shared<KelmWindow>();
    window->Set(60, 60, 200, 150, L"Kelm.Test.Lifetime", L"lifetime");
    auto closer = std::make_shared<RecordingControl>("closer", &log, 0);
    closer->SetRect(10, 10, 50, 50);
    KelmWindow* raw = window.get();
    closer->onEvent = [raw] { DestroyWindow(raw->GetHwnd()); };
    window->SetDrawCallback([raw, closer](HWND hwnd, ID2D1HwndRenderTarget* rt) {
        raw->GetPanel()->Init(hwnd, rt);
        raw->GetPanel()->AddControl(closer);
    });
    ASSERT_EQ(window->Create(), 1);
    const HWND hwnd = window->GetHwnd();
    PaintNow(hwnd);
    ASSERT_EQ(closer->attachedWindow, hwnd);
    const std::weak_ptr<RecordingControl> added = closer;
    closer.reset();
    window->SetDrawCallback(nullptr); // the builder lets go of it too

    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    PumpUntil([hwnd] { return !IsWindow(hwnd); }, 3000);
    ASSERT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(log, std::vector<std::string>{"closer:0"});
    EXPECT_TRUE(added.expired()) << "the ended window's panel still holds its controls";
    EXPECT_TRUE(window->GetPanel()->controls.empty());

    // A control left in the panel of a window object goes with the object.
    auto late = std::make_shared<RecordingControl>("late", &log, 0);
    window->GetPanel()->AddControl(late);
    EXPECT_EQ(late->panel, window->GetPanel());
    const std::weak_ptr<RecordingControl> lateAdded = late;
    late.reset();
    window.reset();
    EXPECT_TRUE(lateAdded.expired()) << "the panel outlived its window object";
}

TEST(KelmWindowCreate, FailsWithoutProcedureOrRequiredInstanceAndLeavesNoMapEntry)
{
    KelmWindow window;
    window.Set(0, 0, 100, 100, L"Kelm.Test.Required", L"x");
    window.instanceRequired = true; // no "Dawnrail" window runs here
    EXPECT_EQ(window.Create(), -1);
    EXPECT_EQ(window.hwnd, nullptr);
    const size_t before = WindowMap.size();
    KelmWindow broken;
    broken.Set(0, 0, 100, 100, L"Kelm.Test.NoCreator", L"x");
    broken.customCreator = []() -> HWND { return nullptr; };
    EXPECT_EQ(broken.Create(), 0);
    EXPECT_EQ(WindowMap.size(), before);
    EXPECT_EQ(WindowMap.count(nullptr), 0u);
}

} // namespace
