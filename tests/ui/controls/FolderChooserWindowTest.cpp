// The folder chooser on screen: it runs its own loop on the test thread
// while a driver thread types, clicks into folders and confirms.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>

#include "app/TempFolder.h"
#include "tests/ui/controls/PopupOwnerTest.h"
#include "ui/controls/KelmFolderSelectWin.h"

namespace
{

using namespace PopupTest;

constexpr wchar_t kChooserClass[] = L"Kelm.concept.FolderSelect.Class";

// The client is 610 by 459 DIPs (its frame keeps one pixel at the top).
void ClickOk(HWND chooser)
{
    RECT client{};
    GetClientRect(chooser, &client);
    Click(chooser, client.right - 60, client.bottom - 33);
}

// The path box lies over the browser's path bar; it shows "计算机" first.
void TypePath(HWND chooser, const std::wstring& path)
{
    Click(chooser, 300, 70);
    Key(chooser, VK_END);
    for (int i = 0; i < 3; ++i)
        Key(chooser, VK_BACK);
    Type(chooser, path);
    Key(chooser, VK_RETURN);
    Settle(chooser);
}

// Row k of the browser, whose rows start at y 90.
void ClickRow(HWND chooser, int k)
{
    Click(chooser, 200, 90 + 30 * k + 14);
    Settle(chooser);
}

class FolderChooserWindowTest : public PopupOwnerTest
{
protected:
    static void SetUpTestSuite() { OpenOwner(100, 80, 700, 400, true); }
    void SetUp() override
    {
        PopupOwnerTest::SetUp();
        for (const wchar_t* folder : {L"alpha", L"Beta", L"gamma"})
            std::filesystem::create_directories(tree.Path() / folder);
        TempFolder::WriteBytes(tree.File(L"notes.txt"), "x");
    }
    void TearDown() override
    {
        EXPECT_EQ(FindWindowW(kChooserClass, nullptr), nullptr);
        PopupOwnerTest::TearDown();
    }
    std::wstring Folder(const wchar_t* name) const { return (tree.Path() / name).wstring() + L"\\"; }

    TempFolder tree;
};

TEST_F(FolderChooserWindowTest, OkAtTheDriveListGivesNullAndTheChooserIsCentredOnTheScreen)
{
    PopupDriver driver(kChooserClass, [](HWND chooser) { ClickOk(chooser); });
    KelmFolderSelectWin::KelmCreateWindow(Owner(), L"", L"");
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(driver.rect.right - driver.rect.left, 610);
    EXPECT_EQ(driver.rect.bottom - driver.rect.top, 460);
    EXPECT_EQ(driver.rect.left, (GetSystemMetrics(SM_CXSCREEN) - 610) / 2);
    EXPECT_EQ(driver.rect.top, (GetSystemMetrics(SM_CYSCREEN) - 460) / 2);
    EXPECT_EQ(s_folderResult, L"bvn!NULL");
    EXPECT_EQ(s_folderCurrentPath, L"计算机");
}

TEST_F(FolderChooserWindowTest, OkGivesTheFolderClickedIntoAndTheNextShowingStartsAtTheDriveList)
{
    const std::wstring start = tree.Path().wstring();
    PopupDriver driver(kChooserClass, [&start](HWND chooser) {
        TypePath(chooser, start);
        ClickRow(chooser, 2); // "..", alpha, Beta
        ClickOk(chooser);
    });
    KelmFolderSelectWin::KelmCreateWindow(Owner(), L"", L"");
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(s_folderResult, Folder(L"Beta"));

    PopupDriver again(kChooserClass, [](HWND chooser) { ClickOk(chooser); });
    KelmFolderSelectWin::KelmCreateWindow(Owner(), L"", L"");
    again.Join();
    ASSERT_TRUE(again.found);
    EXPECT_EQ(s_folderResult, L"bvn!NULL");
}

TEST_F(FolderChooserWindowTest, TypedRelativePathIsTakenFromTheCurrentFolder)
{
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(tree.Path().c_str());
    PopupDriver driver(kChooserClass, [](HWND chooser) {
        TypePath(chooser, L"gamma");
        ClickOk(chooser);
    });
    KelmFolderSelectWin::KelmCreateWindow(Owner(), L"", L"");
    driver.Join();
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(s_folderResult, Folder(L"gamma"));
    EXPECT_EQ(s_folderCurrentPath, Folder(L"gamma"));
}

TEST_F(FolderChooserWindowTest, ClickElsewhereClosesWithNullAndCancelToo)
{
    const std::wstring start = tree.Path().wstring();
    std::atomic<bool> typed{false};
    PopupDriver driver(kChooserClass, [&start, &typed](HWND chooser) {
        TypePath(chooser, start);
        typed = true;
    });
    std::function<void()> activateOwnerOnceTyped = [&] {
        if (typed)
            SetForegroundWindow(Owner());
        else
            RunNestedSoon(activateOwnerOnceTyped);
    };
    RunNestedSoon(activateOwnerOnceTyped);
    KelmFolderSelectWin::KelmCreateWindow(Owner(), L"", L"");
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_FALSE(driver.leftOpen);
    EXPECT_EQ(s_folderResult, L"bvn!NULL");

    PopupDriver cancel(kChooserClass, [&start](HWND chooser) {
        TypePath(chooser, start);
        RECT client{};
        GetClientRect(chooser, &client);
        Click(chooser, client.right - 150, client.bottom - 33);
    });
    KelmFolderSelectWin::KelmCreateWindow(Owner(), L"", L"");
    cancel.Join();
    EXPECT_FALSE(cancel.leftOpen);
    EXPECT_EQ(s_folderResult, L"bvn!NULL");
}

TEST_F(FolderChooserWindowTest, SecondCallWhileOpenGivesNullAndTheOpenChooserKeepsItsFolder)
{
    const std::wstring start = tree.Path().wstring();
    std::atomic<bool> typed{false};
    std::atomic<bool> nestedDone{false};
    std::wstring nestedResult;
    PopupDriver driver(kChooserClass, [&](HWND chooser) {
        TypePath(chooser, start);
        typed = true;
        const ULONGLONG end = GetTickCount64() + 5000;
        while (!nestedDone && GetTickCount64() < end)
            Sleep(10);
        Settle(chooser); // a paint after the nested call
        ClickOk(chooser);
    });
    std::function<void()> secondCallOnceTyped = [&] {
        if (!typed) {
            RunNestedSoon(secondCallOnceTyped);
            return;
        }
        KelmFolderSelectWin::KelmCreateWindow(Owner(), L"", L"");
        nestedResult = s_folderResult;
        nestedDone = true;
    };
    RunNestedSoon(secondCallOnceTyped);
    KelmFolderSelectWin::KelmCreateWindow(Owner(), L"", L"");
    driver.Join();
    ASSERT_TRUE(driver.found);
    EXPECT_TRUE(nestedDone);
    EXPECT_EQ(nestedResult, L"bvn!NULL");
    EXPECT_EQ(s_folderResult, start + L"\\");
}

} // namespace
