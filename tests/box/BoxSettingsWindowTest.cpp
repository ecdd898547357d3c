// The box settings window and its handlers on real box windows: each
// choice stored and shown, render-style and scope changes re-creating the
// box (icons, group records and undo lists intact), the global values and
// the quick panel's pseudo boxes left without settings objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "BoxTestSupport.h"
#include "app/AppState.h"
#include "app/TempFolder.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxInUse.h"
#include "box/BoxSettings.h"
#include "box/BoxMoreMenu.h"
#include "box/BoxSettingsWindow.h"
#include "box/BoxTitleMenu.h"
#include "box/fileops/CopyJob.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobMailbox.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/UndoList.h"
#include "box/icons/IconPersistence.h"
#include "common/WindowTestSupport.h"
#include "ui/controls/KelmSlider.h"
#include "ui/core/DpiScale.h"

using namespace TessikDesktopContainer;

namespace
{

class BoxSettingsWindowTest : public OwnBoxStoreTest
{
protected:
    void TearDown() override
    {
        BoxSettingsState& s = TheBoxSettings();
        if (s.window && IsWindow(s.window->GetHwnd()))
            DestroyWindow(s.window->GetHwnd());
        OwnBoxStoreTest::TearDown();
    }

    BoxWindowPtr MakeBox(const std::wstring& id, int x, const std::wstring& clrtag = L"#F2F2F2")
    {
        KelmStorageProxy box = s_desktopContainerStore[L"Components"][L"ComID_" + id];
        box[L"id"] = id;
        box[L"x"] = x;
        box[L"y"] = 100;
        box[L"cx"] = 300;
        box[L"cy"] = 300;
        box[L"clrtag"] = clrtag;
        CreateCom(id, L"NULL", false, 1);
        return Live(id);
    }

    static BoxWindowPtr Live(const std::wstring& id)
    {
        for (auto& [window, runtime] : s_boxRuntimes)
            if (runtime.id == id && window && IsWindow(window->GetHwnd()))
                return window;
        return nullptr;
    }

    static void AddRecord(const BoxWindowPtr& box, const std::wstring& path)
    {
        s_boxIconManagers[box].AddRecordForPath(path, 0.0f, 0.0f, L"bvn!NULL", false, L"", box, L"bvn!NULL");
    }

    KelmStorage OnDisk()
    {
        KelmStorage reloaded;
        reloaded.Load(storePath);
        return reloaded;
    }

