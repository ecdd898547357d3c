// The box menus' actions on real box windows: renaming and recolouring
// (an integrated host recolours every member of its group), merging a
// colour group into its host and splitting it again, the more menu's
// entries, sort modes and the lock, new files, undo and redo, show/hide all
// and the search matches of all boxes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "common/DirectoryLink.h"
#include "common/WindowTestSupport.h"
#include "app/AppState.h"
#include "app/CommonHelpers.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "app/UserNotice.h"
#include "box/BoxBackgroundMenu.h"
#include "box/BoxCreation.h"
#include "box/BoxMoreMenu.h"
#include "box/BoxNewFiles.h"
#include "box/BoxSearchMatches.h"
#include "box/BoxSettings.h"
#include "box/BoxServices.h"
#include "box/BoxSortLock.h"
#include "BoxTestSupport.h"
#include "box/BoxTitleMenu.h"
#include "box/fileops/UndoRedo.h"
#include "box/fileops/UndoSteps.h"
#include "box/icons/FolderSync.h"
#include "box/icons/IconPersistence.h"
#include "box/icons/KelmIconManager.h"
#include "ui/controls/KelmButton.h"
#include "ui/core/DpiScale.h"

using namespace TessikDesktopContainer;

namespace
{

class BoxMenusTest : public OwnBoxStoreTest
{
protected:
    KelmStorageProxy Stored(const std::wstring& id) { return s_desktopContainerStore[L"Components"][L"ComID_" + id]; }

    BoxWindowPtr MakeBox(const std::wstring& id, int x, const std::wstring& clrtag, const std::wstring& folder = L"")
    {
        KelmStorageProxy box = Stored(id);
        if (!folder.empty()) {
            box[L"UseTargetFolder"] = true;
            box[L"TargetFolder"] = folder;
        }
        box[L"id"] = id;
        box[L"x"] = x;
        box[L"y"] = 100;
        box[L"cx"] = 300;
        box[L"cy"] = 300;
        box[L"clrtag"] = clrtag;
        CreateCom(id, L"NULL", false, 1);
        for (auto& [window, runtime] : s_boxRuntimes) {
            if (runtime.id == id) {
                PumpUntil([&] { return IsWindowVisible(window->GetHwnd()) != FALSE; }, 10000);
                // The box's folder is listed on the refresh's worker.
                EXPECT_TRUE(PumpUntil([] { return !FolderListingsOnTheirWay(); }, 10000));
                return window;
            }
        }
        ADD_FAILURE() << "box did not open";
        return nullptr;
    }

    // A box on the folder "box" of the test's temporary folder.
    BoxWindowPtr MakeFolderBox(std::filesystem::path& folder)
    {
        folder = temp.Path() / L"box";
        std::filesystem::create_directories(folder);
        return MakeBox(L"a0001", 100, L"#F2F2F2", folder.wstring());
    }

    static void AddRecord(const BoxWindowPtr& box, const std::wstring& path)
    {
        s_boxIconManagers[box].AddRecordForPath(path, 0.0f, 0.0f, L"bvn!NULL", false, L"", box, L"bvn!NULL");
    }

    template <typename T> T OnDisk(const std::wstring& id, const wchar_t* key, T fallback)
    {
        KelmStorage reloaded;
        reloaded.Load(storePath);
        return reloaded[L"Components"][L"ComID_" + id][key].Get<T>(fallback);
    }

    static COLORREF TagOf(const BoxWindowPtr& box) { return s_boxRuntimes[box].titleButton->fill; }

    // A screen point inside the box's client area.
    static POINT Inside(const BoxWindowPtr& box, int x = 150, int y = 150)
    {
        POINT p{x, y};
        ClientToScreen(box->GetHwnd(), &p);
        return p;
    }

    static std::string Bytes(const std::filesystem::path& path)
    {
        std::string text;
        if (FILE* f = _wfopen(path.c_str(), L"rb")) {
            char buffer[64];
            size_t n;
            while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0)
                text.append(buffer, n);
            fclose(f);
        }
        return text;
    }

