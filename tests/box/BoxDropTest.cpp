// Files dropped on a box through its OLE drop target: moved into a folder
// box (copied with Ctrl or a copy-only drag) with records, undo records
// and the store saved; mapping records for a mapping box; each same-name
// answer; refused drops answer "no effect".
#include <gtest/gtest.h>

#include <filesystem>

#include "common/WindowTestSupport.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxCreation.h"
#include "box/BoxDrop.h"
#include "box/BoxServices.h"
#include "box/BoxWindowHooks.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobProgress.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/DpiScale.h"
#include "ui/core/DragDropState.h"
#include "ui/core/KelmDragHelper.h"
#include "ui/core/KelmDropTarget.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

class BoxDropTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        DpiScale = 1.0;
        store = new TempFolder();
        TempFolder::WriteBytes(store->File(L"DesktopContainer.kelm"), "");
        s_desktopContainerStore.Load(store->File(L"DesktopContainer.kelm"));
        fs::create_directories(store->File(L"root"));
        CreateCom(L"NULL", store->File(L"root"), false, 1);
        CreateCom(L"NULL", L"NULL", false, 1);
        for (auto& [box, runtime] : s_boxRuntimes)
            (runtime.UseTargetFolder ? folderBox : mappingBox) = box;
    }

    // The windows stay until the process ends (destroying one costs Wine
    // about two seconds); the other suites must not see them as boxes.
    static void TearDownTestSuite()
    {
        static std::vector<BoxWindowPtr> kept;
        for (const auto& box : {folderBox, mappingBox}) {
            if (!box)
                continue;
            box->StopHoverRepaintTimer();
            KillTimer(box->GetHwnd(), kAnimationTimerId);
            s_boxRuntimes.erase(box);
            s_boxIconManagers.erase(box);
            s_boxSearchManagers.erase(box);
            kept.push_back(box);
        }
        s_copyProgress.targetWindow.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(folderBox && mappingBox);
        fs::create_directories(temp.File(L"in"));
        for (const auto& box : {folderBox, mappingBox}) {
            s_boxIconManagers.at(box).RemoveAllRecords();
            s_boxRuntimes.at(box).undoList.clear();
            s_boxRuntimes.at(box).IsLocked = false;
        }
        for (auto& entry : fs::directory_iterator(Folder()))
            fs::remove_all(entry.path());
        answers = 0;
        s_sameNameQuestion = [this](HWND) {
            ++answers;
            return answer;
        };
    }
    void TearDown() override
    {
        s_sameNameQuestion = [](HWND) { return 0; };
    }

    static std::wstring Folder() { return s_boxRuntimes.at(folderBox).TargetFolder; }
    std::wstring In(const std::wstring& name) { return temp.File(L"in\\" + name); }

    // Drops the paths on the box as the shell would and returns the effect
    // answered at the drop.
    DWORD Drop(const BoxWindowPtr& box, const std::vector<std::wstring>& paths, DWORD allowed, DWORD keys = 0)
    {
        RECT rc{};
        GetWindowRect(box->GetHwnd(), &rc);
        SetCursorPos(rc.left + 150, rc.top + 200);
        PaintNow(box->GetHwnd());
        auto* data = new KelmDragHelper::CDataObject(KelmDragHelper::BuildDropFilesBlock(paths));
        DWORD effect = allowed;
        const POINTL point{rc.left + 150, rc.top + 200};
        box->dropTarget->DragEnter(data, keys | MK_LBUTTON, point, &effect);
        effect = allowed;
        box->dropTarget->Drop(data, keys, point, &effect);
        data->Release();
        return effect;
    }

    // Pumps until the drop is imported and its job, if any, has ended.
    void WaitForImport()
    {
        for (int i = 0; i < 300 && (BoxDropPending() || s_copyProgress.busy); ++i)
            PumpMessages(20);
        PumpMessages(50);
    }

    std::vector<std::wstring> RecordPaths(const BoxWindowPtr& box)
    {
        std::vector<std::wstring> paths;
        for (const IconRecord& record : s_boxIconManagers.at(box).Records())
            paths.push_back(record.path);
        return paths;
    }

    static inline TempFolder* store = nullptr;
    static inline BoxWindowPtr folderBox, mappingBox;
    TempFolder temp;
    int answer = 0;
    int answers = 0;
};

} // namespace

TEST_F(BoxDropTest, FilesMoveIntoAFolderBoxWithRecordsUndoAndStore)
{
    TempFolder::WriteBytes(In(L"a.txt"), "a");
    TempFolder::WriteBytes(In(L"b.txt"), "b");
    fs::create_directories(In(L"photos"));
    TempFolder::WriteBytes(In(L"photos\\p.jpg"), "p");
    const DWORD effect =
        Drop(folderBox, {In(L"a.txt"), In(L"b.txt"), In(L"photos")}, DROPEFFECT_COPY | DROPEFFECT_MOVE);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    WaitForImport();

    const std::wstring folder = Folder();
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\a.txt"), "a");
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\photos\\p.jpg"), "p");
    EXPECT_FALSE(fs::exists(In(L"a.txt")));
    EXPECT_FALSE(fs::exists(In(L"photos")));
    EXPECT_EQ(RecordPaths(folderBox),
              (std::vector<std::wstring>{folder + L"\\a.txt", folder + L"\\b.txt", folder + L"\\photos"}));
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 3u);
    EXPECT_EQ(undo[0].kind, 0u);
    EXPECT_EQ(undo[0].path, folder + L"\\a.txt");
    EXPECT_EQ(undo[0].extra, In(L"a.txt")) << "undo puts a moved file back where it came from";
    EXPECT_EQ(s_boxIconManagers.at(folderBox).Records()[0].originalPath, In(L"a.txt"));

    KelmStorage reloaded;
    reloaded.Load(store->File(L"DesktopContainer.kelm"));
    const std::wstring stored =
        reloaded[L"Components"][L"ComID_" + s_boxRuntimes.at(folderBox).id][L"Icons"][L"iconID_2"][L"path"]
            .Get<std::wstring>(L"");
    EXPECT_NE(stored.find(L"photos"), std::wstring::npos) << "the third record is stored";
    EXPECT_FALSE(s_copyProgress.busy);
}

