// Undo lists: the limit, the redo list emptied by a new operation, kept
// copies deleted only when they are not the last copy, and free names for
// kept copies.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/TempFolder.h"
#include "box/BoxRuntime.h"
#include "box/fileops/UndoList.h"
#include "common/DirectoryLink.h"
#include "ui/core/KelmWindow.h"

namespace
{

UndoRecord Recycled(const std::wstring& path, bool confirmed)
{
    UndoRecord record;
    record.kind = 1;
    record.path = path;
    record.tempPath = path + L".tmp";
    record.recycleConfirmed = confirmed;
    return record;
}

UndoRecord Created(const std::wstring& path)
{
    UndoRecord record;
    record.path = path;
    return record;
}

} // namespace

TEST(UndoLists, TheSixthPushDropsTheOldest)
{
    std::vector<UndoRecord> undo, redo;
    std::vector<std::wstring> discarded;
    auto discard = [&](const std::wstring& p) { discarded.push_back(p); };
    PushOnto(undo, redo, 5, Recycled(L"r", true), discard);
    for (int i = 0; i < 4; ++i)
        PushOnto(undo, redo, 5, Created(L"c" + std::to_wstring(i)), discard);
    EXPECT_EQ(undo.size(), 5u);
    EXPECT_TRUE(discarded.empty());
    PushOnto(undo, redo, 5, Created(L"c4"), discard);
    ASSERT_EQ(undo.size(), 5u);
    EXPECT_EQ(undo.front().path, L"c0");
    EXPECT_EQ(discarded, std::vector<std::wstring>{L"r.tmp"});
}

TEST(UndoLists, AnUnconfirmedRecycleKeepsItsCopy)
{
    std::vector<UndoRecord> undo, redo{Recycled(L"undone", false), Recycled(L"undone2", true)};
    std::vector<std::wstring> discarded;
    auto discard = [&](const std::wstring& p) { discarded.push_back(p); };
    PushOnto(undo, redo, 1, Recycled(L"r", false), discard);
    EXPECT_TRUE(redo.empty()) << "a new operation empties the redo list";
    EXPECT_EQ(discarded, std::vector<std::wstring>{L"undone2.tmp"});
    PushOnto(undo, redo, 1, Created(L"c"), discard);
    EXPECT_EQ(discarded.size(), 1u) << "the only copy of an unconfirmed recycle stays";
}

TEST(UndoLists, ADroppedCopyGoesWithoutReachingThroughALink)
{
    TempFolder temp;
    std::filesystem::create_directories(temp.File(L"outside"));
    TempFolder::WriteBytes(temp.File(L"outside\\keep.txt"), "keep");
    std::filesystem::create_directories(temp.File(L"kept"));
    TempFolder::WriteBytes(temp.File(L"kept\\file.txt"), "copy");
    if (!MakeDirectoryLink(temp.File(L"kept\\lnk"), temp.File(L"outside")))
        GTEST_SKIP() << "this system makes no directory links";
    auto box = std::make_shared<KelmWindow>();
    s_boxRuntimes[box].undoLimit = 1;
    UndoRecord recycled = Recycled(temp.File(L"folder"), true);
    recycled.tempPath = temp.File(L"kept");
    PushUndoRecord(box, recycled);
    PushUndoRecord(box, Created(L"c"));
    s_boxRuntimes.erase(box);
    EXPECT_EQ(TempFolder::ReadBytes(temp.File(L"outside\\keep.txt")), "keep");
    EXPECT_FALSE(std::filesystem::exists(temp.File(L"kept\\file.txt")));
    EXPECT_EQ(std::filesystem::exists(temp.File(L"kept")), FolderLinksStayOnThisSystem());
}

TEST(TempCopyNames, ATakenNameIsDrawnAgain)
{
    std::set<std::wstring> seen;
    int calls = 0;
    const std::wstring name = TempCopyPathIn(L"T:\\temp\\", L"C:\\x\\report.docx", [&](const std::wstring& candidate) {
        ++calls;
        seen.insert(candidate);
        return calls < 3; // the first two draws are taken
    });
    EXPECT_EQ(calls, 3);
    ASSERT_EQ(name.size(), std::wstring(L"T:\\temp\\report.docx").size() + 4 + 4);
    EXPECT_EQ(name.rfind(L"T:\\temp\\report.docx", 0), 0u);
    EXPECT_EQ(name.substr(name.size() - 4), L".tmp");
    const std::wstring suffix = name.substr(name.size() - 8, 4);
    EXPECT_NE(suffix.find_first_of(L"abcdefABCDEF"), std::wstring::npos) << "at least one letter";
}
