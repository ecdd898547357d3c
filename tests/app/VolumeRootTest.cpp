// The root of a drive, a share or a volume is known however it is written,
// and a folder or file below one is not taken for it.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"
#include "app/VolumeRoot.h"

TEST(VolumeRoot, RootsAreKnownByTheirSpelling)
{
    for (const wchar_t* root :
         {L"F:", L"F:\\", L"f:/", L"F:\\\\", L"\\\\?\\F:\\", L"\\\\.\\F:", L"\\\\server\\share", L"\\\\server\\share\\",
          L"//server/share/", L"\\\\?\\UNC\\server\\share\\", L"\\\\?\\Volume{00000000-0000-0000-0000-000000000059}\\"})
        EXPECT_TRUE(IsRootSpelling(root)) << WideToUtf8(root);
    for (const wchar_t* below :
         {L"", L"F:\\a", L"F:a", L"\\\\server\\share\\a", L"\\\\?\\F:\\a", L"\\\\?\\UNC\\server\\share\\a",
          L"\\\\?\\Volume{00000000-0000-0000-0000-000000000059}\\a", L"a", L"\\a"})
        EXPECT_FALSE(IsRootSpelling(below)) << WideToUtf8(below);
    EXPECT_EQ(RootDisplayName(L"F:"), L"F:\\");
    EXPECT_EQ(RootDisplayName(L"\\\\server\\share\\"), L"\\\\server\\share");
}

TEST(VolumeRoot, TheSystemTellsADriveFromWhatLiesOnIt)
{
    TempFolder temp;
    std::filesystem::create_directories(temp.File(L"folder"));
    TempFolder::WriteBytes(temp.File(L"a.txt"), "a");
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring drive = std::wstring(windows).substr(0, 3);
    for (const std::wstring& root : {drive, L"\\\\?\\" + drive, drive + L"."})
        EXPECT_TRUE(IsVolumeRoot(root)) << WideToUtf8(root);
    for (const std::wstring& below : {std::wstring(windows), temp.File(L"folder"), temp.File(L"folder\\.."),
                                      temp.File(L"a.txt"), temp.File(L"missing")})
        EXPECT_FALSE(IsVolumeRoot(below)) << WideToUtf8(below);
}
