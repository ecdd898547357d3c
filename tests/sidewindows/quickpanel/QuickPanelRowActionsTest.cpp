#include <cstdlib>
#include <filesystem>

#include "QuickPanelTestSupport.h"
#include "app/FileRemoval.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"
#include "box/BoxInUse.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/UndoRecord.h"
#include "common/DirectoryLink.h"
#include "common/ShellQuestionCounter.h"
#include "sidewindows/quickpanel/QuickPanelList.h"
#include "sidewindows/quickpanel/QuickPanelNewComponent.h"
#include "sidewindows/quickpanel/QuickPanelRowActions.h"

using namespace TessikQuickPanel;

namespace
{

std::wstring Text(KelmStorage& store, const std::wstring& root, const std::wstring& key, const std::wstring& member)
{
    return store[root][key][member].Get<std::wstring>(L"<none>");
}

bool HasMember(KelmStorage& store, const std::wstring& root, const std::wstring& key)
{
    try {
        return store.GetRootObject(root).members.count(key) > 0;
    } catch (const std::exception&) {
        return false;
    }
}

// The saved "ListOrder" keys, which must be exactly "0".."n-1".
std::vector<std::wstring> SavedOrder(const std::wstring& file)
{
    KelmStorage reread;
    reread.Load(file);
    std::vector<std::wstring> ids;
    for (const auto& [key, value] : reread.GetRootObject(L"ListOrder").members) {
        EXPECT_EQ(key, std::to_wstring(ids.size()));
        ids.push_back(std::get<std::wstring>(value));
    }
    return ids;
}

} // namespace

TEST_F(QuickPanelTest, RenamedHiddenBoxesComeBackAsTypedAfterAReload)
{
    AddHidden(L"h00001", L"Ghost");
    BuildQuickPanelList();
    for (const std::wstring title : {L"\\\\NAS \"my photos\" a\\b", L"2024", L"-0", L" a "}) {
        ApplyComponentTitle(L"h00001", true, title);
        s_quickPanelStore.Load(temp.File(L"QuickPanelCom.kelm"));
        BuildQuickPanelList();
        ASSERT_EQ(s_hiddenBoxes.size(), 1u);
        EXPECT_EQ(s_hiddenBoxes[0].title, title);
    }
}

TEST_F(QuickPanelTest, RenameAndRecolourReachTheStoresOfBothKinds)
{
    auto box = AddBox(L"aaaaa");
    AddHidden(L"h00001", L"Ghost");
    BuildQuickPanelList();

    ApplyComponentTitle(L"aaaaa", false, L"工作");
    EXPECT_EQ(s_boxRuntimes[box].title, L"工作");
    ApplyComponentTitle(L"h00001", true, L"");
    ApplyComponentColour(L"aaaaa", false, RGB(0x12, 0x34, 0x56));
    ApplyComponentColour(L"h00001", true, RGB(0xAB, 0xCD, 0xEF));

    KelmStorage desktop, panel;
    desktop.Load(temp.File(L"DesktopContainer.kelm"));
    panel.Load(temp.File(L"QuickPanelCom.kelm"));
    EXPECT_EQ(Text(desktop, L"Components", L"ComID_aaaaa", L"title"), L"工作");
    EXPECT_EQ(Text(desktop, L"Components", L"ComID_aaaaa", L"clrtag"), L"#123456");
    // An empty title is a title.
    EXPECT_EQ(Text(panel, L"TempList", L"h00001", L"title"), L"");
    EXPECT_EQ(Text(panel, L"TempList", L"h00001", L"clrtag"), L"#ABCDEF");
    // The rebuilt rows show the new values.
    for (const auto& row : s_quickPanelRows) {
        if (row->id == L"aaaaa") {
            EXPECT_EQ(row->colour, RGB(0x12, 0x34, 0x56));
        }
    }
}

