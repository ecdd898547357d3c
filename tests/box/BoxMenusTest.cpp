// The box menus' actions on real box windows: renaming and recolouring
// (an integrated host recolours every member of its group), merging a
// colour group into its host and splitting it again, the more menu's
// entries, sort modes and the lock.
#include <gtest/gtest.h>

#include "common/WindowTestSupport.h"
#include "app/AppState.h"
#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxCreation.h"
#include "box/BoxMoreMenu.h"
#include "box/BoxServices.h"
#include "box/BoxSortLock.h"
#include "BoxTestSupport.h"
#include "box/BoxTitleMenu.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/KelmButton.h"
#include "ui/core/DpiScale.h"

using namespace TessikDesktopContainer;

namespace
{

class BoxMenusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedScale = DpiScale;
        savedStartingUp = s_startingUp;
        DpiScale = 1.0;
        s_startingUp = false;
        storePath = temp.File(L"DesktopContainer.kelm");
        TempFolder::WriteBytes(storePath, "");
        s_desktopContainerStore.Load(storePath);
    }
    void TearDown() override
    {
        std::vector<BoxWindowPtr> boxes;
        for (auto& [box, runtime] : s_boxRuntimes)
            boxes.push_back(box);
        for (const BoxWindowPtr& box : boxes) {
            if (box)
                ShowWindow(box->GetHwnd(), SW_HIDE);
            RetireBoxWindow(box);
        }
        s_boxRuntimes.clear();
        DpiScale = savedScale;
        s_startingUp = savedStartingUp;
    }

    KelmStorageProxy Stored(const std::wstring& id) { return s_desktopContainerStore[L"Components"][L"ComID_" + id]; }

    BoxWindowPtr MakeBox(const std::wstring& id, int x, const std::wstring& clrtag)
    {
        KelmStorageProxy box = Stored(id);
        box[L"id"] = id;
        box[L"x"] = x;
        box[L"y"] = 100;
        box[L"cx"] = 300;
        box[L"cy"] = 300;
        box[L"clrtag"] = clrtag;
        CreateCom(id, L"NULL", false, 1);
        for (auto& [window, runtime] : s_boxRuntimes) {
            if (runtime.id == id) {
                for (int i = 0; i < 200 && !IsWindowVisible(window->GetHwnd()); ++i)
                    PumpMessages(10);
                return window;
            }
        }
        ADD_FAILURE() << "box did not open";
        return nullptr;
    }

    static void AddRecord(const BoxWindowPtr& box, const std::wstring& path)
    {
        s_boxIconManagers[box].AddRecordForPath(path, 0.0f, 0.0f, L"bvn!NULL", false, L"", box, L"bvn!NULL");
    }

    template <typename T> T OnDisk(const std::wstring& id, const wchar_t* key, T fallback)
    {
        KelmStorage reloaded;
        reloaded.Load(storePath);
        return reloaded[L"Components"][L"ComID_" + id][key].Get<T>(fallback);
    }

    static COLORREF TagOf(const BoxWindowPtr& box) { return s_boxRuntimes[box].titleButton->fill; }

    TempFolder temp;
    std::wstring storePath;
    double savedScale = 1.0;
    bool savedStartingUp = true;
};

TEST_F(BoxMenusTest, RenameAndRecolourAreStored)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    ASSERT_TRUE(box);
    SetBoxTitle(box, L"文档");
    EXPECT_EQ(s_boxRuntimes[box].title, L"文档");
    EXPECT_EQ(OnDisk<std::wstring>(L"a0001", L"title", L""), L"文档");
    SetBoxTitle(box, L"");
    EXPECT_EQ(OnDisk<std::wstring>(L"a0001", L"title", L"x"), L"") << "an empty title is accepted";

    SetBoxTagColour(box, HexToColor(L"#12AB34"));
    EXPECT_EQ(TagOf(box), HexToColor(L"#12AB34"));
    EXPECT_EQ(OnDisk<std::wstring>(L"a0001", L"clrtag", L""), L"#12AB34");
}

