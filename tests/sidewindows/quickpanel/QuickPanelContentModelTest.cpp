#include <algorithm>
#include <filesystem>
#include <utility>

#include "QuickPanelTestSupport.h"
#include "app/CommonHelpers.h"
#include "box/BoxPaintRules.h"
#include "box/icons/FolderSync.h"
#include "sidewindows/quickpanel/QuickPanelContentModel.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelPhysListing.h"
#include "sidewindows/quickpanel/QuickPanelSearch.h"

using namespace TessikQuickPanel;

namespace
{

class QuickPanelContentTest : public QuickPanelTest
{
protected:
    void SetUp() override
    {
        QuickPanelTest::SetUp();
        s_quickPanelDummy = std::make_shared<KelmWindow>();
        s_boxRuntimes[s_quickPanelWindow].id = L"QUICK_PANEL_ROOT";
        s_boxRuntimes[s_quickPanelDummy].id = L"QUICK_PANEL_PHYS";
    }
    void TearDown() override
    {
        QuickPanelTest::TearDown();
        s_quickPanelDummy.reset();
    }

    std::vector<IconRecord>& Main() { return s_boxIconManagers[s_quickPanelWindow].Records(); }
    std::vector<IconRecord>& Phys() { return s_boxIconManagers[s_quickPanelDummy].Records(); }

    void SelectHidden(const std::wstring& id, const std::wstring& folder)
    {
        s_quickPanelStore[L"TempList"][id][L"title"] = L"隐身收纳盒";
        s_quickPanelStore[L"TempList"][id][L"TargetFolder"] = folder;
        s_hiddenBoxes = ReadHiddenBoxRecords();
        SelectComponent(id, true);
    }
};

} // namespace

TEST_F(QuickPanelContentTest, AHiddenBoxLoadsItsEntriesUpToTheFirstGapInTheOneStoredForm)
{
    const std::wstring folder = temp.File(L"temp_h00001");
    std::filesystem::create_directories(folder);
    TempFolder::WriteBytes(folder + L"\\inside.txt", "x");
    KelmStorageProxy icons = s_quickPanelStore[L"TempIcons"][L"h00001"];
    icons[L"0"][L"path"] = L"C:\\\\data\\\\a.txt";
    icons[L"0"][L"alias"] = L"my\\\\alias";
    icons[L"1"][L"path"] = L"\\\\server\\share\\b.txt";
    icons[L"2"][L"path"] = L"D:\\";
    icons[L"4"][L"path"] = L"C:\\after-gap.txt";
    SelectHidden(L"h00001", folder);

    RefreshQuickPanelContent();
    ASSERT_TRUE(PumpUntil([] { return !PhysicalListingOnItsWay(); }, 10000));
    ASSERT_EQ(Main().size(), 3u);
    EXPECT_EQ(Main()[0].path, L"C:\\data\\a.txt");
    // An alias is text the user typed, kept with its backslashes doubled.
    EXPECT_EQ(Main()[0].alias, L"my\\alias");
    EXPECT_EQ(Main()[1].path, L"\\\\server\\share\\b.txt");
    EXPECT_EQ(Main()[2].path, L"D:\\");
    EXPECT_EQ(Main()[0].sectionText, L"映射区");
    EXPECT_EQ(Main()[1].sectionText, L"");
    // The folder's file is in the physical list, under its header.
    ASSERT_EQ(Phys().size(), 1u);
    EXPECT_EQ(std::filesystem::path(Phys()[0].path).filename().wstring(), L"inside.txt");
    EXPECT_EQ(Phys()[0].sectionText, L"物理区");
    EXPECT_EQ(Phys()[0].owner, s_quickPanelDummy);
}

