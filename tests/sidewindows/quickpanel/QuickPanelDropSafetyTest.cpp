// What the quick panel's drop and paste never do to the user's files: put a
// folder into itself, move what the drag's source only lets it copy, rename
// a component's own file, or take a path cut short for another one.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "QuickPanelTestSupport.h"
#include "common/DirectoryLink.h"
#include "common/HostFiles.h"
#include "common/OtherSpellings.h"
#include "app/FileRemoval.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"
#include "sidewindows/quickpanel/QuickPanelPaste.h"
#include "ui/core/DragDropState.h"
#include "ui/core/DropOutcome.h"

using namespace TessikQuickPanel;
namespace fs = std::filesystem;

namespace
{

class QuickPanelDropSafetyTest : public QuickPanelTest
{
protected:
    void SetUp() override
    {
        QuickPanelTest::SetUp();
        parent = temp.File(L"boxes");
        folder = parent + L"\\box";
        fs::create_directories(folder);
        TempFolder::WriteBytes(folder + L"\\n2.txt", "n2");
        SelectHiddenFolder(L"aaaaa", folder);
        savedEffects = s_dropAllowedEffects;
        savedMappedOnLeft = s_mappedSectionOnLeft;
        s_mappedSectionOnLeft = false;
    }
    void TearDown() override
    {
        s_dropAllowedEffects = savedEffects;
        s_mappedSectionOnLeft = savedMappedOnLeft;
        s_dropOutcome.reset();
        s_boxRuntimes.erase(s_quickPanelWindow);
        QuickPanelTest::TearDown();
    }

    // Wherever the cursor is, it is over the left half, the physical one.
    void Drop(const std::vector<std::wstring>& paths)
    {
        OnQuickPanelFilesDropped(nullptr, 1e6f, 1e6f, paths);
        EXPECT_TRUE(WaitForHiddenBoxJob());
    }
    void Paste()
    {
        PasteFilesToComponent(nullptr, 0, 400);
        EXPECT_TRUE(WaitForHiddenBoxJob());
    }

    // Every entry under root, relative to it.
    static std::vector<std::wstring> Tree(const std::wstring& root)
    {
        std::vector<std::wstring> entries;
        for (const auto& entry : fs::recursive_directory_iterator(root))
            entries.push_back(fs::relative(entry.path(), root).wstring());
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    std::wstring parent, folder;
    DWORD savedEffects = 0;
    bool savedMappedOnLeft = false;
};

// A CF_HDROP list of the paths on the clipboard.
void PutOnClipboard(const std::vector<std::wstring>& paths)
{
    size_t chars = 1;
    for (const std::wstring& path : paths)
        chars += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& path : paths) {
        std::copy(path.begin(), path.end(), text);
        text += path.size() + 1;
    }
    GlobalUnlock(memory);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_HDROP, memory);
    CloseClipboard();
}

} // namespace

TEST_F(QuickPanelDropSafetyTest, TheBoxFolderAndTheFoldersThatHoldItAreRefusedWithAMessage)
{
    const std::vector<std::wstring> before = Tree(parent);
    const int told = TimesUserNotified(L"quick-panel-into-itself");
    Drop({parent, folder});
    EXPECT_EQ(Tree(parent), before) << "nothing was copied or moved into itself";
    EXPECT_EQ(TimesUserNotified(L"quick-panel-into-itself"), told + 1);
}

// Spelled through another drive letter, the box's own folder and another
// box's folder are still known for what they are.
TEST_F(QuickPanelDropSafetyTest, AnotherBoxsFolderStaysWithItsBox)
{
    const std::wstring other = parent + L"\\other";
    fs::create_directories(other);
    TempFolder::WriteBytes(other + L"\\b.txt", "b");
    const auto otherBox = AddBox(L"bbbbb", L"#F2F2F2", false, true);
    s_boxRuntimes[otherBox].TargetFolder = other;
    s_boxRuntimes[otherBox].UseTargetFolder = true;
    for (const std::wstring& dropped : {other, ThroughOtherDrive(other)}) {
        const int told = TimesUserNotified(L"quick-panel-box-folder");
        Drop({dropped});
        EXPECT_EQ(TempFolder::ReadBytes(other + L"\\b.txt"), "b");
        EXPECT_EQ(Tree(folder), (std::vector<std::wstring>{L"n2.txt"}));
        EXPECT_EQ(TimesUserNotified(L"quick-panel-box-folder"), told + 1);
    }
    const int told = TimesUserNotified(L"quick-panel-into-itself");
    Drop({ThroughOtherDrive(parent)});
    EXPECT_EQ(Tree(folder), (std::vector<std::wstring>{L"n2.txt"}));
    EXPECT_EQ(TimesUserNotified(L"quick-panel-into-itself"), told + 1);
}

