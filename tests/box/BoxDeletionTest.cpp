// Deleting and disbanding a box: which folders may be removed, the files
// going back to where they came from (never over another file), the box
// leaving the views, the registry and the store, and the choice that runs
// its action first (a folder that stays keeps its box).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "BoxTestSupport.h"
#include "common/DirectoryLink.h"
#include "common/ShellQuestionCounter.h"
#include "app/FileRemoval.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"
#include "box/BoxDeletion.h"
#include "box/BoxSettingsWindow.h"
#include "box/BoxSettings.h"
#include "box/fileops/UndoList.h"
#include "ui/core/DpiScale.h"

using namespace TessikDesktopContainer;
namespace fs = std::filesystem;

namespace
{

class BoxDeletionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DpiScale = 1.0;
        const std::vector<BoxWindowPtr> boxes = CreateTestBoxes(store, {true, false});
        folderBox = boxes.at(0);
        mappingBox = boxes.at(1);
    }
    void TearDown() override
    {
        s_deleteBoxChoice = savedChoice;
        RetireBoxWindow(folderBox);
        RetireBoxWindow(mappingBox);
    }

    // The delete question is answered with the option of that text.
    static void AnswerDeleteWith(const wchar_t* text)
    {
        s_deleteBoxChoice = [text](HWND, std::vector<Brevin::KelmOption> options) {
            for (const auto& option : options)
                if (option.text == text)
                    option.onClick();
            return true;
        };
    }

    const IconRecord& Add(const BoxWindowPtr& box, const std::wstring& path, const std::wstring& originalPath)
    {
        TempFolder::WriteBytes(path, "from " + std::string(path.begin(), path.end()));
        KelmIconManager& view = s_boxIconManagers.at(box);
        view.AddRecordForPath(path, 0, 0, L"bvn!NULL", false, L"", box, originalPath);
        return view.Records().back();
    }

    // Disbands the folder box and waits for its job to report.
    DisbandReport Disband(const std::wstring& folder, const std::vector<IconRecord>& records,
                          const std::wstring& desktop)
    {
        DisbandReport report;
        bool ended = false;
        EXPECT_TRUE(DisbandAndRestore(folderBox, folder, records, desktop, [&](const DisbandReport& done) {
            report = done;
            ended = true;
        }));
        EXPECT_TRUE(WaitForFileJob([&ended] { return !ended; }));
        return report;
    }

    TempFolder store;
    BoxWindowPtr folderBox, mappingBox;
    const std::function<bool(HWND, std::vector<Brevin::KelmOption>)> savedChoice = s_deleteBoxChoice;
};

} // namespace

TEST_F(BoxDeletionTest, OnlyTheBoxsOwnFolderMayBeRemoved)
{
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring own = store.File(L"elsewhere\\own");
    fs::create_directories(own);
    for (const std::wstring& refused :
         {std::wstring(L""), std::wstring(L"bvn!NULL"), std::wstring(L"relative\\folder"), std::wstring(L"C:\\"),
          fs::path(store.File(L"x")).parent_path().wstring(), store.File(L"data"),
          fs::path(store.File(L"x")).parent_path().parent_path().wstring()})
        EXPECT_FALSE(MayRemoveBoxFolder(mappingBox, refused)) << refused;
    EXPECT_FALSE(MayRemoveBoxFolder(mappingBox, boxFolder)) << "another box's folder";
    EXPECT_TRUE(MayRemoveBoxFolder(folderBox, boxFolder));
    EXPECT_TRUE(MayRemoveBoxFolder(mappingBox, own));

    fs::create_directories(store.File(L"data"));
    TempFolder::WriteBytes(store.File(L"data\\keep.txt"), "kept");
    EXPECT_FALSE(DeleteBoxFolderPermanently(mappingBox, store.File(L"data"), nullptr));
    EXPECT_TRUE(fs::exists(store.File(L"data\\keep.txt")));
    TempFolder::WriteBytes(own + L"\\f.txt", "f");
    // The folder goes on the file worker; the result comes back after.
    bool removed = false;
    ASSERT_TRUE(DeleteBoxFolderPermanently(mappingBox, own, [&removed](const FolderRemoved& result) {
        removed = result.removed;
    }));
    EXPECT_TRUE(s_copyProgress.busy) << "the folder was deleted on the window's thread";
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    EXPECT_TRUE(removed);
    EXPECT_FALSE(fs::exists(own));
}

