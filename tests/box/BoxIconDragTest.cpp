// Dragging icons: reordering inside a box (every record kept with its
// alias and original path, the new order stored), files of a folder box
// that lie elsewhere moved into its folder, the placeholder staying in the
// view it belongs to, and the system drag for icons that cannot be
// rearranged or leave the box.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "BoxTestSupport.h"
#include "app/AppState.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"
#include "box/BoxIconDrag.h"
#include "box/BoxShortcuts.h"
#include "box/fileops/FileJobs.h"
#include "box/fileops/UndoRedo.h"
#include "box/fileops/UndoSteps.h"
#include "box/icons/DragPlaceholder.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIcon.h"
#include "ui/core/DragDropState.h"

namespace fs = std::filesystem;
using namespace TessikDesktopContainer;

TEST(IconDragRules, EffectsAndSlots)
{
    EXPECT_EQ(IconDragEffects(true, false, false), static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(IconDragEffects(true, true, false), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(IconDragEffects(true, false, true), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(IconDragEffects(false, false, false), static_cast<DWORD>(DROPEFFECT_COPY));

    // Three icons in a row at x 0, 100, 200 (edge 48: centres at 24, 124,
    // 224), the group starting at list index 2.
    IconSlotInput grid;
    grid.positions = {{0, 0}, {100, 0}, {200, 0}};
    grid.groupFirst = 2;
    grid.edge = 48;
    struct Case {
        float x, y;
        int slot;
    };
    // After the nearest icon once right of or below its centre.
    for (const Case& c : {Case{20, 20, 2}, Case{30, 20, 3}, Case{10, 40, 3}, Case{110, 10, 3}, Case{130, 0, 4},
                          Case{900, 0, 5}, Case{-50, 10, 2}}) {
        grid.x = c.x;
        grid.y = c.y;
        EXPECT_EQ(NearestIconSlot(grid), c.slot) << c.x << "," << c.y;
    }
    // A list: only the height counts, past the nearest row's top + 15.
    IconSlotInput list;
    list.positions = {{20, 0}, {20, 32}, {20, 64}};
    list.edge = 48;
    list.listView = true;
    for (const Case& c : {Case{900, 10, 0}, Case{0, 20, 1}, Case{400, 40, 1}, Case{400, 50, 2}, Case{0, 900, 3}}) {
        list.x = c.x;
        list.y = c.y;
        EXPECT_EQ(NearestIconSlot(list), c.slot) << c.x << "," << c.y;
    }
}

TEST(IconDragRules, AFileIsInItsFolderWhateverTheLetterCaseOrSeparators)
{
    TempFolder temp;
    fs::create_directories(temp.File(L"Box Folder"));
    const std::wstring folder = temp.File(L"Box Folder");
    std::wstring upper = folder;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(towupper(c));
    EXPECT_TRUE(IsDirectlyInFolder(folder + L"\\a.txt", folder));
    EXPECT_TRUE(IsDirectlyInFolder(upper + L"/a.txt", folder));
    EXPECT_FALSE(IsDirectlyInFolder(folder + L"\\sub\\a.txt", folder));
    EXPECT_FALSE(IsDirectlyInFolder(temp.File(L"a.txt"), folder));
}

namespace
{

class IconDragTest : public FolderAndMappingBoxesTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folderBox && mappingBox);
        savedDrag = s_iconFileDrag;
        savedCursor = s_iconDragCursor;
        savedInput = s_boxShortcutInput;
        s_iconFileDrag = [this](const std::vector<std::wstring>& paths, DWORD effects, HWND) {
            dragged = paths;
            draggedEffects = effects;
            return DWORD(DROPEFFECT_NONE);
        };
        s_iconDragCursor = [this] { return cursor; };
        s_boxShortcutInput.keyDown = [](int) { return false; };
        for (const BoxWindowPtr& box : {folderBox, mappingBox}) {
            s_boxIconManagers.at(box).RemoveAllRecords();
            BoxRuntime& runtime = s_boxRuntimes.at(box);
            runtime.dropPending = false;
            runtime.IsLocked = false;
            runtime.SortMode = 0;
            runtime.multiSelect = false;
            runtime.selection.clear();
            runtime.undoList.clear();
            runtime.redoList.clear();
        }
        folder = s_boxRuntimes.at(folderBox).TargetFolder;
        // Out of the data folder, which holds the suite's store.
        outside = elsewhere.File(L"outside");
        fs::create_directories(outside);
    }
    void TearDown() override
    {
        s_iconFileDrag = savedDrag;
        s_iconDragCursor = savedCursor;
        s_boxShortcutInput = savedInput;
        s_dragOverAccepted = false;
        s_droppedFiles.clear();
        s_dragOutAction = nullptr;
        s_dragFinishAction = nullptr;
        ClearDragPlaceholder();
        std::error_code ec;
        fs::remove_all(outside, ec);
        for (const auto& entry : fs::directory_iterator(folder, ec))
            fs::remove_all(entry.path(), ec);
    }

    // A record in a row at x = 20 + 100 * n, y = 80, for a file made at path.
    void Add(const BoxWindowPtr& view, const std::wstring& path, const BoxWindowPtr& owner,
             const std::wstring& alias = L"bvn!NULL", const std::wstring& originalPath = L"bvn!NULL")
    {
        TempFolder::WriteBytes(path, "bytes of " + std::string(path.begin(), path.end()));
        KelmIconManager& manager = s_boxIconManagers.at(view);
        const float x = 20.0f + 100.0f * static_cast<float>(manager.Records().size());
        manager.AddRecordForPath(path, x, 80.0f, alias, owner != view, L"", owner, originalPath);
    }
    // The pointer over the client point (x, y) of the box.
    void PointAt(const BoxWindowPtr& box, int x, int y)
    {
        cursor = {x, y};
        ClientToScreen(box->GetHwnd(), &cursor);
    }
    // A pointer move over the icon at index.
    void HoverOver(const BoxWindowPtr& box, size_t index)
    {
        KelmIconManager& view = s_boxIconManagers.at(box);
        IconRecord& record = view.Records().at(index);
        view.EnsureControl(record);
        UpdateIconDragState(view, IconRecord(record));
    }
    void Grab(const BoxWindowPtr& box, size_t index)
    {
        KelmIconManager& view = s_boxIconManagers.at(box);
        view.EnsureControl(view.Records().at(index));
        BeginIconDrag(view, view.Records().at(index));
    }
    // Grabs one icon and moves the pointer to (x, 100) over another.
    void DragOver(const BoxWindowPtr& box, size_t grabbed, int x, size_t hovered)
    {
        Grab(box, grabbed);
        PointAt(box, x, 100);
        HoverOver(box, hovered);
    }
    // Releases the button and lets the file job the release started end.
    void Release(const BoxWindowPtr& box)
    {
        FinishIconDragOnRelease(box, false);
        ASSERT_TRUE(WaitForFileJob([] { return false; }));
    }
    // The box's icons as the store now holds them.
    std::vector<std::wstring> StoredPaths(const BoxWindowPtr& box)
    {
        KelmIconManager loaded;
        LoadBoxIcons(loaded, s_boxRuntimes.at(box).id);
        std::vector<std::wstring> paths;
        for (const IconRecord& record : loaded.Records())
            paths.push_back(record.path);
        return paths;
    }

    std::function<DWORD(const std::vector<std::wstring>&, DWORD, HWND)> savedDrag;
    std::function<POINT()> savedCursor;
    BoxShortcutInput savedInput;
    std::vector<std::wstring> dragged;
    DWORD draggedEffects = 0;
    POINT cursor{0, 0};
    std::wstring folder;
    TempFolder elsewhere;
    std::wstring outside;
};

} // namespace