// The root of a drive or share is neither moved nor copied in (with Ctrl
// either); the user hears which, by its path.
TEST_F(QuickPanelDropSafetyTest, ADriveOrShareRootIsNeverTakenAndIsNamed)
{
    const std::wstring share = L"\\\\nosuchserver\\share\\";
    const std::wstring volume = L"\\\\?\\Volume{00000000-0000-0000-0000-0000000000ff}\\";
    for (const bool copy : {false, true}) {
        const int told = TimesUserNotified(L"quick-panel-box-folder");
        BroughtItem brought = BringIntoFolder(share, folder, !copy, false);
        EXPECT_TRUE(brought.path.empty());
        EXPECT_EQ(brought.boxFolder, FolderRelation::VolumeRoot);
        PutOnClipboard({share, volume});
        Paste();
        EXPECT_EQ(TimesUserNotified(L"quick-panel-box-folder"), told + 1);
        const std::wstring text = LastNoticeText(L"quick-panel-box-folder");
        EXPECT_NE(text.find(L"“\\\\nosuchserver\\share”"), std::wstring::npos);
        EXPECT_NE(text.find(L"根目录"), std::wstring::npos);
    }
    EXPECT_EQ(Tree(folder), (std::vector<std::wstring>{L"n2.txt"}));
}

