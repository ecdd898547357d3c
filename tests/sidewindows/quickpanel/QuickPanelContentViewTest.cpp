// The content view drawn into the open panel: a hidden box's two sections,
// the search edit, the marquee, the repaint timer, the pin and a paste into
// the physical section. Real windows and real pointer input.
#include <cmath>
#include <filesystem>
#include <utility>

#include "QuickPanelTestSupport.h"
#include "box/icons/KelmIcon.h"
#include "sidewindows/quickpanel/QuickPanelContent.h"
#include "sidewindows/quickpanel/QuickPanelPaste.h"
#include "sidewindows/quickpanel/QuickPanelSearch.h"
#include "sidewindows/quickpanel/TessikQuickPanel.h"
#include "tests/common/WindowTestSupport.h"
#include "ui/core/D2DResources.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"

using namespace TessikQuickPanel;
namespace fs = std::filesystem;

namespace
{

// While icons move, the panel's repaint timer may fire again before a slow
// paint has ended: the queue is never empty.
void Pump(DWORD milliseconds)
{
    PumpWithin(milliseconds);
}

void Paint(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Pump(50);
}

template <class F> bool WaitFor(F condition, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (!condition()) {
        if (GetTickCount64() > end)
            return false;
        Pump(10);
    }
    return true;
}

// Real pointer input, so GetAsyncKeyState sees the button as the marquee
// reads it.
void Pointer(HWND window, int cx, int cy, DWORD buttonFlag = 0)
{
    MouseAt(window, cx, cy, buttonFlag);
    Pump(30);
}

bool Topmost(HWND window)
{
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// The panel opens 850 x 550 at DPI 1: the content runs from 200 to 850,
// its halves meet at 525.
class QuickPanelContentViewTest : public QuickPanelWindowTest
{
protected:
    void SetUp() override
    {
        QuickPanelWindowTest::SetUp();
        s_mappedSectionOnLeft = true;
        folder = temp.File(L"temp_h00001");
        fs::create_directories(folder);
        TempFolder::WriteBytes(folder + L"\\inside.dat", "i");
        for (const wchar_t* name : {L"one.dat", L"two.dat"})
            TempFolder::WriteBytes(temp.File(name), "m");
        AddHidden(L"h00001", L"Ghost");
        s_quickPanelStore[L"TempList"][L"h00001"][L"TargetFolder"] = folder;
        s_quickPanelStore[L"TempIcons"][L"h00001"][L"0"][L"path"] = temp.File(L"one.dat");
        s_quickPanelStore[L"TempIcons"][L"h00001"][L"1"][L"path"] = temp.File(L"two.dat");
        SwitchQuickPanel(true);
        // The folder is listed off the UI thread.
        EXPECT_TRUE(WaitForHiddenBoxJob());
        SetWindowPos(Panel(), nullptr, 100, 100, 850, 550, SWP_NOZORDER);
        Paint(Panel());
    }
    void TearDown() override
    {
        QuickPanelWindowTest::TearDown();
        s_mappedSectionOnLeft = true;
        s_physicalSectionActive = false;
    }
    static HWND Panel() { return s_quickPanelWindow->GetHwnd(); }
    static KelmIconManager& Mapped() { return s_boxIconManagers[s_quickPanelWindow]; }
    static KelmIconManager& Physical() { return s_boxIconManagers[s_quickPanelDummy]; }
    // Paints until every icon has come to rest (bounded).
    static bool Settle()
    {
        return WaitFor(
            [] {
                Paint(Panel());
                return s_repaintTimer == 0;
            },
            5000);
    }

    std::wstring folder;
};

} // namespace

TEST_F(QuickPanelContentViewTest, AHiddenBoxShowsTwoSectionsThatTradeHalvesAndTakeTheKeyboard)
{
    ASSERT_EQ(s_selectedComponentId, L"h00001");
    ASSERT_EQ(Mapped().Records().size(), 2u);
    ASSERT_EQ(Physical().Records().size(), 1u);
    ASSERT_TRUE(Settle()) << "timer 10086 was never killed";
    // An icon on its way arms the repaint timer; it goes once all rest.
    Physical().Records()[0].settled = false;
    Paint(Panel());
    EXPECT_NE(s_repaintTimer, 0u);
    Physical().Records()[0].settled = true;
    Paint(Panel());
    EXPECT_EQ(s_repaintTimer, 0u);

    EXPECT_EQ(Mapped().Records()[0].sectionText, L"映射区");
    EXPECT_EQ(Mapped().Records()[1].sectionText, L"");
    EXPECT_EQ(Physical().Records()[0].sectionText, L"物理区");
    for (const IconRecord& record : Mapped().Records()) {
        EXPECT_GE(record.targetX, 220.0f);
        EXPECT_LT(record.targetX + record.edge, 525.0f);
    }
    EXPECT_GE(Physical().Records()[0].targetX, 545.0f);
    // The dummy stands where the content is drawn.
    RECT panel{}, dummy{};
    GetWindowRect(Panel(), &panel);
    GetWindowRect(s_quickPanelDummy->GetHwnd(), &dummy);
    EXPECT_TRUE(EqualRect(&panel, &dummy));
    // The mapped section has the keyboard.
    EXPECT_FALSE(s_boxRuntimes[s_quickPanelWindow].keysOff);
    EXPECT_TRUE(s_boxRuntimes[s_quickPanelDummy].keysOff);
    EXPECT_EQ(s_boxRuntimes[s_quickPanelDummy].inputWindow, nullptr);

    ToggleSectionOrder();
    Paint(Panel());
    EXPECT_GE(Mapped().Records()[0].targetX, 545.0f);
    EXPECT_LT(Physical().Records()[0].targetX + 48, 525.0f);

    s_physicalSectionActive = true;
    Paint(Panel());
    EXPECT_TRUE(s_boxRuntimes[s_quickPanelWindow].keysOff);
    EXPECT_FALSE(s_boxRuntimes[s_quickPanelDummy].keysOff);
    EXPECT_EQ(s_boxRuntimes[s_quickPanelDummy].inputWindow, Panel());
}

TEST_F(QuickPanelContentViewTest, TypingInTheSearchEditSearchesAndClearingItBringsTheSectionsBack)
{
    PostMessageW(Panel(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(260, 30));
    PostMessageW(Panel(), WM_LBUTTONUP, 0, MAKELPARAM(260, 30));
    Pump(30);
    for (wchar_t c : std::wstring(L"ONE"))
        SendMessageW(Panel(), WM_CHAR, c, 0);
    ASSERT_TRUE(WaitFor(
        [] {
            Paint(Panel());
            return !SearchOnItsWay();
        },
        5000));
    const BoxRuntime& record = s_boxRuntimes[s_quickPanelWindow];
    EXPECT_TRUE(record.searchActive);
    EXPECT_EQ(record.searchText, L"ONE");
    ASSERT_EQ(Mapped().Records().size(), 1u) << "the search matches names without regard to case";
    EXPECT_EQ(Mapped().Records()[0].sectionText, L"当前组件 (映射区)");
    EXPECT_TRUE(Physical().Records().empty());
    EXPECT_TRUE(Settle()) << "the matches never came to rest";

    for (int i = 0; i < 3; ++i) {
        SendMessageW(Panel(), WM_KEYDOWN, VK_BACK, 0);
        SendMessageW(Panel(), WM_KEYUP, VK_BACK, 0);
    }
    Paint(Panel());
    EXPECT_FALSE(record.searchActive);
    EXPECT_EQ(Mapped().Records().size(), 2u);
    EXPECT_EQ(Physical().Records().size(), 1u);
    EXPECT_EQ(Mapped().Records()[0].sectionText, L"映射区");
}

TEST_F(QuickPanelContentViewTest, AMarqueeOverTheMappedSectionSelectsOnlyWhatItCovers)
{
    ASSERT_TRUE(Settle());
    SetForegroundWindow(Panel());
    ASSERT_TRUE(WaitFor([] { return GetForegroundWindow() == Panel(); }, 2000));
    // Four columns from x 248, 60 apart; the first row at y 110.
    const IconRecord first = Mapped().Records()[0];
    ASSERT_EQ(first.x, 248.0f);
    const int startX = 300, startY = 300;
    Pointer(Panel(), startX, startY);
    Pointer(Panel(), startX, startY, MOUSEEVENTF_LEFTDOWN);
    Paint(Panel());
    ASSERT_TRUE(s_boxRuntimes[s_quickPanelWindow].bandActive) << "a press on empty content starts a marquee";
    Pointer(Panel(), 280, 100);
    Paint(Panel());
    Pointer(Panel(), 280, 100, MOUSEEVENTF_LEFTUP);
    Paint(Panel());

    const BoxRuntime& panel = s_boxRuntimes[s_quickPanelWindow];
    EXPECT_FALSE(panel.bandActive);
    EXPECT_EQ(panel.selection, (std::set<int32_t>{0}));
    EXPECT_TRUE(panel.multiSelect);
    EXPECT_TRUE(s_boxRuntimes[s_quickPanelDummy].selection.empty());
    EXPECT_FALSE(s_physicalSectionActive);

    // A press in the other half makes the physical section the active one.
    Pointer(Panel(), 700, 400, MOUSEEVENTF_LEFTDOWN);
    Paint(Panel());
    Pointer(Panel(), 700, 400, MOUSEEVENTF_LEFTUP);
    Paint(Panel());
    EXPECT_TRUE(s_physicalSectionActive);
    EXPECT_TRUE(panel.selection.empty()) << "a new marquee starts with an empty selection";
}

// Files dropped onto the panel all start at the drop point: of that pile
// only the top one is drawn (a pile of hundreds kept the panel painting
// for half a minute).
TEST_F(QuickPanelContentViewTest, APileAtOnePlaceDrawsOnlyItsTopRecord)
{
    ASSERT_TRUE(Settle());
    const HeldAnimationClock clock(s_quickPanelWindow->animationManager); // the pile stays where it was made
    for (int i = 0; i < 40; ++i)
        Mapped().AddRecordForPath(temp.File(L"pile" + std::to_wstring(i) + L".kind" + std::to_wstring(i)), 300, 300,
                                  L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
    Paint(Panel());
    size_t drawn = 0;
    for (size_t i = 2; i < Mapped().Records().size(); ++i)
        drawn += Mapped().Records()[i].control && Mapped().Records()[i].control->Window() != nullptr;
    EXPECT_EQ(drawn, 1u);
}

TEST_F(QuickPanelContentViewTest, ThePinTogglesTopmostAndFilesDroppedOnThePhysicalHalfMoveIntoTheFolder)
{
    EXPECT_TRUE(Topmost(Panel()));
    TogglePin();
    EXPECT_FALSE(s_pinned);
    EXPECT_FALSE(Topmost(Panel()));
    TogglePin();
    EXPECT_TRUE(Topmost(Panel()));

    // Beside the stores lies only what the program keeps: the user's file
    // comes from a folder of its own.
    fs::create_directories(temp.File(L"user"));
    const std::wstring dropped = temp.File(L"user\\dropped.dat");
    TempFolder::WriteBytes(dropped, "d");
    // Arrived in the folder since the panel read it.
    TempFolder::WriteBytes(folder + L"\\later.dat", "l");
    s_droppedFiles = {dropped};
    POINT over{700, 300};
    ClientToScreen(Panel(), &over);
    SetCursorPos(over.x, over.y);
    OnQuickPanelFilesDropped(Panel(), 200, 850, {dropped});
    ASSERT_TRUE(WaitForHiddenBoxJob());
    EXPECT_TRUE(s_physicalSectionActive);
    EXPECT_TRUE(fs::exists(folder + L"\\dropped.dat"));
    EXPECT_FALSE(fs::exists(dropped)) << "a drop without Ctrl moves";
    EXPECT_TRUE(s_droppedFiles.empty());
    // The section follows the folder: all three files, owned by the dummy.
    ASSERT_EQ(Physical().Records().size(), 3u);
    for (const IconRecord& record : Physical().Records())
        EXPECT_EQ(record.owner, s_quickPanelDummy);
}

// A list of tens of thousands: a paint visits the records near the view
// and those on their way, not the whole list; where every other record
// stands after a scroll is where a layout of the whole list puts it.
TEST_F(QuickPanelContentViewTest, APaintOfALongListVisitsOnlyTheRecordsNearTheView)
{
    auto box = AddBox(L"large");
    KelmIconManager& own = s_boxIconManagers[box];
    own.SetOwnBox(box);
    constexpr int kRecords = 20000;
    for (int i = 0; i < kRecords; ++i)
        own.Records().push_back(own.MakeRecord(temp.File(L"large\\n" + std::to_wstring(i) + L".dat"), 0, 0, L"bvn!NULL",
                                               false, L"", box, L"bvn!NULL"));
    own.Renumber();
    SelectComponent(L"large", false);
    RefreshQuickPanelContent();
    ASSERT_TRUE(Settle());
    Paint(Panel());
    EXPECT_GT(Mapped().LastVisited(), 0u);
    EXPECT_LT(Mapped().LastVisited(), 1000u) << "a paint at rest walked the whole list";

    // Scrolled far down: every record stands where a full layout puts it.
    s_boxRuntimes[s_quickPanelWindow].scrollOffset = 30000;
    RedrawWindow(Panel(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_LT(Mapped().LastVisited(), 2000u) << "a scroll moved the whole list through the motion pass";
    ASSERT_TRUE(Settle());
    EXPECT_LT(Mapped().LastVisited(), 1000u);
    KelmIconManager whole = Mapped();
    whole.SetNearViewPaint(false);
    for (IconRecord& record : whole.Records())
        record.targetX = record.targetY = 0.0f;
    whole.Layout(850 + 200);
    const std::vector<IconRecord>& shown = std::as_const(Mapped()).Records();
    ASSERT_EQ(shown.size(), static_cast<size_t>(kRecords));
    size_t misplaced = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        const IconRecord& placed = whole.Records()[i];
        misplaced += shown[i].targetX != placed.targetX || shown[i].targetY != placed.targetY ||
                     std::fabs(shown[i].x - placed.targetX) > 0.01f || std::fabs(shown[i].y - placed.targetY) > 0.01f;
    }
    EXPECT_EQ(misplaced, 0u);
    EXPECT_GT(shown.back().y, 0.0f);
    EXPECT_LT(shown.front().y, 0.0f);
}
