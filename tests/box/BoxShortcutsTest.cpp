// The keyboard of the foreground box, driven through its key state:
// Ctrl+A / Ctrl+U / Esc on the view the selection is made in, Ctrl+C and
// Ctrl+X on the clipboard (a cut marks "Preferred DropEffect" 2, only in a
// folder-backed box), Ctrl+C then Ctrl+V into another box, the latches of
// Ctrl+Z / Ctrl+Y / Del, L and its colour popup, and the repaint of a key
// press.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>
#include <set>

#include "BoxTestSupport.h"
#include "common/WindowTestSupport.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxServices.h"
#include "box/BoxSettings.h"
#include "box/BoxShortcuts.h"
#include "box/fileops/UndoRedo.h"
#include "box/GroupTagColourPopup.h"
#include "box/fileops/DeleteSelected.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/PalettePopup.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

std::vector<std::wstring> ClipboardFiles(DWORD* dropEffect, size_t* blockSize)
{
    std::vector<std::wstring> paths;
    *dropEffect = 0;
    if (!OpenClipboard(nullptr))
        return paths;
    if (HANDLE data = GetClipboardData(CF_HDROP)) {
        *blockSize = GlobalSize(data);
        const UINT count = DragQueryFileW(static_cast<HDROP>(data), 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            wchar_t path[MAX_PATH] = {};
            DragQueryFileW(static_cast<HDROP>(data), i, path, MAX_PATH);
            paths.push_back(path);
        }
    }
    if (HANDLE effect = GetClipboardData(RegisterClipboardFormatW(L"Preferred DropEffect"))) {
        *dropEffect = *static_cast<DWORD*>(GlobalLock(effect));
        GlobalUnlock(effect);
    }
    CloseClipboard();
    return paths;
}

void EmptyTheClipboard()
{
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

class BoxShortcutsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        DpiScale = 1.0;
        store = new TempFolder();
        const std::vector<BoxWindowPtr> boxes = CreateTestBoxes(*store, {true, true, false});
        folderA = boxes.at(0);
        folderB = boxes.at(1);
        mappingBox = boxes.at(2);
    }
    static void TearDownTestSuite()
    {
        for (const auto& box : {folderA, folderB, mappingBox})
            RetireBoxWindow(box);
        s_copyProgress.targetWindow.reset();
        s_boxShortcutInput = saved;
    }

    void SetUp() override
    {
        ASSERT_TRUE(folderA && folderB && mappingBox);
        for (const auto& box : {folderA, folderB, mappingBox}) {
            s_boxIconManagers.at(box).RemoveAllRecords();
            BoxRuntime& runtime = s_boxRuntimes.at(box);
            runtime.undoList.clear();
            runtime.selection.clear();
            runtime.multiSelect = false;
            runtime.IsLocked = false;
            runtime.searchActive = false;
            runtime.searchText.clear();
            runtime.IsIntegrated = false;
        }
        for (const auto& box : {folderA, folderB})
            for (auto& entry : fs::directory_iterator(Folder(box)))
                fs::remove_all(entry.path());
        keys.clear();
        foreground = folderA->GetHwnd();
        s_boxShortcutInput.keyDown = [this](int key) { return keys.count(key) > 0; };
        s_boxShortcutInput.foreground = [this] { return foreground; };
        s_boxShortcutInput.pause = [] {};
        EmptyTheClipboard();
    }
    void TearDown() override
    {
        keys.clear();
        for (const auto& box : {folderA, folderB, mappingBox})
            Press(box, {});
        s_undoFileOperationHook = UndoLastFileOperation;
        s_redoFileOperationHook = RedoLastFileOperation;
        s_sameNameQuestion = [](HWND) { return 0; };
    }

    static std::wstring Folder(const BoxWindowPtr& box) { return s_boxRuntimes.at(box).TargetFolder; }

    // One paint's worth of shortcuts with these keys down.
    void Press(const BoxWindowPtr& box, std::set<int> down)
    {
        keys = std::move(down);
        RunBoxShortcuts(s_boxIconManagers.at(box), box);
    }

    std::wstring AddFile(const BoxWindowPtr& box, const std::wstring& name)
    {
        const std::wstring path = Folder(box) + L"\\" + name;
        TempFolder::WriteBytes(path, "data of " + std::string(name.begin(), name.end()));
        s_boxIconManagers.at(box).AddRecordForPath(path, 0, 0, L"bvn!NULL", false, L"", box, L"bvn!NULL");
        return path;
    }

    void WaitForWork()
    {
        EXPECT_TRUE(WaitForFileJob([] { return s_pendingPaste.Pending() || s_pendingDelete.Pending(); }))
            << "the file job did not end";
    }

    static inline TempFolder* store = nullptr;
    static inline BoxWindowPtr folderA, folderB, mappingBox;
    static inline BoxShortcutInput saved = s_boxShortcutInput;
    std::set<int> keys;
    HWND foreground = nullptr;
};

} // namespace

