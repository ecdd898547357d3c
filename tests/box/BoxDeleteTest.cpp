// Del on a box's selection: records of a mapping box go without touching
// their files or asking; files of a folder-backed box go to the Recycle Bin
// with a kept copy for undo, or for good (whole trees), as answered; a
// cancelled question or a running job changes nothing; other boxes'
// records of a deleted file go with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "BoxTestSupport.h"
#include "common/DirectoryLink.h"
#include "common/OtherSpellings.h"
#include "common/ShellQuestionCounter.h"
#include "common/ShellThatDeletes.h"
#include "common/WindowTestSupport.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "app/FileRemoval.h"
#include "app/UserNotice.h"
#include "box/BoxInUse.h"
#include "box/BoxServices.h"
#include "box/IconContextMenu.h"
#include "box/fileops/DeleteSelected.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/UndoRedo.h"
#include "box/fileops/UndoSteps.h"
#include "box/icons/KelmIconManager.h"
#include "ui/core/DpiScale.h"
#include "ui/core/KelmWindow.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

class BoxDeleteTest : public FolderAndMappingBoxesTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folderBox && mappingBox);
        for (const auto& box : {folderBox, mappingBox}) {
            s_boxIconManagers.at(box).RemoveAllRecords();
            s_boxRuntimes.at(box).undoList.clear();
            s_boxRuntimes.at(box).selection.clear();
        }
        for (auto& entry : fs::directory_iterator(Folder()))
            RemoveItemWithoutFollowingLinks(entry.path().wstring());
        asked = 0;
        s_deleteQuestion = [this](HWND, const DeleteQuestionTexts&) {
            ++asked;
            return answer;
        };
    }
    void TearDown() override
    {
        s_deleteQuestion = [](HWND, const DeleteQuestionTexts&) { return -1; };
    }

    static std::wstring Folder() { return s_boxRuntimes.at(folderBox).TargetFolder; }

    void Add(const BoxWindowPtr& box, const std::wstring& path)
    {
        s_boxIconManagers.at(box).AddRecordForPath(path, 0, 0, L"bvn!NULL", false, L"", box, L"bvn!NULL");
    }

    void DeleteByKey(const BoxWindowPtr& box, std::set<int32_t> ids)
    {
        s_boxRuntimes.at(box).selection = std::move(ids);
        s_pendingDelete.Arm(box);
        WaitForTheJob();
    }
    static void WaitForTheJob()
    {
        EXPECT_TRUE(WaitForFileJob([] {
            AnswerShellQuestions();
            return s_pendingDelete.Pending() != nullptr;
        })) << "the delete job did not end";
    }
    static std::function<void()> Row(const std::vector<Brevin::KelmOption>& rows, const std::wstring& text)
    {
        for (const auto& row : rows)
            if (row.text == text)
                return row.onClick;
        ADD_FAILURE() << "no such row";
        return [] {};
    }

    TempFolder temp;
    int answer = 0;
    int asked = 0;
};

} // namespace

TEST_F(BoxDeleteTest, MappingRecordsGoWithoutAskingAndTheirFilesStay)
{
    TempFolder::WriteBytes(temp.File(L"m1.txt"), "1");
    TempFolder::WriteBytes(temp.File(L"m2.txt"), "2");
    Add(mappingBox, temp.File(L"m1.txt"));
    Add(mappingBox, temp.File(L"m2.txt"));
    DeleteByKey(mappingBox, {0, 1});
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(RecordPaths(mappingBox).empty());
    EXPECT_TRUE(fs::exists(temp.File(L"m1.txt")));
    EXPECT_TRUE(fs::exists(temp.File(L"m2.txt")));
    const auto& undo = s_boxRuntimes.at(mappingBox).undoList;
    ASSERT_EQ(undo.size(), 2u);
    EXPECT_EQ(undo[0].kind, 4u);
    EXPECT_EQ(undo[0].extra, L"bvn!NULL");
    EXPECT_TRUE(s_boxRuntimes.at(mappingBox).selection.empty());
}