TEST_F(BoxDeletionTest, DisbandingPutsEachFileBackWithoutReplacingAndLeavesOutsideFilesAlone)
{
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring home = store.File(L"home");
    fs::create_directories(home);
    TempFolder::WriteBytes(home + L"\\a.txt", "already there");
    std::vector<IconRecord> records;
    records.push_back(Add(folderBox, boxFolder + L"\\a.txt", home + L"\\a.txt"));
    records.push_back(Add(folderBox, boxFolder + L"\\b.txt", store.File(L"gone\\b.txt")));
    records.push_back(Add(folderBox, store.File(L"outside.txt"), home + L"\\outside.txt"));

    const std::wstring desktop = store.File(L"desktop");
    fs::create_directories(desktop);
    Disband(boxFolder, records, desktop);
    EXPECT_EQ(TempFolder::ReadBytes(home + L"\\a.txt"), "already there");
    EXPECT_TRUE(fs::exists(home + L"\\a (1).txt"));
    EXPECT_FALSE(fs::exists(store.File(L"gone"))) << "a folder that is gone is not made again";
    EXPECT_TRUE(fs::exists(desktop + L"\\b.txt"));
    EXPECT_TRUE(fs::exists(store.File(L"outside.txt"))) << "only what the box folder holds moves";
    EXPECT_FALSE(fs::exists(home + L"\\outside.txt"));
    EXPECT_FALSE(fs::exists(boxFolder)) << "the emptied box folder goes";
}

// A file another program wrote into the box's folder since the box last
// looked has no record to take it home: it stays, named, and the box with it.
TEST_F(BoxDeletionTest, AFileWithoutARecordStaysNamedAndKeepsTheBox)
{
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring home = store.File(L"home");
    fs::create_directories(home);
    const std::vector<IconRecord> records{Add(folderBox, boxFolder + L"\\a.txt", home + L"\\a.txt")};
    TempFolder::WriteBytes(boxFolder + L"\\late.txt", "late");

    const DisbandReport report = Disband(boxFolder, records, store.File(L"desktop"));
    EXPECT_TRUE(fs::exists(home + L"\\a.txt"));
    EXPECT_EQ(TempFolder::ReadBytes(boxFolder + L"\\late.txt"), "late");
    ASSERT_EQ(report.stayed.size(), 1u) << "the box would go, leaving late.txt where no box shows it";
    EXPECT_EQ(fs::path(report.stayed.front().path).filename().wstring(), L"late.txt");
    EXPECT_NE(DisbandReportText(report).find(L"late.txt"), std::wstring::npos);
}

