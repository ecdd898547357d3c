// Files dropped or pasted on the quick panel while it shows a desktop box
// go the box's own roads: its plan and same-name question, its worker, its
// undo records and the answer to the drag's source; the panel's list
// follows what lands. A box whose folder is gone takes nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/box/BoxTestSupport.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"
#include "box/BoxDrop.h"
#include "sidewindows/quickpanel/QuickPanelContentModel.h"
#include "sidewindows/quickpanel/QuickPanelPaste.h"
#include "sidewindows/quickpanel/QuickPanelState.h"
#include "ui/core/DragDropState.h"
#include "ui/core/DropOutcome.h"
#include "ui/core/KelmDragHelper.h"

using namespace TessikQuickPanel;
namespace fs = std::filesystem;

namespace
{

class QuickPanelBoxRoadTest : public FileJobBoxesTest
{
protected:
    void SetUp() override
    {
        FileJobBoxesTest::SetUp();
        s_boxRuntimes[s_quickPanelWindow].id = L"QUICK_PANEL_ROOT";
        s_boxIconManagers[s_quickPanelWindow].SetOwnBox(s_quickPanelWindow);
        SelectComponent(s_boxRuntimes.at(folderBox).id, false);
        savedEffects = s_dropAllowedEffects;
        s_dropAllowedEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    }
    void TearDown() override
    {
        s_dropAllowedEffects = savedEffects;
        s_dropOutcome.reset();
        SelectComponent(L"", false);
        s_boxRuntimes.erase(s_quickPanelWindow);
        s_boxIconManagers.erase(s_quickPanelWindow);
        FileJobBoxesTest::TearDown();
    }

    // A drop on the panel as its drop target hands it over.
    std::shared_ptr<DropOutcome> Drop(const std::vector<std::wstring>& paths)
    {
        auto outcome = std::make_shared<DropOutcome>(nullptr, DROPEFFECT_COPY | DROPEFFECT_MOVE);
        s_dropOutcome = outcome;
        OnQuickPanelFilesDropped(nullptr, 0, 400, paths);
        s_dropOutcome.reset();
        EXPECT_TRUE(WaitForFileJob([] { return TessikDesktopContainer::BoxDropPending(); }));
        return outcome;
    }
    void Paste(const std::vector<std::wstring>& paths)
    {
        ASSERT_TRUE(OpenClipboard(nullptr));
        EmptyClipboard();
        SetClipboardData(CF_HDROP, KelmDragHelper::BuildDropFilesBlock(paths));
        CloseClipboard();
        PasteFilesToComponent(nullptr, 0, 400);
        EXPECT_TRUE(WaitForFileJob([] { return false; }));
    }
    std::wstring File(const std::wstring& name, const char* bytes = "x")
    {
        TempFolder::WriteBytes(In(name), bytes);
        return In(name);
    }
    static KelmIconManager& Box() { return s_boxIconManagers.at(folderBox); }
    static KelmIconManager& Shown() { return s_boxIconManagers.at(s_quickPanelWindow); }

    DWORD savedEffects = 0;
};

} // namespace

TEST_F(QuickPanelBoxRoadTest, DropAndPasteOnThePanelTakeTheBoxsRoadAndThePanelFollows)
{
    // A record of the box from before, with where its file came from.
    TempFolder::WriteBytes(Folder() + L"\\report.txt", "r");
    const std::wstring origin = temp.File(L"origin\\report.txt");
    Box().AddRecordForPath(Folder() + L"\\report.txt", 0, 0, L"bvn!NULL", false, L"", folderBox, origin);
    TempFolder::WriteBytes(Folder() + L"\\same.txt", "old");
    RefreshQuickPanelContent();
    answer = 0;

    const auto outcome = Drop({File(L"a.txt"), File(L"b.txt"), File(L"same.txt", "new")});
    EXPECT_EQ(answers, 1) << "the box's plan asks once about the name its folder holds";
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"same (1).txt"})
        EXPECT_TRUE(fs::exists(Folder() + L"\\" + name)) << WideToUtf8(name);
    EXPECT_FALSE(fs::exists(In(L"a.txt"))) << "a drop moves";
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "old");
    EXPECT_EQ(s_boxRuntimes.at(folderBox).undoList.size(), 3u) << "each moved file can be taken back";
    EXPECT_TRUE(outcome->Finished());
    EXPECT_EQ(outcome->Intended(), static_cast<DWORD>(DROPEFFECT_MOVE));

    Paste({File(L"c.txt")});
    EXPECT_TRUE(fs::exists(Folder() + L"\\c.txt"));
    EXPECT_TRUE(fs::exists(In(L"c.txt"))) << "a paste copies";
    EXPECT_EQ(s_boxRuntimes.at(folderBox).undoList.size(), 4u);

    // The box holds the new records, its old one keeps where its file came
    // from, and the panel shows what the box holds.
    ASSERT_EQ(Box().Records().size(), 5u);
    for (const IconRecord& record : Box().Records()) {
        if (record.path == Folder() + L"\\report.txt") {
            EXPECT_EQ(record.originalPath, origin);
        }
    }
    EXPECT_TRUE(PumpUntil([] { return Shown().Records().size() == Box().Records().size(); }, 10000))
        << Shown().Records().size();
}

// A normal box whose folder went away: the panel never turns the files
// into records of where they are; the user hears why, and nothing moves.
TEST_F(QuickPanelBoxRoadTest, ABoxWhoseFolderIsGoneTakesNothingFromThePanel)
{
    const std::wstring folder = Folder();
    const std::wstring away = folder + L"-away";
    ASSERT_TRUE(MoveFileExW(folder.c_str(), away.c_str(), 0));
    const std::wstring stored = s_boxRuntimes.at(folderBox).TargetFolder;
    const int dropTold = TimesUserNotified(L"drop-folder-gone:" + stored);
    const int pasteTold = TimesUserNotified(L"paste-folder-gone:" + stored);

    const auto outcome = Drop({File(L"d.txt")});
    Paste({File(L"e.txt")});
    MoveFileExW(away.c_str(), folder.c_str(), 0);

    EXPECT_EQ(TimesUserNotified(L"drop-folder-gone:" + stored), dropTold + 1);
    EXPECT_EQ(TimesUserNotified(L"paste-folder-gone:" + stored), pasteTold + 1);
    EXPECT_TRUE(Box().Records().empty());
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty());
    EXPECT_TRUE(fs::exists(In(L"d.txt")));
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_TRUE(outcome->Finished());
}