    void OpenFor(const BoxWindowPtr& box)
    {
        OpenBoxSettingsWindow(box);
        ASSERT_TRUE(TheBoxSettings().window);
        PumpMessages(50);
    }
};

TEST_F(BoxSettingsWindowTest, OpensOneWindowWithTheBoxValuesAndShowsThem)
{
    BoxWindowPtr first = MakeBox(L"a0001", 100);
    BoxWindowPtr second = MakeBox(L"a0002", 450);
    ASSERT_TRUE(first && second);
    OpenFor(first);
    const HWND firstWindow = TheBoxSettings().window->GetHwnd();
    ASSERT_TRUE(IsWindow(firstWindow));
    wchar_t title[64] = {};
    GetWindowTextW(firstWindow, title, 64);
    EXPECT_STREQ(title, L"收纳盒设置");
    wchar_t className[64] = {};
    GetClassNameW(firstWindow, className, 64);
    EXPECT_STREQ(className, L"Tessik.Container.Settings.Class");
    RECT rect{};
    GetWindowRect(firstWindow, &rect);
    EXPECT_EQ(rect.right - rect.left, 400);
    EXPECT_EQ(rect.bottom - rect.top, 630);
    // No "CompatibleLayer" stored: own values, default style.
    EXPECT_FALSE(TheBoxSettings().globalScope);
    EXPECT_EQ(TheBoxSettings().renderStyle, 0);

    // The more menu's "个性化" opens the settings of its box.
    int entries = 0;
    for (const Brevin::KelmOption& option : BoxMoreMenuOptions(second))
        for (const Brevin::KelmOption& child : option.children)
            if (child.text == L"个性化" && child.onClick) {
                ++entries;
                child.onClick();
            }
    ASSERT_EQ(entries, 1);
    PumpMessages(50);
    EXPECT_FALSE(IsWindow(firstWindow)) << "one settings window at a time";
    EXPECT_EQ(TheBoxSettings().boxId, L"a0002");
    EXPECT_TRUE(IsWindow(TheBoxSettings().window->GetHwnd()));
}

TEST_F(BoxSettingsWindowTest, DisplayChoicesAreStoredAndReachTheBox)
{
    BoxWindowPtr box = MakeBox(L"b0001", 100);
    BoxWindowPtr other = MakeBox(L"b0002", 450);
    ASSERT_TRUE(box && other);
    OpenFor(box);
    SetFolderView(true);
    SetFileNameDisplay(2);
    SetTextShadow(3);
    SetTitleStyle(1);
    KelmStorage disk = OnDisk();
    KelmStorageProxy stored = disk[L"Components"][L"ComID_b0001"];
    EXPECT_TRUE(stored[L"ShowDefaultFolderIcon"].Get<bool>(false));
    EXPECT_EQ(stored[L"HideFileExtension"].Get<int>(0), 2);
    EXPECT_EQ(stored[L"TextRenderMode"].Get<int>(0), 3);
    EXPECT_EQ(stored[L"TitleType"].Get<int>(0), 1);
    const BoxRuntime& r = s_boxRuntimes.at(box);
    EXPECT_TRUE(r.ShowDefaultFolderIcon);
    EXPECT_EQ(r.HideFileExtension, 2);
    EXPECT_EQ(r.TextRenderMode, 3);
    EXPECT_EQ(r.TitleType, 1);
    EXPECT_EQ(s_boxRuntimes.at(other).TextRenderMode, 0) << "another box keeps its own";
    EXPECT_EQ(Live(L"b0001"), box) << "no re-creation for display choices";
}

TEST_F(BoxSettingsWindowTest, RenderStyleRecreatesTheBoxWithItsIconsAndZeroOpacitySurvives)
{
    BoxWindowPtr box = MakeBox(L"c0001", 100);
    ASSERT_TRUE(box);
    AddRecord(box, L"C:\\one.txt");
    AddRecord(box, L"C:\\two.txt");
    SaveBoxIcons(s_boxIconManagers.at(box));
    const HWND before = box->GetHwnd();
    OpenFor(box);
    // The opacity sliders belong to the styles that draw a background.
    auto slidersShown = []() -> int {
        BoxSettingsState& s = TheBoxSettings();
        PaintNow(s.window->GetHwnd());
        const auto& controls = s.window->GetPanel()->controls;
        return static_cast<int>(std::count(controls.begin(), controls.end(), s.bgSlider) +
                                std::count(controls.begin(), controls.end(), s.titleSlider));
    };
    EXPECT_EQ(slidersShown(), 0) << "style 0 has no sliders";
    SetBoxRenderStyle(2);
    EXPECT_EQ(slidersShown(), 2);
    BoxWindowPtr made = Live(L"c0001");
    ASSERT_TRUE(made);
    EXPECT_NE(made->GetHwnd(), before);
    EXPECT_FALSE(IsWindow(before));
    EXPECT_EQ(s_boxRuntimes.at(made).CompatibleLayer, 2);
    EXPECT_EQ(RecordPaths(made), (std::vector<std::wstring>{L"C:\\one.txt", L"C:\\two.txt"}));
    EXPECT_TRUE(IsWindow(TheBoxSettings().window->GetHwnd())) << "the settings window stays open";
    EXPECT_EQ(OnDisk()[L"Components"][L"ComID_c0001"][L"CompatibleLayer"].Get<int>(0), 2);

    // With the sliders the sections outgrow the window: the wheel scrolls
    // them, never past their end.
    const HWND settings = TheBoxSettings().window->GetHwnd();
    for (int step = 0; step < 5; ++step)
        SendMessageW(settings, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), MAKELPARAM(600, 400));
    RECT client{};
    GetClientRect(settings, &client);
    // Sections 95 + 110 (sliders) + 4 x 75 + 20 high, 140 under the header.
    const float range = 525.0f - static_cast<float>(client.bottom - 140);
    const ULONGLONG end = GetTickCount64() + 3000;
    while (TheBoxSettings().scroll < range - 1.5f && GetTickCount64() < end)
        PumpMessages(10);
    PaintNow(settings);
    EXPECT_GE(TheBoxSettings().scroll, range - 1.5f);
    EXPECT_LE(TheBoxSettings().scroll, range);

    // A slider at 0 stores 0.
    TheBoxSettings().bgSlider->Set(0, 0, 100, 0, 0, 0, L"", {});
    SetBackgroundOpacity();
    EXPECT_FLOAT_EQ(s_boxRuntimes.at(made).bgAlpha, 0.0f);
    KelmStorage disk = OnDisk();
    const BoxSettings read = BoxSettings::Read(FindBoxObject(disk, L"c0001"), FindRootObject(disk, L"TessikRef"), 1.0);
    EXPECT_FLOAT_EQ(read.bgAlpha, 0.0f) << "an opacity of 0 is read back as 0, not the default";
}

