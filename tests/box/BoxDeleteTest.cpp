// Del on a box's selection: records of a mapping box go without touching
// their files or asking; files of a folder-backed box go to the Recycle Bin
// with a kept copy for undo, or for good (whole trees), as answered; a
// cancelled question or a running job changes nothing; other boxes'
// records of a deleted file go with it.
#include <gtest/gtest.h>

#include <filesystem>

#include "BoxTestSupport.h"
#include "common/WindowTestSupport.h"
#include "app/KelmStorage.h"
#include "app/TempFolder.h"
#include "box/BoxServices.h"
#include "box/fileops/DeleteSelected.h"
#include "box/fileops/FileJobProgress.h"
#include "box/fileops/UndoRedo.h"
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
            fs::remove_all(entry.path());
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
        EXPECT_TRUE(WaitForFileJob([] {
            AnswerShellQuestions();
            return s_pendingDelete.Pending() != nullptr;
        })) << "the delete job did not end";
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
    UndoLastFileOperation(folderBox, nullptr);
    EXPECT_EQ(TempFolder::ReadBytes(file), "keep me");
    EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{file});
}

TEST_F(BoxDeleteTest, CancelOrARunningJobChangesNothing)
{
    const std::wstring file = Folder() + L"\\c.txt";
    TempFolder::WriteBytes(file, "c");
    Add(folderBox, file);
    answer = -1;
    DeleteByKey(folderBox, {0});
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

TEST(DeletePaths, AbsoluteWithBackslashesAndNoTrailingSeparator)
{
    EXPECT_EQ(PathToDelete(L"C:/a/b/"), L"C:\\a\\b");
    EXPECT_EQ(PathToDelete(L"C:\\a\\..\\b.txt"), L"C:\\b.txt");
}
