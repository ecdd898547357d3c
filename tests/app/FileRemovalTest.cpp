// Removing trees never reaches through a link, says what stayed, and never
// takes a root, a folder of the user's or of the system, or anything above
// one.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <filesystem>

#include "app/FileRemoval.h"
#include "app/TempFolder.h"
#include "common/DirectoryLink.h"

namespace fs = std::filesystem;

TEST(FileRemoval, ALinkInsideIsRemovedAsALinkAndWhatStaysIsNamed)
{
    TempFolder temp;
    fs::create_directories(temp.File(L"outside\\deep"));
    TempFolder::WriteBytes(temp.File(L"outside\\deep\\keep.txt"), "keep");
    fs::create_directories(temp.File(L"tree\\sub"));
    TempFolder::WriteBytes(temp.File(L"tree\\sub\\inner.txt"), "inner");
    if (!MakeDirectoryLink(temp.File(L"tree\\sub\\lnk"), temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no directory links";

    RemovalReport report;
    const bool removed = RemoveItemWithoutFollowingLinks(temp.File(L"tree"), &report);
    EXPECT_EQ(TempFolder::ReadBytes(temp.File(L"outside\\deep\\keep.txt")), "keep");
    EXPECT_FALSE(fs::exists(temp.File(L"tree\\sub\\inner.txt")));
    if (FolderLinksStayOnThisSystem()) {
        EXPECT_FALSE(removed);
        EXPECT_EQ(report.stayed, std::vector<std::wstring>{temp.File(L"tree\\sub\\lnk")});
    } else {
        EXPECT_TRUE(removed);
        EXPECT_TRUE(report.stayed.empty());
        EXPECT_FALSE(fs::exists(temp.File(L"tree")));
    }

    // A file held open without delete sharing stays, and so do the folders
    // that hold it; only the file is named.
    fs::create_directories(temp.File(L"held\\sub"));
    TempFolder::WriteBytes(temp.File(L"held\\a.txt"), "a");
    TempFolder::WriteBytes(temp.File(L"held\\sub\\open.txt"), "open");
    HANDLE open = CreateFileW(temp.File(L"held\\sub\\open.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    report = {};
    EXPECT_FALSE(RemoveItemWithoutFollowingLinks(temp.File(L"held"), &report));
    CloseHandle(open);
    EXPECT_EQ(report.stayed, std::vector<std::wstring>{temp.File(L"held\\sub\\open.txt")});
    EXPECT_FALSE(fs::exists(temp.File(L"held\\a.txt")));
    EXPECT_EQ(RemovalStayedText(temp.File(L"held"), report.stayed),
              L"“held”未能完全删除，以下内容仍在原来的位置：\n" + temp.File(L"held\\sub\\open.txt"));
    EXPECT_EQ(RemovalStayedText(L"C:\\x\\sub", {L"C:\\x\\sub"}), L"“sub”无法删除，它仍在原来的位置。");
}

TEST(FileRemoval, RootsProtectedFoldersAndTheirParentsAreNeverRemoved)
{
    const std::vector<std::wstring> guarded = {L"C:\\Users\\Ann", L"C:\\Users\\Ann\\Desktop", L"C:\\Windows",
                                               L"D:\\Apps\\Tessik\\", L"\\\\srv\\share\\data"};
    struct Case {
        const wchar_t* path;
        bool refused;
    };
    for (const Case& c : {
             Case{L"C:\\", true},
             Case{L"d:", true},
             Case{L"\\\\srv\\share", true},
             Case{L"\\\\srv\\share\\", true},
             Case{L"\\\\?\\C:\\", true},
             Case{L"relative\\box", true},
             Case{L"", true},
             Case{L"C:\\Users", true},
             Case{L"c:\\users\\ann\\", true},
             Case{L"C:/Users/Ann/Desktop", true},
             Case{L"C:\\\\Users\\\\Ann", true},
             Case{L"C:\\WINDOWS", true},
             Case{L"D:\\Apps", true},
             Case{L"\\\\srv\\share\\data", true},
             Case{L"\\\\?\\UNC\\srv\\share\\data", true},
             Case{L"C:\\Users\\Ann\\Desktop\\box", false},
             Case{L"C:\\Users\\Annabel", false},
             Case{L"D:\\Apps\\Tessik\\.tessik_config", false},
             Case{L"D:\\.tessik\\user_storage\\u_1a2b3c", false},
             Case{L"\\\\srv\\share\\box", false},
         })
        EXPECT_EQ(IsProtectedFromRemoval(c.path, guarded), c.refused) << c.path;
}

TEST(FileRemoval, ALinkToAFileOrAnEmptyFolderIsNeverReachedThrough)
{
    TempFolder temp;
    fs::create_directories(temp.File(L"tree\\sub"));
    TempFolder::WriteBytes(temp.File(L"tree\\plain.txt"), "plain");
    OutsideLinks inside, top;
    if (!inside.Make(temp.File(L"tree\\sub"), temp.File(L"outside")) ||
        !top.Make(temp.File(L"tree"), temp.File(L"outside2")))
        GTEST_SKIP() << "this system makes no links";

    EXPECT_TRUE(EntryIsItself(temp.File(L"tree\\plain.txt")));
    EXPECT_TRUE(EntryIsItself(temp.File(L"tree\\nothing here.txt")));
    EXPECT_TRUE(EntryIsItself(temp.File(L"tree")));
    for (const std::wstring& link : top.links) {
        // A link the system shows as a link is handled as one; one it shows
        // as a plain entry is not itself.
        const bool shownAsLink = GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT;
        if (!shownAsLink) {
            EXPECT_FALSE(EntryIsItself(link)) << link;
        }
        RemoveFolderIfEmpty(link);
        EXPECT_TRUE(top.Untouched()) << "an empty folder removed through " << fs::path(link).filename();
        RemovalReport report;
        const bool removed = RemoveItemWithoutFollowingLinks(link, &report);
        EXPECT_TRUE(top.Untouched()) << "reached through " << fs::path(link).filename();
        if (!removed) {
            EXPECT_EQ(report.stayed, std::vector<std::wstring>{link});
            EXPECT_NE(RemovalStayedText(link, report.stayed).find(L"链接指向的内容没有被改动"), std::wstring::npos)
                << "the user hears why it stayed";
        } else {
            EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
        }
    }

    RemovalReport report;
    RemoveItemWithoutFollowingLinks(temp.File(L"tree"), &report);
    EXPECT_TRUE(inside.Untouched());
    EXPECT_TRUE(top.Untouched());
    EXPECT_FALSE(fs::exists(temp.File(L"tree\\plain.txt")));
    for (const std::wstring& link : inside.links) {
        if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
            EXPECT_NE(std::find(report.stayed.begin(), report.stayed.end(), link), report.stayed.end())
                << "a link that stays is named";
        }
    }
}

TEST(FileRemoval, EveryKnownFolderAndTheRecycleBinFoldersAreProtected)
{
    struct Place {
        const KNOWNFOLDERID& id;
        const char* name;
    };
    const Place places[] = {
        {FOLDERID_ProgramFilesX86, "Program Files (x86)"},
        {FOLDERID_ProgramFiles, "Program Files"},
        {FOLDERID_ProgramData, "ProgramData"},
        {FOLDERID_Downloads, "Downloads"},
        {FOLDERID_Public, "Public"},
        {FOLDERID_PublicDocuments, "Public Documents"},
        {FOLDERID_Favorites, "Favorites"},
        {FOLDERID_SavedGames, "Saved Games"},
        {FOLDERID_Contacts, "Contacts"},
        {FOLDERID_Links, "Links"},
        {FOLDERID_Profile, "the profile"},
        {FOLDERID_Desktop, "Desktop"},
        {FOLDERID_Documents, "Documents"},
        {FOLDERID_Music, "Music"},
        {FOLDERID_Pictures, "Pictures"},
        {FOLDERID_Videos, "Videos"},
        {FOLDERID_RoamingAppData, "AppData"},
        {FOLDERID_Windows, "Windows"},
    };
    int named = 0;
    for (const Place& place : places) {
        PWSTR path = nullptr;
        if (FAILED(SHGetKnownFolderPath(place.id, KF_FLAG_DONT_VERIFY, nullptr, &path)) || !path) {
            CoTaskMemFree(path);
            continue;
        }
        const std::wstring folder = path;
        CoTaskMemFree(path);
        ++named;
        EXPECT_FALSE(MayRemoveFolder(folder, {})) << place.name;
        EXPECT_FALSE(MayRemoveFolder(folder + L"\\", {})) << place.name;
    }
    EXPECT_GE(named, 12) << "the system names these places";
    for (const wchar_t* bin : {L"C:\\$Recycle.Bin", L"C:\\RECYCLER", L"c:\\recycled"})
        EXPECT_FALSE(MayRemoveFolder(bin, {})) << fs::path(bin).string();
    // And everything inside a bin: each user's deleted items live there.
    for (const wchar_t* inside :
         {L"C:\\$Recycle.Bin\\S-1-5-21-1004336348-1177238915-682003330-1001", L"D:\\RECYCLER\\S-1-5-21-1\\Dc1",
          L"c:\\recycled\\x\\", L"\\\\server\\share\\$RECYCLE.BIN\\S-1-5-21-7"})
        EXPECT_FALSE(MayRemoveFolder(inside, {})) << fs::path(inside).string();

    // What the user keeps inside such a place is theirs to remove.
    PWSTR downloads = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_DONT_VERIFY, nullptr, &downloads)) && downloads) {
        EXPECT_TRUE(MayRemoveFolder(std::wstring(downloads) + L"\\old project", {}));
    }
    CoTaskMemFree(downloads);
}

// A path in the long form (a drop may name its files so) is itself at
// every level, the one just under its drive too.
TEST(FileRemoval, AnEntryInTheLongPathFormIsItself)
{
    TempFolder temp;
    fs::create_directories(temp.File(L"deep\\er"));
    for (std::wstring level = temp.File(L"deep\\er"); level.size() > 3; level = level.substr(0, level.rfind(L'\\')))
        EXPECT_EQ(CheckEntry(L"\\\\?\\" + level), EntryCheck::Itself) << level;
    // A name the plain form would trim.
    const std::wstring dotted = L"\\\\?\\" + temp.File(L"deep\\dot.");
    HANDLE file = CreateFileW(dotted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(CheckEntry(dotted), EntryCheck::Itself);
    DeleteFileW(dotted.c_str());
}

TEST(FileRemoval, APathThatClimbsOutIsNotTakenForTheEntryItReaches)
{
    TempFolder temp;
    fs::create_directories(temp.File(L"in\\drop"));
    TempFolder::WriteBytes(temp.File(L"report.doc"), "mine");
    EXPECT_FALSE(EntryIsItself(temp.File(L"in\\drop\\..\\..\\report.doc")));
    EXPECT_TRUE(EntryIsItself(temp.File(L"report.doc")));
}