// A file goes home only to a folder the user sees: a recorded place in a
// deleted box's folder (anything in the box root, however it is spelled),
// inside the box's own folder or another box's, or one that is gone, is
// not made again; the file goes to the Desktop and the notice says where.
TEST_F(BoxDeletionTest, DisbandingNeverPutsAFileWhereNoBoxOrUserSeesIt)
{
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring root = store.File(L"data");
    const std::wstring home = store.File(L"home");
    const std::wstring desktop = store.File(L"desktop");
    const std::wstring shown = store.File(L"shown");
    for (const std::wstring& folder : {root, home, desktop, shown, boxFolder + L"\\sub"})
        fs::create_directories(folder);
    // Another box shows a folder of the user's.
    s_boxRuntimes.at(mappingBox).UseTargetFolder = true;
    s_boxRuntimes.at(mappingBox).TargetFolder = shown;
    const std::wstring rootLink = store.File(L"rootLink");
    const bool linked = MakeLink(rootLink, root, true);
    std::vector<IconRecord> records;
    records.push_back(Add(folderBox, boxFolder + L"\\d1.txt", root + L"\\u0dea\\d1.txt"));
    records.push_back(Add(folderBox, boxFolder + L"\\e.txt", boxFolder + L"\\sub\\e.txt"));
    records.push_back(Add(folderBox, boxFolder + L"\\f.txt", store.File(L"gone\\f.txt")));
    records.push_back(Add(folderBox, boxFolder + L"\\g.txt", shown + L"\\g.txt"));
    records.push_back(Add(folderBox, boxFolder + L"\\h.txt", home + L"\\h.txt"));
    if (linked)
        records.push_back(Add(folderBox, boxFolder + L"\\k.txt", rootLink + L"\\u0deb\\k.txt"));

    const DisbandReport report = Disband(boxFolder, records, desktop);
    EXPECT_TRUE(fs::exists(home + L"\\h.txt")) << "a place the user sees";
    EXPECT_TRUE(fs::exists(shown + L"\\g.txt")) << "a folder another box shows";
    for (const wchar_t* name : {L"d1.txt", L"e.txt", L"f.txt"})
        EXPECT_TRUE(fs::exists(desktop + L"\\" + name)) << name;
    EXPECT_FALSE(fs::exists(root + L"\\u0dea")) << "a deleted box's folder is not made again";
    EXPECT_FALSE(fs::exists(store.File(L"gone")));
    if (linked) {
        EXPECT_TRUE(fs::exists(desktop + L"\\k.txt")) << "the box root spelled through a link";
        EXPECT_FALSE(fs::exists(root + L"\\u0deb"));
    }
    EXPECT_TRUE(report.stayed.empty());
    ASSERT_EQ(report.elsewhere.size(), linked ? 4u : 3u);
    const std::wstring text = DisbandReportText(report);
    EXPECT_NE(text.find(L"“d1.txt”"), std::wstring::npos) << text;
    EXPECT_NE(text.find(desktop + L"\\d1.txt"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"h.txt"), std::wstring::npos) << text;
    RemoveItemWithoutFollowingLinks(rootLink);

    // Many files: a few names, then how many more.
    DisbandReport many;
    for (int i = 0; i < 7; ++i)
        many.elsewhere.push_back({L"x\\" + std::to_wstring(i) + L".txt", L"y", L"z"});
    EXPECT_NE(DisbandReportText(many).find(L"……以及另外 2 项"), std::wstring::npos);
}

// A folder a file came from that has since become a link, or lies under
// one, is no place to put it back: the file stays in the box, nothing
// lands where the link leads, and the notice names the link.
TEST_F(BoxDeletionTest, AFileWhoseFolderBecameALinkStaysInTheBox)
{
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring elsewhere = store.File(L"elsewhere"), plain = store.File(L"plain");
    const std::wstring home = store.File(L"home"), above = store.File(L"above");
    fs::create_directories(elsewhere + L"\\sub");
    fs::create_directories(plain);
    if (!MakeDirectoryLink(home, elsewhere) || !MakeDirectoryLink(above, elsewhere))
        GTEST_SKIP() << "this system makes no links";
    const std::vector<IconRecord> records{Add(folderBox, boxFolder + L"\\a.txt", home + L"\\a.txt"),
                                          Add(folderBox, boxFolder + L"\\b.txt", above + L"\\sub\\b.txt"),
                                          Add(folderBox, boxFolder + L"\\c.txt", plain + L"\\c.txt")};

    const DisbandReport report = Disband(boxFolder, records, store.File(L"desktop"));
    EXPECT_TRUE(fs::exists(boxFolder + L"\\a.txt"));
    EXPECT_TRUE(fs::exists(boxFolder + L"\\b.txt"));
    EXPECT_FALSE(fs::exists(elsewhere + L"\\a.txt")) << "moved through the link";
    EXPECT_FALSE(fs::exists(elsewhere + L"\\sub\\b.txt")) << "moved through a link above its folder";
    EXPECT_TRUE(fs::exists(plain + L"\\c.txt"));
    EXPECT_TRUE(report.elsewhere.empty());
    ASSERT_EQ(report.stayed.size(), 2u);
    const std::wstring text = DisbandReportText(report);
    EXPECT_NE(text.find(L"“a.txt”"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"“" + home + L"”现在是指向其他位置的链接"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"“" + above + L"”现在是指向其他位置的链接"), std::wstring::npos) << text;
    RemoveItemWithoutFollowingLinks(home);
    RemoveItemWithoutFollowingLinks(above);
}

