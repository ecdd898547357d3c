// The icon menu: which rows a box offers, and the rename, alias and move
// back rows on real files (a taken or unsafe name is refused and nothing is
// lost; an alias follows the path, not the id; moving back never replaces),
// the delete rows' own questions and the plain-text copy.
#include <gtest/gtest.h>

#include <filesystem>

#include <shlobj.h>

#include "BoxTestSupport.h"
#include "common/DirectoryLink.h"
#include "app/UserNotice.h"
#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/StoreTextFormat.h"
#include "box/IconContextMenu.h"
#include "box/fileops/DeleteSelected.h"
#include "ui/core/DpiScale.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

class IconContextMenuTest : public FolderAndMappingBoxesTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folderBox && mappingBox);
        for (const auto& box : {folderBox, mappingBox}) {
            s_boxIconManagers.at(box).RemoveAllRecords();
            BoxRuntime& runtime = s_boxRuntimes.at(box);
            runtime.IsLocked = false;
            runtime.multiSelect = false;
            runtime.selection.clear();
            runtime.undoList.clear();
        }
        for (auto& entry : fs::directory_iterator(Folder()))
            RemoveItemWithoutFollowingLinks(entry.path().wstring());
    }

    static std::wstring Folder() { return s_boxRuntimes.at(folderBox).TargetFolder; }

    const IconRecord& Add(const BoxWindowPtr& box, const std::wstring& path, const std::string& bytes = "x")
    {
        if (!bytes.empty())
            TempFolder::WriteBytes(path, bytes);
        KelmIconManager& view = s_boxIconManagers.at(box);
        view.AddRecordForPath(path, 0, 0, L"bvn!NULL", false, L"", box, L"bvn!NULL");
        return view.Records().back();
    }

    static std::vector<std::wstring> Texts(const std::vector<Brevin::KelmOption>& rows)
    {
        std::vector<std::wstring> texts;
        for (const auto& row : rows) {
            texts.push_back(row.text.empty() ? L"[" : row.text);
            for (const auto& side : row.sideList)
                texts.push_back(side.text);
        }
        return texts;
    }
};

} // namespace

TEST_F(IconContextMenuTest, RowsFollowTheBoxKindTheLockAndTheFileType)
{
    const IconRecord txt = Add(folderBox, Folder() + L"\\NOTES.TXT");
    KelmIconManager& view = s_boxIconManagers.at(folderBox);
    EXPECT_EQ(Texts(IconContextMenuOptions(view, txt)),
              (std::vector<std::wstring>{L":\xF0C5:      复制纯文本", L":\xF031:      别名", L"[", L":\xF0C5: 文件",
                                         L":\xF0C4: 剪切", L":\xF08E:      打开方式", L":\xF02F:      打印",
                                         L":\xF044:      重命名", L":\xF1D8:      路径", L":\xF014:      删除"}));

    s_boxRuntimes.at(folderBox).IsLocked = true;
    EXPECT_EQ(Texts(IconContextMenuOptions(view, txt)),
              (std::vector<std::wstring>{L":\xF0C5:      复制纯文本", L"[", L":\xF0C5: 文件", L":\xF08E:      打开方式",
                                         L":\xF02F:      打印"}));

    const IconRecord jpeg = Add(mappingBox, store->File(L"photo.jpeg"));
    EXPECT_EQ(Texts(IconContextMenuOptions(s_boxIconManagers.at(mappingBox), jpeg)),
              (std::vector<std::wstring>{L":\xF031:      别名", L":\xF0C5:      复制", L":\xF08E:      打开方式",
                                         L":\xF1D8:      路径", L":\xF014:      删除"}));

    s_boxRuntimes.at(mappingBox).multiSelect = true;
    EXPECT_EQ(
        Texts(IconContextMenuOptions(s_boxIconManagers.at(mappingBox), jpeg)),
        (std::vector<std::wstring>{L":\xF0C5:      复制选中", L":\xF014:      删除选中", L":\x2715:      取消选择"}));
}

