// The file selector in a framework window over a real folder tree: the
// ranking of its rows, clicks that open folders and report files, the way
// back to the drive list, selection of a file and wheel scrolling.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/TempFolder.h"
#include "tests/ui/controls/ControlTestWindow.h"
#include "ui/controls/KelmFileSelector.h"
#include "ui/core/ThemeColors.h"

namespace
{

// The browser at (10, 10), 400 by 380 DIPs: rows 30 apart from y 50,
// eleven of them visible.
constexpr int kLeft = 10, kTop = 10, kWidth = 400, kHeight = 380;

POINT RowCentre(int k)
{
    return {kLeft + 200, kTop + 40 + 30 * k + 14};
}

std::vector<std::wstring> Names(const KelmFileSelector& selector)
{
    std::vector<std::wstring> names;
    for (const FileEntry& entry : selector.entries)
        names.push_back(entry.name);
    return names;
}

void SetWriteTime(const std::wstring& path, int minutesAgo)
{
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value{};
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    value.QuadPart -= static_cast<ULONGLONG>(minutesAgo) * 60 * 10000000ULL;
    const FILETIME time{value.LowPart, value.HighPart};
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

class FileSelectorTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (ControlTestWindow::PrepareGraphics())
            shared = new ControlTestWindow(1000, 120, kWidth + 20, kHeight + 20);
    }
    static void TearDownTestSuite()
    {
        delete shared;
        shared = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(shared, nullptr);
        for (const wchar_t* folder : {L"alpha", L"Beta", L"gamma"})
            std::filesystem::create_directories(tree.Path() / folder);
        for (const wchar_t* file : {L"b.txt", L"A.txt", L"c.txt"})
            TempFolder::WriteBytes(tree.File(file), "x");
        root = tree.Path().wstring() + L"\\";
        selector->Set(kLeft, kTop, kWidth, kHeight, ThemeAccent.Ref());
        selector->SetOnPathChanged([this](const std::wstring& path) { changes.push_back(path); });
        selector->SetOnFileSelected([this](const std::wstring& path) { files.push_back(path); });
        shared->addControls = [this](Brevin::D2DBrevinPanel* panel) { panel->AddControl(selector); };
    }
    void TearDown() override
    {
        if (shared) {
            shared->addControls = nullptr;
            shared->PaintOnce();
        }
    }
    void ClickRow(int k)
    {
        const POINT at = RowCentre(k);
        shared->Click(at.x, at.y);
    }

    TempFolder tree;
    std::wstring root;
    std::shared_ptr<KelmFileSelector> selector = std::make_shared<KelmFileSelector>();
    std::vector<std::wstring> changes;
    std::vector<std::wstring> files;
    static inline ControlTestWindow* shared = nullptr;
};

TEST_F(FileSelectorTest, FolderListsTheUpRowThenFoldersThenFilesInEitherSortMode)
{
    SetWriteTime(tree.File(L"c.txt"), 1);
    SetWriteTime(tree.File(L"A.txt"), 10);
    SetWriteTime(tree.File(L"b.txt"), 100);
    selector->SetPath(tree.Path().wstring());
    EXPECT_EQ(selector->currentPath, root);
    ASSERT_EQ(changes, std::vector<std::wstring>{root});
    EXPECT_EQ(Names(*selector),
              (std::vector<std::wstring>{L"..", L"alpha", L"Beta", L"gamma", L"A.txt", L"b.txt", L"c.txt"}));
    EXPECT_EQ(selector->entries[1].fullPath, root + L"alpha\\");
    EXPECT_EQ(selector->entries[4].fullPath, root + L"A.txt");

    shared->PaintOnce();
    ClickRow(5); // b.txt
    // The time button, then the name button, right of the path bar.
    shared->Click(kLeft + kWidth - 35 + 15, kTop + 5 + 15);
    EXPECT_EQ(selector->sortMode, 1);
    // The selection stays on its file in the new order.
    ASSERT_EQ(selector->selectedRow, 6);
    EXPECT_EQ(selector->entries[6].name, L"b.txt");
    const auto byTime = Names(*selector);
    EXPECT_EQ(byTime.front(), L"..");
    EXPECT_EQ((std::vector<std::wstring>(byTime.end() - 3, byTime.end())),
              (std::vector<std::wstring>{L"c.txt", L"A.txt", L"b.txt"}));
    shared->Click(kLeft + kWidth - 70 + 15, kTop + 5 + 15);
    EXPECT_EQ(selector->sortMode, 0);
    EXPECT_EQ(Names(*selector)[4], L"A.txt");
}