TEST_F(BoxDeletionTest, ADeletedBoxLeavesTheViewsTheRegistryAndTheStore)
{
    const std::wstring id = s_boxRuntimes.at(mappingBox).id;
    BoxSettingsObject(id)[L"x"] = 5;
    s_boxIconManagers.at(folderBox).AddRecordForPath(store.File(L"m.txt"), 0, 0, L"bvn!NULL", true, L"", mappingBox,
                                                     L"bvn!NULL");
    DeleteBox(mappingBox);
    EXPECT_FALSE(FindBoxRuntime(mappingBox));
    EXPECT_FALSE(s_boxIconManagers.count(mappingBox));
    EXPECT_TRUE(s_boxIconManagers.at(folderBox).Records().empty());
    EXPECT_FALSE(FindBoxObject(s_desktopContainerStore, id));
    KelmStorage reloaded;
    reloaded.Load(store.File(L"DesktopContainer.kelm"));
    EXPECT_FALSE(FindBoxObject(reloaded, id));
    mappingBox.reset();
}

TEST_F(BoxDeletionTest, TheChosenActionRunsBeforeTheBoxGoesAndAFolderThatStaysKeepsItsBox)
{
    const auto saved = s_deleteBoxChoice;
    std::wstring choose;
    std::vector<std::wstring> offered;
    s_deleteBoxChoice = [&](HWND, std::vector<Brevin::KelmOption> options) {
        offered.clear();
        for (const auto& option : options) {
            offered.push_back(option.text);
            if (option.text == choose)
                option.onClick();
        }
        return !choose.empty();
    };
    const std::wstring id = s_boxRuntimes.at(folderBox).id;
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring home = store.File(L"home");
    fs::create_directories(home);
    const std::wstring inBox = boxFolder + L"\\a.txt";
    Add(folderBox, inBox, home + L"\\a.txt");

    ShowDeleteBoxDialog(folderBox);
    EXPECT_EQ(offered, (std::vector<std::wstring>{L"解散并归位", L"移动文件到回收站", L"仅删除组件", L"彻底删除文件"}));
    EXPECT_TRUE(FindBoxRuntime(folderBox)) << "cancelled";
    EXPECT_TRUE(fs::exists(boxFolder + L"\\a.txt"));

    // A folder that may not go (here: the data folder) is kept, and so is
    // its box; the user is told.
    const std::wstring data = store.File(L"data");
    fs::create_directories(data);
    s_boxRuntimes.at(folderBox).TargetFolder = data;
    choose = L"移动文件到回收站";
    ShowDeleteBoxDialog(folderBox);
    EXPECT_TRUE(FindBoxRuntime(folderBox));
    EXPECT_TRUE(FindBoxObject(s_desktopContainerStore, id));
    EXPECT_TRUE(fs::exists(data));
    EXPECT_TRUE(WasUserNotified(L"box-folder-kept"));

    s_boxRuntimes.at(folderBox).TargetFolder = boxFolder;
    // The files go home on the file worker: when the answer returns the
    // box still stands, and it goes once the job reports every file back.
    choose = L"解散并归位";
    ShowDeleteBoxDialog(folderBox);
    EXPECT_TRUE(s_copyProgress.busy);
    EXPECT_TRUE(FindBoxRuntime(folderBox));
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    EXPECT_EQ(TempFolder::ReadBytes(home + L"\\a.txt"), "from " + std::string(inBox.begin(), inBox.end()));
    EXPECT_FALSE(FindBoxRuntime(folderBox));
    EXPECT_FALSE(FindBoxObject(s_desktopContainerStore, id));
    folderBox.reset();
    s_deleteBoxChoice = saved;
}

