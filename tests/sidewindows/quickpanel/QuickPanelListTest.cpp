#include <algorithm>

#include "QuickPanelTestSupport.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "box/BoxCreation.h"
#include "box/BoxServices.h"
#include "tests/box/BoxTestSupport.h"
#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmButton.h"

using namespace TessikQuickPanel;

TEST_F(QuickPanelTest, EmptyStoresGiveNoRowsAndNoSelection)
{
    BuildQuickPanelList();
    EXPECT_TRUE(s_quickPanelRows.empty());
    EXPECT_TRUE(s_hiddenBoxes.empty());
    EXPECT_TRUE(s_selectedComponentId.empty());
    // Reading creates no roots in the store.
    EXPECT_TRUE(s_quickPanelStore.Roots().empty());
}

TEST_F(QuickPanelTest, SavedOrderComesFirstAndSkipsUnknownIds)
{
    AddBox(L"aaaaa");
    AddBox(L"bbbbb");
    AddBox(L"ccccc");
    s_quickPanelStore[L"ListOrder"][L"0"] = L"bbbbb";
    s_quickPanelStore[L"ListOrder"][L"1"] = L"xxxxx";
    s_quickPanelStore[L"ListOrder"][L"2"] = L"aaaaa";
    BuildQuickPanelList();
    ASSERT_EQ(s_quickPanelRows.size(), 3u);
    EXPECT_EQ(RowIds()[0], L"bbbbb");
    EXPECT_EQ(RowIds()[1], L"aaaaa");
    EXPECT_EQ(RowIds()[2], L"ccccc");
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(s_quickPanelRows[i]->y, 60.0f + 45.0f * i);
        EXPECT_FLOAT_EQ(s_quickPanelRows[i]->targetY, s_quickPanelRows[i]->y);
    }
    // Nothing was selected: the first row is.
    EXPECT_EQ(s_selectedComponentId, L"bbbbb");
    EXPECT_FALSE(s_selectedIsHidden);
}

TEST_F(QuickPanelTest, OrderStopsAtTheFirstKeyThatIsNoTextAndHiddenBoxesFollowTheBoxes)
{
    AddBox(L"aaaaa");
    AddBox(L"bbbbb");
    AddHidden(L"h00001", L"Ghost");
    s_quickPanelStore[L"ListOrder"][L"0"] = L"bbbbb";
    s_quickPanelStore[L"ListOrder"][L"1"] = 7;
    s_quickPanelStore[L"ListOrder"][L"2"] = L"h00001";
    s_selectedComponentId = L"aaaaa";
    BuildQuickPanelList();
    EXPECT_EQ(RowIds(), (std::vector<std::wstring>{L"bbbbb", L"aaaaa", L"h00001"}));
    EXPECT_TRUE(s_quickPanelRows[2]->hidden);
    // A selection survives the rebuild.
    EXPECT_EQ(s_selectedComponentId, L"aaaaa");
}

TEST_F(QuickPanelTest, AnIntegratedBoxStandsForTheBoxesOfItsColourAndKind)
{
    AddBox(L"plain", L"#454545");
    AddBox(L"other", L"#454545");
    AddBox(L"integ", L"#454545", true);
    AddBox(L"green", L"#00FF00");
    BuildQuickPanelList();
    auto ids = RowIds();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"green", L"integ"}));

    // A box of another kind (folder) is not represented by it.
    AddBox(L"folder", L"#454545", false, true);
    BuildQuickPanelList();
    EXPECT_EQ(RowIds().size(), 3u);
}

TEST_F(QuickPanelTest, CaptionBarColourWinsOverTheStoredOne)
{
    auto box = AddBox(L"plain", L"#454545");
    AddBox(L"integ", L"#454545", true);
    s_boxRuntimes[box].captionBar = std::make_shared<KelmCaptionBar>();
    s_boxRuntimes[box].captionBar->colour = 0x123456;
    BuildQuickPanelList();
    EXPECT_EQ(RowIds().size(), 2u);
}

TEST_F(QuickPanelTest, PseudoBoxesAndThePanelAreNoRows)
{
    AddBox(L"aaaaa");
    s_boxRuntimes[s_quickPanelWindow].id = L"QUICK_PANEL_ROOT";
    s_boxRuntimes[std::make_shared<KelmWindow>()].id = L"QUICK_PANEL_PHYS";
    s_boxRuntimes[nullptr].id = L"zzzzz";
    BuildQuickPanelList();
    EXPECT_EQ(RowIds(), (std::vector<std::wstring>{L"aaaaa"}));
}

