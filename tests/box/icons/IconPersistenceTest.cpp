#include <gtest/gtest.h>

#include "IconTestSupport.h"
#include "box/icons/IconPersistence.h"

namespace
{

void AddIcon(KelmIconManager& view, const std::wstring& path, const std::wstring& alias = L"bvn!NULL",
             BoxWindowPtr owner = nullptr, const std::wstring& originalPath = L"bvn!NULL")
{
    view.AddRecordForPath(path, 0, 0, alias, owner != nullptr, L"", std::move(owner), originalPath);
}

bool HasIcons(const std::wstring& id)
{
    KelmStorageNestedObject& components = s_desktopContainerStore.GetRootObject(L"Components");
    auto box = components.members.find(L"ComID_" + id);
    if (box == components.members.end())
        return false;
    return GetNestedObject(box.value())->members.count(L"Icons") > 0;
}

bool HasComponent(const std::wstring& id)
{
    try {
        return s_desktopContainerStore.GetRootObject(L"Components").members.count(L"ComID_" + id) > 0;
    } catch (const std::out_of_range&) {
        return false;
    }
}

} // namespace

TEST_F(IconTest, IconsSurviveASaveAndAFreshLoad)
{
    BoxWindowPtr box = AddBox(L"p0001");
    KelmIconManager& view = s_boxIconManagers[box];
    AddIcon(view, L"C:\\box\\a.txt", L"Alias A", nullptr, L"D:\\was\\a.txt");
    AddIcon(view, L"C:\\box\\报告.docx");
    AddIcon(view, L"C:\\box\\c", L"007"); // digits stay a text, leading zeros kept
    AddIcon(view, L"\\\\srv\\share\\n.txt");
    SaveBoxIcons(view);
    EXPECT_EQ(StoreWriteCount(), 1);

    s_desktopContainerStore.Load(storePath);
    KelmIconManager loaded(48, 12, 70);
    LoadBoxIcons(loaded, L"p0001");
    ASSERT_EQ(loaded.Records().size(), 4u);
    EXPECT_EQ(loaded.Records()[0].path, L"C:\\box\\a.txt");
    EXPECT_EQ(loaded.Records()[0].alias, L"Alias A");
    EXPECT_EQ(loaded.Records()[0].originalPath, L"D:\\was\\a.txt");
    EXPECT_EQ(loaded.Records()[1].path, L"C:\\box\\报告.docx");
    EXPECT_EQ(loaded.Records()[1].alias, L"bvn!NULL");
    EXPECT_EQ(loaded.Records()[2].alias, L"007");
    EXPECT_TRUE(loaded.Records()[2].isNew); // restored icons fade in
    EXPECT_EQ(loaded.Records()[3].path, L"\\\\srv\\share\\n.txt");

    // A second round keeps every path as it was.
    s_boxIconManagers[box] = loaded;
    s_boxIconManagers[box].SetOwnBox(box);
    SaveBoxIcons(s_boxIconManagers[box]);
    s_desktopContainerStore.Load(storePath);
    KelmIconManager again(48, 12, 70);
    LoadBoxIcons(again, L"p0001");
    ASSERT_EQ(again.Records().size(), 4u);
    EXPECT_EQ(again.Records()[0].path, L"C:\\box\\a.txt");
    EXPECT_EQ(again.Records()[3].path, L"\\\\srv\\share\\n.txt");
}

TEST_F(IconTest, LoadingAnUnknownBoxCreatesNothing)
{
    KelmIconManager loaded(48, 12, 70);
    LoadBoxIcons(loaded, L"nobox");
    EXPECT_TRUE(loaded.Records().empty());
    EXPECT_FALSE(HasComponent(L"nobox"));
}