TEST_F(IconDragTest, AReorderKeepsEveryRecordWithItsAliasAndOriginalPathAndStoresTheOrder)
{
    const std::wstring a = outside + L"\\a.txt", b = outside + L"\\b.txt", c = outside + L"\\c.txt";
    Add(mappingBox, a, mappingBox, L"Alpha", L"D:\\was\\a.txt");
    Add(mappingBox, b, mappingBox);
    Add(mappingBox, c, mappingBox);
    Grab(mappingBox, 0);
    ASSERT_TRUE(s_boxRuntimes.at(mappingBox).dropPending) << "a free box rearranges";
    EXPECT_TRUE(dragged.empty());
    ASSERT_EQ(s_dragPlaceholder.index, 0);

    // Right of c's centre (c at x 220, edge 48): after c.
    PointAt(mappingBox, 260, 100);
    HoverOver(mappingBox, 2);
    EXPECT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{b, c, a}));
    EXPECT_EQ(s_dragPlaceholder.index, 2);
    HoverOver(mappingBox, 1);
    EXPECT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{b, c, a})) << "the same slot changes nothing";

    FinishIconDragOnRelease(mappingBox, true);
    EXPECT_TRUE(s_boxRuntimes.at(mappingBox).dropPending) << "the button is still down";
    FinishIconDragOnRelease(mappingBox, false);
    EXPECT_FALSE(s_boxRuntimes.at(mappingBox).dropPending);
    EXPECT_FALSE(s_dragOverAccepted);
    EXPECT_FALSE(s_dragFinishAction) << "the finish runs once";

    const auto& records = s_boxIconManagers.at(mappingBox).Records();
    ASSERT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{b, c, a}));
    EXPECT_EQ(records[2].alias, L"Alpha");
    EXPECT_EQ(records[2].originalPath, L"D:\\was\\a.txt");
    EXPECT_EQ(StoredPaths(mappingBox), (std::vector<std::wstring>{b, c, a}));
    EXPECT_EQ(TempFolder::ReadBytes(a), "bytes of " + std::string(a.begin(), a.end())) << "a mapping box moves no file";
}