TEST_F(QuickPanelDropSafetyTest, ASourceThatOffersOnlyACopyKeepsItsFileAndHearsCopy)
{
    const std::wstring source = temp.File(L"mapped.txt");
    TempFolder::WriteBytes(source, "mapped");
    s_dropAllowedEffects = DROPEFFECT_COPY;
    auto outcome = std::make_shared<DropOutcome>(nullptr, DROPEFFECT_COPY);
    s_dropOutcome = outcome;
    Drop({source});
    EXPECT_EQ(TempFolder::ReadBytes(source), "mapped");
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\mapped.txt"), "mapped");
    EXPECT_TRUE(outcome->Taken());
    EXPECT_EQ(outcome->Intended(), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(outcome->Answer(), static_cast<DWORD>(DROPEFFECT_COPY));
}

TEST_F(QuickPanelDropSafetyTest, TheBoxsOwnFileDroppedOnItStaysUnderItsName)
{
    Drop({folder + L"\\n2.txt"});
    EXPECT_EQ(Tree(folder), (std::vector<std::wstring>{L"n2.txt"}));
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\n2.txt"), "n2");
}

// "rep." and "sp " are names of their own: dropped, a file and a folder
// arrive under them.
TEST_F(QuickPanelDropSafetyTest, ANameEndingInADotOrABlankArrivesUnderThatName)
{
    const std::wstring from = temp.File(L"from");
    fs::create_directories(from + L"\\two");
    TempFolder::WriteBytes(from + L"\\one", "dotted");
    if (!RenameOnHost(from + L"\\one", from, "rep.") || !RenameOnHost(from + L"\\two", from, "sp "))
        GTEST_SKIP() << "this system makes no names that end in a dot or a blank";
    s_dropAllowedEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    const int gone = TimesUserNotified(L"quick-panel-gone");
    const int failed = TimesUserNotified(L"quick-panel-not-taken");
    Drop({from + L"\\rep.", from + L"\\sp "});
    const auto names = host_files::SortedNamesIn;
    const std::vector<std::wstring> inBox = names(folder), left = names(from);
    const std::string dotted = TempFolder::ReadBytes(LongPathForm(folder + L"\\rep."));
    // The host's own spelling of either path would be cut to "rep" or "sp".
    for (const wchar_t* name : {L"rep.", L"sp "}) {
        RemoveItemWithoutFollowingLinks(folder + L"\\" + name);
        RemoveItemWithoutFollowingLinks(from + L"\\" + name);
    }
    EXPECT_EQ(inBox, (std::vector<std::wstring>{L"n2.txt", L"rep.", L"sp "}));
    EXPECT_EQ(dotted, "dotted");
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(TimesUserNotified(L"quick-panel-gone"), gone) << WideToUtf8(LastNoticeText(L"quick-panel-gone"));
    EXPECT_EQ(TimesUserNotified(L"quick-panel-not-taken"), failed)
        << WideToUtf8(LastNoticeText(L"quick-panel-not-taken"));
}

// A dropped link stays where it is, and the user reads that it is one.
TEST_F(QuickPanelDropSafetyTest, ADroppedLinkStaysAndIsToldAsALink)
{
    fs::create_directories(temp.File(L"from"));
    OutsideLinks links;
    if (!links.Make(temp.File(L"from"), temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no links";
    s_dropAllowedEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    const int told = TimesUserNotified(L"quick-panel-not-taken");
    Drop({links.links[0]});
    EXPECT_TRUE(links.Untouched());
    ASSERT_EQ(TimesUserNotified(L"quick-panel-not-taken"), told + 1);
    EXPECT_EQ(LastNoticeText(L"quick-panel-not-taken"),
              L"“budget shortcut.xlsx”（它是链接，链接不会被跟随）没有放入收纳盒，仍在原来的位置。");
}

TEST_F(QuickPanelDropSafetyTest, APasteRefusesAFolderThatHoldsTheBoxAndReadsLongPathsWhole)
{
    // A path past 260 characters whose first 259 name its parent folder.
    std::wstring deep = temp.File(L"deep");
    while (deep.size() < 200)
        deep += L"\\" + std::wstring(20, L'd');
    deep += L"\\" + std::wstring(258 - deep.size(), L'e');
    const std::wstring longFile = deep + L"\\long-named.txt";
    fs::create_directories(deep);
    TempFolder::WriteBytes(longFile, "long");
    const std::vector<std::wstring> before = Tree(parent);
    const int told = TimesUserNotified(L"quick-panel-into-itself");

    PutOnClipboard({parent, longFile});
    EXPECT_EQ(ClipboardFilePaths(nullptr), (std::vector<std::wstring>{parent, longFile}));
    Paste();
    // Cut to 259 characters the path would name its folder.
    EXPECT_FALSE(fs::exists(folder + L"\\" + fs::path(deep).filename().wstring())) << "not the cut path's folder";
    std::vector<std::wstring> after = Tree(parent);
    std::erase(after, L"box\\long-named.txt");
    EXPECT_EQ(after, before) << "nothing but the long file may arrive";
    EXPECT_EQ(TimesUserNotified(L"quick-panel-into-itself"), told + 1);
    EXPECT_TRUE(fs::exists(longFile)) << "a paste copies";
}

// Another program moves the box's folder away while a drop of many files
// goes into it. The drop stops: what was not moved stays where it was, and
// the user hears once that the folder went, not a reason blamed on each of
// hundreds of items (a notice of hundreds of names would not fit the
// screen either).
TEST_F(QuickPanelDropSafetyTest, ADropWhoseFolderGoesPartWayStopsAndSaysSoOnce)
{
    s_dropAllowedEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    const std::wstring sources = temp.File(L"many");
    fs::create_directories(sources);
    std::vector<std::wstring> paths;
    for (int i = 0; i < 400; ++i) {
        paths.push_back(sources + L"\\f" + std::to_wstring(i) + L".txt");
        TempFolder::WriteBytes(paths.back(), "x");
    }
    const std::wstring away = parent + L"\\away";
    // The other program: as soon as a dropped file has arrived.
    std::thread other([&] {
        const ULONGLONG end = GetTickCount64() + 30000;
        while (GetTickCount64() < end && !fs::exists(folder + L"\\f0.txt"))
            Sleep(0);
        MoveFileExW(folder.c_str(), away.c_str(), 0);
    });
    const int gone = TimesUserNotified(L"quick-panel-folder-gone");
    const int failed = TimesUserNotified(L"quick-panel-not-taken");
    Drop(paths);
    other.join();
    const auto [moved, stayed] = TempFolder::WhereAre(paths, away);
    EXPECT_EQ(moved + stayed, paths.size()) << "every file is at its source or in the folder that went";
    ASSERT_GT(stayed, 0u) << "the folder went only after the drop";
    EXPECT_EQ(TimesUserNotified(L"quick-panel-not-taken"), failed)
        << WideToUtf8(LastNoticeText(L"quick-panel-not-taken"));
    ASSERT_EQ(TimesUserNotified(L"quick-panel-folder-gone"), gone + 1);
    const std::wstring text = LastNoticeText(L"quick-panel-folder-gone");
    EXPECT_NE(text.find(L"尚未放入的 " + std::to_wstring(stayed) + L" 项"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_NE(text.find(L"已放入的 " + std::to_wstring(moved) + L" 项"), std::wstring::npos) << WideToUtf8(text);
    MoveFileExW(away.c_str(), folder.c_str(), 0);

    // Items of one kind are named a few at a time.
    std::vector<std::wstring> missing;
    for (int i = 0; i < 8; ++i)
        missing.push_back(sources + L"\\missing" + std::to_wstring(i) + L".txt");
    Drop(missing);
    EXPECT_NE(LastNoticeText(L"quick-panel-gone").find(L"……以及另外 3 项"), std::wstring::npos)
        << WideToUtf8(LastNoticeText(L"quick-panel-gone"));
}

// The hidden box's folder went away: neither a drop nor a paste turns the
// files into records of where they are; the user hears why.
TEST_F(QuickPanelDropSafetyTest, ASectionWhoseFolderIsGoneTakesNothing)
{
    const std::wstring source = temp.File(L"kept.txt");
    TempFolder::WriteBytes(source, "k");
    const std::wstring away = parent + L"\\away";
    ASSERT_TRUE(MoveFileExW(folder.c_str(), away.c_str(), 0));
    const std::wstring kind = L"quick-panel-folder-missing:" + folder;
    const int told = TimesUserNotified(kind);
    Drop({source});
    PutOnClipboard({source});
    Paste();
    MoveFileExW(away.c_str(), folder.c_str(), 0);
    EXPECT_EQ(TimesUserNotified(kind), told + 2);
    EXPECT_EQ(TempFolder::ReadBytes(source), "k");
    for (const IconRecord& record : s_boxIconManagers[s_quickPanelDummy].Records())
        EXPECT_NE(record.path, source);
    EXPECT_EQ(Tree(folder), (std::vector<std::wstring>{L"n2.txt"}));
}
