// Where dropped files go: placement among the records, numbered names,
// refused sources and the same-name answers, without touching the disk.
#include <gtest/gtest.h>

#include <set>

#include "box/fileops/DropPlan.h"

using namespace DropPlan;

namespace
{

struct FakeDisk {
    std::set<std::wstring> items;
    Disk Make()
    {
        return Disk{[this](const std::wstring& p) { return items.count(p) > 0; },
                    [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }};
    }
};

std::vector<std::wstring> Destinations(const Plan& plan)
{
    std::vector<std::wstring> out;
    for (const Item& item : plan.items)
        out.push_back(item.destination);
    return out;
}

} // namespace

TEST(DropPlacement, InsertsBesideTheNearestRecord)
{
    const std::vector<Point> records{{20, 70}, {100, 70}, {180, 70}};
    struct Case {
        Point drop;
        int index;
        int nearest;
    } cases[] = {
        {{90, 80}, 1, 1},   // left of the middle icon's centre: before it
        {{130, 80}, 2, 1},  // right of its centre: after it
        {{124, 70}, 2, 1},  // exactly at the centre counts as right
        {{500, 500}, 3, 2}, // far right: after the last
        {{60, 70}, 1, 0},   // equal distance to the first two: the first wins
    };
    for (const Case& c : cases) {
        const Placement p = PlaceAmong(records, 48, c.drop);
        EXPECT_EQ(p.insertIndex, c.index) << c.drop.x << "," << c.drop.y;
        EXPECT_EQ(p.nearest, c.nearest) << c.drop.x << "," << c.drop.y;
    }
    const Placement empty = PlaceAmong({}, 48, {10, 10});
    EXPECT_EQ(empty.insertIndex, 0);
    EXPECT_EQ(empty.nearest, -1);
}

TEST(DropPlanNames, NumberedNamesKeepTheExtension)
{
    EXPECT_EQ(NumberedName(L"a.txt", 1), L"a (1).txt");
    EXPECT_EQ(NumberedName(L"archive.tar.gz", 2), L"archive.tar (2).gz");
    EXPECT_EQ(NumberedName(L"photos", 3), L"photos (3)");
    EXPECT_EQ(NumberedName(L".gitignore", 1), L".gitignore (1)");
}

TEST(DropPlanNames, TheFolderAndItsAncestorsAreRecognised)
{
    EXPECT_TRUE(IsSameOrAncestor(L"D:\\box", L"d:\\BOX\\"));
    EXPECT_TRUE(IsSameOrAncestor(L"D:\\", L"D:\\box"));
    EXPECT_TRUE(IsSameOrAncestor(L"D:/data", L"D:\\data\\box"));
    EXPECT_FALSE(IsSameOrAncestor(L"D:\\bo", L"D:\\box"));
    EXPECT_FALSE(IsSameOrAncestor(L"D:\\box\\a.txt", L"D:\\box"));
    EXPECT_FALSE(IsSameOrAncestor(L"", L"D:\\box"));
    // A folder as the store keeps it, with every backslash doubled.
    EXPECT_TRUE(IsSameOrAncestor(L"C:\\Users\\me\\a1b2c", L"C:\\\\Users\\\\me\\\\a1b2c"));
    EXPECT_TRUE(IsSameOrAncestor(L"C:\\Users", L"C:\\\\Users\\\\me\\\\a1b2c"));
    EXPECT_TRUE(IsSameOrAncestor(L"\\\\nas\\share", L"\\\\\\\\nas\\\\share\\\\box"));
    EXPECT_FALSE(IsSameOrAncestor(L"\\\\nas\\other", L"\\\\\\\\nas\\\\share\\\\box"));
}

TEST(DropPlanInto, NoConflictAsksNothingAndKeepsOrder)
{
    FakeDisk disk{{L"C:\\in\\a.txt", L"C:\\in\\b"}};
    int asked = 0;
    const Plan plan = PlanInto({L"C:\\in\\a.txt", L"C:\\in\\missing.txt", L"C:\\in\\b"}, L"D:\\box", disk.Make(),
                               [&] { return ++asked, 0; });
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(Destinations(plan), (std::vector<std::wstring>{L"D:\\box\\a.txt", L"D:\\box\\b"}));
    ASSERT_EQ(plan.items.size(), 2u);
    EXPECT_EQ(plan.items[1].sourceIndex, 2) << "a missing source still counts for the insert index";
}

