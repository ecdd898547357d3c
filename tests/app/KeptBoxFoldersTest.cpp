// Clearing user data keeps the boxes' folders and says so: the question
// names where they are, the message afterwards names those that still hold
// files (five, then how many more), and nothing behind a link in the data
// folder or its logs is touched.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/Backup.h"
#include "app/KeptBoxFolders.h"
#include "app/TempFolder.h"
#include "common/DirectoryLink.h"

namespace fs = std::filesystem;

TEST(KeptBoxFolders, TheQuestionAndTheMessageNameTheFoldersThatKeepFiles)
{
    TempFolder temp;
    const std::wstring root = temp.File(L"u_1a2b3c");
    fs::create_directories(root + L"\\temp_d4e5f6");
    fs::create_directories(temp.File(L"chosen"));
    fs::create_directories(temp.File(L"empty\\sub"));
    TempFolder::WriteBytes(root + L"\\temp_d4e5f6\\dropped.txt", "mine");
    TempFolder::WriteBytes(temp.File(L"chosen\\plan.txt"), "plan");
    const std::vector<std::wstring> folders = {root + L"\\", root + L"\\temp_d4e5f6", temp.File(L"chosen"),
                                               temp.File(L"empty"), temp.File(L"missing")};

    EXPECT_EQ(OutermostFolders(folders), (std::vector<std::wstring>{root, temp.File(L"chosen"), temp.File(L"empty")}));
    EXPECT_EQ(FoldersHoldingFiles(folders), (std::vector<std::wstring>{root, temp.File(L"chosen")}));
    EXPECT_EQ(KeptBoxFoldersQuestionText(folders), L"收纳盒的文件夹及其中的文件不会被清除，仍保留在：\n" + root +
                                                       L"\n" + temp.File(L"chosen") + L"\n" + temp.File(L"empty") +
                                                       L"\n\n清除用户数据并退出程序吗？");
    EXPECT_EQ(KeptBoxFoldersQuestionText({temp.File(L"missing")}), L"");
    EXPECT_EQ(UserDataClearedText({L"D:\\a", L"D:\\b"}),
              L"用户数据已清除。\n以下收纳盒的文件夹中仍有文件，已保留，没有删除：\nD:\\a\nD:\\b");
    const std::vector<std::wstring> seven = {L"D:\\1", L"D:\\2", L"D:\\3", L"D:\\4", L"D:\\5", L"D:\\6", L"D:\\7"};
    const std::wstring text = UserDataClearedText(seven);
    EXPECT_NE(text.find(L"\nD:\\5\n……以及另外 2 项"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"D:\\6"), std::wstring::npos);
}

TEST(KeptBoxFolders, ClearingNeverReachesThroughALinkToAFileOrAnEmptyFolder)
{
    TempFolder temp;
    const std::wstring data = temp.File(L"data");
    fs::create_directories(data + L"\\logs");
    TempFolder::WriteBytes(data + L"\\Tessik.kelm", "store");
    TempFolder::WriteBytes(data + L"\\logs\\2026_12_01_00.txt", "[Tessik][2026/12/01 08:05:09][INFO] log\r\n");
    OutsideLinks inData, inLogs;
    if (!inData.Make(data, temp.File(L"outside")) || !inLogs.Make(data + L"\\logs", temp.File(L"outside2")))
        GTEST_SKIP() << "this system makes no links";
    RemoveLogFiles(data + L"\\logs", L"");
    EXPECT_TRUE(inLogs.Untouched());
    EXPECT_FALSE(fs::exists(data + L"\\logs\\2026_12_01_00.txt"));
    const DataFolderClearing clearing = ClearDataFolder(data, {});
    EXPECT_TRUE(inData.Untouched());
    EXPECT_TRUE(inLogs.Untouched());
    EXPECT_FALSE(fs::exists(data + L"\\Tessik.kelm"));
    for (const std::wstring& link : inData.links) {
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
            EXPECT_NE(std::find(clearing.failed.begin(), clearing.failed.end(), link), clearing.failed.end())
                << "what stays is named";
        }
    }
}
