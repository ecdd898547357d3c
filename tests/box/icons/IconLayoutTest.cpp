#include <gtest/gtest.h>

#include "IconTestSupport.h"

namespace
{

// A record that has been laid out before: placed, not new.
void AddPlaced(KelmIconManager& manager, const std::wstring& path, const std::wstring& section = L"",
               BoxWindowPtr owner = nullptr)
{
    manager.AddRecordForPath(path, 1.0f, 1.0f, L"bvn!NULL", false, section, std::move(owner), L"bvn!NULL");
}

class IconLayoutTest : public IconTest
{
protected:
    void SetUp() override
    {
        IconTest::SetUp();
        box = AddBox(L"lay01");
        manager = KelmIconManager(48, 12, 0);
        manager.SetOwnBox(box);
    }
    BoxRuntime& Runtime() { return s_boxRuntimes[box]; }
    const IconRecord& At(size_t i) { return manager.Records()[i]; }

    BoxWindowPtr box;
    KelmIconManager manager;
};

} // namespace

TEST_F(IconLayoutTest, NarrowViewHasOneCentredColumn)
{
    AddPlaced(manager, L"a");
    AddPlaced(manager, L"b");
    manager.Layout(100); // step 60, 1 column, offset (100 - 48) / 2
    EXPECT_EQ(At(0).targetX, 26.0f);
    EXPECT_EQ(At(0).targetY, 0.0f);
    EXPECT_EQ(At(1).targetX, 26.0f);
    EXPECT_EQ(At(1).targetY, 48.0f + 12 + 15);

    manager.Layout(30); // narrower than a step: still one column
    EXPECT_EQ(At(0).targetX, -9.0f);
}

TEST_F(IconLayoutTest, SpacingModesAndSideMargin)
{
    for (int i = 0; i < 5; ++i)
        AddPlaced(manager, L"f" + std::to_wstring(i));
    Runtime().IconSpacingMode = 2; // column gap 48, row space 72
    manager.SetPadding(10, 5);
    manager.Layout(320); // available 300, step 96: 3 columns, offset (300 - 240) / 2
    EXPECT_EQ(At(0).targetX, 30.0f + 10);
    EXPECT_EQ(At(1).targetX, 30.0f + 10 + 96);
    EXPECT_EQ(At(3).targetX, 40.0f);
    EXPECT_EQ(At(3).targetY, 5.0f + 48 + 72);

    Runtime().IsListView = true;
    Runtime().IconSpacingMode = 1;
    manager.Layout(320);
    EXPECT_EQ(At(4).targetX, 10.0f);
    EXPECT_EQ(At(4).targetY, 5.0f + 4 * 44);
}

TEST_F(IconLayoutTest, TextFilesTakeTwoCellsInTheGrid)
{
    // 4 columns of step 60 in 240 px.
    for (const wchar_t* path : {L"a", L"b", L"c", L"notes.TXT", L"d"})
        AddPlaced(manager, path);
    manager.Layout(240);
    const float row = 48 + 12 + 15;
    EXPECT_EQ(At(3).targetY, row); // wrapped from column 3
    EXPECT_EQ(At(3).targetX, 6.0f);
    EXPECT_EQ(At(4).targetX, 6.0f + 120);
    EXPECT_EQ(At(4).targetY, row);

    Runtime().IsListView = true;
    manager.Layout(240);
    EXPECT_EQ(At(4).targetY, 4 * 32.0f);
}

TEST_F(IconLayoutTest, TextFileInAOneColumnGridTakesItsRowAlone)
{
    AddPlaced(manager, L"a.txt");
    AddPlaced(manager, L"b");
    manager.Layout(100);
    EXPECT_EQ(At(1).targetY, 75.0f);
}

TEST_F(IconLayoutTest, SectionAndOwnerHeaders)
{
    BoxWindowPtr other = AddBox(L"lay02");
    AddPlaced(manager, L"a");
    AddPlaced(manager, L"b", L"Section");
    AddPlaced(manager, L"c", L"", other);
    AddPlaced(manager, L"d", L"", other);
    manager.Layout(240);
    const float row = 75;
    EXPECT_EQ(At(0).targetY, 0.0f);                // own box: no header
    EXPECT_EQ(At(1).targetY, row + 35);            // section closes the row and adds a header
    EXPECT_EQ(At(2).targetY, row + 35 + row + 35); // other owner: new row and a header
    EXPECT_EQ(At(3).targetY, At(2).targetY);
    EXPECT_EQ(At(3).targetX, At(2).targetX + 60);
}