TEST(DropPlanInto, AnswersApplyToEveryConflictOfTheDrop)
{
    FakeDisk disk{{L"C:\\in\\a.txt", L"C:\\in\\b.txt", L"D:\\box\\a.txt", L"D:\\box\\b.txt", L"D:\\box\\a (1).txt"}};
    int asked = 0;
    const Plan copies =
        PlanInto({L"C:\\in\\a.txt", L"C:\\in\\b.txt"}, L"D:\\box", disk.Make(), [&] { return ++asked, 0; });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Destinations(copies), (std::vector<std::wstring>{L"D:\\box\\a (2).txt", L"D:\\box\\b (1).txt"}));
    EXPECT_FALSE(copies.items[0].replace);

    const Plan overwrite = PlanInto({L"C:\\in\\a.txt", L"C:\\in\\b.txt"}, L"D:\\box", disk.Make(), [] { return 1; });
    EXPECT_EQ(Destinations(overwrite), (std::vector<std::wstring>{L"D:\\box\\a.txt", L"D:\\box\\b.txt"}));
    EXPECT_TRUE(overwrite.items[0].replace);
    EXPECT_EQ(overwrite.choice, 1);

    const Plan cancelled = PlanInto({L"C:\\in\\b.txt", L"C:\\in\\a.txt"}, L"D:\\box", disk.Make(), [] { return -1; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_TRUE(cancelled.items.empty());
}

TEST(DropPlanInto, TwoSourcesOfOneNameNeverShareADestination)
{
    FakeDisk disk{{L"C:\\one\\a.txt", L"C:\\two\\A.TXT"}};
    for (int answer : {0, 1}) {
        const Plan plan =
            PlanInto({L"C:\\one\\a.txt", L"C:\\two\\A.TXT"}, L"D:\\box", disk.Make(), [=] { return answer; });
        EXPECT_EQ(Destinations(plan), (std::vector<std::wstring>{L"D:\\box\\a.txt", L"D:\\box\\A (1).TXT"}));
        EXPECT_FALSE(plan.items[1].replace);
    }
}

// One file dropped through two drive letters is one item: planned once,
// never told as gone when its second spelling finds it moved.
TEST(DropPlanInto, OneItemUnderTwoSpellingsIsPlannedOnce)
{
    FakeDisk disk{{L"S:\\same.txt", L"Z:\\srv\\src\\same.txt", L"Z:\\srv\\other\\same.txt"}};
    Disk twoLetters = disk.Make();
    twoLetters.sameItem = [](const std::wstring& a, const std::wstring& b) {
        auto file = [](const std::wstring& p) { return p == L"S:\\same.txt" ? L"Z:\\srv\\src\\same.txt" : p; };
        return file(a) == file(b);
    };
    const Plan plan = PlanInto({L"S:\\same.txt", L"Z:\\srv\\src\\same.txt", L"Z:\\srv\\other\\same.txt"}, L"D:\\box",
                               twoLetters, [] { return 0; });
    EXPECT_EQ(Destinations(plan), (std::vector<std::wstring>{L"D:\\box\\same.txt", L"D:\\box\\same (1).txt"}));
    EXPECT_EQ(plan.items[1].source, L"Z:\\srv\\other\\same.txt");
    EXPECT_TRUE(plan.missing.empty());
}

TEST(DropPlanInto, AStoredFolderIsRefusedAndPlannedIntoInItsOneForm)
{
    FakeDisk disk{{L"C:\\u\\box", L"C:\\u", L"C:\\in\\c.txt"}};
    const Plan plan =
        PlanInto({L"C:\\u\\box", L"C:\\u", L"C:\\in\\c.txt"}, L"C:\\\\u\\\\box", disk.Make(), [] { return 1; });
    EXPECT_EQ(Destinations(plan), (std::vector<std::wstring>{L"C:\\u\\box\\c.txt"}));
}

TEST(DropPlanInto, OwnFilesAndTheBoxFolderAreLeftOut)
{
    FakeDisk disk{{L"D:\\box\\a.txt", L"D:\\box", L"D:\\", L"C:\\in\\c.txt"}};
    int asked = 0;
    const Plan plan = PlanInto({L"D:\\box\\a.txt", L"D:\\box", L"D:\\", L"C:\\in\\c.txt"}, L"D:\\box", disk.Make(),
                               [&] { return ++asked, 1; });
    EXPECT_EQ(asked, 0) << "dropping a box's own file back is no conflict";
    EXPECT_EQ(Destinations(plan), (std::vector<std::wstring>{L"D:\\box\\c.txt"}));
}

TEST(DropPlanInto, APastedOwnFileIsAskedAboutAndNeverReplacesItself)
{
    FakeDisk disk{{L"D:\\box\\a.txt", L"D:\\box\\a (1).txt", L"C:\\in\\b.txt", L"D:\\box\\b.txt"}};
    const std::vector<std::wstring> sources{L"D:\\box\\a.txt", L"C:\\in\\b.txt"};
    struct Case {
        int answer;
        std::vector<std::wstring> destinations;
        std::vector<std::wstring> refused;
    } cases[] = {
        {0, {L"D:\\box\\a (2).txt", L"D:\\box\\b (1).txt"}, {}},
        {1, {L"D:\\box\\b.txt"}, {L"D:\\box\\a.txt"}}, // only the other file is replaced
        {-1, {}, {}},
    };
    for (const Case& c : cases) {
        int asked = 0;
        const Plan plan = PlanInto(
            sources, L"D:\\box", disk.Make(), [&] { return ++asked, c.answer; }, OwnItem::Ask);
        EXPECT_EQ(asked, 1) << c.answer;
        EXPECT_EQ(Destinations(plan), c.destinations) << c.answer;
        EXPECT_EQ(plan.refused, c.refused) << c.answer;
    }
}

TEST(DropPlanInto, DriveAndShareRootsAreNeverPlanned)
{
    const std::vector<std::wstring> roots{L"F:\\", L"F:", L"\\\\?\\G:\\", L"\\\\server\\share\\"};
    FakeDisk disk{{roots.begin(), roots.end()}};
    disk.items.insert(L"C:\\in\\c.txt");
    std::vector<std::wstring> sources = roots;
    sources.push_back(L"C:\\in\\c.txt");
    const Plan plan = PlanInto(sources, L"D:\\box", disk.Make(), [] { return 0; });
    EXPECT_EQ(Destinations(plan), (std::vector<std::wstring>{L"D:\\box\\c.txt"}));
}