TEST_F(IconContextMenuTest, RenameRefusesTakenAndUnsafeNamesAndLosesNothing)
{
    const IconRecord a = Add(folderBox, Folder() + L"\\a.txt", "first");
    Add(folderBox, Folder() + L"\\b.txt", "second");
    fs::create_directories(store->File(L"outside"));

    EXPECT_FALSE(RenameIconFile(folderBox, a, folderBox, L"b.txt"));
    EXPECT_FALSE(RenameIconFile(folderBox, a, folderBox, L"..\\outside\\a.txt"));
    EXPECT_FALSE(RenameIconFile(folderBox, a, folderBox, L".."));
    EXPECT_FALSE(RenameIconFile(folderBox, a, folderBox, L""));
    // The system would cut the dot or blank off, or reach a device.
    for (const wchar_t* name : {L"c.txt.", L"c.txt ", L"CON", L"nul.txt"}) {
        EXPECT_FALSE(RenameIconFile(folderBox, a, folderBox, name)) << name;
        EXPECT_TRUE(WasUserNotified(std::wstring(L"rename-name:") + name)) << name;
    }
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\a.txt"), "first");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\b.txt"), "second");
    EXPECT_FALSE(fs::exists(store->File(L"outside\\a.txt")));
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty());

    EXPECT_TRUE(RenameIconFile(folderBox, a, folderBox, L"c.txt"));
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\c.txt"), "first");
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{Folder() + L"\\c.txt", Folder() + L"\\b.txt"}));
    ASSERT_EQ(s_boxRuntimes.at(folderBox).undoList.size(), 1u);
    EXPECT_EQ(s_boxRuntimes.at(folderBox).undoList.back().kind, 2u);
}

// Given plainly, "rep." reaches "rep" beside it.
TEST_F(IconContextMenuTest, RenamingAnEntryWhoseNameEndsInADotRenamesThatEntryAlone)
{
    const std::wstring dotted = Folder() + L"\\rep.";
    TempFolder::WriteBytes(LongPathForm(dotted), "dotted");
    const IconRecord record = Add(folderBox, dotted, "");
    Add(folderBox, Folder() + L"\\rep", "plain");

    ASSERT_TRUE(RenameIconFile(folderBox, record, folderBox, L"renamed.txt"));
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\rep"), "plain");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\renamed.txt"), "dotted");
    EXPECT_EQ(GetFileAttributesW(LongPathForm(dotted).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{Folder() + L"\\renamed.txt", Folder() + L"\\rep"}));
}

TEST_F(IconContextMenuTest, ARenameTheSystemRefusesIsToldWithItsReason)
{
    const IconRecord a = Add(folderBox, Folder() + L"\\held.txt", "held");
    // Another program holds the file open without sharing it.
    HANDLE held = CreateFileW(a.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const int told = TimesUserNotified(L"rename-failed:" + a.path);
    const bool renamed = RenameIconFile(folderBox, a, folderBox, L"other.txt");
    CloseHandle(held);
    ASSERT_FALSE(renamed);
    EXPECT_EQ(TempFolder::ReadBytes(a.path), "held");
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{a.path});
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty());
    EXPECT_EQ(TimesUserNotified(L"rename-failed:" + a.path), told + 1);
    const std::wstring text = LastNoticeText(L"rename-failed:" + a.path);
    EXPECT_NE(text.find(L"held.txt"), std::wstring::npos);
    EXPECT_NE(text.find(L"文件正被其他程序使用"), std::wstring::npos) << "the reason is named";
}

TEST_F(IconContextMenuTest, RenamingALinkToAFileOrAnEmptyFolderMovesNothingBehindIt)
{
    OutsideLinks links;
    if (!links.Make(Folder(), store->File(L"outside links")))
        GTEST_SKIP() << "this system makes no links";
    int n = 0;
    for (const std::wstring& link : links.links) {
        const IconRecord record = Add(folderBox, link, "");
        const bool shownAsLink = GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT;
        const bool renamed = RenameIconFile(folderBox, record, folderBox, L"renamed " + std::to_wstring(++n));
        EXPECT_TRUE(links.Untouched());
        if (!shownAsLink) {
            EXPECT_FALSE(renamed);
            EXPECT_TRUE(WasUserNotified(L"rename-link:" + link));
        }
    }
}