TEST_F(IconTest, AViewOfTwoBoxesWritesTwoIconListsEachFromZero)
{
    BoxWindowPtr host = AddBox(L"host1");
    BoxWindowPtr member = AddBox(L"memb1");
    KelmIconManager& view = s_boxIconManagers[host];
    AddIcon(view, L"C:\\h\\1");
    AddIcon(view, L"C:\\m\\1", L"bvn!NULL", member);
    AddIcon(view, L"C:\\h\\2");
    AddIcon(view, L"C:\\m\\2", L"bvn!NULL", member);
    SaveBoxIcons(view);
    EXPECT_EQ(StoredPath(L"host1", 0), L"C:\\h\\1");
    EXPECT_EQ(StoredPath(L"host1", 1), L"C:\\h\\2");
    EXPECT_EQ(StoredPath(L"memb1", 0), L"C:\\m\\1");
    EXPECT_EQ(StoredPath(L"memb1", 1), L"C:\\m\\2");

    // The member's own manager now shows the same records, keeping where
    // each file came from.
    view.Records()[1].originalPath = L"E:\\origin";
    SaveBoxIcons(view);
    const KelmIconManager& rebuilt = s_boxIconManagers[member];
    ASSERT_EQ(rebuilt.Records().size(), 2u);
    EXPECT_EQ(rebuilt.Records()[0].originalPath, L"E:\\origin");
    EXPECT_EQ(rebuilt.Records()[0].opacity, 1.0f);
}

TEST_F(IconTest, SavingAnEmptyViewRemovesItsIcons)
{
    BoxWindowPtr box = AddBox(L"p0002");
    KelmIconManager& view = s_boxIconManagers[box];
    AddIcon(view, L"C:\\a");
    SaveBoxIcons(view);
    EXPECT_TRUE(HasIcons(L"p0002"));
    view.RemoveByPath(L"C:\\a");
    SaveBoxIcons(view);
    EXPECT_FALSE(HasIcons(L"p0002"));
    EXPECT_TRUE(HasComponent(L"p0002"));
}

TEST_F(IconTest, PseudoAndDeletedBoxesGetNoStoreObjects)
{
    BoxWindowPtr panel = MakeTestBox();
    s_boxRuntimes[panel].id = L"QUICK_PANEL_ROOT";
    BoxWindowPtr gone = MakeTestBox(); // never registered, or erased with its box
    BoxWindowPtr real = AddBox(L"p0003");
    KelmIconManager view(48, 12, 100);
    view.SetOwnBox(panel);
    AddIcon(view, L"C:\\p\\1");
    AddIcon(view, L"C:\\g\\1", L"bvn!NULL", gone);
    AddIcon(view, L"C:\\r\\1", L"bvn!NULL", real);
    SaveBoxIcons(view);
    EXPECT_FALSE(HasComponent(L"QUICK_PANEL_ROOT"));
    EXPECT_EQ(s_desktopContainerStore.GetRootObject(L"Components").members.size(), 1u);
    EXPECT_EQ(StoredPath(L"p0003", 0), L"C:\\r\\1");
    EXPECT_EQ(s_boxRuntimes.count(gone), 0u);
}

TEST_F(IconTest, APartialViewNeverOverwritesABoxsIcons)
{
    BoxWindowPtr box = AddBox(L"p0004");
    KelmIconManager& main = s_boxIconManagers[box];
    AddIcon(main, L"C:\\b\\report.docx");
    AddIcon(main, L"C:\\b\\photo.jpg");
    SaveBoxIcons(main);

    KelmIconManager& search = s_boxSearchManagers[box];
    search.SetOwnBox(box);
    AddIcon(search, L"C:\\b\\report.docx");
    SaveBoxIcons(search);
    EXPECT_EQ(StoredPath(L"p0004", 1), L"C:\\b\\photo.jpg");

    // The quick panel's search list holds matches of this box only.
    BoxWindowPtr panel = MakeTestBox();
    s_boxRuntimes[panel].id = L"QUICK_PANEL_ROOT";
    KelmIconManager panelView(48, 12, 100);
    panelView.SetOwnBox(panel);
    AddIcon(panelView, L"C:\\b\\photo.jpg", L"bvn!NULL", box);
    SaveBoxIcons(panelView);
    EXPECT_EQ(StoredPath(L"p0004", 0), L"C:\\b\\report.docx");
    EXPECT_EQ(main.Records().size(), 2u);
}

