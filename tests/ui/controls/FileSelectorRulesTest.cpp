// The file selector's pure rules: the way up, the ranking and the scroll.
#include <gtest/gtest.h>

#include "ui/controls/FileSelectorRules.h"

namespace
{

FileEntry Entry(const std::wstring& name, bool folder, uint64_t time = 0)
{
    FileEntry entry;
    entry.name = name;
    entry.fullPath = L"D:\\x\\" + name + (folder ? L"\\" : L"");
    entry.isFolder = folder;
    entry.lastWriteTime = time;
    return entry;
}

std::vector<std::wstring> Names(const std::vector<FileEntry>& entries)
{
    std::vector<std::wstring> names;
    for (const FileEntry& entry : entries)
        names.push_back(entry.name);
    return names;
}

TEST(FileSelectorRulesTest, ParentPathGoesOneFolderUp)
{
    const struct {
        const wchar_t* folder;
        const wchar_t* parent;
    } cases[] = {
        {L"C:\\a\\b\\", L"C:\\a\\"}, {L"C:\\a\\", L"C:\\"},
        {L"D:\\", L"D:\\"},          {L"abc", L"abc"},
        {L"folder\\", L"C:\\"},      {L"\\\\server\\share\\", L"\\\\server\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileSelectorRules::ParentPath(c.folder), c.parent) << c.folder;
}

TEST(FileSelectorRulesTest, UpRowLeadsToTheDriveListFromADriveRootElseToTheParent)
{
    const FileEntry fromRoot = FileSelectorRules::UpEntry(L"C:\\");
    EXPECT_EQ(fromRoot.name, L"计算机");
    EXPECT_TRUE(fromRoot.fullPath.empty());
    EXPECT_TRUE(fromRoot.isFolder);
    EXPECT_TRUE(fromRoot.upEntry);
    EXPECT_EQ(FileSelectorRules::UpRowLabel(fromRoot), L"计算机");

    const FileEntry belowRoot = FileSelectorRules::UpEntry(L"C:\\Users\\");
    EXPECT_EQ(belowRoot.name, L"..");
    EXPECT_EQ(belowRoot.fullPath, L"C:\\");
    // The parent is a drive root: the label stays empty.
    EXPECT_EQ(FileSelectorRules::UpRowLabel(belowRoot), L"");

    const FileEntry deeper = FileSelectorRules::UpEntry(L"C:\\Users\\me\\");
    EXPECT_EQ(deeper.fullPath, L"C:\\Users\\");
    EXPECT_EQ(FileSelectorRules::UpRowLabel(deeper), L"Users");
}

TEST(FileSelectorRulesTest, UpRowFirstThenFoldersThenFilesWhateverTheSortMode)
{
    std::vector<FileEntry> entries = {Entry(L"b.txt", false, 5), Entry(L"Zeta", true, 1), Entry(L"a.txt", false, 9),
                                      Entry(L"alpha", true, 7), FileSelectorRules::UpEntry(L"D:\\x\\")};
    FileSelectorRules::SortEntries(entries, 0);
    EXPECT_EQ(Names(entries), (std::vector<std::wstring>{L"..", L"alpha", L"Zeta", L"a.txt", L"b.txt"}));

    FileSelectorRules::SortEntries(entries, 1);
    EXPECT_EQ(Names(entries), (std::vector<std::wstring>{L"..", L"alpha", L"Zeta", L"a.txt", L"b.txt"}));
    entries[1].lastWriteTime = 1;
    entries[2].lastWriteTime = 7;
    FileSelectorRules::SortEntries(entries, 1);
    EXPECT_EQ(Names(entries), (std::vector<std::wstring>{L"..", L"Zeta", L"alpha", L"a.txt", L"b.txt"}));
}

TEST(FileSelectorRulesTest, TheWayToTheDriveListRanksFirstAndEqualTimesFallBackToNames)
{
    std::vector<FileEntry> entries = {Entry(L"c", false, 3), Entry(L"B", false, 3), Entry(L"a", false, 3),
                                      Entry(L"folder", true, 0), FileSelectorRules::UpEntry(L"D:\\")};
    FileSelectorRules::SortEntries(entries, 1);
    EXPECT_EQ(Names(entries), (std::vector<std::wstring>{L"计算机", L"folder", L"a", L"B", L"c"}));
}

TEST(FileSelectorRulesTest, WheelNotchScrollsThreeRowsWithinTheList)
{
    EXPECT_EQ(FileSelectorRules::ScrolledFirstRow(0, 18, 50, 10), 3);
    EXPECT_EQ(FileSelectorRules::ScrolledFirstRow(3, -18, 50, 10), 0);
    EXPECT_EQ(FileSelectorRules::ScrolledFirstRow(1, -18, 50, 10), 0);
    EXPECT_EQ(FileSelectorRules::ScrolledFirstRow(39, 18, 50, 10), 40);
    EXPECT_EQ(FileSelectorRules::ScrolledFirstRow(0, 18, 8, 10), 0);
    // Less than a sixth of a notch is no row.
    EXPECT_EQ(FileSelectorRules::ScrolledFirstRow(4, 5, 50, 10), 4);
}

TEST(FileSelectorRulesTest, ScrollThumbFollowsTheFirstRow)
{
    // 40 rows of 30 in a 300 track: 75 high, from the top to the bottom.
    EXPECT_EQ(FileSelectorRules::ScrollThumb(0, 40, 10, 30, 300).offset, 0);
    EXPECT_EQ(FileSelectorRules::ScrollThumb(0, 40, 10, 30, 300).height, 75);
    EXPECT_EQ(FileSelectorRules::ScrollThumb(30, 40, 10, 30, 300).offset, 225);
    EXPECT_EQ(FileSelectorRules::ScrollThumb(15, 40, 10, 30, 300).offset, 112);
    // Never thinner than 20.
    EXPECT_EQ(FileSelectorRules::ScrollThumb(0, 1000, 10, 30, 300).height, 20);
}

} // namespace