// A hidden box's folder is listed off the UI thread, and its listing lands
// only in the section of the box it was taken for.
TEST_F(QuickPanelContentTest, AHiddenBoxsFolderIsListedOffTheUiThreadForTheBoxStillSelected)
{
    const std::wstring first = temp.File(L"temp_h00003");
    const std::wstring second = temp.File(L"temp_h00004");
    std::filesystem::create_directories(first);
    std::filesystem::create_directories(second);
    TempFolder::WriteBytes(first + L"\\first.txt", "1");
    TempFolder::WriteBytes(second + L"\\second.txt", "2");
    const auto landed = [] { return PumpUntil([] { return !PhysicalListingOnItsWay(); }, 10000); };

    SelectHidden(L"h00003", first);
    RefreshQuickPanelContent();
    EXPECT_TRUE(Phys().empty()) << "the folder was listed on the UI thread";
    // Another box selected before the listing is back: it is dropped.
    SelectHidden(L"h00004", second);
    ASSERT_TRUE(landed());
    EXPECT_TRUE(Phys().empty()) << "a listing of another box landed";

    RefreshQuickPanelContent();
    ASSERT_TRUE(landed());
    ASSERT_EQ(Phys().size(), 1u);
    EXPECT_EQ(std::filesystem::path(Phys()[0].path).filename().wstring(), L"second.txt");
    EXPECT_EQ(Phys()[0].owner, s_quickPanelDummy);
    EXPECT_EQ(Phys()[0].sectionText, L"物理区");
}

// A box's change while a result of thousands is shown moves into the list
// in a later turn of the UI thread: the list keeps what it showed until
// then.
TEST_F(QuickPanelContentTest, ABoxsChangeUnderALargeSearchResultMovesInOverTurns)
{
    std::vector<std::shared_ptr<KelmWindow>> boxes;
    for (const std::wstring id : {L"aaaaa", L"bbbbb", L"ccccc"}) {
        auto box = AddBox(id);
        KelmIconManager& own = s_boxIconManagers[box];
        own.SetOwnBox(box);
        for (int i = 0; i < 2000; ++i)
            own.Records().push_back(own.MakeRecord(temp.File(id + L"\\n" + std::to_wstring(i) + L".dat"), 0, 0,
                                                   L"bvn!NULL", false, L"", box, L"bvn!NULL"));
        own.Renumber();
        boxes.push_back(box);
    }
    const auto shown = [] { return std::as_const(s_boxIconManagers[s_quickPanelWindow]).Records().size(); };
    SelectComponent(L"aaaaa", false);
    RefreshQuickPanelContent();
    ASSERT_EQ(shown(), 2000u);
    s_boxRuntimes[s_quickPanelWindow].searchActive = true;
    s_boxRuntimes[s_quickPanelWindow].searchText = L"n";
    RefreshQuickPanelContent();
    ASSERT_TRUE(PumpUntil([] { return !SearchOnItsWay(); }, 20000));
    ASSERT_EQ(shown(), 6000u);
    EXPECT_EQ(Main()[0].sectionText, L"当前组件");

    s_boxIconManagers[boxes[1]].AddRecordForPath(temp.File(L"bbbbb\\nnew.dat"), 0, 0, L"bvn!NULL", false, L"", boxes[1],
                                                 L"bvn!NULL");
    EXPECT_FALSE(FollowBoxChange(boxes[1])) << "moved into the list within one turn";
    EXPECT_EQ(shown(), 6000u);
    ASSERT_TRUE(PumpUntil([&shown] { return shown() == 6001u; }, 20000));
    const std::vector<IconRecord>& records = std::as_const(s_boxIconManagers[s_quickPanelWindow]).Records();
    auto added = std::find_if(records.begin(), records.end(), [](const IconRecord& record) {
        return std::filesystem::path(record.path).filename().wstring() == L"nnew.dat";
    });
    ASSERT_NE(added, records.end());
    EXPECT_EQ(added->owner, boxes[1]);
    EXPECT_EQ(std::prev(added)->owner, boxes[1]);
}

