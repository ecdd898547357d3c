// Shared by the tests that make real box windows.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "app/AppState.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxServices.h"

#include "box/BoxRuntime.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/icons/FolderSync.h"
#include "box/icons/KelmIconManager.h"
#include "common/WindowTestSupport.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

// Takes a box out of the registry and stops its timers. The window itself
// stays until the process ends: destroying one costs Wine about two
// seconds, and the other suites must not see it as a box.
inline void RetireBoxWindow(const BoxWindowPtr& box)
{
    static std::vector<BoxWindowPtr> kept;
    if (!box)
        return;
    box->StopHoverRepaintTimer();
    KillTimer(box->GetHwnd(), kAnimationTimerId);
    s_boxRuntimes.erase(box);
    s_boxIconManagers.erase(box);
    s_boxSearchManagers.erase(box);
    kept.push_back(box);
}

// Boxes of a test suite in a box store and data folder of their own under
// store: one per entry, folder-backed (a folder under store's "root") when
// the entry is true, mapping otherwise; in the order given.
inline std::vector<BoxWindowPtr> CreateTestBoxes(const TempFolder& store, const std::vector<bool>& folderBacked)
{
    s_appStore[L"TessikRef"][L"containerDir"] = store.File(L"data");
    TempFolder::WriteBytes(store.File(L"DesktopContainer.kelm"), "");
    s_desktopContainerStore.Load(store.File(L"DesktopContainer.kelm"));
    std::filesystem::create_directories(store.File(L"root"));
    std::vector<BoxWindowPtr> boxes;
    for (bool folder : folderBacked) {
        std::vector<BoxWindowPtr> before;
        for (const auto& entry : s_boxRuntimes)
            before.push_back(entry.first);
        TessikDesktopContainer::CreateCom(L"NULL", folder ? store.File(L"root") : L"NULL", false, 1);
        // The box's folder is listed on the refresh's worker.
        EXPECT_TRUE(PumpUntil([] { return !FolderListingsOnTheirWay(); }, 10000));
        for (const auto& entry : s_boxRuntimes)
            if (std::find(before.begin(), before.end(), entry.first) == before.end())
                boxes.push_back(entry.first);
    }
    return boxes;
}

// Dispatches messages until nothing waits to start (`pending` says whether
// something does) and no file job holds the progress record: the worker
// has ended and its final completion ran on this thread. False when that
// took longer than 30 s.
inline bool WaitForFileJob(const std::function<bool()>& pending)
{
    return PumpUntil([&] { return !pending() && !PasteBeingLookedAt() && !s_copyProgress.busy; }, 30000);
}

// The paths of the box's records, in list order.
inline std::vector<std::wstring> RecordPaths(const BoxWindowPtr& box)
{
    std::vector<std::wstring> paths;
    for (const IconRecord& record : s_boxIconManagers.at(box).Records())
        paths.push_back(record.path);
    return paths;
}

// A test with a box store and a default box folder of its own, at scale 1
// and past the start-up; every box it made is retired afterwards and the
// global settings it changed are put back.
class OwnBoxStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        savedScale = DpiScale;
        savedStartingUp = s_startingUp;
        DpiScale = 1.0;
        s_startingUp = false;
        savedContainerDir = s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L"");
        s_appStore[L"TessikRef"][L"containerDir"] = temp.Path().wstring();
        storePath = temp.File(L"DesktopContainer.kelm");
        TempFolder::WriteBytes(storePath, "");
        s_desktopContainerStore.Load(storePath);
    }
    void TearDown() override
    {
        std::vector<BoxWindowPtr> boxes;
        for (auto& [box, runtime] : s_boxRuntimes)
            boxes.push_back(box);
        for (const BoxWindowPtr& box : boxes) {
            if (box && IsWindow(box->GetHwnd()))
                ShowWindow(box->GetHwnd(), SW_HIDE);
            RetireBoxWindow(box);
        }
        s_boxRuntimes.clear();
        s_appStore[L"TessikRef"][L"containerDir"] = savedContainerDir;
        DpiScale = savedScale;
        s_startingUp = savedStartingUp;
    }

    TempFolder temp;
    std::wstring savedContainerDir;
    std::wstring storePath;
    double savedScale = 1.0;
    bool savedStartingUp = true;
};

// A suite with one folder box and one mapping box in a store of its own,
// made once for the suite and retired after it.
class FolderAndMappingBoxesTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        DpiScale = 1.0;
        store = new TempFolder();
        const std::vector<BoxWindowPtr> boxes = CreateTestBoxes(*store, {true, false});
        folderBox = boxes.at(0);
        mappingBox = boxes.at(1);
    }
    static void TearDownTestSuite()
    {
        for (const auto& box : {folderBox, mappingBox})
            RetireBoxWindow(box);
        s_copyProgress.targetWindow.reset();
    }

    static inline TempFolder* store = nullptr;
    static inline BoxWindowPtr folderBox, mappingBox;
};

// Both boxes emptied before each test (records, undo list, lock and the
// folder's files), a folder "in" for sources, and the same-name question
// answered with `answer` and counted.
class FileJobBoxesTest : public FolderAndMappingBoxesTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folderBox && mappingBox);
        std::filesystem::create_directories(temp.File(L"in"));
        for (const auto& box : {folderBox, mappingBox}) {
            s_boxIconManagers.at(box).RemoveAllRecords();
            s_boxRuntimes.at(box).undoList.clear();
            s_boxRuntimes.at(box).IsLocked = false;
        }
        for (auto& entry : std::filesystem::directory_iterator(Folder()))
            std::filesystem::remove_all(entry.path());
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

    TempFolder temp;
    int answer = 0;
    int answers = 0;
};