TEST_F(BoxShortcutsTest, SelectionKeysWorkOnlyInMultiSelectAndOnTheShownView)
{
    AddFile(folderA, L"a.txt");
    AddFile(folderA, L"b.txt");
    AddFile(folderA, L"c.txt");
    BoxRuntime& runtime = s_boxRuntimes.at(folderA);

    Press(folderA, {VK_CONTROL, 'U'});
    Press(folderA, {VK_CONTROL, 'C'});
    DWORD effect = 0;
    size_t size = 0;
    EXPECT_TRUE(ClipboardFiles(&effect, &size).empty()) << "nothing before multi-select";

    foreground = nullptr;
    Press(folderA, {VK_CONTROL, 'A'});
    EXPECT_FALSE(runtime.multiSelect) << "only the box with the keyboard";
    foreground = folderA->GetHwnd();
    Press(folderA, {VK_CONTROL, 'A'});
    EXPECT_TRUE(runtime.multiSelect);
    EXPECT_EQ(runtime.selection, (std::set<int32_t>{0, 1, 2}));
    runtime.selection = {1};
    Press(folderA, {VK_CONTROL, 'U'});
    EXPECT_EQ(runtime.selection, (std::set<int32_t>{0, 2}));
    Press(folderA, {VK_ESCAPE});
    EXPECT_FALSE(runtime.multiSelect);
    EXPECT_TRUE(runtime.selection.empty());

    // While a search filters the box, the ids are those of its search view.
    KelmIconManager& search = s_boxSearchManagers[folderA];
    search.RemoveAllRecords();
    search.AddRecordForPath(Folder(folderA) + L"\\c.txt", 0, 0, L"bvn!NULL", false, L"", folderA, L"bvn!NULL");
    runtime.searchActive = true;
    runtime.searchText = L"c";
    Press(folderA, {VK_CONTROL, 'A'});
    EXPECT_EQ(runtime.selection, (std::set<int32_t>{0}));
    Press(folderA, {VK_CONTROL, 'C'});
    EXPECT_EQ(ClipboardFiles(&effect, &size), (std::vector<std::wstring>{Folder(folderA) + L"\\c.txt"}));
    s_boxSearchManagers.erase(folderA);
}