TEST_F(IconContextMenuTest, AnAliasGoesToTheRecordOfThePathNotToTheOneThatNowHasItsId)
{
    IconRecord a = Add(mappingBox, store->File(L"a.txt"));
    Add(mappingBox, store->File(L"b.txt"));
    a.id = 1; // the ids shifted after the menu opened
    SetIconAlias(mappingBox, a, mappingBox, AliasFromEntry(L""));
    const auto& records = s_boxIconManagers.at(mappingBox).Records();
    EXPECT_EQ(records.at(0).alias, L"bvn!BLANK");
    EXPECT_EQ(records.at(1).alias, L"bvn!NULL");
    EXPECT_EQ(AliasFromEntry(L"Plan"), L"Plan");
}

TEST_F(IconContextMenuTest, MovingBackTakesAFreeNumberedNameAndRemovesTheRecord)
{
    const std::wstring home = store->File(L"home");
    fs::create_directories(home);
    TempFolder::WriteBytes(home + L"\\r.txt", "already there");
    IconRecord r = Add(folderBox, Folder() + L"\\r.txt", "boxed");
    r.originalPath = home + L"\\r.txt";

    // The move runs as a file job: when the row returns the icon is still
    // there, and it leaves once the job reports the item moved.
    EXPECT_TRUE(RestoreIconToOriginalPath(r, folderBox, r.originalPath));
    EXPECT_TRUE(s_copyProgress.busy);
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{r.path});
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    EXPECT_EQ(TempFolder::ReadBytes(home + L"\\r.txt"), "already there");
    EXPECT_EQ(TempFolder::ReadBytes(home + L"\\r (1).txt"), "boxed");
    EXPECT_FALSE(fs::exists(Folder() + L"\\r.txt"));
    EXPECT_TRUE(RecordPaths(folderBox).empty());

    // A folder that is gone is made again.
    IconRecord s = Add(folderBox, Folder() + L"\\s.txt", "s");
    EXPECT_TRUE(RestoreIconToOriginalPath(s, folderBox, store->File(L"gone\\deeper\\s.txt")));
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    EXPECT_EQ(TempFolder::ReadBytes(store->File(L"gone\\deeper\\s.txt")), "s");
}

// A file from a box's folder that is gone since (deleted with its box), or
// typed into a folder of the box root that no box shows: no folder is made
// again there and nothing lands where no box shows it. The Desktop is
// offered; a No keeps the file and its icon.
TEST_F(IconContextMenuTest, MovingBackWhereNoBoxShowsTheFileOffersTheDesktop)
{
    const std::wstring root = s_appStore[L"TessikRef"][L"containerDir"].Get<std::wstring>(L"");
    const std::wstring gone = root + L"\\n1111", unshown = root + L"\\left";
    fs::create_directories(unshown);
    IconRecord r = Add(folderBox, Folder() + L"\\put back 1111.txt", "boxed");
    r.originalPath = gone + L"\\put back 1111.txt";
    const auto saved = s_putBackOnDesktopQuestion;
    std::wstring asked;
    bool answer = false;
    s_putBackOnDesktopQuestion = [&](HWND, const std::wstring& text) {
        asked = text;
        return answer;
    };
    for (const std::wstring& typed : {r.originalPath, unshown}) {
        SCOPED_TRACE(WideToUtf8(typed));
        asked.clear();
        EXPECT_FALSE(RestoreIconToOriginalPath(r, folderBox, typed));
        EXPECT_NE(asked.find(typed == unshown ? L"“left”" : L"“n1111”"), std::wstring::npos) << WideToUtf8(asked);
        EXPECT_NE(LastNoticeText(L"restore-refused:" + r.path).find(typed == unshown ? unshown : gone),
                  std::wstring::npos);
        EXPECT_EQ(TempFolder::ReadBytes(r.path), "boxed");
        EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{r.path});
    }
    EXPECT_FALSE(fs::exists(gone)) << "no folder made where no box shows it";
    EXPECT_TRUE(fs::is_empty(unshown));

    answer = true;
    const std::wstring desktop = KnownFolderPath(CSIDL_DESKTOPDIRECTORY);
    ASSERT_FALSE(desktop.empty());
    EXPECT_TRUE(RestoreIconToOriginalPath(r, folderBox, r.originalPath));
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    s_putBackOnDesktopQuestion = saved;
    EXPECT_EQ(TempFolder::ReadBytes(desktop + L"\\put back 1111.txt"), "boxed");
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_TRUE(RecordPaths(folderBox).empty());
    RemoveItemWithoutFollowingLinks(desktop + L"\\put back 1111.txt");
}