TEST_F(IconDragTest, AFolderBoxTakesInAFileFromElsewhereUnderAFreeNameAndRemembersWhereItWas)
{
    const std::wstring own = folder + L"\\a.txt", stranger = outside + L"\\a.txt";
    Add(folderBox, own, folderBox);
    Add(folderBox, stranger, folderBox);
    const std::string strangerBytes = TempFolder::ReadBytes(stranger);
    DragOver(folderBox, 1, 30, 0);
    FinishIconDragOnRelease(folderBox, false);
    // The move is the file worker's: the icon waits in its place until the
    // file has moved.
    EXPECT_TRUE(FileJobRuns());
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{own, stranger}));
    ASSERT_TRUE(WaitForFileJob([] { return false; }));

    const std::wstring taken = folder + L"\\a (1).txt";
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{taken, own}));
    EXPECT_EQ(TempFolder::ReadBytes(taken), strangerBytes);
    EXPECT_EQ(TempFolder::ReadBytes(own), "bytes of " + std::string(own.begin(), own.end()));
    EXPECT_FALSE(fs::exists(stranger));
    EXPECT_EQ(s_boxIconManagers.at(folderBox).Records()[0].originalPath, stranger) << "it can be put back";
    EXPECT_EQ(StoredPaths(folderBox), (std::vector<std::wstring>{taken, own}));

    UndoAndWait(folderBox, nullptr);
    EXPECT_EQ(TempFolder::ReadBytes(stranger), strangerBytes) << "undo takes the move back";
    EXPECT_FALSE(fs::exists(taken));
}

TEST_F(IconDragTest, AFileThatCannotMoveKeepsItsIconInPlaceAndIsToldByName)
{
    const std::wstring mine = outside + L"\\mine.txt", theirs = folder + L"\\theirs.txt";
    Add(mappingBox, mine, mappingBox);
    Add(mappingBox, theirs, folderBox);
    const int told = TimesUserNotified(L"drag-move-failed");
    {
        // Another program holds it open and shares nothing.
        const HANDLE held = CreateFileW(mine.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        DragOver(mappingBox, 0, 160, 1);
        Release(mappingBox);
        CloseHandle(held);
    }
    EXPECT_TRUE(fs::exists(mine));
    EXPECT_FALSE(fs::exists(folder + L"\\mine.txt"));
    ASSERT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{mine, theirs}));
    EXPECT_EQ(s_boxIconManagers.at(mappingBox).Records()[0].owner, mappingBox) << "the icon stays with its file";
    EXPECT_EQ(TimesUserNotified(L"drag-move-failed"), told + 1);
    EXPECT_NE(LastNoticeText(L"drag-move-failed").find(L"“mine.txt”"), std::wstring::npos);
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty()) << "nothing to undo";
}

TEST_F(IconDragTest, DroppedInAnotherBoxesSectionTheFileMovesIntoThatBox)
{
    // The mapping box shows a record of the folder box, as a host does.
    const std::wstring mine = outside + L"\\mine.txt", theirs = folder + L"\\theirs.txt";
    Add(mappingBox, mine, mappingBox, L"Mine", L"bvn!NULL");
    Add(mappingBox, theirs, folderBox);
    DragOver(mappingBox, 0, 160, 1);
    Release(mappingBox);

    const std::wstring moved = folder + L"\\mine.txt";
    EXPECT_TRUE(fs::exists(moved));
    EXPECT_FALSE(fs::exists(mine));
    const auto& records = s_boxIconManagers.at(mappingBox).Records();
    ASSERT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{theirs, moved}));
    EXPECT_EQ(records[1].owner, folderBox);
    EXPECT_EQ(records[1].alias, L"Mine");
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{theirs, moved})) << "the folder box's store";
}

