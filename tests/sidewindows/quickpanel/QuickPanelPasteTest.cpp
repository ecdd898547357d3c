#include <filesystem>
#include <set>

#include "QuickPanelTestSupport.h"
#include "app/UserNotice.h"
#include "common/HostFiles.h"
#include "box/BoxInUse.h"
#include "sidewindows/quickpanel/QuickPanelContentModel.h"
#include "sidewindows/quickpanel/QuickPanelPaste.h"

using namespace TessikQuickPanel;
namespace fs = std::filesystem;

TEST_F(QuickPanelTest, PastingOneFileTwiceIntoAFolderBoxNumbersTheSecondCopy)
{
    const std::wstring folder = temp.File(L"boxfolder");
    fs::create_directories(folder);
    const std::wstring source = temp.File(L"a.txt");
    TempFolder::WriteBytes(source, "a");
    SelectHiddenFolder(L"aaaaa", folder);

    for (int i = 0; i < 3; ++i) {
        AddItemsToComponent({source}, ItemsFrom::Clipboard, false, 0, 0);
        ASSERT_TRUE(WaitForHiddenBoxJob());
    }
    EXPECT_TRUE(fs::exists(folder + L"\\a.txt"));
    EXPECT_TRUE(fs::exists(folder + L"\\a (1).txt"));
    EXPECT_TRUE(fs::exists(folder + L"\\a (2).txt"));
    EXPECT_TRUE(fs::exists(source)) << "a paste copies";
    EXPECT_EQ(s_boxIconManagers[s_quickPanelDummy].Records().size(), 3u);
    s_boxRuntimes.erase(s_quickPanelWindow);
}

TEST_F(QuickPanelTest, AFolderArrivesWithItsContentAndAMoveRemovesTheSourceAfterwards)
{
    const std::wstring into = temp.File(L"into");
    // Not beside the stores, where only the program's own files lie.
    const std::wstring source = temp.File(L"user\\src");
    fs::create_directories(source + L"\\deep");
    TempFolder::WriteBytes(source + L"\\deep\\x.txt", "x");
    fs::create_directories(into + L"\\src");

    const std::wstring copied = BringIntoFolder(source, into, false, false).path;
    EXPECT_EQ(copied, into + L"\\src (1)");
    EXPECT_TRUE(fs::exists(copied + L"\\deep\\x.txt"));

    const std::wstring moved = BringIntoFolder(source, into, true, false).path;
    EXPECT_EQ(moved, into + L"\\src (2)");
    EXPECT_TRUE(fs::exists(moved + L"\\deep\\x.txt"));
    EXPECT_FALSE(fs::exists(source));
    // Nothing to take: nothing arrives.
    EXPECT_EQ(BringIntoFolder(temp.File(L"missing.txt"), into, true, false).path, L"");
}