// An icon whose item is gone just leaves: no folder of its old place is
// made again for a move that has nothing to move.
TEST_F(IconContextMenuTest, MovingBackAGoneItemMakesNoFolder)
{
    IconRecord g = Add(folderBox, Folder() + L"\\g.txt", "g");
    fs::remove(g.path);
    const std::wstring origin = store->File(L"deleted since\\deeper");
    EXPECT_TRUE(RestoreIconToOriginalPath(g, folderBox, origin + L"\\g.txt"));
    EXPECT_FALSE(s_copyProgress.busy);
    EXPECT_TRUE(RecordPaths(folderBox).empty());
    EXPECT_FALSE(fs::exists(store->File(L"deleted since")));
}

// A file held open by another program stays in the box with its icon, and
// the user hears which file and why.
TEST_F(IconContextMenuTest, MovingBackAHeldFileKeepsItsRecordAndTellsWhy)
{
    const std::wstring home = store->File(L"home-held");
    fs::create_directories(home);
    IconRecord h = Add(folderBox, Folder() + L"\\held.txt", "held");
    h.originalPath = home + L"\\held.txt";
    const HANDLE held = CreateFileW(h.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const bool started = RestoreIconToOriginalPath(h, folderBox, h.originalPath);
    const bool ended = WaitForFileJob([] { return false; });
    CloseHandle(held);
    EXPECT_TRUE(started);
    ASSERT_TRUE(ended);
    EXPECT_EQ(TempFolder::ReadBytes(h.path), "held");
    EXPECT_FALSE(fs::exists(home + L"\\held.txt"));
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{h.path});
    const std::wstring told = LastNoticeText(L"restore-refused:" + h.path);
    EXPECT_NE(told.find(L"held.txt"), std::wstring::npos);
    EXPECT_NE(told.find(L"文件正被其他程序使用"), std::wstring::npos) << WideToUtf8(told);
    EXPECT_EQ(told.find(L"放入收纳盒"), std::wstring::npos) << "a move back puts nothing into a box";
}

// A typed destination that is a folder takes the file in under its own
// name; one that is no full path is refused and nothing moves; the user
// hears where the file went.
TEST_F(IconContextMenuTest, MovingBackIntoATypedFolderKeepsTheNameAndARelativePathIsRefused)
{
    const std::wstring desk = store->File(L"desk");
    fs::create_directories(desk);
    IconRecord d = Add(folderBox, Folder() + L"\\d1.txt", "first");
    d.originalPath = desk + L"\\d1.txt";
    EXPECT_TRUE(RestoreIconToOriginalPath(d, folderBox, desk));
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    EXPECT_EQ(TempFolder::ReadBytes(desk + L"\\d1.txt"), "first");
    EXPECT_NE(LastNoticeText(L"restore-done").find(desk + L"\\d1.txt"), std::wstring::npos);

    IconRecord again = Add(folderBox, Folder() + L"\\d1.txt", "second");
    EXPECT_TRUE(RestoreIconToOriginalPath(again, folderBox, desk + L"\\"));
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    EXPECT_EQ(TempFolder::ReadBytes(desk + L"\\d1.txt"), "first") << "nothing is replaced";
    EXPECT_EQ(TempFolder::ReadBytes(desk + L"\\d1 (1).txt"), "second");
    EXPECT_NE(LastNoticeText(L"restore-done").find(desk + L"\\d1 (1).txt"), std::wstring::npos);

    const IconRecord budget = Add(folderBox, Folder() + L"\\budget.xlsx", "sums");
    EXPECT_FALSE(RestoreIconToOriginalPath(budget, folderBox, L"budget-2027.xlsx"));
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\budget.xlsx"), "sums");
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{Folder() + L"\\budget.xlsx"});
    EXPECT_TRUE(WasUserNotified(L"restore-refused:" + budget.path));
}