TEST_F(QuickPanelTest, HiddenBoxRecordsTakeDefaultsForMissingOrWrongMembers)
{
    AddHidden(L"h00001", L"Ghost");
    s_quickPanelStore[L"TempList"][L"h00002"][L"UseTargetFolder"] = L"yes";
    s_quickPanelStore[L"TempList"][L"h00002"][L"clrtag"] = 5;
    s_quickPanelStore[L"TempList"][L"scalar"] = 3;
    s_quickPanelStore[L"TempList"][L"h00003"][L"title"] = L"Blue";
    s_quickPanelStore[L"TempList"][L"h00003"][L"clrtag"] = L"#0000FF";
    s_quickPanelStore[L"TempList"][L"h00003"][L"UseTargetFolder"] = true;
    s_quickPanelStore[L"TempList"][L"h00003"][L"TargetFolder"] = L"C:\\ghost";
    const auto records = ReadHiddenBoxRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].title, L"Ghost");
    EXPECT_EQ(records[1].title, L"Temp");
    EXPECT_FALSE(records[1].UseTargetFolder);
    EXPECT_EQ(records[1].TargetFolder, L"bvn!NULL");
    EXPECT_EQ(records[1].clrtag, L"#F2F2F2");
    EXPECT_TRUE(records[2].UseTargetFolder);
    EXPECT_EQ(records[2].TargetFolder, L"C:\\ghost");

    BuildQuickPanelList();
    ASSERT_EQ(s_quickPanelRows.size(), 3u);
    EXPECT_EQ(s_quickPanelRows[2]->colour, 0xFF0000u); // red in the low byte
    EXPECT_EQ(ComponentColourFromText(L"not a colour"), 0xF2F2F2u);
}

TEST_F(QuickPanelTest, SavedOrderHoldsExactlyTheCurrentRows)
{
    for (int i = 0; i < 5; ++i)
        AddHidden(L"h" + std::to_wstring(i), L"Ghost");
    BuildQuickPanelList();
    SaveQuickPanelListOrder();
    s_quickPanelRows.erase(s_quickPanelRows.begin() + 1);
    SaveQuickPanelListOrder();
    int keys = 0;
    for (auto it = s_quickPanelStore[L"ListOrder"].begin(); it != s_quickPanelStore[L"ListOrder"].end(); ++it)
        ++keys;
    EXPECT_EQ(keys, 4);
    EXPECT_EQ(s_quickPanelStore[L"ListOrder"][L"1"].Get<std::wstring>(L""), L"h2");
    EXPECT_EQ(s_quickPanelStore[L"ListOrder"][L"3"].Get<std::wstring>(L""), L"h4");
    // And it is on disk.
    KelmStorage reread;
    reread.Load(temp.File(L"QuickPanelCom.kelm"));
    EXPECT_EQ(reread[L"ListOrder"][L"0"].Get<std::wstring>(L""), L"h0");
}

TEST_F(QuickPanelTest, HiddenBoxRecordsAreWrittenBack)
{
    AddHidden(L"h00001", L"Ghost");
    BuildQuickPanelList();
    s_hiddenBoxes[0].title = L"改名";
    s_hiddenBoxes[0].clrtag = L"#E8A33D";
    SaveHiddenBoxRecords();
    KelmStorage reread;
    reread.Load(temp.File(L"QuickPanelCom.kelm"));
    EXPECT_EQ(reread[L"TempList"][L"h00001"][L"title"].Get<std::wstring>(L""), L"改名");
    EXPECT_EQ(reread[L"TempList"][L"h00001"][L"clrtag"].Get<std::wstring>(L""), L"#E8A33D");
    EXPECT_EQ(reread[L"TempList"][L"h00001"][L"TargetFolder"].Get<std::wstring>(L""), L"bvn!NULL");
}