TEST_F(BoxMenusTest, TitleMenuOffersMergeOnlyToASeparateUnmixedGroupAndSplitOnlyToAHost)
{
    BoxWindowPtr a = MakeBox(L"a0001", 100, L"#FF0000");
    BoxWindowPtr b = MakeBox(L"b0001", 450, L"#FF0000");
    ASSERT_TRUE(a && b);
    auto options = BoxTitleMenuOptions(a);
    ASSERT_EQ(options.size(), 2u);
    EXPECT_EQ(options[0].text, L":\xF031:       标题");
    ASSERT_EQ(options[1].sideList.size(), 2u);
    EXPECT_EQ(options[1].sideList[0].state, 1);
    EXPECT_EQ(options[1].sideList[1].state, 0);

    s_boxRuntimes[b].UseTargetFolder = true;
    EXPECT_EQ(BoxTitleMenuOptions(a)[1].sideList[0].state, 0) << "folder-backed and mapping boxes never merge";
    s_boxRuntimes[b].UseTargetFolder = false;

    MergeBoxGroup(a);
    options = BoxTitleMenuOptions(a);
    EXPECT_EQ(options[1].sideList[0].state, 0);
    EXPECT_EQ(options[1].sideList[1].state, 1);
}

TEST_F(BoxMenusTest, MergeHidesTheMembersAndSplitShowsThemAgain)
{
    BoxWindowPtr host = MakeBox(L"a0001", 100, L"#FF0000");
    BoxWindowPtr member = MakeBox(L"b0001", 450, L"#FF0000");
    BoxWindowPtr other = MakeBox(L"c0001", 800, L"#00FF00");
    ASSERT_TRUE(host && member && other);
    s_boxRuntimes[member].title = L"成员";
    AddRecord(host, L"C:\\h.txt");
    AddRecord(member, L"C:\\m1.txt");
    AddRecord(member, L"C:\\m2.txt");

    MergeBoxGroup(host);
    EXPECT_TRUE(s_boxRuntimes[host].IsIntegrated);
    EXPECT_TRUE(OnDisk<bool>(L"a0001", L"IsIntegrated", false));
    EXPECT_FALSE(OnDisk<bool>(L"b0001", L"IsIntegrated", true));
    EXPECT_FALSE(IsWindowVisible(member->GetHwnd()));
    EXPECT_TRUE(IsWindowVisible(other->GetHwnd())) << "another colour is another group";
    const auto& records = s_boxIconManagers[host].Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].owner, member);
    EXPECT_TRUE(records[1].merged);
    EXPECT_EQ(records[1].sectionText, L"成员") << "the first record of a member heads its run";
    EXPECT_EQ(records[2].sectionText, L"");

    MergeBoxGroup(host);
    EXPECT_EQ(s_boxIconManagers[host].Records().size(), 3u) << "merging again does not double the records";

    SplitBoxGroup(host);
    EXPECT_FALSE(s_boxRuntimes[host].IsIntegrated);
    EXPECT_FALSE(OnDisk<bool>(L"a0001", L"IsIntegrated", true));
    EXPECT_TRUE(IsWindowVisible(member->GetHwnd()));
    EXPECT_EQ(s_boxIconManagers[host].Records().size(), 1u);
    EXPECT_EQ(s_boxIconManagers[member].Records().size(), 2u);
    KelmStorage reloaded;
    reloaded.Load(storePath);
    EXPECT_EQ(reloaded[L"Components"][L"ComID_a0001"][L"IntegratedPos"][L"cx"].Get<int>(0), 300);
}

TEST_F(BoxMenusTest, RecolouringAHostReachesMembersWithoutRecords)
{
    BoxWindowPtr host = MakeBox(L"a0001", 100, L"#FF0000");
    BoxWindowPtr empty = MakeBox(L"b0001", 450, L"#FF0000");
    BoxWindowPtr folder = MakeBox(L"c0001", 800, L"#FF0000");
    ASSERT_TRUE(host && empty && folder);
    MergeBoxGroup(host);
    // A box of the same colour but the other kind is no member.
    s_boxRuntimes[folder].UseTargetFolder = true;

    SetBoxTagColour(host, HexToColor(L"#0000FF"));
    EXPECT_EQ(TagOf(empty), HexToColor(L"#0000FF"));
    EXPECT_EQ(OnDisk<std::wstring>(L"b0001", L"clrtag", L""), L"#0000FF");
    EXPECT_EQ(TagOf(folder), HexToColor(L"#FF0000"));

    SplitBoxGroup(host);
    EXPECT_TRUE(IsWindowVisible(empty->GetHwnd())) << "the empty member is shown again by the split";
}