    std::vector<std::wstring> TempItems()
    {
        std::vector<std::wstring> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(temp.Path() / L".data" / L".temp", ec))
            names.push_back(entry.path().filename().wstring());
        return names;
    }
};

TEST_F(BoxMenusTest, RenamedTitlesComeBackAsTypedAfterAReload)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    BoxWindowPtr other = MakeBox(L"b0001", 500, L"#F2F2F2");
    ASSERT_TRUE(box && other);
    for (const std::wstring title : {L"\\\\NAS \"my photos\"", L"say \"hi\"", L"C:\\dir\\", L"a\\\\b", L"\\\\\"",
                                     L"{a}, b: c", L"收纳盒 \U0001F600", L"2024", L"true", L"-0", L"007", L" a "}) {
        SetBoxTitle(box, title);
        KelmStorage reloaded;
        reloaded.Load(storePath);
        ASSERT_FALSE(reloaded.FailedToParse());
        const auto& boxes = reloaded.GetRootObject(L"Components").members;
        const BoxSettings read = BoxSettings::Read(std::get<4>(boxes.at(L"ComID_a0001")).get(), nullptr, 1.0);
        EXPECT_EQ(read.title, title);
        EXPECT_EQ(boxes.count(L"ComID_b0001"), 1u) << "the box after it";
    }
}

TEST_F(BoxMenusTest, RenameAndRecolourAreStored)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    ASSERT_TRUE(box);
    SetBoxTitle(box, L"文档");
    EXPECT_EQ(s_boxRuntimes[box].title, L"文档");
    EXPECT_EQ(OnDisk<std::wstring>(L"a0001", L"title", L""), L"文档");
    SetBoxTitle(box, L"");
    EXPECT_EQ(OnDisk<std::wstring>(L"a0001", L"title", L"x"), L"") << "an empty title is accepted";

    SetBoxTagColour(box, HexToColor(L"#12AB34"));
    EXPECT_EQ(TagOf(box), HexToColor(L"#12AB34"));
    EXPECT_EQ(OnDisk<std::wstring>(L"a0001", L"clrtag", L""), L"#12AB34");
}

TEST_F(BoxMenusTest, TitleMenuOffersMergeOnlyToASeparateUnmixedGroupAndSplitOnlyToAHost)
{
    BoxWindowPtr a = MakeBox(L"a0001", 100, L"#FF0000");
    BoxWindowPtr b = MakeBox(L"b0001", 450, L"#FF0000");
    ASSERT_TRUE(a && b);
    auto options = BoxTitleMenuOptions(a);
    ASSERT_EQ(options.size(), 2u);
    EXPECT_EQ(options[0].text, L":\xF031:       标题");
    ASSERT_EQ(options[1].sideList.size(), 2u);
    EXPECT_EQ(options[1].sideList[0].state, 1);
    EXPECT_EQ(options[1].sideList[1].state, 0);

    s_boxRuntimes[b].UseTargetFolder = true;
    EXPECT_EQ(BoxTitleMenuOptions(a)[1].sideList[0].state, 0) << "folder-backed and mapping boxes never merge";
    s_boxRuntimes[b].UseTargetFolder = false;

    MergeBoxGroup(a);
    options = BoxTitleMenuOptions(a);
    EXPECT_EQ(options[1].sideList[0].state, 0);
    EXPECT_EQ(options[1].sideList[1].state, 1);
}