TEST_F(BoxShortcutsTest, CopyAndCutPutTheSelectedFilesOnTheClipboard)
{
    const std::wstring a = AddFile(folderA, L"a.txt");
    const std::wstring b = AddFile(folderA, L"b.txt");
    Press(folderA, {VK_CONTROL, 'A'});
    Press(folderA, {VK_CONTROL, 'C'});
    DWORD effect = 0;
    size_t size = 0;
    EXPECT_EQ(ClipboardFiles(&effect, &size), (std::vector<std::wstring>{a, b}));
    EXPECT_EQ(effect, 0u);
    EXPECT_GE(size, 20 + 2 * (a.size() + 1 + b.size() + 1) + 2);

    Press(folderA, {VK_CONTROL, 'X'});
    EXPECT_EQ(ClipboardFiles(&effect, &size), (std::vector<std::wstring>{a, b}));
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));

    // A box that only maps files never offers them for a move.
    EmptyTheClipboard();
    s_boxIconManagers.at(mappingBox).AddRecordForPath(a, 0, 0, L"bvn!NULL", false, L"", mappingBox, L"bvn!NULL");
    foreground = mappingBox->GetHwnd();
    Press(mappingBox, {VK_CONTROL, 'A'});
    Press(mappingBox, {VK_CONTROL, 'X'});
    EXPECT_TRUE(ClipboardFiles(&effect, &size).empty());
}

TEST_F(BoxShortcutsTest, CopyThenPasteIntoAnotherBoxNumbersTheClash)
{
    const std::wstring a = AddFile(folderA, L"a.txt");
    TempFolder::WriteBytes(Folder(folderB) + L"\\a.txt", "old");
    Press(folderA, {VK_CONTROL, 'A'});
    Press(folderA, {VK_CONTROL, 'C'});

    foreground = folderB->GetHwnd();
    s_sameNameQuestion = [](HWND) { return 0; };
    Press(folderB, {VK_CONTROL, 'V'});
    Press(folderB, {VK_CONTROL, 'V'});
    WaitForWork();
    EXPECT_EQ(TempFolder::ReadBytes(Folder(folderB) + L"\\a (1).txt"), "data of a.txt");
    EXPECT_FALSE(fs::exists(Folder(folderB) + L"\\a (2).txt")) << "held keys paste once";
    EXPECT_EQ(TempFolder::ReadBytes(Folder(folderB) + L"\\a.txt"), "old");
    EXPECT_EQ(TempFolder::ReadBytes(a), "data of a.txt");
}

TEST_F(BoxShortcutsTest, UndoRedoAndDeleteFireOncePerPress)
{
    int undone = 0, redone = 0;
    s_undoFileOperationHook = [&](const BoxWindowPtr& box, const BoxWindowPtr& target) {
        EXPECT_EQ(box, folderA);
        EXPECT_EQ(target, folderA);
        ++undone;
    };
    s_redoFileOperationHook = [&](const BoxWindowPtr&, const BoxWindowPtr&) { ++redone; };
    Press(folderA, {VK_CONTROL, 'Z'});
    Press(folderA, {VK_CONTROL, 'Z'});
    EXPECT_EQ(undone, 1);
    Press(folderA, {VK_CONTROL});
    Press(folderA, {VK_CONTROL, 'Z'});
    EXPECT_EQ(undone, 2);
    Press(folderA, {VK_CONTROL, 'Y'});
    Press(folderA, {VK_CONTROL, 'Y'});
    EXPECT_EQ(redone, 1);

    AddFile(folderA, L"d.txt");
    s_boxRuntimes.at(folderA).IsLocked = true;
    Press(folderA, {VK_CONTROL, 'A'});
    Press(folderA, {VK_DELETE});
    EXPECT_FALSE(s_pendingDelete.Pending()) << "a locked box deletes nothing";
    s_boxRuntimes.at(folderA).IsLocked = false;
    Press(folderA, {});
    Press(folderA, {VK_DELETE});
    EXPECT_EQ(s_pendingDelete.Pending(), folderA);
    s_pendingDelete.Clear();
    Press(folderA, {VK_DELETE});
    EXPECT_FALSE(s_pendingDelete.Pending()) << "held Del fires once";
}