TEST_F(BoxDeletionTest, RecyclingTheFolderIsAJobAndTheBoxGoesOnceTheFolderLeft)
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(dataHome, nullptr) << "run through ctest, which gives the test a Trash of its own";
    AnswerDeleteWith(L"移动文件到回收站");
    const std::wstring id = s_boxRuntimes.at(folderBox).id;
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring inTrash =
        L"Z:" + Utf8ToWide(dataHome) + L"\\Trash\\files\\" + fs::path(boxFolder).filename().wstring();
    Add(folderBox, boxFolder + L"\\a.txt", L"bvn!NULL");
    {
        // Wine's shell asks before it recycles: answered as a user.
        ShellQuestionCounter answering(IDYES);
        ShowDeleteBoxDialog(folderBox);
        // The shell works on the file worker: when the answer returns the
        // box still stands, and it goes once its folder has left.
        EXPECT_TRUE(s_copyProgress.busy) << "the shell ran on the window's thread";
        EXPECT_TRUE(FindBoxRuntime(folderBox));
        ASSERT_TRUE(WaitForFileJob([] { return false; }));
        EXPECT_LE(answering.Asked(), 1) << "one operation of the shell";
    }
    EXPECT_FALSE(fs::exists(boxFolder));
    EXPECT_EQ(TempFolder::ReadBytes(inTrash + L"\\a.txt"),
              "from " + std::string(boxFolder.begin(), boxFolder.end()) + "\\a.txt");
    EXPECT_FALSE(FindBoxRuntime(folderBox));
    EXPECT_FALSE(FindBoxObject(s_desktopContainerStore, id));
    RemoveItemWithoutFollowingLinks(inTrash);
    folderBox.reset();
}

// A folder the shell deleted half way where the bin would not take it
// keeps its box, and the user hears that files were deleted, not that
// nothing happened.
TEST_F(BoxDeletionTest, AFolderTheShellDeletedHalfWayOrOneWithLinksIsToldAsSuch)
{
    AnswerDeleteWith(L"移动文件到回收站");
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    Add(folderBox, boxFolder + L"\\a.txt", L"bvn!NULL");
    Add(folderBox, boxFolder + L"\\b.txt", L"bvn!NULL");
    s_recycleShell = [](const std::vector<std::wstring>& paths) {
        DeleteFileW((paths.front() + L"\\a.txt").c_str());
        return std::vector<RecycleOutcome>(paths.size(), RecycleOutcome::Refused);
    };
    ShowDeleteBoxDialog(folderBox);
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    s_recycleShell = nullptr;
    EXPECT_TRUE(FindBoxRuntime(folderBox));
    EXPECT_TRUE(fs::exists(boxFolder + L"\\b.txt"));
    EXPECT_NE(LastNoticeText(L"box-folder-kept").find(L"其中 1 个文件已被永久删除"), std::wstring::npos)
        << LastNoticeText(L"box-folder-kept");

    // A folder holding a link is not sent: a shell that deletes what the
    // bin refuses would delete what the link leads to as well.
    const std::wstring outside = store.File(L"outside");
    fs::create_directories(outside);
    TempFolder::WriteBytes(outside + L"\\doc.txt", "the user's");
    if (!MakeLink(boxFolder + L"\\lnk", outside, true))
        GTEST_SKIP() << "this system makes no links";
    int sent = 0;
    s_recycleShell = [&sent](const std::vector<std::wstring>& paths) {
        ++sent;
        for (const std::wstring& path : paths)
            RemoveItemWithoutFollowingLinks(path);
        return std::vector<RecycleOutcome>(paths.size(), RecycleOutcome::Recycled);
    };
    ShowDeleteBoxDialog(folderBox);
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    s_recycleShell = nullptr;
    EXPECT_EQ(sent, 0);
    EXPECT_TRUE(FindBoxRuntime(folderBox));
    EXPECT_EQ(TempFolder::ReadBytes(outside + L"\\doc.txt"), "the user's");
    EXPECT_NE(LastNoticeText(L"box-folder-kept").find(L"链接"), std::wstring::npos);
    RemoveItemWithoutFollowingLinks(boxFolder + L"\\lnk");
}

