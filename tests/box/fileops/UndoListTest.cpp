// Undo lists: the limit, the redo list emptied by a new operation, kept
// copies deleted only when they are not the last copy (else recycled), and
// free names for kept copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"
#include "app/UserNotice.h"
#include "box/BoxRuntime.h"
#include "box/fileops/TempFolderSweep.h"
#include "box/fileops/UndoList.h"
#include "box/fileops/UndoRedo.h"
#include "box/fileops/UndoSteps.h"
#include "common/DirectoryLink.h"
#include "common/ShellQuestionCounter.h"
#include "common/ShellThatDeletes.h"
#include "common/WindowTestSupport.h"
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

// The leaving records' copies go on a worker whose end is posted to the
// box's window; its timer is run here.
void SettleLeaving(const std::shared_ptr<KelmWindow>& box)
{
    const ULONGLONG end = GetTickCount64() + 30000;
    while (RecordsLeaving() && GetTickCount64() < end) {
        box->animationManager.Update();
        Sleep(2);
    }
}

std::wstring TestTrashFiles()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (!dataHome)
        return L"";
    std::wstring trash = L"Z:" + std::filesystem::path(dataHome).wstring() + L"\\Trash\\files";
    for (wchar_t& c : trash)
        c = c == L'/' ? L'\\' : c;
    return trash;
}

// A box window of a target folder made in temp's "box".
std::shared_ptr<KelmWindow> TargetBoxIn(TempFolder& temp, std::wstring& folder)
{
    folder = temp.File(L"box");
    std::filesystem::create_directories(folder);
    auto box = std::make_shared<KelmWindow>();
    BoxRuntime& runtime = s_boxRuntimes[box];
    runtime.UseTargetFolder = true;
    runtime.TargetFolder = folder;
    return box;
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

// "直接覆盖" of a drop: every finished file's record pushes an older one out.
// What leaves in one batch goes to the bin in one operation of the shell,
// the list ends with the batch's last five, and no question opens while
// another is open; what the user keeps (No) comes into view and is told.
TEST(UndoLists, RecordsLeavingInABatchGoInOneShellOperation)
{
    const std::wstring trash = TestTrashFiles();
    ASSERT_FALSE(trash.empty()) << "run through ctest, which gives the test a Trash of its own";
    std::filesystem::create_directories(trash);
    std::filesystem::create_directories(std::filesystem::path(trash).parent_path() / L"info");
    TempFolder temp;
    std::wstring folder;
    auto box = TargetBoxIn(temp, folder);
    const std::wstring tag = RandomHexString(6);
    auto overwrote = [&](int i) {
        UndoRecord record = Created(folder + L"\\f" + tag + std::to_wstring(i) + L".txt");
        record.replacedCopy = temp.File(L"f" + std::to_wstring(i) + L".txtab1" + std::to_wstring(i % 10) + L".tmp");
        TempFolder::WriteBytes(record.replacedCopy, "v" + std::to_string(i));
        return record;
    };
    {
        ShellQuestionCounter questions(IDYES);
        std::vector<UndoRecord> batch;
        for (int i = 0; i < 12; ++i)
            batch.push_back(overwrote(i));
        PushUndoRecords(box, batch);
        SettleLeaving(box);
        ASSERT_FALSE(RecordsLeaving());
        EXPECT_EQ(questions.Asked(), 1) << "one shell operation for the seven that left";
        std::vector<std::wstring> kept;
        for (const UndoRecord& record : s_boxRuntimes[box].undoList)
            kept.push_back(record.path);
        std::vector<std::wstring> lastFive;
        for (int i = 7; i < 12; ++i)
            lastFive.push_back(folder + L"\\f" + tag + std::to_wstring(i) + L".txt");
        EXPECT_EQ(kept, lastFive);
        for (int i = 0; i < 7; ++i) {
            const std::wstring binned = trash + L"\\f" + tag + std::to_wstring(i) + L".txt";
            EXPECT_EQ(TempFolder::ReadBytes(binned), "v" + std::to_string(i)) << "under its own name in the bin";
            DeleteFileW(binned.c_str());
            DeleteFileW((trash.substr(0, trash.size() - 5) + L"info\\f" + tag + std::to_wstring(i) + L".txt.trashinfo")
                            .c_str());
        }
    }
    {
        ShellQuestionCounter questions(IDNO);
        const int told = TimesUserNotified(L"undo-copy-kept");
        PushUndoRecord(box, overwrote(12));
        PushUndoRecord(box, overwrote(13));
        SettleLeaving(box);
        EXPECT_EQ(questions.MostAtOnce(), 1) << "the second push waits for the first one's question";
        EXPECT_EQ(TimesUserNotified(L"undo-copy-kept"), told + 2);
        for (int i = 7; i < 9; ++i)
            EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\f" + tag + std::to_wstring(i) + L"（撤销保留的副本）.txt"),
                      "v" + std::to_string(i));
    }
    s_boxRuntimes.erase(box);
}

// A copy is the only version of what it holds: where the shell deletes it
// for good instead of recycling it, reporting success, it still comes into
// view and is told.
TEST(UndoLists, ACopyTheShellDeletesForGoodComesIntoView)
{
    TempFolder temp;
    std::wstring folder;
    auto box = TargetBoxIn(temp, folder);
    UndoRecord record = Created(folder + L"\\only.txt");
    record.replacedCopy = temp.File(L"only.txtab12.tmp");
    TempFolder::WriteBytes(record.replacedCopy, "the only version");
    {
        ShellThatDeletes shell;
        const int told = TimesUserNotified(L"undo-copy-kept");
        PushUndoRecord(box, record);
        for (int i = 0; i < 5; ++i)
            PushUndoRecord(box, Created(folder + L"\\n" + std::to_wstring(i)));
        SettleLeaving(box);
        EXPECT_EQ(TimesUserNotified(L"undo-copy-kept"), told + 1);
    }
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\only（撤销保留的副本）.txt"), "the only version");
    s_boxRuntimes.erase(box);
}