// A destination reached through a link (the folder itself, or one above
// it) is refused: the file would land wherever the link leads.
TEST_F(IconContextMenuTest, MovingBackThroughALinkIsRefused)
{
    const std::wstring elsewhere = store->File(L"elsewhere"), link = store->File(L"linked home");
    fs::create_directories(elsewhere);
    if (!MakeDirectoryLink(link, elsewhere))
        GTEST_SKIP() << "this system makes no links";
    const IconRecord r = Add(folderBox, Folder() + L"\\l.txt", "boxed");
    for (const std::wstring& typed : {link + L"\\l.txt", link + L"\\new\\l.txt"}) {
        SCOPED_TRACE(WideToUtf8(typed));
        const int told = TimesUserNotified(L"restore-refused:" + r.path);
        const bool started = RestoreIconToOriginalPath(r, folderBox, typed);
        if (started)
            WaitForFileJob([] { return false; });
        EXPECT_FALSE(started);
        EXPECT_EQ(TimesUserNotified(L"restore-refused:" + r.path), told + 1);
        EXPECT_NE(LastNoticeText(L"restore-refused:" + r.path).find(link), std::wstring::npos);
        EXPECT_EQ(TempFolder::ReadBytes(r.path), "boxed");
        EXPECT_TRUE(fs::is_empty(elsewhere)) << "nothing made or moved behind the link";
        EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{r.path});
    }
    RemoveItemWithoutFollowingLinks(link);
}

// Typed as the place the item already is, nothing moves: no numbered name
// in the box, and the record keeps where the item came from.
TEST_F(IconContextMenuTest, MovingBackToWhereTheItemAlreadyIsLeavesItAndItsRecord)
{
    IconRecord r = Add(folderBox, Folder() + L"\\rr.txt", "boxed");
    r.originalPath = store->File(L"home\\rr.txt");
    s_boxIconManagers.at(folderBox).Records().front().originalPath = r.originalPath;
    for (const std::wstring& typed : {Folder(), Folder() + L"\\", Folder() + L"\\rr.txt"}) {
        SCOPED_TRACE(WideToUtf8(typed));
        const int told = TimesUserNotified(L"restore-already-there:" + r.path);
        EXPECT_FALSE(RestoreIconToOriginalPath(r, folderBox, typed));
        EXPECT_EQ(TimesUserNotified(L"restore-already-there:" + r.path), told + 1);
        EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\rr.txt"), "boxed");
        EXPECT_FALSE(fs::exists(Folder() + L"\\rr (1).txt"));
        ASSERT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{r.path});
        EXPECT_EQ(s_boxIconManagers.at(folderBox).Records().front().originalPath, r.originalPath);
    }
}

// A record of a whole drive (a target box may show one as an entry) is
// never moved back anywhere, and keeps its record.
TEST_F(IconContextMenuTest, MovingBackNeverMovesADrivesRoot)
{
    const std::wstring root = L"\\\\nosuchserver\\share\\";
    const IconRecord r = Add(folderBox, root, "");
    EXPECT_FALSE(RestoreIconToOriginalPath(r, folderBox, store->File(L"desk3")));
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{root});
    const std::wstring text = LastNoticeText(L"restore-box-folder");
    EXPECT_NE(text.find(L"“\\\\nosuchserver\\share”是整个磁盘"), std::wstring::npos) << WideToUtf8(text);
}

TEST_F(IconContextMenuTest, MovingBackLeavesAFolderThatHoldsAnotherBoxsFolder)
{
    const std::wstring work = Folder() + L"\\work", desk = store->File(L"desk2");
    fs::create_directories(work + L"\\reports");
    fs::create_directories(desk);
    BoxRuntime& other = s_boxRuntimes.at(mappingBox);
    const std::wstring was = other.TargetFolder;
    other.UseTargetFolder = true;
    other.TargetFolder = work + L"\\reports";
    const IconRecord w = Add(folderBox, work, "");
    const bool moved = RestoreIconToOriginalPath(w, folderBox, desk);
    other.UseTargetFolder = false;
    other.TargetFolder = was;
    EXPECT_FALSE(moved);
    EXPECT_TRUE(fs::exists(work + L"\\reports")) << "the other box keeps its folder";
    EXPECT_FALSE(fs::exists(desk + L"\\work"));
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{work});
    EXPECT_NE(LastNoticeText(L"restore-box-folder").find(L"“work”"), std::wstring::npos);
}