TEST_F(QuickPanelTest, DeletingTheSelectedBoxRewritesTheOrderAndSelectsTheFirstRow)
{
    AddBox(L"aaaaa");
    AddBox(L"bbbbb");
    AddBox(L"ccccc");
    s_quickPanelStore[L"ListOrder"][L"0"] = L"bbbbb";
    s_quickPanelStore[L"ListOrder"][L"1"] = L"aaaaa";
    s_quickPanelStore[L"ListOrder"][L"2"] = L"ccccc";
    s_selectedComponentId = L"aaaaa";
    BuildQuickPanelList();

    EXPECT_TRUE(RemoveDesktopComponent(L"aaaaa", FolderChoice::Keep));
    EXPECT_FALSE(HasMember(s_desktopContainerStore, L"Components", L"ComID_aaaaa"));
    EXPECT_TRUE(HasMember(s_desktopContainerStore, L"Components", L"ComID_bbbbb"));
    EXPECT_EQ(RowIds(), (std::vector<std::wstring>{L"bbbbb", L"ccccc"}));
    EXPECT_EQ(SavedOrder(temp.File(L"QuickPanelCom.kelm")), (std::vector<std::wstring>{L"bbbbb", L"ccccc"}));
    EXPECT_EQ(s_selectedComponentId, L"bbbbb");
    KelmStorage desktop;
    desktop.Load(temp.File(L"DesktopContainer.kelm"));
    EXPECT_FALSE(HasMember(desktop, L"Components", L"ComID_aaaaa"));
}

// The panel deletes a desktop box by the box's own road: not while a file
// job works for it; otherwise its undo records leave with it, and what
// they kept does not wait in the temporary folder.
TEST_F(QuickPanelTest, DeletingADesktopBoxWaitsForItsFileJobAndLetsItsUndoRecordsLeave)
{
    auto box = AddBox(L"aaaaa");
    BuildQuickPanelList();
    const std::wstring kept = temp.File(L"a.txt1f2e.tmp");
    TempFolder::WriteBytes(kept, "kept for undo");
    UndoRecord record;
    record.kind = 1;
    record.path = temp.File(L"a.txt");
    record.tempPath = kept;
    record.recycleConfirmed = true;
    s_boxRuntimes[box].undoList.push_back(record);

    s_copyProgress.busy = true;
    s_copyProgress.workerRunning = true;
    s_copyProgress.targetWindow = box;
    const int told = TimesUserNotified(L"box-delete-busy");
    const bool removedWhileBusy = RemoveDesktopComponent(L"aaaaa", FolderChoice::Keep);
    s_copyProgress.busy = false;
    s_copyProgress.workerRunning = false;
    s_copyProgress.targetWindow.reset();
    EXPECT_FALSE(removedWhileBusy);
    EXPECT_EQ(TimesUserNotified(L"box-delete-busy"), told + 1);
    EXPECT_TRUE(FindBoxRuntime(box));
    EXPECT_TRUE(HasMember(s_desktopContainerStore, L"Components", L"ComID_aaaaa"));
    EXPECT_TRUE(std::filesystem::exists(kept));

    EXPECT_TRUE(RemoveDesktopComponent(L"aaaaa", FolderChoice::Keep));
    EXPECT_FALSE(FindBoxRuntime(box));
    EXPECT_FALSE(std::filesystem::exists(kept)) << "the record left with what it kept";
}

