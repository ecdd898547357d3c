#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <thread>

#include "app/CommonHelpers.h"
#include "app/FileRemoval.h"
#include "app/StoreTextFormat.h"
#include "app/TempFolder.h"
#include "common/WindowTestSupport.h"

TEST(CommonHelpers, ColourText)
{
    EXPECT_EQ(ColorToHex(RGB(242, 242, 242)), L"#F2F2F2");
    EXPECT_EQ(ColorToHex(RGB(255, 0, 16)), L"#FF0010");
    EXPECT_EQ(HexToColor(L"#F2F2F2"), RGB(242, 242, 242));
    EXPECT_EQ(HexToColor(L"F2F2F2"), RGB(242, 242, 242));
    EXPECT_EQ(HexToColor(L"#FF0010"), RGB(255, 0, 16));
    EXPECT_THROW(HexToColor(L"#XYZ"), std::invalid_argument);
    EXPECT_THROW(HexToColor(L""), std::invalid_argument);
    EXPECT_THROW(HexToColor(L"#FFFFFFFFFFFF"), std::out_of_range);
}

TEST(CommonHelpers, TextAndPathParts)
{
    EXPECT_EQ(CountCjkCharacters(L"收纳box"), 2u);
    EXPECT_EQ(CountCjkCharacters(L"\x3400\xF900\xFAFF!"), 3u);
    EXPECT_STREQ(FindFileNamePart(L"C:\\a\\b.txt"), L"b.txt");
    EXPECT_STREQ(FindFileNamePart(L"C:/a/b.txt"), L"b.txt");
    EXPECT_STREQ(FindFileNamePart(L"b.txt"), L"b.txt");
    EXPECT_STREQ(FindFileNamePart(L"C:\\a\\"), L"");
    EXPECT_EQ(FindFileNamePart(nullptr), nullptr);
    EXPECT_EQ(GetPathFileName(L"C:\\a\\b.txt"), L"b.txt");
    EXPECT_EQ(GetPathFileName(L""), L"");
    EXPECT_STREQ(TrimLeft(L" \t\n x y"), L"x y");
    EXPECT_STREQ(TrimLeft(nullptr), L"");
    for (int i = 0; i < 200; ++i) {
        const int r = RandomInt();
        ASSERT_GE(r, 1);
        ASSERT_LE(r, 10);
    }
}

TEST(CommonHelpers, StoredFoldersCompareInOneForm)
{
    const struct {
        const wchar_t* stored;
        const wchar_t* normal;
    } cases[] = {
        {L"C:\\\\Users\\\\me\\\\box", L"C:\\Users\\me\\box"}, // the store's doubling
        {L"C:\\Users\\me\\box\\", L"C:\\Users\\me\\box"},     // trailing separator
        {L"D:\\\\", L"D:\\"},                                 // a root keeps its backslash
        {L"D:\\", L"D:\\"},
        {L"D:/data//box/", L"D:\\data\\box"},
        {L"\\\\\\\\server\\\\share\\\\box", L"\\\\server\\share\\box"}, // doubled network path
        {L"\\\\server\\share", L"\\\\server\\share"},                   // network path as typed
        {L"\\\\\\\\?\\\\D:\\\\box", L"\\\\?\\D:\\box"},
        {L"\\\\?\\D:\\", L"\\\\?\\D:\\"},
        {L"\\\\?\\D:\\a/b", L"\\\\?\\D:\\a/b"}, // a verbatim path takes slashes as they are
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormalizeStoredPath(c.stored), c.normal) << c.stored;
}

TEST(CommonHelpers, ForwardSlashesKeepAtMost511Characters)
{
    wchar_t buffer[600];
    std::wstring text = L"C:\\a\\b";
    wcscpy(buffer, text.c_str());
    ToForwardSlashes(buffer);
    EXPECT_STREQ(buffer, L"C:/a/b");
    std::wstring longText(560, L'\\');
    wcscpy(buffer, longText.c_str());
    ToForwardSlashes(buffer);
    EXPECT_EQ(std::wstring(buffer), std::wstring(511, L'/'));
}