TEST_F(BoxMenusTest, MoreMenuReflectsTheBoxAndItsHandlersStoreTheirKeys)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    ASSERT_TRUE(box);
    auto options = BoxMoreMenuOptions(box);
    ASSERT_EQ(options.size(), 4u);
    EXPECT_EQ(options[0].text, L":\xF03A:\u00A0 \u00A0 \u00A0\u00A0 列表视图");
    ASSERT_EQ(options[1].sideList.size(), 3u);
    EXPECT_EQ(options[1].sideList[1].state, 2) << "z 1 highlights the middle item";
    EXPECT_EQ(options[1].sideList[0].state, 1);
    const auto& sorting = options[2].children[2].children;
    ASSERT_EQ(sorting.size(), 5u);
    EXPECT_EQ(sorting[0].text, L":\x2714:   自由排序");
    EXPECT_EQ(sorting[3].text, L"      时间正序");

    ToggleBoxListView(box);
    EXPECT_TRUE(OnDisk<bool>(L"a0001", L"IsListView", false));
    EXPECT_EQ(BoxMoreMenuOptions(box)[0].text, L":\xF009:\u00A0 \u00A0\u00A0 \u00A0 网格视图");

    SetIconSpacingLoose(box);
    EXPECT_EQ(OnDisk<int>(L"a0001", L"IconSpacingMode", -1), 2);

    SetBoxZTopmost(box);
    EXPECT_EQ(Stored(L"a0001")[L"z"].Get<int>(-1), 2);
    EXPECT_NE(OnDisk<int>(L"a0001", L"z", -1), 2) << "the z order waits for the next save";
    EXPECT_TRUE(box->keepTopmost);
    EXPECT_EQ(BoxMoreMenuOptions(box)[1].sideList[0].state, 2);
    SetBoxZBottom(box);
    EXPECT_TRUE(box->keepBottom);
    EXPECT_FALSE(box->keepTopmost);
}

TEST_F(BoxMenusTest, SortModesAndLockAreStored)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    ASSERT_TRUE(box);
    void (*const handlers[])(const BoxWindowPtr&) = {SetSortFree, SetSortNameAscending, SetSortNameDescending,
                                                     SetSortTimeAscending, SetSortTimeDescending};
    for (int mode : {3, 1, 4, 2, 0}) {
        handlers[mode](box);
        EXPECT_EQ(s_boxRuntimes[box].SortMode, mode);
        EXPECT_EQ(OnDisk<int>(L"a0001", L"SortMode", -1), mode);
    }

    HWND window = box->GetHwnd();
    LockBox(box);
    EXPECT_TRUE(OnDisk<bool>(L"a0001", L"IsLocked", false));
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & WS_THICKFRAME, 0);
    EXPECT_EQ(box->cornerRadius, 16);
    UnlockBox(box);
    EXPECT_FALSE(OnDisk<bool>(L"a0001", L"IsLocked", true));
    EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_THICKFRAME, 0);
    EXPECT_EQ(box->cornerRadius, 0);
}

TEST_F(BoxMenusTest, LockingAnEmbeddedBoxKeepsItAtTheBottom)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    BoxWindowPtr above = MakeBox(L"b0001", 200, L"#F2F2F2");
    ASSERT_TRUE(box && above);
    SetBoxEmbeddedLayer(box);
    EXPECT_TRUE(OnDisk<bool>(L"a0001", L"IsEmbeddedLayer", false));
    LockBox(box);
    // Every other top-level window of this process is above the box.
    bool aboveFound = false;
    for (HWND w = GetWindow(box->GetHwnd(), GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        aboveFound = aboveFound || w == above->GetHwnd();
    EXPECT_TRUE(aboveFound) << "the locked embedded box stays below ordinary windows";
    SetBoxFloatingLayer(box);
    EXPECT_FALSE(OnDisk<bool>(L"a0001", L"IsEmbeddedLayer", true));
    EXPECT_EQ(box->cornerRadius, 16) << "a locked floating box keeps its rounded frame";
}

} // namespace
