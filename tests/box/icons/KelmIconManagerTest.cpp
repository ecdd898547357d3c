#include <gtest/gtest.h>

#include "IconTestSupport.h"

namespace
{

std::vector<std::wstring> Paths(const KelmIconManager& manager)
{
    std::vector<std::wstring> paths;
    for (const IconRecord& record : manager.Records())
        paths.push_back(record.path);
    return paths;
}

void AddPlain(KelmIconManager& manager, const std::wstring& path, float x = 0, float y = 0)
{
    manager.AddRecordForPath(path, x, y, L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
}

bool IdsAreIndices(const KelmIconManager& manager)
{
    for (size_t i = 0; i < manager.Records().size(); ++i) {
        if (manager.Records()[i].id != i)
            return false;
    }
    return true;
}

} // namespace

TEST(IconSizeLevels, ClampAndMapEveryLevel)
{
    const std::pair<int, int> cases[] = {{-5, 32}, {0, 32}, {1, 32}, {2, 40}, {3, 48},
                                         {4, 54},  {5, 64}, {6, 80}, {7, 96}, {9, 96}};
    for (const auto& [level, edge] : cases)
        EXPECT_EQ(GetIconSizeForLevel(level), edge) << level;
}

TEST(IconSortName, LowerFileNamePartOfAliasOrPath)
{
    EXPECT_EQ(IconSortName(L"Report", L"C:\\a\\b.TXT"), L"report");
    EXPECT_EQ(IconSortName(L"bvn!NULL", L"C:\\a\\b.TXT"), L"b.txt");
    EXPECT_EQ(IconSortName(L"bvn!NULL", L"NoSlash.Doc"), L"noslash.doc");
    EXPECT_EQ(IconSortName(L"bvn!NULL", L"C:/x/Y.md"), L"y.md");
    EXPECT_EQ(IconSortName(L"bvn!NULL", L"C:\\folder\\"), L"");
}

TEST_F(IconTest, DuplicatePathsFollowTheBoxKind)
{
    BoxWindowPtr mapping = AddBox(L"aaaa1");
    KelmIconManager& plain = s_boxIconManagers[mapping];
    AddPlain(plain, L"C:\\x\\a.txt");
    AddPlain(plain, L"C:\\x\\a.txt");
    EXPECT_EQ(plain.Records().size(), 2u);

    BoxWindowPtr folderBox = AddBox(L"aaaa2", L"C:\\x");
    KelmIconManager& mirrored = s_boxIconManagers[folderBox];
    AddPlain(mirrored, L"C:\\x\\a.txt");
    AddPlain(mirrored, L"C:\\x\\a.txt");
    EXPECT_EQ(mirrored.Records().size(), 1u);

    BoxWindowPtr panel = MakeTestBox();
    s_boxRuntimes[panel].id = L"QUICK_PANEL_ROOT";
    KelmIconManager panelView(48, 12, 100);
    panelView.SetOwnBox(panel);
    AddPlain(panelView, L"C:\\x\\a.txt");
    AddPlain(panelView, L"C:\\x\\a.txt");
    EXPECT_EQ(panelView.Records().size(), 1u);
}

TEST_F(IconTest, NewRecordsFadeInOnlyAtTheOrigin)
{
    KelmIconManager manager(48, 12, 70);
    AddPlain(manager, L"C:\\missing\\a.txt", 0, 0);
    AddPlain(manager, L"C:\\missing\\b.txt", 0, 5);
    const IconRecord& fresh = manager.Records()[0];
    EXPECT_TRUE(fresh.isNew);
    EXPECT_EQ(fresh.opacity, 0.0f);
    EXPECT_EQ(fresh.lastWriteTime, 0); // a missing file is still added
    EXPECT_EQ(fresh.edge, 48);
    EXPECT_EQ(fresh.alias, L"bvn!NULL");
    const IconRecord& placed = manager.Records()[1];
    EXPECT_FALSE(placed.isNew);
    EXPECT_EQ(placed.opacity, 1.0f);
    EXPECT_EQ(placed.id, 1u);
}

TEST_F(IconTest, RecordsReadFileFactsFromDisk)
{
    TempFolder::WriteBytes(temp.File(L"f.txt"), "x");
    CreateDirectoryW(temp.File(L"sub").c_str(), nullptr);
    KelmIconManager manager(48, 12, 70);
    AddPlain(manager, temp.File(L"f.txt"));
    AddPlain(manager, temp.File(L"sub"));
    EXPECT_GT(manager.Records()[0].lastWriteTime, 0);
    EXPECT_FALSE(manager.Records()[0].isDirectory);
    EXPECT_TRUE(manager.Records()[1].isDirectory);
}

TEST_F(IconTest, InsertOnlyWithinBoundsAndRenumber)
{
    KelmIconManager manager(48, 12, 70);
    AddPlain(manager, L"a");
    AddPlain(manager, L"b");
    manager.AddRecordForEntry(2, L"end", 0, 0, L"bvn!NULL", false, L"", nullptr, false, L"bvn!NULL");
    manager.AddRecordForEntry(4, L"past", 0, 0, L"bvn!NULL", false, L"", nullptr, false, L"bvn!NULL");
    manager.AddRecordForEntry(-1, L"before", 0, 0, L"bvn!NULL", false, L"", nullptr, false, L"bvn!NULL");
    manager.AddRecordForEntry(0, L"first", 0, 0, L"bvn!NULL", false, L"", nullptr, false, L"bvn!NULL");
    EXPECT_EQ(Paths(manager), (std::vector<std::wstring>{L"first", L"a", L"b", L"end"}));
    EXPECT_TRUE(IdsAreIndices(manager));
}

TEST_F(IconTest, RemovalsKeepOrderAndRenumber)
{
    KelmIconManager manager(48, 12, 70);
    for (const wchar_t* path : {L"a", L"b", L"c", L"d", L"e"})
        AddPlain(manager, path);
    manager.RemoveById(2);
    EXPECT_EQ(Paths(manager), (std::vector<std::wstring>{L"a", L"b", L"d", L"e"}));
    EXPECT_TRUE(IdsAreIndices(manager));
    manager.RemoveById(17);
    EXPECT_EQ(manager.Records().size(), 4u);

    AddPlain(manager, L"a");
    manager.RemoveByPath(L"a");
    EXPECT_EQ(Paths(manager), (std::vector<std::wstring>{L"b", L"d", L"e"}));

    manager.Records()[1].merged = true;
    manager.RemoveMergedRecords();
    EXPECT_EQ(Paths(manager), (std::vector<std::wstring>{L"b", L"e"}));
    EXPECT_TRUE(IdsAreIndices(manager));
    EXPECT_EQ(manager.FindById(1)->path, L"e");
    EXPECT_EQ(manager.FindById(2), nullptr);
}

TEST_F(IconTest, AliasByPathRenamesTheSortKeyNotThePath)
{
    KelmIconManager manager(48, 12, 70);
    AddPlain(manager, L"C:\\x\\b.TXT");
    manager.SetAliasByPath(L"C:\\x\\b.TXT", L"Zeta");
    EXPECT_EQ(manager.Records()[0].sortName, L"zeta");
    EXPECT_EQ(manager.Records()[0].path, L"C:\\x\\b.TXT");
    manager.SetAliasByPath(L"C:\\x\\b.TXT", L"bvn!NULL");
    EXPECT_EQ(manager.Records()[0].sortName, L"b.txt");
    manager.SetAliasByPath(L"nowhere", L"X"); // nothing happens
}

TEST_F(IconTest, SetIconSizeReachesEveryRecord)
{
    KelmIconManager manager(48, 12, 70);
    AddPlain(manager, L"a");
    manager.SetIconSize(80);
    AddPlain(manager, L"b");
    EXPECT_EQ(manager.GetIconSize(), 80);
    EXPECT_EQ(manager.Records()[0].edge, 80);
    EXPECT_EQ(manager.Records()[1].edge, 80);
}

// The selection is a set of ids; it must keep naming the same files when
// ids shift, never the files that moved into the old places.
TEST_F(IconTest, SelectionFollowsItsRecordsWhenIdsShift)
{
    BoxWindowPtr box = AddBox(L"sel01");
    KelmIconManager& manager = s_boxIconManagers[box];
    for (const wchar_t* path : {L"a", L"b", L"c", L"d"})
        AddPlain(manager, path);
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.multiSelect = true;
    runtime.selection = {1, 3}; // b and d

    manager.RemoveById(0); // b, d are now 0 and 2
    EXPECT_EQ(runtime.selection, (std::set<int32_t>{0, 2}));

    manager.AddRecordForEntry(0, L"new", 0, 0, L"bvn!NULL", false, L"", nullptr, false, L"bvn!NULL");
    EXPECT_EQ(runtime.selection, (std::set<int32_t>{1, 3}));

    manager.RemoveByPath(L"d"); // a removed record leaves the selection
    EXPECT_EQ(runtime.selection, (std::set<int32_t>{1}));

    runtime.SortMode = 2; // name descending: new, c, b
    manager.Layout(300);
    EXPECT_EQ(Paths(manager), (std::vector<std::wstring>{L"new", L"c", L"b"}));
    EXPECT_EQ(runtime.selection, (std::set<int32_t>{2}));
}

// A batch lands as the same inserts one after another would: each place
// counts in the list as the entries before it left it, a place past the
// end goes last, a folder box takes each path once (within the batch too),
// and the selection follows its records.
TEST_F(IconTest, ABatchInsertsAsOneInsertAfterAnother)
{
    BoxWindowPtr box = AddBox(L"bat01", L"C:\\x");
    KelmIconManager& manager = s_boxIconManagers[box];
    for (const wchar_t* path : {L"C:\\x\\a", L"C:\\x\\b", L"C:\\x\\c"})
        AddPlain(manager, path);
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.multiSelect = true;
    runtime.selection = {1}; // b

    auto entry = [](int index, const wchar_t* path) {
        KelmIconManager::NewEntry e;
        e.index = index;
        e.path = path;
        return e;
    };
    const size_t added =
        manager.AddRecordsForEntries({entry(1, L"C:\\x\\n1"), entry(2, L"C:\\x\\n2"), entry(3, L"C:\\x\\a"),
                                      entry(4, L"C:\\x\\n2"), entry(5, L"C:\\x\\n3"), entry(40, L"C:\\x\\n4")});
    EXPECT_EQ(added, 4u);
    EXPECT_EQ(Paths(manager), (std::vector<std::wstring>{L"C:\\x\\a", L"C:\\x\\n1", L"C:\\x\\n2", L"C:\\x\\b",
                                                         L"C:\\x\\c", L"C:\\x\\n3", L"C:\\x\\n4"}));
    EXPECT_TRUE(IdsAreIndices(manager));
    EXPECT_EQ(runtime.selection, (std::set<int32_t>{3}));
}

TEST_F(IconTest, SelectionOfTheSearchViewIsLeftToTheSearchView)
{
    BoxWindowPtr box = AddBox(L"sel02");
    KelmIconManager& main = s_boxIconManagers[box];
    KelmIconManager& search = s_boxSearchManagers[box];
    search.SetOwnBox(box);
    for (const wchar_t* path : {L"a", L"b", L"c"})
        AddPlain(main, path);
    AddPlain(search, L"c");
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.searchActive = true;
    runtime.searchText = L"c";
    runtime.appliedSearchText = L"*c*"; // the search view is on screen
    runtime.selection = {0};            // c in the search view

    main.RemoveById(0);
    EXPECT_EQ(runtime.selection, (std::set<int32_t>{0}));
    search.RemoveById(0);
    EXPECT_TRUE(runtime.selection.empty());
}