TEST(CommonHelpers, FoldersAndRecycleBin)
{
    TempFolder folder;
    const std::wstring nested = folder.File(L"x\\y\\z");
    EXPECT_TRUE(EnsureDirectory(nested.c_str()));
    EXPECT_TRUE(EnsureDirectory(nested.c_str()));
    EXPECT_FALSE(RecycleItem(folder.File(L"does-not-exist.txt")));
    // The item must land in the Trash: a silent delete for good would also
    // make the file disappear. The test's Trash is its own (the XDG data
    // folder the test run sets; Wine uses the XDG Trash).
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(dataHome, nullptr) << "run through ctest, which gives the test a Trash of its own";
    // Z: is the Unix root under Wine.
    std::wstring trash = L"Z:" + Utf8ToWide(dataHome) + L"/Trash";
    for (wchar_t& c : trash)
        c = c == L'/' ? L'\\' : c;
    ASSERT_TRUE(EnsureDirectory((trash + L"\\files").c_str()));
    ASSERT_TRUE(EnsureDirectory((trash + L"\\info").c_str()));
    const std::wstring name = L"recycle me " + RandomHexString(8) + L".txt";
    const std::wstring file = folder.File(name);
    TempFolder::WriteBytes(file, "data");
    // A shell that asks first gets its question answered like a user would.
    auto recycleAnswering = [](const std::wstring& path) {
        std::atomic<int> result{-1};
        std::thread worker([&] { result = static_cast<int>(RecycleItemAsking(path)); });
        PumpUntil(
            [&] {
                AnswerShellQuestions();
                return result != -1;
            },
            30000);
        worker.join();
        return static_cast<RecycleOutcome>(result.load());
    };
    EXPECT_EQ(recycleAnswering(file), RecycleOutcome::Recycled);
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::wstring inTrash = trash + L"\\files\\" + name;
    EXPECT_EQ(TempFolder::ReadBytes(inTrash), "data") << "not in the Trash: " << WideToUtf8(inTrash);
    DeleteFileW(inTrash.c_str());
    DeleteFileW((trash + L"\\info\\" + name + L".trashinfo").c_str());

    // The shell trims a trailing dot: "dot." would send "dot" beside it.
    const std::wstring dotted = folder.File(L"dot.");
    TempFolder::WriteBytes(folder.File(L"dot"), "beside");
    HANDLE made = CreateFileW(LongPathForm(dotted).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    CloseHandle(made);
    EXPECT_EQ(recycleAnswering(dotted), RecycleOutcome::Refused);
    EXPECT_EQ(TempFolder::ReadBytes(folder.File(L"dot")), "beside");
    EXPECT_NE(GetFileAttributesW(LongPathForm(dotted).c_str()), INVALID_FILE_ATTRIBUTES);

    wchar_t shortPath[MAX_PATH];
    GetAppDataShortPath(shortPath);
    EXPECT_NE(shortPath[0], L'\0');
}

// What the witness says of a shell's work, whatever the shell reported: a
// file that lost a name lost it for good, one that kept every name is in
// the bin.
TEST(CommonHelpers, AWitnessTellsTheBinFromADeleteForGood)
{
    TempFolder folder;
    const std::wstring bin = folder.File(L"bin");
    ASSERT_TRUE(EnsureDirectory(bin.c_str()));
    RecycleWitnessing witnessing;
    witnessing.keepDeleted = true;
    int made = 0;
    witnessing.pathFor = [&](const std::wstring&) { return folder.File(L"witness" + std::to_wstring(made++)); };
    auto recycle = [&](const std::wstring& item, std::function<void(const std::wstring&)> shell,
                       RecycleOutcome said) {
        s_recycleShell = [&](const std::vector<std::wstring>& paths) {
            shell(paths.front());
            return std::vector<RecycleOutcome>(paths.size(), said);
        };
        const WitnessedRecycle result = RecycleItemsWitnessed({item}, nullptr, witnessing).front();
        s_recycleShell = nullptr;
        return result;
    };

    // Two names of one file in a folder deleted for good: neither counts as
    // the other's second name.
    const std::wstring pair = folder.File(L"pair");
    ASSERT_TRUE(EnsureDirectory(pair.c_str()));
    TempFolder::WriteBytes(pair + L"\\x.txt", "one file");
    ASSERT_TRUE(CreateHardLinkW((pair + L"\\y.txt").c_str(), (pair + L"\\x.txt").c_str(), nullptr));
    WitnessedRecycle result =
        recycle(pair, [](const std::wstring& path) { RemoveItemWithoutFollowingLinks(path); }, RecycleOutcome::Recycled);
    EXPECT_EQ(result.outcome, RecycleOutcome::Deleted);
    EXPECT_FALSE(result.proven);
    EXPECT_EQ(TempFolder::ReadBytes(result.witness + L"\\y.txt"), "one file");

    // Moved whole into the bin though the shell reported it stopped.
    const std::wstring moved = folder.File(L"moved.txt");
    TempFolder::WriteBytes(moved, "m");
    result = recycle(
        moved, [&](const std::wstring& path) { MoveFileW(path.c_str(), (bin + L"\\moved.txt").c_str()); },
        RecycleOutcome::Refused);
    EXPECT_EQ(result.outcome, RecycleOutcome::Recycled);
    EXPECT_TRUE(result.proven);
    EXPECT_TRUE(result.witness.empty());

    // A folder the shell stopped half way through: still there, but only
    // the witness holds all it held.
    const std::wstring half = folder.File(L"half");
    ASSERT_TRUE(EnsureDirectory(half.c_str()));
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"})
        TempFolder::WriteBytes(half + L"\\" + name, "in half");
    result = recycle(
        half, [](const std::wstring& path) { DeleteFileW((path + L"\\a.txt").c_str()); }, RecycleOutcome::Refused);
    EXPECT_EQ(result.outcome, RecycleOutcome::Refused);
    EXPECT_TRUE(result.partly);
    EXPECT_EQ(TempFolder::ReadBytes(result.witness + L"\\a.txt"), "in half");

    // A file another program holds without letting it be deleted gets no
    // witness: one could not be removed again while it is held.
    const std::wstring heldFile = folder.File(L"held.txt");
    TempFolder::WriteBytes(heldFile, "held");
    HANDLE held = CreateFileW(heldFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const int before = made;
    result = recycle(heldFile, [](const std::wstring&) {}, RecycleOutcome::Refused);
    CloseHandle(held);
    EXPECT_EQ(result.outcome, RecycleOutcome::Refused);
    for (int i = before; i < made; ++i)
        EXPECT_EQ(GetFileAttributesW(folder.File(L"witness" + std::to_wstring(i)).c_str()), INVALID_FILE_ATTRIBUTES)
            << "a witness of the held file stayed";
}

TEST(CommonHelpers, TheShellsRecycleQuestionIsOwnedByTheWindowThatAsked)
{
    TempFolder folder;
    const std::wstring file = folder.File(L"asked about.txt");
    TempFolder::WriteBytes(file, "data");
    HWND owner = CreateWindowExW(0, L"STATIC", L"box", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(owner);
    std::atomic<int> result{-1};
    std::thread worker([&] { result = RecycleItem(file, owner) ? 1 : 0; });
    HWND question = nullptr;
    PumpUntil(
        [&] {
            const std::vector<HWND> open = OpenShellQuestions();
            question = open.empty() ? nullptr : open.back();
            return question != nullptr || result != -1;
        },
        10000);
    if (!question) {
        worker.join();
        DestroyWindow(owner);
        GTEST_SKIP() << "this shell recycles without asking";
    }
    EXPECT_EQ(GetWindow(question, GW_OWNER), owner);
    // "No": the file stays where it was.
    PostMessageW(question, WM_COMMAND, IDNO, 0);
    PumpUntil([&] { return result != -1; }, 10000);
    worker.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(TempFolder::ReadBytes(file), "data");
    DestroyWindow(owner);
}