TEST_F(IconTest, AFailedSaveIsLoggedAndKeepsTheRecords)
{
    BoxWindowPtr box = AddBox(L"p0005");
    KelmIconManager& view = s_boxIconManagers[box];
    AddIcon(view, L"C:\\a");
    KelmStorage::SetWriteFunctionForTesting([](HANDLE, const char*, DWORD) { return false; });
    EXPECT_NO_THROW(SaveBoxIcons(view));
    EXPECT_EQ(view.Records().size(), 1u);
    EXPECT_EQ(TempFolder::ReadBytes(storePath), ""); // the old file is untouched
}

TEST_F(IconTest, AGapInTheNumberingKeepsEveryStoredIcon)
{
    KelmStorageProxy icons = s_desktopContainerStore[L"Components"][L"ComID_gap01"][L"Icons"];
    icons[L"iconID_0"][L"path"] = L"C:\\box\\a.txt";
    icons[L"iconID_2"][L"path"] = L"C:\\box\\c.txt";
    icons[L"iconID_5"][L"path"] = L"C:\\box\\f.txt";
    KelmIconManager loaded(48, 12, 70);
    LoadBoxIcons(loaded, L"gap01");
    ASSERT_EQ(loaded.Records().size(), 3u);
    EXPECT_EQ(loaded.Records()[0].path, L"C:\\box\\a.txt");
    EXPECT_EQ(loaded.Records()[1].path, L"C:\\box\\c.txt");
    EXPECT_EQ(loaded.Records()[2].path, L"C:\\box\\f.txt");
    for (const IconRecord& record : loaded.Records())
        EXPECT_NE(record.path, L"NULL");
}

TEST_F(IconTest, EverySaveStoresTheRecordsAsTheyStandNumberedInOrder)
{
    BoxWindowPtr box = AddBox(L"p0009");
    KelmIconManager& view = s_boxIconManagers[box];
    for (int i = 0; i < 5; ++i)
        AddIcon(view, L"C:\\box\\f" + std::to_wstring(i) + L".dat");
    SaveBoxIcons(view);
    // Records put in at the front and the middle, one taken out, one renamed.
    view.AddRecordForEntry(0, L"C:\\box\\new0.dat", 1, 1, L"bvn!NULL", false, L"", nullptr, true, L"D:\\was\\new0.dat");
    view.AddRecordForEntry(3, L"C:\\box\\new1.dat", 1, 1, L"123", false, L"", nullptr, true, L"bvn!NULL");
    view.RemoveByPath(L"C:\\box\\f4.dat");
    view.SetAliasByPath(L"C:\\box\\f1.dat", L"一个别名");
    SaveBoxIcons(view);
    auto expectStored = [&](const std::vector<std::wstring>& paths) {
        KelmStorageNestedObject& components = s_desktopContainerStore.GetRootObject(L"Components");
        KelmStorageNestedObject& icons =
            *GetNestedObject(GetNestedObject(components.members.at(L"ComID_p0009"))->members.at(L"Icons"));
        ASSERT_EQ(icons.members.size(), paths.size());
        for (size_t i = 0; i < paths.size(); ++i)
            EXPECT_EQ(icons.members.nth(i)->first, L"iconID_" + std::to_wstring(i));
        s_desktopContainerStore.Load(storePath);
        KelmIconManager loaded(48, 12, 70);
        LoadBoxIcons(loaded, L"p0009");
        ASSERT_EQ(loaded.Records().size(), paths.size());
        for (size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(loaded.Records()[i].path, paths[i]);
            EXPECT_EQ(loaded.Records()[i].alias, view.Records()[i].alias);
            EXPECT_EQ(loaded.Records()[i].originalPath, view.Records()[i].originalPath);
        }
    };
    expectStored({L"C:\\box\\new0.dat", L"C:\\box\\f0.dat", L"C:\\box\\f1.dat", L"C:\\box\\new1.dat",
                  L"C:\\box\\f2.dat", L"C:\\box\\f3.dat"});
    // Fewer records than stored: none of the old numbers stays behind.
    view.RemoveByPath(L"C:\\box\\new0.dat");
    view.RemoveByPath(L"C:\\box\\f3.dat");
    SaveBoxIcons(view);
    expectStored({L"C:\\box\\f0.dat", L"C:\\box\\f1.dat", L"C:\\box\\new1.dat", L"C:\\box\\f2.dat"});
}