TEST_F(IconContextMenuTest, TheDeleteRowsAskTheirOwnQuestionAndACancelKeepsTheFile)
{
    const IconRecord a = Add(folderBox, Folder() + L"\\a.txt", "kept");
    KelmIconManager& view = s_boxIconManagers.at(folderBox);
    std::vector<std::wstring> asked;
    const auto savedQuestion = s_deleteQuestion;
    s_deleteQuestion = [&asked](HWND, const DeleteQuestionTexts& texts) {
        asked.push_back(std::wstring(texts.title) + L"|" + texts.text);
        return -1;
    };
    auto rowNamed = [](const std::vector<Brevin::KelmOption>& rows, const std::wstring& text) {
        for (const auto& row : rows)
            if (row.text == text)
                return row.onClick;
        return std::function<void()>();
    };
    rowNamed(IconContextMenuOptions(view, a), L":\xF014:      删除")();
    s_boxRuntimes.at(folderBox).multiSelect = true;
    s_boxRuntimes.at(folderBox).selection = {0};
    rowNamed(IconContextMenuOptions(view, a), L":\xF014:      删除选中")();
    s_deleteQuestion = savedQuestion;

    EXPECT_EQ(asked, (std::vector<std::wstring>{L"删除|确定要删除此文件吗？\n（将会删除本地文件）",
                                                L"删除|确定要删除选中的文件吗？\n（将会删除本地文件）"}));
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\a.txt"), "kept");
    EXPECT_EQ(RecordPaths(folderBox), (std::vector<std::wstring>{Folder() + L"\\a.txt"}));
}

// A record of a drive's root in a folder box is never deleted: no
// question, no job; the user hears which drive stayed.
TEST_F(IconContextMenuTest, DeleteNeverTakesADrivesRoot)
{
    const std::wstring root = L"\\\\nosuchserver\\share\\";
    Add(folderBox, root, "");
    int asked = 0;
    const auto savedQuestion = s_deleteQuestion;
    s_deleteQuestion = [&asked](HWND, const DeleteQuestionTexts&) { return ++asked, 0; };
    DeleteIcon(folderBox, root, folderBox, kMenuSingleQuestion);
    s_deleteQuestion = savedQuestion;
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{root});
    const std::wstring text = LastNoticeText(L"delete-box-folder");
    EXPECT_NE(text.find(L"“\\\\nosuchserver\\share”是整个磁盘"), std::wstring::npos) << WideToUtf8(text);
}

TEST_F(IconContextMenuTest, PlainTextCopyPutsTheTextWithoutItsByteOrderMarkOnTheClipboard)
{
    const IconRecord note = Add(mappingBox, store->File(L"note.txt"), "\xEF\xBB\xBF\xE4\xBD\xA0\xE5\xA5\xBD line");
    const auto rows = IconContextMenuOptions(s_boxIconManagers.at(mappingBox), note);
    ASSERT_EQ(rows.at(0).text, L":\xF0C5:      复制纯文本");
    rows.at(0).onClick();
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const std::wstring text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data)
        GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(text, L"你好 line");
}

TEST_F(IconContextMenuTest, OpenWithThatCannotShowItsDialogTellsTheUser)
{
    // Wine has no open-with dialog; on Windows the dialog would open and
    // wait for the user.
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "the system shows its open-with dialog";
    const IconRecord a = Add(folderBox, Folder() + L"\\a.txt");
    for (const auto& row : IconContextMenuOptions(s_boxIconManagers.at(folderBox), a)) {
        if (row.text == L":\xF08E:      打开方式") {
            const int told = TimesUserNotified(L"open-with");
            row.onClick();
            row.onClick();
            EXPECT_EQ(TimesUserNotified(L"open-with"), told + 2);
            return;
        }
    }
    ADD_FAILURE() << "no open-with row";
}