TEST_F(BoxDeleteTest, RecycleKeepsACopyForUndoAndRemovesOtherBoxesRecords)
{
    const std::wstring file = Folder() + L"\\r.txt";
    TempFolder::WriteBytes(file, "keep me");
    Add(folderBox, file);
    Add(mappingBox, file);
    answer = 0;
    DeleteByKey(folderBox, {0});
    EXPECT_EQ(asked, 1);
    ASSERT_FALSE(fs::exists(file)) << "sent to the Recycle Bin";
    EXPECT_TRUE(RecordPaths(folderBox).empty());
    EXPECT_TRUE(RecordPaths(mappingBox).empty()) << "a real file's records go from every box";
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 1u);
    EXPECT_EQ(undo[0].kind, 1u);
    EXPECT_TRUE(undo[0].recycleConfirmed);
    EXPECT_NE(undo[0].tempPath.find(L"\\.data\\.temp\\"), std::wstring::npos);
    EXPECT_EQ(TempFolder::ReadBytes(undo[0].tempPath), "keep me");

    // Ctrl+Z brings the file back from the kept copy, with its record.
    UndoAndWait(folderBox, nullptr);
    EXPECT_EQ(TempFolder::ReadBytes(file), "keep me");
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{file});
}

// A Yes to the shell's "delete it instead?" where the bin refuses the file
// is no recycle, though the shell reports success: undo
// still has the copy, and it never counts as one the bin also holds, so it
// is not deleted once undo can no longer reach it.
TEST_F(BoxDeleteTest, AFileTheBinRefusesKeepsItsCopyUnconfirmed)
{
    const std::wstring file = Folder() + L"\\refused.txt";
    TempFolder::WriteBytes(file, "keep me");
    Add(folderBox, file);
    answer = 0;
    {
        ShellThatDeletes shell;
        DeleteByKey(folderBox, {0});
    }
    ASSERT_FALSE(fs::exists(file));
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 1u);
    EXPECT_FALSE(undo[0].recycleConfirmed);
    EXPECT_EQ(TempFolder::ReadBytes(undo[0].tempPath), "keep me");
}

// A folder the shell deleted half way stays with its record, and its copy,
// the only whole version, comes out beside it; the user hears so.
TEST_F(BoxDeleteTest, AFolderDeletedHalfWayKeepsItsWholeCopyInView)
{
    const std::wstring half = Folder() + L"\\half";
    fs::create_directories(half);
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        TempFolder::WriteBytes(half + L"\\" + std::wstring(name, name + 5), "whole");
    Add(folderBox, half);
    answer = 0;
    s_recycleShell = [](const std::vector<std::wstring>& paths) {
        DeleteFileW((paths.front() + L"\\a.txt").c_str());
        return std::vector<RecycleOutcome>(paths.size(), RecycleOutcome::Refused);
    };
    DeleteByKey(folderBox, {0});
    s_recycleShell = nullptr;
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{half});
    const std::wstring beside = Folder() + L"\\half（撤销保留的副本）";
    EXPECT_EQ(TempFolder::ReadBytes(beside + L"\\a.txt"), "whole");
    EXPECT_NE(LastNoticeText(L"delete-failed:" + half).find(beside), std::wstring::npos);
}

// What leaves in one delete goes to the Recycle Bin in one operation of the
// shell: one question for them all, not one per file; each file's record
// goes with it, and undo keeps its copy.
TEST_F(BoxDeleteTest, ARecycleOfManyFilesIsOneShellOperation)
{
    std::vector<std::wstring> files;
    std::set<int32_t> ids;
    for (int i = 0; i < 6; ++i) {
        files.push_back(Folder() + L"\\many" + std::to_wstring(i) + L".txt");
        TempFolder::WriteBytes(files.back(), "many");
        Add(folderBox, files.back());
        ids.insert(i);
    }
    answer = 0;
    ShellQuestionCounter questions(IDYES);
    // Only the counter answers: a second answerer could take the question
    // before the counter saw it.
    s_boxRuntimes.at(folderBox).selection = ids;
    s_pendingDelete.Arm(folderBox);
    EXPECT_TRUE(WaitForFileJob([] { return s_pendingDelete.Pending() != nullptr; })) << "the delete job did not end";
    EXPECT_EQ(questions.Asked(), 1);
    for (const std::wstring& file : files)
        EXPECT_FALSE(fs::exists(file)) << "sent to the Recycle Bin";
    EXPECT_TRUE(RecordPaths(folderBox).empty());
    const auto& undo = s_boxRuntimes.at(folderBox).undoList;
    ASSERT_EQ(undo.size(), 5u) << "the last five of the limit";
    EXPECT_EQ(undo.back().path, files.back());
    EXPECT_EQ(TempFolder::ReadBytes(undo.back().tempPath), "many");
}