TEST_F(BoxMenusTest, MergeHidesTheMembersAndSplitShowsThemAgain)
{
    BoxWindowPtr host = MakeBox(L"a0001", 100, L"#FF0000");
    BoxWindowPtr member = MakeBox(L"b0001", 450, L"#FF0000");
    BoxWindowPtr other = MakeBox(L"c0001", 800, L"#00FF00");
    ASSERT_TRUE(host && member && other);
    s_boxRuntimes[member].title = L"成员";
    AddRecord(host, L"C:\\h.txt");
    AddRecord(member, L"C:\\m1.txt");
    AddRecord(member, L"C:\\m2.txt");

    RECT hostBefore{}, memberBefore{};
    GetWindowRect(host->GetHwnd(), &hostBefore);
    GetWindowRect(member->GetHwnd(), &memberBefore);
    MergeBoxGroup(host);
    EXPECT_TRUE(s_boxRuntimes[host].IsIntegrated);
    EXPECT_TRUE(OnDisk<bool>(L"a0001", L"IsIntegrated", false));
    EXPECT_FALSE(OnDisk<bool>(L"b0001", L"IsIntegrated", true));
    EXPECT_FALSE(IsWindowVisible(member->GetHwnd()));
    EXPECT_TRUE(IsWindowVisible(other->GetHwnd())) << "another colour is another group";
    const auto& records = s_boxIconManagers[host].Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].owner, member);
    EXPECT_TRUE(records[1].merged);
    EXPECT_EQ(records[1].sectionText, L"成员") << "the first record of a member heads its run";
    EXPECT_EQ(records[2].sectionText, L"");

    MergeBoxGroup(host);
    EXPECT_EQ(s_boxIconManagers[host].Records().size(), 3u) << "merging again does not double the records";

    // The host moves while integrated: its own place is kept for the split.
    SetWindowPos(host->GetHwnd(), nullptr, 600, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SplitBoxGroup(host);
    EXPECT_FALSE(s_boxRuntimes[host].IsIntegrated);
    EXPECT_FALSE(OnDisk<bool>(L"a0001", L"IsIntegrated", true));
    EXPECT_TRUE(IsWindowVisible(member->GetHwnd()));
    RECT hostAfter{}, memberAfter{};
    GetWindowRect(host->GetHwnd(), &hostAfter);
    GetWindowRect(member->GetHwnd(), &memberAfter);
    EXPECT_EQ(hostAfter.left, hostBefore.left);
    EXPECT_EQ(hostAfter.top, hostBefore.top);
    EXPECT_EQ(memberAfter.left, memberBefore.left) << "each member shows where it was";
    EXPECT_EQ(memberAfter.top, memberBefore.top);
    EXPECT_EQ(s_boxIconManagers[host].Records().size(), 1u);
    EXPECT_EQ(s_boxIconManagers[member].Records().size(), 2u);
    KelmStorage reloaded;
    reloaded.Load(storePath);
    EXPECT_EQ(reloaded[L"Components"][L"ComID_a0001"][L"IntegratedPos"][L"cx"].Get<int>(0), 300);
    EXPECT_EQ(reloaded[L"Components"][L"ComID_a0001"][L"IntegratedPos"][L"x"].Get<int>(0), 600)
        << "the integrated place is kept for the next merge";
}

TEST_F(BoxMenusTest, RecolouringAHostReachesMembersWithoutRecords)
{
    BoxWindowPtr host = MakeBox(L"a0001", 100, L"#FF0000");
    BoxWindowPtr empty = MakeBox(L"b0001", 450, L"#FF0000");
    BoxWindowPtr folder = MakeBox(L"c0001", 800, L"#FF0000");
    ASSERT_TRUE(host && empty && folder);
    MergeBoxGroup(host);
    // A box of the same colour but the other kind is no member.
    s_boxRuntimes[folder].UseTargetFolder = true;

    SetBoxTagColour(host, HexToColor(L"#0000FF"));
    EXPECT_EQ(TagOf(empty), HexToColor(L"#0000FF"));
    EXPECT_EQ(OnDisk<std::wstring>(L"b0001", L"clrtag", L""), L"#0000FF");
    EXPECT_EQ(TagOf(folder), HexToColor(L"#FF0000"));

    SplitBoxGroup(host);
    EXPECT_TRUE(IsWindowVisible(empty->GetHwnd())) << "the empty member is shown again by the split";
}

