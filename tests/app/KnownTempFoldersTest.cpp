// The list of temporary folders names only folders of their one form: a
// line that names a user's folder or is cut short at the box root never
// reaches a sweep, and only a line a run wrote tells which root it used.
#include <gtest/gtest.h>

#include "app/KnownTempFolders.h"

TEST(KnownTempFoldersTest, OnlyABoxRootsDataTempHasTheForm)
{
    const struct {
        const wchar_t* folder;
        bool form;
    } cases[] = {
        {L"Z:\\tmp\\boxes\\.data\\.temp\\", true},
        {L"Z:\\\\tmp\\\\boxes\\\\.data\\\\.temp", true},
        {L"z:/tmp/boxes/.DATA/.Temp", true},
        {L"D:\\.data\\.temp", true},
        {L"\\\\server\\share\\box\\.data\\.temp", true},
        {L"Z:\\tmp\\boxes\\", false},
        {L"Z:\\tmp\\boxes\\.data", false},
        {L"Z:\\tmp\\boxes\\.data\\.temp\\kept", false},
        {L"Z:\\Users\\me\\Documents", false},
        {L".data\\.temp", false},
        {L"\\.data\\.temp", false},
        {L"Z:\\tmp\\x\\..\\.data\\.temp", false},
        {L"Z:\\tmp\\.data\\.temp-in-use", false},
        {L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasTempFolderForm(c.folder), c.form) << c.folder;

    // A line a run wrote carries its box root's identity after a tab; one
    // without it (or with a damaged one) is still listed, proving nothing.
    std::vector<std::wstring> rejected;
    const std::vector<ListedTempFolder> folders =
        ParseTempFolderList("\xEF\xBB\xBFZ:\\a\\.data\\.temp\\\r\n\r\nZ:\\a\\\r\nZ:\\Users\\me\\Documents\n"
                            "Z:\\b\\.data\\.temp\t0000abcd-00000000000f0012\r\nZ:\\c\\.data\\.temp\t00-12",
                            &rejected);
    const BoxRootIdentity b{0xabcd, 0xf0012};
    EXPECT_EQ(folders, (std::vector<ListedTempFolder>{{L"Z:\\a\\.data\\.temp\\", std::nullopt},
                                                      {L"Z:\\b\\.data\\.temp", b},
                                                      {L"Z:\\c\\.data\\.temp", std::nullopt}}));
    EXPECT_EQ(rejected, (std::vector<std::wstring>{L"Z:\\a\\", L"Z:\\Users\\me\\Documents"}));
    EXPECT_EQ(ParseTempFolderList(FormatTempFolderList(folders)), folders);
}