// A hidden box's mapped entries are shown at once and their files' facts
// come with its folder's listing; facts that come back after another box
// was selected are dropped.
TEST_F(QuickPanelContentTest, AHiddenBoxsMappedEntriesReadTheirFactsOffTheUiThread)
{
    const std::wstring folder = temp.File(L"temp_h00005");
    const std::wstring mappedFolder = temp.File(L"mapped");
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(mappedFolder);
    TempFolder::WriteBytes(temp.File(L"mapped.txt"), "m");
    s_quickPanelStore[L"TempIcons"][L"h00005"][L"0"][L"path"] = mappedFolder;
    s_quickPanelStore[L"TempIcons"][L"h00005"][L"1"][L"path"] = temp.File(L"mapped.txt");
    const auto landed = [] { return PumpUntil([] { return !PhysicalListingOnItsWay(); }, 10000); };

    SelectHidden(L"h00005", folder);
    RefreshQuickPanelContent();
    ASSERT_EQ(Main().size(), 2u);
    EXPECT_FALSE(Main()[0].isDirectory) << "the facts were read on the UI thread";
    EXPECT_EQ(Main()[1].lastWriteTime, 0);
    SelectHidden(L"h00006", folder);
    ASSERT_TRUE(landed());
    EXPECT_FALSE(Main()[0].isDirectory) << "facts asked for another box landed";

    SelectComponent(L"h00005", true);
    RefreshQuickPanelContent();
    ASSERT_TRUE(landed());
    ASSERT_EQ(Main().size(), 2u);
    EXPECT_TRUE(Main()[0].isDirectory);
    EXPECT_NE(Main()[1].lastWriteTime, 0);
}

// The search reads a hidden box's folder off the UI thread too; what comes
// back after the search text changed is dropped, and the list keeps what it
// showed until the new result is whole.
TEST_F(QuickPanelContentTest, ASearchReadsAHiddenBoxsFolderOffTheUiThreadForTheTextStillTyped)
{
    const std::wstring folder = temp.File(L"temp_h00005");
    std::filesystem::create_directories(folder);
    for (const wchar_t* name : {L"alpha.txt", L"apple.txt", L"beta.txt"})
        TempFolder::WriteBytes(folder + L"\\" + name, "1");
    SelectHidden(L"h00005", folder);
    BoxRuntime& panel = s_boxRuntimes[s_quickPanelWindow];
    const auto names = [this] {
        std::vector<std::wstring> shown;
        for (const IconRecord& record : Main())
            shown.push_back(std::filesystem::path(record.path).filename().wstring());
        return shown;
    };

    panel.searchActive = true;
    panel.searchText = L"a";
    RefreshQuickPanelContent();
    EXPECT_TRUE(Main().empty()) << "the folder was read on the UI thread";
    // The text changes before the folder's matches are back: they are dropped.
    panel.searchText = L"be";
    ASSERT_TRUE(PumpUntil([] { return !SearchOnItsWay(); }, 10000));
    EXPECT_TRUE(Main().empty()) << "matches of an older search text landed";

    RefreshQuickPanelContent();
    ASSERT_TRUE(PumpUntil([] { return !SearchOnItsWay(); }, 10000));
    ASSERT_EQ(names(), (std::vector<std::wstring>{L"beta.txt"}));
    EXPECT_EQ(Main()[0].sectionText, L"当前组件 (物理区)");
    EXPECT_EQ(Main()[0].owner, s_quickPanelDummy);

    panel.searchText = L"*.txt";
    RefreshQuickPanelContent();
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"beta.txt"})) << "the list emptied before the result was whole";
    ASSERT_TRUE(PumpUntil([] { return !SearchOnItsWay(); }, 10000));
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"alpha.txt", L"apple.txt", L"beta.txt"}));
}

TEST_F(QuickPanelContentTest, ADesktopBoxShowsItsRecordsUnderItsTitle)
{
    auto box = AddBox(L"aaaaa");
    const std::wstring file = temp.File(L"one.txt");
    TempFolder::WriteBytes(file, "1");
    s_boxIconManagers[box].AddRecordForPath(file, 0.0f, 0.0f, L"bvn!NULL", false, L"", box, L"bvn!NULL");
    SelectComponent(L"aaaaa", false);
    RefreshQuickPanelContent();
    ASSERT_EQ(Main().size(), 1u);
    EXPECT_EQ(Main()[0].owner, box);
    EXPECT_EQ(Main()[0].sectionText, L"Box aaaaa");
    // No selection: nothing.
    SelectComponent(L"", false);
    RefreshQuickPanelContent();
    EXPECT_TRUE(Main().empty());
}