TEST_F(QuickPanelTest, DeletingAHiddenBoxRemovesItsRecordsAndTreatsItsFolderAsChosen)
{
    const std::wstring kept = temp.File(L"temp_h00001");
    const std::wstring gone = temp.File(L"temp_h00002");
    std::filesystem::create_directories(std::filesystem::path(kept) / L"sub");
    std::filesystem::create_directories(std::filesystem::path(gone) / L"sub");
    AddHidden(L"h00001", L"One");
    AddHidden(L"h00002", L"Two");
    AddHidden(L"h00003", L"Three");
    s_quickPanelStore[L"TempList"][L"h00001"][L"TargetFolder"] = kept;
    // Stored with a trailing backslash: the folder itself goes.
    s_quickPanelStore[L"TempList"][L"h00002"][L"TargetFolder"] = gone + L"\\";
    // An empty folder must not become the working folder.
    s_quickPanelStore[L"TempList"][L"h00003"][L"TargetFolder"] = L"";
    s_quickPanelStore[L"TempIcons"][L"h00001"][L"0"] = L"x";
    s_quickPanelStore[L"TempPhysIcons"][L"h00001"][L"0"] = L"y";
    const std::filesystem::path workingFolder = std::filesystem::current_path();
    BuildQuickPanelList();

    // Not while a drop or paste works for it.
    BoxInUse hold = BoxInUse::HoldId(L"h00001");
    EXPECT_FALSE(RemoveHiddenComponent(L"h00001", FolderChoice::Keep));
    EXPECT_TRUE(HasMember(s_quickPanelStore, L"TempList", L"h00001"));
    hold.Release();
    // Its files stay where no box shows them: the user hears where.
    TempFolder::WriteBytes(kept + L"\\sub\\a.txt", "stays");
    EXPECT_TRUE(RemoveHiddenComponent(L"h00001", FolderChoice::Keep));
    EXPECT_TRUE(std::filesystem::exists(kept + L"\\sub\\a.txt"));
    EXPECT_NE(LastNoticeText(L"box-folder-left").find(L"temp_h00001"), std::wstring::npos);
    EXPECT_FALSE(HasMember(s_quickPanelStore, L"TempList", L"h00001"));
    EXPECT_FALSE(HasMember(s_quickPanelStore, L"TempIcons", L"h00001"));
    EXPECT_FALSE(HasMember(s_quickPanelStore, L"TempPhysIcons", L"h00001"));

    // The folder goes off the window's thread, the box held meanwhile.
    EXPECT_TRUE(RemoveHiddenComponent(L"h00002", FolderChoice::Remove));
    EXPECT_TRUE(PumpUntil([] { return !BoxInUse::Held(L"h00002"); }, 30000));
    EXPECT_FALSE(std::filesystem::exists(gone));

    EXPECT_TRUE(RemoveHiddenComponent(L"h00003", FolderChoice::Remove));
    EXPECT_TRUE(std::filesystem::is_directory(workingFolder));
    EXPECT_TRUE(s_hiddenBoxes.empty());
    EXPECT_TRUE(s_quickPanelRows.empty());
    EXPECT_TRUE(SavedOrder(temp.File(L"QuickPanelCom.kelm")).empty());
}

TEST_F(QuickPanelTest, AFolderTwoHiddenBoxesShareStaysWhenOneOfThemIsDeleted)
{
    const std::wstring shared = temp.File(L"temp_h00008");
    std::filesystem::create_directories(shared);
    TempFolder::WriteBytes(shared + L"\\kept.txt", "the other box's file");
    AddHidden(L"h00008", L"One");
    AddHidden(L"h00009", L"Two");
    s_quickPanelStore[L"TempList"][L"h00008"][L"TargetFolder"] = shared;
    s_quickPanelStore[L"TempList"][L"h00009"][L"TargetFolder"] = shared + L"\\";
    BuildQuickPanelList();

    EXPECT_FALSE(RemoveHiddenComponent(L"h00008", FolderChoice::Remove));
    EXPECT_FALSE(RemoveHiddenComponent(L"h00008", FolderChoice::Recycle));
    EXPECT_EQ(TempFolder::ReadBytes(shared + L"\\kept.txt"), "the other box's file");
    EXPECT_TRUE(HasMember(s_quickPanelStore, L"TempList", L"h00008")) << "the box stays with its folder";
    EXPECT_TRUE(WasUserNotified(L"quick-panel-delete"));
}

