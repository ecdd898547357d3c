// The clipboard pasted into a box: files copied into a folder-backed box
// with numbered names on a clash (never onto one another, never replacing
// without the "直接覆盖" answer, which keeps what it replaced for undo),
// recorded where they are in a mapping box; text and images written as
// their named files; the box folder itself refused; what is gone by the
// paste told.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "BoxTestSupport.h"
#include "common/WindowTestSupport.h"
#include "app/KelmStorage.h"
#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"
#include "app/UserNotice.h"
#include "box/BoxCreation.h"
#include "box/BoxDeletion.h"
#include "box/BoxServices.h"
#include "box/BoxSettingsWindow.h"
#include "box/fileops/DropImport.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/PasteIntoBox.h"
#include "box/fileops/UndoRedo.h"
#include "box/fileops/UndoSteps.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmDragHelper.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

void PutOnClipboard(UINT format, HANDLE data)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(format, data);
    CloseClipboard();
}

void PutFiles(const std::vector<std::wstring>& paths)
{
    PutOnClipboard(CF_HDROP, KelmDragHelper::BuildDropFilesBlock(paths));
}

void PutText(const std::wstring& text)
{
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(data), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(data);
    PutOnClipboard(CF_UNICODETEXT, data);
}

class BoxPasteTest : public FileJobBoxesTest
{
protected:
    void PasteByKey(const BoxWindowPtr& box)
    {
        s_pendingPaste.Arm(box);
        EXPECT_TRUE(WaitForFileJob([] { return s_pendingPaste.Pending() != nullptr; })) << "the paste job did not end";
    }
};

} // namespace

TEST(PasteNames, FreeNameNumbersUntilUnused)
{
    std::set<std::wstring> taken{L"F\\剪贴板文本.txt", L"F\\剪贴板文本 (1).txt"};
    auto exists = [&](const std::wstring& p) { return taken.count(p) > 0; };
    EXPECT_EQ(FreePasteName(L"F", L"剪贴板文本", L".txt", exists), L"F\\剪贴板文本 (2).txt");
    EXPECT_EQ(FreePasteName(L"F", L"剪贴板图片", L".png", exists), L"F\\剪贴板图片.png");
    EXPECT_EQ(PastedTextBytes(L""), "\xEF\xBB\xBF");
    EXPECT_EQ(PastedTextBytes(L"a中"), "\xEF\xBB\xBF"
                                       "a\xE4\xB8\xAD");
}

TEST_F(BoxPasteTest, FilesAreCopiedWithNumberedNamesAndNeverOntoEachOther)
{
    fs::create_directories(In(L"one"));
    fs::create_directories(In(L"two"));
    TempFolder::WriteBytes(In(L"one\\a.txt"), "1");
    TempFolder::WriteBytes(In(L"two\\a.txt"), "2");
    TempFolder::WriteBytes(Folder() + L"\\a.txt", "old");
    answer = 0;
    PutFiles({In(L"one\\a.txt"), In(L"two\\a.txt")});
    PasteByKey(folderBox);

    EXPECT_EQ(answers, 1);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\a.txt"), "old");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\a (1).txt"), "1");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\a (2).txt"), "2");
    EXPECT_EQ(TempFolder::ReadBytes(In(L"one\\a.txt")), "1") << "a paste copies";
    EXPECT_EQ(RecordPaths(folderBox),
              (std::vector<std::wstring>{Folder() + L"\\a (1).txt", Folder() + L"\\a (2).txt"}));
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 2u);
    EXPECT_EQ(undo[0].kind, 0u);
    EXPECT_TRUE(undo[0].replacedCopy.empty());
}

// A paste of many taken names asks the system about each of them: that
// happens off the window's thread, which returns at once; the question
// and the copies follow. A second paste meanwhile is refused and told.
TEST_F(BoxPasteTest, ManyTakenNamesAreLookedAtBeforeTheQuestionWithoutHoldingTheWindow)
{
    std::vector<std::wstring> sources;
    for (int i = 0; i < 80; ++i) {
        const std::wstring name = L"m" + std::to_wstring(i) + L".txt";
        sources.push_back(In(name));
        TempFolder::WriteBytes(sources.back(), "new");
        TempFolder::WriteBytes(Folder() + L"\\" + name, "old");
    }
    answer = 0;
    const int busyTold = TimesUserNotified(L"job-busy");
    PasteFilesIntoBox(folderBox, s_boxIconManagers.at(folderBox), sources);
    EXPECT_EQ(answers, 0) << "planned on the window's thread";
    EXPECT_TRUE(PasteBeingLookedAt());
    PasteFilesIntoBox(folderBox, s_boxIconManagers.at(folderBox), {sources.front()});
    EXPECT_EQ(TimesUserNotified(L"job-busy"), busyTold + 1);

    EXPECT_TRUE(WaitForFileJob([] { return false; })) << "the paste did not end";
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(RecordPaths(folderBox).size(), sources.size());
    for (int i = 0; i < 80; ++i) {
        const std::wstring name = Folder() + L"\\m" + std::to_wstring(i);
        EXPECT_EQ(TempFolder::ReadBytes(name + L".txt"), "old");
        EXPECT_EQ(TempFolder::ReadBytes(name + L" (1).txt"), "new");
    }
}