// A No to the shell's own recycle question is the user's answer: the file
// and its record stay, and no failure is reported.
TEST_F(BoxDeleteTest, ANoToTheShellsQuestionKeepsTheFileWithoutAFailure)
{
    const std::wstring file = Folder() + L"\\kept.txt";
    TempFolder::WriteBytes(file, "kept");
    Add(folderBox, file);
    answer = 0;
    const int failed = TimesUserNotified(L"delete-failed:" + file);
    s_boxRuntimes.at(folderBox).selection = {0};
    s_pendingDelete.Arm(folderBox);
    EXPECT_TRUE(WaitForFileJob([] {
        AnswerShellQuestions(IDNO);
        return s_pendingDelete.Pending() != nullptr;
    }));
    PumpMessages(50);
    EXPECT_EQ(TempFolder::ReadBytes(file), "kept");
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{file});
    EXPECT_EQ(TimesUserNotified(L"delete-failed:" + file), failed);
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty());
}

TEST_F(BoxDeleteTest, CancelOrARunningJobChangesNothing)
{
    const std::wstring file = Folder() + L"\\c.txt";
    TempFolder::WriteBytes(file, "c");
    Add(folderBox, file);
    bool heldDuringQuestion = false;
    const auto asking = s_deleteQuestion;
    s_deleteQuestion = [&](HWND, const DeleteQuestionTexts&) {
        heldDuringQuestion = BoxInUse::Busy(folderBox);
        return -1;
    };
    DeleteByKey(folderBox, {0});
    EXPECT_TRUE(heldDuringQuestion) << "nothing may take the box away under its question";
    EXPECT_FALSE(BoxInUse::Busy(folderBox)) << "the hold ends with the question";
    s_deleteQuestion = asking;
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(RecordPaths(folderBox).size(), 1u);
    EXPECT_EQ(s_boxRuntimes.at(folderBox).selection.size(), 1u) << "the selection stays";

    answer = 0;
    s_copyProgress.busy = true;
    s_copyProgress.workerRunning = true;
    DeleteSelection(folderBox);
    s_copyProgress.busy = false;
    s_copyProgress.workerRunning = false;
    EXPECT_EQ(TempFolder::ReadBytes(file), "c") << "nothing is moved away while another job runs";
    EXPECT_EQ(RecordPaths(folderBox).size(), 1u);
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty());
    fs::path temporary = store->File(L"data\\.data\\.temp");
    if (fs::exists(temporary)) {
        for (auto& entry : fs::directory_iterator(temporary))
            EXPECT_EQ(entry.path().filename().wstring().find(L"c.txt"), std::wstring::npos);
    }
}

TEST_F(BoxDeleteTest, PermanentDeleteRemovesWholeTrees)
{
    fs::create_directories(Folder() + L"\\tree\\sub");
    TempFolder::WriteBytes(Folder() + L"\\tree\\sub\\x.txt", "x");
    Add(folderBox, Folder() + L"/tree/");
    answer = 1;
    DeleteByKey(folderBox, {0});
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(RecordPaths(folderBox).empty());
    EXPECT_FALSE(fs::exists(Folder() + L"\\tree"));
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty()) << "a permanent delete cannot be undone";
}

