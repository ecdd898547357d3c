// Undo lists: the limit, the redo list emptied by a new operation, kept
// copies deleted only when they are not the last copy (else recycled), and
// free names for kept copies.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/TempFolder.h"
#include "box/BoxRuntime.h"
#include "box/fileops/TempFolderSweep.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
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

TEST(UndoLists, TheSixthPushDropsTheOldestAndANewOperationEmptiesRedo)
{
    std::vector<UndoRecord> undo, redo{Created(L"undone")};
    std::vector<std::pair<std::wstring, bool>> discarded;
    auto discard = [&](const UndoRecord& r, bool undone) { discarded.emplace_back(r.path, undone); };
    PushOnto(undo, redo, 5, Recycled(L"r", true), discard);
    EXPECT_TRUE(redo.empty());
    for (int i = 0; i < 4; ++i)
        PushOnto(undo, redo, 5, Created(L"c" + std::to_wstring(i)), discard);
    EXPECT_EQ(undo.size(), 5u);
    PushOnto(undo, redo, 5, Created(L"c4"), discard);
    ASSERT_EQ(undo.size(), 5u);
    EXPECT_EQ(undo.front().path, L"c0");
    const std::vector<std::pair<std::wstring, bool>> expected{{L"undone", true}, {L"r", false}};
    EXPECT_EQ(discarded, expected);
}

// A kept copy is deleted only where the Recycle Bin holds the item too;
// one that may be the user's only copy goes to the bin.
TEST(UndoLists, AKeptCopyIsDeletedOnlyWhenTheBinHoldsTheItem)
{
    using Action = KeptCopyFate::Action;
    UndoRecord overwrote = Created(L"p");
    overwrote.replacedCopy = L"p.kept";
    const struct {
        UndoRecord record;
        bool undone;
        Action action;
        std::wstring copy;
    } cases[] = {
        {Recycled(L"a", true), false, Action::Delete, L"a.tmp"},
        {Recycled(L"a", false), false, Action::Recycle, L"a.tmp"},
        {Recycled(L"a", true), true, Action::Keep, L""},
        {overwrote, false, Action::Recycle, L"p.kept"},
        {overwrote, true, Action::Recycle, L"p.kept"},
        {Created(L"n"), true, Action::Keep, L""},
    };
    for (const auto& c : cases) {
        const KeptCopyFate fate = FateOfKeptCopy(c.record, c.undone);
        EXPECT_EQ(fate.action, c.action) << c.record.kind << " " << c.undone;
        EXPECT_EQ(fate.copy, c.copy);
    }
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
    FinishLeavingRecords();
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

// The shell's question about a leaving record runs a message loop: an undo
// made meanwhile finds the lists as they now stand and its record stays.
TEST(UndoLists, ARecordUndoneWhileALeavingOneIsAskedAboutStays)
{
    std::vector<UndoRecord> undo{Created(L"older")}, redo{Recycled(L"undone", false)};
    bool asked = false;
    PushOnto(undo, redo, 5, Created(L"new"), [&](const UndoRecord&, bool) {
        if (asked)
            return;
        asked = true;
        // Ctrl+Z while the question is open.
        redo.push_back(undo.back());
        undo.pop_back();
    });
    ASSERT_EQ(redo.size(), 1u);
    EXPECT_EQ(redo.back().path, L"new");
    ASSERT_EQ(undo.size(), 1u);
    EXPECT_EQ(undo.back().path, L"older");
}

TEST(UndoLists, UndoAndRedoWaitWhileTheShellAsksAboutTheBox)
{
    auto box = std::make_shared<KelmWindow>();
    UndoRecord mapped;
    mapped.kind = 3;
    mapped.path = L"C:\\elsewhere\\m.txt";
    s_boxRuntimes[box].undoList.push_back(mapped);
    {
        BoxQuestionScope asking(box);
        UndoLastFileOperation(box, nullptr);
        EXPECT_EQ(s_boxRuntimes[box].undoList.size(), 1u);
    }
    EXPECT_FALSE(BoxQuestionOpen(box));
    s_boxRuntimes.erase(box);
}

TEST(TempCopyNames, AKeptCopyGivesBackItsItemsName)
{
    EXPECT_EQ(OriginalNameOfKeptCopy(L"report.docx3f2a.tmp"), L"report.docx");
    EXPECT_EQ(OriginalNameOfKeptCopy(L"keptab12.tmp"), L"kept");
    EXPECT_EQ(OriginalNameOfKeptCopy(L"notes.tmp"), L"notes.tmp");
    EXPECT_EQ(OriginalNameOfKeptCopy(L"a.txtxyz1.tmp"), L"a.txtxyz1.tmp");
}