// A box whose folder cannot be reached (its drive pulled out) is never
// taken for an empty one: whichever action touches its files, nothing
// moves, the box stays with its records, and the user hears why.
TEST_F(BoxDeletionTest, ABoxWhoseFolderCannotBeReachedStaysWithItsRecords)
{
    const std::wstring id = s_boxRuntimes.at(folderBox).id;
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring home = store.File(L"home");
    fs::create_directories(home);
    Add(folderBox, boxFolder + L"\\a.txt", home + L"\\a.txt");
    fs::rename(boxFolder, store.File(L"away"));
    using Choice = std::pair<const wchar_t*, const wchar_t*>;
    for (const auto& [choice, kind] :
         {Choice{L"解散并归位", L"box-disband"}, Choice{L"移动文件到回收站", L"box-folder-kept"},
          Choice{L"彻底删除文件", L"box-folder-kept"}}) {
        AnswerDeleteWith(choice);
        const int told = TimesUserNotified(kind);
        ShowDeleteBoxDialog(folderBox);
        ASSERT_TRUE(WaitForFileJob([] { return false; }));
        ASSERT_TRUE(FindBoxRuntime(folderBox)) << WideToUtf8(choice);
        EXPECT_TRUE(FindBoxObject(s_desktopContainerStore, id));
        EXPECT_EQ(RecordPaths(folderBox), std::vector<std::wstring>{boxFolder + L"\\a.txt"});
        ASSERT_EQ(TimesUserNotified(kind), told + 1) << WideToUtf8(choice);
        EXPECT_NE(LastNoticeText(kind).find(L"不存在或无法访问"), std::wstring::npos) << WideToUtf8(choice);
    }
    fs::rename(store.File(L"away"), boxFolder);
    EXPECT_TRUE(fs::exists(boxFolder + L"\\a.txt"));
    EXPECT_FALSE(fs::exists(home + L"\\a.txt"));
}

TEST_F(BoxDeletionTest, RemovingOnlyTheBoxKeepsItsFilesAndNamesTheFolderTheyStayIn)
{
    AnswerDeleteWith(L"仅删除组件");
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    Add(folderBox, boxFolder + L"\\a.txt", L"bvn!NULL");

    ShowDeleteBoxDialog(folderBox);
    EXPECT_FALSE(FindBoxRuntime(folderBox));
    folderBox.reset();
    EXPECT_TRUE(fs::exists(boxFolder + L"\\a.txt"));
    EXPECT_TRUE(WasUserNotified(L"box-folder-left"));
    EXPECT_NE(LastNoticeText(L"box-folder-left").find(fs::path(boxFolder).filename().wstring()), std::wstring::npos);
}