TEST_F(BoxMenusTest, MoreMenuReflectsTheBoxAndItsHandlersStoreTheirKeys)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    ASSERT_TRUE(box);
    auto options = BoxMoreMenuOptions(box);
    ASSERT_EQ(options.size(), 4u);
    EXPECT_EQ(options[0].text, L":\xF03A:\u00A0 \u00A0 \u00A0\u00A0 列表视图");
    ASSERT_EQ(options[1].sideList.size(), 3u);
    EXPECT_EQ(options[1].sideList[1].state, 2) << "z 1 highlights the middle item";
    EXPECT_EQ(options[1].sideList[0].state, 1);
    const auto& sorting = options[2].children[2].children;
    ASSERT_EQ(sorting.size(), 5u);
    EXPECT_EQ(sorting[0].text, L":\x2714:   自由排序");
    EXPECT_EQ(sorting[3].text, L"      时间正序");

    ToggleBoxListView(box);
    EXPECT_TRUE(OnDisk<bool>(L"a0001", L"IsListView", false));
    EXPECT_EQ(BoxMoreMenuOptions(box)[0].text, L":\xF009:\u00A0 \u00A0\u00A0 \u00A0 网格视图");

    SetIconSpacingLoose(box);
    EXPECT_EQ(OnDisk<int>(L"a0001", L"IconSpacingMode", -1), 2);

    SetBoxZTopmost(box);
    EXPECT_EQ(Stored(L"a0001")[L"z"].Get<int>(-1), 2);
    EXPECT_NE(OnDisk<int>(L"a0001", L"z", -1), 2) << "the z order waits for the next save";
    EXPECT_TRUE(box->keepTopmost);
    EXPECT_EQ(BoxMoreMenuOptions(box)[1].sideList[0].state, 2);
    SetBoxZBottom(box);
    EXPECT_TRUE(box->keepBottom);
    EXPECT_FALSE(box->keepTopmost);
}

TEST_F(BoxMenusTest, SortModesAndLockAreStored)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    ASSERT_TRUE(box);
    void (*const handlers[])(const BoxWindowPtr&) = {SetSortFree, SetSortNameAscending, SetSortNameDescending,
                                                     SetSortTimeAscending, SetSortTimeDescending};
    for (int mode : {3, 1, 4, 2, 0}) {
        handlers[mode](box);
        EXPECT_EQ(s_boxRuntimes[box].SortMode, mode);
        EXPECT_EQ(OnDisk<int>(L"a0001", L"SortMode", -1), mode);
    }

    HWND window = box->GetHwnd();
    LockBox(box);
    EXPECT_TRUE(OnDisk<bool>(L"a0001", L"IsLocked", false));
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & WS_THICKFRAME, 0);
    EXPECT_EQ(box->cornerRadius, 16);
    UnlockBox(box);
    EXPECT_FALSE(OnDisk<bool>(L"a0001", L"IsLocked", true));
    EXPECT_NE(GetWindowLongPtrW(window, GWL_STYLE) & WS_THICKFRAME, 0);
    EXPECT_EQ(box->cornerRadius, 0);
}

