#include <filesystem>

#include "QuickPanelTestSupport.h"
#include "sidewindows/quickpanel/QuickPanelPaste.h"

using namespace TessikQuickPanel;
namespace fs = std::filesystem;

TEST_F(QuickPanelTest, PastingOneFileTwiceIntoAFolderBoxNumbersTheSecondCopy)
{
    const std::wstring folder = temp.File(L"boxfolder");
    fs::create_directories(folder);
    const std::wstring source = temp.File(L"a.txt");
    TempFolder::WriteBytes(source, "a");
    auto box = AddBox(L"aaaaa", L"#F2F2F2", false, true);
    s_boxRuntimes[box].TargetFolder = folder;
    s_boxRuntimes[s_quickPanelWindow].id = L"QUICK_PANEL_ROOT";
    SelectComponent(L"aaaaa", false);

    AddItemsToComponent({source}, ItemsFrom::Clipboard, false, 0, 0);
    AddItemsToComponent({source}, ItemsFrom::Clipboard, false, 0, 0);
    AddItemsToComponent({source}, ItemsFrom::Clipboard, false, 0, 0);
    EXPECT_TRUE(fs::exists(folder + L"\\a.txt"));
    EXPECT_TRUE(fs::exists(folder + L"\\a (1).txt"));
    EXPECT_TRUE(fs::exists(folder + L"\\a (2).txt"));
    EXPECT_TRUE(fs::exists(source)) << "a paste copies";
    EXPECT_EQ(s_boxIconManagers[box].Records().size(), 3u);
    s_boxRuntimes.erase(s_quickPanelWindow);
}

TEST_F(QuickPanelTest, AFolderArrivesWithItsContentAndAMoveRemovesTheSourceAfterwards)
{
    const std::wstring into = temp.File(L"into");
    const std::wstring source = temp.File(L"src");
    fs::create_directories(source + L"\\deep");
    TempFolder::WriteBytes(source + L"\\deep\\x.txt", "x");
    fs::create_directories(into + L"\\src");

    const std::wstring copied = BringIntoFolder(source, into, false, false).path;
    EXPECT_EQ(copied, into + L"\\src (1)");
    EXPECT_TRUE(fs::exists(copied + L"\\deep\\x.txt"));

    const std::wstring moved = BringIntoFolder(source, into, true, false).path;
    EXPECT_EQ(moved, into + L"\\src (2)");
    EXPECT_TRUE(fs::exists(moved + L"\\deep\\x.txt"));
    EXPECT_FALSE(fs::exists(source));
    // Nothing to take: nothing arrives.
    EXPECT_EQ(BringIntoFolder(temp.File(L"missing.txt"), into, true, false).path, L"");
}