// Undo could not give back a link the kept copy cannot hold: the folder
// stays whole, and the user hears which link kept it there.
TEST_F(BoxDeleteTest, AFolderHoldingALinkStaysWholeAndTheLinkIsNamed)
{
    fs::create_directories(Folder() + L"\\sub");
    TempFolder::WriteBytes(Folder() + L"\\sub\\inner.txt", "inner");
    OutsideLinks inside;
    if (!inside.Make(Folder() + L"\\sub", temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no links";
    Add(folderBox, Folder() + L"\\sub");
    answer = 0;
    const int told = TimesUserNotified(L"delete-failed:" + Folder() + L"\\sub");
    DeleteByKey(folderBox, {0});
    EXPECT_EQ(TempFolder::ReadBytes(Folder() + L"\\sub\\inner.txt"), "inner");
    for (const std::wstring& link : inside.links)
        EXPECT_NE(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES) << "the link stays";
    EXPECT_TRUE(inside.Untouched());
    EXPECT_TRUE(s_boxRuntimes.at(folderBox).undoList.empty());
    EXPECT_EQ(TimesUserNotified(L"delete-failed:" + Folder() + L"\\sub"), told + 1);
    EXPECT_NE(LastNoticeText(L"delete-failed:" + Folder() + L"\\sub").find(inside.links.front()), std::wstring::npos)
        << "the link is named";
}

TEST_F(BoxDeleteTest, APermanentDeleteRemovesALinkInsideAsALinkAndNothingBehindIt)
{
    fs::create_directories(temp.File(L"outside"));
    TempFolder::WriteBytes(temp.File(L"outside\\keep.txt"), "keep");
    fs::create_directories(Folder() + L"\\sub");
    TempFolder::WriteBytes(Folder() + L"\\sub\\inner.txt", "inner");
    if (!MakeDirectoryLink(Folder() + L"\\sub\\lnk", temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no directory links";
    Add(folderBox, Folder() + L"\\sub");
    answer = 1;
    DeleteByKey(folderBox, {0});
    EXPECT_EQ(TempFolder::ReadBytes(temp.File(L"outside\\keep.txt")), "keep");
    EXPECT_FALSE(fs::exists(Folder() + L"\\sub\\inner.txt"));
    if (FolderLinksStayOnThisSystem()) {
        // The folder stays with the link, and so does its record; the user
        // is told what stayed.
        EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{Folder() + L"\\sub"});
        EXPECT_TRUE(WasUserNotified(L"delete-failed:" + Folder() + L"\\sub"));
    } else {
        EXPECT_FALSE(fs::exists(Folder() + L"\\sub"));
        EXPECT_TRUE(RecordPaths(folderBox).empty());
    }
}

TEST_F(BoxDeleteTest, NoDeleteReachesThroughALinkToAFileOrAnEmptyFolder)
{
    fs::create_directories(Folder() + L"\\sub");
    TempFolder::WriteBytes(Folder() + L"\\sub\\inner.txt", "inner");
    OutsideLinks top, inside;
    if (!top.Make(Folder(), temp.File(L"outside")) || !inside.Make(Folder() + L"\\sub", temp.File(L"outside2")))
        GTEST_SKIP() << "this system makes no links";
    for (const int choice : {0, 1}) {
        SCOPED_TRACE(choice == 1 ? "for good" : "to the Recycle Bin");
        s_boxIconManagers.at(folderBox).RemoveAllRecords();
        for (const std::wstring& link : top.links)
            Add(folderBox, link);
        Add(folderBox, Folder() + L"\\sub");
        answer = choice;
        DeleteByKey(folderBox, {0, 1, 2, 3});
        EXPECT_TRUE(top.Untouched());
        EXPECT_TRUE(inside.Untouched());
        for (const std::wstring& link : top.links) {
            if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
                // What stays keeps its record, and the user is told.
                const auto paths = RecordPaths(folderBox);
                EXPECT_NE(std::find(paths.begin(), paths.end(), link), paths.end());
                EXPECT_TRUE(WasUserNotified(L"delete-failed:" + link));
            }
        }
    }
    EXPECT_FALSE(fs::exists(Folder() + L"\\sub\\inner.txt"));
}

TEST_F(BoxDeleteTest, WhatGoesIsWhatTheUserChoseThoughTheListWasRenumbered)
{
    KelmIconManager& view = s_boxIconManagers.at(folderBox);
    for (const wchar_t* name : {L"z.txt", L"note.txt", L"c.txt"}) {
        TempFolder::WriteBytes(Folder() + L"\\" + name, "x");
        Add(folderBox, Folder() + L"\\" + name);
    }
    const std::vector<Brevin::KelmOption> rows = IconContextMenuOptions(view, view.Records().at(1));
    // The shell removes z.txt while the menu is open; the sync renumbers.
    fs::remove(Folder() + L"\\z.txt");
    view.RemoveByPath(Folder() + L"\\z.txt");
    view.Renumber();
    answer = 1;
    Row(rows, L":\xF014:      删除")();
    WaitForTheJob();
    EXPECT_FALSE(fs::exists(Folder() + L"\\note.txt"));
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{Folder() + L"\\c.txt"});

    // Del of c.txt and b.txt: c.txt vanishes while the question is open.
    for (const wchar_t* name : {L"a.txt", L"b.txt"}) {
        TempFolder::WriteBytes(Folder() + L"\\" + name, "x");
        Add(folderBox, Folder() + L"\\" + name);
    }
    s_deleteQuestion = [&view](HWND, const DeleteQuestionTexts&) {
        fs::remove(Folder() + L"\\c.txt");
        view.RemoveByPath(Folder() + L"\\c.txt");
        view.Renumber();
        return 1;
    };
    DeleteByKey(folderBox, {0, 2});
    EXPECT_FALSE(fs::exists(Folder() + L"\\b.txt"));
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{Folder() + L"\\a.txt"});
}