TEST_F(BoxMenusTest, LockingAnEmbeddedBoxKeepsItAtTheBottom)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    BoxWindowPtr above = MakeBox(L"b0001", 200, L"#F2F2F2");
    ASSERT_TRUE(box && above);
    SetBoxEmbeddedLayer(box);
    EXPECT_TRUE(OnDisk<bool>(L"a0001", L"IsEmbeddedLayer", false));
    LockBox(box);
    // Every other top-level window of this process is above the box.
    bool aboveFound = false;
    for (HWND w = GetWindow(box->GetHwnd(), GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
        aboveFound = aboveFound || w == above->GetHwnd();
    EXPECT_TRUE(aboveFound) << "the locked embedded box stays below ordinary windows";
    SetBoxFloatingLayer(box);
    EXPECT_FALSE(OnDisk<bool>(L"a0001", L"IsEmbeddedLayer", true));
    EXPECT_EQ(box->cornerRadius, 16) << "a locked floating box keeps its rounded frame";
}

TEST_F(BoxMenusTest, EveryNewItemKindLandsInTheBoxFolderWithItsBytesAndAFreeName)
{
    const std::filesystem::path folder = temp.Path() / L"box";
    std::filesystem::create_directories(folder);
    // Someone's file under the first name: it is neither replaced nor touched.
    TempFolder::WriteBytes((folder / L"新建 Zip.zip").wstring(), "keep");
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2", folder.wstring());
    ASSERT_TRUE(box);
    KelmIconManager* manager = &s_boxIconManagers[box];
    const std::pair<std::wstring, std::string> expected[] = {
        {L"新建文件夹", ""},           {L"新建 文本文档.txt", "\xEF\xBB\xBF"},
        {L"新建 Word 文档.docx", ""},  {L"新建 PowerPoint 演示文稿.pptx", ""},
        {L"新建 Excel 表格.xlsx", ""}, {L"新建 Markdown.md", "\xEF\xBB\xBF"},
        {L"新建 Zip (1).zip", ""},
    };
    ASSERT_EQ(NewItemKinds().size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        const NewItemKind& kind = NewItemKinds()[i];
        const std::wstring made =
            CreateNewFileInBox(box, manager, Inside(box), kind.baseName, kind.extension, kind.isFolder);
        EXPECT_EQ(made, (folder / expected[i].first).wstring());
        if (kind.isFolder)
            EXPECT_TRUE(std::filesystem::is_directory(made));
        else
            EXPECT_EQ(Bytes(made), expected[i].second);
    }
    EXPECT_EQ(Bytes(folder / L"新建 Zip.zip"), "keep");
    const std::wstring second = CreateNewFileInBox(box, manager, Inside(box), L"新建 文本文档", L".txt", false);
    EXPECT_EQ(second, (folder / L"新建 文本文档 (1).txt").wstring());
    EXPECT_EQ(CreateNewFileInBox(box, manager, Inside(box), L"新建文件夹", L"", true),
              (folder / L"新建文件夹 (1)").wstring());

    EXPECT_EQ(manager->Records().size(), 10u) << "one record per item made, and the one of the file there before";
    EXPECT_EQ(s_boxRuntimes[box].undoList.size(), 5u) << "the undo list keeps the last five";
}

TEST_F(BoxMenusTest, ANewItemThatCannotBeMadeAddsNoRecord)
{
    const std::filesystem::path folder = temp.Path() / L"gone";
    std::filesystem::create_directories(folder);
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2", folder.wstring());
    ASSERT_TRUE(box);
    std::filesystem::remove_all(folder);
    KelmIconManager* manager = &s_boxIconManagers[box];
    const int told = TimesUserNotified(L"new-file");
    EXPECT_EQ(CreateNewFileInBox(box, manager, Inside(box), L"新建 文本文档", L".txt", false), L"");
    EXPECT_EQ(CreateNewFileInBox(box, manager, Inside(box), L"新建 文本文档", L".txt", false), L"");
    EXPECT_EQ(TimesUserNotified(L"new-file"), told + 2) << "each refused attempt is told";
    EXPECT_TRUE(manager->Records().empty());
    EXPECT_TRUE(s_boxRuntimes[box].undoList.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / L"新建 文本文档.txt"));

    BoxWindowPtr mapping = MakeBox(L"b0001", 450, L"#F2F2F2");
    ASSERT_TRUE(mapping);
    EXPECT_EQ(CreateNewFileInBox(mapping, &s_boxIconManagers[mapping], Inside(mapping), L"新建 Zip", L".zip", false),
              L"")
        << "a box without a folder never writes to the desktop";
    EXPECT_TRUE(s_boxIconManagers[mapping].Records().empty());
}