TEST_F(IconDragTest, AnotherBoxsFolderDroppedInAFolderBoxsSectionStaysWithItsBox)
{
    // The mapping box shows a folder holding a folder that a box shows.
    const std::wstring work = outside + L"\\work", theirs = folder + L"\\theirs.txt";
    fs::create_directories(work + L"\\reports");
    BoxRuntime& shown = s_boxRuntimes.at(mappingBox);
    struct Restore {
        BoxRuntime& runtime;
        bool use;
        std::wstring folder;
        ~Restore() { runtime.UseTargetFolder = use, runtime.TargetFolder = folder; }
    } restore{shown, shown.UseTargetFolder, shown.TargetFolder};
    shown.UseTargetFolder = true;
    shown.TargetFolder = work + L"\\reports";
    s_boxIconManagers.at(mappingBox).AddRecordForPath(work, 20.0f, 80.0f, L"Work", false, L"", mappingBox, L"bvn!NULL");
    Add(mappingBox, theirs, folderBox);
    DragOver(mappingBox, 0, 160, 1);
    FinishIconDragOnRelease(mappingBox, false);

    EXPECT_TRUE(fs::exists(work + L"\\reports")) << "the other box keeps its folder";
    EXPECT_FALSE(fs::exists(folder + L"\\work"));
    EXPECT_NE(LastNoticeText(L"drag-box-folder").find(L"“work”"), std::wstring::npos);
    const auto& records = s_boxIconManagers.at(mappingBox).Records();
    ASSERT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{work, theirs}));
    EXPECT_EQ(records[0].owner, mappingBox) << "the record stays where it was";
}

TEST_F(IconDragTest, AFileOfTheProgramsDataDroppedInAFolderBoxsSectionStaysWhereItIs)
{
    // The mapping box shows a file of a backup node, as a box showing a
    // folder of the data folder would.
    struct LiveDataFolder {
        std::wstring saved = s_dataFolder;
        ~LiveDataFolder() { s_dataFolder = saved; }
    } live;
    s_dataFolder = store->Path().wstring();
    const std::wstring node = store->File(L"Backups\\UserBackups\\bk_2026_01_02_03_04");
    const std::wstring saved = node + L"\\Tessik.kelm", theirs = folder + L"\\theirs.txt";
    fs::create_directories(node);
    Add(mappingBox, saved, mappingBox);
    Add(mappingBox, theirs, folderBox);
    DragOver(mappingBox, 0, 160, 1);
    FinishIconDragOnRelease(mappingBox, false);
    ASSERT_TRUE(WaitForFileJob([] { return false; }));

    EXPECT_TRUE(fs::exists(saved));
    EXPECT_FALSE(fs::exists(folder + L"\\Tessik.kelm"));
    const std::wstring told = LastNoticeText(L"drag-box-folder");
    EXPECT_NE(told.find(L"“Tessik.kelm”是 Tessik 自己的数据"), std::wstring::npos) << WideToUtf8(told);
    EXPECT_EQ(s_boxIconManagers.at(mappingBox).Records()[0].owner, mappingBox) << "the record stays where it was";
    fs::remove_all(store->File(L"Backups"));
}

TEST_F(IconDragTest, AFileDragKeepsItsPlaceholderInTheViewItIsOver)
{
    const std::wstring a = outside + L"\\a.txt", b = outside + L"\\b.txt", c = outside + L"\\c.txt";
    const std::wstring inFolder = folder + L"\\f.txt", g = folder + L"\\g.txt";
    Add(mappingBox, a, mappingBox);
    Add(mappingBox, b, mappingBox);
    Add(folderBox, inFolder, folderBox);
    Add(folderBox, g, folderBox);
    TempFolder::WriteBytes(c, "c");
    s_dragOverAccepted = true;
    s_droppedFiles = {c};

    PointAt(mappingBox, 30, 100);
    HoverOver(mappingBox, 1);
    EXPECT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{c, a, b}));
    EXPECT_EQ(s_boxIconManagers.at(mappingBox).Records()[0].control->dragMode, 1);
    SaveBoxIcons(s_boxIconManagers.at(mappingBox));
    EXPECT_EQ(StoredPaths(mappingBox), (std::vector<std::wstring>{a, b})) << "a placeholder is never stored";

    // On to the folder box: the placeholder leaves the mapping box.
    PointAt(folderBox, 130, 100);
    HoverOver(folderBox, 0);
    EXPECT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{a, b}));
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{inFolder, c, g}));

    // The drag ends: the other view's next paint takes none of its records
    // for the placeholder, the view that holds it removes exactly that one.
    s_dragOverAccepted = false;
    s_boxIconManagers.at(mappingBox).ApplyCurrentPositions(400, 400);
    EXPECT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{a, b}));
    s_boxIconManagers.at(folderBox).ApplyCurrentPositions(400, 400);
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{inFolder, g}));

    // A file the folder box already holds gets no placeholder, so none of
    // its records can be taken for one.
    s_dragOverAccepted = true;
    s_droppedFiles = {g};
    HoverOver(folderBox, 0);
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{inFolder, g}));
    s_dragOverAccepted = false;
    s_boxIconManagers.at(folderBox).ApplyCurrentPositions(400, 400);
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{inFolder, g}));
}

