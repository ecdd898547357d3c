#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxDeletion.h"
#include "box/BoxRuntime.h"
#include "box/icons/KelmIconManager.h"
#include "sidewindows/magwin/ContainerListItem.h"
#include "sidewindows/magwin/MagIconWindow.h"
#include "sidewindows/magwin/MagWinRules.h"
#include "sidewindows/magwin/MagWinState.h"
#include "sidewindows/magwin/TessikMagWin.h"
#include "tests/common/WindowTestSupport.h"
#include "ui/core/D2DResources.h"
#include "ui/controls/KelmCaptionBar.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

using namespace TessikMagWin;

namespace
{

int CountMagnetWindows()
{
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (std::wstring(name) == L"Tessik.Kelm.Com.MagWin.Class")
                ++*reinterpret_cast<int*>(param);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

template <typename Condition> bool PumpUntil(Condition&& condition, DWORD timeout = 5000)
{
    const ULONGLONG end = GetTickCount64() + timeout;
    while (!condition() && GetTickCount64() < end)
        PumpMessages(10);
    return condition();
}

// Empty stores in the folder, graphics ready, scale 1.
void UseEmptyStores(TempFolder& temp)
{
    for (const wchar_t* name : {L"MagnetCom.kelm", L"QuickPanelCom.kelm", L"DesktopContainer.kelm"})
        TempFolder::WriteBytes(temp.File(name), "");
    s_magnetStore.Load(temp.File(L"MagnetCom.kelm"));
    s_quickPanelStore.Load(temp.File(L"QuickPanelCom.kelm"));
    s_desktopContainerStore.Load(temp.File(L"DesktopContainer.kelm"));
    CreateGraphicsFactories();
    DpiScale = 1.0;
}

} // namespace

TEST(MagnetWindowSwitch, OnTwiceMakesOneHiddenToolWindowAndOffRemovesIt)
{
    TempFolder temp;
    TempFolder::WriteBytes(temp.File(L"MagnetCom.kelm"), "");
    TempFolder::WriteBytes(temp.File(L"QuickPanelCom.kelm"), "");
    s_magnetStore.Load(temp.File(L"MagnetCom.kelm"));
    s_quickPanelStore.Load(temp.File(L"QuickPanelCom.kelm"));
    CreateGraphicsFactories();
    DpiScale = 1.0;

    SwitchMagWin(true);
    SwitchMagWin(true);
    PumpMessages(20);
    EXPECT_EQ(CountMagnetWindows(), 1);
    HWND magnet = MagHwnd();
    ASSERT_TRUE(magnet);
    RECT rc{};
    GetWindowRect(magnet, &rc);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 260);
    const LONG_PTR ex = GetWindowLongPtrW(magnet, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(ex & WS_EX_ACCEPTFILES);
    // No file dialog here: the first poll hides the window.
    EXPECT_TRUE(PumpUntil([magnet] { return !IsWindowVisible(magnet); }));

    SwitchMagWin(false);
    PumpMessages(20);
    EXPECT_EQ(CountMagnetWindows(), 0);
    EXPECT_EQ(MagHwnd(), nullptr);
}

TEST(MagnetWindowSwitch, ADeletedBoxLeavesTheRowsAndTheIconWindow)
{
    TempFolder temp;
    UseEmptyStores(temp);

    auto box = std::make_shared<KelmWindow>();
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.id = L"d0001";
    runtime.captionBar = std::make_shared<KelmCaptionBar>();
    s_boxIconManagers[box].AddRecordForPath(temp.File(L"a.txt"), 0.0f, 0.0f, L"bvn!NULL", false, L"", box, L"bvn!NULL");
    SwitchMagWin(true);
    PumpMessages(20);
    ASSERT_EQ(s_magRows.size(), 1u);
    UpdateIconWindow(box, false, L"", L"");
    ASSERT_EQ(s_magIconManager.Records().size(), 1u);

    DeleteBox(box);
    EXPECT_TRUE(s_magRows.empty());
    EXPECT_TRUE(s_magIconManager.Records().empty());
    EXPECT_FALSE(IsWindowVisible(s_magIconWindow ? s_magIconWindow->GetHwnd() : nullptr));

    SwitchMagWin(false);
    PumpMessages(20);
}

TEST(MagnetWindowSwitch, ARowDragReleasedOutsideTheWindowEndsAtTheNextPaint)
{
    TempFolder temp;
    UseEmptyStores(temp);
    std::vector<BoxWindowPtr> boxes;
    for (const wchar_t* id : {L"d0001", L"d0002"}) {
        auto box = std::make_shared<KelmWindow>();
        s_boxRuntimes[box].id = id;
        s_boxRuntimes[box].captionBar = std::make_shared<KelmCaptionBar>();
        boxes.push_back(box);
    }
    SwitchMagWin(true);
    PumpMessages(20);
    HWND magnet = MagHwnd();
    ASSERT_TRUE(magnet);
    ASSERT_EQ(s_magRows.size(), 2u);

    // The grip was pressed, and the button came up over another window.
    s_magDragIndex = 0;
    s_magRows[0]->dragging = true;
    ASSERT_GE(GetAsyncKeyState(VK_LBUTTON), 0);
    // Painted at once, before the dialog poll hides the window again.
    SetWindowPos(magnet, HWND_TOPMOST, 50, 50, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    RedrawWindow(magnet, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(s_magDragIndex, -1);
    EXPECT_FALSE(s_magRows[0]->dragging);
    EXPECT_EQ(ReadRowOrder().size(), 2u) << "the order is stored as after a release on the row";

    SwitchMagWin(false);
    PumpMessages(20);
    for (const BoxWindowPtr& box : boxes)
        s_boxRuntimes.erase(box);
}