TEST_F(BoxMenusTest, UndoParksANewFileInTheTemporaryFolderAndRedoNeverOverwrites)
{
    std::filesystem::path folder;
    BoxWindowPtr box = MakeFolderBox(folder);
    ASSERT_TRUE(box);
    KelmIconManager* manager = &s_boxIconManagers[box];
    const std::wstring made = CreateNewFileInBox(box, manager, Inside(box), L"新建 文本文档", L".txt", false);
    ASSERT_FALSE(made.empty());

    UndoAndWait(box, nullptr);
    EXPECT_FALSE(std::filesystem::exists(made));
    std::vector<std::wstring> parked = TempItems();
    ASSERT_EQ(parked.size(), 1u);
    EXPECT_TRUE(std::regex_match(parked[0], std::wregex(LR"(新建 文本文档\.txt[0-9a-f]{4}\.tmp)")));
    EXPECT_TRUE(s_boxRuntimes[box].undoList.empty());
    EXPECT_EQ(s_boxRuntimes[box].redoList.size(), 1u);
    EXPECT_TRUE(manager->Records().empty()) << "the folder was read again";

    RedoAndWait(box, nullptr);
    EXPECT_EQ(Bytes(made), "\xEF\xBB\xBF");
    EXPECT_TRUE(TempItems().empty());
    EXPECT_EQ(s_boxRuntimes[box].undoList.size(), 1u);
    EXPECT_EQ(manager->Records().size(), 1u);

    // Something new under the old name: redo refuses and keeps its record.
    UndoAndWait(box, nullptr);
    TempFolder::WriteBytes(made, "mine");
    RedoAndWait(box, nullptr);
    EXPECT_EQ(Bytes(made), "mine");
    EXPECT_EQ(TempItems().size(), 1u);
    EXPECT_EQ(s_boxRuntimes[box].redoList.size(), 1u) << "a refused redo stays to be tried again";
    EXPECT_TRUE(s_boxRuntimes[box].undoList.empty());
    const int told = TimesUserNotified(L"undo-move");
    RedoAndWait(box, nullptr);
    EXPECT_EQ(TimesUserNotified(L"undo-move"), told + 1) << "the same refusal is told again";

    UndoAndWait(box, nullptr);
    EXPECT_EQ(s_boxRuntimes[box].redoList.size(), 1u) << "an empty undo list changes nothing";
}

// What waits in the temporary folder may have become a link the system
// shows as a plain file: a redo moving it would move what it leads to.
TEST_F(BoxMenusTest, RedoNeverMovesWhatAParkedLinkLeadsTo)
{
    std::filesystem::path folder;
    BoxWindowPtr box = MakeFolderBox(folder);
    ASSERT_TRUE(box);
    // The host's ln is handed the names byte by byte: they stay ASCII.
    const std::wstring made = CreateNewFileInBox(box, &s_boxIconManagers[box], Inside(box), L"note", L".txt", false);
    ASSERT_FALSE(made.empty());
    UndoAndWait(box, nullptr);
    const std::vector<std::wstring> parked = TempItems();
    ASSERT_EQ(parked.size(), 1u);
    const std::filesystem::path parkedPath = temp.Path() / L".data" / L".temp" / parked[0];
    std::filesystem::remove(parkedPath);
    const std::wstring outside = (temp.Path() / L"outside.txt").wstring();
    TempFolder::WriteBytes(outside, "outside");
    if (!MakeLink(parkedPath.wstring(), outside, false))
        GTEST_SKIP() << "this system makes no links";

    RedoAndWait(box, nullptr);
    EXPECT_EQ(Bytes(outside), "outside");
    EXPECT_FALSE(std::filesystem::exists(made));
    EXPECT_EQ(s_boxRuntimes[box].redoList.size(), 1u) << "the refused redo stays";
}

TEST_F(BoxMenusTest, UndoNeverTakesAwayANewItemTheUserChanged)
{
    std::filesystem::path folder;
    BoxWindowPtr box = MakeFolderBox(folder);
    ASSERT_TRUE(box);
    KelmIconManager* manager = &s_boxIconManagers[box];
    auto later = [](const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME time{};
        GetFileTime(file, nullptr, nullptr, &time);
        time.dwHighDateTime += 1; // about seven minutes on
        SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    };
    struct Case {
        const wchar_t* name;
        const wchar_t* extension;
        bool isFolder;
        std::function<void(const std::wstring&)> change;
    } cases[] = {
        {L"新建 文本文档", L".txt", false, [](const std::wstring& p) { TempFolder::WriteBytes(p, "mine"); }},
        {L"新建 Zip", L".zip", false, later}, // same size, written again
        {L"新建文件夹", L"", true, [](const std::wstring& p) { TempFolder::WriteBytes(p + L"\\a.txt", "mine"); }},
    };
    for (const Case& c : cases) {
        const std::wstring made = CreateNewFileInBox(box, manager, Inside(box), c.name, c.extension, c.isFolder);
        ASSERT_FALSE(made.empty());
        c.change(made);
        const int told = TimesUserNotified(L"undo-changed");
        UndoAndWait(box, nullptr);
        EXPECT_TRUE(std::filesystem::exists(made)) << c.name << ": the user's work stays where it is";
        EXPECT_EQ(TimesUserNotified(L"undo-changed"), told + 1) << c.name;
        EXPECT_TRUE(s_boxRuntimes[box].redoList.empty()) << c.name;
    }
    EXPECT_TRUE(TempItems().empty());
    EXPECT_EQ(Bytes(folder / L"新建 文本文档.txt"), "mine");
}