TEST_F(QuickPanelContentTest, SearchListsTheCurrentComponentFirstThenTheOthers)
{
    auto current = AddBox(L"aaaaa");
    auto other = AddBox(L"bbbbb");
    s_boxRuntimes[other].title = L"";
    for (const wchar_t* name : {L"Report.docx", L"prep.txt", L"notes.md"}) {
        const std::wstring file = temp.File(name);
        TempFolder::WriteBytes(file, "1");
        s_boxIconManagers[current].AddRecordForPath(file, 0, 0, L"bvn!NULL", false, L"", current, L"bvn!NULL");
    }
    const std::wstring otherFile = temp.File(L"sub\\repo.txt");
    std::filesystem::create_directories(temp.File(L"sub"));
    TempFolder::WriteBytes(otherFile, "1");
    s_boxIconManagers[other].AddRecordForPath(otherFile, 0, 0, L"bvn!NULL", false, L"", other, L"bvn!NULL");
    SelectComponent(L"aaaaa", false);
    s_boxRuntimes[s_quickPanelWindow].searchActive = true;
    s_boxRuntimes[s_quickPanelWindow].searchText = L"rep";

    RefreshQuickPanelContent();
    ASSERT_EQ(Main().size(), 3u);
    EXPECT_EQ(EntrySearchName(Main()[0].path, Main()[0].alias), L"Report.docx");
    EXPECT_EQ(Main()[0].sectionText, L"当前组件");
    EXPECT_EQ(EntrySearchName(Main()[1].path, Main()[1].alias), L"prep.txt");
    EXPECT_EQ(Main()[2].owner, other);
    EXPECT_EQ(Main()[2].sectionText, L"其他组件");

    s_boxRuntimes[s_quickPanelWindow].searchText = L"*.txt";
    RefreshQuickPanelContent();
    EXPECT_EQ(Main().size(), 2u);
}

// A file deleted from a folder box's folder and a new one reach the open
// panel with the refresh that brings them into the box; the file still
// shown keeps its selection and the scroll stays. A search follows too.
TEST_F(QuickPanelContentTest, TheFolderRefreshReachesThePanelsViewOfTheBox)
{
    const std::wstring folder = temp.File(L"box");
    std::filesystem::create_directories(folder);
    TempFolder::WriteBytes(folder + L"\\a.txt", "a");
    TempFolder::WriteBytes(folder + L"\\b.txt", "b");
    auto box = AddBox(L"aaaaa", L"#F2F2F2", false, true);
    s_boxRuntimes[box].TargetFolder = folder;
    s_boxIconManagers[box].SetOwnBox(box);
    SyncBoxFolder(s_boxIconManagers[box], folder, true);
    SelectComponent(L"aaaaa", false);
    RefreshQuickPanelContent();
    // The panel's paint makes the panel its list's own box.
    s_boxIconManagers[s_quickPanelWindow].SetOwnBox(s_quickPanelWindow);
    auto names = [this] {
        std::vector<std::wstring> shown;
        for (const IconRecord& record : Main())
            shown.push_back(std::filesystem::path(record.path).filename().wstring());
        return shown;
    };
    ASSERT_EQ(names(), (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    BoxRuntime& panel = s_boxRuntimes[s_quickPanelWindow];
    panel.selection = {1};
    panel.scrollOffset = 40;

    DeleteFileW((folder + L"\\a.txt").c_str());
    TempFolder::WriteBytes(folder + L"\\c.txt", "c");
    // The refresh lists on a worker: the panel follows once the listing is
    // back.
    const auto refreshUntil = [&](const std::vector<std::wstring>& wanted) {
        return PumpUntil(
            [&] {
                RefreshFolderBoxes();
                return names() == wanted;
            },
            10000);
    };
    EXPECT_TRUE(refreshUntil({L"b.txt", L"c.txt"}));
    EXPECT_EQ(panel.selection, (std::set<int32_t>{0})) << "b.txt stays selected";
    EXPECT_EQ(panel.scrollOffset, 40);
    // Following a box that did not change leaves the list as it is.
    EXPECT_FALSE(FollowBoxChange(box));
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"b.txt", L"c.txt"}));

    panel.searchActive = true;
    panel.searchText = L"d";
    RefreshQuickPanelContent();
    EXPECT_TRUE(Main().empty());
    TempFolder::WriteBytes(folder + L"\\d.txt", "d");
    EXPECT_TRUE(refreshUntil({L"d.txt"}));
    ForgetFolderWatches();
}