TEST_F(BoxSettingsWindowTest, GlobalScopeSeedsTheGlobalValuesOnceAndEveryGlobalBoxFollows)
{
    BoxWindowPtr first = MakeBox(L"d0001", 100);
    BoxWindowPtr second = MakeBox(L"d0002", 450);
    ASSERT_TRUE(first && second);
    OpenFor(first);
    SetTextShadow(2);
    SetPropertyScope(true);
    {
        KelmStorage disk = OnDisk();
        EXPECT_EQ(disk[L"Components"][L"ComID_d0001"][L"CompatibleLayer"].Get<int>(0), -1);
        EXPECT_EQ(disk[L"TessikRef"][L"CompatibleLayer"].Get<int>(-99), 0);
        EXPECT_EQ(disk[L"TessikRef"][L"TextRenderMode"].Get<int>(0), 2);
        EXPECT_EQ(disk[L"TessikRef"][L"TitleType"].Get<int>(-5), 0);
    }
    ASSERT_TRUE(Live(L"d0001"));
    EXPECT_NE(Live(L"d0001"), first) << "the box is made again";

    // The second box goes global too: it takes the global values, its own
    // do not overwrite them.
    OpenFor(second);
    SetTitleStyle(2);
    SetPropertyScope(true);
    EXPECT_EQ(OnDisk()[L"TessikRef"][L"TitleType"].Get<int>(-5), 0);
    OpenFor(Live(L"d0002"));
    EXPECT_TRUE(TheBoxSettings().globalScope);
    EXPECT_EQ(TheBoxSettings().textRenderMode, 2);

    // A display change in global scope reaches every global box at once.
    SetTextShadow(3);
    EXPECT_EQ(s_boxRuntimes.at(Live(L"d0001")).TextRenderMode, 3);
    EXPECT_EQ(s_boxRuntimes.at(Live(L"d0002")).TextRenderMode, 3);
    // A render style in global scope re-creates nothing until "同步更改".
    const BoxWindowPtr beforeSync = Live(L"d0001");
    SetBoxRenderStyle(1);
    EXPECT_EQ(Live(L"d0001"), beforeSync);
    EXPECT_EQ(OnDisk()[L"TessikRef"][L"CompatibleLayer"].Get<int>(0), 1);
    SyncGlobalPropertyBoxes();
    ASSERT_TRUE(Live(L"d0001") && Live(L"d0002"));
    EXPECT_NE(Live(L"d0001"), beforeSync);
    EXPECT_EQ(s_boxRuntimes.at(Live(L"d0001")).CompatibleLayer, 1);
    EXPECT_EQ(s_boxRuntimes.at(Live(L"d0002")).CompatibleLayer, 1);

    // Back to own values: the values the window showed are kept in the box.
    SetPropertyScope(false);
    KelmStorage disk = OnDisk();
    EXPECT_EQ(disk[L"Components"][L"ComID_d0002"][L"CompatibleLayer"].Get<int>(-1), 1);
    EXPECT_EQ(disk[L"Components"][L"ComID_d0002"][L"TextRenderMode"].Get<int>(0), 3);
}

TEST_F(BoxSettingsWindowTest, PseudoAndDeadEntriesGetNoSettingsObjects)
{
    BoxWindowPtr box = MakeBox(L"e0001", 100);
    ASSERT_TRUE(box);
    auto pseudo = std::make_shared<KelmWindow>();
    s_boxRuntimes[pseudo].id = L"QUICK_PANEL_ROOT";
    auto dead = std::make_shared<KelmWindow>();
    s_boxRuntimes[dead].id = L"e0999";
    OpenFor(box);
    SetPropertyScope(true);
    SetFolderView(true);
    SetTitleStyle(1);
    SyncGlobalPropertyBoxes();
    KelmStorage disk = OnDisk();
    EXPECT_EQ(FindBoxObject(disk, L"QUICK_PANEL_ROOT"), nullptr);
    EXPECT_EQ(FindBoxObject(disk, L"e0999"), nullptr);
    EXPECT_EQ(FindBoxObject(s_desktopContainerStore, L"QUICK_PANEL_ROOT"), nullptr);
    EXPECT_EQ(FindBoxObject(s_desktopContainerStore, L"e0999"), nullptr);
    s_boxRuntimes.erase(pseudo);
    s_boxRuntimes.erase(dead);
}