TEST_F(BoxMenusTest, BackgroundMenuFitsTheBox)
{
    const std::filesystem::path folder = temp.Path() / L"box";
    std::filesystem::create_directories(folder);
    BoxWindowPtr mapping = MakeBox(L"a0001", 100, L"#F2F2F2");
    BoxWindowPtr folderBox = MakeBox(L"b0001", 450, L"#F2F2F2", folder.wstring());
    ASSERT_TRUE(mapping && folderBox);

    auto options = BoxBackgroundMenuOptions(mapping, &s_boxIconManagers[mapping], Inside(mapping));
    ASSERT_EQ(options.size(), 2u) << "paste and the undo row";
    ASSERT_EQ(options[1].sideList.size(), 2u);
    EXPECT_EQ(options[1].sideList[0].state, 0) << "nothing to undo";

    options = BoxBackgroundMenuOptions(folderBox, &s_boxIconManagers[folderBox], Inside(folderBox));
    ASSERT_EQ(options.size(), 5u);
    EXPECT_EQ(options[0].children.size(), 7u);
    EXPECT_EQ(options[4].text, L":\xF120:      命令行");
    options[0].children[1].onClick();
    EXPECT_TRUE(std::filesystem::exists(folder / L"新建 文本文档.txt"));
    options = BoxBackgroundMenuOptions(folderBox, &s_boxIconManagers[folderBox], Inside(folderBox));
    EXPECT_EQ(options[2].sideList[0].state, 1) << "undo offered after a new file";

    LockBox(mapping);
    EXPECT_EQ(BoxBackgroundMenuOptions(mapping, &s_boxIconManagers[mapping], Inside(mapping)).size(), 1u);
    LockBox(folderBox);
    options = BoxBackgroundMenuOptions(folderBox, &s_boxIconManagers[folderBox], Inside(folderBox));
    ASSERT_EQ(options.size(), 3u);
    EXPECT_EQ(options[0].text, L":\xF09C:     解除锁定");
}

TEST_F(BoxMenusTest, ShowingAllBoxesKeepsOnlyTheMembersOfAnIntegratedGroupHidden)
{
    const std::filesystem::path folder = temp.Path() / L"box";
    std::filesystem::create_directories(folder);
    BoxWindowPtr host = MakeBox(L"a0001", 100, L"#FF0000");
    BoxWindowPtr member = MakeBox(L"b0001", 450, L"#FF0000");
    // Same colour, other kind: a group of its own, never inside the host.
    BoxWindowPtr folderBox = MakeBox(L"c0001", 800, L"#FF0000", folder.wstring());
    ASSERT_TRUE(host && member && folderBox);
    s_boxRuntimes[folderBox].UseTargetFolder = true;
    MergeBoxGroup(host);
    ASSERT_FALSE(IsWindowVisible(member->GetHwnd()));
    const bool savedHidden = s_boxesHidden;

    s_boxesHidden = false;
    ToggleAllBoxesVisible();
    s_boxesHidden = true;
    for (const BoxWindowPtr& box : {host, member, folderBox})
        EXPECT_FALSE(IsWindowVisible(box->GetHwnd()));
    ToggleAllBoxesVisible();
    s_boxesHidden = savedHidden;
    // Shown as any window is shown, which activates it.
    const HWND active = GetActiveWindow();
    EXPECT_TRUE(active == host->GetHwnd() || active == folderBox->GetHwnd());
    EXPECT_TRUE(IsWindowVisible(host->GetHwnd()));
    EXPECT_FALSE(IsWindowVisible(member->GetHwnd()));
    EXPECT_TRUE(IsWindowVisible(folderBox->GetHwnd())) << "the colour alone does not make a member";
}