TEST(QuickPanelSearchNames, NamesAndPatterns)
{
    EXPECT_EQ(EntrySearchName(L"C:\\a\\b.txt", L"bvn!NULL"), L"b.txt");
    EXPECT_EQ(EntrySearchName(L"C:\\a\\b.txt", L"x/Alias"), L"Alias");
    EXPECT_EQ(BoxPaintRules::SearchPattern(L"rep"), L"*rep*");
    EXPECT_EQ(BoxPaintRules::SearchPattern(L"*.txt"), L"*.txt");
    EXPECT_EQ(BoxPaintRules::SearchPattern(L"a?c"), L"a?c");
}

TEST_F(QuickPanelContentTest, HiddenEntriesAreWrittenOnlyWhenTheyChange)
{
    const std::wstring file = temp.File(L"mapped.txt");
    TempFolder::WriteBytes(file, "1");
    s_quickPanelStore[L"TempIcons"][L"h00002"][L"0"][L"path"] = file;
    SelectHidden(L"h00002", L"bvn!NULL");
    RefreshQuickPanelContent();
    ASSERT_EQ(Main().size(), 1u);
    const std::wstring storeFile = temp.File(L"QuickPanelCom.kelm");

    // The file is written off the UI thread.
    const auto save = [](bool force) {
        SaveHiddenBoxEntries(force);
        KelmStorage::FinishBackgroundSaves();
    };
    save(false); // a new selection writes once
    ASSERT_TRUE(std::filesystem::exists(storeFile));
    std::filesystem::remove(storeFile);
    save(false);
    save(false);
    EXPECT_FALSE(std::filesystem::exists(storeFile)) << "idle paints must not rewrite the store";

    save(true);
    ASSERT_TRUE(std::filesystem::exists(storeFile));
    KelmStorage reread;
    reread.Load(storeFile);
    // The file form doubles backslashes; readers take them back.
    EXPECT_EQ(NormalizeStoredPath(reread[L"TempIcons"][L"h00002"][L"0"][L"path"].Get<std::wstring>(L"")), file);
    EXPECT_EQ(reread[L"TempIcons"][L"h00002"][L"0"][L"alias"].Get<std::wstring>(L""), L"bvn!NULL");

    // While a search is shown the list holds its matches, other boxes'
    // files among them: they never become the hidden box's entries.
    auto other = AddBox(L"bbbbb");
    const std::wstring otherFile = temp.File(L"other.txt");
    TempFolder::WriteBytes(otherFile, "2");
    s_boxIconManagers[other].AddRecordForPath(otherFile, 0, 0, L"bvn!NULL", false, L"", other, L"bvn!NULL");
    BoxRuntime& panel = s_boxRuntimes[s_quickPanelWindow];
    panel.searchActive = true;
    panel.searchText = L"*";
    RefreshQuickPanelContent();
    ASSERT_TRUE(PumpUntil([] { return !SearchOnItsWay(); }, 10000));
    ASSERT_EQ(Main().size(), 2u);
    save(true);
    KelmStorage after;
    after.Load(storeFile);
    EXPECT_EQ(NormalizeStoredPath(after[L"TempIcons"][L"h00002"][L"0"][L"path"].Get<std::wstring>(L"")), file);
    EXPECT_EQ(after[L"TempIcons"][L"h00002"][L"1"][L"path"].Get<std::wstring>(L""), L"")
        << "search matches were stored as the box's entries";
}