TEST_F(QuickPanelTest, ReleasingABoxShowsTheBoxesOfItsColourAgain)
{
    auto makeWindow = [](const std::wstring& id, COLORREF colour, bool folder = false) {
        auto box = AddBox(id, L"#454545", false, folder);
        box->Set(0, 0, 100, 100, L"Tessik.Test.ReleaseBox", L"release");
        box->showCommand = SW_HIDE;
        EXPECT_EQ(box->Create(), 1);
        // The caption bar holds a box's tag colour.
        s_boxRuntimes[box].captionBar = std::make_shared<KelmCaptionBar>();
        s_boxRuntimes[box].captionBar->colour = colour;
        return box;
    };
    auto released = makeWindow(L"integ", 0x454545);
    auto sameColour = makeWindow(L"same1", 0x454545);
    auto otherKind = makeWindow(L"same2", 0x454545, true);
    auto otherColour = makeWindow(L"other", 0x00FF00);
    s_boxRuntimes[released].IsIntegrated = true;
    s_boxRuntimes[released].scrollOffset = 40;
    s_desktopContainerStore[L"Components"][L"ComID_integ"][L"IsIntegrated"] = true;

    ReleaseComponentIntegration(released);
    EXPECT_FALSE(s_boxRuntimes[released].IsIntegrated);
    EXPECT_EQ(s_boxRuntimes[released].scrollOffset, 0);
    EXPECT_TRUE(IsWindowVisible(sameColour->GetHwnd()));
    EXPECT_TRUE(IsWindowVisible(otherKind->GetHwnd())) << "every box of that colour shows, whatever its kind";
    EXPECT_FALSE(IsWindowVisible(otherColour->GetHwnd()));
    EXPECT_FALSE(IsWindowVisible(released->GetHwnd()));
    KelmStorage reread;
    reread.Load(temp.File(L"DesktopContainer.kelm"));
    EXPECT_FALSE(reread[L"Components"][L"ComID_integ"][L"IsIntegrated"].Get<bool>(true));
    for (const auto& box : {released, sameColour, otherKind, otherColour})
        DestroyWindow(box->GetHwnd());
}

// Boxes as the program makes (CreateCom) and paints them: each row shows
// its box's tag colour, and colour groups form by that colour.
TEST_F(QuickPanelTest, RealBoxesListedByTheirTagColoursAfterAPaint)
{
    ASSERT_TRUE(ControlTestWindow::PrepareGraphics());
    const struct {
        const wchar_t* id;
        const wchar_t* tag;
        COLORREF colour;
        bool integrated;
    } boxes[] = {
        {L"e0001", L"#E04040", RGB(0xE0, 0x40, 0x40), false},
        {L"e0002", L"#40C060", RGB(0x40, 0xC0, 0x60), false},
        {L"e0003", L"#4060E0", RGB(0x40, 0x60, 0xE0), false},
        {L"e0004", L"#4060E0", RGB(0x40, 0x60, 0xE0), true},  // hosts the blue group
        {L"e0005", L"#4060E0", RGB(0x40, 0x60, 0xE0), false}, // blue, but a folder box
    };
    int n = 0;
    for (const auto& b : boxes) {
        KelmStorageProxy object = s_desktopContainerStore[L"Components"][std::wstring(L"ComID_") + b.id];
        object[L"id"] = std::wstring(b.id);
        object[L"x"] = 1100;
        object[L"y"] = 80 + 90 * n++;
        object[L"cx"] = 220;
        object[L"cy"] = 160;
        object[L"clrtag"] = std::wstring(b.tag);
        object[L"IsIntegrated"] = b.integrated;
    }
    const std::wstring folder = temp.File(L"e0005");
    CreateDirectoryW(folder.c_str(), nullptr);
    s_desktopContainerStore[L"Components"][L"ComID_e0005"][L"UseTargetFolder"] = true;
    s_desktopContainerStore[L"Components"][L"ComID_e0005"][L"TargetFolder"] = folder;
    for (const auto& b : boxes)
        TessikDesktopContainer::CreateCom(b.id, L"NULL", false, 1);
    for (const auto& [window, runtime] : s_boxRuntimes)
        PaintNow(window->GetHwnd());

    BuildQuickPanelList();
    std::vector<std::pair<std::wstring, COLORREF>> rows;
    for (const auto& row : s_quickPanelRows)
        rows.emplace_back(row->id, row->colour);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::pair<std::wstring, COLORREF>>{{L"e0001", boxes[0].colour},
                                                                    {L"e0002", boxes[1].colour},
                                                                    {L"e0004", boxes[3].colour},
                                                                    {L"e0005", boxes[4].colour}}));

    std::vector<std::shared_ptr<KelmWindow>> made;
    for (const auto& [window, runtime] : s_boxRuntimes)
        made.push_back(window);
    for (const auto& window : made)
        RetireBoxWindow(window);
}