TEST_F(FileSelectorTest, ClicksOpenFoldersAndReportFilesWithoutPathChanges)
{
    selector->SetPath(root);
    shared->PaintOnce();
    ClickRow(2); // Beta
    EXPECT_EQ(selector->currentPath, root + L"Beta\\");
    EXPECT_EQ(Names(*selector), std::vector<std::wstring>{L".."});
    EXPECT_EQ(changes.size(), 1u);

    shared->PaintOnce();
    ClickRow(0); // back up
    EXPECT_EQ(selector->currentPath, root);
    ClickRow(5); // b.txt
    EXPECT_EQ(files, std::vector<std::wstring>{root + L"b.txt"});
    EXPECT_EQ(selector->currentPath, root);
    EXPECT_EQ(selector->selectedRow, 5);
    EXPECT_EQ(changes.size(), 1u);
}

TEST_F(FileSelectorTest, AFolderNamedLikeTheDriveListOpensLikeAnyOther)
{
    std::filesystem::create_directories(tree.Path() / L"sub" / L"计算机");
    selector->SetPath(root + L"sub");
    ASSERT_EQ(Names(*selector), (std::vector<std::wstring>{L"..", L"计算机"}));
    shared->PaintOnce();
    ClickRow(1);
    EXPECT_TRUE(selector->inFolder);
    EXPECT_EQ(selector->currentPath, root + L"sub\\计算机\\");
}

TEST_F(FileSelectorTest, DriveRootLeadsBackToTheDriveListAndADriveOpensAgain)
{
    selector->SetPath(L"C:\\");
    ASSERT_TRUE(selector->inFolder);
    ASSERT_FALSE(selector->entries.empty());
    EXPECT_EQ(selector->entries[0].name, L"计算机");
    EXPECT_TRUE(selector->entries[0].fullPath.empty());

    shared->PaintOnce();
    ClickRow(0);
    EXPECT_FALSE(selector->inFolder);
    EXPECT_TRUE(selector->currentPath.empty());
    const auto names = Names(*selector);
    const auto drive = std::find(names.begin(), names.end(), L"C:\\");
    ASSERT_NE(drive, names.end());
    // Known folders are folders of the list too, and open like one.
    for (const FileEntry& entry : selector->entries) {
        EXPECT_TRUE(entry.isFolder) << entry.name;
        EXPECT_EQ(entry.fullPath.back(), L'\\') << entry.name;
    }

    shared->PaintOnce();
    ClickRow(static_cast<int>(drive - names.begin()));
    EXPECT_TRUE(selector->inFolder);
    EXPECT_EQ(selector->currentPath, L"C:\\");
    EXPECT_EQ(selector->entries[0].name, L"计算机");
}

TEST_F(FileSelectorTest, FileIsSelectedAndScrolledIntoViewAndTheWheelMovesThreeRows)
{
    std::filesystem::create_directories(tree.Path() / L"many");
    for (int i = 0; i < 40; ++i) {
        wchar_t name[16];
        swprintf(name, 16, L"f%02d.txt", i);
        TempFolder::WriteBytes((tree.Path() / L"many" / name).wstring(), "x");
    }
    selector->SetPath((tree.Path() / L"many" / L"F30.TXT").wstring());
    EXPECT_EQ(selector->currentPath, root + L"many\\");
    EXPECT_EQ(changes.back(), root + L"many\\");
    // Row 31 (after the up row) in the middle of eleven visible rows.
    EXPECT_EQ(selector->selectedRow, 31);
    EXPECT_EQ(selector->firstRow, 26);

    shared->PaintOnce();
    POINT screen{100, 100};
    ClientToScreen(shared->hwnd, &screen);
    PostMessageW(shared->hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
    EXPECT_TRUE(shared->PumpUntil([this] { return selector->firstRow != 26; }, 2000));
    EXPECT_EQ(selector->firstRow, 29);

    // Moved and recoloured: the folder, the selection and the scroll stay.
    selector->Set(kLeft, kTop + 5, kWidth, kHeight - 5, ThemeShade30.Ref());
    EXPECT_EQ(selector->currentPath, root + L"many\\");
    EXPECT_EQ(selector->selectedRow, 31);
    EXPECT_EQ(selector->firstRow, 29);

    // A path that does not exist changes nothing, and says so.
    selector->SetPath(root + L"nothing here");
    EXPECT_EQ(selector->currentPath, root + L"many\\");
    EXPECT_EQ(changes.back(), root + L"many\\");
}

} // namespace