TEST_F(BoxPasteTest, OverwriteKeepsWhatItReplacedForUndo)
{
    TempFolder::WriteBytes(In(L"b.txt"), "new");
    TempFolder::WriteBytes(Folder() + L"\\b.txt", "old");
    answer = 1;
    PutFiles({In(L"b.txt")});
    PasteByKey(folderBox);

    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\b.txt"), "new");
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 1u);
    ASSERT_FALSE(undo[0].replacedCopy.empty());
    EXPECT_EQ(TempFolder::ReadBytes(undo[0].replacedCopy), "old");
    EXPECT_NE(undo[0].replacedCopy.find(L"\\.data\\.temp\\"), std::wstring::npos);

    // Ctrl+Z puts the replaced file back; Ctrl+Y pastes over it again.
    UndoAndWait(folderBox, nullptr);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\b.txt"), "old");
    RedoAndWait(folderBox, nullptr);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\b.txt"), "new");
    UndoAndWait(folderBox, nullptr);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\b.txt"), "old");
}

// While the same-name question of a paste is open, the box is neither made
// again from its settings nor deleted; "直接覆盖" then lands in the same
// box with the undo record of what it replaced.
TEST_F(BoxPasteTest, TheBoxStaysUnderItsPastesQuestionAndItsJob)
{
    TempFolder::WriteBytes(In(L"r.txt"), "new");
    TempFolder::WriteBytes(Folder() + L"\\r.txt", "old");
    const int remakeTold = TimesUserNotified(L"box-remake-busy");
    s_sameNameQuestion = [&](HWND) {
        TessikDesktopContainer::OpenBoxSettingsWindow(folderBox);
        TessikDesktopContainer::SetPropertyScope(true);
        TessikDesktopContainer::CloseBoxSettingsOf(s_boxRuntimes.at(folderBox).id);
        EXPECT_TRUE(BoxDeletionRefusedWhileBusy(folderBox));
        return 1;
    };
    PutFiles({In(L"r.txt")});
    PasteByKey(folderBox);
    EXPECT_EQ(TimesUserNotified(L"box-remake-busy"), remakeTold + 1);
    ASSERT_TRUE(FindBoxRuntime(folderBox)) << "the box was made again under its question";
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\r.txt"), "new");
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 1u);
    EXPECT_EQ(TempFolder::ReadBytes(undo[0].replacedCopy), "old");
    EXPECT_FALSE(BoxDeletionRefusedWhileBusy(folderBox));
}

// "直接覆盖" of a file onto a folder of its name leaves the folder and
// says why.
TEST_F(BoxPasteTest, AFileNeverReplacesAFolderOfItsName)
{
    TempFolder::WriteBytes(In(L"d"), "file");
    fs::create_directories(Folder() + L"\\d");
    TempFolder::WriteBytes(Folder() + L"\\d\\inside.txt", "kept");
    answer = 1;
    const int told = TimesUserNotified(L"paste-failed");
    PutFiles({In(L"d")});
    PasteByKey(folderBox);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\d\\inside.txt"), "kept");
    ASSERT_EQ(TimesUserNotified(L"paste-failed"), told + 1);
    EXPECT_NE(LastNoticeText(L"paste-failed").find(L"同名的文件夹挡着"), std::wstring::npos)
        << WideToUtf8(LastNoticeText(L"paste-failed"));
}

TEST_F(BoxPasteTest, CancelOrTheBoxFolderItselfPastesNothing)
{
    TempFolder::WriteBytes(In(L"c.txt"), "c");
    TempFolder::WriteBytes(Folder() + L"\\c.txt", "old");
    answer = -1;
    PutFiles({In(L"c.txt")});
    PasteByKey(folderBox);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\c.txt"), "old");
    EXPECT_TRUE(RecordPaths(folderBox).empty());

    const int told = TimesUserNotified(L"paste-into-itself");
    PutFiles({Folder(), fs::path(Folder()).parent_path().wstring()});
    PasteByKey(folderBox);
    EXPECT_TRUE(RecordPaths(folderBox).empty());
    EXPECT_FALSE(fs::exists(Folder() + L"\\root"));
    EXPECT_EQ(TimesUserNotified(L"paste-into-itself"), told + 1) << "nothing pasted, and said why";
}

