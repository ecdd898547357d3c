// Dragging icons out of a box: the effects a drop may take, and what is
// handed to the system drag (the icon, or the selection it belongs to).
#include <gtest/gtest.h>

#include <set>

#include "BoxTestSupport.h"
#include "box/BoxIconDrag.h"
#include "box/BoxShortcuts.h"
#include "ui/core/DpiScale.h"

using namespace TessikDesktopContainer;

TEST(IconDragEffects, MoveOnlyOutOfAnUnlockedFolderBoxWithoutCtrl)
{
    EXPECT_EQ(IconDragEffects(true, false, false), static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(IconDragEffects(true, true, false), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(IconDragEffects(true, false, true), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(IconDragEffects(false, false, false), static_cast<DWORD>(DROPEFFECT_COPY));
}

TEST(BeginIconDrag, HandsTheIconOrItsSelectionToTheSystemDrag)
{
    DpiScale = 1.0;
    TempFolder store;
    const BoxWindowPtr box = CreateTestBoxes(store, {true}).at(0);
    KelmIconManager& view = s_boxIconManagers.at(box);
    const std::wstring folder = s_boxRuntimes.at(box).TargetFolder;
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) {
        TempFolder::WriteBytes(folder + L"\\" + name, "x");
        view.AddRecordForPath(folder + L"\\" + name, 0, 0, L"bvn!NULL", false, L"", box, L"bvn!NULL");
    }
    const auto savedDrag = s_iconFileDrag;
    const BoxShortcutInput savedInput = s_boxShortcutInput;
    std::vector<std::wstring> dragged;
    DWORD effects = 0;
    s_iconFileDrag = [&](const std::vector<std::wstring>& paths, DWORD e, HWND) {
        dragged = paths;
        effects = e;
        return DWORD(DROPEFFECT_NONE);
    };
    s_boxShortcutInput.keyDown = [](int) { return false; };

    BeginIconDrag(view, view.Records().at(1));
    EXPECT_EQ(dragged, (std::vector<std::wstring>{folder + L"\\b.txt"}));
    EXPECT_EQ(effects, static_cast<DWORD>(DROPEFFECT_MOVE));

    BoxRuntime& runtime = s_boxRuntimes.at(box);
    runtime.multiSelect = true;
    runtime.selection = {0, 2};
    BeginIconDrag(view, view.Records().at(2));
    EXPECT_EQ(dragged, (std::vector<std::wstring>{folder + L"\\a.txt", folder + L"\\c.txt"}));
    BeginIconDrag(view, view.Records().at(1));
    EXPECT_EQ(dragged, (std::vector<std::wstring>{folder + L"\\b.txt"})) << "an icon outside the selection";

    s_iconFileDrag = savedDrag;
    s_boxShortcutInput = savedInput;
    RetireBoxWindow(box);
}