TEST_F(BoxSettingsWindowTest, RecreatingAGroupMemberKeepsOneCopyOfItsRecordsAndItsUndoLists)
{
    BoxWindowPtr host = MakeBox(L"f0001", 100, L"#FF0000");
    BoxWindowPtr member = MakeBox(L"f0002", 450, L"#FF0000");
    ASSERT_TRUE(host && member);
    AddRecord(host, L"C:\\h.txt");
    AddRecord(member, L"C:\\m1.txt");
    AddRecord(member, L"C:\\m2.txt");
    SaveBoxIcons(s_boxIconManagers.at(member));
    MergeBoxGroup(host);
    ASSERT_EQ(s_boxIconManagers.at(host).Records().size(), 3u);
    UndoRecord undo;
    undo.owner = member;
    s_boxRuntimes.at(member).undoList.push_back(undo);
    s_boxRuntimes.at(member).redoList.push_back(undo);

    RecreateBox(L"f0002");
    BoxWindowPtr made = Live(L"f0002");
    ASSERT_TRUE(made);
    ASSERT_NE(made, member);
    const auto& records = s_boxIconManagers.at(host).Records();
    ASSERT_EQ(records.size(), 3u) << "the old copies left the host before the new box joined";
    EXPECT_EQ(records[1].owner, made);
    EXPECT_EQ(records[2].owner, made);
    ASSERT_EQ(s_boxRuntimes.at(made).undoList.size(), 1u);
    ASSERT_EQ(s_boxRuntimes.at(made).redoList.size(), 1u);
    EXPECT_EQ(s_boxRuntimes.at(made).undoList[0].owner, made);

    RecreateBox(L"f0999"); // no such box: nothing happens
    EXPECT_EQ(Live(L"f0002"), made);
}

// A file job hands its records to the box as its files land: while one
// works for the box, no handler makes the box again, none stores its
// change, and the user is told; once it ended they do.
TEST_F(BoxSettingsWindowTest, NoHandlerRemakesABoxWhileAFileJobWorksForIt)
{
    BoxWindowPtr box = MakeBox(L"g0001", 100);
    ASSERT_TRUE(box);
    OpenFor(box);
    s_copyProgress.busy = true;
    s_copyProgress.workerRunning = true;
    s_copyProgress.targetWindow = box;
    const int told = TimesUserNotified(L"box-remake-busy");
    SetBoxRenderStyle(2);
    SetPropertyScope(true);
    EXPECT_EQ(Live(L"g0001"), box);
    EXPECT_EQ(TheBoxSettings().renderStyle, 0);
    EXPECT_FALSE(TheBoxSettings().globalScope);
    EXPECT_EQ(OnDisk()[L"Components"][L"ComID_g0001"][L"CompatibleLayer"].Get<int>(-7), -7) << "nothing stored";
    EXPECT_EQ(TimesUserNotified(L"box-remake-busy"), told + 2);
    s_copyProgress.busy = false;
    s_copyProgress.workerRunning = false;

    SetPropertyScope(true);
    BoxWindowPtr global = Live(L"g0001");
    ASSERT_TRUE(global && global != box);
    s_copyProgress.busy = true;
    s_copyProgress.workerRunning = true;
    s_copyProgress.targetWindow = global;
    SyncGlobalPropertyBoxes();
    EXPECT_EQ(Live(L"g0001"), global);
    EXPECT_EQ(TimesUserNotified(L"box-remake-busy"), told + 3);
    s_copyProgress.busy = false;
    s_copyProgress.workerRunning = false;
    s_copyProgress.targetWindow.reset();
    SyncGlobalPropertyBoxes();
    EXPECT_NE(Live(L"g0001"), global);
}

// A drop, paste or put-back holds its box by id: neither the box nor a
// member of its group is made again until the last copy of the hold goes.
TEST_F(BoxSettingsWindowTest, NoBoxOfAGroupIsRemadeWhileAHoldWorksForIt)
{
    BoxWindowPtr host = MakeBox(L"j0001", 100, L"#00FF00");
    BoxWindowPtr member = MakeBox(L"j0002", 450, L"#00FF00");
    ASSERT_TRUE(host && member);
    AddRecord(member, L"C:\\m.txt");
    SaveBoxIcons(s_boxIconManagers.at(member));
    MergeBoxGroup(host);
    BoxInUse hold = BoxInUse::Hold(host);
    BoxInUse copy = hold;
    hold.Release();
    const int told = TimesUserNotified(L"box-remake-busy");
    OpenFor(member);
    SetBoxRenderStyle(2);
    EXPECT_EQ(Live(L"j0002"), member);
    EXPECT_EQ(TimesUserNotified(L"box-remake-busy"), told + 1);
    EXPECT_EQ(copy.Box(), host);
    copy.Release();
    SetBoxRenderStyle(2);
    EXPECT_NE(Live(L"j0002"), member);
}