// Another box shows a folder of this box: neither delete nor a rename in
// this box may take that folder away from it, even when that box has the
// folder stored through another drive letter.
TEST_F(BoxDeleteTest, AnotherBoxsFolderIsNeitherDeletedNorRenamed)
{
    const std::wstring shown = Folder() + L"\\bfolder";
    fs::create_directories(shown);
    TempFolder::WriteBytes(shown + L"\\b.txt", "b");
    BoxRuntime& other = s_boxRuntimes.at(mappingBox);
    const bool usedFolder = other.UseTargetFolder;
    const std::wstring otherFolder = other.TargetFolder;
    other.UseTargetFolder = true;
    other.TargetFolder = ThroughOtherDrive(shown);
    ASSERT_FALSE(other.TargetFolder.empty());
    for (const int choice : {0, 1}) {
        SCOPED_TRACE(choice == 1 ? "for good" : "to the Recycle Bin");
        s_boxIconManagers.at(folderBox).RemoveAllRecords();
        TempFolder::WriteBytes(Folder() + L"\\plain.txt", "p");
        Add(folderBox, shown);
        Add(folderBox, Folder() + L"\\plain.txt");
        answer = choice;
        const int told = TimesUserNotified(L"delete-box-folder");
        DeleteByKey(folderBox, {0, 1});
        EXPECT_EQ(TempFolder::ReadBytes(shown + L"\\b.txt"), "b");
        EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{shown});
        EXPECT_FALSE(fs::exists(Folder() + L"\\plain.txt")) << "the rest of the selection goes";
        EXPECT_EQ(TimesUserNotified(L"delete-box-folder"), told + 1);
        EXPECT_NE(LastNoticeText(L"delete-box-folder").find(L"“bfolder”"), std::wstring::npos);
    }
    const int told = TimesUserNotified(L"rename-box-folder");
    const bool renamed =
        RenameIconFile(folderBox, s_boxIconManagers.at(folderBox).Records().front(), folderBox, L"moved");
    other.UseTargetFolder = usedFolder;
    other.TargetFolder = otherFolder;
    EXPECT_FALSE(renamed);
    EXPECT_EQ(TempFolder::ReadBytes(shown + L"\\b.txt"), "b");
    EXPECT_FALSE(fs::exists(Folder() + L"\\moved"));
    EXPECT_EQ(TimesUserNotified(L"rename-box-folder"), told + 1);
}

// A box made on a chosen folder while the question was open takes it as
// its own: the delete leaves it, with its record, and says why.
TEST_F(BoxDeleteTest, AFolderThatBecameABoxsFolderDuringTheQuestionStays)
{
    const std::wstring late = Folder() + L"\\late";
    fs::create_directories(late);
    TempFolder::WriteBytes(late + L"\\l.txt", "l");
    Add(folderBox, late);
    BoxRuntime& other = s_boxRuntimes.at(mappingBox);
    const bool usedFolder = other.UseTargetFolder;
    const std::wstring otherFolder = other.TargetFolder;
    s_deleteQuestion = [&](HWND, const DeleteQuestionTexts&) {
        other.UseTargetFolder = true;
        other.TargetFolder = late;
        return 1;
    };
    const int told = TimesUserNotified(L"delete-box-folder");
    DeleteByKey(folderBox, {0});
    other.UseTargetFolder = usedFolder;
    other.TargetFolder = otherFolder;
    EXPECT_EQ(TempFolder::ReadBytes(late + L"\\l.txt"), "l");
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{late});
    EXPECT_EQ(TimesUserNotified(L"delete-box-folder"), told + 1);
}

TEST(DeletePaths, AbsoluteWithBackslashesAndNoTrailingSeparator)
{
    EXPECT_EQ(PathToDelete(L"C:/a/b/"), L"C:\\a\\b");
    EXPECT_EQ(PathToDelete(L"C:\\a\\..\\b.txt"), L"C:\\b.txt");
}