// A folder out of reach (its drive pulled out) is not one already gone:
// deleting its files keeps the box, and says why.
TEST_F(QuickPanelTest, AHiddenBoxWhoseFolderCannotBeReachedStaysUnlessOnlyTheBoxGoes)
{
    AddHidden(L"h00010", L"Ten");
    s_quickPanelStore[L"TempList"][L"h00010"][L"TargetFolder"] = temp.File(L"unplugged\\temp_h00010");
    BuildQuickPanelList();
    for (const FolderChoice choice : {FolderChoice::Remove, FolderChoice::Recycle}) {
        EXPECT_FALSE(RemoveHiddenComponent(L"h00010", choice));
        EXPECT_TRUE(HasMember(s_quickPanelStore, L"TempList", L"h00010"));
        EXPECT_NE(LastNoticeText(L"quick-panel-delete").find(L"不存在或无法访问"), std::wstring::npos);
    }
    EXPECT_TRUE(RemoveHiddenComponent(L"h00010", FolderChoice::Keep));
    EXPECT_FALSE(HasMember(s_quickPanelStore, L"TempList", L"h00010"));
}

TEST_F(QuickPanelTest, RecyclingAHiddenBoxSendsTheFolderItselfToTheRecycleBin)
{
    // The test's own Trash (see tests/CMakeLists.txt), where Wine puts what
    // it recycles.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(dataHome, nullptr) << "run through ctest, which gives the test a Trash of its own";
    const std::wstring name = L"temp_r" + RandomHexString(5);
    const std::wstring inTrash = L"Z:" + Utf8ToWide(dataHome) + L"\\Trash\\files\\" + name;
    const std::wstring folder = temp.File(name);
    std::filesystem::create_directories(std::filesystem::path(folder) / L"sub");
    TempFolder::WriteBytes(folder + L"\\sub\\f.txt", "f");
    AddHidden(L"h00004", L"Four");
    AddHidden(L"h00005", L"Five");
    // Stored with a trailing backslash: the folder itself goes.
    s_quickPanelStore[L"TempList"][L"h00004"][L"TargetFolder"] = folder + L"\\";
    s_quickPanelStore[L"TempList"][L"h00005"][L"TargetFolder"] = L"";
    const std::filesystem::path workingFolder = std::filesystem::current_path();
    BuildQuickPanelList();

    // The shell asks before it recycles (Wine's does): answered as a user.
    {
        ShellQuestionCounter answering(IDYES);
        // The shell works off the window's thread: the call returns at once,
        // and the box stays, held, until its folder has left.
        EXPECT_TRUE(RemoveHiddenComponent(L"h00004", FolderChoice::Recycle));
        EXPECT_TRUE(BoxInUse::Held(L"h00004")) << "the shell ran on the window's thread";
        EXPECT_TRUE(HasMember(s_quickPanelStore, L"TempList", L"h00004"));
        EXPECT_TRUE(PumpUntil([] { return !BoxInUse::Held(L"h00004"); }, 30000));
        EXPECT_LE(answering.Asked(), 1) << "one operation of the shell";
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_EQ(TempFolder::ReadBytes(inTrash + L"\\sub\\f.txt"), "f") << "not in the Recycle Bin as a whole";
    EXPECT_FALSE(HasMember(s_quickPanelStore, L"TempList", L"h00004"));
    RemoveItemWithoutFollowingLinks(inTrash);

    // An empty folder must not become the working folder.
    EXPECT_TRUE(RemoveHiddenComponent(L"h00005", FolderChoice::Recycle));
    EXPECT_TRUE(std::filesystem::is_directory(workingFolder));
    EXPECT_TRUE(s_hiddenBoxes.empty());
}

TEST_F(QuickPanelTest, RemovingAHiddenBoxsFolderNeverReachesThroughALinkNorTakesAProtectedFolder)
{
    std::filesystem::create_directories(temp.File(L"outside"));
    TempFolder::WriteBytes(temp.File(L"outside\\keep.txt"), "keep");
    const std::wstring folder = temp.File(L"temp_h00006");
    std::filesystem::create_directories(folder + L"\\sub");
    TempFolder::WriteBytes(folder + L"\\sub\\inner.txt", "inner");
    if (!MakeDirectoryLink(folder + L"\\sub\\lnk", temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no directory links";
    // The box folder root itself, stored as a hidden box's folder.
    const std::wstring root = temp.File(L"boxes");
    std::filesystem::create_directories(root);
    TempFolder::WriteBytes(root + L"\\mine.txt", "mine");
    s_appStore[L"TessikRef"][L"containerDir"] = root;
    AddHidden(L"h00006", L"Six");
    AddHidden(L"h00007", L"Seven");
    s_quickPanelStore[L"TempList"][L"h00006"][L"TargetFolder"] = folder;
    s_quickPanelStore[L"TempList"][L"h00007"][L"TargetFolder"] = root;
    BuildQuickPanelList();

    // Where the link cannot be removed, the folder stays with it, and so
    // does the box.
    const bool linkStays = FolderLinksStayOnThisSystem();
    RemoveHiddenComponent(L"h00006", FolderChoice::Remove);
    EXPECT_TRUE(PumpUntil([] { return !BoxInUse::Held(L"h00006"); }, 30000));
    EXPECT_EQ(std::filesystem::exists(folder), linkStays);
    EXPECT_FALSE(std::filesystem::exists(folder + L"\\sub\\inner.txt"));
    EXPECT_EQ(HasMember(s_quickPanelStore, L"TempList", L"h00006"), linkStays);
    EXPECT_EQ(TempFolder::ReadBytes(temp.File(L"outside\\keep.txt")), "keep");

    EXPECT_FALSE(RemoveHiddenComponent(L"h00007", FolderChoice::Remove));
    EXPECT_EQ(TempFolder::ReadBytes(root + L"\\mine.txt"), "mine");
    EXPECT_TRUE(HasMember(s_quickPanelStore, L"TempList", L"h00007")) << "the box is kept";
    EXPECT_TRUE(WasUserNotified(L"quick-panel-delete"));
    s_appStore[L"TessikRef"][L"containerDir"] = L"";
}

TEST_F(QuickPanelTest, EveryAnswerToAHiddenBoxsDeleteEndsTheHoverRepaints)
{
    const auto saved = s_deleteComponentChoice;
    std::wstring choose;
    s_deleteComponentChoice = [&choose](HWND, std::vector<Brevin::KelmOption> options) {
        for (const auto& option : options)
            if (option.text == choose)
                option.onClick();
        return !choose.empty();
    };
    int n = 0;
    for (const wchar_t* answer : {L"", L"移动文件到回收站", L"彻底删除文件", L"仅删除组件"}) {
        choose = answer;
        const std::wstring id = L"h1000" + std::to_wstring(n++);
        AddHidden(id, L"Ghost");
        BuildQuickPanelList();
        // "仅删除组件" ends them for the selected box.
        SelectComponent(id, true);
        std::shared_ptr<QPListItem> row;
        for (const auto& candidate : s_quickPanelRows)
            if (candidate->id == id)
                row = candidate;
        ASSERT_TRUE(row);
        // A row's hover was running when the popup took the pointer.
        HoverAnimationCount = 2;
        DeleteComponent(row);
        EXPECT_EQ(HoverAnimationCount, 0) << std::wstring(answer).size();
        EXPECT_EQ(HasMember(s_quickPanelStore, L"TempList", id), choose.empty());
    }
    s_deleteComponentChoice = saved;
    HoverAnimationCount = 0;
}

TEST_F(QuickPanelTest, AFailedSaveIsToldToTheUser)
{
    AddBox(L"aaaaa");
    BuildQuickPanelList();
    // A store whose folder does not exist cannot be written.
    s_desktopContainerStore.Load(temp.File(L"missing\\DesktopContainer.kelm"));
    s_desktopContainerStore[L"Components"][L"ComID_aaaaa"][L"clrtag"] = L"#F2F2F2";
    ApplyComponentTitle(L"aaaaa", false, L"新");
    EXPECT_TRUE(WasUserNotified(L"store-save"));
    EXPECT_NE(LastNoticeText(L"store-save").find(L"收纳盒及其图标"), std::wstring::npos);
    EXPECT_TRUE(s_desktopContainerStore.HasUnsavedChanges());
}

TEST(QuickPanelRowTitle, NarrowRowsCutTheTitle)
{
    EXPECT_EQ(RowTitleText(L"abcdefghijklmnop", 180), L"abcdefghijklmnop");
    EXPECT_EQ(RowTitleText(L"abcdefghijklmnop", 120), L"abcd...");
    EXPECT_EQ(RowTitleText(L"abcd", 120), L"abcd");
    // Never fewer than one character.
    EXPECT_EQ(RowTitleText(L"abcdef", 40), L"a...");
}

TEST(QuickPanelHiddenBoxFolder, FolderBesideTheContainerFolder)
{
    EXPECT_EQ(HiddenBoxFolder(L"C:\\\\data\\\\boxes", L"ab12cd"), L"C:\\data\\boxes\\temp_ab12cd");
    EXPECT_EQ(HiddenBoxFolder(L"D:\\", L"ab12cd"), L"D:\\temp_ab12cd");
    EXPECT_EQ(HiddenBoxFolder(L"\\\\server\\share", L"ab12cd"), L"\\\\server\\share\\temp_ab12cd");
    // No container folder: the root of the current drive.
    EXPECT_EQ(HiddenBoxFolder(L"", L"ab12cd"), L"\\temp_ab12cd");
}

TEST_F(QuickPanelTest, ANewHiddenBoxIsStoredListedAndSelected)
{
    AddBox(L"aaaaa");
    s_appStore[L"TessikRef"][L"containerDir"] = temp.File(L"boxes");
    CreateHiddenBox(nullptr);
    ASSERT_EQ(s_hiddenBoxes.size(), 1u);
    const HiddenBoxRecord& record = s_hiddenBoxes[0];
    EXPECT_EQ(record.id.size(), 6u);
    EXPECT_EQ(record.TargetFolder, temp.File(L"boxes") + L"\\temp_" + record.id);
    EXPECT_TRUE(std::filesystem::is_directory(record.TargetFolder));
    EXPECT_EQ(s_selectedComponentId, record.id);
    EXPECT_TRUE(s_selectedIsHidden);
    EXPECT_EQ(s_quickPanelRows.size(), 2u);

    KelmStorage reread;
    reread.Load(temp.File(L"QuickPanelCom.kelm"));
    EXPECT_EQ(reread[L"TempList"][record.id][L"title"].Get<std::wstring>(L""), L"隐身收纳盒");
    EXPECT_EQ(reread[L"TempList"][record.id][L"clrtag"].Get<std::wstring>(L""), L"#F2F2F2");
    EXPECT_FALSE(reread[L"TempList"][record.id][L"UseTargetFolder"].Get<bool>(true));
    s_appStore[L"TessikRef"][L"containerDir"] = L"";
}

TEST_F(QuickPanelTest, AHiddenBoxWhoseFolderCannotBeMadeIsStoredAllTheSame)
{
    // A file stands where the folder's parent should be.
    TempFolder::WriteBytes(temp.File(L"blocked"), "x");
    s_appStore[L"TessikRef"][L"containerDir"] = temp.File(L"blocked");
    CreateHiddenBox(nullptr);
    s_appStore[L"TessikRef"][L"containerDir"] = L"";
    ASSERT_EQ(s_hiddenBoxes.size(), 1u);
    const std::wstring id = s_hiddenBoxes[0].id;
    EXPECT_EQ(s_selectedComponentId, id);
    KelmStorage reread;
    reread.Load(temp.File(L"QuickPanelCom.kelm"));
    EXPECT_EQ(reread[L"TempList"][id][L"title"].Get<std::wstring>(L""), L"隐身收纳盒");
}