// A whole drive has no name to be copied under; a box whose folder went
// away takes nothing rather than shortcut records. Each is told.
TEST_F(BoxPasteTest, ADriveRootOrAGoneFolderPastesNothingAndIsTold)
{
    TempFolder::WriteBytes(In(L"e.txt"), "e");
    const int told = TimesUserNotified(L"paste-volume-root");
    PutFiles({L"\\\\nosuchserver\\share\\"});
    PasteByKey(folderBox);
    EXPECT_EQ(TimesUserNotified(L"paste-volume-root"), told + 1);
    EXPECT_TRUE(RecordPaths(folderBox).empty());

    const std::wstring folder = Folder();
    fs::rename(folder, folder + L"-away");
    PutFiles({In(L"e.txt")});
    PasteByKey(folderBox);
    fs::rename(folder + L"-away", folder);
    EXPECT_TRUE(WasUserNotified(L"paste-folder-gone:" + s_boxRuntimes.at(folderBox).TargetFolder));
    EXPECT_TRUE(RecordPaths(folderBox).empty());
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty());
    EXPECT_EQ(TempFolder::ReadBytes(In(L"e.txt")), "e");

    // Copied, then deleted before the paste: named, alone or beside a file
    // that arrives.
    const int failed = TimesUserNotified(L"paste-failed");
    PutFiles({In(L"gone.txt")});
    PasteByKey(folderBox);
    EXPECT_EQ(TimesUserNotified(L"paste-failed"), failed + 1);
    EXPECT_NE(LastNoticeText(L"paste-failed").find(L"gone.txt"), std::wstring::npos);
    PutFiles({In(L"e.txt"), In(L"gone2.txt")});
    PasteByKey(folderBox);
    EXPECT_EQ(TimesUserNotified(L"paste-failed"), failed + 2);
    EXPECT_NE(LastNoticeText(L"paste-failed").find(L"gone2.txt"), std::wstring::npos);
    EXPECT_EQ(RecordPaths(folderBox).size(), 1u);
}

TEST_F(BoxPasteTest, PastingABoxsOwnFileAsksAndNeverReplacesItByItself)
{
    const std::wstring own = Folder() + L"\\a.txt";
    TempFolder::WriteBytes(own, "mine");
    PutFiles({own});
    answer = 0;
    PasteByKey(folderBox);
    PasteByKey(folderBox);
    EXPECT_EQ(answers, 2);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\a (1).txt"), "mine");
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\a (2).txt"), "mine");

    answer = 1;
    const int told = TimesUserNotified(L"paste-onto-itself");
    PasteByKey(folderBox);
    EXPECT_EQ(TempFolder::ReadBytes(own), "mine");
    EXPECT_EQ(TimesUserNotified(L"paste-onto-itself"), told + 1) << "the refusal is told";
    EXPECT_EQ(RecordPaths(folderBox).size(), 2u);

    // Many of them are named five at most, with how many more.
    std::vector<std::wstring> many;
    for (int i = 0; i < 7; ++i) {
        many.push_back(Folder() + L"\\m" + std::to_wstring(i) + L".txt");
        TempFolder::WriteBytes(many.back(), "m");
    }
    PutFiles(many);
    PasteByKey(folderBox);
    EXPECT_NE(LastNoticeText(L"paste-onto-itself").find(L"“m4.txt”……以及另外 2 项已在这个收纳盒中"),
              std::wstring::npos);
}

// The question comes as soon as the names are known; which taken name is
// the pasted item itself is looked at after a "直接覆盖", so the plan acts
// on what stands there then: a file made the very item meanwhile is never
// replaced by itself.
TEST_F(BoxPasteTest, AfterTheQuestionTheBoxsOwnItemsAreLookedAtAsTheyStandThen)
{
    const std::wstring source = In(L"a.txt");
    const std::wstring there = Folder() + L"\\a.txt";
    TempFolder::WriteBytes(source, "new");
    TempFolder::WriteBytes(there, "old");
    bool linked = false;
    s_sameNameQuestion = [&](HWND) {
        ++answers;
        linked = DeleteFileW(there.c_str()) && CreateHardLinkW(there.c_str(), source.c_str(), nullptr);
        return 1;
    };
    const int told = TimesUserNotified(L"paste-onto-itself");
    PutFiles({source});
    PasteByKey(folderBox);
    if (!linked)
        GTEST_SKIP() << "this system makes no hard links";
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(TimesUserNotified(L"paste-onto-itself"), told + 1);
    EXPECT_TRUE(RecordPaths(folderBox).empty());
    EXPECT_EQ(TempFolder::ReadBytes(there), "new");
}

