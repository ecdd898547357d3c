// A box's folder goes with the box only when it is the box's own: never
// the folder of another box, whether that one stands on the desktop or is
// a hidden box of the quick panel, and never through a link inside it.
#include <gtest/gtest.h>

#include <filesystem>

#include "BoxTestSupport.h"
#include "app/KelmStorage.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/icons/FolderSync.h"
#include "common/DirectoryLink.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

class BoxFolderRemovalTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DpiScale = 1.0;
        folderBox = CreateTestBoxes(store, {true}).at(0);
        TempFolder::WriteBytes(store.File(L"QuickPanelCom.kelm"), "");
        s_quickPanelStore.Load(store.File(L"QuickPanelCom.kelm"));
        savedChoice = s_deleteBoxChoice;
        s_deleteBoxChoice = [](HWND, std::vector<Brevin::KelmOption> options) {
            for (const auto& option : options)
                if (option.text == L"彻底删除文件")
                    option.onClick();
            return true;
        };
    }
    void TearDown() override
    {
        s_deleteBoxChoice = savedChoice;
        RetireBoxWindow(folderBox);
        s_quickPanelStore.Load(store.File(L"QuickPanelCom.kelm"));
    }
    static void AddHiddenBox(const std::wstring& id, const std::wstring& folder)
    {
        s_quickPanelStore[L"TempList"][id][L"TargetFolder"] = folder;
    }

    TempFolder store;
    BoxWindowPtr folderBox;
    std::function<bool(HWND, std::vector<Brevin::KelmOption>)> savedChoice;
};

} // namespace

TEST_F(BoxFolderRemovalTest, AFolderAHiddenBoxSharesNeverGoesWithABox)
{
    const std::wstring shared = s_boxRuntimes.at(folderBox).TargetFolder;
    TempFolder::WriteBytes(shared + L"\\notes.txt", "the hidden box's file");
    AddHiddenBox(L"a1b2c3", shared);
    s_boxRuntimes.at(folderBox).IsCustomTarget = true;

    ShowDeleteBoxDialog(folderBox);
    EXPECT_EQ(TempFolder::ReadBytes(shared + L"\\notes.txt"), "the hidden box's file");
    EXPECT_TRUE(FindBoxRuntime(folderBox)) << "the box stays with the folder it could not take";
    EXPECT_TRUE(WasUserNotified(L"box-folder-kept"));

    // A hidden box may take its own folder, but not one another hidden box
    // shows too.
    const std::wstring hidden = store.File(L"root\\temp_d4e5f6");
    fs::create_directories(hidden);
    AddHiddenBox(L"d4e5f6", hidden);
    EXPECT_TRUE(MayRemoveBoxFolder(nullptr, hidden, L"d4e5f6"));
    EXPECT_FALSE(MayRemoveBoxFolder(nullptr, hidden, L"a1b2c3"));
    AddHiddenBox(L"0f0f0f", hidden + L"\\");
    EXPECT_FALSE(MayRemoveBoxFolder(nullptr, hidden, L"d4e5f6"));
}

TEST_F(BoxFolderRemovalTest, RemovingABoxFolderNeverReachesThroughALinkToAFileOrAnEmptyFolder)
{
    const std::wstring folder = s_boxRuntimes.at(folderBox).TargetFolder;
    TempFolder::WriteBytes(folder + L"\\mine.txt", "mine");
    OutsideLinks links;
    if (!links.Make(folder, store.File(L"outside")))
        GTEST_SKIP() << "this system makes no links";
    FolderRemoved result;
    ASSERT_TRUE(DeleteBoxFolderPermanently(folderBox, folder, [&result](const FolderRemoved& done) { result = done; }));
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    const bool removed = result.removed;
    const RemovalReport& report = result.report;
    EXPECT_TRUE(links.Untouched());
    EXPECT_FALSE(fs::exists(folder + L"\\mine.txt"));
    for (const std::wstring& link : links.links) {
        if (!removed && GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
            EXPECT_NE(std::find(report.stayed.begin(), report.stayed.end(), link), report.stayed.end());
        }
    }
}

// The folder refresh keeps its hands off a folder on its way out: a watch
// it opened meanwhile would keep the folder in place.
TEST_F(BoxFolderRemovalTest, TheFolderRefreshDoesNotHoldAFolderThatIsLeaving)
{
    const std::wstring folder = s_boxRuntimes.at(folderBox).TargetFolder;
    for (int i = 0; i < 200; ++i)
        TempFolder::WriteBytes(folder + L"\\f" + std::to_wstring(i) + L".txt", "f");
    FolderRemoved result;
    ASSERT_TRUE(DeleteBoxFolderPermanently(folderBox, folder, [&result](const FolderRemoved& done) { result = done; }));
    RefreshFolderBoxes();
    ASSERT_TRUE(WaitForFileJob([] {
        RefreshFolderBoxes();
        return false;
    }));
    EXPECT_TRUE(result.removed);
    EXPECT_FALSE(fs::exists(folder));
}
