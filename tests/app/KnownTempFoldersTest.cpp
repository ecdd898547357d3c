// The list of temporary folders names only folders of their one form: a
// line that names a user's folder or is cut short at the box root never
// reaches a sweep.
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

    std::vector<std::wstring> rejected;
    const std::vector<std::wstring> folders = ParseTempFolderList(
        "\xEF\xBB\xBFZ:\\a\\.data\\.temp\\\r\n\r\nZ:\\a\\\r\nZ:\\Users\\me\\Documents\nZ:\\b\\.data\\.temp", &rejected);
    EXPECT_EQ(folders, (std::vector<std::wstring>{L"Z:\\a\\.data\\.temp\\", L"Z:\\b\\.data\\.temp"}));
    EXPECT_EQ(rejected, (std::vector<std::wstring>{L"Z:\\a\\", L"Z:\\Users\\me\\Documents"}));
}