TEST_F(BoxDropTest, CtrlOrACopyOnlyDragCopiesAndKeepsTheSource)
{
    TempFolder::WriteBytes(In(L"c.txt"), "c");
    EXPECT_EQ(Drop(folderBox, {In(L"c.txt")}, DROPEFFECT_COPY | DROPEFFECT_MOVE, MK_CONTROL),
              static_cast<DWORD>(DROPEFFECT_COPY));
    WaitForImport();
    EXPECT_TRUE(fs::exists(In(L"c.txt")));
    EXPECT_TRUE(fs::exists(Folder() + L"\\c.txt"));

    TempFolder::WriteBytes(In(L"d.txt"), "d");
    EXPECT_EQ(Drop(folderBox, {In(L"d.txt")}, DROPEFFECT_COPY), static_cast<DWORD>(DROPEFFECT_COPY));
    WaitForImport();
    EXPECT_TRUE(fs::exists(In(L"d.txt"))) << "a copy-only drag is never moved";
    EXPECT_TRUE(fs::exists(Folder() + L"\\d.txt"));
}

TEST_F(BoxDropTest, EachSameNameAnswer)
{
    TempFolder::WriteBytes(Folder() + L"\\same.txt", "old");
    TempFolder::WriteBytes(In(L"same.txt"), "new");

    answer = -1;
    Drop(folderBox, {In(L"same.txt")}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "old") << "cancel leaves both files";
    EXPECT_EQ(TempFolder::ReadBytes(In(L"same.txt")), "new");
    EXPECT_TRUE(RecordPaths(folderBox).empty());

    answer = 0;
    Drop(folderBox, {In(L"same.txt")}, DROPEFFECT_COPY);
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same (1).txt"), "new");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "old");

    answer = 1;
    Drop(folderBox, {In(L"same.txt")}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "new");
    EXPECT_FALSE(fs::exists(In(L"same.txt")));
    EXPECT_EQ(answers, 3);

    // A box's own file dropped back with "直接覆盖" is left alone.
    Drop(folderBox, {Folder() + L"\\same.txt"}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(answers, 3);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\same.txt"), "new");
}

TEST_F(BoxDropTest, TwoFilesOfOneNameBothArrive)
{
    fs::create_directories(In(L"one"));
    fs::create_directories(In(L"two"));
    TempFolder::WriteBytes(In(L"one\\x.txt"), "1");
    TempFolder::WriteBytes(In(L"two\\x.txt"), "2");
    answer = 1;
    Drop(folderBox, {In(L"one\\x.txt"), In(L"two\\x.txt")}, DROPEFFECT_MOVE);
    WaitForImport();
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\x.txt"), "1");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\x (1).txt"), "2");
    EXPECT_EQ(answers, 0);
}

TEST_F(BoxDropTest, MappingBoxRecordsPathsWhereTheyAre)
{
    TempFolder::WriteBytes(In(L"m.txt"), "m");
    const std::wstring longName = In(std::wstring(240, L'n') + L".txt");
    TempFolder::WriteBytes(longName, "long");
    ASSERT_GT(longName.size(), 260u);
    Drop(mappingBox, {In(L"m.txt"), longName}, DROPEFFECT_COPY | DROPEFFECT_LINK);
    WaitForImport();
    EXPECT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{In(L"m.txt"), longName}))
        << "long paths arrive whole";
    EXPECT_TRUE(fs::exists(In(L"m.txt")));
    const auto& undo = s_boxRuntimes.at(mappingBox).undoList;
    ASSERT_EQ(undo.size(), 2u);
    EXPECT_EQ(undo[1].kind, 3u);
}

TEST_F(BoxDropTest, RefusedDropsAnswerNoEffect)
{
    TempFolder::WriteBytes(In(L"r.txt"), "r");
    s_boxRuntimes.at(folderBox).IsLocked = true;
    EXPECT_EQ(Drop(folderBox, {In(L"r.txt")}, DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_FALSE(BoxDropPending());
    s_boxRuntimes.at(folderBox).IsLocked = false;
    WaitForImport();
    EXPECT_TRUE(fs::exists(In(L"r.txt")));

    // A drag whose data cannot be read delivers nothing, not an older list.
    s_droppedFiles = {In(L"r.txt")};
    auto* empty = new KelmDragHelper::CDataObject(nullptr);
    DWORD effect = DROPEFFECT_MOVE;
    folderBox->dropTarget->DragEnter(empty, MK_LBUTTON, POINTL{0, 0}, &effect);
    effect = DROPEFFECT_MOVE;
    folderBox->dropTarget->Drop(empty, 0, POINTL{0, 0}, &effect);
    empty->Release();
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_FALSE(BoxDropPending());
    WaitForImport();
    EXPECT_TRUE(fs::exists(In(L"r.txt")));
}