TEST_F(IconDragTest, LeavingTheBoxPutsTheIconBackAndStartsASystemDrag)
{
    const std::wstring a = folder + L"\\a.txt", b = folder + L"\\b.txt";
    Add(folderBox, a, folderBox, L"bvn!NULL", L"D:\\was\\a.txt");
    Add(folderBox, b, folderBox);
    DragOver(folderBox, 0, 160, 1);
    ASSERT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{b, a}));

    EXPECT_TRUE(RunIconDragOut(folderBox));
    EXPECT_EQ(dragged, (std::vector<std::wstring>{a}));
    EXPECT_EQ(draggedEffects, static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{a, b})) << "back at its former index";
    EXPECT_EQ(s_boxIconManagers.at(folderBox).Records()[0].originalPath, L"D:\\was\\a.txt");
    EXPECT_FALSE(s_boxRuntimes.at(folderBox).dropPending);
    EXPECT_FALSE(s_dragOverAccepted);
    EXPECT_FALSE(RunIconDragOut(folderBox)) << "the drag is over";
}

TEST_F(IconDragTest, IconsThatCannotBeRearrangedGoStraightToASystemDrag)
{
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"})
        Add(folderBox, folder + L"\\" + name, folderBox);
    BoxRuntime& runtime = s_boxRuntimes.at(folderBox);
    runtime.IsLocked = true;
    Grab(folderBox, 1);
    EXPECT_EQ(dragged, (std::vector<std::wstring>{folder + L"\\b.txt"}));
    EXPECT_EQ(draggedEffects, static_cast<DWORD>(DROPEFFECT_COPY)) << "only copy out of a locked box";
    runtime.IsLocked = false;

    runtime.SortMode = 1;
    dragged.clear();
    Grab(folderBox, 2);
    EXPECT_EQ(dragged, (std::vector<std::wstring>{folder + L"\\c.txt"}));
    EXPECT_EQ(draggedEffects, static_cast<DWORD>(DROPEFFECT_MOVE));
    runtime.SortMode = 0;

    runtime.multiSelect = true;
    runtime.selection = {0, 2};
    Grab(folderBox, 2);
    EXPECT_EQ(dragged, (std::vector<std::wstring>{folder + L"\\a.txt", folder + L"\\c.txt"}));
    EXPECT_FALSE(runtime.dropPending);
    EXPECT_EQ(RecordPaths(folderBox).size(), 3u);
}

TEST_F(IconDragTest, EscEndsTheDragInsideTheBoxWithTheIconBackAndNothingMoved)
{
    const std::wstring own = folder + L"\\a.txt", stranger = outside + L"\\b.txt";
    Add(folderBox, own, folderBox);
    Add(folderBox, stranger, folderBox);
    const BoxRuntime& runtime = s_boxRuntimes.at(folderBox);
    auto expectCancelled = [&](const char* how) {
        EXPECT_TRUE(PumpUntil([&] { return !runtime.dropPending; }, 3000)) << how;
        FinishIconDragOnRelease(folderBox, false);
        EXPECT_FALSE(RunIconDragOut(folderBox)) << how;
        EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{own, stranger})) << how;
        EXPECT_TRUE(fs::exists(stranger)) << how << ": the file stays where it was";
        EXPECT_FALSE(s_dragOverAccepted) << how;
        EXPECT_EQ(s_dragPlaceholder.index, -2) << how;
        EXPECT_TRUE(dragged.empty()) << how << ": no system drag";
    };

    // The key's message, as the box that holds the keyboard gets it.
    DragOver(folderBox, 1, 30, 0);
    ASSERT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{stranger, own}));
    PostMessageW(folderBox->GetHwnd(), WM_KEYDOWN, VK_ESCAPE, 1);
    expectCancelled("Esc key");

    // A box without the keyboard: Esc held at the next pointer move.
    DragOver(folderBox, 1, 30, 0);
    s_boxShortcutInput.keyDown = [](int key) { return key == VK_ESCAPE; };
    PostMessageW(folderBox->GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(30, 100));
    expectCancelled("Esc held");
}
