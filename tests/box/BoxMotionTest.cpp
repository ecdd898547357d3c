// Box windows in motion: a moved box snaps to its neighbours (not with Ctrl
// held), carries the boxes of its colour group, stores its position when the
// move ends, turns over near the bottom of the work area, and a
// hover-minimized box unfolds after the pointer rests and folds after it
// leaves, or at once under a file drag.
#include <gtest/gtest.h>

#include "common/WindowTestSupport.h"
#include "app/AppState.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxCreation.h"
#include "box/BoxHoverFold.h"
#include "box/BoxServices.h"
#include "box/BoxSettings.h"
#include "box/BoxWindowHooks.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/KelmDragHelper.h"
#include "ui/core/KelmDropTarget.h"
#include "ui/controls/KelmFAIcon.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;

namespace
{

// The seconds of the test so far: the boxes under test hold their animation
// clocks, and the tests step them by hand.
double s_now = 0.0;

class BoxMotionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedScale = DpiScale;
        savedStartingUp = s_startingUp;
        DpiScale = 1.0;
        s_startingUp = false;
        s_now = 0.0;
        storePath = temp.File(L"DesktopContainer.kelm");
        TempFolder::WriteBytes(storePath, "");
        s_desktopContainerStore.Load(storePath);
        ParkCursor();
    }
    void TearDown() override
    {
        PressCtrl(false);
        s_dragOverAccepted = false;
        s_droppedFiles.clear();
        // Destroying a box window costs Wine about two seconds: the windows
        // stay, out of the way and out of the registry. Their objects are
        // never freed, so no message at process exit finds a freed window.
        static auto* kept = new std::vector<BoxWindowPtr>();
        for (auto& [box, runtime] : s_boxRuntimes) {
            if (box && IsWindow(box->GetHwnd())) {
                KillTimer(box->GetHwnd(), kHoverRepaintTimerId);
                KillTimer(box->GetHwnd(), kAnimationTimerId);
                ShowWindow(box->GetHwnd(), SW_HIDE);
                kept->push_back(box);
            }
        }
        s_boxSearchManagers.clear();
        s_boxIconManagers.clear();
        s_boxRuntimes.clear();
        s_boxWindowHooks = BoxWindowHooks();
        DpiScale = savedScale;
        s_startingUp = savedStartingUp;
    }

    static void ParkCursor() { SetCursorPos(1595, 5); }

    static void PressCtrl(bool down)
    {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = VK_CONTROL;
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        SendInput(1, &input, sizeof(input));
        for (int i = 0; i < 100 && ((GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0) != down; ++i)
            PumpMessages(10);
    }

    KelmStorageProxy Stored(const std::wstring& id) { return s_desktopContainerStore[L"Components"][L"ComID_" + id]; }

    // Opens a stored box; `extra` adds keys before it opens.
    BoxWindowPtr MakeBox(const std::wstring& id, int x, int y, int cx, int cy, const std::wstring& clrtag,
                         const std::function<void(KelmStorageProxy&)>& extra = {})
    {
        KelmStorageProxy box = Stored(id);
        box[L"id"] = id;
        box[L"x"] = x;
        box[L"y"] = y;
        box[L"cx"] = cx;
        box[L"cy"] = cy;
        box[L"clrtag"] = clrtag;
        if (extra)
            extra(box);
        CreateCom(id, L"NULL", false, 1);
        for (auto& [window, runtime] : s_boxRuntimes) {
            if (runtime.id == id) {
                window->animationManager.Clock().Hold();
                WaitUntilShown(window->GetHwnd());
                return window;
            }
        }
        ADD_FAILURE() << "box " << std::string(id.begin(), id.end()) << " did not open";
        return nullptr;
    }

    static void WaitUntilShown(HWND window)
    {
        PumpUntil([window] { return IsWindowVisible(window) != FALSE; }, 10000);
    }

    static RECT RectOf(const BoxWindowPtr& box)
    {
        RECT rc{};
        GetWindowRect(box->GetHwnd(), &rc);
        return rc;
    }

    static void MoveTo(const BoxWindowPtr& box, int x, int y)
    {
        SetWindowPos(box->GetHwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // Ends a move as the system's move loop does.
    static void EndMove(const BoxWindowPtr& box) { SendMessageW(box->GetHwnd(), WM_EXITSIZEMOVE, 0, 0); }

    // Steps the held clocks of the boxes to the given second of the test
    // and runs one tick of the box.
    static void StepTo(const BoxWindowPtr& box, double seconds)
    {
        for (auto& [window, runtime] : s_boxRuntimes) {
            if (window->animationManager.Clock().IsHeld())
                window->animationManager.Clock().Step(seconds - s_now);
        }
        s_now = seconds;
        box->animationManager.Update();
    }

    static int HeightOf(const BoxWindowPtr& box)
    {
        const RECT rc = RectOf(box);
        return rc.bottom - rc.top;
    }

    template <typename T> T OnDisk(const std::wstring& id, const wchar_t* key, T fallback)
    {
        KelmStorage reloaded;
        reloaded.Load(storePath);
        return reloaded[L"Components"][L"ComID_" + id][key].Get<T>(fallback);
    }

    static int WorkAreaBottom(const BoxWindowPtr& box)
    {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        GetMonitorInfoW(MonitorFromWindow(box->GetHwnd(), MONITOR_DEFAULTTONEAREST), &info);
        return info.rcWork.bottom;
    }

    TempFolder temp;
    std::wstring storePath;
    double savedScale = 1.0;
    bool savedStartingUp = true;
};

TEST_F(BoxMotionTest, MovedBoxSnapsToANeighbourButNotWithCtrlHeld)
{
    // Two untagged boxes: they are no colour group, so each snaps to the other.
    BoxWindowPtr moved = MakeBox(L"a0001", 100, 100, 300, 300, L"#F2F2F2");
    BoxWindowPtr still = MakeBox(L"b0001", 503, 100, 300, 300, L"#F2F2F2");
    ASSERT_TRUE(moved && still);

    MoveTo(moved, 200, 102);
    RECT rc = RectOf(moved);
    EXPECT_EQ(rc.right, 503) << "3 px apart: edge to edge";
    EXPECT_EQ(rc.top, 100) << "2 px off: tops aligned";
    EXPECT_EQ(Stored(L"a0001")[L"x"].Get<int>(0), 203);
    EXPECT_EQ(RectOf(still).left, 503) << "an untagged box carries nobody along";

    MoveTo(moved, 100, 100);
    PressCtrl(true);
    ASSERT_NE(GetAsyncKeyState(VK_CONTROL) & 0x8000, 0) << "the key press did not arrive";
    MoveTo(moved, 200, 102);
    rc = RectOf(moved);
    EXPECT_EQ(rc.left, 200);
    EXPECT_EQ(rc.top, 102);
    EXPECT_EQ(Stored(L"a0001")[L"x"].Get<int>(0), 200) << "the position is still kept";
    PressCtrl(false);

    // A hidden box (shown inside its integrated host) pulls nothing.
    MoveTo(moved, 100, 100);
    ShowWindow(still->GetHwnd(), SW_HIDE);
    MoveTo(moved, 200, 102);
    EXPECT_EQ(RectOf(moved).left, 200);
}

TEST_F(BoxMotionTest, SameColourNeighbourMovesAlongAndTheMoveIsSavedWhenItEnds)
{
    BoxWindowPtr moved = MakeBox(L"c0001", 100, 100, 300, 300, L"#FF0000");
    BoxWindowPtr below = MakeBox(L"c0002", 100, 420, 300, 200, L"#FF0000");
    BoxWindowPtr distant = MakeBox(L"c0003", 900, 100, 300, 300, L"#FF0000");
    BoxWindowPtr other = MakeBox(L"c0004", 420, 100, 300, 300, L"#0000FF");
    ASSERT_TRUE(moved && below && distant && other);

    MoveTo(moved, 150, 130);
    EXPECT_EQ(RectOf(moved).left, 150);
    RECT rc = RectOf(below);
    EXPECT_EQ(rc.left, 150) << "20 px below: it follows";
    EXPECT_EQ(rc.top, 450);
    EXPECT_EQ(Stored(L"c0002")[L"y"].Get<int>(0), 450);
    EXPECT_EQ(RectOf(distant).left, 900) << "out of reach";
    EXPECT_EQ(RectOf(other).left, 420) << "another colour";

    // Nothing is written during the move; its end saves once for all.
    EXPECT_EQ(OnDisk(L"c0001", L"x", -1), -1);
    EndMove(moved);
    EXPECT_EQ(OnDisk(L"c0001", L"x", -1), 150);
    EXPECT_EQ(OnDisk(L"c0001", L"y", -1), 130);
    EXPECT_EQ(OnDisk(L"c0002", L"y", -1), 450);

    // Held Ctrl moves the box alone. The key state belongs to the whole
    // display, where other test programs press and let go of keys too: a
    // move during which Ctrl was not down throughout is made again.
    bool held = false;
    for (int attempt = 0; attempt < 5 && !held; ++attempt) {
        MoveTo(moved, 150, 130);
        const int top = RectOf(below).top;
        PressCtrl(true);
        held = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
        MoveTo(moved, 100, 100);
        held = held && (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
        PressCtrl(false);
        if (held) {
            EXPECT_EQ(RectOf(below).top, top);
        }
    }
    EXPECT_TRUE(held) << "Ctrl never stayed down through a move";
}

TEST_F(BoxMotionTest, GroupStaysStillWhileTheProgramStartsAndNeverTakesTheQuickPanel)
{
    BoxWindowPtr moved = MakeBox(L"d0001", 100, 100, 300, 300, L"#00FF00");
    BoxWindowPtr below = MakeBox(L"d0002", 100, 420, 300, 200, L"#00FF00");
    // A quick panel view lying under the group, registered like a box.
    BoxWindowPtr panel = MakeBox(L"d0003", 100, 640, 300, 100, L"#00FF00");
    ASSERT_TRUE(moved && below && panel);
    s_boxRuntimes.at(panel).id = L"QUICK_PANEL_ROOT";

    s_startingUp = true;
    MoveTo(moved, 130, 100);
    EXPECT_EQ(RectOf(below).left, 100) << "no group move during start-up";
    s_startingUp = false;
    MoveTo(moved, 160, 100);
    EXPECT_EQ(RectOf(below).left, 130) << "the group follows once started";
    EXPECT_EQ(RectOf(panel).left, 100) << "the quick panel is never moved along";
    KelmStorageNestedObject* components = FindRootObject(s_desktopContainerStore, L"Components");
    ASSERT_NE(components, nullptr);
    EXPECT_EQ(components->members.count(L"ComID_QUICK_PANEL_ROOT"), 0u);
}

TEST_F(BoxMotionTest, BoxNearTheBottomTurnsOverAroundItsTitleBar)
{
    BoxWindowPtr box = MakeBox(L"e0001", 500, 100, 300, 300, L"#F2F2F2");
    ASSERT_TRUE(box);
    const int bottom = WorkAreaBottom(box);
    MoveTo(box, 500, bottom - 90); // the title bar ends 50 px above the bottom
    EndMove(box);
    const BoxRuntime& runtime = s_boxRuntimes.at(box);
    EXPECT_TRUE(runtime.IsUpwardExpand);
    RECT rc = RectOf(box);
    EXPECT_EQ(rc.bottom, bottom - 50) << "the title bar stays where it was, now at the bottom";
    EXPECT_EQ(rc.bottom - rc.top, 300);
    EXPECT_TRUE(Stored(L"e0001")[L"IsUpwardExpand"].Get<bool>(false));
    EXPECT_EQ(OnDisk(L"e0001", L"y", -1), rc.top);

    // Dragged back up, it hangs below its title bar again.
    MoveTo(box, 500, 100);
    EndMove(box);
    EXPECT_FALSE(runtime.IsUpwardExpand);
    rc = RectOf(box);
    EXPECT_EQ(rc.top, 360) << "the title bar (bottom 40 px at 360) stays";
    EXPECT_EQ(OnDisk(L"e0001", L"y", -1), 360);
}

TEST_F(BoxMotionTest, HoverFoldedBoxNearTheBottomStoresItsUnfoldedTop)
{
    BoxWindowPtr box =
        MakeBox(L"e0002", 900, 100, 300, 300, L"#F2F2F2", [](KelmStorageProxy& b) { b[L"IsHoverMinimized"] = true; });
    ASSERT_TRUE(box);
    ASSERT_EQ(HeightOf(box), 40);
    const int bottom = WorkAreaBottom(box);
    MoveTo(box, 900, bottom - 50);
    EndMove(box);
    EXPECT_TRUE(s_boxRuntimes.at(box).IsUpwardExpand);
    EXPECT_EQ(RectOf(box).top, bottom - 50) << "a folded box turns without moving";
    EXPECT_EQ(OnDisk(L"e0002", L"y", -1), bottom - 50 + 40 - 300);
}

TEST_F(BoxMotionTest, HoverMinimizedBoxUnfoldsAfterARestAndFoldsAfterLeaving)
{
    BoxWindowPtr box =
        MakeBox(L"f0001", 100, 100, 300, 320, L"#FF00FF", [](KelmStorageProxy& b) { b[L"IsHoverMinimized"] = true; });
    BoxWindowPtr below = MakeBox(L"f0002", 100, 160, 300, 200, L"#FF00FF");
    ASSERT_TRUE(box && below);
    const BoxRuntime& runtime = s_boxRuntimes.at(box);
    ASSERT_EQ(HeightOf(box), 40) << "opens folded";

    // Moves restart the rest: no unfolding while the pointer keeps moving.
    box->onMouseMove();
    StepTo(box, 0.05);
    box->onMouseMove();
    StepTo(box, 0.12);
    EXPECT_FALSE(runtime.hoverExpanded);
    EXPECT_EQ(HeightOf(box), 40);
    StepTo(box, 0.16);
    EXPECT_TRUE(runtime.hoverExpanded) << "0.1 s after the last move";
    EXPECT_EQ(RectOf(below).top, 440) << "the group below makes room at once";
    StepTo(box, 0.22);
    const int midway = HeightOf(box);
    EXPECT_GT(midway, 40);
    EXPECT_LT(midway, 320);
    StepTo(box, 0.32);
    EXPECT_EQ(HeightOf(box), 320);
    EXPECT_FALSE(runtime.resizeAnimating);

    // Leaving and coming back within 0.3 s keeps it open.
    box->onMouseLeave();
    StepTo(box, 0.5);
    box->onMouseMove();
    StepTo(box, 1.0);
    EXPECT_EQ(HeightOf(box), 320);

    box->onMouseLeave();
    StepTo(box, 1.29);
    EXPECT_TRUE(runtime.hoverExpanded);
    StepTo(box, 1.31);
    EXPECT_FALSE(runtime.hoverExpanded) << "0.3 s after leaving";
    EXPECT_EQ(RectOf(below).top, 160) << "the group below moves back up";
    StepTo(box, 1.6);
    EXPECT_EQ(HeightOf(box), 40);
    EXPECT_EQ(RectOf(box).top, 100);
    EXPECT_EQ(Stored(L"f0001")[L"cy"].Get<int>(0), 320) << "the unfolded height is kept";
}

TEST_F(BoxMotionTest, PointerBackDuringTheFoldOpensTheBoxAgainWithItsGroupInPlace)
{
    BoxWindowPtr box =
        MakeBox(L"f0005", 100, 100, 300, 320, L"#FFFF00", [](KelmStorageProxy& b) { b[L"IsHoverMinimized"] = true; });
    BoxWindowPtr below = MakeBox(L"f0006", 100, 160, 300, 200, L"#FFFF00");
    ASSERT_TRUE(box && below);
    box->onMouseMove();
    StepTo(box, 0.11);
    StepTo(box, 0.3);
    ASSERT_EQ(HeightOf(box), 320);
    ASSERT_EQ(RectOf(below).top, 440);

    box->onMouseLeave();
    StepTo(box, 0.61); // the fold starts
    StepTo(box, 0.65);
    box->onMouseMove();
    StepTo(box, 0.76); // the unfold starts while the fold still runs
    for (double t = 0.8; t < 1.2; t += 0.04)
        StepTo(box, t);
    EXPECT_EQ(HeightOf(box), 320);
    EXPECT_TRUE(s_boxRuntimes.at(box).hoverExpanded);
    EXPECT_FALSE(s_boxRuntimes.at(box).resizeAnimating);
    EXPECT_EQ(RectOf(below).top, 440) << "the group below stays 20 below the open box";
}

TEST_F(BoxMotionTest, UpwardHoverBoxUnfoldsAboveItsTitleBar)
{
    BoxWindowPtr box = MakeBox(L"f0003", 500, 300, 300, 320, L"#F2F2F2", [](KelmStorageProxy& b) {
        b[L"IsHoverMinimized"] = true;
        b[L"isMinimized"] = false;
        b[L"IsUpwardExpand"] = true;
    });
    ASSERT_TRUE(box);
    RECT folded = RectOf(box);
    ASSERT_EQ(folded.bottom, 620);
    box->onMouseMove();
    StepTo(box, 0.11);
    StepTo(box, 0.5);
    RECT open = RectOf(box);
    EXPECT_EQ(open.bottom, 620) << "the title bar stays at the bottom";
    EXPECT_EQ(open.top, 300);
}

TEST_F(BoxMotionTest, FileDragOverAFoldedHoverBoxUnfoldsItAtOnce)
{
    BoxWindowPtr box =
        MakeBox(L"f0004", 900, 500, 300, 300, L"#F2F2F2", [](KelmStorageProxy& b) { b[L"IsHoverMinimized"] = true; });
    ASSERT_TRUE(box && box->dropTarget);
    const BoxRuntime& runtime = s_boxRuntimes.at(box);
    ASSERT_EQ(HeightOf(box), 40);

    auto* data = new KelmDragHelper::CDataObject(KelmDragHelper::BuildDropFilesBlock({temp.File(L"a.txt")}));
    DWORD effect = DROPEFFECT_COPY;
    const POINTL point{910, 510};
    box->dropTarget->DragEnter(data, MK_LBUTTON, point, &effect);
    EXPECT_TRUE(runtime.hoverExpanded) << "no rest needed under a drag";
    StepTo(box, 0.2);
    EXPECT_EQ(HeightOf(box), 300);
    box->dropTarget->DragLeave();
    data->Release();
}

TEST_F(BoxMotionTest, FoldButtonOpensAStoredFoldedBoxAndFoldsItAgain)
{
    BoxWindowPtr box =
        MakeBox(L"g0001", 500, 200, 300, 330, L"#F2F2F2", [](KelmStorageProxy& b) { b[L"isMinimized"] = true; });
    BoxWindowPtr upward = MakeBox(L"g0002", 900, 200, 300, 330, L"#F2F2F2", [](KelmStorageProxy& b) {
        b[L"isMinimized"] = true;
        b[L"IsUpwardExpand"] = true;
    });
    ASSERT_TRUE(box && upward);
    ASSERT_EQ(HeightOf(box), 40);

    ToggleBoxFolded(box);
    EXPECT_FALSE(s_boxRuntimes.at(box).isMinimized);
    EXPECT_EQ(HeightOf(box), 330);
    EXPECT_EQ(RectOf(box).top, 200);
    EXPECT_FALSE(OnDisk<bool>(L"g0001", L"isMinimized", true));
    ToggleBoxFolded(box);
    EXPECT_EQ(HeightOf(box), 40);
    EXPECT_TRUE(OnDisk<bool>(L"g0001", L"isMinimized", false));
    EXPECT_EQ(Stored(L"g0001")[L"cy"].Get<int>(0), 330) << "a folded box keeps its unfolded height";

    const int bottom = RectOf(upward).bottom;
    ASSERT_EQ(bottom, 530);
    ToggleBoxFolded(upward);
    EXPECT_EQ(RectOf(upward).bottom, bottom) << "an upward box opens above its title bar";
    EXPECT_EQ(HeightOf(upward), 330);
}

TEST_F(BoxMotionTest, HoldingTheFoldButtonTurnsHoverMinimizeOnAndAClickTurnsItOff)
{
    BoxWindowPtr box = MakeBox(L"g0003", 500, 200, 300, 300, L"#F2F2F2");
    ASSERT_TRUE(box && s_boxRuntimes.at(box).foldButton);
    const BoxRuntime& runtime = s_boxRuntimes.at(box);
    s_boxRuntimes.at(box).foldButton->onHold();
    EXPECT_TRUE(runtime.IsHoverMinimized);
    EXPECT_TRUE(OnDisk<bool>(L"g0003", L"IsHoverMinimized", false));
    StepTo(box, 0.3);
    EXPECT_EQ(HeightOf(box), 40);

    // The pointer that held the button is still there: no unfolding until
    // it has left once.
    box->onMouseMove();
    StepTo(box, 0.5);
    EXPECT_EQ(HeightOf(box), 40);
    box->onMouseLeave();
    box->onMouseMove();
    StepTo(box, 0.61);
    StepTo(box, 0.8);
    EXPECT_EQ(HeightOf(box), 300);

    // A click on the open box leaves hover-minimize and keeps it open.
    ToggleBoxFolded(box);
    EXPECT_FALSE(runtime.IsHoverMinimized);
    EXPECT_FALSE(OnDisk<bool>(L"g0003", L"IsHoverMinimized", true));
    box->onMouseLeave();
    StepTo(box, 2.0);
    EXPECT_EQ(HeightOf(box), 300);
}

} // namespace