TEST_F(BoxPasteTest, MappingBoxRecordsFilesWhereTheyAreAndIgnoresText)
{
    TempFolder::WriteBytes(In(L"m.txt"), "m");
    PutFiles({In(L"m.txt")});
    PasteByKey(mappingBox);
    EXPECT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{In(L"m.txt")}));
    ASSERT_EQ(s_boxRuntimes.at(mappingBox).undoList.size(), 1u);
    EXPECT_EQ(s_boxRuntimes.at(mappingBox).undoList[0].kind, 3u);

    PutText(L"text");
    PasteByKey(mappingBox);
    EXPECT_EQ(RecordPaths(mappingBox).size(), 1u);
}

TEST_F(BoxPasteTest, TextAndImagesBecomeTheirNamedFiles)
{
    PutText(L"你好");
    PasteByKey(folderBox);
    PasteByKey(folderBox);
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\剪贴板文本.txt"), "\xEF\xBB\xBF\xE4\xBD\xA0\xE5\xA5\xBD");
    EXPECT_TRUE(fs::exists(Folder() + L"\\剪贴板文本 (1).txt"));

    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    PutOnClipboard(CF_BITMAP, bitmap);
    PasteByKey(folderBox);
    const std::string png = TempFolder::ReadBytes(Folder() + L"\\剪贴板图片.png");
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(RecordPaths(folderBox).size(), 3u);
    EXPECT_EQ(s_boxRuntimes.at(folderBox).undoList.size(), 3u);
}

// The box shows a folder that refuses every new file, as a full disk
// refuses a write: under Wine the host's kernel settings folder, where not
// even root may add one.
TEST_F(BoxPasteTest, TextOrAnImageThatCannotBeWrittenIsToldAndGetsNoRecord)
{
    const std::wstring refusing = L"Z:\\sys\\kernel";
    if (!fs::is_directory(refusing))
        GTEST_SKIP() << "no folder that refuses new files";
    BoxRuntime& runtime = s_boxRuntimes.at(folderBox);
    const std::wstring own = runtime.TargetFolder;
    runtime.TargetFolder = refusing;
    const int told = TimesUserNotified(L"paste-write-failed");
    PutText(L"你好");
    PasteByKey(folderBox);
    const int toldForText = TimesUserNotified(L"paste-write-failed");
    const std::wstring text = LastNoticeText(L"paste-write-failed");
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    PutOnClipboard(CF_BITMAP, bitmap);
    PasteByKey(folderBox);
    runtime.TargetFolder = own;

    EXPECT_EQ(toldForText, told + 1);
    EXPECT_NE(text.find(L"剪贴板文本.txt"), std::wstring::npos);
    EXPECT_NE(text.find(L"没有访问权限"), std::wstring::npos) << "the reason is named";
    EXPECT_EQ(TimesUserNotified(L"paste-write-failed"), told + 2);
    EXPECT_NE(LastNoticeText(L"paste-write-failed").find(L"剪贴板图片.png"), std::wstring::npos);
    for (const std::wstring& path : RecordPaths(folderBox))
        EXPECT_EQ(path.find(L"剪贴板"), std::wstring::npos) << "no record of a file that was not written";
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty());
}

TEST_F(BoxPasteTest, MenuPasteGoesAfterTheIconLeftOfTheCursor)
{
    KelmIconManager& manager = s_boxIconManagers.at(mappingBox);
    for (const wchar_t* name : {L"p.txt", L"q.txt", L"new.txt"})
        TempFolder::WriteBytes(In(name), "x");
    manager.AddRecordForPath(In(L"p.txt"), 0, 0, L"bvn!NULL", false, L"", mappingBox, L"bvn!NULL");
    manager.AddRecordForPath(In(L"q.txt"), 0, 0, L"bvn!NULL", false, L"", mappingBox, L"bvn!NULL");
    manager.Records()[0].x = 20;
    manager.Records()[0].y = 60;
    manager.Records()[1].x = 200;
    manager.Records()[1].y = 60;
    POINT origin{0, 0};
    ClientToScreen(mappingBox->GetHwnd(), &origin);
    // Right of the first icon's centre: the new record follows it.
    SetCursorPos(origin.x + 20 + 48 + 10, origin.y + 60 + 24);
    PutFiles({In(L"new.txt")});
    PasteIntoBox(mappingBox, manager);
    EXPECT_EQ(RecordPaths(mappingBox), (std::vector<std::wstring>{In(L"p.txt"), In(L"new.txt"), In(L"q.txt")}));
}