TEST_F(BoxMenusTest, SavingAHostRebuildsEveryMemberEvenOneLeftWithoutRecords)
{
    BoxWindowPtr host = MakeBox(L"a0001", 100, L"#FF0000");
    BoxWindowPtr member = MakeBox(L"b0001", 450, L"#FF0000");
    ASSERT_TRUE(host && member);
    s_boxIconManagers[member].AddRecordForPath(L"C:\\m.txt", 0.0f, 0.0f, L"bvn!NULL", false, L"", member,
                                               L"D:\\was\\m.txt");
    AddRecord(host, L"C:\\h.txt");
    SaveBoxIcons(s_boxIconManagers[member]);
    MergeBoxGroup(host);
    KelmIconManager& view = s_boxIconManagers[host];
    ASSERT_EQ(view.Records().size(), 2u);
    EXPECT_EQ(view.Records()[1].originalPath, L"D:\\was\\m.txt");

    view.RemoveByPath(L"C:\\m.txt");
    SaveBoxIcons(view);
    EXPECT_TRUE(s_boxIconManagers[member].Records().empty());
    // The store forgets it too: the icon must not come back with a restart.
    KelmStorage reloaded;
    reloaded.Load(storePath);
    EXPECT_EQ(reloaded[L"Components"][L"ComID_b0001"][L"Icons"][L"iconID_0"][L"path"].Get<std::wstring>(L"none"),
              L"none");
    EXPECT_NE(reloaded[L"Components"][L"ComID_a0001"][L"Icons"][L"iconID_0"][L"path"].Get<std::wstring>(L"none"),
              L"none");
}

TEST_F(BoxMenusTest, SearchViewCollectsMatchesOfThisBoxFirstThenOfTheOthers)
{
    BoxWindowPtr box = MakeBox(L"a0001", 100, L"#F2F2F2");
    BoxWindowPtr other = MakeBox(L"b0001", 450, L"#F2F2F2");
    BoxWindowPtr untitled = MakeBox(L"c0001", 800, L"#F2F2F2");
    ASSERT_TRUE(box && other && untitled);
    s_boxRuntimes[other].title = L"照片";
    s_boxRuntimes[untitled].title = L"";
    AddRecord(box, L"C:\\report\\a.txt");
    AddRecord(box, L"C:\\x\\report.txt");
    AddRecord(box, L"C:\\x\\report2.txt");
    s_boxIconManagers[other].AddRecordForPath(L"C:\\x\\b.png", 0.0f, 0.0f, L"report.png", false, L"", other,
                                              L"bvn!NULL");
    AddRecord(untitled, L"C:\\y\\Report.doc");

    RebuildSearchView(box, L"*report*");
    EXPECT_EQ(s_boxRuntimes[box].appliedSearchText, L"*report*");
    const auto& matches = s_boxSearchManagers[box].Records();
    ASSERT_EQ(matches.size(), 4u) << "the folder part of a path never matches";
    EXPECT_EQ(matches[0].path, L"C:\\x\\report.txt");
    EXPECT_EQ(matches[0].sectionText, L"当前组件");
    EXPECT_EQ(matches[1].sectionText, L"");
    EXPECT_EQ(matches[0].owner, box);
    // The other boxes follow in registry order, each under its own header.
    for (size_t n = 2; n < 4; ++n) {
        if (matches[n].owner == other) {
            EXPECT_EQ(matches[n].path, L"C:\\x\\b.png") << "matched by its alias";
            EXPECT_EQ(matches[n].sectionText, L"照片");
        } else {
            EXPECT_EQ(matches[n].owner, untitled);
            EXPECT_EQ(matches[n].sectionText, L"其他组件");
        }
    }

    RebuildSearchView(box, L"*.png");
    EXPECT_EQ(s_boxSearchManagers[box].Records().size(), 1u) << "a new pattern starts afresh";
}

} // namespace