TEST_F(IconLayoutTest, NewRecordsAppearRowByRowFromBelow)
{
    for (int i = 0; i < 4; ++i)
        manager.AddRecordForPath(L"n" + std::to_wstring(i), 0, 0, L"bvn!NULL", false, L"", nullptr, L"bvn!NULL");
    manager.Layout(100);
    const IconRecord& fourth = At(3);
    EXPECT_FLOAT_EQ(fourth.appearDelay, 0.15f);
    EXPECT_EQ(fourth.y, fourth.targetY + 40);
    EXPECT_TRUE(fourth.appearPending);
    EXPECT_FALSE(fourth.isNew);
    EXPECT_FALSE(fourth.settled);
    EXPECT_EQ(fourth.opacity, 0.0f);
}

TEST_F(IconLayoutTest, MotionKindFollowsTheDistanceAndRepeatsChangeNothing)
{
    AddPlaced(manager, L"a");
    manager.Records()[0].x = 26;
    manager.Records()[0].y = 1; // 1 px away from its cell
    manager.Layout(100);
    EXPECT_TRUE(At(0).smallMove);
    manager.Records()[0].settled = true;
    manager.Records()[0].smallMove = false;
    manager.Layout(100);
    EXPECT_TRUE(At(0).settled);
    EXPECT_FALSE(At(0).smallMove);

    manager.SetPadding(0, 200); // 199 px down: far
    manager.Layout(100);
    EXPECT_TRUE(At(0).farMove);
    EXPECT_EQ(At(0).targetY, 200.0f);
    manager.Records()[0].y = 200;
    manager.SetPadding(0, 204); // 4 px: near
    manager.Layout(100);
    EXPECT_TRUE(At(0).nearMove);
}

TEST_F(IconLayoutTest, SearchHidesMissesAndMatchesAliases)
{
    AddPlaced(manager, L"C:\\x\\report.docx");
    AddPlaced(manager, L"C:\\x\\other.txt", L"Head");
    manager.AddRecordForPath(L"C:\\x\\zzz.bin", 1, 1, L"Report alias", false, L"", nullptr, L"bvn!NULL");
    Runtime().searchActive = true;
    Runtime().searchText = L"rep*";
    manager.Layout(100);
    EXPECT_EQ(At(0).targetY, 0.0f);
    EXPECT_EQ(At(1).targetX, -100.0f);
    EXPECT_EQ(At(1).x, -100.0f);
    EXPECT_EQ(At(1).opacity, 0.0f);
    EXPECT_EQ(At(2).targetY, 75.0f + 35); // the hidden record's header still counts

    Runtime().searchActive = false;
    manager.Layout(100);
    EXPECT_EQ(At(1).opacity, 1.0f);
    EXPECT_EQ(At(1).targetY, 75.0f + 35);

    Runtime().searchActive = true;
    manager.SetOverlayMode(true); // the quick panel filters by itself
    manager.Layout(100);
    EXPECT_EQ(At(1).opacity, 1.0f);
}

TEST_F(IconLayoutTest, FiveSortOrders)
{
    BoxWindowPtr other = AddBox(L"lay03");
    struct Item {
        const wchar_t* path;
        int64_t time;
        BoxWindowPtr owner;
    };
    const Item items[] = {{L"C:\\b.txt", 30, nullptr},
                          {L"C:\\A.doc", 10, nullptr},
                          {L"C:\\z\\other.bin", 5, other},
                          {L"C:\\c", 20, nullptr},
                          {L"C:\\ab.txt", 20, nullptr}};
    auto fill = [&] {
        manager.Records().clear();
        for (const Item& item : items) {
            AddPlaced(manager, item.path, L"", item.owner);
            manager.Records().back().lastWriteTime = item.time;
        }
    };
    auto order = [&] {
        std::wstring names;
        for (const IconRecord& record : manager.Records())
            names += record.sortName + L" ";
        return names;
    };
    const bool ownFirst = std::less<KelmWindow*>()(box.get(), other.get());
    auto grouped = [&](const std::wstring& own) { return ownFirst ? own + L"other.bin " : L"other.bin " + own; };

    fill();
    manager.Layout(300);
    EXPECT_EQ(order(), L"b.txt a.doc other.bin c ab.txt "); // stored order, no grouping

    Runtime().SortMode = 1;
    fill();
    manager.Layout(300);
    EXPECT_EQ(order(), grouped(L"a.doc ab.txt b.txt c "));

    Runtime().SortMode = 2;
    fill();
    manager.Layout(300);
    EXPECT_EQ(order(), grouped(L"c b.txt ab.txt a.doc "));

    Runtime().SortMode = 3; // c and ab.txt share a time: stored order kept
    fill();
    manager.Layout(300);
    EXPECT_EQ(order(), grouped(L"a.doc c ab.txt b.txt "));

    Runtime().SortMode = 4;
    fill();
    manager.Layout(300);
    EXPECT_EQ(order(), grouped(L"b.txt c ab.txt a.doc "));
    for (size_t i = 0; i < manager.Records().size(); ++i)
        EXPECT_EQ(At(i).id, i);
}