// The shortcuts run in the box's paint: a key press and a release each
// repaint the box, so Ctrl+Z undoes, and undoes again after Z was let go.
TEST_F(BoxShortcutsTest, KeyPressesRepaintTheBox)
{
    int undos = 0;
    s_undoFileOperationHook = [&](const BoxWindowPtr&, const BoxWindowPtr&) { ++undos; };
    const HWND box = folderA->GetHwnd();
    auto key = [&](UINT message, std::set<int> down) {
        keys = std::move(down);
        ValidateRect(box, nullptr);
        SendMessageW(box, message, 'Z', 0);
        UpdateWindow(box);
    };
    key(WM_KEYDOWN, {VK_CONTROL, 'Z'});
    EXPECT_EQ(undos, 1);
    key(WM_KEYUP, {VK_CONTROL});
    key(WM_KEYDOWN, {VK_CONTROL, 'Z'});
    EXPECT_EQ(undos, 2) << "the release was not seen";
}

TEST_F(BoxShortcutsTest, LChoosesTheGroupTagColourOfTheBoxAndTheBoxesItShows)
{
    std::vector<std::wstring> presets;
    int shown = 0;
    COLORREF answer = RGB(0xF2, 0xF2, 0xF2);
    bool pick = true;
    s_paletteExtraColors = {{RGB(1, 2, 3), L"mine"}};
    s_groupTagPalette = [&](HWND, COLORREF, COLORREF* chosen) {
        ++shown;
        presets.clear();
        for (const PaletteColorEntry& entry : s_paletteExtraColors)
            presets.push_back(entry.name);
        *chosen = answer;
        return pick;
    };
    auto clrtag = [](const BoxWindowPtr& box) {
        return std::get<std::wstring>(
            FindBoxObject(s_desktopContainerStore, s_boxRuntimes.at(box).id)->members[L"clrtag"]);
    };
    auto waitForPopup = [] {
        for (int i = 0; i < 100 && s_pendingGroupTag.Pending(); ++i)
            PumpMessages(20);
    };

    Press(folderA, {VK_CONTROL, 'L'});
    waitForPopup();
    EXPECT_EQ(shown, 0) << "Ctrl+L opens nothing";

    answer = RGB(0x12, 0x34, 0x56);
    Press(folderA, {'L'});
    waitForPopup();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(presets, (std::vector<std::wstring>{L"", L"未分组"}));
    ASSERT_EQ(s_paletteExtraColors.size(), 1u) << "the shared presets come back";
    EXPECT_EQ(s_paletteExtraColors[0].name, L"mine");
    EXPECT_EQ(clrtag(folderA), L"#123456");
    EXPECT_EQ(clrtag(folderB), L"#F2F2F2");

    // An integrated box passes its colour to the boxes whose records it shows.
    s_boxRuntimes.at(mappingBox).IsIntegrated = true;
    s_boxIconManagers.at(mappingBox)
        .AddRecordForPath(Folder(folderB) + L"\\x", 0, 0, L"bvn!NULL", true, L"", folderB, L"bvn!NULL");
    ApplyGroupTagColour(mappingBox, RGB(0xAB, 0xCD, 0xEF));
    EXPECT_EQ(clrtag(mappingBox), L"#ABCDEF");
    EXPECT_EQ(clrtag(folderB), L"#ABCDEF");
    EXPECT_EQ(clrtag(folderA), L"#123456");

    pick = false;
    Press(folderA, {});
    Press(folderA, {'L'});
    waitForPopup();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(clrtag(folderA), L"#123456") << "a dismissed popup changes nothing";
    s_paletteExtraColors.clear();
}

// Every paint runs the shortcuts: which window is in front, a question to
// the window system, is asked only once a shortcut's keys are down.
TEST_F(BoxShortcutsTest, OnlyAShortcutsKeysAskWhichWindowIsInFront)
{
    int asked = 0;
    s_boxShortcutInput.foreground = [&] {
        ++asked;
        return foreground;
    };
    Press(folderA, {});
    Press(folderA, {VK_CONTROL});
    EXPECT_EQ(asked, 0);
    Press(folderA, {VK_CONTROL, 'A'});
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(s_boxRuntimes.at(folderA).multiSelect);
    s_boxShortcutInput.foreground = [this] { return foreground; };
}