TEST_F(BoxDeletionTest, AFileThatCannotGoBackKeepsItsBoxAndTheUserHearsWhereFilesWent)
{
    AnswerDeleteWith(L"解散并归位");
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring home = store.File(L"home");
    fs::create_directories(home);
    TempFolder::WriteBytes(home + L"\\c.txt", "already there");
    Add(folderBox, boxFolder + L"\\a.txt", home + L"\\a.txt");
    Add(folderBox, boxFolder + L"\\c.txt", home + L"\\c.txt");
    // Another program holds a.txt open and lets nobody delete it.
    HANDLE held = CreateFileW((boxFolder + L"\\a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    ShowDeleteBoxDialog(folderBox);
    const bool ended = WaitForFileJob([] { return false; });
    CloseHandle(held);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(FindBoxRuntime(folderBox)) << "the box stays with the file that stayed";
    EXPECT_TRUE(fs::exists(boxFolder + L"\\a.txt"));
    EXPECT_FALSE(fs::exists(home + L"\\a.txt")) << "no second copy of what stayed";
    EXPECT_TRUE(fs::exists(home + L"\\c (1).txt")) << "what could go went";
    EXPECT_TRUE(WasUserNotified(L"box-disband"));
    const std::wstring told = LastNoticeText(L"box-disband");
    EXPECT_NE(told.find(L"“a.txt”"), std::wstring::npos);
    EXPECT_NE(told.find(L"文件正被其他程序使用"), std::wstring::npos) << "and why: " << WideToUtf8(told);
    std::vector<std::wstring> kept;
    for (const IconRecord& r : s_boxIconManagers.at(folderBox).Records())
        kept.push_back(r.path);
    EXPECT_EQ(kept, std::vector<std::wstring>{boxFolder + L"\\a.txt"}) << "only the record of what stayed is left";
}

// A copy still on its way into the box would land in a folder no box shows:
// the box is neither deleted nor disbanded while a file job works for it,
// whether the job ran before the question or started while it was open.
// What is disbanded is what the box holds when the answer comes.
TEST_F(BoxDeletionTest, NoBoxGoesWhileAFileJobWorksForItAndTheAnswerActsOnWhatItHoldsThen)
{
    const auto saved = s_deleteBoxChoice;
    int asked = 0;
    bool startJob = false;
    std::function<void()> whileAsking;
    s_deleteBoxChoice = [&](HWND, std::vector<Brevin::KelmOption> options) {
        ++asked;
        if (startJob) {
            s_copyProgress.busy = true;
            s_copyProgress.workerRunning = true;
            s_copyProgress.targetWindow = folderBox;
        }
        if (whileAsking)
            whileAsking();
        for (const auto& option : options)
            if (option.text == L"解散并归位")
                option.onClick();
        return true;
    };
    auto jobEnds = [] {
        s_copyProgress.busy = false;
        s_copyProgress.workerRunning = false;
        s_copyProgress.targetWindow.reset();
    };
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring home = store.File(L"home");
    fs::create_directories(home);
    Add(folderBox, boxFolder + L"\\a.txt", home + L"\\a.txt");

    s_copyProgress.busy = true;
    s_copyProgress.workerRunning = true;
    s_copyProgress.targetWindow = folderBox;
    const int told = TimesUserNotified(L"box-delete-busy");
    ShowDeleteBoxDialog(folderBox);
    EXPECT_EQ(asked, 0) << "refused before the question";
    EXPECT_TRUE(FindBoxRuntime(folderBox));
    EXPECT_EQ(TimesUserNotified(L"box-delete-busy"), told + 1);
    jobEnds();

    startJob = true;
    ShowDeleteBoxDialog(folderBox);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(FindBoxRuntime(folderBox)) << "a job started while the question was open";
    EXPECT_TRUE(fs::exists(boxFolder + L"\\a.txt"));
    EXPECT_EQ(TimesUserNotified(L"box-delete-busy"), told + 2);
    jobEnds();

    // Nor is the box made again from its settings under the question.
    startJob = false;
    const int remakeTold = TimesUserNotified(L"box-remake-busy");
    whileAsking = [&] {
        Add(folderBox, boxFolder + L"\\b.txt", home + L"\\b.txt");
        TessikDesktopContainer::OpenBoxSettingsWindow(folderBox);
        TessikDesktopContainer::SetBoxRenderStyle(1);
        TessikDesktopContainer::CloseBoxSettingsOf(s_boxRuntimes.at(folderBox).id);
    };
    ShowDeleteBoxDialog(folderBox);
    EXPECT_EQ(TimesUserNotified(L"box-remake-busy"), remakeTold + 1);
    ASSERT_TRUE(WaitForFileJob([] { return false; }));
    EXPECT_FALSE(FindBoxRuntime(folderBox));
    EXPECT_TRUE(fs::exists(home + L"\\a.txt"));
    EXPECT_TRUE(fs::exists(home + L"\\b.txt")) << "the file that arrived while the question was open went home too";
    folderBox.reset();
    s_deleteBoxChoice = saved;
}

TEST_F(BoxDeletionTest, AnotherBoxsFolderInsideTheBoxStaysWithItsBoxWhenTheBoxIsDisbanded)
{
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring desktop = store.File(L"desktop");
    const std::wstring inner = boxFolder + L"\\reports";
    fs::create_directories(desktop);
    fs::create_directories(inner + L"\\q1");
    s_boxRuntimes.at(mappingBox).UseTargetFolder = true;
    s_boxRuntimes.at(mappingBox).TargetFolder = inner + L"\\q1";
    std::vector<IconRecord> records;
    records.push_back(Add(folderBox, boxFolder + L"\\a.txt", L"bvn!NULL"));
    KelmIconManager& view = s_boxIconManagers.at(folderBox);
    view.AddRecordForPath(inner, 0, 0, L"bvn!NULL", false, L"", folderBox, L"bvn!NULL");
    records.push_back(view.Records().back());

    const DisbandReport report = Disband(boxFolder, records, desktop);
    EXPECT_TRUE(fs::exists(desktop + L"\\a.txt"));
    EXPECT_TRUE(fs::exists(inner + L"\\q1")) << "the other box keeps its folder";
    EXPECT_FALSE(fs::exists(desktop + L"\\reports"));
    ASSERT_EQ(report.stayed.size(), 1u);
    EXPECT_NE(DisbandReportText(report).find(L"“reports”：是其他收纳盒的文件夹"), std::wstring::npos);

    // A folder another box shows too stays when it is left empty.
    RemoveItemWithoutFollowingLinks(inner);
    s_boxRuntimes.at(mappingBox).TargetFolder = boxFolder;
    const std::vector<IconRecord> last{Add(folderBox, boxFolder + L"\\b.txt", L"bvn!NULL")};
    EXPECT_TRUE(Disband(boxFolder, last, desktop).stayed.empty());
    EXPECT_TRUE(fs::exists(desktop + L"\\b.txt"));
    EXPECT_TRUE(fs::exists(boxFolder)) << "the other box keeps its folder";
}

// A box deleted while the shell asks about copies its undo records let go
// of (on a worker, the question owned by the box's window): the deletion
// waits for the answer without a hang, then lets the box's own records go;
// the two questions never stand open together.
TEST_F(BoxDeletionTest, TheUndoListsOfADeletedBoxWaitForTheQuestionAboutLeavingCopies)
{
    std::atomic<bool> stop{false};
    std::atomic<int> asked{0}, mostAtOnce{0};
    // Each question is answered only once it stood open a while: the
    // deletion comes while the first one is open.
    std::thread answerer([&] {
        std::map<HWND, ULONGLONG> seenAt;
        while (!stop) {
            const std::vector<HWND> open = OpenShellQuestions();
            mostAtOnce = std::max(mostAtOnce.load(), static_cast<int>(open.size()));
            for (HWND window : open) {
                auto [at, added] = seenAt.emplace(window, GetTickCount64());
                if (added)
                    ++asked;
                else if (GetTickCount64() - at->second > 300)
                    PostMessageW(window, WM_COMMAND, IDYES, 0);
            }
            Sleep(5);
        }
    });
    s_boxRuntimes.at(folderBox).undoLimit = 1;
    std::vector<UndoRecord> records;
    for (const wchar_t* name : {L"a.txt", L"b.txt"}) {
        UndoRecord record;
        record.path = s_boxRuntimes.at(folderBox).TargetFolder + L"\\" + name;
        record.replacedCopy = store.File(std::wstring(name) + L"c0de.tmp");
        TempFolder::WriteBytes(record.replacedCopy, "old");
        records.push_back(record);
    }
    PushUndoRecords(folderBox, records);
    ASSERT_TRUE(PumpUntil([&] { return asked > 0; }, 20000)) << "the shell asks about a.txt";
    const LeaveReport left = EmptyUndoLists(folderBox);
    stop = true;
    answerer.join();
    EXPECT_TRUE(left.Empty());
    EXPECT_FALSE(RecordsLeaving());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(mostAtOnce, 1);
    EXPECT_FALSE(fs::exists(records[0].replacedCopy));
    EXPECT_FALSE(fs::exists(records[1].replacedCopy));
}

// A box's folder that became a link to a folder of the user's own holds
// what the program cannot prove is the box's: disbanding moves nothing out
// of it, as deleting refuses it, and says why.
TEST_F(BoxDeletionTest, DisbandingMovesNothingOutOfABoxFolderThatIsALink)
{
    const std::wstring boxFolder = s_boxRuntimes.at(folderBox).TargetFolder;
    const std::wstring users = store.File(L"users");
    const std::wstring home = store.File(L"home");
    fs::create_directories(users);
    fs::create_directories(home);
    TempFolder::WriteBytes(users + L"\\a.txt", "the user's");
    fs::remove_all(boxFolder);
    if (!MakeDirectoryLink(boxFolder, users))
        GTEST_SKIP() << "this system makes no links";
    IconRecord record;
    record.path = boxFolder + L"\\a.txt";
    record.originalPath = home + L"\\a.txt";

    const DisbandReport report = Disband(boxFolder, {record}, store.File(L"desktop"));
    EXPECT_EQ(TempFolder::ReadBytes(users + L"\\a.txt"), "the user's");
    EXPECT_FALSE(fs::exists(home + L"\\a.txt")) << "a file was taken out of the user's folder through the link";
    EXPECT_FALSE(report.linked.empty());
    EXPECT_NE(DisbandReportText(report).find(L"是指向其他位置的链接"), std::wstring::npos);
    RemoveDirectoryW(boxFolder.c_str());
}