TEST_F(QuickPanelTest, AnItemThatDidNotArriveIsToldWithTheReason)
{
    const std::wstring folder = temp.File(L"boxfolder");
    fs::create_directories(folder);
    const std::wstring source = temp.File(L"held.txt");
    TempFolder::WriteBytes(source, "h");
    SelectHiddenFolder(L"aaaaa", folder);
    // Held open without sharing: no copy can read it.
    HANDLE held = CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const int told = TimesUserNotified(L"quick-panel-not-taken");
    AddItemsToComponent({source}, ItemsFrom::Clipboard, false, 0, 0);
    EXPECT_TRUE(WaitForHiddenBoxJob());
    CloseHandle(held);
    EXPECT_EQ(TimesUserNotified(L"quick-panel-not-taken"), told + 1);
    EXPECT_EQ(LastNoticeText(L"quick-panel-not-taken"),
              L"“held.txt”（文件正被其他程序使用）没有放入收纳盒，仍在原来的位置。");

    // Read but not let go: a move leaves no second copy, and the reason is
    // the one that kept it, not a guess.
    // Not beside the stores, where only the program's own files lie.
    const std::wstring read = temp.File(L"user\\read.txt");
    fs::create_directories(temp.File(L"user"));
    TempFolder::WriteBytes(read, "r");
    held = CreateFileW(read.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    AddItemsToComponent({read}, ItemsFrom::Drop, true, 0, 0);
    EXPECT_TRUE(WaitForHiddenBoxJob());
    CloseHandle(held);
    EXPECT_EQ(TempFolder::ReadBytes(read), "r");
    EXPECT_FALSE(fs::exists(folder + L"\\read.txt"));
    EXPECT_EQ(TimesUserNotified(L"quick-panel-not-taken"), told + 2);
    EXPECT_EQ(LastNoticeText(L"quick-panel-not-taken"),
              L"“read.txt”（文件正被其他程序使用）没有放入收纳盒，仍在原来的位置。");

    // A folder from another volume of which only part could leave: what
    // moved is in the box, the rest only where it was, and the words say so.
    if (const std::wstring other = FolderOnOtherVolume(folder, L"panel"); !other.empty()) {
        fs::create_directories(other + L"\\part");
        TempFolder::WriteBytes(other + L"\\part\\free.txt", "f");
        TempFolder::WriteBytes(other + L"\\part\\held.txt", "h");
        held = CreateFileW((other + L"\\part\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           0, nullptr);
        AddItemsToComponent({other + L"\\part"}, ItemsFrom::Drop, true, 0, 0);
        EXPECT_TRUE(WaitForHiddenBoxJob());
        CloseHandle(held);
        EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\part\\free.txt"), "f");
        EXPECT_FALSE(fs::exists(folder + L"\\part\\held.txt"));
        EXPECT_EQ(LastNoticeText(L"quick-panel-left-behind"),
                  L"“part”（文件正被其他程序使用）只有一部分放入了收纳盒，其余内容仍在原来的位置。");
        std::error_code ec;
        fs::remove_all(other, ec);
    }
    s_boxRuntimes.erase(s_quickPanelWindow);
}

// A hidden box's folder takes dropped files on a worker: the drop returns
// before their records land, and the box is held (its delete refused)
// until they have.
TEST_F(QuickPanelTest, AHiddenBoxIsHeldWhileItsDropLandsAndItsRecordsFollow)
{
    const std::wstring folder = temp.File(L"boxfolder");
    const std::wstring from = temp.File(L"user");
    fs::create_directories(folder);
    fs::create_directories(from);
    std::vector<std::wstring> sources;
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) {
        sources.push_back(from + L"\\" + name);
        TempFolder::WriteBytes(sources.back(), "x");
    }
    SelectHiddenFolder(L"aaaaa", folder);
    const KelmIconManager& shown = s_boxIconManagers[s_quickPanelDummy];

    AddItemsToComponent(sources, ItemsFrom::Drop, true, 0, 0);
    EXPECT_TRUE(BoxInUse::Held(L"aaaaa"));
    EXPECT_TRUE(shown.Records().empty()) << "records land from the worker, not within the drop";
    ASSERT_TRUE(WaitForHiddenBoxJob());
    EXPECT_FALSE(BoxInUse::Held(L"aaaaa"));
    ASSERT_EQ(shown.Records().size(), 3u);
    for (const std::wstring& source : sources)
        EXPECT_FALSE(fs::exists(source)) << "a drop moves";
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\b.txt"), "x");

    // The mapped section's records wait for their files to be read off the
    // window's thread, and land only in the box they were dropped on.
    s_physicalSectionActive = false;
    const KelmIconManager& mapped = s_boxIconManagers[s_quickPanelWindow];
    const std::wstring linked = folder + L"\\a.txt";
    AddItemsToComponent({linked, linked}, ItemsFrom::Drop, true, 0, 0);
    EXPECT_TRUE(BoxInUse::Held(L"aaaaa"));
    EXPECT_TRUE(mapped.Records().empty()) << "the files were read on the window's thread";
    ASSERT_TRUE(WaitForHiddenBoxJob());
    ASSERT_EQ(mapped.Records().size(), 1u) << "one item dropped twice is one record";
    EXPECT_NE(mapped.Records().front().lastWriteTime, 0);
    AddItemsToComponent({folder + L"\\b.txt"}, ItemsFrom::Clipboard, false, 0, 0);
    SelectComponent(L"", false);
    ASSERT_TRUE(WaitForHiddenBoxJob());
    EXPECT_EQ(mapped.Records().size(), 1u);
    EXPECT_TRUE(WasUserNotified(L"quick-panel-moved-on"));
    s_boxRuntimes.erase(s_quickPanelWindow);
}