// A box's settings window closes when the box is deleted: a later choice
// stores no settings of a box that is gone.
TEST_F(BoxSettingsWindowTest, DeletingABoxClosesItsSettings)
{
    BoxWindowPtr box = MakeBox(L"k0001", 100);
    ASSERT_TRUE(box);
    OpenFor(box);
    DeleteBox(box);
    EXPECT_FALSE(IsWindow(TheBoxSettings().window->GetHwnd()));
    SetTextShadow(2);
    SetPropertyScope(true);
    EXPECT_EQ(FindBoxObject(s_desktopContainerStore, L"k0001"), nullptr);
    KelmStorage disk = OnDisk();
    EXPECT_EQ(FindBoxObject(disk, L"k0001"), nullptr);
}

// Results of a job whose box was made again while it ran land in the box
// that stands under the same id, and the job ends there.
TEST_F(BoxSettingsWindowTest, AJobsResultsReachTheBoxThatStandsUnderItsId)
{
    BoxWindowPtr box = MakeBox(L"h0001", 100);
    ASSERT_TRUE(box);
    const std::wstring folder = temp.File(L"h-folder");
    std::filesystem::create_directories(folder);
    const std::wstring source = temp.File(L"h-source.txt");
    TempFolder::WriteBytes(source, "h");
    ASSERT_TRUE(FileJobMailbox::Open());
    CopyJob job;
    job.box = box;
    CopyJobItem item;
    item.source = source;
    item.destination = folder + L"\\h-source.txt";
    item.originalPath = L"bvn!NULL";
    item.owner = box;
    job.items.push_back(item);
    s_copyProgress.targetWindow = box;
    s_copyProgress.targetBoxId = L"h0001";
    RecreateBox(L"h0001");
    BoxWindowPtr made = Live(L"h0001");
    ASSERT_TRUE(made && made != box);
    // The worker was handed the old window; it ends before anything lands.
    std::thread(CopyFilesWorker, job).join();
    const ULONGLONG end = GetTickCount64() + 5000;
    while (s_copyProgress.targetWindow != made && GetTickCount64() < end)
        PumpMessages(10);
    EXPECT_EQ(RecordPaths(made), (std::vector<std::wstring>{item.destination}));
    EXPECT_EQ(s_copyProgress.targetWindow, made) << "the job ended in the box that stands";
    EXPECT_FALSE(s_copyProgress.busy);
    s_copyProgress.targetWindow.reset();
}

// A box that is gone all the same when a job's items land: what "直接覆盖"
// replaced, which no undo record can bring back, does not stay in the
// temporary folder, and the user hears where the items are.
TEST_F(BoxSettingsWindowTest, AJobWhoseBoxIsGoneLetsWhatItReplacedGoAndSaysSo)
{
    BoxWindowPtr box = MakeBox(L"l0001", 100);
    ASSERT_TRUE(box);
    const std::wstring folder = temp.File(L"l-folder");
    std::filesystem::create_directories(folder);
    const std::wstring source = temp.File(L"l-same.txt");
    TempFolder::WriteBytes(source, "new");
    TempFolder::WriteBytes(folder + L"\\l-same.txt", "old");
    ASSERT_TRUE(FileJobMailbox::Open());
    CopyJob job;
    job.box = box;
    CopyJobItem item;
    item.source = source;
    item.destination = folder + L"\\l-same.txt";
    item.originalPath = L"bvn!NULL";
    item.owner = box;
    item.replace = true;
    item.keptCopy = TempCopyPath(item.destination);
    job.items.push_back(item);
    s_copyProgress.targetWindow = box;
    s_copyProgress.targetBoxId = L"l0001";
    RetireBoxWindow(box);
    const int told = TimesUserNotified(L"job-box-gone");
    std::thread(CopyFilesWorker, job).join();
    // Wine's shell asks before it recycles: the user says yes.
    std::atomic<bool> answered{false};
    std::thread answerer([&answered] {
        while (!answered) {
            AnswerShellQuestions();
            Sleep(5);
        }
    });
    EXPECT_TRUE(PumpUntil([&] { return TimesUserNotified(L"job-box-gone") > told; }, 20000));
    answered = true;
    answerer.join();
    EXPECT_NE(LastNoticeText(L"job-box-gone").find(L"l-same.txt"), std::wstring::npos);
    EXPECT_FALSE(PathExists(item.keptCopy)) << "the replaced version stayed where only the program finds it";
    EXPECT_EQ(TempFolder::ReadBytes(item.destination), "new");
    s_copyProgress.targetWindow.reset();
}

} // namespace