// A box that is deleted while the shell asks about a leaving record's copy
// waits for the answer; the program's windows paint meanwhile.
TEST(UndoLists, WindowsPaintWhileADeletedBoxWaitsForTheShell)
{
    static std::atomic<int> paints{0};
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_PAINT) {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            ++paints;
            return 0;
        }
        return DefWindowProcW(window, message, w, l);
    };
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"UndoListTest.Painted";
    RegisterClassW(&windowClass);
    HWND painted = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr,
                                   nullptr, windowClass.hInstance, nullptr);
    ASSERT_TRUE(painted);
    PumpMessages(50);

    TempFolder temp;
    std::wstring folder;
    auto box = TargetBoxIn(temp, folder);
    std::vector<UndoRecord> batch;
    for (int i = 0; i < 6; ++i) {
        UndoRecord record = Created(folder + L"\\p" + std::to_wstring(i) + L".txt");
        record.replacedCopy = temp.File(L"p" + std::to_wstring(i) + L".txtab1" + std::to_wstring(i) + L".tmp");
        TempFolder::WriteBytes(record.replacedCopy, "p");
        batch.push_back(std::move(record));
    }
    // The helper waits for the question, has the window painted, and only
    // then answers it.
    std::atomic<bool> paintedWhileAsked{false}, stop{false};
    std::thread user([&] {
        HWND question = nullptr;
        for (int i = 0; i < 15000 && !question && !stop; ++i, Sleep(2)) {
            const std::vector<HWND> open = OpenShellQuestions();
            question = open.empty() ? nullptr : open.back();
        }
        const int before = paints;
        InvalidateRect(painted, nullptr, FALSE);
        for (int i = 0; i < 5000 && paints == before; ++i)
            Sleep(2);
        paintedWhileAsked = paints != before;
        while (question && IsWindow(question) && !stop) {
            PostMessageW(question, WM_COMMAND, IDYES, 0);
            Sleep(20);
        }
    });
    PushUndoRecords(box, batch);
    ASSERT_TRUE(RecordsLeaving());
    FinishLeavingRecords();
    stop = true;
    user.join();
    EXPECT_TRUE(paintedWhileAsked);
    EXPECT_FALSE(RecordsLeaving());
    DestroyWindow(painted);
    s_boxRuntimes.erase(box);
}

// An undo that can never be done lets its record go: what the record kept
// goes on the leaving records' worker, not while the undo holds the UI
// thread, and what the bin does not take comes into view and is told.
TEST(UndoLists, ARecordThatCanNeverBeDoneLetsItsCopyGoOnTheWorker)
{
    TempFolder temp;
    std::wstring folder;
    auto box = TargetBoxIn(temp, folder);
    BoxRuntime& runtime = s_boxRuntimes[box];
    // "直接覆盖" put plan.txt in the box and kept the one it replaced.
    UndoRecord record = Created(folder + L"\\plan.txt");
    TempFolder::WriteBytes(record.path, "dropped");
    record.identity = IdentifyItem(record.path);
    record.replacedCopy = temp.File(L"plan.txtab12.tmp");
    TempFolder::WriteBytes(record.replacedCopy, "replaced");
    runtime.undoList.push_back(record);
    // Another program saved over it since.
    TempFolder::WriteBytes(record.path + L".new", "saved");
    ASSERT_TRUE(MoveFileExW((record.path + L".new").c_str(), record.path.c_str(), MOVEFILE_REPLACE_EXISTING));

    ShellQuestionCounter questions(IDNO);
    const int told = TimesUserNotified(L"undo-other-item");
    const int kept = TimesUserNotified(L"undo-copy-kept");
    UndoAndWait(box, nullptr);
    EXPECT_TRUE(s_boxRuntimes[box].undoList.empty());
    EXPECT_EQ(TimesUserNotified(L"undo-other-item"), told + 1);
    EXPECT_TRUE(RecordsLeaving()) << "the kept copy goes on the worker";
    SettleLeaving(box);
    EXPECT_EQ(TempFolder::ReadBytes(record.path), "saved");
    EXPECT_EQ(TempFolder::ReadBytes(folder + L"\\plan（撤销保留的副本）.txt"), "replaced");
    EXPECT_EQ(TimesUserNotified(L"undo-copy-kept"), kept + 1);
    s_boxRuntimes.erase(box);
}

// Thousands of copies can come into view at once (a big drop that replaced
// files, a crash): the message names a few and every folder they lie in,
// never one line per copy.
TEST(UndoLists, ManyCopiesInViewAreToldInAFewLinesWithTheirFolders)
{
    LeaveReport report;
    for (int i = 0; i < 300; ++i) {
        const std::wstring name = L"f" + std::to_wstring(i) + L"（撤销保留的副本）.txt";
        report.inView.push_back({L"f" + std::to_wstring(i) + L".txt", (i % 2 ? L"C:\\a\\" : L"C:\\b\\") + name});
    }
    const std::wstring text = LeaveReportText(report);
    EXPECT_LE(std::count(text.begin(), text.end(), L'\n'), 12) << WideToUtf8(text);
    EXPECT_NE(text.find(L"f0.txt"), std::wstring::npos);
    EXPECT_NE(text.find(L"以及另外 295 项"), std::wstring::npos);
    EXPECT_NE(text.find(L"\nC:\\a"), std::wstring::npos);
    EXPECT_NE(text.find(L"\nC:\\b"), std::wstring::npos);
}
